#include "app/run_context.h"

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <string_view>

#include "app/map_walk.h"
#include "app/messages.h"
#include "app/paths.h"
#include "archive/work_file.h"
#include "output/minimap_export.h"
#include "output/minimap_name.h"
#include "output/new_file.h"
#include "parsers/environment.h"
#include "parsers/imports.h"
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
  // the record's lines from what it read; none for the pictures.
  bool (*parse)(Data, TriggerStringTable&, MapRecord&, LineWriter&, MapFormats);
  // Another place of the step before's file, which only later editors
  // use: asked for only with --w3x, and read only when no earlier place
  // held the file.
  bool laterPlace = false;
  // The preview picture, wanted only by --pictures; the other picture
  // (parse none) becomes the minimap.
  bool preview = false;
  // Read for the catalogue alone: the info file shows nothing of it, and a
  // map may well have none.
  bool catalogueOnly = false;
};

namespace {

// The map's preview picture, which becomes the minimap.
constexpr char kPictureFile[] = "war3mapMap.blp";
// Where the start locations and gold mines sit on the minimap.
constexpr char kIconsFile[] = "war3map.mmp";
// The picture later editors show for the map in the game's lists.
constexpr char kPreviewFile[] = "war3mapPreview.tga";
// The script's places: the first release's, and those of later editors.
constexpr char kScript[] = "war3map.j";
constexpr char kFolderScript[] = "scripts\\war3map.j";
constexpr char kLuaScript[] = "war3map.lua";

bool ScanScriptIn(const char* file, Data d, MapRecord& r, LineWriter& w, MapFormats f) {
  // With later formats the script may come from any of its places, so the
  // record keeps which.
  if (f == MapFormats::kLater) r.scriptFile = file;
  const ScriptLanguage language = std::string_view(file) == kLuaScript ? ScriptLanguage::kLua : ScriptLanguage::kJass;
  return ScanScript(d, r.script.emplace(), w, f, language);
}

// Every file the run may want from a map, in the order it is used: the
// minimap's line comes first in the record, and the trigger strings before
// the map information, which resolves its texts through them. Later editors
// may keep the script in a folder or write it in Lua.
constexpr RunStep kSteps[] = {
    {kPictureFile, nullptr},
    {"war3map.wts",
     [](Data d, TriggerStringTable& t, MapRecord&, LineWriter&, MapFormats f) { return ParseTriggerStrings(d, t, f); }},
    {kMapInfoFile,
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
    {"war3map.imp",
     [](Data d, TriggerStringTable&, MapRecord& r, LineWriter&, MapFormats) { return ParseImportList(d, r.imports.emplace()); },
     false, false, true},
    {kIconsFile, [](Data d, TriggerStringTable&, MapRecord&, LineWriter&, MapFormats) { return ParseMmpFile(d); }},
    {kPreviewFile, nullptr, false, true},
};

bool IsWanted(const RunStep& step, const RunOptions& options, bool catalogue) {
  if (step.laterPlace && !options.laterFormats) return false;
  const bool pictures = !options.picturesDirectory.empty();
  if (step.preview) return pictures;
  if (step.catalogueOnly) return catalogue;
  if (!step.parse) return options.writeMinimaps || pictures;
  // The info file, the catalogue and the gallery's cards show the map's
  // facts. The pictures alone need only the minimap's icons, and the map
  // information where a later editor may name a loading screen in it: a
  // map's script and doodads are most of its bytes.
  const std::string_view name = step.name;
  return options.writeInfoFile || catalogue || options.gallery ||
         (pictures && (name == kIconsFile || (options.laterFormats && name == kMapInfoFile)));
}

// How long the run waits for any worker's answer while the map in turn is
// not answered, before it waits for that one alone.
constexpr std::chrono::milliseconds kAnswerPatience{100};

// How long the run waits for a picture's conversion before it looks for
// answers again.
constexpr std::chrono::milliseconds kPictureGlance{1};

bool IsMapName(const std::string& path) { return EndsWithNoCase(path, ".w3m") || EndsWithNoCase(path, ".w3x"); }

// The catalogue's names for the signs of protection the archive shows.
std::vector<std::string_view> ProtectionNames(const ArchiveSigns& signs) {
  std::vector<std::string_view> names;
  const std::pair<bool, std::string_view> all[] = {
      {signs.noListfile, "no_listfile"},
      {signs.hashTableOutside, "hash_table_outside_file"},
      {signs.hashTablePastEnd, "hash_table_past_end_of_file"},
      {signs.blockTableOutside, "block_table_outside_file"},
      {signs.blockTablePastEnd, "block_table_past_end_of_file"},
  };
  for (const auto& [seen, name] : all)
    if (seen) names.push_back(name);
  return names;
}

}  // namespace

RunContext::RunContext(MapArchive& archive, WorkFile& workFile, Reporter& reporter)
    : archive_(archive), workFile_(workFile), reporter_(reporter) {}

// --- The info file ---

bool RunContext::OpenInfoFile(const std::string& path, const std::string& source) {
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
  if (path != CatalogueWriter::kStandardOutput) {
    if (IsSameFile(path, source) || IsMapName(path)) {
      reporter_.Explain(CatalogueRefusedDiagnostic(path));
      return false;
    }
    // Replacing the info file would lose what /a keeps, and the two would
    // mix their lines; also under two names for one file yet to be made.
    if (options.writeInfoFile && IsSamePlace(path, options.infoFilePath)) {
      reporter_.Explain(CatalogueIsInfoFileDiagnostic(path));
      return false;
    }
  }
  const CatalogueOpenResult opened = catalogue_.Open(path);
  switch (opened.status) {
    case CatalogueOpen::kOpened: break;
    case CatalogueOpen::kFolder: reporter_.Explain(CatalogueIsFolderDiagnostic(path)); return false;
    case CatalogueOpen::kNotRegular: reporter_.Explain(CatalogueNotRegularDiagnostic(path)); return false;
    case CatalogueOpen::kReadOnly: reporter_.Explain(CatalogueReadOnlyDiagnostic(path)); return false;
    case CatalogueOpen::kInUse: reporter_.Explain(CatalogueInUseDiagnostic(path)); return false;
    case CatalogueOpen::kFailed: reporter_.Explain(CatalogueNotCreatedDiagnostic(path, opened.error)); return false;
  }
  if (!options.updateCatalogue || catalogue_.Replaced().empty()) return true;
  const PreviousCatalogue::ReadResult read = previous_.Read(catalogue_.Replaced());
  if (read.error != 0) {
    reporter_.Diagnose(PreviousCatalogueNotReadDiagnostic(path, read.error));
  } else if (read.problem != PreviousCatalogue::Problem::kNone) {
    const char* why = read.problem == PreviousCatalogue::Problem::kDamaged ? kPreviousLineDamaged
                      : read.problem == PreviousCatalogue::Problem::kForeign ? kPreviousLineForeign
                                                                            : kPreviousLineOtherVersion;
    reporter_.Diagnose(PreviousCatalogueRejectedDiagnostic(path, read.line, why));
  }
  return true;
}

// --- The pictures ---

bool RunContext::SettlePicturesFolder() {
  std::string& pictures = options.picturesDirectory;
  const std::string folder = AsTypedOrTrimmed(pictures);
  // With a separator added, a name of blanks would be the root.
  if (!folder.empty()) pictures = EndWithSeparator(folder);
  if (!folder.empty() && IsExistingDirectory(pictures)) return true;
  reporter_.Explain(PicturesFolderMissing(pictures));
  return false;
}

void RunContext::WriteCatalogue() {
  if (catalogue_.IsOpen()) CatalogueWritten(catalogue_.Write(record_));
  if (gallery_.IsOpen()) gallery_.Add(record_);
}

bool RunContext::OpenGallery() {
  const int error = gallery_.Begin(options.picturesDirectory);
  if (error == 0) return true;
  reporter_.Explain(GalleryNotWrittenDiagnostic(options.picturesDirectory, error));
  // The run does not start, so an earlier catalogue stays as it was.
  AbandonOutputs();
  return false;
}

void RunContext::CatalogueWritten(int error) {
  if (error == 0 || summary_.catalogueFailed) return;
  summary_.catalogueFailed = true;
  reporter_.Diagnose(CatalogueWriteDiagnostic(options.cataloguePath, error));
}

RunSummary RunContext::Finish() {
  CloseInfoFile();
  CatalogueWritten(catalogue_.Close());
  if (gallery_.IsOpen()) {
    if (const int error = gallery_.Finish(); error != 0) {
      reporter_.Diagnose(GalleryNotWrittenDiagnostic(options.picturesDirectory, error));
      summary_.picturesFailed = true;
    }
  }
  firstWithChecksum_.clear();
  pictureFolders_.clear();
  const RunSummary summary = summary_;
  summary_ = {};
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
  // Nothing is outstanding before the first map: the workers follow the
  // options from there.
  if (queued_.size() == 1) {
    const std::size_t jobs = options.jobs ? options.jobs : UsableProcessors();
    archive_.SetWorkers(jobs);
    minimaps_.SetThreads(jobs);
  }
  map.kept = Unchanged(path, openPath);
  if (!map.kept) {
    names_.clear();
    for (const RunStep& step : kSteps) {
      if (!IsWanted(step, options, catalogue_.IsOpen())) continue;
      map.steps.push_back(&step);
      names_.push_back(step.name);
    }
    // Only later editors name a loading screen of the map's own.
    const bool loadingScreen = !options.picturesDirectory.empty() && options.laterFormats;
    map.request = archive_.RequestMapFiles(openPath, names_, {.identify = catalogue_.IsOpen() || options.gallery, .loadingScreen = loadingScreen});
  }
  while (queued_.size() > archive_.MapsAhead()) ProcessQueuedMap();
}

const PreviousCatalogue::Entry* RunContext::Unchanged(const std::string& path, const std::string& openPath) const {
  if (!options.updateCatalogue) return nullptr;
  const PreviousCatalogue::Entry* entry = previous_.Find(path);
  if (!entry || !entry->identified || entry->laterFormats != options.laterFormats) return nullptr;
  FileStamp stamp;
  if (ReadFileStamp(openPath, stamp) != 0) return nullptr;
  return stamp.size == entry->size && CatalogueTime(stamp.modifiedSeconds, stamp.modifiedNanoseconds) == entry->modified
             ? entry
             : nullptr;
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
  map.answer = archive_.CollectMapFiles(map.request, map.files);
  map.collected = true;
  const bool pictures = !options.picturesDirectory.empty();
  PictureWork work;
  work.minimap = options.writeMinimaps;
  work.pictures = pictures;
  // A picture that cannot be read back counts as unreadable data.
  auto take = [&](const ExtractedFile* file, std::vector<std::byte>& into) {
    if (!file) return false;
    std::span<const std::byte> bytes;
    ReadExtracted(*file, bytes);
    into.assign(bytes.begin(), bytes.end());
    return true;
  };
  bool any = take(FileOf(map, kPictureFile), work.sources.minimap);
  if (pictures) {
    any = take(FileOf(map, kPreviewFile), work.sources.preview) || any;
    take(FileOf(map, kIconsFile), work.sources.icons);
    const ExtractedFile* screen = LoadingScreenOf(map);
    any = take(screen && screen->found ? screen : nullptr, work.sources.loadingScreen) || any;
  }
  if (!any) return;
  map.picture = minimaps_.Give(std::move(work));
  map.pictureGiven = true;
}

bool RunContext::CollectAnswered() {
  bool collected = false;
  for (QueuedMap& map : queued_) {
    if (!map.diagnosis.empty() || map.kept || map.collected || !archive_.IsAnswered(map.request)) continue;
    Collect(map);
    collected = true;
  }
  return collected;
}

ConvertedMap& RunContext::TakePicture(std::uint64_t number) {
  while (!minimaps_.Converted(number, CollectAnswered() ? std::chrono::milliseconds(0) : kPictureGlance)) {
  }
  return minimaps_.Take(number);
}

const ExtractedFile* RunContext::FileOf(const QueuedMap& map, const char* name) {
  if (!map.answer.opened) return nullptr;
  for (std::size_t i = 0; i < map.steps.size(); ++i)
    if (std::string_view(map.steps[i]->name) == name) return map.files[i].found ? &map.files[i] : nullptr;
  return nullptr;
}

const ExtractedFile* RunContext::LoadingScreenOf(const QueuedMap& map) {
  return map.answer.opened && map.files.size() > map.steps.size() ? &map.files.back() : nullptr;
}

void RunContext::ProcessQueuedMap() {
  QueuedMap map = std::move(queued_.front());
  queued_.pop_front();
  if (!map.diagnosis.empty()) {
    reporter_.Diagnose(map.diagnosis);
    return;
  }
  if (map.kept) {
    ProcessKept(map);
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
    } else if (map.pictureGiven) {
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
  record_.formats = options.laterFormats ? MapFormats::kLater : MapFormats::kFirstRelease;
  const MapAnswer& answer = map.answer;
  if (answer.identified) {
    record_.identity = answer.identity;
    record_.duplicateOf = FirstWithChecksum(HexDigits(answer.identity.sha1), path);
  }
  record_.protection = ProtectionNames(answer.signs);
  if (!answer.opened) {
    ++summary_.unread;
    reporter_.Report(MapNotOpened(path), Icon::kStop);
    record_.problems.push_back({"", MapNotOpenedWhy(answer.failure, answer.error)});
    WriteCatalogue();
    return;
  }
  record_.opened = true;
  WriteInfoText("-------------------\r\nMap File Name:     " + path + "\r\n");
  // A map without trigger strings must not borrow the previous map's.
  triggerStrings_.RemoveAll();
  // The archive answers with one file for each name asked, in that order.
  bool taken = false;  // the step before's file, at its place or an earlier one
  ConvertedMap* converted = nullptr;
  for (std::size_t i = 0; i < map.steps.size(); ++i) {
    const RunStep& step = *map.steps[i];
    if (step.laterPlace && taken) continue;
    taken = Accept(path, step.name, map.files[i]);
    if (!taken || step.preview) continue;
    if (step.parse) {
      Parse(path, step, map.files[i]);
    } else if (options.writeMinimaps) {
      converted = &TakePicture(map.picture);
      ExportMinimap(path, converted->minimap);
    }
  }
  NoteMissingFiles(map);
  if (record_.mapInfo && record_.mapInfo->endsAfterForces) record_.protection.push_back("map_info_cut_after_forces");
  if (const ExtractedFile* screen = LoadingScreenOf(map)) Accept(path, LoadingScreenPath().c_str(), *screen);
  if (!options.picturesDirectory.empty()) {
    MapPictures none;
    PublishPictures(map, converted ? converted->pictures : map.pictureGiven ? TakePicture(map.picture).pictures : none);
  }
  readBuffer_.Trim();
  InfoFileWritten(info_.EndRecord());
  WriteCatalogue();
}

void RunContext::NoteMissingFiles(const QueuedMap& map) {
  // A file and its later places count as one, missing when none holds it.
  for (std::size_t i = 0; i < map.steps.size(); ++i) {
    if (!map.steps[i]->parse || map.steps[i]->laterPlace || map.steps[i]->catalogueOnly ||
        std::string_view(map.steps[i]->name) == kIconsFile)
      continue;
    bool found = map.files[i].found;
    for (std::size_t k = i + 1; k < map.steps.size() && map.steps[k]->laterPlace; ++k) found = found || map.files[k].found;
    if (!found) record_.problems.push_back({map.steps[i]->name, kMissingFileWhy});
  }
}

void RunContext::ProcessKept(const QueuedMap& map) {
  summary_.stopped = summary_.stopped || !reporter_.GoOn();
  if (summary_.stopped) return;
  if (!map.name.empty()) reporter_.ShowMap(map.name);
  ++summary_.mapsProcessed;
  ++summary_.kept;
  std::string line;
  if (const int error = previous_.Line(*map.kept, line); error != 0) {
    CatalogueWritten(error);
    return;
  }
  CatalogueWritten(catalogue_.Write(WithDuplicateOf(line, FirstWithChecksum(map.kept->sha1, map.path))));
}

std::string RunContext::FirstWithChecksum(const std::string& sha1, const std::string& path) {
  const auto [first, added] = firstWithChecksum_.try_emplace(sha1, path);
  if (added) return {};
  ++summary_.duplicates;
  return first->second;
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
    summary_.parseFailed = true;
  }
}

std::string RunContext::LoadingScreenPath() const {
  return record_.mapInfo && record_.mapInfo->loadingScreenPath ? *record_.mapInfo->loadingScreenPath : std::string();
}

std::string RunContext::PictureFolder(const std::string& path) {
  const std::string name = path.substr(path.rfind(kPathSeparator) + 1);
  const int count = ++pictureFolders_[name];
  return options.picturesDirectory + name + (count > 1 ? " (" + std::to_string(count) + ")" : "") + kPathSeparator;
}

void RunContext::PublishPictures(const QueuedMap& map, MapPictures& pictures) {
  const std::string& path = map.path;
  for (const PictureFailure& failure : pictures.failures) {
    const std::string file = failure.file.empty() ? LoadingScreenPath() : failure.file;
    record_.problems.push_back({file, PictureNotMadeWhy(failure.kind, failure.error)});
    reporter_.Diagnose(FileDiagnostic(path, file, record_.problems.back().why));
    summary_.picturesFailed = true;
  }
  if (pictures.pictures.empty()) return;
  const std::string folder = PictureFolder(path);
  if (const int error = MakeFolder(folder); error != 0) {
    record_.problems.push_back({"", PictureFolderWhy(folder, error), true});
    reporter_.Diagnose(PictureFolderDiagnostic(folder, error));
    summary_.picturesFailed = true;
    return;
  }
  for (const EncodedPicture& picture : pictures.pictures) {
    const std::string file = folder + picture.fileName;
    int error = 0;
    const NewFile written = WriteNewFile(picture.bytes, file, error);
    // What an earlier run wrote is found again, never replaced.
    if (written == NewFile::kWritten || (written == NewFile::kExists && HoldsExactly(file, picture.bytes))) {
      record_.pictures.push_back({std::string(picture.kind), file, picture.width, picture.height});
      continue;
    }
    record_.problems.push_back({"", written == NewFile::kExists ? PictureExistsWhy(file) : PictureNotWrittenWhy(file, error), true});
    reporter_.Diagnose(record_.problems.back().why);
    summary_.picturesFailed = true;
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
      record_.problems.push_back({kPictureFile, MinimapExistsWhy(outputPath), true});
      return;
    case MinimapStage::kCreate:
      reporter_.Report(MinimapNotCreated(error), Icon::kExclamation);
      record_.problems.push_back({kPictureFile, MinimapNotCreatedWhy(error), true});
      break;
    case MinimapStage::kHeader:
      reporter_.Report(MinimapInvalidBlp(mapName), Icon::kExclamation);
      record_.problems.push_back({kPictureFile, kMinimapInvalidBlpWhy, true});
      break;
    case MinimapStage::kDecode:
      reporter_.Report(MinimapNotDecoded(mapName), Icon::kExclamation);
      record_.problems.push_back({kPictureFile, kMinimapNotDecodedWhy, true});
      break;
    case MinimapStage::kEncode:
      reporter_.Report(MinimapNotWritten(mapName), Icon::kExclamation);
      if (error != 0) reporter_.Diagnose(MinimapNotWrittenDiagnostic(outputPath, error));
      record_.problems.push_back({kPictureFile, kMinimapNotWrittenWhy, true});
      break;
  }
  summary_.minimapFailed = true;
}

}  // namespace korvanel
