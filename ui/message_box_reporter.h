// The dialog's side of a run's reporting: each message is a modal box over
// the dialog, and each map's name is handed on at once. A run may report
// from another thread; the boxes are still shown on the dialog's, one at a
// time, in the order reported.
#pragma once

#include <condition_variable>
#include <functional>
#include <map>
#include <mutex>
#include <string>
#include <string_view>

#include "app/reporter.h"
#include "ui/message_box.h"

class QWidget;

namespace korvanel {

// The box a message becomes: its icon, buttons and the application title.
MessageBoxRequest ReportRequest(std::string_view text, Icon icon);
// Yes, No and Cancel; Escape and the close box give Cancel.
MessageBoxRequest QuestionRequest(std::string_view text);

// Which messages count as repeats of one another: the same message about
// another map, or the same text word for word.
std::string NoticeKind(std::string_view text);

class MessageBoxReporter : public Reporter {
 public:
  // Called with each map's name.
  using MapFunction = std::function<void(std::string_view)>;

  MessageBoxReporter(QWidget* owner, MessageBoxFunction show = ShowMessageBox, MapFunction map = {})
      : owner_(owner), show_(std::move(show)), map_(std::move(map)) {}

  // A notice of a kind already shown in this run offers kDoNotShowAgain;
  // once ticked, that kind is counted instead of shown.
  void Report(std::string_view text, Icon icon) override;
  Answer Ask(std::string_view text) override;
  // A refusal is an error box, as the info file's are.
  void Explain(std::string_view line) override { Report(line, Icon::kStop); }
  void ShowMap(std::string_view name) override;
  // Waits while the user is asked whether to stop.
  bool GoOn() override;

  // Shows `request` as it is, on the owner's thread.
  QMessageBox::StandardButton Show(const MessageBoxRequest& request);
  void SetShowFunction(MessageBoxFunction show) { show_ = std::move(show); }

  // A run starts: every kind of notice is shown again, and nothing stops it.
  void StartRun();
  int NoticesNotShown() const { return notShown_; }
  // Asks `question` (Yes or No) on the owner's thread; the run waits before
  // its next map meanwhile, and stops there on Yes. True on Yes.
  bool AskToStop(std::string_view question);
  // A stop is being asked about or was chosen.
  bool StopAsked();

 private:
  enum class RunState { kGoOn, kAsking, kStop };

  // Runs `work` on the owner's thread, waiting for it.
  void OnOwnerThread(const std::function<void()>& work);
  void SetState(RunState state);

  QWidget* owner_;
  MessageBoxFunction show_;
  MapFunction map_;
  // The kinds of notice shown in this run, each with whether the user chose
  // not to see it again; only the owner's thread uses them.
  std::map<std::string, bool> notices_;
  int notShown_ = 0;
  // Shared with the thread the run works on.
  std::mutex mutex_;
  std::condition_variable stateChanged_;
  RunState state_ = RunState::kGoOn;
};

}  // namespace korvanel
