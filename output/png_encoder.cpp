#include "output/png_encoder.h"

#include <spng.h>
#include <zlib.h>

#include <cstdint>
#include <cstdlib>
#include <memory>

namespace korvanel {
namespace {

struct ContextDeleter {
  void operator()(spng_ctx* context) const { spng_ctx_free(context); }
};
struct BufferDeleter {
  void operator()(void* buffer) const { std::free(buffer); }
};

// A run writes thousands of pictures, and compressing them is most of the
// cost of --pictures. The library's default (level 6, every filter tried on
// each row) takes several times as long as one fixed filter at the fastest
// level for files only a little smaller. After the Paeth filter a map's
// pictures are mostly runs of equal bytes: run-length matching alone is
// both faster than level 1's search and gives files a fifth smaller on the
// real maps' minimaps and previews.
constexpr int kCompressionLevel = 1;
constexpr int kStrategy = Z_RLE;
constexpr int kFilters = SPNG_FILTER_CHOICE_PAETH;

// Red, green, blue of each pixel, alpha dropped.
std::vector<std::uint8_t> Rgb(const std::vector<std::uint8_t>& rgba) {
  std::vector<std::uint8_t> rgb(rgba.size() / 4 * 3);
  std::uint8_t* out = rgb.data();
  for (std::size_t i = 0; i < rgba.size(); i += 4, out += 3) {
    out[0] = rgba[i];
    out[1] = rgba[i + 1];
    out[2] = rgba[i + 2];
  }
  return rgb;
}

}  // namespace

bool EncodePng(const Picture& picture, std::vector<std::byte>& png) {
  png.clear();
  if (picture.width <= 0 || picture.height <= 0 ||
      picture.rgba.size() != static_cast<std::size_t>(picture.width) * static_cast<std::size_t>(picture.height) * 4)
    return false;
  const std::unique_ptr<spng_ctx, ContextDeleter> context(spng_ctx_new(SPNG_CTX_ENCODER));
  if (!context) return false;
  spng_ctx* ctx = context.get();

  spng_ihdr header{};
  header.width = static_cast<std::uint32_t>(picture.width);
  header.height = static_cast<std::uint32_t>(picture.height);
  header.bit_depth = 8;
  header.color_type = picture.alpha ? SPNG_COLOR_TYPE_TRUECOLOR_ALPHA : SPNG_COLOR_TYPE_TRUECOLOR;
  if (spng_set_option(ctx, SPNG_ENCODE_TO_BUFFER, 1) != 0 ||
      spng_set_option(ctx, SPNG_IMG_COMPRESSION_LEVEL, kCompressionLevel) != 0 ||
      spng_set_option(ctx, SPNG_IMG_COMPRESSION_STRATEGY, kStrategy) != 0 ||
      spng_set_option(ctx, SPNG_FILTER_CHOICE, kFilters) != 0 || spng_set_ihdr(ctx, &header) != 0)
    return false;

  const std::vector<std::uint8_t> rgb = picture.alpha ? std::vector<std::uint8_t>{} : Rgb(picture.rgba);
  const std::vector<std::uint8_t>& pixels = picture.alpha ? picture.rgba : rgb;
  if (spng_encode_image(ctx, pixels.data(), pixels.size(), SPNG_FMT_PNG, SPNG_ENCODE_FINALIZE) != 0) return false;

  std::size_t length = 0;
  int error = 0;
  const std::unique_ptr<void, BufferDeleter> buffer(spng_get_png_buffer(ctx, &length, &error));
  if (!buffer || error != 0) return false;
  const auto* bytes = static_cast<const std::byte*>(buffer.get());
  png.assign(bytes, bytes + length);
  return true;
}

}  // namespace korvanel
