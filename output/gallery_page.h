// The gallery of a run: one static page, DIR/index.html, that shows every
// map as a card (its picture, name, author, players, playable size,
// tileset, size on disk, whether it could be read, whether it repeats an
// earlier map), with a filter box and sorting. The page fetches nothing and
// needs no server: it opens from the folder, and its links are relative to
// it.
//
// A run meets its maps one at a time, so the page is written as they come
// into a file of its own in DIR, unnamed while it grows, and takes the name
// index.html only once it is complete: a run stopped at any point leaves
// the page of the run before whole, never half a page. Like the other
// writers it words nothing: each call returns what happened.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "output/map_record.h"
#include "platform/file.h"

namespace korvanel {

// `text` as HTML text or a double-quoted attribute value: valid UTF-8 with
// each bad sequence as U+FFFD, the markup characters as references, and
// control characters as the pictures of them (a tab or line end as a space).
std::string EscapeHtml(std::string_view text);
// The relative URL of `target` (absolute, or relative to `folder`) from
// the absolute `folder`: each path byte but the unreserved ones
// percent-encoded.
std::string RelativeUrl(const std::string& folder, const std::string& target);
// A size on disk as people read it: "812 B", "4.2 KiB", "13.0 MiB".
std::string ReadableSize(std::uint64_t bytes);

class GalleryPage {
 public:
  GalleryPage() = default;
  GalleryPage(const GalleryPage&) = delete;
  GalleryPage& operator=(const GalleryPage&) = delete;

  // The page's name in its folder.
  static constexpr std::string_view kPageName = "index.html";

  // Starts a page in the existing folder `dir`. Nothing in it changes until
  // Finish. Returns 0 or the error number.
  int Begin(const std::string& dir);
  bool IsOpen() const { return file_.IsOpen(); }
  // Writes the map's card; its pictures' files are taken to lie in the
  // page's folder. After an error every later call returns it.
  int Add(const MapRecord& record);
  // Completes the page and puts it in place of the old one in one step.
  // Returns 0 or the error number; on error the old page stays as it was.
  int Finish();
  // Drops the page begun: the old one stays as it was.
  void Abandon();

 private:
  // Cards are collected and written a block at a time.
  static constexpr std::size_t kFlushSize = 64 * 1024;
  int Write(std::string_view text);
  int Flush();

  File file_;
  std::string buffer_;
  std::string dir_;  // absolute, without links, ending in '/'
  // Where the file system has no unnamed files: the page's name while it grows.
  std::string growingPath_;
  // Marks the page's own style and script, which alone may apply.
  std::string nonce_;
  int error_ = 0;
  std::uint64_t cards_ = 0;
  std::uint64_t read_ = 0;
  std::uint64_t partial_ = 0;
  std::uint64_t duplicates_ = 0;
};

}  // namespace korvanel
