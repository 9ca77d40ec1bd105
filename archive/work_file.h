// The one temporary file that holds the embedded file extracted last.
// Every extraction of every map reuses it.
#pragma once

#include <string>

#include "platform/file.h"

namespace korvanel {

class WorkFile {
 public:
  WorkFile() = default;
  WorkFile(const WorkFile&) = delete;
  WorkFile& operator=(const WorkFile&) = delete;
  ~WorkFile() { Delete(); }

  // Creates "~KVL<n>" in the temporary directory, never opening anything
  // that is already there. Returns 0 or the error number.
  int Create();
  bool IsOpen() const { return file_.IsOpen(); }
  File& Handle() { return file_; }
  const File& Handle() const { return file_; }
  const std::string& Path() const { return path_; }
  // Closes and removes the file; errors are ignored.
  void Delete();

 private:
  File file_;
  std::string path_;
};

// The folder the work file goes to: the first of TMPDIR, TEMP and TMP that
// names an existing folder, else /tmp.
std::string TemporaryDirectory();

}  // namespace korvanel
