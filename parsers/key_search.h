// Where a key next occurs in a text, for scans whose places only grow.
#pragma once

#include <cstddef>
#include <string_view>

namespace korvanel {

class KeySearch {
 public:
  KeySearch(std::string_view text, std::string_view key) : text_(text), key_(key) {}

  // The first occurrence at or after `from`, or npos. `from` must not
  // decrease from call to call; then each occurrence is searched for once,
  // however often it is asked for, and the scan stays linear.
  std::size_t From(std::size_t from) {
    if (!searched_ || (at_ != std::string_view::npos && at_ < from)) at_ = text_.find(key_, from);
    searched_ = true;
    return at_;
  }

 private:
  std::string_view text_;
  std::string_view key_;
  std::size_t at_ = std::string_view::npos;
  bool searched_ = false;
};

}  // namespace korvanel
