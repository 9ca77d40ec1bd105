// The About box and the menu entry that opens it.
#pragma once

#include <QDialog>

class QAction;
class QMenu;

namespace korvanel {

inline constexpr char kAboutMenuText[] = "&About Korvanel...";

class AboutDialog : public QDialog {
  Q_OBJECT
 public:
  explicit AboutDialog(QWidget* parent = nullptr);
};

// Appends the About entry to `menu`.
QAction* AddAboutEntry(QMenu& menu);

}  // namespace korvanel
