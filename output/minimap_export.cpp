#include "output/minimap_export.h"

#include "output/new_file.h"

namespace korvanel {

MinimapStage WriteMinimap(const ConvertedMinimap& picture, const std::string& path, int& error) {
  // A failed conversion is told only after the taken name and the
  // uncreatable file, as the file is made first.
  const NewFile made = picture.stage == MinimapStage::kDone ? WriteNewFile(picture.jpeg, path, error) : ProbeNewFile(path, error);
  switch (made) {
    case NewFile::kWritten: return picture.stage;
    case NewFile::kExists: return MinimapStage::kExists;
    case NewFile::kNotCreated: return MinimapStage::kCreate;
    case NewFile::kNotWritten: break;
  }
  return MinimapStage::kEncode;
}

}  // namespace korvanel
