// Whole runs of the program: records byte for byte, damaged maps among
// intact ones, the info file's rules and the source as typed.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <tuple>
#include <utility>

#include "app/command_line.h"
#include "app/extractor_app.h"
#include "output/gallery_page.h"
#include "parsers/map_info.h"
#include "blp_builder.h"
#include "fixture_records.h"
#include "map_builder.h"
#include "sample_maps.h"
#include "test_support.h"

namespace korvanel::test {
namespace {

std::vector<EmbeddedFile> Drop(std::vector<EmbeddedFile> files, std::initializer_list<std::string_view> names) {
  std::erase_if(files, [&](const EmbeddedFile& f) {
    return std::find(names.begin(), names.end(), f.name) != names.end();
  });
  return files;
}

std::vector<EmbeddedFile> Replace(std::vector<EmbeddedFile> files, const std::string& name, std::string bytes) {
  for (auto& f : files)
    if (f.name == name) f.bytes = std::move(bytes);
  return files;
}

using Json = nlohmann::ordered_json;

// The info file's records for the catalogue's maps that opened, made from
// the catalogue alone: equal to the info file of the same run when both
// agree on every fact they share.
std::string RecordsFromCatalogue(const std::vector<Json>& catalogue) {
  std::string r;
  auto line = [&r](std::string_view label, const std::string& value) { r.append(label).append(value) += "\r\n"; };
  auto number = [](const Json& value) { return std::to_string(value.get<std::int32_t>()); };
  auto size = [&](const Json& value) { return number(value["width"]) + "x" + number(value["height"]); };
  for (const Json& map : catalogue) {
    if (!map["opened"]) continue;
    r += RecordHead(CatalogueText(map, "path"));
    if (map.contains("minimap")) line("Minimap File:      ", CatalogueText(map["minimap"], "file"));
    const Json info = map.value("map_info", Json::object());
    if (info.contains("format")) line("W3I Version:       ", number(info["format"]));
    if (info.contains("map_version")) line("Map Version:       ", number(info["map_version"]));
    if (info.contains("editor"))
      line("Editor Version:    ", number(info["editor"]["version"]) + " (" + info["editor"]["name"].get<std::string>() + ")");
    for (const auto& [key, label] : {std::pair{"name", "Map Name:          "}, {"author", "Map Author:        "},
                                     {"description", "Description:       "}, {"suggested_players", "Suggested Players: "}})
      if (info.contains(key)) line(label, EscapeMapText(CatalogueText(info[key], "resolved")));
    if (info.contains("playable_size")) line("Playable Map Size: ", size(info["playable_size"]));
    if (info.contains("melee")) line("Map Type:          ", info["melee"] ? "Melee" : "Non-Melee");
    if (info.contains("tileset")) line("Main Tileset:      ", info["tileset"]["name"]);
    if (info.contains("max_players")) line("Max Players:       ", number(info["max_players"]));
    const Json environment = map.value("environment", Json::object());
    if (environment.contains("version")) line("W3E Version:       ", number(environment["version"]));
    if (environment.contains("map_size")) line("Map Size:          ", size(environment["map_size"]));
    for (const auto& [key, version, count] : {std::tuple{"tree_doodads", "Doo Version:       ", "Doodads (Trees):   "},
                                              {"unit_doodads", "Units.Doo version: ", "Doodads (Other):   "}}) {
      const Json doodads = map.value(key, Json::object());
      if (doodads.contains("version")) line(version, number(doodads["version"]));
      if (doodads.contains("count")) line(count, number(doodads["count"]));
    }
    if (!map.contains("script")) continue;
    const Json& script = map["script"];
    if (script.contains("created")) line("Date Of Creation:  ", CatalogueText(script["created"], "text"));
    for (const Json& player : script["player_units"]) {
      const std::string n = player["player"].is_null() ? "??" : number(player["player"]);
      line("Player " + std::string(n.size() < 2 ? "0" : "") + n + " Units:   ", number(player["units"]));
    }
    for (const auto& [key, label] : {std::pair{"mines", "Mines:             "}, {"mine_gold", "Mines Amounts:     "},
                                     {"aggressive_units", "Agressive Units:   "}, {"passive_units", "Passive Units:     "},
                                     {"items", "Items:             "}})
      if (script[key] != 0) line(label, number(script[key]));
  }
  return r;
}

// Checks the catalogue file against docs/catalogue.schema.json with the
// packaged validator; false with `why` when there is none to run.
bool ValidateAgainstSchema(const fs::path& catalogue, std::string& why) {
  // Under Valgrind every fork of this program is checked, and one that
  // becomes the validator leaves a log without a summary.
  if (std::getenv("KORVANEL_WRAPPER")) {
    why = "the catalogue is checked against its schema only without KORVANEL_WRAPPER";
    return false;
  }
  if (std::system("python3 -c 'import jsonschema' 2>/dev/null") != 0) {
    why = "python3-jsonschema (scripts/deps) not installed: the catalogue was not checked against its schema";
    return false;
  }
  const fs::path root = KORVANEL_SOURCE_DIR;
  const std::string command = "python3 '" + (root / "tests/validate_catalogue.py").string() + "' '" +
                              (root / "docs/catalogue.schema.json").string() + "' '" + catalogue.string() + "'";
  EXPECT_EQ(std::system(command.c_str()), 0) << catalogue;
  return true;
}

}  // namespace

TEST(Pipeline, RealMapsGiveTheirRecordsByteForByte) {
  KVL_REQUIRE_FIXTURE(roc, "maps/smallest_roc.w3m");
  KVL_REQUIRE_FIXTURE(tft, "maps/small_tft.w3x");
  TempDir dir;
  fs::create_directory(dir / "maps");
  fs::copy_file(roc, dir / "maps" / "smallest_roc.w3m");
  fs::copy_file(tft, dir / "maps" / "small_tft.w3m");
  fs::copy_file(tft, dir / "maps" / "small_tft.w3x");  // not a map name: skipped

  ProcessResult r = RunKorvanel({(dir / "maps").string(), "/i", (dir / "info.txt").string()});
  EXPECT_EQ(r.status, 0) << r.out;
  EXPECT_EQ(r.out, "");
  // "small_" sorts before "smalle" ('_' < 'e').
  EXPECT_EQ(ReadFile(dir / "info.txt"), RecordHead(dir / "maps/small_tft.w3m") + std::string(kSmallTftParserLines) +
                                            RecordHead(dir / "maps/smallest_roc.w3m") + std::string(kSmallestRocParserLines));
}

TEST(Pipeline, CatalogueOfTheFixtureMapsAgreesWithTheInfoFile) {
  KVL_REQUIRE_FIXTURE(roc, "maps/smallest_roc.w3m");
  TempDir dir;
  const fs::path maps = dir / "maps", minimaps = dir / "minimaps";
  fs::create_directory(maps);
  fs::create_directory(minimaps);
  fs::copy_file(roc, maps / "smallest_roc.w3m");
  for (const char* other : {"maps/small_tft.w3x", "w3x/format28_jass.w3x", "w3x/format31_lua.w3x", "w3x/format33_w3e12.w3x"})
    if (fs::exists(FixturesDir() / other)) fs::copy_file(FixturesDir() / other, maps / fs::path(other).filename().replace_extension(".w3m"));
  WriteFile(maps / "broken.w3m", "not a map");
  const std::vector<std::string> run = {maps.string(), "/i", (dir / "info.txt").string(), "/o", "/m", minimaps.string()};

  const ProcessResult plain = RunKorvanel(run);
  const std::string info = ReadFile(dir / "info.txt");
  fs::remove_all(minimaps);
  fs::create_directory(minimaps);
  std::vector<std::string> withJson = run;
  withJson.insert(withJson.end(), {"--json", (dir / "maps.jsonl").string()});
  const ProcessResult r = RunKorvanel(withJson);
  // The catalogue changes nothing else.
  EXPECT_EQ(r.status, plain.status);
  EXPECT_EQ(r.out, plain.out);
  EXPECT_EQ(r.err, plain.err + "korvanel: catalogue " + (dir / "maps.jsonl").string() + ": 6 maps, 0 duplicates\n");
  EXPECT_EQ(ReadFile(dir / "info.txt"), info);

  const std::vector<Json> catalogue = ParseCatalogue(ReadFile(dir / "maps.jsonl"));
  const auto count = std::distance(fs::directory_iterator(maps), fs::directory_iterator());
  ASSERT_EQ(catalogue.size(), static_cast<std::size_t>(count));
  EXPECT_EQ(RecordsFromCatalogue(catalogue), info);
  // What the info file does not show: the map that did not open, the
  // minimap's size, and the classic map's player and force.
  EXPECT_EQ(catalogue[0]["path"], (maps / "broken.w3m").string());
  EXPECT_EQ(catalogue[0]["opened"], false);
  EXPECT_EQ(catalogue[0]["errors"],
            Json::parse(R"([{"file":null,"error":"cannot open the map: the archive library does not take it for a map archive"}])"));
  EXPECT_EQ(catalogue[0]["status"], "unopenable");
  EXPECT_EQ(catalogue[0]["sha1"], "55f66e7e09703b543746498a22d347710652f84b") << "the file holds 'not a map'";
  const Json& smallest = *std::find_if(catalogue.begin(), catalogue.end(), [](const Json& m) {
    return m["path"].get<std::string>().ends_with("smallest_roc.w3m");
  });
  // Every real map is read whole, but for the Lua maps' script, which the
  // first release's reading looks for as war3map.j.
  for (const Json& map : catalogue) {
    if (!map["opened"]) continue;
    const bool lua = map["path"].get<std::string>().find("_lua") != std::string::npos ||
                     map["path"].get<std::string>().find("_w3e12") != std::string::npos;
    EXPECT_EQ(map["status"], lua ? "partial" : "read") << map["path"] << map["errors"];
    if (lua) {
      EXPECT_EQ(map["errors"], Json::parse(R"([{"file":"war3map.j","error":"missing from the map"}])"));
    }
  }
  EXPECT_EQ(smallest["size"], fs::file_size(roc));
  EXPECT_EQ(smallest["crc32"], "648a2f17");
  EXPECT_EQ(smallest["sha1"], "77c7ed52e9f7a5cc98d9c354214f03a0fa73dd19");
  EXPECT_EQ(smallest["minimap"]["width"], 256);
  EXPECT_EQ(smallest["minimap"]["height"], 256);
  EXPECT_EQ(smallest["map_info"]["name"]["stored"], "TRIGSTR_001");
  EXPECT_EQ(smallest["map_info"]["players"], Json::parse(R"([{"number":0,"controller":{"value":1,"name":"human"},
      "race":{"value":1,"name":"human"},"name":{"stored":"TRIGSTR_005","resolved":"Player 1"},
      "start":{"x":-640.0,"y":320.0,"fixed":false}}])"));
  EXPECT_EQ(smallest["map_info"]["forces"][0]["name"]["resolved"], "Force 1");
  EXPECT_EQ(smallest["map_info"]["forces"][0]["members"], Json::parse("[0]"));
  EXPECT_EQ(smallest["map_info"]["players_and_forces_complete"], true);
  EXPECT_EQ(smallest["script"]["created"]["iso8601"], "2010-01-10T04:43:58");

