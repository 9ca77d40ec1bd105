// The pickers behind the info file's and the catalogue's "..." buttons:
// file dialogs that also take the name of a file still to be created.
#pragma once

#include <optional>
#include <string>

class QWidget;

namespace korvanel {

inline constexpr char kInfoFilePickerTitle[] = "Open/Create Info File...";
inline constexpr char kCatalogueFilePickerTitle[] = "Save the Catalogue As...";

// The chosen file's full path as typed (no extension added), or nothing
// when cancelled.
std::optional<std::string> PickInfoFile(QWidget* owner);
// The same for the catalogue; an existing file is taken without asking,
// for it is what an update reads.
std::optional<std::string> PickCatalogueFile(QWidget* owner);

}  // namespace korvanel
