// The module's one entry point. The core classes it uses are the
// program's own, exported by the executable.
#include <type_traits>

#include "app/dialog_entry.h"
#include "app/extractor_app.h"
#include "ui/dialog_mode.h"

extern "C" __attribute__((visibility("default"))) int korvanel_run_dialog(korvanel::ExtractorApp* app, int argc,
                                                                           char** argv) {
  return korvanel::RunDialogMode(*app, argc, argv);
}

// The entry must keep the type the program calls it through.
static_assert(std::is_same_v<decltype(&korvanel_run_dialog), korvanel::DialogEntry>);
