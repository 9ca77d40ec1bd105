// Finding the maps of a folder: every "*.w3m" file (and, when asked,
// "*.w3x"; any letter case) in name order, then, when asked, each subfolder
// depth-first.
#pragma once

#include <functional>
#include <string>
#include <string_view>

namespace korvanel {

// Called with the map's absolute path, its name alone, and a path to open
// it by: the same path, or a shorter alias when the path is too long for
// the system to open.
using MapVisitor =
    std::function<void(const std::string& path, std::string_view name, const std::string& openPath)>;

// Called with what the walk could not read and the error number: a folder
// that cannot be listed or entered (its path ends in a separator), or an
// entry named like a map that cannot be examined, just before that entry is
// visited anyway, as a map that will fail to open: it is listed, so the
// user expects to hear of it.
using WalkFailure = std::function<void(const std::string& path, int error)>;

// `directory` may be relative; visited paths are absolute. A link back to a
// folder being walked is not entered.
void WalkMapDirectory(const std::string& directory, bool includeSubdirectories, const MapVisitor& visit,
                      const WalkFailure& failed, bool includeW3x = false);

// True for names ending in ".w3m", or with `includeW3x` also ".w3x", in any
// letter case.
bool HasMapExtension(std::string_view name, bool includeW3x = false);

}  // namespace korvanel
