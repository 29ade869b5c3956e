// The monthly events calendar: a day-by-day search for the starts of the
// seasons, the Moon's phases, apogee and perigee, the planets'
// conjunctions, oppositions and greatest elongations, transits of Mercury
// and Venus, close groupings of the Moon, planets and bright stars
// (occultations by the Moon among them) and the peaks of the meteor
// showers; then the repeat rule that reports a grouping only on its
// closest day. Every search works on private copies of the observer record.
#pragma once

#include <array>
#include <memory>
#include <string>
#include <vector>

#include "astro/observer.h"

struct TBrightStar {
  double ra = 0, dec = 0, magnitude = 0;  // J2000 radians; visual magnitude
  std::string name;
};

// Reads "brightstars.dat" (45 records of 55 bytes). False when the file
// cannot be opened or is not a regular file (`message` 102, no stars), is not
// exactly 45 whole records (103, no stars: a record cannot be read) or holds
// a star off the sky, with a magnitude beyond ±30 or a name longer than 30
// characters (103; the stars in range are kept); `reason` says what is
// wrong.
bool ReadBrightStars(const std::string& path, std::vector<TBrightStar>& stars, int* message = nullptr,
                     std::string* reason = nullptr);

// The calendar's bright stars, read at program start (LoadBrightStars).
extern std::vector<TBrightStar> BrightStars;
// Reads DataFolder + "brightstars.dat" into BrightStars. A missing or
// damaged file is reported as a damaged data file (shell/data_files.h,
// told once with the other files the start finds); the calendar then has
// the whole stars in range, or none.
void LoadBrightStars();

// No Moon value for a day (no picture).
inline constexpr double kNoMoonValue = -100000;

struct TCalendarDay {
  std::string text;
  double moonPhase = kNoMoonValue;     // phase angle at local noon, radians (0 new, π full)
  double moonRotation = kNoMoonValue;  // rotation of the lit side, radians
  int groupCount = 0;                  // grouping record: members (0 = none)
  std::string groupKey;                // " n" per member body number
  double groupSeparation = 0;          // degrees
  std::string groupText;               // the grouping sentence
};

// Time texts: the 12-hour clock form ("5:05am", "12:30am") and the
// whole-hour form ("5pm"); " invalid time" outside 0..24.
std::string ClockForm12(double hours);
std::string HourForm12(double hours);

class TEventsCalendar {
 public:
  // `live` is copied; the stars are the table of "brightstars.dat".
  TEventsCalendar(const TObserverTime& live, std::vector<TBrightStar> stars);

  // Month set-up: year and month (1..12) of the days to search.
  void SetUpMonth(int year, int month);
  // Searches the next day; true when the month is complete (the repeat
  // rule has run and the texts are final).
  bool SearchNextDay();
  // The whole month at once.
  void SearchMonth(int year, int month);

  // Whether the clock keeps daylight saving through the whole month set up
  // (its first and last moments): the times are then all daylight times.
  bool DaylightAllMonth() const { return daylightAllMonth_; }
  int Year() const { return year_; }
  int Month() const { return month_; }
  int DaysInThisMonth() const { return days_; }
  int DayCounter() const { return dayCounter_; }
  // Days 1..31 (index 0 unused).
  const std::array<TCalendarDay, 32>& Days() const { return days_array_; }

  // The four searches for one day (local civil 00:00 in `rec`).
  std::string SeasonSearch(const TObserverTime& rec);
  std::string MoonSearch(const TObserverTime& rec, TCalendarDay& day);
  std::string PlanetSearch(const TObserverTime& rec, TCalendarDay& day);
  static std::string MeteorSearch(int month, int day);

  // The repeat rule over days 1..count.
  static void ApplyRepeatRule(std::array<TCalendarDay, 32>& days, int count);

 private:
  struct BodySample {
    float ra, dec, dlong, elong;
    bool nearer;  // a planet nearer to the Earth than the Sun
  };
  using Samples = std::vector<BodySample>;  // body 1..N at [body]
  void SampleBodies(const TObserverTime& rec, double hours, Samples& out, TObserverTime& work);
  // The text of an inferior conjunction of planet body `b` near minute
  // `centre` of the day: a transit with its start and end when the planet's
  // disc crosses the Sun's, else "inferior conjunction".
  std::string TransitText(const TObserverTime& rec, int b, int centre);
  int BodyCount() const { return 9 + int(stars_.size()); }
  std::string BodyName(int body) const;

  std::unique_ptr<TObserverTime> live_, rec_, work_;
  std::vector<TBrightStar> stars_;
  std::vector<std::string> starNames_;
  std::vector<double> starRa_, starDec_;  // precessed to the month
  int year_ = 2000, month_ = 1, days_ = 31, dayCounter_ = 0;
  bool daylightAllMonth_ = false;
  bool elongationReported_[10] = {};
  std::array<TCalendarDay, 32> days_array_{};
};
