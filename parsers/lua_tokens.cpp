#include "parsers/lua_tokens.h"

#include "platform/text.h"

namespace korvanel {

namespace {

constexpr std::size_t kNone = std::string_view::npos;

// Lua's names are ASCII: bytes above it start no name.
bool IsNameStart(char c) { return IsAsciiLetter(c) || c == '_'; }
bool IsNameByte(char c) { return IsNameStart(c) || IsAsciiDigit(c); }
bool IsLineEnd(char c) { return c == '\n' || c == '\r'; }

}  // namespace

LuaToken LuaTokens::Take(LuaTokenKind kind, std::size_t start, std::size_t innerStart, std::size_t innerEnd) {
  return {kind, script_.substr(start, pos_ - start), script_.substr(innerStart, innerEnd - innerStart), start};
}

std::size_t LuaTokens::LongBracketLevel(std::size_t at) const {
  std::size_t j = at + 1;
  while (j < script_.size() && script_[j] == '=') ++j;
  return j < script_.size() && script_[j] == '[' ? j - at - 1 : kNone;
}

std::size_t LuaTokens::SkipLong(std::size_t level) {
  // Each "]" is looked at once, with the "=" after it: linear however the
  // contents nearly close.
  for (std::size_t close = script_.find(']', pos_); close != kNone; close = script_.find(']', close + 1)) {
    std::size_t j = close + 1;
    while (j < script_.size() && j - close - 1 < level && script_[j] == '=') ++j;
    if (j - close - 1 == level && j < script_.size() && script_[j] == ']') {
      pos_ = j + 1;
      return close;
    }
  }
  pos_ = script_.size();
  return pos_;
}

std::size_t LuaTokens::SkipShortString(char quote) {
  while (pos_ < script_.size()) {
    const char c = script_[pos_];
    if (c == quote) return pos_++;
    if (IsLineEnd(c)) return pos_;  // unfinished: the line end is no part of it
    ++pos_;
    if (c != '\\' || pos_ >= script_.size()) continue;
    const char escaped = script_[pos_++];
    if (IsLineEnd(escaped)) {
      // An escaped line end, CR LF or LF CR as one.
      if (pos_ < script_.size() && IsLineEnd(script_[pos_]) && script_[pos_] != escaped) ++pos_;
    } else if (escaped == 'z') {
      while (pos_ < script_.size() && IsWhiteSpace(script_[pos_])) ++pos_;
    }
  }
  return pos_;
}

void LuaTokens::SkipNumber() {
  // As Lua reads a numeral: hexadecimal digits and points, and an exponent
  // mark ("e", or "p" after "0x") with its sign.
  const char* exponent = "Ee";
  if (script_[pos_] == '0' && pos_ + 1 < script_.size() && (script_[pos_ + 1] == 'x' || script_[pos_ + 1] == 'X')) {
    exponent = "Pp";
    pos_ += 2;
  }
  while (pos_ < script_.size()) {
    const char c = script_[pos_];
    if (c == exponent[0] || c == exponent[1]) {
      ++pos_;
      if (pos_ < script_.size() && (script_[pos_] == '+' || script_[pos_] == '-')) ++pos_;
    } else if (IsAsciiHexDigit(c) || c == '.') {
      ++pos_;
    } else {
      return;
    }
  }
}

LuaToken LuaTokens::Next() {
  while (pos_ < script_.size() && IsWhiteSpace(script_[pos_])) ++pos_;
  const std::size_t start = pos_;
  if (start >= script_.size()) return {LuaTokenKind::kEnd, {}, {}, start};
  const char c = script_[start];
  const char after = start + 1 < script_.size() ? script_[start + 1] : '\0';

  if (IsNameStart(c)) {
    while (++pos_ < script_.size() && IsNameByte(script_[pos_])) {
    }
    return Take(LuaTokenKind::kName, start, start, pos_);
  }
  if (IsAsciiDigit(c) || (c == '.' && IsAsciiDigit(after))) {
    SkipNumber();
    return Take(LuaTokenKind::kNumber, start, start, pos_);
  }
  if (c == '"' || c == '\'') {
    ++pos_;
    const std::size_t end = SkipShortString(c);
    return Take(LuaTokenKind::kString, start, start + 1, end);
  }
  if (c == '[') {
    if (const std::size_t level = LongBracketLevel(start); level != kNone) {
      pos_ = start + level + 2;
      const std::size_t end = SkipLong(level);
      return Take(LuaTokenKind::kString, start, start + level + 2, end);
    }
  }
  if (c == '-' && after == '-') {
    pos_ = start + 2;
    if (pos_ < script_.size() && script_[pos_] == '[') {
      if (const std::size_t level = LongBracketLevel(pos_); level != kNone) {
        const std::size_t innerStart = pos_ + level + 2;
        pos_ = innerStart;
        const std::size_t end = SkipLong(level);
        return Take(LuaTokenKind::kComment, start, innerStart, end);
      }
    }
    while (pos_ < script_.size() && !IsLineEnd(script_[pos_])) ++pos_;
    return Take(LuaTokenKind::kComment, start, start + 2, pos_);
  }
  // ".." and "..." are one symbol each, so that a number after them is no
  // fraction.
  pos_ = start + 1;
  if (c == '.')
    while (pos_ < script_.size() && pos_ - start < 3 && script_[pos_] == '.') ++pos_;
  return Take(LuaTokenKind::kSymbol, start, start, pos_);
}

LuaToken LuaTokens::NextCode() {
  LuaToken token = Next();
  while (token.kind == LuaTokenKind::kComment) token = Next();
  return token;
}

}  // namespace korvanel
