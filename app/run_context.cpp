#include "app/run_context.h"

#include <cerrno>
#include <chrono>
#include <cstdio>

#include "app/map_walk.h"
#include "app/messages.h"
#include "app/paths.h"
#include "archive/work_file.h"
#include "output/minimap_export.h"
#include "output/minimap_name.h"
#include "parsers/environment.h"
#include "parsers/map_info.h"
#include "parsers/script_scan.h"
#include "platform/file.h"
#include "platform/process.h"
#include "platform/text.h"

namespace korvanel {

using Data = std::span<const std::byte>;

struct RunStep {
  const char* name;
  // Hands the file to its parser, which fills the map's record, and writes
  // the record's lines from what it read; none for the picture, which
  // becomes the minimap.
  bool (*parse)(Data, TriggerStringTable&, MapRecord&, LineWriter&, MapFormats);
  // Another place of the step before's file, which only later editors
  // use: asked for only with --w3x, and read only when no earlier place
  // held the file.
  bool laterPlace = false;
};

namespace {

// The map's preview picture, which becomes the minimap.
constexpr char kPictureFile[] = "war3mapMap.blp";
// The script's places: the first release's, and those of later editors.
constexpr char kScript[] = "war3map.j";
constexpr char kFolderScript[] = "scripts\\war3map.j";
constexpr char kLuaScript[] = "war3map.lua";

bool ScanScriptIn(const char* file, Data d, MapRecord& r, LineWriter& w, MapFormats f) {
  // With later formats the script may come from any of its places, so the
  // record keeps which.
  if (f == MapFormats::kLater) r.scriptFile = file;
  return ScanScript(d, r.script.emplace(), w, f);
}

// Every file the run may want from a map, in the order it is used: the
// minimap's line comes first in the record, and the trigger strings before
// the map information, which resolves its texts through them. Later editors
// may keep the script in a folder or write it in Lua.
constexpr RunStep kSteps[] = {
    {kPictureFile, nullptr},
    {"war3map.wts",
     [](Data d, TriggerStringTable& t, MapRecord&, LineWriter&, MapFormats f) { return ParseTriggerStrings(d, t, f); }},
    {"war3map.w3i",
     [](Data d, TriggerStringTable& t, MapRecord& r, LineWriter& w, MapFormats f) {
       return ParseMapInfo(d, t, r.mapInfo.emplace(), w, f);
     }},
    {"war3map.w3e",
     [](Data d, TriggerStringTable&, MapRecord& r, LineWriter& w, MapFormats f) {
       return ParseEnvironment(d, r.environment.emplace(), w, f);
     }},
    {"war3map.doo",
     [](Data d, TriggerStringTable&, MapRecord& r, LineWriter& w, MapFormats f) {
       return ParseTreeDoodads(d, r.treeDoodads.emplace(), w, f);
     }},
    {"war3mapUnits.doo",
     [](Data d, TriggerStringTable&, MapRecord& r, LineWriter& w, MapFormats f) {
       return ParseUnitDoodads(d, r.unitDoodads.emplace(), w, f);
     }},
    {kScript,
     [](Data d, TriggerStringTable&, MapRecord& r, LineWriter& w, MapFormats f) { return ScanScriptIn(kScript, d, r, w, f); }},
    {kFolderScript,
     [](Data d, TriggerStringTable&, MapRecord& r, LineWriter& w, MapFormats f) {
       return ScanScriptIn(kFolderScript, d, r, w, f);
     },
     true},
    {kLuaScript,
     [](Data d, TriggerStringTable&, MapRecord& r, LineWriter& w, MapFormats f) { return ScanScriptIn(kLuaScript, d, r, w, f); },
     true},
    {"war3map.mmp", [](Data d, TriggerStringTable&, MapRecord&, LineWriter&, MapFormats) { return ParseMmpFile(d); }},
};

bool IsWanted(const RunStep& step, const RunOptions& options, bool catalogue) {
  if (step.laterPlace && !options.laterFormats) return false;
  return step.parse ? options.writeInfoFile || catalogue : options.writeMinimaps;
}

// How long the run waits for any worker's answer while the map in turn is
// not answered, before it waits for that one alone.
constexpr std::chrono::milliseconds kAnswerPatience{100};

// How long the run waits for a picture's conversion before it looks for
// answers again.
constexpr std::chrono::milliseconds kPictureGlance{1};

bool IsMapName(const std::string& path) { return EndsWithNoCase(path, ".w3m") || EndsWithNoCase(path, ".w3x"); }

}  // namespace

RunContext::RunContext(MapArchive& archive, WorkFile& workFile, Reporter& reporter)
    : archive_(archive), workFile_(workFile), reporter_(reporter) {}

// --- The info file ---

bool RunContext::OpenInfoFile(const std::string& path, const std::string& source) {
  summary_.writeFailed = false;
  CloseInfoFile();
  // Appending to a map or emptying it would ruin it, above all the one this
  // run reads.
  if (const char* refusal = IsSameFile(path, source) ? kInfoFileIsSource
                            : IsMapName(path)          ? kInfoFileIsMap
                                                       : nullptr) {
    reporter_.Report(std::string(kInfoFileNotCreated) + refusal, Icon::kStop);
    return false;
  }
  const InfoFileOpenResult opened = info_.Open(path, [this] {
    if (options.existingInfoFile) return *options.existingInfoFile;
    switch (reporter_.Ask(kInfoFileExistsQuestion)) {
      case Answer::kYes: return ExistingInfoFile::kAppend;
      case Answer::kNo: return ExistingInfoFile::kStartAnew;
      default: return ExistingInfoFile::kLeaveAlone;
    }
  });
  switch (opened.status) {
    case InfoFileOpen::kOpened: return true;
    case InfoFileOpen::kLeftAlone: return false;
    case InfoFileOpen::kDirectory: reporter_.Report(kInfoFileIsDirectory, Icon::kStop); return false;
    case InfoFileOpen::kReadOnly: reporter_.Report(kInfoFileReadOnly, Icon::kStop); return false;
    case InfoFileOpen::kInUse: reporter_.Report(std::string(kInfoFileNotCreated) + kInfoFileInUse, Icon::kStop); return false;
    case InfoFileOpen::kFailed: break;
  }
  reporter_.Report(kInfoFileNotCreated + ErrorReason(opened.error), Icon::kStop);
  return false;
}

void RunContext::CloseInfoFile() { InfoFileWritten(info_.Close()); }

void RunContext::WriteInfoText(std::string_view text) { InfoFileWritten(info_.Write(text)); }

void RunContext::InfoFileWritten(int error) {
  if (error == 0 || summary_.writeFailed) return;
  summary_.writeFailed = true;
  reporter_.Report(InfoFileWriteError(error), Icon::kExclamation);
  reporter_.Diagnose(InfoFileWriteDiagnostic(options.infoFilePath, error));
}

// --- The catalogue ---

bool RunContext::OpenCatalogue(const std::string& source) {
  const std::string& path = options.cataloguePath;
  if (path == CatalogueWriter::kStandardOutput) return OpenedCatalogue(catalogue_.Open(path));
  if (IsSameFile(path, source) || IsMapName(path)) {
    reporter_.Diagnose(CatalogueRefusedDiagnostic(path));
    return false;
  }
  // Emptying the info file would lose what /a keeps, and the two would mix
  // their lines. Under two names for one new file, only the created
  // catalogue shows it; being new, it goes again.
  auto isInfoFile = [&] { return options.writeInfoFile && IsSameFile(path, options.infoFilePath); };
  const bool refused = isInfoFile() || (OpenedCatalogue(catalogue_.Open(path)) && isInfoFile());
  if (!refused) return catalogue_.IsOpen();
  if (catalogue_.IsOpen()) {
    catalogue_.Close();
    std::remove(path.c_str());
  }
  reporter_.Diagnose(CatalogueIsInfoFileDiagnostic(path));
  return false;
}

bool RunContext::OpenedCatalogue(int error) {
  if (error != 0) reporter_.Diagnose(CatalogueNotCreatedDiagnostic(options.cataloguePath, error));
  return error == 0;
}

void RunContext::WriteCatalogue() {
  if (catalogue_.IsOpen()) CatalogueWritten(catalogue_.Write(record_));
}

void RunContext::CatalogueWritten(int error) {
  if (error == 0 || summary_.catalogueFailed) return;
  summary_.catalogueFailed = true;
  reporter_.Diagnose(CatalogueWriteDiagnostic(options.cataloguePath, error));
}

RunSummary RunContext::Finish() {
  CloseInfoFile();
  CatalogueWritten(catalogue_.Close());
  const RunSummary summary = summary_;
  summary_ = {};
  summary_.writeFailed = summary.writeFailed;
  return summary;
}

// --- The walk and the queue ---

void RunContext::WalkMapDirectory(const std::string& directory) {
  korvanel::WalkMapDirectory(
      directory, options.includeSubdirectories,
      [this](const std::string& path, std::string_view name, const std::string& openPath) {
        QueueMap(path, name, openPath);
      },
      [this](const std::string& path, int error) {
        const bool folder = path.ends_with(kPathSeparator);
        // An entry is also reported, and counted, as a map that cannot be opened.
        if (folder) ++summary_.unread;
        QueueDiagnosis(folder ? FolderNotReadDiagnostic(path, error) : EntryNotExaminedDiagnostic(path, error));
      },
      options.laterFormats);
  FinishMaps();
}

void RunContext::ProcessMap(const std::string& path, const std::string& openPath) {
  QueueMap(path, {}, openPath);
  FinishMaps();
}

// The archive library extracts the next maps' files while this map's are
// processed; each map is still processed, and reported on, in turn.
void RunContext::QueueMap(const std::string& path, std::string_view name, const std::string& openPath) {
  // A stopped walk only finishes listing its folders.
  if (summary_.stopped) return;
  QueuedMap& map = queued_.emplace_back();
  map.path = path;
  map.name = name;
  names_.clear();
  for (const RunStep& step : kSteps) {
    if (!IsWanted(step, options, catalogue_.IsOpen())) continue;
    map.steps.push_back(&step);
    names_.push_back(step.name);
  }
  // Nothing is outstanding before the first map: the workers follow the
  // options from there.
  if (queued_.size() == 1) {
    const std::size_t jobs = options.jobs ? options.jobs : UsableProcessors();
    archive_.SetWorkers(jobs);
    minimaps_.SetThreads(jobs);
  }
  map.request = archive_.RequestMapFiles(openPath, names_);
  while (queued_.size() > archive_.MapsAhead()) ProcessQueuedMap();
}

void RunContext::QueueDiagnosis(std::string line) {
  if (queued_.empty()) {
    reporter_.Diagnose(line);
    return;
  }
  queued_.emplace_back().diagnosis = std::move(line);
}

void RunContext::FinishMaps() {
  while (!queued_.empty()) ProcessQueuedMap();
}

// --- One map ---

void RunContext::Collect(QueuedMap& map) {
  map.opened = archive_.CollectMapFiles(map.request, map.files);
  map.collected = true;
  if (const ExtractedFile* picture = PictureOf(map)) {
    // A picture that cannot be read back counts as unreadable data.
    std::span<const std::byte> blp;
    ReadExtracted(*picture, blp);
    map.picture = minimaps_.Give(blp);
  }
}

bool RunContext::CollectAnswered() {
  bool collected = false;
  for (QueuedMap& map : queued_) {
    if (!map.diagnosis.empty() || map.collected || !archive_.IsAnswered(map.request)) continue;
    Collect(map);
    collected = true;
  }
  return collected;
}

const ConvertedMinimap& RunContext::TakePicture(std::uint64_t number) {
  while (!minimaps_.Converted(number, CollectAnswered() ? std::chrono::milliseconds(0) : kPictureGlance)) {
  }
  return minimaps_.Take(number);
}

const ExtractedFile* RunContext::PictureOf(const QueuedMap& map) {
  if (!map.opened) return nullptr;
  for (std::size_t i = 0; i < map.steps.size(); ++i)
    if (!map.steps[i]->parse) return map.files[i].found ? &map.files[i] : nullptr;
  return nullptr;
}

void RunContext::ProcessQueuedMap() {
  QueuedMap map = std::move(queued_.front());
  queued_.pop_front();
  if (!map.diagnosis.empty()) {
    reporter_.Diagnose(map.diagnosis);
    return;
  }
  ProcessInTurn(map);
  // Its files in the work file may be written over from now on.
  archive_.Release(map.request);
}

void RunContext::ProcessInTurn(QueuedMap& map) {
  // The answers to maps dropped by a stop are still collected, so that the
  // archive's next answer is the next request's; pictures given already
  // are taken and dropped.
  summary_.stopped = summary_.stopped || !reporter_.GoOn();
  if (summary_.stopped) {
    if (!map.collected) {
      archive_.CollectMapFiles(map.request, map.files);
    } else if (PictureOf(map)) {
      minimaps_.Take(map.picture);
    }
    return;
  }
  if (!map.name.empty()) reporter_.ShowMap(map.name);
  // While this map's worker is still at it, the others' answers are
  // collected as they come, so that their pictures are converted meanwhile;
  // once none has come for a while, the wait is for this map alone.
  while (!map.collected && !archive_.IsAnswered(map.request)) {
    if (!CollectAnswered() && !archive_.AwaitAnswer(kAnswerPatience)) break;
  }
  if (!map.collected) Collect(map);
  CollectAnswered();
  ++summary_.mapsProcessed;
  const std::string& path = map.path;
  record_ = {};
  record_.path = path;
  if (!map.opened) {
    ++summary_.unread;
    reporter_.Report(MapNotOpened(path), Icon::kStop);
    record_.problems.push_back({"", kMapNotOpenedWhy});
    WriteCatalogue();
    return;
  }
  record_.opened = true;
  WriteInfoText("-------------------\r\nMap File Name:     " + path + "\r\n");
  // A map without trigger strings must not borrow the previous map's.
  triggerStrings_.RemoveAll();
  // The archive answers with one file for each name asked, in that order.
  bool taken = false;  // the step before's file, at its place or an earlier one
  for (std::size_t i = 0; i < map.steps.size(); ++i) {
    const RunStep& step = *map.steps[i];
    if (step.laterPlace && taken) continue;
    taken = Accept(path, step.name, map.files[i]);
    if (!taken) continue;
    if (step.parse) {
      Parse(path, step, map.files[i]);
    } else {
      ExportMinimap(path, TakePicture(map.picture));
    }
  }
  readBuffer_.Trim();
  InfoFileWritten(info_.EndRecord());
  WriteCatalogue();
}

bool RunContext::Accept(const std::string& path, const char* name, const ExtractedFile& file) {
  if (file.fileError != 0) {
    record_.problems.push_back({name, NotExtractedWhy(file.fileError)});
    reporter_.Diagnose(FileDiagnostic(path, name, record_.problems.back().why));
  }
  if (file.fileError != 0 && !summary_.extractFailed) {
    summary_.extractFailed = true;
    reporter_.Report(ExtractError(file.fileError), Icon::kExclamation);
  }
  return file.found;
}

int RunContext::ReadExtracted(const ExtractedFile& file, std::span<const std::byte>& data) {
  data = {};
  if (file.size > 0x7FFFFFFF) return EFBIG;
  return workFile_.View(file.offset, static_cast<std::size_t>(file.size), readBuffer_, data);
}

void RunContext::Parse(const std::string& path, const RunStep& step, const ExtractedFile& file) {
  std::span<const std::byte> data;
  if (int error = ReadExtracted(file, data); error != 0) {
    record_.problems.push_back({step.name, NotReadBackWhy(error)});
    reporter_.Diagnose(FileDiagnostic(path, step.name, record_.problems.back().why));
    if (!summary_.readFailed) reporter_.Report(ReadBackError(error), Icon::kExclamation);
    summary_.readFailed = true;
    return;
  }
  if (!step.parse(data, triggerStrings_, record_, *this,
                  options.laterFormats ? MapFormats::kLater : MapFormats::kFirstRelease)) {
    record_.problems.push_back({step.name, kDamagedFileWhy});
    reporter_.Diagnose(FileDiagnostic(path, step.name, kDamagedFileWhy));
    summary_.readFailed = true;
  }
}

// Each map's preview picture, as "<map name>.jpg" in the minimap folder.
void RunContext::ExportMinimap(const std::string& path, const ConvertedMinimap& picture) {
  const std::string baseName = MinimapBaseName(path);
  const std::string outputPath = options.minimapDirectory + baseName + ".jpg";
  int error = 0;
  const std::string mapName = MinimapMapName(baseName);
  switch (WriteMinimap(picture, outputPath, error)) {
    case MinimapStage::kDone:
      ++summary_.picturesWritten;
      WriteInfoText("Minimap File:      " + outputPath + "\r\n");
      record_.minimap = WrittenMinimap{outputPath, picture.size.width, picture.size.height};
      return;
    case MinimapStage::kExists:
      reporter_.Report(MinimapExists(outputPath), Icon::kExclamation);
      record_.problems.push_back({kPictureFile, MinimapExistsWhy(outputPath)});
      return;
    case MinimapStage::kCreate:
      reporter_.Report(MinimapNotCreated(error), Icon::kExclamation);
      record_.problems.push_back({kPictureFile, MinimapNotCreatedWhy(error)});
      break;
    case MinimapStage::kHeader:
      reporter_.Report(MinimapInvalidBlp(mapName), Icon::kExclamation);
      record_.problems.push_back({kPictureFile, kMinimapInvalidBlpWhy});
      break;
    case MinimapStage::kDecode:
      reporter_.Report(MinimapNotDecoded(mapName), Icon::kExclamation);
      record_.problems.push_back({kPictureFile, kMinimapNotDecodedWhy});
      break;
    case MinimapStage::kEncode:
      reporter_.Report(MinimapNotWritten(mapName), Icon::kExclamation);
      record_.problems.push_back({kPictureFile, kMinimapNotWrittenWhy});
      break;
  }
  summary_.minimapFailed = true;
}

}  // namespace korvanel
