#include <cstdlib>
#include <string>
#include <unistd.h>
#include <vector>

#include "app/command_line.h"
#include "app/console_reporter.h"
#include "app/dialog_entry.h"
#include "app/extractor_app.h"
#include "app/messages.h"
#include "platform/dynamic_library.h"
#include "platform/process.h"

namespace {

using korvanel::ConsoleReporter;

// Without one of these the toolkit has nowhere to show a window.
bool HasDisplay() {
  for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"}) {
    const char* value = std::getenv(name);
    if (value && *value) return true;
  }
  return false;
}

// The dialog and Qt are loaded only here, so the command line never pays
// for them. Built, the module sits beside the program; installed, in the
// library folder.
int RunDialog(korvanel::ExtractorApp& app, int argc, char** argv) {
  ConsoleReporter console;
  if (!HasDisplay()) {
    console.Write(korvanel::kUsageText);
    console.Write(korvanel::kNoDisplayText);
    return korvanel::kExitUsage;
  }
  // Never unloaded: Qt is not made to be taken out of a running process.
  static auto* module = new korvanel::DynamicLibrary;
  const std::string folder = korvanel::ProgramDirectory();
  std::string error = korvanel::DialogModuleMissingWhy(korvanel::kDialogModuleFile, folder + KORVANEL_DIALOG_MODULE_DIR);
  for (const std::string& candidate : {folder + korvanel::kDialogModuleFile,
                                       folder + KORVANEL_DIALOG_MODULE_DIR "/" + korvanel::kDialogModuleFile}) {
    if (::access(candidate.c_str(), F_OK) != 0) continue;
    if (module->Load(candidate)) break;
    error = module->LastError();
  }
  auto entry = reinterpret_cast<korvanel::DialogEntry>(module->Entry(korvanel::kDialogEntryName));
  if (!entry) {
    if (module->IsLoaded()) error = module->LastError();
    console.Diagnose(korvanel::DialogNotStartedDiagnostic(error));
    return korvanel::kExitUsage;
  }
  return entry(&app, argc, argv);
}

}  // namespace

int main(int argc, char** argv) {
  // Before anything opens a file: started with `<&-`, `>&-` or `2>&-`, a
  // file of ours given number 0, 1 or 2 would receive the messages, or lose
  // its bytes to a library that closes "standard input".
  korvanel::ReserveStandardDescriptors();
  std::vector<std::string> arguments(argv + 1, argv + argc);
  korvanel::ExtractorApp app;
  app.SetDialogMode([argc, argv](korvanel::ExtractorApp& self) { return RunDialog(self, argc, argv); });
  return app.Run(arguments);
}
