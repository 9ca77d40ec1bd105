// The worker's side of extraction: the game's archive library, bound at run
// time, and a map's embedded files copied out of it into the work file.
// Maps are only ever opened read-only. The worker gets this object as the
// run had it when the worker started; the run uses its own only when no
// worker can be started.
#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <span>
#include <string>
#include <vector>

#include "archive/extracted_file.h"
#include "archive/map_answer.h"
#include "archive/map_request.h"
#include "platform/dynamic_library.h"
#include "platform/scratch_buffer.h"

namespace korvanel {

class WorkFile;

// How many maps' requests may be outstanding while the caller works on the
// files of the map before them. Maps differ in size, and with a single map
// ahead a small one on either side leaves that side waiting on the other.
// So the files of that many maps copied last must stay where they are.
inline constexpr std::size_t kMapsAhead = 8;

class MapReader {
 public:
  explicit MapReader(WorkFile& workFile) : workFile_(workFile) {}

  // Loads the library and binds its calls; false when it cannot be loaded
  // or lacks one of them.
  bool Bind(const std::string& nameOrPath);
  void Release();
  bool IsLoaded() const { return calls_.open != nullptr; }

  // Opens the map, copies each of `names` into the work file's region
  // `region` (archive/work_file.h), in that order, and closes the map;
  // `answer` says whether the map opened and why not. With
  // `flags.identify` it also gets the map file's identity and the signs of
  // protection. With `flags.loadingScreen` one more file follows those
  // named: the picture of the loading screen that the map information
  // (war3map.w3i, among `names`, read as later editors write it) names,
  // or the first texture of the model it names; not found when the map
  // holds none, as when the loading screen is one of the game's own. The
  // files of the kMapsAhead maps copied before are left in place.
  void CopyMapFiles(const std::string& path, std::span<const char* const> names, MapRequestFlags flags,
                    MapAnswer& answer, std::vector<ExtractedFile>& files, std::size_t region = 0);
  // The same for a request (archive/map_request.h), as the worker gets it:
  // `file` is the map itself, sent along with the request, or -1; it is
  // closed here.
  void Serve(std::span<const std::byte> request, int file, std::vector<std::byte>& reply, std::size_t region);
  // Nothing copied so far is read any more: the next map's files may go
  // anywhere.
  void ForgetCopiedFiles() { busy_.clear(); }
  // The caller reads [begin, end) of the work file for request `number`
  // until Release: nothing is copied there meanwhile, also by a worker
  // started after this call, which has copied none of it itself.
  void Hold(std::uint64_t number, std::uint64_t begin, std::uint64_t end);
  void Release(std::uint64_t number);

 private:
  using ArchiveHandle = void*;
  struct Calls {
    bool (*open)(const char*, unsigned, unsigned, ArchiveHandle*) = nullptr;
    bool (*close)(ArchiveHandle) = nullptr;
    bool (*openFile)(ArchiveHandle, const char*, unsigned, void**) = nullptr;
    unsigned (*fileSize)(void*, unsigned*) = nullptr;
    bool (*read)(void*, void*, unsigned, unsigned*, void*) = nullptr;
    bool (*closeFile)(void*) = nullptr;
  };
  // A stretch of the work file that a recent map's files occupy.
  struct Region {
    std::uint64_t begin = 0, end = 0;
  };

  bool OpenMapArchive(const std::string& path, ArchiveHandle& archive) const;
  bool HasFile(ArchiveHandle archive, const char* name) const;
  // Copies the file to `cursor`, or past the regions that may still be
  // read, and moves `cursor` past it; never past `regionEnd`.
  // `archiveSize` judges the sizes the map's tables claim.
  ExtractedFile CopyEmbeddedFile(ArchiveHandle archive, const char* name, std::uint64_t archiveSize, std::uint64_t& cursor,
                                 std::uint64_t regionEnd);
  // The loading screen's picture for CopyMapFiles, copied like the others.
  ExtractedFile CopyLoadingScreen(ArchiveHandle archive, std::span<const char* const> names,
                                  std::span<const ExtractedFile> files, std::uint64_t archiveSize, std::uint64_t& cursor,
                                  std::uint64_t regionEnd);
  // The bytes of a file copied into the work file, valid until the next
  // copy; empty when it cannot be read back.
  std::span<const std::byte> CopiedBytes(const ExtractedFile& file);

  WorkFile& workFile_;
  DynamicLibrary library_;
  Calls calls_;
  // Where the files of the last kMapsAhead maps lie, newest last.
  std::deque<Region> busy_;
  struct Held {
    std::uint64_t number = 0;
    Region stretch;
  };
  std::vector<Held> held_;
  // The end of what may still hold pages, past the regions in use; unknown
  // at first, as a worker that died before may have written further.
  std::uint64_t written_ = UINT64_MAX;
  ScratchBuffer scratch_;
  // Reused by Serve from request to request.
  std::vector<const char*> names_;
  std::vector<ExtractedFile> files_;
};

}  // namespace korvanel
