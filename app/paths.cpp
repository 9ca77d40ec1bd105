#include "app/paths.h"

#include <cerrno>
#include <sys/stat.h>

#include "platform/text.h"

namespace korvanel {

std::string NormaliseDirectory(std::string_view text) { return EndWithSeparator(TrimWhiteSpace(text)); }

std::string EndWithSeparator(std::string_view path) {
  std::string dir(path);
  if (dir.empty() || dir.back() != kPathSeparator) dir += kPathSeparator;
  return dir;
}

int PathError(const std::string& path) {
  struct stat st {};
  if (path.empty()) return ENOENT;
  return ::lstat(path.c_str(), &st) == 0 ? 0 : errno;
}

std::string AsTypedOrTrimmed(std::string_view text) {
  const std::string typed(text);
  return PathError(typed) == 0 ? typed : std::string(TrimWhiteSpace(text));
}

}  // namespace korvanel
