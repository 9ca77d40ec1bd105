// What a run touches besides its own outputs: nothing. Maps keep their bytes
// and times, an info file appended to keeps what it held (also when the disk
// fills), no picture is replaced, and no work file outlives a run, not even
// one stopped by a signal.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <iostream>
#include <map>
#include <string>
#include <thread>
#include <vector>

#include "fixture_records.h"
#include "map_builder.h"
#include "sample_maps.h"
#include "test_support.h"

namespace korvanel::test {
namespace {

using namespace std::string_literals;

// Enough maps with large pictures that a run lasts a while.
#if defined(__SANITIZE_ADDRESS__)
constexpr int kSlowRunMaps = 150;
#else
constexpr int kSlowRunMaps = 300;
#endif

constexpr std::string_view kWriteFailed = "ERROR!\nAn error occured while trying to write in the output file:\n";

std::string MinimapLine(const fs::path& mini, const fs::path& map) {
  return "Minimap File:      " + mini.string() + "/" + map.stem().string() + ".jpg\r\n";
}

std::size_t Count(const std::string& text, std::string_view what) {
  std::size_t n = 0;
  for (std::size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + what.size())) ++n;
  return n;
}

// All that a run could change about a file without writing its bytes.
struct Snapshot {
  std::string bytes;
  struct stat st {};

  explicit Snapshot(const fs::path& path) : bytes(ReadFile(path)) { EXPECT_EQ(::lstat(path.c_str(), &st), 0) << path; }
  bool operator==(const Snapshot& o) const {
    return bytes == o.bytes && st.st_mode == o.st.st_mode && st.st_size == o.st.st_size && st.st_ino == o.st.st_ino &&
           st.st_mtim.tv_sec == o.st.st_mtim.tv_sec && st.st_mtim.tv_nsec == o.st.st_mtim.tv_nsec &&
           st.st_ctim.tv_sec == o.st.st_ctim.tv_sec && st.st_ctim.tv_nsec == o.st.st_ctim.tv_nsec;
  }
};

std::map<std::string, Snapshot> SnapshotTree(const fs::path& root) {
  std::map<std::string, Snapshot> all;
  for (const auto& e : fs::recursive_directory_iterator(root))
    if (e.is_regular_file()) all.emplace(e.path().string(), Snapshot(e.path()));
  return all;
}

std::vector<std::string> WorkFilesIn(const fs::path& dir) {
  std::vector<std::string> names;
  for (const auto& e : fs::directory_iterator(dir))
    if (e.path().filename().string().starts_with("~KVL")) names.push_back(e.path().filename().string());
  return names;
}

// A complete JPEG stream: begins with its start marker and ends with its end
// marker, so nothing was cut off while it was written.
bool IsWholeJpeg(const std::string& bytes) {
  return bytes.size() > 4 && bytes.starts_with("\xFF\xD8") && bytes.ends_with("\xFF\xD9");
}

void ExpectOnlyWholePictures(const fs::path& dir) {
  for (const auto& e : fs::directory_iterator(dir)) {
    if (e.path().extension() != ".jpg") continue;
    EXPECT_TRUE(IsWholeJpeg(ReadFile(e.path()))) << "broken picture left: " << e.path();
  }
}

bool HasEmptyFile(const fs::path& dir) {
  std::error_code ec;
  for (fs::directory_iterator it(dir, ec), end; !ec && it != end; it.increment(ec)) {
    std::error_code sizeError;
    if (fs::file_size(it->path(), sizeError) == 0 && !sizeError) return true;
  }
  return false;
}

// `count` copies of one sample map, m000.w3m and on, in `dir`.
std::vector<fs::path> SampleMaps(const fs::path& dir, const SampleMap& sample, int count) {
  fs::create_directories(dir);
  std::vector<fs::path> paths;
  for (int i = 0; i < count; ++i) {
    char name[16];
    std::snprintf(name, sizeof name, "m%03d.w3m", i);
    paths.push_back(dir / name);
    if (i == 0) {
      EXPECT_TRUE(BuildMap(paths[0], SampleMapFiles(sample)));
    } else {
      fs::copy_file(paths[0], paths.back());
    }
  }
  return paths;
}

// Whether the child `pid` has ended, leaving it to be waited for.
bool HasEnded(pid_t pid) {
  siginfo_t info{};
  return ::waitid(P_PID, static_cast<id_t>(pid), &info, WEXITED | WNOHANG | WNOWAIT) == 0 && info.si_pid == pid;
}

// Waits (a minute at most) until `file` holds `bytes` or the process
// `pid` has ended (it is left to be waited for).
void WaitForSize(const fs::path& file, std::uintmax_t bytes, pid_t pid) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
  auto written = [&] {
    std::error_code ec;
    const std::uintmax_t size = fs::file_size(file, ec);
    return ec ? 0 : size;
  };
  while (written() < bytes && !HasEnded(pid) && std::chrono::steady_clock::now() < deadline)
    std::this_thread::sleep_for(std::chrono::microseconds(500));
}

