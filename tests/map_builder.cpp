#include "map_builder.h"

#include <StormLib.h>

#include "platform/process.h"

namespace korvanel::test {
namespace {

// The library closes descriptor 0 after a failed open (also when probing
// for an existing archive); the number is taken again after each use so
// that no file of the tests ends up there.
struct KeepStandardDescriptors {
  KeepStandardDescriptors() { ReserveStandardDescriptors(); }
  ~KeepStandardDescriptors() { ReserveStandardDescriptors(); }
};

}  // namespace

bool BuildMap(const std::filesystem::path& path, const std::vector<EmbeddedFile>& files, bool listfile) {
  KeepStandardDescriptors keep;
  std::error_code ec;
  std::filesystem::remove(path, ec);
  HANDLE mpq = nullptr;
  DWORD capacity = 16;
  while (capacity < files.size() + 4) capacity *= 2;
  // The library writes a list of names unless its flags say none.
  SFILE_CREATE_MPQ create{};
  create.cbSize = sizeof create;
  create.dwMpqVersion = MPQ_FORMAT_VERSION_1;
  create.dwFileFlags1 = listfile ? MPQ_FILE_DEFAULT_INTERNAL : 0;
  create.dwMaxFileCount = capacity;
  create.dwSectorSize = 0x1000;
  if (!SFileCreateArchive2(path.c_str(), &create, &mpq)) return false;
  bool ok = true;
  for (const EmbeddedFile& f : files) {
    HANDLE file = nullptr;
    auto size = static_cast<DWORD>(f.bytes.size());
    if (!SFileCreateFile(mpq, f.name.c_str(), 0, size, 0, MPQ_FILE_COMPRESS | MPQ_FILE_REPLACEEXISTING, &file)) {
      ok = false;
      continue;
    }
    if (size > 0 && !SFileWriteFile(file, f.bytes.data(), size, MPQ_COMPRESSION_ZLIB)) ok = false;
    if (!SFileFinishFile(file)) ok = false;
  }
  if (!SFileCloseArchive(mpq)) ok = false;
  return ok;
}

std::optional<std::string> ReadEmbedded(const std::filesystem::path& map, const std::string& name) {
  KeepStandardDescriptors keep;
  HANDLE mpq = nullptr;
  if (!SFileOpenArchive(map.c_str(), 0, MPQ_OPEN_READ_ONLY, &mpq)) return std::nullopt;
  std::optional<std::string> result;
  HANDLE file = nullptr;
  if (SFileOpenFileEx(mpq, name.c_str(), SFILE_OPEN_FROM_MPQ, &file)) {
    DWORD size = SFileGetFileSize(file, nullptr);
    std::string bytes(size, '\0');
    DWORD got = 0;
    if (size == 0 || (SFileReadFile(file, bytes.data(), size, &got, nullptr) && got == size)) result = std::move(bytes);
    SFileCloseFile(file);
  }
  SFileCloseArchive(mpq);
  return result;
}

}  // namespace korvanel::test
