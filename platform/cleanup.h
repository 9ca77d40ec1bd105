// Removes files when the process is interrupted or terminated, so that no
// work file outlives a run stopped with Ctrl+C or kill, and no half-written
// output is left behind.
#pragma once

#include <string>

namespace korvanel {

// Registers the work file's `path` (replacing an earlier one) and installs
// the handlers.
void RemoveOnSignal(const std::string& path);
void ForgetRemoveOnSignal();

// The same for one output file while it is being written.
void RemovePartialOnSignal(const std::string& path);
void ForgetPartial();

}  // namespace korvanel
