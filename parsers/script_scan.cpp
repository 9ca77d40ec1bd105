#include "parsers/script_scan.h"

#include <algorithm>
#include <cstdint>
#include <limits>
#include <string>
#include <string_view>
#include <utility>

#include "parsers/byte_reader.h"
#include "parsers/decimal.h"
#include "parsers/key_search.h"
#include "parsers/lua_tokens.h"
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

// The names of the editor's functions and calls, as a Lua script's tokens
// give them: the JASS keys without the blanks and brackets around them.
// " CreateUnit" finds the calls whose names begin with it.
constexpr std::string_view kPlayerFunctionName = "CreateUnitsForPlayer";
constexpr std::string_view kHostileName = "CreateNeutralHostile";
constexpr std::string_view kPassiveName = "CreateNeutralPassive";
constexpr std::string_view kBuildingsName = "CreateNeutralPassiveBuildings";
constexpr std::string_view kDropItemsSuffix = "_DropItems";
constexpr std::string_view kCreateUnitName = "CreateUnit";
constexpr std::string_view kSkinCreateUnitName = "BlzCreateUnitWithSkin";
constexpr std::string_view kResourceName = "SetResourceAmount";
constexpr std::string_view kGoldMineCode = "ngol";

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

  // Where the line holding the byte at `at` starts, as reached line by line
  // from the line start `start`; the script's size when `at` is none.
  std::size_t LineHolding(std::size_t start, std::size_t at) const {
    if (at == kNone) return script_.size();
    while (at > start && script_[at - 1] != '\n' && script_[at - 1] != '\0') --at;
    return at;
  }

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

// Counted unsigned, so that they wrap instead of overflowing.
struct Totals {
  std::uint32_t mines = 0;
  std::uint32_t mineAmounts = 0;
  std::uint32_t aggressive = 0;
  std::uint32_t passive = 0;
  std::uint32_t items = 0;
};

std::int32_t Wrapped(std::uint32_t total) { return static_cast<std::int32_t>(total); }

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

// The number at the front of what follows "CreateUnitsForPlayer"; false
// when it cannot be read as a player number.
bool ReadPlayerNumber(std::string_view rest, std::int32_t& number) {
  number = ReadDecimal(rest);
  if (number < 0) return false;
  return number != 0 || rest.empty() || rest.front() == '0';
}

