// The numbered texts of a map's war3map.wts, and how other map files refer
// to them ("TRIGSTR_" and three digits; with later formats, any number of
// digits).
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "parsers/map_formats.h"

namespace korvanel {

class TriggerStringTable {
 public:
  void RemoveAll();
  void Add(std::string text, std::int32_t number);
  // The text of the entry added last with this number; "" when there is none.
  std::string Lookup(std::int32_t number) const;
  std::size_t Size() const { return entries_.size(); }

 private:
  struct Entry {
    std::int32_t number;
    std::string text;
  };
  std::vector<Entry> entries_;  // oldest first
};

// Empties `table` and refills it from the bytes of war3map.wts. Malformed
// input only yields fewer entries, so this always returns true. Later
// formats are read as lines, as the game reads them: a byte-order mark,
// comment lines ("//") and any line ends are allowed.
bool ParseTriggerStrings(std::span<const std::byte> data, TriggerStringTable& table,
                         MapFormats formats = MapFormats::kFirstRelease);

// A text of exactly "TRIGSTR_" plus three characters (later formats: plus
// one or more digits) becomes the text of that entry ("" when the table has
// none); any other text comes back unchanged.
std::string ResolveTriggerString(const TriggerStringTable& table, std::string_view text,
                                 MapFormats formats = MapFormats::kFirstRelease);

}  // namespace korvanel
