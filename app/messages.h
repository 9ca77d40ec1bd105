// Every text a run shows the user, in one place: the messages (standard
// output on the command line, message boxes in the dialog), kept byte for
// byte as users and scripts know them, and the lines for standard error
// that say which path, which embedded file and why.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "archive/map_answer.h"
#include "parsers/picture.h"
#include "platform/file.h"

namespace korvanel {

// --- Start-up ---

inline constexpr char kLibraryLoadError[] =
    "ERROR!\nError loading Storm.dll!\nPlease make sure Warcraft III is properly installed and try to copy storm.dll in the same directory of this program.";

inline std::string WorkFileNotCreated(int error) {
  return "ERROR!\nUnable to create the temporary file!\nReason:\n" + ErrorReason(error);
}

// The standard-error line that goes with kLibraryLoadError: the library,
// the places `tried` as LoadArchiveLibrary lists them, and where to get it.
inline std::string LibraryLoadDiagnostic(const std::string& name, const std::vector<std::string>& tried) {
  std::string line = "cannot load " + name + " (tried";
  const char* separator = " ";
  for (const std::string& place : tried) {
    line += separator;
    line += place.starts_with('/') ? place : "the system's library path";
    separator = ", ";
  }
  return line + "); Debian and Ubuntu ship it in the package libstorm9";
}

// The dialog mode's module could not be loaded or lacks its entry
// (standard error).
inline std::string DialogModuleMissingWhy(const std::string& file, const std::string& folder) {
  return file + " is neither beside the program nor in " + folder;
}
inline std::string DialogNotStartedDiagnostic(const std::string& why) { return "cannot start the dialog: " + why; }

// --- Mistakes of the long options (standard error, before the usage text;
// those of --update also in the dialog, through RunOptions' UpdateProblem) ---

inline constexpr char kUpdateWithoutCatalogue[] = "--update needs --json FILE, the catalogue to update";
inline constexpr char kUpdateWithOtherOutputs[] =
    "--update reads only the maps that changed, so it writes the catalogue alone: leave out /i, /m and --pictures";
inline constexpr char kPicturesWithoutFolder[] = "--pictures needs the folder to write the pictures into";
inline constexpr char kGalleryWithoutFolder[] = "--gallery needs the folder to write the page and the pictures into";
inline constexpr char kGalleryAndOtherPictures[] =
    "--gallery DIR writes the pictures into DIR: leave out --pictures or give it the same folder";
inline constexpr char kJsonWithoutFile[] = "--json needs FILE, the catalogue to write (- for standard output)";
inline std::string JobsValueProblem(std::size_t most) {
  return "--jobs takes a whole number from 1 to " + std::to_string(most);
}

// --- The folders of a run ---

inline constexpr char kInvalidMapsDirectory[] =
    "ERROR!\nYou entered an invalid path for the maps directory! Please check the spelling and if the directory "
    "really (still?) exists.";
inline constexpr char kInvalidMinimapDirectory[] =
    "ERROR!\nYou entered an invalid path for the minimap directory! Please check the spelling and if the directory "
    "really (still?) exists.";

// A source that does not exist, before it is reported as a map that cannot
// be opened.
inline std::string SourceDiagnostic(const std::string& source, int error) { return source + ": " + ErrorText(error); }

// --- The info file ---

inline constexpr char kInfoFileNotCreated[] = "ERROR!\nUnable to create the output file!\nReason:\n";
// The reasons that follow kInfoFileNotCreated besides the system's.
inline constexpr char kInfoFileIsSource[] = "The file is the map this run reads.\n";
inline constexpr char kInfoFileIsMap[] = "The name is a map's (.w3m or .w3x), not an info file's.\n";
inline constexpr char kInfoFileInUse[] = "The file is in use by another process.\n";
// The command line's second message after any failure to open the info file.
inline constexpr char kUnknownReason[] = "unknown.\n";

inline constexpr char kInfoFileIsDirectory[] =
    "ERROR!\nUnable to create output file!\nThe filename you gave is already used by a directory!\nPlease try another name.";
inline constexpr char kInfoFileReadOnly[] = "ERROR!\nUnable to use this output file!\nThe file is Read Only.";
inline constexpr char kInfoFileExistsQuestion[] =
    "WARNING!\nThe output info file you're trying to use already exists.\nDo you want to APPEND (YES) the already "
    "existing file\n or CREATE a NEW (NO) file?";

inline std::string InfoFileWriteError(int error) {
  return "ERROR!\nAn error occured while trying to write in the output file:\n" + ErrorReason(error);
}
// The standard-error line that goes with InfoFileWriteError.
inline std::string InfoFileWriteDiagnostic(const std::string& path, int error) {
  return "cannot write the info file " + path + ": " + ErrorText(error) +
         "; it ends with the last record written whole";
}

// --- Each map ---

inline std::string MapNotOpened(const std::string& path) { return "ERROR!\nUnable to open the map file :\n" + path + "\n"; }
inline std::string ExtractError(int error) {
  return "ERROR!\nError extracting a file from the map file (.w3m).\nReason:\n" + ErrorReason(error);
}
inline std::string ReadBackError(int error) { return "ERROR!\nError reading a W3M file!\nReason:\n" + ErrorReason(error); }

inline std::string FolderNotReadDiagnostic(const std::string& folder, int error) {
  return "cannot read the folder " + folder + ": " + ErrorText(error);
}
inline std::string EntryNotExaminedDiagnostic(const std::string& path, int error) {
  return "cannot examine " + path + ": " + ErrorText(error);
}
// A line naming a map, one of its embedded files, and what went wrong.
inline std::string FileDiagnostic(const std::string& map, std::string_view file, std::string_view why) {
  return map + ": " + std::string(file) + ": " + std::string(why);
}
inline std::string NotExtractedWhy(int error) { return "cannot extract: " + ErrorText(error); }
inline std::string NotReadBackWhy(int error) { return "cannot read back: " + ErrorText(error); }
inline constexpr char kDamagedFileWhy[] = "damaged or of an unknown format; its lines may be missing or incomplete";

// What the catalogue says of a map that did not open, and why not.
inline std::string MapNotOpenedWhy(MapFailure failure, int error) {
  std::string why = "cannot open the map";
  switch (failure) {
    case MapFailure::kUnreadable: return why + ": cannot read the file: " + ErrorText(error);
    case MapFailure::kNotRegularFile: return why + ": not a regular file";
    case MapFailure::kHostileHeader: return why + ": its archive header would break the archive library";
    case MapFailure::kNotArchive: return why + ": the archive library does not take it for a map archive";
    case MapFailure::kLibraryFailed: return why + ": the archive library crashed or hung on it";
    case MapFailure::kNotReady: return why + ": no archive library or work file to read it with";
    case MapFailure::kNone: break;
  }
  return why;
}
// What the catalogue says of an embedded file the map lacks.
inline constexpr char kMissingFileWhy[] = "missing from the map";

// --- The catalogue (standard error) ---

inline std::string CatalogueNotCreatedDiagnostic(const std::string& path, int error) {
  return "cannot create the catalogue " + path + ": " + ErrorText(error);
}
inline std::string CatalogueRefusedDiagnostic(const std::string& path) {
  return "the catalogue " + path + " would replace a map; give it another name";
}
inline std::string CatalogueIsInfoFileDiagnostic(const std::string& path) {
  return "the catalogue " + path + " is the info file; give it another name";
}
inline std::string CatalogueWriteDiagnostic(const std::string& path, int error) {
  return "cannot write the catalogue " + path + ": " + ErrorText(error);
}
inline std::string CatalogueIsFolderDiagnostic(const std::string& path) {
  return "the catalogue " + path + " is a folder; give a file's name";
}
inline std::string CatalogueNotRegularDiagnostic(const std::string& path) {
  return "the catalogue " + path + " is a fifo or socket, not a file; give a file's name, or - for standard output";
}
inline std::string CatalogueReadOnlyDiagnostic(const std::string& path) {
  return "the catalogue " + path + " is read-only";
}
inline std::string CatalogueInUseDiagnostic(const std::string& path) {
  return "the catalogue " + path + " is being written by another run; try again when that one has ended";
}
inline std::string PreviousCatalogueNotReadDiagnostic(const std::string& path, int error) {
  return "cannot read the catalogue " + path + " to update it: " + ErrorText(error) + "; every map is read anew";
}
// Why a line of an old catalogue is not trusted.
inline constexpr char kPreviousLineDamaged[] = "is damaged or cut short";
inline constexpr char kPreviousLineForeign[] = "is not a map of a korvanel catalogue";
inline constexpr char kPreviousLineOtherVersion[] = "is of another catalogue version";
inline std::string PreviousCatalogueRejectedDiagnostic(const std::string& path, std::size_t line, const char* why) {
  return "the catalogue " + path + " cannot be updated: its line " + std::to_string(line) + " " + why +
         "; every map is read anew";
}
// The end of a run that wrote a catalogue.
inline std::string CatalogueSummaryDiagnostic(const std::string& path, int maps, int duplicates, int kept,
                                              bool updated) {
  std::string line = "catalogue " + path + ": " + std::to_string(maps) + (maps == 1 ? " map, " : " maps, ") +
                     std::to_string(duplicates) + (duplicates == 1 ? " duplicate" : " duplicates");
  if (updated) line += ", " + std::to_string(kept) + " unchanged since the last run";
  return line;
}

// --- Minimaps; `mapName` as MinimapMapName gives it ---

inline std::string MinimapExists(const std::string& path) {
  return "ERROR!\nError extracting " + path + "!\nFile already exists (not overwritten).";
}
inline std::string MinimapNotCreated(int error) {
  return "ERROR!\nError creating the minimap file!\nReason:\n" + ErrorReason(error);
}
inline std::string MinimapInvalidBlp(const std::string& mapName) {
  return "ERROR!\nInvalid BLP format!\nThe map \"" + mapName +
         "\" may be a beta map or uses a new BLP format or its BLP is corrupted.";
}
inline std::string MinimapNotDecoded(const std::string& mapName) {
  return "ERROR!\nAn error occured while using the Intel(R) JPEG Library for the map:\n" + mapName;
}
inline std::string MinimapNotWritten(const std::string& mapName) {
  return "ERROR!\nError writing the minimap file for map " + mapName;
}
// The standard-error line that goes with MinimapNotWritten when the file
// could not be written (a full disk, a quota).
inline std::string MinimapNotWrittenDiagnostic(const std::string& path, int error) {
  return "cannot write the minimap file " + path + ": " + ErrorText(error);
}

// What the catalogue says of a minimap that was not written.
inline std::string MinimapExistsWhy(const std::string& path) { return "the minimap file exists already: " + path; }
inline std::string MinimapNotCreatedWhy(int error) { return "cannot create the minimap file: " + ErrorText(error); }
inline constexpr char kMinimapInvalidBlpWhy[] = "not a picture of the kind the minimap is made from";
inline constexpr char kMinimapNotDecodedWhy[] = "the picture cannot be decoded";
inline constexpr char kMinimapNotWrittenWhy[] = "the minimap file cannot be written";

// --- The pictures of --pictures ---

inline std::string_view PictureErrorText(PictureError error) {
  switch (error) {
    case PictureError::kTruncated: return "the data ends before what its header announces";
    case PictureError::kUnsupported: return "a kind of picture this program does not decode";
    case PictureError::kTooLarge: return "it claims to be larger than 4096 pixels a side or 2048 x 2048 pixels in all";
    case PictureError::kDamaged: return "damaged";
    case PictureError::kNone: break;
  }
  return "";
}
inline std::string PictureNotMadeWhy(std::string_view kind, PictureError error) {
  return "no " + std::string(kind) + " picture: " + std::string(PictureErrorText(error));
}
inline std::string PictureFolderWhy(const std::string& folder, int error) {
  return "cannot make the pictures folder " + folder + ": " + ErrorText(error);
}
inline std::string PictureFolderDiagnostic(const std::string& folder, int error) { return PictureFolderWhy(folder, error); }
inline std::string PictureExistsWhy(const std::string& file) {
  return "the picture " + file + " exists already with other content (not replaced)";
}
inline std::string PictureNotWrittenWhy(const std::string& file, int error) {
  return "cannot write the picture " + file + ": " + ErrorText(error);
}
inline std::string GalleryNotWrittenDiagnostic(const std::string& folder, int error) {
  return "the gallery page " + folder + "index.html was not written (the one before, if any, stays): " + ErrorText(error);
}
inline std::string PicturesFolderMissing(const std::string& folder) {
  return "the pictures folder " + folder + " does not exist; make it first";
}

// --- The dialog's summary of a run ---

inline constexpr char kRunHadErrors[] =
    "WARNING!\nOne or several errors occured while processing directories.\nAll files may not be fully analysed.";
inline constexpr char kRunSucceeded[] = "Extraction done successfully!";

}  // namespace korvanel
