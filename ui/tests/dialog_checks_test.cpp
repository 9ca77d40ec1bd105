// The checks of the Extract button, in their order: which message, where
// the focus goes, what is opened, and that the fields stay as typed.
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QLineEdit>
#include <QPushButton>

#include "dialog_test_support.h"
#include "dialog_texts.h"
#include "sample_maps.h"
#include "ui/text_conversion.h"

namespace korvanel::test {
namespace {

using Strings = std::vector<std::string>;

// Puts the focus where no check would put it, so a move is seen.
void FocusElsewhere(DialogHarness& h) { h.Check("includeSubdirectoriesCheck")->setFocus(); }

void ExpectReady(DialogHarness& h) {
  EXPECT_EQ(h.Edit("statusEdit")->text(), "Ready!");
  EXPECT_TRUE(h.Button("extractButton")->isEnabled());
  EXPECT_FALSE(h.Dialog().Run().IsInfoFileOpen());
}

}  // namespace

TEST(DialogChecks, MissingParametersStopAtTheFirstFailure) {
  TempDir dir;
  const std::string info = (dir / "info.txt").string();
  DialogHarness h;

  // Both the maps folder and the info path missing: only the first is named.
  h.Fill("", false, true, "", false, "");
  FocusElsewhere(h);
  h.Extract();
  EXPECT_EQ(h.BoxTexts(), Strings{kNoMapsFolder});
  EXPECT_EQ(h.boxes[0].icon, QMessageBox::Warning);
  EXPECT_EQ(h.boxes[0].buttons, QMessageBox::Ok);
  EXPECT_EQ(h.boxes[0].statusWhenShown, kPleaseWait);
  EXPECT_EQ(h.Dialog().focusWidget(), h.Edit("mapsDirectoryEdit"));
  ExpectReady(h);

  // The info file chosen without a path: focus on its field.
  h.Clear();
  h.Fill(dir.Path().string(), false, true, "", false, "");
  FocusElsewhere(h);
  h.Extract();
  EXPECT_EQ(h.BoxTexts(), Strings{kNoInfoFile});
  EXPECT_EQ(h.boxes[0].icon, QMessageBox::Warning);
  EXPECT_EQ(h.Dialog().focusWidget(), h.Edit("infoFileEdit"));
  ExpectReady(h);

  // Minimaps chosen without a folder and no info file: the missing folder,
  // not "Nothing to do!".
  h.Clear();
  h.Fill(dir.Path().string(), false, false, info, true, "");
  FocusElsewhere(h);
  h.Extract();
  EXPECT_EQ(h.BoxTexts(), Strings{kNoMinimapFolder});
  EXPECT_EQ(h.Dialog().focusWidget(), h.Edit("minimapDirectoryEdit"));
  EXPECT_FALSE(fs::exists(info));
  ExpectReady(h);

  // Nothing chosen: the information icon; a maps folder of blanks
  // is not empty for this check; the named info file is not created.
  h.Clear();
  h.Fill("   ", false, false, info, false, "");
  FocusElsewhere(h);
  h.Extract();
  EXPECT_EQ(h.BoxTexts(), Strings{kNothingToDo});
  EXPECT_EQ(h.boxes[0].icon, QMessageBox::Information);
  EXPECT_EQ(h.Dialog().focusWidget(), h.Edit("minimapDirectoryEdit"));
  EXPECT_FALSE(fs::exists(info));
  ExpectReady(h);
  EXPECT_TRUE(h.statuses.size() >= 2 && h.statuses[0] == kPleaseWait && h.statuses.back() == "Ready!");
}

TEST(DialogChecks, InvalidFoldersSelectTheirTextAndCloseTheInfoFile) {
  TempDir dir;
  WriteFile(dir / "a file", "x");
  const std::string info = (dir / "info.txt").string();
  const std::string missing = (dir / "no such folder").string();
  DialogHarness h;

  // A maps folder that does not exist: reported before the info file is
  // asked about or opened, so none is created.
  h.Fill(missing, false, true, info, false, "");
  FocusElsewhere(h);
  h.Extract();
  EXPECT_EQ(h.BoxTexts(), Strings{kBadMapsFolder});
  EXPECT_EQ(h.boxes[0].icon, QMessageBox::Warning);
  QLineEdit* maps = h.Edit("mapsDirectoryEdit");
  EXPECT_EQ(h.Dialog().focusWidget(), maps);
  EXPECT_EQ(maps->selectedText(), ToQString(missing));
  EXPECT_EQ(maps->cursorPosition(), maps->text().size());
  EXPECT_FALSE(fs::exists(info));
  ExpectReady(h);

  // A maps "folder" that is a file: the same. An existing info file is
  // neither asked about nor emptied.
  WriteFile(info, "old");
  h.Clear();
  h.answers = {QMessageBox::No};
  h.Fill((dir / "a file").string(), false, true, info, false, "");
  h.Extract();
  EXPECT_EQ(h.BoxTexts(), Strings{kBadMapsFolder});
  EXPECT_EQ(h.boxes[0].statusWhenShown, kPleaseWait);
  EXPECT_EQ(ReadFile(info), "old");
  ExpectReady(h);

  // A maps folder of blanks names no folder, rather than the root.
  h.Clear();
  h.Fill("  \t ", true, false, "", true, dir.Path().string());
  h.Extract();
  EXPECT_EQ(h.BoxTexts(), Strings{kBadMapsFolder});
  EXPECT_EQ(maps->selectedText(), "  \t ");
  ExpectReady(h);

  // Minimaps into a folder that does not exist: its text is selected, and
  // the info file is left as it was.
  h.Clear();
  h.answers = {QMessageBox::No};
  h.Fill(dir.Path().string(), false, true, info, true, missing);
  FocusElsewhere(h);
  h.Extract();
  EXPECT_EQ(h.BoxTexts(), Strings{kBadMinimapFolder});
  QLineEdit* minimaps = h.Edit("minimapDirectoryEdit");
  EXPECT_EQ(h.Dialog().focusWidget(), minimaps);
  EXPECT_EQ(minimaps->selectedText(), ToQString(missing));
  EXPECT_EQ(ReadFile(info), "old");
  ExpectReady(h);

  // A minimap folder of blanks is no folder either: no pictures in the root.
  h.Clear();
  h.answers = {QMessageBox::No};
  h.Fill(dir.Path().string(), false, true, info, true, "   ");
  h.Extract();
  EXPECT_EQ(h.BoxTexts(), Strings{kBadMinimapFolder});
  EXPECT_EQ(minimaps->selectedText(), "   ");
  EXPECT_EQ(ReadFile(info), "old");

  // The same missing folder with minimaps not chosen is not looked at.
  h.Clear();
  h.answers = {QMessageBox::No};
  h.Fill(dir.Path().string(), false, true, info, false, missing);
  h.Extract();
  EXPECT_EQ(h.BoxTexts(), (Strings{kAppendQuestion, kRunDone}));
  ExpectReady(h);
}

TEST(DialogChecks, FieldsStayAsTypedAndTheFolderIsNormalised) {
  TempDir dir;
  fs::create_directory(dir / "maps");
  BuildTestMap(dir / "maps" / "one.w3m");
  const std::string info = (dir / "info.txt").string();
  const std::string typed = "  " + (dir / "maps").string() + "/ \t";
  DialogHarness h;

  h.Fill(typed, false, true, info, false, "  " + dir.Path().string() + "  ");
  h.Extract();
  EXPECT_EQ(h.BoxTexts(), Strings{kRunDone});
  EXPECT_EQ(h.Dialog().MapsFolder(), (dir / "maps").string() + "/");
  EXPECT_EQ(h.Dialog().Run().options.minimapDirectory, dir.Path().string() + "/");
  EXPECT_EQ(h.Edit("mapsDirectoryEdit")->text(), ToQString(typed));
  EXPECT_EQ(h.Edit("minimapDirectoryEdit")->text(), ToQString("  " + dir.Path().string() + "  "));
  EXPECT_EQ(h.Edit("infoFileEdit")->text(), ToQString(info));
  EXPECT_TRUE(h.Check("writeInfoFileCheck")->isChecked());
  EXPECT_FALSE(h.Check("writeMinimapsCheck")->isChecked());
  EXPECT_EQ(ReadFile(info), RecordHead((dir / "maps" / "one.w3m").string()));
  ExpectReady(h);
}

TEST(DialogChecks, AnUntickedInfoFileIsNeitherAskedAboutNorTouched) {
  TempDir dir;
  fs::create_directory(dir / "maps");
  fs::create_directory(dir / "out");
  const std::string map = (dir / "maps" / "one.w3m").string();
  BuildTestMap(map);
  DialogHarness h;

  // An empty info path: nothing to report.
  h.Fill((dir / "maps").string(), false, false, "", true, (dir / "out").string());
  h.Extract();
  EXPECT_EQ(h.BoxTexts(), Strings{kRunDone});
  EXPECT_TRUE(fs::exists(dir / "out" / "one.jpg"));
  ExpectReady(h);

  // An existing file there is not asked about, and "No" could not empty it.
  const std::string info = (dir / "info.txt").string();
  const std::string kept(200 * 1024, 'k');
  WriteFile(info, kept);
  fs::create_directory(dir / "out2");
  h.Clear();
  h.answers = {QMessageBox::No};
  h.Fill((dir / "maps").string(), false, false, info, true, (dir / "out2").string());
  h.Extract();
  EXPECT_EQ(h.BoxTexts(), Strings{kRunDone});
  EXPECT_EQ(ReadFile(info), kept);
  EXPECT_TRUE(fs::exists(dir / "out2" / "one.jpg"));
  ExpectReady(h);

  // Ticked: blanks are no path, and a map's name is refused before anything is opened.
  h.Clear();
  h.Fill((dir / "maps").string(), false, true, "  \t", false, "");
  FocusElsewhere(h);
  h.Extract();
  EXPECT_EQ(h.BoxTexts(), Strings{kNoInfoFile});
  EXPECT_EQ(h.Dialog().focusWidget(), h.Edit("infoFileEdit"));
  h.Clear();
  const std::string mapBytes = ReadFile(map);
  h.answers = {QMessageBox::No};
  h.Fill((dir / "maps").string(), false, true, map, false, "");
  h.Extract();
  EXPECT_EQ(h.BoxTexts(),
            Strings{"ERROR!\nUnable to create the output file!\nReason:\nThe name is a map's (.w3m or .w3x), not an info file's.\n"});
  EXPECT_EQ(ReadFile(map), mapBytes);
  ExpectReady(h);
  EXPECT_EQ(std::distance(fs::directory_iterator(dir.Path()), fs::directory_iterator()), 4);

  // After a run of the maps folder, that folder as info file is still
  // refused as a folder: the dialog reads folders, never a map.
  h.Clear();
  h.Fill((dir / "maps").string(), false, true, (dir / "records.txt").string(), false, "");
  h.Extract();
  EXPECT_EQ(h.BoxTexts(), Strings{kRunDone});
  h.Clear();
  h.Fill((dir / "maps").string(), false, true, (dir / "maps").string(), false, "");
  h.Extract();
  EXPECT_EQ(h.BoxTexts(), Strings{"ERROR!\nUnable to create output file!\nThe filename you gave is already used by a "
                                  "directory!\nPlease try another name."});
}

}  // namespace korvanel::test
