// The gallery page: map texts shown as text whatever their bytes, links
// that stay links, a page that appears only whole; and in a real browser,
// the cards, the filter and the sorting, with a hostile map name that runs
// nothing.
#include <gtest/gtest.h>

#include <cstdlib>
#include <regex>
#include <string>

#include "output/gallery_page.h"
#include "map_builder.h"
#include "sample_maps.h"
#include "test_support.h"

namespace korvanel::test {
namespace {

TEST(GalleryText, EscapedForHtmlWhateverItHolds) {
  EXPECT_EQ(EscapeHtml("<script>alert(1)</script>"), "&lt;script&gt;alert(1)&lt;/script&gt;");
  EXPECT_EQ(EscapeHtml("a \"b\" & 'c'"), "a &quot;b&quot; &amp; &#39;c&#39;");
  // Valid UTF-8 stays; each bad sequence is one U+FFFD, and a cut one at
  // the end too.
  EXPECT_EQ(EscapeHtml("K\xC3\xB6nig \xE4\xB8\xAD"), "K\xC3\xB6nig \xE4\xB8\xAD");
  EXPECT_EQ(EscapeHtml("Latin-1 \xE9t\xE9"), "Latin-1 \xEF\xBF\xBDt\xEF\xBF\xBD");
  EXPECT_EQ(EscapeHtml("\xED\xA0\x80|\xC0\xAF|\xE4\xB8"), "\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD|\xEF\xBF\xBD\xEF\xBF\xBD|\xEF\xBF\xBD");
  // Controls have no face and C1 ones can mean markup to old parsers: shown
  // as their pictures, a NUL too; line ends as spaces.
  EXPECT_EQ(EscapeHtml(std::string("a\0b\x1B\x7F", 5)), "a\xE2\x90\x80" "b\xE2\x90\x9B\xE2\x90\xA1");
  EXPECT_EQ(EscapeHtml("one\r\ntwo\tthree"), "one  two three");
  EXPECT_EQ(EscapeHtml("\xC2\x85"), "\xEF\xBF\xBD");
}

TEST(GalleryText, LinksPercentEncodeEveryPathByte) {
  EXPECT_EQ(RelativeUrl("/g/", "/g/a b.w3m (2)/preview.png"), "a%20b.w3m%20%282%29/preview.png");
  EXPECT_EQ(RelativeUrl("/g/pics/", "/g/maps/x.w3m"), "../maps/x.w3m");
  // A name cannot become a scheme, a query, a fragment, an escape or a
  // second path.
  EXPECT_EQ(RelativeUrl("/g/", "/g/javascript:alert(1)"), "javascript%3Aalert%281%29");
  EXPECT_EQ(RelativeUrl("/g/", "/g/50%?#\\\"<>.w3m"), "50%25%3F%23%5C%22%3C%3E.w3m");
  EXPECT_EQ(RelativeUrl("/g/", "/g/\xE9\xC3\xB6\n.w3m"), "%E9%C3%B6%0A.w3m");
}

TEST(GalleryText, SizesAsPeopleReadThem) {
  EXPECT_EQ(ReadableSize(0), "0 B");
  EXPECT_EQ(ReadableSize(1023), "1023 B");
  EXPECT_EQ(ReadableSize(1024), "1.0 KiB");
  EXPECT_EQ(ReadableSize(4300), "4.2 KiB");
  EXPECT_EQ(ReadableSize(1048575), "1.0 MiB");  // not 1024.0 KiB
  EXPECT_EQ(ReadableSize(13 << 20), "13.0 MiB");
}

MapRecord Record(const std::string& path, const std::string& name) {
  MapRecord record;
  record.path = path;
  record.opened = true;
  MapInfo& info = record.mapInfo.emplace();
  info.name = MapText{"TRIGSTR_001", name};
  info.author = MapText{"TRIGSTR_002", "Someone & Co"};
  info.maxPlayers = 4;
  info.playableSize = MapSize{84, 84};
  info.tileset = 'L';
  record.identity.emplace().size = 3 << 20;
  return record;
}

std::size_t Count(const std::string& text, const std::string& what) {
  std::size_t count = 0;
  for (std::size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++count;
  return count;
}

// The page is written beside the old one and replaces it only when whole;
// each map is a card whose texts are text and whose only script is the
// page's own.
TEST(GalleryPage, AppearsWholeWithEachMapAsACard) {
  TempDir dir;
  const fs::path page = dir / "index.html";
  WriteFile(page, "the page before");
  GalleryPage gallery;
  ASSERT_EQ(gallery.Begin(dir.Path().string()), 0);
  MapRecord hostile = Record((dir / "maps/x.w3m").string(), "<script>alert(1)</script></script><img src=x onerror=alert(2)>");
  hostile.pictures.push_back({"minimap", (dir / "x.w3m/minimap.png").string(), 64, 64});
  hostile.pictures.push_back({"preview", (dir / "x.w3m/preview.png").string(), 128, 128});
  ASSERT_EQ(gallery.Add(hostile), 0);
  MapRecord copy = Record((dir / "maps/copy of x.w3m").string(), "\xE9t\xE9");
  copy.duplicateOf = hostile.path;
  copy.problems.push_back({"war3map.w3e", "damaged"});
  ASSERT_EQ(gallery.Add(copy), 0);
  MapRecord unopenable;
  unopenable.path = (dir / "maps/broken.w3m").string();
  ASSERT_EQ(gallery.Add(unopenable), 0);
  EXPECT_EQ(ReadFile(page), "the page before");
  ASSERT_EQ(gallery.Finish(), 0);

  const std::string html = ReadFile(page);
  EXPECT_TRUE(html.starts_with("<!DOCTYPE html>"));
  EXPECT_TRUE(html.ends_with("</html>\n"));
  EXPECT_EQ(Count(html, "<article"), 3u);
  EXPECT_EQ(Count(html, "<script"), 1u);
  EXPECT_EQ(Count(html, "<img"), 1u);  // the preview of the first map alone
  EXPECT_NE(html.find("&lt;script&gt;alert(1)&lt;/script&gt;&lt;/script&gt;&lt;img src=x onerror=alert(2)&gt;"), std::string::npos);
  EXPECT_NE(html.find("src=\"x.w3m/preview.png\""), std::string::npos);
  EXPECT_NE(html.find("href=\"maps/copy%20of%20x.w3m\""), std::string::npos);
  EXPECT_NE(html.find(">\xEF\xBF\xBDt\xEF\xBF\xBD<"), std::string::npos);
  EXPECT_NE(html.find("Players 4 \xC2\xB7 84 \xC3\x97 84 \xC2\xB7 Lordaeron Summer \xC2\xB7 3.0 MiB"), std::string::npos);
  EXPECT_EQ(Count(html, "class=\"dt\""), 1u);
  EXPECT_EQ(Count(html, "class=\"card s-read\""), 1u);
  EXPECT_EQ(Count(html, "class=\"card s-partial\""), 1u);
  EXPECT_EQ(Count(html, "class=\"card s-unopenable\""), 1u);
  EXPECT_NE(html.find("3 maps: 1 read, 1 partial, 1 unopenable; 1 duplicate."), std::string::npos);
  // Nothing is fetched: no address of another place.
  EXPECT_EQ(html.find("http"), html.find("http-equiv"));
  EXPECT_EQ(Count(html, "http"), 1u);
  // No file is left beside it.
  EXPECT_EQ(std::distance(fs::directory_iterator(dir.Path()), fs::directory_iterator()), 1);

  GalleryPage none;
  EXPECT_EQ(none.Begin((dir / "nosuch").string()), ENOENT);
  EXPECT_FALSE(none.IsOpen());
}

// --- In a browser ---

// Chromium from Debian, as scripts/deps installs it; empty when absent.
std::string Chromium() {
  for (const char* path : {"/usr/bin/chromium", "/usr/bin/chromium-browser"})
    if (::access(path, X_OK) == 0) return path;
  return {};
}

// Runs headless Chromium on `url` with `action` (--dump-dom, --screenshot=...),
// its output into `out`; its profile in `profile`, and no network: every
// name resolves to nothing. Each start costs seconds, so a test makes few.
bool RunChromium(const std::string& chromium, const fs::path& profile, const std::string& action,
                 const std::string& url, const fs::path& out) {
  const std::string command = chromium +
                              " --headless=new --no-sandbox --disable-gpu --no-first-run --disable-extensions"
                              " --disable-background-networking --disable-component-update --disable-sync"
                              " '--host-resolver-rules=MAP * ~NOTFOUND' --user-data-dir='" + profile.string() +
                              "' --virtual-time-budget=5000 --window-size=1200,900 --hide-scrollbars " + action + " '" +
                              url + "' > '" + out.string() + "' 2>/dev/null";
  return std::system(command.c_str()) == 0;
}

struct Card {
  std::string name;  // as the browser serialises it
  bool shown;
};

// The cards in their order on the page.
std::vector<Card> Cards(const std::string& dom) {
  std::vector<Card> cards;
  static const std::regex card(R"(<article class="card[^"]*"([^>]*)>.*?<h2 class="n">(.*?)</h2>)");
  for (auto it = std::sregex_iterator(dom.begin(), dom.end(), card); it != std::sregex_iterator(); ++it)
    cards.push_back({(*it)[2].str(), (*it)[1].str().find("hidden") == std::string::npos});
  return cards;
}

// The page in a browser, opened from the disk with a filter and an order
// in its address: every map a card, the filter (on names and authors,
// letter case ignored) leaving some, sorted by players; a map named with
// markup shown as its characters, its script never run. A screenshot is
// kept in the build folder.
TEST(GalleryBrowser, CardsFilterSortAndAHostileNameThatRunsNothing) {
  const std::string chromium = Chromium();
  if (chromium.empty()) GTEST_SKIP() << "chromium (scripts/deps) not installed: the gallery was not opened in a browser";
  TempDir dir;
  const fs::path maps = dir / "maps", gallery = dir / "gallery";
  fs::create_directories(maps);
  fs::create_directories(gallery);
  const std::string hostile = "<script>document.title='pwned'</script><img src=x onerror=\"document.title='pwned'\">";
  struct Made {
    std::string name, author;
    int players;
  };
  const Made made[] = {{"Alpha Coast", "Ann", 2}, {"Beta Coast", "Bo", 8}, {hostile, "Coast Raider", 4},
                       {"Delta Hills", "Dee", 3}, {"Gamma coast", "Gus", 6}};
  for (const Made& m : made) {
    SampleMap sample;
    sample.name = m.name;
    sample.author = m.author;
    sample.maxPlayers = m.players;
    ASSERT_TRUE(BuildMap(maps / (std::to_string(m.players) + " players.w3m"), SampleMapFiles(sample)));
  }
  const ProcessResult r = RunKorvanel({maps.string(), "--gallery", gallery.string()});
  ASSERT_EQ(r.status, 0) << r.err;
  const std::string page = "file://" + (gallery / "index.html").string();

  ASSERT_TRUE(RunChromium(chromium, dir / "profile", "--dump-dom", page + "#q=COAST&sort=players&down=1", dir / "dom.html"));
  const std::string dom = ReadFile(dir / "dom.html");
  EXPECT_NE(dom.find("<html lang=\"en\" data-ready=\"true\">"), std::string::npos) << "the page's script did not run";
  EXPECT_NE(dom.find("<title>Map gallery</title>"), std::string::npos) << "a map's text ran as a script";
  EXPECT_EQ(dom.find("pwned</title>"), std::string::npos);
  const std::vector<Card> cards = Cards(dom);
  ASSERT_EQ(cards.size(), 5u);
  std::vector<std::string> shown;
  for (const Card& card : cards)
    if (card.shown) shown.push_back(card.name);
  EXPECT_EQ(shown, (std::vector<std::string>{"Beta Coast", "Gamma coast",
                                             "&lt;script&gt;document.title='pwned'&lt;/script&gt;&lt;img src=x "
                                             "onerror=\"document.title='pwned'\"&gt;",
                                             "Alpha Coast"}));
  EXPECT_EQ(cards[3].name, "Delta Hills");  // hidden, and sorted along with the others
  EXPECT_FALSE(cards[3].shown);
  EXPECT_NE(dom.find("4 of 5 maps</span>"), std::string::npos);

  const fs::path shot = fs::path(KORVANEL_BINARY).parent_path() / "gallery-screenshot.png";
  fs::remove(shot);
  EXPECT_TRUE(RunChromium(chromium, dir / "profile", "--screenshot='" + shot.string() + "'", page, dir / "shot.log"));
  EXPECT_TRUE(ReadFile(shot).starts_with("\x89PNG"));
  std::printf("gallery screenshot: %s\n", shot.c_str());
}

}  // namespace
}  // namespace korvanel::test
