// Paths as they come: odd names, paths longer than the system takes, and
// bytes that must be printed as they are.
#include <gtest/gtest.h>

#include "map_builder.h"
#include "sample_maps.h"
#include "test_support.h"

namespace korvanel::test {
namespace {

// Makes nested folders, one at a time from the current one, until their
// full path (from `top`, the current folder) passes 4096 bytes, and stays in
// the deepest; returns its full path.
std::string DescendBeyondTheSystemLimit(const fs::path& top) {
  const std::string segment(200, 'd');
  std::string deep = top.string();
  for (int i = 0; i < 21; ++i) {
    fs::create_directory(segment);
    fs::current_path(segment);
    deep += "/" + segment;
  }
  return deep;
}

}  // namespace

TEST(Pipeline, OddNamesAndPathsLongerThanTheSystemLimit) {
  TempDir dir;
  SampleMap sample;
  sample.pictureSize = 16;
  const auto files = SampleMapFiles(sample);
  const fs::path maps = dir / "maps 50% \xC3\xA9t\xC3\xA9";
  fs::create_directory(maps);
  const std::vector<std::string> names = {"-dash.w3m", "100% %s %n.w3m", "caf\xC3\xA9 \\ back.w3m", "line\nfeed.w3m"};
  for (const auto& name : names) ASSERT_TRUE(BuildMap(maps / name, files));

  std::string deep;
  {
    ScopedFolder inside(maps);
    deep = DescendBeyondTheSystemLimit(maps) + "/deep.w3m";
    ASSERT_TRUE(BuildMap("deep.w3m", files));
  }
  ASSERT_GT(deep.size(), 4096u);

  fs::create_directory(dir / "mini");
  ProcessResult r = RunKorvanel({"-s", maps.string(), "-i", (dir / "info.txt").string(), "-m", (dir / "mini").string()});
  EXPECT_EQ(r.status, 0) << r.out;
  EXPECT_EQ(r.out, "");
  std::string expected;
  for (const auto& name : {"-dash.w3m", "100% %s %n.w3m", "caf\xC3\xA9 \\ back.w3m", "line\nfeed.w3m"}) {
    fs::path map = maps / name;
    std::string jpg = (dir / "mini").string() + "/" + map.stem().string() + ".jpg";
    expected += RecordHead(map) + "Minimap File:      " + jpg + "\r\n" + SampleMapLines(sample);
    EXPECT_TRUE(fs::exists(jpg)) << jpg;
  }
  expected += RecordHead(deep) + "Minimap File:      " + (dir / "mini").string() + "/deep.jpg\r\n" + SampleMapLines(sample);
  EXPECT_EQ(ReadFile(dir / "info.txt"), expected);
}

TEST(Pipeline, PercentSignsBackslashesAndLatin1NamesArePrintedAsTheyAre) {
  TempDir dir;
  // Latin-1 bytes, not UTF-8: names are bytes and stay so.
  const fs::path maps = dir / "maps 100% \\ d\xE9j\xE0";
  const fs::path mini = dir / "mini 50% \\n \xE9";
  fs::create_directory(maps);
  fs::create_directory(mini);
  SampleMap sample;
  sample.pictureSize = 16;
  const auto files = SampleMapFiles(sample);
  auto badPicture = files;
  for (auto& f : badPicture)
    if (f.name == "war3mapMap.blp") f.bytes = "BLP2" + std::string(200, '\0');
  SampleMap plain = sample;
  plain.pictureSize = 0;

  ASSERT_TRUE(BuildMap(maps / "%p broken picture \\.w3m", badPicture));
  WriteFile(maps / "%s%n%d \\ bad.w3m", "not a map");
  ASSERT_TRUE(BuildMap(maps / "caf\xE9 \\%x.w3m", files));
  ASSERT_TRUE(BuildMap(maps / "exists %d.w3m", files));
  WriteFile(mini / "exists %d.jpg", "already here");
  WriteFile(maps / "line\nfeed %n.w3m", "");
  ASSERT_TRUE(BuildMap(maps / "\xFF\xFE\xE9.w3m", SampleMapFiles(plain)));

  ProcessResult r = RunKorvanel({maps.string(), "/i", (dir / "info.txt").string(), "/m", mini.string()});
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.out,
            "ERROR!\nInvalid BLP format!\nThe map \"%p broken picture \\.w3m\" may be a beta map or uses a new BLP "
            "format or its BLP is corrupted."
            "ERROR!\nUnable to open the map file :\n" + (maps / "%s%n%d \\ bad.w3m").string() + "\n" +
            "ERROR!\nError extracting " + mini.string() + "/exists %d.jpg!\nFile already exists (not overwritten)." +
            "ERROR!\nUnable to open the map file :\n" + (maps / "line\nfeed %n.w3m").string() + "\n");
  const std::string lines = SampleMapLines(sample);
  EXPECT_EQ(ReadFile(dir / "info.txt"),
            RecordHead(maps / "%p broken picture \\.w3m") + lines +
                RecordHead(maps / "caf\xE9 \\%x.w3m") + "Minimap File:      " + mini.string() + "/caf\xE9 \\%x.jpg\r\n" + lines +
                RecordHead(maps / "exists %d.w3m") + lines + RecordHead(maps / "\xFF\xFE\xE9.w3m") + SampleMapLines(plain));
  EXPECT_EQ(ReadFile(mini / "exists %d.jpg"), "already here");
  EXPECT_FALSE(fs::exists(mini / "%p broken picture \\.jpg"));

  // The same texts in the messages about a single map and a minimap folder.
  const std::string missing = (maps / "gone 100%% \\t \xE9.w3m").string();
  r = RunKorvanel({missing, "/m", (dir / "nowhere %s \\ \xE9").string()});
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.out,
            "ERROR!\nYou entered an invalid path for the minimap directory! Please check the spelling and if the "
            "directory really (still?) exists." + (dir / "nowhere %s \\ \xE9").string() + "/\n");
  r = RunKorvanel({missing});
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.out, "ERROR!\nUnable to open the map file :\n" + missing + "\n");
}

// Started inside such a folder, the walk works as from the top: the folder
// and the maps are reached relative to it, the records still give absolute
// paths, and the info file named relative to it lands there.
TEST(Pipeline, AWalkStartedDeeperThanTheSystemLimitWorksFromInside) {
  TempDir dir;
  SampleMap sample;
  sample.pictureSize = 16;
  const auto files = SampleMapFiles(sample);
  ScopedFolder inside(dir.Path());
  const std::string deep = DescendBeyondTheSystemLimit(dir.Path());
  ASSERT_GT(deep.size(), 4096u);
  ASSERT_TRUE(BuildMap("here.w3m", files));
  fs::create_directory("sub");
  ASSERT_TRUE(BuildMap("sub/below.w3m", files));

  ProcessResult r = RunKorvanel({".", "/s", "/i", "info.txt", "/o", "--json", "maps.jsonl"});
  EXPECT_EQ(r.status, 0) << r.out << r.err;
  EXPECT_EQ(r.out, "");
  EXPECT_EQ(ReadFile("info.txt"), RecordHead(deep + "/here.w3m") + SampleMapLines(sample) +
                                      RecordHead(deep + "/sub/below.w3m") + SampleMapLines(sample));
  const auto catalogue = ParseCatalogue(ReadFile("maps.jsonl"));
  ASSERT_EQ(catalogue.size(), 2u);
  EXPECT_EQ(CatalogueText(catalogue[1], "path"), deep + "/sub/below.w3m");
  EXPECT_TRUE(catalogue[1]["opened"].get<bool>());
}

}  // namespace korvanel::test
