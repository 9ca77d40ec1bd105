// The minimap's icons (war3map.mmp), their drawing over the preview, and the
// texture paths of a loading screen model.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "map_builder.h"
#include "output/minimap_icons_draw.h"
#include "parsers/map_info.h"
#include "parsers/minimap_icons.h"
#include "parsers/model_textures.h"
#include "test_support.h"

namespace korvanel {
namespace {

using test::Bytes;
using test::MakeMdx;
using test::MakeMmp;

// --- war3map.mmp

TEST(MinimapIcons, ReadsEveryEntryWithItsColour) {
  const std::string mmp = MakeMmp({{2, 17, 35, 3, 3, 255, 255}, {0, 162, 222, 255, 255, 255, 255}});
  MinimapIconFacts facts;
  ASSERT_TRUE(ParseMinimapIcons(Bytes(mmp), facts));
  EXPECT_EQ(facts.version, 0);
  ASSERT_EQ(facts.icons.size(), 2u);
  const MinimapIcon& start = facts.icons[0];
  EXPECT_EQ(start.type, kStartLocationIcon);
  EXPECT_EQ(start.x, 17);
  EXPECT_EQ(start.y, 35);
  EXPECT_EQ(start.red, 255);
  EXPECT_EQ(start.green, 3);
  EXPECT_EQ(start.blue, 3);
  EXPECT_EQ(start.alpha, 255);
  EXPECT_EQ(facts.icons[1].type, kGoldMineIcon);
}

TEST(MinimapIcons, DamagedFilesKeepTheWholeEntriesTheyHold) {
  const std::string two = MakeMmp({{0, 1, 2, 0, 0, 0, 0}, {1, 3, 4, 0, 0, 0, 0}});
  MinimapIconFacts facts;
  // Cut inside the second entry.
  EXPECT_FALSE(ParseMinimapIcons(Bytes(std::string_view(two).substr(0, two.size() - 1)), facts));
  EXPECT_EQ(facts.icons.size(), 1u);
  // A count far beyond the data reads what is there, without taking memory for the claim.
  EXPECT_FALSE(ParseMinimapIcons(Bytes(MakeMmp({{0, 1, 2, 0, 0, 0, 0}}, 0x7fffffff)), facts));
  EXPECT_EQ(facts.icons.size(), 1u);
  EXPECT_LE(facts.icons.capacity(), 1u);
  EXPECT_FALSE(ParseMinimapIcons(Bytes(MakeMmp({{0, 1, 2, 0, 0, 0, 0}}, -1)), facts));
  EXPECT_TRUE(facts.icons.empty());
  EXPECT_EQ(facts.version, 0);
  EXPECT_FALSE(ParseMinimapIcons(Bytes(std::string_view("\0\0\0\0\1\0", 6)), facts));
  EXPECT_EQ(facts.version, 0);
  EXPECT_FALSE(ParseMinimapIcons(Bytes(""), facts));
  EXPECT_FALSE(facts.version);
  EXPECT_TRUE(ParseMinimapIcons(Bytes(MakeMmp({})), facts));
  EXPECT_TRUE(facts.icons.empty());
}

// Each real map's players have a start location icon at their start
// position, in their colour. The icon space covers the playable area, its
// longer side scaled to 256 and the shorter one centred, y downward; the
// playable area's lower left corner comes from war3map.w3e's offset and
// war3map.w3i's margins, read off once for each map.
TEST(MinimapIcons, RealMapsPlaceStartLocationsAtThePlayersStartPositions) {
  struct Case {
    const char* map;
    double left, bottom;
  };
  const Case cases[] = {
      {"maps/smallest_roc.w3m", -1280, -1536},   {"maps/small_tft.w3x", -1920, -1920},
      {"w3x/format28_jass.w3x", -3328, -3584},   {"w3x/format31_lua.w3x", -3328, -4096},
      {"w3x/format33_w3e12.w3x", -7168, -5120}, {"bench/forest_defense.w3x", -1280, -5632},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.map);
    KVL_REQUIRE_FIXTURE(map, c.map);
    const auto mmp = test::ReadEmbedded(map, "war3map.mmp");
    const auto w3i = test::ReadEmbedded(map, "war3map.w3i");
    ASSERT_TRUE(mmp && w3i);
    MinimapIconFacts facts;
    ASSERT_TRUE(ParseMinimapIcons(Bytes(*mmp), facts));
    EXPECT_EQ(facts.version, 0);
    ASSERT_FALSE(facts.icons.empty());
    for (const MinimapIcon& icon : facts.icons) {
      EXPECT_GE(icon.type, kGoldMineIcon);
      EXPECT_LE(icon.type, kStartLocationIcon);
      EXPECT_TRUE(icon.x >= 0 && icon.x < 256 && icon.y >= 0 && icon.y < 256);
      if (icon.type != kStartLocationIcon) {
        EXPECT_EQ(icon.red & icon.green & icon.blue & icon.alpha, 255);
      }
    }
    MapInfo info;
    ASSERT_TRUE(ParseMapInfo(Bytes(*w3i), TriggerStringTable{}, info, MapFormats::kLater));
    ASSERT_FALSE(info.players.empty());
    const double w = info.playableSize->width, h = info.playableSize->height, side = std::max(w, h);
    for (const PlayerSlot& p : info.players) {
      const double x = ((p.startX - c.left) / 128 + (side - w) / 2) * 256 / side;
      const double y = ((h - (p.startY - c.bottom) / 128) + (side - h) / 2) * 256 / side;
      const Rgb colour = PlayerColour(p.number);
      const bool found = std::any_of(facts.icons.begin(), facts.icons.end(), [&](const MinimapIcon& i) {
        return i.type == kStartLocationIcon && std::abs(i.x - x) <= 1.5 && std::abs(i.y - y) <= 1.5 &&
               std::abs(i.red - colour.red) <= 2 && std::abs(i.green - colour.green) <= 2 &&
               std::abs(i.blue - colour.blue) <= 2;
      });
      EXPECT_TRUE(found) << "player " << p.number << " at " << x << ", " << y;
    }
  }
}

// --- drawing

Picture Plain(int width, int height) {
  Picture p{width, height, false, {}};
  for (int k = 0; k < width * height; ++k) p.rgba.insert(p.rgba.end(), {40, 120, 40, 255});
  return p;
}

std::array<std::uint8_t, 4> At(const Picture& p, int x, int y) {
  const std::size_t at = (static_cast<std::size_t>(y) * p.width + x) * 4;
  return {p.rgba[at], p.rgba[at + 1], p.rgba[at + 2], p.rgba[at + 3]};
}

using Px = std::array<std::uint8_t, 4>;

TEST(MinimapIconsDraw, IconsShowTheirColourOutlinedAtTheirPlace) {
  const Picture minimap = Plain(256, 256);
  const MinimapIcon icons[] = {
      {kStartLocationIcon, 100, 50, 255, 3, 3, 255},
      {kStartLocationIcon, 30, 30, 0, 0, 0, 0},  // no colour: the second start location's, blue
      {kGoldMineIcon, 200, 200, 255, 255, 255, 255},
      {kNeutralBuildingIcon, 60, 200, 255, 255, 255, 255},
      {7, 150, 150, 255, 255, 255, 255},  // unknown: left out
  };
  const Picture drawn = DrawMinimapIcons(minimap, icons);
  ASSERT_EQ(drawn.rgba.size(), minimap.rgba.size());
  EXPECT_EQ(At(drawn, 100, 50), (Px{255, 3, 3, 255}));
  EXPECT_EQ(At(drawn, 104, 50), (Px{255, 3, 3, 255}));  // radius 4
  EXPECT_EQ(At(drawn, 105, 50), (Px{16, 16, 16, 255}));  // outline
  EXPECT_EQ(At(drawn, 106, 50), At(minimap, 106, 50));
  EXPECT_EQ(At(drawn, 30, 30), (Px{0, 66, 255, 255}));
  EXPECT_EQ(At(drawn, 200, 200), (Px{255, 204, 0, 255}));
  EXPECT_EQ(At(drawn, 203, 202), (Px{16, 16, 16, 255}));
  EXPECT_EQ(At(drawn, 203, 203), At(minimap, 203, 203));  // a diamond leaves its corners
  EXPECT_EQ(At(drawn, 64, 204), (Px{230, 230, 230, 255}));  // a square fills them
  EXPECT_EQ(At(drawn, 150, 150), At(minimap, 150, 150));
  EXPECT_EQ(At(drawn, 0, 255), At(minimap, 0, 255));
  EXPECT_EQ(DrawMinimapIcons(minimap, {}).rgba, minimap.rgba);
}

TEST(MinimapIconsDraw, ScalesToThePictureAndClipsAtTheEdges) {
  const MinimapIcon corners[] = {
      {kStartLocationIcon, 0, 0, 255, 3, 3, 255},
      {kGoldMineIcon, 255, 255, 0, 0, 0, 255},
      {kNeutralBuildingIcon, -100000, 0x7fffffff, 0, 0, 0, 255},
  };
  const Picture small = DrawMinimapIcons(Plain(64, 32), corners);
  ASSERT_EQ(small.rgba.size(), 64u * 32 * 4);
  EXPECT_EQ(At(small, 0, 0), (Px{255, 3, 3, 255}));
  EXPECT_EQ(At(small, 63, 31), (Px{255, 204, 0, 255}));
  // Icon (128, 64) lands at the matching place of a 512x512 picture.
  const MinimapIcon mid[] = {{kStartLocationIcon, 128, 64, 1, 2, 3, 255}};
  const Picture large = DrawMinimapIcons(Plain(512, 512), mid);
  EXPECT_EQ(At(large, 257, 129), (Px{1, 2, 3, 255}));
  EXPECT_EQ(At(large, 257 + 9, 129), (Px{16, 16, 16, 255}));
  // A picture whose pixels do not match its size is left as it is.
  Picture odd = Plain(8, 8);
  odd.rgba.resize(10);
  EXPECT_EQ(DrawMinimapIcons(odd, mid).rgba, odd.rgba);
}

// --- loading screen models

TEST(ModelTextures, GivesTheNonEmptyPathsInOrder) {
  EXPECT_EQ(ModelTexturePaths(Bytes(MakeMdx({"Loading\\Screen.blp"}))),
            (std::vector<std::string>{"Loading\\Screen.blp"}));
  EXPECT_EQ(ModelTexturePaths(Bytes(MakeMdx({"a.blp", "", "b.tga"}))), (std::vector<std::string>{"a.blp", "b.tga"}));
  EXPECT_TRUE(ModelTexturePaths(Bytes(MakeMdx({}))).empty());
  EXPECT_TRUE(ModelTexturePaths(Bytes("MDL?" + MakeMdx({"a.blp"}).substr(4))).empty());
}

TEST(ModelTextures, DamagedModelsNeverReadPastTheData) {
  const std::string two = MakeMdx({"a.blp", "b.blp"});
  // Cut inside the second entry: the first is whole.
  EXPECT_EQ(ModelTexturePaths(Bytes(std::string_view(two).substr(0, two.size() - 5))),
            (std::vector<std::string>{"a.blp"}));
  // A chunk before the textures claiming far more than the data holds.
  std::string huge = two;
  huge.replace(8, 4, test::Le32(-1));
  EXPECT_TRUE(ModelTexturePaths(Bytes(huge)).empty());
  // The texture chunk itself claiming that much.
  std::string hugeTextures = two;
  hugeTextures.replace(24, 4, test::Le32(-1));
  EXPECT_EQ(ModelTexturePaths(Bytes(hugeTextures)), (std::vector<std::string>{"a.blp", "b.blp"}));
  // A path filling its whole field, no NUL.
  std::string full = MakeMdx({std::string(260, 'x')});
  EXPECT_EQ(ModelTexturePaths(Bytes(full)), (std::vector<std::string>{std::string(260, 'x')}));
  EXPECT_TRUE(ModelTexturePaths(Bytes("MDLX")).empty());
  EXPECT_TRUE(ModelTexturePaths(Bytes("")).empty());
}

}  // namespace
}  // namespace korvanel
