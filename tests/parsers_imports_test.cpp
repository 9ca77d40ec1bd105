#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "map_builder.h"
#include "parsers/imports.h"
#include "test_support.h"

namespace korvanel::test {
namespace {

std::string Str(const std::string& s) { return s + '\0'; }

// A list of version 1: one path of each mark the editor writes.
std::string MarkedList() {
  return Le32(1) + Le32(5) + "\x05" + Str("a.mdx") + "\x08" + Str("sub\\b.blp") + "\x0A" + Str("Custom\\c.wav") +
         "\x0D" + Str("war3mapImported\\d.mdx") + "\x07" + Str("e.tga");
}

const std::vector<std::vector<std::string>> kMarkedFiles = {
    {"a.mdx", "war3mapImported\\a.mdx"},
    {"sub\\b.blp", "war3mapImported\\sub\\b.blp"},
    {"Custom\\c.wav", "Custom\\c.wav"},
    {"war3mapImported\\d.mdx", "war3mapImported\\d.mdx"},
    {"e.tga", "e.tga"},  // a mark of neither kind: the path as stored
};

std::vector<std::vector<std::string>> Files(const ImportList& list) {
  std::vector<std::vector<std::string>> files;
  for (const ImportedFile& f : list.files) files.push_back({f.stored, f.archiveName});
  return files;
}

TEST(Imports, BothVersions) {
  ImportList list;
  EXPECT_TRUE(ParseImportList(Bytes(MarkedList()), list));
  EXPECT_EQ(list.version, 1);
  EXPECT_EQ(list.count, 5);
  EXPECT_EQ(Files(list), kMarkedFiles);

  // Version 0 has no marks.
  EXPECT_TRUE(ParseImportList(Bytes(Le32(0) + Le32(2) + Str("x.mdx") + Str("\x05y.mdx")), list));
  EXPECT_EQ(Files(list), (std::vector<std::vector<std::string>>{{"x.mdx", "x.mdx"}, {"\x05y.mdx", "\x05y.mdx"}}));

  // Another version: its entries are not read.
  EXPECT_FALSE(ParseImportList(Bytes(Le32(2) + Le32(1) + "\x05" + Str("a.mdx")), list));
  EXPECT_EQ(list.version, 2);
  EXPECT_EQ(list.count, 1);
  EXPECT_TRUE(list.files.empty());

  EXPECT_TRUE(ParseImportList(Bytes(Le32(1) + Le32(0)), list));
  EXPECT_TRUE(list.files.empty());
}

// Every cut keeps the whole entries before it and fails.
TEST(Imports, CutAtEveryLength) {
  const std::string full = MarkedList();
  std::size_t lastCount = 0;
  for (std::size_t cut = 0; cut < full.size(); ++cut) {
    SCOPED_TRACE(cut);
    ImportList list;
    EXPECT_FALSE(ParseImportList(Bytes(std::string_view(full).substr(0, cut)), list));
    EXPECT_EQ(list.version.has_value(), cut >= 4);
    EXPECT_EQ(list.count.has_value(), cut >= 8);
    ASSERT_LT(list.files.size(), kMarkedFiles.size());
    for (std::size_t k = 0; k < list.files.size(); ++k) EXPECT_EQ(Files(list)[k], kMarkedFiles[k]);
    EXPECT_GE(list.files.size(), lastCount);
    lastCount = list.files.size();
  }
  EXPECT_EQ(lastCount, kMarkedFiles.size() - 1);
}

TEST(Imports, CountBeyondTheData) {
  ImportList list;
  EXPECT_FALSE(ParseImportList(Bytes(Le32(1) + Le32(0x7FFFFFFF) + "\x08" + Str("a.mdx")), list));
  EXPECT_EQ(list.count, 0x7FFFFFFF);
  ASSERT_EQ(list.files.size(), 1u);
  EXPECT_EQ(list.files[0].archiveName, "war3mapImported\\a.mdx");
  // A negative count names no entries.
  EXPECT_TRUE(ParseImportList(Bytes(Le32(1) + Le32(-1) + "\x08" + Str("a.mdx")), list));
  EXPECT_TRUE(list.files.empty());
}

// The one fixture with imports: twelve paths, all stored whole (mark 13),
// seven of them in the imported folder; the archive holds each under the
// name the list gives.
TEST(Imports, FixtureList) {
  KVL_REQUIRE_FIXTURE(map, "bench/forest_defense.w3x");
  const auto imp = ReadEmbedded(map, "war3map.imp");
  ASSERT_TRUE(imp);
  ImportList list;
  ASSERT_TRUE(ParseImportList(Bytes(*imp), list));
  EXPECT_EQ(list.version, 1);
  EXPECT_EQ(list.count, 12);
  ASSERT_EQ(list.files.size(), 12u);
  EXPECT_EQ(list.files[0].stored, "BubbleMissile.mdx");
  EXPECT_EQ(list.files[3].stored, "UI\\Glues\\Loading\\Backgrounds\\Campaigns\\Ashenvale-TopLeft.blp");
  EXPECT_EQ(list.files[4].stored, "war3mapImported\\Elveswood1.mdx");
  EXPECT_EQ(list.files[11].stored, "war3mapPreview.tga");
  for (const ImportedFile& f : list.files) {
    EXPECT_EQ(f.archiveName, f.stored);
    EXPECT_TRUE(ReadEmbedded(map, f.archiveName)) << f.archiveName;
  }
}

}  // namespace
}  // namespace korvanel::test
