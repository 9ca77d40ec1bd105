// Maps extracted ahead are still processed and reported in walk order.
#include <gtest/gtest.h>

#include <chrono>
#include <sstream>

#include "app/run_context.h"
#include "archive/work_file.h"
#include "test_support.h"

namespace korvanel::test {

// The archive library extracts the next map while this one is processed;
// each map is still shown and reported in its turn, also when the library
// dies or hangs on the map after it.
TEST(Pipeline, MapsAreReportedInTurnWhileTheNextIsExtracted) {
  TempDir dir;
  const fs::path maps = dir / "maps";
  fs::create_directory(maps);
  const std::vector<std::string> names = {"a.w3m", "b-crash.w3m", "c.w3m", "d-hang.w3m", "e.w3m"};
  for (const std::string& name : names) WriteFile(maps / name, "opened by a stand-in library");

  WorkFile work;
  ASSERT_EQ(work.Create(), 0);
  MapArchive archive(work);
  ASSERT_TRUE(archive.BindArchiveLibrary(KORVANEL_FAKE_STORM));
  archive.libraryTimeout = std::chrono::milliseconds(300);
  RecordingReporter log;
  RunContext run(archive, work, log);
  run.options.writeInfoFile = true;
  ASSERT_TRUE(run.OpenInfoFile((dir / "info.txt").string(), ""));
  run.WalkMapDirectory(maps.string());
  const RunSummary summary = run.Finish();

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
  EXPECT_EQ(log.events, expected);
  EXPECT_EQ(summary.unread, 2);
  EXPECT_FALSE(run.Finish().Failed()) << "the next run starts with a clean summary";

  std::string written;
  std::istringstream info(ReadFile(dir / "info.txt"));
  for (std::string line; std::getline(info, line);)
    if (line.starts_with("Map File Name:")) written += line + "\n";
  EXPECT_EQ(written, records);
}

}  // namespace korvanel::test
