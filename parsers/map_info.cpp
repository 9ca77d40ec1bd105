#include "parsers/map_info.h"

#include <cstdint>
#include <iterator>
#include <string>

#include "parsers/byte_reader.h"
#include "parsers/record_line.h"

namespace korvanel {

namespace {

constexpr std::int32_t kReadableFormat = 18;
// The formats of later editors, by the fields each added to the one before.
constexpr std::int32_t kExpansionFormat = 25;    // loading screen, prologue, fog, weather, light and water
constexpr std::int32_t kGameVersionFormat = 27;  // the game's version, after the editor's
constexpr std::int32_t kScriptLanguageFormat = 28;
constexpr std::int32_t kGameDataFormat = 31;     // supported modes and game data version
constexpr std::int32_t kCameraFormat = 32;       // three camera fields
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

std::string_view TilesetName(std::uint8_t letter, MapFormats formats) {
  if (formats == MapFormats::kLater) {
    switch (letter) {
      case 'I': return "Icecrown Glacier";
      case 'J': return "Dalaran Ruins";
      case 'K': return "Black Citadel";
      case 'O': return "Outland";
      case 'Z': return "Sunken Ruins";
      default: break;
    }
  }
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

bool IsReadable(std::int32_t format, MapFormats formats) {
  return format == kReadableFormat || (formats == MapFormats::kLater && format >= kExpansionFormat);
}

// Offset of the maximum number of players, from `q`, the offset after the
// 4 bytes that follow the tileset letter. Skipped strings that run to the
// end leave the offset past the data, which the caller's read then fails.
std::int64_t MaxPlayersOffset(const ByteReader& in, std::int32_t format, std::int64_t q) {
  auto skipStrings = [&](int count) {
    for (int k = 0; k < count; ++k) q = SkipString(in, q);
  };
  if (format == kReadableFormat) {
    // Loading screen and prologue: three texts and a number, three texts.
    skipStrings(3);
    q += 4;
    skipStrings(3);
    return q;
  }
  skipStrings(4);  // loading screen model and its three texts
  q += 4;          // game data set
  skipStrings(4);  // prologue picture and its three texts
  q += 4 + 12 + 4 + 4;  // fog style, its heights and density, its colour; weather
  skipStrings(1);  // sound environment
  q += 1 + 4;      // light environment letter, water colour
  if (format >= kScriptLanguageFormat) q += 4;
  if (format >= kGameDataFormat) q += 8;
  if (format >= kCameraFormat) q += 12;
  return q;
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

bool ParseMapInfo(std::span<const std::byte> data, const TriggerStringTable& table, LineWriter& out,
                  MapFormats formats) {
  const ByteReader in(data);

  const auto format = in.I32(0);
  if (!format) return false;
  out.WriteInfoText(NumberLine(kVersionLabel, *format));
  if (!IsReadable(*format, formats)) return true;

  const auto mapVersion = in.I32(4);
  if (!mapVersion) return false;
  out.WriteInfoText(NumberLine(kMapVersionLabel, *mapVersion));

  const auto editor = in.I32(8);
  if (!editor) return false;
  out.WriteInfoText(TextLine(kEditorLabel, std::to_string(*editor) + " (" + std::string(EditorName(*editor)) + ")"));

  std::int64_t p = *format >= kGameVersionFormat ? 12 + 16 : 12;
  if (in.Size() <= p) return false;
  for (std::size_t k = 0; k < std::size(kTextLabels); ++k) {
    std::int64_t next = 0;
    const std::string_view stored = in.CString(p, next);
    p = next;
    out.WriteInfoText(TextLine(kTextLabels[k], EscapeMapText(ResolveTriggerString(table, stored, formats))));
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
  out.WriteInfoText(TextLine(kTilesetLabel, TilesetName(*tileset, formats)));

  // Loading screen, prologue and the like, not reported.
  const std::int64_t q = p + 65;
  if (in.Size() <= q) return false;
  const auto maxPlayers = in.I32(MaxPlayersOffset(in, *format, q));
  if (!maxPlayers) return false;
  out.WriteInfoText(NumberLine(kMaxPlayersLabel, *maxPlayers));
  return true;
}

}  // namespace korvanel
