// A child process for work that may crash or hang on hostile input: when
// it does, only the child dies, and the caller is told so. Requests and
// replies are whole byte messages, answered in order; a request may carry
// one open file. Several requests may be outstanding, so the child works
// on the next while the caller uses the last reply.
#pragma once

#include <chrono>
#include <cstddef>
#include <deque>
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
  // keeps (with any lock on it, which thus lasts while either process
  // lives); every other one is closed there, so the child holds no other
  // lock or file of the caller's.
  WorkerProcess(Serve serve, int keep) : serve_(std::move(serve)), keep_(keep) {}
  WorkerProcess(const WorkerProcess&) = delete;
  WorkerProcess& operator=(const WorkerProcess&) = delete;
  ~WorkerProcess();

  // Queues `request` with a copy of `file` (unless it is -1), starting the
  // child when none runs.
  void Post(std::span<const std::byte> request, int file);

  // Whether the oldest request's reply, or word of the child's end, has
  // come, so that Collect need not wait for the child's work.
  bool HasReply() const;
  // Waits at most `timeout` until one of `workers` has a reply, or word of
  // its child's end, for its oldest request; false when none has.
  static bool AwaitReply(std::span<const WorkerProcess* const> workers, std::chrono::milliseconds timeout);

  enum class Outcome { kAnswered, kFailed, kUnavailable };
  // The reply to the oldest request, waiting at most `timeout`. kFailed:
  // the child hung on that request, or died on it in a new child as well,
  // and has been stopped; the requests after it go to a new one. kUnavailable: no child could be
  // started for it. Either way the request is done with.
  Outcome Collect(std::vector<std::byte>& reply, std::chrono::milliseconds timeout);

 private:
  struct Message {
    std::vector<std::byte> bytes;
    int file = -1;
    bool sent = false;
  };

  // Whether the oldest request has reached the child, so a reply or the
  // child's end will come on the channel.
  bool Awaiting() const;
  // Ends the child; outstanding requests go to the next one.
  void Stop();
  // Starts a child and sends it every outstanding request.
  bool Start();
  void Send(Message& message);
  // Closes the channel and reaps the child, killing it first if `kill`.
  void End(bool kill);
  void Drop();
  [[noreturn]] void ServeInChild(int channel);

  Serve serve_;
  int keep_;
  int pid_ = -1;
  int channel_ = -1;
  std::deque<Message> outstanding_;
};

}  // namespace korvanel
