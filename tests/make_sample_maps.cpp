// Writes a folder of small sample maps: make-sample-maps <folder>
#include <cstdio>
#include <filesystem>

#include "sample_maps.h"

using korvanel::test::SampleMap;

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: make-sample-maps <folder>\n");
    return 2;
  }
  const std::filesystem::path dir = argv[1];
  std::error_code ec;
  std::filesystem::create_directories(dir / "More Maps", ec);

  SampleMap lost;
  lost.name = "Lost Temple (sample)";
  lost.players = "4 players";
  lost.tileset = 'L';
  lost.pictureSize = 256;
  SampleMap isle;
  isle.name = "Twisted Isle";
  isle.author = "Sample Maker";
  isle.description = "An island for two.";
  isle.players = "1v1";
  isle.melee = false;
  isle.width = isle.height = 64;
  isle.playerUnits = {5, 5};
  isle.mines = 2;
  SampleMap big;
  big.name = "Big Plains";
  big.maxPlayers = 12;
  big.width = big.height = 192;
  big.playerUnits = {1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1};
  big.pictureSize = 128;

  bool ok = korvanel::test::BuildMap(dir / "(4)LostTemple.w3m", SampleMapFiles(lost)) &&
            korvanel::test::BuildMap(dir / "(2)TwistedIsle.w3m", SampleMapFiles(isle)) &&
            korvanel::test::BuildMap(dir / "More Maps" / "(12)BigPlains.w3m", SampleMapFiles(big));
  if (!ok) {
    std::fprintf(stderr, "make-sample-maps: could not write the maps in %s\n", argv[1]);
    return 1;
  }
  return 0;
}
