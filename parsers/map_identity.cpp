#include "parsers/map_identity.h"

#include <libdeflate.h>
#include <nettle/sha1.h>

namespace korvanel {

struct MapHasher::Digest {
  sha1_ctx context;
};

MapHasher::MapHasher() : digest_(std::make_unique<Digest>()) {
  sha1_init(&digest_->context);
}

MapHasher::~MapHasher() = default;

void MapHasher::Update(std::span<const std::byte> bytes) {
  if (bytes.empty()) return;
  const auto* data = reinterpret_cast<const unsigned char*>(bytes.data());
  sha1_update(&digest_->context, bytes.size(), data);
  crc32_ = libdeflate_crc32(crc32_, data, bytes.size());
  size_ += bytes.size();
}

void MapHasher::Finish(MapIdentity& identity) {
  sha1_digest(&digest_->context, identity.sha1.size(), identity.sha1.data());
  identity.crc32 = crc32_;
  identity.size = size_;
}

}  // namespace korvanel
