#include <gtest/gtest.h>

#include <unistd.h>

#include "blp_builder.h"
#include "map_builder.h"
#include "output/minimap_export.h"
#include "sample_maps.h"
#include "test_support.h"

namespace korvanel::test {
namespace {

std::vector<EmbeddedFile> WithPicture(std::vector<EmbeddedFile> files, std::string blp) {
  std::erase_if(files, [](const EmbeddedFile& f) { return f.name == "war3mapMap.blp"; });
  files.push_back({"war3mapMap.blp", std::move(blp)});
  return files;
}

std::string InvalidBlp(const std::string& mapName) {
  return "ERROR!\nInvalid BLP format!\nThe map \"" + mapName +
         "\" may be a beta map or uses a new BLP format or its BLP is corrupted.";
}

std::vector<fs::path> FilesIn(const fs::path& dir) {
  std::vector<fs::path> files;
  for (const auto& e : fs::directory_iterator(dir)) files.push_back(e.path().filename());
  std::sort(files.begin(), files.end());
  return files;
}

Bgra Gradient(int x, int y) {
  return {static_cast<std::uint8_t>(x * 4), 90, static_cast<std::uint8_t>(y * 4), 255};
}

}  // namespace

TEST(MinimapExport, EachFailureReportsAndLeavesNoFileBehind) {
  TempDir dir;
  const fs::path maps = dir / "maps";
  const fs::path out = dir / "out";
  fs::create_directories(maps);
  fs::create_directories(out);
  SampleMap sample;
  sample.pictureSize = 0;
  const auto plain = SampleMapFiles(sample);
  const std::string good = MakeBlp(64, 64, Gradient);

  std::array<Bgra, 256> palette{};
  struct Case {
    std::string map;
    std::optional<std::string> blp;
    std::string message;
  };
  const std::vector<Case> cases = {
      {"a_none.w3m", std::nullopt, ""},
      {"b_magic.w3m", MakeBlp(64, 64, Gradient, {.magic = "BLP2"}), InvalidBlp("b_magic.w3m")},
      {"c_short.w3m", std::string("BLP1\0\0\0\0", 8), InvalidBlp("c_short.w3m")},
      {"d_empty_mipmap.w3m", MakeBlp(64, 64, Gradient, {.mipmapSize = 0}), InvalidBlp("d_empty_mipmap.w3m")},
      {"e_huge.w3m", MakeBlp(64, 64, Gradient, {.width = 0x7FFFFFFF, .height = 0x7FFFFFFF}), InvalidBlp("e_huge.w3m")},
      {"f_outside.w3m", MakeBlp(64, 64, Gradient, {.mipmapOffset = 0x7FFFFF00}), InvalidBlp("f_outside.w3m")},
      {"g_paletted.w3m", MakePalettedBlp(64, 64, palette, [](int x, int) { return static_cast<std::uint8_t>(x); }),
       "ERROR!\nAn error occured while using the Intel(R) JPEG Library for the map:\ng_paletted.w3m"},
      {"h_size_mismatch.w3m", MakeBlpFromJpeg(64, 64, EncodeBgraJpeg(32, 32, Gradient)),
       "ERROR!\nAn error occured while using the Intel(R) JPEG Library for the map:\nh_size_mismatch.w3m"},
      {"Two.Rivers.W3M", good, ""},
  };
  std::string expectedOut, expectedInfo;
  for (const Case& c : cases) {
    ASSERT_TRUE(BuildMap(maps / c.map, c.blp ? WithPicture(plain, *c.blp) : plain)) << c.map;
    expectedOut += c.message;
    expectedInfo += RecordHead(maps / c.map);
    if (c.map == "Two.Rivers.W3M") expectedInfo += "Minimap File:      " + out.string() + "/Two.Rivers.jpg\r\n";
    expectedInfo += SampleMapLines(sample);
  }

  ProcessResult r = RunKorvanel({maps.string(), "/m", out.string(), "/i", (dir / "info.txt").string()});
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.out, expectedOut);
  EXPECT_EQ(ReadFile(dir / "info.txt"), expectedInfo);
  EXPECT_EQ(FilesIn(out), std::vector<fs::path>{"Two.Rivers.jpg"});
  const std::string jpg = ReadFile(out / "Two.Rivers.jpg");
  EXPECT_TRUE(jpg.starts_with("\xFF\xD8\xFF")) << "not a JPEG";

