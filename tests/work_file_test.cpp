#include <gtest/gtest.h>

#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <linux/magic.h>
#include <sys/file.h>
#include <sys/statfs.h>
#include <sys/wait.h>
#include <unistd.h>

#include "archive/map_archive.h"
#include "archive/work_file.h"
#include "test_support.h"

namespace korvanel::test {
namespace {

// None of the variables naming the temporary directory set, for one test.
struct TempEnvironment {
  ScopedEnv tmpdir{"TMPDIR", nullptr}, temp{"TEMP", nullptr}, tmp{"TMP", nullptr};
};

std::vector<std::string> WorkFilesIn(const fs::path& dir) {
  std::vector<std::string> names;
  for (const auto& e : fs::directory_iterator(dir))
    if (e.path().filename().string().starts_with("~KVL")) names.push_back(e.path().filename().string());
  return names;
}

}  // namespace

TEST(WorkFile, DirectoryComesFromTheFirstVariableNamingAFolder) {
  TempEnvironment env;
  TempDir a, b;
  EXPECT_EQ(TemporaryDirectory(), "/tmp/");
  ::setenv("TMP", b.Path().c_str(), 1);
  EXPECT_EQ(TemporaryDirectory(), b.Path().string() + "/");
  ::setenv("TEMP", (a.Path() / "missing").c_str(), 1);
  EXPECT_EQ(TemporaryDirectory(), b.Path().string() + "/");
  ::setenv("TEMP", (a.Path().string() + "/").c_str(), 1);
  EXPECT_EQ(TemporaryDirectory(), a.Path().string() + "/");
  ::setenv("TMPDIR", b.Path().c_str(), 1);
  EXPECT_EQ(TemporaryDirectory(), b.Path().string() + "/");
}

// Every worker gets its region also where the temporary directory is on
// tmpfs, whose file sizes the C library, not knowing it, puts at 32 bits.
TEST(WorkFile, HoldsARegionForEveryWorkerOnTmpfs) {
  struct statfs system {};
  if (::statfs("/dev/shm", &system) != 0 || system.f_type != TMPFS_MAGIC) GTEST_SKIP() << "no tmpfs at /dev/shm";
  TempEnvironment env;
  ::setenv("TMPDIR", "/dev/shm", 1);
  WorkFile work;
  ASSERT_EQ(work.Create(), 0);
  EXPECT_GE(work.Handle().LargestSize() / kWorkFileRegion, kMaxArchiveWorkers);
}

TEST(WorkFile, NeverOpensANameThatIsTakenAndIsGoneAfterDelete) {
  TempEnvironment env;
  TempDir dir, elsewhere;
  ::setenv("TMPDIR", dir.Path().c_str(), 1);
  WriteFile(dir / "~KVL1", "someone else's");
  fs::create_symlink(elsewhere / "target", dir / "~KVL2");
  {
    WorkFile work;
    ASSERT_EQ(work.Create(), 0);
    EXPECT_EQ(work.Path(), (dir / "~KVL3").string());
    EXPECT_EQ((fs::status(work.Path()).permissions() & fs::perms::all), fs::perms::owner_read | fs::perms::owner_write);
    EXPECT_EQ(work.WriteAt(0, Bytes("data")), 0);
  }
  EXPECT_EQ(ReadFile(dir / "~KVL1"), "someone else's");
  EXPECT_FALSE(fs::exists(elsewhere / "target"));
  EXPECT_FALSE(fs::exists(dir / "~KVL3"));

  fs::permissions(dir.Path(), fs::perms::owner_read | fs::perms::owner_exec);
  WorkFile denied;
  if (::geteuid() != 0) {
    EXPECT_NE(denied.Create(), 0);
  }
  fs::permissions(dir.Path(), fs::perms::owner_all);
}

// The run reads the workers' files in place, in any region, never past the
// end of the file; given-back pages read as zeros and the file keeps its
// size.
TEST(WorkFile, ViewsReadInPlaceUpToTheEndAndDiscardKeepsTheRest) {
  TempEnvironment env;
  TempDir dir;
  ::setenv("TMPDIR", dir.Path().c_str(), 1);
  WorkFile work;
  ASSERT_EQ(work.Create(), 0);
  ScratchBuffer scratch;
  auto view = [&](std::uint64_t offset, std::size_t size) {
    std::span<const std::byte> data;
    EXPECT_EQ(work.View(offset, size, scratch, data), 0);
    return std::string(reinterpret_cast<const char*>(data.data()), data.size());
  };
  const std::string big(3 << 20, 'b');
  ASSERT_EQ(work.WriteAt(0, Bytes("first")), 0);
  EXPECT_EQ(view(0, 5), "first");
  // Past what was seen of the file's size, and a region further on.
  ASSERT_EQ(work.WriteAt(100, Bytes(big)), 0);
  EXPECT_TRUE(view(100, big.size()) == big);
  ASSERT_EQ(work.WriteAt(kWorkFileRegion + 7, Bytes("second")), 0);
  EXPECT_EQ(view(kWorkFileRegion + 7, 6), "second");
  EXPECT_EQ(view(kWorkFileRegion + 10, 100), "ond") << "stops at the end of the file";
  EXPECT_EQ(view(kWorkFileRegion + 13, 1), "");
  // Written again after a view: the view shows the new bytes.
  ASSERT_EQ(work.WriteAt(1, Bytes("IRST")), 0);
  EXPECT_EQ(view(0, 5), "fIRST");

  ASSERT_EQ(work.Discard(4096, 4096 + (2 << 20)), 0);
  EXPECT_EQ(view(0, 5), "fIRST");
  EXPECT_EQ(view(4096, 3), std::string(3, '\0'));
  EXPECT_EQ(view(100 + big.size() - 3, 3), "bbb");
  std::uint64_t size = 0;
  EXPECT_EQ(work.Handle().Size(size), 0);
  EXPECT_EQ(size, kWorkFileRegion + 13);
}

TEST(WorkFile, RemovedWhenTheProcessIsTerminated) {
  TempEnvironment env;
  TempDir dirs[2];
  for (int signal : {SIGTERM, SIGINT}) {
    const TempDir& dir = dirs[signal == SIGINT];
    ::setenv("TMPDIR", dir.Path().c_str(), 1);
    pid_t pid = ::fork();
    if (pid == 0) {
      WorkFile work;
      if (work.Create() != 0) ::_exit(3);
      std::raise(signal);
      ::_exit(4);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(pid, &status, 0), pid);
    EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == signal) << status;
    EXPECT_TRUE(WorkFilesIn(dir.Path()).empty());
  }
}

