// Decodes a TGA picture (war3mapPreview.tga): true colour, 24 or 32 bits,
// stored plain (image type 2) or run-length coded (type 10).
#pragma once

#include <cstddef>
#include <span>

#include "parsers/picture.h"

namespace korvanel {

// `out` is left as it was unless kNone. Colour-mapped and grey pictures,
// other depths and right-to-left pixel order are kUnsupported.
PictureError DecodeTga(std::span<const std::byte> tga, Picture& out);

}  // namespace korvanel
