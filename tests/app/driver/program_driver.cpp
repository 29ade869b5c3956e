// A user at the real program's controls, for the tests that run the
// program itself: a Qt input plugin the program loads at its start
// (QT_QPA_GENERIC_PLUGINS=noctradriver, QT_PLUGIN_PATH naming the folder
// above "generic"). It opens Connections > Cameras, connects camera #1,
// writes "connected" into the folder NOCTRA_DRIVER_DIR, waits there for
// "go", and presses Disconnect; "waiting" is written from inside that
// press while the camera's call waits for its device. With
// NOCTRA_DRIVER_END=exit it then chooses File > Exit there too. Once the
// program's end has closed the Cameras window it writes "closing".
#include <QAction>
#include <QApplication>
#include <QFile>
#include <QGenericPlugin>
#include <QMainWindow>
#include <QPointer>
#include <QPushButton>
#include <QTimer>

namespace {

QString Dir() { return qEnvironmentVariable("NOCTRA_DRIVER_DIR"); }

void Write(const QString& name, const QByteArray& text) {
  QFile f(Dir() + QLatin1Char('/') + name);
  if (f.open(QIODevice::WriteOnly)) f.write(text);
}

QAction* MenuItem(const QString& text) {
  for (QWidget* w : QApplication::topLevelWidgets())
    if (auto* main = qobject_cast<QMainWindow*>(w); main && main->isVisible())
      for (QAction* a : main->findChildren<QAction*>())
        if (a->text() == text && a->isEnabled()) return a;
  return nullptr;
}

QWidget* Window(const QString& title) {
  for (QWidget* w : QApplication::topLevelWidgets())
    if (w->isVisible() && w->windowTitle() == title) return w;
  return nullptr;
}

// The window's top enabled button of that caption (slot #1's).
QPushButton* Button(QWidget* window, const QString& caption) {
  QPushButton* top = nullptr;
  for (QPushButton* b : window->findChildren<QPushButton*>())
    if (b->text() == caption && (!top || b->y() < top->y())) top = b;
  return top && top->isEnabled() ? top : nullptr;
}

bool Press(QWidget* window, const QString& caption) {
  QPushButton* b = Button(window, caption);
  if (b) b->click();
  return b;
}

// Runs `step` every 100 ms until it returns true.
void Every100Ms(std::function<bool()> step) {
  QTimer::singleShot(100, qApp, [step = std::move(step)]() mutable {
    if (!step()) Every100Ms(std::move(step));
  });
}

void PressDisconnect(QWidget* cameras) {
  // Runs inside the press, while the camera's call waits.
  QTimer::singleShot(0, qApp, [] {
    Write(QStringLiteral("waiting"), "1");
    if (qEnvironmentVariable("NOCTRA_DRIVER_END") == QLatin1String("exit"))
      if (QAction* exit = MenuItem(QStringLiteral("E&xit"))) exit->trigger();
  });
  // The end closes the window (then, or at its heartbeat's first tick).
  Every100Ms([cameras = QPointer<QWidget>(cameras)] {
    if (cameras && cameras->isVisible()) return false;
    Write(QStringLiteral("closing"), "1");
    return true;
  });
  if (!Press(cameras, QStringLiteral("Disconnect"))) Write(QStringLiteral("waiting"), "no Disconnect");
}

void Drive() {
  Every100Ms([] {
    QAction* cameras = MenuItem(QStringLiteral("&Cameras..."));
    if (!cameras) return false;
    // The window is modal: the item returns once it is closed.
    Every100Ms([] {
      QWidget* window = Window(QStringLiteral("ASCOM Cameras"));
      if (!window) return false;
      Press(window, QStringLiteral("Connect"));
      Write(QStringLiteral("connected"), Button(window, QStringLiteral("Disconnect")) ? "ok" : "failed");
      Every100Ms([window = QPointer<QWidget>(window)] {
        if (!QFile::exists(Dir() + QStringLiteral("/go"))) return false;
        if (window) PressDisconnect(window);
        return true;
      });
      return true;
    });
    cameras->trigger();
    return true;
  });
}

}  // namespace

class TProgramDriverPlugin : public QGenericPlugin {
  Q_OBJECT
  Q_PLUGIN_METADATA(IID QGenericPluginFactoryInterface_iid FILE "program_driver.json")

 public:
  QObject* create(const QString& key, const QString&) override {
    if (key.compare(QLatin1String("noctradriver"), Qt::CaseInsensitive) != 0) return nullptr;
    Drive();
    return new QObject;
  }
};

#include "program_driver.moc"
