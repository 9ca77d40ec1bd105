#include <gtest/gtest.h>

#include <unistd.h>

#include "app/map_walk.h"
#include "test_support.h"

namespace korvanel::test {
namespace {

std::vector<std::string> Walk(const std::string& dir, bool subdirectories) {
  std::vector<std::string> seen;
  WalkMapDirectory(dir, subdirectories, [&](const std::string& path, std::string_view name, const std::string& openPath) {
    EXPECT_TRUE(path.ends_with("/" + std::string(name))) << path;
    EXPECT_EQ(openPath, path);
    seen.push_back(path);
  });
  return seen;
}

}  // namespace

TEST(MapWalk, FilesInNameOrderThenSubfoldersDepthFirst) {
  TempDir dir;
  const std::string root = dir.Path().string() + "/";
  for (auto name : {"b.w3m", "A.W3M", "c.w3x", "a.w3m.txt", "B2.w3M", "z.w3m"}) WriteFile(dir / name, "");
  fs::create_directories(dir / "sub" / "deeper");
  fs::create_directories(dir / "folder.w3m");
  fs::create_directories(dir / "Empty");
  WriteFile(dir / "sub" / "s.w3m", "");
  WriteFile(dir / "sub" / "deeper" / "d.w3m", "");
  WriteFile(dir / "folder.w3m" / "inner.w3m", "");
  fs::create_symlink(dir / "z.w3m", dir / "link.w3m");
  fs::create_symlink(dir / "gone", dir / "dangling.w3m");

  EXPECT_EQ(Walk(root, false),
            (std::vector<std::string>{root + "A.W3M", root + "b.w3m", root + "B2.w3M", root + "link.w3m", root + "z.w3m"}));
  EXPECT_EQ(Walk(root, true),
            (std::vector<std::string>{root + "A.W3M", root + "b.w3m", root + "B2.w3M", root + "link.w3m",
                                      root + "z.w3m", root + "folder.w3m/inner.w3m", root + "sub/s.w3m",
                                      root + "sub/deeper/d.w3m"}));
}

TEST(MapWalk, LinkCyclesEndAndRelativeStartsGiveAbsolutePaths) {
  TempDir dir;
  fs::create_directories(dir / "a" / "b");
  WriteFile(dir / "a" / "b" / "m.w3m", "");
  fs::create_directory_symlink(dir / "a", dir / "a" / "b" / "up");
  fs::create_directory_symlink(dir / "a" / "b", dir / "a" / "side");
  std::vector<std::string> seen = Walk((dir / "a").string() + "/", true);
  // Reached through the real folder and once through the side link, never
  // through the link back up.
  EXPECT_EQ(seen, (std::vector<std::string>{(dir / "a/b/m.w3m").string(), (dir / "a/side/m.w3m").string()}));

  const fs::path old = fs::current_path();
  fs::current_path(dir.Path());
  seen = Walk("./a/../a/b/", false);
  fs::current_path(old);
  EXPECT_EQ(seen, (std::vector<std::string>{(dir / "a/b/m.w3m").string()}));

  EXPECT_TRUE(Walk((dir / "missing").string() + "/", true).empty());
}

TEST(MapWalk, UnreadableFoldersAreSkipped) {
  if (::geteuid() == 0) GTEST_SKIP() << "permissions do not bind root";
  TempDir dir;
  fs::create_directories(dir / "locked");
  WriteFile(dir / "locked" / "m.w3m", "");
  WriteFile(dir / "n.w3m", "");
  fs::permissions(dir / "locked", fs::perms::none);
  EXPECT_EQ(Walk(dir.Path().string() + "/", true), (std::vector<std::string>{(dir / "n.w3m").string()}));
}

}  // namespace korvanel::test
