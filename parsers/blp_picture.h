// Decodes a BLP1 picture (war3mapMap.blp, icons) of either kind the game
// writes: JPEG (compression 0) or paletted (compression 1).
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>

#include "parsers/picture.h"
#include "platform/scratch_buffer.h"

namespace korvanel {

// Where mipmap 0's JPEG stream lies in a JPEG-kind BLP1, every part checked
// to lie inside the file.
struct BlpJpegLayout {
  std::int32_t width = 0;
  std::int32_t height = 0;
  std::int64_t sharedHeaderLength = 0;  // from offset 160
  std::int64_t mipmapOffset = 0;
  std::int64_t mipmapLength = 0;
};

// Reads the layout from the header alone, without looking at the
// compression field. kNone on success.
PictureError ReadBlpJpegLayout(std::span<const std::byte> blp, BlpJpegLayout& layout);

// Mipmap 0 of a JPEG-kind BLP1 as stored: four bytes a pixel, blue, green,
// red, alpha, with no colour transform; rows top to bottom.
struct StoredBlpJpeg {
  std::int32_t width = 0;
  std::int32_t height = 0;
  std::span<const std::byte> bgra;
};

// Keeps the JPEG library's handle and the working buffers from one picture
// to the next: a run decodes thousands, and fresh ones for each cost more
// than the decoding of a small picture. It also keeps the pixels of the
// last JPEG stream it decoded: the minimap conversion and the picture
// export both decode a map's minimap, and the second gets them without
// decoding the stream again.
class BlpDecoder {
 public:
  BlpDecoder();
  ~BlpDecoder();
  BlpDecoder(const BlpDecoder&) = delete;
  BlpDecoder& operator=(const BlpDecoder&) = delete;

  // Mipmap 0 of either kind; `out` is left as it was unless kNone.
  PictureError Decode(std::span<const std::byte> blp, Picture& out);

  // Mipmap 0's JPEG stream, decoded into this decoder's buffer: `stored`
  // stays valid until the next call. The minimap conversion re-encodes
  // these very components, so its JPEG and Decode's pixels agree.
  PictureError DecodeStoredJpeg(std::span<const std::byte> blp, const BlpJpegLayout& layout,
                                StoredBlpJpeg& stored);

  // Gives back buffers above the size worth keeping.
  void Trim();

 private:
  struct Codec;
  std::unique_ptr<Codec> codec_;
  ScratchBuffer stream_, pixels_;
  // The stream in `stream_` whose pixels `pixels_` holds, at this size;
  // a length of 0 when it holds none.
  std::size_t decodedLength_ = 0;
  std::int32_t decodedWidth_ = 0, decodedHeight_ = 0;

  bool HoldsDecoded(std::span<const std::byte> blp, const BlpJpegLayout& layout);
  PictureError DecompressInto(std::span<const std::byte> blp, const BlpJpegLayout& layout,
                              std::span<std::byte> pixels);
};

// The same with a decoder of its own.
PictureError DecodeBlp(std::span<const std::byte> blp, Picture& out);

}  // namespace korvanel