  // With --w3x the same decoding reads the later formats: the maps under
  // their own names, each with its players and forces, agree again.
  const fs::path later = dir / "later";
  fs::create_directory(later);
  fs::copy_file(roc, later / "smallest_roc.w3m");
  for (const char* other : {"maps/small_tft.w3x", "w3x/format28_jass.w3x", "w3x/format31_lua.w3x", "w3x/format33_w3e12.w3x"})
    if (fs::exists(FixturesDir() / other)) fs::copy_file(FixturesDir() / other, later / fs::path(other).filename());
  const ProcessResult w3x = RunKorvanel({later.string(), "--w3x", "/i", (dir / "later.txt").string(), "--json",
                                         (dir / "later.jsonl").string()});
  EXPECT_EQ(w3x.status, 0) << w3x.err;
  const std::vector<Json> laterCatalogue = ParseCatalogue(ReadFile(dir / "later.jsonl"));
  ASSERT_EQ(laterCatalogue.size(), static_cast<std::size_t>(std::distance(fs::directory_iterator(later), fs::directory_iterator())));
  EXPECT_EQ(RecordsFromCatalogue(laterCatalogue), ReadFile(dir / "later.txt"));
  for (const Json& map : laterCatalogue) {
    SCOPED_TRACE(map["path"].get<std::string>());
    EXPECT_EQ(map["status"], "read") << map["errors"];
    const Json& info = map["map_info"];
    EXPECT_EQ(info["players_and_forces_complete"], true);
    EXPECT_EQ(info["players"].size(), info["max_players"].get<std::size_t>());
    EXPECT_FALSE(info["forces"].empty());
    EXPECT_EQ(map["script"]["file"], info.value("script_language", Json::object()).value("value", 0) ? "war3map.lua" : "war3map.j");
  }
  auto laterMap = [&](std::string_view name) {
    const auto found = std::find_if(laterCatalogue.begin(), laterCatalogue.end(),
                                    [&](const Json& m) { return m["path"].get<std::string>().ends_with(name); });
    return found == laterCatalogue.end() ? Json() : *found;
  };
  // Format 31 and later: each player entry holds two more masks.
  if (const Json lua = laterMap("format31_lua.w3x"); !lua.is_null()) {
    EXPECT_EQ(lua["map_info"]["game_version"], Json::parse(R"({"major":1,"minor":33,"patch":0,"build":19378})"));
    EXPECT_EQ(lua["map_info"]["script_language"], Json::parse(R"({"value":1,"name":"lua"})"));
    std::vector<int> races;
    for (const Json& p : lua["map_info"]["players"]) races.push_back(p["race"]["value"]);
    EXPECT_EQ(races, (std::vector<int>{1, 2, 3, 4}));
    EXPECT_EQ(lua["map_info"]["forces"][0]["members"], Json::parse("[0,1,2,3]"));
  }
  if (const Json ladder = laterMap("format33_w3e12.w3x"); !ladder.is_null()) {
    EXPECT_EQ(ladder["map_info"]["players"][1], Json::parse(R"({"number":1,"controller":{"value":1,"name":"human"},
        "race":{"value":2,"name":"orc"},"name":{"stored":"TRIGSTR_007","resolved":"Player 2"},
        "start":{"x":5248.0,"y":2880.0,"fixed":false}})"));
    EXPECT_EQ(ladder["map_info"]["forces"], Json::parse(R"([{"name":{"stored":"","resolved":""},
        "flags":{"value":0,"names":[]},"player_mask":-1,"members":[0,1]}])"));
  }

  std::string why;
  if (!ValidateAgainstSchema(dir / "maps.jsonl", why)) GTEST_SKIP() << why;
  ValidateAgainstSchema(dir / "later.jsonl", why);
}

