#include "app/paths.h"

#include "platform/file.h"
#include "platform/text.h"

namespace korvanel {

std::string NormaliseDirectory(std::string_view text) { return EndWithSeparator(TrimWhiteSpace(text)); }

std::string EndWithSeparator(std::string_view path) {
  std::string dir(path);
  if (dir.empty() || dir.back() != kPathSeparator) dir += kPathSeparator;
  return dir;
}

std::string AsTypedOrTrimmed(std::string_view text) {
  const std::string typed(text);
  return PathError(typed) == 0 ? typed : std::string(TrimWhiteSpace(text));
}

}  // namespace korvanel
