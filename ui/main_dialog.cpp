#include "ui/main_dialog.h"

#include <QCheckBox>
#include <QContextMenuEvent>
#include <QCoreApplication>
#include <QDesktopServices>
#include <QFileInfo>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPointer>
#include <QPushButton>
#include <QShortcut>
#include <QToolButton>
#include <QUrl>
#include <algorithm>

#include "app/extractor_app.h"
#include "app/messages.h"
#include "app/paths.h"
#include "archive/install_path.h"
#include "output/gallery_page.h"
#include "platform/file.h"
#include "platform/text.h"
#include "ui/about_dialog.h"
#include "ui/dialog_units.h"
#include "ui/folder_browser.h"
#include "ui/file_pickers.h"
#include "ui/text_conversion.h"
#include "ui/window_icon.h"

namespace korvanel {
namespace {

constexpr char kMapsDirectoryNotSet[] = "Parameter not set:\nMaps directory!\n\nWhere are the maps (.w3m files)?!";
constexpr char kInfoFileNotSet[] =
    "Parameter not set:\nOuput file!\n\nWhere should I write maps info if I have no file to write in?!";
constexpr char kMinimapDirectoryNotSet[] =
    "Parameter not set:\nMinimap output directory!\n\nWhere will I put the minimaps I will extract if I don't have "
    "a directory where I can put them?!";
constexpr char kNothingToDo[] =
    "Nothing to do!\nMaybe you should check at least one of the two checkboxes of the output part...";
constexpr char kReady[] = "Ready!";
constexpr char kDone[] = "Done!";
constexpr char kProcessing[] = "Processing ";
constexpr char kPleaseWait[] = "... Please wait...";
constexpr char kStopQuestion[] = "A run is under way.\nStop it after the map being processed?";
constexpr char kStopping[] = "Stopping after the map being processed...";
constexpr char kStopped[] = "Stopped! ";

// What a run got through, for its summary and the status line of a
// stopped run.
std::string RunCounts(const RunSummary& summary, int noticesNotShown, const char* separator) {
  return "Maps processed: " + std::to_string(summary.mapsProcessed) + separator +
         "Pictures written: " + std::to_string(summary.picturesWritten) + separator +
         "Notices not shown: " + std::to_string(noticesNotShown);
}

// A text of blanks names no folder: normalised it would become the root.
bool IsBlank(std::string_view text) { return !text.empty() && TrimWhiteSpace(text).empty(); }

// Only a changed text is set, so a selection made in an edit survives.
void SetText(QLineEdit* edit, const std::string& text) {
  const QString value = ToQString(text);
  if (edit->text() != value) edit->setText(value);
}

}  // namespace

MainDialog::MainDialog(ExtractorApp& app, QWidget* parent)
    : QDialog(parent),
      reporter_(this, ShowMessageBox, [this](std::string_view name) { OnMap(name); }),
      openUrl_([](const QUrl& url) { QDesktopServices::openUrl(url); }),
      run_(app.Archive(), app.Work(), reporter_) {
  runner_.moveToThread(&runThread_);
  runThread_.start();
  setWindowTitle(QStringLiteral("Korvanel v1.1"));
  setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                 Qt::WindowCloseButtonHint);
  setWindowIcon(WindowIcon());
  BuildControls();
  RefreshControls();
  statusText_ = kReady;
  RefreshControls();
  mapsDirectoryEdit_->setFocus();
}

MainDialog::~MainDialog() {
  runThread_.quit();
  runThread_.wait();
}

