// Damaged and hostile map files among intact ones: the run must end, never
// crash, report every map it cannot open, and still give the intact maps
// their full records.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <iostream>
#include <map>
#include <random>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "blp_builder.h"
#include "fixture_records.h"
#include "map_builder.h"
#include "sample_maps.h"
#include "test_support.h"

namespace korvanel::test {

namespace {

#if defined(__SANITIZE_ADDRESS__)
constexpr int kRandomCopiesPerKind = 8;
#else
constexpr int kRandomCopiesPerKind = 20;
#endif
constexpr int kIntactCopies = 3;
constexpr auto kWallLimit = std::chrono::seconds(120);

constexpr std::string_view kUnopenable = "ERROR!\nUnable to open the map file :\n";

std::uint32_t Get32(const std::string& b, std::size_t at) {
  std::uint32_t v = 0;
  for (int i = 3; i >= 0; --i) v = (v << 8) | static_cast<std::uint8_t>(b[at + i]);
  return v;
}

void Put32(std::string& b, std::size_t at, std::uint32_t v) {
  for (int i = 0; i < 4; ++i) b[at + i] = static_cast<char>((v >> (8 * i)) & 0xFF);
}

// The archive's tables are encrypted with fixed keys; a block entry can only
// be changed on purpose through them.
class TableCipher {
 public:
  static constexpr std::uint32_t kBlockTableKey = 0xEC83B3A3;

  TableCipher() {
    std::uint32_t seed = 0x00100001;
    for (std::uint32_t i = 0; i < 0x100; ++i) {
      for (std::uint32_t j = i, n = 0; n < 5; ++n, j += 0x100) {
        seed = (seed * 125 + 3) % 0x2AAAAB;
        std::uint32_t high = (seed & 0xFFFF) << 16;
        seed = (seed * 125 + 3) % 0x2AAAAB;
        table_[j] = high | (seed & 0xFFFF);
      }
    }
  }

  void Decrypt(std::vector<std::uint32_t>& words, std::uint32_t key) const { Run(words, key, false); }
  void Encrypt(std::vector<std::uint32_t>& words, std::uint32_t key) const { Run(words, key, true); }

 private:
  void Run(std::vector<std::uint32_t>& words, std::uint32_t key, bool encrypt) const {
    std::uint32_t seed = 0xEEEEEEEE;
    for (std::uint32_t& w : words) {
      seed += table_[0x400 + (key & 0xFF)];
      const std::uint32_t plain = encrypt ? w : w ^ (key + seed);
      w = encrypt ? w ^ (key + seed) : plain;
      key = ((~key << 0x15) + 0x11111111) | (key >> 0x0B);
      seed = plain + seed + (seed << 5) + 3;
    }
  }

  std::array<std::uint32_t, 0x500> table_{};
};

// Block flags.
constexpr std::uint32_t kCompressed = 0x00000200;
constexpr std::uint32_t kEncrypted = 0x00010000;
constexpr std::uint32_t kPatchFile = 0x00100000;
constexpr std::uint32_t kSingleUnit = 0x01000000;

// Where the archive's parts lie, from its header.
struct Layout {
  std::size_t header = 0;  // offset of "MPQ\x1A"
  std::size_t hashTable = 0, hashEntries = 0;
  std::size_t blockTable = 0, blockEntries = 0;
};

Layout ReadLayout(const std::string& b) {
  Layout l;
  for (l.header = 0; l.header + 32 <= b.size(); l.header += 512)
    if (b.compare(l.header, 4, "MPQ\x1A") == 0) break;
  EXPECT_LE(l.header + 32, b.size()) << "no archive header";
  l.hashTable = l.header + Get32(b, l.header + 16);
  l.blockTable = l.header + Get32(b, l.header + 20);
  l.hashEntries = Get32(b, l.header + 24);
  l.blockEntries = Get32(b, l.header + 28);
  EXPECT_LE(l.hashTable + 16 * l.hashEntries, b.size());
  EXPECT_LE(l.blockTable + 16 * l.blockEntries, b.size());
  return l;
}

struct Source {
  std::string name;
  std::string bytes;
  std::string lines;  // expected record lines after the minimap line
};

struct Copy {
  std::string kind;
  std::string bytes;
  const Source* intactOf = nullptr;
};

class Damager {
 public:
  explicit Damager(std::uint32_t seed) : rng_(seed) {}

