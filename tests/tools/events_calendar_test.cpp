// The calendar's texts: time forms, meteor peaks, the repeat rule, the
// planets' conjunctions and transits, and the meteor-shower table rows and
// pages.
#include <gtest/gtest.h>

#include <QImage>
#include <memory>

#include "astro/observer.h"
#include "astro/planets.h"
#include "astro/timescales.h"
#include "tools/events_calendar.h"
#include "tools/meteor_showers.h"

namespace {

TEST(CalendarTexts, TwelveHourForms) {
  const struct {
    double h;
    const char *clock, *hour;
  } cases[] = {{5 + 5 / 60.0, "5:05am", "5am"}, {0.5, "12:30am", "12am"}, {12.25, "12:15pm", "12pm"},
               {17.5, "5:30pm", "5pm"},         {25, " invalid time", " invalid time"}};
  for (const auto& c : cases) {
    EXPECT_EQ(ClockForm12(c.h), c.clock) << c.h;
    EXPECT_EQ(HourForm12(c.h), c.hour) << c.h;
  }
}

TEST(CalendarTexts, MeteorPeaks) {
  EXPECT_EQ(TEventsCalendar::MeteorSearch(1, 4), "The Quadrantid meteor shower peaks tonight");
  EXPECT_EQ(TEventsCalendar::MeteorSearch(8, 25), "The a-Capricornid and i-Aquarid meteor showers peak tonight");
  EXPECT_EQ(TEventsCalendar::MeteorSearch(1, 5), "");
}

TEST(CalendarTexts, RepeatRuleDropsOnlyTheGroupingSentence) {
  std::array<TCalendarDay, 32> days{};
  const char* group[4] = {"", "Venus and Saturn pass within 2.1° at 7:00pm",
                          "Venus and Saturn pass within 1.3° at 7:00pm", "Venus and Saturn pass within 1.8° at 7:00pm"};
  const double seps[4] = {0, 2.1, 1.3, 1.8};
  for (int i = 1; i <= 3; ++i) {
    days[i].groupCount = 2;
    days[i].groupKey = " 3 7";
    days[i].groupSeparation = seps[i];
    days[i].groupText = group[i];
    const std::string other = i == 1 ? "Mercury is in conjunction. " : "";
    days[i].text = "Full Moon at 5:30pm. ~" + other + group[i] + ". ~The Perseid meteor shower peaks tonight.";
  }
  TEventsCalendar::ApplyRepeatRule(days, 3);
  EXPECT_EQ(days[1].text, "Full Moon at 5:30pm. ~Mercury is in conjunction. ~The Perseid meteor shower peaks tonight.");
  EXPECT_EQ(days[2].text, std::string("Full Moon at 5:30pm. ~") + group[2] + ". ~The Perseid meteor shower peaks tonight.");
  EXPECT_EQ(days[3].text, "Full Moon at 5:30pm. ~~The Perseid meteor shower peaks tonight.");
  // Texts are never cut at 255 characters.
  days[2].text = std::string(400, 'x');
  TEventsCalendar::ApplyRepeatRule(days, 3);
  EXPECT_EQ(days[2].text.size(), 400u);
}

TEST(CalendarTexts, ConjunctionKindsAndTransits) {
  ConvertElementTable();
  InitPlanetRecords(Planets);
  auto obs = std::make_unique<TObserverTime>();
  TEventsCalendar cal(InitObserver(*obs), {});  // Greenwich, UT
  // Conjunctions (UT) computed once with astropy 5.2, built-in ephemeris:
  // apparent geocentric ecliptic longitudes of date equal, inferior when the
  // planet is nearer than the Sun. A day reports those from 23:00 before.
  const char* sup = "Mercury is in superior conjunction";
  const char* inf = "Mercury is in inferior conjunction";
  const struct {
    int y, m, d;
    const char* text;
  } cases[] = {
      // 08:42, and Saturn at 21:12: two events of one day, separated.
      {2024, 2, 28, "Mercury is in superior conjunction. Saturn is in conjunction"},
      {2024, 4, 12, inf}, {2024, 6, 14, sup}, {2024, 8, 19, inf},   // Apr 11 23:02; 16:32; 01:58
      {2024, 9, 30, sup}, {2024, 12, 6, inf}, {2025, 2, 9, sup},    // 21:09; 02:17; 12:08
      {2025, 3, 24, inf}, {2025, 5, 30, sup}, {2025, 8, 1, inf},    // 19:48; 04:12; Jul 31 23:41
      {2025, 9, 13, sup}, {2025, 11, 20, inf},                      // 10:51; 09:23
      {2024, 6, 4, "Venus is in superior conjunction"},  // 15:34, 3.6' from the Sun but behind it
      {2025, 3, 23, "Venus is in inferior conjunction"},  // 01:07
      // The disc wholly inside the Sun's 06:44 to 11:05 (astropy, as above).
      {2032, 11, 13, "Mercury transits the sun's disk, starts at 6am ends at 11am"},
  };
  for (const auto& c : cases) {
    SetObserverLocalCivil(*obs, JulianDay(c.y, c.m, c.d, 0));
    TCalendarDay day;
    const std::string text = cal.PlanetSearch(*obs, day);
    EXPECT_NE(text.find(c.text), std::string::npos) << c.y << "-" << c.m << "-" << c.d << ": " << text;
    EXPECT_EQ(text.find("transits") != std::string::npos, c.y == 2032) << text;
  }
}

TEST(MeteorShowerTable, Rows) {
  EXPECT_EQ(MeteorShowerRow(1), "Quadrantid,January 04,    ±3,Boo,Fairly rapid, blue");
  EXPECT_EQ(MeteorShowerRow(2), "Corona Australid,March 16,    ±3,CrA,");
  EXPECT_EQ(MeteorShowerRow(17), "Phoenicid,December 04,    ±1,Phe,");
  EXPECT_EQ(MeteorShowerRow(12), "Perseid,August 12,    ±13,Per,Rapid and fragmenting");
}

TEST(MeteorShowerTable, TwoScreenPages) {
  // 96 dpi, 409 pixels high: 14 rows on page 1 with "[MORE]", 5 on page 2.
  QImage img(700, 409, QImage::Format_RGB32);
  img.setDotsPerMeterX(3780);
  img.setDotsPerMeterY(3780);
  img.fill(Qt::white);
  platform::DrawingContext dc(&img);
  EXPECT_TRUE(DrawMeteorShowerPage(dc, 700, 409, 1));
  EXPECT_FALSE(DrawMeteorShowerPage(dc, 700, 409, 2));
  EXPECT_FALSE(DrawMeteorShowerPage(dc, 700, 409, 7)) << "pages beyond 2 show page 2";
}

}  // namespace
