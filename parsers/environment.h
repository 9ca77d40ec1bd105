// Headers of the environment (war3map.w3e) and doodad files (war3map.doo,
// war3mapUnits.doo), and the accepted but unread war3map.mmp.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>

#include "parsers/line_writer.h"
#include "parsers/map_formats.h"
#include "parsers/map_size.h"

namespace korvanel {

// The version and, for the expected version, the map's size (one less than
// the stored corner counts).
struct EnvironmentFacts {
  std::optional<std::int32_t> version;
  std::optional<MapSize> mapSize;
};

// The version and, for the expected version, the number of doodads.
struct DoodadFacts {
  std::optional<std::int32_t> version;
  std::optional<std::int32_t> count;
};

// Each fills its facts (emptied first) as far as the data goes. False for a
// wrong magic or data that ends before a needed field. Later formats also
// take environment version 12 and doodad version 8, whose headers hold the
// same figures at the same places.
bool ParseEnvironment(std::span<const std::byte> data, EnvironmentFacts& facts,
                      MapFormats formats = MapFormats::kFirstRelease);
bool ParseDoodads(std::span<const std::byte> data, DoodadFacts& facts, MapFormats formats = MapFormats::kFirstRelease);

// The record's lines for the facts present.
void WriteEnvironmentLines(const EnvironmentFacts& facts, LineWriter& out);
void WriteTreeDoodadLines(const DoodadFacts& facts, LineWriter& out);
void WriteUnitDoodadLines(const DoodadFacts& facts, LineWriter& out);

// Parse and write at once, as a run does for the info file.
bool ParseEnvironment(std::span<const std::byte> data, EnvironmentFacts& facts, LineWriter& out,
                      MapFormats formats = MapFormats::kFirstRelease);
bool ParseTreeDoodads(std::span<const std::byte> data, DoodadFacts& facts, LineWriter& out,
                      MapFormats formats = MapFormats::kFirstRelease);
bool ParseUnitDoodads(std::span<const std::byte> data, DoodadFacts& facts, LineWriter& out,
                      MapFormats formats = MapFormats::kFirstRelease);

// Reads nothing; always true.
bool ParseMmpFile(std::span<const std::byte> data);

}  // namespace korvanel
