// Removes files when the process is stopped by a signal, so that no work
// file outlives a run stopped with Ctrl+C, kill or a closed pipe, and no
// half-written output is left behind. A signal that was ignored when the
// program started stays ignored, as nohup and shells expect.
#pragma once

#include <functional>
#include <string>

namespace korvanel {

// Registers the work file's `path` (replacing an earlier one) and installs
// the handlers.
void RemoveOnSignal(const std::string& path);
void ForgetRemoveOnSignal();

// The same for one output file while it is being written.
void RemovePartialOnSignal(const std::string& path);
void ForgetPartial();

// The same for a file written to replace another once it is complete (the
// catalogue), for the whole run.
void RemovePendingOnSignal(const std::string& path);
void ForgetPending();

// Runs `step` with the handled signals held back, so that a file and its
// registration for removal come into being together.
void HoldingSignals(const std::function<void()>& step);

// For a child process that serves this one: the handled signals act as
// they did when the program started; the files are not the child's to
// remove.
void RestoreStartingSignals();

}  // namespace korvanel
