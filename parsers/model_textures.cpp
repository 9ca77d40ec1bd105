#include "parsers/model_textures.h"

#include <cstdint>
#include <string_view>

#include "parsers/byte_reader.h"

namespace korvanel {

namespace {
// A replaceable id, a NUL-padded path and flags.
constexpr std::int64_t kTextureEntrySize = 4 + 260 + 4;
constexpr std::int64_t kPathSize = 260;
}  // namespace

std::vector<std::string> ModelTexturePaths(std::span<const std::byte> data) {
  std::vector<std::string> paths;
  const ByteReader in(data);
  if (!in.MagicAt(0, "MDLX")) return paths;
  std::int64_t at = 4;
  while (in.Has(at, 8)) {
    // The size is unsigned; 64-bit offsets keep a huge one from wrapping.
    const std::int64_t size = static_cast<std::uint32_t>(*in.I32(at + 4));
    const std::int64_t body = at + 8;
    if (in.MagicAt(at, "TEXS")) {
      const std::int64_t end = in.Has(body, size) ? body + size : in.Size();
      for (std::int64_t e = body; e + kTextureEntrySize <= end; e += kTextureEntrySize) {
        std::string_view path = in.Text(e + 4, kPathSize);
        path = path.substr(0, path.find('\0'));
        if (!path.empty()) paths.emplace_back(path);
      }
      return paths;
    }
    if (!in.Has(body, size)) break;
    at = body + size;
  }
  return paths;
}

}  // namespace korvanel
