// war3map.mmp: a count and 16-byte entries, the count never trusted for memory.
#include <cstddef>
#include <cstdint>

#include "fuzz/fuzz_support.h"
#include "output/minimap_icons_draw.h"
#include "parsers/minimap_icons.h"

using namespace korvanel;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  MinimapIconFacts facts;
  const bool ok = ParseMinimapIcons(fuzz::AsBytes(data, size), facts);
  if (facts.icons.size() > size / 16) fuzz::Fail("more icons than the data holds");
  if (ok && 8 + facts.icons.size() * 16 > size) fuzz::Fail("success past the data");
  // Whatever the places, the drawing stays inside a small picture.
  Picture minimap{16, 8, false, std::vector<std::uint8_t>(16 * 8 * 4, 0)};
  if (DrawMinimapIcons(minimap, facts.icons).rgba.size() != minimap.rgba.size()) fuzz::Fail("picture resized");
  return 0;
}
