#include "app/core/sim_clock.h"

#include <gtest/gtest.h>

#include <cmath>
#include <memory>

#include "astro/observer.h"
#include "astro/timescales.h"
#include "astro/trig.h"

namespace {

constexpr double kSecond = 1.0 / 86400.0;

std::unique_ptr<TObserverTime> Observer(double eastLongitudeDeg, double latitudeDeg, const char* posixZone) {
  auto rec = std::make_unique<TObserverTime>();
  InitObserver(*rec);
  TIME_ZONE_INFORMATION tzi{};
  InitTimeZoneInfo(tzi);
  if (posixZone) platform::TimeZoneFromPosix(posixZone, tzi);
  SetObserverTimeZone(*rec, tzi, 0);
  SetObserverLocation(*rec, -eastLongitudeDeg / DegPerRad, latitudeDeg / DegPerRad, 0);
  return rec;
}

}  // namespace

TEST(SimulatedClock, RatesAdvanceAndReverseUniversalTime) {
  // Real-time rate table: 1, 10, 60, 1,800 and 21,600 simulated seconds per second.
  const double speedUp[5] = {1, 10, 60, 1800, 21600};
  for (uint8_t rate = 0; rate < 5; ++rate) {
    for (uint8_t flow : {kTimeForward, kTimeBackward, kTimeStopped}) {
      auto rec = Observer(0, 0, nullptr);
      SetObserverUT(*rec, 2460000.5);
      TSimClock clk;
      clk.LastTickTime = 5000;
      clk.LastSyncTime = 5000;
      AdvanceSimulatedClock(*rec, clk, flow, rate, 5100, 0.0);
      const double sign = flow == kTimeForward ? 1 : flow == kTimeBackward ? -1 : 0;
      // 100 ms at the rate's speed-up; a Julian date near 2.46e6 resolves 40 µs.
      EXPECT_NEAR((rec->JD_UT - 2460000.5) * 86400.0, sign * 0.1 * speedUp[rate], 1e-4)
          << int(rate) << " " << int(flow);
      EXPECT_FALSE(clk.RealTimeFlag);
    }
  }
}

TEST(SimulatedClock, TenSecondResyncOnlyWhenCloseToTheSystemClock) {
  struct Case {
    double behindSeconds;
    uint32_t sinceSync;
    bool snaps;
  } cases[] = {{5, 10001, true}, {5, 9999, false}, {20, 10001, false}, {9.9, 20000, true}};
  for (const Case& c : cases) {
    auto rec = Observer(0, 0, nullptr);
    const double system = 2460000.5;
    SetObserverUT(*rec, system - c.behindSeconds * kSecond);
    TSimClock clk;
    clk.LastTickTime = 100000;
    clk.LastSyncTime = 100000 + 100 - c.sinceSync;
    AdvanceSimulatedClock(*rec, clk, kTimeForward, 0, 100100, system);
    EXPECT_EQ(clk.RealTimeFlag, c.snaps) << c.behindSeconds;
    if (c.snaps) {
      EXPECT_NEAR(rec->JD_UT, system, 1e-3 * kSecond);
      EXPECT_EQ(clk.LastSyncTime, 100100u);
    } else {
      EXPECT_NEAR((system - rec->JD_UT) / kSecond, c.behindSeconds - 0.1, 1e-3);
    }
  }
  // Faster rates never re-synchronise.
  auto rec = Observer(0, 0, nullptr);
  SetObserverUT(*rec, 2460000.5 - 5 * kSecond);
  TSimClock clk{100000, 50000, false};
  AdvanceSimulatedClock(*rec, clk, kTimeForward, 1, 100100, 2460000.5);
  EXPECT_FALSE(clk.RealTimeFlag);
}

