// Facts about the running process that the rest of the program needs.
#pragma once

#include <string>

namespace korvanel {

// The folder of the running program, ending in a separator; empty when
// unknown.
std::string ProgramDirectory();

// Opens the null device on any of the standard descriptors that is
// closed. Some libraries close descriptor 0 after a failed open; without
// this, a file of ours could be holding that number.
void ReserveStandardDescriptors();

// How many processors this process may run on (its affinity), at least 1.
unsigned UsableProcessors();

}  // namespace korvanel
