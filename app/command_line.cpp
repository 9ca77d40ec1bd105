#include "app/command_line.h"

#include <algorithm>
#include <cctype>
#include <deque>
#include <utility>

#include "app/paths.h"

namespace korvanel {
namespace {

bool SameNoCase(std::string_view a, std::string_view b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y));
         });
}

bool IsAnyOf(std::string_view token, std::initializer_list<std::string_view> names) {
  return std::any_of(names.begin(), names.end(), [&](std::string_view n) { return SameNoCase(token, n); });
}

class TokenStream {
 public:
  virtual ~TokenStream() = default;
  virtual bool Empty() const = 0;
  virtual std::string Next() = 0;
  virtual std::string ReadValue() = 0;
  virtual void PutBack(const std::string& token) = 0;
};

class ArgumentTokens : public TokenStream {
 public:
  explicit ArgumentTokens(const std::vector<std::string>& args) : rest_(args.begin(), args.end()) {}
  bool Empty() const override { return rest_.empty(); }
  std::string Next() override {
    std::string token = std::move(rest_.front());
    rest_.pop_front();
    return token;
  }
  std::string ReadValue() override { return Empty() ? std::string() : Next(); }
  void PutBack(const std::string& token) override { rest_.push_front(token); }

 private:
  std::deque<std::string> rest_;
};

std::string_view TrimFront(std::string_view s) {
  while (!s.empty() && (s.front() == ' ' || (s.front() >= '\t' && s.front() <= '\r'))) s.remove_prefix(1);
  return s;
}

std::string_view TrimBack(std::string_view s) {
  while (!s.empty() && (s.back() == ' ' || (s.back() >= '\t' && s.back() <= '\r'))) s.remove_suffix(1);
  return s;
}

// Views into the caller's text: taking a token copies only the token, so a
// long command line costs linear time.
class TextTokens : public TokenStream {
 public:
  explicit TextTokens(std::string_view tail) : rest_(TrimWhiteSpace(tail)) {}
  bool Empty() const override { return rest_.empty(); }
  std::string Next() override {
    beforeNext_ = rest_;
    return SplitAtSpace();
  }
  std::string ReadValue() override {
    if (rest_.empty() || rest_[0] != '"') return SplitAtSpace();
    std::size_t close = rest_.find('"', 1);
    if (close == std::string_view::npos) return std::string(std::exchange(rest_, {}));
    std::string value(TrimBack(rest_.substr(1, close - 1)));
    rest_ = TrimFront(rest_.substr(close + 1));
    return value;
  }
  // Back to the text exactly as it stood: rejoining the trimmed token with
  // one blank would squeeze the blanks inside a quoted source and add one
  // to an unclosed quote.
  void PutBack(const std::string&) override { rest_ = beforeNext_; }

 private:
  // Only the space separates tokens; tabs do not.
  std::string SplitAtSpace() {
    std::size_t space = rest_.find(' ');
    if (space == std::string_view::npos) return std::string(std::exchange(rest_, {}));
    std::string token(TrimBack(rest_.substr(0, space)));
    rest_ = TrimFront(rest_.substr(space));
    return token;
  }

  std::string_view rest_;
  std::string_view beforeNext_;
};

enum class Switch { kNone, kSubdirectories, kAppend, kOverwrite, kHelp, kInfo, kMinimaps };

// POSIX also takes "-s -a -o -i -m"; the help switches are the same on both.
Switch Classify(std::string_view token, bool posix) {
  auto is = [&](std::string_view slash) {
    return SameNoCase(token, slash) || (posix && token.size() == 2 && token[0] == '-' && SameNoCase(token.substr(1), slash.substr(1)));
  };
  if (is("/s")) return Switch::kSubdirectories;
  if (is("/a")) return Switch::kAppend;
  if (is("/o")) return Switch::kOverwrite;
  if (IsAnyOf(token, {"/?", "-?", "/help", "-help", "--help", "?"})) return Switch::kHelp;
  if (is("/i")) return Switch::kInfo;
  if (is("/m")) return Switch::kMinimaps;
  return Switch::kNone;
}

// The value of "/i" or "/m". A missing one, or another switch in its place,
// is a mistake: taken as a path, "/m" alone would put the pictures in the
// root folder and "/i /s" would write an info file named "/s".
bool TakeValue(TokenStream& tokens, bool posix, std::string& value) {
  if (tokens.Empty()) return false;
  value = tokens.ReadValue();
  return !value.empty() && Classify(value, posix) == Switch::kNone;
}

CommandLine Parse(TokenStream& tokens, bool posix) {
  CommandLine cl;
  while (!tokens.Empty()) {
    std::string token = tokens.Next();
    switch (Classify(token, posix)) {
      case Switch::kSubdirectories:
        cl.includeSubdirectories = true;
        break;
      case Switch::kAppend:
        cl.appendInfoFile = true;
        break;
      case Switch::kOverwrite:
        cl.overwriteInfoFile = true;
        break;
      case Switch::kHelp:
        cl.usage = cl.help = true;
        break;
      case Switch::kInfo:
        cl.writeInfoFile = true;
        if (!TakeValue(tokens, posix, cl.infoValue)) cl.usage = true;
        break;
      case Switch::kMinimaps:
        cl.writeMinimaps = true;
        if (!TakeValue(tokens, posix, cl.minimapValue)) cl.usage = true;
        break;
      case Switch::kNone:
        if ((!posix && !token.empty() && token[0] == '/') || !cl.source.empty()) {
          cl.usage = true;
        } else {
          tokens.PutBack(token);
          cl.source = tokens.ReadValue();
        }
        break;
    }
  }
  if (cl.source.empty()) cl.usage = true;
  return cl;
}

}  // namespace

CommandLine ParseCommandLine(const std::vector<std::string>& arguments) {
  ArgumentTokens tokens(arguments);
  return Parse(tokens, true);
}

CommandLine ParseCommandLineText(std::string_view tail) {
  TextTokens tokens(tail);
  return Parse(tokens, false);
}

bool IsBlankCommandLine(const std::vector<std::string>& arguments) {
  return std::all_of(arguments.begin(), arguments.end(),
                     [](const std::string& a) { return TrimWhiteSpace(a).empty(); });
}

const std::string_view kUsageText =
    "Korvanel v1.2\n"
    "--------------------\n"
    "\n"
    "\n"
    "Syntax:\n"
    " Korvanel <source_dir/source_file> [/s] [/i <info_file>] [/a|/o] [/m <minimap_dest_dir>]\n"
    "\n"
    " source_dir/source_file : the source directory or the source single file\n"
    " /s                     : include subdirectories (ignored in case of a single file)\n"
    " /i info_file           : generate a \"info_file\" info file that contains map statistics\n"
    " /a                     : append an info file (do not overwrite an existing file)\n"
    " /o                     : overwrite an existing info file\n"
    " /m minimap_dest_dir    : output minimaps in the \"minimap_dest_dir\" directory\n"
    "\n"
    "Example:\n"
    " Korvanel \"C:\\Program Files\\Warcraft III\\\" /s /i \"C:\\Program Files\\Warcraft III\\MyMaps.txt\" /m \"C:\\Program Files\\Warcraft III\\Minimaps\\\"\n";

}  // namespace korvanel
