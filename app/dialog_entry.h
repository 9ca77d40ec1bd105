// How the program reaches the dialog: Qt lives in a module beside the
// program, loaded only when the dialog is wanted, with one C entry point.
// Both sides include this, so it lives with the program and is free of Qt.
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
