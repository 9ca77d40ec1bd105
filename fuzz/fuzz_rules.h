// How the fuzz targets read their input, and what every result must
// satisfy whatever the input. Shared by the fuzz targets, which abort on a
// fault, and the regression test, which reports it.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "app/command_line.h"

namespace korvanel::fuzz {

// Arguments are split at NUL bytes, as in a process's argument block; an
// input without a NUL is split at line feeds so that seeds stay readable.
inline std::vector<std::string> SplitArguments(std::string_view input) {
  const char separator = input.find('\0') != std::string_view::npos ? '\0' : '\n';
  std::vector<std::string> arguments;
  for (std::size_t start = 0;;) {
    const std::size_t end = input.find(separator, start);
    arguments.emplace_back(input.substr(start, end == std::string_view::npos ? input.npos : end - start));
    if (end == std::string_view::npos) return arguments;
    start = end + 1;
  }
}

// The script scan's date line, the one line that may end in a bare LF.
inline constexpr std::string_view kDateLinePrefix = "Date Of Creation:  ";

// Each of the following returns what is wrong, or an empty text.

// A record line ends in CR LF and holds no other CR LF, or a later reader
// would see two lines. The script's date line keeps the script's own line
// end, which may be a bare LF; pass its prefix as `bareFeedPrefix`.
inline std::string_view RecordLineFault(std::string_view line, std::string_view bareFeedPrefix = {}) {
  if (!bareFeedPrefix.empty() && line.starts_with(bareFeedPrefix)) {
    if (!line.ends_with('\n') || line.find('\n') != line.size() - 1)
      return "date line must end at its only line feed";
    return {};
  }
  if (!line.ends_with("\r\n")) return "line does not end in CR LF";
  if (line.find("\r\n") != line.size() - 2) return "line holds an inner CR LF";
  return {};
}

inline std::string_view CommandLineFault(const CommandLine& cl) {
  if (cl.help && !cl.usage) return "help switch without usage";
  if (!cl.usage && cl.source.empty()) return "run without a source";
  if (!cl.options.writeInfoFile && !cl.options.infoFilePath.empty()) return "info value without /i";
  if (!cl.options.writeMinimaps && !cl.options.minimapDirectory.empty()) return "minimap value without /m";
  return {};
}

// Each value taken from the arguments is one argument whole: nothing
// split, joined or trimmed.
inline std::string_view ArgumentsCommandLineFault(const std::vector<std::string>& arguments,
                                                  const CommandLine& cl) {
  if (std::string_view fault = CommandLineFault(cl); !fault.empty()) return fault;
  for (const std::string* value : {&cl.source, &cl.options.infoFilePath, &cl.options.minimapDirectory}) {
    if (value->empty()) continue;
    bool whole = false;
    for (const std::string& argument : arguments) whole = whole || argument == *value;
    if (!whole) return "value is not one whole argument";
  }
  return {};
}

}  // namespace korvanel::fuzz
