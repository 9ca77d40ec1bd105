#include "platform/cleanup.h"

#include <csignal>
#include <cstring>
#include <unistd.h>

namespace korvanel {
namespace {

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

extern "C" void OnTerminatingSignal(int signal) {
  if (g_partial.armed) ::unlink(g_partial.path);
  if (g_work.armed) ::unlink(g_work.path);
  std::signal(signal, SIG_DFL);
  std::raise(signal);
}

void InstallHandlers() {
  for (int signal : {SIGINT, SIGTERM, SIGHUP}) {
    struct sigaction action {};
    action.sa_handler = OnTerminatingSignal;
    sigemptyset(&action.sa_mask);
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

}  // namespace korvanel
