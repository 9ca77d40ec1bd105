#include "output/minimap_convert.h"

#include <turbojpeg.h>

#include <algorithm>
#include <climits>
#include <cstdint>
#include <memory>
#include <optional>

#include "parsers/byte_reader.h"

namespace korvanel {
namespace {

constexpr std::int64_t kMinimumLength = 32;
constexpr std::int64_t kHeaderLength = 160;
// Larger pictures are taken for corrupt data rather than allocated.
constexpr std::int32_t kMaxSide = 16384;
// A few hundred bytes can claim the largest picture; decoding it would take
// gigabytes (a progressive stream buffers the whole picture) and many
// seconds. Map previews are 256 x 256, so this is far beyond any real one.
constexpr std::int64_t kMaxDecodedPixels = 2048 * 2048;

struct HandleDeleter {
  void operator()(void* handle) const { tjDestroy(handle); }
};
using TjHandle = std::unique_ptr<void, HandleDeleter>;

unsigned char* Pixels(std::span<std::byte> bytes) { return reinterpret_cast<unsigned char*>(bytes.data()); }
const unsigned char* Pixels(std::span<const std::byte> bytes) { return reinterpret_cast<const unsigned char*>(bytes.data()); }

// Where mipmap 0's JPEG stream lies in the file; every part checked to lie
// inside the file.
struct BlpLayout {
  std::int32_t width = 0;
  std::int32_t height = 0;
  std::int64_t sharedHeaderLength = 0;
  std::int64_t mipmapOffset = 0;
  std::int64_t mipmapLength = 0;
};

bool InsideFile(std::int64_t offset, std::int64_t length, std::int64_t fileLength) {
  return offset >= 0 && length >= 0 && offset <= fileLength && length <= fileLength - offset;
}

std::optional<BlpLayout> ReadLayout(std::span<const std::byte> blp) {
  const auto fileLength = static_cast<std::int64_t>(blp.size());
  const ByteReader reader(blp);
  if (fileLength < kMinimumLength || !reader.MagicAt(0, "BLP1") || fileLength < kHeaderLength) return std::nullopt;

  BlpLayout layout;
  layout.width = *reader.I32(12);
  layout.height = *reader.I32(16);
  layout.mipmapOffset = *reader.I32(28);
  layout.mipmapLength = *reader.I32(92);
  layout.sharedHeaderLength = *reader.I32(156);

  if (layout.mipmapLength <= 0) return std::nullopt;
  if (layout.width <= 0 || layout.height <= 0 || layout.width > kMaxSide || layout.height > kMaxSide)
    return std::nullopt;
  if (!InsideFile(kHeaderLength, layout.sharedHeaderLength, fileLength) ||
      !InsideFile(layout.mipmapOffset, layout.mipmapLength, fileLength))
    return std::nullopt;
  // The stream has to fit the picture's own buffer size (4 bytes a pixel).
  const std::int64_t bufferLength = std::int64_t{layout.width} * layout.height * 4;
  if (layout.sharedHeaderLength + layout.mipmapLength > bufferLength) return std::nullopt;
  return layout;
}

// The shared JPEG header followed directly by mipmap 0's part.
std::span<const std::byte> ReadStream(std::span<const std::byte> blp, const BlpLayout& layout, ScratchBuffer& buffer) {
  const auto shared = static_cast<std::size_t>(layout.sharedHeaderLength);
  const auto mipmap = static_cast<std::size_t>(layout.mipmapLength);
  const std::span<std::byte> stream = buffer.Get(shared + mipmap);
  if (stream.empty()) return {};
  std::copy_n(blp.begin() + kHeaderLength, shared, stream.begin());
  std::copy_n(blp.begin() + layout.mipmapOffset, mipmap, stream.begin() + shared);
  return stream;
}

// Bytes 0..2 of each pixel (blue, green, red); byte 3 is the BLP's alpha.
void DropAlpha(std::span<const std::byte> pixels, std::span<std::byte> colours) {
  std::byte* out = colours.data();
  for (std::size_t i = 0; i + 3 < pixels.size(); i += 4) {
    out[0] = pixels[i];
    out[1] = pixels[i + 1];
    out[2] = pixels[i + 2];
    out += 3;
  }
}

}  // namespace

// Handles are made on first use and dropped after any failure, so a
// damaged picture never leaves state behind for the next one.
std::optional<PictureSize> BlpPictureSize(std::span<const std::byte> blp) {
  const auto layout = ReadLayout(blp);
  if (!layout) return std::nullopt;
  return PictureSize{layout->width, layout->height};
}

struct MinimapConverter::Codec {
  TjHandle decoder{tjInitDecompress()};
  TjHandle encoder{tjInitCompress()};

