#include "ui/info_file_picker.h"

#include <QFileDialog>

#include "ui/text_conversion.h"

namespace korvanel {

std::optional<std::string> PickInfoFile(QWidget* owner) {
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
