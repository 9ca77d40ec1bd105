// Headers of the environment (war3map.w3e) and doodad files (war3map.doo,
// war3mapUnits.doo), and the accepted but unread war3map.mmp.
#pragma once

#include <cstddef>
#include <span>

#include "parsers/line_writer.h"
#include "parsers/map_formats.h"

namespace korvanel {

// Each writes its version line and, for the expected version, one figure
// line. False for a wrong magic or data that ends before a needed field.
// Later formats also take environment version 12 and doodad version 8,
// whose headers hold the same figures at the same places.
bool ParseEnvironment(std::span<const std::byte> data, LineWriter& out, MapFormats formats);
bool ParseTreeDoodads(std::span<const std::byte> data, LineWriter& out, MapFormats formats);
bool ParseUnitDoodads(std::span<const std::byte> data, LineWriter& out, MapFormats formats);
// The first release's formats.
bool ParseEnvironment(std::span<const std::byte> data, LineWriter& out);
bool ParseTreeDoodads(std::span<const std::byte> data, LineWriter& out);
bool ParseUnitDoodads(std::span<const std::byte> data, LineWriter& out);

// Reads and writes nothing; always true.
bool ParseMmpFile(std::span<const std::byte> data, LineWriter& out);

}  // namespace korvanel
