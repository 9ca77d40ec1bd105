#include "ui/dialog_mode.h"

#include <QApplication>
#include <cstdio>
#include <cstdlib>
#include <memory>

#include "app/command_line.h"
#include "app/console_reporter.h"
#include "app/dialog_entry.h"
#include "app/extractor_app.h"
#include "ui/main_dialog.h"
#include "ui/message_box_reporter.h"
#include "ui/window_icon.h"

namespace korvanel {
namespace {

ExtractorApp* g_startingApp = nullptr;
QtMessageHandler g_previousHandler = nullptr;

// Qt ends the process with abort() when it cannot open a display. While the
// application starts, that becomes the usage text and a clean exit instead.
void OnStartupMessage(QtMsgType type, const QMessageLogContext& context, const QString& message) {
  if (type != QtFatalMsg) {
    if (g_previousHandler) {
      g_previousHandler(type, context, message);
    } else {
      std::fputs(qPrintable(qFormatLogMessage(type, context, message) + QLatin1Char('\n')), stderr);
    }
    return;
  }
  ConsoleReporter console;
  console.Write(kUsageText);
  console.Write(kNoDisplayText);
  if (g_startingApp) g_startingApp->Work().Delete();
  std::_Exit(kExitUsage);
}

std::unique_ptr<QApplication> StartApplication(ExtractorApp& app, int& argc, char** argv) {
  g_startingApp = &app;
  g_previousHandler = qInstallMessageHandler(OnStartupMessage);
  auto application = std::make_unique<QApplication>(argc, argv);
  qInstallMessageHandler(g_previousHandler);
  g_startingApp = nullptr;
  QGuiApplication::setDesktopFileName(QStringLiteral("korvanel"));
  QApplication::setWindowIcon(WindowIcon());
  return application;
}

}  // namespace

int RunDialogMode(ExtractorApp& app, int argc, char** argv) {
  std::unique_ptr<QApplication> application;
  if (!QApplication::instance()) application = StartApplication(app, argc, argv);

  MessageBoxReporter startup(nullptr);
  app.ReportWorkFileError(startup);
  const ExtractorApp::LoadedLibrary library = app.LoadLibrary();
  if (!library) {
    startup.Report(kLibraryLoadError, Icon::kStop);
    return kExitErrors;
  }
  {
    MainDialog dialog(app);
    dialog.exec();
  }
  return kExitOk;
}

}  // namespace korvanel
