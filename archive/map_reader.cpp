#include "archive/map_reader.h"

#include <algorithm>
#include <cerrno>
#include <climits>

#include "archive/archive_precheck.h"
#include "archive/map_request.h"
#include "archive/work_file.h"
#include "parsers/map_info.h"
#include "parsers/model_textures.h"
#include "platform/file.h"
#include "platform/process.h"

namespace korvanel {
namespace {

// StormLib's flag values for these calls.
constexpr unsigned kOpenReadOnly = 0x00000100;   // MPQ_OPEN_READ_ONLY
constexpr unsigned kOpenFromMpq = 0;             // SFILE_OPEN_FROM_MPQ
constexpr unsigned kInvalidSize = 0xFFFFFFFF;    // SFILE_INVALID_SIZE
// The archive's list of the names it holds; protected maps leave it out.
constexpr char kListfile[] = "(listfile)";

// No compression the archives use packs more than about 1000 to 1, so a
// larger claim is damage; taking it at its word would cost gigabytes.
std::uint64_t MaxEmbeddedSize(std::uint64_t archiveSize) { return archiveSize * 2048 + (1 << 20); }

template <typename Fn>
bool BindEntry(const DynamicLibrary& library, const char* name, Fn& entry) {
  entry = reinterpret_cast<Fn>(library.Entry(name));
  return entry != nullptr;
}

}  // namespace

bool MapReader::Bind(const std::string& nameOrPath) {
  Release();
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

void MapReader::Release() {
  calls_ = Calls{};
  library_.Free();
}

bool MapReader::OpenMapArchive(const std::string& path, ArchiveHandle& archive) const {
  archive = nullptr;
  const bool opened = calls_.open(path.c_str(), 0, kOpenReadOnly, &archive) && archive != nullptr;
  // When it cannot open the file, the library closes descriptor 0, which
  // the next file opened here would then get (and lose the same way).
  if (!opened) ReserveStandardDescriptors();
  return opened;
}

ExtractedFile MapReader::CopyEmbeddedFile(ArchiveHandle archive, const char* name, std::uint64_t archiveSize,
                                          std::uint64_t& cursor, std::uint64_t regionEnd) {
  ExtractedFile result;
  void* file = nullptr;
  if (!calls_.openFile(archive, name, kOpenFromMpq, &file) || !file) return result;
  result.found = true;

  unsigned high = 0;
  unsigned size = calls_.fileSize(file, &high);
  // Sizes come from the map; one that cannot be held is an extraction error.
  std::span<std::byte> buffer;
  if (size == kInvalidSize || high != 0 || size > static_cast<unsigned>(INT_MAX) || size > MaxEmbeddedSize(archiveSize)) {
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
  const auto delivered = buffer.first(std::min<std::size_t>(got, buffer.size()));
  if (result.fileError == 0 && !delivered.empty()) {
    // Each region passed is left behind for good, so this ends.
    for (bool moved = true; moved;) {
      moved = false;
      auto pass = [&](const Region& busy) {
        if (cursor < busy.end && cursor + delivered.size() > busy.begin) {
          cursor = busy.end;
          moved = true;
        }
      };
      for (const Region& busy : busy_) pass(busy);
      for (const Held& held : held_) pass(held.stretch);
    }
    // Past the region's end lies another worker's: a map that would reach
    // it, with files of absurd sizes, is refused instead.
    result.offset = cursor;
    result.fileError = cursor + delivered.size() > regionEnd ? EFBIG : workFile_.WriteAt(cursor, delivered);
    if (result.fileError == 0) {
      result.size = delivered.size();
      cursor += delivered.size();
    }
  }
  scratch_.Trim();
  return result;
}

std::span<const std::byte> MapReader::CopiedBytes(const ExtractedFile& file) {
  std::span<const std::byte> bytes;
  if (file.size == 0 || workFile_.View(file.offset, static_cast<std::size_t>(file.size), scratch_, bytes) != 0) return {};
  return bytes;
}

ExtractedFile MapReader::CopyLoadingScreen(ArchiveHandle archive, std::span<const char* const> names,
                                           std::span<const ExtractedFile> files, std::uint64_t archiveSize,
                                           std::uint64_t& cursor, std::uint64_t regionEnd) {
  const auto mapInfo = std::find_if(names.begin(), names.end(), [](const char* name) { return std::string_view(name) == kMapInfoFile; });
  if (mapInfo == names.end()) return {};
  MapInfo info;
  // Only later editors name a file; the path is what matters here, texts
  // need no trigger strings.
  ParseMapInfo(CopiedBytes(files[static_cast<std::size_t>(mapInfo - names.begin())]), {}, info, MapFormats::kLater);
  if (!info.loadingScreenPath || info.loadingScreenPath->empty()) return {};
  const ExtractedFile screen = CopyEmbeddedFile(archive, info.loadingScreenPath->c_str(), archiveSize, cursor, regionEnd);
  // A model's first texture is its picture; what else it holds is not
  // shown.
  const std::vector<std::string> textures = ModelTexturePaths(CopiedBytes(screen));
  if (textures.empty()) return screen;
  return CopyEmbeddedFile(archive, textures.front().c_str(), archiveSize, cursor, regionEnd);
}

void MapReader::CopyMapFiles(const std::string& path, std::span<const char* const> names, MapRequestFlags flags,
                             MapAnswer& answer, std::vector<ExtractedFile>& files, std::size_t region) {
  files.clear();
  answer = {};
  ArchiveHandle archive = nullptr;
  std::uint64_t archiveSize = 0;
  // Maps the library would not survive are refused before it sees them.
  if (!IsLoaded()) {
    answer.failure = MapFailure::kNotReady;
    return;
  }
  if (!CheckMapFile(path, scratch_, flags.identify, answer, archiveSize)) return;
  if (!OpenMapArchive(path, archive)) {
    answer.failure = MapFailure::kNotArchive;
    return;
  }
  answer.opened = true;
  if (flags.identify) answer.signs.noListfile = !HasFile(archive, kListfile);
  const std::uint64_t base = region * kWorkFileRegion, regionEnd = base + kWorkFileRegion;
  std::uint64_t cursor = base, begin = UINT64_MAX, end = 0;
  for (const char* name : names) files.push_back(CopyEmbeddedFile(archive, name, archiveSize, cursor, regionEnd));
  if (flags.loadingScreen) files.push_back(CopyLoadingScreen(archive, names, files, archiveSize, cursor, regionEnd));
  calls_.close(archive);
  for (const ExtractedFile& result : files) {
    if (result.size > 0) {
      begin = std::min(begin, result.offset);
      end = std::max(end, result.offset + result.size);
    }
  }
  // What a much larger map left behind is never read; it would only hold
  // pages. Some slack saves giving back and taking again pages on every
  // map. Other regions belong to other workers and are never touched.
  constexpr std::uint64_t kSlack = 8 << 20;
  std::uint64_t inUse = std::max(base, end);
  for (const Region& busy : busy_) inUse = std::max(inUse, busy.end);
  for (const Held& held : held_)
    if (held.stretch.begin >= base && held.stretch.end <= regionEnd) inUse = std::max(inUse, held.stretch.end);
  const std::uint64_t keep = inUse + kSlack;
  // Where the file system cannot give pages back, they stay; nothing else
  // comes of it.
  if (written_ > keep) {
    workFile_.Discard(keep, std::min(written_, regionEnd));
    written_ = keep;
  }
  written_ = std::max(written_, inUse);
  if (busy_.size() == kMapsAhead) busy_.pop_front();
  busy_.push_back(end > 0 ? Region{begin, end} : Region{});
}

bool MapReader::HasFile(ArchiveHandle archive, const char* name) const {
  void* file = nullptr;
  if (!calls_.openFile(archive, name, kOpenFromMpq, &file) || !file) return false;
  calls_.closeFile(file);
  return true;
}

void MapReader::Hold(std::uint64_t number, std::uint64_t begin, std::uint64_t end) {
  if (begin < end) held_.push_back({number, {begin, end}});
}

void MapReader::Release(std::uint64_t number) {
  std::erase_if(held_, [number](const Held& held) { return held.number == number; });
}

void MapReader::Serve(std::span<const std::byte> request, int file, std::vector<std::byte>& reply, std::size_t region) {
  const File sent(file);
  const char* path = nullptr;
  MapRequestFlags flags;
  MapAnswer answer;
  files_.clear();
  if (DecodeMapRequest(request, path, names_, flags)) {
    // The run sends the map itself when its path goes through the run's
    // own descriptors, which mean something else here.
    CopyMapFiles(sent.IsOpen() ? "/proc/self/fd/" + std::to_string(file) : path, names_, flags, answer, files_, region);
  }
  EncodeMapReply(answer, files_, reply);
}

}  // namespace korvanel
