// war3map.doo and war3mapUnits.doo share one header; both parsers see
// every input.
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "fuzz/fuzz_support.h"
#include "parsers/environment.h"

using namespace korvanel;

namespace {

void Check(bool (*parse)(std::span<const std::byte>, DoodadFacts&, LineWriter&, MapFormats), MapFormats formats,
           const std::uint8_t* data, std::size_t size) {
  fuzz::CheckingWriter out;
  DoodadFacts facts;
  const bool ok = parse(fuzz::AsBytes(data, size), facts, out, formats);
  const bool magic = size >= 4 && std::memcmp(data, "W3do", 4) == 0;
  if (!magic && (ok || out.Lines() != 0)) fuzz::Fail("wrong magic accepted");
  if (out.Lines() > 2) fuzz::Fail("more than two lines");
  if (ok && out.Lines() == 0) fuzz::Fail("success without a version line");
  if (size >= 16 && magic && !ok) fuzz::Fail("complete header refused");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  for (MapFormats formats : {MapFormats::kFirstRelease, MapFormats::kLater}) {
    Check(ParseTreeDoodads, formats, data, size);
    Check(ParseUnitDoodads, formats, data, size);
  }
  return 0;
}
