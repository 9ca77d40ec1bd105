#include "platform/process.h"

#include <algorithm>

#include <fcntl.h>
#include <pthread.h>
#include <sched.h>
#include <unistd.h>

#include <mutex>
#include <utility>
#include <vector>

namespace korvanel {

std::string ProgramDirectory() {
  std::string path(4096, '\0');
  ssize_t length = ::readlink("/proc/self/exe", path.data(), path.size());
  if (length <= 0 || static_cast<std::size_t>(length) >= path.size()) return {};
  path.resize(static_cast<std::size_t>(length));
  return path.substr(0, path.rfind('/') + 1);
}

void ReserveStandardDescriptors() {
  for (int fd = 0; fd <= 2; ++fd) {
    if (::fcntl(fd, F_GETFD) != -1) continue;
    // open() takes the lowest free number, which is this one.
    const int null = ::open("/dev/null", O_RDWR);
    if (null > 2) {
      ::close(null);
      return;
    }
  }
}

unsigned UsableProcessors() {
  cpu_set_t set;
  CPU_ZERO(&set);
  if (::sched_getaffinity(0, sizeof set, &set) != 0) return 1;
  return static_cast<unsigned>(std::max(1, CPU_COUNT(&set)));
}

namespace {

// The live ones, and the lock that keeps the list still while a child is
// made.
struct Guards {
  std::mutex mutex;
  std::vector<HeldAroundForks*> live;
};

Guards& AllGuards() {
  static Guards guards;
  return guards;
}

}  // namespace

HeldAroundForks::HeldAroundForks(std::function<void()> hold, std::function<void()> release)
    : hold_(std::move(hold)), release_(std::move(release)) {
  static std::once_flag registered;
  std::call_once(registered, [] { ::pthread_atfork(Prepare, Parent, Child); });
  const std::lock_guard lock(AllGuards().mutex);
  AllGuards().live.push_back(this);
}

HeldAroundForks::~HeldAroundForks() {
  const std::lock_guard lock(AllGuards().mutex);
  std::erase(AllGuards().live, this);
}

void HeldAroundForks::Prepare() {
  AllGuards().mutex.lock();
  for (HeldAroundForks* guard : AllGuards().live) guard->hold_();
}

void HeldAroundForks::Parent() {
  for (HeldAroundForks* guard : AllGuards().live) guard->release_();
  AllGuards().mutex.unlock();
}

// The child has no other threads: what was held there stays so, unused.
void HeldAroundForks::Child() { AllGuards().mutex.unlock(); }

}  // namespace korvanel
