#include "output/info_writer.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace korvanel {
namespace {

constexpr std::size_t kFlushSize = 64 * 1024;

// The file's owner bits do not bind root, so a file that nobody may write
// counts as read-only too.
bool IsReadOnly(const std::string& path, const struct stat& st) {
  return (st.st_mode & 0222) == 0 || ::access(path.c_str(), W_OK) != 0;
}

}  // namespace

InfoFileOpenResult InfoWriter::Open(const std::string& path, const std::function<ExistingInfoFile()>& existing) {
  struct stat st {};
  if (!path.empty() && ::stat(path.c_str(), &st) == 0) {
    if (S_ISDIR(st.st_mode)) return {InfoFileOpen::kDirectory};
    if (IsReadOnly(path, st)) return {InfoFileOpen::kReadOnly};
    return OpenExisting(path, existing());
  }
  // Created only if still absent, so a file that appeared meanwhile is not
  // replaced behind the user's back.
  int fd = path.empty() ? -1 : ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
  if (fd < 0) return {InfoFileOpen::kFailed, path.empty() ? ENOENT : errno};
  File file(fd);
  if (::flock(fd, LOCK_EX | LOCK_NB) != 0) return {InfoFileOpen::kInUse};
  file_ = std::move(file);
  whole_ = 0;
  return {InfoFileOpen::kOpened};
}

InfoFileOpenResult InfoWriter::OpenExisting(const std::string& path, ExistingInfoFile how) {
  if (how == ExistingInfoFile::kLeaveAlone) return {InfoFileOpen::kLeftAlone};
  int flags = O_WRONLY | O_CLOEXEC | (how == ExistingInfoFile::kAppend ? O_APPEND : 0);
  File file(::open(path.c_str(), flags));
  if (!file.IsOpen()) return {InfoFileOpen::kFailed, errno};
  // Lock before emptying: another run writing this file keeps its records.
  if (::flock(file.Descriptor(), LOCK_EX | LOCK_NB) != 0) return {InfoFileOpen::kInUse};
  struct stat st {};
  if (how == ExistingInfoFile::kStartAnew && ::fstat(file.Descriptor(), &st) == 0 && S_ISREG(st.st_mode)) {
    if (int error = file.Truncate()) return {InfoFileOpen::kFailed, error};
  }
  whole_ = 0;
  file.Size(whole_);
  file_ = std::move(file);
  return {InfoFileOpen::kOpened};
}

int InfoWriter::Write(std::string_view text) {
  if (!file_.IsOpen() || dropping_) return 0;
  pending_.append(text);
  return pending_.size() >= kFlushSize ? WritePending() : 0;
}

int InfoWriter::WritePending() {
  if (pending_.empty()) return 0;
  const int error = file_.WriteAll(pending_);
  pending_.clear();
  if (error != 0) {
    dropping_ = true;
    // Not every file can be cut (a device): then the bytes stay as written.
    file_.Resize(whole_);
  }
  return error;
}

int InfoWriter::EndRecord() {
  if (!file_.IsOpen()) return 0;
  const int error = WritePending();
  if (!dropping_) file_.Size(whole_);
  dropping_ = false;
  return error;
}

int InfoWriter::Close() {
  const int error = EndRecord();
  const int closeError = file_.Close();
  return error != 0 ? error : closeError;
}

}  // namespace korvanel
