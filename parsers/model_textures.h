// The texture paths of a binary model (.mdx), so that a map's loading
// screen given as a model can be shown by its first picture.
#pragma once

#include <cstddef>
#include <span>
#include <string>
#include <vector>

namespace korvanel {

// The non-empty paths of the model's texture chunk (TEXS), in order. Empty
// for data that is not a binary model ("MDLX"), has no texture chunk, or
// whose chunks run past the data; a texture chunk cut short gives the
// entries it holds whole.
std::vector<std::string> ModelTexturePaths(std::span<const std::byte> data);

}  // namespace korvanel
