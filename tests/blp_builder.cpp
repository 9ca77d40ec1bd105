#include "blp_builder.h"

#include <cstdio>
#include <cstdlib>
#include <stdexcept>
#include <vector>

#include <jpeglib.h>

#include "test_support.h"

namespace korvanel::test {
namespace {

constexpr std::size_t kHeaderLength = 160;

// Start of the first frame marker's length field: the game's shared header
// ends with the marker itself.
std::size_t SharedHeaderEnd(const std::string& jpeg) {
  std::size_t pos = 2;  // after SOI
  while (pos + 4 <= jpeg.size() && static_cast<unsigned char>(jpeg[pos]) == 0xFF) {
    const auto marker = static_cast<unsigned char>(jpeg[pos + 1]);
    if (marker >= 0xC0 && marker <= 0xC2) return pos + 2;
    const std::size_t length = static_cast<unsigned char>(jpeg[pos + 2]) * 256u +
                               static_cast<unsigned char>(jpeg[pos + 3]);
    pos += 2 + length;
  }
  throw std::invalid_argument("MakeBlpFromJpeg: no frame marker in the stream");
}

void Put(std::string& blp, std::size_t offset, std::int32_t value) {
  blp.replace(offset, 4, Le32(value));
}

std::string BlpHeader(std::int32_t compression, int width, int height) {
  std::string blp(kHeaderLength, '\0');
  blp.replace(0, 4, "BLP1");
  Put(blp, 4, compression);
  Put(blp, 8, 8);  // alpha bits
  Put(blp, 12, width);
  Put(blp, 16, height);
  Put(blp, 20, 4);  // picture type
  Put(blp, 24, 1);  // has mipmaps
  return blp;
}

}  // namespace

std::string EncodeBgraJpeg(int width, int height, const BgraPicture& bgra, int quality) {
  // libjpeg's default error handler ends the process; keep it out of reach.
  if (width <= 0 || height <= 0 || width > 65500 || height > 65500)
    throw std::invalid_argument("EncodeBgraJpeg: bad picture size");

  jpeg_compress_struct cinfo{};
  jpeg_error_mgr jerr{};
  cinfo.err = jpeg_std_error(&jerr);
  jpeg_create_compress(&cinfo);
  unsigned char* out = nullptr;
  unsigned long outLength = 0;
  jpeg_mem_dest(&cinfo, &out, &outLength);
  cinfo.image_width = static_cast<JDIMENSION>(width);
  cinfo.image_height = static_cast<JDIMENSION>(height);
  cinfo.input_components = 4;
  cinfo.in_color_space = JCS_CMYK;
  jpeg_set_defaults(&cinfo);
  jpeg_set_colorspace(&cinfo, JCS_CMYK);
  jpeg_set_quality(&cinfo, quality, TRUE);
  // As the game's pictures: a JFIF marker and no Adobe marker, which
  // decoders read as four components without transform.
  cinfo.write_JFIF_header = TRUE;
  cinfo.write_Adobe_marker = FALSE;
  jpeg_start_compress(&cinfo, TRUE);
  std::vector<JSAMPLE> row(static_cast<std::size_t>(width) * 4);
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      const Bgra p = bgra(x, y);
      for (int c = 0; c < 4; ++c) row[static_cast<std::size_t>(x) * 4 + c] = p[c];
    }
    JSAMPROW rows[] = {row.data()};
    jpeg_write_scanlines(&cinfo, rows, 1);
  }
  jpeg_finish_compress(&cinfo);
  jpeg_destroy_compress(&cinfo);
  std::string jpeg(reinterpret_cast<const char*>(out), outLength);
  std::free(out);
  return jpeg;
}

