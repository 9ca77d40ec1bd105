#include "test_support.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <grp.h>
#include <sys/wait.h>
#include <unistd.h>

#include "platform/process.h"

namespace korvanel::test {
namespace {

// The test programs may start with standard descriptors closed; a work
// file given number 0 would be closed by the archive library's mistakes.
[[maybe_unused]] const bool g_standardDescriptorsTaken = (ReserveStandardDescriptors(), true);

}  // namespace

TempDir::TempDir() {
  std::string pattern = (fs::temp_directory_path() / "kvltest.XXXXXX").string();
  if (!::mkdtemp(pattern.data())) throw std::runtime_error("mkdtemp failed");
  path_ = pattern;
}

TempDir::~TempDir() {
  std::error_code ec;
  // Tests may leave read-only files or folders behind.
  for (auto it = fs::recursive_directory_iterator(path_, ec); !ec && it != fs::recursive_directory_iterator(); it.increment(ec))
    fs::permissions(it->path(), fs::perms::owner_all, fs::perm_options::add, ec);
  fs::remove_all(path_, ec);
}

std::string Le32(std::int32_t value) {
  auto v = static_cast<std::uint32_t>(value);
  std::string s(4, '\0');
  for (int i = 0; i < 4; ++i) s[i] = static_cast<char>((v >> (8 * i)) & 0xFF);
  return s;
}

fs::path FixturesDir() {
  if (const char* env = std::getenv("KORVANEL_FIXTURES")) return env;
  fs::path dir = KORVANEL_FIXTURES_DIR;
  std::error_code ec;
  return fs::is_directory(dir, ec) ? dir : fs::path();
}

bool AsUnprivilegedUser(const std::function<bool()>& check) {
  const pid_t pid = ::fork();
  if (pid == 0) {
    constexpr uid_t kNobody = 65534;
    if (::geteuid() == 0 && (::setgroups(0, nullptr) != 0 || ::setgid(kNobody) != 0 || ::setuid(kNobody) != 0))
      ::_exit(2);
    ::_exit(check() ? 0 : 1);
  }
  int status = 0;
  return pid > 0 && ::waitpid(pid, &status, 0) == pid && WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

std::string ReadFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream out;
  out << in.rdbuf();
  return out.str();
}

void WriteFile(const fs::path& path, std::string_view bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

}  // namespace korvanel::test

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

extern char** environ;

namespace korvanel::test {
namespace {

// The command line and environment of one program run.
struct Launch {
  std::vector<std::string> args;
  std::vector<std::string> env;
  fs::path folder;  // to start in; empty for this process's own

  Launch(const std::vector<std::string>& arguments, const std::vector<std::string>& environment) {
    if (const char* wrapper = std::getenv("KORVANEL_WRAPPER")) {
      std::istringstream words(wrapper);
      for (std::string w; words >> w;) args.push_back(w);
    }
    args.push_back(KORVANEL_BINARY);
    args.insert(args.end(), arguments.begin(), arguments.end());
    env = environment;
    for (char** e = environ; *e; ++e) {
      const std::string entry = *e;
      const std::string name = entry.substr(0, entry.find('=') + 1);
      bool replaced = false;
      for (const std::string& given : environment) replaced = replaced || given.starts_with(name);
      if (!replaced) env.push_back(entry);
    }
  }

  // Forks and runs the program with `out` and `err` as its standard output
  // and error (-1: the null device, and this process's error stream).
  pid_t Start(int out, int err = -1) {
    pid_t pid = ::fork();
    if (pid != 0) return pid;
    if (!folder.empty() && ::chdir(folder.c_str()) != 0) ::_exit(127);
    std::vector<char*> argv, envp;
    for (auto& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    for (auto& e : env) envp.push_back(e.data());
    envp.push_back(nullptr);
    int devnull = ::open("/dev/null", O_RDWR);
    ::dup2(devnull, 0);
    ::dup2(out >= 0 ? out : devnull, 1);
    if (err >= 0) ::dup2(err, 2);
    ::execvpe(argv[0], argv.data(), envp.data());
    ::_exit(127);
  }
};

// Runs `launch` with standard output on `out`, read back through `outRead`.
ProcessResult Capture(Launch launch, int outRead, int out) {
  int errFds[2];
  if (::pipe2(errFds, O_CLOEXEC) != 0) {
    ::close(outRead);
    ::close(out);
    return {};
  }
  pid_t pid = launch.Start(out, errFds[1]);
  ::close(out);
  ::close(errFds[1]);
  ProcessResult result;
  // Both streams at once: a child blocked on a full pipe would never end.
  pollfd streams[2] = {{outRead, POLLIN, 0}, {errFds[0], POLLIN, 0}};
  std::string* into[2] = {&result.out, &result.err};
  char buffer[4096];
  for (int open = 2; open > 0;) {
    if (::poll(streams, 2, -1) < 0) continue;
    for (int i = 0; i < 2; ++i) {
      if (streams[i].fd < 0 || streams[i].revents == 0) continue;
      const ssize_t n = ::read(streams[i].fd, buffer, sizeof buffer);
      if (n > 0) {
        into[i]->append(buffer, static_cast<std::size_t>(n));
      } else {  // a terminal whose other side is closed reads as an error
        ::close(streams[i].fd);
        streams[i].fd = -1;
        --open;
      }
    }
  }
  int status = 0;
  struct rusage usage {};
  ::wait4(pid, &status, 0, &usage);
  result.status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  result.maxResidentKiB = usage.ru_maxrss;
  return result;
}

}  // namespace

ProcessResult RunKorvanel(const std::vector<std::string>& arguments, const std::vector<std::string>& environment,
                          const fs::path& folder) {
  int outFds[2];
  if (::pipe2(outFds, O_CLOEXEC) != 0) return {};
  Launch launch(arguments, environment);
  launch.folder = folder;
  return Capture(std::move(launch), outFds[0], outFds[1]);
}

ProcessResult RunKorvanelOnTerminal(const std::vector<std::string>& arguments) {
  int master = -1, slave = -1;
  struct termios raw {};
  ::cfmakeraw(&raw);
  if (::openpty(&master, &slave, nullptr, &raw, nullptr) != 0) return {};
  ::fcntl(master, F_SETFD, FD_CLOEXEC);
  ::fcntl(slave, F_SETFD, FD_CLOEXEC);
  return Capture(Launch(arguments, {}), master, slave);
}

int StartKorvanel(const std::vector<std::string>& arguments, const std::vector<std::string>& environment) {
  return Launch(arguments, environment).Start(-1);
}

}  // namespace korvanel::test
