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

// Appends the About entry to `menu`, after a separator when the menu holds
// other entries. An empty text adds nothing and gives null.
QAction* AddAboutEntry(QMenu& menu, const QString& text);

}  // namespace korvanel
