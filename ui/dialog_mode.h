// The dialog mode: load the archive library, show the main dialog until
// it is closed, release the library.
#pragma once

namespace korvanel {

class ExtractorApp;

// Returns the process's exit status. Uses the running QApplication when
// there is one, else makes its own from argc and argv.
int RunDialogMode(ExtractorApp& app, int argc, char** argv);

}  // namespace korvanel
