// The map's general information (war3map.w3i): versions, its four texts,
// sizes, type, tileset and player count.
#pragma once

#include <cstddef>
#include <span>
#include <string>
#include <string_view>

#include "parsers/line_writer.h"
#include "parsers/map_formats.h"
#include "parsers/trigger_strings.h"

namespace korvanel {

// Writes the record's map information lines, each as soon as its value is
// known. False when the data ends before a field the walk needs; a format
// other than 18 (later formats: 18, or 25 and above) gives the version line
// only and true. Formats beyond the last known are read as far as its
// fields go.
bool ParseMapInfo(std::span<const std::byte> data, const TriggerStringTable& table, LineWriter& out,
                  MapFormats formats = MapFormats::kFirstRelease);

// Keeps a map text on one record line: a backslash becomes two, a CR LF pair
// becomes backslash and n. Lone CRs and LFs stay.
std::string EscapeMapText(std::string_view text);

}  // namespace korvanel