std::string PlayerLine(const PlayerUnits& player) {
  std::string line = "Player ";
  if (!player.player) line += "??";
  else if (*player.player < 10) line.append("0").append(std::to_string(*player.player));
  else line += std::to_string(*player.player);
  return line.append(" Units:   ").append(std::to_string(player.units)).append("\r\n");
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

void WriteTotal(LineWriter& out, std::string_view label, std::int32_t total) {
  if (total != 0) out.WriteInfoText(NumberLine(label, total));
}

// The number at the front of `text` and the rest; absent without digits.
std::optional<int> TakeNumber(std::string_view& text) {
  std::size_t digits = 0;
  int value = 0;
  while (digits < text.size() && digits < 4 && text[digits] >= '0' && text[digits] <= '9')
    value = value * 10 + (text[digits++] - '0');
  if (digits == 0) return std::nullopt;
  text.remove_prefix(digits);
  return value;
}

bool TakePrefix(std::string_view& text, std::string_view prefix) {
  if (!text.starts_with(prefix)) return false;
  text.remove_prefix(prefix.size());
  return true;
}

// A JASS script, line by line.
void ScanJass(std::string_view script, const Keys& keys, ScriptFacts& facts, Totals& totals) {
  LineCursor cursor(script);
  // Outside bodies only a line that holds a function header matters, or
  // the date while none is found: the lines between are passed over. No
  // key holds a line feed or a NUL, so none spans two lines.
  KeySearch headers(script, kFunctionKey), dates(script, kDateKey), luaDates(script, kLuaDateKey);
  std::size_t pos = 0;
  while (pos < cursor.Size()) {
    std::size_t wanted = headers.From(pos);
    if (!facts.dateText) wanted = std::min(wanted, dates.From(pos));
    if (!facts.dateText && keys.later) wanted = std::min(wanted, luaDates.From(pos));
    pos = cursor.LineHolding(pos, wanted);
    if (pos >= cursor.Size()) break;
    std::size_t next = 0;
    const std::string_view line = cursor.LineAt(pos, next);
    pos = next;
    if (line.empty()) continue;

    if (!facts.dateText && keys.IsDate(line)) {
      facts.dateText = line.substr(kDateKey.size());
      facts.playersBeforeDate = facts.players.size();
    } else if (!Contains(line, kFunctionKey)) {
      // Only function headers matter outside bodies.
    } else if (keys.Either(line, kDropItemsKey, kLuaDropItemsKey, ContainsAfterStart)) {
      ++totals.items;
    } else if (Contains(line, kPlayerUnitsKey)) {
      std::int32_t number = 0;
      const bool resolved =
          ReadPlayerNumber(line.substr(line.find(kPlayerUnitsKey) + kPlayerUnitsKey.size()), number);
      std::uint32_t units = 0;
      pos = WalkBody(cursor, keys, pos, CountUnitsInto(keys, units));
      facts.players.push_back({resolved ? std::optional(number) : std::nullopt, Wrapped(units)});
    } else if (keys.Either(line, kHostileKey, kLuaHostileKey, Contains)) {
      pos = WalkBody(cursor, keys, pos, CountUnitsInto(keys, totals.aggressive));
    } else if (keys.Either(line, kPassiveKey, kLuaPassiveKey, Contains)) {
      pos = WalkBody(cursor, keys, pos, CountUnitsInto(keys, totals.passive));
    } else if (keys.Either(line, kBuildingsKey, kLuaBuildingsKey, Contains)) {
      pos = WalkBody(cursor, keys, pos, [&](std::string_view body) { CountMineLine(body, keys, totals); });
    }
  }
}

// What a Lua function's body creates: its unit creation calls, those of
// them that create a gold mine, and the gold SetResourceAmount gives.
struct LuaBody {
  std::uint32_t units = 0;
  std::uint32_t mines = 0;
  std::uint32_t gold = 0;
};

// How a Lua name changes the depth of blocks: "function", "if", "do" (which
// opens the bodies of "while" and "for" too) and "repeat" open one, "end"
// and "until" close one; "then", "else" and "elseif" change nothing.
int BlockChange(std::string_view name) {
  if (name == "function" || name == "if" || name == "do" || name == "repeat") return 1;
  return name == "end" || name == "until" ? -1 : 0;
}

// The calls a Lua body's count looks into.
enum class LuaCall { kNone, kCreateUnit, kSetResourceAmount };

LuaCall CallOf(std::string_view name) {
  if (name.starts_with(kCreateUnitName) || name == kSkinCreateUnitName) return LuaCall::kCreateUnit;
  return name == kResourceName ? LuaCall::kSetResourceAmount : LuaCall::kNone;
}

// Walks the body of the function whose header `tokens` has just handed
// out, up to its matching "end" or the script's end. A unit creation call
// counts once, and as a gold mine when "ngol" is among its arguments; the
// gold is the number after a SetResourceAmount call's first comma. A call
// within another's arguments is part of that one, as it is of its line in
// JASS.
LuaBody WalkLuaBody(LuaTokens& tokens, std::string_view script) {
  LuaBody body;
  std::size_t depth = 1;
  LuaCall named = LuaCall::kNone;  // a call's name, until its "(" follows
  LuaCall open = LuaCall::kNone;   // the call whose arguments these are
  std::size_t parentheses = 0;     // open within that call
  bool mine = false;
  for (LuaToken t = tokens.NextCode(); t.kind != LuaTokenKind::kEnd; t = tokens.NextCode()) {
    const LuaCall before = std::exchange(named, LuaCall::kNone);
    if (t.kind == LuaTokenKind::kName) {
      const int change = BlockChange(t.text);
      if (change < 0 && --depth == 0) break;
      if (change > 0) ++depth;
      if (open == LuaCall::kNone) named = CallOf(t.text);
    } else if (t.kind == LuaTokenKind::kString) {
      if (open == LuaCall::kCreateUnit && !mine && t.inner == kGoldMineCode) {
        mine = true;
        ++body.mines;
      }
    } else if (t.kind == LuaTokenKind::kSymbol) {
      const char symbol = t.text.front();
      if (open == LuaCall::kNone) {
        if (symbol != '(' || before == LuaCall::kNone) continue;
        open = before;
        parentheses = 1;
        mine = false;
        if (open == LuaCall::kCreateUnit) ++body.units;
      } else if (symbol == '(') {
        ++parentheses;
      } else if (symbol == ')') {
        if (--parentheses == 0) open = LuaCall::kNone;
      } else if (symbol == ',' && open == LuaCall::kSetResourceAmount) {
        body.gold += static_cast<std::uint32_t>(ReadDecimal(script.substr(t.offset + 1)));
        open = LuaCall::kNone;
      }
    }
  }
  return body;
}

// The date comment, at a line start as the editor writes it; its text runs
// through the line's end, as that of the JASS date line does.
void TakeLuaDate(std::string_view script, const LuaToken& comment, ScriptFacts& facts) {
  if (!comment.text.starts_with(kLuaDateKey) || (comment.offset > 0 && script[comment.offset - 1] != '\n')) return;
  const std::size_t feed = script.find('\n', comment.offset);
  if (feed == kNone) return;
  const std::size_t text = comment.offset + kLuaDateKey.size();
  facts.dateText = script.substr(text, feed + 1 - text);
  facts.playersBeforeDate = facts.players.size();
}

// A Lua script, by its tokens: outside the bodies counted, function
// definitions by their names, and the date comment.
void ScanLua(std::string_view script, ScriptFacts& facts, Totals& totals) {
  LuaTokens tokens(script);
  for (LuaToken t = tokens.Next(); t.kind != LuaTokenKind::kEnd; t = tokens.Next()) {
    if (t.kind == LuaTokenKind::kComment && !facts.dateText) TakeLuaDate(script, t, facts);
    if (t.kind != LuaTokenKind::kName || t.text != "function" || tokens.PeekCode().kind != LuaTokenKind::kName) continue;
    const std::string_view name = tokens.NextCode().text;
    // A table's function ("function t.f()", "function t:f()") is none of
    // the editor's.
    if (const LuaToken after = tokens.PeekCode(); after.text == "." || after.text == ":") continue;
    if (name.ends_with(kDropItemsSuffix)) {
      ++totals.items;
    } else if (name.starts_with(kPlayerFunctionName)) {
      std::int32_t number = 0;
      const std::size_t rest = static_cast<std::size_t>(name.data() - script.data()) + kPlayerFunctionName.size();
      const bool resolved = ReadPlayerNumber(script.substr(rest), number);
      const LuaBody body = WalkLuaBody(tokens, script);
      facts.players.push_back({resolved ? std::optional(number) : std::nullopt, Wrapped(body.units)});
    } else if (name == kHostileName) {
      totals.aggressive += WalkLuaBody(tokens, script).units;
    } else if (name == kPassiveName) {
      totals.passive += WalkLuaBody(tokens, script).units;
    } else if (name == kBuildingsName) {
      const LuaBody body = WalkLuaBody(tokens, script);
      totals.mines += body.mines;
      totals.mineAmounts += body.gold;
    }
  }
}

}  // namespace

