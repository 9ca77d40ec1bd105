// The settings of one run, filled from the command line or the dialog.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "output/info_writer.h"

namespace korvanel {

struct RunOptions {
  bool includeSubdirectories = false;
  bool writeInfoFile = false;
  std::string infoFilePath;
  // What becomes of an info file that exists already (the command line's
  // /a and /o); unset, the user is asked (the dialog).
  std::optional<ExistingInfoFile> existingInfoFile;
  bool writeMinimaps = false;
  std::string minimapDirectory;  // ends in a separator by the time maps are read
  // The catalogue's path, "-" for standard output; empty for none.
  std::string cataloguePath;
  // --update: the catalogue's maps that have not changed are kept as they
  // are, without being read.
  bool updateCatalogue = false;
  // How many archive workers share the maps (--jobs); 0: one for each
  // processor the run may use.
  unsigned jobs = 0;
  // --pictures: every picture of each map, in a folder of its own under
  // this one (ends in a separator); empty for none.
  std::string picturesDirectory;
  // --gallery: also a page of every map, index.html in picturesDirectory.
  bool gallery = false;
  // --w3x: .w3x maps too, and the file layouts of later editors.
  bool laterFormats = false;
};

// What is wrong with an update asked for with these options (a text of
// app/messages.h), or "" when nothing is: the command line and the dialog
// refuse the same combinations.
std::string_view UpdateProblem(const RunOptions& options);

}  // namespace korvanel
