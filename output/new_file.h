// A file that comes into being whole under a name nobody has: written
// unnamed and named once complete, so neither a failure nor a run stopped
// halfway, even by SIGKILL, leaves a part of it behind, and an existing
// file (or a link in its place) is never replaced.
#pragma once

#include <span>
#include <string>

namespace korvanel {

enum class NewFile {
  kWritten,
  kExists,      // the name is taken: nothing was written
  kNotCreated,  // see the error number
  kNotWritten,  // see the error number; nothing is left under the name
};

// Writes `bytes` as the new file `path`. With kNotCreated and kNotWritten,
// `error` is the error number.
NewFile WriteNewFile(std::span<const std::byte> bytes, const std::string& path, int& error);

// Whether a new file could be made as `path` now, leaving none: kWritten
// when it could.
NewFile ProbeNewFile(const std::string& path, int& error);

// Whether the file at `path` holds exactly `bytes`: a run that writes
// again what an earlier one wrote finds its own file.
bool HoldsExactly(const std::string& path, std::span<const std::byte> bytes);

}  // namespace korvanel
