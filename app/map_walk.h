// Finding the maps of a folder: every "*.w3m" file (any letter case) in
// name order, then, when asked, each subfolder depth-first.
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

// `directory` may be relative; visited paths are absolute. Unreadable
// folders are skipped; a link back to a folder being walked is not entered.
void WalkMapDirectory(const std::string& directory, bool includeSubdirectories, const MapVisitor& visit);

// True for names ending in ".w3m" in any letter case.
bool HasMapExtension(std::string_view name);

}  // namespace korvanel
