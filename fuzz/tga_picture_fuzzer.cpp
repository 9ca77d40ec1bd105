// TGA pictures, plain and run-length: the preview and a loading screen,
// from the map's bytes.
#include <cstddef>
#include <cstdint>

#include "fuzz/fuzz_support.h"
#include "parsers/tga_picture.h"

using namespace korvanel;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  Picture picture;
  fuzz::CheckDecoded(DecodeTga(fuzz::AsBytes(data, size), picture), picture);
  return 0;
}
