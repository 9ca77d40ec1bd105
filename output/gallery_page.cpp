#include "output/gallery_page.h"

#include <cerrno>
#include <cinttypes>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <random>
#include <unistd.h>

#include "parsers/map_info.h"
#include "platform/cleanup.h"
#include "platform/text.h"

namespace korvanel {

std::string EscapeHtml(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size();) {
    const Utf8Sequence sequence = Utf8SequenceAt(text, i);
    const auto byte = static_cast<unsigned char>(text[i]);
    // C1 controls (U+0080 to U+009F) are valid UTF-8 but have no face.
    const bool c1 = sequence.valid && byte == 0xC2 && static_cast<unsigned char>(text[i + 1]) < 0xA0;
    if (!sequence.valid || c1) out += "\xEF\xBF\xBD";
    else if (sequence.length > 1) out.append(text.substr(i, sequence.length));
    else if (byte == '&') out += "&amp;";
    else if (byte == '<') out += "&lt;";
    else if (byte == '>') out += "&gt;";
    else if (byte == '"') out += "&quot;";
    else if (byte == '\'') out += "&#39;";
    else if (byte == '\t' || byte == '\n' || byte == '\r') out += ' ';
    // The Control Pictures block holds one for each C0 control and DEL:
    // the byte stays visible, and means nothing to the page.
    else if (byte < 0x20) out += {'\xE2', '\x90', static_cast<char>(0x80 + byte)};
    else if (byte == 0x7F) out += "\xE2\x90\xA1";
    else out += static_cast<char>(byte);
    i += sequence.length;
  }
  return out;
}

std::string RelativeUrl(const std::string& folder, const std::string& target) {
  namespace fs = std::filesystem;
  const fs::path path = fs::path(target).lexically_normal();
  const std::string relative =
      path.is_absolute() ? path.lexically_relative(fs::path(folder).lexically_normal()).generic_string()
                         : path.generic_string();
  // A ':' kept would make the first part a scheme ("javascript:"), a '\'
  // a separator to the browser, a '%', '?' or '#' something else again.
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::string url;
  for (const char c : relative) {
    const auto byte = static_cast<unsigned char>(c);
    if (IsAsciiLetter(c) || IsAsciiDigit(c) || c == '-' || c == '.' || c == '_' || c == '~' || c == '/')
      url += c;
    else
      url += {'%', kHex[byte >> 4], kHex[byte & 15]};
  }
  return url;
}

std::string ReadableSize(std::uint64_t bytes) {
  static constexpr const char* kUnits[] = {"KiB", "MiB", "GiB", "TiB", "PiB", "EiB"};
  char text[32];
  if (bytes < 1024) {
    std::snprintf(text, sizeof text, "%" PRIu64 " B", bytes);
    return text;
  }
  double value = static_cast<double>(bytes) / 1024;
  std::size_t unit = 0;
  // Rounded as printed, so 1023.96 KiB shows as 1.0 MiB and not 1024.0 KiB.
  while (value >= 1023.95 && unit + 1 < std::size(kUnits)) value /= 1024, ++unit;
  std::snprintf(text, sizeof text, "%.1f %s", value, kUnits[unit]);
  return text;
}