TEST(Pipeline, CatalogueOnStandardOutputWithHostileTexts) {
  TempDir dir;
  const fs::path maps = dir / "maps";
  fs::create_directory(maps);
  SampleMap sample;
  sample.name = "\xE4\xF6 \"quoted\" \x01\x1b[2J \\ back";
  sample.author = "Kartë ✓";
  sample.description = std::string(100000, '\xFF') + "\r\nend";
  ASSERT_TRUE(BuildMap(maps / "a_\xE9t\xE9.w3m", SampleMapFiles(sample)));
  WriteFile(maps / "b_broken.w3m", "not a map");

  const ProcessResult r = RunKorvanel({maps.string(), "/i", (dir / "info.txt").string(), "--json", "-"});
  EXPECT_EQ(r.status, 1);
  // The messages move to standard error; standard output is the catalogue.
  EXPECT_EQ(r.err, "ERROR!\nUnable to open the map file :\n" + (maps / "b_broken.w3m").string() +
                       "\nkorvanel: catalogue -: 2 maps, 0 duplicates\n");
  const std::vector<Json> catalogue = ParseCatalogue(r.out);
  ASSERT_EQ(catalogue.size(), 2u);
  EXPECT_EQ(CatalogueText(catalogue[0], "path"), (maps / "a_\xE9t\xE9.w3m").string());
  EXPECT_EQ(CatalogueText(catalogue[0]["map_info"]["name"], "resolved"), sample.name);
  EXPECT_EQ(catalogue[0]["map_info"]["author"]["resolved"], "Kartë ✓");
  EXPECT_EQ(RecordsFromCatalogue(catalogue), ReadFile(dir / "info.txt"));
  WriteFile(dir / "maps.jsonl", r.out);
  std::string why;
  if (!ValidateAgainstSchema(dir / "maps.jsonl", why)) GTEST_SKIP() << why;
}

TEST(Pipeline, CatalogueThatCannotBeWritten) {
  TempDir dir;
  SampleMap sample;
  ASSERT_TRUE(BuildMap(dir / "one.w3m", SampleMapFiles(sample)));
  const std::string map = (dir / "one.w3m").string();

  // Not created: said on standard error, and nothing else is done.
  const std::string nowhere = (dir / "no" / "maps.jsonl").string();
  ProcessResult r = RunKorvanel({map, "/i", (dir / "info.txt").string(), "--json", nowhere});
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.out, "");
  EXPECT_EQ(r.err, "korvanel: cannot create the catalogue " + nowhere + ": No such file or directory\n");
  EXPECT_FALSE(fs::exists(dir / "info.txt"));

  // A map's name, or the map itself, is never taken for the catalogue.
  for (const std::string& target : {map, (dir / "other.w3x").string()}) {
    r = RunKorvanel({map, "--json", target});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "korvanel: the catalogue " + target + " would replace a map; give it another name\n");
  }
  EXPECT_FALSE(fs::exists(dir / "other.w3x"));

  // Nor the info file, existing or not, under its own name or another:
  // emptying it would lose what /a keeps, and the two would mix their lines.
  const std::string kept = "kept\r\n";
  WriteFile(dir / "info.txt", kept);
  for (const auto& [info, catalogue] : {std::pair{dir / "info.txt", dir / "info.txt"},
                                        std::pair{dir / "info.txt", dir / "." / "info.txt"},
                                        std::pair{dir / "new.txt", dir / "." / "new.txt"}}) {
    r = RunKorvanel({map, "/i", info.string(), "/a", "--json", catalogue.string()});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "korvanel: the catalogue " + catalogue.string() + " is the info file; give it another name\n");
  }
  EXPECT_EQ(ReadFile(dir / "info.txt"), kept);
  EXPECT_FALSE(fs::exists(dir / "new.txt"));
  fs::remove(dir / "info.txt");

  // A write that fails: said once, the run goes on, the status says it.
  if (!fs::exists("/dev/full")) GTEST_SKIP() << "no /dev/full";
  r = RunKorvanel({map, "/i", (dir / "info.txt").string(), "--json", "/dev/full"});
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.out, "");
  EXPECT_EQ(r.err, "korvanel: cannot write the catalogue /dev/full: No space left on device\n");
  EXPECT_EQ(ReadFile(dir / "info.txt"), RecordHead(dir / "one.w3m") + SampleMapLines(sample));
}

// --w3x: every real map, of every format, whole.
TEST(Pipeline, RealW3xMapsGiveTheirRecordsByteForByte) {
  const std::pair<const char*, std::string_view> fixtures[] = {
      {"bench/forest_defense.w3x", kForestDefenseW3xLines}, {"w3x/format28_jass.w3x", kFormat28W3xLines},
      {"w3x/format31_lua.w3x", kFormat31W3xLines},          {"w3x/format33_w3e12.w3x", kFormat33W3xLines},
      {"maps/small_tft.w3x", kSmallTftW3xLines},            {"maps/smallest_roc.w3m", kSmallestRocParserLines}};
  TempDir dir;
  fs::create_directory(dir / "maps");
  std::string expected;
  for (const auto& [relative, lines] : fixtures) {
    KVL_REQUIRE_FIXTURE(source, relative);
    const fs::path copy = dir / "maps" / source.filename();
    fs::copy_file(source, copy);
    expected += RecordHead(copy) + std::string(lines);  // listed in name order
  }
  ProcessResult r = RunKorvanel({(dir / "maps").string(), "--w3x", "/i", (dir / "info.txt").string()});
  EXPECT_EQ(r.status, 0) << r.out << r.err;
  EXPECT_EQ(r.out, "");
  EXPECT_EQ(ReadFile(dir / "info.txt"), expected);
}

// Maps of the first release's format, as its editor wrote them, give the
// same info file with and without --w3x.
TEST(Pipeline, W3xLeavesFirstReleaseRecordsAsTheyAre) {
  TempDir dir;
  const fs::path maps = dir / "maps";
  fs::create_directory(maps);
  std::string expected;
  SampleMap a, b, c;
  b.name = "Other \\ Map";
  b.playerUnits = {0, 5, 1, 9};
  b.tileset = 'X';
  c.mines = 0;
  c.hostileUnits = 0;
  c.firstTriggerString = 996;  // up to the highest three-digit reference
  int n = 0;
  for (const SampleMap& m : {a, b, c}) {
    const fs::path path = maps / ("sample" + std::to_string(n++) + ".w3m");
    ASSERT_TRUE(BuildMap(path, SampleMapFiles(m)));
  }
  const fs::path roc = FixturesDir() / "maps/smallest_roc.w3m";
  if (!FixturesDir().empty() && fs::exists(roc)) fs::copy_file(roc, maps / "smallest_roc.w3m");

  ProcessResult first = RunKorvanel({maps.string(), "/i", (dir / "first.txt").string()});
  ProcessResult later = RunKorvanel({maps.string(), "/i", (dir / "later.txt").string(), "--w3x"});
  EXPECT_EQ(first.status, 0);
  EXPECT_EQ(later.status, 0);
  EXPECT_EQ(later.out, first.out);
  const std::string info = ReadFile(dir / "first.txt");
  EXPECT_NE(info.find(RecordHead(maps / "sample2.w3m") + SampleMapLines(c)), std::string::npos);
  EXPECT_EQ(ReadFile(dir / "later.txt"), info);
}

