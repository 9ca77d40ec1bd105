#include "parsers/map_info.h"

#include <bit>
#include <cstdint>
#include <iterator>
#include <string>
#include <utility>

#include "parsers/byte_reader.h"
#include "parsers/record_line.h"

namespace korvanel {

namespace {

constexpr std::int32_t kReadableFormat = 18;
// The formats of later editors, by the fields each added to the one before.
constexpr std::int32_t kExpansionFormat = 25;    // loading screen, prologue, fog, weather, light and water
constexpr std::int32_t kGameVersionFormat = 27;  // the game's version, after the editor's
constexpr std::int32_t kScriptLanguageFormat = 28;
constexpr std::int32_t kGameDataFormat = 31;     // supported modes and game data version; enemy priorities
constexpr std::int32_t kCameraFormat = 32;       // three camera fields
constexpr std::int32_t kMeleeFlag = 4;

constexpr std::pair<std::int32_t, std::string_view> kMapFlags[] = {
    {0x0001, "hide_minimap_in_previews"},
    {0x0002, "modified_ally_priorities"},
    {0x0004, "melee"},
    {0x0008, "large_playable_size_never_reduced"},
    {0x0010, "masked_areas_partially_visible"},
    {0x0020, "fixed_player_settings"},
    {0x0040, "custom_forces"},
    {0x0080, "custom_tech_tree"},
    {0x0100, "custom_abilities"},
    {0x0200, "custom_upgrades"},
    {0x0400, "properties_opened"},
    {0x0800, "waves_on_cliff_shores"},
    {0x1000, "waves_on_rolling_shores"},
};

constexpr std::pair<std::int32_t, std::string_view> kForceFlags[] = {
    {0x01, "allied"},
    {0x02, "allied_victory"},
    {0x04, "shared_vision"},
    {0x10, "shared_unit_control"},
    {0x20, "shared_advanced_unit_control"},
};

constexpr std::string_view kVersionLabel = "W3I Version:       ";
constexpr std::string_view kMapVersionLabel = "Map Version:       ";
constexpr std::string_view kEditorLabel = "Editor Version:    ";
constexpr std::string_view kTextLabels[] = {
    "Map Name:          ", "Map Author:        ", "Description:       ", "Suggested Players: "};
constexpr std::string_view kPlayableSizeLabel = "Playable Map Size: ";
constexpr std::string_view kMapTypeLabel = "Map Type:          ";
constexpr std::string_view kTilesetLabel = "Main Tileset:      ";
constexpr std::string_view kMaxPlayersLabel = "Max Players:       ";

// Offset after a skipped NUL-ended string; a string that runs to the end of
// the data leaves the offset at the end.
std::int64_t SkipString(const ByteReader& in, std::int64_t offset) {
  if (offset >= in.Size()) return offset;
  std::int64_t next = 0;
  in.CString(offset, next);
  return next < in.Size() ? next : in.Size();
}

std::vector<std::string_view> FlagNames(std::int32_t flags, std::span<const std::pair<std::int32_t, std::string_view>> names) {
  std::vector<std::string_view> set;
  for (const auto& [bit, name] : names)
    if (flags & bit) set.push_back(name);
  return set;
}

MapText ReadText(const ByteReader& in, std::int64_t offset, std::int64_t& next, const TriggerStringTable& table,
                 MapFormats formats) {
  const std::string_view stored = in.CString(offset, next);
  return {std::string(stored), ResolveTriggerString(table, stored, formats)};
}

std::optional<float> F32(const ByteReader& in, std::int64_t offset) {
  const auto bits = in.I32(offset);
  if (!bits) return std::nullopt;
  return std::bit_cast<float>(*bits);
}

bool IsReadable(std::int32_t format, MapFormats formats) {
  return format == kReadableFormat || (formats == MapFormats::kLater && format >= kExpansionFormat);
}

// The player and force tables after the maximum number of players, at
// `offset`. From format 31 on, each player also has two enemy-priority
// masks after its ally-priority ones.
void ReadSlots(const ByteReader& in, std::int64_t offset, const TriggerStringTable& table, MapInfo& info) {
  const std::int64_t masks = *info.format >= kGameDataFormat ? 16 : 8;
  for (std::int32_t k = 0; k < *info.maxPlayers; ++k) {
    PlayerSlot player;
    const auto number = in.I32(offset), controller = in.I32(offset + 4), race = in.I32(offset + 8),
               fixed = in.I32(offset + 12);
    if (!number || !controller || !race || !fixed) return;
    std::int64_t next = 0;
    player.name = ReadText(in, offset + 16, next, table, info.formats);
    // Then the priority masks, not kept.
    const auto x = F32(in, next), y = F32(in, next + 4);
    if (!x || !y || !in.Has(next + 8, masks)) return;
    player.number = *number;
    player.controller = *controller;
    player.race = *race;
    player.fixedStart = *fixed != 0;
    player.startX = *x;
    player.startY = *y;
    info.players.push_back(std::move(player));
    offset = next + 8 + masks;
  }
  const auto forces = in.I32(offset);
  if (!forces) return;
  offset += 4;
  for (std::int32_t k = 0; k < *forces; ++k) {
    const auto flags = in.I32(offset), players = in.I32(offset + 4);
    if (!flags || !players) return;
    std::int64_t next = 0;
    MapText name = ReadText(in, offset + 8, next, table, info.formats);
    if (next > in.Size()) return;  // no NUL: the name was cut
    info.forces.push_back({*flags, *players, std::move(name)});
    offset = next;
  }
  info.slotsComplete = true;
}

// Offset after what later formats hold between the loading screen's number
// and the script language, from `q`, the offset of that number's end.
// Skipped strings that run to the end leave the offset past the data, which
// the caller's next read then fails.
std::int64_t SkipLaterSettings(const ByteReader& in, std::int64_t q) {
  auto skipStrings = [&](int count) {
    for (int k = 0; k < count; ++k) q = SkipString(in, q);
  };
  skipStrings(4);  // loading screen model and its three texts
  q += 4;          // game data set
  skipStrings(4);  // prologue picture and its three texts
  q += 4 + 12 + 4 + 4;  // fog style, its heights and density, its colour; weather
  skipStrings(1);  // sound environment
  return q + 1 + 4;  // light environment letter, water colour
}

// Format 18, or a later one, from the map version on; `info.format` is read.
bool ReadFields(const ByteReader& in, const TriggerStringTable& table, MapInfo& info) {
  const std::int32_t format = *info.format;
  if (!(info.mapVersion = in.I32(4))) return false;
  if (!(info.editorVersion = in.I32(8))) return false;

  std::int64_t p = 12;
  if (format >= kGameVersionFormat) {
    const auto major = in.I32(12), minor = in.I32(16), patch = in.I32(20), build = in.I32(24);
    if (!major || !minor || !patch || !build) return false;
    info.gameVersion = GameVersion{*major, *minor, *patch, *build};
    p += 16;
  }
  if (in.Size() <= p) return false;
  std::optional<MapText>* const texts[] = {&info.name, &info.author, &info.description, &info.suggestedPlayers};
  for (std::size_t k = 0; k < std::size(texts); ++k) {
    std::int64_t next = 0;
    *texts[k] = ReadText(in, p, next, table, info.formats);
    p = next;
    // The suggested players are followed by fixed-size fields, checked below.
    if (k + 1 < std::size(texts) && in.Size() <= p) return false;
  }

  const auto width = in.I32(p + 48);
  const auto height = in.I32(p + 52);
  if (!width || !height) return false;
  info.playableSize = MapSize{*width, *height};
  if (!(info.flags = in.I32(p + 56))) return false;
  if (!(info.tileset = in.U8(p + 60))) return false;

  // Loading screen, prologue and the like, not kept.
  std::int64_t q = p + 65;
  if (in.Size() <= q) return false;
  if (format == kReadableFormat) {
    // A number and three texts each.
    for (int k = 0; k < 3; ++k) q = SkipString(in, q);
    q += 4;
    if (in.Size() <= q) return false;
    for (int k = 0; k < 3; ++k) q = SkipString(in, q);
  } else {
    q = SkipLaterSettings(in, q);
    if (format >= kScriptLanguageFormat) {
      if (!(info.scriptLanguage = in.I32(q))) return false;
      q += 4;
    }
    if (format >= kGameDataFormat) q += 8;
    if (format >= kCameraFormat) q += 12;
  }

  if (!(info.maxPlayers = in.I32(q))) return false;
  ReadSlots(in, q + 4, table, info);
  return true;
}

}  // namespace

bool ParseMapInfo(std::span<const std::byte> data, const TriggerStringTable& table, MapInfo& info,
                  MapFormats formats) {
  info = {};
  info.formats = formats;
  const ByteReader in(data);
  if (!(info.format = in.I32(0))) return false;
  return !IsReadable(*info.format, formats) || ReadFields(in, table, info);
}

void WriteMapInfoLines(const MapInfo& info, LineWriter& out) {
  if (info.format) out.WriteInfoText(NumberLine(kVersionLabel, *info.format));
  if (info.mapVersion) out.WriteInfoText(NumberLine(kMapVersionLabel, *info.mapVersion));
  if (info.editorVersion)
    out.WriteInfoText(TextLine(kEditorLabel, std::to_string(*info.editorVersion) + " (" +
                                                 std::string(EditorName(*info.editorVersion)) + ")"));
  const std::optional<MapText>* const texts[] = {&info.name, &info.author, &info.description, &info.suggestedPlayers};
  for (std::size_t k = 0; k < std::size(texts); ++k)
    if (*texts[k]) out.WriteInfoText(TextLine(kTextLabels[k], EscapeMapText((*texts[k])->resolved)));
  if (info.playableSize)
    out.WriteInfoText(SizeLine(kPlayableSizeLabel, info.playableSize->width, info.playableSize->height));
  if (info.flags) out.WriteInfoText(TextLine(kMapTypeLabel, IsMeleeMap(*info.flags) ? "Melee" : "Non-Melee"));
  if (info.tileset) out.WriteInfoText(TextLine(kTilesetLabel, TilesetName(*info.tileset, info.formats)));
  if (info.maxPlayers) out.WriteInfoText(NumberLine(kMaxPlayersLabel, *info.maxPlayers));
}

bool ParseMapInfo(std::span<const std::byte> data, const TriggerStringTable& table, MapInfo& info, LineWriter& out,
                  MapFormats formats) {
  const bool ok = ParseMapInfo(data, table, info, formats);
  WriteMapInfoLines(info, out);
  return ok;
}

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


bool IsMeleeMap(std::int32_t flags) { return (flags & kMeleeFlag) != 0; }

std::string_view ControllerName(std::int32_t controller) {
  switch (controller) {
    case 1: return "human";
    case 2: return "computer";
    case 3: return "neutral";
    case 4: return "rescuable";
    default: return "";
  }
}

std::string_view RaceName(std::int32_t race) {
  switch (race) {
    case 0: return "selectable";
    case 1: return "human";
    case 2: return "orc";
    case 3: return "undead";
    case 4: return "night_elf";
    default: return "";
  }
}

std::string_view ScriptLanguageName(std::int32_t language) {
  switch (language) {
    case 0: return "jass";
    case 1: return "lua";
    default: return "";
  }
}

std::vector<std::string_view> MapFlagNames(std::int32_t flags) { return FlagNames(flags, kMapFlags); }
std::vector<std::string_view> ForceFlagNames(std::int32_t flags) { return FlagNames(flags, kForceFlags); }

}  // namespace korvanel
