// The Windows-style command line: one raw text, split at spaces, values
// in double quotes.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "app/command_line.h"
#include "fuzz/fuzz_support.h"

using namespace korvanel;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view tail(reinterpret_cast<const char*>(data), size);
  const CommandLine cl = ParseCommandLineText(tail);
  fuzz::Check(fuzz::TextCommandLineFault(tail, cl), tail.substr(0, 200));
  return 0;
}
