#include "archive/archive_precheck.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <fcntl.h>
#include <span>
#include <sys/stat.h>
#include <unistd.h>

#include "parsers/byte_reader.h"
#include "platform/file.h"

namespace korvanel {
namespace {

// The library looks for its header at every 512-byte boundary.
constexpr std::int64_t kHeaderAlignment = 0x200;
// Sector size is 512 << shift in 32 bits: from 23 on it is 0, and the
// library divides by it.
constexpr std::uint8_t kMaxSectorShift = 22;
constexpr std::size_t kChunk = 1 << 20;
constexpr std::int64_t kTableEntrySize = 16;
constexpr std::size_t kHeaderSize = 32;
// The library builds its tables in memory at some 80 bytes an entry; past
// this many entries in both together, a worker's memory would pass 64 MiB.
// Real maps list a few thousand files at most.
constexpr std::uint64_t kMaxTableEntries = std::uint64_t{1} << 19;

// A header the library might take, with a sector size that breaks it, or
// tables claiming more entries than the whole file could hold, or than any
// real map has: the library would allocate gigabytes for them before
// failing, or hundreds of megabytes to read a file padded to hold them.
bool IsHostileHeader(const ByteReader& in, std::int64_t fileSize) {
  if (!in.MagicAt(0, "MPQ\x1A")) return false;
  auto shift = in.U8(0x0E);
  if (shift && *shift > kMaxSectorShift) return true;
  std::uint64_t total = 0;
  for (std::int64_t field : {0x18, 0x1C}) {
    auto entries = in.I32(field);
    if (!entries) continue;
    const std::uint32_t count = static_cast<std::uint32_t>(*entries);
    if (count > static_cast<std::uint64_t>(fileSize) / kTableEntrySize) return true;
    total += count;
  }
  return total > kMaxTableEntries;
}

// Where the header's hash and block tables lie against the file, for the
// header at `archiveOffset`, in the first format's 32-bit fields.
void NoteTables(const ByteReader& header, std::int64_t archiveOffset, std::int64_t fileSize, ArchiveSigns& signs) {
  auto note = [&](std::int64_t positionField, std::int64_t countField, bool& outside, bool& pastEnd) {
    const auto position = header.I32(positionField), count = header.I32(countField);
    if (!position || !count) return;
    const std::int64_t start = archiveOffset + static_cast<std::uint32_t>(*position);
    outside = start >= fileSize;
    pastEnd = !outside && start + kTableEntrySize * static_cast<std::uint32_t>(*count) > fileSize;
  };
  note(0x10, 0x18, signs.hashTableOutside, signs.hashTablePastEnd);
  note(0x14, 0x1C, signs.blockTableOutside, signs.blockTablePastEnd);
}

bool Refuse(MapAnswer& answer, MapFailure failure, int error = 0) {
  answer.failure = failure;
  answer.error = error;
  return false;
}

}  // namespace

bool CheckMapFile(const std::string& path, ScratchBuffer& buffer, bool identify, MapAnswer& answer, std::uint64_t& size) {
  File file(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
  struct stat st {};
  if (!file.IsOpen() || ::fstat(file.Descriptor(), &st) != 0) return Refuse(answer, MapFailure::kUnreadable, errno);
  // A fifo or device named like a map would block or never end.
  if (!S_ISREG(st.st_mode)) return Refuse(answer, MapFailure::kNotRegularFile);

  // A small map needs only its own size.
  const auto wanted = std::min<std::uint64_t>(kChunk + kHeaderAlignment, static_cast<std::uint64_t>(st.st_size));
  const std::span<std::byte> chunk = buffer.Get(static_cast<std::size_t>(wanted));
  if (wanted > 0 && chunk.empty()) return Refuse(answer, MapFailure::kUnreadable, ENOMEM);
  MapHasher hasher;
  bool hostile = false, headerSeen = false;
  // Read to the end even past a hostile header, so that the identity
  // covers the whole file.
  for (std::int64_t base = 0; base < st.st_size && (identify || !hostile); base += kChunk) {
    std::size_t got = 0;
    // A little more than a chunk, so headers across the chunk's end are whole.
    if (const int error = file.ReadAt(static_cast<std::uint64_t>(base), chunk, got); error != 0)
      return Refuse(answer, MapFailure::kUnreadable, error);
    const std::span<const std::byte> read = std::span<const std::byte>(chunk).first(got);
    if (identify) hasher.Update(read.first(std::min(got, kChunk)));
    for (std::int64_t at = 0; at < static_cast<std::int64_t>(std::min(got, kChunk)) && !hostile; at += kHeaderAlignment) {
      std::int64_t headerAt = base + at;
      std::array<std::byte, kHeaderSize> header{};
      const ByteReader here(read.subspan(static_cast<std::size_t>(at)));
      // User data in front of the archive names where its header is.
      if (here.MagicAt(0, "MPQ\x1B")) {
        auto offset = here.I32(8);
        if (!offset) continue;
        std::size_t n = 0;
        headerAt += static_cast<std::uint32_t>(*offset);
        if (file.ReadAt(static_cast<std::uint64_t>(headerAt), header, n) != 0) continue;
        const ByteReader userHeader(std::span<const std::byte>(header).first(n));
        hostile = IsHostileHeader(userHeader, st.st_size);
        if (identify && !headerSeen && userHeader.MagicAt(0, "MPQ\x1A")) {
          NoteTables(userHeader, headerAt, st.st_size, answer.signs);
          headerSeen = true;
        }
      } else if (here.MagicAt(0, "MPQ\x1A")) {
        hostile = IsHostileHeader(here, st.st_size);
        // The library takes the first header it finds.
        if (identify && !headerSeen) NoteTables(here, headerAt, st.st_size, answer.signs);
        headerSeen = true;
      }
    }
  }
  if (identify) {
    hasher.Finish(answer.identity);
    answer.identity.modifiedSeconds = st.st_mtim.tv_sec;
    answer.identity.modifiedNanoseconds = static_cast<std::uint32_t>(st.st_mtim.tv_nsec);
    answer.identified = true;
  }
  if (hostile) return Refuse(answer, MapFailure::kHostileHeader);
  size = static_cast<std::uint64_t>(st.st_size);
  return true;
}

}  // namespace korvanel