// The folders of one run over `paths`, apart for each `tag`, and the info
// text the whole run writes.
struct RunFolders {
  fs::path tmp, mini, info;
  std::string all;
};
RunFolders FoldersOfRun(const fs::path& dir, int tag, const std::vector<fs::path>& paths, const SampleMap& sample) {
  const std::string t = std::to_string(tag);
  RunFolders run{dir / ("tmp" + t), dir / ("mini" + t), dir / ("info" + t + ".txt"), {}};
  fs::create_directories(run.tmp);
  fs::create_directories(run.mini);
  for (const fs::path& p : paths) run.all += RecordHead(p) + MinimapLine(run.mini, p) + SampleMapLines(sample);
  return run;
}

// The exit status as RunKorvanel gives it.
int Status(int waitStatus) {
  return WIFEXITED(waitStatus) ? WEXITSTATUS(waitStatus) : 128 + WTERMSIG(waitStatus);
}

// A small file system of its own, for a disk that fills; unmounted with
// the object.
class SmallDisk {
 public:
  SmallDisk(const fs::path& at, const char* size) : at_(at) {
    fs::create_directories(at);
    const std::string options = std::string("size=") + size;
    mounted_ = ::mount("tmpfs", at.c_str(), "tmpfs", 0, options.c_str()) == 0;
    if (!mounted_) error_ = errno;
  }
  ~SmallDisk() {
    if (mounted_) ::umount2(at_.c_str(), MNT_DETACH);
  }
  bool Mounted() const { return mounted_; }
  std::string Why() const { return std::strerror(error_); }

 private:
  fs::path at_;
  bool mounted_ = false;
  int error_ = 0;
};

// Fills the file system holding `dir` up to `leave` free bytes.
void FillUpTo(const fs::path& dir, std::uintmax_t leave) {
  const std::uintmax_t free = fs::space(dir).available;
  if (free > leave) WriteFile(dir / "filler", std::string(free - leave, 'f'));
}

}  // namespace

