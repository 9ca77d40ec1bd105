#include "archive/archive_precheck.h"

#include <algorithm>
#include <array>
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

// A header the library might take, with a sector size that breaks it, or
// tables claiming more entries than the whole file could hold: the library
// would allocate gigabytes for them before failing.
bool IsHostileHeader(const ByteReader& in, std::int64_t at, std::int64_t fileSize) {
  if (!in.MagicAt(at, "MPQ\x1A")) return false;
  auto shift = in.U8(at + 0x0E);
  if (shift && *shift > kMaxSectorShift) return true;
  for (std::int64_t field : {0x18, 0x1C}) {
    auto entries = in.I32(at + field);
    if (entries && static_cast<std::uint32_t>(*entries) > static_cast<std::uint64_t>(fileSize) / 16) return true;
  }
  return false;
}

}  // namespace

bool IsSafeToOpen(const std::string& path, ScratchBuffer& buffer, std::uint64_t& size) {
  File file(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
  struct stat st {};
  if (!file.IsOpen() || ::fstat(file.Descriptor(), &st) != 0) return false;
  // A fifo or device named like a map would block or never end.
  if (!S_ISREG(st.st_mode)) return false;

  // A small map needs only its own size.
  const auto wanted = std::min<std::uint64_t>(kChunk + kHeaderAlignment, static_cast<std::uint64_t>(st.st_size));
  const std::span<std::byte> chunk = buffer.Get(static_cast<std::size_t>(wanted));
  if (wanted > 0 && chunk.empty()) return false;
  for (std::int64_t base = 0; base < st.st_size; base += kChunk) {
    std::size_t got = 0;
    // A little more than a chunk, so headers across the chunk's end are whole.
    if (file.ReadAt(static_cast<std::uint64_t>(base), chunk, got) != 0) return false;
    const ByteReader in{std::span<const std::byte>(chunk).first(got)};
    for (std::int64_t at = 0; at < static_cast<std::int64_t>(std::min(got, kChunk)); at += kHeaderAlignment) {
      if (IsHostileHeader(in, at, st.st_size)) return false;
      // User data in front of the archive names where its header is.
      if (in.MagicAt(at, "MPQ\x1B")) {
        auto offset = in.I32(at + 8);
        if (!offset) continue;
        std::array<std::byte, 32> header{};
        std::size_t n = 0;
        const std::int64_t headerAt = base + at + static_cast<std::uint32_t>(*offset);
        if (file.ReadAt(static_cast<std::uint64_t>(headerAt), header, n) == 0 && IsHostileHeader(ByteReader(std::span(header).first(n)), 0, st.st_size))
          return false;
      }
    }
  }
  size = static_cast<std::uint64_t>(st.st_size);
  return true;
}

}  // namespace korvanel
