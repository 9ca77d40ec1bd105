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

ExtractorApp::~ExtractorApp() {
  archive_.ReleaseArchiveLibrary();
  workFile_.Delete();
}

void ExtractorApp::ReportWorkFileError(Reporter& reporter) {
  if (workFileError_ == 0) return;
  reporter.Report("ERROR!\nUnable to create the temporary file!\nReason:\n" + ErrorReason(workFileError_), Icon::kStop);
  workFileError_ = 0;
}

std::string LibraryLoadDiagnostic(const std::string& name, const std::vector<std::string>& tried) {
  std::string line = "cannot load " + name + " (tried";
  const char* separator = " ";
  for (const std::string& place : tried) {
    line += separator;
    line += place.starts_with('/') ? place : "the system's library path";
    separator = ", ";
  }
  return line + "); Debian and Ubuntu ship it in the package libstorm9";
}

bool ExtractorApp::LoadLibrary() {
  std::vector<std::string> tried;
  if (LoadArchiveLibrary(archive_, libraryName, &tried)) return true;
  ConsoleReporter().Diagnose(LibraryLoadDiagnostic(libraryName, tried));
  return false;
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
    return cl.help ? kExitOk : kExitUsage;
  }
  if (!LoadLibrary()) {
    console.Report(kLibraryLoadError, Icon::kStop);
    return kExitErrors;
  }

  RunContext run(archive_, workFile_, console);
  run.options = std::move(cl.options);
  run.options.sourcePath = AsTypedOrTrimmed(cl.source);

  if (run.options.writeInfoFile && !run.OpenInfoFile(run.options.infoFilePath)) {
    console.Report("ERROR!\nUnable to create the output file!\nReason:\n", Icon::kStop);
    console.Report("unknown.\n", Icon::kStop);
    failed = true;
  }
  run.options.minimapDirectory = EndWithSeparator(AsTypedOrTrimmed(run.options.minimapDirectory));

  const std::string& source = run.options.sourcePath;
  if (run.options.writeMinimaps && !IsExistingDirectory(run.options.minimapDirectory)) {
    console.Report("ERROR!\nYou entered an invalid path for the minimap directory! Please check the spelling and if the directory really (still?) exists.", Icon::kStop);
    console.Report(run.options.minimapDirectory, Icon::kStop);
    console.Report("\n", Icon::kStop);
    failed = true;
  } else if (IsExistingDirectory(source)) {
    run.WalkMapDirectory(EndWithSeparator(source));
  } else {
    // Reported as a map that cannot be opened, as a missing one always was.
    if (const int error = PathError(source)) console.Diagnose(source + ": " + ErrorText(error));
    run.ProcessMap(source);
  }
  run.CloseInfoFile();
  archive_.ReleaseArchiveLibrary();
  return failed || run.errors.Any() || run.Failures() > 0 ? kExitErrors : kExitOk;
}

}  // namespace korvanel
