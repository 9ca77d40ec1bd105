#include "parsers/tga_picture.h"

#include <cstdint>
#include <optional>
#include <utility>
#include <vector>

#include "parsers/byte_reader.h"

namespace korvanel {
namespace {

constexpr std::int64_t kHeaderLength = 18;
constexpr int kPlain = 2;
constexpr int kRunLength = 10;
constexpr std::uint8_t kTopRowFirst = 0x20;
constexpr std::uint8_t kRightToLeft = 0x10;
// A run-length packet covers at most 128 pixels.
constexpr std::int64_t kLongestPacket = 128;

// Puts the pixels in the order the file stores them (by rows, from the
// top or the bottom row), each given as blue, green, red[, alpha].
class PixelSink {
 public:
  PixelSink(std::vector<std::uint8_t>& rgba, std::int32_t width, std::int32_t height, bool topFirst, int bytes)
      : rgba_(rgba.data()), width_(width), bytes_(bytes) {
    const std::ptrdiff_t stride = std::ptrdiff_t{width} * 4;
    row_ = topFirst ? rgba_ : rgba_ + stride * (height - 1);
    step_ = topFirst ? stride : -stride;
  }

  void Put(const std::uint8_t* pixel) {
    std::uint8_t* out = row_ + std::ptrdiff_t{x_} * 4;
    out[0] = pixel[2];
    out[1] = pixel[1];
    out[2] = pixel[0];
    out[3] = bytes_ == 4 ? pixel[3] : 255;
    if (++x_ == width_) {
      x_ = 0;
      row_ += step_;
    }
  }

 private:
  std::uint8_t* rgba_;
  std::uint8_t* row_;
  std::ptrdiff_t step_ = 0;
  std::int32_t width_;
  std::int32_t x_ = 0;
  int bytes_;
};

// Packets: a count byte, its top bit set for one pixel repeated, clear for
// that many pixels stored; either covers (count & 0x7F) + 1 pixels. A
// packet may run on from one row to the next, never past the picture.
PictureError DecodeRuns(const ByteReader& reader, std::int64_t offset, std::int64_t pixels, int bytes,
                        PixelSink& sink) {
  for (std::int64_t done = 0; done < pixels;) {
    const std::optional<std::uint8_t> count = reader.U8(offset++);
    if (!count) return PictureError::kTruncated;
    const std::int64_t length = (*count & 0x7F) + 1;
    if (length > pixels - done) return PictureError::kDamaged;
    const bool repeated = *count & 0x80;
    const std::int64_t stored = repeated ? bytes : length * bytes;
    if (!reader.Has(offset, stored)) return PictureError::kTruncated;
    const auto* data = reinterpret_cast<const std::uint8_t*>(reader.Text(offset, stored).data());
    for (std::int64_t i = 0; i < length; ++i) sink.Put(repeated ? data : data + i * bytes);
    offset += stored;
    done += length;
  }
  return PictureError::kNone;
}

}  // namespace

PictureError DecodeTga(std::span<const std::byte> tga, Picture& out) {
  const ByteReader reader(tga);
  if (reader.Size() < kHeaderLength) return PictureError::kTruncated;
  const std::uint8_t idLength = *reader.U8(0);
  const std::uint8_t colourMapType = *reader.U8(1);
  const std::uint8_t imageType = *reader.U8(2);
  const std::uint16_t colourMapLength = *reader.U16(5);
  const std::uint8_t colourMapEntryBits = *reader.U8(7);
  const std::int32_t width = *reader.U16(12);
  const std::int32_t height = *reader.U16(14);
  const std::uint8_t depth = *reader.U8(16);
  const std::uint8_t descriptor = *reader.U8(17);

  if (imageType != kPlain && imageType != kRunLength) return PictureError::kUnsupported;
  if (depth != 24 && depth != 32) return PictureError::kUnsupported;
  if (descriptor & kRightToLeft) return PictureError::kUnsupported;
  if (colourMapType > 1) return PictureError::kDamaged;
  if (width == 0 || height == 0) return PictureError::kDamaged;
  if (width > kMaxPictureSide || height > kMaxPictureSide) return PictureError::kTooLarge;

  // A true-colour picture may still carry a colour map; it is skipped as
  // the id field is.
  const std::int64_t colourMapBytes = colourMapType == 1 ? std::int64_t{colourMapLength} * ((colourMapEntryBits + 7) / 8) : 0;
  const std::int64_t offset = kHeaderLength + idLength + colourMapBytes;
  const int bytes = depth / 8;
  const std::int64_t pixels = std::int64_t{width} * height;
  // The least data the pixels can take, checked before their memory is.
  const std::int64_t least =
      imageType == kPlain ? pixels * bytes : (pixels + kLongestPacket - 1) / kLongestPacket * (1 + bytes);
  if (!reader.Has(offset, least)) return PictureError::kTruncated;
  if (pixels > kMaxPicturePixels) return PictureError::kTooLarge;

  std::vector<std::uint8_t> rgba(static_cast<std::size_t>(pixels) * 4);
  PixelSink sink(rgba, width, height, descriptor & kTopRowFirst, bytes);
  if (imageType == kPlain) {
    const auto* data = reinterpret_cast<const std::uint8_t*>(reader.Text(offset, least).data());
    for (std::int64_t i = 0; i < pixels; ++i) sink.Put(data + i * bytes);
  } else if (const PictureError error = DecodeRuns(reader, offset, pixels, bytes, sink);
             error != PictureError::kNone) {
    return error;
  }
  out.width = width;
  out.height = height;
  out.alpha = bytes == 4;
  out.rgba = std::move(rgba);
  return PictureError::kNone;
}

}  // namespace korvanel
