// The dialog's side of a run's reporting: each message is a modal box over
// the dialog, and each map's name is handed on at once.
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
  // Called with each map's name.
  using MapFunction = std::function<void(std::string_view)>;

  MessageBoxReporter(QWidget* owner, MessageBoxFunction show = ShowMessageBox, MapFunction map = {})
      : owner_(owner), show_(std::move(show)), map_(std::move(map)) {}

  void Report(std::string_view text, Icon icon) override;
  Answer Ask(std::string_view text) override;
  void ShowMap(std::string_view name) override;

  void SetShowFunction(MessageBoxFunction show) { show_ = std::move(show); }

 private:
  QWidget* owner_;
  MessageBoxFunction show_;
  MapFunction map_;
};

}  // namespace korvanel
