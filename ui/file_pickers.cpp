#include "ui/file_pickers.h"

#include <QFileDialog>
#include <QSettings>
#include <QTemporaryDir>

#include "ui/text_conversion.h"

namespace korvanel {
namespace {

// Shows `dialog`, set up by `setUp`, and gives the file chosen.
template <typename SetUp>
std::optional<std::string> PickFile(QWidget* owner, const char* title, SetUp setUp) {
  // Qt's file dialog keeps its history in the user's settings
  // (QtProject.conf), with no switch to stop it; nothing is stored between
  // starts, so its settings go to a folder removed when it closes (or, with
  // none to be had, to a folder that cannot exist). Nothing else here uses
  // settings.
  QTemporaryDir settings;
  const QString folder = settings.isValid() ? settings.path() : QStringLiteral("/dev/null/settings");
  for (QSettings::Format format : {QSettings::NativeFormat, QSettings::IniFormat})
    QSettings::setPath(format, QSettings::UserScope, folder);
  QFileDialog dialog(owner, QString::fromLatin1(title));
  // Desktop-native dialogs refuse names that do not exist yet in open mode,
  // and may add an extension in save mode.
  dialog.setOption(QFileDialog::DontUseNativeDialog);
  setUp(dialog);
  if (dialog.exec() != QDialog::Accepted) return std::nullopt;
  const QStringList files = dialog.selectedFiles();
  if (files.isEmpty() || files.first().isEmpty()) return std::nullopt;
  return ToBytes(files.first());
}

}  // namespace

std::optional<std::string> PickInfoFile(QWidget* owner) {
  return PickFile(owner, kInfoFilePickerTitle, [](QFileDialog& dialog) {
    // A new name is how an info file is created.
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setNameFilters({QStringLiteral("Text Files (*.txt)"), QStringLiteral("Any Files (*)")});
  });
}

std::optional<std::string> PickCatalogueFile(QWidget* owner) {
  return PickFile(owner, kCatalogueFilePickerTitle, [](QFileDialog& dialog) {
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setOption(QFileDialog::DontConfirmOverwrite);
    dialog.setNameFilters({QStringLiteral("JSON Lines (*.jsonl)"), QStringLiteral("Any Files (*)")});
  });
}

}  // namespace korvanel