void MainDialog::BuildControls() {
  const DialogUnits du(font());
  auto place = [&du](QWidget* widget, const char* name, int x, int y, int width, int height) {
    widget->setObjectName(QString::fromLatin1(name));
    widget->setGeometry(du.Rect(x, y, width, height));
  };
  auto edit = [&](const char* name, int x, int y, int width, int height) {
    auto* e = new QLineEdit(this);
    place(e, name, x, y, width, height);
    return e;
  };
  auto button = [&](const char* text, const char* name, int x, int y, int width, int height) {
    auto* b = new QPushButton(QString::fromLatin1(text), this);
    place(b, name, x, y, width, height);
    return b;
  };
  auto check = [&](const char* text, const char* name, int x, int y, int width, int height) {
    auto* c = new QCheckBox(QString::fromLatin1(text), this);
    place(c, name, x, y, width, height);
    WidenToText(c);
    return c;
  };
  auto label = [&](const char* text, const char* name, int x, int y, int width, int height, QWidget* buddy) {
    auto* l = new QLabel(QString::fromLatin1(text), this);
    place(l, name, x, y, width, height);
    l->setBuddy(buddy);
    WidenToText(l);
  };

  // Created in the order of the tab chain; the group boxes are frames only.
  place(new QGroupBox(QStringLiteral(" Input "), this), "inputGroup", 2, 2, 270, 50);
  mapsDirectoryEdit_ = edit("mapsDirectoryEdit", 8, 22, 242, 14);
  label("Maps &directory:", "mapsDirectoryLabel", 8, 12, 49, 8, mapsDirectoryEdit_);
  browseMapsButton_ = button("...", "browseMapsButton", 250, 22, 15, 14);
  includeSubdirectoriesCheck_ = check("Include subdirectories", "includeSubdirectoriesCheck", 16, 38, 85, 10);
  laterFormatsCheck_ = check("Also read .&w3x maps", "laterFormatsCheck", 120, 38, 85, 10);

  // Below the minimap rows, the catalogue's and the pictures' in the same
  // measures: a label over its field, its check box under it.
  place(new QGroupBox(QStringLiteral(" Output "), this), "outputGroup", 2, 56, 270, 164);
  writeInfoFileCheck_ = check("Output &info file:", "writeInfoFileCheck", 8, 67, 63, 10);
  infoFileEdit_ = edit("infoFileEdit", 8, 79, 242, 14);
  browseInfoFileButton_ = button("...", "browseInfoFileButton", 250, 79, 15, 14);
  writeMinimapsCheck_ = check("Output directory for &minimaps:", "writeMinimapsCheck", 8, 101, 109, 10);
  minimapDirectoryEdit_ = edit("minimapDirectoryEdit", 8, 113, 242, 14);
  browseMinimapButton_ = button("...", "browseMinimapButton", 250, 113, 15, 14);
  catalogueEdit_ = edit("catalogueEdit", 8, 145, 242, 14);
  label("&Catalogue file (JSON Lines):", "catalogueLabel", 8, 135, 100, 8, catalogueEdit_);
  browseCatalogueButton_ = button("...", "browseCatalogueButton", 250, 145, 15, 14);
  updateCatalogueCheck_ = check("&Update the catalogue", "updateCatalogueCheck", 16, 161, 85, 10);
  picturesEdit_ = edit("picturesEdit", 8, 189, 242, 14);
  label("&Pictures and gallery folder:", "picturesLabel", 8, 179, 100, 8, picturesEdit_);
  browsePicturesButton_ = button("...", "browsePicturesButton", 250, 189, 15, 14);
  openGalleryCheck_ = check("Open the &gallery when the run ends", "openGalleryCheck", 16, 205, 130, 10);

  constexpr int kGrown = 88;  // the output group's new rows
  extractButton_ = button("E&xtract Info!", "extractButton", 4, 138 + kGrown, 50, 14);
  extractButton_->setDefault(true);
  quitButton_ = button("&Quit", "quitButton", 220, 138 + kGrown, 50, 14);
  // The About entry in sight; F1 and the context menu open it too.
  aboutButton_ = new QToolButton(this);
  aboutButton_->setText(QStringLiteral("?"));
  aboutButton_->setToolTip(QStringLiteral("About Korvanel (F1)"));
  place(aboutButton_, "aboutButton", 202, 138 + kGrown, 14, 14);
  statusEdit_ = edit("statusEdit", 2, 158 + kGrown, 270, 14);
  statusEdit_->setReadOnly(true);
  // Not in the tab chain, but a click still lets the text be copied.
  statusEdit_->setFocusPolicy(Qt::ClickFocus);

  QWidget* chain[] = {mapsDirectoryEdit_,     browseMapsButton_,     includeSubdirectoriesCheck_,
                      laterFormatsCheck_,     writeInfoFileCheck_,   infoFileEdit_,
                      browseInfoFileButton_,  writeMinimapsCheck_,   minimapDirectoryEdit_,
                      browseMinimapButton_,   catalogueEdit_,        browseCatalogueButton_,
                      updateCatalogueCheck_,  picturesEdit_,         browsePicturesButton_,
                      openGalleryCheck_,      extractButton_,        quitButton_,
                      aboutButton_};
  for (std::size_t i = 1; i < std::size(chain); ++i) setTabOrder(chain[i - 1], chain[i]);

  connect(extractButton_, &QPushButton::clicked, this, &MainDialog::OnExtract);
  connect(quitButton_, &QPushButton::clicked, this, &MainDialog::OnQuit);
  connect(browseMapsButton_, &QPushButton::clicked, this, &MainDialog::OnBrowseMapsDirectory);
  connect(browseInfoFileButton_, &QPushButton::clicked, this, &MainDialog::OnBrowseInfoFile);
  connect(browseMinimapButton_, &QPushButton::clicked, this, &MainDialog::OnBrowseMinimapDirectory);
  connect(browseCatalogueButton_, &QPushButton::clicked, this, &MainDialog::OnBrowseCatalogueFile);
  connect(browsePicturesButton_, &QPushButton::clicked, this, &MainDialog::OnBrowsePicturesDirectory);
  connect(catalogueEdit_, &QLineEdit::textChanged, this, &MainDialog::OnCatalogueTextChanged);
  OnCatalogueTextChanged();
  connect(aboutButton_, &QToolButton::clicked, this, &MainDialog::OnAbout);
  connect(new QShortcut(QKeySequence(Qt::Key_F1), this), &QShortcut::activated, this, &MainDialog::OnAbout);

  setFixedSize(du.Size(274, 175 + kGrown) + QSize(0, MakeRoomUnderGroupTitles()));
}

