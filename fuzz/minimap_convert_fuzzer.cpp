// war3mapMap.blp: header checks, JPEG decode and re-encode, in memory.
#include <turbojpeg.h>

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <utility>
#include <vector>

#include "fuzz/fuzz_support.h"
#include "output/minimap_convert.h"

using namespace korvanel;

namespace {

std::int32_t HeaderField(const std::uint8_t* data, std::size_t offset) {
  std::int32_t value = 0;
  std::memcpy(&value, data + offset, 4);  // the fuzz hosts are little-endian
  return value;
}

// A finished minimap is a JPEG of the picture's own size.
void CheckOutput(std::vector<std::byte> jpeg, const std::uint8_t* data) {
  const std::size_t size = jpeg.size();
  if (size == 0) fuzz::Fail("success without output");
  tjhandle handle = tjInitDecompress();
  int width = 0, height = 0, subsampling = 0, colourSpace = 0;
  const int header = tjDecompressHeader3(handle, reinterpret_cast<unsigned char*>(jpeg.data()), size,
                                         &width, &height, &subsampling, &colourSpace);
  tjDestroy(handle);
  if (header != 0) fuzz::Fail("output is not a JPEG");
  if (width != HeaderField(data, 12) || height != HeaderField(data, 16)) fuzz::Fail("output size differs");
  if (subsampling != TJSAMP_444) fuzz::Fail("output is subsampled");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  // One converter for every input, as in a run: a damaged picture must not
  // spoil the next.
  static MinimapConverter converter;
  ConvertedMinimap converted = converter.Convert(fuzz::AsBytes(data, size), 85);

  if (converted.stage == MinimapStage::kDone) {
    CheckOutput(std::move(converted.jpeg), data);
  } else if (!converted.jpeg.empty()) {
    fuzz::Fail("failed conversion gave output");
  }
  return 0;
}
