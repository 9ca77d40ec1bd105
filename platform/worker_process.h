// A child process for work that may crash or hang on hostile input: when
// it does, only the child dies, and the caller is told so. Requests and
// replies are whole byte messages; a request may carry one open file.
#pragma once

#include <chrono>
#include <cstddef>
#include <functional>
#include <span>
#include <vector>

namespace korvanel {

class WorkerProcess {
 public:
  // Answers one request in the child. `file` is the descriptor sent with
  // it, or -1; the child owns it.
  using Serve = std::function<void(std::span<const std::byte> request, int file, std::vector<std::byte>& reply)>;

  // `keep` is the one descriptor besides the standard ones that the child
  // keeps; every other one is closed there, so the child holds no lock or
  // file of the caller's.
  WorkerProcess(Serve serve, int keep) : serve_(std::move(serve)), keep_(keep) {}
  WorkerProcess(const WorkerProcess&) = delete;
  WorkerProcess& operator=(const WorkerProcess&) = delete;
  ~WorkerProcess() { Stop(); }

  enum class Outcome { kAnswered, kFailed, kUnavailable };
  // Sends `request` (and `file` unless it is -1), starting the child when
  // none runs, and waits at most `timeout` for the reply. kFailed: the
  // child died or hung on this request and has been stopped. kUnavailable:
  // no child could be started.
  Outcome Call(std::span<const std::byte> request, int file, std::vector<std::byte>& reply,
               std::chrono::milliseconds timeout);
  void Stop();

 private:
  bool Start();
  [[noreturn]] void ServeInChild(int channel);

  Serve serve_;
  int keep_;
  int pid_ = -1;
  int channel_ = -1;
};

}  // namespace korvanel
