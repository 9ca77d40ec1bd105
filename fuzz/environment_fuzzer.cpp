// war3map.w3e header: version and the size behind two counted tables, in
// the first release's formats and in the later ones.
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "fuzz/fuzz_support.h"
#include "parsers/environment.h"

using namespace korvanel;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  for (MapFormats formats : {MapFormats::kFirstRelease, MapFormats::kLater}) {
    fuzz::CheckingWriter out;
    EnvironmentFacts facts;
    const bool ok = ParseEnvironment(fuzz::AsBytes(data, size), facts, out, formats);

    const bool magic = size >= 4 && std::memcmp(data, "W3E!", 4) == 0;
    if (!magic && (ok || out.Lines() != 0)) fuzz::Fail("wrong magic accepted");
    if (out.Lines() > 2) fuzz::Fail("more than two lines");
    if (ok && out.Lines() == 0) fuzz::Fail("success without a version line");
  }
  return 0;
}