bool ScanScript(std::span<const std::byte> data, ScriptFacts& facts, MapFormats formats, ScriptLanguage language) {
  facts = {};
  const ByteReader in(data);
  // The count handed over is a signed 32-bit number; beyond it, it would
  // have read as negative.
  if (in.Size() > std::numeric_limits<std::int32_t>::max()) return false;

  Totals totals;
  if (language == ScriptLanguage::kLua) ScanLua(in.All(), facts, totals);
  else ScanJass(in.All(), Keys{formats == MapFormats::kLater}, facts, totals);

  facts.mines = Wrapped(totals.mines);
  facts.mineAmounts = Wrapped(totals.mineAmounts);
  facts.aggressiveUnits = Wrapped(totals.aggressive);
  facts.passiveUnits = Wrapped(totals.passive);
  facts.items = Wrapped(totals.items);
  return true;
}

void WriteScriptLines(const ScriptFacts& facts, LineWriter& out) {
  for (std::size_t k = 0; k <= facts.players.size(); ++k) {
    // The date keeps the script's own line end.
    if (facts.dateText && k == facts.playersBeforeDate) out.WriteInfoText(std::string(kDateLabel) + *facts.dateText);
    if (k < facts.players.size()) out.WriteInfoText(PlayerLine(facts.players[k]));
  }
  WriteTotal(out, "Mines:             ", facts.mines);
  WriteTotal(out, "Mines Amounts:     ", facts.mineAmounts);
  WriteTotal(out, "Agressive Units:   ", facts.aggressiveUnits);
  WriteTotal(out, "Passive Units:     ", facts.passiveUnits);
  WriteTotal(out, "Items:             ", facts.items);
}

bool ScanScript(std::span<const std::byte> data, ScriptFacts& facts, LineWriter& out, MapFormats formats,
                ScriptLanguage language) {
  const bool ok = ScanScript(data, facts, formats, language);
  WriteScriptLines(facts, out);
  return ok;
}

std::optional<ScriptDate> ReadScriptDate(std::string_view text) {
  static constexpr std::string_view kMonths[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                                 "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
  // The weekday is not checked: the date says it.
  if (text.size() < 4 || text[3] != ' ') return std::nullopt;
  text.remove_prefix(4);
  ScriptDate date;
  for (std::size_t m = 0; m < std::size(kMonths) && date.month == 0; ++m)
    if (TakePrefix(text, kMonths[m])) date.month = static_cast<int>(m) + 1;
  if (date.month == 0 || !TakePrefix(text, " ")) return std::nullopt;
  TakePrefix(text, " ");  // days below 10 may be padded with a blank
  const auto day = TakeNumber(text);
  if (!day || !TakePrefix(text, " ")) return std::nullopt;
  const auto hour = TakeNumber(text);
  if (!hour || !TakePrefix(text, ":")) return std::nullopt;
  const auto minute = TakeNumber(text);
  if (!minute || !TakePrefix(text, ":")) return std::nullopt;
  const auto second = TakeNumber(text);
  if (!second || !TakePrefix(text, " ")) return std::nullopt;
  const auto year = TakeNumber(text);
  if (!year || TrimWhiteSpace(text).size() != 0) return std::nullopt;
  date = {*year, date.month, *day, *hour, *minute, *second};
  if (date.day < 1 || date.day > 31 || date.hour > 23 || date.minute > 59 || date.second > 60) return std::nullopt;
  return date;
}

}  // namespace korvanel
