#include "platform/gui_thread.h"

#include <QCoreApplication>
#include <QThread>

namespace platform {

bool IsGuiThread() {
  QCoreApplication* app = QCoreApplication::instance();
  return !app || QThread::currentThread() == app->thread();
}

void RunOnGuiThread(const std::function<void()>& fn) {
  QCoreApplication* app = QCoreApplication::instance();
  if (!app || QThread::currentThread() == app->thread()) {
    fn();
    return;
  }
  QMetaObject::invokeMethod(app, [&fn] { fn(); }, Qt::BlockingQueuedConnection);
}

void PostToGuiThread(std::function<void()> fn) {
  QCoreApplication* app = QCoreApplication::instance();
  if (!app) {
    fn();
    return;
  }
  QMetaObject::invokeMethod(app, [f = std::move(fn)] { f(); }, Qt::QueuedConnection);
}

void ProcessMessages() {
  if (IsGuiThread() && QCoreApplication::instance()) QCoreApplication::processEvents();
}

}  // namespace platform
