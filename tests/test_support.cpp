#include "test_support.h"

#include <gtest/gtest.h>

#include <algorithm>
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

std::optional<std::string> EnvValue(const char* name) {
  const char* value = std::getenv(name);
  return value ? std::optional<std::string>(value) : std::nullopt;
}

fs::path MakeFolderIn(const fs::path& parent) {
  std::string pattern = (parent / "kvltest.XXXXXX").string();
  if (!::mkdtemp(pattern.data())) throw std::runtime_error("mkdtemp failed");
  return pattern;
}

void RemoveTree(const fs::path& path) {
  std::error_code ec;
  // Tests may leave read-only files or folders behind.
  for (auto it = fs::recursive_directory_iterator(path, ec); !ec && it != fs::recursive_directory_iterator(); it.increment(ec))
    fs::permissions(it->path(), fs::perms::owner_all, fs::perm_options::add, ec);
  fs::remove_all(path, ec);
}

}  // namespace

TempDir::TempDir() : path_(MakeFolderIn(fs::temp_directory_path())) {}

TempDir::~TempDir() { RemoveTree(path_); }

ScopedEnv::ScopedEnv(const char* name, const char* value) : name_(name), old_(EnvValue(name)) {
  if (value) ::setenv(name, value, 1);
  else ::unsetenv(name);
}

ScopedEnv::~ScopedEnv() {
  if (old_) ::setenv(name_, old_->c_str(), 1);
  else ::unsetenv(name_);
}

std::string Le32(std::int32_t value) {
  auto v = static_cast<std::uint32_t>(value);
  std::string s(4, '\0');
  for (int i = 0; i < 4; ++i) s[i] = static_cast<char>((v >> (8 * i)) & 0xFF);
  return s;
}

std::string MakeMmp(const std::vector<MmpEntry>& entries, std::optional<std::int32_t> count) {
  std::string s = Le32(0) + Le32(count.value_or(static_cast<std::int32_t>(entries.size())));
  for (const MmpEntry& e : entries) {
    s += Le32(e.type) + Le32(e.x) + Le32(e.y);
    s += {static_cast<char>(e.blue), static_cast<char>(e.green), static_cast<char>(e.red), static_cast<char>(e.alpha)};
  }
  return s;
}

std::string MakeMdx(const std::vector<std::string>& texturePaths) {
  std::string textures;
  for (const std::string& path : texturePaths) {
    std::string padded = path;
    padded.resize(260, '\0');
    textures += Le32(0) + padded + Le32(0);
  }
  return "MDLX" + std::string("VERS") + Le32(4) + Le32(800) + "TEXS" +
         Le32(static_cast<std::int32_t>(textures.size())) + textures;
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

std::vector<nlohmann::ordered_json> ParseCatalogue(const std::string& text) {
  std::vector<nlohmann::ordered_json> lines;
  std::size_t start = 0;
  for (std::size_t end; (end = text.find('\n', start)) != std::string::npos; start = end + 1) {
    try {
      lines.push_back(nlohmann::ordered_json::parse(text.substr(start, end - start)));
    } catch (const nlohmann::json::exception& e) {
      ADD_FAILURE() << "line " << lines.size() + 1 << ": " << e.what();
    }
  }
  EXPECT_EQ(start, text.size()) << "the last line has no line feed";
  return lines;
}

std::string CatalogueText(const nlohmann::ordered_json& object, const std::string& key) {
  const auto raw = object.find(key + "_base64");
  if (raw == object.end()) return object.at(key).get<std::string>();
  static const std::string kDigits = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  std::string bytes;
  std::uint32_t group = 0;
  int bits = 0;
  for (char c : raw->get<std::string>()) {
    if (c == '=') break;
    group = group << 6 | static_cast<std::uint32_t>(kDigits.find(c));
    if ((bits += 6) >= 8) bytes += static_cast<char>(group >> (bits -= 8) & 0xFF);
  }
  return bytes;
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
#include <linux/audit.h>
#include <linux/filter.h>
#include <linux/seccomp.h>
#include <poll.h>
#include <pty.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/syscall.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

extern char** environ;

namespace korvanel::test {
namespace {

// A test that sets TMPDIR in its own environment chooses the program's.
const std::optional<std::string> g_tmpdirAtStart = EnvValue("TMPDIR");

// Holds the temporary folders of the programs this test program runs, and
// goes with it. Open to every user as /tmp is, since a test may run the
// program as another user.
const struct RunFolders : TempDir {
  RunFolders() { fs::permissions(Path(), fs::perms::all | fs::perms::sticky_bit); }
} g_runFolders;

#if defined(__x86_64__)
constexpr std::uint32_t kAuditArch = AUDIT_ARCH_X86_64;
#elif defined(__aarch64__)
constexpr std::uint32_t kAuditArch = AUDIT_ARCH_AARCH64;
#else
constexpr std::uint32_t kAuditArch = 0;
#endif

// Makes the kernel refuse, in this process and its children, what `how`
// says the file system cannot do.
void LimitFileSystem(const StartWith& how) {
  if (!how.noUnnamedFiles && !how.noHardLinks) return;
  constexpr std::uint32_t kUnnamed = O_TMPFILE & ~O_DIRECTORY;
  const std::uint32_t openAnswer = how.noUnnamedFiles ? SECCOMP_RET_ERRNO | EOPNOTSUPP : SECCOMP_RET_ALLOW;
  const std::uint32_t linkAnswer = how.noHardLinks ? SECCOMP_RET_ERRNO | EPERM : SECCOMP_RET_ALLOW;
  sock_filter program[] = {
      BPF_STMT(BPF_LD | BPF_W | BPF_ABS, offsetof(seccomp_data, arch)),
      BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, kAuditArch, 1, 0),
      BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_ALLOW),
      BPF_STMT(BPF_LD | BPF_W | BPF_ABS, offsetof(seccomp_data, nr)),
      BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, SYS_linkat, 0, 1),
      BPF_STMT(BPF_RET | BPF_K, linkAnswer),
      BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, SYS_openat, 1, 0),
      BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_ALLOW),
      // The low half of the flags (this machine is little-endian).
      BPF_STMT(BPF_LD | BPF_W | BPF_ABS, offsetof(seccomp_data, args[2])),
      BPF_JUMP(BPF_JMP | BPF_JSET | BPF_K, kUnnamed, 0, 1),
      BPF_STMT(BPF_RET | BPF_K, openAnswer),
      BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_ALLOW),
  };
  sock_fprog filter{static_cast<unsigned short>(std::size(program)), program};
  if (::prctl(PR_SET_NO_NEW_PRIVS, 1, 0, 0, 0) != 0 || ::prctl(PR_SET_SECCOMP, SECCOMP_MODE_FILTER, &filter) != 0)
    ::_exit(126);
}

