// One map from open to close: the record's opening lines, the minimap, and
// each embedded data file handed to its parser in a fixed order.
#include <cerrno>
#include <sys/stat.h>
#include <span>

#include "app/map_walk.h"
#include "app/messages.h"
#include "app/paths.h"
#include "app/run_context.h"
#include "archive/work_file.h"
#include "output/minimap_export.h"
#include "output/minimap_name.h"
#include "parsers/environment.h"
#include "parsers/map_info.h"
#include "parsers/script_scan.h"

namespace korvanel {
namespace {

bool IsSameFile(const std::string& a, const std::string& b) {
  struct stat x {}, y {};
  return !a.empty() && !b.empty() && ::stat(a.c_str(), &x) == 0 && ::stat(b.c_str(), &y) == 0 &&
         x.st_dev == y.st_dev && x.st_ino == y.st_ino;
}

using Data = std::span<const std::byte>;
using Handler = bool (*)(Data, TriggerStringTable&, LineWriter&);

// The trigger strings come first: the map information resolves its texts
// through them.
struct Step {
  const char* name;
  Handler handler;
};
constexpr Step kSteps[] = {
    {"war3map.wts", [](Data d, TriggerStringTable& t, LineWriter&) { return ParseTriggerStrings(d, t); }},
    {"war3map.w3i", [](Data d, TriggerStringTable& t, LineWriter& w) { return ParseMapInfo(d, t, w); }},
    {"war3map.w3e", [](Data d, TriggerStringTable&, LineWriter& w) { return ParseEnvironment(d, w); }},
    {"war3map.doo", [](Data d, TriggerStringTable&, LineWriter& w) { return ParseTreeDoodads(d, w); }},
    {"war3mapUnits.doo", [](Data d, TriggerStringTable&, LineWriter& w) { return ParseUnitDoodads(d, w); }},
    {"war3map.j", [](Data d, TriggerStringTable&, LineWriter& w) { return ScanScript(d, w); }},
    {"war3map.mmp", [](Data d, TriggerStringTable&, LineWriter& w) { return ParseMmpFile(d, w); }},
};

}  // namespace

RunContext::RunContext(MapArchive& archive, WorkFile& workFile, Reporter& reporter)
    : archive_(archive), workFile_(workFile), reporter_(reporter) {}

bool RunContext::OpenInfoFile(const std::string& path, const std::string& source) {
  errors.writeFailed = false;
  CloseInfoFile();
  // Appending to a map or emptying it would ruin it, above all the one this
  // run reads.
  if (const char* refusal = IsSameFile(path, source)                                         ? kInfoFileIsSource
                            : EndsWithNoCase(path, ".w3m") || EndsWithNoCase(path, ".w3x") ? kInfoFileIsMap
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

void RunContext::FlushInfoFile() { InfoFileWritten(info_.Flush()); }

void RunContext::InfoFileWritten(int error) {
  if (error == 0 || errors.writeFailed) return;
  errors.writeFailed = true;
  reporter_.Report(InfoFileWriteError(error), Icon::kExclamation);
}

void RunContext::WalkMapDirectory(const std::string& directory) {
  korvanel::WalkMapDirectory(
      directory, options.includeSubdirectories,
      [this](const std::string& path, std::string_view name, const std::string& openPath) {
        QueueMap(path, name, openPath);
      },
      [this](const std::string& path, int error) {
        const bool folder = path.ends_with(kPathSeparator);
        // An entry is also reported, and counted, as a map that cannot be opened.
        if (folder) ++failures_;
        QueueDiagnosis((folder ? "cannot read the folder " : "cannot examine ") + path + ": " + ErrorText(error));
      });
  FinishMaps();
}

void RunContext::ProcessMap(const std::string& path, const std::string& openPath) {
  QueueMap(path, {}, openPath);
  FinishMaps();
}

// The archive library extracts the next maps' files while this map's are
// processed; each map is still processed, and reported on, in turn.
void RunContext::QueueMap(const std::string& path, std::string_view name, const std::string& openPath) {
  queued_.push_back({path, std::string(name), {}});
  // Everything this run wants from the map, in the order it is used.
  names_.clear();
  if (options.writeMinimaps) names_.push_back(kMinimapFileName);
  if (options.writeInfoFile)
    for (const Step& step : kSteps) names_.push_back(step.name);
  archive_.RequestMapFiles(openPath, names_);
  while (queued_.size() > kMapsAhead) ProcessQueuedMap();
}

void RunContext::QueueDiagnosis(std::string line) {
  if (queued_.empty()) {
    reporter_.Diagnose(line);
    return;
  }
  queued_.push_back({{}, {}, std::move(line)});
}

void RunContext::DiagnoseFile(const std::string& path, const char* name, std::string_view why) {
  reporter_.Diagnose(path + ": " + name + ": " + std::string(why));
}

void RunContext::FinishMaps() {
  while (!queued_.empty()) ProcessQueuedMap();
}

bool RunContext::Accept(const std::string& path, const char* name, const ExtractedFile& file) {
  if (file.fileError != 0) DiagnoseFile(path, name, "cannot extract: " + ErrorText(file.fileError));
  if (file.fileError != 0 && !errors.extractFailed) {
    errors.extractFailed = true;
    reporter_.Report("ERROR!\nError extracting a file from the map file (.w3m).\nReason:\n" + ErrorReason(file.fileError),
                     Icon::kExclamation);
  }
  return file.found;
}

int RunContext::ReadExtracted(const ExtractedFile& file, std::span<const std::byte>& data) {
  data = {};
  if (file.size > 0x7FFFFFFF) return EFBIG;
  std::span<std::byte> buffer = readBuffer_.Get(static_cast<std::size_t>(file.size));
  if (file.size > 0 && buffer.empty()) return ENOMEM;
  std::size_t got = 0;
  const int error = workFile_.Handle().ReadAt(file.offset, buffer, got);
  if (error == 0) data = buffer.first(got);
  return error;
}

void RunContext::ProcessQueuedMap() {
  const QueuedMap map = std::move(queued_.front());
  queued_.pop_front();
  if (!map.diagnosis.empty()) {
    reporter_.Diagnose(map.diagnosis);
    return;
  }
  if (!map.name.empty()) {
    statusText = "Processing ";
    statusText += map.name;
    reporter_.ShowStatus(statusText);
  }
  const std::string& path = map.path;
  if (!archive_.CollectMapFiles(files_)) {
    ++failures_;
    reporter_.Report("ERROR!\nUnable to open the map file :\n" + path + "\n", Icon::kStop);
    return;
  }
  WriteInfoText("-------------------\r\nMap File Name:     " + path + "\r\n");
  const ExtractedFile* file = files_.data();
  if (options.writeMinimaps) ExportMinimap(path, *file++);

  if (options.writeInfoFile) {
    // A map without trigger strings must not borrow the previous map's.
    triggerStrings_.RemoveAll();
    for (const Step& step : kSteps) {
      const ExtractedFile& extracted = *file++;
      if (!Accept(path, step.name, extracted)) continue;
      std::span<const std::byte> data;
      if (int error = ReadExtracted(extracted, data); error != 0) {
        DiagnoseFile(path, step.name, "cannot read back: " + ErrorText(error));
        if (!errors.readFailed)
          reporter_.Report("ERROR!\nError reading a W3M file!\nReason:\n" + ErrorReason(error), Icon::kExclamation);
        errors.readFailed = true;
        continue;
      }
      if (!step.handler(data, triggerStrings_, *this)) {
        DiagnoseFile(path, step.name, "damaged or of an unknown format; its lines may be missing or incomplete");
        errors.readFailed = true;
      }
    }
  }
  readBuffer_.Trim();
  FlushInfoFile();
}

void RunContext::ExportMinimap(const std::string& path, const ExtractedFile& picture) {
  if (!Accept(path, kMinimapFileName, picture)) return;
  const std::string baseName = MinimapBaseName(path);
  const std::string outputPath = options.minimapDirectory + baseName + ".jpg";
  // A picture that cannot be read back counts as unreadable data.
  std::span<const std::byte> blp;
  ReadExtracted(picture, blp);
  int error = 0;
  const std::string mapName = MinimapMapName(baseName);
  switch (WriteMinimap(minimaps_, blp, outputPath, error)) {
    case MinimapStage::kDone: WriteInfoText("Minimap File:      " + outputPath + "\r\n"); return;
    case MinimapStage::kExists: reporter_.Report(MinimapExists(outputPath), Icon::kExclamation); return;
    case MinimapStage::kCreate: reporter_.Report(MinimapNotCreated(error), Icon::kExclamation); break;
    case MinimapStage::kHeader: reporter_.Report(MinimapInvalidBlp(mapName), Icon::kExclamation); break;
    case MinimapStage::kDecode: reporter_.Report(MinimapNotDecoded(mapName), Icon::kExclamation); break;
    case MinimapStage::kEncode: reporter_.Report(MinimapNotWritten(mapName), Icon::kExclamation); break;
  }
  errors.minimapFailed = true;
}

}  // namespace korvanel
