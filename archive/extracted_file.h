// What the pipeline learns about one embedded file it asked for: the
// worker puts the file's bytes into the work file and tells only where.
#pragma once

#include <cstdint>

namespace korvanel {

struct ExtractedFile {
  bool found = false;        // the map holds the file
  int fileError = 0;         // 0, or the error met while preparing or writing the work file
  std::uint64_t offset = 0;  // where the work file holds it
  std::uint64_t size = 0;    // bytes placed there
};

}  // namespace korvanel
