// The events calendar for January 2025 at Washington, D.C. (UT-5, no
// daylight saving in January), each event on its day of local time.
#include <gtest/gtest.h>

#include <memory>

#include "astro/observer.h"
#include "refdata_fixture.h"
#include "shell/globals.h"
#include "tools/events_calendar.h"

namespace {

constexpr double kDeg = 3.141592653589793 / 180;

bool Has(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

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

}  // namespace
