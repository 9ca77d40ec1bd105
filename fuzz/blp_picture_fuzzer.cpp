// BLP1 pictures of either kind, decoded to pixels: the minimap, and a
// loading screen or its model's texture, from the map's bytes.
#include <cstddef>
#include <cstdint>

#include "fuzz/fuzz_support.h"
#include "parsers/blp_picture.h"

using namespace korvanel;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  // One decoder for every input, as in a run: a damaged picture must not
  // spoil the next.
  static BlpDecoder decoder;
  Picture picture;
  fuzz::CheckDecoded(decoder.Decode(fuzz::AsBytes(data, size), picture), picture);
  decoder.Trim();
  return 0;
}
