#include "app/console_reporter.h"

#include "app/terminal_text.h"
#include "platform/file.h"
#include "platform/terminal.h"

namespace korvanel {
namespace {

void Put(int fd, bool terminal, std::string_view text) {
  File out(fd);
  out.WriteAll(terminal ? EscapeControlBytes(text) : std::string(text));
  out.Release();
}

}  // namespace

ConsoleReporter::ConsoleReporter(int fd, int errorFd)
    : fd_(fd), errorFd_(errorFd), terminal_(IsTerminal(fd)), progress_(errorFd) {}

void ConsoleReporter::Report(std::string_view text, Icon) { Write(text); }

// The command line settles existing info files with /a and /o, so it never
// asks; a question that does arrive is answered as if cancelled.
Answer ConsoleReporter::Ask(std::string_view text) {
  Write(text);
  return Answer::kCancel;
}

void ConsoleReporter::ShowMap(std::string_view name) {
  if (progress_.Step(name, openLine_)) openLine_ = false;
}

void ConsoleReporter::Diagnose(std::string_view line) {
  progress_.Erase();
  const bool terminal = progress_.Enabled();
  // A message left open on the same terminal is ended first, as the
  // progress line does.
  std::string text = openLine_ && terminal ? "\n" : "";
  text += "korvanel: ";
  text.append(line) += '\n';
  Put(errorFd_, terminal, text);
  if (terminal) openLine_ = false;
}

void ConsoleReporter::Write(std::string_view text) {
  if (text.empty()) return;
  progress_.Erase();
  Put(fd_, terminal_, text);
  openLine_ = terminal_ && text.back() != '\n';
}

void ConsoleReporter::FinishLine() {
  progress_.Erase();
  if (openLine_) Write("\n");
}

}  // namespace korvanel
