// Noctra Planetarium: creates the windows in their start-up order (the main
// window first, the log window last) and runs the event loop.
#include <QApplication>
#include <QScreen>
#include <QTimer>
#include <string>
#include <vector>

#include "app/core/file_commands.h"
#include "app/forms/flash_form.h"
#include "app/forms/log_form.h"
#include "app/forms/main_form.h"

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  QApplication::setApplicationName(QStringLiteral("Noctra Planetarium"));
  QApplication::setOrganizationName(QStringLiteral("Tarvel Software"));

  MainForm1 = new TMainForm1;
  MainForm1->setAttribute(Qt::WA_DeleteOnClose);
  MainForm1->FormCreate();
  FlashMessageForm1 = new TFlashMessageForm1(MainForm1);
  LogForm = new TLogForm(MainForm1);
  // Without a window manager a maximised window keeps its minimum size, so
  // it first gets the screen's whole work area.
  if (QScreen* screen = QApplication::primaryScreen()) MainForm1->setGeometry(screen->availableGeometry());
  MainForm1->showMaximized();

  // The settings file named on the command line is read once the windows
  // are up, at the time of the first heartbeat tick.
  std::vector<std::string> args;
  const QStringList arguments = QApplication::arguments();
  for (qsizetype i = 1; i < arguments.size(); ++i) args.push_back(arguments[i].toStdString());
  QTimer::singleShot(1000, MainForm1, [args] { OpenCommandLineFile(args); });

  return app.exec();
}
