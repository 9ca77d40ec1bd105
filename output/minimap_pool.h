// Preview pictures converted on threads of their own while the run goes on
// with earlier maps. Each result is taken back by the number its picture
// was given under, when the run comes to that map, so whatever the run
// says about it keeps the walk's order.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <list>
#include <mutex>
#include <span>
#include <thread>
#include <vector>

#include "output/minimap_convert.h"
#include "output/picture_set.h"
#include "platform/process.h"

namespace korvanel {

// What a map gives to be converted: its pictures, and what is made of them.
struct PictureWork {
  PictureSources sources;
  bool minimap = true;    // the /m minimap, from sources.minimap
  bool pictures = false;  // every picture, for --pictures
};

// What became of them.
struct ConvertedMap {
  ConvertedMinimap minimap;
  MapPictures pictures;
};

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
  // Queues `work` for conversion, and returns the number to take it back
  // by.
  std::uint64_t Give(PictureWork work);
  // The /m minimap alone, from a copy of `blp` (war3mapMap.blp).
  std::uint64_t Give(std::span<const std::byte> blp);
  // Whether picture `number` is converted, waiting at most `timeout` for
  // it; true also when Take would convert it on the caller's thread.
  bool Converted(std::uint64_t number, std::chrono::milliseconds timeout);
  // Pictures `number`, once converted; each is taken once. They stay valid
  // until the next Take.
  ConvertedMap& Take(std::uint64_t number);

 private:
  struct Job {
    std::uint64_t number = 0;
    PictureWork work;
    ConvertedMap result;
    bool started = false;
    bool done = false;
  };

  void Start();
  void Stop();
  // A thread's life: the oldest unstarted job, again and again.
  void Work();
  std::list<Job>::iterator Find(std::uint64_t number);
  // Around the making of a child process: no conversion runs meanwhile.
  void HoldForFork();
  void ReleaseAfterFork();

  std::size_t wanted_ = 0;
  std::vector<std::thread> threads_;
  std::mutex mutex_;
  std::condition_variable given_, finished_;
  std::list<Job> jobs_;  // oldest first; a list keeps them in place
  std::uint64_t nextNumber_ = 0;
  bool forking_ = false;
  bool stopping_ = false;
  ConvertedMap taken_;
  // For Take when there are no threads.
  MinimapConverter converter_;
  PictureMaker maker_{converter_.Decoder()};
  // Last, so that it ends first.
  HeldAroundForks forks_{[this] { HoldForFork(); }, [this] { ReleaseAfterFork(); }};
};

}  // namespace korvanel
