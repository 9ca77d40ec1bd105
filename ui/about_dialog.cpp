#include "ui/about_dialog.h"

#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <algorithm>

#include "ui/dialog_units.h"
#include "ui/window_icon.h"

namespace korvanel {
namespace {

void AddLabel(QWidget* parent, const QString& text, QRect rect) {
  auto* label = new QLabel(text, parent);
  label->setTextFormat(Qt::PlainText);
  label->setGeometry(rect);
  WidenToText(label);
}

}  // namespace

AboutDialog::AboutDialog(QWidget* parent) : QDialog(parent) {
  setWindowTitle(QStringLiteral("About Korvanel"));
  setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                 Qt::WindowCloseButtonHint);
  setWindowIcon(WindowIcon());
  const DialogUnits du(font());

  const QRect iconRect = du.Rect(6, 4, 20, 20);
  auto* icon = new QLabel(this);
  icon->setObjectName(QStringLiteral("iconLabel"));
  icon->setGeometry(iconRect);
  icon->setPixmap(IconPixmap(std::min(iconRect.width(), iconRect.height())));

  AddLabel(this, QStringLiteral("Korvanel Version 1.21"), du.Rect(32, 6, 100, 8));
  AddLabel(this, QStringLiteral("Info files and minimaps\nfrom Warcraft III maps"), du.Rect(32, 18, 96, 18));
  AddLabel(this, QStringLiteral("Credits:"), du.Rect(4, 38, 24, 8));
  AddLabel(this, QStringLiteral("Map archives: StormLib, L. Zezula"), du.Rect(4, 49, 131, 8));
  AddLabel(this, QStringLiteral("JPEG: libjpeg-turbo; UI: Qt"), du.Rect(4, 59, 118, 8));

  auto* ok = new QPushButton(QStringLiteral("OK"), this);
  ok->setObjectName(QStringLiteral("okButton"));
  ok->setGeometry(du.Rect(42, 72, 50, 14));
  ok->setDefault(true);
  connect(ok, &QPushButton::clicked, this, &QDialog::accept);

  setFixedSize(du.Size(144, 90));
}

QAction* AddAboutEntry(QMenu& menu) { return menu.addAction(QString::fromLatin1(kAboutMenuText)); }

}  // namespace korvanel
