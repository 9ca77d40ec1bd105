#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include "output/info_writer.h"
#include "test_support.h"

namespace korvanel::test {
namespace {

struct Fixture {
  RecordingReporter reporter;
  RunErrors errors;
  RunOptions options;
  InfoWriter writer{reporter, errors};
  Fixture() { options.consoleMode = true; }
  bool Open(const fs::path& p) { return writer.OpenInfoFile(p.string(), options); }
};

}  // namespace

TEST(InfoWriter, NewAppendOverwriteAndNeither) {
  TempDir dir;
  const fs::path info = dir / "info.txt";
  {
    Fixture f;
    ASSERT_TRUE(f.Open(info));
    f.writer.WriteInfoText("first\r\n");
    f.writer.WriteInfoText("");
    f.writer.Close();
    f.writer.WriteInfoText("after close\r\n");
    EXPECT_TRUE(f.reporter.messages.empty());
  }
  EXPECT_EQ(ReadFile(info), "first\r\n");

  Fixture neither;
  EXPECT_FALSE(neither.Open(info));
  EXPECT_TRUE(neither.reporter.messages.empty());
  EXPECT_EQ(ReadFile(info), "first\r\n");

  Fixture both;
  both.options.appendInfoFile = both.options.overwriteInfoFile = true;
  ASSERT_TRUE(both.Open(info));
  both.writer.WriteInfoText("second\r\n");
  both.writer.Close();
  EXPECT_EQ(ReadFile(info), "first\r\nsecond\r\n");

  Fixture overwrite;
  overwrite.options.overwriteInfoFile = true;
  ASSERT_TRUE(overwrite.Open(info));
  overwrite.writer.WriteInfoText("third\r\n");
  overwrite.writer.Close();
  EXPECT_EQ(ReadFile(info), "third\r\n");
}

TEST(InfoWriter, DialogAsksAboutAnExistingFile) {
  TempDir dir;
  const fs::path info = dir / "info.txt";
  WriteFile(info, "old\r\n");
  for (auto [answer, opened, content] : {std::tuple{Answer::kYes, true, "old\r\nnew\r\n"},
                                         std::tuple{Answer::kNo, true, "new\r\n"},
                                         std::tuple{Answer::kCancel, false, "new\r\n"}}) {
    Fixture f;
    f.options.consoleMode = false;
    f.options.overwriteInfoFile = true;  // never read by the dialog
    f.reporter.answer = answer;
    EXPECT_EQ(f.Open(info), opened);
    ASSERT_EQ(f.reporter.messages.size(), 1u);
    EXPECT_EQ(f.reporter.messages[0].icon, Icon::kQuestion);
    EXPECT_EQ(f.reporter.messages[0].text,
              "WARNING!\nThe output info file you're trying to use already exists.\nDo you want to APPEND (YES) the "
              "already existing file\n or CREATE a NEW (NO) file?");
    f.writer.WriteInfoText("new\r\n");
    f.writer.Close();
    EXPECT_EQ(ReadFile(info), content);
  }
}

TEST(InfoWriter, RefusesDirectoriesReadOnlyFilesAndMissingFolders) {
  TempDir dir;
  Fixture f;
  f.options.overwriteInfoFile = true;
  fs::create_directory(dir / "sub.txt");
  EXPECT_FALSE(f.Open(dir / "sub.txt"));
  WriteFile(dir / "ro.txt", "keep");
  fs::permissions(dir / "ro.txt", fs::perms::owner_read | fs::perms::group_read);
  EXPECT_FALSE(f.Open(dir / "ro.txt"));
  EXPECT_FALSE(f.Open(dir / "missing" / "info.txt"));
  EXPECT_FALSE(f.writer.OpenInfoFile("", f.options));
  ASSERT_EQ(f.reporter.messages.size(), 4u);
  EXPECT_EQ(f.reporter.messages[0].text,
            "ERROR!\nUnable to create output file!\nThe filename you gave is already used by a directory!\nPlease try another name.");
  EXPECT_EQ(f.reporter.messages[1].text, "ERROR!\nUnable to use this output file!\nThe file is Read Only.");
  EXPECT_EQ(f.reporter.messages[2].text, "ERROR!\nUnable to create the output file!\nReason:\nNo such file or directory.\n");
  EXPECT_EQ(f.reporter.messages[3].text, f.reporter.messages[2].text);
  for (const auto& m : f.reporter.messages) EXPECT_EQ(m.icon, Icon::kStop);
  EXPECT_EQ(ReadFile(dir / "ro.txt"), "keep");
}

TEST(InfoWriter, AFileInUseIsNeitherEmptiedNorShared) {
  TempDir dir;
  const fs::path info = dir / "info.txt";
  WriteFile(info, "records of another run\r\n");
  int other = ::open(info.c_str(), O_RDONLY);
  ASSERT_EQ(::flock(other, LOCK_EX), 0);
  Fixture f;
  f.options.overwriteInfoFile = true;
  EXPECT_FALSE(f.Open(info));
  ASSERT_EQ(f.reporter.messages.size(), 1u);
  EXPECT_EQ(f.reporter.messages[0].text, "ERROR!\nUnable to create the output file!\nReason:\nThe file is in use by another process.\n");
  EXPECT_EQ(ReadFile(info), "records of another run\r\n");
  ::close(other);
  EXPECT_TRUE(f.Open(info));
}

TEST(InfoWriter, WriteErrorIsReportedOnceAndClearedByTheNextOpen) {
  if (!fs::exists("/dev/full")) GTEST_SKIP() << "/dev/full not available";
  Fixture f;
  f.options.overwriteInfoFile = true;
  ASSERT_TRUE(f.Open("/dev/full"));
  f.writer.WriteInfoText("a\r\n");
  f.writer.Flush();
  f.writer.WriteInfoText("b\r\n");
  f.writer.Flush();
  ASSERT_EQ(f.reporter.messages.size(), 1u);
  EXPECT_EQ(f.reporter.messages[0].text,
            "ERROR!\nAn error occured while trying to write in the output file:\nNo space left on device.\n");
  EXPECT_EQ(f.reporter.messages[0].icon, Icon::kExclamation);
  EXPECT_TRUE(f.errors.writeFailed);
  f.writer.Close();
  ASSERT_TRUE(f.Open("/dev/full"));
  EXPECT_FALSE(f.errors.writeFailed);
}

}  // namespace korvanel::test