TEST(NothingLost, MapsKeepTheirBytesAndTimes) {
  TempDir dir;
  const fs::path maps = dir / "maps";
  fs::create_directories(maps / "sub");
  fs::create_directories(dir / "mini");
  SampleMap sample;
  sample.pictureSize = 64;
  ASSERT_TRUE(BuildMap(maps / "a.w3m", SampleMapFiles(sample)));
  ASSERT_TRUE(BuildMap(maps / "sub" / "b.W3M", SampleMapFiles(sample)));
  const std::string whole = ReadFile(maps / "a.w3m");
  WriteFile(maps / "cut.w3m", whole.substr(0, 16));
  WriteFile(maps / "not a map.w3m", "plain text");
  fs::copy_file(maps / "a.w3m", maps / "read-only.w3m");
  fs::permissions(maps / "read-only.w3m", fs::perms::owner_read | fs::perms::group_read);
  const fs::path fixtures = FixturesDir();
  for (const char* name : {"maps/smallest_roc.w3m", "maps/small_tft.w3x"}) {
    if (fixtures.empty() || !fs::exists(fixtures / name)) {
      std::cout << "[   NOTE   ] fixture " << name << " not found; skipped\n";
      continue;
    }
    const fs::path copy = maps / (fs::path(name).stem().string() + ".w3m");
    fs::copy_file(fixtures / name, copy);
    fs::permissions(copy, fs::perms::owner_read);
  }
  // Times that a rewrite would not reproduce by chance.
  for (const auto& e : fs::recursive_directory_iterator(maps))
    if (e.is_regular_file()) fs::last_write_time(e.path(), fs::file_time_type::clock::now() - std::chrono::hours(5000));
  fs::permissions(maps / "sub", fs::perms::owner_read | fs::perms::owner_exec);

  const auto before = SnapshotTree(maps);
  ASSERT_GE(before.size(), 5u);
  ProcessResult walk = RunKorvanel({maps.string(), "/s", "/i", (dir / "info.txt").string(), "/m", (dir / "mini").string()});
  EXPECT_EQ(walk.status, 1) << walk.out;  // two maps cannot be opened
  EXPECT_EQ(Count(walk.out, "Unable to open the map file"), 2u) << walk.out;
  ProcessResult single = RunKorvanel({(maps / "read-only.w3m").string(), "/i", (dir / "info.txt").string(), "/a"});
  EXPECT_EQ(single.status, 0) << single.out;
  EXPECT_EQ(Count(ReadFile(dir / "info.txt"), "Map File Name:"), before.size() - 1);
  const auto after = SnapshotTree(maps);
  EXPECT_EQ(after.size(), before.size());
  for (const auto& [path, snapshot] : before) {
    ASSERT_TRUE(after.contains(path)) << path;
    EXPECT_TRUE(after.at(path) == snapshot) << "changed: " << path;
  }
}

