// A map's preview picture written as a JPEG file of its own. An existing
// file is never replaced, and neither a failed conversion nor a run stopped
// halfway, even by SIGKILL, leaves a file behind: the picture is written
// unnamed and named once complete.
#pragma once

#include <string>

#include "output/minimap_convert.h"

namespace korvanel {

// Writes the converted `picture` into the new file `path`. Returns kDone
// or the stage that failed (the conversion's own when it failed), with
// nothing left under `path` but what was there. `error` is the error
// number with kCreate, and with kEncode when the file could not be written
// (0 when the conversion failed).
MinimapStage WriteMinimap(const ConvertedMinimap& picture, const std::string& path, int& error);

}  // namespace korvanel
