// Recognises the fixed texts that the map editor writes into the map script
// (war3map.j; with later formats also its Lua form, war3map.lua): creation
// date, unit functions per player, neutral units, gold mines and item drops.
#pragma once

#include <cstddef>
#include <span>

#include "parsers/line_writer.h"
#include "parsers/map_formats.h"

namespace korvanel {

// Writes the date line, one unit line per player function and the non-zero
// totals. Runs in time linear in the script's size; true for any script.
// Later formats also know the Lua forms of the same texts, and the unit
// creation of later editors, so a Lua script gives the lines of the same
// script in JASS.
bool ScanScript(std::span<const std::byte> data, LineWriter& out, MapFormats formats = MapFormats::kFirstRelease);

}  // namespace korvanel
