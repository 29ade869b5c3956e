// The single instance of a window kept in a global: made when first needed
// (the program makes its windows at start), owned by `owner` (none: kept
// until the process ends), and the global emptied when the window goes.
#pragma once

#include <QObject>
#include <QWidget>

namespace platform {

template <class F>
F* SingleWindow(F*& global, QWidget* owner) {
  if (!global) {
    global = new F(owner);
    QObject::connect(global, &QObject::destroyed, [&global] { global = nullptr; });
  }
  return global;
}

}  // namespace platform
