// Turns a map's BLP1 preview picture (JPEG kind) into an ordinary
// three-component JPEG file.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>

#include "platform/file.h"
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

// The size of the picture Convert makes of `blp`; absent when it makes none.
std::optional<PictureSize> BlpPictureSize(std::span<const std::byte> blp);

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
  // mipmap 0 are used. The encoded JPEG is written to `destination` (open
  // and empty), and nothing is written unless encoding succeeded. `quality`
  // is 1..100.
  MinimapStage Convert(std::span<const std::byte> blp, File& destination, int quality);

 private:
  struct Codec;
  std::unique_ptr<Codec> codec_;
  ScratchBuffer stream_, pixels_, colours_, jpeg_;
};

}  // namespace korvanel