  // Own reduction instead of a distribution: the same copies on every
  // standard library.
  std::size_t Below(std::size_t n) { return n == 0 ? 0 : rng_() % n; }

  void Flip(std::string& b, std::size_t from, std::size_t to, int count) {
    from = std::min(from, b.size());
    to = std::min(to, b.size());
    if (from >= to) return;
    for (int i = 0; i < count; ++i) b[from + Below(to - from)] ^= static_cast<char>(1 + Below(255));
  }

  std::vector<Copy> CopiesOf(const Source& s) {
    const std::string& b = s.bytes;
    const Layout l = ReadLayout(b);
    std::vector<Copy> copies;
    auto add = [&](std::string kind, std::string bytes) { copies.push_back({std::move(kind), std::move(bytes)}); };

    // Cut at the edges of every part, then anywhere.
    std::set<std::size_t> cuts = {1, 3, 4, 16, 31, 32, 511, 512, b.size() - 16, b.size() - 1};
    for (std::size_t edge : {l.header, l.hashTable, l.blockTable})
      for (std::size_t d : {0, 1, 4, 16, 31, 32, 33})
        if (edge + d < b.size()) cuts.insert(edge + d);
    cuts.insert(l.hashTable + 8 * l.hashEntries);
    cuts.insert(l.blockTable + 8 * l.blockEntries);
    for (int i = 0; i < kRandomCopiesPerKind; ++i) cuts.insert(1 + Below(b.size() - 1));
    for (std::size_t cut : cuts)
      if (cut > 0 && cut < b.size()) add("cut" + std::to_string(cut), b.substr(0, cut));

    // Random bytes flipped in each part.
    struct Part {
      const char* name;
      std::size_t from, to;
    };
    const std::size_t dataEnd = std::min(l.hashTable, l.blockTable);
    for (const Part& p : {Part{"header", l.header, l.header + 32},
                          Part{"hash", l.hashTable, l.hashTable + 16 * l.hashEntries},
                          Part{"block", l.blockTable, l.blockTable + 16 * l.blockEntries},
                          Part{"data", l.header + 32, dataEnd}}) {
      for (int i = 0; i < kRandomCopiesPerKind; ++i) {
        std::string d = b;
        Flip(d, p.from, p.to, 1 + static_cast<int>(Below(4)));
        add(std::string("flip-") + p.name, std::move(d));
      }
    }

    // Tables placed outside the file, or claiming more entries than it holds.
    for (std::uint32_t pos : {static_cast<std::uint32_t>(b.size()), static_cast<std::uint32_t>(2 * b.size()),
                              0x7FFFFFF0u, 0xFFFFFFF0u}) {
      std::string d = b;
      Put32(d, l.header + 16, pos);
      add("hash-at-" + std::to_string(pos), std::move(d));
      d = b;
      Put32(d, l.header + 20, pos);
      add("block-at-" + std::to_string(pos), std::move(d));
    }
    for (std::uint32_t entries : {0x00010000u, 0x10000000u, 0xFFFFFFFFu}) {
      std::string d = b;
      Put32(d, l.header + 24, entries);
      add("hash-entries-" + std::to_string(entries), std::move(d));
      d = b;
      Put32(d, l.header + 28, entries);
      add("block-entries-" + std::to_string(entries), std::move(d));
    }
    // Sector sizes from 512 << shift; the shifts past 22 overflow 32 bits.
    for (std::uint16_t shift : {15, 22, 23, 31}) {
      std::string d = b;
      d[l.header + 14] = static_cast<char>(shift);
      add("sector-shift-" + std::to_string(shift), std::move(d));
    }

    // Each block in turn claims a file of 2 GiB (stored or unpacked size),
    // or is marked as a patch file.
    const TableCipher cipher;
    std::vector<std::uint32_t> blocks(4 * l.blockEntries);
    for (std::size_t i = 0; i < blocks.size(); ++i) blocks[i] = Get32(b, l.blockTable + 4 * i);
    cipher.Decrypt(blocks, TableCipher::kBlockTableKey);
    auto withBlock = [&](std::size_t index, std::uint32_t value) {
      std::vector<std::uint32_t> changed = blocks;
      changed[index] = value;
      cipher.Encrypt(changed, TableCipher::kBlockTableKey);
      std::string d = b;
      for (std::size_t i = 0; i < changed.size(); ++i) Put32(d, l.blockTable + 4 * i, changed[i]);
      return d;
    };
    for (std::size_t e = 0; e < l.blockEntries; ++e) {
      const std::string block = "block" + std::to_string(e);
      for (std::uint32_t size : {0x80000000u, 0x7FFFFFF0u}) {
        add(block + "-packed-" + std::to_string(size), withBlock(4 * e + 1, size));
        add(block + "-size-" + std::to_string(size), withBlock(4 * e + 2, size));
      }
      add(block + "-patch", withBlock(4 * e + 3, blocks[4 * e + 3] | kPatchFile));
      // A compressed file in sectors starts with its table of sector
      // offsets; the first one says how long that table is.
      const std::uint32_t flags = blocks[4 * e + 3];
      const std::size_t table = l.header + blocks[4 * e];
      // The archive library (StormLib 9.22) reads a longer table into the
      // buffer it sized for the expected one and corrupts its heap: the run
      // has to survive that.
      if ((flags & kCompressed) && !(flags & (kSingleUnit | kEncrypted)) &&
          table + 4 <= b.size()) {
        for (std::uint32_t longer : {0xD1u, 0x3FDu}) {
          std::string d = b;
          Put32(d, table, Get32(b, table) + longer);
          add(block + "-sector-table-" + std::to_string(longer), std::move(d));
        }
      }
    }
    for (int i = 0; i < kIntactCopies; ++i) copies.push_back({"intact", b, &s});
    return copies;
  }

