#include <gtest/gtest.h>

#include <csignal>
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <sys/file.h>
#include <unistd.h>

#include "app/run_context.h"
#include "archive/work_file.h"
#include "output/info_writer.h"
#include "test_support.h"

namespace korvanel::test {
namespace {

// The run's info file as the command line opens it.
struct Fixture {
  RecordingReporter reporter;
  WorkFile work;
  MapArchive archive{work};
  RunContext writer{archive, work, reporter};
  RunOptions& options = writer.options;
  Fixture() { options.existingInfoFile = ExistingInfoFile::kLeaveAlone; }
  bool Open(const fs::path& p) { return writer.OpenInfoFile(p.string(), ""); }
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
    f.writer.CloseInfoFile();
    f.writer.WriteInfoText("after close\r\n");
    EXPECT_TRUE(f.reporter.messages.empty());
  }
  EXPECT_EQ(ReadFile(info), "first\r\n");

  Fixture neither;
  EXPECT_FALSE(neither.Open(info));
  EXPECT_TRUE(neither.reporter.messages.empty());
  EXPECT_EQ(ReadFile(info), "first\r\n");

  Fixture both;
  both.options.existingInfoFile = ExistingInfoFile::kAppend;  // /a wins over /o
  ASSERT_TRUE(both.Open(info));
  both.writer.WriteInfoText("second\r\n");
  both.writer.CloseInfoFile();
  EXPECT_EQ(ReadFile(info), "first\r\nsecond\r\n");

  Fixture overwrite;
  overwrite.options.existingInfoFile = ExistingInfoFile::kStartAnew;
  ASSERT_TRUE(overwrite.Open(info));
  overwrite.writer.WriteInfoText("third\r\n");
  overwrite.writer.CloseInfoFile();
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
    f.options.existingInfoFile.reset();  // the dialog asks
    f.reporter.answer = answer;
    EXPECT_EQ(f.Open(info), opened);
    ASSERT_EQ(f.reporter.messages.size(), 1u);
    EXPECT_EQ(f.reporter.messages[0].icon, Icon::kQuestion);
    EXPECT_EQ(f.reporter.messages[0].text,
              "WARNING!\nThe output info file you're trying to use already exists.\nDo you want to APPEND (YES) the "
              "already existing file\n or CREATE a NEW (NO) file?");
    f.writer.WriteInfoText("new\r\n");
    f.writer.CloseInfoFile();
    EXPECT_EQ(ReadFile(info), content);
  }
}

TEST(InfoWriter, RefusesDirectoriesReadOnlyFilesAndMissingFolders) {
  TempDir dir;
  Fixture f;
  f.options.existingInfoFile = ExistingInfoFile::kStartAnew;
  fs::create_directory(dir / "sub.txt");
  EXPECT_FALSE(f.Open(dir / "sub.txt"));
  WriteFile(dir / "ro.txt", "keep");
  fs::permissions(dir / "ro.txt", fs::perms::owner_read | fs::perms::group_read);
  EXPECT_FALSE(f.Open(dir / "ro.txt"));
  EXPECT_FALSE(f.Open(dir / "missing" / "info.txt"));
  EXPECT_FALSE(f.writer.OpenInfoFile("", ""));
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
  f.options.existingInfoFile = ExistingInfoFile::kStartAnew;
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
  f.options.existingInfoFile = ExistingInfoFile::kStartAnew;
  ASSERT_TRUE(f.Open("/dev/full"));
  // Each line large enough to be written at once.
  f.writer.WriteInfoText(std::string(64 * 1024, 'a'));
  f.writer.WriteInfoText(std::string(64 * 1024, 'b'));
  ASSERT_EQ(f.reporter.messages.size(), 1u);
  EXPECT_EQ(f.reporter.messages[0].text,
            "ERROR!\nAn error occured while trying to write in the output file:\nNo space left on device.\n");
  EXPECT_EQ(f.reporter.messages[0].icon, Icon::kExclamation);
  EXPECT_TRUE(f.writer.Finish().writeFailed);
  ASSERT_TRUE(f.Open("/dev/full"));
  EXPECT_FALSE(f.writer.Finish().writeFailed);
}

