#include "app/map_walk.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <dirent.h>
#include <fcntl.h>
#include <filesystem>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>
#include <vector>

#include "app/paths.h"
#include "platform/text.h"

namespace korvanel {
namespace {

struct Entry {
  std::string name;
  bool isMap = false;
  bool isDirectory = false;
  int error = 0;  // why the entry could not be examined
};

// Case-insensitive ASCII order first, bytes to break ties, so a walk is
// reproducible whatever order the file system lists names in.
bool NameLess(const std::string& a, const std::string& b) {
  const int order = CompareNoCase(a, b);
  return order != 0 ? order < 0 : a < b;
}

// Folders are read through descriptors, so that trees deeper than the
// longest path the system accepts are still walked.
std::vector<Entry> ListDirectory(int dirFd, const std::string& dir, bool includeW3x, const WalkFailure& failed) {
  std::vector<Entry> entries;
  int listFd = ::dup(dirFd);
  DIR* handle = listFd >= 0 ? ::fdopendir(listFd) : nullptr;
  if (!handle) {
    failed(dir, errno);
    if (listFd >= 0) ::close(listFd);
    return entries;
  }
  for (;;) {
    errno = 0;
    const dirent* d = ::readdir(handle);
    if (!d) {
      if (errno != 0) failed(dir, errno);
      break;
    }
    std::string name = d->d_name;
    if (name == "." || name == "..") continue;
    struct stat st {};
    // Links count as what they point to.
    if (::fstatat(dirFd, name.c_str(), &st, 0) != 0) {
      // A dangling link or a file gone since the listing: the folder still
      // lists it as a map, so it is one that cannot be opened.
      if (HasMapExtension(name, includeW3x)) entries.push_back({std::move(name), true, false, errno});
      continue;
    }
    Entry e{std::move(name), false, S_ISDIR(st.st_mode)};
    e.isMap = S_ISREG(st.st_mode) && HasMapExtension(e.name, includeW3x);
    if (e.isMap || e.isDirectory) entries.push_back(std::move(e));
  }
  ::closedir(handle);
  std::sort(entries.begin(), entries.end(), [](const Entry& a, const Entry& b) { return NameLess(a.name, b.name); });
  return entries;
}

struct FolderId {
  dev_t device;
  ino_t inode;
  bool operator==(const FolderId&) const = default;
};

class Walker {
 public:
  Walker(bool includeSubdirectories, bool includeW3x, const MapVisitor& visit, const WalkFailure& failed)
      : includeSubdirectories_(includeSubdirectories), includeW3x_(includeW3x), visit_(visit), failed_(failed) {}

  // Takes ownership of `dirFd`.
  void Walk(int dirFd, const std::string& dir) {
    struct stat st {};
    if (::fstat(dirFd, &st) != 0) {
      failed_(dir, errno);
      ::close(dirFd);
      return;
    }
    FolderId id{st.st_dev, st.st_ino};
    // A link back to a folder on the way down would never end.
    if (std::find(descent_.begin(), descent_.end(), id) != descent_.end()) {
      ::close(dirFd);
      return;
    }
    descent_.push_back(id);

    std::vector<Entry> entries = ListDirectory(dirFd, dir, includeW3x_, failed_);
    for (const Entry& e : entries) {
      if (!e.isMap) continue;
      std::string path = dir + e.name;
      if (e.error != 0) failed_(path, e.error);
      // Too long for the system to open directly: reach it through the
      // folder's descriptor instead.
      std::string openPath = path.size() < PATH_MAX ? path : "/proc/self/fd/" + std::to_string(dirFd) + "/" + e.name;
      visit_(path, e.name, openPath);
    }
    if (includeSubdirectories_) {
      for (const Entry& e : entries) {
        if (!e.isDirectory) continue;
        const std::string sub = dir + e.name + kPathSeparator;
        const int subFd = ::openat(dirFd, e.name.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        if (subFd >= 0) {
          Walk(subFd, sub);
        } else {
          failed_(sub, errno);
        }
      }
    }
    descent_.pop_back();
    ::close(dirFd);
  }

 private:
  bool includeSubdirectories_;
  bool includeW3x_;
  const MapVisitor& visit_;
  const WalkFailure& failed_;
  std::vector<FolderId> descent_;
};

}  // namespace

bool HasMapExtension(std::string_view name, bool includeW3x) {
  return EndsWithNoCase(name, ".w3m") || (includeW3x && EndsWithNoCase(name, ".w3x"));
}

void WalkMapDirectory(const std::string& directory, bool includeSubdirectories, const MapVisitor& visit,
                      const WalkFailure& failed, bool includeW3x) {
  std::error_code ec;
  std::filesystem::path absolute = std::filesystem::absolute(directory, ec);
  if (ec) {
    failed(directory, ec.value());
    return;
  }
  std::string dir = absolute.lexically_normal().string();
  if (dir.empty() || dir.back() != kPathSeparator) dir += kPathSeparator;
  // Started deep inside a tree, the absolute path may be too long to open,
  // while the same folder relative to the current one is not.
  const std::string openable = dir.size() < PATH_MAX ? dir : std::filesystem::path(directory).lexically_normal().string();
  const int fd = ::open(openable.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd >= 0) {
    Walker(includeSubdirectories, includeW3x, visit, failed).Walk(fd, dir);
  } else {
    failed(dir, errno);
  }
}

}  // namespace korvanel
