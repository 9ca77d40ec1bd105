#include "output/minimap_icons_draw.h"

#include <algorithm>
#include <cstdlib>

namespace korvanel {

namespace {

constexpr Rgb kPlayerColours[] = {
    {255, 3, 3},   {0, 66, 255},   {28, 230, 185},  {84, 0, 129},   {255, 252, 1}, {254, 138, 14},
    {32, 192, 0},  {229, 91, 176}, {149, 150, 151}, {126, 191, 241}, {16, 98, 70},  {78, 42, 4},
};
constexpr Rgb kGold{255, 204, 0};
constexpr Rgb kNeutral{230, 230, 230};
constexpr Rgb kOutline{16, 16, 16};

enum class Shape { kDisc, kDiamond, kSquare };

// Radius in icon space (256 across), before the outline.
constexpr std::int64_t kRadius = 4;

// Distance of (dx, dy) from the centre in the shape's own measure, squared
// for the disc so that all stays in integers.
bool Inside(Shape shape, std::int64_t dx, std::int64_t dy, std::int64_t r) {
  switch (shape) {
    case Shape::kDisc: return dx * dx + dy * dy <= r * r;
    case Shape::kDiamond: return std::abs(dx) + std::abs(dy) <= r;
    case Shape::kSquare: return std::max(std::abs(dx), std::abs(dy)) <= r;
  }
  return false;
}

void SetPixel(Picture& p, std::int64_t x, std::int64_t y, Rgb c) {
  const std::size_t at = (static_cast<std::size_t>(y) * static_cast<std::size_t>(p.width) + static_cast<std::size_t>(x)) * 4;
  p.rgba[at] = c.red;
  p.rgba[at + 1] = c.green;
  p.rgba[at + 2] = c.blue;
  p.rgba[at + 3] = 255;
}

void DrawIcon(Picture& p, std::int64_t cx, std::int64_t cy, std::int64_t r, std::int64_t outline, Shape shape,
              Rgb fill) {
  const std::int64_t reach = r + outline;
  const std::int64_t x0 = std::max<std::int64_t>(0, cx - reach), x1 = std::min<std::int64_t>(p.width - 1, cx + reach);
  const std::int64_t y0 = std::max<std::int64_t>(0, cy - reach), y1 = std::min<std::int64_t>(p.height - 1, cy + reach);
  for (std::int64_t y = y0; y <= y1; ++y)
    for (std::int64_t x = x0; x <= x1; ++x) {
      if (Inside(shape, x - cx, y - cy, r))
        SetPixel(p, x, y, fill);
      else if (Inside(shape, x - cx, y - cy, reach))
        SetPixel(p, x, y, kOutline);
    }
}

}  // namespace

Rgb PlayerColour(std::int32_t number) {
  if (number < 0 || number >= static_cast<std::int32_t>(std::size(kPlayerColours))) return kPlayerColours[8];
  return kPlayerColours[number];
}

Picture DrawMinimapIcons(const Picture& minimap, std::span<const MinimapIcon> icons) {
  Picture out = minimap;
  if (out.width <= 0 || out.height <= 0 ||
      out.rgba.size() != static_cast<std::size_t>(out.width) * static_cast<std::size_t>(out.height) * 4)
    return out;
  // Icons keep their size relative to the picture's shorter side; at least
  // one pixel of fill and one of outline so they show on a small preview.
  const std::int64_t side = std::min(out.width, out.height);
  const std::int64_t r = std::max<std::int64_t>(1, kRadius * side / 256);
  const std::int64_t outline = std::max<std::int64_t>(1, side / 256);
  std::int32_t starts = 0;
  for (const MinimapIcon& icon : icons) {
    Shape shape;
    Rgb fill;
    switch (icon.type) {
      case kGoldMineIcon: shape = Shape::kDiamond; fill = kGold; break;
      case kNeutralBuildingIcon: shape = Shape::kSquare; fill = kNeutral; break;
      case kStartLocationIcon:
        shape = Shape::kDisc;
        fill = icon.alpha == 0 ? PlayerColour(starts) : Rgb{icon.red, icon.green, icon.blue};
        ++starts;
        break;
      default: continue;
    }
    // The centre of icon cell x: (x + 1/2) * width / 256.
    const std::int64_t cx = (2 * std::int64_t{icon.x} + 1) * out.width / 512;
    const std::int64_t cy = (2 * std::int64_t{icon.y} + 1) * out.height / 512;
    DrawIcon(out, cx, cy, r, outline, shape, fill);
  }
  return out;
}

}  // namespace korvanel
