// A decoded picture: what the picture decoders give and the encoders take.
#pragma once

#include <cstdint>
#include <vector>

namespace korvanel {

// The largest side a decoder accepts. A map's pictures are a few hundred
// pixels wide; a larger claim is damage, refused before any memory is taken.
inline constexpr std::int32_t kMaxPictureSide = 4096;

struct Picture {
  std::int32_t width = 0;
  std::int32_t height = 0;
  bool alpha = false;              // the source has an alpha channel; else every A is 255
  std::vector<std::uint8_t> rgba;  // width * height * 4 bytes: R, G, B, A; rows top to bottom
};

// Why a picture could not be decoded; the run words it.
enum class PictureError {
  kNone,
  kTruncated,    // the data ends before what the header announces
  kUnsupported,  // a kind of picture this program does not decode
  kTooLarge,     // wider or higher than kMaxPictureSide
  kDamaged,      // inconsistent header or undecodable data
};

}  // namespace korvanel
