#include <gtest/gtest.h>

#include <chrono>
#include <clocale>
#include <deque>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>
#include <filesystem>

#include "archive/archive_precheck.h"
#include "archive/install_path.h"
#include "archive/map_archive.h"
#include "archive/map_request.h"
#include "archive/work_file.h"
#include "map_builder.h"
#include "platform/file.h"
#include "platform/process.h"
#include "test_support.h"

namespace korvanel::test {
namespace {

std::string WorkFileBytes(const WorkFile& work) {
  std::uint64_t size = 0;
  EXPECT_EQ(work.Handle().Size(size), 0);
  std::string bytes(size, '\0');
  std::size_t got = 0;
  EXPECT_EQ(work.Handle().ReadAt(0, std::as_writable_bytes(std::span(bytes.data(), bytes.size())), got), 0);
  bytes.resize(got);
  return bytes;
}

// One map's request and its answer at once.
bool ExtractMapFiles(MapArchive& archive, const std::string& path, std::span<const char* const> names,
                     std::vector<ExtractedFile>& files) {
  return archive.CollectMapFiles(archive.RequestMapFiles(path, names), files).opened;
}

// A Wine prefix whose registry names `installDir` (a real folder) as the
// game's folder on drive C:.
void MakeWinePrefix(const fs::path& prefix, const fs::path& installDir, std::string_view value) {
  fs::create_directories(prefix / "dosdevices");
  fs::create_directory_symlink(installDir, prefix / "dosdevices" / "c:");
  WriteFile(prefix / "user.reg",
            "WINE REGISTRY Version 2\n\n[Software\\\\Blizzard Entertainment\\\\Warcraft III] 1700000000\n"
            "#time=1d\n\"InstallPath\"=\"" + std::string(value) + "\"\n\n[Software\\\\Other] 1\n\"InstallPath\"=\"D:\\\\x\"\n");
}

}  // namespace

TEST(InstallPath, RegistryValueAndMapping) {
  EXPECT_EQ(ReadInstallPathValue("[Software\\\\Blizzard Entertainment\\\\Warcraft III] 1\n\"InstallPath\"=\"C:\\\\Games\\\\W3\"\n"),
            "C:\\Games\\W3");
  EXPECT_EQ(ReadInstallPathValue("[software\\\\blizzard entertainment\\\\warcraft iii]\r\n\"InstallPath\"=str(2):\"D:\\\\\"\r\n"), "D:\\");
  EXPECT_EQ(ReadInstallPathValue("[Software\\\\Other]\n\"InstallPath\"=\"C:\\\\x\"\n"), "");
  EXPECT_EQ(ReadInstallPathValue("[Software\\\\Blizzard Entertainment\\\\Warcraft III]\n\"InstallPath\"=dword:00000001\n"), "");
  EXPECT_EQ(ReadInstallPathValue("[Software\\\\Blizzard Entertainment\\\\Warcraft III]\n\"InstallPath\"=\"C:\\\\Jeux\\\\\\x00e9t\\x00e9\"\n"),
            "C:\\Jeux\\\xC3\xA9t\xC3\xA9");

  EXPECT_EQ(TerminateWindowsPath("D:\\Games\\Warcraft III"), "D:\\Games\\Warcraft III\\");
  EXPECT_EQ(TerminateWindowsPath("D:\\Games\\Warcraft III\\"), "D:\\Games\\Warcraft III\\");
  EXPECT_EQ(TerminateWindowsPath("D:"), "D:");
  EXPECT_EQ(TerminateWindowsPath("D:\\W3  \t"), "D:\\W3\\");
  EXPECT_EQ(TerminateWindowsPath(""), "");

  EXPECT_EQ(MapToWinePrefix("C:\\Games\\W3\\", "/home/u/.wine"), "/home/u/.wine/dosdevices/c:/Games/W3/");
  EXPECT_EQ(MapToWinePrefix("D:", "/p/"), "/p/dosdevices/d:/");
  EXPECT_EQ(MapToWinePrefix("\\\\server\\share\\", "/p"), "");
}

// The dialog's toolkit sets the user's locale; in a Turkish one the C
// library lowers "I" to a dotless i. Drive letters and escapes are ASCII.
TEST(InstallPath, LetterCaseDoesNotDependOnTheLocale) {
  const std::string before = std::setlocale(LC_ALL, nullptr);
  int tried = 0;
  for (const char* turkish : {"tr_TR.ISO-8859-9", "tr_TR.UTF-8"}) {
    if (!std::setlocale(LC_ALL, turkish)) continue;
    ++tried;
    SCOPED_TRACE(turkish);
    EXPECT_EQ(MapToWinePrefix("I:\\Oyunlar\\", "/p"), "/p/dosdevices/i:/Oyunlar/");
    EXPECT_EQ(MapToWinePrefix("\xDD:\\", "/p"), "");  // a Turkish capital I with a dot is no drive letter
    EXPECT_EQ(ReadInstallPathValue("[SOFTWARE\\\\BLIZZARD ENTERTAINMENT\\\\WARCRAFT III]\n\"INSTALLPATH\"=\"I:\\\\\\x00C9\"\n"),
              "I:\\\xC3\x89");
  }
  std::setlocale(LC_ALL, before.c_str());
  if (tried == 0) GTEST_SKIP() << "no Turkish locale (localedef -i tr_TR -f UTF-8 tr_TR.UTF-8 makes one)";
}

TEST(InstallPath, ReadsTheWinePrefixNamedByTheEnvironment) {
  TempDir dir;
  fs::create_directory(dir / "c");
  MakeWinePrefix(dir / "prefix", dir / "c", "C:\\\\Games\\\\W3  ");
  ScopedEnv prefix("WINEPREFIX", (dir / "prefix").string());
  EXPECT_EQ(GetInstallPath(), (dir / "prefix").string() + "/dosdevices/c:/Games/W3/");

  ScopedEnv missing("WINEPREFIX", (dir / "nowhere").string());
  EXPECT_EQ(GetInstallPath(), "");
}

TEST(ArchiveLibrary, LoadsByNameFromTheInstallFolderOrNotAtAll) {
  WorkFile work;
  MapArchive archive(work);
  // The test program has the library loaded already: it still counts.
  EXPECT_TRUE(LoadArchiveLibrary(archive));
  EXPECT_TRUE(archive.IsLoaded());
  archive.ReleaseArchiveLibrary();
  EXPECT_FALSE(archive.IsLoaded());

  TempDir dir;
  ScopedEnv prefix("WINEPREFIX", (dir / "prefix").string());
  std::vector<std::string> tried;
  EXPECT_FALSE(LoadArchiveLibrary(archive, "libkvl-absent.so", &tried));
  EXPECT_EQ(tried, (std::vector<std::string>{ProgramDirectory() + "libkvl-absent.so", "libkvl-absent.so"}));

  fs::create_directories(dir / "c" / "Games" / "W3");
  fs::copy_file(KORVANEL_FAKE_STORM, dir / "c" / "Games" / "W3" / "libkvl-installed.so");
  MakeWinePrefix(dir / "prefix", dir / "c", "C:\\\\Games\\\\W3\\\\");
  tried.clear();
  EXPECT_TRUE(LoadArchiveLibrary(archive, "libkvl-installed.so", &tried));
  EXPECT_EQ(tried.back(), (dir / "prefix").string() + "/dosdevices/c:/Games/W3/libkvl-installed.so");
  archive.ReleaseArchiveLibrary();

  // Beside the program comes first.
  const fs::path beside = ProgramDirectory() + "libkvl-beside-" + std::to_string(::getpid()) + ".so";
  fs::copy_file(KORVANEL_FAKE_STORM, beside);
  tried.clear();
  EXPECT_TRUE(LoadArchiveLibrary(archive, beside.filename().string(), &tried));
  fs::remove(beside);
  EXPECT_EQ(tried, std::vector<std::string>{beside.string()});
  archive.ReleaseArchiveLibrary();

  // A library that lacks one of the calls is not taken.
  EXPECT_FALSE(archive.BindArchiveLibrary(KORVANEL_FAKE_STORM_INCOMPLETE));
  EXPECT_FALSE(archive.IsLoaded());
}

// The current folder may be an unpacked map pack: neither a relative Wine
// prefix nor a relative path reaches the library it holds.
TEST(ArchiveLibrary, NeverFromTheCurrentFolder) {
  WorkFile work;
  MapArchive archive(work);
  TempDir dir;
  fs::create_directories(dir / "c" / "Games" / "W3");
  fs::copy_file(KORVANEL_FAKE_STORM, dir / "c" / "Games" / "W3" / "libkvl-installed.so");
  fs::copy_file(KORVANEL_FAKE_STORM, dir / "libkvl-installed.so");
  MakeWinePrefix(dir / "prefix", dir / "c", "C:\\\\Games\\\\W3\\\\");
  ScopedFolder inside(dir.Path());
  ScopedEnv prefix("WINEPREFIX", "prefix");

  std::vector<std::string> tried;
  EXPECT_FALSE(LoadArchiveLibrary(archive, "libkvl-installed.so", &tried));
  EXPECT_EQ(tried, (std::vector<std::string>{ProgramDirectory() + "libkvl-installed.so", "libkvl-installed.so"}));
  tried.clear();
  EXPECT_FALSE(LoadArchiveLibrary(archive, "./libkvl-installed.so", &tried));
  EXPECT_FALSE(LoadArchiveLibrary(archive, "c/Games/W3/libkvl-installed.so", &tried));
  EXPECT_TRUE(tried.empty());
  EXPECT_FALSE(archive.IsLoaded());

  // An absolute path is taken as it is.
  EXPECT_TRUE(LoadArchiveLibrary(archive, KORVANEL_FAKE_STORM, &tried));
  EXPECT_EQ(tried, std::vector<std::string>{KORVANEL_FAKE_STORM});
}

// What the run asks and the worker answers reads back as it was written,
// and a message that is not what the other side expects is refused.
TEST(MapRequest, EncodedAndDecodedAlike) {
  std::vector<std::byte> message;
  const char* names[] = {"war3map.w3i", "war3mapUnits.doo", ""};
  EncodeMapRequest("/maps/a b.w3m", names, {.identify = true}, message);
  const char* path = nullptr;
  std::vector<const char*> decoded{"left over"};
  MapRequestFlags flags;
  ASSERT_TRUE(DecodeMapRequest(message, path, decoded, flags));
  EXPECT_STREQ(path, "/maps/a b.w3m");
  EXPECT_TRUE(flags.identify);
  EXPECT_FALSE(flags.loadingScreen);
  ASSERT_EQ(decoded.size(), 3u);
  for (std::size_t i = 0; i < decoded.size(); ++i) EXPECT_STREQ(decoded[i], names[i]);
  // The names are used where they lie.
  EXPECT_GE(decoded[0], reinterpret_cast<const char*>(message.data()));
  EXPECT_LT(decoded[2], reinterpret_cast<const char*>(message.data() + message.size()));

  EncodeMapRequest("/maps/none.w3m", {}, {.loadingScreen = true}, message);
  ASSERT_TRUE(DecodeMapRequest(message, path, decoded, flags));
  EXPECT_STREQ(path, "/maps/none.w3m");
  EXPECT_FALSE(flags.identify);
  EXPECT_TRUE(flags.loadingScreen);
  EXPECT_TRUE(decoded.empty());
  message.pop_back();
  EXPECT_FALSE(DecodeMapRequest(message, path, decoded, flags));
  EXPECT_FALSE(DecodeMapRequest({}, path, decoded, flags));

  const std::vector<ExtractedFile> files = {{true, 0, 4096, 70000}, {false, 0, 0, 0}, {true, 27, 0, 0}};
  MapAnswer opened;
  opened.opened = opened.identified = true;
  opened.identity.size = 70000;
  opened.identity.crc32 = 0xDEADBEEF;
  opened.identity.sha1[19] = 7;
  opened.signs.noListfile = true;
  EncodeMapReply(opened, files, message);
  std::vector<ExtractedFile> answer{{}};
  MapAnswer decodedAnswer;
  ASSERT_TRUE(DecodeMapReply(message, files.size(), decodedAnswer, answer));
  EXPECT_TRUE(decodedAnswer.opened);
  EXPECT_EQ(decodedAnswer.identity.crc32, 0xDEADBEEFu);
  EXPECT_EQ(decodedAnswer.identity.sha1, opened.identity.sha1);
  EXPECT_TRUE(decodedAnswer.signs.noListfile);
  ASSERT_EQ(answer.size(), files.size());
  for (std::size_t i = 0; i < files.size(); ++i) {
    EXPECT_EQ(answer[i].found, files[i].found) << i;
    EXPECT_EQ(answer[i].fileError, files[i].fileError) << i;
    EXPECT_EQ(answer[i].offset, files[i].offset) << i;
    EXPECT_EQ(answer[i].size, files[i].size) << i;
  }
  // An answer to another request, or a map that did not open: its reason
  // comes back, and no files.
  EXPECT_FALSE(DecodeMapReply(message, files.size() - 1, decodedAnswer, answer));
  EXPECT_TRUE(answer.empty());
  MapAnswer refused;
  refused.failure = MapFailure::kUnreadable;
  refused.error = EIO;
  EncodeMapReply(refused, {}, message);
  ASSERT_TRUE(DecodeMapReply(message, 3, decodedAnswer, answer));
  EXPECT_FALSE(decodedAnswer.opened);
  EXPECT_EQ(decodedAnswer.failure, MapFailure::kUnreadable);
  EXPECT_EQ(decodedAnswer.error, EIO);
  EXPECT_TRUE(answer.empty());
  EXPECT_FALSE(DecodeMapReply(std::vector<std::byte>{std::byte{1}}, 0, decodedAnswer, answer));
}

// A work file in a fresh temporary folder and an archive binding over it.
class Extraction : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_EQ(work.Create(), 0); }

  TempDir dir;
  ScopedEnv tmp{"TMPDIR", dir.Path().string()};
  WorkFile work;
  MapArchive archive{work};
};

