// What identifies a map file as stored on disk: its size, modification
// time and checksums. Collections find copies of one map by them, and map
// bots name maps by their size and checksums.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>

namespace korvanel {

struct MapIdentity {
  std::uint64_t size = 0;  // the bytes hashed
  std::int64_t modifiedSeconds = 0;  // since 1970, UTC
  std::uint32_t modifiedNanoseconds = 0;
  std::array<std::uint8_t, 20> sha1{};
  std::uint32_t crc32 = 0;
};

// SHA-1 (nettle) and CRC-32 (libdeflate, whose CRC-32 folds with the
// processor's carry-less multiply: a quarter of zlib's time) of a file fed
// to it in order, piece by piece, so the file is read once for both and for
// whatever else reads it.
class MapHasher {
 public:
  MapHasher();
  ~MapHasher();
  MapHasher(const MapHasher&) = delete;
  MapHasher& operator=(const MapHasher&) = delete;

  void Update(std::span<const std::byte> bytes);
  // The checksums and size of everything fed since construction.
  void Finish(MapIdentity& identity);

 private:
  struct Digest;
  std::unique_ptr<Digest> digest_;
  std::uint32_t crc32_ = 0;  // libdeflate starts from 0
  std::uint64_t size_ = 0;
};

}  // namespace korvanel
