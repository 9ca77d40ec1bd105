// Turns a map's BLP1 preview picture (JPEG kind) into an ordinary
// three-component JPEG file.
#pragma once

#include <cstddef>
#include <span>

#include "platform/file.h"

namespace korvanel {

// kDone on success; otherwise the stage whose message is to be shown.
enum class MinimapStage { kDone, kHeader, kDecode, kEncode };

// `blp` is war3mapMap.blp; only the header, the shared JPEG header and
// mipmap 0 are used. The encoded JPEG is written to `destination` (open and
// empty), and nothing is written unless encoding succeeded. `quality` is
// 1..100.
MinimapStage ConvertMinimap(std::span<const std::byte> blp, File& destination, int quality);

}  // namespace korvanel
