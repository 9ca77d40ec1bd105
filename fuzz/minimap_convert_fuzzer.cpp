// war3mapMap.blp: header checks, JPEG decode and re-encode, from memory
// into an in-memory file.
#include <sys/mman.h>
#include <turbojpeg.h>

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

#include "fuzz/fuzz_support.h"
#include "output/minimap_convert.h"
#include "platform/file.h"

using namespace korvanel;

namespace {

File MemoryFile(const char* name) {
  File file(::memfd_create(name, MFD_CLOEXEC));
  if (!file.IsOpen()) fuzz::Fail("memfd_create failed");
  return file;
}

std::int32_t HeaderField(const std::uint8_t* data, std::size_t offset) {
  std::int32_t value = 0;
  std::memcpy(&value, data + offset, 4);  // the fuzz hosts are little-endian
  return value;
}

// A finished minimap is a JPEG of the picture's own size.
void CheckOutput(const File& output, const std::uint8_t* data) {
  std::uint64_t size = 0;
  if (output.Size(size) != 0 || size == 0) fuzz::Fail("success without output");
  std::vector<std::byte> jpeg(size);
  std::size_t got = 0;
  if (output.ReadAt(0, jpeg, got) != 0 || got != size) fuzz::Fail("output unreadable");
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
  File output = MemoryFile("jpg");

  // One converter for every input, as in a run: a damaged picture must not
  // spoil the next.
  static MinimapConverter converter;
  const MinimapStage stage = converter.Convert(fuzz::AsBytes(data, size), output, 85);

  if (stage == MinimapStage::kDone) {
    CheckOutput(output, data);
  } else {
    std::uint64_t written = 0;
    if (output.Size(written) != 0 || written != 0) fuzz::Fail("failed conversion wrote output");
  }
  return 0;
}
