// The picker behind the info file's "..." button: an open-file dialog that
// also takes the name of a file still to be created.
#pragma once

#include <optional>
#include <string>

class QWidget;

namespace korvanel {

inline constexpr char kInfoFilePickerTitle[] = "Open/Create Info File...";

// The chosen file's full path as typed (no extension added), or nothing
// when cancelled.
std::optional<std::string> PickInfoFile(QWidget* owner);

}  // namespace korvanel
