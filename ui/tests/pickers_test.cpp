// The folder browser and the file pickers behind the "..." buttons.
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSettings>
#include <QTreeWidget>

#include "dialog_test_support.h"
#include "ui/folder_browser.h"
#include "ui/file_pickers.h"
#include "ui/text_conversion.h"

namespace korvanel::test {
namespace {

QString CurrentFolder(QDialog* browser) {
  auto* tree = browser->findChild<QTreeWidget*>(QStringLiteral("folderTree"));
  return tree && tree->currentItem() ? tree->currentItem()->data(0, Qt::UserRole).toString() : QString();
}

QString StatusLine(QDialog* browser) {
  auto* status = browser->findChild<QLabel*>(QStringLiteral("statusLabel"));
  return status ? status->text() : QStringLiteral("<none>");
}

// Selects the child folder `name` of the current one.
bool SelectChild(QDialog* browser, const QString& name) {
  auto* tree = browser->findChild<QTreeWidget*>(QStringLiteral("folderTree"));
  QTreeWidgetItem* current = tree ? tree->currentItem() : nullptr;
  if (!current) return false;
  tree->expandItem(current);
  for (int i = 0; i < current->childCount(); ++i) {
    if (current->child(i)->text(0) == name) {
      tree->setCurrentItem(current->child(i));
      return true;
    }
  }
  return false;
}

void Press(QDialog* browser, QDialogButtonBox::StandardButton which) {
  auto* buttons = browser->findChild<QDialogButtonBox*>();
  ASSERT_TRUE(buttons);
  buttons->button(which)->click();
}

}  // namespace

TEST(ShortenForStatus, ThirtyFiveBytesThenDots) {
  const std::string b35(35, 'b');
  EXPECT_EQ(ShortenForStatus(""), "");
  EXPECT_EQ(ShortenForStatus(b35), b35);
  EXPECT_EQ(ShortenForStatus(b35 + "c"), b35 + "...");
  EXPECT_EQ(ShortenForStatus(b35 + "cdefgh").size(), 38u);
  // A two-byte letter across the cut is left out whole.
  EXPECT_EQ(ShortenForStatus(std::string(34, 'a') + "\xC3\xA9xyz"), std::string(34, 'a') + "...");
  EXPECT_EQ(ShortenForStatus(std::string(33, 'a') + "\xC3\xA9xyz"), std::string(33, 'a') + "\xC3\xA9...");
}

TEST(FolderBrowser, StartsAtTheFieldsFolderElseTheGamesFolder) {
  TempDir dir;
  EXPECT_EQ(InitialBrowseFolder(" " + dir.Path().string() + " ", "/games/w3/"), dir.Path().string());
  EXPECT_EQ(InitialBrowseFolder((dir / "missing").string(), "/games/w3/"), "/games/w3/");
  EXPECT_EQ(InitialBrowseFolder("", ""), "");
  WriteFile(dir / "file", "x");
  EXPECT_EQ(InitialBrowseFolder((dir / "file").string(), ""), "");

  // Opened on its own: OK needs a selection; Cancel gives 2, OK gives 1.
  FolderBrowser none("", nullptr);
  WhenModal([](QWidget* window) {
    auto* browser = qobject_cast<QDialog*>(window);
    if (!browser || browser->objectName() != "folderBrowser") return false;
    EXPECT_FALSE(browser->findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Ok)->isEnabled());
    EXPECT_EQ(StatusLine(browser), "");
    Press(browser, QDialogButtonBox::Cancel);
    return true;
  });
  EXPECT_EQ(none.DoModal(), 2);

  FolderBrowser at(dir.Path().string(), nullptr);
  WhenModal([&](QWidget* window) {
    auto* browser = qobject_cast<QDialog*>(window);
    if (!browser || browser->objectName() != "folderBrowser") return false;
    EXPECT_EQ(CurrentFolder(browser), ToQString(dir.Path().string()));
    Press(browser, QDialogButtonBox::Ok);
    return true;
  });
  EXPECT_EQ(at.DoModal(), 1);
  EXPECT_EQ(at.GetSelectedPath(), dir.Path().string());
}

