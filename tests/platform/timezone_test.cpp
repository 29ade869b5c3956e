#include <gtest/gtest.h>

#include <chrono>
#include <thread>
#include <tuple>

#include "platform/timezone.h"
#include "tests/support/pipe_in_place.h"
#include "tests/support/test_support.h"

using namespace platform;
using testing_support::ScopedEnv;

namespace {

// Expected rules follow the zones' published daylight-saving laws (EU: last
// Sunday of March 01:00 UT to last Sunday of October 01:00 UT; US: second
// Sunday of March to first Sunday of November at 02:00; New South Wales:
// first Sunday of October 02:00 to first Sunday of April 03:00; India: none).
TIME_ZONE_INFORMATION SystemZoneFor(const char* tz) {
  ScopedEnv env("TZ", tz);
  TIME_ZONE_INFORMATION tzi;
  EXPECT_TRUE(GetSystemTimeZoneInformation(tzi)) << tz;
  return tzi;
}

void ExpectChange(const SYSTEMTIME& st, int month, int week, int dow, int hour) {
  EXPECT_EQ(st.wYear, 0);
  EXPECT_EQ(st.wMonth, month);
  EXPECT_EQ(st.wDay, week);
  EXPECT_EQ(st.wDayOfWeek, dow);
  EXPECT_EQ(st.wHour, hour);
  EXPECT_EQ(st.wMinute, 0);
}

}  // namespace

TEST(SystemTimeZone, EuropeBerlin) {
  auto z = SystemZoneFor("Europe/Berlin");
  EXPECT_EQ(z.Bias, -60);
  EXPECT_EQ(z.DaylightBias, -60);
  EXPECT_EQ(z.StandardBias, 0);
  ExpectChange(z.DaylightDate, 3, 5, 0, 2);
  ExpectChange(z.StandardDate, 10, 5, 0, 3);
  EXPECT_EQ(ZoneName(z.StandardName), "CET");
  EXPECT_EQ(ZoneName(z.DaylightName), "CEST");
}

TEST(SystemTimeZone, AmericaNewYork) {
  auto z = SystemZoneFor(":America/New_York");
  EXPECT_EQ(z.Bias, 300);
  EXPECT_EQ(z.DaylightBias, -60);
  ExpectChange(z.DaylightDate, 3, 2, 0, 2);
  ExpectChange(z.StandardDate, 11, 1, 0, 2);
}

TEST(SystemTimeZone, AustraliaSydneyDaylightSpansTheNewYear) {
  auto z = SystemZoneFor("Australia/Sydney");
  EXPECT_EQ(z.Bias, -600);
  EXPECT_EQ(z.DaylightBias, -60);
  ExpectChange(z.DaylightDate, 10, 1, 0, 2);
  ExpectChange(z.StandardDate, 4, 1, 0, 3);
}

TEST(SystemTimeZone, AsiaKolkataHalfHourNoDaylight) {
  auto z = SystemZoneFor("Asia/Kolkata");
  EXPECT_EQ(z.Bias, -330);
  EXPECT_EQ(z.StandardDate.wMonth, 0);
  EXPECT_EQ(z.DaylightDate.wMonth, 0);
  EXPECT_EQ(z.DaylightBias, 0);
}

