#include <gtest/gtest.h>

#include <fcntl.h>
#include <pty.h>
#include <termios.h>
#include <thread>
#include <unistd.h>

#include "app/console_reporter.h"
#include "app/progress_line.h"
#include "app/terminal_text.h"

namespace korvanel::test {
namespace {

std::string Drain(int fd) {
  std::string out;
  char buffer[512];
  ssize_t n;
  while ((n = ::read(fd, buffer, sizeof buffer)) > 0) out.append(buffer, static_cast<std::size_t>(n));
  return out;
}

}  // namespace

TEST(ProgressLine, DrawnOnATerminalOnlyAfterAMomentAndErased) {
  int master = -1, slave = -1;
  if (::openpty(&master, &slave, nullptr, nullptr, nullptr) != 0) GTEST_SKIP() << "no pseudo-terminal";
  ::fcntl(master, F_SETFL, O_NONBLOCK);
  {
    ProgressLine progress(slave);
    ASSERT_TRUE(progress.Enabled());
    EXPECT_FALSE(progress.Step("first.w3m"));  // a short run shows nothing
    std::this_thread::sleep_for(std::chrono::milliseconds(600));
    EXPECT_TRUE(progress.Step("bad\x1b[2J\nname.w3m", true));
    EXPECT_FALSE(progress.Step("third.w3m"));  // too soon to redraw
    std::string shown = Drain(master);
    EXPECT_TRUE(shown.starts_with("\r\n\x1b[K1 maps, ")) << shown;  // the pty turns \n into \r\n
    EXPECT_NE(shown.find("/s: bad\\033[2J\\nname.w3m"), std::string::npos) << shown;
  }
  EXPECT_EQ(Drain(master), "\r\x1b[K");
  ::close(master);
  ::close(slave);

  int pipeFds[2];
  ASSERT_EQ(::pipe(pipeFds), 0);
  ProgressLine piped(pipeFds[1]);
  EXPECT_FALSE(piped.Enabled());
  EXPECT_FALSE(piped.Step("x"));
  ::close(pipeFds[0]);
  ::close(pipeFds[1]);
}

TEST(TerminalText, ControlBytesEscapedAllElseKept) {
  // Printable text, valid UTF-8 (0x9B as the second byte of U+011B among
  // it), a backslash, a no-break space and line feeds stay as they are.
  const std::string kept = "Map 50%s \\033 caf\xC3\xA9 \xC4\x9B\xF0\x9F\x98\x80 \xC2\xA0\xE9\xFF\n\n";
  EXPECT_EQ(EscapeControlBytes(kept), kept);
  EXPECT_EQ(EscapeControlBytes("\x1b]0;pwned\x07.w3m"), "\\033]0;pwned\\a.w3m");
  EXPECT_EQ(EscapeControlBytes(std::string("\0\x01\b\t\v\f\r\x1f\x7f", 9)), "\\000\\001\\b\\t\\v\\f\\r\\037\\177");
  EXPECT_EQ(EscapeControlBytes("a\nb", true), "a\\nb");
  // C1 controls: encoded in UTF-8, or as single bytes outside any character
  // (overlong forms, surrogates and cut characters included).
  EXPECT_EQ(EscapeControlBytes("\xC2\x9B" "2J\xC2\x80"), "\\302\\2332J\\302\\200");
  EXPECT_EQ(EscapeControlBytes("\x9B" "2J\x80"), "\\2332J\\200");
  EXPECT_EQ(EscapeControlBytes("\xE0\x9B\x80|\xED\xA0\x80|\xF4\x90\x80\x80|\xE1\x9B"),
            "\xE0\\233\\200|\xED\xA0\\200|\xF4\\220\\200\\200|\xE1\\233");
}

// Columns, not bytes: each case is the text, the columns there are and the
// start of the text that fits.
TEST(TerminalText, FittedToColumnsNeverInsideACharacter) {
  const struct {
    std::string text;
    std::size_t columns;
    std::string fits;
  } kCases[] = {
      {"plain.w3m", 5, "plain"},
      {"plain.w3m", 20, "plain.w3m"},
      {"", 3, ""},
      // Two bytes, one column each.
      {"caf\xC3\xA9s", 4, "caf\xC3\xA9"},
      // CJK and Hangul take two columns: a character that would pass the edge
      // is left out whole, not cut.
      {"\xE5\x9C\xB0\xE5\x9B\xBE.w3m", 4, "\xE5\x9C\xB0\xE5\x9B\xBE"},
      {"\xE5\x9C\xB0\xE5\x9B\xBE.w3m", 3, "\xE5\x9C\xB0"},
      {"\xE5\x9C\xB0", 1, ""},
      {"\xED\x95\x9C\xEA\xB8\x80", 3, "\xED\x95\x9C"},
      {"\xEF\xBC\xA1" "b", 2, "\xEF\xBC\xA1"},      // fullwidth A
      {"\xF0\xA0\x80\x80x", 2, "\xF0\xA0\x80\x80"},  // outside the first plane
      {"\xF0\x9F\x98\x80x", 2, "\xF0\x9F\x98\x80"},  // an emoji
      // Combining marks and joiners take none, and stay with their letter.
      {"e\xCC\x81" "e\xCC\x81", 1, "e\xCC\x81"},
      {"a\xE2\x80\x8D" "b", 1, "a\xE2\x80\x8D"},
      {"\xE3\x81\x8B\xE3\x82\x99x", 2, "\xE3\x81\x8B\xE3\x82\x99"},
      // Bytes outside any character are drawn as one replacement character
      // each; escapes are as many columns as they have letters.
      {"\xE9t\xE9", 2, "\xE9t"},
      {"\xE1\xE5\x9C", 2, "\xE1\xE5"},
      {"\\233x", 4, "\\233"},
      {"\xF0\x9F\x98", 2, "\xF0\x9F"},
  };
  for (const auto& c : kCases) EXPECT_EQ(FitToColumns(c.text, c.columns), c.fits) << c.text << " in " << c.columns;
}

// The line fits the terminal's columns, whatever the bytes of the name.
TEST(ProgressLine, FitsTheTerminalsColumns) {
  int master = -1, slave = -1;
  struct winsize size {};
  size.ws_col = 21;
  if (::openpty(&master, &slave, nullptr, nullptr, &size) != 0) GTEST_SKIP() << "no pseudo-terminal";
  ::fcntl(master, F_SETFL, O_NONBLOCK);
  {
    ProgressLine progress(slave);
    progress.Step("first.w3m");
    std::this_thread::sleep_for(std::chrono::milliseconds(600));
    // "1 maps, N.N/s: " leaves 5 or 6 of the 20 columns: two characters and
    // perhaps the start of a third, never half of one.
    ASSERT_TRUE(progress.Step("\xE5\x9C\xB0\xE5\x9B\xBE\xE5\x9C\xB0\xE5\x9B\xBE.w3m"));
    const std::string shown = Drain(master);
    const std::string head = shown.substr(0, shown.find(": ") + 2);
    EXPECT_EQ(shown.substr(head.size()),
              std::string("\xE5\x9C\xB0\xE5\x9B\xBE\xE5\x9C\xB0").substr(0, (20 - (head.size() - 4)) / 2 * 3))
        << shown;
  }
  ::close(master);
  ::close(slave);
}

TEST(TerminalText, ConsoleEscapesOnlyWhatATerminalShows) {
  const std::string message = "ERROR!\nUnable to open the map file :\nmaps/\x1b]52;c;aGk=\x07.w3m\n";
  const std::string diagnostic = "reading maps/\x1b[2J.w3m";
  int master = -1, slave = -1;
  struct termios raw {};
  ::cfmakeraw(&raw);
  if (::openpty(&master, &slave, nullptr, &raw, nullptr) != 0) GTEST_SKIP() << "no pseudo-terminal";
  ::fcntl(master, F_SETFL, O_NONBLOCK);
  {
    ConsoleReporter console(slave, slave);
    console.Report(message, Icon::kStop);
    console.Report("no line end", Icon::kStop);
    console.Diagnose(diagnostic);
    console.Report("last", Icon::kStop);
  }
  EXPECT_EQ(Drain(master),
            "ERROR!\nUnable to open the map file :\nmaps/\\033]52;c;aGk=\\a.w3m\n"
            "no line end\nkorvanel: reading maps/\\033[2J.w3m\nlast");
  ::close(master);
  ::close(slave);

  int out[2], err[2];
  ASSERT_EQ(::pipe(out), 0);
  ASSERT_EQ(::pipe(err), 0);
  {
    ConsoleReporter console(out[1], err[1]);
    console.Report(message, Icon::kStop);
    console.Diagnose(diagnostic);
  }
  ::close(out[1]);
  ::close(err[1]);
  EXPECT_EQ(Drain(out[0]), message);
  EXPECT_EQ(Drain(err[0]), "korvanel: " + diagnostic + "\n");
  ::close(out[0]);
  ::close(err[0]);
}

}  // namespace korvanel::test
