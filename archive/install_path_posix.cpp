// The game runs under Wine on this platform, so its registry lives in the
// prefix's user.reg and its drives under the prefix's dosdevices folder.
#include "archive/install_path.h"

#include <cstdlib>
#include <fstream>
#include <sstream>

#include "platform/text.h"

namespace korvanel {
namespace {

constexpr std::string_view kGameKey = "[Software\\\\Blizzard Entertainment\\\\Warcraft III]";
constexpr std::string_view kValueName = "\"InstallPath\"=";
constexpr std::size_t kValueLimit = 10240;

unsigned HexValue(char c) {
  if (IsAsciiDigit(c)) return static_cast<unsigned>(c - '0');
  return static_cast<unsigned>(AsciiLower(c) - 'a' + 10);
}

void AppendUtf8(std::string& out, unsigned code) {
  if (code < 0x80) {
    out += static_cast<char>(code);
  } else if (code < 0x800) {
    out += static_cast<char>(0xC0 | (code >> 6));
    out += static_cast<char>(0x80 | (code & 0x3F));
  } else {
    out += static_cast<char>(0xE0 | (code >> 12));
    out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (code & 0x3F));
  }
}

// A quoted registry string as Wine writes it: backslash escapes, \xNNNN
// for characters outside ASCII.
std::string Unescape(std::string_view quoted) {
  std::string out;
  for (std::size_t i = 0; i < quoted.size(); ++i) {
    char c = quoted[i];
    if (c == '"') break;
    if (c != '\\' || i + 1 >= quoted.size()) {
      out += c;
      continue;
    }
    char e = quoted[++i];
    if (e == 'n') out += '\n';
    else if (e == 'r') out += '\r';
    else if (e == 't') out += '\t';
    else if (e == '0') break;
    else if (e == 'x') {
      unsigned code = 0;
      std::size_t digits = 0;
      while (digits < 4 && i + 1 < quoted.size() && IsAsciiHexDigit(quoted[i + 1])) {
        code = code * 16 + HexValue(quoted[++i]);
        ++digits;
      }
      AppendUtf8(out, code);
    } else {
      out += e;
    }
  }
  return out;
}

}  // namespace

std::string ReadInstallPathValue(std::string_view userReg) {
  std::istringstream in{std::string(userReg)};
  std::string line;
  bool inKey = false;
  while (std::getline(in, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (!line.empty() && line[0] == '[') {
      std::string_view header = line;
      std::size_t close = header.find(']');
      inKey = close != std::string_view::npos && EqualsNoCase(header.substr(0, close + 1), kGameKey);
      continue;
    }
    if (!inKey || line.size() < kValueName.size() || !EqualsNoCase(std::string_view(line).substr(0, kValueName.size()), kValueName))
      continue;
    std::string_view value = std::string_view(line).substr(kValueName.size());
    if (value.starts_with("str(2):")) value.remove_prefix(7);
    if (value.empty() || value[0] != '"') return {};
    std::string text = Unescape(value.substr(1));
    return text.size() < kValueLimit ? text : std::string();
  }
  return {};
}

std::string TerminateWindowsPath(std::string text) {
  text.resize(TrimWhiteSpaceEnd(text).size());
  if (!text.empty() && text.back() != '\\' && text.back() != ':') text += '\\';
  return text;
}

std::string MapToWinePrefix(std::string_view windowsPath, std::string_view prefix) {
  if (windowsPath.size() < 2 || windowsPath[1] != ':' || !IsAsciiLetter(windowsPath[0]))
    return {};
  std::string out(prefix);
  if (out.empty() || out.back() != '/') out += '/';
  out += "dosdevices/";
  // The drive's letter as Wine names its link, whatever the locale.
  out += static_cast<char>(AsciiLower(windowsPath[0]));
  out += ":/";
  for (char c : windowsPath.substr(2)) {
    if (c == '\\') {
      if (out.back() != '/') out += '/';
    } else {
      out += c;
    }
  }
  if (out.back() != '/') out += '/';
  return out;
}

std::string GetInstallPath() {
  std::string prefix;
  if (const char* env = std::getenv("WINEPREFIX"); env && *env) {
    prefix = env;
  } else if (const char* home = std::getenv("HOME"); home && *home) {
    prefix = std::string(home) + "/.wine";
  } else {
    return {};
  }
  std::ifstream in(prefix + "/user.reg", std::ios::binary);
  if (!in) return {};
  std::ostringstream text;
  text << in.rdbuf();
  std::string value = ReadInstallPathValue(text.str());
  if (value.empty()) return {};
  return MapToWinePrefix(TerminateWindowsPath(value), prefix);
}

}  // namespace korvanel
