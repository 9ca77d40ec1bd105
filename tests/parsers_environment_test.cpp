#include <gtest/gtest.h>

#include <limits>
#include <string>
#include <utility>
#include <vector>

#include "parsers/environment.h"
#include "test_support.h"

namespace korvanel::test {
namespace {

using Parser = bool (*)(std::span<const std::byte>, DoodadFacts&, LineWriter&, MapFormats);
using Lines = std::vector<std::string>;

struct Result {
  bool ok;
  Lines lines;
};

template <typename Facts>
Result RunParser(bool (*parse)(std::span<const std::byte>, Facts&, LineWriter&, MapFormats), std::string_view data,
                 MapFormats formats = MapFormats::kFirstRelease) {
  Facts facts;
  CollectingWriter out;
  bool ok = parse(Bytes(data), facts, out, formats);
  return {ok, out.Lines()};
}

// Entries actually stored for a count; absurd counts get none.
std::size_t Stored(std::int32_t count) { return count > 0 && count <= 64 ? 4 * static_cast<std::size_t>(count) : 0; }

// A w3e header with `a` ground and `b` cliff entries and the stored size.
std::string W3e(std::int32_t a, std::int32_t b, std::int32_t width, std::int32_t height,
                std::string_view magic = "W3E!", std::int32_t version = 11) {
  std::string s = std::string(magic) + Le32(version) + "L" + Le32(0) + Le32(a);
  s.append(Stored(a), 'g');
  s += Le32(b);
  s.append(Stored(b), 'c');
  return s + Le32(width) + Le32(height);
}

TEST(Environment, MapSizeIsTheStoredSizeLessOne) {
  const std::string w3e = W3e(2, 1, 97, 97);
  ASSERT_EQ(w3e.size(), 41u);
  EXPECT_EQ(w3e.substr(33, 4), Le32(97));
  Result r = RunParser(ParseEnvironment, w3e);
  EXPECT_TRUE(r.ok);
  EXPECT_EQ(r.lines, (Lines{"W3E Version:       11\r\n", "Map Size:          96x96\r\n"}));

  r = RunParser(ParseEnvironment, W3e(0, 0, 257, 129));
  EXPECT_EQ(r.lines.at(1), "Map Size:          256x128\r\n");

  // Nonsense sizes wrap rather than overflow.
  r = RunParser(ParseEnvironment, W3e(0, 0, std::numeric_limits<std::int32_t>::min(), 0));
  EXPECT_EQ(r.lines.at(1), "Map Size:          2147483647x-1\r\n");
}

TEST(Environment, WrongMagicOtherVersionAndCutData) {
  EXPECT_EQ(RunParser(ParseEnvironment, W3e(2, 1, 97, 97, "W3E?")).lines, Lines{});
  EXPECT_FALSE(RunParser(ParseEnvironment, W3e(2, 1, 97, 97, "W3E?")).ok);
  EXPECT_FALSE(RunParser(ParseEnvironment, "W3E").ok);
  EXPECT_FALSE(RunParser(ParseEnvironment, "").ok);

  // An incomplete version field gives no line.
  Result r = RunParser(ParseEnvironment, std::string_view("W3E!\x0b\0\0", 7));
  EXPECT_FALSE(r.ok);
  EXPECT_TRUE(r.lines.empty());

  r = RunParser(ParseEnvironment, W3e(2, 1, 97, 97, "W3E!", 12));
  EXPECT_TRUE(r.ok);
  EXPECT_EQ(r.lines, Lines{"W3E Version:       12\r\n"});

  // Every cut after the version field keeps the version line and fails.
  const std::string full = W3e(2, 1, 97, 97);
  for (std::size_t cut = 8; cut < full.size(); ++cut) {
    r = RunParser(ParseEnvironment, std::string_view(full).substr(0, cut));
    EXPECT_FALSE(r.ok) << cut;
    EXPECT_EQ(r.lines, Lines{"W3E Version:       11\r\n"}) << cut;
  }
}

TEST(Environment, CountsOutsideTheDataFail) {
  constexpr std::int32_t kMin = std::numeric_limits<std::int32_t>::min();
  constexpr std::int32_t kMax = std::numeric_limits<std::int32_t>::max();
  const std::pair<std::int32_t, std::int32_t> counts[] = {
      {-5, 0}, {kMin, 0}, {kMax, 0}, {0x40000000, 0}, {0, -6}, {0, kMin}, {0, kMax}, {1, -1000}};
  for (const auto& [a, b] : counts) {
    // Pad so that small positive counts would still find data.
    Result r = RunParser(ParseEnvironment, W3e(a, b, 97, 97) + std::string(16, '\0'));
    EXPECT_FALSE(r.ok) << a << " " << b;
    EXPECT_EQ(r.lines, Lines{"W3E Version:       11\r\n"}) << a << " " << b;
  }
}

TEST(Doodads, BothFilesShareTheHeaderRules) {
  struct Case {
    Parser parse;
    std::string versionLabel;
    std::string countLabel;
  };
  const Case cases[] = {
      {ParseTreeDoodads, "Doo Version:       ", "Doodads (Trees):   "},
      {ParseUnitDoodads, "Units.Doo version: ", "Doodads (Other):   "},
  };
  for (const Case& c : cases) {
    const std::string v7 = "W3do" + Le32(7) + Le32(9) + Le32(84);
    Result r = RunParser(c.parse, v7);
    EXPECT_TRUE(r.ok);
    EXPECT_EQ(r.lines, (Lines{c.versionLabel + "7\r\n", c.countLabel + "84\r\n"}));

    r = RunParser(c.parse, std::string_view(v7).substr(0, 15));
    EXPECT_FALSE(r.ok);
    EXPECT_EQ(r.lines, Lines{c.versionLabel + "7\r\n"});

    r = RunParser(c.parse, "W3do" + Le32(8) + Le32(9) + Le32(84));
    EXPECT_TRUE(r.ok);
    EXPECT_EQ(r.lines, Lines{c.versionLabel + "8\r\n"});

    r = RunParser(c.parse, "W3do" + Le32(8));
    EXPECT_TRUE(r.ok);
    EXPECT_EQ(r.lines.size(), 1u);

    for (std::string_view bad : {std::string_view("W3DO\x07\0\0\0\0\0\0\0\0\0\0\0", 16),
                                 std::string_view("W3d"), std::string_view(), std::string_view("W3do\x07", 5)}) {
      r = RunParser(c.parse, bad);
      EXPECT_FALSE(r.ok);
      EXPECT_TRUE(r.lines.empty());
    }
  }
}

// Recent ladder maps: environment version 12 and doodad version 8 (any
// subversion) hold their figures where versions 11 and 7 do.
TEST(Environment, LaterFormatsReadVersion12AndDoodadVersion8) {
  auto run = []<typename Facts>(bool (*parse)(std::span<const std::byte>, Facts&, LineWriter&, MapFormats),
                                std::string_view data) { return RunParser(parse, data, MapFormats::kLater); };
  Result r = run(ParseEnvironment, W3e(8, 2, 129, 97, "W3E!", 12));
  EXPECT_TRUE(r.ok);
  EXPECT_EQ(r.lines, (Lines{"W3E Version:       12\r\n", "Map Size:          128x96\r\n"}));
  EXPECT_EQ(run(ParseEnvironment, W3e(2, 1, 97, 97)).lines.at(1), "Map Size:          96x96\r\n");
  EXPECT_EQ(run(ParseEnvironment, W3e(2, 1, 97, 97, "W3E!", 13)).lines, Lines{"W3E Version:       13\r\n"});
  EXPECT_FALSE(run(ParseEnvironment, W3e(2, 1, 97, 97, "W3E!", 12).substr(0, 40)).ok);
  // Without the later formats, version 12 gives its version line only.
  EXPECT_EQ(RunParser(ParseEnvironment, W3e(2, 1, 97, 97, "W3E!", 12)).lines.size(), 1u);

  for (Parser parse : {Parser{ParseTreeDoodads}, Parser{ParseUnitDoodads}}) {
    for (std::int32_t subversion : {11, 0, 99}) {
      r = run(parse, "W3do" + Le32(8) + Le32(subversion) + Le32(2627));
      EXPECT_TRUE(r.ok);
      ASSERT_EQ(r.lines.size(), 2u);
      EXPECT_TRUE(r.lines[1].ends_with(":   2627\r\n")) << r.lines[1];
    }
    EXPECT_EQ(run(parse, "W3do" + Le32(7) + Le32(9) + Le32(84)).lines.size(), 2u);
    EXPECT_EQ(run(parse, "W3do" + Le32(9) + Le32(9) + Le32(84)).lines.size(), 1u);
    r = run(parse, "W3do" + Le32(8) + Le32(11) + "\x01\x02\x03");
    EXPECT_FALSE(r.ok);
    EXPECT_EQ(r.lines.size(), 1u);
    EXPECT_FALSE(run(parse, "W3DO" + Le32(8) + Le32(11) + Le32(1)).ok);
  }
}

TEST(Doodads, MmpFileIsAcceptedUnread) {
  EXPECT_TRUE(ParseMmpFile(Bytes("")));
  EXPECT_TRUE(ParseMmpFile(Bytes("anything at all")));
}

}  // namespace
}  // namespace korvanel::test
