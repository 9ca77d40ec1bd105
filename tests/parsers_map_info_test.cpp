#include <gtest/gtest.h>

#include <bit>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "parsers/map_info.h"
#include "map_builder.h"
#include "sample_maps.h"
#include "test_support.h"

namespace korvanel::test {
namespace {

using namespace std::string_literals;

struct W3i {
  std::int32_t format = 18;
  std::int32_t mapVersion = 12;
  std::int32_t editor = 4482;
  std::string name = "My Map";
  std::string author = "Someone";
  std::string description = "Two teams.";
  std::string players = "2v2";
  std::int32_t width = 116;
  std::int32_t height = 84;
  std::int32_t flags = 5;
  char tileset = 'L';
  std::int32_t background = -1;
  std::string screens[6] = {"load", "title", "sub", "pro", "logue", "text"};  // loading screen, prologue
  std::int32_t gameDataSet = 0;
  std::int32_t maxPlayers = 4;

  std::string Bytes() const {
    std::string w3i = Le32(format) + Le32(mapVersion) + Le32(editor) + name + '\0' + author + '\0' + description +
                      '\0' + players + '\0' + std::string(48, '\x7F') + Le32(width) + Le32(height) + Le32(flags) +
                      tileset + Le32(background);
    for (int k = 0; k < 6; ++k) w3i += (k == 3 ? Le32(gameDataSet) : "") + screens[k] + '\0';
    return w3i + Le32(maxPlayers);
  }
  // Offset just after the suggested players' NUL.
  std::size_t P() const { return 12 + name.size() + author.size() + description.size() + players.size() + 4; }
};

struct Result {
  bool ok;
  CollectingWriter out;
};

Result RunParser(std::string_view data, const TriggerStringTable& table = {},
                 MapFormats formats = MapFormats::kFirstRelease) {
  Result r{false, {}};
  MapInfo info;
  r.ok = ParseMapInfo(test::Bytes(data), table, info, r.out, formats);
  return r;
}
Result RunLater(std::string_view data, const TriggerStringTable& table = {}) {
  return RunParser(data, table, MapFormats::kLater);
}

// The sample map's texts, under the references its w3i holds.
TriggerStringTable SampleTexts(const SampleMap& m) {
  TriggerStringTable table;
  const std::string texts[] = {m.name, m.author, m.description, m.players};
  for (int k = 0; k < 4; ++k) table.Add(texts[k], m.firstTriggerString + k);
  return table;
}

// What the record says of the sample map's w3i.
std::vector<std::string> SampleLines(const SampleMap& m, std::string_view tileset = "Lordaeron Summer") {
  return {"W3I Version:       " + std::to_string(m.w3iFormat) + "\r\n",
          "Map Version:       " + std::to_string(m.mapVersion) + "\r\n",
          "Editor Version:    " + std::to_string(m.editorVersion) + " (unknown)\r\n",
          "Map Name:          " + m.name + "\r\n",
          "Map Author:        " + m.author + "\r\n",
          "Description:       " + m.description + "\r\n",
          "Suggested Players: " + m.players + "\r\n",
          "Playable Map Size: " + std::to_string(m.playableWidth) + "x" + std::to_string(m.playableHeight) + "\r\n",
          std::string("Map Type:          ") + (m.melee ? "Melee" : "Non-Melee") + "\r\n",
          "Main Tileset:      " + std::string(tileset) + "\r\n",
          "Max Players:       " + std::to_string(m.maxPlayers) + "\r\n"};
}


const std::vector<std::string> kFullLines = {
    "W3I Version:       18\r\n",
    "Map Version:       12\r\n",
    "Editor Version:    4482 (World Editor Retail 1.01)\r\n",
    "Map Name:          My Map\r\n",
    "Map Author:        Someone\r\n",
    "Description:       Two teams.\r\n",
    "Suggested Players: 2v2\r\n",
    "Playable Map Size: 116x84\r\n",
    "Map Type:          Melee\r\n",
    "Main Tileset:      Lordaeron Summer\r\n",
    "Max Players:       4\r\n",
};

TEST(MapInfo, WritesAllLinesOfAVersion18File) {
  Result r = RunParser(W3i{}.Bytes());
  EXPECT_TRUE(r.ok);
  EXPECT_EQ(r.out.Lines(), kFullLines);
}

TEST(MapInfo, EditorVersionsTilesetsAndMapType) {
  const std::pair<std::int32_t, std::string> editors[] = {
      {4164, "4164 (World Editor Beta)"},       {4422, "4422 (World Editor Indoor Version)"},
      {4432, "4432 (World Editor Indoor Version)"}, {4433, "4433 (World Editor Indoor Version)"},
      {4434, "4434 (World Editor Indoor Version)"}, {4436, "4436 (World Editor Indoor Version)"},
      {4437, "4437 (World Editor Indoor Version)"}, {4441, "4441 (World Editor Indoor Version)"},
      {4435, "4435 (unknown)"},                  {4438, "4438 (unknown)"},
      {4439, "4439 (unknown)"},                  {4440, "4440 (unknown)"},
      {4428, "4428 (World Editor Retail 1.00)"}, {4482, "4482 (World Editor Retail 1.01)"},
      {2703, "2703 (War3 Quellan's Map Editor)"}, {-1, "-1 (unknown)"},
  };
  for (const auto& [version, text] : editors) {
    W3i w;
    w.editor = version;
    EXPECT_EQ(RunParser(w.Bytes()).out.Lines().at(2), "Editor Version:    " + text + "\r\n") << version;
  }

  const std::pair<char, std::string> tilesets[] = {
      {'L', "Lordaeron Summer"}, {'F', "Lordaeron Fall"}, {'W', "Lordaeron Winter"}, {'B', "Barrens"},
      {'A', "Ashenvale"},        {'C', "Felwood"},        {'N', "Northrend"},        {'Y', "Cityscape"},
      {'V', "Village"},          {'Q', "Village Fall"},   {'D', "Dungeon"},          {'G', "Underground"},
      {'X', "Dalaran"},          {'l', "Unknown Tileset"}, {'\0', "Unknown Tileset"}, {'\xFF', "Unknown Tileset"},
  };
  for (const auto& [letter, name] : tilesets) {
    W3i w;
    w.tileset = letter;
    EXPECT_EQ(RunParser(w.Bytes()).out.Lines().at(9), "Main Tileset:      " + name + "\r\n") << int(letter);
  }

  const std::pair<std::int32_t, std::string> flags[] = {
      {5, "Melee"}, {4, "Melee"}, {-1, "Melee"}, {3, "Non-Melee"}, {0, "Non-Melee"}, {0x9C10, "Non-Melee"}};
  for (const auto& [value, type] : flags) {
    W3i w;
    w.flags = value;
    EXPECT_EQ(RunParser(w.Bytes()).out.Lines().at(8), "Map Type:          " + type + "\r\n") << value;
  }
}

TEST(MapInfo, ResolvesAndEscapesTheFourTexts) {
  TriggerStringTable table;
  table.Add("My Map", 1);
  table.Add("a\\b\r\nc", 3);
  W3i w;
  w.name = "TRIGSTR_001";
  w.author = "TRIGSTR_002";  // not in the table
  w.description = "TRIGSTR_003";
  w.players = "back\\slash\r\nlone\rcr\nlf";  // plain text, escaped too
  Result r = RunParser(w.Bytes(), table);
  EXPECT_TRUE(r.ok);
  ASSERT_EQ(r.out.Lines().size(), 11u);
  EXPECT_EQ(r.out.Lines()[3], "Map Name:          My Map\r\n");
  EXPECT_EQ(r.out.Lines()[4], "Map Author:        \r\n");
  EXPECT_EQ(r.out.Lines()[5], "Description:       a\\\\b\\nc\r\n");
  EXPECT_EQ(r.out.Lines()[6], "Suggested Players: back\\\\slash\\nlone\rcr\nlf\r\n");
  EXPECT_EQ(r.out.Lines()[7], "Playable Map Size: 116x84\r\n");
}

TEST(MapInfo, EscapeMapText) {
  EXPECT_EQ(EscapeMapText(""), "");
  EXPECT_EQ(EscapeMapText("plain"), "plain");
  EXPECT_EQ(EscapeMapText("a\\b"), "a\\\\b");
  EXPECT_EQ(EscapeMapText("a\r\nb\r\n"), "a\\nb\\n");
  EXPECT_EQ(EscapeMapText("\\\r\n"), "\\\\\\n");
  EXPECT_EQ(EscapeMapText("\r\r\n\n\r"), "\r\\n\n\r");
}

TEST(MapInfo, OtherFormatsGiveTheVersionLineOnly) {
  W3i w;
  w.format = 25;
  Result r = RunParser(w.Bytes());
  EXPECT_TRUE(r.ok);
  EXPECT_EQ(r.out.Lines(), std::vector<std::string>{"W3I Version:       25\r\n"});

  r = RunParser(Le32(-3));
  EXPECT_TRUE(r.ok);
  EXPECT_EQ(r.out.Text(), "W3I Version:       -3\r\n");
}

TEST(MapInfo, CutDataKeepsTheLinesBeforeTheCut) {
  const W3i w;
  const std::string full = w.Bytes();
  const std::size_t p = w.P();
  auto linesAt = [&](std::size_t cut) { return RunParser(std::string_view(full).substr(0, cut)).out.Lines().size(); };

  EXPECT_EQ(linesAt(0), 0u);
  EXPECT_EQ(linesAt(3), 0u);
  EXPECT_EQ(linesAt(4), 1u);
  EXPECT_EQ(linesAt(11), 2u);
  EXPECT_EQ(linesAt(12), 3u);
  EXPECT_EQ(linesAt(13), 4u);      // name cut after its first byte
  EXPECT_EQ(linesAt(p), 7u);       // all texts, no fixed fields
  EXPECT_EQ(linesAt(p + 55), 7u);  // height cut: no size line alone
  EXPECT_EQ(linesAt(p + 56), 8u);
  EXPECT_EQ(linesAt(p + 60), 9u);  // cut right after the flags
  EXPECT_EQ(linesAt(p + 61), 10u);
  EXPECT_EQ(linesAt(p + 65), 10u);
  EXPECT_EQ(linesAt(full.size() - 1), 10u);

  // Every cut fails, writes no more than the full record and labels each
  // line as the full record does.
  for (std::size_t cut = 0; cut < full.size(); ++cut) {
    Result r = RunParser(std::string_view(full).substr(0, cut));
    EXPECT_FALSE(r.ok) << cut;
    ASSERT_LE(r.out.Lines().size(), kFullLines.size());
    for (std::size_t i = 0; i < r.out.Lines().size(); ++i)
      EXPECT_EQ(r.out.Lines()[i].substr(0, 19), kFullLines[i].substr(0, 19)) << cut;
  }

  // The name cut short is written as far as it goes.
  EXPECT_EQ(RunParser(std::string_view(full).substr(0, 15)).out.Lines().back(), "Map Name:          My \r\n");
}

// The same labels for every format the game has used; formats past the
// last known are read as far as its fields go.
TEST(MapInfo, LaterFormatsGiveEveryLine) {
  for (std::int32_t format : {18, 19, 20, 21, 22, 23, 24, 25, 26, 27, 28, 31, 32, 33, 40}) {
    SCOPED_TRACE(format);
    SampleMap m;
    m.w3iFormat = format;
    m.maxPlayers = 3 + format % 5;
    m.playableWidth = format;
    m.melee = format % 2 == 0;
    m.firstTriggerString = 1000 + format;
    Result r = RunLater(SampleW3i(m), SampleTexts(m));
    EXPECT_TRUE(r.ok);
    EXPECT_EQ(r.out.Lines(), SampleLines(m));
    // Without the later formats: the version line only, and in format 18
    // four-digit references stay as stored.
    const Result first = RunParser(SampleW3i(m), SampleTexts(m));
    if (format != 18) {
      EXPECT_EQ(first.out.Lines().size(), 1u);
    } else {
      EXPECT_EQ(first.out.Lines().at(3), "Map Name:          TRIGSTR_1018\r\n");
    }
  }
  for (std::int32_t format : {0, 17, -1}) {
    W3i w;
    w.format = format;
    EXPECT_EQ(RunLater(w.Bytes()).out.Lines().size(), 1u) << format;
  }
}

TEST(MapInfo, LaterFormatsNameEveryTileset) {
  const std::pair<char, std::string_view> later[] = {
      {'I', "Icecrown Glacier"}, {'J', "Dalaran Ruins"}, {'K', "Black Citadel"}, {'O', "Outland"},
      {'Z', "Sunken Ruins"},     {'X', "Dalaran"},       {'L', "Lordaeron Summer"}, {'i', "Unknown Tileset"},
      {'E', "Unknown Tileset"}};
  for (const auto& [letter, name] : later) {
    SampleMap m;
    m.w3iFormat = 31;
    m.tileset = letter;
    EXPECT_EQ(RunLater(SampleW3i(m), SampleTexts(m)).out.Lines().at(9), "Main Tileset:      " + std::string(name) + "\r\n");
    W3i first;
    first.tileset = letter;
    if (letter == 'I' || letter == 'Z') {
      EXPECT_EQ(RunParser(first.Bytes()).out.Lines().at(9), "Main Tileset:      Unknown Tileset\r\n");
    }
  }
}

// Optimised maps end after the forces; any cut before the maximum number
// of players keeps the lines before it and fails.
TEST(MapInfo, LaterFormatsCutShort) {
  for (std::int32_t format : {19, 20, 21, 22, 23, 24, 25, 28, 31, 33}) {
    SCOPED_TRACE(format);
    SampleMap m;
    m.w3iFormat = format;
    m.w3iCutAfterForces = true;
    const std::string full = SampleW3i(m);
    Result r = RunLater(full, SampleTexts(m));
    EXPECT_TRUE(r.ok);
    EXPECT_EQ(r.out.Lines(), SampleLines(m));

    const std::vector<std::string> lines = SampleLines(m);
    const std::size_t maxPlayersEnd = full.find("Player 1") - 16;  // number, type, race, fixed start
    EXPECT_TRUE(RunLater(std::string_view(full).substr(0, maxPlayersEnd), SampleTexts(m)).ok);
    std::size_t lastCount = 0;
    for (std::size_t cut = 0; cut < maxPlayersEnd; ++cut) {
      Result c = RunLater(std::string_view(full).substr(0, cut), SampleTexts(m));
      EXPECT_FALSE(c.ok) << cut;
      ASSERT_LT(c.out.Lines().size(), lines.size()) << cut;
      EXPECT_GE(c.out.Lines().size(), lastCount) << cut;
      lastCount = c.out.Lines().size();
      for (std::size_t i = 0; i + 1 < c.out.Lines().size(); ++i) EXPECT_EQ(c.out.Lines()[i], lines[i]) << cut;
    }
    EXPECT_EQ(lastCount, lines.size() - 1);
  }
}

TEST(MapInfo, StringsWithoutNulEndAtTheData) {
  // Texts and skipped strings run to the end of the data.
  std::string data = Le32(18) + Le32(1) + Le32(1) + "no end";
  Result r = RunParser(data);
  EXPECT_FALSE(r.ok);
  EXPECT_EQ(r.out.Lines().back(), "Map Name:          no end\r\n");

  const W3i w;
  std::string cut = w.Bytes().substr(0, w.P() + 65) + "unended";
  r = RunParser(cut);
  EXPECT_FALSE(r.ok);
  EXPECT_EQ(r.out.Lines().size(), 10u);
}

// The player and force tables that follow the maximum number of players.
std::string Slots() {
  auto f32 = [](float v) { return Le32(std::bit_cast<std::int32_t>(v)); };
  return Le32(0) + Le32(1) + Le32(4) + Le32(1) + "TRIGSTR_007\0"s + f32(-1024.5f) + f32(2048) + Le32(0) + Le32(0) +
         Le32(1) + Le32(2) + Le32(2) + Le32(0) + "Orcs\0"s + f32(0) + f32(0) + Le32(0) + Le32(0) +  //
         Le32(1) + Le32(0x13) + Le32(0b11) + "Everyone\0"s;
}

TEST(MapInfo, FactsHoldThePlayersForcesAndFlags) {
  TriggerStringTable table;
  table.Add("Elves", 7);
  W3i w;
  w.maxPlayers = 2;
  w.flags = 0x9C14;
  const std::string data = w.Bytes() + Slots();
  MapInfo info;
  EXPECT_TRUE(ParseMapInfo(Bytes(data), table, info));
  EXPECT_EQ(info.name->stored, "My Map");
  EXPECT_EQ(info.playableSize->width, 116);
  EXPECT_EQ(info.tileset, 'L');
  ASSERT_EQ(info.players.size(), 2u);
  EXPECT_EQ(info.players[0].number, 0);
  EXPECT_EQ(ControllerName(info.players[0].controller), "human");
  EXPECT_EQ(RaceName(info.players[0].race), "night_elf");
  EXPECT_TRUE(info.players[0].fixedStart);
  EXPECT_EQ(info.players[0].name.stored, "TRIGSTR_007");
  EXPECT_EQ(info.players[0].name.resolved, "Elves");
  EXPECT_EQ(info.players[0].startX, -1024.5f);
  EXPECT_EQ(info.players[0].startY, 2048.0f);
  EXPECT_EQ(ControllerName(info.players[1].controller), "computer");
  EXPECT_EQ(RaceName(info.players[1].race), "orc");
  EXPECT_EQ(info.players[1].name.resolved, "Orcs");
  ASSERT_EQ(info.forces.size(), 1u);
  EXPECT_EQ(info.forces[0].players, 0b11);
  EXPECT_EQ(info.forces[0].name.resolved, "Everyone");
  EXPECT_EQ(ForceFlagNames(info.forces[0].flags), (std::vector<std::string_view>{"allied", "allied_victory", "shared_unit_control"}));
  EXPECT_TRUE(info.slotsComplete);
  EXPECT_EQ(MapFlagNames(info.flags.value()),
            (std::vector<std::string_view>{"melee", "masked_areas_partially_visible", "properties_opened",
                                           "waves_on_cliff_shores", "waves_on_rolling_shores"}));
  EXPECT_EQ(RaceName(9), "");
  EXPECT_EQ(ControllerName(0), "");

  // The record never shows the tables: any cut inside them keeps the whole
  // players read so far, the lines and success.
  const std::vector<std::string> lines = RunParser(w.Bytes()).out.Lines();
  ASSERT_EQ(lines.size(), kFullLines.size());
  for (std::size_t cut = w.Bytes().size(); cut < data.size(); ++cut) {
    Result r = RunParser(std::string_view(data).substr(0, cut), table);
    EXPECT_TRUE(r.ok) << cut;
    EXPECT_EQ(r.out.Lines(), lines) << cut;
    ParseMapInfo(Bytes(std::string_view(data).substr(0, cut)), table, info);
    EXPECT_FALSE(info.slotsComplete) << cut;
    EXPECT_LE(info.players.size(), 2u);
    if (!info.players.empty()) {
      EXPECT_EQ(info.players[0].name.resolved, "Elves");
    }
  }
  // A count far beyond the data stops at the data's end.
  w.maxPlayers = 0x7FFFFFFF;
  EXPECT_TRUE(ParseMapInfo(Bytes(w.Bytes() + Slots()), table, info));
  EXPECT_FALSE(info.slotsComplete);
}

// The loading screen and prologue facts in file order (the paths from
// format 20 on), texts as stored.
std::vector<std::optional<std::string>> PreMatchFacts(const MapInfo& info, std::int32_t format) {
  auto number = [](const std::optional<std::int32_t>& v) {
    return v ? std::optional<std::string>(std::to_string(*v)) : std::nullopt;
  };
  auto text = [](const std::optional<MapText>& t) { return t ? std::optional<std::string>(t->stored) : std::nullopt; };
  const bool paths = format >= 20;
  std::vector<std::optional<std::string>> facts = {number(info.loadingScreenBackground)};
  if (paths) facts.push_back(info.loadingScreenPath);
  facts.insert(facts.end(), {text(info.loadingScreenText), text(info.loadingScreenTitle),
                             text(info.loadingScreenSubtitle), number(info.gameDataSet)});
  if (paths) facts.push_back(info.prologuePath);
  facts.insert(facts.end(), {text(info.prologueText), text(info.prologueTitle), text(info.prologueSubtitle)});
  return facts;
}

// Every cut of `full` keeps the facts before it: the present ones come
// first, each as in the whole file but the last, which may be a text cut
// short; more bytes never keep fewer.
void ExpectCutsKeepPreMatchFacts(const std::string& full, const TriggerStringTable& table, MapFormats formats) {
  MapInfo info;
  ParseMapInfo(Bytes(full), table, info, formats);
  const std::int32_t format = info.format.value();
  const auto whole = PreMatchFacts(info, format);
  for (const auto& fact : whole) ASSERT_TRUE(fact);
  std::size_t lastPresent = 0;
  for (std::size_t cut = 0; cut < full.size(); ++cut) {
    SCOPED_TRACE(cut);
    ParseMapInfo(Bytes(std::string_view(full).substr(0, cut)), table, info, formats);
    const auto facts = PreMatchFacts(info, format);
    ASSERT_EQ(facts.size(), whole.size());
    std::size_t present = 0;
    while (present < facts.size() && facts[present]) ++present;
    for (std::size_t k = present; k < facts.size(); ++k) EXPECT_FALSE(facts[k]) << k;
    for (std::size_t k = 0; k + 1 < present; ++k) EXPECT_EQ(facts[k], whole[k]) << k;
    if (present > 0) {
      EXPECT_TRUE(whole[present - 1]->starts_with(*facts[present - 1]));
    }
    EXPECT_GE(present, lastPresent);
    lastPresent = present;
    EXPECT_FALSE(info.endsAfterForces);
  }
}

TEST(MapInfo, Format18LoadingScreenAndPrologue) {
  TriggerStringTable table;
  table.Add("Welcome", 10);
  table.Add("Chapter One", 11);
  W3i w;
  w.background = 7;
  w.gameDataSet = 2;
  w.screens[0] = "TRIGSTR_010";
  w.screens[1] = "TRIGSTR_011";
  w.screens[4] = "TRIGSTR_012";  // not in the table
  for (MapFormats formats : {MapFormats::kFirstRelease, MapFormats::kLater}) {
    MapInfo info;
    ASSERT_TRUE(ParseMapInfo(Bytes(w.Bytes()), table, info, formats));
    EXPECT_EQ(info.loadingScreenBackground, 7);
    EXPECT_FALSE(info.loadingScreenPath);
    EXPECT_EQ(info.loadingScreenText->stored, "TRIGSTR_010");
    EXPECT_EQ(info.loadingScreenText->resolved, "Welcome");
    EXPECT_EQ(info.loadingScreenTitle->resolved, "Chapter One");
    EXPECT_EQ(info.loadingScreenSubtitle->resolved, "sub");
    EXPECT_EQ(info.gameDataSet, 2);
    EXPECT_FALSE(info.prologuePath);
    EXPECT_EQ(info.prologueText->resolved, "pro");
    EXPECT_EQ(info.prologueTitle->stored, "TRIGSTR_012");
    EXPECT_EQ(info.prologueTitle->resolved, "");
    EXPECT_EQ(info.prologueSubtitle->resolved, "text");
    EXPECT_EQ(info.maxPlayers, 4);
    ExpectCutsKeepPreMatchFacts(w.Bytes(), table, formats);
  }
}

// Each format from 19 on, from the sample map built in it: the paths of
// imported screens from 20 on, and the fields each later format added
// between the prologue and the players (a misplaced read would give other
// texts, player counts or tables).
TEST(MapInfo, LaterFormatsLoadingScreenAndPrologue) {
  for (std::int32_t format : {19, 20, 21, 22, 23, 24, 25, 27, 28, 31, 33}) {
    SCOPED_TRACE(format);
    SampleMap m;
    m.w3iFormat = format;
    m.maxPlayers = 2 + format % 3;
    for (bool cut : {false, true}) {
      m.w3iCutAfterForces = cut;
      MapInfo info;
      ASSERT_TRUE(ParseMapInfo(Bytes(SampleW3i(m)), SampleTexts(m), info, MapFormats::kLater));
      EXPECT_EQ(info.loadingScreenBackground, -1);
      EXPECT_EQ(info.loadingScreenPath, format >= 20 ? std::optional<std::string>("Loading.mdx") : std::nullopt);
      EXPECT_EQ(info.loadingScreenText->resolved, "load text");
      EXPECT_EQ(info.loadingScreenTitle->resolved, "load title");
      EXPECT_EQ(info.loadingScreenSubtitle->resolved, "load sub");
      EXPECT_EQ(info.gameDataSet, 3);
      EXPECT_EQ(info.prologuePath, format >= 20 ? std::optional<std::string>("Prologue.blp") : std::nullopt);
      EXPECT_EQ(info.prologueText->resolved, "pro text");
      EXPECT_EQ(info.prologueTitle->resolved, "pro title");
      EXPECT_EQ(info.prologueSubtitle->resolved, "pro sub");
      EXPECT_EQ(info.scriptLanguage.has_value(), format >= 28);
      EXPECT_EQ(info.players.size(), static_cast<std::size_t>(m.maxPlayers));
      ASSERT_EQ(info.forces.size(), 1u);
      EXPECT_EQ(info.forces[0].name.resolved, "Force 1");
      EXPECT_TRUE(info.slotsComplete);
      EXPECT_EQ(info.endsAfterForces, cut);
    }
    // The first release reads none of these formats.
    MapInfo first;
    ParseMapInfo(Bytes(SampleW3i(m)), SampleTexts(m), first);
    EXPECT_FALSE(first.loadingScreenBackground);
    ExpectCutsKeepPreMatchFacts(SampleW3i(m), SampleTexts(m), MapFormats::kLater);
  }
}

TEST(MapInfo, EndsAfterForcesOnlyWhenNothingFollows) {
  W3i w;
  w.maxPlayers = 2;
  const std::string data = w.Bytes() + Slots();
  MapInfo info;
  ParseMapInfo(Bytes(data), {}, info);
  EXPECT_TRUE(info.endsAfterForces);
  // The tables the editor writes after the forces, and a single byte more.
  for (const std::string& more : {Le32(0) + Le32(0) + Le32(0) + Le32(0), std::string(1, '\0')}) {
    ParseMapInfo(Bytes(data + more), {}, info);
    EXPECT_TRUE(info.slotsComplete);
    EXPECT_FALSE(info.endsAfterForces);
  }
  // Cut inside the forces: they were not all read.
  for (std::size_t cut = w.Bytes().size(); cut < data.size(); ++cut) {
    ParseMapInfo(Bytes(std::string_view(data).substr(0, cut)), {}, info);
    EXPECT_FALSE(info.endsAfterForces) << cut;
  }
}

TEST(MapInfo, EditorReleaseNames) {
  const std::pair<std::int32_t, std::optional<std::string_view>> releases[] = {
      {6060, "World Editor 1.29"}, {6072, "World Editor 1.31"}, {6114, "World Editor 1.33"},
      {6115, "World Editor 1.35"}, {6116, "World Editor 2.0"},  {6059, std::nullopt},
      {6052, std::nullopt},        {4482, std::nullopt},        {-1, std::nullopt}};
  for (const auto& [version, name] : releases) {
    EXPECT_EQ(EditorReleaseName(version), name) << version;
    // The record's names stay the first release's.
    if (name) {
      EXPECT_EQ(EditorName(version), "unknown") << version;
    }
  }
}

// What the real maps show before a match, and how their data ends.
TEST(MapInfo, FixturePreMatchFacts) {
  struct Expected {
    const char* map;
    std::int32_t background;
    std::string_view text, title, subtitle;  // resolved
    std::int32_t gameDataSet;
    std::size_t players;
  };
  const Expected maps[] = {
      // Format 18, saved by editor 6059: no loading screen of its own, the
      // default game data.
      {"maps/smallest_roc.w3m", -1, "", "", "", 0, 1},
      {"maps/small_tft.w3x", -1, "", "", "", 0, 2},           // format 25
      {"w3x/format28_jass.w3x", -1, "", "", "", 0, 1},        // saved for 1.31.1
      {"w3x/format31_lua.w3x", -1, "", "", "", 2, 4},         // melee game data
      {"w3x/format33_w3e12.w3x", -1, "", "", "", 2, 2},
      // Format 25 with campaign screen 40 and texts of its own: the text
      // (string 673) comes first, then the title (671) and subtitle (672).
      {"bench/forest_defense.w3x", 40, "|cffFFCC00Defend|r the |cffFFCC00magic Treasure|r", "Frotty presents",
       "Forest Defense", 0, 10},
  };
  for (const Expected& e : maps) {
    SCOPED_TRACE(e.map);
    KVL_REQUIRE_FIXTURE(path, e.map);
    const auto w3i = ReadEmbedded(path, "war3map.w3i");
    const auto wts = ReadEmbedded(path, "war3map.wts");
    ASSERT_TRUE(w3i && wts);
    TriggerStringTable table;
    ParseTriggerStrings(Bytes(*wts), table, MapFormats::kLater);
    MapInfo info;
    ASSERT_TRUE(ParseMapInfo(Bytes(*w3i), table, info, MapFormats::kLater));
    EXPECT_EQ(info.loadingScreenBackground, e.background);
    EXPECT_EQ(info.loadingScreenPath, *info.format >= 20 ? std::optional<std::string>("") : std::nullopt);
    EXPECT_TRUE(info.loadingScreenText->resolved.starts_with(e.text));
    EXPECT_EQ(info.loadingScreenTitle->resolved, e.title);
    EXPECT_EQ(info.loadingScreenSubtitle->resolved, e.subtitle);
    EXPECT_EQ(info.gameDataSet, e.gameDataSet);
    EXPECT_EQ(info.prologuePath, *info.format >= 20 ? std::optional<std::string>("") : std::nullopt);
    EXPECT_EQ(info.prologueText->stored, "");
    EXPECT_EQ(info.prologueTitle->stored, "");
    EXPECT_EQ(info.prologueSubtitle->stored, "");
    EXPECT_EQ(info.players.size(), e.players);
    EXPECT_TRUE(info.slotsComplete);
    // Each holds the four empty tables the editor writes after the forces.
    EXPECT_FALSE(info.endsAfterForces);
  }
}

TEST(MapInfo, CutFactsAreAbsentFromTheCutOn) {
  const W3i w;
  const std::string full = w.Bytes();
  MapInfo info;
  EXPECT_FALSE(ParseMapInfo(Bytes(std::string_view(full).substr(0, w.P() + 60)), {}, info));
  EXPECT_EQ(info.flags, 5);
  EXPECT_FALSE(info.tileset);
  EXPECT_FALSE(info.maxPlayers);
  EXPECT_FALSE(ParseMapInfo(Bytes(std::string_view(full).substr(0, 3)), {}, info));
  EXPECT_FALSE(info.format);
  EXPECT_FALSE(info.name);
}

}  // namespace
}  // namespace korvanel::test
