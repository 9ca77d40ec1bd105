// A size in map cells, as the map files store it.
#pragma once

#include <cstdint>

namespace korvanel {

struct MapSize {
  std::int32_t width = 0;
  std::int32_t height = 0;
};

}  // namespace korvanel
