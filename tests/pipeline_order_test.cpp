// Maps extracted ahead are still processed and reported in walk order.
#include <gtest/gtest.h>

#include <chrono>
#include <sstream>

#include "app/run_context.h"
#include "archive/work_file.h"
#include "test_support.h"

namespace korvanel::test {

// The archive library extracts the next maps while this one is processed;
// each map is still shown and reported in its turn, also when the library
// dies or hangs on one of them, for any number of workers.
TEST(Pipeline, MapsAreReportedInTurnWhileTheNextIsExtracted) {
  TempDir dir;
  const fs::path maps = dir / "maps";
  fs::create_directory(maps);
  const std::vector<std::string> names = {"a.w3m", "b-crash.w3m", "c.w3m", "d-hang.w3m", "e.w3m",
                                          "f.w3m", "g-crash.w3m", "h.w3m", "i-hang.w3m", "j.w3m"};
  for (const std::string& name : names) WriteFile(maps / name, "opened by a stand-in library");

  std::vector<std::string> expected;
  std::string records;
  for (const std::string& name : names) {
    expected.push_back("Processing " + name);
    if (name.find('-') != std::string::npos) {
      expected.push_back("ERROR!\nUnable to open the map file :\n" + (maps / name).string() + "\n");
    } else {
      records += "Map File Name:     " + (maps / name).string() + "\r\n";
    }
  }
  for (unsigned jobs : {1u, 2u, 4u, 8u}) {
    SCOPED_TRACE("--jobs " + std::to_string(jobs));
    WorkFile work;
    ASSERT_EQ(work.Create(), 0);
    MapArchive archive(work);
    ASSERT_TRUE(archive.BindArchiveLibrary(KORVANEL_FAKE_STORM));
    archive.libraryTimeout = std::chrono::milliseconds(300);
    RecordingReporter log;
    RunContext run(archive, work, log);
    run.options.writeInfoFile = true;
    run.options.jobs = jobs;
    const fs::path info = dir / ("info" + std::to_string(jobs) + ".txt");
    ASSERT_TRUE(run.OpenInfoFile(info.string(), ""));
    run.WalkMapDirectory(maps.string());
    const RunSummary summary = run.Finish();

    EXPECT_EQ(log.events, expected);
    EXPECT_EQ(summary.unread, 4);
    EXPECT_FALSE(run.Finish().Failed()) << "the next run starts with a clean summary";

    std::string written;
    std::istringstream lines(ReadFile(info));
    for (std::string line; std::getline(lines, line);)
      if (line.starts_with("Map File Name:")) written += line + "\n";
    EXPECT_EQ(written, records);
  }
}

}  // namespace korvanel::test
