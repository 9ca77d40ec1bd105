// Errors that could repeat for every map: each kind is said once per run,
// standard error names every map and file, and the run completes.
#include <gtest/gtest.h>

#include <csignal>
#include <random>
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include "app/run_context.h"
#include "archive/work_file.h"
#include "blp_builder.h"
#include "map_builder.h"
#include "output/minimap_convert.h"
#include "sample_maps.h"
#include "test_support.h"

namespace korvanel::test {

namespace {

// A work file that is the same file under the same number, but open for
// writing only: every map is extracted into it and every read of it fails.
bool CreateUnreadableWorkFile(WorkFile& work) {
  if (work.Create() != 0) return false;
  File writeOnly(::open(work.Path().c_str(), O_WRONLY | O_CLOEXEC));
  return ::dup3(writeOnly.Descriptor(), work.Handle().Descriptor(), O_CLOEXEC) == work.Handle().Descriptor();
}

// A run in this process, its work file in `folder`: one that cannot be
// read back when `unreadable`. `ready` once the archive library is loaded.
struct InProcessRun {
  InProcessRun(const fs::path& folder, bool unreadable)
      : tmp("TMPDIR", folder.string()),
        ready((unreadable ? CreateUnreadableWorkFile(work) : work.Create() == 0) && LoadArchiveLibrary(archive)) {
    run.options.writeInfoFile = true;
  }
  ScopedEnv tmp;
  WorkFile work;
  MapArchive archive{work};
  RecordingReporter reporter;
  RunContext run{archive, work, reporter};
  bool ready;
};

}  // namespace

TEST(Pipeline, WorkFileWriteErrorsAreReportedOncePerRun) {
  TempDir dir;
  SampleMap sample;
  sample.pictureSize = 0;
  // A script larger than the file size limit set below.
  auto files = SampleMapFiles(sample);
  for (auto& f : files)
    if (f.name == "war3map.j") f.bytes += std::string(64 * 1024, '\n');
  ASSERT_TRUE(BuildMap(dir / "a.w3m", files));
  ASSERT_TRUE(BuildMap(dir / "b.w3m", files));

  pid_t pid = ::fork();
  if (pid == 0) {
    ::setenv("TMPDIR", dir.Path().c_str(), 1);
    std::signal(SIGXFSZ, SIG_IGN);
    struct rlimit limit {16 * 1024, 16 * 1024};
    ::setrlimit(RLIMIT_FSIZE, &limit);
    int code = 10;
    {  // ended before _exit, so the archive worker ends as in a real run
      WorkFile work;
      MapArchive archive(work);
      if (work.Create() == 0 && LoadArchiveLibrary(archive)) {
        RecordingReporter reporter;
        RunContext run(archive, work, reporter);
        run.options.writeInfoFile = true;
        run.ProcessMap((dir / "a.w3m").string());
        run.ProcessMap((dir / "b.w3m").string());
        bool once = reporter.messages.size() == 1 &&
                    reporter.messages[0].text == "ERROR!\nError extracting a file from the map file (.w3m).\nReason:\nFile too large.\n" &&
                    reporter.messages[0].icon == Icon::kExclamation;
        // Standard error names every map and file, also once the message is silenced.
        const std::string tooLarge = ": war3map.j: cannot extract: File too large";
        once = once && reporter.diagnoses == std::vector<std::string>{(dir / "a.w3m").string() + tooLarge,
                                                                      (dir / "b.w3m").string() + tooLarge};
        code = once && run.Finish().extractFailed ? 0 : 11;
      }
    }
    ::_exit(code);
  }
  int status = 0;
  ASSERT_EQ(::waitpid(pid, &status, 0), pid);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;

  // A work file that cannot be read back: said once per run as well.
  InProcessRun unreadable(dir.Path(), true);
  ASSERT_TRUE(unreadable.ready);
  RunContext& run = unreadable.run;
  const RecordingReporter& reporter = unreadable.reporter;
  run.ProcessMap((dir / "a.w3m").string());
  run.ProcessMap((dir / "b.w3m").string());
  ASSERT_EQ(reporter.messages.size(), 1u);
  EXPECT_EQ(reporter.messages[0].text, "ERROR!\nError reading a W3M file!\nReason:\nBad file descriptor.\n");
  EXPECT_EQ(reporter.messages[0].icon, Icon::kExclamation);
  std::vector<std::string> unread;
  for (const char* map : {"a.w3m", "b.w3m"})
    for (const char* file : {"war3map.wts", "war3map.w3i", "war3map.w3e", "war3map.doo", "war3mapUnits.doo", "war3map.j",
                             "war3map.mmp"})
      unread.push_back((dir / map).string() + ": " + file + ": cannot read back: Bad file descriptor");
  EXPECT_EQ(reporter.diagnoses, unread);
  EXPECT_TRUE(run.Finish().readFailed);
}

TEST(Pipeline, AFullDiskIsReportedOnceAndTheRunCompletes) {
  if (!fs::exists("/dev/full")) GTEST_SKIP() << "/dev/full not available";
  TempDir dir;
  SampleMap sample;
  sample.pictureSize = 0;
  ASSERT_TRUE(BuildMap(dir / "a.w3m", SampleMapFiles(sample)));
  ASSERT_TRUE(BuildMap(dir / "b.w3m", SampleMapFiles(sample)));
  ProcessResult r = RunKorvanel({dir.Path().string(), "/i", "/dev/full", "/a", "/m", dir.Path().string()});
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.out, "ERROR!\nAn error occured while trying to write in the output file:\nNo space left on device.\n");
}

