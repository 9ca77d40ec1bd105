#include "app/terminal_text.h"

#include <algorithm>

namespace korvanel {
namespace {

unsigned char At(std::string_view s, std::size_t i) { return static_cast<unsigned char>(s[i]); }

// Length of the well-formed UTF-8 character of two or more bytes at the
// start of `s`, or 0. Overlong forms and surrogates do not count, or their
// continuation bytes would slip through as lone C1 bytes.
std::size_t MultiByteLength(std::string_view s) {
  const unsigned char lead = At(s, 0);
  std::size_t length = 0;
  unsigned char low = 0x80, high = 0xBF;  // the allowed second byte
  if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3;
    if (lead == 0xE0) low = 0xA0;
    if (lead == 0xED) high = 0x9F;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4;
    if (lead == 0xF0) low = 0x90;
    if (lead == 0xF4) high = 0x8F;
  } else {
    return 0;
  }
  if (s.size() < length || At(s, 1) < low || At(s, 1) > high) return 0;
  for (std::size_t i = 2; i < length; ++i)
    if (At(s, i) < 0x80 || At(s, i) > 0xBF) return 0;
  return length;
}

void AppendEscaped(std::string& out, unsigned char byte) {
  constexpr std::string_view kNamed = "\a\b\t\n\v\f\r";
  constexpr std::string_view kLetters = "abtnvfr";
  out += '\\';
  if (const auto named = kNamed.find(static_cast<char>(byte)); named != std::string_view::npos) {
    out += kLetters[named];
    return;
  }
  out += static_cast<char>('0' + (byte >> 6));
  out += static_cast<char>('0' + ((byte >> 3) & 7));
  out += static_cast<char>('0' + (byte & 7));
}

}  // namespace

std::string EscapeControlBytes(std::string_view text, bool escapeLineFeeds) {
  std::string out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size();) {
    const unsigned char byte = At(text, i);
    const std::size_t length = byte >= 0x80 ? MultiByteLength(text.substr(i)) : 0;
    if (length == 2 && byte == 0xC2 && At(text, i + 1) < 0xA0) {  // a C1 control
      AppendEscaped(out, byte);
      AppendEscaped(out, At(text, i + 1));
    } else if (length > 0) {
      out.append(text.substr(i, length));
    } else if ((byte < 0x20 && (byte != '\n' || escapeLineFeeds)) || (byte >= 0x7F && byte < 0xA0)) {
      AppendEscaped(out, byte);
    } else {
      out += static_cast<char>(byte);
    }
    i += std::max<std::size_t>(length, 1);
  }
  return out;
}

}  // namespace korvanel