  // A second run into the same folder: a notice for the existing picture,
  // nothing overwritten, no record line, and no error status from it.
  fs::remove(maps / "b_magic.w3m");
  fs::remove(maps / "c_short.w3m");
  fs::remove(maps / "d_empty_mipmap.w3m");
  fs::remove(maps / "e_huge.w3m");
  fs::remove(maps / "f_outside.w3m");
  fs::remove(maps / "g_paletted.w3m");
  fs::remove(maps / "h_size_mismatch.w3m");
  r = RunKorvanel({maps.string(), "/m", out.string(), "/i", (dir / "info.txt").string(), "/o"});
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out, "ERROR!\nError extracting " + out.string() + "/Two.Rivers.jpg!\nFile already exists (not overwritten).");
  EXPECT_EQ(ReadFile(dir / "info.txt"), RecordHead(maps / "a_none.w3m") + SampleMapLines(sample) +
                                            RecordHead(maps / "Two.Rivers.W3M") + SampleMapLines(sample));
  EXPECT_EQ(ReadFile(out / "Two.Rivers.jpg"), jpg);
}

TEST(MinimapExport, AFolderThatCannotBeWrittenIsReportedForEveryMap) {
  TempDir dir;
  SampleMap sample;
  ASSERT_TRUE(BuildMap(dir / "a.w3m", SampleMapFiles(sample)));
  ASSERT_TRUE(BuildMap(dir / "b.w3m", SampleMapFiles(sample)));
  // Not even root may create files in /proc; elsewhere a read-only folder.
  fs::path out = "/proc";
  std::string reason = "No such file or directory.\n";
  if (::geteuid() != 0) {
    out = dir / "out";
    fs::create_directory(out);
    fs::permissions(out, fs::perms::owner_read | fs::perms::owner_exec);
    reason = "Permission denied.\n";
  }
  ProcessResult r = RunKorvanel({dir.Path().string(), "/m", out.string(), "/i", (dir / "info.txt").string()});
  EXPECT_EQ(r.status, 1);
  const std::string message = "ERROR!\nError creating the minimap file!\nReason:\n" + reason;
  EXPECT_EQ(r.out, message + message);
  EXPECT_EQ(ReadFile(dir / "info.txt"), RecordHead(dir / "a.w3m") + SampleMapLines(sample) + RecordHead(dir / "b.w3m") +
                                            SampleMapLines(sample));
}

TEST(MinimapExport, ALinkInTheWayIsNeverFollowed) {
  TempDir dir;
  SampleMap sample;
  ASSERT_TRUE(BuildMap(dir / "a.w3m", SampleMapFiles(sample)));
  fs::create_directory(dir / "out");
  fs::create_symlink(dir / "target.jpg", dir / "out" / "a.jpg");
  ProcessResult r = RunKorvanel({(dir / "a.w3m").string(), "/m", (dir / "out").string()});
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out, "ERROR!\nError extracting " + (dir / "out").string() + "/a.jpg!\nFile already exists (not overwritten).");
  EXPECT_FALSE(fs::exists(dir / "target.jpg"));
}

