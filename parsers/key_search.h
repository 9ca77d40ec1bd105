// Where a key next occurs in a text, for scans whose places only grow.
#pragma once

#include <cstddef>
#include <string_view>

namespace korvanel {

enum class LetterCase { kExact, kEither };

// The first occurrence of `key` in `text` at or after `from`, or npos. With
// kEither an ASCII letter of the key also matches in its other case.
std::size_t FindKey(std::string_view text, std::string_view key, std::size_t from,
                    LetterCase letters = LetterCase::kExact);

class KeySearch {
 public:
  KeySearch(std::string_view text, std::string_view key, LetterCase letters = LetterCase::kExact)
      : text_(text), key_(key), letters_(letters) {}

  // The first occurrence at or after `from`, or npos. `from` must not
  // decrease from call to call; then each occurrence is searched for once,
  // however often it is asked for, and the scan stays linear.
  std::size_t From(std::size_t from) {
    if (!searched_ || (at_ != std::string_view::npos && at_ < from)) at_ = FindKey(text_, key_, from, letters_);
    searched_ = true;
    return at_;
  }

 private:
  std::string_view text_;
  std::string_view key_;
  LetterCase letters_;
  std::size_t at_ = std::string_view::npos;
  bool searched_ = false;
};

}  // namespace korvanel
