// Everything a run learnt about one map: whether it opened, what went
// wrong with which of its files, the facts of each embedded file it read,
// and the minimap written for it. The info file shows part of it as lines;
// the catalogue shows all of it.
#pragma once

#include <algorithm>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "parsers/environment.h"
#include "parsers/imports.h"
#include "parsers/map_formats.h"
#include "parsers/map_identity.h"
#include "parsers/map_info.h"
#include "parsers/script_scan.h"

namespace korvanel {

struct MapProblem {
  std::string file;  // the embedded file's name; empty for the map itself
  std::string why;
  // A problem with what the run makes of the map (a minimap file that
  // exists already, say), not with the map's own files.
  bool output = false;
};

struct WrittenMinimap {
  std::string path;
  std::int32_t width = 0;
  std::int32_t height = 0;
};

struct WrittenPicture {
  std::string kind;
  std::string path;
  std::int32_t width = 0;
  std::int32_t height = 0;
};

// A file's facts are absent when the map lacks the file or it was not read.
struct MapRecord {
  std::string path;
  // The layouts the map's files were read in.
  MapFormats formats = MapFormats::kFirstRelease;
  bool opened = false;
  // The file as stored, when it could be read whole.
  std::optional<MapIdentity> identity;
  // The signs of protection seen, by their catalogue names.
  std::vector<std::string_view> protection;
  std::vector<MapProblem> problems;
  std::optional<MapInfo> mapInfo;
  std::optional<EnvironmentFacts> environment;
  std::optional<DoodadFacts> treeDoodads;
  std::optional<DoodadFacts> unitDoodads;
  std::optional<ScriptFacts> script;
  std::optional<ImportList> imports;
  // The embedded file the script facts come from; named only by runs that
  // read later formats, where it may be any of three.
  std::string scriptFile;
  std::optional<WrittenMinimap> minimap;
  // The pictures written for --pictures.
  std::vector<WrittenPicture> pictures;
  // The first map of the run with the same checksum; empty for none.
  std::string duplicateOf;
};

// "read" when every file asked for was there and accepted, "partial" when
// the map opened but one was not, "unopenable" otherwise. Problems with
// what the run writes do not count.
inline std::string_view MapStatus(const MapRecord& record) {
  if (!record.opened) return "unopenable";
  const bool whole = std::none_of(record.problems.begin(), record.problems.end(), [](const MapProblem& p) { return !p.output; });
  return whole ? "read" : "partial";
}

}  // namespace korvanel
