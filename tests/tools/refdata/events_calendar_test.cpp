// The events calendar for January 2025 at Washington, D.C. (UT-5, no
// daylight saving in January), each event on its day of local time.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <memory>

#include "astro/observer.h"
#include "refdata_fixture.h"
#include "platform/codec.h"
#include "shell/globals.h"
#include "tests/support/test_support.h"
#include "tools/events_calendar.h"

namespace {

constexpr double kDeg = 3.141592653589793 / 180;

bool Has(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

// A damaged "brightstars.dat": a star off the sky or with a name longer
// than its field is left out and the others kept; a size that is not the 45
// stars' has a record that cannot be read, and no star is kept. What is
// wrong is said.
TEST(EventsCalendar, DamagedBrightStarsKeepTheWholeOnes) {
  testing_support::TempDir dir;
  auto star = [](platform::ByteWriter& w, double ra, double dec, double mag, const std::string& name) {
    w.F64(ra), w.F64(dec), w.F64(mag), w.ShortString(name, 30);
  };
  platform::ByteWriter w;
  star(w, 1.0, 0.5, 0.1, "Vega");
  star(w, 7.0, 0.5, 0.1, "Off");     // right ascension beyond a full turn
  star(w, 1.0, -1.6, 0.1, "South");  // beyond the pole
  for (int i = 3; i < 45; ++i) star(w, 2.0, 0.1, 1.5, "Star");
  std::vector<uint8_t> bytes = w.Bytes();
  bytes[3 * 55 + 24] = 31;  // a name longer than its field
  testing_support::WriteFile(dir.File("brightstars.dat"), bytes);
  std::vector<TBrightStar> stars;
  int message = 0;
  std::string reason;
  EXPECT_FALSE(ReadBrightStars(dir.File("brightstars.dat"), stars, &message, &reason));
  EXPECT_EQ(std::tuple(message, reason, stars.size()),
            std::tuple(103, "3 of its 45 stars hold values outside their ranges and are left out", std::size_t(42)));
  EXPECT_EQ(stars[0].name, "Vega");
  bytes.resize(10 * 55 + 7);
  testing_support::WriteFile(dir.File("brightstars.dat"), bytes);
  EXPECT_FALSE(ReadBrightStars(dir.File("brightstars.dat"), stars, &message, &reason));
  EXPECT_EQ(std::tuple(message, reason, stars.size()),
            std::tuple(103, "557 bytes where its 45 stars take 2,475 bytes", std::size_t(0)));
  // One byte too many is no better: the file is not the 45 records.
  bytes = w.Bytes();
  bytes.push_back(0);
  testing_support::WriteFile(dir.File("brightstars.dat"), bytes);
  EXPECT_FALSE(ReadBrightStars(dir.File("brightstars.dat"), stars, &message, &reason));
  EXPECT_EQ(std::tuple(message, stars.size()), std::tuple(103, std::size_t(0)));
}

TEST(EventsCalendar, January2025AtWashington) {
  NOCTRA_REQUIRE_REFERENCE_DATA(UseReferenceData());
  std::vector<TBrightStar> stars;
  int message = 0;
  ASSERT_TRUE(ReadBrightStars(DataFolder + "brightstars.dat", stars));
  ASSERT_EQ(stars.size(), 45u);
  std::vector<TBrightStar> none;  // a missing file is told: "Warning: Can't open file " (102)
  EXPECT_TRUE(!ReadBrightStars(DataFolder + "none.dat", none, &message) && message == 102);
  auto obs = std::make_unique<TObserverTime>();
  InitObserver(*obs);
  SetObserverLocation(*obs, 77.0365 * kDeg, 38.8977 * kDeg, 0);  // 77.04° W, 38.90° N
  obs->TimeZone.Bias = 300;
  SetObserverUT(*obs, 2460676.5);
  TEventsCalendar cal(*obs, stars);
  cal.SearchMonth(2025, 1);
  const auto& d = cal.Days();
  // Moon phases, U.S. Naval Observatory "Phases of the Moon 2025" (UT):
  // first quarter Jan 6 23:56, full Jan 13 22:27, last quarter Jan 21
  // 20:31, new Jan 29 12:36; in EST (UT-5) rounded to a quarter hour.
  const struct {
    int day;
    const char* text;
  } events[] = {
      {6, "First-Quarter Moon at 7:00pm"},
      {13, "Full Moon at 5:30pm"},
      {21, "Last-Quarter Moon at 3:30pm"},
      {29, "New Moon at 7:30am"},
      // The Moon occulted Mars on the evening of 13 January 2025 as seen
      // from most of the United States (IOTA; Sky & Telescope, January
      // 2025: disappearance about 9:20 pm EST at Washington).
      {13, "The Moon occulates Mars at "},
      // Mars at opposition 2025 January 16, 02:38 UT (USNO): Jan 15 EST.
      {15, "Mars is in opposition"},
      // The Quadrantids peak on 4 January in the table of meteor showers.
      {4, "The Quadrantid meteor shower peaks tonight."},
  };
  for (const auto& e : events) EXPECT_TRUE(Has(d[e.day].text, e.text)) << e.day << ": " << d[e.day].text;
  // Each phase appears on its day only.
  int phases = 0;
  for (int day = 1; day <= 31; ++day)
    phases += Has(d[day].text, "Quarter Moon at") + Has(d[day].text, "Full Moon at") + Has(d[day].text, "New Moon at");
  EXPECT_EQ(phases, 4);
  // The occultation's time: within 40 minutes of 9:20 pm.
  const auto at = d[13].text.find("Mars at ");
  ASSERT_NE(at, std::string::npos);
  const std::string clock = d[13].text.substr(at + 8, 6);
  EXPECT_TRUE(clock.rfind("9:", 0) == 0 || clock.rfind("10:0", 0) == 0) << clock;
  // Moon values for the pictures: full near day 13 (phase angle near π).
  EXPECT_NEAR(d[13].moonPhase, 3.14, 0.3);
  EXPECT_EQ(d[13].groupCount, 2);
  EXPECT_EQ(d[13].groupKey, " 1 4");
}


// Minutes after midnight of the 12-hour clock text after `what` + " at " in
// `text` ("7:15pm"); -1 when not there.
int ClockAfter(const std::string& text, const std::string& what) {
  const auto at = text.find(what + " at ");
  if (at == std::string::npos) return -1;
  int h = 0, m = 0;
  char half = 0;
  if (std::sscanf(text.c_str() + at + what.size() + 4, "%d:%d%c", &h, &m, &half) != 3) return -1;
  return (h % 12 + (half == 'p' ? 12 : 0)) * 60 + m;
}

std::unique_ptr<TObserverTime> Auckland(int bias, bool daylightRule) {
  auto obs = std::make_unique<TObserverTime>();
  InitObserver(*obs);
  SetObserverLocation(*obs, -174.76 * kDeg, -36.85 * kDeg, 0);  // 174.76° E, 36.85° S
  obs->TimeZone.Bias = bias;
  if (daylightRule) {  // New Zealand: UT+13 from the last Sunday of September to the first of April
    obs->TimeZone.DaylightDate.wMonth = 9;
    obs->TimeZone.DaylightDate.wDay = 5;
    obs->TimeZone.DaylightDate.wHour = 2;
    obs->TimeZone.StandardDate.wMonth = 4;
    obs->TimeZone.StandardDate.wDay = 1;
    obs->TimeZone.StandardDate.wHour = 3;
    obs->TimeZone.DaylightBias = -60;
    obs->UseDaylightSaving = 1;
  }
  SetObserverUT(*obs, 2461382.5);
  return obs;
}

TEST(EventsCalendar, PhasesAndSeasonsOnTheirLocalDays) {
  NOCTRA_REQUIRE_REFERENCE_DATA(UseReferenceData());
  std::vector<TBrightStar> stars;
  ASSERT_TRUE(ReadBrightStars(DataFolder + "brightstars.dat", stars));
  // Apparent geocentric phases and solstices from astropy 5.2.1
  // (tests/tools/make_calendar_refs.py), in Auckland's clock time: NZDT
  // (UT+13) in December 2026, NZST (UT+12) in June 2031. The calendar
  // rounds phases to a quarter hour and seasons to five minutes, after a
  // minute search.
  const struct {
    int year, month, day;
    const char* what;
    int minutes;  // local clock, rounded to the minute
    int tolerance;
  } events[] = {
      {2026, 12, 1, "Last-Quarter Moon", 19 * 60 + 9, 10},  // 06:08:40 UT
      {2026, 12, 9, "New Moon", 13 * 60 + 52, 10},          // 00:51:52 UT
      {2026, 12, 17, "First-Quarter Moon", 18 * 60 + 43, 10},
      {2026, 12, 22, "Winter starts", 9 * 60 + 50, 4},  // 21 December 20:50:14 UT
      {2026, 12, 24, "Full Moon", 14 * 60 + 28, 10},
      {2026, 12, 31, "Last-Quarter Moon", 8 * 60, 10},  // 30 December 18:59:34 UT
      // 11:58:38 UT, 23:58:38 NZST: the phase in the day's last minutes.
      {2031, 6, 5, "Full Moon", 23 * 60 + 59, 10},
      {2031, 6, 12, "Last-Quarter Moon", 14 * 60 + 21, 10},
      {2031, 6, 20, "New Moon", 10 * 60 + 25, 10},  // 19 June 22:24:51 UT
      {2031, 6, 22, "Summer starts", 60 + 17, 4},   // 21 June 13:17:08 UT
      {2031, 6, 28, "First-Quarter Moon", 12 * 60 + 19, 10},
  };
  for (int span = 0; span < 2; ++span) {
    const int year = span == 0 ? 2026 : 2031, month = span == 0 ? 12 : 6;
    TEventsCalendar cal(*Auckland(-720, true), stars);
    cal.SearchMonth(year, month);
    int phases = 0;
    for (int day = 1; day <= cal.DaysInThisMonth(); ++day)
      for (const char* p : {"New Moon at", "Quarter Moon at", "Full Moon at"}) phases += Has(cal.Days()[day].text, p);
    EXPECT_EQ(phases, span == 0 ? 5 : 4) << year;
    for (const auto& e : events) {
      if (e.year != year) continue;
      const std::string& text = cal.Days()[e.day].text;
      const int shown = ClockAfter(text, e.what);
      ASSERT_GE(shown, 0) << e.day << ": " << text;
      EXPECT_LE(std::abs(shown - e.minutes), e.tolerance) << e.day << ": " << text;
    }
  }
  // A zone of UT+3:08 puts the solstice at 23:58 local on 21 December: it is
  // told on its day, at the last five-minute mark, not as noon.
  TEventsCalendar cal(*Auckland(-188, false), stars);
  cal.SearchMonth(2026, 12);
  EXPECT_TRUE(Has(cal.Days()[21].text, "Winter starts at 11:55pm")) << cal.Days()[21].text;
}
}  // namespace
