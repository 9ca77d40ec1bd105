// What a worker tells the run about one map besides its embedded files:
// whether it opened and, when not, why; what identifies the file; and what
// its archive shows of protection. Plain data, sent between processes of
// the same program as it lies in memory.
#pragma once

#include <cstdint>
#include <type_traits>

#include "parsers/map_identity.h"

namespace korvanel {

// Why a map did not open.
enum class MapFailure : std::uint8_t {
  kNone,
  kUnreadable,     // the file cannot be opened or read: see the error number
  kNotRegularFile, // a fifo, a device or a folder named like a map
  kHostileHeader,  // an archive header the library would not survive
  kNotArchive,     // the library cannot open it as an archive
  kLibraryFailed,  // the library crashed or hung on it
  kNotReady,       // no archive library, or no work file
};

// Signs of a protected map, as its archive shows them: such maps hide their
// file names and damage their tables so that editors cannot open them,
// while the game still can.
struct ArchiveSigns {
  bool noListfile = false;         // no "(listfile)": the names inside are hidden
  bool hashTableOutside = false;   // the hash table starts outside the file
  bool hashTablePastEnd = false;   // it starts inside but runs past the file's end
  bool blockTableOutside = false;
  bool blockTablePastEnd = false;
};

struct MapAnswer {
  bool opened = false;
  MapFailure failure = MapFailure::kNone;
  int error = 0;            // with kUnreadable
  bool identified = false;  // `identity` holds the file's checksums
  MapIdentity identity;
  ArchiveSigns signs;
};
static_assert(std::is_trivially_copyable_v<MapAnswer>);

}  // namespace korvanel
