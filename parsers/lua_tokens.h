// The tokens of a Lua script (war3map.lua), as far as a scan of its
// structure needs them: names, numbers, strings, comments, other symbols.
#pragma once

#include <cstddef>
#include <string_view>

namespace korvanel {

enum class LuaTokenKind { kName, kNumber, kString, kComment, kSymbol, kEnd };

struct LuaToken {
  LuaTokenKind kind = LuaTokenKind::kEnd;
  // The token as written, a string's quotes or brackets and a comment's
  // "--" included; a symbol is one byte, or "..", "...".
  std::string_view text;
  // A string's contents (escapes as written) and a comment's text after
  // its "--" or brackets.
  std::string_view inner;
  std::size_t offset = 0;  // where the token starts in the script
};

// Hands out a script's tokens from front to back, as the game's Lua reads
// them, in time linear in the script's size. What Lua would refuse still
// gives tokens: a string missing its closing quote ends at its line end, a
// long string or comment missing its closing bracket at the script's end,
// any byte that starts no token is a symbol.
class LuaTokens {
 public:
  explicit LuaTokens(std::string_view script) : script_(script) {}

  LuaToken Next();
  // The next token that is no comment, for a scan of the code alone.
  LuaToken NextCode();
  // The token NextCode() will give.
  LuaToken PeekCode() const { return LuaTokens(*this).NextCode(); }

 private:
  LuaToken Take(LuaTokenKind kind, std::size_t start, std::size_t innerStart, std::size_t innerEnd);
  // The level of the long bracket ("[", as many "=" as the level, "[")
  // opening at `at`; none when there is none.
  std::size_t LongBracketLevel(std::size_t at) const;
  // Passes over a long string's or comment's contents up to the closing
  // bracket of `level`; returns where its contents end.
  std::size_t SkipLong(std::size_t level);
  std::size_t SkipShortString(char quote);
  void SkipNumber();

  std::string_view script_;
  std::size_t pos_ = 0;
};

}  // namespace korvanel
