// The dialog mode's window: the maps folder, the outputs wanted, the
// "E&xtract Info!" button, and a status line. It owns the run context and
// reports the run's messages in message boxes. The walk works on a thread
// of its own, so the window keeps answering while a map is read (one that
// hangs the archive library may take minutes), and can be asked to stop it.
#pragma once

#include <QDialog>
#include <QThread>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "app/paths.h"
#include "app/run_context.h"
#include "ui/message_box_reporter.h"

class QCheckBox;
class QLineEdit;
class QPushButton;
class QToolButton;
class QUrl;

namespace korvanel {

class ExtractorApp;

class MainDialog : public QDialog {
  Q_OBJECT
 public:
  explicit MainDialog(ExtractorApp& app, QWidget* parent = nullptr);
  ~MainDialog() override;

  // Replaces how message boxes are shown; tests answer them this way.
  void SetMessageBoxFunction(MessageBoxFunction show) { reporter_.SetShowFunction(std::move(show)); }
  // Replaces how the gallery is opened (the desktop's browser); tests
  // record the page asked for.
  using UrlOpener = std::function<void(const QUrl&)>;
  void SetUrlOpener(UrlOpener open) { openUrl_ = std::move(open); }

  // Every field takes its control's state.
  void ReadControls();
  // Every control takes its field's value; during a run the dialog is
  // repainted at once, so each map's name is seen however fast they pass.
  void RefreshControls();

  void OnExtract();
  void OnBrowseMapsDirectory();
  void OnBrowseInfoFile();
  void OnBrowseMinimapDirectory();
  void OnBrowseCatalogueFile();
  void OnBrowsePicturesDirectory();
  void OnAbout();

  const RunContext& Run() const { return run_; }
  bool IsRunning() const { return running_; }

  // The fields; a run works on a copy, so they may change during one. The
  // catalogue's path and the pictures folder are as typed.
  RunOptions options;
  // The gallery is opened in the desktop's browser when a run ends.
  bool openGallery = false;
  // The two directories exactly as typed; the run works on normalised
  // copies.
  std::string mapsDirectoryText;
  std::string minimapDirectoryText;
  // The maps folder the run walks.
  std::string MapsFolder() const { return NormaliseDirectory(mapsDirectoryText); }

 protected:
  void contextMenuEvent(QContextMenuEvent* event) override;
  // During the walk, ending the dialog asks whether to stop the run
  // instead; at other times of a run it is ignored.
  void done(int result) override;

 private:
  void BuildControls();
  // Moves each group's controls below the space its title and frame take
  // in the desktop's style; returns how much the window grew.
  int MakeRoomUnderGroupTitles();
  void OnQuit();
  // The status line names the map the run has reached.
  void OnMap(std::string_view name);
  // The checks, the catalogue, the info file and the walk; the caller
  // restores the ready state, showing `readyText`. Returns the control to
  // focus, or null to keep the focus.
  QWidget* ExtractChecked(std::string& readyText);
  // Walks the maps folder, closes the info file and sums up; returns the
  // status text for the ready state.
  std::string Walk(const std::string& source);
  // The run's gallery page, when it was asked for and is there.
  void ShowGallery();
  void Report(std::string_view text, Icon icon) { reporter_.Report(text, icon); }
  void BrowseFolder(QLineEdit* edit, std::string& field);
  // A picker's choice, if any, into `field`; what was typed into the other
  // fields survives.
  void TakePicked(const std::optional<std::string>& picked, std::string& field);
  // An update needs a catalogue to update: its box is enabled only with
  // one named, and cleared without.
  void OnCatalogueTextChanged();

  MessageBoxReporter reporter_;
  UrlOpener openUrl_;
  RunContext run_;
  // Walks run here, all of them: the archive's worker process is ended
  // when the thread that started it ends.
  QThread runThread_;
  QObject runner_;  // in runThread_
  bool running_ = false;
  bool walking_ = false;
  std::string statusText_;

  QLineEdit* mapsDirectoryEdit_ = nullptr;
  QPushButton* browseMapsButton_ = nullptr;
  QCheckBox* includeSubdirectoriesCheck_ = nullptr;
  QCheckBox* laterFormatsCheck_ = nullptr;
  QCheckBox* writeInfoFileCheck_ = nullptr;
  QLineEdit* infoFileEdit_ = nullptr;
  QPushButton* browseInfoFileButton_ = nullptr;
  QCheckBox* writeMinimapsCheck_ = nullptr;
  QLineEdit* minimapDirectoryEdit_ = nullptr;
  QPushButton* browseMinimapButton_ = nullptr;
  QLineEdit* catalogueEdit_ = nullptr;
  QPushButton* browseCatalogueButton_ = nullptr;
  QCheckBox* updateCatalogueCheck_ = nullptr;
  QLineEdit* picturesEdit_ = nullptr;
  QPushButton* browsePicturesButton_ = nullptr;
  QCheckBox* openGalleryCheck_ = nullptr;
  QPushButton* extractButton_ = nullptr;
  QPushButton* quitButton_ = nullptr;
  QToolButton* aboutButton_ = nullptr;
  QLineEdit* statusEdit_ = nullptr;
};

}  // namespace korvanel
