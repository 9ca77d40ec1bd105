// Path rules shared by the command line and the dialog.
#pragma once

#include <string>
#include <string_view>

namespace korvanel {

inline constexpr char kPathSeparator = '/';

// White space trimmed at both ends and a separator appended unless there is
// one already ("" becomes "/").
std::string NormaliseDirectory(std::string_view text);
bool IsExistingDirectory(const std::string& path);
// White space as the command line and the dialog trim it.
std::string_view TrimWhiteSpace(std::string_view text);

}  // namespace korvanel