TEST_F(Extraction, ExtractsEmbeddedFilesIntoTheWorkFile) {
  EXPECT_FALSE(archive.IsReady());
  ASSERT_TRUE(LoadArchiveLibrary(archive));
  EXPECT_TRUE(archive.IsReady());

  ASSERT_TRUE(BuildMap(dir / "m.w3m", {{"war3map.j", "script bytes"}, {"war3map.wts", ""}, {"war3map.w3i", std::string(70000, 'q')}}));
  const char* names[] = {"war3map.w3i", "WAR3MAP.J", "war3map.wts", "war3map.doo"};
  std::vector<ExtractedFile> files;
  ASSERT_TRUE(ExtractMapFiles(archive, (dir / "m.w3m").string(), names, files));
  ASSERT_EQ(files.size(), 4u);
  const std::string bytes = WorkFileBytes(work);
  auto content = [&](const ExtractedFile& f) { return bytes.substr(f.offset, f.size); };

  EXPECT_TRUE(files[0].found);
  EXPECT_EQ(files[0].fileError, 0);
  EXPECT_TRUE(content(files[0]) == std::string(70000, 'q'));
  EXPECT_TRUE(files[1].found);
  EXPECT_EQ(content(files[1]), "script bytes");
  EXPECT_TRUE(files[2].found);
  EXPECT_EQ(files[2].size, 0u);
  EXPECT_FALSE(files[3].found);
  EXPECT_EQ(files[3].fileError, 0);
  EXPECT_EQ(files[3].size, 0u);

  WriteFile(dir / "junk.w3m", "this is not an archive at all");
  EXPECT_FALSE(ExtractMapFiles(archive, (dir / "junk.w3m").string(), names, files));
  EXPECT_FALSE(ExtractMapFiles(archive, (dir / "absent.w3m").string(), names, files));
  EXPECT_TRUE(files.empty());
}

