// Where the game is installed, as the game recorded it: the second place to
// look for the archive library, and the folder browser's starting point.
#pragma once

#include <string>
#include <string_view>

namespace korvanel {

// The installation folder with a trailing separator, or "" when unknown.
std::string GetInstallPath();

// The pieces of the lookup, separate so they can be tested:
// the "InstallPath" value of the game's key in a Wine registry file's text,
// or "" when absent.
std::string ReadInstallPathValue(std::string_view userReg);
// Trailing white space removed, a backslash appended unless the text ends
// in a backslash or a colon.
std::string TerminateWindowsPath(std::string text);
// "C:\Games\W3\" -> "<prefix>/dosdevices/c:/Games/W3/"; "" for a path
// without a drive letter.
std::string MapToWinePrefix(std::string_view windowsPath, std::string_view prefix);

}  // namespace korvanel
