#include <gtest/gtest.h>

#include <limits>
#include <utility>

#include "output/catalogue_writer.h"
#include "platform/text.h"
#include "test_support.h"

namespace korvanel::test {
namespace {

using Json = nlohmann::ordered_json;

Json OneLine(const MapRecord& record) {
  const std::vector<Json> lines = ParseCatalogue(CatalogueLine(record));
  EXPECT_EQ(lines.size(), 1u);
  return lines.empty() ? Json() : lines[0];
}

}  // namespace

TEST(Catalogue, HostileTextsGiveValidJsonAndStayRecoverable) {
  const std::pair<std::string, bool> texts[] = {  // and whether it is UTF-8
      {"plain ASCII", true},
      {"Kartë ✓ 地图 🗺", true},
      {std::string("nul\0inside", 10), true},
      {"\x01\x1b[31m\x7f\t\r\n\"quoted\" \\back\\", true},  // control bytes, quotes, backslashes
      {"\xE4\xF6\xFC Windows-1252", false},                // a code page's bytes
      {"\xC0\xAF overlong", false},
      {"\xED\xA0\x80 surrogate", false},
      {"\xF4\x90\x80\x80 too high", false},
      {"cut \xE2\x82", false},
      {"\x80\xBF stray continuations \xFF\xFE", false},
      {std::string(300000, '\xE9'), false},  // very long
      {std::string(300000, 'x') + "\xF0\x9F\x97\xBA", true},
  };
  for (const auto& [text, utf8] : texts) {
    MapRecord record;
    record.path = "/maps/" + text + ".w3m";
    record.opened = true;
    record.problems.push_back({"war3map.w3i", text});
    MapInfo& info = record.mapInfo.emplace();
    info.format = 18;
    info.name = MapText{"TRIGSTR_001", text};
    info.tileset = static_cast<std::uint8_t>(text.back());
    info.maxPlayers = 1;
    info.players.push_back({0, 1, 1, true, MapText{text, text}, 1.5f, -2});
    record.script.emplace().dateText = text;
    record.duplicateOf = record.path;

    const Json map = OneLine(record);
    ASSERT_TRUE(map.is_object()) << text.substr(0, 40);
    EXPECT_EQ(CatalogueText(map, "path"), record.path);
    EXPECT_EQ(CatalogueText(map, "duplicate_of"), record.path);
    // Given anew, the last member keeps every byte too, and the rest stays.
    const std::string line = CatalogueLine(record);
    EXPECT_EQ(WithDuplicateOf(WithDuplicateOf(line, "/other"), record.path), line);
    EXPECT_EQ(CatalogueText(map["errors"][0], "error"), text);
    EXPECT_EQ(CatalogueText(map["map_info"]["name"], "resolved"), text);
    EXPECT_EQ(CatalogueText(map["map_info"]["players"][0]["name"], "stored"), text);
    EXPECT_EQ(CatalogueText(map["map_info"]["tileset"], "letter"), std::string(1, text.back()));
    // The line end of the date line is not part of the date.
    EXPECT_EQ(CatalogueText(map["script"]["created"], "text"), std::string(TrimWhiteSpaceEnd(text)));
    // Texts that are UTF-8 already are given as they are, and alone.
    EXPECT_EQ(map["map_info"]["name"].contains("resolved_base64"), !utf8) << text.substr(0, 40);
    if (utf8) {
      EXPECT_EQ(map["map_info"]["name"]["resolved"], text);
    }
  }
}

TEST(Catalogue, FactsAsTypedValues) {
  MapRecord record;
  record.path = "/maps/a.w3m";
  record.opened = true;
  record.minimap = WrittenMinimap{"/out/a.jpg", 256, 128};
  MapInfo& info = record.mapInfo.emplace();
  info.format = 18;
  info.editorVersion = 4482;
  info.playableSize = MapSize{116, 84};
  info.flags = 0x44;
  info.maxPlayers = 2;
  info.players = {{0, 1, 4, true, {"P1", "P1"}, std::numeric_limits<float>::quiet_NaN(), 0},
                  {3, 2, 2, false, {"P4", "P4"}, 0, 0}};
  info.forces = {{0x3, -1, {"TRIGSTR_002", "Team"}}};
  ScriptFacts& script = record.script.emplace();
  script.dateText = "Sun Jan 10 04:43:58 2010\r\n";
  script.players = {{0, 38}, {std::nullopt, 2}};
  script.mineAmounts = -5;  // wrapped, as the record shows it

  const Json map = OneLine(record);
  EXPECT_EQ(map["minimap"], Json::parse(R"({"file":"/out/a.jpg","width":256,"height":128})"));
  EXPECT_EQ(map["map_info"]["editor"], Json::parse(R"({"version":4482,"name":"World Editor Retail 1.01","release":null})"));
  EXPECT_EQ(map["map_info"]["playable_size"], Json::parse(R"({"width":116,"height":84})"));
  EXPECT_EQ(map["map_info"]["flags"], Json::parse(R"({"value":68,"names":["melee","custom_forces"]})"));
  EXPECT_EQ(map["map_info"]["melee"], true);
  EXPECT_EQ(map["map_info"]["players"][1]["race"], Json::parse(R"({"value":2,"name":"orc"})"));
  EXPECT_EQ(map["map_info"]["players"][0]["start"], Json::parse(R"({"x":null,"y":0.0,"fixed":true})"));
  // The members are the map's own players, whatever else the mask holds.
  EXPECT_EQ(map["map_info"]["forces"][0]["members"], Json::parse("[0,3]"));
  EXPECT_EQ(map["map_info"]["forces"][0]["flags"]["names"], Json::parse(R"(["allied","allied_victory"])"));
  EXPECT_EQ(map["script"]["created"]["iso8601"], "2010-01-10T04:43:58");
  EXPECT_EQ(map["script"]["player_units"], Json::parse(R"([{"units":38,"player":0},{"units":2,"player":null}])"));
  EXPECT_EQ(map["script"]["mine_gold"], -5);
  EXPECT_FALSE(map.contains("environment"));  // a file the map lacks

  EXPECT_EQ(map["status"], "read");
  EXPECT_FALSE(map.contains("sha1"));  // never a checksum the run did not compute
  // A problem with the run's own output leaves the map read; one with its
  // files makes it partial.
  record.problems.push_back({"war3mapMap.blp", "the minimap file exists already", true});
  EXPECT_EQ(OneLine(record)["status"], "read");
  record.problems.push_back({"war3map.doo", "missing from the map"});
  EXPECT_EQ(OneLine(record)["status"], "partial");

  // A map that did not open has its path, the flag and why, and its
  // identity when the file could be read.
  MapRecord unopened;
  unopened.path = "/maps/b.w3m";
  unopened.problems.push_back({"", "cannot open the map"});
  unopened.protection = {"hash_table_past_end_of_file"};
  MapIdentity& id = unopened.identity.emplace();
  id.size = 5;
  id.modifiedSeconds = 1262998438;
  id.modifiedNanoseconds = 5;
  id.sha1 = {0xc6, 0xc3, 0x00, 0x52, 0x8d, 0xda, 0x0b, 0x92, 0x92, 0x17, 0x49, 0x18, 0xe5, 0x49, 0x4b, 0x27, 0xc9, 0x7b, 0xe7, 0xdd};
  id.crc32 = 0x0dd47507;
  const Json closed = OneLine(unopened);
  EXPECT_EQ(closed, Json::parse(R"({"schema_version":2,"path":"/maps/b.w3m","later_formats":false,"size":5,
      "modified":"2010-01-09T00:53:58.000000005Z","sha1":"c6c300528dda0b9292174918e5494b27c97be7dd","crc32":"0dd47507",
      "status":"unopenable","opened":false,"protected":true,"protection":["hash_table_past_end_of_file"],
      "errors":[{"file":null,"error":"cannot open the map"}],"duplicate_of":null})"));
  EXPECT_EQ(CatalogueTime(0, 0), "1970-01-01T00:00:00Z");
}

}  // namespace korvanel::test
