// Printing to PDF: the star information page, a yearly chart and a
// calendar month, read back with Poppler's pdftotext and pdftoppm: the
// titles are on the pages and the pages are not blank.
#include <gtest/gtest.h>

#include <QImage>
#include <QPageSize>
#include <QPdfWriter>
#include <QProcess>
#include <QTemporaryDir>
#include <functional>
#include <memory>

#include "astro/observer.h"
#include "astro/precession.h"
#include "catalog/object_catalog.h"
#include "chart/drawing_colors.h"
#include "platform/drawing.h"
#include "refdata_fixture.h"
#include "shell/globals.h"
#include "tools/events_calendar.h"
#include "tools/meteor_showers.h"
#include "tools/object_info.h"
#include "tools/report_printing.h"
#include "tools/solsys_info.h"
#include "tools/star_info.h"
#include "tools/yearly_chart.h"

namespace {

constexpr double kDeg = 3.141592653589793 / 180;

// Writes one page through `draw` into a PDF at 300 dpi; returns the text
// and the share of non-white pixels of the page rendered at 50 dpi.
void PrintAndReadBack(const QString& pdf, const std::function<void(platform::DrawingContext&, int, int)>& draw,
                      std::string& text, double& inked) {
  {
    QPdfWriter writer(pdf);
    writer.setResolution(300);
    writer.setPageSize(QPageSize(QPageSize::Letter));
    writer.setTitle("Noctra Planetarium");
    platform::DrawingContext dc(&writer);
    PrintScale = PrintScaleForResolution(300, 300);
    CreateDrawingPens();
    draw(dc, writer.width(), writer.height());
  }
  PrintScale = 1;
  CreateDrawingPens();
  QProcess p;
  p.start("pdftotext", {"-layout", pdf, "-"});
  ASSERT_TRUE(p.waitForFinished(30000));
  text = p.readAllStandardOutput().toStdString();
  const QString png = pdf + ".page";
  ASSERT_EQ(QProcess::execute("pdftoppm", {"-png", "-r", "50", "-singlefile", pdf, png}), 0);
  QImage img(png + ".png");
  ASSERT_FALSE(img.isNull());
  long ink = 0;
  for (int y = 0; y < img.height(); ++y)
    for (int x = 0; x < img.width(); ++x) ink += qGray(img.pixel(x, y)) < 200;
  inked = double(ink) / (img.width() * img.height());
}

class Printing : public ::testing::Test {
 protected:
  void SetUp() override {
    NOCTRA_REQUIRE_REFERENCE_DATA(UseReferenceData());
    NOCTRA_REQUIRE_TOOL(testing_support::HavePoppler(), "pdftotext (or pdftoppm)", "poppler-utils");
    ASSERT_TRUE(dir_.isValid());
    if (const char* keep = std::getenv("NOCTRA_KEEP_PRINTS")) dir_.setAutoRemove(!*keep);
    obs_ = std::make_unique<TObserverTime>();
    InitObserver(*obs_);
    SetObserverLocation(*obs_, 77.0365 * kDeg, 38.8977 * kDeg, 0);
    obs_->TimeZone.Bias = 300;
    SetObserverUT(*obs_, 2460676.5);  // 2025 January 1, 0h UT: 31 December 2024, 19:00 EST
    obs_->PrecessionOn = 1;
    SetPrecession(*obs_, 2451545.0, obs_->JD_TT);
  }
  QTemporaryDir dir_;
  std::unique_ptr<TObserverTime> obs_;
};

TEST_F(Printing, StarInformationPage) {
  TStarInfo s;
  ASSERT_TRUE(LoadStarInfo(113271, *obs_, s));
  std::string text;
  double inked = 0;
  PrintAndReadBack(dir_.filePath("star.pdf"), [&](platform::DrawingContext& dc, int w, int h) {
    DrawStarReportPage(dc, s, *obs_, "Washington", w, h);
  }, text, inked);
  for (const char* t : {"Noctra Planetarium", "STAR INFORMATION", "Betelgeuse", "Alp Ori", "39801",
                        "From: Washington (Time Zone=-5)", "38°53.9' north", "77°02.2' west", "Visibility chart:",
                        "For the year 2024AD", "BSC Notes"})  // the local date's year
    EXPECT_NE(text.find(t), std::string::npos) << t << "\n" << text;
  EXPECT_GT(inked, 0.05) << "the page holds the chart";
}

TEST_F(Printing, YearlyChartPage) {
  std::string text;
  double inked = 0;
  PrintAndReadBack(dir_.filePath("chart.pdf"), [&](platform::DrawingContext& dc, int w, int h) {
    DrawYearlyChartPage(dc, "M42", 83.82 * kDeg, -5.39 * kDeg, *obs_, w, h);
  }, text, inked);
  for (const char* t : {"Noctra Planetarium", "Visibility chart: M42", "For the year 2024AD", "Jan", "Dec", "22:00"})
    EXPECT_NE(text.find(t), std::string::npos) << t;
  EXPECT_GT(inked, 0.2);
}

TEST_F(Printing, CalendarMonth) {
  std::vector<TBrightStar> stars;
  ASSERT_TRUE(ReadBrightStars(DataFolder + "brightstars.dat", stars));
  TEventsCalendar cal(*obs_, stars);
  cal.SearchMonth(2025, 1);
  std::string text;
  double inked = 0;
  PrintAndReadBack(dir_.filePath("calendar.pdf"), [&](platform::DrawingContext& dc, int w, int h) {
    DrawCalendarMonth(dc, cal, w, h, true, std::max(1, dc.DpiX() / 100));
  }, text, inked);
  for (const char* t : {"Noctra Planetarium", "January 2025", "Full Moon", "Quadrantid", "occulates"})
    EXPECT_NE(text.find(t), std::string::npos) << t << "\n" << text;
  EXPECT_GT(inked, 0.5) << "the grey month grid";
}

TEST_F(Printing, MeteorShowerTable) {
  std::string text;
  double inked = 0;
  int pages = 0;
  PrintAndReadBack(dir_.filePath("meteors.pdf"), [&](platform::DrawingContext& dc, int w, int h) {
    pages = PrintMeteorShowerTable(dc, w, h, [] {});
  }, text, inked);
  EXPECT_EQ(pages, 1) << "19 rows fit a letter page";
  for (const char* t : {"Noctra Planetarium", "Meteor Showers", "Date of Maximum", "Quadrantid", "January 04", "Ursid"})
    EXPECT_NE(text.find(t), std::string::npos) << t << "\n" << text;
  EXPECT_GT(inked, 0.005);
}

TEST_F(Printing, DeepSkyAndSolarSystemPages) {
  ASSERT_TRUE(ObjectCatalog->FindByName("NGC", "1976"));
  const TObjectInfo m42 = MakeObjectInfo(*ObjectCatalog, *obs_);
  std::string text;
  double inked = 0;
  PrintAndReadBack(dir_.filePath("object.pdf"), [&](platform::DrawingContext& dc, int w, int h) {
    DrawObjectReportPage(dc, m42, *obs_, "Washington", w, h);
  }, text, inked);
  for (const char* t : {"OBJECT INFORMATION", "RNGC# NGC1976", "Messier# 42", "Description (newer RNGC)", "nebula"})
    EXPECT_NE(text.find(t), std::string::npos) << t << "\n" << text;
  EXPECT_GT(inked, 0.05);

  TSolSysInfo moon;
  ASSERT_TRUE(MakeSolSysInfo(kSelectSolarSystem, 9, *obs_, moon));
  std::vector<double> ras, decs;
  ASSERT_TRUE(SampleBodyYear(kSelectSolarSystem, 9, *obs_, 2025, 365, ras, decs));
  struct Ctx {
    const std::vector<double>*r, *d;
    const TObserverTime* o;
  } ctx{&ras, &decs, obs_.get()};
  PrintAndReadBack(dir_.filePath("moon.pdf"), [&](platform::DrawingContext& dc, int w, int h) {
    DrawSolSysReportPage(dc, moon, *obs_, "Washington", w, h,
                         [](platform::DrawingContext& d, int l, int t, int cw, int ch, const void* c) {
                           const auto* x = static_cast<const Ctx*>(c);
                           DrawYearlyVisibility(d, l, t, 365, *x->d, *x->r, ch, cw, 2025, *x->o);
                         },
                         &ctx);
  }, text, inked);
  for (const char* t : {"SOLAR SYSTEM OBJECT INFORMATION", "Name: The Moon", "Orbital Elements", "Visibility chart:",
                        "For the year 2025AD"})
    EXPECT_NE(text.find(t), std::string::npos) << t << "\n" << text;
  EXPECT_EQ(text.find("Physical Properties"), std::string::npos) << "the Moon's physical page is hidden";
}

}  // namespace
