// The catalogue of a run: one JSON object per map, one object a line (JSON
// Lines), in the order the maps were met, for scripts and databases. It
// holds every fact of the map's record as a typed value; docs/
// catalogue.schema.json describes it. Like the info file, it words nothing:
// each call returns what happened and the run tells the user.
#pragma once

#include <string>
#include <string_view>

#include "output/map_record.h"
#include "platform/file.h"

namespace korvanel {

// The map's object as one line, its line feed included. Map texts are
// bytes in whatever code page the map maker used: a text that is not valid
// UTF-8 is given with U+FFFD for each bad sequence, and its exact bytes in
// base64 under the same key with "_base64" appended.
std::string CatalogueLine(const MapRecord& record);

class CatalogueWriter {
 public:
  // The name that means standard output.
  static constexpr std::string_view kStandardOutput = "-";

  // Creates the file at `path`, or empties the one there. Returns 0 or the
  // error number.
  int Open(const std::string& path);
  // Writes the map's line at once, so that a reader of a pipe sees each map
  // when it is done. Returns 0 or the error number.
  int Write(const MapRecord& record);
  // Some file systems report a failed write only here. Returns 0 or the
  // error number.
  int Close();
  bool IsOpen() const { return file_.IsOpen(); }

 private:
  File file_;
};

}  // namespace korvanel
