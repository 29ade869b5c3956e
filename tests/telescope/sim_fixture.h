// Shared set-up of the device tests: simulators registered under test
// identifiers (so the test holds the very object the window connects), a
// host that records the main window's menu calls, a controllable clock, and
// the log.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "astro/observer.h"
#include "platform/automation_sim.h"
#include "platform/timezone.h"
#include "shell/log_lines.h"
#include "telescope/host.h"

namespace telescope_test {

constexpr double kPi = 3.14159265358979323846;
constexpr double kRad = kPi / 180.0;
constexpr double kArcsec = kRad / 3600.0;

// The simulators' clock stands still between AdvanceClock calls, so a
// test's expectations do not depend on how fast the machine runs it.
inline uint32_t g_simNow = 1000000;
inline const bool kSimClockInstalled = (platform::SetSimulatorClockForTest([] { return g_simNow; }), true);

// Moves the program's millisecond clock and the simulators' on by `ms`.
inline void AdvanceClock(uint32_t ms) {
  static uint32_t offset = 0;
  offset += ms;
  g_simNow += ms;
  platform::SetTimeGetTimeOffsetForTest(offset);
}

// Registers `dev` under `id`; every connect gets this same object.
template <class T>
void RegisterAs(const std::string& id, const std::string& type, std::shared_ptr<T> dev) {
  platform::RegisterDriver({id, type, "test device", [dev] { return dev; }});
}

// A host with a fixed observer (Greenwich unless told) and a J2000 chart.
class RecordingHost : public ITelescopeHost {
 public:
  RecordingHost() : obs(std::make_unique<TObserverTime>()) {
    InitObserver(*obs);
    SetObserverUT(*obs, 2461000.5);
  }
  void CopyObserver(TObserverTime& out) override { out = *obs; }
  double ChartEpochJD() override { return epoch; }
  void RealTime() override { realTime = true; }
  void SetTimeAndLocationMenusEnabled(bool e) override { menusEnabled = e; }
  void SetGotoHereEnabled(bool e) override { gotoHere = e; }
  void SetSyncHereEnabled(bool e) override { syncHere = e; }
  void SetAcceptAlignEnabled(bool e) override { acceptAlign = e; }
  void ChartNeedsRedraw() override { ++redraws; }
  bool PlaceChosen() override { return placeChosen; }

  std::unique_ptr<TObserverTime> obs;
  double epoch = 2451545.0;
  bool realTime = false, menusEnabled = true, gotoHere = false, syncHere = false, acceptAlign = false;
  bool placeChosen = true;
  int redraws = 0;
};

// True when the log holds `line`.
inline bool Logged(const std::string& line) {
  const auto lines = LogLines().Lines();
  return std::find(lines.begin(), lines.end(), line) != lines.end();
}

}  // namespace telescope_test