int MainDialog::MakeRoomUnderGroupTitles() {
  const QList<QWidget*> controls = findChildren<QWidget*>(Qt::FindDirectChildrenOnly);
  QList<QGroupBox*> groups = findChildren<QGroupBox*>(Qt::FindDirectChildrenOnly);
  std::sort(groups.begin(), groups.end(), [](QGroupBox* a, QGroupBox* b) { return a->y() < b->y(); });
  int grown = 0;
  for (QGroupBox* group : groups) {
    // The style sets the group's margins to where its contents may begin.
    const QRect inside = group->geometry().marginsRemoved(group->contentsMargins());
    int firstTop = inside.bottom();
    for (QWidget* control : controls)
      if (control != group && group->geometry().contains(control->geometry())) firstTop = std::min(firstTop, control->y());
    const int by = inside.top() - firstTop;
    if (by <= 0) continue;
    // Everything from the first control down moves; what reaches across
    // that line (this frame) grows.
    for (QWidget* control : controls) {
      QRect place = control->geometry();
      if (place.top() >= firstTop) place.translate(0, by);
      else if (place.bottom() >= firstTop) place.setBottom(place.bottom() + by);
      control->setGeometry(place);
    }
    grown += by;
  }
  return grown;
}

void MainDialog::ReadControls() {
  options.includeSubdirectories = includeSubdirectoriesCheck_->isChecked();
  options.infoFilePath = ToBytes(infoFileEdit_->text());
  mapsDirectoryText = ToBytes(mapsDirectoryEdit_->text());
  minimapDirectoryText = ToBytes(minimapDirectoryEdit_->text());
  statusText_ = ToBytes(statusEdit_->text());
  options.writeInfoFile = writeInfoFileCheck_->isChecked();
  options.writeMinimaps = writeMinimapsCheck_->isChecked();
  options.laterFormats = laterFormatsCheck_->isChecked();
  options.cataloguePath = ToBytes(catalogueEdit_->text());
  options.updateCatalogue = updateCatalogueCheck_->isChecked();
  options.picturesDirectory = ToBytes(picturesEdit_->text());
  openGallery = openGalleryCheck_->isChecked();
}

