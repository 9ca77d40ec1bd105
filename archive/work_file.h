// The one temporary file that holds the embedded files extracted last.
// Every extraction of every map reuses it; it lives in the page cache and is
// never synced.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "platform/file.h"
#include "platform/scratch_buffer.h"

namespace korvanel {

// Each archive worker writes only inside its own region of the work file,
// the n-th from n times this size on: room for the files of the maps it
// keeps in place (archive/map_reader.h) at any size a real map has. The
// file is sparse, so a region costs only the pages written in it.
inline constexpr std::uint64_t kWorkFileRegion = std::uint64_t{1} << 37;

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
  // Gives back the pages of [begin, end); the file keeps its size and
  // everything else in place. Returns 0 or the error number.
  int Discard(std::uint64_t begin, std::uint64_t end);
  // The `size` bytes at `offset`, fewer where the file ends: in place where
  // the file can be mapped into this process, else read into `scratch`.
  // They stay valid until that stretch is written again. Returns 0 or the
  // error number.
  int View(std::uint64_t offset, std::size_t size, ScratchBuffer& scratch, std::span<const std::byte>& data);

 private:
  // A region's stretch mapped read-only, from the region's start.
  struct Mapping {
    const std::byte* data = nullptr;
    std::uint64_t length = 0;
  };
  // Where [offset, offset + size) lies in a mapping, grown to hold it; null
  // when it cannot be mapped.
  const std::byte* Mapped(std::uint64_t offset, std::size_t size);
  void Unmap();

  File file_;
  std::string path_;
  std::vector<Mapping> mappings_;  // one per region read so far
  // The file's size as last seen: a mapped page past the end would kill the
  // process, so no view reaches beyond it.
  std::uint64_t knownSize_ = 0;
};

// Removes what runs killed before they could remove their work files left
// in the temporary directory: "~KVL<digits>" regular files of this user
// that no live run holds locked. Nothing else is touched.
void RemoveAbandonedWorkFiles();

// The folder the work file goes to: the first of TMPDIR, TEMP and TMP that
// names an existing folder, else /tmp.
std::string TemporaryDirectory();

}  // namespace korvanel
