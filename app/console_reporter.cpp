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

void ConsoleReporter::Write(std::string_view text) {
  if (text.empty()) return;
  File out(fd_);
  out.WriteAll(text);
  out.Release();
  last_ = text.back();
}

void ConsoleReporter::FinishLine() {
  if (last_ != '\n' && ::isatty(fd_)) Write("\n");
}

}  // namespace korvanel
