// The few text rules the command line, the dialog, the walk and the
// parsers share. Only ASCII letters have a case here: other bytes compare
// as they are, whatever the locale (the dialog's toolkit sets one).
#pragma once

#include <cstddef>
#include <string_view>

namespace korvanel {

// Space, tab, LF, VT, FF and CR.
constexpr bool IsWhiteSpace(char c) { return c == ' ' || (c >= '\t' && c <= '\r'); }

constexpr std::string_view TrimWhiteSpaceEnd(std::string_view text) {
  while (!text.empty() && IsWhiteSpace(text.back())) text.remove_suffix(1);
  return text;
}

constexpr std::string_view TrimWhiteSpace(std::string_view text) {
  while (!text.empty() && IsWhiteSpace(text.front())) text.remove_prefix(1);
  return TrimWhiteSpaceEnd(text);
}

constexpr unsigned char AsciiLower(char c) {
  const auto byte = static_cast<unsigned char>(c);
  return byte >= 'A' && byte <= 'Z' ? static_cast<unsigned char>(byte - 'A' + 'a') : byte;
}

// Below, at or above zero as `a` sorts before, with or after `b` when ASCII
// letters are taken in lower case; a text sorts after its own beginning.
constexpr int CompareNoCase(std::string_view a, std::string_view b) {
  for (std::size_t i = 0; i < a.size() && i < b.size(); ++i)
    if (AsciiLower(a[i]) != AsciiLower(b[i])) return AsciiLower(a[i]) < AsciiLower(b[i]) ? -1 : 1;
  return a.size() == b.size() ? 0 : a.size() < b.size() ? -1 : 1;
}

constexpr bool EqualsNoCase(std::string_view a, std::string_view b) {
  return a.size() == b.size() && CompareNoCase(a, b) == 0;
}

constexpr bool EndsWithNoCase(std::string_view text, std::string_view suffix) {
  return text.size() >= suffix.size() && EqualsNoCase(text.substr(text.size() - suffix.size()), suffix);
}

}  // namespace korvanel
