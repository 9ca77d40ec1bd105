// The minimap's icons (war3map.mmp): where the start locations, gold mines
// and neutral buildings sit on the map's preview.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

namespace korvanel {

// The icon kinds the editor writes; later editors may write others, which
// are kept as they are stored.
enum MinimapIconType : std::int32_t {
  kGoldMineIcon = 0,
  kNeutralBuildingIcon = 1,
  kStartLocationIcon = 2,
};

// One icon. x and y are its centre in a 256x256 space laid over the
// preview, origin at the top left, y growing downward. That space covers
// the playable area, its longer side scaled to 256 and the shorter one
// centred (checked against the start positions of real maps).
struct MinimapIcon {
  std::int32_t type = 0;  // see MinimapIconType
  std::int32_t x = 0;
  std::int32_t y = 0;
  // Stored as B, G, R, A: the player's colour for a start location, white
  // for the others.
  std::uint8_t red = 0;
  std::uint8_t green = 0;
  std::uint8_t blue = 0;
  std::uint8_t alpha = 0;
};

struct MinimapIconFacts {
  std::optional<std::int32_t> version;
  std::vector<MinimapIcon> icons;  // the whole entries the data holds, up to the stored count
};

// Fills `facts` (emptied first). False when the data ends before the count
// or before the stored number of entries, or the count is negative; the
// entries read before the end are kept either way.
bool ParseMinimapIcons(std::span<const std::byte> data, MinimapIconFacts& facts);

}  // namespace korvanel