TEST(NothingLost, AnAppendedInfoFileKeepsItsEarlierContent) {
  TempDir dir;
  const fs::path maps = dir / "maps";
  fs::create_directories(maps);
  SampleMap sample;
  sample.pictureSize = 0;
  sample.description = std::string(1500, 'd');  // long records fill a disk sooner
  ASSERT_TRUE(BuildMap(maps / "m000.w3m", SampleMapFiles(sample)));
  const std::string map = ReadFile(maps / "m000.w3m");
  std::string records;
  for (int i = 0; i < 60; ++i) {
    char name[16];
    std::snprintf(name, sizeof name, "m%03d.w3m", i);
    if (i > 0) WriteFile(maps / name, map);
    records += RecordHead(maps / name) + SampleMapLines(sample);
  }
  // Earlier content of any kind: no final line end, lone CR, NUL, bytes
  // that are no text.
  std::string earlier = "old record\r\nlone CR\r and NUL \0 here"s;
  for (int i = 0; i < 4096; ++i) earlier += static_cast<char>(i * 7 % 256);

  const fs::path info = dir / "info.txt";
  WriteFile(info, earlier);
  ProcessResult r = RunKorvanel({maps.string(), "/i", info.string(), "/a"});
  EXPECT_EQ(r.status, 0) << r.out;
  EXPECT_EQ(ReadFile(info), earlier + records);
  r = RunKorvanel({maps.string(), "/a", "/o", "/i", info.string()});
  EXPECT_EQ(r.status, 0) << r.out;
  EXPECT_EQ(ReadFile(info), earlier + records + records);

  // The disk fills during the run: the run completes, says so once, and the
  // file holds its earlier content and then a prefix of the new records.
  const fs::path disk = dir / "disk";
  SmallDisk small(disk, "256k");
  if (!small.Mounted()) {
    std::cout << "[   NOTE   ] cannot mount a small file system (" << small.Why() << "); the full-disk part is skipped\n";
  } else {
    const std::string big = earlier + std::string(200 * 1024, 'x');
    WriteFile(disk / "info.txt", big);
    r = RunKorvanel({maps.string(), "/i", (disk / "info.txt").string(), "/a"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, std::string(kWriteFailed) + "No space left on device.\n");
    EXPECT_EQ(r.err, "korvanel: cannot write the info file " + (disk / "info.txt").string() +
                         ": No space left on device; it ends with the last record written whole\n");
    const std::string now = ReadFile(disk / "info.txt");
    ASSERT_GE(now.size(), big.size());
    EXPECT_EQ(now.substr(0, big.size()), big);
    const std::string added = now.substr(big.size());
    EXPECT_LT(added.size(), records.size());
    EXPECT_EQ(added, records.substr(0, added.size()));
    EXPECT_EQ(records.compare(added.size(), kRecordStart.size(), kRecordStart), 0) << "cut inside a record";

    // The work file on a full disk: extraction fails once, reported once,
    // and the file is gone afterwards.
    fs::remove(disk / "info.txt");
    fs::create_directory(disk / "tmp");
    FillUpTo(disk, 0);
    r = RunKorvanel({maps.string(), "/i", (dir / "info2.txt").string()}, {"TMPDIR=" + (disk / "tmp").string()});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, "ERROR!\nError extracting a file from the map file (.w3m).\nReason:\nNo space left on device.\n");
    EXPECT_TRUE(WorkFilesIn(disk / "tmp").empty());
  }

  // A device that is always full.
  if (fs::exists("/dev/full")) {
    r = RunKorvanel({maps.string(), "/i", "/dev/full", "/o"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, std::string(kWriteFailed) + "No space left on device.\n");
    EXPECT_EQ(r.err, "korvanel: cannot write the info file /dev/full: No space left on device; it ends with the last record written whole\n");
  }
}

TEST(NothingLost, PicturesAreNeverReplacedAndNoBrokenOneIsLeft) {
  TempDir dir;
  const fs::path maps = dir / "maps", mini = dir / "mini";
  fs::create_directories(maps);
  fs::create_directories(mini);
  SampleMap sample;
  sample.pictureSize = 64;
  for (const char* name : {"file", "dangling", "link", "folder", "new"})
    ASSERT_TRUE(BuildMap(maps / (std::string(name) + ".w3m"), SampleMapFiles(sample)));
  WriteFile(mini / "file.jpg", "someone's picture");
  fs::create_symlink(dir / "elsewhere" / "dangling.jpg", mini / "dangling.jpg");
  WriteFile(dir / "kept.jpg", "kept");
  fs::create_symlink(dir / "kept.jpg", mini / "link.jpg");
  fs::create_directory(mini / "folder.jpg");

  ProcessResult r = RunKorvanel({maps.string(), "/m", mini.string(), "/i", (dir / "info.txt").string()});
  EXPECT_EQ(r.status, 0) << r.out;
  std::string expectedOut;
  for (const char* name : {"dangling", "file", "folder", "link"})
    expectedOut += "ERROR!\nError extracting " + mini.string() + "/" + name + ".jpg!\nFile already exists (not overwritten).";
  EXPECT_EQ(r.out, expectedOut);
  EXPECT_EQ(ReadFile(mini / "file.jpg"), "someone's picture");
  EXPECT_EQ(fs::read_symlink(mini / "dangling.jpg"), dir / "elsewhere" / "dangling.jpg");
  EXPECT_FALSE(fs::exists(dir / "elsewhere"));
  EXPECT_EQ(ReadFile(dir / "kept.jpg"), "kept");
  EXPECT_TRUE(fs::is_directory(mini / "folder.jpg") && fs::is_empty(mini / "folder.jpg"));
  const std::string info = ReadFile(dir / "info.txt");
  EXPECT_EQ(Count(info, "Minimap File:"), 1u);
  EXPECT_NE(info.find(MinimapLine(mini, maps / "new.w3m")), std::string::npos);
  const std::string picture = ReadFile(mini / "new.jpg");
  EXPECT_TRUE(IsWholeJpeg(picture));

  // A second run replaces nothing, the new picture included.
  r = RunKorvanel({maps.string(), "/m", mini.string()});
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(Count(r.out, "File already exists (not overwritten)."), 5u);
  EXPECT_EQ(ReadFile(mini / "new.jpg"), picture);

  // Pictures on a disk that fills: each one written is whole, each failed
  // one is gone, and the record names exactly those written.
  SmallDisk small(dir / "disk", "256k");
  if (!small.Mounted()) {
    std::cout << "[   NOTE   ] cannot mount a small file system (" << small.Why() << "); the full-disk part is skipped\n";
    return;
  }
  sample.pictureSize = 256;
  fs::create_directories(dir / "big");
  ASSERT_TRUE(BuildMap(dir / "big" / "b0.w3m", SampleMapFiles(sample)));
  for (int i = 1; i < 12; ++i) fs::copy_file(dir / "big" / "b0.w3m", dir / "big" / ("b" + std::to_string(i) + ".w3m"));
  FillUpTo(dir / "disk", 40 * 1024);
  r = RunKorvanel({(dir / "big").string(), "/m", (dir / "disk").string(), "/i", (dir / "info3.txt").string()});
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.out.find("ERROR!\n"), std::string::npos);
  ExpectOnlyWholePictures(dir / "disk");
  std::size_t pictures = 0;
  for (const auto& e : fs::directory_iterator(dir / "disk")) {
    if (e.path().extension() != ".jpg") continue;
    ++pictures;
    EXPECT_NE(ReadFile(dir / "info3.txt").find("Minimap File:      " + e.path().string() + "\r\n"), std::string::npos);
  }
  EXPECT_EQ(Count(ReadFile(dir / "info3.txt"), "Minimap File:"), pictures);
  EXPECT_GT(pictures, 0u);
  EXPECT_LT(pictures, 12u);
}

