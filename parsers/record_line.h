// The lines of a map record: a 19-character label, a value and "\r\n".
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace korvanel {

// label + decimal value + "\r\n"
std::string NumberLine(std::string_view label, std::int32_t value);
// label + width + "x" + height + "\r\n"
std::string SizeLine(std::string_view label, std::int32_t width, std::int32_t height);
// label + text + "\r\n"
std::string TextLine(std::string_view label, std::string_view text);

}  // namespace korvanel
