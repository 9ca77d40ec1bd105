// What the program needs to know about a terminal on one of its descriptors.
#pragma once

namespace korvanel {

bool IsTerminal(int fd);
// Columns of the terminal on `fd`; 80 when it does not say.
int TerminalWidth(int fd);

}  // namespace korvanel
