#include "dialog_test_support.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QElapsedTimer>
#include <QEvent>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include "archive/map_archive.h"
#include "blp_builder.h"
#include "map_builder.h"
#include "ui/text_conversion.h"

namespace korvanel::test {
namespace {

// Keeps the status line's text each time it is painted.
class StatusWatcher : public QObject {
 public:
  StatusWatcher(QLineEdit* edit, std::vector<std::string>& out) : edit_(edit), out_(out) {}
  bool eventFilter(QObject*, QEvent* event) override {
    if (event->type() == QEvent::Paint) {
      std::string text = ToBytes(edit_->text());
      if (out_.empty() || out_.back() != text) out_.push_back(std::move(text));
    }
    return false;
  }

 private:
  QLineEdit* edit_;
  std::vector<std::string>& out_;
};

}  // namespace

void WhenModal(std::function<bool(QWidget*)> act, int timeoutMs) {
  auto* timer = new QTimer(qApp);
  auto clock = std::make_shared<QElapsedTimer>();
  clock->start();
  QObject::connect(timer, &QTimer::timeout, timer, [timer, act = std::move(act), clock, timeoutMs] {
    QWidget* window = QApplication::activePopupWidget();
    if (!window) window = QApplication::activeModalWidget();
    if (window && act(window)) {
      timer->stop();
      timer->deleteLater();
      return;
    }
    if (clock->elapsed() < timeoutMs) return;
    timer->stop();
    timer->deleteLater();
    ADD_FAILURE() << "the expected window did not come, or was not handled";
    if (auto* dialog = qobject_cast<QDialog*>(window)) dialog->reject();
    else if (window) window->close();
  });
  timer->start(5);
}

DialogHarness::DialogHarness(bool realBoxes, const std::string& library) {
  EXPECT_TRUE(library.empty() ? LoadArchiveLibrary(app_.Archive()) : app_.Archive().BindArchiveLibrary(library));
  dialog_ = std::make_unique<MainDialog>(app_);
  if (!realBoxes) dialog_->SetMessageBoxFunction([this](QWidget* owner, const MessageBoxRequest& request) {
    EXPECT_EQ(owner, dialog_.get());
    boxes.push_back({ToBytes(request.text), request.icon, request.caption, request.buttons, request.escapeButton,
                     ToBytes(Edit("statusEdit")->text()), dialog_->focusWidget(), request.details,
                     request.doNotShowAgain != nullptr});
    if (request.doNotShowAgain) *request.doNotShowAgain = tickDoNotShowAgain;
    if (onBox) onBox();
    if (answers.empty()) return request.escapeButton;
    QMessageBox::StandardButton answer = answers.front();
    answers.pop_front();
    return answer;
  });
  dialog_->SetUrlOpener([this](const QUrl& url) { opened.emplace_back(url, boxes.size()); });
  statusWatcher_ = std::make_unique<StatusWatcher>(Edit("statusEdit"), statuses);
  Edit("statusEdit")->installEventFilter(statusWatcher_.get());
  dialog_->show();
  EXPECT_TRUE(QTest::qWaitForWindowExposed(dialog_.get()));
}

DialogHarness::~DialogHarness() {
  Edit("statusEdit")->removeEventFilter(statusWatcher_.get());
  dialog_.reset();
}

QLineEdit* DialogHarness::Edit(const char* name) const {
  auto* edit = dialog_->findChild<QLineEdit*>(QString::fromLatin1(name));
  EXPECT_NE(edit, nullptr) << name;
  return edit;
}

QCheckBox* DialogHarness::Check(const char* name) const {
  auto* check = dialog_->findChild<QCheckBox*>(QString::fromLatin1(name));
  EXPECT_NE(check, nullptr) << name;
  return check;
}

QPushButton* DialogHarness::Button(const char* name) const {
  auto* button = dialog_->findChild<QPushButton*>(QString::fromLatin1(name));
  EXPECT_NE(button, nullptr) << name;
  return button;
}

void DialogHarness::Fill(const std::string& maps, bool subdirectories, bool info, const std::string& infoFile,
                         bool minimaps, const std::string& minimapDir) {
  Edit("mapsDirectoryEdit")->setText(ToQString(maps));
  Check("includeSubdirectoriesCheck")->setChecked(subdirectories);
  Check("writeInfoFileCheck")->setChecked(info);
  Edit("infoFileEdit")->setText(ToQString(infoFile));
  Check("writeMinimapsCheck")->setChecked(minimaps);
  Edit("minimapDirectoryEdit")->setText(ToQString(minimapDir));
}

void DialogHarness::FillCatalogue(const std::string& catalogue, bool update, bool laterFormats) {
  Edit("catalogueEdit")->setText(ToQString(catalogue));
  Check("updateCatalogueCheck")->setChecked(update);
  Check("laterFormatsCheck")->setChecked(laterFormats);
}

void DialogHarness::FillPictures(const std::string& pictures, bool openGallery) {
  Edit("picturesEdit")->setText(ToQString(pictures));
  Check("openGalleryCheck")->setChecked(openGallery);
}

void DialogHarness::Extract() {
  // Paints still pending from before belong to no run.
  QApplication::processEvents();
  statuses.clear();
  Button("extractButton")->click();
  QApplication::processEvents();
}

std::vector<std::string> DialogHarness::BoxTexts() const {
  std::vector<std::string> texts;
  for (const ShownBox& box : boxes) texts.push_back(box.text);
  return texts;
}

void BuildTestMap(const fs::path& path, bool brokenPicture) {
  BlpOverrides overrides;
  if (brokenPicture) overrides.magic = "BLP0";
  // Small, but its JPEG data must still fit the picture's 4 bytes a pixel.
  auto gradient = [](int x, int y) { return Bgra{std::uint8_t(x * 8), std::uint8_t(y * 8), 200, 255}; };
  const std::string picture = MakeBlp(32, 32, gradient, overrides);
  ASSERT_TRUE(BuildMap(path, {{"war3map.wts", "STRING 1\r\n{\r\nHello\r\n}\r\n"}, {"war3mapMap.blp", picture}}));
}

}  // namespace korvanel::test
