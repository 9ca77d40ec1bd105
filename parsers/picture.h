// A decoded picture: what the picture decoders give and the encoders take.
#pragma once

#include <cstdint>
#include <vector>

namespace korvanel {

// The largest side a decoder accepts. A map's pictures are a few hundred
// pixels wide; a larger claim is damage, refused before any memory is taken.
inline constexpr std::int32_t kMaxPictureSide = 4096;
// The most pixels a decoder fills, 16 MiB of them as RGBA: a few hundred
// bytes can claim the largest picture, and a few hundred kilobytes of runs
// can fill it, so that a damaged map would take gigabytes and many seconds.
// Map previews are 256 x 256, so this is far beyond any real one.
inline constexpr std::int64_t kMaxPicturePixels = 2048 * 2048;

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
  kTooLarge,     // wider or higher than kMaxPictureSide, or more than kMaxPicturePixels
  kDamaged,      // inconsistent header or undecodable data
};

}  // namespace korvanel
