// Driving the real dialog in tests: its controls by name, message boxes
// answered and recorded, the status line as it was painted, and modal
// windows handled from a timer.
#pragma once

#include <QMessageBox>
#include <QString>
#include <QUrl>
#include <deque>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "app/extractor_app.h"
#include "test_support.h"
#include "ui/main_dialog.h"

class QCheckBox;
class QLineEdit;
class QPushButton;

namespace korvanel::test {

// Calls `act` with the active popup or modal window each time the event
// loop runs, until it returns true. After `timeoutMs` the open window is
// closed and the test fails, so a test never hangs on a forgotten box.
void WhenModal(std::function<bool(QWidget*)> act, int timeoutMs = 5000);

// Message boxes of one dialog: each one is recorded and answered with the
// next queued answer (Ok, or Cancel for a question, when none is queued).
struct ShownBox {
  std::string text;
  QMessageBox::Icon icon;
  QString caption;
  QMessageBox::StandardButtons buttons;
  QMessageBox::StandardButton escapeButton;
  std::string statusWhenShown;
  QWidget* focusWhenShown;
  QString details;
  bool offersDoNotShowAgain;
};

// The dialog under test, shown, with the archive library loaded.
class DialogHarness {
 public:
  // With `realBoxes`, messages are real message boxes (drive them with
  // WhenModal); otherwise they are recorded and answered from `answers`.
  // `library` is the archive library's path, the real one when empty.
  explicit DialogHarness(bool realBoxes = false, const std::string& library = {});
  ~DialogHarness();

  MainDialog& Dialog() { return *dialog_; }
  ExtractorApp& App() { return app_; }
  QLineEdit* Edit(const char* name) const;
  QCheckBox* Check(const char* name) const;
  QPushButton* Button(const char* name) const;

  // Fills the fields as a user would.
  void Fill(const std::string& maps, bool subdirectories, bool info, const std::string& infoFile, bool minimaps,
            const std::string& minimapDir);
  // The catalogue's and the pictures' controls and --w3x's, the same way;
  // the update box is ticked after the path is typed, which enables it.
  void FillCatalogue(const std::string& catalogue, bool update, bool laterFormats);
  void FillPictures(const std::string& pictures, bool openGallery);
  // Presses the button; `statuses` then holds this run's.
  void Extract();

  std::deque<QMessageBox::StandardButton> answers;
  // Whether a box offering kDoNotShowAgain gets it ticked.
  bool tickDoNotShowAgain = false;
  // Called while each recorded box is "shown", i.e. in the middle of a run.
  std::function<void()> onBox;
  std::vector<ShownBox> boxes;
  // Each status text painted, in order, repeats dropped.
  std::vector<std::string> statuses;
  // Each page the dialog asked the desktop to open, with how many boxes
  // had been shown by then; no browser is started.
  std::vector<std::pair<QUrl, std::size_t>> opened;

  std::vector<std::string> BoxTexts() const;
  void Clear() { boxes.clear(); }

 private:
  ExtractorApp app_;
  std::unique_ptr<MainDialog> dialog_;
  std::unique_ptr<QObject> statusWatcher_;
};

// A small map with trigger strings and a 32 x 32 preview picture; with
// `brokenPicture` the picture's header is one the minimap export refuses.
void BuildTestMap(const fs::path& path, bool brokenPicture = false);

}  // namespace korvanel::test
