// Bounds-checked little-endian reads over one extracted file. Every parser
// reads map data through this; offsets are 64-bit so that offsets computed
// from counts stored in a map cannot wrap.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string_view>

namespace korvanel {

class ByteReader {
 public:
  explicit ByteReader(std::span<const std::byte> data) : data_(data) {}

  std::int64_t Size() const { return static_cast<std::int64_t>(data_.size()); }

  // True when [offset, offset + count) lies inside the data.
  bool Has(std::int64_t offset, std::int64_t count) const {
    return offset >= 0 && count >= 0 && offset <= Size() && count <= Size() - offset;
  }

  std::optional<std::uint8_t> U8(std::int64_t offset) const {
    if (!Has(offset, 1)) return std::nullopt;
    return std::to_integer<std::uint8_t>(data_[static_cast<std::size_t>(offset)]);
  }

  std::optional<std::uint16_t> U16(std::int64_t offset) const {
    if (!Has(offset, 2)) return std::nullopt;
    return static_cast<std::uint16_t>(std::to_integer<std::uint16_t>(data_[static_cast<std::size_t>(offset)]) |
                                      std::to_integer<std::uint16_t>(data_[static_cast<std::size_t>(offset + 1)]) << 8);
  }

  std::optional<std::int32_t> I32(std::int64_t offset) const {
    if (!Has(offset, 4)) return std::nullopt;
    std::uint32_t v = 0;
    for (int i = 3; i >= 0; --i)
      v = (v << 8) | std::to_integer<std::uint32_t>(data_[static_cast<std::size_t>(offset + i)]);
    return static_cast<std::int32_t>(v);
  }

  // Four exact bytes (or however many `magic` holds) at `offset`.
  bool MagicAt(std::int64_t offset, std::string_view magic) const {
    if (!Has(offset, static_cast<std::int64_t>(magic.size()))) return false;
    return Text(offset, static_cast<std::int64_t>(magic.size())) == magic;
  }

  // The bytes from `offset` up to the next NUL, or to the end of the data.
  // `next` receives the offset after that NUL (string length + 1).
  std::string_view CString(std::int64_t offset, std::int64_t& next) const {
    if (offset < 0 || offset >= Size()) {
      next = offset + 1;
      return {};
    }
    std::string_view rest = Text(offset, Size() - offset);
    std::size_t len = rest.find('\0');
    if (len == std::string_view::npos) len = rest.size();
    next = offset + static_cast<std::int64_t>(len) + 1;
    return rest.substr(0, len);
  }

  // A view of `count` bytes from `offset`; callers check Has() first.
  std::string_view Text(std::int64_t offset, std::int64_t count) const {
    return {reinterpret_cast<const char*>(data_.data()) + offset, static_cast<std::size_t>(count)};
  }

  std::string_view All() const { return Text(0, Size()); }

 private:
  std::span<const std::byte> data_;
};

}  // namespace korvanel
