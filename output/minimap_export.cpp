// Each map's preview picture, written as "<map name>.jpg" into the minimap
// folder. An existing file is never replaced, and neither a failed
// conversion nor a run stopped halfway, even by SIGKILL, leaves a file
// behind: the picture is written unnamed and named once complete.
#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <vector>

#include "app/run_context.h"
#include "archive/work_file.h"
#include "output/minimap_name.h"
#include "platform/cleanup.h"

namespace korvanel {
namespace {

// Where the file system has no unnamed files: created under its name,
// exclusively, so a file made by someone else since the existence check is
// still not overwritten, and removed should a signal stop the run.
int CreateNamed(const std::string& path, File& file) {
  int error = 0;
  HoldingSignals([&] {
    file = File(::open(path.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0666));
    error = file.IsOpen() ? 0 : errno;
    if (file.IsOpen()) RemovePartialOnSignal(path);
  });
  return error;
}

// Gives the finished unnamed picture its name; where the file system has
// no hard links, copies it into a file created under the name instead.
// Returns 0 or the error number; on error nothing is left under the name
// but what was there.
int NamePicture(File& picture, const std::string& path) {
  int error = NameUnnamedFile(picture, path);
  if (!IsUnsupported(error)) return error;
  File named;
  error = CreateNamed(path, named);
  if (error != 0) return error;
  std::uint64_t size = 0;
  std::size_t got = 0;
  std::vector<std::byte> bytes;
  error = picture.Size(size);
  if (error == 0) {
    bytes.resize(size);
    error = picture.ReadAt(0, bytes, got);
  }
  if (error == 0) error = named.WriteAll(std::span(bytes).first(got));
  if (error == 0) {
    picture = std::move(named);
    return 0;
  }
  named.Close();
  ::unlink(path.c_str());
  ForgetPartial();
  return error;
}

}  // namespace

void RunContext::ExportMinimap(const std::string& path, const ExtractedFile& picture) {
  if (!Accept(path, kMinimapFileName, picture)) return;
  const std::string baseName = MinimapBaseName(path);
  const std::string outputPath = options.minimapDirectory + baseName + ".jpg";
  auto reportExists = [&] {
    reporter_.Report("ERROR!\nError extracting " + outputPath + "!\nFile already exists (not overwritten).", Icon::kExclamation);
  };

  struct stat st {};
  if (::lstat(outputPath.c_str(), &st) == 0) {
    reportExists();
    return;
  }
  File output;
  int error = CreateUnnamedFile(options.minimapDirectory, 0666, output);
  // Whether `outputPath` is ours, to be removed should the picture fail.
  bool named = false;
  if (IsUnsupported(error)) {
    error = CreateNamed(outputPath, output);
    named = error == 0;
  }
  if (error == EEXIST) {
    reportExists();
    return;
  }
  if (error != 0) {
    reporter_.Report("ERROR!\nError creating the minimap file!\nReason:\n" + ErrorReason(error), Icon::kExclamation);
    errors.minimapFailed = true;
    return;
  }

  // A picture that cannot be read back counts as unreadable data.
  std::span<const std::byte> blp;
  ReadExtracted(picture, blp);
  MinimapStage stage = minimaps_.Convert(blp, output, 85);
  if (stage == MinimapStage::kDone && !named) {
    error = NamePicture(output, outputPath);
    // Made by someone else since the check above: kept, as then.
    if (error == EEXIST) {
      reportExists();
      return;
    }
    named = error == 0;
    if (!named) stage = MinimapStage::kEncode;
  }
  if (stage == MinimapStage::kDone && output.Close() != 0) stage = MinimapStage::kEncode;
  ForgetPartial();
  if (stage == MinimapStage::kDone) {
    WriteInfoText("Minimap File:      " + outputPath + "\r\n");
    return;
  }
  output.Close();
  if (named) ::unlink(outputPath.c_str());
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
