// Path rules shared by the command line and the dialog.
#pragma once

#include <string>
#include <string_view>

namespace korvanel {

inline constexpr char kPathSeparator = '/';

// White space trimmed at both ends and a separator appended unless there is
// one already ("" becomes "/").
std::string NormaliseDirectory(std::string_view text);
// A separator appended unless there is one already; nothing trimmed.
std::string EndWithSeparator(std::string_view path);
// On Linux a name may begin or end with blanks: the text as typed when it
// names something that exists (a link too), else the text trimmed, so the
// path that is checked is the path that is used.
std::string AsTypedOrTrimmed(std::string_view text);

}  // namespace korvanel
