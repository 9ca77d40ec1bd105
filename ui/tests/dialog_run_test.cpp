// Whole runs from the dialog: the status line during the run, the summary,
// the append-or-new question, and the info file compared with the command
// line's for the same maps.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QCheckBox>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <chrono>

#include "dialog_test_support.h"
#include "dialog_texts.h"
#include "fixture_records.h"
#include "sample_maps.h"
#include "ui/message_box.h"
#include "ui/text_conversion.h"

namespace korvanel::test {
namespace {

using Strings = std::vector<std::string>;

std::string Counts(int maps, int pictures, int notShown) {
  return "Maps processed: " + std::to_string(maps) + "\nPictures written: " + std::to_string(pictures) +
         "\nNotices not shown: " + std::to_string(notShown);
}

std::string StoppedStatus(int maps, int pictures) {
  return "Stopped! Maps processed: " + std::to_string(maps) + ", Pictures written: " + std::to_string(pictures) +
         ", Notices not shown: 0";
}

}  // namespace

TEST(DialogRun, StatusNamesEachMapAndLatchesAreClearedPerRun) {
  TempDir dir;
  fs::create_directories(dir / "maps");
  fs::create_directories(dir / "out1");
  fs::create_directories(dir / "out2");
  BuildTestMap(dir / "maps" / "a_bad.w3m", true);
  BuildTestMap(dir / "maps" / "b_good.w3m");
  const std::string info = (dir / "info.txt").string();
  DialogHarness h;

  h.Fill((dir / "maps").string(), false, true, info, true, (dir / "out1").string());
  h.Clear();
  // While it runs no second run starts, and ending the dialog asks
  // whether to stop instead (answered No: the run goes on); not while that
  // is asked, nor during the summary.
  int boxesDuringRun = 0;
  h.onBox = [&] {
    ++boxesDuringRun;
    EXPECT_TRUE(h.Dialog().IsRunning());
    EXPECT_FALSE(h.Button("extractButton")->isEnabled());
    h.Dialog().reject();
    EXPECT_TRUE(h.Dialog().isVisible());
  };
  h.Button("extractButton")->setFocus();
  h.Extract();
  h.onBox = nullptr;
  EXPECT_EQ(boxesDuringRun, 3);
  EXPECT_TRUE(h.Dialog().isVisible());
  // The summary leaves the focus where it was.
  EXPECT_EQ(h.Dialog().focusWidget(), h.Button("extractButton"));
  EXPECT_EQ(h.statuses, (Strings{kPleaseWait, "Processing a_bad.w3m", "Processing b_good.w3m", "Done!", "Ready!"}));
  Strings texts = h.BoxTexts();
  ASSERT_EQ(texts.size(), 3u) << testing::PrintToString(texts);
  EXPECT_TRUE(texts[0].starts_with("ERROR!\nInvalid BLP format!\nThe map \"")) << texts[0];
  EXPECT_EQ(h.boxes[0].statusWhenShown, "Processing a_bad.w3m");
  EXPECT_EQ(texts[1], kStopQuestion);
  EXPECT_EQ(texts[2], kRunWarning);
  EXPECT_EQ(h.boxes[2].icon, QMessageBox::Information);
  EXPECT_EQ(h.boxes[2].statusWhenShown, "Done!");
  EXPECT_FALSE(fs::exists(dir / "out1" / "a_bad.jpg"));
  EXPECT_TRUE(fs::exists(dir / "out1" / "b_good.jpg"));

  // The failing map gone, the same dialog: the latches start cleared.
  fs::remove(dir / "maps" / "a_bad.w3m");
  h.Edit("minimapDirectoryEdit")->setText(ToQString((dir / "out2").string()));
  h.Clear();
  h.answers = {QMessageBox::No};
  h.Extract();
  EXPECT_EQ(h.BoxTexts(), (Strings{kAppendQuestion, kRunDone}));
  EXPECT_EQ(h.boxes[0].icon, QMessageBox::Question);
  EXPECT_EQ(h.boxes[0].buttons, QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
  EXPECT_EQ(h.boxes[0].escapeButton, QMessageBox::Cancel);
  EXPECT_EQ(h.statuses, (Strings{kPleaseWait, "Processing b_good.w3m", "Done!", "Ready!"}));
  const std::string good = (dir / "maps" / "b_good.w3m").string();
  EXPECT_EQ(ReadFile(info), RecordHead(good) + "Minimap File:      " + (dir / "out2" / "b_good.jpg").string() + "\r\n");
}

// An unopenable map latches nothing, but the run did not analyse it: the
// summary must not claim success.
TEST(DialogRun, UnopenableMapGivesTheWarning) {
  TempDir dir;
  WriteFile(dir / "junk.w3m", "not an archive");
  DialogHarness h;
  h.Fill(dir.Path().string(), false, true, (dir / "info.txt").string(), false, "");
  h.Extract();
  const std::string junk = (dir / "junk.w3m").string();
  EXPECT_EQ(h.BoxTexts(), (Strings{"ERROR!\nUnable to open the map file :\n" + junk + "\n", kRunWarning}));
  EXPECT_EQ(h.boxes[0].icon, QMessageBox::Critical);
  EXPECT_EQ(ReadFile(dir / "info.txt"), "");
}

TEST(DialogRun, AppendQuestionYesNoCancel) {
  TempDir dir;
  fs::create_directory(dir / "maps");
  BuildTestMap(dir / "maps" / "m.w3m");
  const std::string record = RecordHead((dir / "maps" / "m.w3m").string());
  const std::string info = (dir / "info.txt").string();
  WriteFile(info, "old\r\n");
  DialogHarness h;
  h.Fill((dir / "maps").string(), false, true, info, false, "");

  h.answers = {QMessageBox::Yes};
  h.Extract();
  EXPECT_EQ(h.BoxTexts(), (Strings{kAppendQuestion, kRunDone}));
  EXPECT_EQ(ReadFile(info), "old\r\n" + record);

  h.Clear();
  h.answers = {QMessageBox::No};
  h.Extract();
  EXPECT_EQ(h.BoxTexts(), (Strings{kAppendQuestion, kRunDone}));
  EXPECT_EQ(ReadFile(info), record);

  // Cancel ends the run without a message of the dialog's own, nothing walked.
  h.Clear();
  h.answers = {QMessageBox::Cancel};
  h.Extract();
  EXPECT_EQ(h.BoxTexts(), Strings{kAppendQuestion});
  EXPECT_EQ(h.statuses, (Strings{kPleaseWait, "Ready!"}));
  EXPECT_EQ(ReadFile(info), record);
  EXPECT_FALSE(h.Dialog().Run().IsInfoFileOpen());
  EXPECT_TRUE(h.Button("extractButton")->isEnabled());
}

// The same question in a real message box, answered by its buttons, by
// Escape and by its close box.
TEST(DialogRun, RealQuestionBox) {
  TempDir dir;
  fs::create_directory(dir / "maps");
  BuildTestMap(dir / "maps" / "m.w3m");
  const std::string record = RecordHead((dir / "maps" / "m.w3m").string());
  const std::string info = (dir / "info.txt").string();
  WriteFile(info, "old\r\n");
  DialogHarness h(true);
  h.Fill((dir / "maps").string(), false, true, info, false, "");

  std::vector<QString> seen;
  auto clickOn = [&](QMessageBox::StandardButton button) {
    return [&seen, &h, button](QWidget* window) {
      auto* box = qobject_cast<QMessageBox*>(window);
      if (!box) return false;
      seen.push_back(box->text());
      EXPECT_EQ(box->parentWidget(), &h.Dialog());
      EXPECT_EQ(box->windowTitle(), ApplicationTitle());
      box->button(button)->click();
      return true;
    };
  };

  // No starts the file anew; then the summary's OK.
  WhenModal([&](QWidget* window) {
    auto* box = qobject_cast<QMessageBox*>(window);
    if (!box) return false;
    EXPECT_EQ(box->icon(), QMessageBox::Question);
    EXPECT_EQ(box->standardButtons(), QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
    EXPECT_EQ(box->defaultButton(), box->button(QMessageBox::Yes));
    EXPECT_EQ(box->textFormat(), Qt::PlainText);
    if (!clickOn(QMessageBox::No)(window)) return false;
    WhenModal(clickOn(QMessageBox::Ok));
    return true;
  });
  h.Extract();
  EXPECT_EQ(seen, (std::vector<QString>{ToQString(kAppendQuestion), ToQString(kRunDone)}));
  EXPECT_EQ(ReadFile(info), record);

  // Escape and the close box both cancel: no summary follows.
  for (bool escape : {true, false}) {
    seen.clear();
    WhenModal([&](QWidget* window) {
      auto* box = qobject_cast<QMessageBox*>(window);
      if (!box) return false;
      seen.push_back(box->text());
      if (escape) QTest::keyClick(box, Qt::Key_Escape);
      else box->close();
      return true;
    });
    h.Extract();
    EXPECT_EQ(seen, std::vector<QString>{ToQString(kAppendQuestion)}) << escape;
    EXPECT_EQ(ReadFile(info), record);
    EXPECT_EQ(h.Edit("statusEdit")->text(), "Ready!");
  }
}

TEST(DialogRun, InfoFileEqualsTheCommandLines) {
  TempDir dir;
  fs::create_directories(dir / "maps" / "sub");
  BuildTestMap(dir / "maps" / "b.w3m");
  BuildTestMap(dir / "maps" / "a.W3M");
  BuildTestMap(dir / "maps" / "sub" / "c.w3m", true);
  WriteFile(dir / "maps" / "broken.w3m", "junk");
  DialogHarness h;
  h.Fill((dir / "maps").string(), true, true, (dir / "dialog.txt").string(), false, "");
  h.Extract();
  EXPECT_EQ(h.BoxTexts().back(), kRunWarning);

  ProcessResult cli = RunKorvanel({(dir / "maps").string(), "/s", "/i", (dir / "cli.txt").string()});
  EXPECT_EQ(cli.status, kExitErrors);
  const std::string dialogInfo = ReadFile(dir / "dialog.txt");
  EXPECT_EQ(dialogInfo, ReadFile(dir / "cli.txt"));
  EXPECT_NE(dialogInfo.find("sub/c.w3m"), std::string::npos);
}

TEST(DialogRun, FixtureMapRecordAndMinimap) {
  KVL_REQUIRE_FIXTURE(map, "maps/smallest_roc.w3m");
  TempDir dir;
  fs::create_directory(dir / "out");
  const fs::path folder = fs::canonical(map.parent_path());
  DialogHarness h;
  h.Fill(folder.string(), false, true, (dir / "dialog.txt").string(), true, (dir / "out").string());
  h.Extract();
  EXPECT_EQ(h.BoxTexts(), Strings{kRunDone});
  EXPECT_EQ(h.statuses, (Strings{kPleaseWait, "Processing smallest_roc.w3m", "Done!", "Ready!"}));
  EXPECT_EQ(ReadFile(dir / "dialog.txt"), RecordHead((folder / "smallest_roc.w3m").string()) +
                                              "Minimap File:      " + (dir / "out" / "smallest_roc.jpg").string() +
                                              "\r\n" + std::string(kSmallestRocParserLines));
  EXPECT_GT(fs::file_size(dir / "out" / "smallest_roc.jpg"), 0u);

  // Without minimaps, the same bytes as the command line writes.
  h.Clear();
  h.Fill(folder.string(), false, true, (dir / "dialog2.txt").string(), false, "");
  h.Extract();
  EXPECT_EQ(h.BoxTexts(), Strings{kRunDone});
  ProcessResult cli = RunKorvanel({folder.string(), "/i", (dir / "cli.txt").string()});
  EXPECT_EQ(cli.status, kExitOk);
  EXPECT_EQ(ReadFile(dir / "dialog2.txt"), ReadFile(dir / "cli.txt"));
}

// Ending the dialog during the walk, by the close box, Escape or Quit, asks
// whether to stop. Yes stops after the map in hand, whose record is
// complete; no summary follows, and the next run starts in step.
TEST(DialogRun, CloseEscapeAndQuitAskToStopAfterTheMapInHand) {
  TempDir dir;
  fs::create_directories(dir / "maps");
  fs::create_directories(dir / "out");
  for (const char* name : {"a.w3m", "b_bad.w3m", "c.w3m", "d.w3m", "e.w3m", "f.w3m", "g.w3m"})
    BuildTestMap(dir / "maps" / name, name[1] == '_');
  const std::string info = (dir / "info.txt").string();
  DialogHarness h;
  h.Fill((dir / "maps").string(), false, true, info, true, (dir / "out").string());

  // During b's notice: the close box and Escape answered No, then Quit Yes;
  // once stopping, closing asks no more.
  h.answers = {QMessageBox::No, QMessageBox::No, QMessageBox::Yes};
  bool ended = false;
  h.onBox = [&] {
    if (std::exchange(ended, true)) return;
    h.Dialog().close();
    QTest::keyClick(&h.Dialog(), Qt::Key_Escape);
    h.Button("quitButton")->click();
    EXPECT_EQ(h.Edit("statusEdit")->text(), ToQString(kStopping));
    h.Dialog().close();
  };
  h.Extract();
  h.onBox = nullptr;
  const Strings texts = h.BoxTexts();
  ASSERT_EQ(texts.size(), 4u) << testing::PrintToString(texts);
  EXPECT_TRUE(texts[0].starts_with("ERROR!\nInvalid BLP format!")) << texts[0];
  for (std::size_t i = 1; i < 4; ++i) {
    EXPECT_EQ(texts[i], kStopQuestion);
    EXPECT_EQ(h.boxes[i].icon, QMessageBox::Question);
    EXPECT_EQ(h.boxes[i].buttons, QMessageBox::Yes | QMessageBox::No);
    EXPECT_EQ(h.boxes[i].escapeButton, QMessageBox::No);
  }
  EXPECT_EQ(h.statuses, (Strings{kPleaseWait, "Processing a.w3m", "Processing b_bad.w3m", kStopping,
                                 StoppedStatus(2, 1)}));
  EXPECT_EQ(ReadFile(info), RecordHead((dir / "maps" / "a.w3m").string()) + "Minimap File:      " +
                                (dir / "out" / "a.jpg").string() + "\r\n" +
                                RecordHead((dir / "maps" / "b_bad.w3m").string()));
  EXPECT_EQ(std::distance(fs::directory_iterator(dir / "out"), fs::directory_iterator()), 1);
  EXPECT_FALSE(h.Dialog().Run().IsInfoFileOpen());
  EXPECT_TRUE(h.Button("extractButton")->isEnabled());
  EXPECT_TRUE(h.Dialog().isVisible());

  // The maps left out were collected from the archive: the next run's
  // records are the command line's.
  h.Clear();
  h.Fill((dir / "maps").string(), false, true, (dir / "dialog.txt").string(), false, "");
  h.Extract();
  EXPECT_EQ(h.BoxTexts(), Strings{kRunDone});
  EXPECT_EQ(h.boxes[0].details, ToQString(Counts(7, 0, 0)));
  ProcessResult cli = RunKorvanel({(dir / "maps").string(), "/i", (dir / "cli.txt").string()});
  EXPECT_EQ(ReadFile(dir / "dialog.txt"), ReadFile(dir / "cli.txt"));

  // Idle again, closing ends the dialog.
  h.Dialog().close();
  EXPECT_FALSE(h.Dialog().isVisible());
  EXPECT_EQ(h.Dialog().result(), QDialog::Rejected);
}

// A map that hangs the archive library keeps the window answering: its
// timers fire, and the close box stops the run once that map is given up.
TEST(DialogRun, WindowAnswersWhileAMapHangs) {
  TempDir dir;
  fs::create_directory(dir / "maps");
  for (const char* name : {"a.w3m", "b-hang.w3m", "c.w3m"}) WriteFile(dir / "maps" / name, "for a stand-in library");
  const std::string info = (dir / "info.txt").string();
  DialogHarness h(false, KORVANEL_FAKE_STORM);
  h.App().Archive().libraryTimeout = std::chrono::milliseconds(1500);
  h.Fill((dir / "maps").string(), false, true, info, false, "");

  int ticksWhileHung = 0;
  QTimer timer;
  QObject::connect(&timer, &QTimer::timeout, [&] {
    if (h.Edit("statusEdit")->text() != "Processing b-hang.w3m") return;
    if (++ticksWhileHung != 3) return;
    h.answers = {QMessageBox::Yes};
    h.Dialog().close();
  });
  timer.start(10);
  h.Extract();
  timer.stop();
  EXPECT_EQ(ticksWhileHung, 3);
  const Strings texts = h.BoxTexts();
  const std::string hung = "ERROR!\nUnable to open the map file :\n" + (dir / "maps" / "b-hang.w3m").string() + "\n";
  ASSERT_GE(texts.size(), 2u);
  EXPECT_EQ(texts[texts.size() - 2], kStopQuestion);
  EXPECT_EQ(texts.back(), hung);
  EXPECT_EQ(h.Edit("statusEdit")->text(), ToQString(StoppedStatus(2, 0)));
  const std::string written = ReadFile(info);
  EXPECT_NE(written.find("a.w3m"), std::string::npos);
  EXPECT_EQ(written.find("c.w3m"), std::string::npos);
}

// A second run into the same minimap folder finds every picture there. The
// first notice is as it always was; the next offers not to show the rest,
// which the summary counts. Each run shows them all again.
TEST(DialogRun, RepeatedNoticesCanBeSilencedAndAreCounted) {
  TempDir dir;
  fs::create_directories(dir / "maps");
  fs::create_directories(dir / "out");
  const Strings names = {"a", "b", "c", "d", "e"};
  for (const std::string& name : names) BuildTestMap(dir / "maps" / (name + ".w3m"));
  DialogHarness h;
  h.Fill((dir / "maps").string(), false, false, "", true, (dir / "out").string());
  h.Extract();
  EXPECT_EQ(h.BoxTexts(), Strings{kRunDone});
  EXPECT_EQ(h.boxes[0].details, ToQString(Counts(5, 5, 0)));
  EXPECT_FALSE(h.boxes[0].offersDoNotShowAgain);

  auto exists = [&](const std::string& name) {
    return "ERROR!\nError extracting " + (dir / "out" / (name + ".jpg")).string() +
           "!\nFile already exists (not overwritten).";
  };
  h.Clear();
  h.tickDoNotShowAgain = true;
  h.Extract();
  EXPECT_EQ(h.BoxTexts(), (Strings{exists("a"), exists("b"), kRunDone}));
  EXPECT_FALSE(h.boxes[0].offersDoNotShowAgain);
  EXPECT_TRUE(h.boxes[1].offersDoNotShowAgain);
  EXPECT_FALSE(h.boxes[2].offersDoNotShowAgain);
  EXPECT_EQ(h.boxes[2].details, ToQString(Counts(5, 0, 3)));

  h.Clear();
  h.tickDoNotShowAgain = false;
  h.Extract();
  Strings expected;
  for (const std::string& name : names) expected.push_back(exists(name));
  expected.push_back(kRunDone);
  EXPECT_EQ(h.BoxTexts(), expected);
  EXPECT_FALSE(h.boxes[0].offersDoNotShowAgain);
  EXPECT_TRUE(h.boxes[4].offersDoNotShowAgain);
  EXPECT_EQ(h.boxes[5].details, ToQString(Counts(5, 0, 0)));
}

// The catalogue, --w3x and pictures controls each reach the run's options,
// and a catalogue alone is something to do.
TEST(DialogRun, CatalogueW3xAndPicturesAreTheRunsOptions) {
  TempDir dir;
  fs::create_directories(dir / "maps");
  fs::create_directories(dir / "pictures");
  BuildTestMap(dir / "maps" / "one.w3m");
  BuildTestMap(dir / "maps" / "two.w3x");
  const std::string maps = (dir / "maps").string();
  const std::string catalogue = (dir / "maps.jsonl").string();
  DialogHarness h;
  const RunOptions& run = h.Dialog().Run().options;

  h.Fill(maps, false, false, "", false, "");
  h.FillCatalogue(catalogue, false, true);
  h.FillPictures(" " + (dir / "pictures").string(), false);
  h.Extract();
  EXPECT_EQ(h.BoxTexts(), Strings{kRunDone});
  EXPECT_EQ(run.cataloguePath, catalogue);
  EXPECT_TRUE(run.laterFormats);
  EXPECT_FALSE(run.updateCatalogue);
  EXPECT_EQ(run.picturesDirectory, (dir / "pictures").string() + "/");
  EXPECT_TRUE(run.gallery);
  EXPECT_TRUE(fs::is_regular_file(dir / "pictures" / "index.html"));
  // Both maps, .w3x too, each with its pictures in a folder of its own.
  const auto objects = ParseCatalogue(ReadFile(catalogue));
  ASSERT_EQ(objects.size(), 2u);
  for (const auto& object : objects) {
    const std::string folder = (dir / "pictures" / fs::path(object["path"].get<std::string>()).filename()).string();
    ASSERT_FALSE(object["pictures"].empty()) << folder;
    for (const auto& picture : object["pictures"]) {
      const std::string file = picture["file"].get<std::string>();
      EXPECT_TRUE(file.starts_with(folder + "/") && fs::exists(file)) << file;
    }
  }
  EXPECT_EQ(h.Edit("picturesEdit")->text(), ToQString(" " + (dir / "pictures").string()));

  // Without the pictures the catalogue is the command line's; an update,
  // which writes the catalogue alone, gives the same.
  h.Clear();
  h.FillPictures("", false);
  h.Extract();
  EXPECT_TRUE(run.picturesDirectory.empty());
  EXPECT_FALSE(run.gallery);
  const std::string full = ReadFile(catalogue);
  ASSERT_EQ(RunKorvanel({maps, "--w3x", "--json", (dir / "cli.jsonl").string()}).status, kExitOk);
  EXPECT_EQ(full, ReadFile(dir / "cli.jsonl"));
  h.Clear();
  h.FillCatalogue(catalogue, true, true);
  h.Extract();
  EXPECT_EQ(h.BoxTexts(), Strings{kRunDone});
  EXPECT_TRUE(run.updateCatalogue);
  EXPECT_TRUE(h.Check("updateCatalogueCheck")->isChecked());
  EXPECT_EQ(ReadFile(catalogue), full);

  // Without --w3x the .w3x map is none.
  h.Clear();
  h.FillCatalogue(catalogue, false, false);
  h.Extract();
  EXPECT_FALSE(run.laterFormats);
  EXPECT_EQ(ParseCatalogue(ReadFile(catalogue)).size(), 1u);
}

// A run that does not take place after the catalogue was begun (the info
// file's question cancelled) leaves the old catalogue whole and unlocked.
TEST(DialogRun, CancelledInfoFileLeavesTheCatalogueAsItWas) {
  TempDir dir;
  fs::create_directories(dir / "maps");
  BuildTestMap(dir / "maps" / "one.w3m");
  const std::string info = (dir / "info.txt").string();
  const std::string catalogue = (dir / "maps.jsonl").string();
  WriteFile(info, "old\r\n");
  WriteFile(catalogue, "old catalogue\n");
  DialogHarness h;
  h.Fill((dir / "maps").string(), false, true, info, false, "");
  h.FillCatalogue(catalogue, false, false);
  h.answers = {QMessageBox::Cancel};
  h.Extract();
  EXPECT_EQ(h.BoxTexts(), Strings{kAppendQuestion});
  EXPECT_FALSE(h.Dialog().Run().IsCatalogueOpen());
  EXPECT_EQ(ReadFile(catalogue), "old catalogue\n");
  EXPECT_EQ(std::distance(fs::directory_iterator(dir.Path()), fs::directory_iterator()), 3);

  h.Clear();
  h.answers = {QMessageBox::Yes};
  h.Extract();
  EXPECT_EQ(h.BoxTexts(), (Strings{kAppendQuestion, kRunDone}));
  EXPECT_EQ(ParseCatalogue(ReadFile(catalogue)).size(), 1u);
}

// The run writes the gallery page with the pictures; it is opened after the
// summary, from the folder as the run took it, only when asked.
TEST(DialogRun, GalleryPageOpensAfterTheRunWhenAsked) {
  TempDir dir;
  fs::create_directories(dir / "maps");
  fs::create_directories(dir / "pictures");
  BuildTestMap(dir / "maps" / "one.w3m");
  const fs::path page = dir / "pictures" / "index.html";
  DialogHarness h;
  h.Fill((dir / "maps").string(), false, false, "", false, "");

  h.FillPictures((dir / "pictures").string(), false);
  h.Extract();
  EXPECT_EQ(h.BoxTexts(), Strings{kRunDone});
  EXPECT_TRUE(h.opened.empty());
  EXPECT_NE(ReadFile(page).find("one.w3m"), std::string::npos);

  h.Clear();
  h.FillPictures((dir / "pictures").string() + "  ", true);
  h.Extract();
  EXPECT_EQ(h.BoxTexts(), Strings{kRunDone});
  ASSERT_EQ(h.opened.size(), 1u);
  EXPECT_EQ(h.opened[0].first, QUrl::fromLocalFile(ToQString(page.string())));
  EXPECT_EQ(h.opened[0].second, 1u);  // the summary had been shown
}

}  // namespace korvanel::test
