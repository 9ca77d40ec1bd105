#include "parsers/script_scan.h"

#include <cstdint>
#include <limits>
#include <string>
#include <string_view>

#include "parsers/byte_reader.h"
#include "parsers/decimal.h"
#include "parsers/record_line.h"
#include "platform/text.h"

namespace korvanel {

namespace {

constexpr std::size_t kNone = std::string_view::npos;

constexpr std::string_view kDateKey = "//   Date: ";
constexpr std::string_view kFunctionKey = "function ";
constexpr std::string_view kDropItemsKey = "_DropItems ";
constexpr std::string_view kPlayerUnitsKey = " CreateUnitsForPlayer";
constexpr std::string_view kHostileKey = " CreateNeutralHostile ";
// The trailing blank keeps this from matching the buildings function.
constexpr std::string_view kPassiveKey = " CreateNeutralPassive ";
constexpr std::string_view kBuildingsKey = " CreateNeutralPassiveBuildings ";
constexpr std::string_view kCreateUnitKey = " CreateUnit";
constexpr std::string_view kGoldMineKey = "'ngol'";
constexpr std::string_view kResourceKey = " SetResourceAmount";
constexpr std::string_view kEndKey = "endfunction";

constexpr std::string_view kDateLabel = "Date Of Creation:  ";

// What later editors write instead: Lua comments and function headers
// ("function CreateNeutralHostile()"), unit creation with a skin, JASS run
// through a compiler that drops blanks ("set u=CreateUnit("), four-letter
// codes in Lua ("FourCC("ngol")"), statements at the line start, and
// "end" alone on a line closing a Lua function.
constexpr std::string_view kLuaDateKey = "--   Date: ";
constexpr std::string_view kLuaDropItemsKey = "_DropItems(";
constexpr std::string_view kLuaHostileKey = " CreateNeutralHostile(";
constexpr std::string_view kLuaPassiveKey = " CreateNeutralPassive(";
constexpr std::string_view kLuaBuildingsKey = " CreateNeutralPassiveBuildings(";
constexpr std::string_view kSkinCreateUnitKey = "BlzCreateUnitWithSkin(";
constexpr std::string_view kTightCreateUnitKey = "=CreateUnit(";
constexpr std::string_view kLuaGoldMineKey = "\"ngol\"";
constexpr std::string_view kLuaResourceKey = "SetResourceAmount(";
// Whichever key is found, the text after it starts at the same distance.
static_assert(kLuaDateKey.size() == kDateKey.size() && kLuaResourceKey.size() == kResourceKey.size());

bool Contains(std::string_view line, std::string_view key) { return line.find(key) != kNone; }

// The key's first occurrence is not at the very start of the line.
bool ContainsAfterStart(std::string_view line, std::string_view key) {
  const std::size_t at = line.find(key);
  return at != kNone && at > 0;
}

// The keys of the first release's editor, and with later formats those of
// later editors as well: a line matches when either does.
struct Keys {
  bool later;

  bool Either(std::string_view line, std::string_view first, std::string_view other,
              bool (*match)(std::string_view, std::string_view)) const {
    return match(line, first) || (later && match(line, other));
  }
  bool IsDate(std::string_view line) const {
    return line.starts_with(kDateKey) || (later && line.starts_with(kLuaDateKey));
  }
  bool CreatesUnit(std::string_view line) const {
    return ContainsAfterStart(line, kCreateUnitKey) ||
           (later && (ContainsAfterStart(line, kSkinCreateUnitKey) || ContainsAfterStart(line, kTightCreateUnitKey)));
  }
  bool EndsFunction(std::string_view line) const {
    return Contains(line, kEndKey) || (later && TrimWhiteSpaceEnd(line) == "end");
  }
};

// Hands out the script's lines from front to back. A line runs through its
// line feed. The search for a line feed does not pass a NUL: whatever stands
// before a NUL on its line is never seen, and the next line starts after it.
// Bytes after the last line feed form no line.
class LineCursor {
 public:
  explicit LineCursor(std::string_view script) : script_(script) {}

  std::size_t Size() const { return script_.size(); }

  // The line that starts at `start`, or an empty view when a NUL or the end
  // comes first; `next` receives where the following line starts. Starts
  // must not decrease from call to call.
  std::string_view LineAt(std::size_t start, std::size_t& next) {
    const std::size_t nul = NulAtOrAfter(start);
    const std::size_t limit = nul == kNone ? script_.size() : nul;
    const std::size_t feed = start < limit ? script_.substr(0, limit).find('\n', start) : kNone;
    if (feed == kNone) {
      next = nul == kNone ? script_.size() : nul + 1;
      return {};
    }
    next = feed + 1;
    return script_.substr(start, next - start);
  }

 private:
  // Cached so that a far NUL is looked for once, not once per line.
  std::size_t NulAtOrAfter(std::size_t from) {
    if (!nulKnown_ || (nul_ != kNone && nul_ < from)) {
      nul_ = from < script_.size() ? script_.find('\0', from) : kNone;
      nulKnown_ = true;
    }
    return nul_;
  }