TEST(NothingLost, NoWorkFileOutlivesARunEvenOneStoppedBySignal) {
  TempDir dir;
  const fs::path maps = dir / "maps";
  fs::create_directories(maps);
  SampleMap sample;
  sample.pictureSize = 512;  // a slow conversion: a signal often arrives during one
  const std::vector<fs::path> paths = SampleMaps(maps, sample, kSlowRunMaps);

  // A whole run.
  fs::create_directories(dir / "tmp0");
  fs::create_directories(dir / "mini0");
  ProcessResult r = RunKorvanel({(maps / "m000.w3m").string(), "/i", (dir / "info0.txt").string(), "/m",
                                 (dir / "mini0").string()},
                                {"TMPDIR=" + (dir / "tmp0").string()});
  EXPECT_EQ(r.status, 0) << r.out;
  EXPECT_TRUE(WorkFilesIn(dir / "tmp0").empty());

  for (int signal : {SIGINT, SIGTERM}) {
    SCOPED_TRACE(signal == SIGINT ? "SIGINT" : "SIGTERM");
    const auto [tmp, mini, info, all] = FoldersOfRun(dir.Path(), signal, paths, sample);

    pid_t pid = StartKorvanel({maps.string(), "/i", info.string(), "/m", mini.string()}, {"TMPDIR=" + tmp.string()});
    ASSERT_GT(pid, 0);
    // Stopped once a few records are written, well before the end.
    WaitForSize(info, 3 * all.size() / kSlowRunMaps, pid);
    // Then, when it can be caught, the moment a picture file is created and
    // not yet written (only where pictures cannot be written unnamed; the
    // wait is short, as a run is quick).
    const auto soon = std::chrono::steady_clock::now() + std::chrono::milliseconds(50);
    while (!HasEmptyFile(mini) && std::chrono::steady_clock::now() < soon)
      std::this_thread::sleep_for(std::chrono::microseconds(50));
    int status = 0;
    ASSERT_EQ(::waitpid(pid, &status, WNOHANG), 0) << "the run ended before it could be stopped";
    ASSERT_EQ(::kill(pid, signal), 0);
    ASSERT_EQ(::waitpid(pid, &status, 0), pid);
    EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == signal) << status;

    EXPECT_TRUE(WorkFilesIn(tmp).empty());
    const std::string text = ReadFile(info);
    EXPECT_GT(text.size(), 0u);
    EXPECT_LT(text.size(), all.size());
    EXPECT_EQ(text, all.substr(0, text.size()));
    // A picture cut off by the signal would block every later run from
    // writing it ("File already exists").
    ExpectOnlyWholePictures(mini);
  }
}

