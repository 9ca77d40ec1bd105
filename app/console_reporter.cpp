#include "app/console_reporter.h"

#include <unistd.h>

#include "platform/file.h"

namespace korvanel {

void ConsoleReporter::Report(std::string_view text, Icon) { Write(text); }

// The command line settles existing info files with /a and /o, so it never
// asks; a question that does arrive is answered as if cancelled.
Answer ConsoleReporter::Ask(std::string_view text) {
  Write(text);
  return Answer::kCancel;
}

void ConsoleReporter::ShowStatus(std::string_view status) {
  constexpr std::string_view kPrefix = "Processing ";
  if (progress_.Step(status.starts_with(kPrefix) ? status.substr(kPrefix.size()) : status, openLine_))
    openLine_ = false;
}

void ConsoleReporter::Diagnose(std::string_view line) {
  // On a shared terminal the line starts on a line of its own.
  FinishLine();
  Reporter::Diagnose(line);
}

void ConsoleReporter::Write(std::string_view text) {
  if (text.empty()) return;
  progress_.Erase();
  File out(fd_);
  out.WriteAll(text);
  out.Release();
  openLine_ = text.back() != '\n' && ::isatty(fd_);
}

void ConsoleReporter::FinishLine() {
  progress_.Erase();
  if (openLine_) Write("\n");
}

}  // namespace korvanel
