#include "archive/map_archive.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstddef>
#include <span>
#include <sys/stat.h>

#include "archive/install_path.h"
#include "archive/work_file.h"

namespace korvanel {
namespace {

// StormLib's flag values for these calls.
constexpr unsigned kOpenReadOnly = 0x00000100;   // MPQ_OPEN_READ_ONLY
constexpr unsigned kOpenFromMpq = 0;             // SFILE_OPEN_FROM_MPQ
constexpr unsigned kInvalidSize = 0xFFFFFFFF;    // SFILE_INVALID_SIZE

// No compression the archives use packs more than about 1000 to 1, so a
// larger claim is damage; taking it at its word would cost gigabytes.
std::uint64_t MaxEmbeddedSize(std::uint64_t archiveSize) { return archiveSize * 2048 + (1 << 20); }

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
  bool bound = BindEntry(library_, "SFileOpenArchive", calls.open);
  bound = BindEntry(library_, "SFileCloseArchive", calls.close) && bound;
  bound = BindEntry(library_, "SFileOpenFileEx", calls.openFile) && bound;
  bound = BindEntry(library_, "SFileGetFileSize", calls.fileSize) && bound;
  bound = BindEntry(library_, "SFileReadFile", calls.read) && bound;
  bound = BindEntry(library_, "SFileCloseFile", calls.closeFile) && bound;
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
  struct stat st {};
  archiveSize_ = ::stat(path.c_str(), &st) == 0 ? static_cast<std::uint64_t>(st.st_size) : 0;
  return calls_.open(path.c_str(), 0, kOpenReadOnly, &archive) && archive != nullptr;
}

void MapArchive::CloseMapArchive(ArchiveHandle archive) const {
  if (IsLoaded() && archive) calls_.close(archive);
}

ExtractResult MapArchive::ExtractEmbeddedFile(ArchiveHandle archive, const char* name) const {
  ExtractResult result;
  void* file = nullptr;
  if (!calls_.openFile(archive, name, kOpenFromMpq, &file) || !file) {
    result.fileError = workFile_.Replace({});
    return result;
  }
  result.found = true;

  unsigned high = 0;
  unsigned size = calls_.fileSize(file, &high);
  // Sizes come from the map; one that cannot be held is an extraction error.
  std::span<std::byte> buffer;
  if (size == kInvalidSize || high != 0 || size > static_cast<unsigned>(INT_MAX) || size > MaxEmbeddedSize(archiveSize_)) {
    result.fileError = EFBIG;
  } else if (size > 0) {
    buffer = scratch_.Get(size);
    if (buffer.empty()) result.fileError = ENOMEM;
  }
  unsigned got = 0;
  if (!buffer.empty()) calls_.read(file, buffer.data(), size, &got, nullptr);
  calls_.closeFile(file);
  // Only what the library delivered goes to the work file: a short read
  // leaves a short file, never uninitialised bytes.
  int error = workFile_.Replace(buffer.first(std::min<std::size_t>(got, buffer.size())));
  if (result.fileError == 0) result.fileError = error;
  scratch_.Trim();
  return result;
}

bool LoadArchiveLibrary(MapArchive& archive, const std::string& name) {
  if (archive.BindArchiveLibrary(name)) return true;
  std::string installPath = GetInstallPath();
  return !installPath.empty() && archive.BindArchiveLibrary(installPath + name);
}

}  // namespace korvanel
