// An earlier run's catalogue, for an update: which maps it holds, under
// which size and time, checked line by line when it is read. The lines
// themselves stay in the file and are read back one at a time when each
// map's turn comes, so a catalogue of any size costs little memory.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>

#include "platform/file.h"

namespace korvanel {

class PreviousCatalogue {
 public:
  // One map's object, and what decides whether it still holds.
  struct Entry {
    std::uint64_t offset = 0;
    std::size_t length = 0;  // its line feed included
    bool identified = false;  // size, time and checksum are known
    std::uint64_t size = 0;
    std::string modified;
    std::string sha1;
    bool laterFormats = false;
  };

  enum class Problem {
    kNone,
    kDamaged,       // not a whole JSON object: damaged, or cut short
    kForeign,       // an object, but not a map of a catalogue
    kOtherVersion,  // a catalogue of another layout, not to be trusted
  };
  struct ReadResult {
    bool found = false;  // there was a file to read
    Problem problem = Problem::kNone;
    std::size_t line = 0;  // the first line with the problem, from 1
    int error = 0;         // a failed read
  };

  // Reads the catalogue at `path`. On any problem nothing is kept, so that
  // every map is read anew.
  ReadResult Read(const std::string& path);
  // The entry for the map at `path`, or null.
  const Entry* Find(const std::string& path) const;
  // The entry's line as it stands in the file. Returns 0 or the error number.
  int Line(const Entry& entry, std::string& line) const;

 private:
  File file_;
  std::unordered_map<std::string, Entry> entries_;
};

}  // namespace korvanel
