#include "ui/window_icon.h"

#include <QPainter>
#include <QSvgRenderer>

// Resources of a static library are registered only when asked for.
static void InitIconResource() { Q_INIT_RESOURCE(korvanel); }

namespace korvanel {

QPixmap IconPixmap(int size) {
  InitIconResource();
  QPixmap pixmap(size, size);
  pixmap.fill(Qt::transparent);
  QSvgRenderer renderer(QStringLiteral(":/korvanel/korvanel.svg"));
  QPainter painter(&pixmap);
  renderer.render(&painter);
  return pixmap;
}

QIcon WindowIcon() {
  QIcon icon;
  for (int size : {16, 24, 32, 48, 64, 128}) icon.addPixmap(IconPixmap(size));
  return icon;
}

}  // namespace korvanel
