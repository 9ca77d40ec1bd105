// Checks done on a map file before the archive library sees it. The
// library trusts some header fields so far that a damaged map would crash
// the whole run; such maps are refused here instead. The same pass over the
// file hashes it and notes what its archive header shows of protection.
#pragma once

#include <cstdint>
#include <string>

#include "archive/map_answer.h"
#include "platform/scratch_buffer.h"

namespace korvanel {

// Reads the file at `path` once, whole. False when it cannot be read or
// carries an archive header that the library cannot survive, with
// `answer.failure` (and `answer.error`) saying why; otherwise `size` is the
// file's size. With `identify`, `answer` also gets the file's identity
// (whenever the file could be read, also when it is refused) and the signs
// of protection its first archive header shows. `buffer` is working space,
// reused from call to call.
bool CheckMapFile(const std::string& path, ScratchBuffer& buffer, bool identify, MapAnswer& answer, std::uint64_t& size);

}  // namespace korvanel
