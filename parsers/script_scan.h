// Recognises the fixed texts that the map editor writes into the map script
// (war3map.j; with later formats also its Lua form, war3map.lua): creation
// date, unit functions per player, neutral units, gold mines and item drops.
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

namespace korvanel {

// The units one CreateUnitsForPlayer function creates.
struct PlayerUnits {
  std::optional<std::int32_t> player;  // absent when its number cannot be read
  std::int32_t units = 0;

  bool operator==(const PlayerUnits&) const = default;
};

// A date and time as the script's date line gives them.
struct ScriptDate {
  int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0;
};

// What the script says. Totals wrap as 32-bit values, as the record shows
// them.
struct ScriptFacts {
  // The first date line's text after its key, its own line end included.
  std::optional<std::string> dateText;
  // How many player functions come before the date line: the record keeps
  // the script's order.
  std::size_t playersBeforeDate = 0;
  std::vector<PlayerUnits> players;  // in script order
  std::int32_t mines = 0;
  std::int32_t mineAmounts = 0;
  std::int32_t aggressiveUnits = 0;
  std::int32_t passiveUnits = 0;
  std::int32_t items = 0;

  bool operator==(const ScriptFacts&) const = default;
};

// The language of a map's script: war3map.j holds JASS, war3map.lua Lua.
enum class ScriptLanguage { kJass, kLua };

// Fills `facts` (emptied first). Runs in time linear in the script's size;
// true for any script. JASS is read line by line; later formats also know
// the unit creation of later editors there. Lua, which only later editors
// write, is read by its tokens and blocks, wherever its line breaks are or
// are not, and gives the facts of the same script in JASS.
bool ScanScript(std::span<const std::byte> data, ScriptFacts& facts,
                MapFormats formats = MapFormats::kFirstRelease, ScriptLanguage language = ScriptLanguage::kJass);

// The date line, one unit line per player function and the non-zero totals.
void WriteScriptLines(const ScriptFacts& facts, LineWriter& out);
// Both, as a run does for the info file.
bool ScanScript(std::span<const std::byte> data, ScriptFacts& facts, LineWriter& out,
                MapFormats formats = MapFormats::kFirstRelease, ScriptLanguage language = ScriptLanguage::kJass);

// The date of a date text as the editor writes it, "Sun Jan 10 04:43:58
// 2010"; absent for any other text.
std::optional<ScriptDate> ReadScriptDate(std::string_view text);

}  // namespace korvanel
