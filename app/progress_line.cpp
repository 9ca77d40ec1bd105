#include "app/progress_line.h"

#include <cstdio>
#include <string>
#include <sys/ioctl.h>
#include <unistd.h>

#include "platform/file.h"

namespace korvanel {
namespace {

constexpr auto kRedrawInterval = std::chrono::milliseconds(100);
// Short runs finish before this and show no progress at all.
constexpr auto kFirstDraw = std::chrono::milliseconds(500);

int TerminalWidth(int fd) {
  struct winsize size {};
  if (::ioctl(fd, TIOCGWINSZ, &size) == 0 && size.ws_col > 0) return size.ws_col;
  return 80;
}

void WriteRaw(int fd, std::string_view text) {
  File out(fd);
  out.WriteAll(text);
  out.Release();
}

}  // namespace

ProgressLine::ProgressLine(int fd) : fd_(fd), enabled_(::isatty(fd) == 1), start_(Clock::now()) {}

bool ProgressLine::Step(std::string_view name, bool breakLine) {
  ++done_;
  if (!enabled_) return false;
  const auto now = Clock::now();
  if (now - start_ < kFirstDraw || (shown_ && now - lastDraw_ < kRedrawInterval)) return false;
  lastDraw_ = now;
  const double seconds = std::chrono::duration<double>(now - start_).count();
  char head[64];
  std::snprintf(head, sizeof head, "%ld maps, %.1f/s: ", done_, seconds > 0 ? done_ / seconds : 0.0);
  std::string line = head;
  // Control bytes in a file name would move the cursor; show them as '?'.
  for (char c : name) line += static_cast<unsigned char>(c) < 0x20 || c == 0x7F ? '?' : c;
  const auto width = static_cast<std::size_t>(TerminalWidth(fd_) - 1);
  if (line.size() > width) line.resize(width);
  WriteRaw(fd_, (breakLine ? "\n\x1b[K" : "\r\x1b[K") + line);
  shown_ = true;
  return true;
}

void ProgressLine::Erase() {
  if (!shown_) return;
  WriteRaw(fd_, "\r\x1b[K");
  shown_ = false;
}

}  // namespace korvanel
