// The minimap with its icons drawn on, as the game shows it in the map list.
#pragma once

#include <cstdint>
#include <span>

#include "parsers/minimap_icons.h"
#include "parsers/picture.h"

namespace korvanel {

struct Rgb {
  std::uint8_t red = 0;
  std::uint8_t green = 0;
  std::uint8_t blue = 0;
};

// The game's colour of player `number` (0 red ... 11 brown); gray for others.
Rgb PlayerColour(std::int32_t number);

// A copy of `minimap` with each icon drawn at its place, the 256x256 icon
// space scaled to the picture: start locations as discs in the stored
// colour (a transparent one takes the player colour of its order among the
// start locations), gold mines as gold diamonds, neutral buildings as light
// squares, each with a dark outline; other kinds are left out. Clipped at
// the edges. A picture whose pixels do not match its size is copied as is.
Picture DrawMinimapIcons(const Picture& minimap, std::span<const MinimapIcon> icons);

}  // namespace korvanel
