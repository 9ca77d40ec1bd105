#include "app/map_walk.h"

#include <algorithm>
#include <cctype>
#include <dirent.h>
#include <filesystem>
#include <sys/stat.h>
#include <utility>
#include <vector>

#include "app/paths.h"

namespace korvanel {
namespace {

struct Entry {
  std::string name;
  bool isMap = false;
  bool isDirectory = false;
};

// Case-insensitive ASCII order first, bytes to break ties, so a walk is
// reproducible whatever order the file system lists names in.
bool NameLess(const std::string& a, const std::string& b) {
  auto lower = [](unsigned char c) { return static_cast<unsigned char>(std::tolower(c)); };
  bool less = std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end(),
                                           [&](char x, char y) { return lower(x) < lower(y); });
  bool greater = std::lexicographical_compare(b.begin(), b.end(), a.begin(), a.end(),
                                              [&](char x, char y) { return lower(x) < lower(y); });
  return less || (!greater && a < b);
}

std::vector<Entry> ListDirectory(const std::string& dir) {
  std::vector<Entry> entries;
  DIR* handle = ::opendir(dir.c_str());
  if (!handle) return entries;
  while (const dirent* d = ::readdir(handle)) {
    std::string name = d->d_name;
    if (name == "." || name == "..") continue;
    struct stat st {};
    // Links count as what they point to.
    if (::stat((dir + name).c_str(), &st) != 0) continue;
    Entry e{std::move(name), false, S_ISDIR(st.st_mode)};
    e.isMap = S_ISREG(st.st_mode) && HasMapExtension(e.name);
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
  Walker(bool includeSubdirectories, const MapVisitor& visit)
      : includeSubdirectories_(includeSubdirectories), visit_(visit) {}

  void Walk(const std::string& dir) {
    struct stat st {};
    if (::stat(dir.c_str(), &st) != 0) return;
    FolderId id{st.st_dev, st.st_ino};
    if (std::find(descent_.begin(), descent_.end(), id) != descent_.end()) return;
    descent_.push_back(id);

    std::vector<Entry> entries = ListDirectory(dir);
    for (const Entry& e : entries)
      if (e.isMap) visit_(dir + e.name, e.name);
    if (includeSubdirectories_) {
      for (const Entry& e : entries)
        if (e.isDirectory) Walk(dir + e.name + kPathSeparator);
    }
    descent_.pop_back();
  }

 private:
  bool includeSubdirectories_;
  const MapVisitor& visit_;
  std::vector<FolderId> descent_;
};

}  // namespace

bool HasMapExtension(std::string_view name) {
  constexpr std::string_view kExtension = ".w3m";
  if (name.size() < kExtension.size()) return false;
  std::string_view tail = name.substr(name.size() - kExtension.size());
  return std::equal(tail.begin(), tail.end(), kExtension.begin(), [](char a, char b) {
    return std::tolower(static_cast<unsigned char>(a)) == b;
  });
}

void WalkMapDirectory(const std::string& directory, bool includeSubdirectories, const MapVisitor& visit) {
  std::error_code ec;
  std::filesystem::path absolute = std::filesystem::absolute(directory, ec);
  if (ec) return;
  std::string dir = absolute.lexically_normal().string();
  if (dir.empty() || dir.back() != kPathSeparator) dir += kPathSeparator;
  Walker(includeSubdirectories, visit).Walk(dir);
}

}  // namespace korvanel
