#include "app/extractor_app.h"

#include <utility>

#include "app/command_line.h"
#include "app/console_reporter.h"
#include "app/paths.h"
#include "app/run_context.h"
#include "platform/file.h"
#include "platform/process.h"

namespace korvanel {

ExtractorApp::ExtractorApp() {
  ReserveStandardDescriptors();
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
  ConsoleReporter console;
  struct LineEnd {
    ConsoleReporter& console;
    ~LineEnd() { console.FinishLine(); }
  } lineEnd{console};

  bool failed = workFileError_ != 0;
  ReportWorkFileError(console);

  CommandLine cl = ParseCommandLine(arguments);
  if (cl.usage) {
    console.Write(kUsageText);
    if (cl.extensionHelp) console.Write(kExtensionHelpText);
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

  if (run.options.writeInfoFile && !run.OpenInfoFile(run.options.infoFilePath, source)) {
    console.Report(kInfoFileNotCreated, Icon::kStop);
    console.Report(kUnknownReason, Icon::kStop);
    failed = true;
  }
  run.options.minimapDirectory = EndWithSeparator(AsTypedOrTrimmed(run.options.minimapDirectory));

  if (run.options.writeMinimaps && !IsExistingDirectory(run.options.minimapDirectory)) {
    console.Report(kInvalidMinimapDirectory, Icon::kStop);
    console.Report(run.options.minimapDirectory, Icon::kStop);
    console.Report("\n", Icon::kStop);
    failed = true;
  } else if (IsExistingDirectory(source)) {
    run.WalkMapDirectory(EndWithSeparator(source));
  } else {
    // Reported as a map that cannot be opened, as a missing one always was.
    if (const int error = PathError(source)) console.Diagnose(SourceDiagnostic(source, error));
    run.ProcessMap(source);
  }
  return run.Finish().Failed() || failed ? kExitErrors : kExitOk;
}

}  // namespace korvanel
