// The game's archive library, bound at run time, and the three operations
// the pipeline needs from it: open a map, copy one embedded file into the
// work file, close the map. Maps are only ever opened read-only.
#pragma once

#include <cstdint>
#include <string>

#include "platform/dynamic_library.h"
#include "platform/scratch_buffer.h"

namespace korvanel {

class WorkFile;

inline constexpr const char kArchiveLibraryName[] = "libstorm.so.9";

using ArchiveHandle = void*;

struct ExtractResult {
  bool found = false;    // the map holds the file
  int fileError = 0;     // 0, or the error met while preparing or writing the work file
};

class MapArchive {
 public:
  explicit MapArchive(WorkFile& workFile) : workFile_(workFile) {}

  // Loads the library and binds its calls; false when it cannot be loaded
  // or lacks one of them.
  bool BindArchiveLibrary(const std::string& nameOrPath);
  void ReleaseArchiveLibrary();
  bool IsLoaded() const { return calls_.open != nullptr; }
  // The library is loaded and the work file open.
  bool IsReady() const;

  bool OpenMapArchive(const std::string& path, ArchiveHandle& archive) const;
  void CloseMapArchive(ArchiveHandle archive) const;
  // Leaves exactly the embedded file's bytes in the work file, positioned
  // at 0; an empty work file when the map lacks it.
  ExtractResult ExtractEmbeddedFile(ArchiveHandle archive, const char* name) const;

 private:
  struct Calls {
    bool (*open)(const char*, unsigned, unsigned, void**) = nullptr;
    bool (*close)(void*) = nullptr;
    bool (*openFile)(void*, const char*, unsigned, void**) = nullptr;
    unsigned (*fileSize)(void*, unsigned*) = nullptr;
    bool (*read)(void*, void*, unsigned, unsigned*, void*) = nullptr;
    bool (*closeFile)(void*) = nullptr;
  };

  WorkFile& workFile_;
  mutable ScratchBuffer scratch_;
  // Size of the map file opened last, to judge the sizes its tables claim.
  mutable std::uint64_t archiveSize_ = 0;
  DynamicLibrary library_;
  Calls calls_;
};

// Binds the library by plain name, then from the game's installation
// folder. False when neither works.
bool LoadArchiveLibrary(MapArchive& archive, const std::string& name = kArchiveLibraryName);

}  // namespace korvanel
