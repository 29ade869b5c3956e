#include "catalog/run_later.h"

#include <QCoreApplication>
#include <QTimer>

bool RunLater(int ms, std::function<void()> work) {
  QCoreApplication* app = QCoreApplication::instance();
  if (!app) return false;
  // The application is the timer's context: it never runs after the
  // application has gone.
  QTimer::singleShot(ms, app, std::move(work));
  return true;
}
