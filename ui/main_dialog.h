// The dialog mode's window: the maps folder, the outputs wanted, the
// "E&xtract Info!" button, and a status line. It owns the run context and
// reports the run's messages in message boxes.
#pragma once

#include <QDialog>
#include <string>
#include <string_view>

#include "app/paths.h"
#include "app/run_context.h"
#include "ui/message_box_reporter.h"

class QCheckBox;
class QLineEdit;
class QPushButton;

namespace korvanel {

class ExtractorApp;

class MainDialog : public QDialog {
  Q_OBJECT
 public:
  explicit MainDialog(ExtractorApp& app, QWidget* parent = nullptr);
  ~MainDialog() override;

  // Replaces how message boxes are shown; tests answer them this way.
  void SetMessageBoxFunction(MessageBoxFunction show) { reporter_.SetShowFunction(std::move(show)); }

  // Every field takes its control's state.
  void ReadControls();
  // Every control takes its field's value; during a run the dialog is
  // repainted at once, since no events are handled until the run ends.
  void RefreshControls();

  void OnExtract();
  void OnBrowseMapsDirectory();
  void OnBrowseInfoFile();
  void OnBrowseMinimapDirectory();
  void OnAbout();

  const RunContext& Run() const { return run_; }
  bool IsRunning() const { return running_; }

  // The two directories exactly as typed; the run works on normalised
  // copies.
  std::string mapsDirectoryText;
  std::string minimapDirectoryText;
  // The maps folder the run walks.
  std::string MapsFolder() const { return NormaliseDirectory(mapsDirectoryText); }

 protected:
  void contextMenuEvent(QContextMenuEvent* event) override;
  // A run cannot be ended half-way.
  void done(int result) override;

 private:
  void BuildControls();
  void OnQuit();
  // The status line names the map the run has reached.
  void OnMap(std::string_view name);
  // The checks, the info file and the walk; the caller restores the ready
  // state. Returns the edit to focus, or null to keep the focus.
  QLineEdit* ExtractChecked();
  // Walks the maps folder once the info file is open; closes it.
  QLineEdit* WalkWithInfoFile();
  void Report(std::string_view text, Icon icon) { reporter_.Report(text, icon); }
  void BrowseFolder(QLineEdit* edit, std::string& field);

  MessageBoxReporter reporter_;
  RunContext run_;
  bool running_ = false;
  std::string statusText_;

  QLineEdit* mapsDirectoryEdit_ = nullptr;
  QPushButton* browseMapsButton_ = nullptr;
  QCheckBox* includeSubdirectoriesCheck_ = nullptr;
  QCheckBox* writeInfoFileCheck_ = nullptr;
  QLineEdit* infoFileEdit_ = nullptr;
  QPushButton* browseInfoFileButton_ = nullptr;
  QCheckBox* writeMinimapsCheck_ = nullptr;
  QLineEdit* minimapDirectoryEdit_ = nullptr;
  QPushButton* browseMinimapButton_ = nullptr;
  QPushButton* extractButton_ = nullptr;
  QPushButton* quitButton_ = nullptr;
  QLineEdit* statusEdit_ = nullptr;
};

}  // namespace korvanel
