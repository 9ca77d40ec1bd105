// One map from open to close: the record's opening lines, the minimap, and
// each embedded data file handed to its parser in a fixed order.
#include <cerrno>
#include <span>

#include "app/map_walk.h"
#include "app/run_context.h"
#include "archive/archive_precheck.h"
#include "archive/work_file.h"
#include "parsers/environment.h"
#include "parsers/map_info.h"
#include "parsers/script_scan.h"

namespace korvanel {
namespace {

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
    : archive_(archive), workFile_(workFile), reporter_(reporter), info_(reporter, errors) {}

void RunContext::WalkMapDirectory(const std::string& directory) {
  korvanel::WalkMapDirectory(directory, options.includeSubdirectories,
                             [this](const std::string& path, std::string_view name, const std::string& openPath) {
                               statusText = "Processing ";
                               statusText += name;
                               reporter_.ShowStatus(statusText);
                               ProcessMap(path, openPath);
                             });
}

bool RunContext::Extract(ArchiveHandle archive, const char* name) {
  ExtractResult result = archive_.ExtractEmbeddedFile(archive, name);
  if (result.fileError != 0 && !errors.extractFailed) {
    errors.extractFailed = true;
    reporter_.Report("ERROR!\nError extracting a file from the map file (.w3m).\nReason:\n" + ErrorReason(result.fileError),
                     Icon::kExclamation);
  }
  return result.found;
}

void RunContext::ProcessMap(const std::string& path, const std::string& openPath) {
  ArchiveHandle archive = nullptr;
  if (!archive_.IsReady() || !IsSafeToOpen(openPath) || !archive_.OpenMapArchive(openPath, archive)) {
    ++unopenedMaps_;
    reporter_.Report("ERROR!\nUnable to open the map file :\n" + path + "\n", Icon::kStop);
    return;
  }
  WriteInfoText("-------------------\r\nMap File Name:     " + path + "\r\n");
  if (options.writeMinimaps) ExportMinimap(path, archive);

  if (options.writeInfoFile) {
    // A map without trigger strings must not borrow the previous map's.
    triggerStrings_.RemoveAll();
    const File& work = workFile_.Handle();
    for (const Step& step : kSteps) {
      if (!Extract(archive, step.name)) continue;
      const std::uint64_t size = workFile_.Size();
      std::span<std::byte> data = readBuffer_.Get(static_cast<std::size_t>(size));
      std::size_t got = 0;
      int error = size > 0x7FFFFFFF ? EFBIG : size > 0 && data.empty() ? ENOMEM : work.ReadAt(0, data, got);
      if (error != 0) {
        if (!errors.readFailed)
          reporter_.Report("ERROR!\nError reading a W3M file!\nReason:\n" + ErrorReason(error), Icon::kExclamation);
        errors.readFailed = true;
        continue;
      }
      if (!step.handler(data.first(got), triggerStrings_, info_)) errors.readFailed = true;
    }
    readBuffer_.Trim();
  }
  info_.Flush();
  archive_.CloseMapArchive(archive);
}

}  // namespace korvanel
