#include <gtest/gtest.h>

#include <fcntl.h>
#include <pty.h>
#include <thread>
#include <unistd.h>

#include "app/progress_line.h"

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
    EXPECT_TRUE(progress.Step("bad\x1b[2Jname.w3m", true));
    EXPECT_FALSE(progress.Step("third.w3m"));  // too soon to redraw
    std::string shown = Drain(master);
    EXPECT_TRUE(shown.starts_with("\r\n\x1b[K1 maps, ")) << shown;  // the pty turns \n into \r\n
    EXPECT_NE(shown.find("/s: bad?[2Jname.w3m"), std::string::npos) << shown;
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

}  // namespace korvanel::test
