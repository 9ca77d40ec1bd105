#include "ui/message_box.h"

#include <QAbstractButton>
#include <QCheckBox>
#include <QCoreApplication>
#include <QFileInfo>

namespace korvanel {

QMessageBox::StandardButton ShowMessageBox(QWidget* owner, const MessageBoxRequest& request) {
  QMessageBox box(request.icon, request.caption, request.text, request.buttons, owner);
  // Paths and map names are shown as they are, never read as markup.
  box.setTextFormat(Qt::PlainText);
  box.setDefaultButton(request.defaultButton);
  box.setEscapeButton(request.escapeButton);
  box.setInformativeText(request.details);
  if (request.doNotShowAgain) box.setCheckBox(new QCheckBox(QString::fromLatin1(kDoNotShowAgain), &box));
  box.exec();
  if (request.doNotShowAgain) *request.doNotShowAgain = box.checkBox()->isChecked();
  QAbstractButton* clicked = box.clickedButton();
  return clicked ? box.standardButton(clicked) : request.escapeButton;
}

QString ApplicationTitle() {
  QString program = QCoreApplication::applicationFilePath();
  if (program.isEmpty()) program = QCoreApplication::applicationName();
  return QFileInfo(program).completeBaseName();
}

}  // namespace korvanel
