// The info file of a run: opened once, written a map at a time, closed at
// the end. It words nothing: each step returns what happened, and the run
// decides what to tell the user. Writes are skipped while no file is open,
// so the run never asks whether the info output is on.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "platform/file.h"

namespace korvanel {

// What becomes of an info file that exists already.
enum class ExistingInfoFile { kAppend, kStartAnew, kLeaveAlone };

enum class InfoFileOpen {
  kOpened,
  kDirectory,  // the name is a folder's
  kReadOnly,
  kLeftAlone,  // it exists, and was to be left alone
  kInUse,      // another process holds it
  kFailed,     // see the error number
};

struct InfoFileOpenResult {
  InfoFileOpen status = InfoFileOpen::kFailed;
  int error = 0;
};

class InfoWriter {
 public:
  // Creates the file at `path`, or opens it as `existing` says when it
  // exists already; `existing` is asked only for a file that may be written.
  InfoFileOpenResult Open(const std::string& path, const std::function<ExistingInfoFile()>& existing);
  // Collects the text of a record and writes what was collected once it
  // is much. Returns 0 or the error number of that write; after a failed
  // write the rest of the record is dropped.
  int Write(std::string_view text);
  // Ends the record: writes what was collected. Returns 0 or the error
  // number. A record that could not be written whole is cut off again, so
  // the file always ends with a whole record (a full disk, a quota), and
  // the next record is tried afresh.
  int EndRecord();
  // Ends the record and closes: some file systems report a failed write
  // only here.
  int Close();
  bool IsOpen() const { return file_.IsOpen(); }

 private:
  InfoFileOpenResult OpenExisting(const std::string& path, ExistingInfoFile how);

  int WritePending();

  File file_;
  std::string pending_;
  // The file's size after its last whole record, to cut back to.
  std::uint64_t whole_ = 0;
  // A write of the record in hand failed: its rest is dropped.
  bool dropping_ = false;
};

}  // namespace korvanel
