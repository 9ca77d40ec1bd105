#include "parsers/record_line.h"

namespace korvanel {

std::string NumberLine(std::string_view label, std::int32_t value) {
  return TextLine(label, std::to_string(value));
}

std::string SizeLine(std::string_view label, std::int32_t width, std::int32_t height) {
  return TextLine(label, std::to_string(width) + "x" + std::to_string(height));
}

std::string TextLine(std::string_view label, std::string_view text) {
  std::string line;
  line.reserve(label.size() + text.size() + 2);
  line.append(label).append(text).append("\r\n");
  return line;
}

}  // namespace korvanel
