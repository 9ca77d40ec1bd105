#include "ui/message_box_reporter.h"

#include <QThread>
#include <QWidget>

#include "app/messages.h"
#include "ui/text_conversion.h"

namespace korvanel {
namespace {

QMessageBox::Icon BoxIcon(Icon icon) {
  switch (icon) {
    case Icon::kStop: return QMessageBox::Critical;
    case Icon::kExclamation: return QMessageBox::Warning;
    case Icon::kInformation: return QMessageBox::Information;
    case Icon::kQuestion: return QMessageBox::Question;
  }
  return QMessageBox::NoIcon;
}

}  // namespace

MessageBoxRequest ReportRequest(std::string_view text, Icon icon) {
  MessageBoxRequest request;
  request.caption = ApplicationTitle();
  request.text = ToQString(text);
  request.icon = BoxIcon(icon);
  return request;
}

MessageBoxRequest QuestionRequest(std::string_view text) {
  MessageBoxRequest request = ReportRequest(text, Icon::kQuestion);
  request.buttons = QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel;
  request.defaultButton = QMessageBox::Yes;
  request.escapeButton = QMessageBox::Cancel;
  return request;
}

std::string NoticeKind(std::string_view text) {
  // Each message that names a map, built around a mark where the map goes.
  static const std::string kMark = "\x1F";
  static const std::string kPerMap[] = {MapNotOpened(kMark), MinimapExists(kMark), MinimapInvalidBlp(kMark),
                                        MinimapNotDecoded(kMark), MinimapNotWritten(kMark)};
  for (const std::string& kind : kPerMap) {
    const std::size_t mark = kind.find(kMark);
    const std::string_view before = std::string_view(kind).substr(0, mark);
    const std::string_view after = std::string_view(kind).substr(mark + kMark.size());
    if (text.size() >= before.size() + after.size() && text.starts_with(before) && text.ends_with(after)) return kind;
  }
  return std::string(text);
}

void MessageBoxReporter::OnOwnerThread(const std::function<void()>& work) {
  if (!owner_ || owner_->thread() == QThread::currentThread()) {
    work();
  } else {
    QMetaObject::invokeMethod(owner_, work, Qt::BlockingQueuedConnection);
  }
}

QMessageBox::StandardButton MessageBoxReporter::Show(const MessageBoxRequest& request) {
  QMessageBox::StandardButton answer = request.escapeButton;
  OnOwnerThread([&] { answer = show_(owner_, request); });
  return answer;
}

void MessageBoxReporter::Report(std::string_view text, Icon icon) {
  OnOwnerThread([&] {
    const auto [notice, first] = notices_.try_emplace(NoticeKind(text), false);
    bool& silenced = notice->second;
    if (silenced) {
      ++notShown_;
      return;
    }
    MessageBoxRequest request = ReportRequest(text, icon);
    if (!first) request.doNotShowAgain = &silenced;
    show_(owner_, request);
  });
}

Answer MessageBoxReporter::Ask(std::string_view text) {
  switch (Show(QuestionRequest(text))) {
    case QMessageBox::Yes: return Answer::kYes;
    case QMessageBox::No: return Answer::kNo;
    default: return Answer::kCancel;
  }
}

void MessageBoxReporter::ShowMap(std::string_view name) {
  if (map_) OnOwnerThread([&] { map_(name); });
}

void MessageBoxReporter::StartRun() {
  notices_.clear();
  notShown_ = 0;
  SetState(RunState::kGoOn);
}

bool MessageBoxReporter::GoOn() {
  std::unique_lock lock(mutex_);
  stateChanged_.wait(lock, [this] { return state_ != RunState::kAsking; });
  return state_ == RunState::kGoOn;
}

bool MessageBoxReporter::StopAsked() {
  std::lock_guard lock(mutex_);
  return state_ != RunState::kGoOn;
}

void MessageBoxReporter::SetState(RunState state) {
  {
    std::lock_guard lock(mutex_);
    state_ = state;
  }
  stateChanged_.notify_all();
}

bool MessageBoxReporter::AskToStop(std::string_view question) {
  SetState(RunState::kAsking);
  MessageBoxRequest request = ReportRequest(question, Icon::kQuestion);
  request.buttons = QMessageBox::Yes | QMessageBox::No;
  request.defaultButton = QMessageBox::No;
  request.escapeButton = QMessageBox::No;
  const bool stop = Show(request) == QMessageBox::Yes;
  SetState(stop ? RunState::kStop : RunState::kGoOn);
  return stop;
}

}  // namespace korvanel
