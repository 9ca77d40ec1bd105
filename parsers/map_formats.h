// Which layouts the parsers read: those the game's first release wrote, or
// also those of every later editor (the run's --w3x).
#pragma once

namespace korvanel {

enum class MapFormats { kFirstRelease, kLater };

}  // namespace korvanel
