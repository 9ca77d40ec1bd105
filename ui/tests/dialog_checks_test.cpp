// The checks of the Extract button, in their order: which message, where
// the focus goes, what is opened, and that the fields stay as typed.
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <algorithm>

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

TEST(DialogChecks, UpdateBoxNeedsACatalogueFile) {
  DialogHarness h;
  QCheckBox* update = h.Check("updateCatalogueCheck");
  EXPECT_FALSE(update->isEnabled());
  QTest::mouseClick(update, Qt::LeftButton);
  EXPECT_FALSE(update->isChecked());

  h.Edit("catalogueEdit")->setText(QStringLiteral("maps.jsonl"));
  EXPECT_TRUE(update->isEnabled());
  QTest::mouseClick(update, Qt::LeftButton);
  EXPECT_TRUE(update->isChecked());
  // The path gone, the tick goes too, so no update is asked without one.
  h.Edit("catalogueEdit")->clear();
  EXPECT_FALSE(update->isEnabled());
  EXPECT_FALSE(update->isChecked());
  h.Dialog().ReadControls();
  EXPECT_FALSE(h.Dialog().options.updateCatalogue);
  // Set from the fields, the box follows the path the same way.
  h.Dialog().options.cataloguePath = "again.jsonl";
  h.Dialog().options.updateCatalogue = true;
  h.Dialog().RefreshControls();
  EXPECT_TRUE(update->isEnabled());
  EXPECT_TRUE(update->isChecked());
}

// Each refusal is the command line's standard-error line, in an error box,
// and nothing is read, created or emptied.
TEST(DialogChecks, RefusedCatalogueAndPicturesFolderRunNothing) {
  TempDir dir;
  fs::create_directories(dir / "maps");
  fs::create_directories(dir / "a folder");
  BuildTestMap(dir / "maps" / "one.w3m");
  const std::string maps = (dir / "maps").string();
  const std::string info = (dir / "info.txt").string();
  const std::string catalogue = (dir / "maps.jsonl").string();
  WriteFile(info, "old");
  DialogHarness h;
  auto expectNothingRun = [&] {
    EXPECT_EQ(std::count(h.statuses.begin(), h.statuses.end(), "Processing one.w3m"), 0);
    EXPECT_EQ(ReadFile(info), "old");
    EXPECT_FALSE(fs::exists(catalogue));
    EXPECT_FALSE(h.Dialog().Run().IsCatalogueOpen());
    ExpectReady(h);
  };

  // A folder: the box says what the command line says on standard error.
  const std::string folder = (dir / "a folder").string();
  h.Fill(maps, false, true, info, false, "");
  h.FillCatalogue(folder, false, false);
  h.Extract();
  EXPECT_EQ(h.BoxTexts(), Strings{CatalogueIsFolder(folder)});
  EXPECT_EQ(h.boxes[0].icon, QMessageBox::Critical);
  EXPECT_EQ(h.Dialog().focusWidget(), h.Edit("catalogueEdit"));
  EXPECT_EQ(h.Edit("catalogueEdit")->selectedText(), ToQString(folder));
  expectNothingRun();
  const ProcessResult cli = RunKorvanel({maps, "--json", folder});
  EXPECT_EQ(cli.status, kExitErrors);
  EXPECT_EQ(cli.err, "korvanel: " + CatalogueIsFolder(folder) + "\n");

  // The info file, and a map's name.
  for (const auto& [path, text] : {std::pair{info, CatalogueIsInfoFile(info)},
                                   std::pair{(dir / "new.w3x").string(), CatalogueIsMap((dir / "new.w3x").string())}}) {
    h.Clear();
    h.FillCatalogue(path, false, false);
    h.Extract();
    EXPECT_EQ(h.BoxTexts(), Strings{text});
    expectNothingRun();
  }

  // A pictures folder that does not exist, or of blanks (not the root), is
  // refused before the catalogue is begun.
  const std::string missing = (dir / "no pictures").string();
  for (const auto& [typed, named] : {std::pair<std::string, std::string>{missing, missing + "/"}, {"  ", "  "}}) {
    h.Clear();
    h.FillCatalogue(catalogue, false, false);
    h.FillPictures(typed, true);
    h.Extract();
    EXPECT_EQ(h.BoxTexts(), Strings{PicturesFolderMissing(named)});
    EXPECT_EQ(h.Dialog().focusWidget(), h.Edit("picturesEdit"));
    EXPECT_EQ(h.Edit("picturesEdit")->selectedText(), ToQString(typed));
    EXPECT_TRUE(h.opened.empty());
    expectNothingRun();
  }
  const ProcessResult pictures = RunKorvanel({maps, "--pictures", missing});
  EXPECT_EQ(pictures.err, "korvanel: " + PicturesFolderMissing(missing + "/") + "\n");

  // An update writes the catalogue alone, which must be a file.
  h.Clear();
  h.FillPictures("", false);
  h.FillCatalogue(catalogue, true, false);
  FocusElsewhere(h);
  h.Extract();
  EXPECT_EQ(h.BoxTexts(), Strings{kUpdateAlone});
  EXPECT_EQ(h.Dialog().focusWidget(), h.Check("updateCatalogueCheck"));
  expectNothingRun();
  h.Clear();
  h.Fill(maps, false, false, "", false, "");
  h.FillCatalogue("-", true, false);
  h.Extract();
  EXPECT_EQ(h.BoxTexts(), Strings{kUpdateNeedsCatalogue});
  expectNothingRun();
}

}  // namespace korvanel::test