// The command line and environment of one program run.
struct Launch {
  std::vector<std::string> args;
  std::vector<std::string> env;
  StartWith how;
  fs::path ownTemporaryFolder;  // empty when the test chose one

  Launch(const std::vector<std::string>& arguments, const std::vector<std::string>& environment, const StartWith& with)
      : how(with) {
    if (const char* wrapper = std::getenv("KORVANEL_WRAPPER")) {
      std::istringstream words(wrapper);
      for (std::string w; words >> w;) args.push_back(w);
    }
    args.push_back(how.program.empty() ? std::string(KORVANEL_BINARY) : how.program.string());
    args.insert(args.end(), arguments.begin(), arguments.end());
    env = environment;
    const bool chosen = EnvValue("TMPDIR") != g_tmpdirAtStart ||
                        std::ranges::any_of(environment, [](const std::string& e) { return e.starts_with("TMPDIR="); });
    if (!chosen) {
      ownTemporaryFolder = MakeFolderIn(g_runFolders.Path());
      env.push_back("TMPDIR=" + ownTemporaryFolder.string());
    }
    for (char** e = environ; *e; ++e) {
      const std::string entry = *e;
      const std::string name = entry.substr(0, entry.find('=') + 1);
      bool replaced = false;
      for (const std::string& given : env) replaced = replaced || given.starts_with(name);
      if (!replaced) env.push_back(entry);
    }
  }

  // Forks and runs the program with `out` and `err` as its standard output
  // and error (-1: the null device, and this process's error stream).
  pid_t Start(int out, int err = -1) {
    pid_t pid = ::fork();
    if (pid != 0) return pid;
    if (!how.folder.empty() && ::chdir(how.folder.c_str()) != 0) ::_exit(127);
    for (int signal : how.ignoring) ::signal(signal, SIG_IGN);
    if (how.ownProcessGroup) ::setpgid(0, 0);
    if (how.fileSizeLimit != 0) {
      const rlimit limit{how.fileSizeLimit, how.fileSizeLimit};
      ::setrlimit(RLIMIT_FSIZE, &limit);
    }
    LimitFileSystem(how);
    std::vector<char*> argv, envp;
    for (auto& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    for (auto& e : env) envp.push_back(e.data());
    envp.push_back(nullptr);
    int devnull = ::open("/dev/null", O_RDWR);
    ::dup2(devnull, 0);
    ::dup2(out >= 0 ? out : devnull, 1);
    if (err >= 0) ::dup2(err, 2);
    for (int fd : how.closed) ::close(fd);
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
  if (launch.how.outputClosed) {
    ::close(outRead);
    outRead = -1;
  }
  ProcessResult result;
  // Both streams at once: a child blocked on a full pipe would never end.
  pollfd streams[2] = {{outRead, POLLIN, 0}, {errFds[0], POLLIN, 0}};
  std::string* into[2] = {&result.out, &result.err};
  char buffer[4096];
  for (int open = launch.how.outputClosed ? 1 : 2; open > 0;) {
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
  if (!launch.ownTemporaryFolder.empty()) RemoveTree(launch.ownTemporaryFolder);
  return result;
}

}  // namespace

ProcessResult RunKorvanel(const std::vector<std::string>& arguments, const std::vector<std::string>& environment,
                          const StartWith& how) {
  int outFds[2];
  if (::pipe2(outFds, O_CLOEXEC) != 0) return {};
  return Capture(Launch(arguments, environment, how), outFds[0], outFds[1]);
}

ProcessResult RunKorvanelOnTerminal(const std::vector<std::string>& arguments) {
  int master = -1, slave = -1;
  struct termios raw {};
  ::cfmakeraw(&raw);
  if (::openpty(&master, &slave, nullptr, &raw, nullptr) != 0) return {};
  ::fcntl(master, F_SETFD, FD_CLOEXEC);
  ::fcntl(slave, F_SETFD, FD_CLOEXEC);
  return Capture(Launch(arguments, {}, {}), master, slave);
}

int StartKorvanel(const std::vector<std::string>& arguments, const std::vector<std::string>& environment,
                  const StartWith& how) {
  return Launch(arguments, environment, how).Start(-1);
}

bool FileSystemLimitsPossible() { return kAuditArch != 0; }

}  // namespace korvanel::test
