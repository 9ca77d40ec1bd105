#include "app/command_line.h"

#include <algorithm>
#include <charconv>

#include "app/messages.h"
#include "archive/map_archive.h"
#include "platform/text.h"

namespace korvanel {
namespace {

bool IsAnyOf(std::string_view token, std::initializer_list<std::string_view> names) {
  return std::any_of(names.begin(), names.end(), [&](std::string_view n) { return EqualsNoCase(token, n); });
}

enum class Switch { kNone, kSubdirectories, kAppend, kOverwrite, kHelp, kLongHelp, kInfo, kMinimaps, kJson, kVersion, kJobs, kW3x, kUpdate, kPictures, kGallery };

// "-s -a -o -i -m" work as well as the slashed switches.
Switch Classify(std::string_view token) {
  auto is = [&](std::string_view slash) {
    return EqualsNoCase(token, slash) || (token.size() == 2 && token[0] == '-' && EqualsNoCase(token.substr(1), slash.substr(1)));
  };
  if (is("/s")) return Switch::kSubdirectories;
  if (is("/a")) return Switch::kAppend;
  if (is("/o")) return Switch::kOverwrite;
  if (token == "--help" || token == "-h") return Switch::kLongHelp;
  if (IsAnyOf(token, {"/?", "-?", "/help", "-help", "--help", "?"})) return Switch::kHelp;
  if (token == "--json") return Switch::kJson;
  if (token == "--version") return Switch::kVersion;
  if (token == "--w3x") return Switch::kW3x;
  if (token == "--update") return Switch::kUpdate;
  if (token == "--pictures") return Switch::kPictures;
  if (token == "--gallery") return Switch::kGallery;
  if (is("/i")) return Switch::kInfo;
  if (is("/m")) return Switch::kMinimaps;
  if (token == "--jobs" || token.starts_with("--jobs=")) return Switch::kJobs;
  return Switch::kNone;
}

// The value of "/i" or "/m", the argument after it whole. A missing one,
// or another switch in its place, is a mistake: taken as a path, "/m" alone
// would put the pictures in the root folder and "/i /s" would write an info
// file named "/s".
using Arguments = std::vector<std::string>::const_iterator;
bool TakeValue(Arguments& next, Arguments end, std::string& value) {
  if (next == end) return false;
  value = *next++;
  return !value.empty() && Classify(value) == Switch::kNone;
}

// "--jobs N" or "--jobs=N", N from 1 to kMaxArchiveWorkers.
bool TakeJobs(std::string_view token, Arguments& next, Arguments end, unsigned& jobs) {
  std::string_view value = token.substr(std::string_view("--jobs").size());
  if (value.empty()) {
    if (next == end) return false;
    value = *next++;
  } else {
    value.remove_prefix(1);
  }
  const auto [stop, error] = std::from_chars(value.data(), value.data() + value.size(), jobs);
  return error == std::errc() && stop == value.data() + value.size() && jobs >= 1 && jobs <= kMaxArchiveWorkers;
}

}  // namespace

CommandLine ParseCommandLine(const std::vector<std::string>& arguments) {
  CommandLine cl;
  // Nobody to ask on the command line: without /a or /o an existing info
  // file is left alone.
  cl.options.existingInfoFile = ExistingInfoFile::kLeaveAlone;
  for (auto next = arguments.begin(); next != arguments.end();) {
    const std::string& token = *next++;
    const Switch option = Classify(token);
    switch (option) {
      case Switch::kSubdirectories:
        cl.options.includeSubdirectories = true;
        break;
      case Switch::kAppend:  // /a wins over /o, in either order
        cl.options.existingInfoFile = ExistingInfoFile::kAppend;
        break;
      case Switch::kOverwrite:
        if (cl.options.existingInfoFile != ExistingInfoFile::kAppend) cl.options.existingInfoFile = ExistingInfoFile::kStartAnew;
        break;
      case Switch::kHelp:
        cl.usage = cl.help = true;
        break;
      case Switch::kJobs:
        if (!TakeJobs(token, next, arguments.end(), cl.options.jobs)) {
          cl.usage = true;
          cl.problem = JobsValueProblem(kMaxArchiveWorkers);
        }
        break;
      case Switch::kLongHelp:
        cl.usage = cl.help = cl.extensionsHelp = true;
        break;
      case Switch::kVersion:
        cl.version = true;
        break;
      case Switch::kW3x:
        cl.options.laterFormats = true;
        break;
      case Switch::kUpdate:
        cl.options.updateCatalogue = true;
        break;
      case Switch::kPictures:
      case Switch::kGallery: {
        // The page shows the pictures from beside them: one folder for both,
        // and --pictures no longer moves it once --gallery has named it.
        const bool gallery = option == Switch::kGallery;
        // The folder this one must equal: any named before for --gallery,
        // the gallery's for --pictures.
        const bool bound = gallery ? !cl.options.picturesDirectory.empty() : cl.options.gallery;
        std::string folder;
        if (!TakeValue(next, arguments.end(), folder)) {
          cl.usage = true;
          cl.problem = gallery ? kGalleryWithoutFolder : kPicturesWithoutFolder;
        } else if (bound && cl.options.picturesDirectory != folder) {
          cl.usage = true;
          cl.problem = kGalleryAndOtherPictures;
        }
        if (gallery || !cl.options.gallery) cl.options.picturesDirectory = folder;
        cl.options.gallery = cl.options.gallery || gallery;
        break;
      }
      case Switch::kJson:
        if (!TakeValue(next, arguments.end(), cl.options.cataloguePath)) {
          cl.usage = true;
          cl.problem = kJsonWithoutFile;
        }
        break;
      case Switch::kInfo:
        cl.options.writeInfoFile = true;
        if (!TakeValue(next, arguments.end(), cl.options.infoFilePath)) cl.usage = true;
        break;
      case Switch::kMinimaps:
        cl.options.writeMinimaps = true;
        if (!TakeValue(next, arguments.end(), cl.options.minimapDirectory)) cl.usage = true;
        break;
      case Switch::kNone:
        if (cl.source.empty()) {
          cl.source = token;
        } else {
          cl.usage = true;
        }
        break;
    }
  }
  if (cl.source.empty()) cl.usage = true;
  if (const std::string_view problem = UpdateProblem(cl.options); !problem.empty()) {
    cl.usage = true;
    cl.problem = problem;
  }
  return cl;
}

bool IsBlankCommandLine(const std::vector<std::string>& arguments) {
  return std::all_of(arguments.begin(), arguments.end(),
                     [](const std::string& a) { return TrimWhiteSpace(a).empty(); });
}

const std::string_view kUsageText =
    "Korvanel v1.2\n"
    "--------------------\n"
    "\n"
    "\n"
    "Syntax:\n"
    " Korvanel <source_dir/source_file> [/s] [/i <info_file>] [/a|/o] [/m <minimap_dest_dir>]\n"
    "\n"
    " source_dir/source_file : the source directory or the source single file\n"
    " /s                     : include subdirectories (ignored in case of a single file)\n"
    " /i info_file           : generate a \"info_file\" info file that contains map statistics\n"
    " /a                     : append an info file (do not overwrite an existing file)\n"
    " /o                     : overwrite an existing info file\n"
    " /m minimap_dest_dir    : output minimaps in the \"minimap_dest_dir\" directory\n"
    "\n"
    "Example:\n"
    " Korvanel \"C:\\Program Files\\Warcraft III\\\" /s /i \"C:\\Program Files\\Warcraft III\\MyMaps.txt\" /m \"C:\\Program Files\\Warcraft III\\Minimaps\\\"\n";

const std::string_view kExtensionsHelpText =
    "\n"
    "Linux extensions:\n"
    " --json FILE            : write a catalogue of the maps to FILE, one JSON object per map and line (\"-\": standard\n"
    "                          output, the messages then go to standard error)\n"
    " --jobs N               : read N maps at once (1 to 64; default: one for each processor)\n"
    " -h, --help             : print this help\n"
    " --pictures DIR         : write every picture of each map (minimap, preview, minimap with its start\n"
    "                          locations and gold mines, with --w3x the loading screen it imports) as\n"
    "                          DIR/<map file name>/*.png, *.jpg\n"
    " --gallery DIR          : --pictures DIR, and DIR/index.html: a page of every map as a card, with its\n"
    "                          picture, name, author, players, size, status and copies, to filter and sort\n"
    " --update               : with --json FILE, keep the objects of the maps that did not change since FILE was\n"
    "                          written, read the others, drop the maps that are gone (no /i, /m, --pictures,\n"
    "                          --gallery)\n"
    " --version              : print the program's name and version\n"
    " --w3x                  : also read *.w3x maps and the file formats of later editors\n";

const std::string_view kVersionText = "korvanel " KORVANEL_VERSION "\n";

}  // namespace korvanel
