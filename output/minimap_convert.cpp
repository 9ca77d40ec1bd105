#include "output/minimap_convert.h"

#include <turbojpeg.h>

#include <algorithm>
#include <climits>
#include <cstdint>
#include <cstring>
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
// Each pixel is copied whole, its fourth byte overwritten by the next
// pixel's first: one load and one store a pixel instead of three of each.
void DropAlpha(std::span<const std::byte> pixels, std::span<std::byte> colours) {
  const std::size_t count = pixels.size() / 4;
  if (count == 0) return;
  const std::byte* in = pixels.data();
  std::byte* out = colours.data();
  for (std::size_t i = 1; i < count; ++i, in += 4, out += 3) std::memcpy(out, in, 4);
  std::memcpy(out, in, 3);
}

}  // namespace

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

  bool Encode(std::span<const std::byte> colours, const BlpLayout& layout, int quality, ScratchBuffer& buffer,
              std::vector<std::byte>& result) {
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
    result.assign(jpeg.begin(), jpeg.begin() + static_cast<std::ptrdiff_t>(length));
    return true;
  }
};

MinimapConverter::MinimapConverter() = default;
MinimapConverter::~MinimapConverter() = default;

// Handles are made on first use and dropped after any failure, so a
// damaged picture never leaves state behind for the next one.
ConvertedMinimap MinimapConverter::Convert(std::span<const std::byte> blp, int quality) {
  ConvertedMinimap result;
  const std::optional<BlpLayout> layout = ReadLayout(blp);
  if (!layout) return result;
  const std::span<const std::byte> stream = ReadStream(blp, *layout, stream_);
  if (stream.empty()) return result;

  if (!codec_) codec_ = std::make_unique<Codec>();
  std::span<std::byte> pixels, colours;
  if (!codec_->Decode(stream, *layout, pixels_, pixels)) {
    result.stage = MinimapStage::kDecode;
  } else if (colours = colours_.Get(pixels.size() / 4 * 3); colours.empty()) {
    result.stage = MinimapStage::kDecode;
  } else {
    DropAlpha(pixels, colours);
    result.stage = codec_->Encode(colours, *layout, quality, jpeg_, result.jpeg) ? MinimapStage::kDone
                                                                                 : MinimapStage::kEncode;
  }
  if (result.stage == MinimapStage::kDone) {
    result.size = {layout->width, layout->height};
  } else {
    codec_.reset();
  }
  stream_.Trim();
  pixels_.Trim();
  colours_.Trim();
  jpeg_.Trim();
  return result;
}

}  // namespace korvanel
