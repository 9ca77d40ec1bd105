// One modal message box, described as data so that tests can answer it
// without a human.
#pragma once

#include <QMessageBox>
#include <QString>
#include <functional>

class QWidget;

namespace korvanel {

struct MessageBoxRequest {
  QString caption;
  QString text;
  QMessageBox::Icon icon = QMessageBox::NoIcon;
  QMessageBox::StandardButtons buttons = QMessageBox::Ok;
  QMessageBox::StandardButton defaultButton = QMessageBox::Ok;
  // Also the answer when the box is closed by its close box.
  QMessageBox::StandardButton escapeButton = QMessageBox::Ok;
  // Shown below the text, in the desktop's smaller style; may be empty.
  QString details;
  // When set, the box offers kDoNotShowAgain, and whether it was ticked
  // comes back here.
  bool* doNotShowAgain = nullptr;
};

inline constexpr char kDoNotShowAgain[] = "Do not show this again during this run";

// Shows `request` modally over `owner` (none: application modal) and
// returns the button pressed.
QMessageBox::StandardButton ShowMessageBox(QWidget* owner, const MessageBoxRequest& request);

using MessageBoxFunction = std::function<QMessageBox::StandardButton(QWidget* owner, const MessageBoxRequest&)>;

// The caption of every message: the program file's name without extension.
QString ApplicationTitle();

}  // namespace korvanel
