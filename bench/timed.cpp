// Runs one command and appends its cost to a result file:
//   korvanel-timed <result file> <command> [arguments...]
// The line is "<wall s> <user s> <system s> <peak RSS KiB> <exit status>
// <minor page faults>", the wall time from a monotonic clock with
// microsecond resolution, process start included; the rest from wait4, so
// they include the processes the command waited for itself.
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <ctime>

namespace {

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
  if (wait4(child, &status, 0, &usage) != child) return 1;
  const double wall = Now() - start;
  const int code = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);

  std::FILE* out = std::fopen(argv[1], "a");
  if (!out) return 1;
  std::fprintf(out, "%.6f %.6f %.6f %ld %d %ld\n", wall, Seconds(usage.ru_utime), Seconds(usage.ru_stime),
               usage.ru_maxrss, code, usage.ru_minflt);
  return std::fclose(out) == 0 ? 0 : 1;
}
