// A buffer reused from one embedded file to the next, so a run does not
// allocate for every file of every map. It only grows, up to a size kept
// for reuse; anything larger is given back after use.
#pragma once

#include <cstddef>
#include <memory>
#include <new>
#include <span>

namespace korvanel {

class ScratchBuffer {
 public:
  // `size` bytes of uninitialised storage, or an empty span when they
  // cannot be had.
  std::span<std::byte> Get(std::size_t size) {
    if (size > capacity_) {
      data_.reset(new (std::nothrow) std::byte[size]);
      capacity_ = data_ ? size : 0;
      if (!data_) return {};
    }
    return {data_.get(), size};
  }
  // Gives back storage above the size worth keeping; true when it did.
  bool Trim() {
    if (capacity_ <= kKeep) return false;
    data_.reset();
    capacity_ = 0;
    return true;
  }

 private:
  static constexpr std::size_t kKeep = 8 << 20;
  std::unique_ptr<std::byte[]> data_;
  std::size_t capacity_ = 0;
};

}  // namespace korvanel
