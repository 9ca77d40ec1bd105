// Shared by the fuzz targets: the input as map bytes, and a line writer
// that aborts on a line that would break the record's layout.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <span>
#include <string_view>

#include "fuzz/fuzz_rules.h"
#include "parsers/line_writer.h"
#include "parsers/picture.h"

namespace korvanel::fuzz {

inline std::span<const std::byte> AsBytes(const std::uint8_t* data, std::size_t size) {
  return {reinterpret_cast<const std::byte*>(data), size};
}

// Stops the run so that libFuzzer keeps the input that caused it.
[[noreturn]] inline void Fail(std::string_view what, std::string_view detail = {}) {
  std::fprintf(stderr, "fuzz check failed: %.*s [%.*s]\n", static_cast<int>(what.size()), what.data(),
               static_cast<int>(detail.size()), detail.data());
  std::abort();
}

inline void Check(std::string_view fault, std::string_view detail = {}) {
  if (!fault.empty()) Fail(fault, detail);
}

class CheckingWriter : public LineWriter {
 public:
  explicit CheckingWriter(std::string_view bareFeedPrefix = {}) : bareFeedPrefix_(bareFeedPrefix) {}

  void WriteInfoText(std::string_view text) override {
    ++lines_;
    Check(RecordLineFault(text, bareFeedPrefix_), text);
  }

  int Lines() const { return lines_; }

 private:
  std::string_view bareFeedPrefix_;
  int lines_ = 0;
};

// A decoder's outcome: a picture of its own size within the bounds, or on
// refusal the picture left as it was (here: empty).
inline void CheckDecoded(PictureError error, const Picture& picture) {
  if (error != PictureError::kNone) {
    if (picture.width != 0 || picture.height != 0 || !picture.rgba.empty()) Fail("refused picture changed");
    return;
  }
  if (picture.width < 1 || picture.height < 1 || picture.width > kMaxPictureSide || picture.height > kMaxPictureSide)
    Fail("side out of bounds");
  if (picture.rgba.size() != static_cast<std::size_t>(picture.width) * static_cast<std::size_t>(picture.height) * 4)
    Fail("pixels differ from the size");
  if (!picture.alpha)
    for (std::size_t i = 3; i < picture.rgba.size(); i += 4)
      if (picture.rgba[i] != 255) Fail("no alpha but a pixel not opaque");
}

}  // namespace korvanel::fuzz
