// The list of files the map's author imported (war3map.imp): the editor
// keeps an imported file in the archive only while this list names it.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace korvanel {

// Where the editor stores a file of the list whose path it completes.
inline constexpr std::string_view kImportedFolder = "war3mapImported\\";

struct ImportedFile {
  std::string stored;       // the path as the list stores it
  std::string archiveName;  // the name the archive holds the file under
};

struct ImportList {
  std::optional<std::int32_t> version;  // 0 or 1 as far as known
  std::optional<std::int32_t> count;    // as stored, perhaps more than the data holds
  // The whole entries the data holds, up to the stored count.
  std::vector<ImportedFile> files;
};

// Reads the list into `list` (emptied first). True when the data holds
// every entry the stored count names; false when it ends before that, or
// when the version is one whose entries this parser does not know (then
// the version and count only).
bool ParseImportList(std::span<const std::byte> data, ImportList& list);

}  // namespace korvanel
