// Builds BLP1 and TGA pictures for tests and sample maps. The JPEG kind of
// BLP1 stores its four components as the game does: blue, green, red,
// alpha, with no colour transform.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>

namespace korvanel::test {

using Bgra = std::array<std::uint8_t, 4>;
using BgraPicture = std::function<Bgra(int x, int y)>;

// Header fields to force, for damaged pictures; unset ones describe the
// picture as built.
struct BlpOverrides {
  std::optional<std::string> magic = {};  // four bytes
  std::optional<std::int32_t> compression = {};
  std::optional<std::int32_t> alphaBits = {};
  std::optional<std::int32_t> width = {};
  std::optional<std::int32_t> height = {};
  std::optional<std::int32_t> mipmapOffset = {};  // of mipmap 0
  std::optional<std::int32_t> mipmapSize = {};    // of mipmap 0
  std::optional<std::int32_t> sharedHeaderSize = {};
};

// A four-component JPEG stream (components as given, no transform).
std::string EncodeBgraJpeg(int width, int height, const BgraPicture& bgra, int quality = 90);

// A JPEG-kind BLP1 with one mipmap; `jpeg` is split into the shared header
// (up to its frame marker, as the game splits it) and mipmap 0's part.
std::string MakeBlpFromJpeg(int width, int height, const std::string& jpeg,
                            const BlpOverrides& overrides = {});

// The same from pixels.
std::string MakeBlp(int width, int height, const BgraPicture& bgra,
                    const BlpOverrides& overrides = {});

using PixelValue = std::function<std::uint8_t(int x, int y)>;

// The alpha values of a paletted BLP1: `depth` bits a pixel (0, 1, 4 or 8),
// packed first pixel in the lowest bits; `value` gives each in
// 0..2^depth - 1, all bits set when unset.
struct PalettedAlpha {
  std::int32_t depth = 8;
  PixelValue value = {};
};

// A paletted BLP1 (compression 1): the 256-colour palette at offset 156,
// then mipmap 0 as one index a pixel followed by the alpha values.
std::string MakePalettedBlp(int width, int height, const std::array<Bgra, 256>& palette, const PixelValue& index,
                            const PalettedAlpha& alpha = {});

// How a TGA picture is stored.
struct TgaLayout {
  bool runLength = false;  // image type 10, else 2
  int bits = 24;           // 24 (alpha dropped) or 32
  bool topRowFirst = false;
  std::string id = {};     // the id field, skipped by readers
};

// A true-colour TGA. With runLength, runs of equal pixels become repeat
// packets (up to 128 pixels, running on across rows) and the rest raw ones.
std::string MakeTga(int width, int height, const BgraPicture& bgra, const TgaLayout& layout = {});

}  // namespace korvanel::test
