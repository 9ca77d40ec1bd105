// Removes one file when the process is interrupted or terminated, so that
// no work file outlives a run stopped with Ctrl+C or kill.
#pragma once

#include <string>

namespace korvanel {

// Registers `path` (replacing an earlier one) and installs the handlers.
void RemoveOnSignal(const std::string& path);
// Forgets the registered path.
void ForgetRemoveOnSignal();

}  // namespace korvanel
