#include <gtest/gtest.h>

#include <string>

#include "map_builder.h"
#include "parsers/trigger_strings.h"
#include "test_support.h"

namespace korvanel::test {
namespace {

TriggerStringTable Parse(std::string_view wts, MapFormats formats = MapFormats::kFirstRelease) {
  TriggerStringTable table;
  EXPECT_TRUE(ParseTriggerStrings(Bytes(wts), table, formats));
  return table;
}

TriggerStringTable ParseLater(std::string_view wts) { return Parse(wts, MapFormats::kLater); }

TEST(TriggerStrings, ReadsEntriesAndTrimsTheirText) {
  TriggerStringTable t = Parse("STRING 1\r\n{\r\nHello\r\n}\r\n");
  EXPECT_EQ(t.Size(), 1u);
  EXPECT_EQ(t.Lookup(1), "Hello");

  t = Parse("string 3 { a }");
  EXPECT_EQ(t.Lookup(3), "a");

  t = Parse("STRING 2\r\n{\r\n  first\r\nsecond \t\v\f\r\n\r\n}\r\n");
  EXPECT_EQ(t.Lookup(2), "first\r\nsecond");

  // Leading digits of the number token count, the rest does not.
  t = Parse("STRING 012 {twelve} STRING\t\r\n-4\n{minus} STRING x {zero}");
  EXPECT_EQ(t.Lookup(12), "twelve");
  EXPECT_EQ(t.Lookup(-4), "minus");
  EXPECT_EQ(t.Lookup(0), "zero");

  // The keyword counts anywhere, also inside a word, after a byte-order mark.
  t = Parse("\xEF\xBB\xBFSUBSTRING 5 { s }");
  EXPECT_EQ(t.Lookup(5), "s");
  t = Parse("sTrInG 6 {six} sSTRING 7 {seven} Sstring 8 {eight}");
  EXPECT_EQ(t.Lookup(6), "six");
  EXPECT_EQ(t.Lookup(7), "seven");
  EXPECT_EQ(t.Lookup(8), "eight");

  // A text without a closing brace runs to the end of the data.
  t = Parse("STRING 8\r\n{\r\nunfinished text \r\n");
  EXPECT_EQ(t.Lookup(8), "unfinished text");

  // The first closing brace ends a text, and the search resumes after it.
  t = Parse("STRING 1 { has STRING 2 { inner } STRING 3 { after }");
  EXPECT_EQ(t.Lookup(1), "has STRING 2 { inner");
  EXPECT_EQ(t.Lookup(2), "");
  EXPECT_EQ(t.Lookup(3), "after");
}

TEST(TriggerStrings, LaterEntryWinsAndMissingNumbersAreEmpty) {
  TriggerStringTable t = Parse("STRING 5 {old} STRING 6 {six} STRING 5 {new}");
  EXPECT_EQ(t.Size(), 3u);
  EXPECT_EQ(t.Lookup(5), "new");
  EXPECT_EQ(t.Lookup(6), "six");
  EXPECT_EQ(t.Lookup(7), "");

  t.Add("added", 6);
  EXPECT_EQ(t.Lookup(6), "added");
  t.RemoveAll();
  EXPECT_EQ(t.Size(), 0u);
  EXPECT_EQ(t.Lookup(5), "");
}

TEST(TriggerStrings, BraceMustFollowTheNumber) {
  // Anything between number and brace drops the entry; the search goes on
  // right after the unexpected byte, so through the comment and the text.
  TriggerStringTable t = Parse("STRING 9\r\n// see STRING 4 {four}\r\n{ x }");
  EXPECT_EQ(t.Lookup(9), "");
  EXPECT_EQ(t.Lookup(4), "four");
  EXPECT_EQ(t.Size(), 1u);

  t = Parse("STRING 7{ x }");
  EXPECT_EQ(t.Size(), 0u);

  // Keyword or number at the very end: no entry, no read past the data.
  EXPECT_EQ(Parse("STRING").Size(), 0u);
  EXPECT_EQ(Parse("STRING 3 ").Size(), 0u);
  EXPECT_EQ(Parse("STRING 3 {").Lookup(3), "");
  EXPECT_EQ(Parse("STRING 3 {").Size(), 1u);
}

TEST(TriggerStrings, EmptyDataAndNulBytes) {
  TriggerStringTable t = Parse("STRING 1 {a}");
  EXPECT_TRUE(ParseTriggerStrings({}, t));
  EXPECT_EQ(t.Size(), 0u);

  using namespace std::string_literals;
  t = Parse("STRING 1 {a}\0STRING 2 {b}"s);
  EXPECT_EQ(t.Size(), 1u);
  EXPECT_EQ(t.Lookup(1), "a");

  // A NUL inside a text stays part of it; no keyword after it is looked for.
  t = Parse("STRING 1 {a\0b} STRING 2 {c}"s);
  EXPECT_EQ(t.Lookup(1), "a\0b"s);
  EXPECT_EQ(t.Size(), 1u);

  t = Parse("STR\0ING 1 {a}"s);
  EXPECT_EQ(t.Size(), 0u);
}

TEST(TriggerStrings, ResolvesOnlyExactReferences) {
  TriggerStringTable t = Parse("STRING 12 {twelve} STRING 7 {seven} STRING 0 {zero}");
  EXPECT_EQ(ResolveTriggerString(t, "TRIGSTR_012"), "twelve");
  EXPECT_EQ(ResolveTriggerString(t, "TRIGSTR_007"), "seven");
  EXPECT_EQ(ResolveTriggerString(t, "TRIGSTR_0x1"), "zero");
  EXPECT_EQ(ResolveTriggerString(t, "TRIGSTR_999"), "");
  EXPECT_EQ(ResolveTriggerString(t, "My Map"), "My Map");
  EXPECT_EQ(ResolveTriggerString(t, "trigstr_012"), "trigstr_012");
  EXPECT_EQ(ResolveTriggerString(t, "TRIGSTR_0012"), "TRIGSTR_0012");
  EXPECT_EQ(ResolveTriggerString(t, "TRIGSTR_12"), "TRIGSTR_12");
  EXPECT_EQ(ResolveTriggerString(t, ""), "");
}

// As the game reads them: a comment line may stand between number and
// brace, keywords inside comments and texts are no entries, and lines may
// end in CR LF, LF or CR alone.
TEST(TriggerStrings, LaterFormatsReadLinesWithCommentsAndAnyLineEnds) {
  const std::string wts =
      "\xEF\xBB\xBFSTRING 1\r\n{\r\nOne\r\n}\r\n\r\n"
      "STRING 1234\r\n// Units: n001 (Bowstring Archer), Name (Name)\r\n{\r\nArcher\r\n}\r\n\r\n"
      "STRING 5\n  // two comments\n// STRING 6\n{\nfive\nlines\n}\n"
      "STRING 7\r{\rseven\r}\r"
      "string\t8\r\n{ inline }\r\n"
      "STRING 9\r\nnot a brace\r\n{\r\nnine\r\n}\r\n"
      "STRING 10\r\n{\r\nopen to the end  \r\n";
  TriggerStringTable t = ParseLater(wts);
  EXPECT_EQ(t.Lookup(1), "One");
  EXPECT_EQ(t.Lookup(1234), "Archer");
  EXPECT_EQ(t.Lookup(5), "five\nlines");
  EXPECT_EQ(t.Lookup(7), "seven");
  EXPECT_EQ(t.Lookup(8), "inline");
  EXPECT_EQ(t.Lookup(10), "open to the end");
  EXPECT_EQ(t.Size(), 6u);  // no 6 (a comment) and no 9 (a line between)

  // The first release's scan loses the commented entries and finds one in
  // "Bowstring" instead.
  TriggerStringTable first = Parse(wts);
  EXPECT_EQ(first.Lookup(1234), "");
  EXPECT_EQ(first.Lookup(5), "");

  EXPECT_EQ(ParseLater("").Size(), 0u);
  EXPECT_EQ(ParseLater("\xEF\xBB\xBF").Size(), 0u);
  EXPECT_EQ(ParseLater("STRING").Size(), 0u);
  EXPECT_EQ(ParseLater("STRING 3\r\n{").Lookup(3), "");
  EXPECT_EQ(ParseLater("STRING 3\r\n{").Size(), 1u);
  EXPECT_EQ(ParseLater("STRINGS 3\r\n{x}").Size(), 0u);
  using namespace std::string_literals;
  EXPECT_EQ(ParseLater("STRING 1\n{a}\nSTRING 2\0\n{b}"s).Size(), 1u);
}

// Some localised maps the game ships hold their byte-order mark encoded
// twice (as if its bytes had been Latin-1 text). The game still shows their
// first entry: whatever run of marks, in whatever encoding, stands before
// the first line's content is passed over.
TEST(TriggerStrings, LaterFormatsPassOverByteOrderMarksBeforeTheFirstLine) {
  const std::string entries = "STRING 1\r\n{\r\nName\r\n}\r\nSTRING 2\r\n{\r\nAuthor\r\n}\r\n";
  for (std::string_view marks : {"\xC3\xAF\xC2\xBB\xC2\xBF", "\xEF\xBB\xBF\xEF\xBB\xBF",
                                 "\xC3\xAF\xC2\xBB\xC2\xBF\xEF\xBB\xBF",
                                 "\xC3\x83\xC2\xAF\xC3\x82\xC2\xBB\xC3\x82\xC2\xBF", "\xEF\xBB\xBF \t"}) {
    const std::string wts = std::string(marks) + entries;
    TriggerStringTable t = ParseLater(wts);
    EXPECT_EQ(t.Lookup(1), "Name") << ::testing::PrintToString(std::string(marks));
    EXPECT_EQ(t.Lookup(2), "Author") << ::testing::PrintToString(std::string(marks));
    EXPECT_EQ(t.Size(), 2u) << ::testing::PrintToString(std::string(marks));
  }
  // Only before the first line: a mark later on still spoils its line.
  EXPECT_EQ(ParseLater("STRING 1\n{a}\n\xC3\xAF\xC2\xBB\xC2\xBFSTRING 2\n{b}\n").Size(), 1u);
  EXPECT_EQ(ParseLater("\n\xEF\xBB\xBFSTRING 2\n{b}\n").Size(), 0u);
  // Nor do other bytes become a mark.
  EXPECT_EQ(ParseLater("xSTRING 1\n{a}\n").Size(), 0u);
  EXPECT_EQ(ParseLater("\xC3\xAF\xC2\xBB\xC2\xBF").Size(), 0u);
}

TEST(TriggerStrings, LaterFormatsResolveReferencesOfAnyLength) {
  TriggerStringTable t = ParseLater("STRING 12\n{twelve}\nSTRING 1302\n{long}\nSTRING 0\n{zero}\n");
  auto resolve = [&](std::string_view text) { return ResolveTriggerString(t, text, MapFormats::kLater); };
  EXPECT_EQ(resolve("TRIGSTR_1302"), "long");
  EXPECT_EQ(resolve("TRIGSTR_0012"), "twelve");
  EXPECT_EQ(resolve("TRIGSTR_12"), "twelve");
  EXPECT_EQ(resolve("TRIGSTR_012"), "twelve");
  // Any three characters are read as before.
  EXPECT_EQ(resolve("TRIGSTR_0x1"), "zero");
  EXPECT_EQ(resolve("TRIGSTR_12a"), "twelve");
  EXPECT_EQ(resolve("TRIGSTR_99999999999999"), "");
  EXPECT_EQ(resolve("TRIGSTR_"), "TRIGSTR_");
  EXPECT_EQ(resolve("TRIGSTR_1302a"), "TRIGSTR_1302a");
  EXPECT_EQ(resolve("TRIGSTR_1302 "), "TRIGSTR_1302 ");
  EXPECT_EQ(resolve("trigstr_1302"), "trigstr_1302");
}

TEST(TriggerStrings, FixtureFiles) {
  KVL_REQUIRE_FIXTURE(roc, "maps/smallest_roc.w3m");
  auto wts = ReadEmbedded(roc, "war3map.wts");
  ASSERT_TRUE(wts);
  TriggerStringTable t = Parse(*wts);
  EXPECT_EQ(t.Size(), 6u);
  EXPECT_EQ(t.Lookup(1), "Smallest Map");
  EXPECT_EQ(t.Lookup(3), "Smallest map in W3");
  EXPECT_EQ(t.Lookup(6), "Force 1");

  KVL_REQUIRE_FIXTURE(tft, "maps/small_tft.w3x");
  wts = ReadEmbedded(tft, "war3map.wts");
  ASSERT_TRUE(wts);
  t = Parse(*wts);
  EXPECT_EQ(t.Size(), 7u);
  EXPECT_EQ(t.Lookup(6), "");
  EXPECT_EQ(t.Lookup(7), "Rorslae");
  EXPECT_EQ(t.Lookup(8), "Needs 2 people to play, both teams should be evenly balanced.");
}

}  // namespace
}  // namespace korvanel::test
