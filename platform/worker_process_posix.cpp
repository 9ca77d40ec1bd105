#include "platform/worker_process.h"

#include "platform/cleanup.h"
#include "platform/process.h"

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdint>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>
#ifdef __linux__
#include <linux/close_range.h>
#include <sys/prctl.h>
#include <sys/syscall.h>
#endif

namespace korvanel {
namespace {

using Clock = std::chrono::steady_clock;
// A message is its length (4 bytes, this machine's order) and its bytes.
using Length = std::uint32_t;

bool SendAll(int channel, const std::byte* data, std::size_t size, int file) {
  while (size > 0) {
    iovec part{const_cast<std::byte*>(data), size};
    msghdr message{};
    message.msg_iov = &part;
    message.msg_iovlen = 1;
    alignas(cmsghdr) char control[CMSG_SPACE(sizeof(int))];
    if (file >= 0) {
      std::memset(control, 0, sizeof control);
      message.msg_control = control;
      message.msg_controllen = sizeof control;
      cmsghdr* header = CMSG_FIRSTHDR(&message);
      header->cmsg_level = SOL_SOCKET;
      header->cmsg_type = SCM_RIGHTS;
      header->cmsg_len = CMSG_LEN(sizeof(int));
      std::memcpy(CMSG_DATA(header), &file, sizeof(int));
    }
    const ssize_t n = ::sendmsg(channel, &message, MSG_NOSIGNAL);
    if (n < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    file = -1;  // sent with the first byte
    data += n;
    size -= static_cast<std::size_t>(n);
  }
  return true;
}

bool SendMessage(int channel, std::span<const std::byte> bytes, int file) {
  if (bytes.size() > UINT32_MAX) return false;
  std::vector<std::byte> message(sizeof(Length) + bytes.size());
  const auto length = static_cast<Length>(bytes.size());
  std::memcpy(message.data(), &length, sizeof length);
  std::copy(bytes.begin(), bytes.end(), message.begin() + sizeof length);
  return SendAll(channel, message.data(), message.size(), file);
}

// Waits for input until `deadline`; without one, for as long as it takes.
bool WaitReadable(int channel, const Clock::time_point* deadline) {
  for (;;) {
    int wait = -1;
    if (deadline) {
      const auto left = std::chrono::ceil<std::chrono::milliseconds>(*deadline - Clock::now()).count();
      if (left <= 0) return false;
      wait = static_cast<int>(std::min<long long>(left, INT32_MAX));
    }
    pollfd entry{channel, POLLIN, 0};
    const int n = ::poll(&entry, 1, wait);
    if (n > 0) return true;
    if (n < 0 && errno != EINTR) return false;
  }
}

// Reads exactly `size` bytes; a descriptor arriving with them goes to
// `file` (closed when there is nowhere to put it).
bool ReceiveAll(int channel, std::byte* data, std::size_t size, int* file, const Clock::time_point* deadline) {
  while (size > 0) {
    if (!WaitReadable(channel, deadline)) return false;
    iovec part{data, size};
    msghdr message{};
    message.msg_iov = &part;
    message.msg_iovlen = 1;
    alignas(cmsghdr) char control[CMSG_SPACE(sizeof(int))];
    message.msg_control = control;
    message.msg_controllen = sizeof control;
    const ssize_t n = ::recvmsg(channel, &message, MSG_CMSG_CLOEXEC);
    if (n < 0 && errno == EINTR) continue;
    for (cmsghdr* header = CMSG_FIRSTHDR(&message); n >= 0 && header; header = CMSG_NXTHDR(&message, header)) {
      if (header->cmsg_level != SOL_SOCKET || header->cmsg_type != SCM_RIGHTS) continue;
      int received = -1;
      std::memcpy(&received, CMSG_DATA(header), sizeof received);
      if (file && *file < 0) {
        *file = received;
      } else {
        ::close(received);
      }
    }
    if (n <= 0) return false;
    data += n;
    size -= static_cast<std::size_t>(n);
  }
  return true;
}

bool ReceiveMessage(int channel, std::vector<std::byte>& bytes, int* file, const Clock::time_point* deadline) {
  Length length = 0;
  if (!ReceiveAll(channel, reinterpret_cast<std::byte*>(&length), sizeof length, file, deadline)) return false;
  bytes.resize(length);
  return ReceiveAll(channel, bytes.data(), length, file, deadline);
}

void CloseRange(int first, int last) {
  if (first > last) return;
#if defined(__linux__) && defined(SYS_close_range)
  if (::syscall(SYS_close_range, static_cast<unsigned>(first), static_cast<unsigned>(last), 0) == 0) return;
#endif
  const long limit = std::min<long>(::sysconf(_SC_OPEN_MAX), 65536);
  for (long fd = first; fd <= std::min<long>(last, limit); ++fd) ::close(static_cast<int>(fd));
}

void CloseAllExcept(int a, int b) {
  const int low = std::min(a, b), high = std::max(a, b);
  CloseRange(3, low - 1);
  CloseRange(std::max(low + 1, 3), high - 1);
  CloseRange(std::max(high + 1, 3), INT32_MAX);
}

}  // namespace

WorkerProcess::~WorkerProcess() {
  Stop();
  while (!outstanding_.empty()) Drop();
}

bool WorkerProcess::Start() {
  int ends[2];
  if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, ends) != 0) return false;
  const pid_t parent = ::getpid();
  const pid_t pid = ::fork();
  if (pid == 0) {
    ::close(ends[0]);
#ifdef __linux__
    // Never outlive the run, even when stuck inside a request.
    ::prctl(PR_SET_PDEATHSIG, SIGKILL);
#endif
    if (::getppid() != parent) ::_exit(0);
    // The caller's handlers remove the caller's files; the child has none,
    // and ignores what the caller was started ignoring (nohup).
    RestoreStartingSignals();
    sigset_t none;
    sigemptyset(&none);
    sigprocmask(SIG_SETMASK, &none, nullptr);
    CloseAllExcept(ends[1], keep_ >= 0 ? keep_ : ends[1]);
#if !defined(__SANITIZE_ADDRESS__)
    // A library dying on a damaged map prints its own diagnosis; the
    // caller reports the map in its words instead. Sanitizer builds keep
    // the child's reports.
    const int null = ::open("/dev/null", O_WRONLY | O_CLOEXEC);
    if (null >= 0) {
      ::dup2(null, STDERR_FILENO);
      if (null != STDERR_FILENO) ::close(null);
    }
#endif
    ServeInChild(ends[1]);
  }
  ::close(ends[1]);
  if (pid < 0) {
    ::close(ends[0]);
    return false;
  }
  pid_ = pid;
  channel_ = ends[0];
  for (Message& message : outstanding_) Send(message);
  return true;
}

