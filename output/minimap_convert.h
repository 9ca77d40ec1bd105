// Turns a map's BLP1 preview picture (JPEG kind) into an ordinary
// three-component JPEG file.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <vector>

#include "parsers/blp_picture.h"
#include "platform/scratch_buffer.h"

namespace korvanel {

// kDone on success; otherwise the stage that failed, for the run to word:
// the picture's name taken already (kExists), its file not created
// (kCreate), or the conversion's stages, the last one with the writing.
enum class MinimapStage { kDone, kExists, kCreate, kHeader, kDecode, kEncode };

struct PictureSize {
  std::int32_t width = 0;
  std::int32_t height = 0;
};

// One picture turned into a JPEG file's bytes, or the stage that failed.
struct ConvertedMinimap {
  MinimapStage stage = MinimapStage::kHeader;
  std::vector<std::byte> jpeg;  // empty unless kDone
  PictureSize size;             // the JPEG's, with kDone
};

// Keeps the codec's handles and its working buffers from one picture to
// the next: a run converts thousands, and fresh ones for each cost more
// than the conversion of a small picture.
class MinimapConverter {
 public:
  MinimapConverter();
  ~MinimapConverter();
  MinimapConverter(const MinimapConverter&) = delete;
  MinimapConverter& operator=(const MinimapConverter&) = delete;

  // `blp` is war3mapMap.blp; only the header, the shared JPEG header and
  // mipmap 0 are used. `quality` is 1..100.
  ConvertedMinimap Convert(std::span<const std::byte> blp, int quality);

  // The decoder of the pictures converted, for the picture export to
  // decode with: it then sees the same pixels, without decoding the
  // minimap a second time.
  BlpDecoder& Decoder() { return decoder_; }

 private:
  struct Codec;
  std::unique_ptr<Codec> codec_;
  BlpDecoder decoder_;
  ScratchBuffer colours_, jpeg_;
};

}  // namespace korvanel
