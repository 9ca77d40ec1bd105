// Whole sample maps: every embedded file the program reads, built from a
// few parameters, so tests and the demo get realistic maps of their own.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "map_builder.h"

namespace korvanel::test {

struct SampleMap {
  std::string name = "Sample Map";
  std::string author = "Korvanel";
  std::string description = "Two teams.";
  std::string players = "2v2";
  std::int32_t mapVersion = 3;
  std::int32_t editorVersion = 6059;
  std::int32_t playableWidth = 84;
  std::int32_t playableHeight = 84;
  bool melee = true;
  char tileset = 'L';
  std::int32_t maxPlayers = 4;
  std::int32_t width = 96;   // as the environment file stores it (written less one)
  std::int32_t height = 96;
  std::int32_t trees = 120;
  std::int32_t otherDoodads = 30;
  std::string date = "Mon Jul 08 12:12:12 2002";
  std::vector<int> playerUnits = {3, 2};  // units of players 0, 1, ...
  int hostileUnits = 4;
  int mines = 1;
  int goldPerMine = 12500;
  int pictureSize = 64;  // 0: no war3mapMap.blp
  // The layouts of later editors (read with --w3x).
  std::int32_t w3iFormat = 18;  // 18, or 19 and later: players and forces follow
  bool w3iCutAfterForces = false;  // as optimised maps are
  std::string loadingScreen = "Loading.mdx";  // the path formats 20 on name (here one the map lacks)
  std::int32_t environmentVersion = 11;
  std::int32_t doodadVersion = 7;  // 8 has subversion 11
  int firstTriggerString = 1;      // 1000: four-digit references
  bool wtsComments = false;        // comment lines between number and brace
  std::string wtsStart = "\xEF\xBB\xBF";  // before the first entry: a byte-order mark
  std::string scriptName = "war3map.j";  // or "scripts\\war3map.j", "war3map.lua" (Lua)
  // Lua as map optimisers leave it: the code on one line without
  // indentation, the editor's statements inside blocks of every kind,
  // among strings and comments that hold "end" and "function".
  bool luaOptimised = false;
};

// The sample map in the layouts of later editors: map information format
// 31 cut after the forces, environment 12, doodads 8, four-digit string
// references in a trigger-string file with comment lines, a Lua script.
SampleMap LaterLayoutsMap();

// The map's embedded files, texts held in war3map.wts as trigger strings.
std::vector<EmbeddedFile> SampleMapFiles(const SampleMap& map);

// The record lines the program writes for the map (after "Map File Name:").
std::string SampleMapLines(const SampleMap& map);

// How every record in the info file opens, up to the map's path; one copy
// so the tests agree.
inline constexpr std::string_view kRecordStart = "-------------------\r\nMap File Name:     ";
inline std::string RecordHead(const std::filesystem::path& map) {
  return std::string(kRecordStart) + map.string() + "\r\n";
}

// One embedded file of the sample map, e.g. only a script.
std::string SampleW3i(const SampleMap& map);
std::string SampleW3e(const SampleMap& map);
std::string SampleDoodads(std::int32_t count, std::int32_t version = 7);
std::string SampleScript(const SampleMap& map);
// The same script as a later editor writes it in Lua (or as an optimiser
// leaves it, with luaOptimised).
std::string SampleLuaScript(const SampleMap& map);

}  // namespace korvanel::test