void MainDialog::RefreshControls() {
  includeSubdirectoriesCheck_->setChecked(options.includeSubdirectories);
  SetText(infoFileEdit_, options.infoFilePath);
  SetText(mapsDirectoryEdit_, mapsDirectoryText);
  SetText(minimapDirectoryEdit_, minimapDirectoryText);
  SetText(statusEdit_, statusText_);
  writeInfoFileCheck_->setChecked(options.writeInfoFile);
  writeMinimapsCheck_->setChecked(options.writeMinimaps);
  laterFormatsCheck_->setChecked(options.laterFormats);
  // The path first: it enables the update box.
  SetText(catalogueEdit_, options.cataloguePath);
  updateCatalogueCheck_->setChecked(options.updateCatalogue);
  SetText(picturesEdit_, options.picturesDirectory);
  openGalleryCheck_->setChecked(openGallery);
  if (running_ && isVisible()) repaint();
}

void MainDialog::OnMap(std::string_view name) {
  statusText_ = kProcessing;
  statusText_ += name;
  RefreshControls();
}

void MainDialog::OnExtract() {
  if (running_) return;
  ReadControls();
  const QPointer<QWidget> focus = focusWidget();
  running_ = true;
  reporter_.StartRun();
  extractButton_->setEnabled(false);
  statusText_ = std::string(kProcessing) + kPleaseWait;
  RefreshControls();

  std::string readyText = kReady;
  QWidget* focused = ExtractChecked(readyText);

  extractButton_->setEnabled(true);
  running_ = false;
  statusText_ = readyText;
  RefreshControls();
  // Disabling the pressed button moved the focus away; give it back.
  if (!focused && focus) focus->setFocus();
}

QWidget* MainDialog::ExtractChecked(std::string& readyText) {
  auto focusOn = [](QWidget* control) {
    control->setFocus();
    return control;
  };
  if (mapsDirectoryText.empty()) {
    Report(kMapsDirectoryNotSet, Icon::kExclamation);
    return focusOn(mapsDirectoryEdit_);
  }
  if (options.writeInfoFile && TrimWhiteSpace(options.infoFilePath).empty()) {
    Report(kInfoFileNotSet, Icon::kExclamation);
    return focusOn(infoFileEdit_);
  }
  if (options.writeMinimaps) {
    if (minimapDirectoryText.empty()) {
      Report(kMinimapDirectoryNotSet, Icon::kExclamation);
      return focusOn(minimapDirectoryEdit_);
    }
  } else if (!options.writeInfoFile && options.cataloguePath.empty() && options.picturesDirectory.empty()) {
    Report(kNothingToDo, Icon::kInformation);
    return focusOn(minimapDirectoryEdit_);
  }
  // The command line's rule, and its words.
  if (const std::string_view problem = UpdateProblem(options); !problem.empty()) {
    reporter_.Explain(problem);
    return focusOn(updateCatalogueCheck_);
  }
  // The folders are checked before the info file is asked about or opened,
  // so a mistyped one leaves every file as it was.
  auto selectAll = [](QLineEdit* edit) {
    edit->setFocus();
    edit->selectAll();
    return edit;
  };
  const std::string source = MapsFolder();
  if (IsBlank(mapsDirectoryText) || !IsExistingDirectory(source)) {
    Report(kInvalidMapsDirectory, Icon::kExclamation);
    return selectAll(mapsDirectoryEdit_);
  }
  options.minimapDirectory = NormaliseDirectory(minimapDirectoryText);
  if (options.writeMinimaps && (IsBlank(minimapDirectoryText) || !IsExistingDirectory(options.minimapDirectory))) {
    Report(kInvalidMinimapDirectory, Icon::kExclamation);
    return selectAll(minimapDirectoryEdit_);
  }
  run_.options = options;
  if (!options.picturesDirectory.empty() && !run_.SettlePicturesFolder()) return selectAll(picturesEdit_);
  // The gallery page goes with the pictures.
  run_.options.gallery = !run_.options.picturesDirectory.empty();
  // The dialog reads a folder, never a map, so no source is compared. The
  // catalogue and the gallery page, which can refuse, come before the info
  // file, which may be emptied when opened.
  if (!options.cataloguePath.empty() && !run_.OpenCatalogue({})) return selectAll(catalogueEdit_);
  if (run_.options.gallery && !run_.OpenGallery()) return selectAll(picturesEdit_);
  // An unticked info file is neither asked about nor touched.
  if (options.writeInfoFile && !run_.OpenInfoFile(options.infoFilePath, {})) {
    run_.AbandonOutputs();
    return nullptr;
  }
  readyText = Walk(source);
  return nullptr;
}

