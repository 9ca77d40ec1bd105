#include "output/minimap_convert.h"

#include <turbojpeg.h>

#include <algorithm>
#include <climits>
#include <cstdint>
#include <memory>
#include <new>
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

struct BufferDeleter {
  void operator()(unsigned char* buffer) const { tjFree(buffer); }
};
using TjBuffer = std::unique_ptr<unsigned char, BufferDeleter>;

// Working buffers are filled whole before they are read, so they are not
// zeroed first.
class Bytes {
 public:
  unsigned char* data() { return data_.get(); }
  const unsigned char* data() const { return data_.get(); }
  std::size_t size() const { return size_; }
  unsigned char& operator[](std::size_t i) { return data_[i]; }
  const unsigned char& operator[](std::size_t i) const { return data_[i]; }
  bool Allocate(std::size_t size) {
    data_.reset(new (std::nothrow) unsigned char[size]);
    size_ = data_ ? size : 0;
    return data_ != nullptr;
  }
  void Release() {
    data_.reset();
    size_ = 0;
  }

 private:
  std::unique_ptr<unsigned char[]> data_;
  std::size_t size_ = 0;
};

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
bool ReadStream(std::span<const std::byte> blp, const BlpLayout& layout, Bytes& stream) {
  const auto shared = static_cast<std::size_t>(layout.sharedHeaderLength);
  const auto mipmap = static_cast<std::size_t>(layout.mipmapLength);
  if (!stream.Allocate(shared + mipmap)) return false;
  std::byte* out = reinterpret_cast<std::byte*>(stream.data());
  std::copy_n(blp.begin() + kHeaderLength, shared, out);
  std::copy_n(blp.begin() + layout.mipmapOffset, mipmap, out + shared);
  return true;
}

// The stored four components, unconverted, 4 bytes a pixel.
bool Decode(const Bytes& stream, const BlpLayout& layout, Bytes& pixels) {
  TjHandle handle(tjInitDecompress());
  if (!handle) return false;
  int width = 0, height = 0, subsampling = 0, colourSpace = 0;
  if (tjDecompressHeader3(handle.get(), stream.data(), stream.size(), &width, &height,
                          &subsampling, &colourSpace) != 0)
    return false;
  // Otherwise the library would scale into the buffer instead of failing.
  if (width != layout.width || height != layout.height) return false;
  if (std::int64_t{width} * height > kMaxDecodedPixels) return false;
  if (!pixels.Allocate(static_cast<std::size_t>(width) * static_cast<std::size_t>(height) * 4)) return false;
  // Warnings count as failures too: they mean a damaged picture, so the
  // decode stops at the first one.
  return tjDecompress2(handle.get(), stream.data(), stream.size(), pixels.data(), width,
                       width * 4, height, TJPF_CMYK, TJFLAG_LIMITSCANS | TJFLAG_STOPONWARNING) == 0;
}

// Bytes 0..2 of each pixel (blue, green, red); byte 3 is the BLP's alpha.
bool DropAlpha(const Bytes& pixels, Bytes& colours) {
  if (!colours.Allocate(pixels.size() / 4 * 3)) return false;
  unsigned char* out = colours.data();
  for (std::size_t i = 0; i < pixels.size(); i += 4) {
    out[0] = pixels[i];
    out[1] = pixels[i + 1];
    out[2] = pixels[i + 2];
    out += 3;
  }
  return true;
}

bool EncodeAndWrite(const Bytes& colours, const BlpLayout& layout, int quality, File& destination) {
  TjHandle handle(tjInitCompress());
  if (!handle) return false;
  const unsigned long capacity = tjBufSize(layout.width, layout.height, TJSAMP_444);
  if (capacity == static_cast<unsigned long>(-1) || capacity > INT_MAX) return false;
  TjBuffer jpeg(tjAlloc(static_cast<int>(capacity)));
  if (!jpeg) return false;
  unsigned char* out = jpeg.get();
  unsigned long length = capacity;
  // The buffer is sized for the worst case, so the library never has to grow it.
  if (tjCompress2(handle.get(), colours.data(), layout.width, layout.width * 3, layout.height,
                  TJPF_BGR, &out, &length, TJSAMP_444, quality, TJFLAG_NOREALLOC) != 0 ||
      out != jpeg.get())
    return false;
  return destination.WriteAll(std::as_bytes(std::span(out, length))) == 0;
}

}  // namespace

MinimapStage ConvertMinimap(std::span<const std::byte> blp, File& destination, int quality) {
  const std::optional<BlpLayout> layout = ReadLayout(blp);
  if (!layout) return MinimapStage::kHeader;
  Bytes stream;
  if (!ReadStream(blp, *layout, stream)) return MinimapStage::kHeader;

  Bytes pixels;
  if (!Decode(stream, *layout, pixels)) return MinimapStage::kDecode;
  stream.Release();
  Bytes colours;
  if (!DropAlpha(pixels, colours)) return MinimapStage::kDecode;
  pixels.Release();

  if (!EncodeAndWrite(colours, *layout, quality, destination)) return MinimapStage::kEncode;
  return MinimapStage::kDone;
}

}  // namespace korvanel
