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
// The formats of later editors, by the fields each added to the one before
// (the version history of the community's map format documentation; no
// map of 19 to 24, editors of the expansion's test phase, was at hand).
constexpr std::int32_t kFogFormat = 19;
constexpr std::int32_t kImportedScreensFormat = 20;  // a path for each screen's imported model or picture
constexpr std::int32_t kWeatherFormat = 21;
constexpr std::int32_t kSoundFormat = 22;            // custom sound environment
constexpr std::int32_t kLightFormat = 23;            // custom light environment
// 24 adds random item tables, after the forces.
constexpr std::int32_t kExpansionFormat = 25;        // water colour
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

std::vector<std::string_view> FlagNames(std::int32_t flags, std::span<const std::pair<std::int32_t, std::string_view>> names) {
  std::vector<std::string_view> set;
  for (const auto& [bit, name] : names)
    if (flags & bit) set.push_back(name);
  return set;
}

MapText Resolved(std::string_view stored, const TriggerStringTable& table, MapFormats formats) {
  return {std::string(stored), ResolveTriggerString(table, stored, formats)};
}

MapText ReadText(const ByteReader& in, std::int64_t offset, std::int64_t& next, const TriggerStringTable& table,
                 MapFormats formats) {
  return Resolved(in.CString(offset, next), table, formats);
}

std::optional<float> F32(const ByteReader& in, std::int64_t offset) {
  const auto bits = in.I32(offset);
  if (!bits) return std::nullopt;
  return std::bit_cast<float>(*bits);
}

bool IsReadable(std::int32_t format, MapFormats formats) {
  return format == kReadableFormat || (formats == MapFormats::kLater && format > kReadableFormat);
}

// Reads fields one after another; once one is missing every later one is
// too, so that a cut keeps exactly the fields before it.
class FieldCursor {
 public:
  FieldCursor(const ByteReader& in, std::int64_t at) : in_(in), at_(at) {}

  std::int64_t At() const { return at_; }

  std::optional<std::int32_t> Int() {
    const auto value = ended_ ? std::nullopt : in_.I32(at_);
    Advance(value.has_value(), 4);
    return value;
  }

  // A string without its NUL runs to the end of the data and is read as far
  // as it goes; nothing follows it.
  std::optional<std::string_view> String() {
    if (ended_ || at_ >= in_.Size()) {
      ended_ = true;
      return std::nullopt;
    }
    std::int64_t next = 0;
    const std::string_view text = in_.CString(at_, next);
    at_ = next;
    ended_ = next > in_.Size();
    return text;
  }

  // Fields not kept.
  void Skip(std::int64_t count) { Advance(!ended_ && in_.Has(at_, count), count); }

 private:
  void Advance(bool present, std::int64_t count) {
    if (present) {
      at_ += count;
    } else {
      ended_ = true;
    }
  }

  const ByteReader& in_;
  std::int64_t at_;
  bool ended_ = false;
};

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
  info.endsAfterForces = offset == in.Size();
}

// What follows the tileset up to the maximum number of players: the
// loading screen, the prologue and, in later formats, the settings between
// them and the players, each from the format that added it.
void ReadPreMatchFields(FieldCursor& at, const TriggerStringTable& table, MapInfo& info) {
  const std::int32_t format = *info.format;
  auto text = [&](std::optional<MapText>& field) {
    if (const auto stored = at.String()) field = Resolved(*stored, table, info.formats);
  };
  auto path = [&](std::optional<std::string>& field) {
    if (format < kImportedScreensFormat) return;
    if (const auto stored = at.String()) field = std::string(*stored);
  };
  info.loadingScreenBackground = at.Int();
  path(info.loadingScreenPath);
  text(info.loadingScreenText);
  text(info.loadingScreenTitle);
  text(info.loadingScreenSubtitle);
  info.gameDataSet = at.Int();
  path(info.prologuePath);
  text(info.prologueText);
  text(info.prologueTitle);
  text(info.prologueSubtitle);

  if (format >= kFogFormat) at.Skip(4 + 12 + 4);  // fog style, its heights and density, its colour
  if (format >= kWeatherFormat) at.Skip(4);
  if (format >= kSoundFormat) at.String();
  if (format >= kLightFormat) at.Skip(1);
  if (format >= kExpansionFormat) at.Skip(4);  // water colour
  if (format >= kScriptLanguageFormat) info.scriptLanguage = at.Int();
  if (format >= kGameDataFormat) at.Skip(8);
  if (format >= kCameraFormat) at.Skip(12);
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

  FieldCursor at(in, p + 61);
  ReadPreMatchFields(at, table, info);
  if (!(info.maxPlayers = at.Int())) return false;
  ReadSlots(in, at.At(), table, info);
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

// The release each editor belongs to, as far as public notes on the map
// format and real maps show it: the notes place 6060 in the 1.29 patches
// and 6115 in the 1.35 test realm; maps saved for the game versions 1.31.1,
// 1.33.0 and 2.0.3 (formats 27 on name it) carry 6072, 6114 and 6116. The
// editors before these (6052 to 6059 among them) write format 25, which
// names no game version, and no public source ties their numbers to a patch.
std::optional<std::string_view> EditorReleaseName(std::int32_t version) {
  switch (version) {
    case 6060: return "World Editor 1.29";
    case 6072: return "World Editor 1.31";
    case 6114: return "World Editor 1.33";
    case 6115: return "World Editor 1.35";
    case 6116: return "World Editor 2.0";
    default: return std::nullopt;
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
