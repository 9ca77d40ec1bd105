// How the program reaches the dialog: Qt lives in a module beside the
// program, loaded only when the dialog is wanted, with one C entry point.
// This header is free of Qt so the program can include it.
#pragma once

namespace korvanel {

class ExtractorApp;

inline constexpr char kDialogModuleFile[] = "korvanel-dialog.so";
inline constexpr char kDialogEntryName[] = "korvanel_run_dialog";
// Returns the process's exit status.
using DialogEntry = int (*)(ExtractorApp* app, int argc, char** argv);

// Follows the usage text when the dialog is wanted but cannot be shown.
inline constexpr char kNoDisplayText[] =
    "The dialog needs a display, and none is available; give a map folder or file to use the command line.\n";

}  // namespace korvanel
