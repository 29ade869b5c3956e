// Time-zone rules and system time in the layouts the program stores.
//
// TIME_ZONE_INFORMATION and SYSTEMTIME keep the Windows field order and
// sizes (172 and 16 bytes) because settings files store them whole; they are
// written and read through the explicit codecs below. The system's zone comes
// from the tz database: the POSIX rule at the end of the zone file gives the
// standard offset and the yearly daylight-saving change-overs.
#pragma once

#include <cstdint>
#include <string>

#include "platform/codec.h"

namespace platform {

// A calendar instant, or in a time-zone rule with wYear = 0 a yearly
// change-over: month wMonth, the wDay-th (1..5, 5 = last) weekday wDayOfWeek
// (0 = Sunday) of the month, at wHour:wMinute:wSecond local time.
struct SYSTEMTIME {
  uint16_t wYear = 0;
  uint16_t wMonth = 0;
  uint16_t wDayOfWeek = 0;
  uint16_t wDay = 0;
  uint16_t wHour = 0;
  uint16_t wMinute = 0;
  uint16_t wSecond = 0;
  uint16_t wMilliseconds = 0;
};

// A time-zone rule. UT = local standard time + Bias (minutes); in daylight
// time UT = local time + Bias + DaylightBias. DaylightDate is the start of
// daylight time (in local standard time), StandardDate its end (in local
// daylight time); wMonth = 0 in StandardDate means no daylight saving.
struct TIME_ZONE_INFORMATION {
  int32_t Bias = 0;
  char16_t StandardName[32] = {};
  SYSTEMTIME StandardDate;
  int32_t StandardBias = 0;
  char16_t DaylightName[32] = {};
  SYSTEMTIME DaylightDate;
  int32_t DaylightBias = 0;
};

constexpr std::size_t kSystemTimeBytes = 16;
constexpr std::size_t kTimeZoneInformationBytes = 172;

void WriteSystemTime(ByteWriter& w, const SYSTEMTIME& st);
SYSTEMTIME ReadSystemTime(ByteReader& r);
void WriteTimeZoneInformation(ByteWriter& w, const TIME_ZONE_INFORMATION& tzi);
TIME_ZONE_INFORMATION ReadTimeZoneInformation(ByteReader& r);

// Sets a 32-character UTF-16 name field from UTF-8 (cut to 31 characters,
// zero terminated) and reads it back.
void SetZoneName(char16_t (&field)[32], const std::string& utf8);
std::string ZoneName(const char16_t (&field)[32]);

// Builds a rule from a POSIX TZ string such as "CET-1CEST,M3.5.0,M10.5.0/3".
// Rules given as Julian days (Jn, n) and change-over hours outside 0..23 are
// outside what the record can hold: such a zone keeps its standard offset
// and has no daylight saving. Returns false for a malformed string.
bool TimeZoneFromPosix(const std::string& posix, TIME_ZONE_INFORMATION& tzi);

// Builds a rule from a tz database zone ("Europe/Berlin") or a zone file path.
bool TimeZoneFromIana(const std::string& name, TIME_ZONE_INFORMATION& tzi);

// The system's zone: TZ when set (zone name, file or POSIX string), else
// /etc/localtime; UTC when neither can be read. Returns false in that case.
bool GetSystemTimeZoneInformation(TIME_ZONE_INFORMATION& tzi);

// The tz database name of the system's zone ("Europe/Berlin"): TZ when it
// names a zone, else the target of /etc/localtime below the zone folder,
// else /etc/timezone. Empty when none is known.
std::string SystemZoneName();

// The principal place of a tz database zone from the database's table
// ("zone1970.tab", else "zone.tab" in TZDIR or /usr/share/zoneinfo):
// latitude north and longitude east in degrees. False for a zone the table
// does not list (UTC, Etc/..., POSIX rules).
bool ZonePlace(const std::string& zoneName, double& latitudeDeg, double& eastLongitudeDeg);

// Reads one ISO 6709 coordinate pair of the zone table (±DDMM±DDDMM or
// ±DDMMSS±DDDMMSS) into degrees; false when it is malformed.
bool ParseIso6709(const std::string& text, double& latitudeDeg, double& eastLongitudeDeg);

// The system clock in UTC.
SYSTEMTIME GetSystemTimeUTC();
// The system clock as seconds since 1970-01-01 00:00 UTC, with fractions.
double SystemClockUnixSeconds();
// Tests set the instant the program's wall clock reads: from this call on
// the clock reads `unixSeconds` and runs on from it at the rate of the
// monotonic clock, so the program's own timers keep working.
void SetSystemClockForTest(double unixSeconds);

// A millisecond counter that wraps at 2^32 like the original multimedia
// timer. Tests may shift it to exercise the wrap.
uint32_t TimeGetTime();
void SetTimeGetTimeOffsetForTest(uint32_t offset);

}  // namespace platform
