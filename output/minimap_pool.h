// Preview pictures converted on threads of their own while the run goes on
// with earlier maps. Results are taken back in the order the pictures were
// given, so whatever the run says about them keeps the walk's order.
#pragma once

#include <condition_variable>
#include <cstddef>
#include <deque>
#include <mutex>
#include <span>
#include <thread>
#include <vector>

#include "output/minimap_convert.h"

namespace korvanel {

class MinimapPool {
 public:
  MinimapPool() = default;
  MinimapPool(const MinimapPool&) = delete;
  MinimapPool& operator=(const MinimapPool&) = delete;
  // Waits for the conversions under way; the others are dropped.
  ~MinimapPool();

  // How many threads convert, started with the next picture given; set
  // only while no result is waiting to be taken. Where no thread can be
  // started, Take converts on the caller's thread.
  void SetThreads(std::size_t count);
  // Queues a copy of `blp` (war3mapMap.blp) for conversion.
  void Give(std::span<const std::byte> blp);
  // The oldest picture given and not yet taken, once converted. It stays
  // valid until the next Take.
  const ConvertedMinimap& Take();

 private:
  struct Job {
    std::vector<std::byte> blp;
    ConvertedMinimap result;
    bool done = false;
  };

  void Start();
  void Stop();
  // A thread's life: the oldest unstarted job, again and again.
  void Work();

  std::size_t wanted_ = 0;
  std::vector<std::thread> threads_;
  std::mutex mutex_;
  std::condition_variable given_, finished_;
  std::deque<Job> jobs_;        // oldest first; a deque keeps them in place
  std::size_t started_ = 0;     // how many of jobs_ a thread has taken up
  bool stopping_ = false;
  ConvertedMinimap taken_;
  // For Take when there are no threads.
  MinimapConverter converter_;
};

}  // namespace korvanel
