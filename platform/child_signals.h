// A form's handlers for its own fields must not outlive the form's own part.
// Qt cuts a form's connections only in ~QObject, after ~QWidget has hidden
// the window; hiding it moves the focus, and a field losing it still signals
// (a line edit's editingFinished, a spin box's valueChanged for a typed
// value) into handlers whose form is by then only a QWidget.
#pragma once

#include <QObject>

namespace platform {

// Held as a form's last member: its destruction (after the form's
// destructor, before the form's widget part goes) cuts every connection
// from the form's children, at any depth, to the form.
class TChildSignalCut {
 public:
  explicit TChildSignalCut(QObject* form) : form_(form) {}
  TChildSignalCut(const TChildSignalCut&) = delete;
  TChildSignalCut& operator=(const TChildSignalCut&) = delete;
  ~TChildSignalCut() { CutChildSignals(form_); }

  static void CutChildSignals(QObject* form);

 private:
  QObject* form_;
};

}  // namespace platform
