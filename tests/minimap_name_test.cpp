#include "output/minimap_name.h"

#include <gtest/gtest.h>

namespace korvanel {

TEST(MinimapName, BaseNameAndMapName) {
  EXPECT_EQ(MinimapBaseName("/maps/Two.Rivers.W3M"), "Two.Rivers");
  EXPECT_EQ(MinimapMapName(MinimapBaseName("/maps/Two.Rivers.W3M")), "Two.Rivers.w3m");
  EXPECT_EQ(MinimapBaseName("Two.Rivers.W3M"), "Two.Rivers");
  EXPECT_EQ(MinimapBaseName("maps/(4)Lost Temple.w3m"), "(4)Lost Temple");
  // A map at the root keeps no separator.
  EXPECT_EQ(MinimapBaseName("/Root.w3m"), "Root");
  // Only the name's own dot counts, and not one in the first place.
  EXPECT_EQ(MinimapBaseName("/maps.v2/plain"), "plain");
  EXPECT_EQ(MinimapBaseName("/maps/.w3m"), ".w3m");
  EXPECT_EQ(MinimapMapName(".w3m"), ".w3m.w3m");
  // A backslash is an ordinary character here.
  EXPECT_EQ(MinimapBaseName("C:\\Maps\\Two.Rivers.W3M"), "C:\\Maps\\Two.Rivers");
}

}  // namespace korvanel
