// The single instance of a window kept in a global: made when first needed
// (the program makes its windows at start), owned by `owner` (none: kept
// until the process ends), and the global emptied when the window goes.
#pragma once

#include <QObject>
#include <QWidget>
#include <memory>

namespace platform {

template <class F>
F* SingleWindow(F*& global, QWidget* owner) {
  if (!global) {
    global = new F(owner);
    QObject::connect(global, &QObject::destroyed, [&global] { global = nullptr; });
  }
  return global;
}

// The program's instance of a window when it has one, else one of the
// caller's own, kept in `own` and owned by `owner` (a window used without
// the program's windows, as in a test).
template <class F>
F& ProgramWindowOr(F* global, std::unique_ptr<F>& own, QWidget* owner) {
  if (global) return *global;
  own = std::make_unique<F>(owner);
  return *own;
}

}  // namespace platform
