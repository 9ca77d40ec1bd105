// Turns a map's BLP1 preview picture (JPEG kind) into an ordinary
// three-component JPEG file.
#pragma once

#include "platform/file.h"

namespace korvanel {

// kDone on success; otherwise the stage whose message is to be shown.
enum class MinimapStage { kDone, kHeader, kDecode, kEncode };

// `source` holds war3mapMap.blp and is read by position, so its file offset
// does not matter; only the header, the shared JPEG header and mipmap 0 are
// read. The encoded JPEG is written to `destination` (open and empty), and
// nothing is written unless encoding succeeded. `quality` is 1..100.
MinimapStage ConvertMinimap(const File& source, File& destination, int quality);

}  // namespace korvanel
