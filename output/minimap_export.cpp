// Each map's preview picture, written as "<map name>.jpg" into the minimap
// folder. An existing file is never replaced, and a failed conversion
// leaves nothing behind.
#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "app/run_context.h"
#include "archive/work_file.h"
#include "output/minimap_name.h"
#include "platform/cleanup.h"

namespace korvanel {

void RunContext::ExportMinimap(const std::string& path, const ExtractedFile& picture) {
  if (!Accept(path, kMinimapFileName, picture)) return;
  const std::string baseName = MinimapBaseName(path);
  const std::string outputPath = options.minimapDirectory + baseName + ".jpg";

  struct stat st {};
  if (::lstat(outputPath.c_str(), &st) == 0) {
    reporter_.Report("ERROR!\nError extracting " + outputPath + "!\nFile already exists (not overwritten).", Icon::kExclamation);
    return;
  }
  // Exclusive creation: a file made by someone else since the check above
  // is still not overwritten. Created and registered for removal with
  // signals held back, so a run stopped halfway leaves no broken picture.
  sigset_t stopping, previous;
  sigemptyset(&stopping);
  for (int signal : {SIGINT, SIGTERM, SIGHUP}) sigaddset(&stopping, signal);
  sigprocmask(SIG_BLOCK, &stopping, &previous);
  File output(::open(outputPath.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666));
  const int error = errno;
  if (output.IsOpen()) RemovePartialOnSignal(outputPath);
  sigprocmask(SIG_SETMASK, &previous, nullptr);
  if (!output.IsOpen()) {
    if (error == EEXIST) {
      reporter_.Report("ERROR!\nError extracting " + outputPath + "!\nFile already exists (not overwritten).", Icon::kExclamation);
      return;
    }
    reporter_.Report("ERROR!\nError creating the minimap file!\nReason:\n" + ErrorReason(error), Icon::kExclamation);
    errors.minimapFailed = true;
    return;
  }

  // A picture that cannot be read back counts as unreadable data.
  std::span<const std::byte> blp;
  ReadExtracted(picture, blp);
  MinimapStage stage = minimaps_.Convert(blp, output, 85);
  if (stage == MinimapStage::kDone && output.Close() != 0) stage = MinimapStage::kEncode;
  ForgetPartial();
  if (stage == MinimapStage::kDone) {
    WriteInfoText("Minimap File:      " + outputPath + "\r\n");
    return;
  }
  output.Close();
  ::unlink(outputPath.c_str());
  errors.minimapFailed = true;
  const std::string mapName = MinimapMapName(baseName);
  switch (stage) {
    case MinimapStage::kHeader:
      reporter_.Report("ERROR!\nInvalid BLP format!\nThe map \"" + mapName + "\" may be a beta map or uses a new BLP format or its BLP is corrupted.", Icon::kExclamation);
      break;
    case MinimapStage::kDecode:
      reporter_.Report("ERROR!\nAn error occured while using the Intel(R) JPEG Library for the map:\n" + mapName, Icon::kExclamation);
      break;
    default:
      reporter_.Report("ERROR!\nError writing the minimap file for map " + mapName, Icon::kExclamation);
      break;
  }
}

}  // namespace korvanel