TEST(NothingLost, SignalsIgnoredAtStartStayIgnored) {
  TempDir dir;
  SampleMap sample;
  sample.pictureSize = 512;
  const std::vector<fs::path> paths = SampleMaps(dir / "maps", sample, kSlowRunMaps);
  // As after `nohup korvanel ... &` and a logout, or a run started with
  // Ctrl+C ignored: the signal reaches the run and its worker, and neither
  // stops.
  for (int signal : {SIGHUP, SIGINT}) {
    SCOPED_TRACE(signal == SIGHUP ? "SIGHUP" : "SIGINT");
    const auto [tmp, mini, info, all] = FoldersOfRun(dir.Path(), signal, paths, sample);
    const pid_t pid = StartKorvanel({(dir / "maps").string(), "/i", info.string(), "/m", mini.string()},
                                    {"TMPDIR=" + tmp.string()}, {.ignoring = {signal}, .ownProcessGroup = true});
    ASSERT_GT(pid, 0);
    for (int part = 1; part <= 3; ++part) {
      WaitForSize(info, part * all.size() / 5, pid);
      ::kill(-pid, signal);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(pid, &status, 0), pid);
    EXPECT_EQ(Status(status), 0);
    const std::string text = ReadFile(info);
    EXPECT_EQ(Count(text, "Map File Name:"), paths.size());
    EXPECT_TRUE(text == all);
    EXPECT_TRUE(WorkFilesIn(tmp).empty());
  }
}

TEST(NothingLost, AClosedOutputPipeLeavesNoWorkFile) {
  TempDir dir;
  const fs::path maps = dir / "maps";
  SampleMap sample;
  const std::vector<fs::path> paths = SampleMaps(maps, sample, 20);
  // Sorted first, so its message is written while maps are still to come.
  WriteFile(maps / "a not a map.w3m", "plain text");
  std::string all;
  for (const fs::path& p : paths) all += RecordHead(p) + SampleMapLines(sample);
  fs::create_directories(dir / "tmp");
  const std::string tmp = "TMPDIR=" + (dir / "tmp").string();

  // As `korvanel maps/ | head -0`: the run stops at its first message.
  ProcessResult r = RunKorvanel({maps.string(), "/i", (dir / "info.txt").string()}, {tmp}, {.ignoring = {}, .outputClosed = true});
  EXPECT_EQ(r.status, 128 + SIGPIPE);
  EXPECT_TRUE(WorkFilesIn(dir / "tmp").empty());

  // With SIGPIPE ignored, the messages are lost and the run goes on.
  r = RunKorvanel({maps.string(), "/i", (dir / "info.txt").string(), "/o"}, {tmp},
                  {.ignoring = {SIGPIPE}, .outputClosed = true});
  EXPECT_EQ(r.status, 1);
  EXPECT_TRUE(ReadFile(dir / "info.txt") == all);
  EXPECT_TRUE(WorkFilesIn(dir / "tmp").empty());
}

// Started with standard input, output or error closed (`<&-`, `>&-`,
// `2>&-`), the run gives none of their numbers to a file of its own: no
// message or diagnostic lands in the info file, the catalogue, a picture,
// the work file or a worker's pipe.
TEST(NothingLost, ClosedStandardDescriptorsAreNoFileOfTheRun) {
  TempDir dir;
  const fs::path maps = dir / "maps", out = dir / "out";
  SampleMap sample;
  SampleMaps(maps, sample, 6);
  WriteFile(maps / "a not a map.w3m", "plain text");           // a message on standard output
  fs::create_symlink(dir / "nowhere", maps / "b gone.w3m");  // a line on standard error
  struct Outputs {
    ProcessResult result;
    std::map<std::string, std::string> files;  // every file written, by name
  };
  auto run = [&](const StartWith& how) {
    fs::remove_all(out);
    fs::create_directories(out / "minimaps");
    Outputs o;
    o.result = RunKorvanel({maps.string(), "/i", (out / "info.txt").string(), "/m", (out / "minimaps").string(),
                            "--json", (out / "maps.jsonl").string()},
                           {}, how);
    for (const fs::directory_entry& e : fs::recursive_directory_iterator(out))
      if (e.is_regular_file()) o.files[fs::relative(e.path(), out).string()] = ReadFile(e.path());
    return o;
  };
  const Outputs open = run({});
  ASSERT_EQ(open.result.status, 1);
  ASSERT_EQ(open.files.size(), 8u);  // the info file, the catalogue and 6 minimaps
  ASSERT_NE(open.result.out, "");
  ASSERT_NE(open.result.err, "");
  for (int fd : {0, 1, 2}) {
    SCOPED_TRACE("descriptor " + std::to_string(fd) + " closed");
    const Outputs closed = run({.closed = {fd}});
    EXPECT_EQ(closed.result.status, 1);
    EXPECT_TRUE(closed.files == open.files);
    EXPECT_EQ(closed.result.out, fd == 1 ? "" : open.result.out);
    EXPECT_EQ(closed.result.err, fd == 2 ? "" : open.result.err);
  }
}

