#include "archive/map_archive.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstddef>
#include <cstring>
#include <fcntl.h>
#include <span>
#include <string_view>
#include <unistd.h>

#include "archive/archive_precheck.h"
#include "archive/install_path.h"
#include "archive/work_file.h"
#include "platform/process.h"

namespace korvanel {
namespace {

// StormLib's flag values for these calls.
constexpr unsigned kOpenReadOnly = 0x00000100;   // MPQ_OPEN_READ_ONLY
constexpr unsigned kOpenFromMpq = 0;             // SFILE_OPEN_FROM_MPQ
constexpr unsigned kInvalidSize = 0xFFFFFFFF;    // SFILE_INVALID_SIZE

// No compression the archives use packs more than about 1000 to 1, so a
// larger claim is damage; taking it at its word would cost gigabytes.
std::uint64_t MaxEmbeddedSize(std::uint64_t archiveSize) { return archiveSize * 2048 + (1 << 20); }

// Fields of a worker's reply, field by field, in this machine's layout:
// both ends are the same program.
template <typename T>
void Put(std::vector<std::byte>& out, T value) {
  const auto* bytes = reinterpret_cast<const std::byte*>(&value);
  out.insert(out.end(), bytes, bytes + sizeof value);
}
template <typename T>
void Take(const std::byte*& in, T& value) {
  std::memcpy(&value, in, sizeof value);
  in += sizeof value;
}
constexpr std::size_t kReplyFileSize = sizeof(bool) + sizeof(int) + 2 * sizeof(std::uint64_t);

template <typename Fn>
bool BindEntry(const DynamicLibrary& library, const char* name, Fn& entry) {
  entry = reinterpret_cast<Fn>(library.Entry(name));
  return entry != nullptr;
}

}  // namespace

MapArchive::MapArchive(WorkFile& workFile) : workFile_(workFile) {}

MapArchive::~MapArchive() = default;

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
  worker_.reset();
  requests_.clear();
  calls_ = Calls{};
  library_.Free();
}

bool MapArchive::IsReady() const { return IsLoaded() && workFile_.IsOpen(); }

bool MapArchive::OpenMapArchive(const std::string& path, ArchiveHandle& archive) const {
  archive = nullptr;
  if (!IsLoaded()) return false;
  const bool opened = calls_.open(path.c_str(), 0, kOpenReadOnly, &archive) && archive != nullptr;
  // When it cannot open the file, the library closes descriptor 0, which
  // the next file opened here would then get (and lose the same way).
  if (!opened) ReserveStandardDescriptors();
  return opened;
}

void MapArchive::CloseMapArchive(ArchiveHandle archive) const {
  if (IsLoaded() && archive) calls_.close(archive);
}

ExtractedFile MapArchive::CopyEmbeddedFile(ArchiveHandle archive, const char* name, std::uint64_t& cursor) {
  ExtractedFile result;
  void* file = nullptr;
  if (!calls_.openFile(archive, name, kOpenFromMpq, &file) || !file) return result;
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
  const auto delivered = buffer.first(std::min<std::size_t>(got, buffer.size()));
  if (result.fileError == 0 && !delivered.empty()) {
    // Each region passed is left behind for good, so this ends.
    for (bool moved = true; moved;) {
      moved = false;
      for (const Region& busy : busy_)
        if (cursor < busy.end && cursor + delivered.size() > busy.begin) {
          cursor = busy.end;
          moved = true;
        }
    }
    result.offset = cursor;
    result.fileError = workFile_.WriteAt(cursor, delivered);
    if (result.fileError == 0) {
      result.size = delivered.size();
      cursor += delivered.size();
    }
  }
  scratch_.Trim();
  return result;
}

bool MapArchive::CopyMapFiles(const std::string& path, std::span<const char* const> names, std::vector<ExtractedFile>& files) {
  files.clear();
  ArchiveHandle archive = nullptr;
  // Maps the library would not survive are refused before it sees them.
  if (!IsSafeToOpen(path, scratch_, archiveSize_) || !OpenMapArchive(path, archive)) return false;
  std::uint64_t cursor = 0, begin = UINT64_MAX, end = 0;
  for (const char* name : names) {
    const ExtractedFile& result = files.emplace_back(CopyEmbeddedFile(archive, name, cursor));
    if (result.size > 0) {
      begin = std::min(begin, result.offset);
      end = std::max(end, result.offset + result.size);
    }
  }
  CloseMapArchive(archive);
  // What a much larger map left behind is never read; it would only hold
  // pages. Some slack saves cutting and regrowing the file on every map.
  constexpr std::uint64_t kSlack = 8 << 20;
  std::uint64_t inUse = end;
  for (const Region& busy : busy_) inUse = std::max(inUse, busy.end);
  workFile_.Fit(inUse + kSlack);
  if (busy_.size() == kMapsAhead) busy_.pop_front();
  busy_.push_back(end > 0 ? Region{begin, end} : Region{});
  return true;
}

