#include <gtest/gtest.h>

#include <unistd.h>

#include "app/command_line.h"
#include "app/extractor_app.h"
#include "fixture_records.h"
#include "map_builder.h"
#include "sample_maps.h"
#include "test_support.h"

namespace korvanel::test {
namespace {

std::vector<EmbeddedFile> Drop(std::vector<EmbeddedFile> files, std::initializer_list<std::string_view> names) {
  std::erase_if(files, [&](const EmbeddedFile& f) {
    return std::find(names.begin(), names.end(), f.name) != names.end();
  });
  return files;
}

std::vector<EmbeddedFile> Replace(std::vector<EmbeddedFile> files, const std::string& name, std::string bytes) {
  for (auto& f : files)
    if (f.name == name) f.bytes = std::move(bytes);
  return files;
}

}  // namespace

TEST(Pipeline, RealMapsGiveTheirRecordsByteForByte) {
  KVL_REQUIRE_FIXTURE(roc, "maps/smallest_roc.w3m");
  KVL_REQUIRE_FIXTURE(tft, "maps/small_tft.w3x");
  TempDir dir;
  fs::create_directory(dir / "maps");
  fs::copy_file(roc, dir / "maps" / "smallest_roc.w3m");
  fs::copy_file(tft, dir / "maps" / "small_tft.w3m");
  fs::copy_file(tft, dir / "maps" / "small_tft.w3x");  // not a map name: skipped

  ProcessResult r = RunKorvanel({(dir / "maps").string(), "/i", (dir / "info.txt").string()});
  EXPECT_EQ(r.status, 0) << r.out;
  EXPECT_EQ(r.out, "");
  // "small_" sorts before "smalle" ('_' < 'e').
  EXPECT_EQ(ReadFile(dir / "info.txt"), RecordHead(dir / "maps/small_tft.w3m") + std::string(kSmallTftParserLines) +
                                            RecordHead(dir / "maps/smallest_roc.w3m") + std::string(kSmallestRocParserLines));
}

TEST(Pipeline, DamagedMapsAreReportedAndTheRunGoesOn) {
  TempDir dir;
  const fs::path maps = dir / "maps";
  fs::create_directory(maps);
  SampleMap sample;
  sample.pictureSize = 0;
  const auto files = SampleMapFiles(sample);
  ASSERT_TRUE(BuildMap(maps / "a_good.w3m", files));
  WriteFile(maps / "b_not_a_map.w3m", "PK\x03\x04 this is a zip file, not a map");
  std::string whole = ReadFile(maps / "a_good.w3m");
  WriteFile(maps / "c_truncated.w3m", whole.substr(0, 20));
  WriteFile(maps / "d_empty.w3m", "");
  // The map information ends inside the description ("TRIG" is all
  // that is left of its reference); the environment file
  // claims a count that points far outside it; the script has no lines.
  std::string w3i = SampleW3i(sample);
  ASSERT_TRUE(BuildMap(maps / "e_cut.w3m",
                       Replace(Replace(Replace(files, "war3map.w3i", w3i.substr(0, 40)), "war3map.w3e",
                                       "W3E!" + Le32(11) + "L" + Le32(1) + Le32(0x40000000) + "rest"),
                               "war3map.j", "no line feed at all")));
  ASSERT_TRUE(BuildMap(maps / "f_sparse.w3m", Drop(files, {"war3map.wts", "war3map.j", "war3map.doo"})));
  ASSERT_TRUE(BuildMap(maps / "g_good.w3m", files));

  ProcessResult r = RunKorvanel({maps.string(), "/i", (dir / "info.txt").string()});
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.out, "ERROR!\nUnable to open the map file :\n" + (maps / "b_not_a_map.w3m").string() + "\n" +
                       "ERROR!\nUnable to open the map file :\n" + (maps / "c_truncated.w3m").string() + "\n" +
                       "ERROR!\nUnable to open the map file :\n" + (maps / "d_empty.w3m").string() + "\n");
  // Standard error says which map and which of its files could not be read.
  const std::string damaged = ": damaged or of an unknown format; its lines may be missing or incomplete\n";
  EXPECT_EQ(r.err, "korvanel: " + (maps / "e_cut.w3m").string() + ": war3map.w3i" + damaged +
                       "korvanel: " + (maps / "e_cut.w3m").string() + ": war3map.w3e" + damaged);

