#include "platform/cleanup.h"

#include <csignal>
#include <cstring>
#include <pthread.h>
#include <unistd.h>

namespace korvanel {
namespace {

// Every signal that ends the process by default and that a run may get
// from outside: a terminal, kill, a closed pipe, a resource limit.
constexpr int kHandled[] = {SIGHUP, SIGINT, SIGQUIT, SIGPIPE, SIGALRM, SIGTERM, SIGUSR1, SIGUSR2, SIGXCPU, SIGXFSZ};

// Written with the slot disarmed and read only inside the handler.
struct Slot {
  char path[4096];
  volatile std::sig_atomic_t armed = 0;

  void Set(const std::string& p) {
    armed = 0;
    if (p.size() >= sizeof path) return;
    std::memcpy(path, p.c_str(), p.size() + 1);
    armed = 1;
  }
};

Slot g_work;
Slot g_partial;
Slot g_pending;

extern "C" void OnTerminatingSignal(int signal) {
  if (g_partial.armed) ::unlink(g_partial.path);
  if (g_pending.armed) ::unlink(g_pending.path);
  if (g_work.armed) ::unlink(g_work.path);
  std::signal(signal, SIG_DFL);
  std::raise(signal);
}

sigset_t HandledSet() {
  sigset_t set;
  sigemptyset(&set);
  for (int signal : kHandled) sigaddset(&set, signal);
  return set;
}

void InstallHandlers() {
  for (int signal : kHandled) {
    struct sigaction current {};
    sigaction(signal, nullptr, &current);
    if (current.sa_handler == SIG_IGN) continue;
    struct sigaction action {};
    action.sa_handler = OnTerminatingSignal;
    action.sa_mask = HandledSet();
    sigaction(signal, &action, nullptr);
  }
}

}  // namespace

void RemoveOnSignal(const std::string& path) {
  g_work.Set(path);
  InstallHandlers();
}

void ForgetRemoveOnSignal() { g_work.armed = 0; }

void RemovePartialOnSignal(const std::string& path) { g_partial.Set(path); }

void ForgetPartial() { g_partial.armed = 0; }

void RemovePendingOnSignal(const std::string& path) {
  g_pending.Set(path);
  InstallHandlers();
}

void ForgetPending() { g_pending.armed = 0; }

void HoldingSignals(const std::function<void()>& step) {
  const sigset_t handled = HandledSet();
  sigset_t previous;
  pthread_sigmask(SIG_BLOCK, &handled, &previous);
  step();
  pthread_sigmask(SIG_SETMASK, &previous, nullptr);
}

void RestoreStartingSignals() {
  for (int signal : kHandled) {
    struct sigaction current {};
    sigaction(signal, nullptr, &current);
    if (current.sa_handler == OnTerminatingSignal) std::signal(signal, SIG_DFL);
  }
}

}  // namespace korvanel
