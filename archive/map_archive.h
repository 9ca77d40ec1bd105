// The game's archive library, bound at run time, and what the pipeline
// needs from it: a map's embedded files copied into the work file. Maps
// are only ever opened read-only.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "platform/dynamic_library.h"
#include "platform/scratch_buffer.h"
#include "platform/worker_process.h"

namespace korvanel {

class WorkFile;

inline constexpr const char kArchiveLibraryName[] = "libstorm.so.9";

// How many maps' requests may be outstanding while the caller works on the
// files of the map before them. Maps differ in size, and with a single map
// ahead a small one on either side leaves that side waiting on the other.
inline constexpr std::size_t kMapsAhead = 4;

using ArchiveHandle = void*;

// One embedded file, and where the work file holds it.
struct ExtractedFile {
  bool found = false;        // the map holds the file
  int fileError = 0;         // 0, or the error met while preparing or writing the work file
  std::uint64_t offset = 0;  // where the work file holds it
  std::uint64_t size = 0;    // bytes placed there
};

class MapArchive {
 public:
  explicit MapArchive(WorkFile& workFile);
  ~MapArchive();

  // Loads the library and binds its calls; false when it cannot be loaded
  // or lacks one of them.
  bool BindArchiveLibrary(const std::string& nameOrPath);
  void ReleaseArchiveLibrary();
  bool IsLoaded() const { return calls_.open != nullptr; }
  // The library is loaded and the work file open.
  bool IsReady() const;

  // Opens the map, copies each of `names` into the work file, in that
  // order, and closes the map. This runs in a worker process, so a map
  // that crashes or hangs the library costs only the worker, and it runs
  // while the caller works on earlier maps' files: requests are answered
  // in order, and an answer's files stay in place until the answers to
  // kMapsAhead later requests are collected. `names` must outlive the
  // request.
  void RequestMapFiles(const std::string& path, std::span<const char* const> names);
  // The answer to the oldest request: false when the map could not be
  // opened or broke the library.
  bool CollectMapFiles(std::vector<ExtractedFile>& files);
  // Both at once.
  bool ExtractMapFiles(const std::string& path, std::span<const char* const> names, std::vector<ExtractedFile>& files) {
    RequestMapFiles(path, names);
    return CollectMapFiles(files);
  }
  // How long one map may keep the library busy before it counts as hung.
  std::chrono::milliseconds libraryTimeout = std::chrono::minutes(5);

 private:
  struct Calls {
    bool (*open)(const char*, unsigned, unsigned, void**) = nullptr;
    bool (*close)(void*) = nullptr;
    bool (*openFile)(void*, const char*, unsigned, void**) = nullptr;
    unsigned (*fileSize)(void*, unsigned*) = nullptr;
    bool (*read)(void*, void*, unsigned, unsigned*, void*) = nullptr;
    bool (*closeFile)(void*) = nullptr;
  };

  struct Request {
    std::string path;
    std::vector<const char*> names;
    bool posted = false;  // else it is done here when collected
  };

  bool OpenMapArchive(const std::string& path, ArchiveHandle& archive) const;
  void CloseMapArchive(ArchiveHandle archive) const;
  // The work of a request, in this process.
  bool CopyMapFiles(const std::string& path, std::span<const char* const> names, std::vector<ExtractedFile>& files);
  void Serve(std::span<const std::byte> request, int file, std::vector<std::byte>& reply);
  // Copies the file to `cursor`, or past the regions that may still be
  // read, and moves `cursor` past it.
  ExtractedFile CopyEmbeddedFile(ArchiveHandle archive, const char* name, std::uint64_t& cursor);

  WorkFile& workFile_;
  std::unique_ptr<WorkerProcess> worker_;
  std::deque<Request> requests_;
  std::vector<std::byte> request_, reply_;
  // Where the files of the last kMapsAhead answers lie, newest last; the
  // next answer's files go elsewhere. Kept by whichever process does the
  // copying.
  struct Region {
    std::uint64_t begin = 0, end = 0;
  };
  std::deque<Region> busy_;
  ScratchBuffer scratch_;
  // Size of the map file opened last, to judge the sizes its tables claim.
  std::uint64_t archiveSize_ = 0;
  DynamicLibrary library_;
  Calls calls_;
};

// Binds the library by plain name: beside the program, then by the
// system's search, then from the game's installation folder; or by the
// absolute path `name`. Never from the current folder: a place that is not
// an absolute path is passed over. `tried`, when given, receives what was
// handed to the loader, in order (the plain name for the system's search).
// False when nothing worked.
bool LoadArchiveLibrary(MapArchive& archive, const std::string& name = kArchiveLibraryName,
                        std::vector<std::string>* tried = nullptr);

}  // namespace korvanel
