// The catalogue of a run: one JSON object per map, one object a line (JSON
// Lines), in the order the maps were met, for scripts and databases. It
// holds every fact of the map's record as a typed value;
// docs/catalogue.schema.json describes it. Like the info file, it words
// nothing: each call returns what happened and the run tells the user.
//
// A catalogue file is written anew beside the old one and put in its place
// only when complete, so a reader never sees a half-written or mixed
// catalogue, and a run that fails or is killed leaves the old one whole.
// The new file's name doubles as a lock: two runs never write one
// catalogue at once.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "output/map_record.h"
#include "platform/file.h"

namespace korvanel {

// The version of the objects' layout, in each object; a catalogue of
// another version is never taken for this one's.
inline constexpr int kCatalogueVersion = 2;

// The map's object as one line, its line feed included. Map texts are
// bytes in whatever code page the map maker used: a text that is not valid
// UTF-8 is given with U+FFFD for each bad sequence, and its exact bytes in
// base64 under the same key with "_base64" appended.
std::string CatalogueLine(const MapRecord& record);
// `line` as CatalogueLine gave it, with another duplicate_of: the member
// that depends on the other maps of a run.
std::string WithDuplicateOf(std::string_view line, const std::string& duplicateOf);

// A file's modification time as the catalogue gives it: ISO 8601 in UTC,
// with the nanoseconds when there are any.
std::string CatalogueTime(std::int64_t seconds, std::uint32_t nanoseconds);
// The lower-case hexadecimal digits of `bytes`.
std::string HexDigits(std::span<const std::uint8_t> bytes);

enum class CatalogueOpen {
  kOpened,
  kFolder,      // the name is a folder's
  kNotRegular,  // a fifo or socket, which would block or take nothing
  kReadOnly,
  kInUse,       // another run is writing it
  kFailed,      // see the error number
};

struct CatalogueOpenResult {
  CatalogueOpen status = CatalogueOpen::kFailed;
  int error = 0;
};

class CatalogueWriter {
 public:
  // The name that means standard output.
  static constexpr std::string_view kStandardOutput = "-";

  CatalogueWriter() = default;
  CatalogueWriter(const CatalogueWriter&) = delete;
  CatalogueWriter& operator=(const CatalogueWriter&) = delete;
  ~CatalogueWriter() { Abandon(); }

  // Starts the catalogue for `path`: standard output, a device written as
  // it is (/dev/null), or a file, whose old content stays until Close.
  CatalogueOpenResult Open(const std::string& path);
  // Writes one line as CatalogueLine gives it; to standard output at once,
  // so a reader of a pipe sees each map when it is done. Returns 0 or the
  // error number; after an error the catalogue is not completed.
  int Write(std::string_view line);
  int Write(const MapRecord& record) { return Write(CatalogueLine(record)); }
  // Completes the catalogue, putting the new file in the old one's place.
  // Returns 0 or the error number; on error the old file stays as it was.
  int Close();
  // Drops the new file, if any: the old catalogue stays as it was.
  void Abandon();
  bool IsOpen() const { return file_.IsOpen(); }
  // The file being replaced; empty for standard output and devices.
  const std::string& Replaced() const { return target_; }

 private:
  int Flush();

  File file_;
  std::string target_;   // the catalogue's own path, when written beside it
  std::string pending_;  // the new file's name beside it
  std::string buffer_;
  int error_ = 0;  // the first failed write
};

}  // namespace korvanel
