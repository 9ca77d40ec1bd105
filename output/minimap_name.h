// Names of a map's minimap file and of the map in minimap messages.
#pragma once

#include <string>
#include <string_view>

namespace korvanel {

// The map file's name without its folder and extension: "Two.Rivers" for
// ".../Two.Rivers.W3M". A dot in the first place (".w3m") is kept.
std::string MinimapBaseName(std::string_view mapPath);

// The map as minimap messages name it: the base name + ".w3m", whatever the
// map file's own extension and letter case.
std::string MinimapMapName(std::string_view baseName);

}  // namespace korvanel
