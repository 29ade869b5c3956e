// Noctra Planetarium: creates the windows in their start-up order (the main
// window first, the log window last) and runs the event loop.
#include <QApplication>
#include <QScreen>
#include <QSessionManager>
#include <string>
#include <vector>

#include "app/forms/main_form.h"
#include "app/forms/unix_signals.h"
#include "platform/gui_thread.h"
#include "platform/qt_dialogs.h"

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  QApplication::setApplicationName(QStringLiteral("Noctra Planetarium"));
  QApplication::setOrganizationName(QStringLiteral("Tarvel Software"));

  // The main window lives until the event loop has ended and is deleted
  // below, after its close: never while a modal loop the close ended is
  // still unwinding.
  TMainForm1* form = new TMainForm1;
  // The settings file named on the command line is read at the first
  // heartbeat tick.
  const QStringList arguments = QApplication::arguments();
  for (qsizetype i = 1; i < arguments.size(); ++i) MainForm1->CommandLine.push_back(arguments[i].toStdString());
  // Every way out takes the main window's one close path: File > Exit and
  // the close button (its close event); SIGTERM, SIGINT, SIGHUP (the
  // terminal closed) and SIGQUIT; the end of the desktop session and any
  // other end of the event loop. All but the first ask nothing (nobody may
  // be there to answer). An accepted close has written the settings and
  // ends the loop. The signals are taken before the start-up's first
  // message box (a damaged settings file, say): one that comes while the
  // start-up runs closes the box, and the program ends once the start-up
  // is over.
  form->OnClosed = [] { QCoreApplication::quit(); };
  CloseOnTerminationSignals([form] { form->EndProgramUnattended(); });
  // The main window's creation, then every other window; the heartbeat's
  // first tick comes once the last is made.
  platform::InstallQtDialogs();
  form->StartProgram();
  if (form->EndRequested()) {
    form->FinishClose();
    CloseOnTerminationSignals(nullptr);
    delete form;
    return 0;
  }
  QObject::connect(&app, &QGuiApplication::commitDataRequest, form, [form](QSessionManager&) {
    form->FinishClose();
  });
  QObject::connect(&app, &QCoreApplication::aboutToQuit, form, [form] { form->FinishClose(); });
  // Without a window manager a maximised window keeps its minimum size, so
  // it first gets the screen's whole work area.
  if (QScreen* screen = QApplication::primaryScreen()) MainForm1->setGeometry(screen->availableGeometry());
  MainForm1->showMaximized();
  const int code = platform::ExecMainEventLoop();
  CloseOnTerminationSignals(nullptr);
  form->FinishClose();
  delete form;
  return code;
}
