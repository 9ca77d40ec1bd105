// Dialog units: positions laid out in quarters of the font's average
// character width and eighths of its height, so a layout keeps its
// proportions at any font size.
#pragma once

#include <QRect>
#include <QSize>

class QFont;
class QWidget;

namespace korvanel {

class DialogUnits {
 public:
  // Base units in pixels: the average character width and the height.
  DialogUnits(int charWidth, int charHeight) : charWidth_(charWidth), charHeight_(charHeight) {}
  explicit DialogUnits(const QFont& font);

  int X(int units) const;
  int Y(int units) const;
  // The edges are converted, not the size, so neighbouring controls meet.
  QRect Rect(int x, int y, int width, int height) const;
  QSize Size(int width, int height) const;

  int CharWidth() const { return charWidth_; }
  int CharHeight() const { return charHeight_; }

 private:
  int charWidth_;
  int charHeight_;
};

// Widens a text's control that is narrower than its text: the font is the
// desktop's, not the one the layout was drawn with, and a cut-off text
// helps nobody.
void WidenToText(QWidget* widget);

}  // namespace korvanel
