#include <gtest/gtest.h>

#include <string>

#include "fixture_records.h"
#include "map_builder.h"
#include "parsers/environment.h"
#include "parsers/map_info.h"
#include "parsers/script_scan.h"
#include "parsers/trigger_strings.h"
#include "test_support.h"

namespace korvanel::test {
namespace {

// Runs the parsers over a map's embedded files in the order of the per-map
// pipeline and returns what they wrote.
std::string ParserLines(const fs::path& map) {
  TriggerStringTable table;
  CollectingWriter out;
  auto run = [&](const char* name, auto&& parse) {
    std::optional<std::string> bytes = ReadEmbedded(map, name);
    ASSERT_TRUE(bytes) << name;
    EXPECT_TRUE(parse(Bytes(*bytes))) << name;
  };
  run("war3map.wts", [&](auto d) { return ParseTriggerStrings(d, table); });
  run("war3map.w3i", [&](auto d) { return ParseMapInfo(d, table, out); });
  run("war3map.w3e", [&](auto d) { return ParseEnvironment(d, out); });
  run("war3map.doo", [&](auto d) { return ParseTreeDoodads(d, out); });
  run("war3mapUnits.doo", [&](auto d) { return ParseUnitDoodads(d, out); });
  run("war3map.j", [&](auto d) { return ScanScript(d, out); });
  run("war3map.mmp", [&](auto d) { return ParseMmpFile(d, out); });
  // One write per line.
  for (const std::string& line : out.Lines()) {
    EXPECT_TRUE(line.ends_with("\r\n")) << line;
    EXPECT_EQ(line.find('\n'), line.size() - 1) << line;
  }
  return out.Text();
}

TEST(ParserPipeline, SmallestRocFixture) {
  KVL_REQUIRE_FIXTURE(map, "maps/smallest_roc.w3m");
  EXPECT_EQ(ParserLines(map), kSmallestRocParserLines);
}

TEST(ParserPipeline, SmallTftFixture) {
  KVL_REQUIRE_FIXTURE(map, "maps/small_tft.w3x");
  EXPECT_EQ(ParserLines(map), kSmallTftParserLines);
}

}  // namespace
}  // namespace korvanel::test
