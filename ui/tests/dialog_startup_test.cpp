// Starting the dialog mode: without a display, without the archive
// library, and the message boxes' captions, icons and buttons.
#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QPushButton>
#include <cerrno>

#include "app/command_line.h"
#include "app/dialog_entry.h"
#include "app/messages.h"
#include "dialog_test_support.h"
#include "ui/dialog_mode.h"
#include "ui/message_box_reporter.h"

namespace korvanel::test {

TEST(DialogStartup, WithoutADisplayTheUsageTextAndStatusTwo) {
  ScopedEnv display("DISPLAY", nullptr);
  ScopedEnv wayland("WAYLAND_DISPLAY", "");
  ScopedEnv platform("QT_QPA_PLATFORM", nullptr);
  const std::string expected = std::string(kUsageText) + kNoDisplayText;
  for (const std::vector<std::string>& arguments : {std::vector<std::string>{}, {" ", "\t"}}) {
    ProcessResult result = RunKorvanel(arguments);
    EXPECT_EQ(result.status, kExitUsage);
    EXPECT_EQ(result.out, expected);
  }
}

// A display is named but cannot be opened: the toolkit's abort becomes the
// same clean exit, and the work file is removed.
TEST(DialogStartup, ADisplayThatCannotBeOpened) {
  TempDir dir;
  ScopedEnv display("DISPLAY", ":97");
  ScopedEnv wayland("WAYLAND_DISPLAY", nullptr);
  ScopedEnv platform("QT_QPA_PLATFORM", nullptr);
  ScopedEnv tmp("TMPDIR", dir.Path().c_str());
  ProcessResult result = RunKorvanel({});
  EXPECT_EQ(result.status, kExitUsage);
  EXPECT_EQ(result.out, std::string(kUsageText) + kNoDisplayText);
  EXPECT_TRUE(fs::is_empty(dir.Path()));
}

TEST(DialogStartup, MissingArchiveLibraryShowsOnlyTheStopBox) {
  TempDir dir;
  ScopedEnv prefix("WINEPREFIX", (dir / "none").c_str());
  ExtractorApp app;
  app.libraryName = "libkvl-absent.so";
  bool seen = false;
  WhenModal([&](QWidget* window) {
    auto* box = qobject_cast<QMessageBox*>(window);
    if (!box) return false;
    seen = true;
    EXPECT_EQ(box->text(), QString::fromLatin1(kLibraryLoadError));
    EXPECT_EQ(box->icon(), QMessageBox::Critical);
    EXPECT_EQ(box->windowTitle(), ApplicationTitle());
    EXPECT_EQ(box->standardButtons(), QMessageBox::Ok);
    box->button(QMessageBox::Ok)->click();
    return true;
  });
  testing::internal::CaptureStderr();
  EXPECT_EQ(RunDialogMode(app, 0, nullptr), kExitErrors);
  // The same line as on the command line, for a dialog started from a terminal.
  EXPECT_NE(testing::internal::GetCapturedStderr().find("korvanel: cannot load libkvl-absent.so (tried "), std::string::npos);
  EXPECT_TRUE(seen);
  EXPECT_FALSE(app.Archive().IsLoaded());
}

TEST(DialogStartup, DialogShownModallyThenTheLibraryReleased) {
  ExtractorApp app;
  bool seen = false;
  WhenModal([&](QWidget* window) {
    auto* dialog = qobject_cast<MainDialog*>(window);
    if (!dialog) return false;
    seen = true;
    EXPECT_TRUE(app.Archive().IsLoaded());
    EXPECT_EQ(dialog->windowTitle(), "Korvanel v1.1");
    dialog->findChild<QPushButton*>(QStringLiteral("quitButton"))->click();
    return true;
  });
  EXPECT_EQ(RunDialogMode(app, 0, nullptr), kExitOk);
  EXPECT_TRUE(seen);
  EXPECT_FALSE(app.Archive().IsLoaded());
}

TEST(MessageBoxReporter, IconsButtonsCaptionAndAnswers) {
  EXPECT_EQ(ApplicationTitle(), "korvanel_ui_tests");
  EXPECT_EQ(ReportRequest("a", Icon::kStop).icon, QMessageBox::Critical);
  EXPECT_EQ(ReportRequest("a", Icon::kExclamation).icon, QMessageBox::Warning);
  EXPECT_EQ(ReportRequest("a", Icon::kInformation).icon, QMessageBox::Information);
  const MessageBoxRequest report = ReportRequest("100% <b>map</b>\n", Icon::kExclamation);
  EXPECT_EQ(report.text, "100% <b>map</b>\n");
  EXPECT_EQ(report.caption, ApplicationTitle());
  EXPECT_EQ(report.buttons, QMessageBox::Ok);
  const MessageBoxRequest question = QuestionRequest("q");
  EXPECT_EQ(question.icon, QMessageBox::Question);
  EXPECT_EQ(question.buttons, QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
  EXPECT_EQ(question.defaultButton, QMessageBox::Yes);
  EXPECT_EQ(question.escapeButton, QMessageBox::Cancel);

  QMessageBox::StandardButton next = QMessageBox::Yes;
  std::vector<std::string> statuses;
  MessageBoxReporter reporter(
      nullptr, [&](QWidget*, const MessageBoxRequest&) { return next; },
      [&](std::string_view status) { statuses.emplace_back(status); });
  EXPECT_EQ(reporter.Ask("q"), Answer::kYes);
  next = QMessageBox::No;
  EXPECT_EQ(reporter.Ask("q"), Answer::kNo);
  next = QMessageBox::Cancel;
  EXPECT_EQ(reporter.Ask("q"), Answer::kCancel);
  reporter.ShowMap("x.w3m");
  EXPECT_EQ(statuses, std::vector<std::string>{"x.w3m"});
}

// Notices about different maps are one kind; other texts are their own.
TEST(MessageBoxReporter, NoticeKinds) {
  EXPECT_EQ(NoticeKind(MinimapExists("/out/a.jpg")), NoticeKind(MinimapExists("/out/b.jpg")));
  EXPECT_EQ(NoticeKind(MapNotOpened("/maps/a.w3m")), NoticeKind(MapNotOpened("/maps/other/b.w3m")));
  EXPECT_EQ(NoticeKind(MinimapInvalidBlp("a")), NoticeKind(MinimapInvalidBlp("b")));
  EXPECT_NE(NoticeKind(MinimapExists("/out/a.jpg")), NoticeKind(MapNotOpened("/out/a.jpg")));
  EXPECT_NE(NoticeKind(MinimapNotDecoded("a")), NoticeKind(MinimapNotWritten("a")));
  EXPECT_EQ(NoticeKind(MinimapNotCreated(EACCES)), MinimapNotCreated(EACCES));
  EXPECT_NE(NoticeKind(MinimapNotCreated(EACCES)), NoticeKind(MinimapNotCreated(ENOSPC)));
}

// The summary's counts below its text, and the offer not to show a notice
// again, in a real box.
TEST(MessageBoxReporter, DetailsAndDoNotShowAgainInARealBox) {
  for (bool tick : {true, false}) {
    MessageBoxRequest request = ReportRequest("text", Icon::kExclamation);
    request.details = QStringLiteral("Maps processed: 3");
    bool ticked = !tick;
    request.doNotShowAgain = &ticked;
    WhenModal([&](QWidget* window) {
      auto* box = qobject_cast<QMessageBox*>(window);
      if (!box) return false;
      EXPECT_EQ(box->text(), "text");
      EXPECT_EQ(box->informativeText(), "Maps processed: 3");
      EXPECT_TRUE(box->checkBox() && box->checkBox()->text() == kDoNotShowAgain);
      if (box->checkBox()) box->checkBox()->setChecked(tick);
      box->button(QMessageBox::Ok)->click();
      return true;
    });
    EXPECT_EQ(ShowMessageBox(nullptr, request), QMessageBox::Ok);
    EXPECT_EQ(ticked, tick);
  }
}

}  // namespace korvanel::test