TEST(FolderBrowser, ConfirmAndCancelKeepWhatWasTypedElsewhere) {
  TempDir dir;
  const std::string longName = "a folder with a rather long name";
  fs::create_directories(dir / "maps" / longName);
  const std::string start = (dir / "maps").string();
  const std::string chosen = (dir / "maps" / longName).string();
  ASSERT_GT(chosen.size(), 35u);
  DialogHarness h;
  h.Fill(start, false, true, "typed info", false, "typed minimaps");

  WhenModal([&](QWidget* window) {
    auto* browser = qobject_cast<QDialog*>(window);
    if (!browser || browser->objectName() != "folderBrowser") return false;
    EXPECT_EQ(CurrentFolder(browser), ToQString(start));
    EXPECT_EQ(StatusLine(browser), ToQString(ShortenForStatus(start)));
    EXPECT_TRUE(SelectChild(browser, ToQString(longName)));
    EXPECT_EQ(StatusLine(browser), ToQString(chosen.substr(0, 35) + "..."));
    Press(browser, QDialogButtonBox::Ok);
    return true;
  });
  h.Button("browseMapsButton")->click();
  EXPECT_EQ(h.Edit("mapsDirectoryEdit")->text(), ToQString(chosen));
  EXPECT_EQ(h.Edit("infoFileEdit")->text(), "typed info");
  EXPECT_EQ(h.Edit("minimapDirectoryEdit")->text(), "typed minimaps");
  EXPECT_TRUE(h.Check("writeInfoFileCheck")->isChecked());
  EXPECT_EQ(h.Dialog().mapsDirectoryText, chosen);

  // Cancelled after more typing: nothing changes.
  h.Edit("infoFileEdit")->setText(QStringLiteral("typed again"));
  WhenModal([&](QWidget* window) {
    auto* browser = qobject_cast<QDialog*>(window);
    if (!browser || browser->objectName() != "folderBrowser") return false;
    Press(browser, QDialogButtonBox::Cancel);
    return true;
  });
  h.Button("browseMinimapButton")->click();
  EXPECT_EQ(h.Edit("minimapDirectoryEdit")->text(), "typed minimaps");
  EXPECT_EQ(h.Edit("infoFileEdit")->text(), "typed again");
  EXPECT_FALSE(h.Check("writeMinimapsCheck")->isChecked());

  // Confirmed into the minimap field: the check box stays as it was.
  WhenModal([&](QWidget* window) {
    auto* browser = qobject_cast<QDialog*>(window);
    if (!browser || browser->objectName() != "folderBrowser") return false;
    Press(browser, QDialogButtonBox::Ok);
    return true;
  });
  h.Edit("minimapDirectoryEdit")->setText(ToQString(chosen));
  h.Button("browseMinimapButton")->click();
  EXPECT_EQ(h.Edit("minimapDirectoryEdit")->text(), ToQString(chosen));
  EXPECT_EQ(h.Edit("infoFileEdit")->text(), "typed again");
  EXPECT_FALSE(h.Check("writeMinimapsCheck")->isChecked());
  EXPECT_TRUE(h.boxes.empty());
}

TEST(InfoFilePicker, NewNameWithoutExtensionIsKeptAsTyped) {
  TempDir dir;
  const std::string report = (dir / "report").string();
  // The user's settings, where Qt's file dialog would keep its history.
  fs::create_directories(dir / "home" / ".config");
  ScopedEnv home("HOME", (dir / "home").c_str());
  ScopedEnv config("XDG_CONFIG_HOME", (dir / "home" / ".config").c_str());
  for (QSettings::Format format : {QSettings::NativeFormat, QSettings::IniFormat})
    QSettings::setPath(format, QSettings::UserScope, ToQString((dir / "home" / ".config").string()));
  DialogHarness h;
  h.Fill("typed maps", false, false, "", true, "typed minimaps");

  WhenModal([&](QWidget* window) {
    auto* picker = qobject_cast<QFileDialog*>(window);
    if (!picker) return false;
    EXPECT_EQ(picker->windowTitle(), "Open/Create Info File...");
    EXPECT_EQ(picker->nameFilters(), (QStringList{"Text Files (*.txt)", "Any Files (*)"}));
    EXPECT_EQ(picker->selectedNameFilter(), "Text Files (*.txt)");
    EXPECT_EQ(picker->acceptMode(), QFileDialog::AcceptOpen);
    EXPECT_TRUE(picker->defaultSuffix().isEmpty());
    picker->selectFile(ToQString(report));
    static_cast<QDialog*>(picker)->accept();  // QFileDialog hides it; its checks still run
    return true;
  });
  h.Button("browseInfoFileButton")->click();
  EXPECT_EQ(h.Edit("infoFileEdit")->text(), ToQString(report));
  EXPECT_FALSE(h.Check("writeInfoFileCheck")->isChecked());
  EXPECT_EQ(h.Edit("mapsDirectoryEdit")->text(), "typed maps");
  EXPECT_EQ(h.Edit("minimapDirectoryEdit")->text(), "typed minimaps");
  EXPECT_FALSE(fs::exists(report));

  WhenModal([](QWidget* window) {
    auto* picker = qobject_cast<QFileDialog*>(window);
    if (!picker) return false;
    picker->reject();
    return true;
  });
  h.Edit("infoFileEdit")->setText(QStringLiteral("typed info"));
  h.Button("browseInfoFileButton")->click();
  EXPECT_EQ(h.Edit("infoFileEdit")->text(), "typed info");
  // Nothing of the dialog is stored between starts.
  EXPECT_TRUE(fs::is_empty(dir / "home" / ".config"));
}

// A save dialog: an existing catalogue, the one an update reads, is taken
// without a question (one would leave this picker waiting).
TEST(CatalogueFilePicker, TakesANewOrAnExistingFileAsTyped) {
  TempDir dir;
  const std::string existing = (dir / "maps.jsonl").string();
  WriteFile(existing, "old\n");
  DialogHarness h;
  h.Fill("typed maps", false, true, "typed info", false, "");
  for (const std::string& chosen : {(dir / "new catalogue").string(), existing}) {
    WhenModal([&](QWidget* window) {
      auto* picker = qobject_cast<QFileDialog*>(window);
      if (!picker) return false;
      EXPECT_TRUE(picker->defaultSuffix().isEmpty());
      picker->selectFile(ToQString(chosen));
      static_cast<QDialog*>(picker)->accept();  // its checks still run
      return true;
    });
    h.Button("browseCatalogueButton")->click();
    EXPECT_EQ(h.Edit("catalogueEdit")->text(), ToQString(chosen));
    EXPECT_TRUE(h.Check("updateCatalogueCheck")->isEnabled());
    EXPECT_EQ(h.Edit("infoFileEdit")->text(), "typed info");
  }
  EXPECT_EQ(ReadFile(existing), "old\n");
  EXPECT_FALSE(fs::exists(dir / "new catalogue"));
}

}  // namespace korvanel::test
