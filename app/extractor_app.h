// The program: owns the archive library binding and the work file for the
// life of the process, decides the mode and runs it.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "app/messages.h"
#include "archive/map_archive.h"
#include "archive/work_file.h"

namespace korvanel {

class Reporter;

// Exit statuses of the command-line mode.
inline constexpr int kExitOk = 0;
inline constexpr int kExitErrors = 1;
inline constexpr int kExitUsage = 2;

class ExtractorApp {
 public:
  // Removes abandoned work files and creates this run's.
  ExtractorApp();
  // Deletes the work file.
  ~ExtractorApp();

  // Runs the mode that `arguments` (without the program name) ask for and
  // returns the process's exit status.
  int Run(const std::vector<std::string>& arguments);
  int RunCommandLine(const std::vector<std::string>& arguments);

  // The dialog mode lives outside this library; without it, the usage text
  // is printed instead.
  using DialogMode = std::function<int(ExtractorApp&)>;
  void SetDialogMode(DialogMode dialog) { dialog_ = std::move(dialog); }

  MapArchive& Archive() { return archive_; }
  WorkFile& Work() { return workFile_; }
  // Reports a failed work-file creation through `reporter`, once.
  void ReportWorkFileError(Reporter& reporter);
  // The archive library for one mode's run: released when this ends.
  class LoadedLibrary {
   public:
    explicit LoadedLibrary(MapArchive* archive) : archive_(archive) {}
    LoadedLibrary(const LoadedLibrary&) = delete;
    LoadedLibrary& operator=(const LoadedLibrary&) = delete;
    ~LoadedLibrary() {
      if (archive_) archive_->ReleaseArchiveLibrary();
    }
    // False when it could not be loaded.
    explicit operator bool() const { return archive_ != nullptr; }

   private:
    MapArchive* archive_;
  };
  // Loads the archive library named by libraryName; when it cannot, says
  // on standard error where it looked. The caller shows kLibraryLoadError.
  LoadedLibrary LoadLibrary();
  // Which library file to load; tests point it elsewhere.
  std::string libraryName = kArchiveLibraryName;

 private:
  WorkFile workFile_;
  MapArchive archive_{workFile_};
  int workFileError_ = 0;
  DialogMode dialog_;
};

}  // namespace korvanel