// The identity of a map as the worker reads it: the whole file once,
// across the reads' own boundaries, also for a file that is refused; and
// which maps show signs of protection.
TEST_F(Extraction, IdentifiesEveryMapFileItCanRead) {
  ASSERT_TRUE(LoadArchiveLibrary(archive));
  auto sha1sum = [&](const fs::path& file) {
    const std::string command = "sha1sum '" + file.string() + "' > '" + (dir / "sum").string() + "'";
    EXPECT_EQ(std::system(command.c_str()), 0);
    return ReadFile(dir / "sum").substr(0, 40);
  };
  auto hex = [](const auto& bytes) {
    std::string text;
    char digit[3];
    for (const std::uint8_t b : bytes) std::snprintf(digit, sizeof digit, "%02x", b), text += digit;
    return text;
  };
  ScratchBuffer scratch;
  std::uint64_t size = 0;
  // Larger than one read, with a header the library would not survive at
  // the second read's start: refused, and still identified whole.
  std::string big(3 << 20, 'x');
  big.replace(1 << 20, 32, "MPQ\x1A" + Le32(32) + Le32(0) + Le32(0x7F000000) + Le32(0) + Le32(0) + Le32(-1) + Le32(0));
  WriteFile(dir / "big.w3m", big);
  MapAnswer answer;
  EXPECT_FALSE(CheckMapFile((dir / "big.w3m").string(), scratch, true, answer, size));
  EXPECT_EQ(answer.failure, MapFailure::kHostileHeader);
  ASSERT_TRUE(answer.identified);
  EXPECT_EQ(answer.identity.size, big.size());
  EXPECT_EQ(hex(answer.identity.sha1), sha1sum(dir / "big.w3m"));
  answer = {};
  EXPECT_FALSE(CheckMapFile((dir / "absent.w3m").string(), scratch, true, answer, size));
  EXPECT_EQ(answer.failure, MapFailure::kUnreadable);
  EXPECT_EQ(answer.error, ENOENT);
  EXPECT_FALSE(answer.identified);

  // An intact map: its identity and no sign of protection; the same map
  // with its block table said to run past the end of the file.
  ASSERT_TRUE(BuildMap(dir / "m.w3m", {{"war3map.w3i", "info"}}));
  const char* names[] = {"war3map.w3i"};
  std::vector<ExtractedFile> files;
  answer = archive.CollectMapFiles(archive.RequestMapFiles((dir / "m.w3m").string(), names, {.identify = true}), files);
  EXPECT_TRUE(answer.opened);
  ASSERT_TRUE(answer.identified);
  EXPECT_EQ(answer.identity.size, fs::file_size(dir / "m.w3m"));
  EXPECT_EQ(hex(answer.identity.sha1), sha1sum(dir / "m.w3m"));
  struct stat st {};
  ASSERT_EQ(::stat((dir / "m.w3m").c_str(), &st), 0);
  EXPECT_EQ(answer.identity.modifiedSeconds, st.st_mtim.tv_sec);
  EXPECT_EQ(answer.identity.modifiedNanoseconds, static_cast<std::uint32_t>(st.st_mtim.tv_nsec));
  EXPECT_FALSE(answer.signs.noListfile);
  EXPECT_FALSE(answer.signs.blockTablePastEnd || answer.signs.hashTablePastEnd || answer.signs.hashTableOutside);
  std::string map = ReadFile(dir / "m.w3m");
  const std::size_t header = map.find("MPQ\x1A");
  ASSERT_NE(header, std::string::npos);
  const std::uint32_t blockTable = static_cast<std::uint32_t>(map.size() - header - 16);
  map.replace(header + 0x14, 4, Le32(static_cast<std::int32_t>(blockTable)));
  WriteFile(dir / "cut.w3m", map);
  answer = archive.CollectMapFiles(archive.RequestMapFiles((dir / "cut.w3m").string(), names, {.identify = true}), files);
  EXPECT_TRUE(answer.signs.blockTablePastEnd);
  EXPECT_FALSE(answer.signs.blockTableOutside);
  // Not asked to identify, the worker neither hashes nor looks.
  answer = archive.CollectMapFiles(archive.RequestMapFiles((dir / "cut.w3m").string(), names), files);
  EXPECT_FALSE(answer.identified);
  EXPECT_FALSE(answer.signs.blockTablePastEnd);
}

