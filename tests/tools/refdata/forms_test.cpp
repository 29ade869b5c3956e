// The information windows wired to their logic: the star window's fields,
// the solar-system window's pages, the calendar's day-by-day search on its
// timer, and the meteor-shower pages.
#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollArea>
#include <QTabWidget>
#include <QCoreApplication>
#include <QThread>

#include "astro/observer.h"
#include "astro/precession.h"
#include "chart/screen_layout.h"
#include "refdata_fixture.h"
#include "shell/messages.h"
#include "tools/forms/information_forms.h"

namespace {

constexpr double kDeg = 3.141592653589793 / 180;

void SetWashington() {
  InitObserver(ObserverTime);
  SetObserverLocation(ObserverTime, 77.0365 * kDeg, 38.8977 * kDeg, 0);
  ObserverTime.TimeZone.Bias = 300;
  SetObserverUT(ObserverTime, 2460680.5);  // 2025 January 4, 19:00 EST
}

TEST(InformationForms, StarWindowFields) {
  NOCTRA_REQUIRE_REFERENCE_DATA(UseReferenceData());
  SetWashington();
  TInformationForm1 form;
  ASSERT_TRUE(form.ShowStar(113271));
  EXPECT_EQ(form.NameEdit1->text(), "Betelgeuse");
  EXPECT_EQ(form.HDEdit1->text(), "39801");
  EXPECT_TRUE(form.VMagEdit1->text().endsWith("(variable)"));
  EXPECT_FALSE(form.Go->isEnabled()) << "no telescope";
  std::string poi;
  AddPointOfInterestHook = [&](const std::string& name, double, double) { poi = name; };
  form.AddPOI->click();
  EXPECT_EQ(poi, "HD39801");
  AddPointOfInterestHook = nullptr;
  EXPECT_FALSE(form.ShowStar(0xFFFFFF)) << "no such star: contents kept";
  EXPECT_EQ(form.NameEdit1->text(), "Betelgeuse");
  form.resize(640, 560);
  form.show();
  form.PageControl1->setCurrentIndex(3);
  for (int width : {640, 900}) {  // drawn at the size its tab gives it, again after a resize
    form.resize(width, 560);
    QCoreApplication::processEvents();
    form.RiseSetPaintBox1->repaint();
    EXPECT_EQ(form.RiseSetPaintBox1->image.size(), form.RiseSetPaintBox1->size()) << width;
  }
  if (const char* out = std::getenv("NOCTRA_FORM_PNG")) {
    form.PageControl1->setCurrentIndex(3);
    form.grab().save(QString(out) + "/star_chart.png");
    form.PageControl1->setCurrentIndex(1);
    form.grab().save(QString(out) + "/star_size.png");
    form.PageControl1->setCurrentIndex(0);
    form.grab().save(QString(out) + "/star_general.png");
  }
}

TEST(InformationForms, SolarSystemPagesPerBody) {
  NOCTRA_REQUIRE_REFERENCE_DATA(UseReferenceData());
  SetWashington();
  TInformationForm3 form;
  ASSERT_TRUE(form.ShowBody(kSelectSolarSystem, 10));
  EXPECT_EQ(form.NameEdit1->text(), "The Sun");
  EXPECT_FALSE(form.PageControl1->isTabVisible(form.PageControl1->indexOf(form.RiseSetTabSheet1)));
  EXPECT_FALSE(form.Go->isEnabled()) << "no telescope";
  // A mount connected after the window was made: Goto follows at the next
  // filling and takes the body's J2000 place; Add POI its bare name.
  TelescopeConnected = [] { return true; };
  ASSERT_TRUE(form.ShowBody(kSelectSolarSystem, 4));
  EXPECT_EQ(form.NameEdit1->text(), "The planet Jupiter");
  EXPECT_TRUE(form.PageControl1->isTabVisible(form.PageControl1->indexOf(form.RiseSetTabSheet1)));
  ASSERT_TRUE(form.Go->isEnabled() && form.Sync->isEnabled());
  double gotoRA = -1, gotoDec = -1;
  std::string poi;
  TelescopeGotoHook = [&](double ra, double dec) { gotoRA = ra, gotoDec = dec; };
  AddPointOfInterestHook = [&](const std::string& name, double, double) { poi = name; };
  form.Go->click();
  form.AddPOI->click();
  EXPECT_EQ(gotoRA, form.info.RaJ2000);
  EXPECT_EQ(gotoDec, form.info.DecJ2000);
  EXPECT_EQ(poi, "Jupiter");
  TelescopeConnected = [] { return false; };
  TelescopeGotoHook = nullptr;
  AddPointOfInterestHook = nullptr;
  // The Moon's chart at the performance window's sampling, three client widths wide.
  VisibilityGraphSpan = 2;
  ASSERT_TRUE(form.ShowBody(kSelectSolarSystem, 9));
  EXPECT_EQ(form.RiseSetPaintBox1->chart.samples.size(), 730u);
  form.resize(700, 520);
  form.show();
  form.PageControl1->setCurrentWidget(form.RiseSetTabSheet1);
  QCoreApplication::processEvents();
  EXPECT_EQ(form.RiseSetPaintBox1->width(), 3 * form.RiseSetScrollBox1->viewport()->width());
  if (const char* out = std::getenv("NOCTRA_FORM_PNG")) form.grab().save(QString(out) + "/moon_chart.png");
  form.year = 2999;
  form.yearOffset = 0;
  form.StepYear(1);
  EXPECT_EQ(form.yearOffset, 0) << "3000 is refused";
  form.year = 2025;
  form.StepYear(1);
  EXPECT_EQ(form.yearOffset, 1);
}

TEST(InformationForms, CalendarSearchesOnItsTimer) {
  NOCTRA_REQUIRE_REFERENCE_DATA(UseReferenceData());
  SetWashington();
  TGeneralReportForm1 form;
  form.resize(900, 700);
  form.show();
  std::vector<std::pair<std::string, int>> progress;  // the flash window's gauge
  SetFlashSink({nullptr, [&](const std::string& text, int value) { progress.emplace_back(text, value); }});
  form.SetUpMonth();
  EXPECT_TRUE(form.Searching());
  EXPECT_FALSE(form.FwdMonthButton1->isVisible());
  QElapsedTimer t;
  t.start();
  while (form.Searching() && t.elapsed() < 20000) {
    QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    QThread::msleep(1);
  }
  ASSERT_FALSE(form.Searching());
  SetFlashSink({});
  ASSERT_EQ(progress.size(), 33u);  // open, 31 days, close
  EXPECT_EQ(progress.front(), std::make_pair(std::string("Searching for events..."), -1));
  EXPECT_EQ(progress.back().second, 101);
  ASSERT_TRUE(form.shown);
  EXPECT_EQ(form.shown->Month(), 1);
  EXPECT_NE(form.shown->Days()[13].text.find("Full Moon"), std::string::npos);
  EXPECT_TRUE(form.FwdMonthButton1->isVisible());
  if (const char* out = std::getenv("NOCTRA_FORM_PNG")) form.grab().save(QString(out) + "/calendar.png");
}

TEST(InformationForms, CalendarTimeNoteIsOfTheMonthShown) {
  NOCTRA_REQUIRE_REFERENCE_DATA(UseReferenceData());
  // Auckland in December 2026, daylight time (UT+13) from the last Sunday
  // of September to the first Sunday of April (4 April 2027).
  InitObserver(ObserverTime);
  SetObserverLocation(ObserverTime, -174.76 * kDeg, -36.85 * kDeg, 0);
  TIME_ZONE_INFORMATION& tz = ObserverTime.TimeZone;
  tz.Bias = -720;
  tz.DaylightBias = -60;
  tz.DaylightDate.wMonth = 9;
  tz.DaylightDate.wDay = 5;
  tz.DaylightDate.wHour = 2;
  tz.StandardDate.wMonth = 4;
  tz.StandardDate.wDay = 1;
  tz.StandardDate.wHour = 3;
  ObserverTime.UseDaylightSaving = 1;
  SetObserverUT(ObserverTime, 2461382.5);  // 2026 December 8, 13:00 NZDT
  ASSERT_TRUE(ObserverTime.DaylightInEffect);
  TGeneralReportForm1 form;
  const struct {
    int offset;
    const char* note;
  } months[] = {{0, "Note: all times are local daylight time."},  // December 2026
                {4, "Note: all times are local time."},           // April 2027: both clocks
                {6, "Note: all times are local time."}};          // June 2027: standard time
  for (const auto& m : months) {
    form.monthOffset = m.offset;
    form.SetUpMonth();
    form.Timer1.stop();
    EXPECT_EQ(form.Label1->text().toStdString(), m.note) << m.offset;
  }
}

TEST(InformationForms, MeteorShowerPages) {
  TMeteorShowersForm1 form;
  form.show();
  EXPECT_FALSE(form.BkButton1->isVisible());
  form.StepPage(1);
  form.StepPage(1);
  EXPECT_EQ(form.page, 2);
  EXPECT_FALSE(form.FwdButton1->isVisible());
  EXPECT_TRUE(form.BkButton1->isVisible());
  form.StepPage(-5);
  EXPECT_EQ(form.page, 1);
  if (const char* out = std::getenv("NOCTRA_FORM_PNG")) form.grab().save(QString(out) + "/meteors.png");
}

}  // namespace
