// The run's side of extraction: requests for maps' embedded files, sent to
// a worker process that copies them into the work file (archive/
// map_reader.h), and its answers, collected in order.
#pragma once

#include <chrono>
#include <cstdint>
#include <deque>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "archive/extracted_file.h"
#include "archive/map_answer.h"
#include "archive/map_reader.h"
#include "archive/map_request.h"
#include "platform/worker_process.h"

namespace korvanel {

class WorkFile;

inline constexpr const char kArchiveLibraryName[] = "libstorm.so.9";
// The most worker processes a run shares its maps among; each has a region
// of the work file (archive/work_file.h), and these all fit in a file of
// the size every usual file system allows.
inline constexpr std::size_t kMaxArchiveWorkers = 64;

class MapArchive {
 public:
  explicit MapArchive(WorkFile& workFile) : workFile_(workFile), reader_(workFile) {}

  // Loads the library and binds its calls; false when it cannot be loaded
  // or lacks one of them.
  bool BindArchiveLibrary(const std::string& nameOrPath);
  void ReleaseArchiveLibrary();
  bool IsLoaded() const { return reader_.IsLoaded(); }
  // The library is loaded and the work file open.
  bool IsReady() const;

  // How many worker processes share the requests, each started when it
  // gets its first: 1 unless set, at most kMaxArchiveWorkers and no more
  // than the work file has room for (archive/work_file.h). Set only
  // while no request is outstanding; the next request goes to the first
  // worker, so a run of one map needs only one.
  void SetWorkers(std::size_t count);
  // How many requests may be outstanding while the caller works on the
  // files of the one before them.
  std::size_t MapsAhead() const { return kMapsAhead * workerCount_; }

  // Asks for each of `names` from the map, in that order, and returns the
  // request's number, by which its answer is collected. The work runs in
  // worker processes, so a map that crashes or hangs the library costs
  // only its worker, and it runs while the caller works on earlier maps'
  // files: requests go to the workers in turn, and an answer's files stay
  // in place until more than MapsAhead() requests after it have been made.
  // `names` must outlive the request. With `flags.identify` the answer also
  // identifies the map file and notes the signs of protection; with
  // `flags.loadingScreen` one file follows those named (see
  // MapReader::CopyMapFiles).
  std::uint64_t RequestMapFiles(const std::string& path, std::span<const char* const> names, MapRequestFlags flags = {});
  // Whether request `number`'s answer has come from its worker, so that
  // collecting it waits for no library work.
  bool IsAnswered(std::uint64_t number) const;
  // Waits at most `timeout` for an answer from any worker; false when none
  // came.
  bool AwaitAnswer(std::chrono::milliseconds timeout) const;
  // The answer to request `number`: whether the map opened (false also when
  // it broke the library), and why not. A worker answers in the order it
  // was asked, so every earlier request that went to the same worker must
  // have been collected: true of the oldest request, and of one that
  // IsAnswered.
  MapAnswer CollectMapFiles(std::uint64_t number, std::vector<ExtractedFile>& files);
  // The files of request `number`'s answer are read no more: they may be
  // written over. Until then they stay in place, also when their worker
  // dies and another takes its place.
  void Release(std::uint64_t number) { reader_.Release(number); }
  // How long one map may keep the library busy before it counts as hung.
  std::chrono::milliseconds libraryTimeout = std::chrono::minutes(5);

 private:
  // Kept until answered, for the work to be done here when no worker can
  // be started.
  struct Request {
    std::string path;
    std::vector<const char*> names;
    MapRequestFlags flags;
    std::size_t worker = 0;  // which one, and which region of the work file
    bool posted = false;     // else it is done here when collected
    bool collected = false;
  };
  // Where request `number` is in requests_, or requests_.size() when it is
  // not outstanding.
  std::size_t Position(std::uint64_t number) const;

  WorkFile& workFile_;
  // The worker's copy of it does the work; this one only when there is no
  // worker.
  MapReader reader_;
  std::size_t workerCount_ = 1;
  std::vector<std::unique_ptr<WorkerProcess>> workers_;  // null until first used
  std::size_t nextWorker_ = 0;
  // From the oldest request not yet collected on, with the number of the
  // first; some after it may have been collected already.
  std::deque<Request> requests_;
  std::uint64_t firstRequest_ = 0;
  // Each worker's posted requests not yet collected, oldest first: what
  // requests_ holds too, kept by worker so that with many workers each
  // one's oldest is found at once, not by a pass over all of them.
  std::vector<std::deque<std::uint64_t>> posted_;
  // Reused from message to message.
  std::vector<std::byte> request_, reply_;
};

// Binds the library by plain name: beside the program, then by the
// system's search, then from the game's installation folder; or by the
// absolute path `name`. Never from the current folder: a place that is not
// an absolute path is passed over. `tried`, when given, receives what was
// handed to the loader, in order (the plain name for the system's search).
// False when nothing worked.
bool LoadArchiveLibrary(MapArchive& archive, const std::string& name = kArchiveLibraryName,
                        std::vector<std::string>* tried = nullptr);

}  // namespace korvanel
