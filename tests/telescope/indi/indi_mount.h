// The INDI telescope simulator as the sequencer's tests start it: Sirius's
// place, and the mount's control connected, tracking and synced there.
#pragma once

#include <gtest/gtest.h>

#include <cmath>

#include "platform/automation_indi.h"
#include "shell/log_lines.h"
#include "telescope/tele_control.h"
#include "tests/telescope/sequence_run.h"
#include "tests/telescope/sim_fixture.h"

namespace telescope_test {

// Sirius, ICRS/J2000 (SIMBAD). The INDI mount works in coordinates of date;
// the tests pass the same numbers in and read them back, so the epoch does
// not matter here.
constexpr double kSiriusRa = (6 + 45 / 60.0 + 8.91728 / 3600.0) * 15 * kRad;
constexpr double kSiriusDec = -(16 + 42 / 60.0 + 58.0171 / 3600.0) * kRad;
constexpr double kArcmin = kRad / 60.0;

// Connects `tele` to the simulator on `port`, without refraction, tracking
// (it starts with tracking off), synced on Sirius, and ticks `run` until the
// mount reads there. Fails the test (fatally) where any step does not hold.
inline void ConnectIndiMountOnSirius(TTeleControl& tele, int port, TSequenceRun& run) {
  tele.name = platform::IndiDriverId("127.0.0.1", port, "Telescope Simulator");
  tele.ConnectClick();
  ASSERT_TRUE(tele.Connected()) << LogLines().LastLine();
  tele.useRefracted = false;
  tele.TrackButton1Click();
  ASSERT_TRUE(tele.SyncRaDec(kSiriusRa, kSiriusDec));
  run.events = true;
  ASSERT_TRUE(run.TickUntil([&] { return std::fabs(tele.Declination() - kSiriusDec) < 1 * kArcmin; }, 30));
}

}  // namespace telescope_test
