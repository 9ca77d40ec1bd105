// Messages of the command-line mode: each text goes to standard output
// exactly as it is, nothing added and nothing interpreted. Only when a
// terminal shows it are its control bytes escaped (app/terminal_text.h),
// so that a path or map text cannot drive the terminal; a pipe or a file
// gets the bytes unchanged.
#pragma once

#include "app/progress_line.h"
#include "app/reporter.h"

namespace korvanel {

class ConsoleReporter : public Reporter {
 public:
  explicit ConsoleReporter(int fd = 1, int errorFd = 2);
  void Report(std::string_view text, Icon icon) override;
  void ShowMap(std::string_view name) override;
  Answer Ask(std::string_view text) override;
  // To standard error after "korvanel: ", escaped the same way when a
  // terminal shows it.
  void Diagnose(std::string_view line) override;
  // Writes text that is not a message (the usage text).
  void Write(std::string_view text);
  // Ends an unfinished last line on a terminal, so the prompt starts clean.
  // Also removes the progress line.
  void FinishLine();

 private:
  int fd_;
  int errorFd_;
  bool terminal_;
  // The terminal's cursor stands after a message that did not end its line.
  bool openLine_ = false;
  // Shown exactly when standard error is a terminal.
  ProgressLine progress_;
};

}  // namespace korvanel
