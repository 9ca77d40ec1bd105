#include "archive/map_archive.h"

#include <fcntl.h>

#include <algorithm>

#include "archive/install_path.h"
#include "archive/map_request.h"
#include "archive/work_file.h"
#include "platform/file.h"
#include "platform/process.h"

namespace korvanel {

bool MapArchive::BindArchiveLibrary(const std::string& nameOrPath) {
  ReleaseArchiveLibrary();
  return reader_.Bind(nameOrPath);
}

void MapArchive::ReleaseArchiveLibrary() {
  workers_.clear();
  firstRequest_ += requests_.size();
  requests_.clear();
  posted_.clear();
  reader_.Release();
}

bool MapArchive::IsReady() const { return IsLoaded() && workFile_.IsOpen(); }

void MapArchive::SetWorkers(std::size_t count) {
  // Only as many regions as the work file may hold: a file system or a
  // `ulimit -f` that allows less leaves fewer workers, down to the first,
  // whose region starts at the file's beginning.
  const std::uint64_t regions = workFile_.IsOpen() ? workFile_.Handle().LargestSize() / kWorkFileRegion : kMaxArchiveWorkers;
  count = std::clamp<std::size_t>(count, 1, std::clamp<std::uint64_t>(regions, 1, kMaxArchiveWorkers));
  nextWorker_ = 0;
  if (count == workerCount_) return;
  workers_.clear();
  workerCount_ = count;
}

std::uint64_t MapArchive::RequestMapFiles(const std::string& path, std::span<const char* const> names, MapRequestFlags flags) {
  const std::uint64_t number = firstRequest_ + requests_.size();
  Request& request = requests_.emplace_back();
  request.path = path;
  request.names.assign(names.begin(), names.end());
  request.flags = flags;
  if (!IsReady()) return number;
  request.worker = nextWorker_;
  nextWorker_ = (nextWorker_ + 1) % workerCount_;
  workers_.resize(workerCount_);
  posted_.resize(workerCount_);
  std::unique_ptr<WorkerProcess>& worker = workers_[request.worker];
  if (!worker) {
    worker = std::make_unique<WorkerProcess>(
        [this, region = request.worker](std::span<const std::byte> bytes, int file, std::vector<std::byte>& reply) {
          reader_.Serve(bytes, file, reply, region);
        },
        workFile_.Handle().Descriptor());
  }
  EncodeMapRequest(path, names, flags, request_);

  // A path through this process's own descriptors means something else in
  // the worker, so it gets the open file instead.
  File passed;
  if (path.starts_with("/proc/self/")) {
    // Non-blocking: a fifo is refused by the worker, never waited on here.
    passed = File(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
    if (!passed.IsOpen()) return number;
  }
  worker->Post(request_, passed.Descriptor());
  request.posted = true;
  posted_[request.worker].push_back(number);
  return number;
}

std::size_t MapArchive::Position(std::uint64_t number) const {
  if (number < firstRequest_ || number - firstRequest_ >= requests_.size()) return requests_.size();
  const auto at = static_cast<std::size_t>(number - firstRequest_);
  return requests_[at].collected ? requests_.size() : at;
}

bool MapArchive::IsAnswered(std::uint64_t number) const {
  const std::size_t at = Position(number);
  if (at == requests_.size() || !requests_[at].posted || !IsReady()) return false;
  const std::size_t worker = requests_[at].worker;
  return posted_[worker].front() == number && workers_[worker]->HasReply();
}

bool MapArchive::AwaitAnswer(std::chrono::milliseconds timeout) const {
  std::vector<const WorkerProcess*> asked;
  for (std::size_t w = 0; w < posted_.size(); ++w)
    if (!posted_[w].empty()) asked.push_back(workers_[w].get());
  return WorkerProcess::AwaitReply(asked, timeout);
}

MapAnswer MapArchive::CollectMapFiles(std::uint64_t number, std::vector<ExtractedFile>& files) {
  files.clear();
  MapAnswer answer;
  answer.failure = MapFailure::kNotReady;
  const std::size_t at = Position(number);
  if (at == requests_.size()) return answer;
  const Request request = std::move(requests_[at]);
  requests_[at].collected = true;
  while (!requests_.empty() && requests_.front().collected) {
    requests_.pop_front();
    ++firstRequest_;
  }
  if (!IsReady() || !request.posted) return answer;
  posted_[request.worker].pop_front();

  switch (workers_[request.worker]->Collect(reply_, libraryTimeout)) {
    case WorkerProcess::Outcome::kAnswered:
      if (!DecodeMapReply(reply_, request.names.size() + request.flags.loadingScreen, answer, files)) {
        answer = {};
        answer.failure = MapFailure::kLibraryFailed;
      }
      break;
    case WorkerProcess::Outcome::kFailed:
      answer.failure = MapFailure::kLibraryFailed;
      return answer;
    case WorkerProcess::Outcome::kUnavailable:
      // No process to spare: the work is done here, unguarded, in the
      // worker's region, clear of the files still held.
      reader_.ForgetCopiedFiles();
      reader_.CopyMapFiles(request.path, request.names, request.flags, answer, files, request.worker);
      break;
  }
  // A worker started from now on is a copy of this process, so it learns
  // where these files lie from the reader here.
  std::uint64_t begin = UINT64_MAX, end = 0;
  for (const ExtractedFile& file : files) {
    if (file.size == 0) continue;
    begin = std::min(begin, file.offset);
    end = std::max(end, file.offset + file.size);
  }
  reader_.Hold(number, begin, end);
  return answer;
}

bool LoadArchiveLibrary(MapArchive& archive, const std::string& name, std::vector<std::string>* tried) {
  // The loader reads a path that is not absolute from the current folder,
  // which may be an unpacked map pack holding a library of that name.
  auto bind = [&](const std::string& candidate) {
    if (tried) tried->push_back(candidate);
    return archive.BindArchiveLibrary(candidate);
  };
  auto bindAbsolute = [&](const std::string& path) { return path.starts_with('/') && bind(path); };
  if (name.find('/') != std::string::npos) return bindAbsolute(name);
  return bindAbsolute(ProgramDirectory() + name) || bind(name) || bindAbsolute(GetInstallPath() + name);
}

}  // namespace korvanel
