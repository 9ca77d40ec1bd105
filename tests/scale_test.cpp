// Inputs far larger than real maps: a folder of 20,000 entries, a tree 300
// folders deep, and script and trigger-string files of 64 MiB. They must be
// handled without trouble and in time that grows linearly with their size.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <malloc.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <functional>
#include <iostream>
#include <memory>
#include <string>
#include <vector>

#include "map_builder.h"
#include "parsers/script_scan.h"
#include "parsers/trigger_strings.h"
#include "sample_maps.h"
#include "test_support.h"

namespace korvanel::test {
namespace {

using namespace std::string_literals;

constexpr std::size_t kMiB = 1024 * 1024;
// Linear time makes four times the input take four times as long; twice
// that would mean worse than linear. Kept below it with room for noise.
constexpr double kMaxRatio = 10.0;

// Small inputs could stay in the processor's caches and large ones not;
// every run starts from memory instead.
void EvictCaches() {
  static std::vector<char> scratch(64 * kMiB);
  static char value = 0;
  std::fill(scratch.begin(), scratch.end(), ++value);
}

// The shortest of three runs, which is the least disturbed by other work.
double Seconds(const std::function<void()>& work) {
  double best = 1e9;
  for (int i = 0; i < 3; ++i) {
    EvictCaches();
    const auto start = std::chrono::steady_clock::now();
    work();
    best = std::min(best, std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
  }
  return best;
}

// The C library hands out blocks above 32 MiB as fresh pages each time and
// reuses smaller ones; that difference would be measured instead of the
// code. Keeps every block in the one heap.
void UseOneHeapForAllSizes() {
  ::mallopt(M_MMAP_THRESHOLD, 1 << 30);
  ::mallopt(M_TRIM_THRESHOLD, 1 << 30);
}

// Times `work` on an input of 16 MiB and one of 64 MiB built by `make`;
// `check` looks at the result for each, untimed.
template <typename Result>
void ExpectLinear(const char* what, const std::function<std::string(std::size_t)>& make,
                  const std::function<Result(const std::string&)>& work,
                  const std::function<void(const std::string&, const Result&)>& check) {
  const std::string small = make(16 * kMiB), large = make(64 * kMiB);
  Result result{};
  const double t16 = Seconds([&] { result = work(small); });
  check(small, result);
  const double t64 = Seconds([&] { result = work(large); });
  check(large, result);
  std::cout << "[   NOTE   ] " << what << ": 16 MiB " << t16 << " s, 64 MiB " << t64 << " s\n";
  // Times of a few milliseconds are mostly noise; a quadratic scan would
  // take seconds here.
  EXPECT_LT(t64, kMaxRatio * std::max(t16, 0.01)) << what;
}

// `unit` repeated to `size` bytes, then `tail`.
std::string Repeat(std::string_view unit, std::size_t size, std::string_view tail = "") {
  std::string s;
  s.reserve(size + tail.size());
  while (s.size() + unit.size() <= size) s += unit;
  s += tail;
  return s;
}

const std::string kFunctionHead = "function CreateUnitsForPlayer0 takes nothing returns nothing\r\n";

}  // namespace

TEST(Scale, AFolderOf20000EntriesIsWalkedInNameOrder) {
  TempDir dir;
  const fs::path folder = dir / "many";
  fs::create_directory(folder);
  SampleMap sample;
  sample.pictureSize = 0;
  ASSERT_TRUE(BuildMap(dir / "one.w3m", SampleMapFiles(sample)));
  const std::string map = ReadFile(dir / "one.w3m");

  // Maps among other entries, their names differing in letter case.
  std::vector<std::string> expected;
  for (int i = 0; i < 20000; ++i) {
    char name[32];
    const bool isMap = i % 400 == 7;
    std::snprintf(name, sizeof name, "%s%05d%s", i % 2 ? "E" : "e", i, isMap ? (i % 3 ? ".w3m" : ".W3M") : ".txt");
    if (isMap) {
      WriteFile(folder / name, map);
      expected.push_back((folder / name).string());
    } else {
      const int fd = ::open((folder / name).c_str(), O_WRONLY | O_CREAT | O_EXCL, 0644);
      ASSERT_GE(fd, 0);
      ::close(fd);
    }
  }
  ASSERT_EQ(expected.size(), 50u);

  ProcessResult r = RunKorvanel({folder.string(), "/i", (dir / "info.txt").string()});
  EXPECT_EQ(r.status, 0) << r.out;
  EXPECT_EQ(r.out, "");
  std::string records;
  for (const std::string& path : expected) records += RecordHead(path) + SampleMapLines(sample);
  EXPECT_EQ(ReadFile(dir / "info.txt"), records);
  std::cout << "[   NOTE   ] peak memory " << r.maxResidentKiB << " KiB\n";
  EXPECT_LT(r.maxResidentKiB, 256 * 1024);
}

TEST(Scale, ATree300FoldersDeepIsWalkedWithASmallStack) {
  TempDir dir;
  SampleMap sample;
  sample.pictureSize = 0;
  ASSERT_TRUE(BuildMap(dir / "one.w3m", SampleMapFiles(sample)));
  const std::string map = ReadFile(dir / "one.w3m");

  // Long folder names take the full path past the system's limit too, so
  // the tree is made through descriptors.
  std::string path = (dir / "tree").string();
  fs::create_directory(path);
  int fd = ::open(path.c_str(), O_RDONLY | O_DIRECTORY);
  ASSERT_GE(fd, 0);
  std::vector<std::string> expected;
  auto putMap = [&](int at, const std::string& name) {
    const int out = ::openat(at, name.c_str(), O_WRONLY | O_CREAT | O_EXCL, 0644);
    ASSERT_GE(out, 0);
    ASSERT_EQ(::write(out, map.data(), map.size()), static_cast<ssize_t>(map.size()));
    ::close(out);
    expected.push_back(path + "/" + name);
  };
  for (int level = 1; level <= 300; ++level) {
    char name[32];
    std::snprintf(name, sizeof name, "level %03d of the tree", level);
    ASSERT_EQ(::mkdirat(fd, name, 0755), 0);
    const int next = ::openat(fd, name, O_RDONLY | O_DIRECTORY);
    ::close(fd);
    ASSERT_GE(next, 0);
    fd = next;
    path += std::string("/") + name;
    if (level == 150) putMap(fd, "middle.w3m");
  }
  putMap(fd, "bottom.w3m");
  ::close(fd);
  ASSERT_GT(path.size(), 4096u);

  // A small stack for the program: the walk must not need one frame of any
  // size per level.
  struct rlimit saved {};
  ::getrlimit(RLIMIT_STACK, &saved);
#if defined(__SANITIZE_ADDRESS__)
  struct rlimit small {4 * kMiB, saved.rlim_max};
#else
  struct rlimit small {512 * 1024, saved.rlim_max};
#endif
  ::setrlimit(RLIMIT_STACK, &small);
  ProcessResult r = RunKorvanel({(dir / "tree").string(), "/s", "/i", (dir / "info.txt").string()});
  ::setrlimit(RLIMIT_STACK, &saved);
  EXPECT_EQ(r.status, 0) << r.out;
  EXPECT_EQ(r.out, "");
  std::string records;
  for (const std::string& p : expected) records += RecordHead(p) + SampleMapLines(sample);
  EXPECT_EQ(ReadFile(dir / "info.txt"), records);
}

using Table = std::shared_ptr<TriggerStringTable>;

std::string Scan(const std::string& script) {
  ScriptFacts facts;
  CollectingWriter out;
  EXPECT_TRUE(ScanScript(Bytes(script), facts, out));
  return out.Text();
}

Table Parse(const std::string& wts) {
  auto table = std::make_shared<TriggerStringTable>();
  EXPECT_TRUE(ParseTriggerStrings(Bytes(wts), *table));
  return table;
}

TEST(Scale, ScriptScanTakesTimeLinearInItsInput) {
  UseOneHeapForAllSizes();
  // One line holding the whole script.
  ExpectLinear<std::string>(
      "script, one long line",
      [](std::size_t size) {
        return kFunctionHead + Repeat("x CreateUnit 'ngol' SetResourceAmount function CreateUnitsForPlayer ", size, "\r\nendfunction\r\n");
      },
      Scan, [](const std::string&, const std::string& out) { EXPECT_EQ(out, "Player 00 Units:   1\r\n"); });
  // The same with no line end at all: no line, nothing found.
  ExpectLinear<std::string>(
      "script, no line end", [](std::size_t size) { return "//   Date: " + Repeat("function  CreateUnitsForPlayer1 ", size); },
      Scan, [](const std::string&, const std::string& out) { EXPECT_EQ(out, ""); });
  // Millions of lines in one unit function that never ends, NULs among them.
  static const std::string kUnitLine = "    set u = CreateUnit( p, 'hfoo', 1.0 )\r\n\0\n"s;
  ExpectLinear<std::string>(
      "script, many lines", [](std::size_t size) { return kFunctionHead + Repeat(kUnitLine, size); }, Scan,
      [](const std::string& script, const std::string& out) {
        const std::size_t lines = (script.size() - kFunctionHead.size()) / kUnitLine.size();
        EXPECT_EQ(out, "Player 00 Units:   " + std::to_string(lines) + "\r\n");
      });
}

TEST(Scale, TriggerStringsTakeTimeLinearInTheirInput) {
  UseOneHeapForAllSizes();
  // One entry holding nearly the whole file; its trailing blank is trimmed.
  static const std::string kText = "text STRING 2 { ";
  ExpectLinear<Table>(
      "trigger strings, one huge entry",
      [](std::size_t size) { return "STRING 1\r\n{\r\n" + Repeat(kText, size, "\r\n}\r\n"); }, Parse,
      [](const std::string& wts, const Table& table) {
        EXPECT_EQ(table->Size(), 1u);
        const std::string text = table->Lookup(1);
        EXPECT_EQ(text.size(), wts.size() - 19);
        EXPECT_TRUE(text.starts_with(kText) && text.ends_with("text STRING 2 {"));
      });
  // Millions of small entries.
  static const std::string kEntry = "STRING 7\r\n{\r\ntext\r\n}\r\n";
  ExpectLinear<Table>(
      "trigger strings, many entries", [](std::size_t size) { return Repeat(kEntry, size); }, Parse,
      [](const std::string& wts, const Table& table) {
        EXPECT_EQ(table->Size(), wts.size() / kEntry.size());
        EXPECT_EQ(table->Lookup(7), "text");
      });
  // Keywords without braces, then one entry that never closes.
  ExpectLinear<Table>(
      "trigger strings, no braces",
      [](std::size_t size) { return Repeat("STRINGstring 12 STRING x ", size, "\r\n}\r\nSTRING 3\r\n{\r\nopen"); }, Parse,
      [](const std::string&, const Table& table) { EXPECT_EQ(table->Lookup(3), "open"); });
}

TEST(Scale, MapsWithHugeScriptsAndTriggerStringsTakeLinearTime) {
  TempDir dir;
  SampleMap sample;
  sample.pictureSize = 0;
  const auto files = SampleMapFiles(sample);
  const std::string script = SampleScript(sample);
  const fs::path info = dir / "info.txt";
  auto run = [&](const std::string& map) { return RunKorvanel({map, "/i", info.string(), "/o"}); };

  // The script's last function holds one very long line.
  ExpectLinear<ProcessResult>(
      "map with a huge script",
      [&](std::size_t size) {
        const fs::path map = dir / ("script" + std::to_string(size / kMiB) + ".w3m");
        auto withScript = files;
        for (auto& f : withScript)
          if (f.name == "war3map.j")
            f.bytes = script + "function Filler takes nothing returns nothing\r\n" +
                      Repeat("call DoNothing() ", size - script.size(), "\r\nendfunction\r\n");
        EXPECT_TRUE(BuildMap(map, withScript));
        return map.string();
      },
      run,
      [&](const std::string& map, const ProcessResult& r) {
        EXPECT_EQ(r.status, 0) << r.out;
        EXPECT_EQ(ReadFile(info), RecordHead(map) + SampleMapLines(sample));
      });

  // The description is a trigger string that fills the file.
  const std::string unit = "Long text. ";
  ExpectLinear<ProcessResult>(
      "map with huge trigger strings",
      [&](std::size_t size) {
        const fs::path map = dir / ("strings" + std::to_string(size / kMiB) + ".w3m");
        auto withStrings = files;
        for (auto& f : withStrings)
          if (f.name == "war3map.wts")
            f.bytes = "STRING 1\r\n{\r\n" + sample.name + "\r\n}\r\nSTRING 2\r\n{\r\n" + sample.author +
                      "\r\n}\r\nSTRING 4\r\n{\r\n" + sample.players + "\r\n}\r\nSTRING 3\r\n{\r\n" +
                      Repeat(unit, size) + "\r\n}\r\n";
        EXPECT_TRUE(BuildMap(map, withStrings));
        return map.string();
      },
      run,
      [&](const std::string& map, const ProcessResult& r) {
        EXPECT_EQ(r.status, 0) << r.out;
        SampleMap described = sample;
        described.description = Repeat(unit, (map.find("strings64") != std::string::npos ? 64 : 16) * kMiB);
        described.description.pop_back();  // the trailing blank is trimmed
        EXPECT_TRUE(ReadFile(info) == RecordHead(map) + SampleMapLines(described)) << "record of " << map;
      });
}

}  // namespace korvanel::test
