// The map's general information (war3map.w3i): versions, its four texts,
// sizes, flags, tileset, and the players and forces of the map.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "parsers/line_writer.h"
#include "parsers/map_formats.h"
#include "parsers/map_size.h"
#include "parsers/trigger_strings.h"

namespace korvanel {

// A text as the map stores it (perhaps a "TRIGSTR_" reference) and as it
// reads once resolved through the trigger strings.
struct MapText {
  std::string stored;
  std::string resolved;
};

// One player slot of the map.
struct PlayerSlot {
  std::int32_t number = 0;
  std::int32_t controller = 0;  // see ControllerName
  std::int32_t race = 0;        // see RaceName
  bool fixedStart = false;
  MapText name;
  float startX = 0;
  float startY = 0;
};

// One force (team) of the map.
struct Force {
  std::int32_t flags = 0;    // see ForceFlagNames
  std::int32_t players = 0;  // bit n set: player number n belongs to it
  MapText name;
};

// The game's version a later editor saved the map for (format 27 on).
struct GameVersion {
  std::int32_t major = 0;
  std::int32_t minor = 0;
  std::int32_t patch = 0;
  std::int32_t build = 0;
};

// The map information's name in the map.
inline constexpr char kMapInfoFile[] = "war3map.w3i";

// What war3map.w3i holds, whatever its format. Each field is read in file
// order; the one the data ends before is absent, and so is every later
// one, so that whatever was read before a cut is still there.
struct MapInfo {
  // The layouts it was read in; they also decide the tileset names.
  MapFormats formats = MapFormats::kFirstRelease;
  std::optional<std::int32_t> format;
  std::optional<std::int32_t> mapVersion;
  std::optional<std::int32_t> editorVersion;
  std::optional<GameVersion> gameVersion;
  std::optional<MapText> name;
  std::optional<MapText> author;
  std::optional<MapText> description;
  std::optional<MapText> suggestedPlayers;
  std::optional<MapSize> playableSize;
  std::optional<std::int32_t> flags;  // see MapFlagNames
  std::optional<std::uint8_t> tileset;
  // What the game shows before the match: the loading screen and the
  // prologue. Formats 20 on can name an imported model or picture for each
  // (empty when none); 18 and 19 have no such path.
  std::optional<std::int32_t> loadingScreenBackground;  // format 18: campaign background number;
                                                        // later: preset number, -1 = none or imported
  std::optional<std::string> loadingScreenPath;
  std::optional<MapText> loadingScreenText;
  std::optional<MapText> loadingScreenTitle;
  std::optional<MapText> loadingScreenSubtitle;
  // 0 = default, 1 = custom (1.0), 2 = melee (latest patch). Older
  // write-ups of format 18 call this int a "map loading screen number";
  // it sits where formats 17 on keep the game data set, and editors that
  // save format 18 write their game data set there.
  std::optional<std::int32_t> gameDataSet;
  std::optional<std::string> prologuePath;
  std::optional<MapText> prologueText;
  std::optional<MapText> prologueTitle;
  std::optional<MapText> prologueSubtitle;
  std::optional<std::int32_t> scriptLanguage;  // format 28 on; see ScriptLanguageName
  std::optional<std::int32_t> maxPlayers;
  // The whole entries the data holds, up to the stored counts.
  std::vector<PlayerSlot> players;
  std::vector<Force> forces;
  // Both tables were read to their stored ends.
  bool slotsComplete = false;
  // The data ends exactly after the forces, as map optimisers and
  // protectors leave it (the editor always writes the tables that follow).
  bool endsAfterForces = false;
};

// Reads the fields into `info` (emptied first). False when the data ends
// before the maximum number of players; a format this parser does not know
// gives the format only and true. The players and forces after it never
// make it false: the record does not show them. The first release knows
// format 18; later formats also know 19 and above, a format beyond the
// last known read as far as its fields go.
bool ParseMapInfo(std::span<const std::byte> data, const TriggerStringTable& table, MapInfo& info,
                  MapFormats formats = MapFormats::kFirstRelease);

// The record's map information lines for the fields present.
void WriteMapInfoLines(const MapInfo& info, LineWriter& out);
// Both, as a run does for the info file.
bool ParseMapInfo(std::span<const std::byte> data, const TriggerStringTable& table, MapInfo& info, LineWriter& out,
                  MapFormats formats = MapFormats::kFirstRelease);

// Keeps a map text on one record line: a backslash becomes two, a CR LF pair
// becomes backslash and n. Lone CRs and LFs stay.
std::string EscapeMapText(std::string_view text);

// The names the record and the catalogue give to stored values.
std::string_view EditorName(std::int32_t version);      // "unknown" for others
// The game release whose editor writes `version`, for the editors from the
// expansion's days on (the record's EditorName knows only the first ones);
// nothing for a version no public source places.
std::optional<std::string_view> EditorReleaseName(std::int32_t version);
// "Unknown Tileset" for others; later formats know five more.
std::string_view TilesetName(std::uint8_t letter, MapFormats formats);
bool IsMeleeMap(std::int32_t flags);
std::string_view ControllerName(std::int32_t controller);  // "" for unknown values
std::string_view RaceName(std::int32_t race);              // "" for unknown values
std::string_view ScriptLanguageName(std::int32_t language);  // "" for unknown values
// The names of the set bits that have one, lowest bit first.
std::vector<std::string_view> MapFlagNames(std::int32_t flags);
std::vector<std::string_view> ForceFlagNames(std::int32_t flags);

}  // namespace korvanel
