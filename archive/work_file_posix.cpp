#include "archive/work_file.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <dirent.h>
#include <fcntl.h>
#include <string_view>
#include <sys/file.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/cleanup.h"

namespace korvanel {
namespace {

constexpr std::string_view kPrefix = "~KVL";

// Whether `name` in the folder `at` is the open `file`.
bool Names(int at, const char* name, const File& file) {
  struct stat named {}, opened {};
  return ::fstatat(at, name, &named, AT_SYMLINK_NOFOLLOW) == 0 && ::fstat(file.Descriptor(), &opened) == 0 &&
         named.st_dev == opened.st_dev && named.st_ino == opened.st_ino;
}

// Tries "~KVL1", "~KVL2", ... in `dir` with `take` until one is free.
// `take` returns 0, EEXIST for a name in use, or another error number.
template <typename Take>
int TakeFreeName(const std::string& dir, std::string& path, Take take) {
  int error = EEXIST;
  for (unsigned number = 1; number < 100000 && error == EEXIST; ++number) {
    path = dir + std::string(kPrefix) + std::to_string(number);
    error = take(path);
  }
  return error;
}

// Where the file system has no unnamed files: created under its name
// (a name already taken, by a file or a link, is never opened), then
// locked. A run starting in between may take it for abandoned and remove
// it; then the next name is tried.
int CreateLocked(const std::string& path, File& file) {
  file = File(::open(path.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0600));
  if (!file.IsOpen()) return errno;
  ::flock(file.Descriptor(), LOCK_EX);
  if (Names(AT_FDCWD, path.c_str(), file)) return 0;
  file.Close();
  return EEXIST;
}

}  // namespace

std::string TemporaryDirectory() {
  for (const char* name : {"TMPDIR", "TEMP", "TMP"}) {
    const char* value = std::getenv(name);
    if (value && IsExistingDirectory(value)) {
      std::string dir = value;
      if (dir.back() != '/') dir += '/';
      return dir;
    }
  }
  return "/tmp/";
}

int WorkFile::Create() {
  Delete();
  const std::string dir = TemporaryDirectory();
  std::string path;
  int error = 0;
  // Named and registered for removal with signals held back, so a run
  // stopped then leaves nothing.
  HoldingSignals([&] {
    File file;
    error = CreateUnnamedFile(dir, 0600, file);
    if (error == 0) {
      // Locked before it has a name, so no run starting meanwhile ever
      // sees it unlocked.
      ::flock(file.Descriptor(), LOCK_EX);
      error = TakeFreeName(dir, path, [&](const std::string& p) { return NameUnnamedFile(file, p); });
    }
    if (IsUnsupported(error)) error = TakeFreeName(dir, path, [&](const std::string& p) { return CreateLocked(p, file); });
    if (error != 0) return;
    file_ = std::move(file);
    path_ = std::move(path);
    RemoveOnSignal(path_);
  });
  return error;
}

void RemoveAbandonedWorkFiles() {
  DIR* folder = ::opendir(TemporaryDirectory().c_str());
  if (!folder) return;
  const int at = ::dirfd(folder);
  while (const dirent* entry = ::readdir(folder)) {
    const std::string_view name = entry->d_name;
    if (!name.starts_with(kPrefix) || name.size() == kPrefix.size() ||
        name.find_first_not_of("0123456789", kPrefix.size()) != std::string_view::npos)
      continue;
    // Looked at before it is opened, so no device or fifo is ever opened.
    struct stat st {};
    if (::fstatat(at, entry->d_name, &st, AT_SYMLINK_NOFOLLOW) != 0 || !S_ISREG(st.st_mode) || st.st_uid != ::geteuid())
      continue;
    File file(::openat(at, entry->d_name, O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
    // A live run holds its file locked. Under the lock the name is checked
    // again: the file seen may have been replaced by a new one meanwhile.
    if (file.IsOpen() && ::flock(file.Descriptor(), LOCK_EX | LOCK_NB) == 0 && Names(at, entry->d_name, file))
      ::unlinkat(at, entry->d_name, 0);
  }
  ::closedir(folder);
}

int WorkFile::WriteAt(std::uint64_t offset, std::span<const std::byte> bytes) {
  if (bytes.empty()) return 0;
  return file_.WriteAllAt(offset, bytes);
}

int WorkFile::Discard(std::uint64_t begin, std::uint64_t end) {
  if (begin >= end) return 0;
  const int done = ::fallocate(file_.Descriptor(), FALLOC_FL_PUNCH_HOLE | FALLOC_FL_KEEP_SIZE, static_cast<off_t>(begin),
                               static_cast<off_t>(end - begin));
  return done == 0 ? 0 : errno;
}

const std::byte* WorkFile::Mapped(std::uint64_t offset, std::size_t size) {
  const std::uint64_t region = offset / kWorkFileRegion, base = region * kWorkFileRegion;
  const std::uint64_t end = offset + size - base;
  if (end > kWorkFileRegion) return nullptr;
  if (region >= mappings_.size()) mappings_.resize(region + 1);
  Mapping& mapping = mappings_[region];
  if (end > mapping.length) {
    // Grown by doubling, so a region is mapped again only a few times.
    std::uint64_t length = std::max<std::uint64_t>(mapping.length * 2, 64 << 20);
    while (length < end) length *= 2;
    if (mapping.data) ::munmap(const_cast<std::byte*>(mapping.data), mapping.length);
    mapping = {};
    if (length > SIZE_MAX) return nullptr;
    void* at = ::mmap(nullptr, static_cast<std::size_t>(length), PROT_READ, MAP_SHARED, file_.Descriptor(),
                      static_cast<off_t>(base));
    if (at == MAP_FAILED) return nullptr;
    mapping = {static_cast<const std::byte*>(at), length};
  }
  return mapping.data + (offset - base);
}

int WorkFile::View(std::uint64_t offset, std::size_t size, ScratchBuffer& scratch, std::span<const std::byte>& data) {
  data = {};
  if (size == 0) return 0;
  if (offset + size > knownSize_) {
    if (const int error = file_.Size(knownSize_); error != 0) return error;
  }
  const std::size_t within = offset < knownSize_ ? static_cast<std::size_t>(std::min<std::uint64_t>(size, knownSize_ - offset)) : 0;
  if (within == 0) return 0;
  if (const std::byte* at = Mapped(offset, within)) {
    data = {at, within};
    return 0;
  }
  std::span<std::byte> buffer = scratch.Get(within);
  if (buffer.empty()) return ENOMEM;
  std::size_t got = 0;
  const int error = file_.ReadAt(offset, buffer, got);
  if (error == 0) data = buffer.first(got);
  return error;
}

void WorkFile::Unmap() {
  for (const Mapping& mapping : mappings_)
    if (mapping.data) ::munmap(const_cast<std::byte*>(mapping.data), mapping.length);
  mappings_.clear();
  knownSize_ = 0;
}

void WorkFile::Delete() {
  Unmap();
  if (!file_.IsOpen()) return;
  ForgetRemoveOnSignal();
  // Removed while still locked: once unlocked, another run may take it
  // for abandoned, and the name may be a new run's by the time it is
  // removed.
  ::unlink(path_.c_str());
  file_.Close();
  path_.clear();
}

}  // namespace korvanel
