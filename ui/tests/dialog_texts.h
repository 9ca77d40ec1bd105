// The dialog's messages, written out here so the tests check them byte
// for byte.
#pragma once

#include <string>

namespace korvanel::test {

inline const std::string kNoMapsFolder = "Parameter not set:\nMaps directory!\n\nWhere are the maps (.w3m files)?!";
inline const std::string kNoInfoFile =
    "Parameter not set:\nOuput file!\n\nWhere should I write maps info if I have no file to write in?!";
inline const std::string kNoMinimapFolder =
    "Parameter not set:\nMinimap output directory!\n\nWhere will I put the minimaps I will extract if I don't have a "
    "directory where I can put them?!";
inline const std::string kNothingToDo =
    "Nothing to do!\nMaybe you should check at least one of the two checkboxes of the output part...";
inline const std::string kBadMapsFolder =
    "ERROR!\nYou entered an invalid path for the maps directory! Please check the spelling and if the directory "
    "really (still?) exists.";
inline const std::string kBadMinimapFolder =
    "ERROR!\nYou entered an invalid path for the minimap directory! Please check the spelling and if the directory "
    "really (still?) exists.";
inline const std::string kRunWarning =
    "WARNING!\nOne or several errors occured while processing directories.\nAll files may not be fully analysed.";
inline const std::string kRunDone = "Extraction done successfully!";
inline const std::string kAppendQuestion =
    "WARNING!\nThe output info file you're trying to use already exists.\nDo you want to APPEND (YES) the already "
    "existing file\n or CREATE a NEW (NO) file?";
inline const std::string kPleaseWait = "Processing ... Please wait...";
inline const std::string kStopQuestion = "A run is under way.\nStop it after the map being processed?";
inline const std::string kStopping = "Stopping after the map being processed...";
// The refusals the command line puts on standard error after "korvanel: ".
inline std::string CatalogueIsFolder(const std::string& path) {
  return "the catalogue " + path + " is a folder; give a file's name";
}
inline std::string CatalogueIsInfoFile(const std::string& path) {
  return "the catalogue " + path + " is the info file; give it another name";
}
inline std::string CatalogueIsMap(const std::string& path) {
  return "the catalogue " + path + " would replace a map; give it another name";
}
inline std::string PicturesFolderMissing(const std::string& folder) {
  return "the pictures folder " + folder + " does not exist; make it first";
}
inline const std::string kUpdateAlone =
    "--update reads only the maps that changed, so it writes the catalogue alone: leave out /i, /m and --pictures";
inline const std::string kUpdateNeedsCatalogue = "--update needs --json FILE, the catalogue to update";

}  // namespace korvanel::test
