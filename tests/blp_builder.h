// Builds BLP1 pictures for tests and sample maps. The JPEG kind stores its
// four components as the game does: blue, green, red, alpha, with no colour
// transform.
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

// A paletted BLP1 (compression 1): the 256-colour palette at offset 156,
// then mipmap 0 as one index and one alpha byte a pixel.
std::string MakePalettedBlp(int width, int height, const std::array<Bgra, 256>& palette,
                            const std::function<std::uint8_t(int x, int y)>& index);

}  // namespace korvanel::test
