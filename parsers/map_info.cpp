#include "parsers/map_info.h"

#include <cstdint>
#include <iterator>
#include <string>

#include "parsers/byte_reader.h"
#include "parsers/record_line.h"

namespace korvanel {

namespace {

constexpr std::int32_t kReadableFormat = 18;
constexpr std::int32_t kMeleeFlag = 4;

constexpr std::string_view kVersionLabel = "W3I Version:       ";
constexpr std::string_view kMapVersionLabel = "Map Version:       ";
constexpr std::string_view kEditorLabel = "Editor Version:    ";
constexpr std::string_view kTextLabels[] = {
    "Map Name:          ", "Map Author:        ", "Description:       ", "Suggested Players: "};
constexpr std::string_view kPlayableSizeLabel = "Playable Map Size: ";
constexpr std::string_view kMapTypeLabel = "Map Type:          ";
constexpr std::string_view kTilesetLabel = "Main Tileset:      ";
constexpr std::string_view kMaxPlayersLabel = "Max Players:       ";

std::string_view EditorName(std::int32_t version) {
  switch (version) {
    case 4164: return "World Editor Beta";
    case 4422: case 4432: case 4433: case 4434: case 4436: case 4437: case 4441:
      return "World Editor Indoor Version";
    case 4428: return "World Editor Retail 1.00";
    case 4482: return "World Editor Retail 1.01";
    case 2703: return "War3 Quellan's Map Editor";
    default: return "unknown";
  }
}

std::string_view TilesetName(std::uint8_t letter) {
  switch (letter) {
    case 'L': return "Lordaeron Summer";
    case 'F': return "Lordaeron Fall";
    case 'W': return "Lordaeron Winter";
    case 'B': return "Barrens";
    case 'A': return "Ashenvale";
    case 'C': return "Felwood";
    case 'N': return "Northrend";
    case 'Y': return "Cityscape";
    case 'V': return "Village";
    case 'Q': return "Village Fall";
    case 'D': return "Dungeon";
    case 'G': return "Underground";
    case 'X': return "Dalaran";
    default: return "Unknown Tileset";
  }
}

// Offset after a skipped NUL-ended string; a string that runs to the end of
// the data leaves the offset at the end.
std::int64_t SkipString(const ByteReader& in, std::int64_t offset) {
  if (offset >= in.Size()) return offset;
  std::int64_t next = 0;
  in.CString(offset, next);
  return next < in.Size() ? next : in.Size();
}

}  // namespace

std::string EscapeMapText(std::string_view text) {
  std::string escaped;
  escaped.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\\') {
      escaped += "\\\\";
    } else if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') {
      escaped += "\\n";
      ++i;
    } else {
      escaped += text[i];
    }
  }
  return escaped;
}

bool ParseMapInfo(std::span<const std::byte> data, const TriggerStringTable& table, LineWriter& out) {
  const ByteReader in(data);

  const auto format = in.I32(0);
  if (!format) return false;
  out.WriteInfoText(NumberLine(kVersionLabel, *format));
  if (*format != kReadableFormat) return true;

  const auto mapVersion = in.I32(4);
  if (!mapVersion) return false;
  out.WriteInfoText(NumberLine(kMapVersionLabel, *mapVersion));

  const auto editor = in.I32(8);
  if (!editor) return false;
  out.WriteInfoText(TextLine(kEditorLabel, std::to_string(*editor) + " (" + std::string(EditorName(*editor)) + ")"));

  if (in.Size() <= 12) return false;
  std::int64_t p = 12;
  for (std::size_t k = 0; k < std::size(kTextLabels); ++k) {
    std::int64_t next = 0;
    const std::string_view stored = in.CString(p, next);
    p = next;
    out.WriteInfoText(TextLine(kTextLabels[k], EscapeMapText(ResolveTriggerString(table, stored))));
    // The suggested players are followed by fixed-size fields, checked below.
    if (k + 1 < std::size(kTextLabels) && in.Size() <= p) return false;
  }

  const auto width = in.I32(p + 48);
  const auto height = in.I32(p + 52);
  if (!width || !height) return false;
  out.WriteInfoText(SizeLine(kPlayableSizeLabel, *width, *height));

  const auto flags = in.I32(p + 56);
  if (!flags) return false;
  out.WriteInfoText(TextLine(kMapTypeLabel, (*flags & kMeleeFlag) ? "Melee" : "Non-Melee"));

  const auto tileset = in.U8(p + 60);
  if (!tileset) return false;
  out.WriteInfoText(TextLine(kTilesetLabel, TilesetName(*tileset)));

  // Loading screen and prologue: a number and three texts each, not reported.
  std::int64_t q = p + 65;
  if (in.Size() <= q) return false;
  for (int k = 0; k < 3; ++k) q = SkipString(in, q);
  q += 4;
  if (in.Size() <= q) return false;
  for (int k = 0; k < 3; ++k) q = SkipString(in, q);

  const auto maxPlayers = in.I32(q);
  if (!maxPlayers) return false;
  out.WriteInfoText(NumberLine(kMaxPlayersLabel, *maxPlayers));
  return true;
}

}  // namespace korvanel