  const std::string lines = SampleMapLines(sample);
  const std::string cut =
      "W3I Version:       18\r\nMap Version:       3\r\nEditor Version:    6059 (unknown)\r\n"
      "Map Name:          Sample Map\r\nMap Author:        Korvanel\r\nDescription:       TRIG\r\n"
      "W3E Version:       11\r\n"
      "Doo Version:       7\r\nDoodads (Trees):   120\r\nUnits.Doo version: 7\r\nDoodads (Other):   30\r\n";
  // Without trigger strings the map's references resolve to nothing, never
  // to the previous map's texts.
  const std::string sparse =
      "W3I Version:       18\r\nMap Version:       3\r\nEditor Version:    6059 (unknown)\r\n"
      "Map Name:          \r\nMap Author:        \r\nDescription:       \r\nSuggested Players: \r\n"
      "Playable Map Size: 84x84\r\nMap Type:          Melee\r\nMain Tileset:      Lordaeron Summer\r\n"
      "Max Players:       4\r\nW3E Version:       11\r\nMap Size:          95x95\r\n"
      "Units.Doo version: 7\r\nDoodads (Other):   30\r\n";
  EXPECT_EQ(ReadFile(dir / "info.txt"), RecordHead(maps / "a_good.w3m") + lines + RecordHead(maps / "e_cut.w3m") + cut +
                                            RecordHead(maps / "f_sparse.w3m") + sparse +
                                            RecordHead(maps / "g_good.w3m") + lines);
}

TEST(Pipeline, InfoFileRulesOnTheCommandLine) {
  TempDir dir;
  SampleMap sample;
  sample.pictureSize = 0;
  ASSERT_TRUE(BuildMap(dir / "one.w3m", SampleMapFiles(sample)));
  const std::string record = RecordHead(dir / "one.w3m") + SampleMapLines(sample);
  const fs::path info = dir / "info.txt";
  const std::string map = (dir / "one.w3m").string();

  EXPECT_EQ(RunKorvanel({map, "/i", info.string()}).status, 0);
  EXPECT_EQ(RunKorvanel({"/a", map, "/i", info.string()}).status, 0);
  EXPECT_EQ(ReadFile(info), record + record);

  // Neither /a nor /o: nothing is written, the run goes on without the file.
  ProcessResult neither = RunKorvanel({map, "/i", info.string(), "/m", dir.Path().string()});
  EXPECT_EQ(neither.status, 1);
  EXPECT_EQ(neither.out, "ERROR!\nUnable to create the output file!\nReason:\nunknown.\n");
  EXPECT_TRUE(fs::exists(dir / "one.jpg") == false);  // the sample has no picture
  EXPECT_EQ(ReadFile(info), record + record);

  EXPECT_EQ(RunKorvanel({map, "/o", "/i", info.string()}).status, 0);
  EXPECT_EQ(ReadFile(info), record);

  // A switch without its value is a mistake, and nothing is created for it.
  for (auto last : {"/i", "/m"}) {
    ProcessResult noValue = RunKorvanel({map, "/o", last}, {}, {.folder = dir.Path()});
    EXPECT_EQ(noValue.status, kExitUsage);
    EXPECT_EQ(noValue.out, kUsageText);
  }
  EXPECT_EQ(std::distance(fs::directory_iterator(dir.Path()), fs::directory_iterator()), 2);
  EXPECT_EQ(ReadFile(info), record);

  // A map is never the info file: not the one being read, under any name,
  // nor any file named like a map. Nothing is emptied; the run goes on.
  const std::string mapBytes = ReadFile(map);
  fs::create_hard_link(map, dir / "alias.txt");
  WriteFile(dir / "other.W3X", "another map");
  const std::string unknown = "ERROR!\nUnable to create the output file!\nReason:\nunknown.\n";
  for (const auto& [target, reason] : std::vector<std::pair<fs::path, std::string>>{
           {map, "The file is the map this run reads.\n"},
           {dir / "alias.txt", "The file is the map this run reads.\n"},
           {dir / "other.W3X", "The name is a map's (.w3m or .w3x), not an info file's.\n"}}) {
    ProcessResult refused = RunKorvanel({map, "/i", target.string(), "/o"});
    EXPECT_EQ(refused.status, 1);
    EXPECT_EQ(refused.out, "ERROR!\nUnable to create the output file!\nReason:\n" + reason + unknown);
  }
  EXPECT_EQ(ReadFile(map), mapBytes);
  EXPECT_EQ(ReadFile(dir / "other.W3X"), "another map");

  // A map named relative to the current folder is recorded as given.
  const fs::path old = fs::current_path();
  fs::current_path(dir.Path());
  ProcessResult relative = RunKorvanel({"one.w3m", "/o", "/i", "info.txt"});
  fs::current_path(old);
  EXPECT_EQ(relative.status, 0);
  EXPECT_EQ(ReadFile(info), RecordHead("one.w3m") + SampleMapLines(sample));

  // Neither output asked for: every map is opened and closed, nothing written.
  ProcessResult quiet = RunKorvanel({dir.Path().string()});
  EXPECT_EQ(quiet.status, 0);
  EXPECT_EQ(quiet.out, "");
}

