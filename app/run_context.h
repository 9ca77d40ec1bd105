// The state and operations of one extraction run, shared by the
// command-line mode and the dialog: options, error latches, the info file,
// the trigger strings of the current map, and the walk and per-map
// pipeline that use them.
#pragma once

#include <deque>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "app/reporter.h"
#include "app/run_errors.h"
#include "app/run_options.h"
#include "archive/map_archive.h"
#include "output/info_writer.h"
#include "output/minimap_convert.h"
#include "parsers/line_writer.h"
#include "parsers/trigger_strings.h"
#include "platform/scratch_buffer.h"

namespace korvanel {

class WorkFile;

// The map's preview picture.
inline constexpr char kMinimapFileName[] = "war3mapMap.blp";

class RunContext : public LineWriter {
 public:
  RunContext(MapArchive& archive, WorkFile& workFile, Reporter& reporter);

  RunOptions options;
  RunErrors errors;
  std::string statusText;

  // Opens the info file, settling an existing one as `options` say, or
  // reports why not. `source`, the map this run reads, is never taken.
  bool OpenInfoFile(const std::string& path, const std::string& source);
  void CloseInfoFile();
  bool IsInfoFileOpen() const { return info_.IsOpen(); }
  // The record's lines, from the run and its parsers, go to the info file
  // through here, so that a failed write is reported.
  void WriteInfoText(std::string_view text) override;

  // Each walks or processes to the end, so every map is reported when they
  // return.
  void WalkMapDirectory(const std::string& directory);
  void ProcessMap(const std::string& path) { ProcessMap(path, path); }
  // `openPath` names the same file as `path` (see MapVisitor).
  void ProcessMap(const std::string& path, const std::string& openPath);

  // Maps that could not be opened and folders that could not be read
  // during this object's life: no latch exists for them, but a run that met
  // one did not analyse everything.
  int Failures() const { return failures_; }

 private:
  // A map in its turn, or a diagnostic line that waits for the maps
  // queued before it, so that standard error follows the walk's order.
  struct QueuedMap {
    std::string path;
    std::string name;  // for the status line; none for a single map
    std::string diagnosis;  // set for a line instead of a map
  };

  void QueueMap(const std::string& path, std::string_view name, const std::string& openPath);
  void QueueDiagnosis(std::string line);
  // A diagnostic line naming the map being processed and one of its files.
  void DiagnoseFile(const std::string& path, const char* name, std::string_view why);
  void ProcessQueuedMap();
  void FinishMaps();
  // Reports a work-file error of an extracted file, once per run. False
  // when the map lacks the file.
  bool Accept(const std::string& path, const char* name, const ExtractedFile& file);
  // The file's bytes from the work file. Returns 0 or the error number.
  int ReadExtracted(const ExtractedFile& file, std::span<const std::byte>& data);
  void ExportMinimap(const std::string& path, const ExtractedFile& picture);
  void FlushInfoFile();
  // Reports the first failed write of the info file.
  void InfoFileWritten(int error);

  MapArchive& archive_;
  WorkFile& workFile_;
  Reporter& reporter_;
  InfoWriter info_;
  TriggerStringTable triggerStrings_;
  ScratchBuffer readBuffer_;
  MinimapConverter minimaps_;
  std::vector<const char*> names_;
  std::vector<ExtractedFile> files_;
  std::deque<QueuedMap> queued_;
  int failures_ = 0;
};

}  // namespace korvanel
