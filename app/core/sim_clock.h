// The simulated clock the heartbeat advances, and the time presets of the
// clock pop-up and the Observer menu (Now, Real Time, Early Tonight,
// Midnight, Early Tomorrow).
//
// Everything here works on an observer record and takes the millisecond
// counter and the system clock as arguments, so the heartbeat's clock runs
// in tests without a window or a real clock.
#pragma once

#include <cstdint>
#include <string>

struct TObserverTime;

// Direction of the simulated clock (TimeFlow).
enum : uint8_t { kTimeForward = 0, kTimeStopped = 1, kTimeBackward = 2 };

// Milliseconds of real time per simulated day for TimeRate 0..4: real time,
// 10, 60, 1,800 and 21,600 times faster.
inline constexpr uint32_t kTimeRateMsPerDay[5] = {86400000u, 8640000u, 1440000u, 48000u, 4000u};

// At real-time rate the clock is compared with the system clock every
// 10,000 ms and snaps to it when they lie less than 10 s apart.
inline constexpr uint32_t kResyncIntervalMs = 10000;
inline constexpr double kResyncToleranceDays = 1.0 / 8640.0;

// The system clock's Julian date is the chart's CurrentJulianDay
// (chart/clock.h); the heartbeat takes it through TMainForm1::SystemClock.

// What the heartbeat keeps between ticks.
struct TSimClock {
  uint32_t LastTickTime = 0;  // counter at the previous tick; 0 = unset
  uint32_t LastSyncTime = 0;  // counter at the last re-synchronisation; 0 = unset
  bool RealTimeFlag = false;  // this tick found the clock in step with the system clock
};

// One heartbeat step of the simulated clock at counter value `now` (ms, a
// 32-bit counter that wraps): the elapsed time since the last tick is an
// unsigned difference, so a wrap between two ticks still gives the true
// interval. Forward adds elapsed / ms-per-day of the rate to UT, backward
// subtracts it, stopped leaves it. Forward at rate 0 re-synchronises with
// `systemJD` once more than 10,000 ms have passed since the last sync, when
// the two differ by less than 10 s (RealTimeFlag set); a larger difference
// (the user chose another time) leaves the clock free. RealTimeFlag is
// cleared otherwise. LastTickTime is not updated: the heartbeat sets it at
// the end of its tick.
void AdvanceSimulatedClock(TObserverTime& rec, TSimClock& clk, uint8_t flow, uint8_t rate, uint32_t now,
                           double systemJD);

// Outcome of a time preset.
enum class TPresetResult {
  Done,
  NoSunset,   // Early Tonight: the Sun does not set that day (polar day or night)
  NoSunrise,  // Early Tomorrow: the Sun does not rise that day
};

// Status-bar text of a preset that could not be applied ("" for Done).
std::string PresetResultText(TPresetResult r);

// Now: UT := the system clock.
void SetTimeNow(TObserverTime& rec, double systemJD);

// Midnight: the system clock's instant, then 0 h local clock time of the
// following local day.
void SetTimeMidnight(TObserverTime& rec, double systemJD);

// Early Tonight: two hours after the Sun sets on the current local day (the
// day of the system clock's instant at the observer's clock time).
// Early Tomorrow: two hours before the Sun rises on the following local day.
// The Sun's rise and set are taken for the local day (the single-pass rise
// and set of the core, with the Sun's position at local noon) and converted
// to UT explicitly. When the event does not happen that day (polar day or
// night), the record is left exactly as it was before the call.
TPresetResult SetTimeEarlyTonight(TObserverTime& rec, double systemJD);
TPresetResult SetTimeEarlyTomorrow(TObserverTime& rec, double systemJD);

// The start-up time by StartupTimeMode: 1 the system time (left as set),
// 2 Early Tonight, 3 Midnight, 4 Early Tomorrow, 5 today's local date with
// `configuredHours` as local clock time, 6 today's universal date with
// `configuredHours` as UT. Other modes leave the record.
TPresetResult ApplyStartupTime(TObserverTime& rec, int mode, double configuredHours, double systemJD);
