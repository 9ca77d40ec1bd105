// Renders the main dialog, filled in as a user would, to a PNG file for
// the README: korvanel-screenshot <picture.png>
#include <QApplication>
#include <QCheckBox>
#include <QLineEdit>
#include <QPixmap>
#include <cstdio>

#include "app/extractor_app.h"
#include "ui/main_dialog.h"

namespace {

template <typename Widget>
Widget* Find(QWidget& dialog, const char* name) {
  return dialog.findChild<Widget*>(QString::fromLatin1(name));
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: korvanel-screenshot <picture.png>\n");
    return 2;
  }
  QApplication application(argc, argv);
  korvanel::ExtractorApp app;
  korvanel::MainDialog dialog(app);
  Find<QLineEdit>(dialog, "mapsDirectoryEdit")->setText(QStringLiteral("/home/player/Games/Warcraft III/Maps"));
  Find<QCheckBox>(dialog, "includeSubdirectoriesCheck")->setChecked(true);
  Find<QCheckBox>(dialog, "writeInfoFileCheck")->setChecked(true);
  Find<QLineEdit>(dialog, "infoFileEdit")->setText(QStringLiteral("/home/player/maps-info.txt"));
  Find<QCheckBox>(dialog, "writeMinimapsCheck")->setChecked(true);
  Find<QLineEdit>(dialog, "minimapDirectoryEdit")->setText(QStringLiteral("/home/player/Minimaps"));
  Find<QCheckBox>(dialog, "laterFormatsCheck")->setChecked(true);
  Find<QLineEdit>(dialog, "catalogueEdit")->setText(QStringLiteral("/home/player/maps.jsonl"));
  Find<QLineEdit>(dialog, "picturesEdit")->setText(QStringLiteral("/home/player/Pictures/Maps"));
  Find<QCheckBox>(dialog, "openGalleryCheck")->setChecked(true);
  dialog.show();
  QApplication::processEvents();
  // Showing selects the focused field's text; the picture reads better plain.
  Find<QLineEdit>(dialog, "mapsDirectoryEdit")->deselect();
  if (!dialog.grab().save(QString::fromLocal8Bit(argv[1]), "PNG")) {
    std::fprintf(stderr, "korvanel-screenshot: cannot write %s\n", argv[1]);
    return 1;
  }
  return 0;
}
