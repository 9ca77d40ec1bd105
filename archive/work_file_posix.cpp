#include "archive/work_file.h"

#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/cleanup.h"

namespace korvanel {
namespace {

bool IsDirectory(const char* path) {
  struct stat st {};
  return path && *path && ::stat(path, &st) == 0 && S_ISDIR(st.st_mode);
}

}  // namespace

std::string TemporaryDirectory() {
  for (const char* name : {"TMPDIR", "TEMP", "TMP"}) {
    const char* value = std::getenv(name);
    if (IsDirectory(value)) {
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
  int error = EEXIST;
  // A name already taken, by a file or a link, is skipped, never opened.
  for (unsigned number = 1; number < 100000 && error == EEXIST; ++number) {
    std::string path = dir + "~KVL" + std::to_string(number);
    int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (fd >= 0) {
      file_ = File(fd);
      path_ = std::move(path);
      RemoveOnSignal(path_);
      return 0;
    }
    error = errno;
  }
  return error;
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
  file_.Close();
  ::unlink(path_.c_str());
  path_.clear();
}

}  // namespace korvanel
