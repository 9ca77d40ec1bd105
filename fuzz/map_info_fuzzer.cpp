// war3map.w3i, its texts resolved against a fixed trigger string table, in
// the first release's formats and in every later one.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <iterator>
#include <string>

#include "fuzz/fuzz_support.h"
#include "parsers/map_info.h"
#include "parsers/trigger_strings.h"

using namespace korvanel;

namespace {

// Every number 0..999 has an entry, so every reference in a real map
// resolves; the texts hold what the escaping has to handle.
const TriggerStringTable& FixedTable() {
  static const TriggerStringTable table = [] {
    static constexpr const char* kTexts[] = {
        "Plain name", "two\r\nlines", "back\\slash\\\r\n", "lone\rcr and lone\nlf",
        "\r\r\n\n\r", "%s%n%i", "TRIGSTR_001", "\\\\\\"};
    std::string wts;
    for (int n = 0; n < 1000; ++n)
      wts += "STRING " + std::to_string(n) + "\r\n{\r\n" + kTexts[n % 8] + "\r\n}\r\n\r\n";
    TriggerStringTable t;
    ParseTriggerStrings(std::as_bytes(std::span(wts.data(), wts.size())), t);
    return t;
  }();
  return table;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  for (MapFormats formats : {MapFormats::kFirstRelease, MapFormats::kLater}) {
    fuzz::CheckingWriter out;
    MapInfo info;
    const bool ok = ParseMapInfo(fuzz::AsBytes(data, size), FixedTable(), info, out, formats);

    if (size < 4) {
      if (ok || out.Lines() != 0) fuzz::Fail("short file not refused");
      continue;
    }
    std::int32_t format = 0;
    std::memcpy(&format, data, 4);  // the fuzz hosts are little-endian
    const bool readable = format == 18 || (formats == MapFormats::kLater && format > 18);
    if (!readable && (!ok || out.Lines() != 1)) fuzz::Fail("other format must give its version line only");
    if (readable && ok && out.Lines() != 11) fuzz::Fail("complete walk must give eleven lines");
    if (readable && !ok && out.Lines() >= 11) fuzz::Fail("failed walk wrote every line");
    if (info.endsAfterForces && !info.slotsComplete) fuzz::Fail("an end after forces not read");
    // Fields are kept in file order: none after the first one missing.
    const bool later[] = {info.loadingScreenBackground.has_value(), info.loadingScreenText.has_value(),
                          info.loadingScreenTitle.has_value(),      info.loadingScreenSubtitle.has_value(),
                          info.gameDataSet.has_value(),             info.prologueText.has_value(),
                          info.prologueTitle.has_value(),           info.prologueSubtitle.has_value(),
                          info.maxPlayers.has_value()};
    for (std::size_t k = 1; k < std::size(later); ++k)
      if (later[k] && !later[k - 1]) fuzz::Fail("a field kept after a missing one");
    if (later[0] && !info.tileset) fuzz::Fail("loading screen kept without the tileset");
  }
  return 0;
}