// The test kit's maps in the layouts of later editors: only --w3x walks to
// them, and each gives the lines of the same map in the first layout.
TEST(Pipeline, W3xReadsEveryLaterLayout) {
  TempDir dir;
  const fs::path maps = dir / "maps";
  fs::create_directory(maps);
  const SampleMap lua = LaterLayoutsMap();
  SampleMap folder = lua;
  folder.w3iFormat = 25;
  folder.name = "Script In A Folder";
  folder.scriptName = "scripts\\war3map.j";
  folder.playerUnits = {4};
  SampleMap both = lua;
  both.w3iFormat = 33;
  both.name = "Both Scripts";
  both.scriptName = "war3map.j";
  both.hostileUnits = 2;
  std::vector<EmbeddedFile> bothFiles = SampleMapFiles(both);
  SampleMap other;
  other.hostileUnits = 40;
  bothFiles.push_back({"war3map.lua", SampleLuaScript(other)});  // war3map.j comes first
  // A localised map's trigger strings behind a byte-order mark encoded
  // twice, and its script as an optimiser leaves it.
  SampleMap optimised = lua;
  optimised.name = "Optimised";
  optimised.wtsStart = "\xC3\xAF\xC2\xBB\xC2\xBF";
  optimised.luaOptimised = true;
  optimised.playerUnits = {2, 0, 5};
  optimised.mines = 3;
  ASSERT_TRUE(BuildMap(maps / "a_lua.w3x", SampleMapFiles(lua)));
  ASSERT_TRUE(BuildMap(maps / "B_FOLDER.W3X", SampleMapFiles(folder)));
  ASSERT_TRUE(BuildMap(maps / "c_both.w3x", bothFiles));
  ASSERT_TRUE(BuildMap(maps / "d_optimised.w3x", SampleMapFiles(optimised)));

  ProcessResult r = RunKorvanel({maps.string(), "/i", (dir / "info.txt").string(), "--w3x", "/s"});
  EXPECT_EQ(r.status, 0) << r.out << r.err;
  EXPECT_EQ(ReadFile(dir / "info.txt"), RecordHead(maps / "a_lua.w3x") + SampleMapLines(lua) +
                                            RecordHead(maps / "B_FOLDER.W3X") + SampleMapLines(folder) +
                                            RecordHead(maps / "c_both.w3x") + SampleMapLines(both) +
                                            RecordHead(maps / "d_optimised.w3x") + SampleMapLines(optimised));

  // Without the option the folder holds no maps; named alone, a .w3x map
  // is read in the first release's formats: its version lines only.
  r = RunKorvanel({maps.string(), "/i", (dir / "none.txt").string()});
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(ReadFile(dir / "none.txt"), "");
  r = RunKorvanel({(maps / "a_lua.w3x").string(), "/i", (dir / "alone.txt").string()});
  EXPECT_EQ(ReadFile(dir / "alone.txt"), RecordHead(maps / "a_lua.w3x") +
                                             "W3I Version:       31\r\nW3E Version:       12\r\n"
                                             "Doo Version:       8\r\nUnits.Doo version: 8\r\n");
}

TEST(Pipeline, DamagedMapsAreReportedAndTheRunGoesOn) {
  TempDir dir;
  const fs::path maps = dir / "maps";
  fs::create_directory(maps);
  SampleMap sample;
  sample.pictureSize = 0;
  const auto files = SampleMapFiles(sample);
  ASSERT_TRUE(BuildMap(maps / "a_good.w3m", files));
  WriteFile(maps / "b_not_a_map.w3m", "PK\x03\x04 this is a zip file, not a map");
  std::string whole = ReadFile(maps / "a_good.w3m");
  WriteFile(maps / "c_truncated.w3m", whole.substr(0, 20));
  WriteFile(maps / "d_empty.w3m", "");
  // The map information ends inside the description ("TRIG" is all
  // that is left of its reference); the environment file
  // claims a count that points far outside it; the script has no lines.
  std::string w3i = SampleW3i(sample);
  ASSERT_TRUE(BuildMap(maps / "e_cut.w3m",
                       Replace(Replace(Replace(files, "war3map.w3i", w3i.substr(0, 40)), "war3map.w3e",
                                       "W3E!" + Le32(11) + "L" + Le32(1) + Le32(0x40000000) + "rest"),
                               "war3map.j", "no line feed at all")));
  ASSERT_TRUE(BuildMap(maps / "f_sparse.w3m", Drop(files, {"war3map.wts", "war3map.j", "war3map.doo"})));
  ASSERT_TRUE(BuildMap(maps / "g_good.w3m", files));

  ProcessResult r = RunKorvanel({maps.string(), "/i", (dir / "info.txt").string()});
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.out, "ERROR!\nUnable to open the map file :\n" + (maps / "b_not_a_map.w3m").string() + "\n" +
                       "ERROR!\nUnable to open the map file :\n" + (maps / "c_truncated.w3m").string() + "\n" +
                       "ERROR!\nUnable to open the map file :\n" + (maps / "d_empty.w3m").string() + "\n");
  // Standard error says which map and which of its files could not be read.
  const std::string damaged = ": damaged or of an unknown format; its lines may be missing or incomplete\n";
  EXPECT_EQ(r.err, "korvanel: " + (maps / "e_cut.w3m").string() + ": war3map.w3i" + damaged +
                       "korvanel: " + (maps / "e_cut.w3m").string() + ": war3map.w3e" + damaged);

  const std::string lines = SampleMapLines(sample);
  const std::string cut =
      "W3I Version:       18\r\nMap Version:       3\r\nEditor Version:    6059 (unknown)\r\n"
      "Map Name:          Sample Map\r\nMap Author:        Korvanel\r\nDescription:       TRIG\r\n"
      "W3E Version:       11\r\n"
      "Doo Version:       7\r\nDoodads (Trees):   120\r\nUnits.Doo version: 7\r\nDoodads (Other):   30\r\n";
  // Without trigger strings the map's references resolve to nothing, never
  // to the previous map's texts.
  const std::string sparse =
      "W3I Version:       18\r\nMap Version:       3\r\nEditor Version:    6059 (unknown)\r\n"
      "Map Name:          \r\nMap Author:        \r\nDescription:       \r\nSuggested Players: \r\n"
      "Playable Map Size: 84x84\r\nMap Type:          Melee\r\nMain Tileset:      Lordaeron Summer\r\n"
      "Max Players:       4\r\nW3E Version:       11\r\nMap Size:          95x95\r\n"
      "Units.Doo version: 7\r\nDoodads (Other):   30\r\n";
  EXPECT_EQ(ReadFile(dir / "info.txt"), RecordHead(maps / "a_good.w3m") + lines + RecordHead(maps / "e_cut.w3m") + cut +
                                            RecordHead(maps / "f_sparse.w3m") + sparse +
                                            RecordHead(maps / "g_good.w3m") + lines);
}