// Request: the path, then each name, each ended by a zero byte. Reply: one
// byte telling whether the map opened, then each file's result.
void MapArchive::Serve(std::span<const std::byte> request, int file, std::vector<std::byte>& reply) {
  const std::string_view text(reinterpret_cast<const char*>(request.data()), request.size());
  std::vector<std::string> parts;
  for (std::size_t start = 0; start < text.size();) {
    const std::size_t end = std::min(text.find('\0', start), text.size());
    parts.emplace_back(text.substr(start, end - start));
    start = end + 1;
  }
  std::vector<ExtractedFile> files;
  bool opened = false;
  if (!parts.empty()) {
    const std::string path = file >= 0 ? "/proc/self/fd/" + std::to_string(file) : parts[0];
    std::vector<const char*> names;
    for (std::size_t i = 1; i < parts.size(); ++i) names.push_back(parts[i].c_str());
    opened = CopyMapFiles(path, names, files);
  }
  if (file >= 0) ::close(file);
  reply.push_back(std::byte{opened});
  for (const ExtractedFile& f : files) {
    Put(reply, f.found);
    Put(reply, f.fileError);
    Put(reply, f.offset);
    Put(reply, f.size);
  }
}

void MapArchive::RequestMapFiles(const std::string& path, std::span<const char* const> names) {
  Request& request = requests_.emplace_back();
  request.path = path;
  request.names.assign(names.begin(), names.end());
  if (!IsReady()) return;
  if (!worker_) {
    worker_ = std::make_unique<WorkerProcess>(
        [this](std::span<const std::byte> bytes, int file, std::vector<std::byte>& reply) { Serve(bytes, file, reply); },
        workFile_.Handle().Descriptor());
  }
  request_.clear();
  auto add = [this](std::string_view part) {
    const auto* bytes = reinterpret_cast<const std::byte*>(part.data());
    request_.insert(request_.end(), bytes, bytes + part.size());
    request_.push_back(std::byte{0});
  };
  add(path);
  for (const char* name : names) add(name);

  // A path through this process's own descriptors means something else in
  // the worker, so it gets the open file instead.
  File passed;
  if (path.starts_with("/proc/self/")) {
    // Non-blocking: a fifo is refused by the worker, never waited on here.
    passed = File(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
    if (!passed.IsOpen()) return;
  }
  worker_->Post(request_, passed.Descriptor());
  request.posted = true;
}

bool MapArchive::CollectMapFiles(std::vector<ExtractedFile>& files) {
  files.clear();
  if (requests_.empty()) return false;
  const Request request = std::move(requests_.front());
  requests_.pop_front();
  if (!IsReady()) return false;
  if (!request.posted) return false;

  switch (worker_->Collect(reply_, libraryTimeout)) {
    case WorkerProcess::Outcome::kAnswered:
      break;
    case WorkerProcess::Outcome::kFailed:
      return false;
    case WorkerProcess::Outcome::kUnavailable:
      // No process to spare: the work is done here, unguarded. Nothing
      // else writes the work file or reads it meanwhile.
      busy_.clear();
      return CopyMapFiles(request.path, request.names, files);
  }
  const std::size_t count = request.names.size();
  if (reply_.size() != 1 + count * kReplyFileSize || reply_[0] == std::byte{0}) return false;
  files.resize(count);
  const std::byte* at = reply_.data() + 1;
  for (ExtractedFile& f : files) {
    Take(at, f.found);
    Take(at, f.fileError);
    Take(at, f.offset);
    Take(at, f.size);
  }
  return true;
}

bool LoadArchiveLibrary(MapArchive& archive, const std::string& name, std::vector<std::string>* tried) {
  // The loader reads a path that is not absolute from the current folder,
  // which may be an unpacked map pack holding a library of that name.
  auto bind = [&](const std::string& candidate) {
    if (tried) tried->push_back(candidate);
    return archive.BindArchiveLibrary(candidate);
  };
  auto bindAbsolute = [&](const std::string& path) { return path.starts_with('/') && bind(path); };
  if (name.find('/') != std::string::npos) return bindAbsolute(name);
  return bindAbsolute(ProgramDirectory() + name) || bind(name) || bindAbsolute(GetInstallPath() + name);
}

}  // namespace korvanel
