// The command line: `<source_dir/source_file> [/s] [/i <info_file>] [/a|/o]
// [/m <minimap_dest_dir>]` and the help switches.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "app/run_options.h"

namespace korvanel {

// The run's options as given, and what only the command line has. The
// info file's path and the minimap folder are as typed; the run resolves
// the source and normalises the minimap folder.
struct CommandLine {
  bool usage = false;  // print the usage text and do nothing else
  bool help = false;   // a help switch asked for it (not a mistake)
  bool extensionsHelp = false;  // and the Linux extensions after it (--help, -h)
  bool version = false;         // print the version and do nothing else
  // What was wrong, for standard error, when a mistake set `usage`.
  std::string_view problem;
  std::string source;  // as typed
  RunOptions options;
};

// POSIX: the shell has split and unquoted, so each argument is one token
// and a value is the next argument whole. Absolute paths begin with "/", so
// an unknown "/..." token is a path, and "-s -i -a -o -m" work as well.
CommandLine ParseCommandLine(const std::vector<std::string>& arguments);

// No arguments, or only blank ones: the dialog is wanted.
bool IsBlankCommandLine(const std::vector<std::string>& arguments);

extern const std::string_view kUsageText;
// The mistakes of an --update.
inline constexpr std::string_view kUpdateWithoutCatalogue = "--update needs --json FILE, the catalogue to update";
inline constexpr std::string_view kUpdateWithOtherOutputs =
    "--update reads only the maps that changed, so it writes the catalogue alone: leave out /i, /m and --pictures";
inline constexpr std::string_view kPicturesWithoutFolder = "--pictures needs the folder to write the pictures into";
inline constexpr std::string_view kGalleryWithoutFolder = "--gallery needs the folder to write the page and the pictures into";
inline constexpr std::string_view kGalleryAndOtherPictures =
    "--gallery DIR writes the pictures into DIR: leave out --pictures or give it the same folder";
// Printed after kUsageText for --help and -h.
extern const std::string_view kExtensionsHelpText;
// "korvanel" and the version, one line.
extern const std::string_view kVersionText;

}  // namespace korvanel
