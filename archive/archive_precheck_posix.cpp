#include "archive/archive_precheck.h"

#include <fcntl.h>
#include <sys/mman.h>
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

bool IsSafeToOpen(const std::string& path, std::uint64_t& size) {
  File file(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
  struct stat st {};
  if (!file.IsOpen() || ::fstat(file.Descriptor(), &st) != 0) return false;
  // A fifo or device named like a map would block or never end.
  if (!S_ISREG(st.st_mode)) return false;
  size = static_cast<std::uint64_t>(st.st_size);
  if (st.st_size == 0) return true;

  // Mapped rather than read: a few bytes of every 512 are looked at, and
  // the library reads the file on its own. Populated in the one call, as a
  // fault every few pages costs more.
  const auto length = static_cast<std::size_t>(st.st_size);
  void* mapped = ::mmap(nullptr, length, PROT_READ, MAP_SHARED | MAP_POPULATE, file.Descriptor(), 0);
  if (mapped == MAP_FAILED) return false;
  const ByteReader in{std::span(static_cast<const std::byte*>(mapped), length)};
  bool hostile = false;
  for (std::int64_t at = 0; at < st.st_size && !hostile; at += kHeaderAlignment) {
    hostile = IsHostileHeader(in, at, st.st_size);
    // User data in front of the archive names where its header is.
    if (!hostile && in.MagicAt(at, "MPQ\x1B"))
      if (auto offset = in.I32(at + 8)) hostile = IsHostileHeader(in, at + static_cast<std::uint32_t>(*offset), st.st_size);
  }
  ::munmap(mapped, length);
  return !hostile;
}

}  // namespace korvanel
