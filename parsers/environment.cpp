#include "parsers/environment.h"

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

void WriteDoodadLines(const DoodadFacts& facts, const DoodadLabels& labels, LineWriter& out) {
  if (facts.version) out.WriteInfoText(NumberLine(labels.version, *facts.version));
  if (facts.count) out.WriteInfoText(NumberLine(labels.count, *facts.count));
}

}  // namespace

bool ParseEnvironment(std::span<const std::byte> data, EnvironmentFacts& facts, MapFormats formats) {
  facts = {};
  const ByteReader in(data);
  if (!in.MagicAt(0, "W3E!")) return false;
  if (!(facts.version = in.I32(4))) return false;
  if (!IsReadable(*facts.version, kEnvironmentFormat, kLaterEnvironmentFormat, formats)) return true;

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
  facts.mapSize = MapSize{LessOne(*width), LessOne(*height)};
  return true;
}

bool ParseDoodads(std::span<const std::byte> data, DoodadFacts& facts, MapFormats formats) {
  facts = {};
  const ByteReader in(data);
  if (!in.MagicAt(0, "W3do")) return false;
  if (!(facts.version = in.I32(4))) return false;
  // Version 8 keeps a subversion where version 7 has its unread field.
  if (!IsReadable(*facts.version, kDoodadFormat, kLaterDoodadFormat, formats)) return true;
  return (facts.count = in.I32(12)).has_value();
}

void WriteEnvironmentLines(const EnvironmentFacts& facts, LineWriter& out) {
  if (facts.version) out.WriteInfoText(NumberLine("W3E Version:       ", *facts.version));
  if (facts.mapSize) out.WriteInfoText(SizeLine("Map Size:          ", facts.mapSize->width, facts.mapSize->height));
}

void WriteTreeDoodadLines(const DoodadFacts& facts, LineWriter& out) { WriteDoodadLines(facts, kTreeLabels, out); }
void WriteUnitDoodadLines(const DoodadFacts& facts, LineWriter& out) { WriteDoodadLines(facts, kUnitLabels, out); }

bool ParseEnvironment(std::span<const std::byte> data, EnvironmentFacts& facts, LineWriter& out,
                      MapFormats formats) {
  const bool ok = ParseEnvironment(data, facts, formats);
  WriteEnvironmentLines(facts, out);
  return ok;
}

bool ParseTreeDoodads(std::span<const std::byte> data, DoodadFacts& facts, LineWriter& out, MapFormats formats) {
  const bool ok = ParseDoodads(data, facts, formats);
  WriteTreeDoodadLines(facts, out);
  return ok;
}

bool ParseUnitDoodads(std::span<const std::byte> data, DoodadFacts& facts, LineWriter& out, MapFormats formats) {
  const bool ok = ParseDoodads(data, facts, formats);
  WriteUnitDoodadLines(facts, out);
  return ok;
}

bool ParseMmpFile(std::span<const std::byte>) { return true; }

}  // namespace korvanel
