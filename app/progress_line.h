// A one-line progress indicator on standard error for long command-line
// walks: maps done, maps per second, the current map. Shown only on a
// terminal, redrawn at most ten times a second, erased at the end, so
// standard output and every file stay exactly as without it.
#pragma once

#include <chrono>
#include <string_view>

namespace korvanel {

class ProgressLine {
 public:
  explicit ProgressLine(int fd = 2);
  ~ProgressLine() { Erase(); }

  bool Enabled() const { return enabled_; }
  // A new map is being processed. When `breakLine` is set, a line left open
  // on the terminal by other output is ended before the first redraw.
  // Returns whether the line was redrawn.
  bool Step(std::string_view name, bool breakLine = false);
  // Clears the line, e.g. before a message is printed on the same terminal.
  void Erase();

 private:
  using Clock = std::chrono::steady_clock;
  int fd_;
  bool enabled_;
  bool shown_ = false;
  long done_ = -1;
  Clock::time_point start_;
  Clock::time_point lastDraw_;
};

}  // namespace korvanel