TEST(Pipeline, InfoFileRulesOnTheCommandLine) {
  TempDir dir;
  SampleMap sample;
  sample.pictureSize = 0;
  ASSERT_TRUE(BuildMap(dir / "one.w3m", SampleMapFiles(sample)));
  const std::string record = RecordHead(dir / "one.w3m") + SampleMapLines(sample);
  const fs::path info = dir / "info.txt";
  const std::string map = (dir / "one.w3m").string();

  EXPECT_EQ(RunKorvanel({map, "/i", info.string()}).status, 0);
  EXPECT_EQ(RunKorvanel({"/a", map, "/i", info.string()}).status, 0);
  EXPECT_EQ(ReadFile(info), record + record);

  // Neither /a nor /o: nothing is written, the run goes on without the file.
  ProcessResult neither = RunKorvanel({map, "/i", info.string(), "/m", dir.Path().string()});
  EXPECT_EQ(neither.status, 1);
  EXPECT_EQ(neither.out, "ERROR!\nUnable to create the output file!\nReason:\nunknown.\n");
  EXPECT_TRUE(fs::exists(dir / "one.jpg") == false);  // the sample has no picture
  EXPECT_EQ(ReadFile(info), record + record);

  EXPECT_EQ(RunKorvanel({map, "/o", "/i", info.string()}).status, 0);
  EXPECT_EQ(ReadFile(info), record);

  // A switch without its value is a mistake, and nothing is created for it.
  for (auto last : {"/i", "/m"}) {
    ProcessResult noValue = RunKorvanel({map, "/o", last}, {}, {.folder = dir.Path()});
    EXPECT_EQ(noValue.status, kExitUsage);
    EXPECT_EQ(noValue.out, kUsageText);
  }
  EXPECT_EQ(std::distance(fs::directory_iterator(dir.Path()), fs::directory_iterator()), 2);
  EXPECT_EQ(ReadFile(info), record);

  // A map is never the info file: not the one being read, under any name,
  // nor any file named like a map. Nothing is emptied; the run goes on.
  const std::string mapBytes = ReadFile(map);
  fs::create_hard_link(map, dir / "alias.txt");
  WriteFile(dir / "other.W3X", "another map");
  const std::string unknown = "ERROR!\nUnable to create the output file!\nReason:\nunknown.\n";
  for (const auto& [target, reason] : std::vector<std::pair<fs::path, std::string>>{
           {map, "The file is the map this run reads.\n"},
           {dir / "alias.txt", "The file is the map this run reads.\n"},
           {dir / "other.W3X", "The name is a map's (.w3m or .w3x), not an info file's.\n"}}) {
    ProcessResult refused = RunKorvanel({map, "/i", target.string(), "/o"});
    EXPECT_EQ(refused.status, 1);
    EXPECT_EQ(refused.out, "ERROR!\nUnable to create the output file!\nReason:\n" + reason + unknown);
  }
  EXPECT_EQ(ReadFile(map), mapBytes);
  EXPECT_EQ(ReadFile(dir / "other.W3X"), "another map");

  // A map named relative to the current folder is recorded as given.
  const fs::path old = fs::current_path();
  fs::current_path(dir.Path());
  ProcessResult relative = RunKorvanel({"one.w3m", "/o", "/i", "info.txt"});
  fs::current_path(old);
  EXPECT_EQ(relative.status, 0);
  EXPECT_EQ(ReadFile(info), RecordHead("one.w3m") + SampleMapLines(sample));

  // Neither output asked for: every map is opened and closed, nothing written.
  ProcessResult quiet = RunKorvanel({dir.Path().string()});
  EXPECT_EQ(quiet.status, 0);
  EXPECT_EQ(quiet.out, "");
}

// Names may begin or end with blanks on Linux: the source is taken as typed
// when it exists, else trimmed, and what is checked is what is walked.
TEST(Pipeline, TheFolderCheckedIsTheFolderWalked) {
  TempDir dir;
  SampleMap sample;
  sample.pictureSize = 0;
  fs::create_directory(dir / "tr ");
  fs::create_directory(dir / "tr");
  ASSERT_TRUE(BuildMap(dir / "tr " / "blank.w3m", SampleMapFiles(sample)));
  ASSERT_TRUE(BuildMap(dir / "tr" / "plain.w3m", SampleMapFiles(sample)));
  const std::string lines = SampleMapLines(sample);

  EXPECT_EQ(RunKorvanel({"tr ", "/i", "a.txt"}, {}, {.folder = dir.Path()}).status, 0);
  EXPECT_EQ(ReadFile(dir / "a.txt"), RecordHead(dir / "tr " / "blank.w3m") + lines);
  EXPECT_EQ(RunKorvanel({" tr", "/i", "b.txt"}, {}, {.folder = dir.Path()}).status, 0);
  EXPECT_EQ(ReadFile(dir / "b.txt"), RecordHead(dir / "tr" / "plain.w3m") + lines);

  ProcessResult missing = RunKorvanel({" nosuch "}, {}, {.folder = dir.Path()});
  EXPECT_EQ(missing.status, 1);
  EXPECT_EQ(missing.out, "ERROR!\nUnable to open the map file :\nnosuch\n");
  EXPECT_EQ(missing.err, "korvanel: nosuch: No such file or directory\n");
}

TEST(Pipeline, TheProgramNeverWritesToAMap) {
  KVL_REQUIRE_FIXTURE(roc, "maps/smallest_roc.w3m");
  TempDir dir;
  fs::copy_file(roc, dir / "m.w3m");
  fs::permissions(dir / "m.w3m", fs::perms::owner_read);
  const auto before = fs::last_write_time(dir / "m.w3m");
  ProcessResult r = RunKorvanel({(dir / "m.w3m").string(), "/i", (dir / "info.txt").string()});
  EXPECT_EQ(r.status, 0) << r.out;
  EXPECT_EQ(ReadFile(dir / "m.w3m"), ReadFile(roc));
  EXPECT_EQ(fs::last_write_time(dir / "m.w3m"), before);
}

namespace {

// Holds the lock a run of the program takes on the catalogue it writes,
// as another run would.
class CatalogueLock {
 public:
  explicit CatalogueLock(const fs::path& catalogue)
      : fd_(::open((catalogue.parent_path() / ("." + catalogue.filename().string() + ".kvl-new")).c_str(),
                   O_RDWR | O_CREAT | O_CLOEXEC, 0666)) {
    EXPECT_EQ(::flock(fd_, LOCK_EX | LOCK_NB), 0);
  }
  ~CatalogueLock() { ::close(fd_); }

 private:
  int fd_;
};

}  // namespace

