#include "app/progress_line.h"

#include <cstdio>
#include <string>

#include "app/terminal_text.h"
#include "platform/file.h"
#include "platform/terminal.h"

namespace korvanel {
namespace {

constexpr auto kRedrawInterval = std::chrono::milliseconds(100);
// Short runs finish before this and show no progress at all.
constexpr auto kFirstDraw = std::chrono::milliseconds(500);

void WriteRaw(int fd, std::string_view text) {
  File out(fd);
  out.WriteAll(text);
  out.Release();
}

}  // namespace

ProgressLine::ProgressLine(int fd) : fd_(fd), enabled_(IsTerminal(fd)), start_(Clock::now()) {}

bool ProgressLine::Step(std::string_view name, bool breakLine) {
  ++done_;
  if (!enabled_) return false;
  const auto now = Clock::now();
  if (now - start_ < kFirstDraw || (shown_ && now - lastDraw_ < kRedrawInterval)) return false;
  lastDraw_ = now;
  const double seconds = std::chrono::duration<double>(now - start_).count();
  char head[64];
  std::snprintf(head, sizeof head, "%ld maps, %.1f/s: ", done_, seconds > 0 ? done_ / seconds : 0.0);
  // Cut to the columns as shown, escapes included; a line feed in the name
  // would break the one line, so it is escaped here too.
  const std::string line = head + EscapeControlBytes(name, true);
  const auto width = static_cast<std::size_t>(TerminalWidth(fd_) - 1);
  WriteRaw(fd_, (breakLine ? "\n\x1b[K" : "\r\x1b[K") + std::string(FitToColumns(line, width)));
  shown_ = true;
  return true;
}

void ProgressLine::Erase() {
  if (!shown_) return;
  WriteRaw(fd_, "\r\x1b[K");
  shown_ = false;
}

}  // namespace korvanel
