#include "parsers/environment.h"

#include <cstdint>
#include <string_view>

#include "parsers/byte_reader.h"
#include "parsers/record_line.h"

namespace korvanel {

namespace {

constexpr std::int32_t kEnvironmentFormat = 11;
constexpr std::int32_t kLaterEnvironmentFormat = 12;
constexpr std::int32_t kDoodadFormat = 7;
constexpr std::int32_t kLaterDoodadFormat = 8;

bool IsReadable(std::int32_t version, std::int32_t first, std::int32_t later, MapFormats formats) {
  return version == first || (formats == MapFormats::kLater && version == later);
}

struct DoodadLabels {
  std::string_view version;
  std::string_view count;
};

constexpr DoodadLabels kTreeLabels{"Doo Version:       ", "Doodads (Trees):   "};
constexpr DoodadLabels kUnitLabels{"Units.Doo version: ", "Doodads (Other):   "};

// Stored sizes count corners; the map is one less. Wraps instead of
// overflowing for a nonsense minimum value.
std::int32_t LessOne(std::int32_t value) {
  return static_cast<std::int32_t>(static_cast<std::uint32_t>(value) - 1u);
}

bool ParseDoodads(std::span<const std::byte> data, const DoodadLabels& labels, LineWriter& out, MapFormats formats) {
  const ByteReader in(data);
  if (!in.MagicAt(0, "W3do")) return false;
  const auto version = in.I32(4);
  if (!version) return false;
  out.WriteInfoText(NumberLine(labels.version, *version));
  // Version 8 keeps a subversion where version 7 has its unread field.
  if (!IsReadable(*version, kDoodadFormat, kLaterDoodadFormat, formats)) return true;
  const auto count = in.I32(12);
  if (!count) return false;
  out.WriteInfoText(NumberLine(labels.count, *count));
  return true;
}

}  // namespace

bool ParseEnvironment(std::span<const std::byte> data, LineWriter& out, MapFormats formats) {
  const ByteReader in(data);
  if (!in.MagicAt(0, "W3E!")) return false;
  const auto version = in.I32(4);
  if (!version) return false;
  out.WriteInfoText(NumberLine("W3E Version:       ", *version));
  if (!IsReadable(*version, kEnvironmentFormat, kLaterEnvironmentFormat, formats)) return true;

  // Two tables of 4-byte entries (ground and cliff tilesets) precede the
  // size; their counts come from the file, so the offsets are 64-bit and any
  // count that lands outside the data ends the parse.
  const auto a = in.I32(13);
  if (!a) return false;
  const std::int64_t bAt = 17 + 4 * std::int64_t{*a};
  const auto b = in.I32(bAt);
  if (!b) return false;
  const std::int64_t sizeAt = bAt + 4 + 4 * std::int64_t{*b};
  const auto width = in.I32(sizeAt);
  const auto height = in.I32(sizeAt + 4);
  if (!width || !height) return false;
  out.WriteInfoText(SizeLine("Map Size:          ", LessOne(*width), LessOne(*height)));
  return true;
}

bool ParseTreeDoodads(std::span<const std::byte> data, LineWriter& out, MapFormats formats) {
  return ParseDoodads(data, kTreeLabels, out, formats);
}

bool ParseUnitDoodads(std::span<const std::byte> data, LineWriter& out, MapFormats formats) {
  return ParseDoodads(data, kUnitLabels, out, formats);
}

bool ParseEnvironment(std::span<const std::byte> data, LineWriter& out) {
  return ParseEnvironment(data, out, MapFormats::kFirstRelease);
}

bool ParseTreeDoodads(std::span<const std::byte> data, LineWriter& out) {
  return ParseTreeDoodads(data, out, MapFormats::kFirstRelease);
}

bool ParseUnitDoodads(std::span<const std::byte> data, LineWriter& out) {
  return ParseUnitDoodads(data, out, MapFormats::kFirstRelease);
}

bool ParseMmpFile(std::span<const std::byte>, LineWriter&) { return true; }

}  // namespace korvanel
