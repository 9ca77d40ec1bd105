#include "parsers/minimap_icons.h"

#include "parsers/byte_reader.h"

namespace korvanel {

namespace {
constexpr std::int64_t kEntrySize = 16;
}  // namespace

bool ParseMinimapIcons(std::span<const std::byte> data, MinimapIconFacts& facts) {
  facts = {};
  const ByteReader in(data);
  if (!(facts.version = in.I32(0))) return false;
  const auto count = in.I32(4);
  if (!count || *count < 0) return false;
  // Only what the data holds is reserved, never what the count claims.
  const std::int64_t held = (in.Size() - 8) / kEntrySize;
  const std::int64_t wanted = *count;
  facts.icons.reserve(static_cast<std::size_t>(wanted < held ? wanted : held));
  for (std::int64_t k = 0; k < wanted; ++k) {
    const std::int64_t at = 8 + k * kEntrySize;
    if (!in.Has(at, kEntrySize)) return false;
    MinimapIcon icon;
    icon.type = *in.I32(at);
    icon.x = *in.I32(at + 4);
    icon.y = *in.I32(at + 8);
    icon.blue = *in.U8(at + 12);
    icon.green = *in.U8(at + 13);
    icon.red = *in.U8(at + 14);
    icon.alpha = *in.U8(at + 15);
    facts.icons.push_back(icon);
  }
  return true;
}

}  // namespace korvanel