TEST(WorkFile, NoneLeftAfterACommandLineRun) {
  TempDir dir;
  fs::create_directory(dir / "tmp");
  ProcessResult r = RunKorvanel({(dir / "nothing.w3m").string()}, {"TMPDIR=" + (dir / "tmp").string()});
  EXPECT_EQ(r.status, 1);
  EXPECT_TRUE(WorkFilesIn(dir / "tmp").empty());

  // No writable temporary folder: the message names the reason and every map fails.
  fs::permissions(dir / "tmp", fs::perms::owner_read | fs::perms::owner_exec);
  if (::geteuid() != 0) {
    r = RunKorvanel({(dir / "nothing.w3m").string()}, {"TMPDIR=" + (dir / "tmp").string()});
    EXPECT_TRUE(r.out.starts_with("ERROR!\nUnable to create the temporary file!\nReason:\nPermission denied.\n")) << r.out;
  }
}

TEST(WorkFile, ARunRemovesAbandonedOnesAndNothingElse) {
  TempDir dir, elsewhere;
  const fs::path tmp = dir / "tmp";
  fs::create_directory(tmp);
  // Left by killed runs of ours: removed.
  WriteFile(tmp / "~KVL7", "abandoned");
  WriteFile(tmp / "~KVL12", "");
  // Held by a live run: kept.
  WriteFile(tmp / "~KVL9", "in use");
  const int held = ::open((tmp / "~KVL9").c_str(), O_RDWR | O_CLOEXEC);
  ASSERT_EQ(::flock(held, LOCK_EX), 0);
  // Not ours to judge: kept.
  for (const char* name : {"~KVLx", "~KVL", "~KVL3a", "~KVL-4", "x~KVL5"}) WriteFile(tmp / name, name);
  WriteFile(elsewhere / "target", "target");
  fs::create_symlink(elsewhere / "target", tmp / "~KVL6");
  fs::create_directory(tmp / "~KVL8");
  const bool root = ::geteuid() == 0;
  if (root) {
    WriteFile(tmp / "~KVL10", "another user's");
    ASSERT_EQ(::chown((tmp / "~KVL10").c_str(), 65534, 65534), 0);
  }

  ProcessResult r = RunKorvanel({(dir / "nothing.w3m").string()}, {"TMPDIR=" + tmp.string()});
  EXPECT_EQ(r.status, 1);
  ::close(held);
  std::vector<std::string> expected = {"~KVL", "~KVL-4", "~KVL3a", "~KVL6", "~KVL8", "~KVL9", "~KVLx"};
  if (root) expected.push_back("~KVL10");
  std::vector<std::string> left = WorkFilesIn(tmp);
  std::sort(left.begin(), left.end());
  std::sort(expected.begin(), expected.end());
  EXPECT_EQ(left, expected);
  EXPECT_TRUE(fs::exists(tmp / "x~KVL5"));
  EXPECT_EQ(ReadFile(tmp / "~KVL9"), "in use");
  EXPECT_TRUE(fs::is_symlink(tmp / "~KVL6"));
  EXPECT_EQ(ReadFile(elsewhere / "target"), "target");
  EXPECT_TRUE(fs::is_directory(tmp / "~KVL8"));
}

}  // namespace korvanel::test
