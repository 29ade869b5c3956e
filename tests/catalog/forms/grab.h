// Saves a window's picture to $NOCTRA_GRAB_DIR/<name>.png when that
// variable is set, so the windows can be looked at after a test run.
#pragma once

#include <QString>
#include <QWidget>
#include <cstdlib>

inline void GrabWindow(QWidget& w, const char* name) {
  const char* dir = std::getenv("NOCTRA_GRAB_DIR");
  if (!dir) return;
  w.grab().save(QString(dir) + "/" + name + ".png");
}
