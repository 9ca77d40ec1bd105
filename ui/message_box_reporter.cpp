#include "ui/message_box_reporter.h"

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

void MessageBoxReporter::Report(std::string_view text, Icon icon) { show_(owner_, ReportRequest(text, icon)); }

Answer MessageBoxReporter::Ask(std::string_view text) {
  switch (show_(owner_, QuestionRequest(text))) {
    case QMessageBox::Yes: return Answer::kYes;
    case QMessageBox::No: return Answer::kNo;
    default: return Answer::kCancel;
  }
}

void MessageBoxReporter::ShowMap(std::string_view name) {
  if (map_) map_(name);
}

}  // namespace korvanel
