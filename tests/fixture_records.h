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

// With --w3x (offsets in the w3i; "P" is the offset after the fourth text).
// Formats 25 and later: after the tileset letter at P+60, a number, four
// texts, a number, four texts, 24 bytes of fog and weather, a text, a
// letter and 4 bytes of water colour; then, from format 28, the script
// language; from 31, modes and game data version; from 33, three camera
// fields; then the maximum number of players.

// maps/small_tft.w3x
// w3i: format 25, map version 14, editor 6059; TRIGSTR_004/007/008/005 ->
//   wts 4, 7, 8, 5; P = 0x3C; playable 30 x 26; flags 0xDC10 (bit 4 clear);
//   tileset 'L' at 0x78; max players 2 at 0xA7. Doodads version 8,
//   subversion 11: 0x78 = 120 and 0x7E = 126 entries.
inline constexpr std::string_view kSmallTftW3xLines =
    "W3I Version:       25\r\n"
    "Map Version:       14\r\n"
    "Editor Version:    6059 (unknown)\r\n"
    "Map Name:          Small Wars\r\n"
    "Map Author:        Rorslae\r\n"
    "Description:       Needs 2 people to play, both teams should be evenly balanced.\r\n"
    "Suggested Players: 2\r\n"
    "Playable Map Size: 30x26\r\n"
    "Map Type:          Non-Melee\r\n"
    "Main Tileset:      Lordaeron Summer\r\n"
    "Max Players:       2\r\n"
    "W3E Version:       11\r\n"
    "Map Size:          32x32\r\n"
    "Doo Version:       8\r\n"
    "Doodads (Trees):   120\r\n"
    "Units.Doo version: 8\r\n"
    "Doodads (Other):   126\r\n"
    "Date Of Creation:  Thu Apr 29 20:03:59 2010\r\n"
    "Player 00 Units:   38\r\n"
    "Player 01 Units:   41\r\n"
    "Mines:             2\r\n"
    "Mines Amounts:     25000\r\n";

// bench/forest_defense.w3x
// w3i: format 25, map version 0xB14 = 2836, editor 0x17A4 = 6052; name and
//   author stored as plain texts, TRIGSTR_014/013 -> wts 14, 13; P = 0x40;
//   playable 148 x 84; flags 0x1E478 (bit 4 clear); tileset 'V' at 0x7C;
//   max players 10 at 0xCC. w3e: a = 8, b = 2, stored 161 x 97. Doodads
//   version 8: 2134 and 25 entries. Script: compiled, without the date
//   comment or any of the editor's unit functions.
inline constexpr std::string_view kForestDefenseW3xLines =
    "W3I Version:       25\r\n"
    "Map Version:       2836\r\n"
    "Editor Version:    6052 (unknown)\r\n"
    "Map Name:          Forest Defense 0.18w\r\n"
    "Map Author:        Frotty\r\n"
    "Description:       Defend the Magic treasure from undead enemies!\r\n"
    "Suggested Players: 2-8\r\n"
    "Playable Map Size: 148x84\r\n"
    "Map Type:          Non-Melee\r\n"
    "Main Tileset:      Village\r\n"
    "Max Players:       10\r\n"
    "W3E Version:       11\r\n"
    "Map Size:          160x96\r\n"
    "Doo Version:       8\r\n"
    "Doodads (Trees):   2134\r\n"
    "Units.Doo version: 8\r\n"
    "Doodads (Other):   25\r\n";

// w3x/format28_jass.w3x
// w3i: format 28, map version 80, editor 0x17B8 = 6072, game 1.31.1.12164;
//   TRIGSTR_008/010, an empty description, TRIGSTR_009; P = 0x41;
//   playable 52 x 52; flags 0xDC10; tileset 'L' at 0x7D; script language 0
//   at 0xAC; max players 1 at 0xB0. w3e: a = 6, b = 2, stored 65 x 65.
//   Doodads version 8: 0 and 16 entries. Script: a compiled one, "set
//   u=CreateUnit(" 13 times in CreateUnitsForPlayer0.
inline constexpr std::string_view kFormat28W3xLines =
    "W3I Version:       28\r\n"
    "Map Version:       80\r\n"
    "Editor Version:    6072 (unknown)\r\n"
    "Map Name:          Wurst Example Map\r\n"
    "Map Author:        Wurst Team\r\n"
    "Description:       \r\n"
    "Suggested Players: Any\r\n"
    "Playable Map Size: 52x52\r\n"
    "Map Type:          Non-Melee\r\n"
    "Main Tileset:      Lordaeron Summer\r\n"
    "Max Players:       1\r\n"
    "W3E Version:       11\r\n"
    "Map Size:          64x64\r\n"
    "Doo Version:       8\r\n"
    "Doodads (Trees):   0\r\n"
    "Units.Doo version: 8\r\n"
    "Doodads (Other):   16\r\n"
    "Date Of Creation:  Tue Jun 18 22:58:04 2019\r\n"
    "Player 00 Units:   13\r\n";

