// Text bound for a terminal with its control bytes made visible. Paths and
// map texts come from other people's files; sent raw, a name such as
// "ESC ] 0;title BEL" would retitle the window, "ESC ] 52;..." write the
// clipboard, "ESC [ 2J" clear the screen.
//
// Escaped, in the form GNU `ls -b` uses: \a \b \t \v \f \r, and every other
// control byte as a backslash and three octal digits (ESC is \033, DEL
// \177). Control bytes are C0 (0x00-0x1F), DEL, the C1 controls as UTF-8
// encodes them (C2 80..C2 9F, shown \302\233 and so on), and any byte
// 0x80-0x9F that is not part of a well-formed UTF-8 character, which a
// terminal in an 8-bit mode takes as C1 (lone 0x9B is CSI there). A
// backslash stays as it is, so all text without control bytes (the usage
// text's Windows paths among it) reads exactly as before.
#pragma once

#include <string>
#include <string_view>

namespace korvanel {

// Line feeds are kept unless `escapeLineFeeds` is set (then \n): messages
// need them, and a line feed cannot drive a terminal.
std::string EscapeControlBytes(std::string_view text, bool escapeLineFeeds = false);

// The longest start of `shown` (text as EscapeControlBytes gives it) that a
// UTF-8 terminal draws in at most `columns` columns, never cut inside a
// character: East Asian wide characters take two, combining marks and
// other zero-width characters none (kept with the character they follow),
// and a byte that is not part of a well-formed character one, as the
// replacement character the terminal draws for it. By a table of its own,
// so the width is the same whatever locale the run has.
std::string_view FitToColumns(std::string_view shown, std::size_t columns);

}  // namespace korvanel
