// The folder picker behind the maps and minimap "..." buttons: a tree of
// the file system's folders under the title "Current Selection:", with a
// status line naming the selected folder.
#pragma once

#include <string>
#include <string_view>

class QLabel;
class QTreeWidget;
class QTreeWidgetItem;
class QWidget;

namespace korvanel {

class FolderBrowser {
 public:
  // An empty `initialFolder` selects nothing at the start.
  explicit FolderBrowser(std::string initialFolder = {}, QWidget* owner = nullptr);
  FolderBrowser(const FolderBrowser&) = delete;
  FolderBrowser& operator=(const FolderBrowser&) = delete;

  // 1 when the user confirmed a folder, 2 otherwise.
  int DoModal();
  std::string GetSelectedPath() const { return selectedPath_; }

 private:
  void OnInitialized();
  void OnSelChanged(QTreeWidgetItem* item);
  // Expands the tree along `path` and selects the deepest folder found.
  void SelectFolder(const std::string& path);

  std::string initialFolder_;
  std::string selectedPath_;
  QWidget* owner_;
  // Set only while the browser is open.
  QTreeWidget* tree_ = nullptr;
  QLabel* status_ = nullptr;
};

// The status line's form of a path: at most 35 bytes, then "...". A
// character encoded in several bytes is never cut.
std::string ShortenForStatus(std::string_view text);

// Where a browser opens: the field's text when it names an existing folder,
// else the game's installation folder when known, else nowhere.
std::string InitialBrowseFolder(std::string_view fieldText, const std::string& installPath);

}  // namespace korvanel