std::string MakeBlpFromJpeg(int width, int height, const std::string& jpeg,
                            const BlpOverrides& overrides) {
  const std::size_t split = SharedHeaderEnd(jpeg);
  std::string blp = BlpHeader(overrides.compression.value_or(0), width, height);
  if (overrides.magic) blp.replace(0, 4, overrides.magic->substr(0, 4));
  if (overrides.alphaBits) Put(blp, 8, *overrides.alphaBits);
  if (overrides.width) Put(blp, 12, *overrides.width);
  if (overrides.height) Put(blp, 16, *overrides.height);
  Put(blp, 28, overrides.mipmapOffset.value_or(static_cast<std::int32_t>(kHeaderLength + split)));
  Put(blp, 92, overrides.mipmapSize.value_or(static_cast<std::int32_t>(jpeg.size() - split)));
  Put(blp, 156, overrides.sharedHeaderSize.value_or(static_cast<std::int32_t>(split)));
  blp += jpeg;
  return blp;
}

std::string MakeBlp(int width, int height, const BgraPicture& bgra, const BlpOverrides& overrides) {
  return MakeBlpFromJpeg(width, height, EncodeBgraJpeg(width, height, bgra), overrides);
}

std::string MakePalettedBlp(int width, int height, const std::array<Bgra, 256>& palette, const PixelValue& index,
                            const PalettedAlpha& alpha) {
  std::string blp = BlpHeader(1, width, height);
  Put(blp, 8, alpha.depth);
  blp.resize(156);
  for (const Bgra& colour : palette) blp.append(colour.begin(), colour.end());
  const auto pixels = static_cast<std::size_t>(width) * static_cast<std::size_t>(height);
  std::string values((pixels * static_cast<std::size_t>(alpha.depth) + 7) / 8, '\0');
  const unsigned all = (1u << alpha.depth) - 1;
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) {
      blp += static_cast<char>(index(x, y));
      if (alpha.depth == 0) continue;
      const std::size_t bit = (static_cast<std::size_t>(y) * width + x) * alpha.depth;
      const unsigned value = (alpha.value ? alpha.value(x, y) : all) & all;
      values[bit / 8] = static_cast<char>(static_cast<unsigned char>(values[bit / 8]) | value << (bit % 8));
    }
  Put(blp, 28, static_cast<std::int32_t>(blp.size() - pixels));
  Put(blp, 92, static_cast<std::int32_t>(pixels + values.size()));
  return blp + values;
}

std::string MakeTga(int width, int height, const BgraPicture& bgra, const TgaLayout& layout) {
  const int bytes = layout.bits / 8;
  std::string tga(18, '\0');
  tga[0] = static_cast<char>(layout.id.size());
  tga[2] = static_cast<char>(layout.runLength ? 10 : 2);
  tga.replace(12, 2, Le32(width).substr(0, 2));
  tga.replace(14, 2, Le32(height).substr(0, 2));
  tga[16] = static_cast<char>(layout.bits);
  tga[17] = static_cast<char>((layout.topRowFirst ? 0x20 : 0) | (bytes == 4 ? 8 : 0));
  tga += layout.id;

  std::vector<std::string> pixels;  // in stored order
  for (int row = 0; row < height; ++row) {
    const int y = layout.topRowFirst ? row : height - 1 - row;
    for (int x = 0; x < width; ++x) {
      const Bgra p = bgra(x, y);
      pixels.emplace_back(reinterpret_cast<const char*>(p.data()), static_cast<std::size_t>(bytes));
    }
  }
  if (!layout.runLength) {
    for (const std::string& p : pixels) tga += p;
    return tga;
  }
  for (std::size_t i = 0; i < pixels.size();) {
    std::size_t run = 1;
    while (i + run < pixels.size() && run < 128 && pixels[i + run] == pixels[i]) ++run;
    if (run > 1) {
      tga += static_cast<char>(0x80 | (run - 1));
      tga += pixels[i];
      i += run;
      continue;
    }
    std::size_t raw = 1;  // up to the next pair of equal pixels
    while (i + raw < pixels.size() && raw < 128 &&
           (i + raw + 1 >= pixels.size() || pixels[i + raw] != pixels[i + raw + 1]))
      ++raw;
    tga += static_cast<char>(raw - 1);
    for (std::size_t k = 0; k < raw; ++k) tga += pixels[i + k];
    i += raw;
  }
  return tga;
}

}  // namespace korvanel::test
