// The date and time tool: the chart's instant as local time, local sidereal
// time, universal time and Julian day, each editable and applied at once to
// ObserverTime; the month grids; the start-up time settings (registry
// "Startup Time") and slot 10 of settings files.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

struct TObserverTime;

// --- Text fields ------------------------------------------------------------------

// Hours [0, 24) as "hh:mm:ss", zero-filled so the field reads back ("05:07:03").
std::string ClockTimeText(double hours);
// Reads "hh:mm:ss" at positions 1-2, 4-5 and 7-8 (blanks as "0"); hours
// limited to 0..23, minutes and seconds to 0..59. False when a part is not
// a number.
bool ParseClockTime(const std::string& text, double& hours);
// The Julian day field: width 15 with 6 decimals, blanks as "0".
std::string JulianDayText(double jd);
// A typed Julian date: digits and one "." (blanks around the parts
// ignored), within 1 January -2000 0h .. 31 December 3000 23.9997h.
bool ParseJulianDayText(const std::string& text, double& jd);
// The Julian dates of the first and last instant the tool accepts.
double FirstToolJulianDay();
double LastToolJulianDay();

// --- Month grid -------------------------------------------------------------------

// 7 × 7 cells [row][column]: row 0 the weekday names, then the days of the
// month from the weekday of the 1st; in October 1582 the days 5..14 read "X".
using TMonthGrid = std::array<std::array<std::string, 7>, 7>;
TMonthGrid MonthGrid(int year, int month);
// The cell of a day: row and column.
void MonthGridCell(int year, int month, int day, int& row, int& column);

// --- The tool's edits ---------------------------------------------------------------

// Every edit works on the local civil date and time (local = true) or on the
// universal date and time and sets the instant through SetObserverLocalCivil
// or SetObserverUT. A year outside -2000..3000, a month outside 1..12 or a
// day that is not in the month (or lies in the 1582 gap) is refused: false,
// nothing changes. The day is reduced to the length of a new month.
bool SetToolYear(TObserverTime& obs, bool local, int year);
bool SetToolMonth(TObserverTime& obs, bool local, int month);
bool SetToolDay(TObserverTime& obs, bool local, const std::string& cellText);
bool SetToolTime(TObserverTime& obs, bool local, const std::string& text);
bool SetToolJulianDay(TObserverTime& obs, const std::string& text);
// Year text typed with the era box ("AD"/"BC").
bool SetToolYearText(TObserverTime& obs, bool local, const std::string& text, bool bc);
// The daylight-saving box: the use flag, keeping the zone rule.
void SetToolDaylightSaving(TObserverTime& obs, bool on);

// What the tool shows of the instant.
struct TClockFields {
  std::string LocalLabel;  // "Local Time (DST):" or "Local Time (LMT):"
  int LocalYear = 0, LocalMonth = 0, LocalDay = 0;
  std::string LocalTime, SiderealTime;
  int UniversalYear = 0, UniversalMonth = 0, UniversalDay = 0;
  std::string UniversalTime, JulianDay;
};
TClockFields ClockFields(const TObserverTime& obs);
// The year control's text: the absolute year right-aligned in 4, and the era.
std::string YearText(int year);
const char* EraText(int year);

// --- Start-up time ------------------------------------------------------------------

// 1 actual local time, 2 early that night, 3 midnight, 4 early the next
// morning, 5 a specific local time, 6 a specific universal time.
extern int32_t StartupTimeMode;
extern bool StartupStopTime;
extern std::string StartupLocalText, StartupUniversalText;
// Hours of the two texts, -1 when a text does not read.
extern double StartupLocalHours, StartupUniversalHours;

// Hours of a start text: hours + (minutes + seconds / 60) / 60, -1 when a
// part is not a number.
double StartTextHours(const std::string& text);
// Reads the registry section "Startup Time"; a mode outside 1..6, or mode 5
// or 6 whose time does not read, falls back to mode 1.
void ReadRegStartupTime();
void WriteRegStartupTime();

// --- Slot 10 ---------------------------------------------------------------------------

inline constexpr int kClockTimeSlot = 10;
inline constexpr std::size_t kClockTimeBlockBytes = 8;
std::vector<uint8_t> EncodeClockTimeBlock(const TObserverTime& obs);
// Checks that the block holds a finite Julian date within the tool's range
// and sets it through SetObserverUT; false, nothing changed, otherwise. The
// chart is asked to replot in every case.
bool ReadClockTimeBlock(TObserverTime& obs, const std::vector<uint8_t>* block);
