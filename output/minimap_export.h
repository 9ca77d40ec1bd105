// A map's preview picture written as a JPEG file of its own. An existing
// file is never replaced, and neither a failed conversion nor a run stopped
// halfway, even by SIGKILL, leaves a file behind: the picture is written
// unnamed and named once complete.
#pragma once

#include <cstddef>
#include <span>
#include <string>

#include "output/minimap_convert.h"

namespace korvanel {

// Converts `blp` (war3mapMap.blp) into the new file `path`. Returns kDone
// or the stage that failed, with nothing left under `path` but what was
// there; with kCreate, `error` is the error number.
MinimapStage WriteMinimap(MinimapConverter& converter, std::span<const std::byte> blp, const std::string& path,
                          int& error);

}  // namespace korvanel
