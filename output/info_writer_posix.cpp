#include "output/info_writer.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/text.h"

namespace korvanel {
namespace {

constexpr std::size_t kFlushSize = 64 * 1024;
constexpr std::string_view kCreateFailed = "ERROR!\nUnable to create the output file!\nReason:\n";

// The file's owner bits do not bind root, so a file that nobody may write
// counts as read-only too.
bool IsReadOnly(const std::string& path, const struct stat& st) {
  return (st.st_mode & 0222) == 0 || ::access(path.c_str(), W_OK) != 0;
}

bool IsSameFile(const std::string& a, const std::string& b) {
  struct stat x {}, y {};
  return !a.empty() && !b.empty() && ::stat(a.c_str(), &x) == 0 && ::stat(b.c_str(), &y) == 0 &&
         x.st_dev == y.st_dev && x.st_ino == y.st_ino;
}

// Why `path` must not become the info file, or nothing: appending to a map
// or emptying it would ruin it, above all the one this run reads.
const char* RefusalReason(const std::string& path, const RunOptions& options) {
  if (IsSameFile(path, options.sourcePath)) return "The file is the map this run reads.\n";
  if (EndsWithNoCase(path, ".w3m") || EndsWithNoCase(path, ".w3x")) return "The name is a map's (.w3m or .w3x), not an info file's.\n";
  return nullptr;
}

}  // namespace

bool InfoWriter::OpenInfoFile(const std::string& path, const RunOptions& options) {
  errors_.writeFailed = false;
  Close();
  if (const char* refusal = RefusalReason(path, options)) {
    reporter_.Report(std::string(kCreateFailed) + refusal, Icon::kStop);
    return false;
  }
  struct stat st {};
  if (!path.empty() && ::stat(path.c_str(), &st) == 0) {
    if (S_ISDIR(st.st_mode)) {
      reporter_.Report("ERROR!\nUnable to create output file!\nThe filename you gave is already used by a directory!\nPlease try another name.", Icon::kStop);
      return false;
    }
    if (IsReadOnly(path, st)) {
      reporter_.Report("ERROR!\nUnable to use this output file!\nThe file is Read Only.", Icon::kStop);
      return false;
    }
    if (options.consoleMode) {
      if (options.appendInfoFile) return OpenExisting(path, Existing::kAppend);
      if (options.overwriteInfoFile) return OpenExisting(path, Existing::kTruncate);
      return false;
    }
    switch (reporter_.Ask("WARNING!\nThe output info file you're trying to use already exists.\nDo you want to APPEND (YES) the already existing file\n or CREATE a NEW (NO) file?")) {
      case Answer::kYes: return OpenExisting(path, Existing::kAppend);
      case Answer::kNo: return OpenExisting(path, Existing::kTruncate);
      default: return false;
    }
  }
  // Created only if still absent, so a file that appeared meanwhile is not
  // replaced behind the user's back.
  int fd = path.empty() ? -1 : ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
  if (fd < 0) {
    int error = path.empty() ? ENOENT : errno;
    reporter_.Report(std::string(kCreateFailed) + ErrorReason(error), Icon::kStop);
    return false;
  }
  File file(fd);
  if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
    reporter_.Report(std::string(kCreateFailed) + "The file is in use by another process.\n", Icon::kStop);
    return false;
  }
  file_ = std::move(file);
  return true;
}

bool InfoWriter::OpenExisting(const std::string& path, Existing how) {
  int flags = O_WRONLY | O_CLOEXEC | (how == Existing::kAppend ? O_APPEND : 0);
  File file(::open(path.c_str(), flags));
  if (!file.IsOpen()) {
    reporter_.Report(std::string(kCreateFailed) + ErrorReason(errno), Icon::kStop);
    return false;
  }
  // Lock before emptying: another run writing this file keeps its records.
  if (::flock(file.Descriptor(), LOCK_EX | LOCK_NB) != 0) {
    reporter_.Report(std::string(kCreateFailed) + "The file is in use by another process.\n", Icon::kStop);
    return false;
  }
  struct stat st {};
  if (how == Existing::kTruncate && ::fstat(file.Descriptor(), &st) == 0 && S_ISREG(st.st_mode)) {
    if (int error = file.Truncate()) {
      reporter_.Report(std::string(kCreateFailed) + ErrorReason(error), Icon::kStop);
      return false;
    }
  }
  file_ = std::move(file);
  return true;
}

void InfoWriter::WriteInfoText(std::string_view text) {
  if (!file_.IsOpen()) return;
  pending_.append(text);
  if (pending_.size() >= kFlushSize) Flush();
}

void InfoWriter::Flush() {
  if (pending_.empty()) return;
  int error = file_.IsOpen() ? file_.WriteAll(pending_) : 0;
  pending_.clear();
  if (error == 0 || errors_.writeFailed) return;
  errors_.writeFailed = true;
  reporter_.Report("ERROR!\nAn error occured while trying to write in the output file:\n" + ErrorReason(error),
                   Icon::kExclamation);
}

void InfoWriter::Close() {
  Flush();
  int error = file_.Close();
  // Some file systems report a failed write only at close.
  if (error != 0 && !errors_.writeFailed) {
    errors_.writeFailed = true;
    reporter_.Report("ERROR!\nAn error occured while trying to write in the output file:\n" + ErrorReason(error),
                     Icon::kExclamation);
  }
}

}  // namespace korvanel