TEST_F(Extraction, ShortReadLeavesOnlyTheDeliveredBytes) {
  ASSERT_TRUE(archive.BindArchiveLibrary(KORVANEL_FAKE_STORM));
  WriteFile(dir / "anything.w3m", "opened by a stand-in library");
  const char* names[] = {"war3map.j"};
  std::vector<ExtractedFile> files;
  ASSERT_TRUE(ExtractMapFiles(archive, (dir / "anything.w3m").string(), names, files));
  ASSERT_EQ(files.size(), 1u);
  EXPECT_TRUE(files[0].found);
  EXPECT_EQ(files[0].size, 10u);
  EXPECT_EQ(WorkFileBytes(work).substr(files[0].offset), std::string(10, 'x'));
}

// A map's files in one go, each after the last, and the map opened by a
// path that only this process can resolve.
TEST_F(Extraction, ExtractsAMapsFilesOneAfterAnother) {
  ASSERT_TRUE(LoadArchiveLibrary(archive));
  ASSERT_TRUE(BuildMap(dir / "big.w3m", {{"war3map.j", "script bytes"}, {"war3map.wts", ""}, {"war3map.w3i", std::string(70000, 'q')}}));
  ASSERT_TRUE(BuildMap(dir / "small.w3m", {{"war3map.j", "j"}}));

  const char* names[] = {"war3map.w3i", "war3map.doo", "WAR3MAP.J", "war3map.wts"};
  std::vector<ExtractedFile> files;
  ASSERT_TRUE(ExtractMapFiles(archive, (dir / "big.w3m").string(), names, files));

  // A map's files never land on those of the maps before it that may
  // still be being read, however large each is.
  File folder(::open(dir.Path().c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  ASSERT_TRUE(folder.IsOpen());
  const std::string alias = "/proc/self/fd/" + std::to_string(folder.Descriptor()) + "/small.w3m";
  struct Held {
    std::vector<ExtractedFile> files;
    std::vector<std::string> bytes;
  };
  auto hold = [&](const std::vector<ExtractedFile>& extracted) {
    Held held{extracted, {}};
    for (const ExtractedFile& f : extracted) held.bytes.push_back(WorkFileBytes(work).substr(f.offset, f.size));
    return held;
  };
  std::deque<Held> inUse{hold(files)};
  for (int round = 0; round < 12; ++round) {
    const bool big = round % 3 == 2;
    std::vector<ExtractedFile> next;
    ASSERT_TRUE(big ? ExtractMapFiles(archive, (dir / "big.w3m").string(), names, next)
                    : ExtractMapFiles(archive, alias, std::span(names + 2, 1), next));
    const std::string now = WorkFileBytes(work);
    EXPECT_EQ(now.substr(next[big ? 2 : 0].offset, next[big ? 2 : 0].size), big ? "script bytes" : "j") << round;
    for (const Held& earlier : inUse)
      for (std::size_t i = 0; i < earlier.files.size(); ++i) {
        const ExtractedFile& f = earlier.files[i];
        EXPECT_EQ(now.substr(f.offset, f.size), earlier.bytes[i]) << "round " << round;
        for (const ExtractedFile& g : next)
          EXPECT_TRUE(f.size == 0 || g.size == 0 || f.offset >= g.offset + g.size || f.offset + f.size <= g.offset)
              << "round " << round;
      }
    inUse.push_back(hold(next));
    if (inUse.size() > kMapsAhead) inUse.pop_front();
  }
}

// Several workers take the requests in turn, each writing in its own region
// of the work file; each worker's answers can be collected as they come,
// and each answer's files stay in place until more than MapsAhead()
// requests after it have been made.
TEST_F(Extraction, WorkersTakeTurnsEachInItsOwnRegion) {
  ASSERT_TRUE(LoadArchiveLibrary(archive));
  constexpr std::size_t kWorkers = 3;
  archive.SetWorkers(kWorkers);
  ASSERT_EQ(archive.MapsAhead(), kMapsAhead * kWorkers);
  const std::size_t burst = archive.MapsAhead() + 1;
  for (std::size_t i = 0; i < burst; ++i)
    ASSERT_TRUE(BuildMap(dir / (std::to_string(i) + ".w3m"),
                         {{"war3map.j", std::string(i % 4 == 3 ? 90000 : 10 + i, static_cast<char>('a' + i))},
                          {"war3map.w3i", "info " + std::to_string(i)}}));
  const char* names[] = {"war3map.w3i", "war3map.j"};
  ScratchBuffer scratch;
  auto bytes = [&](const ExtractedFile& f) {
    std::span<const std::byte> data;
    EXPECT_EQ(work.View(f.offset, f.size, scratch, data), 0);
    return std::string(reinterpret_cast<const char*>(data.data()), data.size());
  };
  // Rounds that start on each worker in turn.
  for (int round = 0; round < 3; ++round) {
    std::vector<std::uint64_t> numbers;
    for (std::size_t i = 0; i < burst; ++i)
      numbers.push_back(archive.RequestMapFiles((dir / (std::to_string(i) + ".w3m")).string(), names));
    std::vector<std::vector<ExtractedFile>> answers(burst);
    // The last worker's answers first, as they come; then the others' in turn.
    auto last = [&](std::size_t i) { return (round * burst + i) % kWorkers == kWorkers - 1; };
    for (std::size_t i = 0; i < burst; ++i) {
      if (!last(i)) continue;
      while (!archive.IsAnswered(numbers[i])) ASSERT_TRUE(archive.AwaitAnswer(std::chrono::seconds(30))) << i;
      ASSERT_TRUE(archive.CollectMapFiles(numbers[i], answers[i]).opened) << i;
    }
    for (std::size_t i = 0; i < burst; ++i) {
      if (!last(i)) {
        ASSERT_TRUE(archive.CollectMapFiles(numbers[i], answers[i]).opened) << i;
      }
      for (const ExtractedFile& f : answers[i])
        EXPECT_EQ(f.offset / kWorkFileRegion, (round * burst + i) % kWorkers) << round << " " << i;
    }
    for (std::size_t i = 0; i < burst; ++i) {
      EXPECT_EQ(bytes(answers[i][0]), "info " + std::to_string(i)) << round;
      EXPECT_TRUE(bytes(answers[i][1]) == std::string(i % 4 == 3 ? 90000 : 10 + i, static_cast<char>('a' + i))) << round << " " << i;
    }
  }
}

// The library runs in a worker process: a map that kills or hangs it costs
// that map only, and the worker holds nothing of the run's files.
TEST_F(Extraction, AMapThatKillsOrHangsTheLibraryCostsOnlyThatMap) {
  ASSERT_TRUE(archive.BindArchiveLibrary(KORVANEL_FAKE_STORM));
  archive.libraryTimeout = std::chrono::milliseconds(300);

  // Open while the worker starts; a lock on it must end with the run's own
  // descriptor.
  const fs::path info = dir / "info.txt";
  WriteFile(info, "");
  File held(::open(info.c_str(), O_RDWR | O_CLOEXEC));
  ASSERT_EQ(::flock(held.Descriptor(), LOCK_EX | LOCK_NB), 0);

  const char* names[] = {"war3map.j"};
  std::vector<ExtractedFile> files;
  // None is released, so a new worker must keep clear of every answer
  // before it, as its files are still read.
  std::vector<ExtractedFile> answered;
  // The map after the poisoned one dies only because of it, so it gets a
  // second chance in a new worker.
  for (const char* map : {"ok-1.w3m", "crash.w3m", "ok-2.w3m", "hang.w3m", "ok-3.w3m", "ok-poison.w3m", "ok-4.w3m"}) {
    const bool expected = std::string_view(map).starts_with("ok");
    WriteFile(dir / map, "opened by a stand-in library");
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(ExtractMapFiles(archive, (dir / map).string(), names, files), expected) << map;
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(10)) << map;
    if (!expected) continue;
    ASSERT_EQ(files.size(), 1u);
    EXPECT_EQ(files[0].size, 10u) << map;
    EXPECT_EQ(WorkFileBytes(work).substr(files[0].offset, files[0].size), std::string(10, 'x')) << map;
    for (const ExtractedFile& f : answered)
      EXPECT_TRUE(f.offset >= files[0].offset + files[0].size || f.offset + f.size <= files[0].offset) << map;
    answered.push_back(files[0]);
  }

  held.Close();
  File again(::open(info.c_str(), O_RDWR | O_CLOEXEC));
  EXPECT_EQ(::flock(again.Descriptor(), LOCK_EX | LOCK_NB), 0) << "the worker kept the lock";
}

}  // namespace korvanel::test
