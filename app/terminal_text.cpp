#include "app/terminal_text.h"

#include <algorithm>
#include <iterator>

#include "platform/text.h"

namespace korvanel {
namespace {

unsigned char At(std::string_view s, std::size_t i) { return static_cast<unsigned char>(s[i]); }

// Length of the well-formed UTF-8 character of two or more bytes at `at`,
// or 0. Overlong forms and surrogates do not count, or their continuation
// bytes would slip through as lone C1 bytes.
std::size_t MultiByteLength(std::string_view s, std::size_t at) {
  const Utf8Sequence sequence = Utf8SequenceAt(s, at);
  return sequence.valid && sequence.length > 1 ? sequence.length : 0;
}

struct CodeRange {
  char32_t first, last;
};

// Combining marks, joiners, direction marks, variation selectors and the
// vowels and finals of conjoining Hangul: drawn over or with the character
// before them: the blocks that names in non-Latin scripts use most.
constexpr CodeRange kZeroWidth[] = {
    {0x0300, 0x036F},   {0x0483, 0x0489},   {0x0591, 0x05BD},   {0x05BF, 0x05BF},   {0x05C1, 0x05C2},
    {0x05C4, 0x05C5},   {0x05C7, 0x05C7},   {0x0610, 0x061A},   {0x064B, 0x065F},   {0x0670, 0x0670},
    {0x06D6, 0x06DC},   {0x06DF, 0x06E4},   {0x06E7, 0x06E8},   {0x06EA, 0x06ED},   {0x0900, 0x0902},
    {0x093A, 0x093A},   {0x093C, 0x093C},   {0x0941, 0x0948},   {0x094D, 0x094D},   {0x0951, 0x0957},
    {0x0962, 0x0963},   {0x0E31, 0x0E31},   {0x0E34, 0x0E3A},   {0x0E47, 0x0E4E},   {0x1160, 0x11FF},
    {0x1AB0, 0x1AFF},   {0x1DC0, 0x1DFF},   {0x200B, 0x200F},   {0x202A, 0x202E},   {0x2060, 0x2064},
    {0x20D0, 0x20FF},   {0x302A, 0x302D},   {0x3099, 0x309A},   {0xFE00, 0xFE0F},   {0xFE20, 0xFE2F},
    {0xFEFF, 0xFEFF},   {0xE0001, 0xE0001}, {0xE0020, 0xE007F}, {0xE0100, 0xE01EF},
};

// East Asian wide and fullwidth characters, and the emoji drawn as wide.
constexpr CodeRange kWide[] = {
    {0x1100, 0x115F},   {0x231A, 0x231B},   {0x2329, 0x232A},   {0x2E80, 0x303E},   {0x3041, 0x33FF},
    {0x3400, 0x4DBF},   {0x4E00, 0x9FFF},   {0xA000, 0xA4CF},   {0xA960, 0xA97F},   {0xAC00, 0xD7A3},
    {0xF900, 0xFAFF},   {0xFE10, 0xFE19},   {0xFE30, 0xFE6F},   {0xFF00, 0xFF60},   {0xFFE0, 0xFFE6},
    {0x16FE0, 0x18AFF}, {0x1B000, 0x1B2FF}, {0x1F004, 0x1F004}, {0x1F0CF, 0x1F0CF}, {0x1F18E, 0x1F18E},
    {0x1F191, 0x1F19A}, {0x1F200, 0x1F2FF}, {0x1F300, 0x1F64F}, {0x1F680, 0x1F6FF}, {0x1F900, 0x1F9FF},
    {0x20000, 0x2FFFD}, {0x30000, 0x3FFFD},
};

template <std::size_t N>
bool InRanges(const CodeRange (&ranges)[N], char32_t c) {
  const auto* after = std::upper_bound(std::begin(ranges), std::end(ranges), c,
                                       [](char32_t value, const CodeRange& r) { return value < r.first; });
  return after != std::begin(ranges) && c <= (after - 1)->last;
}

// The code point of the well-formed character of `length` bytes at the
// start of `s`.
char32_t Decode(std::string_view s, std::size_t length) {
  constexpr unsigned char kLeadBits[] = {0, 0, 0x1F, 0x0F, 0x07};
  char32_t c = At(s, 0) & kLeadBits[length];
  for (std::size_t i = 1; i < length; ++i) c = (c << 6) | (At(s, i) & 0x3F);
  return c;
}

std::size_t Columns(char32_t c) {
  if (InRanges(kZeroWidth, c)) return 0;
  return InRanges(kWide, c) ? 2 : 1;
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
    const std::size_t length = MultiByteLength(text, i);
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

std::string_view FitToColumns(std::string_view shown, std::size_t columns) {
  std::size_t used = 0;
  for (std::size_t i = 0; i < shown.size();) {
    const std::size_t length = MultiByteLength(shown, i);
    const std::size_t width = length > 0 ? Columns(Decode(shown.substr(i), length)) : 1;
    if (used + width > columns) return shown.substr(0, i);
    used += width;
    i += std::max<std::size_t>(length, 1);
  }
  return shown;
}

}  // namespace korvanel