  // The stored four components, unconverted, 4 bytes a pixel.
  bool Decode(std::span<const std::byte> stream, const BlpLayout& layout, ScratchBuffer& buffer,
              std::span<std::byte>& pixels) {
    if (!decoder) return false;
    int width = 0, height = 0, subsampling = 0, colourSpace = 0;
    if (tjDecompressHeader3(decoder.get(), Pixels(stream), stream.size(), &width, &height, &subsampling,
                            &colourSpace) != 0)
      return false;
    // Otherwise the library would scale into the buffer instead of failing.
    if (width != layout.width || height != layout.height) return false;
    if (std::int64_t{width} * height > kMaxDecodedPixels) return false;
    pixels = buffer.Get(static_cast<std::size_t>(width) * static_cast<std::size_t>(height) * 4);
    if (pixels.empty()) return false;
    // Warnings count as failures too: they mean a damaged picture, so the
    // decode stops at the first one.
    return tjDecompress2(decoder.get(), Pixels(stream), stream.size(), Pixels(pixels), width, width * 4, height,
                         TJPF_CMYK, TJFLAG_LIMITSCANS | TJFLAG_STOPONWARNING) == 0;
  }

  bool EncodeAndWrite(std::span<const std::byte> colours, const BlpLayout& layout, int quality, ScratchBuffer& buffer,
                      File& destination) {
    if (!encoder) return false;
    const unsigned long capacity = tjBufSize(layout.width, layout.height, TJSAMP_444);
    if (capacity == static_cast<unsigned long>(-1) || capacity > INT_MAX) return false;
    const std::span<std::byte> jpeg = buffer.Get(capacity);
    if (jpeg.empty()) return false;
    unsigned char* out = Pixels(jpeg);
    unsigned long length = capacity;
    // The buffer is sized for the worst case, so the library never has to
    // grow it, and it stays ours: the library neither frees nor replaces it.
    if (tjCompress2(encoder.get(), Pixels(colours), layout.width, layout.width * 3, layout.height, TJPF_BGR, &out,
                    &length, TJSAMP_444, quality, TJFLAG_NOREALLOC) != 0 ||
        out != Pixels(jpeg) || length > capacity)
      return false;
    return destination.WriteAll(std::as_bytes(std::span(out, length))) == 0;
  }
};

MinimapConverter::MinimapConverter() = default;
MinimapConverter::~MinimapConverter() = default;

MinimapStage MinimapConverter::Convert(std::span<const std::byte> blp, File& destination, int quality) {
  const std::optional<BlpLayout> layout = ReadLayout(blp);
  if (!layout) return MinimapStage::kHeader;
  const std::span<const std::byte> stream = ReadStream(blp, *layout, stream_);
  if (stream.empty()) return MinimapStage::kHeader;

  if (!codec_) codec_ = std::make_unique<Codec>();
  MinimapStage stage = MinimapStage::kDone;
  std::span<std::byte> pixels, colours;
  if (!codec_->Decode(stream, *layout, pixels_, pixels)) {
    stage = MinimapStage::kDecode;
  } else if (colours = colours_.Get(pixels.size() / 4 * 3); colours.empty()) {
    stage = MinimapStage::kDecode;
  } else {
    DropAlpha(pixels, colours);
    if (!codec_->EncodeAndWrite(colours, *layout, quality, jpeg_, destination)) stage = MinimapStage::kEncode;
  }
  if (stage != MinimapStage::kDone) codec_.reset();
  stream_.Trim();
  pixels_.Trim();
  colours_.Trim();
  jpeg_.Trim();
  return stage;
}

}  // namespace korvanel
