// Record lines that the parsers must write for the fixture maps, worked out
// by hand from each map's embedded files (w3i, w3e, doo, units doo, then the
// script; the trigger strings and war3map.mmp write nothing).
#pragma once

#include <string_view>

namespace korvanel::test {

// maps/smallest_roc.w3m
// w3i: format 18, map version 2, editor 0x17AB = 6059; the four texts are
//   TRIGSTR_001/004/003/002 -> wts entries 1, 4, 3, 2; P = 0x3C; playable
//   20 x 20 at 0x6C; flags 0x9C10 (bit 4 clear); tileset 'L' at 0x78; six
//   empty strings from 0x7D; max players 1 at 0x87.
// w3e: a = 6 at 13, b = 2 at 41, stored 33 x 33 at 53 and 57.
// doo: version 7, 0x54 = 84 entries; units doo: version 7, 14 entries.
// script: CreateNeutralHostile has 6 CreateUnit lines; the buildings
//   function has 4 'ngol' units with 12500 gold each; no player functions.
inline constexpr std::string_view kSmallestRocParserLines =
    "W3I Version:       18\r\n"
    "Map Version:       2\r\n"
    "Editor Version:    6059 (unknown)\r\n"
    "Map Name:          Smallest Map\r\n"
    "Map Author:        DragonX\r\n"
    "Description:       Smallest map in W3\r\n"
    "Suggested Players: Any\r\n"
    "Playable Map Size: 20x20\r\n"
    "Map Type:          Non-Melee\r\n"
    "Main Tileset:      Lordaeron Summer\r\n"
    "Max Players:       1\r\n"
    "W3E Version:       11\r\n"
    "Map Size:          32x32\r\n"
    "Doo Version:       7\r\n"
    "Doodads (Trees):   84\r\n"
    "Units.Doo version: 7\r\n"
    "Doodads (Other):   14\r\n"
    "Date Of Creation:  Sun Jan 10 04:43:58 2010\r\n"
    "Mines:             4\r\n"
    "Mines Amounts:     50000\r\n"
    "Agressive Units:   6\r\n";

// maps/small_tft.w3x
// w3i: format 25 (version line only). w3e: same header as above, 33 x 33.
// doo and units doo: version 8 (version lines only).
// script: CreateUnitsForPlayer0 has 38 CreateUnit lines, ...Player1 has 41;
//   the buildings function has 2 'ngol' units with 12500 gold each.
inline constexpr std::string_view kSmallTftParserLines =
    "W3I Version:       25\r\n"
    "W3E Version:       11\r\n"
    "Map Size:          32x32\r\n"
    "Doo Version:       8\r\n"
    "Units.Doo version: 8\r\n"
    "Date Of Creation:  Thu Apr 29 20:03:59 2010\r\n"
    "Player 00 Units:   38\r\n"
    "Player 01 Units:   41\r\n"
    "Mines:             2\r\n"
    "Mines Amounts:     25000\r\n";

}  // namespace korvanel::test
