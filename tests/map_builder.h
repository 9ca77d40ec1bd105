// Builds map archives for tests and samples with StormLib's writer, and
// reads embedded files back for checks.
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace korvanel::test {

struct EmbeddedFile {
  std::string name;
  std::string bytes;
};

// Writes a new archive at `path` holding `files` (compressed), with the
// list of its names unless `listfile` is false, as protected maps leave it
// out. Returns false when StormLib refuses.
bool BuildMap(const std::filesystem::path& path, const std::vector<EmbeddedFile>& files, bool listfile = true);

// The bytes of one embedded file of an archive, or nothing when the archive
// or the file cannot be opened.
std::optional<std::string> ReadEmbedded(const std::filesystem::path& map, const std::string& name);

}  // namespace korvanel::test
