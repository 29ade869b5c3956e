// POSIX TZ rules whose numbers lie outside their fields are refused rather
// than overflowing into a wrong zone.
#include <gtest/gtest.h>

#include <string>

#include "platform/timezone.h"

using namespace platform;

TEST(PosixRuleLimits, OutOfRangeNumbersAreRefused) {
  const std::string digits(40, '9');
  const char* refused[] = {
      "CET-25",                          // offsets reach 24 hours
      "CET-1:60",                        // minutes 0..59
      "CET-1:00:60",                     // seconds 0..59
      "CET-1CEST,M13.5.0,M10.5.0/3",     // month 1..12
      "CET-1CEST,M3.6.0,M10.5.0/3",      // week 1..5
      "CET-1CEST,M3.5.7,M10.5.0/3",      // weekday 0..6
      "CET-1CEST,M3.5.0,M10.5.0/168",    // change-over hours 0..167
      "CET-1CEST,J0,M10.5.0",            // Julian day 1..365
      "CET-1CEST,366,M10.5.0",           // day of year 0..365
      "CET-1:",                          // a separator without its number
  };
  for (const char* rule : refused) {
    TIME_ZONE_INFORMATION tzi;
    EXPECT_FALSE(TimeZoneFromPosix(rule, tzi)) << rule;
  }
  // Long digit runs in every numeric field.
  for (const std::string& rule :
       {"CET" + digits, "CET-1:" + digits, "CET-1CEST" + digits + ",M3.5.0,M10.5.0",
        "CET-1CEST,M" + digits + ".5.0,M10.5.0", "CET-1CEST,M3." + digits + ".0,M10.5.0",
        "CET-1CEST,M3.5." + digits + ",M10.5.0", "CET-1CEST,M3.5.0/" + digits + ",M10.5.0",
        "CET-1CEST,J" + digits + ",M10.5.0", "CET-1CEST," + digits + ",M10.5.0"}) {
    TIME_ZONE_INFORMATION tzi;
    tzi.Bias = 12345;
    EXPECT_FALSE(TimeZoneFromPosix(rule, tzi)) << rule;
    EXPECT_EQ(tzi.Bias, 12345) << "a refused rule leaves the record as it was";
  }
}

TEST(PosixRuleLimits, ValuesAtTheLimitsAreRead) {
  TIME_ZONE_INFORMATION tzi;
  // Offsets of 24 hours and change-overs of 167 hours (RFC 8536).
  ASSERT_TRUE(TimeZoneFromPosix("XXX24:59:59", tzi));
  EXPECT_EQ(tzi.Bias, 24 * 60 + 59);  // seconds are dropped by the minute field
  ASSERT_TRUE(TimeZoneFromPosix("<-03>3<-02>,M3.5.0/-167,M10.5.0/167", tzi));
  EXPECT_EQ(tzi.Bias, 180);
  // Change-overs outside one day cannot be held: standard time only.
  EXPECT_EQ(tzi.DaylightBias, 0);
  ASSERT_TRUE(TimeZoneFromPosix("EST5EDT,J365/25,0/0", tzi));
  ASSERT_TRUE(TimeZoneFromPosix("CET-1CEST,M12.5.6/23:59:59,M1.1.0/0", tzi));
  EXPECT_EQ(tzi.DaylightDate.wMonth, 12);
  EXPECT_EQ(tzi.DaylightDate.wDayOfWeek, 6);
  EXPECT_EQ(tzi.DaylightDate.wMinute, 59);
}
