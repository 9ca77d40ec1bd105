#include "output/minimap_pool.h"

#include <algorithm>
#include <system_error>

#include "platform/cleanup.h"

namespace korvanel {
namespace {

constexpr int kQuality = 85;

ConvertedMap Convert(const PictureWork& work, MinimapConverter& converter, PictureMaker& maker) {
  ConvertedMap result;
  // The pictures' minimap of the JPEG kind is the /m minimap itself.
  if (work.minimap || (work.pictures && !work.sources.minimap.empty()))
    result.minimap = converter.Convert(work.sources.minimap, kQuality);
  if (work.pictures) {
    const bool made = result.minimap.stage == MinimapStage::kDone;
    result.pictures = maker.Make(work.sources, made ? &result.minimap : nullptr);
  }
  return result;
}

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
  stopping_ = false;
}

std::uint64_t MinimapPool::Give(std::span<const std::byte> blp) {
  PictureWork work;
  work.sources.minimap.assign(blp.begin(), blp.end());
  return Give(std::move(work));
}

std::uint64_t MinimapPool::Give(PictureWork work) {
  if (wanted_ > 0) Start();
  const std::uint64_t number = nextNumber_++;
  {
    const std::lock_guard lock(mutex_);
    Job& job = jobs_.emplace_back();
    job.number = number;
    job.work = std::move(work);
  }
  given_.notify_one();
  return number;
}

std::list<MinimapPool::Job>::iterator MinimapPool::Find(std::uint64_t number) {
  return std::find_if(jobs_.begin(), jobs_.end(), [&](const Job& j) { return j.number == number; });
}

bool MinimapPool::Converted(std::uint64_t number, std::chrono::milliseconds timeout) {
  std::unique_lock lock(mutex_);
  const auto job = Find(number);
  return threads_.empty() || job == jobs_.end() || finished_.wait_for(lock, timeout, [&] { return job->done; });
}

ConvertedMap& MinimapPool::Take(std::uint64_t number) {
  std::unique_lock lock(mutex_);
  const auto job = Find(number);
  if (job == jobs_.end()) return taken_ = {};
  if (threads_.empty()) {
    job->result = Convert(job->work, converter_, maker_);
  } else {
    finished_.wait(lock, [&] { return job->done; });
  }
  taken_ = std::move(job->result);
  jobs_.erase(job);
  return taken_;
}

void MinimapPool::HoldForFork() {
  std::unique_lock lock(mutex_);
  forking_ = true;
  finished_.wait(lock, [&] {
    return std::none_of(jobs_.begin(), jobs_.end(), [](const Job& j) { return j.started && !j.done; });
  });
  // Kept locked until the child is made.
  lock.release();
}

void MinimapPool::ReleaseAfterFork() {
  forking_ = false;
  mutex_.unlock();
  given_.notify_all();
}

void MinimapPool::Work() {
  // Each thread its own codecs: the libraries' handles are not shared.
  MinimapConverter converter;
  PictureMaker maker(converter.Decoder());
  std::unique_lock lock(mutex_);
  for (;;) {
    std::list<Job>::iterator job;
    given_.wait(lock, [&] {
      job = forking_ ? jobs_.end() : std::find_if(jobs_.begin(), jobs_.end(), [](const Job& j) { return !j.started; });
      return stopping_ || job != jobs_.end();
    });
    if (stopping_) return;
    job->started = true;
    lock.unlock();
    ConvertedMap result = Convert(job->work, converter, maker);
    lock.lock();
    job->result = std::move(result);
    job->done = true;
    finished_.notify_all();
  }
}

}  // namespace korvanel