// Names may begin or end with blanks on Linux: the source is taken as typed
// when it exists, else trimmed, and what is checked is what is walked.
TEST(Pipeline, TheFolderCheckedIsTheFolderWalked) {
  TempDir dir;
  SampleMap sample;
  sample.pictureSize = 0;
  fs::create_directory(dir / "tr ");
  fs::create_directory(dir / "tr");
  ASSERT_TRUE(BuildMap(dir / "tr " / "blank.w3m", SampleMapFiles(sample)));
  ASSERT_TRUE(BuildMap(dir / "tr" / "plain.w3m", SampleMapFiles(sample)));
  const std::string lines = SampleMapLines(sample);

  EXPECT_EQ(RunKorvanel({"tr ", "/i", "a.txt"}, {}, {.folder = dir.Path()}).status, 0);
  EXPECT_EQ(ReadFile(dir / "a.txt"), RecordHead(dir / "tr " / "blank.w3m") + lines);
  EXPECT_EQ(RunKorvanel({" tr", "/i", "b.txt"}, {}, {.folder = dir.Path()}).status, 0);
  EXPECT_EQ(ReadFile(dir / "b.txt"), RecordHead(dir / "tr" / "plain.w3m") + lines);

  ProcessResult missing = RunKorvanel({" nosuch "}, {}, {.folder = dir.Path()});
  EXPECT_EQ(missing.status, 1);
  EXPECT_EQ(missing.out, "ERROR!\nUnable to open the map file :\nnosuch\n");
  EXPECT_EQ(missing.err, "korvanel: nosuch: No such file or directory\n");
}

TEST(Pipeline, TheProgramNeverWritesToAMap) {
  KVL_REQUIRE_FIXTURE(roc, "maps/smallest_roc.w3m");
  TempDir dir;
  fs::copy_file(roc, dir / "m.w3m");
  fs::permissions(dir / "m.w3m", fs::perms::owner_read);
  const auto before = fs::last_write_time(dir / "m.w3m");
  ProcessResult r = RunKorvanel({(dir / "m.w3m").string(), "/i", (dir / "info.txt").string()});
  EXPECT_EQ(r.status, 0) << r.out;
  EXPECT_EQ(ReadFile(dir / "m.w3m"), ReadFile(roc));
  EXPECT_EQ(fs::last_write_time(dir / "m.w3m"), before);
}

}  // namespace korvanel::test

#include <csignal>
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>

#include <chrono>
#include <sstream>

#include "app/run_context.h"
#include "archive/work_file.h"

namespace korvanel::test {

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
  ScopedEnv tmp("TMPDIR", dir.Path().string());
  WorkFile work;
  ASSERT_EQ(work.Create(), 0);
  // The same file under the same number, but open for writing only: every
  // map is extracted into it and every read of it fails.
  File writeOnly(::open(work.Path().c_str(), O_WRONLY | O_CLOEXEC));
  ASSERT_EQ(::dup3(writeOnly.Descriptor(), work.Handle().Descriptor(), O_CLOEXEC), work.Handle().Descriptor());
  MapArchive archive(work);
  ASSERT_TRUE(LoadArchiveLibrary(archive));
  RecordingReporter reporter;
  RunContext run(archive, work, reporter);
  run.options.writeInfoFile = true;
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

}  // namespace korvanel::test

namespace korvanel::test {

TEST(Pipeline, OddNamesAndPathsLongerThanTheSystemLimit) {
  TempDir dir;
  SampleMap sample;
  sample.pictureSize = 16;
  const auto files = SampleMapFiles(sample);
  const fs::path maps = dir / "maps 50% \xC3\xA9t\xC3\xA9";
  fs::create_directory(maps);
  const std::vector<std::string> names = {"-dash.w3m", "100% %s %n.w3m", "caf\xC3\xA9 \\ back.w3m", "line\nfeed.w3m"};
  for (const auto& name : names) ASSERT_TRUE(BuildMap(maps / name, files));

  // Nested folders whose full path passes 4096 bytes, made step by step.
  const std::string segment(200, 'd');
  const fs::path old = fs::current_path();
  fs::current_path(maps);
  std::string deep = maps.string();
  for (int i = 0; i < 24; ++i) {
    fs::create_directory(segment);
    fs::current_path(segment);
    deep += "/" + segment;
  }
  ASSERT_TRUE(BuildMap("deep.w3m", files));
  fs::current_path(old);
  deep += "/deep.w3m";
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

}  // namespace korvanel::test

namespace korvanel::test {

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

}  // namespace korvanel::test

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
