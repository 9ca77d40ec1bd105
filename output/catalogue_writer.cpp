#include "output/catalogue_writer.h"

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <nlohmann/json.hpp>

#include "platform/text.h"

namespace korvanel {
namespace {

using Json = nlohmann::ordered_json;

std::string Base64(std::string_view bytes) {
  static constexpr char kDigits[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  std::string out;
  out.reserve((bytes.size() + 2) / 3 * 4);
  for (std::size_t i = 0; i < bytes.size(); i += 3) {
    std::uint32_t group = static_cast<unsigned char>(bytes[i]) << 16;
    if (i + 1 < bytes.size()) group |= static_cast<unsigned char>(bytes[i + 1]) << 8;
    if (i + 2 < bytes.size()) group |= static_cast<unsigned char>(bytes[i + 2]);
    out += kDigits[(group >> 18) & 63];
    out += kDigits[(group >> 12) & 63];
    out += i + 1 < bytes.size() ? kDigits[(group >> 6) & 63] : '=';
    out += i + 2 < bytes.size() ? kDigits[group & 63] : '=';
  }
  return out;
}

// The raw bytes go in as they are: the dump replaces each bad sequence
// with U+FFFD, and the exact bytes ride beside them.
void PutText(Json& object, const std::string& key, std::string_view text) {
  object[key] = std::string(text);
  if (!IsValidUtf8(text)) object[key + "_base64"] = Base64(text);
}

Json MapTextJson(const MapText& text) {
  Json object = Json::object();
  PutText(object, "stored", text.stored);
  PutText(object, "resolved", text.resolved);
  return object;
}

Json SizeJson(const MapSize& size) { return {{"width", size.width}, {"height", size.height}}; }

template <typename Names>
Json FlagsJson(std::int32_t value, const Names& names) {
  Json list = Json::array();
  for (std::string_view name : names) list.push_back(name);
  return {{"value", value}, {"names", std::move(list)}};
}

// A named code: its stored value, and its name when it has one.
Json CodeJson(std::int32_t value, std::string_view name) {
  Json object = {{"value", value}};
  if (!name.empty()) object["name"] = name;
  return object;
}

Json MapInfoJson(const MapInfo& info) {
  Json object = Json::object();
  if (info.format) object["format"] = *info.format;
  if (info.mapVersion) object["map_version"] = *info.mapVersion;
  if (info.editorVersion) {
    object["editor"] = {{"version", *info.editorVersion}, {"name", EditorName(*info.editorVersion)}};
    const auto release = EditorReleaseName(*info.editorVersion);
    object["editor"]["release"] = release ? Json(*release) : Json();
  }
  if (const auto& v = info.gameVersion)
    object["game_version"] = {{"major", v->major}, {"minor", v->minor}, {"patch", v->patch}, {"build", v->build}};
  const std::pair<const char*, const std::optional<MapText>*> texts[] = {
      {"name", &info.name}, {"author", &info.author}, {"description", &info.description},
      {"suggested_players", &info.suggestedPlayers}};
  for (const auto& [key, text] : texts)
    if (*text) object[key] = MapTextJson(**text);
  if (info.playableSize) object["playable_size"] = SizeJson(*info.playableSize);
  if (info.flags) {
    object["flags"] = FlagsJson(*info.flags, MapFlagNames(*info.flags));
    object["melee"] = IsMeleeMap(*info.flags);
  }
  if (info.tileset) {
    Json tileset = {{"name", TilesetName(*info.tileset, info.formats)}};
    PutText(tileset, "letter", std::string(1, static_cast<char>(*info.tileset)));
    object["tileset"] = std::move(tileset);
  }
  Json loading = Json::object();
  if (info.loadingScreenBackground) loading["background"] = *info.loadingScreenBackground;
  if (info.loadingScreenPath) PutText(loading, "path", *info.loadingScreenPath);
  const std::pair<const char*, const std::optional<MapText>*> loadingTexts[] = {
      {"text", &info.loadingScreenText}, {"title", &info.loadingScreenTitle}, {"subtitle", &info.loadingScreenSubtitle}};
  for (const auto& [key, text] : loadingTexts)
    if (*text) loading[key] = MapTextJson(**text);
  if (!loading.empty()) object["loading_screen"] = std::move(loading);
  if (info.gameDataSet) object["game_data_set"] = *info.gameDataSet;
  Json prologue = Json::object();
  if (info.prologuePath) PutText(prologue, "path", *info.prologuePath);
  const std::pair<const char*, const std::optional<MapText>*> prologueTexts[] = {
      {"text", &info.prologueText}, {"title", &info.prologueTitle}, {"subtitle", &info.prologueSubtitle}};
  for (const auto& [key, text] : prologueTexts)
    if (*text) prologue[key] = MapTextJson(**text);
  if (!prologue.empty()) object["prologue"] = std::move(prologue);
  if (info.scriptLanguage)
    object["script_language"] = CodeJson(*info.scriptLanguage, ScriptLanguageName(*info.scriptLanguage));
  if (!info.maxPlayers) return object;
  object["max_players"] = *info.maxPlayers;
  Json players = Json::array();
  for (const PlayerSlot& p : info.players)
    players.push_back({{"number", p.number},
                       {"controller", CodeJson(p.controller, ControllerName(p.controller))},
                       {"race", CodeJson(p.race, RaceName(p.race))},
                       {"name", MapTextJson(p.name)},
                       {"start", {{"x", p.startX}, {"y", p.startY}, {"fixed", p.fixedStart}}}});
  object["players"] = std::move(players);
  Json forces = Json::array();
  for (const Force& f : info.forces) {
    // The editor sets bits for slots the map does not have; members are
    // the map's own players.
    Json members = Json::array();
    for (const PlayerSlot& p : info.players)
      if (p.number >= 0 && p.number < 32 && (static_cast<std::uint32_t>(f.players) >> p.number & 1u))
        members.push_back(p.number);
    forces.push_back({{"name", MapTextJson(f.name)},
                      {"flags", FlagsJson(f.flags, ForceFlagNames(f.flags))},
                      {"player_mask", f.players},
                      {"members", std::move(members)}});
  }
  object["forces"] = std::move(forces);
  object["players_and_forces_complete"] = info.slotsComplete;
  return object;
}

Json VersionedJson(const std::optional<std::int32_t>& version) {
  Json object = Json::object();
  if (version) object["version"] = *version;
  return object;
}

std::string IsoDate(const ScriptDate& d) {
  char text[32];
  std::snprintf(text, sizeof text, "%04d-%02d-%02dT%02d:%02d:%02d", d.year, d.month, d.day, d.hour, d.minute,
                d.second);
  return text;
}

Json ScriptJson(const ScriptFacts& script, const std::string& file) {
  Json object = Json::object();
  if (!file.empty()) object["file"] = file;
  if (script.dateText) {
    // Without the line end the script gave it.
    const std::string_view text = TrimWhiteSpaceEnd(*script.dateText);
    Json created = Json::object();
    PutText(created, "text", text);
    if (const auto date = ReadScriptDate(text)) created["iso8601"] = IsoDate(*date);
    object["created"] = std::move(created);
  }
  Json players = Json::array();
  for (const PlayerUnits& p : script.players) {
    Json player = {{"units", p.units}};
    player["player"] = p.player ? Json(*p.player) : Json();
    players.push_back(std::move(player));
  }
  object["player_units"] = std::move(players);
  object["mines"] = script.mines;
  object["mine_gold"] = script.mineAmounts;
  object["aggressive_units"] = script.aggressiveUnits;
  object["passive_units"] = script.passiveUnits;
  object["items"] = script.items;
  return object;
}

// The member that comes last, so that it can be given anew without
// decoding the rest of the line.
constexpr std::string_view kDuplicateOfKey = ",\"duplicate_of\":";

std::string DuplicateTail(const std::string& duplicateOf) {
  Json tail = Json::object();
  if (duplicateOf.empty()) {
    tail["duplicate_of"] = nullptr;
  } else {
    PutText(tail, "duplicate_of", duplicateOf);
  }
  std::string text = tail.dump(-1, ' ', false, Json::error_handler_t::replace);
  text[0] = ',';
  return text + '\n';
}

}  // namespace

std::string CatalogueTime(std::int64_t seconds, std::uint32_t nanoseconds) {
  const std::time_t time = static_cast<std::time_t>(seconds);
  std::tm utc{};
  if (!::gmtime_r(&time, &utc)) return {};
  char text[48];
  const std::size_t length = std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%S", &utc);
  std::string result(text, length);
  if (nanoseconds != 0) {
    std::snprintf(text, sizeof text, ".%09u", static_cast<unsigned>(nanoseconds));
    result += text;
  }
  return result + 'Z';
}

std::string HexDigits(std::span<const std::uint8_t> bytes) {
  static constexpr char kDigits[] = "0123456789abcdef";
  std::string hex;
  hex.reserve(bytes.size() * 2);
  for (const std::uint8_t byte : bytes) {
    hex += kDigits[byte >> 4];
    hex += kDigits[byte & 15];
  }
  return hex;
}

std::string CatalogueLine(const MapRecord& record) {
  Json map = Json::object();
  map["schema_version"] = kCatalogueVersion;
  PutText(map, "path", record.path);
  map["later_formats"] = record.formats == MapFormats::kLater;
  if (const auto& id = record.identity) {
    map["size"] = id->size;
    map["modified"] = CatalogueTime(id->modifiedSeconds, id->modifiedNanoseconds);
    map["sha1"] = HexDigits(id->sha1);
    const std::uint8_t crc[] = {static_cast<std::uint8_t>(id->crc32 >> 24), static_cast<std::uint8_t>(id->crc32 >> 16),
                                static_cast<std::uint8_t>(id->crc32 >> 8), static_cast<std::uint8_t>(id->crc32)};
    map["crc32"] = HexDigits(crc);
  }
  map["status"] = MapStatus(record);
  map["opened"] = record.opened;
  map["protected"] = !record.protection.empty();
  map["protection"] = record.protection;
  Json problems = Json::array();
  for (const MapProblem& problem : record.problems) {
    Json entry = {{"file", problem.file.empty() ? Json() : Json(problem.file)}};
    PutText(entry, "error", problem.why);
    problems.push_back(std::move(entry));
  }
  map["errors"] = std::move(problems);
  if (record.minimap) {
    Json minimap = Json::object();
    PutText(minimap, "file", record.minimap->path);
    minimap["width"] = record.minimap->width;
    minimap["height"] = record.minimap->height;
    map["minimap"] = std::move(minimap);
  }
  if (!record.pictures.empty()) {
    Json pictures = Json::array();
    for (const WrittenPicture& p : record.pictures) {
      Json picture = {{"kind", p.kind}};
      PutText(picture, "file", p.path);
      picture["width"] = p.width;
      picture["height"] = p.height;
      pictures.push_back(std::move(picture));
    }
    map["pictures"] = std::move(pictures);
  }
  if (record.mapInfo) map["map_info"] = MapInfoJson(*record.mapInfo);
  if (record.environment) {
    Json environment = VersionedJson(record.environment->version);
    if (record.environment->mapSize) environment["map_size"] = SizeJson(*record.environment->mapSize);
    map["environment"] = std::move(environment);
  }
  const std::pair<const char*, const std::optional<DoodadFacts>*> doodads[] = {
      {"tree_doodads", &record.treeDoodads}, {"unit_doodads", &record.unitDoodads}};
  for (const auto& [key, facts] : doodads) {
    if (!*facts) continue;
    Json object = VersionedJson((*facts)->version);
    if ((*facts)->count) object["count"] = *(*facts)->count;
    map[key] = std::move(object);
  }
  if (record.script) map["script"] = ScriptJson(*record.script, record.scriptFile);
  if (record.imports) {
    Json imports = {{"count", record.imports->count ? Json(*record.imports->count) : Json()}};
    Json files = Json::array();
    for (const ImportedFile& f : record.imports->files) {
      Json file = Json::object();
      PutText(file, "path", f.archiveName);
      PutText(file, "stored", f.stored);
      files.push_back(std::move(file));
    }
    imports["files"] = std::move(files);
    map["imports"] = std::move(imports);
  }
  // Never throws: the texts that are not UTF-8 are replaced in the dump.
  std::string line = map.dump(-1, ' ', false, Json::error_handler_t::replace);
  line.pop_back();  // the closing brace, which the tail brings
  return line + DuplicateTail(record.duplicateOf);
}

std::string WithDuplicateOf(std::string_view line, const std::string& duplicateOf) {
  // No text holds the key's bytes: quotes inside strings are escaped.
  const std::size_t at = line.rfind(kDuplicateOfKey);
  if (at == std::string_view::npos) return std::string(line);
  return std::string(line.substr(0, at)) + DuplicateTail(duplicateOf);
}

}  // namespace korvanel
