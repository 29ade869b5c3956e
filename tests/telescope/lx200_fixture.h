// Shared set-up of the tests of the telescope window against the fake LX200
// mount: the window on its logic with a recording host, and helpers that
// click its buttons, read its coloured lines, run the event loop and fill
// the fake's PEC table.
#pragma once

#include <gtest/gtest.h>

#include <QCheckBox>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <algorithm>
#include <chrono>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>

#include "telescope/forms/assist_form.h"
#include "telescope/forms/tele_form.h"
#include "tests/support/fake_lx200.h"
#include "tests/telescope/sim_fixture.h"

namespace telescope_test {

using testing_support::TFakeLx200;

inline constexpr double kHour = kPi / 12.0;

inline QPushButton* Button(QWidget* w, const QString& text) {
  for (auto* b : w->findChildren<QPushButton*>())
    if (b->text() == text) return b;
  ADD_FAILURE() << "no button " << text.toStdString();
  return nullptr;
}

// The window's line in colour `colour` (red: a fault, amber: a warning),
// when shown.
inline std::string LineShown(QWidget* w, const char* colour) {
  for (auto* l : w->findChildren<QLabel*>())
    if (l->styleSheet().contains(colour) && !l->isHidden()) return l->text().toStdString();
  return {};
}
inline std::string FaultShown(QWidget* w) { return LineShown(w, "#c00000"); }
inline std::string NoticeShown(QWidget* w) { return LineShown(w, "#9a5b00"); }

inline bool Sent(const TFakeLx200& fake, const std::string& cmd) { return fake.Count(cmd) > 0; }

// Runs the event loop until `done` or `ms` pass.
template <class F>
bool RunUntil(F done, int ms) {
  QElapsedTimer clock;
  clock.start();
  while (!done()) {
    if (clock.elapsed() > ms) return false;
    QCoreApplication::processEvents();
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
  return true;
}

inline std::string ReadAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

// PEC entry i of a fake mount set by SetWorm (signed, uneven).
inline int PecEntry(int i, int offset = 0) { return (i * 7) % 61 - 30 + offset; }

// An OnStep mount with a worm turn of `entries` PEC entries (quick connects).
inline void SetWorm(TFakeLx200& fake, int entries, int offset = 0) {
  fake.Change([=](TFakeLx200::State& s) {
    s.wormSteps = s.stepsPerSecond * entries;
    for (int i = 0; i < entries; ++i) s.pec[size_t(i)] = PecEntry(i, offset);
  });
}

// The telescope window on its logic, with a recording host.
class TLx200WindowTest {
 protected:
  TLx200WindowTest() { LogLines().Clear(); }
  ~TLx200WindowTest() { tele.Disconnect(); }
  void SetDriver(const std::string& id) { form.findChild<QLineEdit*>()->setText(QString::fromStdString(id)); }
  void ConnectTo(const TFakeLx200& fake) {
    SetDriver(fake.Id());
    Button(&form, "Connect")->click();
    AdvanceClock(5000);  // past the poll's rest after the window's creation
  }
  // `n` polls, as the window's timer runs them.
  void Poll(int n = 1) {
    for (int i = 0; i < n; ++i) AdvanceClock(1000), tele.Timer1Timer();
  }
  // The log's lines that begin with `prefix`.
  static int LinesStarting(const std::string& prefix) {
    const auto lines = LogLines().Lines();
    return int(std::count_if(lines.begin(), lines.end(), [&](const std::string& l) { return l.rfind(prefix, 0) == 0; }));
  }
  int LossLines() const { return LinesStarting("[Ascom.Telescope] Error, connection lost"); }
  void Tick(const char* box) {
    for (auto* b : form.findChildren<QCheckBox*>())
      if (b->text() == box) b->setChecked(true);
  }
  RecordingHost host;
  TTeleControl tele{&host};
  TAssistForm1 assist{&tele};
  TTeleForm1 form{&tele, &assist};
};


}  // namespace telescope_test
