// A binary model's chunks, walked by their stored sizes to the texture chunk.
#include <cstddef>
#include <cstdint>

#include "fuzz/fuzz_support.h"
#include "parsers/model_textures.h"

using namespace korvanel;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::vector<std::string> paths = ModelTexturePaths(fuzz::AsBytes(data, size));
  if (paths.size() > size / 268) fuzz::Fail("more textures than the data holds");
  for (const std::string& path : paths)
    if (path.empty() || path.size() > 260) fuzz::Fail("path empty or past its field");
  return 0;
}
