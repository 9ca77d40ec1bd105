#include "parsers/imports.h"

#include <string>
#include <string_view>
#include <utility>

#include "parsers/byte_reader.h"

namespace korvanel {

namespace {

// Version 1 puts a byte before each path: 5 or 8 for a path the editor
// completes with the imported folder, 10 or 13 for one stored whole.
// Version 0 has no such byte; its paths are taken as stored.
constexpr std::int32_t kPlainVersion = 0;
constexpr std::int32_t kMarkedVersion = 1;

bool IsStandardPath(std::uint8_t mark) { return mark == 5 || mark == 8; }

}  // namespace

bool ParseImportList(std::span<const std::byte> data, ImportList& list) {
  list = {};
  const ByteReader in(data);
  if (!(list.version = in.I32(0))) return false;
  if (!(list.count = in.I32(4))) return false;
  if (*list.version != kPlainVersion && *list.version != kMarkedVersion) return false;

  std::int64_t offset = 8;
  for (std::int32_t k = 0; k < *list.count; ++k) {
    bool standard = false;
    if (*list.version == kMarkedVersion) {
      const auto mark = in.U8(offset);
      if (!mark) return false;
      standard = IsStandardPath(*mark);
      ++offset;
    }
    std::int64_t next = 0;
    const std::string_view path = in.CString(offset, next);
    if (next > in.Size()) return false;  // no NUL: the path was cut
    std::string archiveName = standard ? std::string(kImportedFolder) : std::string();
    archiveName += path;
    list.files.push_back({std::string(path), std::move(archiveName)});
    offset = next;
  }
  return true;
}

}  // namespace korvanel