void WorkerProcess::Send(Message& message) {
  message.sent = pid_ >= 0 && SendMessage(channel_, message.bytes, message.file);
}

void WorkerProcess::Drop() {
  if (outstanding_.front().file >= 0) ::close(outstanding_.front().file);
  outstanding_.pop_front();
}

void WorkerProcess::ServeInChild(int channel) {
  std::vector<std::byte> request, reply;
  for (;;) {
    ReserveStandardDescriptors();
    int file = -1;
    // The caller closed its end or went away.
    if (!ReceiveMessage(channel, request, &file, nullptr)) ::_exit(0);
    reply.clear();
    serve_(request, file, reply);
    if (!SendMessage(channel, reply, -1)) ::_exit(0);
  }
}

void WorkerProcess::Post(std::span<const std::byte> request, int file) {
  Message& message = outstanding_.emplace_back();
  message.bytes.assign(request.begin(), request.end());
  if (file >= 0) message.file = ::fcntl(file, F_DUPFD_CLOEXEC, 3);
  if (pid_ >= 0) {
    Send(message);
  } else {
    Start();
  }
}

bool WorkerProcess::Awaiting() const { return !outstanding_.empty() && outstanding_.front().sent; }

// Asked for each map in turn many times over, so it makes no list.
bool WorkerProcess::HasReply() const {
  if (!Awaiting()) return false;
  pollfd entry{channel_, POLLIN, 0};
  return ::poll(&entry, 1, 0) > 0;
}

bool WorkerProcess::AwaitReply(std::span<const WorkerProcess* const> workers, std::chrono::milliseconds timeout) {
  std::vector<pollfd> entries;
  for (const WorkerProcess* worker : workers)
    if (worker->Awaiting()) entries.push_back({worker->channel_, POLLIN, 0});
  if (entries.empty()) return false;
  const int wait = static_cast<int>(std::min<std::chrono::milliseconds::rep>(timeout.count(), INT32_MAX));
  int n = 0;
  while ((n = ::poll(entries.data(), entries.size(), wait)) < 0 && errno == EINTR) {
  }
  return n > 0;
}

WorkerProcess::Outcome WorkerProcess::Collect(std::vector<std::byte>& reply, std::chrono::milliseconds timeout) {
  if (outstanding_.empty()) return Outcome::kFailed;
  // A request that never reached the child is not what killed it: a new
  // child gets it, once.
  for (int attempt = 0; attempt < 2 && !outstanding_.front().sent; ++attempt) {
    End(true);
    if (!Start()) {
      Drop();
      return Outcome::kUnavailable;
    }
  }
  // A child may die on a request because of what earlier ones did to its
  // memory, and which those were depends on how the requests were shared
  // out. So a request its child died on is tried once more, first thing in
  // a new child, before it counts as the culprit. One that hung is not
  // waited for twice.
  for (bool retried = false;; retried = true) {
    const Clock::time_point deadline = Clock::now() + timeout;
    if (outstanding_.front().sent && ReceiveMessage(channel_, reply, nullptr, &deadline)) {
      Drop();
      return Outcome::kAnswered;
    }
    const bool died = outstanding_.front().sent && Clock::now() < deadline;
    End(true);
    if (!died || retried || !Start()) break;
  }
  Drop();
  if (!outstanding_.empty()) Start();
  return Outcome::kFailed;
}

void WorkerProcess::Stop() {
  // An idle child ends by itself once its end of the channel closes; one
  // busy with a request is not waited for.
  bool busy = false;
  for (const Message& message : outstanding_) busy = busy || message.sent;
  End(busy);
}

void WorkerProcess::End(bool kill) {
  if (pid_ < 0) return;
  ::close(channel_);
  channel_ = -1;
  if (kill) ::kill(pid_, SIGKILL);
  while (::waitpid(pid_, nullptr, 0) < 0 && errno == EINTR) {
  }
  pid_ = -1;
  for (Message& message : outstanding_) message.sent = false;
}

}  // namespace korvanel
