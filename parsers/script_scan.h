// Recognises the fixed texts that the map editor writes into the map script
// (war3map.j): creation date, unit functions per player, neutral units, gold
// mines and item drops.
#pragma once

#include <cstddef>
#include <span>

#include "parsers/line_writer.h"

namespace korvanel {

// Writes the date line, one unit line per player function and the non-zero
// totals. Runs in time linear in the script's size; true for any script.
bool ScanScript(std::span<const std::byte> data, LineWriter& out);

}  // namespace korvanel
