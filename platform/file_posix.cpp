#include "platform/file.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#ifdef __linux__
#include <linux/magic.h>
#include <sys/statfs.h>
#endif

namespace korvanel {

std::string ErrorText(int error) { return std::strerror(error); }

std::string ErrorReason(int error) {
  std::string text = ErrorText(error);
  if (!text.empty() && text.back() != '.') text += '.';
  text += '\n';
  return text;
}

bool IsExistingDirectory(const std::string& path) {
  struct stat st {};
  return !path.empty() && ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

int PathError(const std::string& path) {
  struct stat st {};
  if (path.empty()) return ENOENT;
  return ::lstat(path.c_str(), &st) == 0 ? 0 : errno;
}

bool IsSameFile(const std::string& a, const std::string& b) {
  struct stat x {}, y {};
  return !a.empty() && !b.empty() && ::stat(a.c_str(), &x) == 0 && ::stat(b.c_str(), &y) == 0 &&
         x.st_dev == y.st_dev && x.st_ino == y.st_ino;
}

bool IsSamePlace(const std::string& a, const std::string& b) {
  if (IsSameFile(a, b)) return true;
  std::error_code ea, eb;
  const std::filesystem::path x = std::filesystem::weakly_canonical(a, ea), y = std::filesystem::weakly_canonical(b, eb);
  return !ea && !eb && !a.empty() && x == y;
}

int MakeFolder(const std::string& path) {
  if (::mkdir(path.c_str(), 0777) == 0) return 0;
  if (errno != EEXIST) return errno;
  struct stat st {};
  return ::lstat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode) ? 0 : EEXIST;
}

int ReadFileStamp(const std::string& path, FileStamp& stamp) {
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0) return errno;
  if (!S_ISREG(st.st_mode)) return EINVAL;
  stamp = {static_cast<std::uint64_t>(st.st_size), st.st_mtim.tv_sec, static_cast<std::uint32_t>(st.st_mtim.tv_nsec)};
  return 0;
}

int CreateUnnamedFile(const std::string& directory, unsigned mode, File& file) {
  file = File(::open(directory.c_str(), O_TMPFILE | O_RDWR | O_CLOEXEC, mode));
  return file.IsOpen() ? 0 : errno;
}

int NameUnnamedFile(const File& file, const std::string& path) {
  // Through /proc, any user may do this; by the descriptor itself, on
  // older kernels only a privileged one.
  char self[32];
  std::snprintf(self, sizeof self, "/proc/self/fd/%d", file.Descriptor());
  if (::linkat(AT_FDCWD, self, AT_FDCWD, path.c_str(), AT_SYMLINK_FOLLOW) == 0) return 0;
  if (errno != ENOENT) return errno;
  if (::linkat(file.Descriptor(), "", AT_FDCWD, path.c_str(), AT_EMPTY_PATH) == 0) return 0;
  // Neither way is open to this process; a missing folder shows when the
  // file is created under its name instead.
  return errno == ENOENT ? EOPNOTSUPP : errno;
}

bool IsUnsupported(int error) {
  return error == EOPNOTSUPP || error == EISDIR || error == EINVAL || error == EPERM;
}

File& File::operator=(File&& other) noexcept {
  if (this != &other) {
    Close();
    fd_ = other.Release();
  }
  return *this;
}

int File::Release() {
  int fd = fd_;
  fd_ = -1;
  return fd;
}

int File::Close() {
  if (fd_ < 0) return 0;
  int rc = ::close(fd_);
  fd_ = -1;
  return rc == 0 ? 0 : errno;
}

int File::WriteAll(std::span<const std::byte> bytes) {
  const std::byte* p = bytes.data();
  std::size_t left = bytes.size();
  while (left > 0) {
    ssize_t n = ::write(fd_, p, left);
    if (n < 0) {
      if (errno == EINTR) continue;
      return errno;
    }
    if (n == 0) return ENOSPC;
    p += n;
    left -= static_cast<std::size_t>(n);
  }
  return 0;
}

int File::WriteAll(std::string_view text) {
  return WriteAll(std::as_bytes(std::span(text.data(), text.size())));
}

int File::WriteAllAt(std::uint64_t offset, std::span<const std::byte> bytes) {
  std::size_t done = 0;
  while (done < bytes.size()) {
    ssize_t n = ::pwrite(fd_, bytes.data() + done, bytes.size() - done, static_cast<off_t>(offset + done));
    if (n < 0) {
      if (errno == EINTR) continue;
      return errno;
    }
    if (n == 0) return ENOSPC;
    done += static_cast<std::size_t>(n);
  }
  return 0;
}

int File::ReadAt(std::uint64_t offset, std::span<std::byte> into, std::size_t& got) const {
  got = 0;
  while (got < into.size()) {
    ssize_t n = ::pread(fd_, into.data() + got, into.size() - got,
                        static_cast<off_t>(offset + got));
    if (n < 0) {
      if (errno == EINTR) continue;
      return errno;
    }
    if (n == 0) break;
    got += static_cast<std::size_t>(n);
  }
  return 0;
}

int File::Truncate() {
  if (::ftruncate(fd_, 0) != 0) return errno;
  return Rewind();
}

int File::Resize(std::uint64_t size) {
  return ::ftruncate(fd_, static_cast<off_t>(size)) == 0 ? 0 : errno;
}

int File::Rewind() {
  return ::lseek(fd_, 0, SEEK_SET) < 0 ? errno : 0;
}

int File::Size(std::uint64_t& size) const {
  struct stat st {};
  if (::fstat(fd_, &st) != 0) return errno;
  size = static_cast<std::uint64_t>(st.st_size);
  return 0;
}

std::uint64_t File::LargestSize() const {
  std::uint64_t largest = UINT64_MAX;
  long bits = ::fpathconf(fd_, _PC_FILESIZEBITS);
#ifdef __linux__
  // The C library says 32 bits for a file system it does not know, among
  // them tmpfs, where /tmp often is, and btrfs; their files may be as
  // large as any.
  struct statfs system {};
  if (bits == 32 && ::fstatfs(fd_, &system) == 0 &&
      (system.f_type == TMPFS_MAGIC || system.f_type == BTRFS_SUPER_MAGIC))
    bits = 64;
#endif
  if (bits > 0 && bits < 64) largest = (std::uint64_t{1} << (bits - 1)) - 1;
  rlimit limit{};
  if (::getrlimit(RLIMIT_FSIZE, &limit) == 0 && limit.rlim_cur != RLIM_INFINITY)
    largest = std::min<std::uint64_t>(largest, limit.rlim_cur);
  return largest;
}

}  // namespace korvanel
