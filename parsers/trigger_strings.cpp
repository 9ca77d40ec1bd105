#include "parsers/trigger_strings.h"

#include <algorithm>
#include <utility>

#include "parsers/byte_reader.h"
#include "parsers/decimal.h"
#include "parsers/key_search.h"
#include "platform/text.h"

namespace korvanel {

namespace {

constexpr std::string_view kKeyword = "STRING";
constexpr std::string_view kReferencePrefix = "TRIGSTR_";
constexpr std::size_t kReferenceSize = kReferencePrefix.size() + 3;
constexpr std::size_t kNone = std::string_view::npos;

// The only white space between keyword, number and brace.
bool IsScannerSpace(char c) { return c == ' ' || c == '\r' || c == '\n' || c == '\t'; }

// Adds the text that follows the "{" at `brace`: leading white space
// dropped, up to the first "}" or the end, trailing white space trimmed.
// Returns where the search goes on.
std::size_t AddText(std::string_view all, std::size_t brace, std::int32_t number, TriggerStringTable& table) {
  std::size_t j = brace + 1;
  while (j < all.size() && IsScannerSpace(all[j])) ++j;
  const std::size_t close = all.find('}', j);
  // Trimmed of vertical tab and form feed too, which do not separate tokens.
  table.Add(std::string(TrimWhiteSpaceEnd(all.substr(j, (close == kNone ? all.size() : close) - j))), number);
  return close == kNone ? all.size() + 1 : close + 1;
}

// The line from `at` up to a CR, an LF or the end; `next` receives the start
// of the line after it (a CR LF pair is one line end).
std::string_view LineAt(std::string_view text, std::size_t at, std::size_t& next) {
  std::size_t end = text.find_first_of("\r\n", at);
  if (end == kNone) end = text.size();
  next = end + (text.substr(end).starts_with("\r\n") ? 2 : 1);
  return text.substr(at, end - at);
}

// Passes over blank and comment lines from `pos`. Returns the trimmed
// content of the next line (empty at the end), with `pos` at its start and
// `next` at the start of the line after it.
std::string_view ContentLine(std::string_view all, std::size_t& pos, std::size_t& next) {
  while (pos < all.size()) {
    const std::string_view content = TrimWhiteSpace(LineAt(all, pos, next));
    if (!content.empty() && !content.starts_with("//")) return content;
    pos = next;
  }
  return {};
}

// Before the first line's content the game passes over byte-order marks,
// also those whose bytes were taken for Latin-1 text and encoded again
// (EF BB BF becomes C3 AF C2 BB C2 BF), once or more: bytes outside ASCII,
// which no keyword holds.
std::size_t MarksSize(std::string_view all) {
  const auto content = std::find_if(all.begin(), all.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; });
  return static_cast<std::size_t>(content - all.begin());
}

// Later editors' files, line by line: "STRING <number>" on a line of its
// own, comment lines skipped, then a line that opens with "{". Keywords
// inside comments and texts are not entries.
void ParseTriggerStringLines(std::string_view all, TriggerStringTable& table) {
  std::size_t pos = MarksSize(all);
  std::size_t next = 0;
  for (std::string_view content = ContentLine(all, pos, next); !content.empty();
       content = ContentLine(all, pos, next)) {
    pos = next;
    if (content.size() <= kKeyword.size() || !EqualsNoCase(content.substr(0, kKeyword.size()), kKeyword) ||
        !IsWhiteSpace(content[kKeyword.size()]))
      continue;
    const std::int32_t number = ReadDecimal(content.substr(kKeyword.size()));
    // Any other line after the number leaves the entry out, and is read
    // again for a keyword of its own.
    const std::string_view opener = ContentLine(all, pos, next);
    if (opener.starts_with('{')) pos = AddText(all, static_cast<std::size_t>(opener.data() - all.data()), number, table);
  }
}

}  // namespace

void TriggerStringTable::RemoveAll() { entries_.clear(); }

void TriggerStringTable::Add(std::string text, std::int32_t number) {
  entries_.push_back({number, std::move(text)});
}

std::string TriggerStringTable::Lookup(std::int32_t number) const {
  auto it = std::find_if(entries_.rbegin(), entries_.rend(),
                         [number](const Entry& e) { return e.number == number; });
  return it == entries_.rend() ? std::string() : it->text;
}

bool ParseTriggerStrings(std::span<const std::byte> data, TriggerStringTable& table, MapFormats formats) {
  table.RemoveAll();
  const ByteReader reader(data);
  const std::string_view all = reader.All();
  // The file is text: a NUL ends the search for further keywords.
  const std::string_view searchable = all.substr(0, all.find('\0'));
  if (formats == MapFormats::kLater) {
    ParseTriggerStringLines(searchable, table);
    return true;
  }

  KeySearch keywords(searchable, kKeyword, LetterCase::kEither);
  std::size_t i = 0;
  while (i < all.size()) {
    const std::size_t at = keywords.From(i);
    if (at == kNone) break;
    std::size_t j = at + kKeyword.size();
    auto skipSpace = [&] {
      while (j < all.size() && IsScannerSpace(all[j])) ++j;
    };

    skipSpace();
    const std::size_t tokenStart = j;
    while (j < all.size() && !IsScannerSpace(all[j])) ++j;
    const std::int32_t number = ReadDecimal(all.substr(tokenStart, j - tokenStart));

    skipSpace();
    const char opener = j < all.size() ? all[j] : '\0';
    ++j;
    if (opener == '{') j = AddText(all, j - 1, number, table);
    i = j;
  }
  return true;
}

std::string ResolveTriggerString(const TriggerStringTable& table, std::string_view text, MapFormats formats) {
  if (!text.starts_with(kReferencePrefix)) return std::string(text);
  const std::string_view digits = text.substr(kReferencePrefix.size());
  const bool reference =
      text.size() == kReferenceSize ||
      (formats == MapFormats::kLater && !digits.empty() &&
       std::all_of(digits.begin(), digits.end(), [](char c) { return c >= '0' && c <= '9'; }));
  if (!reference) return std::string(text);
  return table.Lookup(ReadDecimal(digits));
}

}  // namespace korvanel
