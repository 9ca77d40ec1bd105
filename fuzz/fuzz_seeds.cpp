// Fills the fuzz corpora from the real sample maps: each map's embedded
// files go to the folder of the target that reads them.
//
//   fuzz-seeds <fixtures folder> <corpus folder>
//
// Prints how many files it wrote; a map that cannot be read is reported and
// skipped.
#include <StormLib.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <system_error>
#include <vector>

namespace fs = std::filesystem;

namespace {

struct Source {
  const char* embedded;
  const char* target;
};

constexpr Source kSources[] = {
    {"war3map.wts", "trigger_strings"},     {"war3map.w3i", "map_info"},
    {"war3map.w3e", "environment"},         {"war3map.doo", "doodads"},
    {"war3mapUnits.doo", "doodads"},        {"war3map.j", "script_scan"},
    {"scripts\\war3map.j", "script_scan"},  {"war3map.lua", "script_scan"},
    {"war3mapMap.blp", "minimap_convert"},  {"war3map.mmp", "minimap_icons"},
    {"war3map.imp", "imports"},             {"war3mapMap.blp", "blp_picture"},
    {"war3mapPreview.tga", "tga_picture"},
};

bool Write(const fs::path& path, const std::vector<char>& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  return static_cast<bool>(out);
}

bool ReadEmbedded(HANDLE archive, const char* name, std::vector<char>& bytes) {
  HANDLE file = nullptr;
  if (!SFileOpenFileEx(archive, name, SFILE_OPEN_FROM_MPQ, &file)) return false;
  const DWORD size = SFileGetFileSize(file, nullptr);
  bool ok = size != SFILE_INVALID_SIZE;
  if (ok) {
    bytes.resize(size);
    DWORD got = 0;
    ok = size == 0 || (SFileReadFile(file, bytes.data(), size, &got, nullptr) && got == size);
  }
  SFileCloseFile(file);
  return ok;
}

// A fresh, writable copy: the fixtures themselves are read-only.
bool Copy(const fs::path& from, const fs::path& to) {
  std::ifstream in(from, std::ios::binary);
  if (!in) return false;
  const std::vector<char> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  return Write(to, bytes);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: fuzz-seeds <fixtures folder> <corpus folder>\n");
    return 2;
  }
  const fs::path fixtures = argv[1];
  const fs::path corpus = argv[2];

  std::vector<fs::path> maps;
  std::error_code error;
  for (const auto& entry : fs::directory_iterator(fixtures / "maps", error)) {
    const std::string ext = entry.path().extension().string();
    if (entry.is_regular_file() && (ext == ".w3m" || ext == ".w3x")) maps.push_back(entry.path());
  }
  if (error) {
    std::fprintf(stderr, "fuzz-seeds: cannot list %s: %s\n", (fixtures / "maps").c_str(), error.message().c_str());
    return 1;
  }

  int written = 0;
  for (const fs::path& map : maps) {
    HANDLE archive = nullptr;
    if (!SFileOpenArchive(map.c_str(), 0, MPQ_OPEN_READ_ONLY, &archive)) {
      std::fprintf(stderr, "fuzz-seeds: cannot open %s; skipped\n", map.c_str());
      continue;
    }
    for (const Source& source : kSources) {
      std::vector<char> bytes;
      if (!ReadEmbedded(archive, source.embedded, bytes)) continue;
      fs::create_directories(corpus / source.target);
      std::string name = map.filename().string() + "-" + fs::path(source.embedded).filename().string();
      for (char& c : name)
        if (c == '\\') c = '_';
      if (Write(corpus / source.target / name, bytes)) ++written;
    }
    SFileCloseArchive(archive);
  }

  const fs::path icon = fixtures / "blp" / "icon64.blp";
  if (fs::is_regular_file(icon)) {
    fs::create_directories(corpus / "minimap_convert");
    if (Copy(icon, corpus / "minimap_convert" / "icon64.blp")) ++written;
  }

  std::printf("fuzz-seeds: %d files from %zu maps\n", written, maps.size());
  return 0;
}
