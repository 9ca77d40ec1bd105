// One extraction run, shared by the command line and the dialog: the info
// file and what to do with an existing one, the walk, each map's steps
// (the minimap and the parsers of its embedded files), and what went wrong.
// Every text it shows is in app/messages.h.
#pragma once

#include <cstdint>
#include <deque>
#include <span>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "app/reporter.h"
#include "app/run_options.h"
#include "app/run_summary.h"
#include "archive/map_archive.h"
#include "output/catalogue_writer.h"
#include "output/gallery_page.h"
#include "output/info_writer.h"
#include "output/map_record.h"
#include "output/minimap_pool.h"
#include "output/previous_catalogue.h"
#include "parsers/line_writer.h"
#include "parsers/trigger_strings.h"
#include "platform/scratch_buffer.h"

namespace korvanel {

class WorkFile;
// What the run does with one embedded file (see run_context.cpp).
struct RunStep;

class RunContext : public LineWriter {
 public:
  RunContext(MapArchive& archive, WorkFile& workFile, Reporter& reporter);

  RunOptions options;

  // Opens the info file, settling an existing one as `options` say, or
  // reports why not. `source`, the map this run reads, is never taken.
  bool OpenInfoFile(const std::string& path, const std::string& source);
  void CloseInfoFile();
  bool IsInfoFileOpen() const { return info_.IsOpen(); }
  // The record's lines, from the run and its parsers, go to the info file
  // through here, so that a failed write is reported.
  void WriteInfoText(std::string_view text) override;

  // Starts the catalogue at options.cataloguePath, or explains why not
  // (Reporter::Explain). `source`, the map this run reads, is never taken. To
  // update it, the old catalogue is read: the maps it holds that have not
  // changed since are not read again.
  bool OpenCatalogue(const std::string& source);
  bool IsCatalogueOpen() const { return catalogue_.IsOpen(); }
  // Drops the catalogue and the gallery page begun, the old ones left whole,
  // for a run that does not take place after all.
  void AbandonOutputs() {
    catalogue_.Abandon();
    gallery_.Abandon();
  }

  // Takes options.picturesDirectory as typed or trimmed, ending in a
  // separator, or says why not: the folder must exist, and blanks name
  // none.
  bool SettlePicturesFolder();

  // Starts the gallery page in options.picturesDirectory, or says on
  // standard error why not.
  bool OpenGallery();

  // Each walks or processes to the end, so every map is reported when they
  // return.
  void WalkMapDirectory(const std::string& directory);
  void ProcessMap(const std::string& path) { ProcessMap(path, path); }
  // `openPath` names the same file as `path` (see MapVisitor).
  void ProcessMap(const std::string& path, const std::string& openPath);

  // Closes the info file and the catalogue and returns what went wrong since the last
  // Finish, which the next run then starts without.
  RunSummary Finish();

 private:
  // A map in its turn, with the steps asked of the archive for it, whose
  // files come back in the same order; or a diagnostic line that waits for
  // the maps queued before it, so that standard error follows the walk.
  struct QueuedMap {
    std::string path;
    std::string name;  // for the status line; none for a single map
    std::vector<const RunStep*> steps;
    std::string diagnosis;  // set for a line instead of a map
    // The old catalogue's object for a map unchanged since, which stands
    // for it; the map is not read.
    const PreviousCatalogue::Entry* kept = nullptr;
    // The archive's answer, collected when it comes, which may be before
    // the map's turn: its picture is converted meanwhile.
    std::uint64_t request = 0;  // the archive's number for it
    bool collected = false;
    MapAnswer answer;
    std::vector<ExtractedFile> files;
    std::uint64_t picture = 0;  // the pool's number for its pictures
    bool pictureGiven = false;
  };

  void QueueMap(const std::string& path, std::string_view name, const std::string& openPath);
  void QueueDiagnosis(std::string line);
  // Collects the map's answer and gives its picture, if any, to be
  // converted.
  void Collect(QueuedMap& map);
  // Collects the answers that have come for the maps queued; false when
  // there were none.
  bool CollectAnswered();
  // Picture `number` from the pool, once converted; meanwhile the answers
  // that come are collected and their pictures given, so that neither the
  // workers nor the pool wait on the run.
  ConvertedMap& TakePicture(std::uint64_t number);
  // The map's file `name` when it was asked for and found.
  static const ExtractedFile* FileOf(const QueuedMap& map, const char* name);
  // The file that followed those asked for: the loading screen's picture,
  // when it was asked for and the map opened.
  static const ExtractedFile* LoadingScreenOf(const QueuedMap& map);
  // The loading screen the map information names, as it names it.
  std::string LoadingScreenPath() const;
  // Writes the map's pictures into its folder of the pictures folder and
  // notes them, and those that could not be made, in the record.
  void PublishPictures(const QueuedMap& map, MapPictures& pictures);
  // The map's folder in the pictures folder: named after the map file, with
  // a number for a second map of the same name in the run.
  std::string PictureFolder(const std::string& path);
  void ProcessQueuedMap();
  void ProcessInTurn(QueuedMap& map);
  // The old catalogue's entry for the map when it holds one for the map as
  // it is now, read the way this run reads.
  const PreviousCatalogue::Entry* Unchanged(const std::string& path, const std::string& openPath) const;
  void ProcessKept(const QueuedMap& map);
  // The first map of the run with this checksum, or "" when this map is
  // the first; in walk order either way.
  std::string FirstWithChecksum(const std::string& sha1, const std::string& path);
  // The maps' files asked for that the map lacks, into the record.
  void NoteMissingFiles(const QueuedMap& map);
  void FinishMaps();
  // Reports a work-file error of an extracted file, once per run. False
  // when the map lacks the file.
  bool Accept(const std::string& path, const char* name, const ExtractedFile& file);
  // The file's bytes from the work file. Returns 0 or the error number.
  int ReadExtracted(const ExtractedFile& file, std::span<const std::byte>& data);
  void Parse(const std::string& path, const RunStep& step, const ExtractedFile& file);
  void ExportMinimap(const std::string& path, const ConvertedMinimap& picture);
  // Reports the first failed write of the info file.
  void InfoFileWritten(int error);
  // The map's record as the catalogue's next line, and the gallery's
  // next card.
  void WriteCatalogue();
  // Reports the first failed write of the catalogue.
  void CatalogueWritten(int error);

  MapArchive& archive_;
  WorkFile& workFile_;
  Reporter& reporter_;
  InfoWriter info_;
  CatalogueWriter catalogue_;
  // Its first error is kept and said when it ends.
  GalleryPage gallery_;
  PreviousCatalogue previous_;
  // How many maps of each file name have a folder in the pictures folder.
  std::unordered_map<std::string, int> pictureFolders_;
  // Each checksum met, with the first map that had it.
  std::unordered_map<std::string, std::string> firstWithChecksum_;
  TriggerStringTable triggerStrings_;
  // What the map in hand has yielded so far.
  MapRecord record_;
  ScratchBuffer readBuffer_;
  MinimapPool minimaps_;
  std::vector<const char*> names_;
  std::deque<QueuedMap> queued_;
  RunSummary summary_;
};

}  // namespace korvanel
