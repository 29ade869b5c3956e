// The sequencer on a mount's control with a table of points and the
// recording imaging console, ticked as the program's timers tick them:
// shared by the sequencer's tests against the simulator, the fake LX200
// mount and a real INDI driver.
#pragma once

#include <QCoreApplication>
#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "telescope/sequencer.h"
#include "telescope/tele_control.h"
#include "tests/telescope/sim_fixture.h"

namespace telescope_test {

class TPointList : public IPointSource {
 public:
  std::vector<TSequencePoint> points;
  bool solving = false;
  int PointCount() override { return int(points.size()); }
  TSequencePoint Point(int i) override { return points.at(size_t(i - 1)); }
  bool PlateSolveRunning() override { return solving; }
};

// The sequencer and its sources over `tele`.
class TSequenceRun {
 public:
  TSequenceRun(TTeleControl& tele, ITelescopeHost& host) : tele(tele), seq(&points, &tele, &imaging, &host) {}
  // One tick of the sequencer `ms` on: the events due are handled (where
  // `events` is set: a lost link is handled there), the mount's poll runs,
  // the goto's settle timer fires 5 s after it began, then the sequencer's
  // own timer fires when it is running.
  void Tick(uint32_t ms = 1000) {
    AdvanceClock(ms);
    if (events) QCoreApplication::processEvents();
    tele.Timer1Timer();
    if (tele.GotoTimerEnabled() && !settling_) {
      settling_ = true;
      settleStart_ = platform::TimeGetTime();
    }
    if (!tele.GotoTimerEnabled()) settling_ = false;
    if (settling_ && platform::TimeGetTime() - settleStart_ >= 5000) {
      tele.GotoTimerTimer();
      settling_ = false;
    }
    if (seq.TimerActive()) seq.Timer1Timer();
  }
  void RunToEnd(int maxTicks = 400) {
    for (int i = 0; i < maxTicks && seq.Running(); ++i) Tick();
  }
  // Ticks until the mount's goto is under way (false when it never was).
  bool RunToGoto(int maxTicks = 20) {
    for (int i = 0; i < maxTicks && !tele.GotoInProgress(); ++i) Tick();
    return tele.GotoInProgress();
  }
  // Ticks, a few milliseconds apart in real time (for a mount that moves
  // by its own clock), until `done` holds; false when `seconds` passed.
  template <class F>
  bool TickUntil(F done, double seconds) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(int64_t(seconds * 1000));
    while (!done()) {
      if (std::chrono::steady_clock::now() > end) return false;
      Tick();
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return true;
  }

  TTeleControl& tele;
  TPointList points;
  TRecordingImaging imaging;
  TSequencer seq;
  bool events = false;

 private:
  bool settling_ = false;
  uint32_t settleStart_ = 0;
};

}  // namespace telescope_test