TEST(SimulatedClock, CounterWrapGivesTheTrueInterval) {
  auto rec = Observer(0, 0, nullptr);
  SetObserverUT(*rec, 2460000.5);
  TSimClock clk;
  clk.LastTickTime = 0xFFFFFFC0u;  // 64 ms before the wrap
  clk.LastSyncTime = clk.LastTickTime;
  AdvanceSimulatedClock(*rec, clk, kTimeForward, 3, 36, 0.0);  // 100 ms later
  // 100 ms at rate 3 is 100/48,000 day (180 s).
  EXPECT_NEAR((rec->JD_UT - 2460000.5) * 86400.0, 180.0, 1e-4);
}

TEST(TimePresets, MidnightIsTheNextLocalMidnight) {
  // 2024-03-20 12:00 UT at a place on UTC-5 (no daylight saving): the next
  // local midnight is 2024-03-21 00:00 local = 05:00 UT.
  auto rec = Observer(-75, 40, "EST5");
  const double now = JulianDay(2024, 3, 20, 12.0);
  SetTimeMidnight(*rec, now);
  EXPECT_NEAR(rec->JD_UT, JulianDay(2024, 3, 21, 5.0), 1e-3 * kSecond);
  // At 03:00 UT it is still the 19th locally: midnight is that of the 20th.
  SetTimeMidnight(*rec, JulianDay(2024, 3, 20, 3.0));
  EXPECT_NEAR(rec->JD_UT, JulianDay(2024, 3, 20, 5.0), 1e-3 * kSecond);
}

TEST(TimePresets, EarlyTonightAndTomorrowAgainstAstropySun) {
  // Sunrise and sunset times: astropy 5 get_sun, geometric altitude -0.5667°
  // (no refraction, UT1 = UTC), solved by bisection to 1 s; hours of UT on
  // the given dates.
  struct Case {
    const char* place;
    double eastLon, lat;
    const char* zone;
    double nowHoursUT;  // on 2024-03-20
    int setDay;
    double setHoursUT;
    int riseDay;
    double riseHoursUT;
  } cases[] = {
      {"London", -0.1278, 51.5074, nullptr, 12.0, 20, 18.21034, 21, 6.02899},
      {"Sydney", 151.2093, -33.8688, "AEST-10", 3.0, 20, 8.08363, 20, 20.00668},
  };
  for (const Case& c : cases) {
    auto rec = Observer(c.eastLon, c.lat, c.zone);
    const double now = JulianDay(2024, 3, 20, c.nowHoursUT);
    ASSERT_EQ(SetTimeEarlyTonight(*rec, now), TPresetResult::Done) << c.place;
    // The core's single-pass rise and set: within 2 minutes of the solved times.
    EXPECT_NEAR((rec->JD_UT - JulianDay(2024, 3, c.setDay, c.setHoursUT + 2.0)) * 1440.0, 0.0, 2.0) << c.place;
    ASSERT_EQ(SetTimeEarlyTomorrow(*rec, now), TPresetResult::Done) << c.place;
    EXPECT_NEAR((rec->JD_UT - JulianDay(2024, 3, c.riseDay, c.riseHoursUT - 2.0)) * 1440.0, 0.0, 2.0) << c.place;
  }
}

TEST(TimePresets, PolarDayAndNightLeaveTheTime) {
  // Tromsø, 69.65° N: midnight Sun in June, polar night in December.
  auto rec = Observer(18.96, 69.65, nullptr);
  SetObserverUT(*rec, 2460000.25);
  EXPECT_EQ(SetTimeEarlyTonight(*rec, JulianDay(2024, 6, 21, 12.0)), TPresetResult::NoSunset);
  EXPECT_EQ(rec->JD_UT, 2460000.25);
  EXPECT_EQ(SetTimeEarlyTomorrow(*rec, JulianDay(2024, 12, 20, 12.0)), TPresetResult::NoSunrise);
  EXPECT_EQ(rec->JD_UT, 2460000.25);
  EXPECT_FALSE(PresetResultText(TPresetResult::NoSunset).empty());
  EXPECT_EQ(ApplyStartupTime(*rec, 2, 0, JulianDay(2024, 6, 21, 12.0)), TPresetResult::NoSunset);
  EXPECT_EQ(rec->JD_UT, 2460000.25);
}
