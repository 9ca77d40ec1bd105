// Writes maps of realistic size for the benchmark when the real ones are
// not at hand: korvanel-bench-maps <folder> <count>
// Each map has a 500 KB script, a 100 KB environment file, 2000 trees and a
// detailed 256x256 preview; the bytes vary like real data so that the
// archive library and the JPEG codec do their usual amount of work.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "blp_builder.h"
#include "sample_maps.h"

namespace {

using namespace korvanel::test;

constexpr std::size_t kScriptSize = 500 * 1024;
constexpr std::size_t kEnvironmentSize = 100 * 1024;

struct Random {
  std::uint32_t state;
  std::uint32_t Next() {
    state = state * 1664525u + 1013904223u;
    return state >> 8;
  }
};

// Trigger functions like the editor writes them, with varying names and numbers.
std::string Script(const SampleMap& map, Random& random) {
  std::string j = SampleScript(map);
  for (int trigger = 0; j.size() < kScriptSize; ++trigger) {
    j += "\r\nfunction Trig_Wave_" + std::to_string(trigger) + "_Actions takes nothing returns nothing\r\n";
    for (int line = 0; line < 12; ++line) {
      j += "    call SetUnitPositionLoc( udg_Creep[" + std::to_string(random.Next() % 400) +
           "], GetRectCenter(gg_rct_Region_" + std::to_string(random.Next() % 90) + ") )\r\n";
      j += "    call IssuePointOrderLoc( GetLastCreatedUnit(), \"attack\", Location(" +
           std::to_string(static_cast<int>(random.Next() % 8192) - 4096) + ".0, " +
           std::to_string(static_cast<int>(random.Next() % 8192) - 4096) + ".0) )\r\n";
    }
    j += "endfunction\r\n";
  }
  return j;
}

// The real header, then corner records of a rolling landscape.
std::string Environment(const SampleMap& map, Random& random) {
  std::string w3e = SampleW3e(map);
  int height = 0x2000;
  while (w3e.size() < kEnvironmentSize) {
    height += static_cast<int>(random.Next() % 65) - 32;
    const char corner[7] = {static_cast<char>(height), static_cast<char>(height >> 8), 0, 0x20,
                            static_cast<char>(random.Next() % 3), static_cast<char>(random.Next() % 16), 2};
    w3e.append(corner, sizeof corner);
  }
  return w3e;
}

Bgra Terrain(int x, int y, std::uint32_t seed) {
  std::uint32_t h = static_cast<std::uint32_t>(x) * 374761393u + static_cast<std::uint32_t>(y) * 668265263u + seed;
  h = (h ^ (h >> 13)) * 1274126177u;
  const int noise = static_cast<int>(h >> 27);  // 0..31
  const int ground = ((x / 16 + y / 16) % 3) * 40;
  return Bgra{static_cast<std::uint8_t>(30 + ground / 2 + noise), static_cast<std::uint8_t>(80 + ground + noise),
              static_cast<std::uint8_t>(40 + (x * 90) / 256 + noise), 255};
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3 || std::atoi(argv[2]) <= 0) {
    std::fprintf(stderr, "usage: korvanel-bench-maps <folder> <count>\n");
    return 2;
  }
  const std::filesystem::path dir = argv[1];
  const int count = std::atoi(argv[2]);
  for (int i = 0; i < count; ++i) {
    SampleMap map;
    map.name = "Bench Map " + std::to_string(i + 1);
    map.width = map.height = 121;
    map.trees = 2000;
    map.otherDoodads = 300;
    map.playerUnits = {12, 12, 12, 12};
    map.hostileUnits = 60;
    map.mines = 6;
    map.pictureSize = 0;
    Random random{static_cast<std::uint32_t>(i) * 2654435761u + 1u};
    std::vector<EmbeddedFile> files = SampleMapFiles(map);
    for (EmbeddedFile& file : files) {
      if (file.name == "war3map.j") file.bytes = Script(map, random);
      if (file.name == "war3map.w3e") file.bytes = Environment(map, random);
    }
    const auto seed = static_cast<std::uint32_t>(i);
    files.push_back({"war3mapMap.blp", MakeBlp(256, 256, [seed](int x, int y) { return Terrain(x, y, seed); })});
    const std::string name = "bench_" + std::to_string(i + 1) + ".w3m";
    if (!BuildMap(dir / name, files)) {
      std::fprintf(stderr, "korvanel-bench-maps: could not write %s\n", (dir / name).c_str());
      return 1;
    }
  }
  return 0;
}
