#include "app/extractor_app.h"

#include <utility>

#include "app/command_line.h"
#include "app/console_reporter.h"
#include "app/paths.h"
#include "app/run_context.h"
#include "platform/file.h"

namespace korvanel {

ExtractorApp::ExtractorApp() {
  RemoveAbandonedWorkFiles();
  workFileError_ = workFile_.Create();
}

ExtractorApp::~ExtractorApp() { workFile_.Delete(); }

void ExtractorApp::ReportWorkFileError(Reporter& reporter) {
  if (workFileError_ == 0) return;
  reporter.Report(WorkFileNotCreated(workFileError_), Icon::kStop);
  workFileError_ = 0;
}

ExtractorApp::LoadedLibrary ExtractorApp::LoadLibrary() {
  std::vector<std::string> tried;
  if (LoadArchiveLibrary(archive_, libraryName, &tried)) return LoadedLibrary(&archive_);
  ConsoleReporter().Diagnose(LibraryLoadDiagnostic(libraryName, tried));
  return LoadedLibrary(nullptr);
}

int ExtractorApp::Run(const std::vector<std::string>& arguments) {
  if (!IsBlankCommandLine(arguments)) return RunCommandLine(arguments);
  if (dialog_) return dialog_(*this);
  ConsoleReporter console;
  console.Write(kUsageText);
  return kExitUsage;
}

int ExtractorApp::RunCommandLine(const std::vector<std::string>& arguments) {
  CommandLine cl = ParseCommandLine(arguments);
  // The catalogue has standard output to itself.
  const bool catalogueOnOutput = cl.options.cataloguePath == CatalogueWriter::kStandardOutput;
  ConsoleReporter console(catalogueOnOutput ? 2 : 1);
  struct LineEnd {
    ConsoleReporter& console;
    ~LineEnd() { console.FinishLine(); }
  } lineEnd{console};

  bool failed = workFileError_ != 0;
  ReportWorkFileError(console);

  if (cl.version) {
    console.Write(kVersionText);
    return kExitOk;
  }
  if (cl.usage) {
    if (!cl.problem.empty()) console.Diagnose(cl.problem);
    console.Write(kUsageText);
    if (cl.extensionsHelp) console.Write(kExtensionsHelpText);
    return cl.help ? kExitOk : kExitUsage;
  }
  const LoadedLibrary library = LoadLibrary();
  if (!library) {
    console.Report(kLibraryLoadError, Icon::kStop);
    return kExitErrors;
  }

  RunContext run(archive_, workFile_, console);
  run.options = std::move(cl.options);
  const std::string source = AsTypedOrTrimmed(cl.source);
  run.options.minimapDirectory = EndWithSeparator(AsTypedOrTrimmed(run.options.minimapDirectory));
  // Every check that can stop the run comes before any file is created or
  // emptied, so a run that does nothing changes nothing.
  if (run.options.writeMinimaps && !IsExistingDirectory(run.options.minimapDirectory)) {
    console.Report(kInvalidMinimapDirectory, Icon::kStop);
    console.Report(run.options.minimapDirectory, Icon::kStop);
    console.Report("\n", Icon::kStop);
    return kExitErrors;
  }
  if (!run.options.picturesDirectory.empty() && !run.SettlePicturesFolder()) return kExitErrors;
  if (const int error = PathError(source)) {
    // Reported as a map that cannot be opened, as a missing one always was.
    console.Diagnose(SourceDiagnostic(source, error));
    console.Report(MapNotOpened(source), Icon::kStop);
    return kExitErrors;
  }
  if (!run.options.cataloguePath.empty() && !run.OpenCatalogue(source)) return kExitErrors;
  if (run.options.gallery && !run.OpenGallery()) return kExitErrors;

  if (run.options.writeInfoFile && !run.OpenInfoFile(run.options.infoFilePath, source)) {
    console.Report(kInfoFileNotCreated, Icon::kStop);
    console.Report(kUnknownReason, Icon::kStop);
    failed = true;
  }
  const bool catalogued = run.IsCatalogueOpen();
  if (IsExistingDirectory(source)) {
    run.WalkMapDirectory(EndWithSeparator(source));
  } else {
    run.ProcessMap(source);
  }
  const RunSummary summary = run.Finish();
  if (catalogued && !summary.catalogueFailed)
    console.Diagnose(CatalogueSummaryDiagnostic(run.options.cataloguePath, summary.mapsProcessed, summary.duplicates,
                                                summary.kept, run.options.updateCatalogue));
  return summary.Failed() || failed ? kExitErrors : kExitOk;
}

}  // namespace korvanel
