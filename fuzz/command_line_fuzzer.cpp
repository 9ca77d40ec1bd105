// The POSIX command line: arguments as the shell hands them over.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "app/command_line.h"
#include "fuzz/fuzz_support.h"

using namespace korvanel;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::vector<std::string> arguments =
      fuzz::SplitArguments(std::string_view(reinterpret_cast<const char*>(data), size));
  IsBlankCommandLine(arguments);
  fuzz::Check(fuzz::ArgumentsCommandLineFault(arguments, ParseCommandLine(arguments)));
  return 0;
}