// What a collection keeper asks of a folder: which files are one map,
// which are damaged or protected and why; then the same in seconds for a
// collection that barely changed.
TEST(Pipeline, CatalogueOfACollection) {
  TempDir dir;
  const fs::path maps = dir / "maps", catalogue = dir / "maps.jsonl";
  fs::create_directory(maps);
  SampleMap sample;
  ASSERT_TRUE(BuildMap(maps / "a.w3m", SampleMapFiles(sample)));
  fs::copy_file(maps / "a.w3m", maps / "b_copy.w3m");
  ASSERT_TRUE(BuildMap(maps / "c_damaged.w3m", Replace(SampleMapFiles(sample), "war3map.w3i", SampleW3i(sample).substr(0, 20))));
  sample.name = "Protected";
  ASSERT_TRUE(BuildMap(maps / "d_protected.w3m", Drop(SampleMapFiles(sample), {"war3map.doo"}), false));
  WriteFile(maps / "e_broken.w3m", "not a map");

  const ProcessResult full = RunKorvanel({maps.string(), "--json", catalogue.string()});
  EXPECT_EQ(full.status, 1);  // the broken map
  EXPECT_EQ(full.err, "korvanel: " + (maps / "c_damaged.w3m").string() +
                          ": war3map.w3i: damaged or of an unknown format; its lines may be missing or incomplete\n"
                          "korvanel: catalogue " + catalogue.string() + ": 5 maps, 1 duplicate\n");
  const std::string first = ReadFile(catalogue);
  std::vector<Json> objects = ParseCatalogue(first);
  ASSERT_EQ(objects.size(), 5u);
  auto field = [&](const char* key) {
    std::vector<Json> values;
    for (const Json& o : objects) values.push_back(o.value(key, Json()));
    return values;
  };
  EXPECT_EQ(field("status"), (std::vector<Json>{"read", "read", "partial", "partial", "unopenable"}));
  EXPECT_EQ(field("duplicate_of"), (std::vector<Json>{nullptr, (maps / "a.w3m").string(), nullptr, nullptr, nullptr}));
  EXPECT_EQ(objects[0]["sha1"], objects[1]["sha1"]);
  EXPECT_NE(objects[0]["sha1"], objects[2]["sha1"]);
  EXPECT_EQ(objects[0]["size"], fs::file_size(maps / "a.w3m"));
  EXPECT_EQ(objects[2]["errors"][0]["file"], "war3map.w3i");
  EXPECT_EQ(objects[3]["protection"], Json::parse(R"(["no_listfile"])"));
  EXPECT_EQ(objects[3]["protected"], true);
  EXPECT_EQ(objects[3]["errors"], Json::parse(R"([{"file":"war3map.doo","error":"missing from the map"}])"));
  EXPECT_EQ(objects[0]["protected"], false);
  EXPECT_EQ(objects[4]["errors"][0]["error"], "cannot open the map: the archive library does not take it for a map archive");
  EXPECT_TRUE(objects[4].contains("sha1"));  // readable, so identified

  // An update over the unchanged folder gives the same catalogue.
  ProcessResult update = RunKorvanel({maps.string(), "--json", catalogue.string(), "--update"});
  EXPECT_EQ(update.err, "korvanel: catalogue " + catalogue.string() + ": 5 maps, 1 duplicate, 5 unchanged since the last run\n");
  EXPECT_EQ(ReadFile(catalogue), first);

  // A map changed, one gone, one new: the update equals a full run, also
  // in which map another copies.
  fs::remove(maps / "a.w3m");
  ASSERT_TRUE(BuildMap(maps / "c_damaged.w3m", SampleMapFiles(sample)));
  fs::copy_file(maps / "b_copy.w3m", maps / "f_new.w3m");
  update = RunKorvanel({maps.string(), "--json", catalogue.string(), "--update"});
  EXPECT_EQ(update.err, "korvanel: catalogue " + catalogue.string() + ": 5 maps, 1 duplicate, 3 unchanged since the last run\n");
  const ProcessResult again = RunKorvanel({maps.string(), "--json", (dir / "full.jsonl").string()});
  const std::string updated = ReadFile(catalogue);
  EXPECT_EQ(updated, ReadFile(dir / "full.jsonl"));
  objects = ParseCatalogue(updated);
  ASSERT_EQ(objects.size(), 5u);
  EXPECT_EQ(field("duplicate_of"), (std::vector<Json>{nullptr, nullptr, nullptr, nullptr, (maps / "b_copy.w3m").string()}));
  EXPECT_EQ(objects[1]["status"], "read");

  // What cannot be trusted is said, and every map is read anew.
  const std::string other = std::string(updated).replace(updated.find("\"schema_version\":2"), 18, "\"schema_version\":1");
  for (const auto& [old, why] : {std::pair{updated.substr(0, updated.size() - 5), "its line 5 is damaged or cut short"},
                                 std::pair{other, "its line 1 is of another catalogue version"},
                                 std::pair{std::string("-------------------\r\n"), "its line 1 is damaged or cut short"},
                                 std::pair{std::string("{\"path\":\"x\"}\n"), "its line 1 is not a map of a korvanel catalogue"}}) {
    WriteFile(catalogue, old);
    update = RunKorvanel({maps.string(), "--json", catalogue.string(), "--update"});
    EXPECT_EQ(update.err, "korvanel: the catalogue " + catalogue.string() + " cannot be updated: " + why +
                              "; every map is read anew\nkorvanel: catalogue " + catalogue.string() +
                              ": 5 maps, 1 duplicate, 0 unchanged since the last run\n");
    EXPECT_EQ(ReadFile(catalogue), updated);
  }

  // The update takes the time and size for the map's word: a map rewritten
  // under its old size and time is not read again.
  const auto time = fs::last_write_time(maps / "f_new.w3m");
  WriteFile(maps / "f_new.w3m", std::string(fs::file_size(maps / "f_new.w3m"), 'x'));
  fs::last_write_time(maps / "f_new.w3m", time);
  update = RunKorvanel({maps.string(), "--json", catalogue.string(), "--update"});
  EXPECT_EQ(update.err, "korvanel: catalogue " + catalogue.string() + ": 5 maps, 1 duplicate, 5 unchanged since the last run\n");
  EXPECT_EQ(ReadFile(catalogue), updated);
}

// The catalogue is written beside the old one and put in place whole: a
// run that cannot write it, or that finds another run at it, leaves the
// old one as it was and touches nothing else.
TEST(Pipeline, ACatalogueIsNeverLeftHalfWrittenOrMixed) {
  TempDir dir;
  SampleMap sample;
  sample.pictureSize = 0;
  ASSERT_TRUE(BuildMap(dir / "one.w3m", SampleMapFiles(sample)));
  const std::string map = (dir / "one.w3m").string(), info = (dir / "info.txt").string();
  const fs::path catalogue = dir / "maps.jsonl";
  WriteFile(catalogue, "old\n");
  {
    CatalogueLock another(catalogue);
    const ProcessResult r = RunKorvanel({map, "/i", info, "--json", catalogue.string()});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "korvanel: the catalogue " + catalogue.string() +
                         " is being written by another run; try again when that one has ended\n");
  }
  EXPECT_EQ(ReadFile(catalogue), "old\n");
  EXPECT_FALSE(fs::exists(info));

  ASSERT_EQ(::mkfifo((dir / "fifo").c_str(), 0600), 0);
  fs::create_directory(dir / "folder");
  for (const auto& [target, why] : {std::pair{dir / "fifo", " is a fifo or socket, not a file; give a file's name, or - for standard output"},
                                    std::pair{dir / "folder", " is a folder; give a file's name"}}) {
    const ProcessResult r = RunKorvanel({map, "/i", info, "--json", target.string()});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "korvanel: the catalogue " + target.string() + why + "\n");
  }
  EXPECT_FALSE(fs::exists(info));

  // Through a link the file it names is replaced, and the link stays.
  fs::create_symlink(catalogue, dir / "link.jsonl");
  EXPECT_EQ(RunKorvanel({map, "--json", (dir / "link.jsonl").string()}).status, 0);
  EXPECT_TRUE(fs::is_symlink(dir / "link.jsonl"));
  EXPECT_EQ(ParseCatalogue(ReadFile(catalogue)).size(), 1u);
  EXPECT_EQ(std::distance(fs::directory_iterator(dir.Path()), fs::directory_iterator()), 5);  // no new file left
}

// A run that cannot start changes no file: the source and the minimap
// folder are checked before the info file or the catalogue is touched.
TEST(Pipeline, ARunThatCannotStartTouchesNothing) {
  TempDir dir;
  SampleMap sample;
  fs::create_directory(dir / "maps");
  ASSERT_TRUE(BuildMap(dir / "maps" / "one.w3m", SampleMapFiles(sample)));
  WriteFile(dir / "p.txt", "earlier\r\n");
  WriteFile(dir / "p.jsonl", "earlier\n");
  ProcessResult r = RunKorvanel({(dir / "maps").string(), "/i", (dir / "p.txt").string(), "/o", "/m",
                                 (dir / "nosuch").string(), "--json", (dir / "p.jsonl").string()});
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.out, "ERROR!\nYou entered an invalid path for the minimap directory! Please check the spelling and if the "
                   "directory really (still?) exists." + (dir / "nosuch/").string() + "\n");
  r = RunKorvanel({(dir / "nosuch").string(), "/i", (dir / "p.txt").string(), "/o", "--json", (dir / "p.jsonl").string()});
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.out, "ERROR!\nUnable to open the map file :\n" + (dir / "nosuch").string() + "\n");
  EXPECT_EQ(ReadFile(dir / "p.txt"), "earlier\r\n");
  EXPECT_EQ(ReadFile(dir / "p.jsonl"), "earlier\n");
  EXPECT_EQ(std::distance(fs::directory_iterator(dir.Path()), fs::directory_iterator()), 3);
}


