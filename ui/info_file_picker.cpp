#include "ui/info_file_picker.h"

#include <QFileDialog>
#include <QSettings>
#include <QTemporaryDir>

#include "ui/text_conversion.h"

namespace korvanel {

std::optional<std::string> PickInfoFile(QWidget* owner) {
  // Qt's file dialog keeps its history in the user's settings
  // (QtProject.conf), with no switch to stop it; nothing is stored between
  // starts, so its settings go to a folder removed when it closes (or, with
  // none to be had, to a folder that cannot exist). Nothing else here uses
  // settings.
  QTemporaryDir settings;
  const QString folder = settings.isValid() ? settings.path() : QStringLiteral("/dev/null/settings");
  for (QSettings::Format format : {QSettings::NativeFormat, QSettings::IniFormat})
    QSettings::setPath(format, QSettings::UserScope, folder);
  QFileDialog dialog(owner, QString::fromLatin1(kInfoFilePickerTitle));
  // Desktop-native open dialogs refuse names that do not exist yet, and a
  // new name is how an info file is created.
  dialog.setOption(QFileDialog::DontUseNativeDialog);
  dialog.setAcceptMode(QFileDialog::AcceptOpen);
  dialog.setFileMode(QFileDialog::AnyFile);
  dialog.setNameFilters({QStringLiteral("Text Files (*.txt)"), QStringLiteral("Any Files (*)")});
  if (dialog.exec() != QDialog::Accepted) return std::nullopt;
  const QStringList files = dialog.selectedFiles();
  if (files.isEmpty() || files.first().isEmpty()) return std::nullopt;
  return ToBytes(files.first());
}

}  // namespace korvanel