namespace {

// The link from the page's folder `dir` to `path` (absolute, or relative
// to the current folder), through the folders as they are, without links:
// a browser takes each ".." of the link before it looks at the disk. The
// file's own name stays, so a link to a map is followed there.
std::string LinkTo(const std::string& dir, const std::string& path) {
  namespace fs = std::filesystem;
  std::error_code error;
  const fs::path located = fs::absolute(path, error).lexically_normal();
  const fs::path folder = fs::weakly_canonical(located.parent_path(), error);
  return RelativeUrl(dir, error ? located.string() : (folder / located.filename()).string());
}

std::string_view BaseName(std::string_view path) {
  const std::size_t slash = path.rfind('/');
  return slash == std::string_view::npos ? path : path.substr(slash + 1);
}

// The picture a card shows: the preview, else the minimap.
const WrittenPicture* Shown(const MapRecord& record) {
  for (const std::string_view kind : {"preview", "minimap"})
    for (const WrittenPicture& picture : record.pictures)
      if (picture.kind == kind) return &picture;
  return nullptr;
}

constexpr std::string_view kNone = "\xE2\x80\x94";  // an em dash

// Every text of a map goes through EscapeHtml and every link through
// RelativeUrl; numbers are written by this program. The script reads the
// cards from the page, so no map text is ever inside it.
std::string CardHtml(const std::string& folder, const MapRecord& record) {
  const std::string_view status = MapStatus(record);
  // A map that did not open, or lacks its map information, has none of
  // its facts.
  static const MapInfo kNoInfo;
  const MapInfo& info = record.mapInfo ? *record.mapInfo : kNoInfo;
  const std::optional<std::int32_t>& maxPlayers = info.maxPlayers;
  const std::optional<MapSize>& playable = info.playableSize;
  std::string html = "<article class=\"card s-" + std::string(status) + "\"";
  if (maxPlayers) html += " data-players=\"" + std::to_string(*maxPlayers) + "\"";
  if (playable)
    html += " data-area=\"" + std::to_string(std::int64_t{playable->width} * std::int64_t{playable->height}) + "\"";
  if (record.identity) html += " data-bytes=\"" + std::to_string(record.identity->size) + "\"";
  html += ">";
  if (const WrittenPicture* shown = Shown(record)) {
    const std::string url = LinkTo(folder, shown->path);
    html += "<a class=\"pic\" href=\"" + url + "\"><img loading=\"lazy\" decoding=\"async\" alt=\"\" src=\"" + url +
            "\" width=\"" + std::to_string(shown->width) + "\" height=\"" + std::to_string(shown->height) + "\"></a>";
  } else {
    html += "<div class=\"pic none\">no picture</div>";
  }
  html += "<h2 class=\"n\">" + (info.name ? EscapeHtml(info.name->resolved) : std::string()) + "</h2>";
  html += "<p class=\"a\">" + (info.author ? EscapeHtml(info.author->resolved) : std::string()) + "</p>";
  html += "<p class=\"f\">Players " + (maxPlayers ? std::to_string(*maxPlayers) : std::string(kNone)) + " \xC2\xB7 " +
          (playable ? std::to_string(playable->width) + " \xC3\x97 " + std::to_string(playable->height) : std::string(kNone)) +
          " \xC2\xB7 " + (info.tileset ? EscapeHtml(TilesetName(*info.tileset, info.formats)) : std::string(kNone)) +
          " \xC2\xB7 " + (record.identity ? ReadableSize(record.identity->size) : std::string(kNone)) + "</p>";
  html += "<p class=\"t\"><span class=\"st\">" + std::string(status) + "</span>";
  if (!record.duplicateOf.empty())
    html += "<span class=\"dt\" title=\"Duplicate of " + EscapeHtml(record.duplicateOf) + "\">duplicate</span>";
  html += "</p><p class=\"l\"><a href=\"" + LinkTo(folder, record.path) + "\">" + EscapeHtml(BaseName(record.path)) + "</a>";
  for (const WrittenPicture& picture : record.pictures)
    html += " \xC2\xB7 <a href=\"" + LinkTo(folder, picture.path) + "\">" + EscapeHtml(picture.kind) + "</a>";
  return html + "</p></article>\n";
}

// The page around the cards. The header stays on screen; the summary,
// known only at the end, is written after the cards and shown above them.
// Each card is laid out only near the screen (content-visibility), and its
// picture loaded only then, so that a page of 20,000 maps opens in seconds
// and scrolls smoothly.
constexpr std::string_view kHeadStart = R"page(<!DOCTYPE html>
<html lang="en">
<head>
<meta charset="utf-8">
<meta name="viewport" content="width=device-width, initial-scale=1">
<meta name="referrer" content="no-referrer">
)page";