// w3x/format31_lua.w3x
// w3i: format 31, map version 0xA7 = 167, editor 0x17E2 = 6114;
//   TRIGSTR_001/004/003/002; P = 0x4C; playable 86 x 88; flags 0xDC12
//   (bit 4 clear); tileset 'X' at 0x88; Lua 1 at 0xB7, modes 3, data
//   version 1; max players 4 at 0xC3. w3e: a = 9, b = 2, stored 97 x 97.
//   Doodads version 8: 0x7CA = 1994 and 0x88 = 136 entries. war3map.lua
//   (no date comment, no player functions): CreateNeutralHostile 102
//   BlzCreateUnitWithSkin lines, CreateNeutralPassive 11; the buildings
//   function 12 "ngol" units, 4 x 10000 + 4 x 15000 + 4 x 12500 gold; 46
//   functions UnitNNNNNN_DropItems().
inline constexpr std::string_view kFormat31W3xLines =
    "W3I Version:       31\r\n"
    "Map Version:       167\r\n"
    "Editor Version:    6114 (unknown)\r\n"
    "Map Name:          Anarchy Castle v1.3\r\n"
    "Map Author:        WorpeX, W3Champions\r\n"
    "Description:       When castle rulers fall and anarchy is upon the land, who shall rebuild this once noble "
    "throne? Many factions vow to take it, but only one may hold the crown! Force is the only way to make victory "
    "your own!\r\n"
    "Suggested Players: FFA\r\n"
    "Playable Map Size: 86x88\r\n"
    "Map Type:          Non-Melee\r\n"
    "Main Tileset:      Dalaran\r\n"
    "Max Players:       4\r\n"
    "W3E Version:       11\r\n"
    "Map Size:          96x96\r\n"
    "Doo Version:       8\r\n"
    "Doodads (Trees):   1994\r\n"
    "Units.Doo version: 8\r\n"
    "Doodads (Other):   136\r\n"
    "Mines:             12\r\n"
    "Mines Amounts:     150000\r\n"
    "Agressive Units:   102\r\n"
    "Passive Units:     11\r\n"
    "Items:             46\r\n";

// w3x/format33_w3e12.w3x
// w3i: format 33, map version 0x1DA = 474, editor 0x17E4 = 6116;
//   TRIGSTR_001/107/106/105; P = 0x4C; playable 112 x 80; flags 0xDC10;
//   tileset 'V' at 0x88; Lua, modes, data version, three camera fields of
//   1250 from 0xC3; max players 2 at 0xCF. w3e version 12: a = 8, b = 2,
//   stored 129 x 97. Doodads version 8: 0xA43 = 2627 and 0x77 = 119
//   entries. war3map.lua: 82 hostile and 20 passive units, 6 gold mines
//   with 76000 gold, 32 item drop functions.
inline constexpr std::string_view kFormat33W3xLines =
    "W3I Version:       33\r\n"
    "Map Version:       474\r\n"
    "Editor Version:    6116 (unknown)\r\n"
    "Map Name:          Scrimmage\r\n"
    "Map Author:        Mr.Henci, W3Champions\r\n"
    "Description:       Even though it appears to be a peaceful piece of land at first glance, be on your guard. "
    "Nearly everything here will try to kill you!\r\n"
    "Suggested Players: 1v1\r\n"
    "Playable Map Size: 112x80\r\n"
    "Map Type:          Non-Melee\r\n"
    "Main Tileset:      Village\r\n"
    "Max Players:       2\r\n"
    "W3E Version:       12\r\n"
    "Map Size:          128x96\r\n"
    "Doo Version:       8\r\n"
    "Doodads (Trees):   2627\r\n"
    "Units.Doo version: 8\r\n"
    "Doodads (Other):   119\r\n"
    "Mines:             6\r\n"
    "Mines Amounts:     76000\r\n"
    "Agressive Units:   82\r\n"
    "Passive Units:     20\r\n"
    "Items:             32\r\n";

}  // namespace korvanel::test