  std::string_view script_;
  std::size_t nul_ = kNone;
  bool nulKnown_ = false;
};

// Totals wrap as 32-bit values, as the record shows them.
struct Totals {
  std::uint32_t mines = 0;
  std::uint32_t mineAmounts = 0;
  std::uint32_t aggressive = 0;
  std::uint32_t passive = 0;
  std::uint32_t items = 0;
};

// Feeds each line after a function header to `count`, up to and including
// the line that ends the function ("endfunction", or "end" alone in Lua), or
// to the end of the script. Returns where the line after the last one
// examined starts.
template <typename CountLine>
std::size_t WalkBody(LineCursor& cursor, const Keys& keys, std::size_t start, CountLine&& count) {
  std::size_t pos = start;
  for (;;) {
    std::size_t next = 0;
    const std::string_view line = cursor.LineAt(pos, next);
    count(line);
    if (next >= cursor.Size() || keys.EndsFunction(line)) return next;
    pos = next;
  }
}

// Counts the body lines that create a unit.
auto CountUnitsInto(const Keys& keys, std::uint32_t& count) {
  return [&keys, &count](std::string_view line) {
    if (keys.CreatesUnit(line)) ++count;
  };
}

// The number right after " CreateUnitsForPlayer"; false when it cannot be
// read as a player number.
bool ReadPlayerNumber(std::string_view header, std::int32_t& number) {
  const std::string_view rest = header.substr(header.find(kPlayerUnitsKey) + kPlayerUnitsKey.size());
  number = ReadDecimal(rest);
  if (number < 0) return false;
  return number != 0 || rest.empty() || rest.front() == '0';
}

std::string PlayerLine(bool resolved, std::int32_t number, std::uint32_t units) {
  std::string line = "Player ";
  if (!resolved) line += "??";
  else if (number < 10) line.append("0").append(std::to_string(number));
  else line += std::to_string(number);
  return line.append(" Units:   ").append(std::to_string(static_cast<std::int32_t>(units))).append("\r\n");
}

void CountMineLine(std::string_view line, const Keys& keys, Totals& totals) {
  if (keys.CreatesUnit(line) && keys.Either(line, kGoldMineKey, kLuaGoldMineKey, ContainsAfterStart)) {
    ++totals.mines;
    return;
  }
  std::size_t key = line.find(kResourceKey);
  if (key == kNone && keys.later) key = line.find(kLuaResourceKey);
  if (key == kNone) return;
  const std::size_t comma = line.find(',', key + kResourceKey.size());
  if (comma == kNone || comma + 1 >= line.size()) return;
  totals.mineAmounts += static_cast<std::uint32_t>(ReadDecimal(line.substr(comma + 1)));
}

void WriteTotal(LineWriter& out, std::string_view label, std::uint32_t total) {
  if (total != 0) out.WriteInfoText(NumberLine(label, static_cast<std::int32_t>(total)));
}

}  // namespace

bool ScanScript(std::span<const std::byte> data, LineWriter& out, MapFormats formats) {
  const ByteReader in(data);
  // The count handed over is a signed 32-bit number; beyond it, it would
  // have read as negative.
  if (in.Size() > std::numeric_limits<std::int32_t>::max()) return false;

  LineCursor cursor(in.All());
  const Keys keys{formats == MapFormats::kLater};
  Totals totals;
  bool dateSeen = false;

  std::size_t pos = 0;
  while (pos < cursor.Size()) {
    std::size_t next = 0;
    const std::string_view line = cursor.LineAt(pos, next);
    pos = next;
    if (line.empty()) continue;

    if (!dateSeen && keys.IsDate(line)) {
      // Keeps the script's own line end.
      out.WriteInfoText(std::string(kDateLabel) + std::string(line.substr(kDateKey.size())));
      dateSeen = true;
    } else if (!Contains(line, kFunctionKey)) {
      // Only function headers matter outside bodies.
    } else if (keys.Either(line, kDropItemsKey, kLuaDropItemsKey, ContainsAfterStart)) {
      ++totals.items;
    } else if (Contains(line, kPlayerUnitsKey)) {
      std::int32_t number = 0;
      const bool resolved = ReadPlayerNumber(line, number);
      std::uint32_t units = 0;
      pos = WalkBody(cursor, keys, pos, CountUnitsInto(keys, units));
      out.WriteInfoText(PlayerLine(resolved, number, units));
    } else if (keys.Either(line, kHostileKey, kLuaHostileKey, Contains)) {
      pos = WalkBody(cursor, keys, pos, CountUnitsInto(keys, totals.aggressive));
    } else if (keys.Either(line, kPassiveKey, kLuaPassiveKey, Contains)) {
      pos = WalkBody(cursor, keys, pos, CountUnitsInto(keys, totals.passive));
    } else if (keys.Either(line, kBuildingsKey, kLuaBuildingsKey, Contains)) {
      pos = WalkBody(cursor, keys, pos, [&](std::string_view body) { CountMineLine(body, keys, totals); });
    }
  }

  WriteTotal(out, "Mines:             ", totals.mines);
  WriteTotal(out, "Mines Amounts:     ", totals.mineAmounts);
  WriteTotal(out, "Agressive Units:   ", totals.aggressive);
  WriteTotal(out, "Passive Units:     ", totals.passive);
  WriteTotal(out, "Items:             ", totals.items);
  return true;
}

}  // namespace korvanel