// --pictures: a folder of every picture for each map, the minimap of the
// JPEG kind the same file /m writes; a picture that cannot be decoded is
// named and the others are still written; a second run finds its own files.
TEST(Pipeline, EveryPictureOfEachMapInAFolderOfItsOwn) {
  TempDir dir;
  const fs::path maps = dir / "maps", pictures = dir / "pictures", minimaps = dir / "minimaps";
  for (const fs::path& folder : {maps, maps / "sub", pictures, minimaps}) fs::create_directories(folder);
  SampleMap sample;
  ASSERT_TRUE(BuildMap(maps / "a.w3m", SampleMapFiles(sample)));
  fs::copy_file(maps / "a.w3m", maps / "sub" / "a.w3m");
  ASSERT_TRUE(BuildMap(maps / "b_bad.w3m", Replace(SampleMapFiles(sample), "war3mapMap.blp", "BLP1 but nothing else")));
  if (const fs::path roc = FixturesDir() / "maps/smallest_roc.w3m"; !FixturesDir().empty() && fs::exists(roc))
    fs::copy_file(roc, maps / "roc.w3m");

  const std::vector<std::string> run = {maps.string(), "/s", "/m", minimaps.string(), "--pictures", pictures.string(),
                                        "--json", (dir / "maps.jsonl").string()};
  const ProcessResult r = RunKorvanel(run);
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.err.find((maps / "b_bad.w3m").string() + ": war3mapMap.blp: no minimap picture: "), std::string::npos) << r.err;
  // The sample's minimap has alpha: a PNG, and one with its icons.
  const std::string png = ReadFile(pictures / "a.w3m" / "minimap.png");
  EXPECT_TRUE(png.starts_with("\x89PNG\r\n"));
  EXPECT_TRUE(fs::exists(pictures / "a.w3m" / "minimap-icons.png"));
  // The second map of the name gets a folder of its own.
  EXPECT_EQ(ReadFile(pictures / "a.w3m (2)" / "minimap.png"), png);
  EXPECT_FALSE(fs::exists(pictures / "b_bad.w3m"));
  if (fs::exists(maps / "roc.w3m")) {
    EXPECT_EQ(ReadFile(pictures / "roc.w3m" / "minimap.jpg"), ReadFile(minimaps / "roc.jpg"));
  }

  std::vector<Json> catalogue = ParseCatalogue(ReadFile(dir / "maps.jsonl"));
  ASSERT_GE(catalogue.size(), 3u);
  EXPECT_EQ(catalogue[0]["pictures"],
            Json::parse(R"([{"kind":"minimap","file":")" + (pictures / "a.w3m" / "minimap.png").string() +
                        R"(","width":64,"height":64},{"kind":"minimap-icons","file":")" +
                        (pictures / "a.w3m" / "minimap-icons.png").string() + R"(","width":64,"height":64}])"));
  EXPECT_EQ(catalogue[1]["status"], "partial");
  EXPECT_EQ(catalogue[1]["errors"].back()["file"], "war3mapMap.blp");

  // Again: the pictures there are this run's own, found and named again.
  fs::remove_all(minimaps);
  fs::create_directory(minimaps);
  const ProcessResult second = RunKorvanel(run);
  EXPECT_EQ(second.err, r.err);
  EXPECT_EQ(ReadFile(pictures / "a.w3m" / "minimap.png"), png);
  EXPECT_EQ(ParseCatalogue(ReadFile(dir / "maps.jsonl"))[0]["pictures"], catalogue[0]["pictures"]);
  // One of other content is never replaced, and said so.
  WriteFile(pictures / "a.w3m" / "minimap.png", "mine");
  const ProcessResult third = RunKorvanel({(maps / "a.w3m").string(), "--pictures", pictures.string()});
  EXPECT_EQ(third.status, 1);
  EXPECT_EQ(third.err, "korvanel: the picture " + (pictures / "a.w3m" / "minimap.png").string() +
                           " exists already with other content (not replaced)\n");
  EXPECT_EQ(ReadFile(pictures / "a.w3m" / "minimap.png"), "mine");
  // The pictures alone read no more of a map than they need: its doodads
  // are not theirs to judge.
  const fs::path alone = dir / "alone";
  fs::create_directories(alone / "pictures");
  ASSERT_TRUE(BuildMap(alone / "c.w3m", Replace(SampleMapFiles(sample), "war3map.doo", "W3do")));
  const ProcessResult picturesAlone = RunKorvanel({(alone / "c.w3m").string(), "--pictures", (alone / "pictures").string()});
  EXPECT_EQ(picturesAlone.status, 0);
  EXPECT_EQ(picturesAlone.err, "");
  EXPECT_TRUE(fs::exists(alone / "pictures" / "c.w3m" / "minimap-icons.png"));

  // No folder, no run.
  const ProcessResult missing = RunKorvanel({maps.string(), "--pictures", (dir / "nosuch").string()});
  EXPECT_EQ(missing.status, 1);
  EXPECT_EQ(missing.err, "korvanel: the pictures folder " + (dir / "nosuch/").string() + " does not exist; make it first\n");
}


