// Text, number and date routines: tidying strings, angles and times as
// display text and back, angle and calendar arithmetic, and small file
// helpers. Text is UTF-8; widths count characters. Numbers are written and
// read with "." as the decimal separator (platform/numfmt.h).
#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>
#include <string_view>

// The error value of the parsers ParseLatitude, ParseLongitude and
// ParseTimeZone.
inline constexpr double ParseError = -9999.0;

// Raised by ParseHours and ParseDegrees when a field is not a number.
class EConvertError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// --- Strings ---------------------------------------------------------------

// s without leading and trailing blanks (the two names are the same).
std::string TrimBlanks(std::string_view s);
std::string TrimSpaces(std::string_view s);
// In place: leading blanks removed; when s contains ".", trailing "0"s
// removed; then trailing blanks; then one trailing ".".
void TrimNumber(std::string& s);
// TrimNumber of the substring of `count` characters from `index` (1-based).
std::string CopyTrimZeros(std::string_view s, int index, int count);
// Every blank replaced by "0".
std::string ZeroFill(std::string_view s);
// s followed by blanks to `width` characters (at most 255); a longer s is
// cut to `width`.
std::string PadRight(std::string_view s, int width);
// Blanks followed by s to `width` characters (at most 255); the result is
// cut to its first `width` characters.
std::string PadLeft(std::string_view s, int width);
// Letters a..z turned to A..Z.
std::string UpperCaseStr(std::string_view s);
// 1-based byte position of the n-th occurrence of sub in s counted from
// the end (occurrences may overlap); 0 when there are fewer than n, or sub
// is empty or longer than s.
int RPosN(std::string_view sub, std::string_view s, int n);
// The binary number of a text of "1"s and "0"s (any other character counts
// as 0; leading zeros ignored); values beyond 31 bits saturate at
// 2147483647 instead of overflowing.
int32_t BinStrToInt(std::string_view s);

// --- Angles and times as text ------------------------------------------------
// Each rounds (or truncates) the whole value to the last unit shown before
// splitting it, so no field ever shows 60. NaN and infinities give
// NoAngleText; times are reduced into one day first, and an angle too large
// to count in its smallest unit within 32 bits (about 596,000°) gives
// NoAngleText too.

// The text shown for an angle or time that has no value.
inline constexpr const char* NoAngleText = "--";

// Right ascension (radians) as "hh" "h" "mm" "m" "ss.s" "s", e.g. " 5h07m03.2s"
// (seconds rounded to tenths).
std::string FormatRA_HMSs(double ra);
// ... as " 5h07m03s" (whole seconds, truncated).
std::string FormatRA_HMS(double ra);
// ... as " 5h07m" (whole minutes, truncated).
std::string FormatRA_HM(double ra);
// Angle (radians) as degrees three wide, minutes and rounded seconds, e.g.
// " 12°34'56\"" or "-11°00'00\""; a negative angle above -1° shows "-0".
std::string FormatDMS(double angle);
// Angle (radians) as degrees three wide and minutes with one decimal, e.g.
// " 51°28.6'".
std::string FormatDegMin(double angle);
// Angle (radians) as degrees five wide with one decimal and "°".
std::string FormatDegrees1(double angle);
// Hours into [0, 24) as " hh:mm " with rounded minutes, e.g. "  6:00 ".
std::string FormatHoursHM(double hours);
// Hours into [0, 24) as " hh:mm:ss" with truncated seconds, e.g. "  5:07:03".
std::string FormatHoursHM2(double hours);

// --- Parsing ---------------------------------------------------------------

// "51.5N", "33.9 s": degrees followed by N or S, no sign; radians, north
// positive, within ±90°; ParseError otherwise.
double ParseLatitude(std::string_view text);
// "75W", "0.1e": degrees 0..180 followed by W or E, no sign; radians
// POSITIVE WEST in [0, 2π); ParseError otherwise.
double ParseLongitude(std::string_view text);
// A whole number of hours -12..12; ParseError otherwise.
double ParseTimeZone(std::string_view text);
// "5.5" (decimal hours), "05h30m15s", "05:30:15", "5:30": the hour angle in
// radians (hours × 15°). Throws EConvertError when a field is not a number.
double ParseHours(std::string_view text);
// "-5.5", "+05d30m", "-05:30:15", "12°30'": radians. Separators "d", ":",
// "°" or "*". Throws EConvertError when a field is not a number.
double ParseDegrees(std::string_view text);

// --- Angle and calendar arithmetic --------------------------------------------

// x (radians) into [0, 2π). A magnitude above 1e10, or a non-finite value,
// gives 0 and the message box "Error in \"AngleAdj\", parameter out of
// range." (exclamation icon, caption "Noctra Planetarium").
void AngleAdj(double& x);
// Tenths of a degree into 0..3599.
void AngleAdjTenths(int& n);
// Hours into [0, 24).
void AdjHours(double& h);
// The angle between a and b (radians), in [0, π].
double AngleDifference(double a, double b);
// sqrt(ΔRA² + ΔDec²): a flat approximation without the cosine of the
// declination.
double AngularDistance(double ra1, double dec1, double ra2, double dec2);
// x rounded to a pleasant step: multiples of 5000, 500, 50, 5 from 10000,
// 1000, 100, 10; whole numbers from 1; one, two or three decimals above
// 0.1, 0.01, 0.001; smaller values unchanged. Halves to even.
double RoundNice(double x);
// Gregorian leap year (fractional parts below 1e-5 are ignored).
bool IsLeapYear(double year);
// 28..31; 0 for a month outside 1..12.
int DaysInMonth(double year, int month);
// Day of the week of the date containing JD, 0 = Sunday .. 6 = Saturday.
int WeekdayFromJulianDay(double jd);

// --- Files -------------------------------------------------------------------

// True when the file is a regular file that can be opened for reading (it is
// closed again); a pipe, a folder or a device is not.
bool FileCanOpen(const std::string& name);
// False for an empty name, one with a character " * / : < > ? \ | or a
// control character (codes 1..31), or a reserved device name (CON, PRN,
// AUX, NUL, COM1..COM9, LPT1..LPT9, case-sensitive) alone or before ".".
bool IsValidFileName(std::string_view name);

// A found file: its name (without folder), modification time (seconds
// since 1970, with fractions) and size in bytes. Empty name: none found.
struct TSearchRec {
  std::string Name;
  double Time = 0;
  int64_t Size = 0;
};
// The newest ordinary file in `folder` matching `mask` (wildcards * and ?,
// letter case ignored). Separators between folder and mask are normalised,
// so "dir/", "dir" and "\\*.bmp", "*.bmp" all work. A later match replaces
// the kept one only when strictly newer. Returns true when one was found.
bool FindFiles(const std::string& folder, const std::string& mask, TSearchRec& found);

// The folder-browse dialog with `title`, starting at `path`; true and path
// replaced when the user picks a folder.
bool BrowseForFolder(const std::string& title, std::string& path);
bool BrowseForFolder(const void* owner, const std::string& title, std::string& path);

// Frees a drawing object created with new and clears the pointer; true.
template <typename T>
bool DeleteGdiObject(T*& handle) {
  delete handle;
  handle = nullptr;
  return true;
}
