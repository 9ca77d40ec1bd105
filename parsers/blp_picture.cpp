#include "parsers/blp_picture.h"

#include <turbojpeg.h>

#include <algorithm>
#include <memory>

#include "parsers/byte_reader.h"

namespace korvanel {
namespace {

constexpr std::int64_t kHeaderLength = 160;
constexpr std::int64_t kPaletteOffset = 156;
constexpr std::int64_t kPaletteLength = 256 * 4;
// The layout's own limit, wider than kMaxPictureSide: a larger claim is
// taken for a damaged header rather than for a picture too large to decode.
constexpr std::int32_t kMaxLayoutSide = 16384;

struct HandleDeleter {
  void operator()(void* handle) const { tjDestroy(handle); }
};
using TjHandle = std::unique_ptr<void, HandleDeleter>;

PictureError CheckMagic(const ByteReader& reader) {
  if (reader.MagicAt(0, "BLP1")) return PictureError::kNone;
  if (reader.MagicAt(0, "BLP0") || reader.MagicAt(0, "BLP2")) return PictureError::kUnsupported;
  return reader.Size() < 4 ? PictureError::kTruncated : PictureError::kDamaged;
}

PictureError CheckSize(std::int32_t width, std::int32_t height, std::int32_t largest) {
  if (width <= 0 || height <= 0) return PictureError::kDamaged;
  if (width > largest || height > largest) return PictureError::kTooLarge;
  return PictureError::kNone;
}

void StartPicture(Picture& out, std::int32_t width, std::int32_t height, bool alpha) {
  out.width = width;
  out.height = height;
  out.alpha = alpha;
  out.rgba.resize(static_cast<std::size_t>(width) * static_cast<std::size_t>(height) * 4);
}

// Alpha depth 4 and 1 pack several pixels a byte, the first pixel in the
// lowest bits; the values are scaled to the full 0..255.
std::uint8_t PackedAlpha(const std::uint8_t* alpha, std::size_t pixel, std::int32_t depth) {
  switch (depth) {
    case 8:
      return alpha[pixel];
    case 4:
      return static_cast<std::uint8_t>(((alpha[pixel / 2] >> (pixel % 2 * 4)) & 0x0F) * 17);
    case 1:
      return (alpha[pixel / 8] >> (pixel % 8)) & 1 ? 255 : 0;
    default:
      return 255;
  }
}

// Mipmap 0 as palette indices followed by the alpha values. The palette's
// own alpha byte is unused; the alpha depth field alone says whether alpha
// values follow. The picture type field (offset 20) tells the game how to
// use the alpha for unit textures (team colour) and changes nothing here.
PictureError DecodePaletted(const ByteReader& reader, std::int32_t width, std::int32_t height,
                            std::int32_t alphaDepth, Picture& out) {
  if (alphaDepth != 0 && alphaDepth != 1 && alphaDepth != 4 && alphaDepth != 8) return PictureError::kUnsupported;
  if (!reader.Has(kPaletteOffset, kPaletteLength)) return PictureError::kTruncated;
  const std::int64_t pixels = std::int64_t{width} * height;
  const std::int64_t needed = pixels + (pixels * alphaDepth + 7) / 8;
  const std::int64_t offset = *reader.I32(28);
  const std::int64_t length = *reader.I32(92);
  if (!reader.Has(offset, length) || length < needed) return PictureError::kTruncated;
  if (pixels > kMaxPicturePixels) return PictureError::kTooLarge;

  const auto* palette = reinterpret_cast<const std::uint8_t*>(reader.Text(kPaletteOffset, kPaletteLength).data());
  const auto* index = reinterpret_cast<const std::uint8_t*>(reader.Text(offset, needed).data());
  const std::uint8_t* alpha = index + pixels;
  StartPicture(out, width, height, alphaDepth > 0);
  std::uint8_t* rgba = out.rgba.data();
  for (std::size_t i = 0; i < static_cast<std::size_t>(pixels); ++i, rgba += 4) {
    const std::uint8_t* bgra = palette + std::size_t{index[i]} * 4;
    rgba[0] = bgra[2];
    rgba[1] = bgra[1];
    rgba[2] = bgra[0];
    rgba[3] = PackedAlpha(alpha, i, alphaDepth);
  }
  return PictureError::kNone;
}

}  // namespace

PictureError ReadBlpJpegLayout(std::span<const std::byte> blp, BlpJpegLayout& layout) {
  const ByteReader reader(blp);
  if (const PictureError magic = CheckMagic(reader); magic != PictureError::kNone) return magic;
  if (reader.Size() < kHeaderLength) return PictureError::kTruncated;

  layout.width = *reader.I32(12);
  layout.height = *reader.I32(16);
  layout.mipmapOffset = *reader.I32(28);
  layout.mipmapLength = *reader.I32(92);
  layout.sharedHeaderLength = *reader.I32(156);

  if (layout.mipmapLength <= 0) return PictureError::kDamaged;
  if (const PictureError size = CheckSize(layout.width, layout.height, kMaxLayoutSide); size != PictureError::kNone)
    return size;
  if (!reader.Has(kHeaderLength, layout.sharedHeaderLength) || !reader.Has(layout.mipmapOffset, layout.mipmapLength))
    return PictureError::kTruncated;
  // The stream has to fit the picture's own buffer size (4 bytes a pixel).
  const std::int64_t bufferLength = std::int64_t{layout.width} * layout.height * 4;
  if (layout.sharedHeaderLength + layout.mipmapLength > bufferLength) return PictureError::kDamaged;
  return PictureError::kNone;
}

struct BlpDecoder::Codec {
  TjHandle decoder{tjInitDecompress()};
};

BlpDecoder::BlpDecoder() = default;
BlpDecoder::~BlpDecoder() = default;

void BlpDecoder::Trim() {
  const bool streamGiven = stream_.Trim();
  const bool pixelsGiven = pixels_.Trim();
  if (streamGiven || pixelsGiven) decodedLength_ = 0;
}

// Whether `pixels_` holds this picture's stream, byte for byte, decoded at
// the size its header gives.
bool BlpDecoder::HoldsDecoded(std::span<const std::byte> blp, const BlpJpegLayout& layout) {
  const auto shared = static_cast<std::size_t>(layout.sharedHeaderLength);
  const auto mipmap = static_cast<std::size_t>(layout.mipmapLength);
  if (decodedLength_ == 0 || decodedLength_ != shared + mipmap || decodedWidth_ != layout.width ||
      decodedHeight_ != layout.height)
    return false;
  const std::span<const std::byte> stream = stream_.Get(decodedLength_);
  const auto mipmapStart = blp.begin() + layout.mipmapOffset;
  return std::equal(blp.begin() + kHeaderLength, blp.begin() + kHeaderLength + static_cast<std::ptrdiff_t>(shared),
                    stream.begin()) &&
         std::equal(mipmapStart, mipmapStart + static_cast<std::ptrdiff_t>(mipmap),
                    stream.begin() + static_cast<std::ptrdiff_t>(shared));
}

// The shared JPEG header followed directly by mipmap 0's part, decoded
// into `pixels` (4 bytes a pixel). The handle is made on first use and
// dropped after any failure, so a damaged picture never leaves state
// behind for the next one.
PictureError BlpDecoder::DecompressInto(std::span<const std::byte> blp, const BlpJpegLayout& layout,
                                        std::span<std::byte> pixels) {
  const auto shared = static_cast<std::size_t>(layout.sharedHeaderLength);
  const auto mipmap = static_cast<std::size_t>(layout.mipmapLength);
  const std::span<std::byte> stream = stream_.Get(shared + mipmap);
  if (stream.empty()) return PictureError::kTooLarge;
  std::copy_n(blp.begin() + kHeaderLength, shared, stream.begin());
  std::copy_n(blp.begin() + layout.mipmapOffset, mipmap, stream.begin() + static_cast<std::ptrdiff_t>(shared));

  if (!codec_) codec_ = std::make_unique<Codec>();
  tjhandle handle = codec_->decoder.get();
  auto* in = reinterpret_cast<unsigned char*>(stream.data());
  int width = 0, height = 0, subsampling = 0, colourSpace = 0;
  // The stream's size has to be the header's: otherwise the library would
  // scale into the buffer instead of failing. Warnings count as failures
  // too: they mean a damaged picture, so the decode stops at the first one.
  const bool decoded =
      handle && tjDecompressHeader3(handle, in, stream.size(), &width, &height, &subsampling, &colourSpace) == 0 &&
      width == layout.width && height == layout.height &&
      tjDecompress2(handle, in, stream.size(), reinterpret_cast<unsigned char*>(pixels.data()), width, width * 4,
                    height, TJPF_CMYK, TJFLAG_LIMITSCANS | TJFLAG_STOPONWARNING) == 0;
  if (decoded) return PictureError::kNone;
  codec_.reset();
  return PictureError::kDamaged;
}

PictureError BlpDecoder::DecodeStoredJpeg(std::span<const std::byte> blp, const BlpJpegLayout& layout,
                                          StoredBlpJpeg& stored) {
  // A progressive stream buffers the whole picture besides.
  if (std::int64_t{layout.width} * layout.height > kMaxPicturePixels) return PictureError::kTooLarge;
  const std::span<std::byte> pixels =
      pixels_.Get(static_cast<std::size_t>(layout.width) * static_cast<std::size_t>(layout.height) * 4);
  if (pixels.empty()) return PictureError::kTooLarge;
  if (!HoldsDecoded(blp, layout)) {
    decodedLength_ = 0;
    if (const PictureError error = DecompressInto(blp, layout, pixels); error != PictureError::kNone) return error;
    decodedLength_ = static_cast<std::size_t>(layout.sharedHeaderLength + layout.mipmapLength);
    decodedWidth_ = layout.width;
    decodedHeight_ = layout.height;
  }
  stored = {layout.width, layout.height, pixels};
  return PictureError::kNone;
}

PictureError BlpDecoder::Decode(std::span<const std::byte> blp, Picture& out) {
  const ByteReader reader(blp);
  if (const PictureError magic = CheckMagic(reader); magic != PictureError::kNone) return magic;
  if (reader.Size() < kHeaderLength) return PictureError::kTruncated;
  const std::int32_t compression = *reader.I32(4);
  const std::int32_t alphaDepth = *reader.I32(8);
  const std::int32_t width = *reader.I32(12);
  const std::int32_t height = *reader.I32(16);
  if (compression != 0 && compression != 1) return PictureError::kUnsupported;
  if (const PictureError size = CheckSize(width, height, kMaxPictureSide); size != PictureError::kNone) return size;
  if (compression == 1) return DecodePaletted(reader, width, height, alphaDepth, out);

  BlpJpegLayout layout;
  StoredBlpJpeg stored;
  PictureError error = ReadBlpJpegLayout(blp, layout);
  if (error == PictureError::kNone) error = DecodeStoredJpeg(blp, layout, stored);
  if (error == PictureError::kNone) {
    const bool alpha = alphaDepth > 0;
    StartPicture(out, width, height, alpha);
    const auto* bgra = reinterpret_cast<const std::uint8_t*>(stored.bgra.data());
    std::uint8_t* rgba = out.rgba.data();
    for (std::size_t i = 0; i < out.rgba.size(); i += 4) {
      rgba[i] = bgra[i + 2];
      rgba[i + 1] = bgra[i + 1];
      rgba[i + 2] = bgra[i];
      rgba[i + 3] = alpha ? bgra[i + 3] : 255;
    }
  }
  Trim();
  return error;
}

PictureError DecodeBlp(std::span<const std::byte> blp, Picture& out) {
  BlpDecoder decoder;
  return decoder.Decode(blp, out);
}

}  // namespace korvanel