TEST(MinimapExport, FileSystemsWithoutUnnamedFilesOrLinksGetTheSamePictures) {
  if (!FileSystemLimitsPossible()) GTEST_SKIP() << "cannot limit the file system on this machine";
  TempDir dir;
  const fs::path maps = dir / "maps";
  fs::create_directories(maps);
  SampleMap sample;
  const auto plain = SampleMapFiles(sample);
  ASSERT_TRUE(BuildMap(maps / "a.w3m", plain));
  ASSERT_TRUE(BuildMap(maps / "b.w3m", WithPicture(plain, MakeBlp(64, 64, Gradient, {.magic = "BLP2"}))));
  ASSERT_TRUE(BuildMap(maps / "c.w3m", plain));
  ProcessResult whole = RunKorvanel({(maps / "a.w3m").string(), "/m", dir.Path().string()});
  ASSERT_EQ(whole.status, 0);
  const std::string picture = ReadFile(dir / "a.jpg");

  for (const bool unnamedFiles : {false, true}) {
    SCOPED_TRACE(unnamedFiles ? "no hard links" : "no unnamed files");
    const std::string tag = unnamedFiles ? "1" : "0";
    const fs::path out = dir / ("out" + tag), tmp = dir / ("tmp" + tag);
    fs::create_directories(out);
    fs::create_directories(tmp);
    WriteFile(out / "c.jpg", "someone's");
    WriteFile(tmp / "~KVL4", "abandoned");
    StartWith how;
    how.noUnnamedFiles = !unnamedFiles;
    how.noHardLinks = unnamedFiles;
    ProcessResult r = RunKorvanel({maps.string(), "/m", out.string(), "/i", (dir / "info.txt").string(), "/o"},
                                  {"TMPDIR=" + tmp.string()}, how);
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, InvalidBlp("b.w3m") + "ERROR!\nError extracting " + out.string() +
                         "/c.jpg!\nFile already exists (not overwritten).");
    EXPECT_EQ(FilesIn(out), (std::vector<fs::path>{"a.jpg", "c.jpg"}));
    EXPECT_EQ(ReadFile(out / "a.jpg"), picture);
    EXPECT_EQ(ReadFile(out / "c.jpg"), "someone's");
    EXPECT_NE(ReadFile(dir / "info.txt").find("Minimap File:      " + out.string() + "/a.jpg\r\n"), std::string::npos);
    EXPECT_TRUE(fs::is_empty(tmp));
  }
}

// The picture file alone words nothing: it returns the stage that failed,
// and leaves no file behind but a finished picture.
TEST(MinimapExport, WritingAPictureReturnsTheStageThatFailed) {
  TempDir dir;
  MinimapConverter converter;
  int error = 0;
  const std::string good = MakeBlp(64, 64, Gradient);
  auto write = [&](std::string_view blp, const fs::path& path) {
    return WriteMinimap(converter.Convert(Bytes(blp), 85), path.string(), error);
  };
  EXPECT_EQ(write(good, dir / "a.jpg"), MinimapStage::kDone);
  const std::string jpg = ReadFile(dir / "a.jpg");
  EXPECT_TRUE(jpg.starts_with("\xFF\xD8\xFF")) << "not a JPEG";
  EXPECT_EQ(write(MakeBlp(64, 64, Gradient, {.magic = "BLP2"}), dir / "a.jpg"), MinimapStage::kExists);
  EXPECT_EQ(ReadFile(dir / "a.jpg"), jpg);
  fs::create_symlink(dir / "target.jpg", dir / "link.jpg");
  EXPECT_EQ(write(good, dir / "link.jpg"), MinimapStage::kExists);
  EXPECT_FALSE(fs::exists(dir / "target.jpg"));
  EXPECT_EQ(write(good, dir / "missing" / "b.jpg"), MinimapStage::kCreate);
  EXPECT_EQ(error, ENOENT);
  EXPECT_EQ(write("", dir / "c.jpg"), MinimapStage::kHeader);
  EXPECT_EQ(write(MakeBlpFromJpeg(64, 64, EncodeBgraJpeg(32, 32, Gradient)), dir / "d.jpg"), MinimapStage::kDecode);
  EXPECT_EQ(FilesIn(dir.Path()), (std::vector<fs::path>{"a.jpg", "link.jpg"}));
}

}  // namespace korvanel::test