  template <typename T>
  void Shuffle(std::vector<T>& v) {
    for (std::size_t i = v.size(); i > 1; --i) std::swap(v[i - 1], v[Below(i)]);
  }

 private:
  std::mt19937 rng_;
};

// The intact maps damaged copies are made of, with the lines each gives;
// with --w3x also maps of later editors' layouts and every real .w3x map.
std::vector<Source> Sources(const fs::path& dir, bool w3x) {
  std::vector<Source> sources;
  SampleMap a;
  a.pictureSize = 64;
  SampleMap b;
  b.name = "Second Sample";
  b.players = "1v1";
  b.playerUnits = {1, 7, 2};
  b.mines = 3;
  b.pictureSize = 32;
  SampleMap later = LaterLayoutsMap();
  later.name = "Later Layouts";
  std::vector<std::pair<std::string, SampleMap>> samples = {{"generated-a", a}, {"generated-b", b}};
  if (w3x) samples.emplace_back("generated-later", later);
  for (const auto& [name, map] : samples) {
    const fs::path path = dir / (name + ".w3m");
    EXPECT_TRUE(BuildMap(path, SampleMapFiles(map)));
    sources.push_back({name, ReadFile(path), SampleMapLines(map)});
  }
  const fs::path fixtures = FixturesDir();
  std::vector<std::pair<const char*, std::string_view>> real = {{"maps/smallest_roc.w3m", kSmallestRocParserLines}};
  if (w3x) {
    real.insert(real.end(), {{"maps/small_tft.w3x", kSmallTftW3xLines},
                             {"w3x/format28_jass.w3x", kFormat28W3xLines},
                             {"w3x/format31_lua.w3x", kFormat31W3xLines},
                             {"w3x/format33_w3e12.w3x", kFormat33W3xLines}});
  } else {
    real.emplace_back("maps/small_tft.w3x", kSmallTftParserLines);
  }
  for (const auto& [relative, lines] : real) {
    const fs::path path = fixtures / relative;
    if (fixtures.empty() || !fs::exists(path)) {
      std::cout << "[   NOTE   ] fixture " << relative << " not found; its damaged copies are skipped\n";
      continue;
    }
    sources.push_back({fs::path(relative).stem().string(), ReadFile(path), std::string(lines)});
  }
  return sources;
}

// Paths named by the unopenable-map message, in order.
std::vector<std::string> ReportedMaps(const std::string& out) {
  std::vector<std::string> paths;
  for (std::size_t at = out.find(kUnopenable); at != std::string::npos; at = out.find(kUnopenable, at)) {
    at += kUnopenable.size();
    const std::size_t end = out.find('\n', at);
    paths.push_back(out.substr(at, end - at));
  }
  return paths;
}

// Each map's record, by its path, in file order.
std::vector<std::pair<std::string, std::string>> Records(const std::string& info) {
  std::vector<std::pair<std::string, std::string>> records;
  std::size_t at = info.find(kRecordStart);
  EXPECT_EQ(at, 0u) << "the info file does not start with a record";
  while (at != std::string::npos) {
    const std::size_t next = info.find(kRecordStart, at + kRecordStart.size());
    const std::string record = info.substr(at, next == std::string::npos ? std::string::npos : next - at);
    const std::size_t pathStart = kRecordStart.size();
    records.emplace_back(record.substr(pathStart, record.find("\r\n", pathStart) - pathStart), record);
    at = next;
  }
  return records;
}

// Keeps a map that made the run fail where it outlives the test's folder.
std::string KeepForReproduction(const fs::path& map) {
  const fs::path kept = fs::temp_directory_path() / ("kvl-hostile-" + map.filename().string());
  std::error_code ec;
  fs::copy_file(map, kept, fs::copy_options::overwrite_existing, ec);
  return ec ? map.string() : kept.string();
}

// Each file of a folder by name, with its bytes.
std::map<std::string, std::string> FolderFiles(const fs::path& folder) {
  std::map<std::string, std::string> files;
  for (const auto& e : fs::directory_iterator(folder)) files[e.path().filename().string()] = ReadFile(e.path());
  return files;
}

// Runs `args` (which write `info` and the pictures into `mini`) again with
// each number of archive workers: what the user sees must be the same,
// byte for byte, as `first`'s.
void ExpectTheSameForEveryNumberOfWorkers(std::vector<std::string> args, const std::vector<std::string>& env,
                                          const ProcessResult& first, const fs::path& info, const fs::path& mini) {
  const std::string records = ReadFile(info);
  const auto pictures = FolderFiles(mini);
  args.push_back("--jobs");
  args.emplace_back();
  // The last under a file size limit (`ulimit -f`) too small for the
  // workers' regions of the work file past the first.
  const std::pair<const char*, StartWith> runs[] = {
      {"1", {}}, {"2", {}}, {"4", {}}, {"8", {}}, {"8", {.fileSizeLimit = std::uint64_t{1} << 30}}};
  for (const auto& [jobs, how] : runs) {
    SCOPED_TRACE(std::string("--jobs ") + jobs + (how.fileSizeLimit ? " under ulimit -f" : ""));
    fs::remove(info);
    fs::remove_all(mini);
    fs::create_directory(mini);
    args.back() = jobs;
    const ProcessResult r = RunKorvanel(args, env, how);
    EXPECT_EQ(r.status, first.status);
    EXPECT_EQ(r.out, first.out);
    EXPECT_EQ(r.err, first.err);
    EXPECT_TRUE(ReadFile(info) == records);
    EXPECT_TRUE(FolderFiles(mini) == pictures);
  }
}

// Every damaged copy among intact ones, in one walk; with --w3x, half the
// maps are named .w3x.
void DamagedCopiesAmongIntactMaps(bool w3x) {
  TempDir dir;
  const fs::path sources = dir / "sources", maps = dir / "maps", mini = dir / "mini";
  fs::create_directories(sources);
  fs::create_directories(maps);
  fs::create_directories(mini);
  fs::create_directories(dir / "tmp");

  Damager damager(20240607);
  std::vector<Copy> copies;
  const std::vector<Source> all = Sources(sources, w3x);
  for (const Source& s : all) {
    std::vector<Copy> c = damager.CopiesOf(s);
    for (Copy& one : c) one.kind = s.name + "-" + one.kind;
    copies.insert(copies.end(), std::make_move_iterator(c.begin()), std::make_move_iterator(c.end()));
  }
  copies.push_back({"zero-length", ""});
  damager.Shuffle(copies);

  // Maps named so that the walk's order mixes intact and damaged ones.
  std::map<std::string, const Copy*> byPath;
  for (std::size_t i = 0; i < copies.size(); ++i) {
    char number[32];
    std::snprintf(number, sizeof number, "%04zu ", i);
    const fs::path path = maps / (number + copies[i].kind + (w3x && i % 2 ? ".w3x" : ".w3m"));
    WriteFile(path, copies[i].bytes);
    byPath[path.string()] = &copies[i];
  }
  // Names of maps that are not regular files: never opened, never reported,
  // except those that cannot even be examined (checked below).
  fs::create_directory(maps / "x.w3m");
  ASSERT_TRUE(BuildMap(maps / "x.w3m" / "inside.w3m", SampleMapFiles(SampleMap{})));
  fs::create_symlink("self.w3m", maps / "self.w3m");
  fs::create_symlink("/dev/zero", maps / "zero device.w3m");
  fs::create_symlink(dir / "missing", maps / "dangling.w3m");
  ASSERT_EQ(::mkfifo((maps / "fifo.w3m").c_str(), 0600), 0);
  std::cout << "[   NOTE   ] " << byPath.size() << " map files in one folder\n";

  // The same holds for every number of archive workers. Only the damaged
  // maps' outcomes may differ from one to the next: a map that damages the
  // library's memory can change what it makes of the maps its process
  // handles after it, and which those are depends on how maps are shared.
  for (const char* jobs : {"", "1", "2", "4", "8"}) {
    SCOPED_TRACE(std::string("--jobs ") + jobs);
    fs::remove(dir / "info.txt");
    fs::remove_all(mini);
    fs::create_directory(mini);
    std::vector<std::string> args = {maps.string(), "/i", (dir / "info.txt").string(), "/m", mini.string()};
    if (w3x) args.push_back("--w3x");
    if (*jobs) args.insert(args.end(), {"--jobs", jobs});
    const auto start = std::chrono::steady_clock::now();
    ProcessResult r = RunKorvanel(args, {"TMPDIR=" + (dir / "tmp").string()});
    const auto elapsed = std::chrono::steady_clock::now() - start;
    std::cout << "[   NOTE   ] the run took "
              << std::chrono::duration_cast<std::chrono::milliseconds>(elapsed).count() << " ms\n";
    EXPECT_LT(elapsed, kWallLimit);
    EXPECT_TRUE(r.status == 0 || r.status == 1) << "exit status " << r.status;
    EXPECT_TRUE(fs::is_empty(dir / "tmp")) << "a work file was left behind";

    // Every map is either recorded or reported, exactly once.
    std::map<std::string, int> reported, recorded;
    for (const std::string& p : ReportedMaps(r.out)) ++reported[p];
    // The folder lists these, so they are maps that cannot be opened.
    for (const char* link : {"dangling.w3m", "self.w3m"}) {
      EXPECT_EQ(reported[(maps / link).string()], 1) << link;
      reported.erase((maps / link).string());
    }
    const auto records = Records(ReadFile(dir / "info.txt"));
    for (const auto& [path, record] : records) ++recorded[path];
    for (const auto& m : {reported, recorded})
      for (const auto& [path, count] : m) {
        EXPECT_TRUE(byPath.contains(path)) << "not a map of the folder: " << path;
        EXPECT_EQ(count, 1) << path;
      }
    std::vector<std::string> missing;
    std::string lastHandled, handledBeforeMissing;
    for (const auto& [path, copy] : byPath) {
      if (!reported.contains(path) && !recorded.contains(path)) {
        if (missing.empty()) handledBeforeMissing = lastHandled;
        missing.push_back(path);
      } else {
        lastHandled = path;
      }
      EXPECT_FALSE(reported.contains(path) && recorded.contains(path)) << "both recorded and reported: " << path;
    }
    // A map that corrupts memory may bring the run down only at the next one.
    if (!missing.empty())
      ADD_FAILURE() << missing.size() << " maps neither recorded nor reported; the first is kept as "
                    << KeepForReproduction(missing.front())
                    << (handledBeforeMissing.empty() ? "" : ", the one before it as " + KeepForReproduction(handledBeforeMissing));

    // Intact maps keep their whole records, in walk order among the others.
    std::size_t intact = 0;
    for (const auto& [path, record] : records) {
      const Copy* copy = byPath.contains(path) ? byPath[path] : nullptr;
      if (!copy || !copy->intactOf) continue;
      ++intact;
      const std::string jpg = mini.string() + "/" + fs::path(path).stem().string() + ".jpg";
      EXPECT_EQ(record, std::string(kRecordStart) + path + "\r\nMinimap File:      " + jpg + "\r\n" + copy->intactOf->lines);
    }
    EXPECT_EQ(intact, kIntactCopies * all.size());
    std::vector<std::string> order;
    for (const auto& [path, record] : records) order.push_back(path);
    EXPECT_TRUE(std::is_sorted(order.begin(), order.end()));

    // A picture file is left only for a map whose record names it: a failed
    // conversion leaves nothing behind.
    std::set<std::string> named;
    for (const auto& [path, record] : records) {
      const std::size_t at = record.find("Minimap File:      ");
      if (at != std::string::npos) named.insert(record.substr(at + 19, record.find("\r\n", at) - at - 19));
    }
    for (const auto& e : fs::directory_iterator(mini)) EXPECT_TRUE(named.contains(e.path().string())) << e.path();
    for (const std::string& jpg : named) EXPECT_TRUE(fs::exists(jpg)) << jpg;
  }
}

}  // namespace

TEST(HostileArchives, DamagedCopiesAmongIntactMapsAreReportedAndTheRunEnds) { DamagedCopiesAmongIntactMaps(false); }

TEST(HostileArchives, DamagedCopiesAmongIntactMapsWithW3x) { DamagedCopiesAmongIntactMaps(true); }

// The real maps, each several times so that every worker gets some.
TEST(HostileArchives, FixtureMapsGiveTheSameOutputForEveryNumberOfWorkers) {
  const fs::path fixtures = FixturesDir();
  TempDir dir;
  const fs::path maps = dir / "maps", mini = dir / "mini";
  fs::create_directories(maps);
  fs::create_directories(mini);
  int copies = 0;
  for (const char* relative : {"maps/smallest_roc.w3m", "maps/small_tft.w3x", "w3x/format28_jass.w3x",
                               "w3x/format31_lua.w3x", "w3x/format33_w3e12.w3x", "bench/forest_defense.w3x"}) {
    if (fixtures.empty() || !fs::exists(fixtures / relative)) {
      std::cout << "[   NOTE   ] fixture " << relative << " not found; skipped\n";
      continue;
    }
    for (int i = 0; i < 5; ++i)
      fs::copy_file(fixtures / relative, maps / (std::to_string(i) + fs::path(relative).stem().string() + ".w3m"));
    ++copies;
  }
  if (copies == 0) GTEST_SKIP() << "no fixture maps";
  const std::vector<std::string> args = {maps.string(), "/i", (dir / "info.txt").string(), "/m", mini.string()};
  const ProcessResult first = RunKorvanel(args);
  EXPECT_EQ(first.status, 0) << first.out << first.err;
  EXPECT_EQ(FolderFiles(mini).size(), 5u * copies);
  ExpectTheSameForEveryNumberOfWorkers(args, {}, first, dir / "info.txt", mini);
}

// Pictures and tables that claim sizes far beyond what they hold, or that
// would take far more memory than any real map's: the run's peak memory,
// its workers' included, stays small, with /m and with --pictures. The
// peak counts this process's memory too, copied when the run is started,
// so the maps are made into files at once and not kept here, and each run
// is held to an intact map's peak and a little more: under the sanitizers
// this process and every run start with hundreds of megabytes of their own.
TEST(HostileArchives, HugeClaimedSizesKeepPeakMemoryBounded) {
  constexpr long kMoreKiB = 64 * 1024;
  TempDir dir;
  const fs::path maps = dir / "maps";
  fs::create_directories(maps);
  SampleMap sample;
  sample.pictureSize = 16;
  auto build = [&](const std::string& kind, const std::string& picture, const std::string& bytes) {
    std::vector<EmbeddedFile> files = SampleMapFiles(sample);
    std::erase_if(files, [&](const EmbeddedFile& f) { return f.name == picture; });
    files.push_back({picture, bytes});
    EXPECT_TRUE(BuildMap(maps / (kind + ".w3m"), files));
  };
  const auto grey = [](int, int) { return Bgra{90, 90, 90, 255}; };

  build("jpeg-65535", "war3mapMap.blp",
        MakeBlpFromJpeg(16, 16, EncodeBgraJpeg(16, 16, grey), {.width = 65535, .height = 65535}));
  std::string paletted = MakePalettedBlp(16, 16, std::array<Bgra, 256>{}, [](int, int) { return std::uint8_t{0}; });
  Put32(paletted, 12, 65535);
  Put32(paletted, 16, 65535);
  build("paletted-65535", "war3mapMap.blp", paletted);
  // Within the layout's limits, its stream claiming as much and cut short.
  build("jpeg-16384", "war3mapMap.blp", MakeBlpFromJpeg(16384, 16, EncodeBgraJpeg(16384, 16, grey).substr(0, 2000)));
  // Previews of runs, a few hundred kilobytes: one larger than is decoded,
  // and one of the most pixels decoded.
  build("preview-rle-4096", "war3mapPreview.tga", MakeTga(4096, 4096, grey, {.runLength = true, .bits = 32}));
  build("preview-rle-2048", "war3mapPreview.tga", MakeTga(2048, 2048, grey, {.runLength = true, .bits = 32}));

  // The tables: claiming millions of entries past the file's end, and as
  // many where the file (padded with zeros) does hold them.
  const std::string intact = ReadFile(maps / "jpeg-65535.w3m");
  const Layout l = ReadLayout(intact);
  for (const std::uint32_t field : {24u, 28u}) {
    const std::string table = field == 24 ? "hash" : "block";
    std::string claim = intact;
    Put32(claim, l.header + field, 0x00400000);
    WriteFile(maps / (table + "-claims-4M.w3m"), claim);
    const std::size_t start = field == 24 ? l.hashTable : l.blockTable;
    claim.resize(std::max(claim.size(), start + 16 * std::size_t{0x00200000}));
    Put32(claim, l.header + field, 0x00200000);
    WriteFile(maps / (table + "-holds-2M.w3m"), claim);
  }
  // As many entries in both as a map may have.
  std::string most = intact;
  Put32(most, l.header + 24, 0x00040000);
  Put32(most, l.header + 28, 0x00040000);
  most.resize(std::max(l.hashTable, l.blockTable) + 16 * std::size_t{0x00040000});
  WriteFile(maps / "both-hold-256K.w3m", most);

  const fs::path intactMap = dir / "intact.w3m";
  ASSERT_TRUE(BuildMap(intactMap, SampleMapFiles(sample)));
  fs::create_directories(dir / "intact");
  const ProcessResult intactRun =
      RunKorvanel({intactMap.string(), "/i", (dir / "info.txt").string(), "/o", "--pictures", (dir / "intact").string()});
  ASSERT_EQ(intactRun.status, 0) << intactRun.out << intactRun.err;
  const long intactKiB = intactRun.maxResidentKiB;
  std::cout << "[   NOTE   ] an intact map: peak " << intactKiB << " KiB\n";

  for (const auto& entry : fs::directory_iterator(maps)) {
    const std::string kind = entry.path().stem().string();
    SCOPED_TRACE(kind);
    for (const char* option : {"/m", "--pictures"}) {
      const fs::path out = dir / (kind + option[1]);
      fs::create_directories(out);
      const ProcessResult r =
          RunKorvanel({entry.path().string(), "/i", (dir / "info.txt").string(), "/o", option, out.string()});
      EXPECT_TRUE(r.status == 0 || r.status == 1) << option << " exit status " << r.status << r.out << r.err;
      EXPECT_LT(r.maxResidentKiB, intactKiB + kMoreKiB) << option;
      std::cout << "[   NOTE   ] " << kind << " " << option << ": peak " << r.maxResidentKiB << " KiB\n";
    }
  }
}

TEST(HostileArchives, NamesThatAreNoMapFilesAreReportedAsSingleSources) {
  TempDir dir;
  WriteFile(dir / "empty.w3m", "");
  fs::create_symlink("self.w3m", dir / "self.w3m");
  fs::create_symlink("/dev/zero", dir / "zero.w3m");
  fs::create_symlink(dir / "missing", dir / "dangling.w3m");
  ASSERT_EQ(::mkfifo((dir / "fifo.w3m").c_str(), 0600), 0);
  for (const char* name : {"empty.w3m", "self.w3m", "zero.w3m", "dangling.w3m", "fifo.w3m"}) {
    const std::string path = (dir / name).string();
    ProcessResult r = RunKorvanel({path, "/i", (dir / "info.txt").string(), "/a", "/m", dir.Path().string()});
    EXPECT_EQ(r.status, 1) << name;
    EXPECT_EQ(r.out, std::string(kUnopenable) + path + "\n");
  }
  EXPECT_EQ(ReadFile(dir / "info.txt"), "");
}

// The program is started inside an unpacked map pack, which may hold files
// named like the libraries it and the archive library load.
TEST(HostileArchives, LibrariesInTheMapFolderAreNeverLoaded) {
  const SampleMap sample;
  for (const auto& impostors : {std::vector<std::string>{"libstorm.so.9"}, {"libstorm.so.9", "libstdc++.so.6"}}) {
    TempDir dir;
    ASSERT_TRUE(BuildMap(dir / "pack.w3m", SampleMapFiles(sample)));
    for (const std::string& name : impostors) fs::copy_file(KORVANEL_IMPOSTOR_LIBRARY, dir / name);
    ProcessResult r = RunKorvanel({dir.Path().string(), "/i", (dir / "info.txt").string()}, {}, {.folder = dir.Path()});
    EXPECT_FALSE(fs::exists(dir / "impostor-loaded")) << impostors.back();
    EXPECT_EQ(r.status, 0) << r.out << r.err;
    EXPECT_EQ(ReadFile(dir / "info.txt"), RecordHead(dir / "pack.w3m") + SampleMapLines(sample));
  }
}

// An empty or relative entry in a run path is read from the current folder.
TEST(HostileArchives, RunPathsNameNoFolderRelativeToTheCurrentOne) {
  const fs::path program = KORVANEL_BINARY;
  for (const fs::path& file : {program, program.parent_path() / "korvanel-dialog.so"}) {
    if (!fs::exists(file)) continue;  // the dialog module is optional
    FILE* readelf = ::popen(("readelf -dW '" + file.string() + "'").c_str(), "r");
    ASSERT_NE(readelf, nullptr);
    std::string dynamic;
    char buffer[4096];
    for (std::size_t n; (n = std::fread(buffer, 1, sizeof buffer, readelf)) > 0;) dynamic.append(buffer, n);
    ASSERT_EQ(::pclose(readelf), 0) << file;
    ASSERT_NE(dynamic.find("(NEEDED)"), std::string::npos) << file;
    std::istringstream lines(dynamic);
    for (std::string line; std::getline(lines, line);) {
      if (line.find("(RUNPATH)") == std::string::npos && line.find("(RPATH)") == std::string::npos) continue;
      const std::size_t open = line.find('[');
      std::istringstream entries(line.substr(open + 1, line.rfind(']') - open - 1) + ":");
      for (std::string entry; std::getline(entries, entry, ':');)
        EXPECT_TRUE(entry.starts_with('/') || entry.starts_with("$ORIGIN")) << file << ": \"" << entry << '"';
    }
  }
}

}  // namespace korvanel::test
