#include "app/paths.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <sys/stat.h>

namespace korvanel {
namespace {

bool IsWhiteSpace(char c) { return c == ' ' || (c >= '\t' && c <= '\r'); }

}  // namespace

std::string_view TrimWhiteSpace(std::string_view text) {
  while (!text.empty() && IsWhiteSpace(text.front())) text.remove_prefix(1);
  while (!text.empty() && IsWhiteSpace(text.back())) text.remove_suffix(1);
  return text;
}

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

bool EndsWithNoCase(std::string_view text, std::string_view suffix) {
  if (text.size() < suffix.size()) return false;
  text.remove_prefix(text.size() - suffix.size());
  return std::equal(text.begin(), text.end(), suffix.begin(), [](char a, char b) {
    return std::tolower(static_cast<unsigned char>(a)) == std::tolower(static_cast<unsigned char>(b));
  });
}

bool IsExistingDirectory(const std::string& path) {
  struct stat st {};
  return !path.empty() && ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

}  // namespace korvanel
