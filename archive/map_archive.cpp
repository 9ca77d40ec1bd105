#include "archive/map_archive.h"

#include <cerrno>
#include <climits>
#include <cstddef>
#include <limits>
#include <memory>
#include <new>
#include <span>

#include "archive/install_path.h"
#include "archive/work_file.h"

namespace korvanel {
namespace {

// StormLib's flag values for these calls.
constexpr unsigned kOpenReadOnly = 0x00000100;   // MPQ_OPEN_READ_ONLY
constexpr unsigned kOpenFromMpq = 0;             // SFILE_OPEN_FROM_MPQ
constexpr unsigned kInvalidSize = 0xFFFFFFFF;    // SFILE_INVALID_SIZE

template <typename Fn>
bool BindEntry(const DynamicLibrary& library, const char* name, Fn& entry) {
  entry = reinterpret_cast<Fn>(library.Entry(name));
  return entry != nullptr;
}

}  // namespace

bool MapArchive::BindArchiveLibrary(const std::string& nameOrPath) {
  ReleaseArchiveLibrary();
  if (!library_.Load(nameOrPath)) return false;
  Calls calls;
  bool bound = BindEntry(library_, "SFileOpenArchive", calls.open) &
               BindEntry(library_, "SFileCloseArchive", calls.close) &
               BindEntry(library_, "SFileOpenFileEx", calls.openFile) &
               BindEntry(library_, "SFileGetFileSize", calls.fileSize) &
               BindEntry(library_, "SFileReadFile", calls.read) &
               BindEntry(library_, "SFileCloseFile", calls.closeFile);
  // A library without every call would crash later; treat it as not loaded.
  if (!bound) {
    library_.Free();
    return false;
  }
  calls_ = calls;
  return true;
}

void MapArchive::ReleaseArchiveLibrary() {
  calls_ = Calls{};
  library_.Free();
}

bool MapArchive::IsReady() const { return IsLoaded() && workFile_.IsOpen(); }

bool MapArchive::OpenMapArchive(const std::string& path, ArchiveHandle& archive) const {
  archive = nullptr;
  if (!IsLoaded()) return false;
  return calls_.open(path.c_str(), 0, kOpenReadOnly, &archive) && archive != nullptr;
}

void MapArchive::CloseMapArchive(ArchiveHandle archive) const {
  if (IsLoaded() && archive) calls_.close(archive);
}

ExtractResult MapArchive::ExtractEmbeddedFile(ArchiveHandle archive, const char* name) const {
  ExtractResult result;
  File& work = workFile_.Handle();
  result.fileError = work.Truncate();

  void* file = nullptr;
  if (!calls_.openFile(archive, name, kOpenFromMpq, &file) || !file) return result;
  result.found = true;

  unsigned high = 0;
  unsigned size = calls_.fileSize(file, &high);
  if (size == 0 && high == 0) {
    calls_.closeFile(file);
    return result;
  }
  // Sizes come from the map; one that cannot be held is an extraction error.
  if (size == kInvalidSize || high != 0 || size > static_cast<unsigned>(INT_MAX)) {
    calls_.closeFile(file);
    if (result.fileError == 0) result.fileError = EFBIG;
    return result;
  }
  std::unique_ptr<std::byte[]> buffer(new (std::nothrow) std::byte[size]);
  if (!buffer) {
    calls_.closeFile(file);
    if (result.fileError == 0) result.fileError = ENOMEM;
    return result;
  }
  unsigned got = 0;
  calls_.read(file, buffer.get(), size, &got, nullptr);
  calls_.closeFile(file);
  // Only what the library delivered goes to the work file: a short read
  // leaves a short file, never uninitialised bytes.
  if (got > size) got = size;
  int error = work.WriteAll(std::span<const std::byte>(buffer.get(), got));
  if (error == 0) error = work.Rewind();
  if (result.fileError == 0) result.fileError = error;
  return result;
}

bool LoadArchiveLibrary(MapArchive& archive, const std::string& name) {
  if (archive.BindArchiveLibrary(name)) return true;
  std::string installPath = GetInstallPath();
  return !installPath.empty() && archive.BindArchiveLibrary(installPath + name);
}

}  // namespace korvanel
