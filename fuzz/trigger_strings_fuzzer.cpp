// war3map.wts: the parse, then references resolved against what it found,
// as the first release reads them and as the game reads them now.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "fuzz/fuzz_support.h"
#include "parsers/trigger_strings.h"
#include "platform/text.h"

using namespace korvanel;

namespace {

// A resolved text is empty or a trimmed piece of the file itself.
void CheckResolved(std::string_view all, const TriggerStringTable& table, std::string_view reference,
                   MapFormats formats) {
  const std::string text = ResolveTriggerString(table, reference, formats);
  if (text.empty()) return;
  if (IsWhiteSpace(text.back())) fuzz::Fail("resolved text keeps trailing white space", text);
  if (text.find('}') != std::string::npos) fuzz::Fail("resolved text holds a closing brace", text);
  if (all.find(text) == std::string_view::npos) fuzz::Fail("resolved text is not from the file", text);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view all(reinterpret_cast<const char*>(data), size);
  for (MapFormats formats : {MapFormats::kFirstRelease, MapFormats::kLater}) {
    TriggerStringTable table;
    // A stale entry has to go with the parse.
    table.Add("stale", 1);
    if (!ParseTriggerStrings(fuzz::AsBytes(data, size), table, formats)) fuzz::Fail("parse returned false");
    if (table.Size() > size / 7) fuzz::Fail("more entries than the file can hold");

    // References as the map information holds them, numbers taken from the
    // input so that present entries are hit.
    for (std::size_t at = 0; at + 3 <= size && at < 64 * 3; at += 3)
      CheckResolved(all, table, "TRIGSTR_" + std::string(all.substr(at, 3)), formats);
    for (const char* number : {"000", "001", "007", "012", "999", "-01", " 12", "+05"})
      CheckResolved(all, table, std::string("TRIGSTR_") + number, formats);
    if (formats == MapFormats::kLater)
      for (const char* number : {"1302", "00012", "7"}) CheckResolved(all, table, std::string("TRIGSTR_") + number, formats);

    // Anything that is not a reference comes back unchanged: later formats
    // take any number of digits.
    for (std::string_view other : {std::string_view("TRIGSTR_0001"), std::string_view("trigstr_001"),
                                   std::string_view("TRIGSTR_01"), std::string_view("TRIGSTR_12x4"),
                                   all.substr(0, 40)}) {
      if (other.size() == 11 && other.starts_with("TRIGSTR_")) continue;
      const bool digits = other.size() > 8 && other.starts_with("TRIGSTR_") &&
                          other.substr(8).find_first_not_of("0123456789") == std::string_view::npos;
      if (formats == MapFormats::kLater && digits) continue;
      if (ResolveTriggerString(table, other, formats) != other) fuzz::Fail("non-reference was changed", other);
    }
  }
  return 0;
}
