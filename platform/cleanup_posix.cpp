#include "platform/cleanup.h"

#include <csignal>
#include <cstring>
#include <unistd.h>

namespace korvanel {
namespace {

// Written before the handlers are installed and read only inside them.
char g_path[4096];
volatile std::sig_atomic_t g_armed = 0;

extern "C" void OnTerminatingSignal(int signal) {
  if (g_armed) ::unlink(g_path);
  std::signal(signal, SIG_DFL);
  std::raise(signal);
}

}  // namespace

void RemoveOnSignal(const std::string& path) {
  g_armed = 0;
  if (path.size() >= sizeof g_path) return;
  std::memcpy(g_path, path.c_str(), path.size() + 1);
  g_armed = 1;
  for (int signal : {SIGINT, SIGTERM, SIGHUP}) {
    struct sigaction action {};
    action.sa_handler = OnTerminatingSignal;
    sigemptyset(&action.sa_mask);
    sigaction(signal, &action, nullptr);
  }
}

void ForgetRemoveOnSignal() { g_armed = 0; }

}  // namespace korvanel