TEST(NothingLost, AKilledRunLeavesNothingThatHarmsTheNext) {
  TempDir dir;
  const fs::path maps = dir / "maps", mini = dir / "mini", tmp = dir / "tmp";
  SampleMap sample;
  sample.pictureSize = 512;
  const std::vector<fs::path> paths = SampleMaps(maps, sample, kSlowRunMaps);
  fs::create_directories(mini);
  fs::create_directories(tmp);
  const std::uintmax_t record = (RecordHead(paths[0]) + MinimapLine(mini, paths[0]) + SampleMapLines(sample)).size();

  // SIGKILL (or the OOM killer, or a power cut) lets the run remove nothing.
  // Stopped at start, after some records, and when a picture file has just
  // been made, where that can be seen.
  for (int records : {0, 3, 10, 30}) {
    SCOPED_TRACE("after " + std::to_string(records) + " records");
    const fs::path info = dir / ("info" + std::to_string(records) + ".txt");
    const pid_t pid = StartKorvanel({maps.string(), "/i", info.string(), "/m", mini.string()}, {"TMPDIR=" + tmp.string()});
    ASSERT_GT(pid, 0);
    if (records == 0) {
      // Once its work file is there, the run has begun its work.
      while (WorkFilesIn(tmp).empty() && !HasEnded(pid)) std::this_thread::sleep_for(std::chrono::microseconds(200));
    } else {
      WaitForSize(info, records * record, pid);
      const auto soon = std::chrono::steady_clock::now() + std::chrono::milliseconds(50);
      while (!HasEmptyFile(mini) && std::chrono::steady_clock::now() < soon)
        std::this_thread::sleep_for(std::chrono::microseconds(50));
      // A live run's work file is locked, so no other run takes it for an
      // abandoned one.
      for (const std::string& name : WorkFilesIn(tmp)) {
        const int fd = ::open((tmp / name).c_str(), O_RDONLY | O_CLOEXEC);
        EXPECT_NE(::flock(fd, LOCK_EX | LOCK_NB), 0) << name << " is not locked";
        ::close(fd);
      }
    }
    int status = 0;
    ASSERT_EQ(::waitpid(pid, &status, WNOHANG), 0) << "the run ended before it could be stopped";
    ASSERT_EQ(::kill(pid, SIGKILL), 0);
    ASSERT_EQ(::waitpid(pid, &status, 0), pid);
    ExpectOnlyWholePictures(mini);
    // Its workers die with it, a moment later (much later on a busy
    // machine); until then they hold its work file's lock, and a run
    // starting meanwhile rightly leaves the file alone (and a check above
    // would find it unlocked later). So the lock is waited for, however
    // long that takes.
    for (const std::string& name : WorkFilesIn(tmp)) {
      const int fd = ::open((tmp / name).c_str(), O_RDONLY | O_CLOEXEC);
      if (fd < 0) continue;
      EXPECT_EQ(::flock(fd, LOCK_EX), 0) << name;
      ::close(fd);
    }
  }

  // The next run makes every picture still missing, and removes the work
  // files the killed ones left.
  ProcessResult r = RunKorvanel({maps.string(), "/m", mini.string()}, {"TMPDIR=" + tmp.string()});
  EXPECT_EQ(r.status, 0) << r.out;
  ExpectOnlyWholePictures(mini);
  for (const fs::path& p : paths) EXPECT_TRUE(fs::exists(mini / (p.stem().string() + ".jpg"))) << p;
  EXPECT_EQ(std::distance(fs::directory_iterator(mini), fs::directory_iterator()), kSlowRunMaps);
  EXPECT_TRUE(WorkFilesIn(tmp).empty());
}

}  // namespace korvanel::test