std::string MainDialog::Walk(const std::string& source) {
  walking_ = true;
  QMetaObject::invokeMethod(&runner_, [this, &source] {
    run_.WalkMapDirectory(source);
    QMetaObject::invokeMethod(this, [this] { walking_ = false; });
  });
  // The window's events are handled meanwhile; only the walk's end ends
  // this wait, not even the application being told to quit, for the run
  // thread uses this dialog until then.
  while (walking_) QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);

  // Finished, so the info file closed, before the summary: a write error
  // that shows only at close must not follow a message of success.
  const RunSummary summary = run_.Finish();
  if (summary.stopped) return kStopped + RunCounts(summary, reporter_.NoticesNotShown(), ", ");
  statusText_ = kDone;
  RefreshControls();
  MessageBoxRequest request = ReportRequest(summary.Failed() ? kRunHadErrors : kRunSucceeded, Icon::kInformation);
  request.details = ToQString(RunCounts(summary, reporter_.NoticesNotShown(), "\n"));
  reporter_.Show(request);
  ShowGallery();
  return kReady;
}

// After the summary, so the browser does not come up under its box; a run
// stopped halfway opens nothing, as its user asked it to end.
void MainDialog::ShowGallery() {
  if (!openGallery || !run_.options.gallery) return;
  const QString page = ToQString(run_.options.picturesDirectory + std::string(GalleryPage::kPageName));
  if (QFileInfo(page).isFile()) openUrl_(QUrl::fromLocalFile(page));
}

void MainDialog::OnQuit() {
  ReadControls();
  accept();
}

void MainDialog::done(int result) {
  if (!running_) {
    QDialog::done(result);
  } else if (walking_ && !reporter_.StopAsked() && reporter_.AskToStop(kStopQuestion)) {
    statusText_ = kStopping;
    RefreshControls();
  }
}

void MainDialog::TakePicked(const std::optional<std::string>& picked, std::string& field) {
  if (!picked) return;
  // Read first, so what was typed into the other fields survives.
  ReadControls();
  field = *picked;
  RefreshControls();
}

void MainDialog::BrowseFolder(QLineEdit* edit, std::string& field) {
  FolderBrowser browser(InitialBrowseFolder(ToBytes(edit->text()), GetInstallPath()), this);
  TakePicked(browser.DoModal() == 1 ? std::optional(browser.GetSelectedPath()) : std::nullopt, field);
}

void MainDialog::OnBrowseMapsDirectory() { BrowseFolder(mapsDirectoryEdit_, mapsDirectoryText); }

void MainDialog::OnBrowseMinimapDirectory() { BrowseFolder(minimapDirectoryEdit_, minimapDirectoryText); }

void MainDialog::OnBrowsePicturesDirectory() { BrowseFolder(picturesEdit_, options.picturesDirectory); }

void MainDialog::OnBrowseInfoFile() { TakePicked(PickInfoFile(this), options.infoFilePath); }

void MainDialog::OnBrowseCatalogueFile() { TakePicked(PickCatalogueFile(this), options.cataloguePath); }

void MainDialog::OnCatalogueTextChanged() {
  const bool given = !catalogueEdit_->text().isEmpty();
  updateCatalogueCheck_->setEnabled(given);
  if (!given) updateCatalogueCheck_->setChecked(false);
}

void MainDialog::OnAbout() {
  AboutDialog about(this);
  about.exec();
}

void MainDialog::contextMenuEvent(QContextMenuEvent* event) {
  QMenu menu(this);
  QAction* about = AddAboutEntry(menu);
  if (menu.exec(event->globalPos()) == about) OnAbout();
}

}  // namespace korvanel
