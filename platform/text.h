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

constexpr bool IsAsciiDigit(char c) { return c >= '0' && c <= '9'; }
constexpr bool IsAsciiLetter(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }
constexpr bool IsAsciiHexDigit(char c) { return IsAsciiDigit(c) || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F'); }

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

// The UTF-8 sequence that starts at `at`: its length and whether it is
// well formed (no stray continuation byte, no overlong form, no surrogate,
// nothing beyond U+10FFFF). A bad one's length is that of its longest
// beginning that could still have been good, at least one byte, so that
// each bad sequence counts once, as browsers and decoders count it.
struct Utf8Sequence {
  std::size_t length = 0;
  bool valid = false;
};

constexpr Utf8Sequence Utf8SequenceAt(std::string_view text, std::size_t at) {
  const auto lead = static_cast<unsigned char>(text[at]);
  std::size_t length = 0;
  unsigned min = 0x80, max = 0xBF;  // bounds of the second byte
  if (lead < 0x80) return {1, true};
  if (lead >= 0xC2 && lead <= 0xDF) length = 2;
  else if (lead >= 0xE0 && lead <= 0xEF) length = 3, min = lead == 0xE0 ? 0xA0 : 0x80, max = lead == 0xED ? 0x9F : 0xBF;
  else if (lead >= 0xF0 && lead <= 0xF4) length = 4, min = lead == 0xF0 ? 0x90 : 0x80, max = lead == 0xF4 ? 0x8F : 0xBF;
  else return {1, false};
  for (std::size_t k = 1; k < length; ++k) {
    if (at + k >= text.size()) return {k, false};
    const auto byte = static_cast<unsigned char>(text[at + k]);
    if (byte < (k == 1 ? min : 0x80) || byte > (k == 1 ? max : 0xBF)) return {k, false};
  }
  return {length, true};
}

constexpr bool IsValidUtf8(std::string_view text) {
  for (std::size_t i = 0; i < text.size();) {
    const Utf8Sequence sequence = Utf8SequenceAt(text, i);
    if (!sequence.valid) return false;
    i += sequence.length;
  }
  return true;
}

}  // namespace korvanel
