// Checks done on a map file before the archive library sees it. The
// library trusts some header fields so far that a damaged map would crash
// the whole run; such maps are refused here instead.
#pragma once

#include <cstdint>
#include <string>

#include "platform/scratch_buffer.h"

namespace korvanel {

// False when the file cannot be read or carries an archive header that
// the library cannot survive; otherwise `size` is the file's size.
// `buffer` is working space, reused from call to call.
bool IsSafeToOpen(const std::string& path, ScratchBuffer& buffer, std::uint64_t& size);

}  // namespace korvanel
