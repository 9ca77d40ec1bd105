// Encodes a decoded picture as a PNG file's bytes, with libspng.
#pragma once

#include <cstddef>
#include <vector>

#include "parsers/picture.h"

namespace korvanel {

// Eight bits a component: RGB when the picture has no alpha, RGBA
// otherwise. False when the picture is empty or inconsistent or the
// library fails; `png` is then empty.
bool EncodePng(const Picture& picture, std::vector<std::byte>& png);

}  // namespace korvanel
