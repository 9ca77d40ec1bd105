#include "parsers/trigger_strings.h"

#include <algorithm>
#include <utility>

#include "parsers/byte_reader.h"
#include "parsers/decimal.h"
#include "platform/text.h"

namespace korvanel {

namespace {

constexpr std::string_view kKeyword = "STRING";
constexpr std::string_view kReferencePrefix = "TRIGSTR_";
constexpr std::size_t kReferenceSize = kReferencePrefix.size() + 3;
constexpr std::size_t kNone = std::string_view::npos;

// The only white space between keyword, number and brace.
bool IsScannerSpace(char c) { return c == ' ' || c == '\r' || c == '\n' || c == '\t'; }

// The keyword at or after `from`, in any letter case. Each call only looks at
// bytes the previous calls have not passed, which keeps the parse linear.
std::size_t FindKeyword(std::string_view text, std::size_t from) {
  for (std::size_t at = from; at + kKeyword.size() <= text.size(); ++at) {
    if (EqualsNoCase(text.substr(at, kKeyword.size()), kKeyword)) return at;
  }
  return kNone;
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

bool ParseTriggerStrings(std::span<const std::byte> data, TriggerStringTable& table) {
  table.RemoveAll();
  const ByteReader reader(data);
  const std::string_view all = reader.All();
  // The file is text: a NUL ends the search for further keywords.
  const std::string_view searchable = all.substr(0, all.find('\0'));

  std::size_t i = 0;
  while (i < all.size()) {
    const std::size_t at = FindKeyword(searchable, i);
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
    if (opener == '{') {
      skipSpace();
      const std::size_t close = all.find('}', j);
      // Trimmed of vertical tab and form feed too, which do not separate tokens.
      table.Add(std::string(TrimWhiteSpaceEnd(all.substr(j, (close == kNone ? all.size() : close) - j))), number);
      j = close == kNone ? all.size() + 1 : close + 1;
    }
    i = j;
  }
  return true;
}

std::string ResolveTriggerString(const TriggerStringTable& table, std::string_view text) {
  if (text.size() != kReferenceSize || !text.starts_with(kReferencePrefix)) return std::string(text);
  return table.Lookup(ReadDecimal(text.substr(kReferencePrefix.size())));
}

}  // namespace korvanel