// --pictures --w3x: the loading screen a map imports, as a BLP, a TGA or the
// first texture of a model, becomes loading-screen.png; one of the game's
// own (a path the map lacks) gives none, and a picture that claims too
// much is refused, named, and the map's other pictures are still written.
TEST(Pipeline, TheLoadingScreenAMapImports) {
  TempDir dir;
  const fs::path maps = dir / "maps", pictures = dir / "pictures";
  for (const fs::path& folder : {maps, pictures}) fs::create_directories(folder);
  const auto gradient = [](int x, int y) { return Bgra{static_cast<std::uint8_t>(x * 7), static_cast<std::uint8_t>(y * 9), 90, 255}; };
  auto build = [&](const std::string& name, const std::string& screen, std::vector<EmbeddedFile> extra) {
    SampleMap sample = LaterLayoutsMap();
    sample.loadingScreen = screen;
    std::vector<EmbeddedFile> files = SampleMapFiles(sample);
    files.insert(files.end(), extra.begin(), extra.end());
    ASSERT_TRUE(BuildMap(maps / name, files));
  };
  build("a_blp.w3x", "war3mapImported\\Load.blp", {{"war3mapImported\\Load.blp", MakeBlp(40, 30, gradient)}});
  build("b_tga.w3x", "war3mapImported\\Load.tga", {{"war3mapImported\\Load.tga", MakeTga(24, 12, gradient, {.runLength = true})}});
  build("c_model.w3x", "war3mapImported\\Load.mdx",
        {{"war3mapImported\\Load.mdx", MakeMdx({"war3mapImported\\Tex.blp", "war3mapImported\\Other.blp"})},
         {"war3mapImported\\Tex.blp", MakeBlp(16, 8, gradient)},
         {"war3mapImported\\Other.blp", MakeBlp(4, 4, gradient)}});
  build("d_game.w3x", "Loading.mdx", {});
  std::string huge = MakeTga(8, 8, gradient);
  huge.replace(12, 4, "\x88\x13\x88\x13");  // 5000 x 5000
  build("e_huge.w3x", "Load.tga", {{"Load.tga", huge}});

  const ProcessResult r = RunKorvanel({maps.string(), "--w3x", "--pictures", pictures.string(), "--json", (dir / "maps.jsonl").string()});
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err, "korvanel: " + (maps / "e_huge.w3x").string() +
                       ": Load.tga: no loading-screen picture: it claims to be larger than 4096 pixels a side or 2048 x 2048 pixels in all\n"
                       "korvanel: catalogue " + (dir / "maps.jsonl").string() + ": 5 maps, 0 duplicates\n");
  const std::vector<Json> catalogue = ParseCatalogue(ReadFile(dir / "maps.jsonl"));
  ASSERT_EQ(catalogue.size(), 5u);
  auto screenOf = [&](std::size_t map) {
    Json found;
    for (const Json& picture : catalogue[map]["pictures"])
      if (picture["kind"] == "loading-screen") found = picture;
    return found;
  };
  const std::pair<std::string, std::pair<int, int>> made[] = {{"a_blp.w3x", {40, 30}}, {"b_tga.w3x", {24, 12}}, {"c_model.w3x", {16, 8}}};
  for (std::size_t i = 0; i < std::size(made); ++i) {
    const auto& [map, size] = made[i];
    const fs::path png = pictures / map / "loading-screen.png";
    EXPECT_EQ(screenOf(i), Json({{"kind", "loading-screen"}, {"file", png.string()}, {"width", size.first}, {"height", size.second}})) << map;
    const std::string bytes = ReadFile(png);
    ASSERT_GE(bytes.size(), 24u) << map;
    auto be32 = [](int v) { return std::string{char(v >> 24), char(v >> 16), char(v >> 8), char(v)}; };
    EXPECT_EQ(bytes.substr(16, 8), be32(size.first) + be32(size.second)) << map;  // the header's width and height
    EXPECT_EQ(catalogue[i]["status"], "read") << map;
  }
  EXPECT_TRUE(screenOf(3).is_null());
  EXPECT_EQ(catalogue[3]["status"], "read");
  EXPECT_FALSE(fs::exists(pictures / "d_game.w3x" / "loading-screen.png"));
  EXPECT_TRUE(screenOf(4).is_null());
  EXPECT_EQ(catalogue[4]["status"], "partial");
  EXPECT_EQ(catalogue[4]["errors"].back()["file"], "Load.tga");
  EXPECT_TRUE(fs::exists(pictures / "e_huge.w3x" / "minimap.png"));

  // Maps of the first release name no loading screen of their own: without
  // --w3x nothing is followed.
  fs::remove_all(pictures);
  fs::create_directory(pictures);
  const ProcessResult first = RunKorvanel({(maps / "a_blp.w3x").string(), "--pictures", pictures.string()});
  EXPECT_FALSE(fs::exists(pictures / "a_blp.w3x" / "loading-screen.png")) << first.err;
}


// --gallery: the page of the run beside the pictures, every map a card, the
// unopenable ones too, with links from the page's folder; a second run's
// page replaces the first; a missing folder stops the run before anything.
TEST(Pipeline, TheGalleryPageOfARun) {
  TempDir dir;
  const fs::path maps = dir / "maps", gallery = dir / "gallery";
  for (const fs::path& folder : {maps, gallery}) fs::create_directories(folder);
  SampleMap sample;
  ASSERT_TRUE(BuildMap(maps / "a map.w3m", SampleMapFiles(sample)));
  WriteFile(maps / "b_broken.w3m", "no archive");
  const ProcessResult r = RunKorvanel({maps.string(), "--gallery", gallery.string(), "/i", (dir / "info.txt").string()});
  EXPECT_EQ(r.status, 1);
  const ProcessResult plain = RunKorvanel({maps.string(), "/i", (dir / "plain.txt").string()});
  EXPECT_EQ(r.out, plain.out);
  EXPECT_EQ(ReadFile(dir / "info.txt"), ReadFile(dir / "plain.txt"));
  const std::string html = ReadFile(gallery / "index.html");
  EXPECT_NE(html.find("<a class=\"pic\" href=\"a%20map.w3m/minimap.png\">"), std::string::npos);
  EXPECT_NE(html.find("href=\"../maps/a%20map.w3m\">a map.w3m</a>"), std::string::npos);
  EXPECT_NE(html.find("class=\"card s-unopenable\""), std::string::npos);
  EXPECT_NE(html.find("2 maps: 1 read, 0 partial, 1 unopenable; 0 duplicates."), std::string::npos);
  EXPECT_TRUE(fs::exists(gallery / "a map.w3m" / "minimap.png"));

  fs::remove(maps / "b_broken.w3m");
  EXPECT_EQ(RunKorvanel({maps.string(), "--gallery", gallery.string()}).status, 0);
  EXPECT_NE(ReadFile(gallery / "index.html").find("1 map: 1 read,"), std::string::npos);
  EXPECT_EQ(std::distance(fs::directory_iterator(gallery), fs::directory_iterator()), 2);  // no page left half-way

  const ProcessResult missing = RunKorvanel({maps.string(), "--gallery", (dir / "nosuch").string()});
  EXPECT_EQ(missing.status, 1);
  EXPECT_EQ(missing.err, "korvanel: the pictures folder " + (dir / "nosuch/").string() + " does not exist; make it first\n");
  EXPECT_FALSE(fs::exists(dir / "nosuch"));
}


// The real maps in a gallery: a card for each, its picture the preview
// where the map has one, a link to every picture the catalogue names, and
// the one copy marked.
TEST(Pipeline, TheGalleryOfTheRealMaps) {
  KVL_REQUIRE_FIXTURE(bench, "bench/forest_defense.w3x");
  TempDir dir;
  const fs::path maps = dir / "maps", gallery = dir / "gallery";
  for (const fs::path& folder : {maps, gallery}) fs::create_directories(folder);
  for (const char* sub : {"maps", "w3x", "bench"})
    for (const auto& entry : fs::directory_iterator(FixturesDir() / sub)) fs::copy_file(entry.path(), maps / entry.path().filename());
  fs::copy_file(maps / "smallest_roc.w3m", maps / "zz copy.w3m");
  const ProcessResult r = RunKorvanel({maps.string(), "--w3x", "--gallery", gallery.string(), "--json", (dir / "c.jsonl").string()});
  ASSERT_EQ(r.status, 0) << r.err;
  const std::string html = ReadFile(gallery / "index.html");
  const std::vector<Json> catalogue = ParseCatalogue(ReadFile(dir / "c.jsonl"));
  ASSERT_GE(catalogue.size(), 7u);
  std::size_t cards = 0;
  for (std::size_t at = html.find("<article"); at != std::string::npos; at = html.find("<article", at + 1)) ++cards;
  EXPECT_EQ(cards, catalogue.size());
  EXPECT_EQ(html.find("class=\"dt\""), html.rfind("class=\"dt\""));
  EXPECT_NE(html.find("class=\"dt\""), std::string::npos);
  EXPECT_NE(html.find("<img loading=\"lazy\" decoding=\"async\" alt=\"\" src=\"forest_defense.w3x/preview.png\""), std::string::npos);
  for (const Json& map : catalogue) {
    EXPECT_NE(html.find(">" + EscapeHtml(CatalogueText(map["map_info"]["name"], "resolved")) + "</h2>"), std::string::npos) << map["path"];
    for (const Json& picture : map["pictures"])
      EXPECT_NE(html.find("href=\"" + RelativeUrl(gallery.string(), picture["file"].get<std::string>()) + "\""), std::string::npos)
          << picture["file"];
  }
}

}  // namespace korvanel::test