TEST(SystemTimeZone, PosixStringsAndFallbacks) {
  TIME_ZONE_INFORMATION z;
  ASSERT_TRUE(TimeZoneFromPosix("<-03>3", z));  // quoted name, no daylight
  EXPECT_EQ(z.Bias, 180);
  ASSERT_TRUE(TimeZoneFromPosix("NZST-12NZDT,M9.5.0,M4.1.0/3", z));
  EXPECT_EQ(z.Bias, -720);
  ExpectChange(z.DaylightDate, 9, 5, 0, 2);
  // Change-overs the record cannot hold leave the standard offset only.
  ASSERT_TRUE(TimeZoneFromPosix("<-02>2<-01>,M3.5.0/-1,M10.5.0/0", z));
  EXPECT_EQ(z.Bias, 120);
  EXPECT_EQ(z.StandardDate.wMonth, 0);
  EXPECT_FALSE(TimeZoneFromPosix("CET-1CEST,M13.5.0,M10.5.0", z));
  EXPECT_FALSE(TimeZoneFromPosix("", z));
  // An unreadable TZ gives UTC and reports it; a pipe or a device named by
  // TZ is never read.
  testing_support::TempDir dir;
  PipeInPlace pipe(dir.File("zone"));
  const std::string zones[] = {"Nowhere/Unknown_Zone", ":" + dir.File("zone"), ":/dev/zero"};
  for (const std::string& tz : zones) {
    ScopedEnv env("TZ", tz);
    EXPECT_FALSE(GetSystemTimeZoneInformation(z)) << tz;
    EXPECT_EQ(z.Bias, 0);
  }
  EXPECT_FALSE(pipe.Opened());
}

TEST(SystemTimeZone, RecordLayoutIs172Bytes) {
  TIME_ZONE_INFORMATION z;
  ASSERT_TRUE(TimeZoneFromPosix("CET-1CEST,M3.5.0,M10.5.0/3", z));
  ByteWriter w;
  WriteTimeZoneInformation(w, z);
  ASSERT_EQ(w.Size(), kTimeZoneInformationBytes);
  const auto& b = w.Bytes();
  EXPECT_EQ(GetI32(&b[0]), -60);           // Bias
  EXPECT_EQ(GetU16(&b[4]), 'C');           // StandardName
  EXPECT_EQ(GetU16(&b[68 + 2]), 10);       // StandardDate.wMonth
  EXPECT_EQ(GetU16(&b[68 + 8]), 3);        // StandardDate.wHour
  EXPECT_EQ(GetU16(&b[88]), 'C');          // DaylightName
  EXPECT_EQ(GetU16(&b[152 + 2]), 3);       // DaylightDate.wMonth
  EXPECT_EQ(GetI32(&b[168]), -60);         // DaylightBias
  ByteReader r(b);
  auto back = ReadTimeZoneInformation(r);
  EXPECT_TRUE(r.Ok());
  ByteWriter w2;
  WriteTimeZoneInformation(w2, back);
  EXPECT_EQ(w2.Bytes(), b);
}

TEST(MillisecondCounter, WrapsAt32Bits) {
  const uint32_t before = TimeGetTime();
  SetTimeGetTimeOffsetForTest(0xFFFFFFFFu - before + 1);  // counter near 0 after the wrap
  const uint32_t wrapped = TimeGetTime();
  SetTimeGetTimeOffsetForTest(0);
  EXPECT_LT(wrapped, 1000u);
  // Unsigned differences stay correct across the wrap.
  EXPECT_LT(uint32_t(wrapped - 0xFFFFFFF0u), 2000u);
}

TEST(SystemClock, ReadsTheInstantATestSetsAndRunsOnFromIt) {
  // 2024-02-29 23:59:59.250 UTC, a Thursday (1709251199.25 s after 1970).
  testing_support::ScopedClock clock(1709251199.25);
  const SYSTEMTIME st = GetSystemTimeUTC();
  EXPECT_EQ(std::tuple(st.wYear, st.wMonth, st.wDay, st.wDayOfWeek), std::tuple(2024, 2, 29, 4));
  EXPECT_EQ(std::tuple(st.wHour, st.wMinute, st.wSecond), std::tuple(23, 59, 59));
  EXPECT_GE(st.wMilliseconds, 250);
  // It runs on at the rate of the monotonic clock: into the next day.
  const double start = SystemClockUnixSeconds();
  EXPECT_GE(start, 1709251199.25);
  std::this_thread::sleep_for(std::chrono::milliseconds(800));
  const SYSTEMTIME next = GetSystemTimeUTC();
  EXPECT_EQ(std::tuple(next.wMonth, next.wDay, next.wDayOfWeek, next.wHour), std::tuple(3, 1, 5, 0));
}
