// The one temporary file that holds the embedded files extracted last.
// Every extraction of every map reuses it; it lives in the page cache and is
// never synced.
#pragma once

#include <cstdint>
#include <span>
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
  // that is already there, and holds a lock on it for the run's life (its
  // worker's included), so that no other run takes it for abandoned.
  // Returns 0 or the error number.
  int Create();
  bool IsOpen() const { return file_.IsOpen(); }
  const File& Handle() const { return file_; }
  const std::string& Path() const { return path_; }
  // Closes and removes the file; errors are ignored.
  void Delete();

  // Writes `bytes` at `offset`. Returns 0 or the error number.
  int WriteAt(std::uint64_t offset, std::span<const std::byte> bytes);
  // Cuts the file to `length` when it is longer, also when another process
  // sharing it made it so. Returns 0 or the error number.
  int Fit(std::uint64_t length);

 private:
  File file_;
  std::string path_;
};

// Removes what runs killed before they could remove their work files left
// in the temporary directory: "~KVL<digits>" regular files of this user
// that no live run holds locked. Nothing else is touched.
void RemoveAbandonedWorkFiles();

// The folder the work file goes to: the first of TMPDIR, TEMP and TMP that
// names an existing folder, else /tmp.
std::string TemporaryDirectory();

}  // namespace korvanel
