#include "archive/work_file.h"

#include <cerrno>
#include <cstdlib>
#include <dirent.h>
#include <fcntl.h>
#include <string_view>
#include <sys/file.h>
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

int WorkFile::Fit(std::uint64_t length) {
  std::uint64_t actual = 0;
  int error = file_.Size(actual);
  if (error == 0 && actual > length) error = file_.Resize(length);
  return error;
}

void WorkFile::Delete() {
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
