#include "output/minimap_convert.h"

#include <turbojpeg.h>

#include <climits>
#include <cstdint>
#include <cstring>
#include <memory>

namespace korvanel {
namespace {

struct HandleDeleter {
  void operator()(void* handle) const { tjDestroy(handle); }
};
using TjHandle = std::unique_ptr<void, HandleDeleter>;

unsigned char* Pixels(std::span<std::byte> bytes) { return reinterpret_cast<unsigned char*>(bytes.data()); }
const unsigned char* Pixels(std::span<const std::byte> bytes) { return reinterpret_cast<const unsigned char*>(bytes.data()); }

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
  TjHandle encoder{tjInitCompress()};

  bool Encode(std::span<const std::byte> colours, const StoredBlpJpeg& picture, int quality, ScratchBuffer& buffer,
              std::vector<std::byte>& result) {
    if (!encoder) return false;
    const unsigned long capacity = tjBufSize(picture.width, picture.height, TJSAMP_444);
    if (capacity == static_cast<unsigned long>(-1) || capacity > INT_MAX) return false;
    const std::span<std::byte> jpeg = buffer.Get(capacity);
    if (jpeg.empty()) return false;
    unsigned char* out = Pixels(jpeg);
    unsigned long length = capacity;
    // The buffer is sized for the worst case, so the library never has to
    // grow it, and it stays ours: the library neither frees nor replaces it.
    if (tjCompress2(encoder.get(), Pixels(colours), picture.width, picture.width * 3, picture.height, TJPF_BGR, &out,
                    &length, TJSAMP_444, quality, TJFLAG_NOREALLOC) != 0 ||
        out != Pixels(jpeg) || length > capacity)
      return false;
    result.assign(jpeg.begin(), jpeg.begin() + static_cast<std::ptrdiff_t>(length));
    return true;
  }
};

MinimapConverter::MinimapConverter() = default;
MinimapConverter::~MinimapConverter() = default;

// The encoder's handle is made on first use and dropped after any failure,
// so a damaged picture never leaves state behind for the next one; the
// decoder does the same with its own.
ConvertedMinimap MinimapConverter::Convert(std::span<const std::byte> blp, int quality) {
  ConvertedMinimap result;
  BlpJpegLayout layout;
  if (ReadBlpJpegLayout(blp, layout) != PictureError::kNone) return result;

  StoredBlpJpeg stored;
  std::span<std::byte> colours;
  if (decoder_.DecodeStoredJpeg(blp, layout, stored) != PictureError::kNone) {
    result.stage = MinimapStage::kDecode;
  } else if (colours = colours_.Get(stored.bgra.size() / 4 * 3); colours.empty()) {
    result.stage = MinimapStage::kDecode;
  } else {
    DropAlpha(stored.bgra, colours);
    if (!codec_) codec_ = std::make_unique<Codec>();
    result.stage = codec_->Encode(colours, stored, quality, jpeg_, result.jpeg) ? MinimapStage::kDone
                                                                               : MinimapStage::kEncode;
  }
  if (result.stage == MinimapStage::kDone) {
    result.size = {stored.width, stored.height};
  } else {
    codec_.reset();
  }
  decoder_.Trim();
  colours_.Trim();
  jpeg_.Trim();
  return result;
}

}  // namespace korvanel