// The file alone words nothing: each step returns what happened.
TEST(InfoWriter, OpenWriteAndCloseReturnWhatHappened) {
  TempDir dir;
  const fs::path info = dir / "info.txt";
  InfoWriter writer;
  int asked = 0;
  auto choose = [&](ExistingInfoFile how) {
    return [&asked, how] {
      ++asked;
      return how;
    };
  };
  fs::create_directory(dir / "sub");
  EXPECT_EQ(writer.Open((dir / "sub").string(), choose(ExistingInfoFile::kAppend)).status, InfoFileOpen::kDirectory);
  const InfoFileOpenResult missing = writer.Open((dir / "no" / "info.txt").string(), choose(ExistingInfoFile::kAppend));
  EXPECT_EQ(missing.status, InfoFileOpen::kFailed);
  EXPECT_EQ(missing.error, ENOENT);
  EXPECT_EQ(writer.Write("dropped while closed\r\n"), 0);
  ASSERT_EQ(writer.Open(info.string(), choose(ExistingInfoFile::kAppend)).status, InfoFileOpen::kOpened);
  EXPECT_EQ(asked, 0) << "asked about a file that did not exist";
  EXPECT_EQ(writer.Write("line\r\n"), 0);
  EXPECT_EQ(ReadFile(info), "") << "written before the map is complete";
  EXPECT_EQ(writer.Close(), 0);
  EXPECT_EQ(ReadFile(info), "line\r\n");
  EXPECT_EQ(writer.Open(info.string(), choose(ExistingInfoFile::kLeaveAlone)).status, InfoFileOpen::kLeftAlone);
  EXPECT_EQ(asked, 1);
  EXPECT_FALSE(writer.IsOpen());

  if (!fs::exists("/dev/full")) GTEST_SKIP() << "/dev/full not available";
  ASSERT_EQ(writer.Open("/dev/full", choose(ExistingInfoFile::kStartAnew)).status, InfoFileOpen::kOpened);
  EXPECT_EQ(writer.Write("small\r\n"), 0);
  EXPECT_EQ(writer.Write(std::string(64 * 1024, 'x')), ENOSPC);
  EXPECT_EQ(writer.Close(), 0) << "the failed lines were dropped";
  ASSERT_EQ(writer.Open("/dev/full", choose(ExistingInfoFile::kStartAnew)).status, InfoFileOpen::kOpened);
  EXPECT_EQ(writer.Write("small\r\n"), 0);
  EXPECT_EQ(writer.Close(), ENOSPC);
}

// A record that does not fit (a full disk, a quota; here `ulimit -f`) is
// cut off again, so the file ends with a whole record, and the next one
// that fits is written whole.
TEST(InfoWriter, ARecordThatDoesNotFitIsCutOffAndLaterOnesStillWritten) {
  TempDir dir;
  const fs::path info = dir / "info.txt";
  WriteFile(info, "earlier\r\n");
  const std::string first = "first record\r\n", second(100 * 1024, 's'), third = "third record\r\n";
  const pid_t pid = ::fork();
  if (pid == 0) {
    std::signal(SIGXFSZ, SIG_IGN);
    const rlimit limit{32 * 1024, 32 * 1024};
    ::setrlimit(RLIMIT_FSIZE, &limit);
    InfoWriter writer;
    if (writer.Open(info.string(), [] { return ExistingInfoFile::kAppend; }).status != InfoFileOpen::kOpened) ::_exit(10);
    if (writer.Write(first) != 0 || writer.EndRecord() != 0) ::_exit(11);
    // Written in parts, the first of them at once: the failure comes mid-record.
    if (writer.Write(second) != EFBIG || writer.Write("rest of it\r\n") != 0 || writer.EndRecord() != 0) ::_exit(12);
    if (writer.Write(third) != 0 || writer.Close() != 0) ::_exit(13);
    ::_exit(0);
  }
  int status = 0;
  ASSERT_EQ(::waitpid(pid, &status, 0), pid);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
  EXPECT_EQ(ReadFile(info), "earlier\r\n" + first + third);
}

}  // namespace korvanel::test
