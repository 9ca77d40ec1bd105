#include <gtest/gtest.h>

#include "map_builder.h"
#include "test_support.h"

namespace korvanel::test {

TEST(MapBuilder, WritesAndReadsBack) {
  TempDir dir;
  ASSERT_TRUE(BuildMap(dir / "a.w3m", {{"war3map.j", "abc"}, {"war3map.wts", ""}}));
  EXPECT_EQ(ReadEmbedded(dir / "a.w3m", "war3map.j"), "abc");
  EXPECT_EQ(ReadEmbedded(dir / "a.w3m", "WAR3MAP.J"), "abc");
  EXPECT_EQ(ReadEmbedded(dir / "a.w3m", "war3map.wts"), "");
  EXPECT_EQ(ReadEmbedded(dir / "a.w3m", "war3map.w3i"), std::nullopt);
}

}  // namespace korvanel::test
