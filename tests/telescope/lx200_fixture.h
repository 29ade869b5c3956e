// Shared set-up of the tests that drive the telescope window against the
// fake LX200 mount (tests/support/fake_lx200.h): the window and its logic,
// buttons found by caption, the red fault line, and an event loop run until
// a condition holds.
#pragma once

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <algorithm>
#include <chrono>
#include <string>
#include <thread>

#include "shell/log_lines.h"
#include "telescope/forms/assist_form.h"
#include "telescope/forms/tele_form.h"
#include "tests/support/fake_lx200.h"
#include "tests/telescope/sim_fixture.h"

namespace telescope_test {

inline QPushButton* Button(QWidget* w, const QString& text) {
  for (auto* b : w->findChildren<QPushButton*>())
    if (b->text() == text) return b;
  ADD_FAILURE() << "no button " << text.toStdString();
  return nullptr;
}

// The window's red fault line, when shown.
inline std::string FaultShown(QWidget* w) {
  for (auto* l : w->findChildren<QLabel*>())
    if (l->styleSheet().contains("#c00000") && !l->isHidden()) return l->text().toStdString();
  return {};
}

inline bool Sent(const testing_support::TFakeLx200& fake, const std::string& cmd) {
  const auto c = fake.Commands();
  return std::find(c.begin(), c.end(), cmd) != c.end();
}

inline int CountSent(const testing_support::TFakeLx200& fake, const std::string& cmd) {
  const auto c = fake.Commands();
  return int(std::count(c.begin(), c.end(), cmd));
}

// Runs the event loop until `done` or `ms` pass; the longest time the GUI
// thread spent without coming back to the loop goes to `longest`.
template <class F>
bool RunUntil(F done, int ms, qint64* longest = nullptr) {
  QElapsedTimer clock, step;
  clock.start();
  step.start();
  while (!done()) {
    if (clock.elapsed() > ms) return false;
    QCoreApplication::processEvents();
    if (longest) *longest = std::max(*longest, step.restart());
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
    if (longest) step.restart();
  }
  return true;
}

// The telescope window on its logic, with a recording host.
class TLx200WindowTest {
 protected:
  TLx200WindowTest() { LogLines().Clear(); }
  ~TLx200WindowTest() { tele.Disconnect(); }
  void SetDriver(const std::string& id) { form.findChild<QLineEdit*>()->setText(QString::fromStdString(id)); }
  void ConnectTo(const testing_support::TFakeLx200& fake) {
    SetDriver(fake.Id());
    Button(&form, "Connect")->click();
    AdvanceClock(5000);  // past the poll's rest after the window's creation
  }
  int LossLines() const {
    const auto lines = LogLines().Lines();
    return int(std::count(lines.begin(), lines.end(), "[Ascom.Telescope] Error, connection lost"));
  }
  // The log's lines that begin with `prefix`.
  static std::vector<std::string> LinesStarting(const std::string& prefix) {
    std::vector<std::string> out;
    for (const std::string& l : LogLines().Lines())
      if (l.rfind(prefix, 0) == 0) out.push_back(l);
    return out;
  }
  RecordingHost host;
  TTeleControl tele{&host};
  TAssistForm1 assist{&tele};
  TTeleForm1 form{&tele, &assist};
};

}  // namespace telescope_test
