// The program's icon, drawn from the SVG embedded in the program.
#pragma once

#include <QIcon>
#include <QPixmap>

namespace korvanel {

// The icon at the usual window and taskbar sizes.
QIcon WindowIcon();
// The icon drawn at one size, for the About box.
QPixmap IconPixmap(int size);

}  // namespace korvanel
