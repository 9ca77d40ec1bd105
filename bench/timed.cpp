// Runs one command and appends its cost to a result file:
//   korvanel-timed <result file> <command> [arguments...]
// The line is "<wall s> <user s> <system s> <peak RSS KiB> <exit status>
// <minor page faults> <peak memory KiB of all processes>", the wall time
// from a monotonic clock with microsecond resolution, process start
// included; the next from wait4, so they include the processes the command
// waited for itself (the peak RSS is the largest single one's). The last is
// the largest sum, sampled every few milliseconds, of the proportional set
// sizes of the command and all its descendants: pages they share, such as
// libraries and a file mapped by several, count once.
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <ctime>
#include <fstream>
#include <string>
#include <atomic>
#include <thread>
#include <vector>

namespace {

// The proportional set size of `pid` and all its descendants, in KiB.
long TreePss(pid_t pid) {
  long total = 0;
  std::ifstream rollup("/proc/" + std::to_string(pid) + "/smaps_rollup");
  for (std::string line; std::getline(rollup, line);)
    if (line.rfind("Pss:", 0) == 0) total += std::stol(line.substr(4));
  std::ifstream children("/proc/" + std::to_string(pid) + "/task/" + std::to_string(pid) + "/children");
  for (pid_t child; children >> child;) total += TreePss(child);
  return total;
}

double Seconds(const timeval& t) { return static_cast<double>(t.tv_sec) + t.tv_usec / 1e6; }

double Now() {
  timespec t{};
  clock_gettime(CLOCK_MONOTONIC, &t);
  return static_cast<double>(t.tv_sec) + t.tv_nsec / 1e9;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) {
    std::fprintf(stderr, "usage: korvanel-timed <result file> <command> [arguments...]\n");
    return 2;
  }
  const double start = Now();
  const pid_t child = fork();
  if (child < 0) return 1;
  if (child == 0) {
    execvp(argv[2], argv + 2);
    std::perror(argv[2]);
    _exit(127);
  }
  int status = 0;
  rusage usage{};
  // Sampled beside the wait, so that the wall time ends when the command does.
  std::atomic<bool> ended{false};
  long peak = 0;
  std::thread sampler([&] {
    for (; !ended; std::this_thread::sleep_for(std::chrono::milliseconds(20))) peak = std::max(peak, TreePss(child));
  });
  const pid_t waited = wait4(child, &status, 0, &usage);
  const double wall = Now() - start;
  ended = true;
  sampler.join();
  if (waited != child) return 1;
  const int code = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);

  std::FILE* out = std::fopen(argv[1], "a");
  if (!out) return 1;
  std::fprintf(out, "%.6f %.6f %.6f %ld %d %ld %ld\n", wall, Seconds(usage.ru_utime), Seconds(usage.ru_stime),
               usage.ru_maxrss, code, usage.ru_minflt, peak);
  return std::fclose(out) == 0 ? 0 : 1;
}
