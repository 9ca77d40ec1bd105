// war3map.j and war3map.lua: the line scan for the date, unit functions and
// totals, with the first release's keys and with the later editors' too.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "fuzz/fuzz_support.h"
#include "parsers/script_scan.h"

using namespace korvanel;

namespace {

class ScriptWriter : public fuzz::CheckingWriter {
 public:
  ScriptWriter() : CheckingWriter(fuzz::kDateLinePrefix) {}
  void WriteInfoText(std::string_view text) override {
    CheckingWriter::WriteInfoText(text);
    if (text.starts_with(fuzz::kDateLinePrefix) && ++dates_ > 1) fuzz::Fail("second date line", text);
  }

 private:
  int dates_ = 0;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  for (MapFormats formats : {MapFormats::kFirstRelease, MapFormats::kLater}) {
    ScriptWriter out;
    ScriptFacts facts;
    if (!ScanScript(fuzz::AsBytes(data, size), facts, out, formats)) fuzz::Fail("scan returned false");
    // Without a line feed there is no line, so nothing can be written.
    if (std::string_view(reinterpret_cast<const char*>(data), size).find('\n') == std::string_view::npos &&
        out.Lines() != 0)
      fuzz::Fail("lines written for a script without lines");
  }
  return 0;
}
