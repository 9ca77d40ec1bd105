#include "ui/dialog_units.h"

#include <QFont>
#include <QFontMetrics>
#include <QWidget>

namespace korvanel {
namespace {

// Rounded a * b / c, as dialog units are converted.
int ScaleRounded(int a, int b, int c) {
  long long product = static_cast<long long>(a) * b;
  long long half = c / 2;
  return static_cast<int>(product >= 0 ? (product + half) / c : (product - half) / c);
}

}  // namespace

// The average width is that of the letters, the measure dialog layouts were
// designed against (a font's own average is skewed by digits and symbols).
DialogUnits::DialogUnits(const QFont& font) {
  QFontMetrics metrics(font);
  const int letters = metrics.horizontalAdvance(QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"));
  charWidth_ = (letters / 26 + 1) / 2;
  charHeight_ = metrics.height();
  if (charWidth_ < 1) charWidth_ = 1;
  if (charHeight_ < 1) charHeight_ = 1;
}

int DialogUnits::X(int units) const { return ScaleRounded(units, charWidth_, 4); }
int DialogUnits::Y(int units) const { return ScaleRounded(units, charHeight_, 8); }

QRect DialogUnits::Rect(int x, int y, int width, int height) const {
  const int left = X(x);
  const int top = Y(y);
  return QRect(left, top, X(x + width) - left, Y(y + height) - top);
}

QSize DialogUnits::Size(int width, int height) const { return QSize(X(width), Y(height)); }

void WidenToText(QWidget* widget) {
  const int wanted = widget->sizeHint().width();
  if (wanted > widget->width()) widget->resize(wanted, widget->height());
}

}  // namespace korvanel
