// The settings of one run, filled from the command line or the dialog.
#pragma once

#include <string>

namespace korvanel {

struct RunOptions {
  std::string sourcePath;
  bool includeSubdirectories = false;
  bool writeInfoFile = false;
  std::string infoFilePath;
  bool appendInfoFile = false;
  bool overwriteInfoFile = false;
  bool writeMinimaps = false;
  std::string minimapDirectory;  // ends in a separator by the time maps are read
  bool consoleMode = false;
};

}  // namespace korvanel
