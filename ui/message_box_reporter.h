// The dialog's side of a run's reporting: each message is a modal box over
// the dialog, and each status change is shown at once.
#pragma once

#include <functional>
#include <string_view>

#include "app/reporter.h"
#include "ui/message_box.h"

class QWidget;

namespace korvanel {

// The box a message becomes: its icon, buttons and the application title.
MessageBoxRequest ReportRequest(std::string_view text, Icon icon);
// Yes, No and Cancel; Escape and the close box give Cancel.
MessageBoxRequest QuestionRequest(std::string_view text);

class MessageBoxReporter : public Reporter {
 public:
  using StatusFunction = std::function<void(std::string_view)>;

  MessageBoxReporter(QWidget* owner, MessageBoxFunction show = ShowMessageBox, StatusFunction status = {})
      : owner_(owner), show_(std::move(show)), status_(std::move(status)) {}

  void Report(std::string_view text, Icon icon) override;
  Answer Ask(std::string_view text) override;
  void ShowStatus(std::string_view status) override;

  void SetShowFunction(MessageBoxFunction show) { show_ = std::move(show); }

 private:
  QWidget* owner_;
  MessageBoxFunction show_;
  StatusFunction status_;
};

}  // namespace korvanel
