#include "output/minimap_pool.h"

#include <system_error>

#include "platform/cleanup.h"

namespace korvanel {
namespace {

constexpr int kQuality = 85;

}  // namespace

MinimapPool::~MinimapPool() { Stop(); }

void MinimapPool::SetThreads(std::size_t count) {
  if (count == threads_.size()) return;
  Stop();
  wanted_ = count;
}

void MinimapPool::Start() {
  // The threads never take a signal: the run's handlers must find the
  // files they remove registered, which holds only on the thread that
  // registers them while it holds the signals back.
  HoldingSignals([&] {
    try {
      while (threads_.size() < wanted_) threads_.emplace_back([this] { Work(); });
    } catch (const std::system_error&) {
      // Fewer threads, or none: Take converts what no thread does.
    }
  });
  wanted_ = 0;
}

void MinimapPool::Stop() {
  {
    const std::lock_guard lock(mutex_);
    stopping_ = true;
  }
  given_.notify_all();
  for (std::thread& thread : threads_) thread.join();
  threads_.clear();
  jobs_.clear();
  started_ = 0;
  stopping_ = false;
}

void MinimapPool::Give(std::span<const std::byte> blp) {
  if (wanted_ > 0) Start();
  {
    const std::lock_guard lock(mutex_);
    jobs_.emplace_back().blp.assign(blp.begin(), blp.end());
  }
  given_.notify_one();
}

const ConvertedMinimap& MinimapPool::Take() {
  std::unique_lock lock(mutex_);
  if (jobs_.empty()) return taken_ = {};
  Job& oldest = jobs_.front();
  if (threads_.empty()) {
    oldest.result = converter_.Convert(oldest.blp, kQuality);
  } else {
    finished_.wait(lock, [&] { return oldest.done; });
    --started_;
  }
  taken_ = std::move(oldest.result);
  jobs_.pop_front();
  return taken_;
}

void MinimapPool::Work() {
  // Each thread its own codec: the library's handles are not shared.
  MinimapConverter converter;
  std::unique_lock lock(mutex_);
  for (;;) {
    given_.wait(lock, [&] { return stopping_ || started_ < jobs_.size(); });
    if (stopping_) return;
    Job& job = jobs_[started_++];
    lock.unlock();
    ConvertedMinimap result = converter.Convert(job.blp, kQuality);
    lock.lock();
    job.result = std::move(result);
    job.done = true;
    finished_.notify_all();
  }
}

}  // namespace korvanel
