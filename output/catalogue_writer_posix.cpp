#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include "output/catalogue_writer.h"
#include "platform/cleanup.h"

namespace korvanel {
namespace {

// Collected lines are written once they are this much.
constexpr std::size_t kFlushSize = 64 * 1024;

// Whether `path` names the open `file`.
bool Names(const std::string& path, const File& file) {
  struct stat named {}, opened {};
  return ::lstat(path.c_str(), &named) == 0 && ::fstat(file.Descriptor(), &opened) == 0 &&
         named.st_dev == opened.st_dev && named.st_ino == opened.st_ino;
}

// The new catalogue's name beside the old: hidden, and the same for every
// run, so that it is also the lock two runs meet on.
std::string PendingName(const std::string& target) {
  const std::size_t slash = target.rfind('/');
  const std::size_t start = slash == std::string::npos ? 0 : slash + 1;
  return target.substr(0, start) + "." + target.substr(start) + ".kvl-new";
}

}  // namespace

CatalogueOpenResult CatalogueWriter::Open(const std::string& path) {
  Abandon();
  error_ = 0;
  if (path == kStandardOutput) {
    // Duplicated, so that closing the catalogue leaves standard output open
    // for the rest of the process.
    file_ = File(::fcntl(1, F_DUPFD_CLOEXEC, 3));
    return file_.IsOpen() ? CatalogueOpenResult{CatalogueOpen::kOpened} : CatalogueOpenResult{CatalogueOpen::kFailed, errno};
  }
  if (path.empty()) return {CatalogueOpen::kFailed, ENOENT};
  struct stat st {};
  const bool exists = ::stat(path.c_str(), &st) == 0;
  std::string target = path;
  if (exists) {
    if (S_ISDIR(st.st_mode)) return {CatalogueOpen::kFolder};
    if (S_ISFIFO(st.st_mode) || S_ISSOCK(st.st_mode)) return {CatalogueOpen::kNotRegular};
    if (!S_ISREG(st.st_mode)) {
      // A device (/dev/null) takes the lines as they come.
      file_ = File(::open(path.c_str(), O_WRONLY | O_CLOEXEC));
      return file_.IsOpen() ? CatalogueOpenResult{CatalogueOpen::kOpened} : CatalogueOpenResult{CatalogueOpen::kFailed, errno};
    }
    // The file's owner bits do not bind root.
    if ((st.st_mode & 0222) == 0 || ::access(path.c_str(), W_OK) != 0) return {CatalogueOpen::kReadOnly};
    // A link stays a link: the file it names is the one replaced.
    if (char* real = ::realpath(path.c_str(), nullptr)) {
      target = real;
      std::free(real);
    }
  }
  const std::string pending = PendingName(target);
  // A run that ends its catalogue renames the file it held locked: the
  // name found may be a new run's file by the time it is locked.
  for (int attempt = 0; attempt < 8; ++attempt) {
    File file(::open(pending.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0666));
    if (!file.IsOpen()) return {CatalogueOpen::kFailed, errno};
    if (::flock(file.Descriptor(), LOCK_EX | LOCK_NB) != 0) return {CatalogueOpen::kInUse};
    if (!Names(pending, file)) continue;
    if (const int error = file.Truncate(); error != 0) return {CatalogueOpen::kFailed, error};
    // The new catalogue keeps the old one's permissions.
    if (exists) ::fchmod(file.Descriptor(), st.st_mode & 07777);
    file_ = std::move(file);
    target_ = target;
    pending_ = pending;
    RemovePendingOnSignal(pending_);
    return {CatalogueOpen::kOpened};
  }
  return {CatalogueOpen::kInUse};
}

int CatalogueWriter::Write(std::string_view line) {
  if (!file_.IsOpen() || error_ != 0) return error_;
  if (target_.empty()) return error_ = file_.WriteAll(line);
  buffer_.append(line);
  return buffer_.size() >= kFlushSize ? Flush() : 0;
}

int CatalogueWriter::Flush() {
  if (error_ == 0 && !buffer_.empty()) error_ = file_.WriteAll(buffer_);
  buffer_.clear();
  return error_;
}

int CatalogueWriter::Close() {
  if (!file_.IsOpen()) return 0;
  int error = Flush();
  if (target_.empty()) {
    const int closed = file_.Close();
    return error != 0 ? error : closed;
  }
  // Renamed while still locked, so no other run takes the name meanwhile.
  if (error == 0 && ::rename(pending_.c_str(), target_.c_str()) != 0) error = errno;
  if (error == 0) {
    ForgetPending();
    pending_.clear();
    target_.clear();
    const int closed = file_.Close();
    return closed;
  }
  Abandon();
  return error;
}

void CatalogueWriter::Abandon() {
  if (!pending_.empty()) {
    ForgetPending();
    ::unlink(pending_.c_str());
    pending_.clear();
  }
  target_.clear();
  buffer_.clear();
  file_.Close();
}

}  // namespace korvanel