// A file its parser refuses and a file that cannot be read back are two
// things: the one does not silence the other's message.
TEST(Pipeline, AParserRejectionAndAReadBackFailureAreToldApart) {
  TempDir dir;
  // A map information file of no bytes is refused without the work file
  // being read.
  ASSERT_TRUE(BuildMap(dir / "damaged.w3m", {{"war3map.w3i", ""}}));
  SampleMap sample;
  sample.pictureSize = 0;
  ASSERT_TRUE(BuildMap(dir / "b.w3m", SampleMapFiles(sample)));
  InProcessRun unreadable(dir.Path(), true);
  ASSERT_TRUE(unreadable.ready);
  RunContext& run = unreadable.run;
  const RecordingReporter& reporter = unreadable.reporter;

  run.ProcessMap((dir / "damaged.w3m").string());
  EXPECT_TRUE(reporter.messages.empty());
  ASSERT_EQ(reporter.diagnoses.size(), 1u);
  EXPECT_EQ(reporter.diagnoses[0], (dir / "damaged.w3m").string() +
                                       ": war3map.w3i: damaged or of an unknown format; its lines may be missing or incomplete");
  RunSummary summary = run.Finish();
  EXPECT_TRUE(summary.parseFailed && summary.Failed());
  EXPECT_FALSE(summary.readFailed);

  run.ProcessMap((dir / "damaged.w3m").string());
  run.ProcessMap((dir / "b.w3m").string());
  ASSERT_EQ(reporter.messages.size(), 1u);
  EXPECT_EQ(reporter.messages[0].text, "ERROR!\nError reading a W3M file!\nReason:\nBad file descriptor.\n");
  EXPECT_EQ(reporter.diagnoses.size(), 9u);  // the damaged file twice, and the seven of b.w3m's files
  summary = run.Finish();
  EXPECT_TRUE(summary.parseFailed && summary.readFailed);

  run.ProcessMap((dir / "b.w3m").string());
  summary = run.Finish();
  EXPECT_TRUE(summary.readFailed);
  EXPECT_FALSE(summary.parseFailed);
}

// The dialog runs again and again through one run context: an info file
// that could not be written fails its own run, not the next.
TEST(Pipeline, AnInfoFileWriteFailureEndsWithItsRun) {
  if (!fs::exists("/dev/full")) GTEST_SKIP() << "/dev/full not available";
  TempDir dir;
  SampleMap sample;
  sample.pictureSize = 0;
  ASSERT_TRUE(BuildMap(dir / "a.w3m", SampleMapFiles(sample)));
  InProcessRun dialog(dir.Path(), false);
  ASSERT_TRUE(dialog.ready);
  RunContext& run = dialog.run;
  const RecordingReporter& reporter = dialog.reporter;
  run.options.existingInfoFile = ExistingInfoFile::kStartAnew;
  auto runOnce = [&](const std::string& info) {
    run.options.writeInfoFile = !info.empty();
    run.options.infoFilePath = info;
    if (!info.empty()) {
      EXPECT_TRUE(run.OpenInfoFile(info, {}));
    }
    run.ProcessMap((dir / "a.w3m").string());
    return run.Finish();
  };
  EXPECT_TRUE(runOnce("/dev/full").writeFailed);
  ASSERT_EQ(reporter.messages.size(), 1u);
  EXPECT_FALSE(runOnce("").Failed());  // no info file this time
  EXPECT_FALSE(runOnce((dir / "info.txt").string()).Failed());
  EXPECT_TRUE(runOnce("/dev/full").writeFailed);
  EXPECT_EQ(reporter.messages.size(), 2u);  // said again in a run of its own
}

// A minimap that does not fit (a full disk, a quota; here `ulimit -f`):
// standard output keeps its one message per map, standard error names the
// file and why, and no part of it is left.
TEST(Pipeline, AMinimapThatCannotBeWrittenIsNamedOnStandardError) {
  TempDir dir;
  fs::create_directory(dir / "maps");
  fs::create_directory(dir / "minimaps");
  // Noise stored at a low quality becomes a JPEG file many times larger
  // than the picture in the map, so the limit can leave room for the
  // extracted picture in the work file but none for the minimap.
  std::mt19937 rng(7);
  std::vector<Bgra> noise(256 * 256);
  auto byte = [&rng] { return static_cast<std::uint8_t>(rng()); };
  for (Bgra& pixel : noise) pixel = {byte(), byte(), byte(), 255};
  const std::string blp =
      MakeBlpFromJpeg(256, 256, EncodeBgraJpeg(256, 256, [&](int x, int y) { return noise[y * 256 + x]; }, 5));
  const ConvertedMinimap converted = MinimapConverter().Convert(Bytes(blp), 85);
  ASSERT_EQ(converted.stage, MinimapStage::kDone);
  // Both maps' pictures may be in the work file at once.
  const std::uint64_t limit = 2 * blp.size() + 16 * 1024;
  ASSERT_GT(converted.jpeg.size(), limit) << blp.size();
  for (const char* map : {"a.w3m", "b.w3m"}) ASSERT_TRUE(BuildMap(dir / "maps" / map, {{"war3mapMap.blp", blp}}));

  const ProcessResult r = RunKorvanel({(dir / "maps").string(), "/m", (dir / "minimaps").string()}, {},
                                      {.ignoring = {SIGXFSZ}, .fileSizeLimit = limit});
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.out, "ERROR!\nError writing the minimap file for map a.w3m"
                   "ERROR!\nError writing the minimap file for map b.w3m");
  EXPECT_EQ(r.err, "korvanel: cannot write the minimap file " + (dir / "minimaps" / "a.jpg").string() +
                       ": File too large\n"
                       "korvanel: cannot write the minimap file " + (dir / "minimaps" / "b.jpg").string() +
                       ": File too large\n");
  EXPECT_TRUE(fs::is_empty(dir / "minimaps"));
}

}  // namespace korvanel::test