constexpr std::string_view kStyle = R"page(
:root{color-scheme:light;--read:#15803d;--partial:#b45309;--unopenable:#b91c1c}
*{box-sizing:border-box}
body{margin:0;font:14px/1.4 system-ui,"Segoe UI",Roboto,"DejaVu Sans",sans-serif;background:#eef0f3;color:#1f2937;display:flex;flex-direction:column;min-height:100vh}
header{order:0;position:sticky;top:0;z-index:2;display:flex;flex-wrap:wrap;align-items:center;gap:10px 16px;padding:10px 20px;background:#1f2937;color:#f9fafb;box-shadow:0 2px 6px rgba(0,0,0,.25)}
h1{margin:0 12px 0 0;font-size:18px;font-weight:600}
header input,header select,header button{font:inherit;padding:5px 8px;border:1px solid #4b5563;border-radius:6px;background:#f9fafb;color:#111827}
header input{width:18em}
header button{min-width:2.4em;cursor:pointer}
#shown{margin-left:auto;color:#d1d5db}
#summary{order:1;margin:0;padding:12px 20px 0;color:#4b5563}
main{order:2;display:grid;grid-template-columns:repeat(auto-fill,minmax(230px,1fr));gap:16px;padding:12px 20px 24px}
.card{position:relative;display:flex;flex-direction:column;background:#fff;border-radius:8px;border-top:5px solid var(--read);box-shadow:0 1px 3px rgba(0,0,0,.18);overflow:hidden;content-visibility:auto;contain-intrinsic-size:auto 380px}
.card[hidden]{display:none}
.s-partial{border-top-color:var(--partial)}
.s-unopenable{border-top-color:var(--unopenable)}
.pic{display:block;aspect-ratio:1;background:#111827}
.pic img{display:block;width:100%;height:100%;object-fit:contain}
.none{display:flex;align-items:center;justify-content:center;color:#6b7280;font-style:italic;background:repeating-linear-gradient(45deg,#e5e7eb 0 12px,#f3f4f6 12px 24px)}
.t{position:absolute;top:8px;left:8px;margin:0;display:flex;gap:6px}
.t span{padding:2px 9px;border-radius:999px;font-size:12px;font-weight:700;color:#fff;background:var(--read);box-shadow:0 1px 2px rgba(0,0,0,.4)}
.s-partial .st{background:var(--partial)}
.s-unopenable .st{background:var(--unopenable)}
.t .dt{background:#6d28d9}
h2{margin:0;padding:10px 12px 0;font-size:16px;line-height:1.3;overflow-wrap:anywhere}
.n:empty::before{content:"(no name)";color:#9ca3af;font-style:italic}
.a{margin:2px 0 0;padding:0 12px;color:#4b5563;overflow-wrap:anywhere}
.a:not(:empty)::before{content:"by "}
.f{margin:6px 0 8px;padding:0 12px;font-size:13px;color:#374151}
.l{margin:auto 0 0;padding:8px 12px;border-top:1px solid #e5e7eb;font-size:12px;color:#6b7280;overflow-wrap:anywhere}
a{color:#1d4ed8}
)page";

// Reads the cards once, then only shows, hides and moves them: no markup is
// ever built from text, and each filter or sort is one pass over the cards
// (a sort, n log n).
constexpr std::string_view kScript = R"page(
(function () {
  'use strict';
  var main = document.getElementById('cards');
  var cards = Array.prototype.slice.call(main.children);
  var n = cards.length;
  var query = document.getElementById('q');
  var sortBy = document.getElementById('sort');
  var down = document.getElementById('down');
  var shown = document.getElementById('shown');
  var names = null, haystacks = null, numbers = {};

  function readTexts() {
    if (names) return;
    names = new Array(n);
    haystacks = new Array(n);
    for (var i = 0; i < n; i++) {
      var name = cards[i].querySelector('.n').textContent.toLowerCase();
      names[i] = name;
      haystacks[i] = name + '\n' + cards[i].querySelector('.a').textContent.toLowerCase();
    }
  }
  // Missing values are NaN.
  function readNumbers(key) {
    if (!numbers[key]) {
      var values = new Array(n);
      for (var i = 0; i < n; i++) {
        var text = cards[i].getAttribute('data-' + key);
        values[i] = text === null ? NaN : Number(text);
      }
      numbers[key] = values;
    }
    return numbers[key];
  }
  function showCount(count) {
    shown.textContent = (count === n ? n : count + ' of ' + n) + (n === 1 ? ' map' : ' maps');
  }

  var timer = 0;
  function filter() {
    timer = 0;
    var text = query.value.toLowerCase();
    var count = 0;
    if (text) readTexts();
    for (var i = 0; i < n; i++) {
      var hide = text !== '' && haystacks[i].indexOf(text) < 0;
      if (cards[i].hidden !== hide) cards[i].hidden = hide;
      if (!hide) count++;
    }
    showCount(count);
  }
  query.addEventListener('input', function () {
    if (!timer) timer = setTimeout(filter, 80);
  });

  // Ties and missing values keep the walk's order; missing ones come last
  // either way.
  function sort() {
    var key = sortBy.value, sign = down.getAttribute('aria-pressed') === 'true' ? -1 : 1;
    var order = new Array(n);
    for (var i = 0; i < n; i++) order[i] = i;
    if (key === 'name') readTexts();
    var values = key === 'name' ? names : key ? readNumbers(key) : null;
    order.sort(function (a, b) {
      if (values) {
        var x = values[a], y = values[b];
        var xMissing = x !== x, yMissing = y !== y;
        if (xMissing !== yMissing) return xMissing ? 1 : -1;
        if (!xMissing && x !== y) return x < y ? -sign : sign;
        return a - b;
      }
      return sign * (a - b);
    });
    var moved = document.createDocumentFragment();
    for (var k = 0; k < n; k++) moved.appendChild(cards[order[k]]);
    main.appendChild(moved);
  }
  sortBy.addEventListener('change', sort);
  function setDescending(on) {
    down.setAttribute('aria-pressed', on ? 'true' : 'false');
    down.textContent = on ? '\u2193' : '\u2191';
    down.title = on ? 'Descending' : 'Ascending';
  }
  down.addEventListener('click', function () {
    setDescending(down.getAttribute('aria-pressed') !== 'true');
    sort();
  });
  // The address may carry a filter and an order, as a link to one view of
  // the gallery: #q=TEXT&sort=name|players|area|bytes&down=1.
  var asked = {};
  location.hash.replace(/^#/, '').split('&').forEach(function (part) {
    var eq = part.indexOf('=');
    if (eq > 0) {
      try { asked[part.slice(0, eq)] = decodeURIComponent(part.slice(eq + 1)); } catch (e) {}
    }
  });
  if (typeof asked.q === 'string') query.value = asked.q;
  if (asked.sort && sortBy.querySelector('option[value="' + asked.sort.replace(/[^a-z]/g, '') + '"]'))
    sortBy.value = asked.sort;
  if (asked.down === '1') setDescending(true);
  // A browser may also keep the controls' values over a reload.
  if (query.value) filter(); else showCount(n);
  if (sortBy.value) sort();
  document.documentElement.setAttribute('data-ready', 'true');
})();
)page";

constexpr std::string_view kBodyStart = R"page(<title>Map gallery</title>
</head>
<body>
<header>
<h1>Map gallery</h1>
<input id="q" type="search" placeholder="Filter by name or author" aria-label="Filter by name or author" autocomplete="off">
<label>Sort by <select id="sort">
<option value="">walk order</option>
<option value="name">name</option>
<option value="players">players</option>
<option value="area">playable size</option>
<option value="bytes">size on disk</option>
</select></label>
<button id="down" type="button" aria-pressed="false" title="Ascending">&#x2191;</button>
<span id="shown"></span>
</header>
<main id="cards">
)page";

std::string Head(const std::string& nonce) {
  std::string head(kHeadStart);
  // Should a map text ever get past the escaping, it still could neither
  // run a script nor reach the network.
  head += "<meta http-equiv=\"Content-Security-Policy\" content=\"default-src 'none'; img-src 'self' file:; "
          "style-src 'nonce-" + nonce + "'; script-src 'nonce-" + nonce + "'; base-uri 'none'; form-action 'none'\">\n";
  head += "<style nonce=\"" + nonce + "\">";
  head += kStyle;
  head += "</style>\n";
  head += kBodyStart;
  return head;
}

std::string Nonce() {
  std::random_device random;
  char text[33];
  std::snprintf(text, sizeof text, "%08x%08x%08x%08x", random(), random(), random(), random());
  return text;
}

std::string Summary(std::uint64_t cards, std::uint64_t read, std::uint64_t partial, std::uint64_t duplicates) {
  return "<p id=\"summary\">" + std::to_string(cards) + (cards == 1 ? " map: " : " maps: ") + std::to_string(read) +
         " read, " + std::to_string(partial) + " partial, " + std::to_string(cards - read - partial) + " unopenable; " +
         std::to_string(duplicates) +
         (duplicates == 1 ? " duplicate" : " duplicates") + ".</p>\n";
}

// The name the finished page has for a moment before it replaces the old
// one, and, where there are no unnamed files, while it grows.
std::string GrowingPath(const std::string& dir) {
  return dir + "." + std::string(GalleryPage::kPageName) + "." + std::to_string(::getpid()) + ".new";
}

}  // namespace

void GalleryPage::Abandon() {
  file_.Close();
  if (!growingPath_.empty()) ::unlink(growingPath_.c_str());
  growingPath_.clear();
}

int GalleryPage::Begin(const std::string& dir) {
  Abandon();
  buffer_.clear();
  error_ = 0;
  cards_ = read_ = partial_ = duplicates_ = 0;
  char* real = ::realpath(dir.c_str(), nullptr);
  if (!real) return error_ = errno;
  dir_ = real;
  std::free(real);
  if (!IsExistingDirectory(dir_)) return error_ = ENOTDIR;
  if (dir_.back() != '/') dir_ += '/';

  error_ = CreateUnnamedFile(dir_, 0666, file_);
  if (IsUnsupported(error_)) {
    // Left by a run of the same number that was killed: never a page.
    growingPath_ = GrowingPath(dir_);
    ::unlink(growingPath_.c_str());
    file_ = File(::open(growingPath_.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0666));
    error_ = file_.IsOpen() ? 0 : errno;
    if (error_ != 0) growingPath_.clear();
  }
  if (error_ != 0) return error_;
  nonce_ = Nonce();
  return Write(Head(nonce_));
}

int GalleryPage::Add(const MapRecord& record) {
  if (!file_.IsOpen()) return EBADF;
  if (error_ != 0) return error_;
  ++cards_;
  const std::string_view status = MapStatus(record);
  if (status == "read") ++read_;
  if (status == "partial") ++partial_;
  if (!record.duplicateOf.empty()) ++duplicates_;
  return Write(CardHtml(dir_, record));
}

int GalleryPage::Finish() {
  if (!file_.IsOpen()) return EBADF;
  const std::string tail = "</main>\n" + Summary(cards_, read_, partial_, duplicates_) + "<script nonce=\"" +
                           nonce_ + "\">" + std::string(kScript) + "</script>\n</body>\n</html>\n";
  Write(tail);
  Flush();
  // On the disk before its name is, so that a power cut leaves one page or
  // the other.
  if (error_ == 0 && ::fdatasync(file_.Descriptor()) != 0) error_ = errno;
  const std::string page = dir_ + std::string(kPageName);
  if (error_ == 0) {
    HoldingSignals([&] {
      const std::string named = GrowingPath(dir_);
      if (growingPath_.empty()) {
        ::unlink(named.c_str());
        error_ = NameUnnamedFile(file_, named);
      }
      if (error_ == 0 && ::rename(named.c_str(), page.c_str()) != 0) error_ = errno;
      if (error_ != 0) ::unlink(named.c_str());
    });
  }
  if (const int closed = file_.Close(); error_ == 0) error_ = closed;
  if (error_ != 0 && !growingPath_.empty()) ::unlink(growingPath_.c_str());
  growingPath_.clear();
  return error_;
}

int GalleryPage::Write(std::string_view text) {
  buffer_.append(text);
  return buffer_.size() >= kFlushSize ? Flush() : error_;
}

int GalleryPage::Flush() {
  if (error_ == 0 && !buffer_.empty()) error_ = file_.WriteAll(buffer_);
  buffer_.clear();
  return error_;
}

}  // namespace korvanel
