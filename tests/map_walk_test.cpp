#include <gtest/gtest.h>

#include <unistd.h>

#include "app/map_walk.h"
#include "test_support.h"

namespace korvanel::test {
namespace {

// The maps visited, in turn with what could not be read ("! path").
std::vector<std::string> Walk(const std::string& dir, bool subdirectories, bool includeW3x = false) {
  std::vector<std::string> seen;
  WalkMapDirectory(
      dir, subdirectories,
      [&](const std::string& path, std::string_view name, const std::string& openPath) {
        if (!path.ends_with("/" + std::string(name)) || openPath != path) seen.push_back("bad visit " + path);
        seen.push_back(path);
      },
      [&](const std::string& path, int) { seen.push_back("! " + path); }, includeW3x);
  return seen;
}

}  // namespace

TEST(MapWalk, FilesInNameOrderThenSubfoldersDepthFirst) {
  TempDir dir;
  const std::string root = dir.Path().string() + "/";
  // A name that is nothing but the extension still ends in it.
  for (auto name : {"b.w3m", "A.W3M", "c.w3x", "a.w3m.txt", "B2.w3M", "z.w3m", ".w3m"}) WriteFile(dir / name, "");
  fs::create_directories(dir / "sub" / "deeper");
  fs::create_directories(dir / "folder.w3m");
  fs::create_directories(dir / "Empty");
  WriteFile(dir / "sub" / "s.w3m", "");
  WriteFile(dir / "sub" / "deeper" / "d.w3m", "");
  WriteFile(dir / "folder.w3m" / "inner.w3m", "");
  fs::create_symlink(dir / "z.w3m", dir / "link.w3m");
  fs::create_symlink(dir / "gone", dir / "dangling.w3m");

  // The dangling link is listed, so it is a map that will not open.
  EXPECT_EQ(Walk(root, false),
            (std::vector<std::string>{root + ".w3m", root + "A.W3M", root + "b.w3m", root + "B2.w3M",
                                      "! " + root + "dangling.w3m", root + "dangling.w3m", root + "link.w3m",
                                      root + "z.w3m"}));
  EXPECT_EQ(Walk(root, true),
            (std::vector<std::string>{root + ".w3m", root + "A.W3M", root + "b.w3m", root + "B2.w3M",
                                      "! " + root + "dangling.w3m", root + "dangling.w3m", root + "link.w3m",
                                      root + "z.w3m", root + "folder.w3m/inner.w3m", root + "sub/s.w3m",
                                      root + "sub/deeper/d.w3m"}));
}

// --w3x: both extensions in any letter case, sorted together; a folder named
// like a map is still only walked into.
TEST(MapWalk, W3xMapsJoinTheSameOrderWhenAsked) {
  TempDir dir;
  const std::string root = dir.Path().string() + "/";
  for (auto name : {"b.w3m", "A.W3X", "c.w3x", "a.w3m", "d.w3xx", "e.w3", "B.w3X"}) WriteFile(dir / name, "");
  fs::create_directories(dir / "folder.w3x");
  WriteFile(dir / "folder.w3x" / "inner.W3x", "");
  fs::create_symlink(dir / "gone", dir / "dangling.w3x");

  EXPECT_EQ(Walk(root, false), (std::vector<std::string>{root + "a.w3m", root + "b.w3m"}));
  EXPECT_EQ(Walk(root, true, true),
            (std::vector<std::string>{root + "a.w3m", root + "A.W3X", root + "b.w3m", root + "B.w3X", root + "c.w3x",
                                      "! " + root + "dangling.w3x", root + "dangling.w3x",
                                      root + "folder.w3x/inner.W3x"}));
  EXPECT_TRUE(HasMapExtension("x.W3X", true));
  EXPECT_FALSE(HasMapExtension("x.W3X"));
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

  EXPECT_EQ(Walk((dir / "missing").string() + "/", true), (std::vector<std::string>{"! " + (dir / "missing/").string()}));
}

TEST(MapWalk, UnreadableFoldersAreReportedAndSkipped) {
  TempDir dir;
  fs::permissions(dir.Path(), fs::perms::all);
  fs::create_directories(dir / "locked");
  fs::create_directories(dir / "shut");
  WriteFile(dir / "locked" / "m.w3m", "");
  WriteFile(dir / "n.w3m", "");
  fs::permissions(dir / "locked", fs::perms::none);
  fs::permissions(dir / "shut", fs::perms::owner_write | fs::perms::others_write);
  const std::string root = dir.Path().string() + "/";
  const std::vector<std::string> expected = {root + "n.w3m", "! " + root + "locked/", "! " + root + "shut/"};
  EXPECT_TRUE(AsUnprivilegedUser([&] { return Walk(root, true) == expected; }));
  EXPECT_TRUE(AsUnprivilegedUser([&] { return Walk(root + "locked/", true) == std::vector<std::string>{"! " + root + "locked/"}; }));

  // The program says so on standard error and fails, rather than printing
  // nothing and succeeding.
  if (!AsUnprivilegedUser([] { return ::access(KORVANEL_BINARY, X_OK) == 0; }))
    GTEST_SKIP() << "the unprivileged user cannot run " << KORVANEL_BINARY << " from where it was built";
  fs::create_directories(dir / "out");
  fs::permissions(dir / "out", fs::perms::all);
  EXPECT_TRUE(AsUnprivilegedUser([&] {
    ProcessResult r = RunKorvanel({root + "locked", "/s", "/i", (dir / "out" / "x.txt").string()});
    return r.status == 1 && r.out.empty() && ReadFile(dir / "out" / "x.txt").empty() &&
           r.err == "korvanel: cannot read the folder " + root + "locked/: Permission denied\n";
  }));
}

}  // namespace korvanel::test
