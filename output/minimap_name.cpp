#include "output/minimap_name.h"

namespace korvanel {

std::string MinimapBaseName(std::string_view mapPath) {
  // A separator in the first place (a map at the file system's root) is cut
  // too, so that the name never carries a separator into the output path.
  std::string_view name = mapPath;
  if (std::size_t slash = name.rfind('/'); slash != std::string_view::npos)
    name.remove_prefix(slash + 1);
  if (std::size_t dot = name.rfind('.'); dot != std::string_view::npos && dot > 0)
    name = name.substr(0, dot);
  return std::string(name);
}

std::string MinimapMapName(std::string_view baseName) {
  std::string name(baseName);
  name += ".w3m";
  return name;
}

}  // namespace korvanel
