#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <tuple>
#include <vector>

#include "parsers/key_search.h"
#include "parsers/script_scan.h"
#include "platform/text.h"
#include "sample_maps.h"
#include "test_support.h"

namespace korvanel::test {
namespace {

using namespace std::string_literals;
using Lines = std::vector<std::string>;

Lines Scan(std::string_view script, MapFormats formats = MapFormats::kFirstRelease) {
  ScriptFacts facts;
  CollectingWriter out;
  EXPECT_TRUE(ScanScript(Bytes(script), facts, out, formats));
  return out.Lines();
}

Lines ScanLater(std::string_view script) { return Scan(script, MapFormats::kLater); }

ScriptFacts FactsOf(std::string_view script, ScriptLanguage language, MapFormats formats = MapFormats::kLater) {
  ScriptFacts facts;
  EXPECT_TRUE(ScanScript(Bytes(script), facts, formats, language));
  return facts;
}

Lines ScanLua(std::string_view script) {
  CollectingWriter out;
  WriteScriptLines(FactsOf(script, ScriptLanguage::kLua), out);
  return out.Lines();
}

// Joins lines with CR LF after each.
std::string Script(std::initializer_list<std::string_view> lines) {
  std::string s;
  for (std::string_view l : lines) s.append(l).append("\r\n");
  return s;
}

std::string PlayerFunction(std::string_view suffix, int units) {
  std::string s = "function CreateUnitsForPlayer" + std::string(suffix) + " takes nothing returns nothing\r\n";
  s += "    local unit u\r\n";
  for (int i = 0; i < units; ++i) s += "    set u = CreateUnit( p, 'hfoo', 0.0, 0.0, 270.000 )\r\n";
  return s + "endfunction\r\n";
}

TEST(ScriptScan, EditorScriptGivesDatePlayersAndTotals) {
  std::string script = Script({"//===", "//   Date: Mon Jul 08 12:12:12 2002", "//   Date: Tue Jul 09 00:00:00 2002"});
  script += PlayerFunction("0", 3);
  script += PlayerFunction("11", 2);
  script += Script({"function CreateNeutralHostile takes nothing returns nothing",
                    "    set u = CreateUnit( p, 'nrdr', 1.0, 2.0, 3.0 )",
                    "    set u = CreateUnit( p, 'nrdr', 1.0, 2.0, 3.0 )",
                    "endfunction",
                    "function CreateNeutralPassive takes nothing returns nothing",
                    "    set u = CreateUnit( p, 'nshe', 1.0, 2.0, 3.0 )",
                    "endfunction",
                    "function CreateNeutralPassiveBuildings takes nothing returns nothing",
                    "    set u = CreateUnit( p, 'ngol', 64.0, 320.0, 270.000 )",
                    "    call SetResourceAmount( u, 12500 )",
                    "    set u = CreateUnit( p, 'ngol', 64.0, 320.0, 270.000 )",
                    "    call SetResourceAmount( u, 7000 )",
                    "    call SetResourceAmount( u )",
                    "    set u = CreateUnit( p, 'ntav', 64.0, 320.0, 270.000 )",
                    "endfunction",
                    "function Unit000001_DropItems takes nothing returns nothing",
                    "endfunction",
                    "function Unit000002_DropItems takes nothing returns nothing",
                    "endfunction"});
  EXPECT_EQ(Scan(script), (Lines{
                              "Date Of Creation:  Mon Jul 08 12:12:12 2002\r\n",
                              "Player 00 Units:   3\r\n",
                              "Player 11 Units:   2\r\n",
                              "Mines:             2\r\n",
                              "Mines Amounts:     19500\r\n",
                              "Agressive Units:   2\r\n",
                              "Passive Units:     1\r\n",
                              "Items:             2\r\n",
                          }));
}

TEST(ScriptScan, PlayerNumbers) {
  EXPECT_EQ(Scan(PlayerFunction("12", 1)), Lines{"Player 12 Units:   1\r\n"});
  // Two digits at least, never more padding: a map of more than ten players.
  EXPECT_EQ(Scan(PlayerFunction("8", 1) + PlayerFunction("9", 2) + PlayerFunction("10", 3) + PlayerFunction("11", 4)),
            (Lines{"Player 08 Units:   1\r\n", "Player 09 Units:   2\r\n", "Player 10 Units:   3\r\n",
                   "Player 11 Units:   4\r\n"}));
  EXPECT_EQ(Scan(PlayerFunction("7", 0)), Lines{"Player 07 Units:   0\r\n"});
  EXPECT_EQ(Scan(PlayerFunction("007x", 2)), Lines{"Player 07 Units:   2\r\n"});
  EXPECT_EQ(Scan(PlayerFunction("123", 1)), Lines{"Player 123 Units:   1\r\n"});
  EXPECT_EQ(Scan(PlayerFunction("X", 7)), Lines{"Player ?? Units:   7\r\n"});
  EXPECT_EQ(Scan(PlayerFunction("-3", 1)), Lines{"Player ?? Units:   1\r\n"});
  EXPECT_EQ(Scan(PlayerFunction("-0", 1)), Lines{"Player ?? Units:   1\r\n"});
  EXPECT_EQ(Scan(PlayerFunction("", 1)), Lines{"Player ?? Units:   1\r\n"});
  EXPECT_EQ(Scan("function CreateUnitsForPlayer\n"), Lines{"Player ?? Units:   0\r\n"});
  EXPECT_EQ(Scan(PlayerFunction("99999999999", 1)), Lines{"Player 2147483647 Units:   1\r\n"});
}

TEST(ScriptScan, WhereKeysMustStand) {
  // " CreateUnit" at the very start of a body line does not count.
  EXPECT_EQ(Scan(Script({"function CreateNeutralHostile takes nothing returns nothing", " CreateUnit(", "  CreateUnit(",
                         "x CreateUnit(", "endfunction"})),
            Lines{"Agressive Units:   2\r\n"});
  // Calls are no headers.
  EXPECT_EQ(Scan(Script({"call CreateNeutralHostile(  )", "    set u = CreateUnit( p )", "endfunction"})), Lines{});
  EXPECT_EQ(Scan(Script({"function CreateNeutralHostile(", "    set u = CreateUnit( p )", "endfunction"})), Lines{});
  // The buildings function is not the passive units function.
  EXPECT_EQ(Scan(Script({"function CreateNeutralPassiveBuildings takes nothing returns nothing",
                         "    set u = CreateUnit( p, 'nshe', 0 )", "endfunction"})),
            Lines{});
  // A gold mine needs both keys after the line start.
  EXPECT_EQ(Scan(Script({"function CreateNeutralPassiveBuildings takes", "'ngol' CreateUnit", " CreateUnit 'ngol'",
                         "x CreateUnit 'ngol'", "endfunction"})),
            Lines{"Mines:             1\r\n"});
  // Only the first date line, and only at the line start.
  EXPECT_EQ(Scan(" //   Date: early\r\n//   Date: Mon\n//   Date: Tue\r\n"), Lines{"Date Of Creation:  Mon\n"});
  EXPECT_EQ(Scan("//   Date:x\r\n"), Lines{});
  // An item drop header wins over the player key, and its body is not walked.
  EXPECT_EQ(Scan(Script({"function Unit_DropItems takes nothing CreateUnitsForPlayer1", "  x CreateUnit(", "endfunction"})),
            Lines{"Items:             1\r\n"});
  EXPECT_EQ(Scan(Script({"function _DropItems takes nothing", "endfunction", "_DropItems function x"})),
            Lines{"Items:             1\r\n"});
}

TEST(ScriptScan, BodiesAndLineEnds) {
  // A body without endfunction runs on into the next function, whose header
  // is just another body line (and holds " CreateUnit" itself).
  EXPECT_EQ(Scan(Script({"function CreateNeutralHostile takes", "  x CreateUnit", PlayerFunction("1", 2)})),
            Lines{"Agressive Units:   4\r\n"});
  // The endfunction line itself is counted; lines after it are scanned again.
  EXPECT_EQ(Scan(Script({"function CreateNeutralPassive takes", "  x CreateUnit endfunction", PlayerFunction("2", 1)})),
            (Lines{"Player 02 Units:   1\r\n", "Passive Units:     1\r\n"}));
  // Bytes after the last line feed are never examined.
  EXPECT_EQ(Scan("function CreateUnitsForPlayer1 takes"), Lines{});
  EXPECT_EQ(Scan(Script({"function CreateNeutralHostile takes", "  x CreateUnit"}) + "  y CreateUnit\rendfunction"),
            Lines{"Agressive Units:   1\r\n"});
  // A header on the last line walks an empty body.
  EXPECT_EQ(Scan("function CreateUnitsForPlayer4\n"), Lines{"Player 04 Units:   0\r\n"});
  // Carriage returns alone end no line.
  EXPECT_EQ(Scan("//   Date: x\rfunction CreateUnitsForPlayer1\r  x CreateUnit\rendfunction\r"), Lines{});
  // LF-only scripts work; the date line keeps its own ending.
  EXPECT_EQ(Scan("//   Date: now\nfunction CreateUnitsForPlayer3 takes\n  x CreateUnit\nendfunction\n"),
            (Lines{"Date Of Creation:  now\n", "Player 03 Units:   1\r\n"}));
  EXPECT_EQ(Scan("\n\n\n"), Lines{});
  EXPECT_EQ(Scan(""), Lines{});
}

TEST(ScriptScan, NulHidesTheLineBeforeIt) {
  EXPECT_EQ(Scan("function CreateNeutralHostile\0function CreateUnitsForPlayer3 x\nendfunction\n"s),
            Lines{"Player 03 Units:   0\r\n"});
  EXPECT_EQ(Scan(Script({"function CreateNeutralHostile takes", "  x CreateUnit\0 hidden"s, "  y\0 x CreateUnit"s,
                         "\0"s, "  z CreateUnit", "endfunction"})),
            Lines{"Agressive Units:   2\r\n"});
  // A NUL in front of endfunction does not hide it from the body walk.
  EXPECT_EQ(Scan(Script({"function CreateNeutralHostile takes", "  x\0endfunction"s, "  x CreateUnit", "endfunction"})),
            Lines{});
  EXPECT_EQ(Scan("//   Date: \0late\n//   Date: ok\n"s), Lines{"Date Of Creation:  ok\n"});
  // The same once the date is found, when the lines between headers are
  // passed over: a header anywhere on a line counts unless a NUL hides it.
  EXPECT_EQ(Scan("//   Date: d\nfunction CreateNeutralHostile\0 x\nx\0function CreateUnitsForPlayer3 x\nendfunction\n"s),
            (Lines{"Date Of Creation:  d\n", "Player 03 Units:   0\r\n"}));
  EXPECT_EQ(Scan("//   Date: d\nnone\n  x function CreateUnitsForPlayer2\n  a CreateUnit\nendfunction\nfunction \0"s),
            (Lines{"Date Of Creation:  d\n", "Player 02 Units:   1\r\n"}));
}

// A later editor's Lua script gives the lines of the same script in JASS.
TEST(ScriptScan, LuaGivesTheLinesOfTheSameJass) {
  SampleMap m;
  m.playerUnits = {3, 0, 12};
  m.hostileUnits = 7;
  m.mines = 3;
  m.goldPerMine = 9000;
  const Lines jass = Scan(SampleScript(m));
  ASSERT_EQ(jass.size(), 7u);
  EXPECT_EQ(ScanLua(SampleLuaScript(m)), jass);
  EXPECT_EQ(ScanLater(SampleLuaScript(m)), jass);
  EXPECT_EQ(ScanLater(SampleScript(m)), jass);
  // Without the later formats: no date, and one body that never ends.
  EXPECT_EQ(Scan(SampleLuaScript(m)), Lines{"Player 00 Units:   9\r\n"});

  // Lua keys as the editor writes them, also with the indentation removed
  // (as map tools leave them); item drops, and "end" alone closing a body.
  const std::string lua = Script({
      "--   Date: Tue Jun 18 22:58:04 2019",
      "function Unit000006_DropItems()",
      "end",
      "function Unit000007_DropItems()",
      "end",
      "function CreateNeutralPassive()",
      "u = BlzCreateUnitWithSkin(p, FourCC(\"nshe\"), 1.0, 2.0, 3.0, FourCC(\"nshe\"))",
      "gg_unit_n000_0136 = BlzCreateUnitWithSkin(p, FourCC(\"n000\"), 1.0, 2.0, 3.0, FourCC(\"n000\"))",
      "end",
      "u = BlzCreateUnitWithSkin(p, FourCC(\"nshe\"), 1.0, 2.0, 3.0, FourCC(\"nshe\"))",
      "function CreateNeutralPassiveBuildings()",
      "u = BlzCreateUnitWithSkin(p, FourCC(\"ngol\"), 1.0, 2.0, 3.0, FourCC(\"ngol\"))",
      "SetResourceAmount(u, 10000)",
      "u = BlzCreateUnitWithSkin(p, FourCC(\"ngme\"), 1.0, 2.0, 3.0, FourCC(\"ngme\"))",
      "    SetResourceAmount(u, 2500)",
      "end",
  });
  const Lines expected{"Date Of Creation:  Tue Jun 18 22:58:04 2019\r\n", "Mines:             1\r\n",
                       "Mines Amounts:     12500\r\n", "Passive Units:     2\r\n", "Items:             2\r\n"};
  EXPECT_EQ(ScanLater(lua), expected);
  EXPECT_EQ(ScanLua(lua), expected);
}

// As map optimisers leave Lua: on one line, the editor's statements inside
// blocks of every kind, among strings and comments holding "end" and
// "function". The facts are those of the same map's JASS.
TEST(ScriptScan, OptimisedLuaGivesTheFactsOfTheSameJass) {
  SampleMap plain;
  SampleMap many;
  many.playerUnits = {3, 0, 12, 1, 0, 0, 0, 0, 0, 0, 0, 7};
  many.hostileUnits = 9;
  many.mines = 5;
  many.goldPerMine = 9000;
  SampleMap none;
  none.playerUnits = {0};
  none.hostileUnits = 0;
  none.mines = 0;
  for (SampleMap m : {plain, many, none}) {
    m.luaOptimised = true;
    const std::string lua = SampleLuaScript(m);
    ASSERT_LE(std::count(lua.begin(), lua.end(), '\n'), 11);  // the date comment's lines and one of code
    const ScriptFacts jass = FactsOf(SampleScript(m), ScriptLanguage::kJass, MapFormats::kFirstRelease);
    ASSERT_EQ(jass.players.size(), m.playerUnits.size());
    EXPECT_EQ(FactsOf(lua, ScriptLanguage::kLua), jass) << lua;
    // Read as lines, the whole code would be one body.
    if (m.hostileUnits) {
      EXPECT_NE(FactsOf(lua, ScriptLanguage::kJass), jass);
    }
  }
}

// A Lua function's body ends at its matching "end", by the depth of the
// blocks opened in it, wherever the line breaks are.
TEST(ScriptScan, LuaBodiesEndAtTheirMatchingEnd) {
  const std::string u = " u=CreateUnit(p,FourCC(\"nfor\"),1,2,3) ";
  auto hostile = [](std::string_view body) { return "function CreateNeutralHostile()" + std::string(body) + "end"; };
  const Lines one{"Agressive Units:   1\r\n"}, two{"Agressive Units:   2\r\n"};
  // Blocks on lines of their own, as the editor indents them and without.
  EXPECT_EQ(ScanLua("function CreateNeutralHostile()\nif a then\n" + u + "\nend\n" + u + "\nend\n" + u + "\n"), two);
  EXPECT_EQ(ScanLua(hostile("if a then" + u + "elseif b then x() else y() end" + u) + u), two);
  // "while" and "for" open their block through "do".
  EXPECT_EQ(ScanLua(hostile("while a do for i=1,2 do" + u + "end end" + u) + u), two);
  EXPECT_EQ(ScanLua(hostile("for k,v in pairs(t) do end do" + u + "end" + u) + u), two);
  EXPECT_EQ(ScanLua(hostile("repeat" + u + "until a" + u) + u), two);
  // Nested and anonymous functions belong to the body.
  EXPECT_EQ(ScanLua(hostile("local function g() if a then return end end f=function()" + u + "end" + u) + u), two);
  // Strings and comments hold no keywords; escapes do not end a string.
  EXPECT_EQ(ScanLua(hostile("s='end' t=\"it\\\"s end\" q=[[end]] r=[==[ ]] end ]=] ]==]" + u +
                            "--[[ end ]] --[=[ until ]] ]=]\n-- end\n" + u) + u),
            two);
  EXPECT_EQ(ScanLua(hostile("s='\\\nend'" + u) + u), one);  // an escaped line break continues the string
  // Names that only hold a keyword are names.
  EXPECT_EQ(ScanLua(hostile("local endless, done, until_ = 1" + u) + u), one);
  // Without its "end" a body runs to the script's end.
  EXPECT_EQ(ScanLua("function CreateNeutralHostile() if a then" + u + "end" + u), two);
  // Several definitions on one line; the date comment keeps its place.
  EXPECT_EQ(ScanLua("function CreateUnitsForPlayer0()" + u + "end\n--   Date: x\r\n"
                    "function CreateUnitsForPlayer1()" + u + u + "end function CreateNeutralPassive()" + u + "end"),
            (Lines{"Player 00 Units:   1\r\n", "Date Of Creation:  x\r\n", "Player 01 Units:   2\r\n",
                   "Passive Units:     1\r\n"}));
  // Definitions only: no calls, no table functions, none in strings or
  // comments; a comment may stand between keyword and name.
  EXPECT_EQ(ScanLua("CreateNeutralHostile()" + u + "end function t.CreateNeutralHostile()" + u +
                    "end function t:CreateNeutralHostile()" + u + "end s=\"function CreateNeutralHostile()\"" + u +
                    "--function CreateNeutralHostile()\n" + u),
            Lines{});
  EXPECT_EQ(ScanLua("function --[[ x ]] CreateUnitsForPlayer2()" + u + "end"), Lines{"Player 02 Units:   1\r\n"});
}

// Units, mines, gold, item drops, player numbers and the date as the JASS
// scan gives them for the same script in JASS.
TEST(ScriptScan, LuaCountsWhatTheJassScanCounts) {
  // A creation call counts once, another inside its arguments with it.
  EXPECT_EQ(ScanLua("function CreateNeutralPassive() u=CreateUnit u=CreateUnitAtLoc(p) u=BlzCreateUnitWithSkin(p,"
                    "CreateUnit(q)) x=\"CreateUnit(\" CreateUnit (p) end"),
            Lines{"Passive Units:     3\r\n"});
  // A gold mine is a creation call with "ngol" among its arguments; the gold
  // the number after SetResourceAmount's first comma.
  EXPECT_EQ(ScanLua("function CreateNeutralPassiveBuildings()"
                    "u=BlzCreateUnitWithSkin(p,FourCC(\"ngol\"),1,2,3,FourCC(\"ngol\"))SetResourceAmount(u,12500)"
                    "u=CreateUnit(p,FourCC('ngol'))SetResourceAmount(u, -500)SetResourceAmount(u)x=\"ngol\""
                    "u=CreateUnit(p,FourCC(\"ntav\")) SetResourceAmount(f(u,1),7) end"),
            (Lines{"Mines:             2\r\n", "Mines Amounts:     12001\r\n"}));
  // Gold outside the buildings function is not counted, nor units there.
  EXPECT_EQ(ScanLua("function CreateNeutralHostile() u=CreateUnit(p) SetResourceAmount(u,5) end "
                    "function CreateNeutralPassiveBuildings() u=CreateUnit(p,FourCC(\"nshe\")) end"),
            Lines{"Agressive Units:   1\r\n"});
  // Item drop functions count, their bodies are not walked.
  EXPECT_EQ(ScanLua("function Unit000001_DropItems() u=CreateUnit(p) end function _DropItems() end "
                    "function Unit_DropItemsX() end function t.Unit_DropItems() end"),
            Lines{"Items:             2\r\n"});
  // Player numbers read as in JASS.
  for (std::string_view suffix : {"12", "8", "007x", "123", "X", "-3", "-0", "", "99999999999"}) {
    std::string lua = "function CreateUnitsForPlayer" + std::string(suffix) + "() local u u=CreateUnit(p) end";
    EXPECT_EQ(ScanLua(lua), Scan(PlayerFunction(suffix, 1))) << suffix;
  }
  // The first date comment at a line start, its line end kept; none inside
  // a counted body, none in a long comment.
  EXPECT_EQ(ScanLua(" --   Date: early\n--[[   Date: long]]\nfunction CreateUnitsForPlayer1()\n--   Date: inside\nend\n"
                    "--   Date:x\n--   Date: Mon\n--   Date: Tue\r\n"),
            (Lines{"Player 01 Units:   0\r\n", "Date Of Creation:  Mon\n"}));
  EXPECT_EQ(ScanLua("--   Date: no line end"), Lines{});
}

// What Lua would refuse still scans, to the script's end.
TEST(ScriptScan, BrokenLuaScans) {
  const std::string body = "function CreateNeutralHostile() u=CreateUnit(p) ";
  EXPECT_EQ(ScanLua(body + "s='unfinished\n u=CreateUnit(p) end u=CreateUnit(p)"), Lines{"Agressive Units:   2\r\n"});
  EXPECT_EQ(ScanLua(body + "s=[==[ ]] ]=] end u=CreateUnit(p)"), Lines{"Agressive Units:   1\r\n"});
  EXPECT_EQ(ScanLua(body + "--[[ end u=CreateUnit(p)"), Lines{"Agressive Units:   1\r\n"});
  EXPECT_EQ(ScanLua(body + "end end end u=CreateUnit(p) until"), Lines{"Agressive Units:   1\r\n"});
  EXPECT_EQ(ScanLua(body + "u=CreateUnit(p,(((( end"), Lines{"Agressive Units:   2\r\n"});
  EXPECT_EQ(ScanLua(body + "x=0x1e+1..2 e=1e-5 u=CreateUnit(p)\0 end \xC3\xA9"s), Lines{"Agressive Units:   2\r\n"});
  for (std::string_view tail : {"'", "\"\\", "[", "[=", "[==[", "--", "--[", "--[=", "0x", "1e", ".", "..", "\\"})
    EXPECT_EQ(ScanLua(body + std::string(tail)), Lines{"Agressive Units:   1\r\n"}) << tail;
  EXPECT_EQ(ScanLua(""), Lines{});
  EXPECT_EQ(ScanLua("function"), Lines{});
}

// JASS of later editors: units created with a skin, and compiled scripts
// without blanks around "=".
TEST(ScriptScan, LaterJassUnitCreation) {
  const std::string jass = Script({
      "function CreateUnitsForPlayer0 takes nothing returns nothing",
      "    set u=CreateUnit(p, 'hwtw', - 768.0, 64.0, 270.000)",
      "    set u = BlzCreateUnitWithSkin( p, 'hfoo', 1.0, 2.0, 3.0, 'hfoo' )",
      "    set u = CreateUnit( p, 'hfoo', 1.0, 2.0, 3.0 )",
      "    set u=BlzCreateUnitWithSkin(p, 'ngol', 1.0, 2.0, 3.0, 'ngol')",
      "    call SetUnitColor(u, ConvertPlayerColor(0))",
      "endfunction",
      "function CreateNeutralPassiveBuildings takes nothing returns nothing",
      "    set u=CreateUnit(p, 'ngol', 1.0, 2.0, 3.0)",
      "    call SetResourceAmount(u, 12500)",
      "endfunction",
      // "end" alone closes nothing in JASS bodies it does not stand in.
      "function CreateNeutralHostile takes nothing returns nothing",
      "    set u = CreateUnit( p, 'nfor', 1.0, 2.0, 3.0 )",
      "    set x = end",
      "endfunction",
  });
  EXPECT_EQ(ScanLater(jass), (Lines{"Player 00 Units:   4\r\n", "Mines:             1\r\n",
                                    "Mines Amounts:     12500\r\n", "Agressive Units:   1\r\n"}));
  EXPECT_EQ(Scan(jass), (Lines{"Player 00 Units:   1\r\n", "Mines Amounts:     12500\r\n",
                               "Agressive Units:   1\r\n"}));
}

TEST(ScriptScan, TotalsWrapAsThirtyTwoBitValues) {
  EXPECT_EQ(Scan(Script({"function CreateNeutralPassiveBuildings takes", "call SetResourceAmount( u, 2147483647 )",
                         "call SetResourceAmount( u, 2147483647 )", "call SetResourceAmount( u, -5 )", "endfunction"})),
            Lines{"Mines Amounts:     -7\r\n"});
  // Amounts that cancel out leave no line.
  EXPECT_EQ(Scan(Script({"function CreateNeutralPassiveBuildings takes", "call SetResourceAmount( u, 5 )",
                         "call SetResourceAmount( u, -5 )", "call SetResourceAmount( u,", "endfunction"})),
            Lines{});
  EXPECT_TRUE(Scan(Script({"no keys here", "function Foo takes nothing returns nothing", "endfunction"})).empty());
}

TEST(ScriptScan, DateLineKeepsItsPlaceAmongThePlayerLines) {
  const std::string script = PlayerFunction("0", 2) + "//   Date: Sun Jan 10 04:43:58 2010\r\n" + PlayerFunction("1", 1);
  EXPECT_EQ(Scan(script), (Lines{"Player 00 Units:   2\r\n", "Date Of Creation:  Sun Jan 10 04:43:58 2010\r\n",
                                 "Player 01 Units:   1\r\n"}));
}

TEST(ScriptScan, ReadsTheEditorsDate) {
  const auto date = ReadScriptDate("Sun Jan 10 04:43:58 2010\r\n");
  ASSERT_TRUE(date);
  EXPECT_EQ(std::tie(date->year, date->month, date->day, date->hour, date->minute, date->second),
            std::make_tuple(2010, 1, 10, 4, 43, 58));
  EXPECT_EQ(ReadScriptDate("Thu Dec  2 20:03:59 2004\n")->day, 2);
  for (std::string_view bad : {"", "yesterday", "Sun Jab 10 04:43:58 2010", "Sun Jan 10 04:43 2010",
                               "Sun Jan 10 24:00:00 2010", "Sun Jan 32 04:43:58 2010", "Sun Jan 10 04:43:58 20100",
                               "Sun Jan 10 04:43:58 2010 extra"})
    EXPECT_FALSE(ReadScriptDate(bad)) << bad;
}

// Keys are looked for many places at a time. Wherever one stands, among
// near misses that share its first and last bytes, the search finds what a
// byte-by-byte one finds.
TEST(ScriptScan, KeysAreFoundWhereverTheyStand) {
  auto byteByByte = [](std::string_view text, std::string_view key, std::size_t from, LetterCase letters) {
    for (std::size_t at = from; at + key.size() <= text.size(); ++at) {
      const std::string_view there = text.substr(at, key.size());
      if (letters == LetterCase::kExact ? there == key : EqualsNoCase(there, key)) return at;
    }
    return std::string_view::npos;
  };
  const std::pair<std::string_view, LetterCase> keys[] = {{"function ", LetterCase::kExact},
                                                          {"STRING", LetterCase::kEither}};
  for (const auto& [key, letters] : keys) {
    for (std::size_t place = 0; place + key.size() <= 150; ++place) {
      std::string filled;
      while (filled.size() < 150) filled += "fxxxxxxx Sxxxxg functio n sTRINx ";
      filled.resize(150);
      filled.replace(place, key.size(), letters == LetterCase::kExact ? key : "sTrInG");
      const std::string text = filled;  // of its exact size, so that a look past its end shows under ASan
      for (std::size_t from : {std::size_t{0}, place, place + 1, std::size_t{140}, std::size_t{151}})
        EXPECT_EQ(FindKey(text, key, from, letters), byteByByte(text, key, from, letters)) << key << place << from;
    }
  }
}

}  // namespace
}  // namespace korvanel::test
