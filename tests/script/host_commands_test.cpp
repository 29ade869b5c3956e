// Host commands against the astronomy core and the chart.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <memory>

#include "astro/observer.h"
#include "astro/planets.h"
#include "astro/reference_files.h"
#include "astro/riseset.h"
#include "astro/solar_system.h"
#include "astro/sun_moon.h"
#include "astro/timescales.h"
#include "astro/transforms.h"
#include "chart/drawing_colors.h"
#include "chart/graph_misc.h"
#include "chart/plotter.h"
#include "chart/render_inputs.h"
#include "chart/styles.h"
#include "platform/bitmap.h"
#include "platform/drawing.h"
#include "script/markers.h"
#include "script_test_support.h"
#include "shell/settings_sections.h"
#include "tests/support/object_database.h"
#include "tests/support/test_support.h"

namespace {

constexpr double kDeg = 3.141592653589793 / 180.0;
// 2026 January 15, 22h UT.
constexpr double kNight = 2461056.4166667;

// Runs a script that prints values; each printed text read back as a number.
std::vector<double> Values(TTestHost& host, const std::string& script) {
  EXPECT_EQ(RunScript(script), 0) << script << " " << host.Error();
  std::vector<double> out;
  for (const std::string& t : host.Printed()) out.push_back(std::stod(t));
  return out;
}

class HostCommands : public ::testing::Test {
 protected:
  void SetUp() override {
    // A fresh record: InitObserver keeps the clip flag an earlier test set.
    ObserverTime = TObserverTime{};
    InitObserver(ObserverTime);
    SetObserverLocation(ObserverTime, -10 * kDeg, 50 * kDeg, 0);
    SetObserverUT(ObserverTime, kNight);
    ConvertElementTable();
    InitPlanetRecords(Planets);
    InitExtraElementRecord(MoonBody);
    chart_ = std::make_unique<tPlotter>();
    MainPlotter = chart_.get();
  }
  void TearDown() override {
    MainPlotter = nullptr;
    SetChartInputs({});
    FreeMarkers();
  }
  std::unique_ptr<tPlotter> chart_;
};

TEST_F(HostCommands, EquatorialAndHorizontalRoundTrip) {
  struct Case {
    double ra, dec;
  } cases[] = {{0.3, 0.9}, {2.0, -0.2}, {5.5, 0.1}};
  for (const Case& c : cases) {
    TTestHost host;
    auto v = Values(host, "EQU2HOR " + std::to_string(c.ra) + ", " + std::to_string(c.dec) +
                              ", ALT, AZ\nHOR2EQU ALT, AZ, RA, DEC\nPRINT RA\nPRINT DEC\nPRINT ALT");
    ASSERT_EQ(v.size(), 3u);
    // The two conversions invert each other; the values pass through
    // 15-digit texts: 1e-12 rad.
    EXPECT_NEAR(v[0], c.ra, 1e-12);
    EXPECT_NEAR(v[1], c.dec, 1e-12);
    double alt, az;
    EquatorialToHorizontal(ObserverTime, alt, az, c.ra, c.dec);
    EXPECT_NEAR(v[2], alt, 1e-12);
  }
}

TEST_F(HostCommands, Equ2HorGivesTrueAltitudesWhateverTheClipFlag) {
  ObserverTime.ClipBelowHorizon = 1;
  TTestHost host;
  // The south celestial pole region never rises at 50° north.
  auto v = Values(host, "EQU2HOR 1, -1.4, ALT, AZ\nPRINT ALT\nGET_HOR \"SUN\", A, Z\nPRINT A");
  ASSERT_EQ(v.size(), 2u);
  EXPECT_LT(v[0], -0.5);
  EXPECT_LT(v[1], -0.5);  // the Sun at 22h UT in January, far below
  EXPECT_EQ(ObserverTime.ClipBelowHorizon, 1);
}

TEST_F(HostCommands, GregorianDateOfAJulianDateAndBack) {
  TTestHost host;
  // Meeus, Astronomical Algorithms, ch. 7: JD 2451545.0 = 2000 January 1, 12h.
  auto v = Values(host, "GREG 2451545.0, Y, M, D, H\nPRINT Y\nPRINT M\nPRINT D\nPRINT H\n"
                        "PRINT JULIAN(Y, M, D + H / 24)");
  EXPECT_EQ(v, (std::vector<double>{2000, 1, 1, 12, 2451545}));
  TTestHost host2;
  EXPECT_EQ(RunScript("GREG 990557.5, Y, M, D, H"), 1);
  EXPECT_EQ(host2.Error(), ErrorAt(1, 51));
}

TEST_F(HostCommands, RiseTransitAndSetAreTheCoresTimes) {
  TTestHost host;
  auto v = Values(host, "PRINT RISE_LMT(1.2, 0.3)\nPRINT TRANS_LMT(1.2, 0.3)\nPRINT SET_LMT(1.2, 0.3)\n"
                        "PRINT RISE_LMT(1, -1.4)");
  double rise, transit, set;
  RiseTransitSetLocal(ObserverTime, 1.2, 0.3, kStarStandardAltitude, rise, transit, set);
  ASSERT_EQ(v.size(), 4u);
  EXPECT_NEAR(v[0], rise, 1e-12);
  EXPECT_NEAR(v[1], transit, 1e-12);
  EXPECT_NEAR(v[2], set, 1e-12);
  EXPECT_EQ(v[3], NoEvent);
}

TEST_F(HostCommands, BodiesAreComputedForTheInstantJustSet) {
  constexpr double kLater = 2461100.25;
  TTestHost host;
  auto v = Values(host, "SET_JD " + std::to_string(kLater) +
                            "\nGET_JD J\nPRINT J\nGET_EQU \"MOON\", R, D\nPRINT R\nPRINT D\n"
                            "GET_EQU \"PLANET\", 4, R, D\nPRINT R\nPRINT D");
  ASSERT_EQ(v.size(), 5u);
  EXPECT_NEAR(v[0], kLater, 1e-6);
  EXPECT_EQ(chart_->Replot, 1);
  // The same bodies computed by the core on a copy at that instant.
  auto obs = std::make_unique<TObserverTime>(ObserverTime);
  TSolarContext ctx{};
  ctx.NovasOff = 1;
  CalcSun(ctx, *obs);
  TSolSysBody moon = MoonBody, mars = Planets[3];
  moon.LastJD = mars.LastJD = 0;
  CalcMoon(ctx, *obs, moon);
  CalcEarthOrbit(ctx, *obs);
  CalcPlanet(ctx, *obs, mars);
  // Values pass through 15-digit texts: 1e-12 rad.
  EXPECT_NEAR(v[1], moon.RA, 1e-12);
  EXPECT_NEAR(v[2], moon.Dec, 1e-12);
  EXPECT_NEAR(v[3], mars.RA, 1e-12);
  EXPECT_NEAR(v[4], mars.Dec, 1e-12);
}

TEST_F(HostCommands, TimeAndEclipticCommandsMatchTheCore) {
  TTestHost host;
  // The system clock reads 2026-06-21 03:00:00.4 UTC: JD 2461212.625 to
  // the whole second.
  testing_support::ScopedClock clock(1782010800.4);
  auto v = Values(host, "ECL2EQU 0.1, 2.0, R, D\nPRINT R\nPRINT D\nGET_LST L\nPRINT L\n"
                        "SET_JDL 2461056.5\nGET_JDL J\nPRINT J\nGET_JD U\nPRINT U\n"
                        "SET_JDDL 2461056.5\nGET_JDDL K\nPRINT K\nGET_ACTUALJD A\nPRINT A");
  ASSERT_EQ(v.size(), 7u);
  double ra, dec;
  // Observer with the last SET_JDDL instant: the ecliptic conversion ran
  // before it, on the first instant.
  auto first = std::make_unique<TObserverTime>(ObserverTime);
  SetObserverUT(*first, kNight);
  EclipticToEquatorial(*first, ra, dec, 2.0, 0.1);
  EXPECT_NEAR(v[0], ra, 1e-12);
  EXPECT_NEAR(v[1], dec, 1e-12);
  double lst;
  LocalSiderealTime(*first, lst, first->JD_TT);
  EXPECT_NEAR(v[2], lst, 1e-12);
  EXPECT_NEAR(v[3], 2461056.5, 1e-9);
  // The zone of the observer record: universal time = local standard + bias.
  EXPECT_NEAR(v[4], 2461056.5 + ObserverTime.TimeZone.Bias / 1440.0, 1e-9);
  EXPECT_NEAR(v[5], 2461056.5, 1e-9);
  // The system clock, to the second (a slow machine may take some seconds
  // to get there).
  EXPECT_NEAR(v[6], 2461212.625, 5.0 / 86400.0);
  EXPECT_GE(v[6], 2461212.625);
}

TEST_F(HostCommands, CatalogueObjectsAreFoundUnderTheObjectLock) {
  // M31 of date from ERFA (pyerfa 2.0, eraPmat76 at TT 2461041.5).
  constexpr double kM31RADate = 0.19271671626138612;
  constexpr double kM31DEDate = 0.7227566150969414;
  SetObserverTT(ObserverTime, 2461041.5);
  ObjectDatabase data;
  ObjectCatalog = std::make_unique<tCO>(data.path, data.Names());
  MessierToRngc[31] = 224;
  TTestHost host;
  auto v = Values(host, "GET_EQU \"NGC\", 224, R, D\nPRINT R\nPRINT D\nGET_EQU \"MES\", 31, R, D\nPRINT R");
  ASSERT_EQ(v.size(), 3u);
  EXPECT_NEAR(v[0], kM31RADate, 1e-9);  // IAU 1976 precession against ERFA's matrix
  EXPECT_NEAR(v[1], kM31DEDate, 1e-9);
  EXPECT_NEAR(v[2], kM31RADate, 1e-9);
  TTestHost host2;
  EXPECT_EQ(RunScript("GET_EQU \"NGC\", 9999, R, D"), 1);
  EXPECT_EQ(host2.Error(), ErrorAt(1, 51));
  EXPECT_TRUE(LockFreeWithin(testing_support::kWaitMs));
  ObjectCatalog.reset();
}

struct TCommandFault {
  const char* script;
  int code;
};

TEST_F(HostCommands, ArgumentFaultsGiveTheirCodes) {
  const TCommandFault cases[] = {
      {"SET_JD -1", 3},
      {"SET_JD 9999999", 3},
      {"GET_EQU \"PLANET\", 3, R, D", 51},
      {"GET_EQU \"PLANET\", 10, R, D", 51},
      {"GET_EQU \"LOCK\", R, D", 51},
      {"GET_EQU \"NGC\", 1.5, R, D", 51},
      {"SET_CENTER \"CON\", \"XYZ\"", 3},
      {"SET_CENTER \"LOCK\"", 3},
      {"SET_LOC 2.0, 1, 0", 51},
      {"SET_LOC 0.5, 7, 0", 51},
      {"SET_LOC 0.5, 1, 13", 51},
      {"SET_SCALE 0", 51},
      {"SET_SCALE 41", 51},
      {"MARK 1, 0, 0, 1, 0, 0, 0, \"+\", \"\"", 29},
      {"MARKERS 0\nMARK 1, 0, 0, 1, 0, 0, 0, \"+\", \"\"", 29},
      {"MARKERS 2\nMARK 3, 0, 0, 1, 0, 0, 0, \"+\", \"\"", 21},
      {"MARKERS 10001", 51},
      {"MARKERS 1\nMARK 1, 0, 0, 1E12, 0, 0, 0, \"+\", \"\"", 51},
      {"WAIT 3601", 3},
      {"WAIT 1, 2", 3},
      {"EQU2HOR 1, 2, A", 3},
      {"READ_SETTINGS_FILE \"/no/such/file.ssf\"", 60},
      {"PRINT_MAP \"bw\"", 3},
      {"PRINT_MAP \"POI,POIALL\"", 3},
      {"PRINT_MAP \"\"", kPrinterError},
      {"INSERT_MAINMENU 0, \"&Extra\"", 41},
      {"CLEAR_MENUS NOW", 3},
  };
  for (const TCommandFault& c : cases) {
    TTestHost host;
    int lines = int(std::count(c.script, c.script + std::strlen(c.script), '\n')) + 1;
    EXPECT_EQ(RunScript(c.script), lines) << c.script;
    EXPECT_EQ(host.Error(), ErrorAt(lines, c.code)) << c.script;
  }
}

TEST_F(HostCommands, ViewCommandsSetTheChartCentreAndScale) {
  TTestHost host;
  chart_->TrackKind = kTrackSolarSystem;
  chart_->TrackIndex = 4;
  auto v = Values(host, "SET_SCALE 2.5\nGET_SCALE Z\nPRINT Z\nSET_CENTER \"EQU\", 1.25, 0.5\n"
                        "SET_CENTER \"CON\", \"ori\"\nGET_EQU \"CON\", \"ORI\", R, D\nPRINT R\nPRINT D");
  ASSERT_EQ(v.size(), 3u);
  EXPECT_EQ(v[0], 2.5);
  EXPECT_EQ(chart_->Zoom, 2.5);
  EXPECT_EQ(chart_->ZenithView, 0);
  EXPECT_EQ(chart_->TrackKind, kTrackNone);
  EXPECT_NEAR(chart_->CentreRA, v[1], 1e-12);
  EXPECT_NEAR(chart_->CentreDec, v[2], 1e-12);
}

// Place, time, centre on Mars, zoom 6: the centre the chart holds, turned
// back into right ascension and declination for the new place and instant
// as the next render does, is Mars, whatever the chart's copy of the
// observer from its last render.
TEST_F(HostCommands, CentreAfterPlaceAndTimeIsTheBodyThen) {
  chart_->Observer = ObserverTime;
  TTestHost host;
  ASSERT_EQ(RunScript("SET_LOC 50 / RAD, 350 / RAD, 1\nSET_JD 2461456.375\nSET_CENTER \"PLANET\", 4\nSET_SCALE 6"), 0)
      << host.Error();
  double ra, dec;
  HorizontalToEquatorial(ObserverTime, ra, dec, chart_->HeldAz, chart_->HeldAlt);
  // Mars at 2027-02-19 21:00 UTC from 50° N, 10° E, apparent topocentric
  // place of date (astropy 5.2.1, TETE frame); the core's theory to 1'.
  EXPECT_NEAR(ra, 2.6943776874459355, 3e-4);
  EXPECT_NEAR(dec, 0.2687448802093429, 3e-4);
  EXPECT_EQ(chart_->CentreName, "The Planet Mars");
}

TEST_F(HostCommands, SetLocMovesTheObserver) {
  TTestHost host;
  auto v = Values(host, "SET_LOC -0.5, 1.0, -3\nGET_LOC A, B, C\nPRINT A\nPRINT B\nPRINT C");
  EXPECT_EQ(v, (std::vector<double>{-0.5, 1.0, -3}));
}

TEST_F(HostCommands, MarkersAreZeroFilledAndDrawnByTheChart) {
  SetDefaultObjectColors();
  SetDefaultStyleFonts();
  MakeDrawingColors();
  TChartInputs in;
  MarkerInputs(in);
  SetChartInputs(in);
  chart_->Width = 800;
  chart_->Height = 600;
  chart_->DpiX = chart_->DpiY = 96;
  chart_->ShowObjects = chart_->ShowGrid = chart_->ShowHorizon = 0;
  chart_->PlanetLabels = chart_->MoonLabel = chart_->SunLabel = 0;
  chart_->ZenithView = 1;
  chart_->Zoom = 1;
  chart_->Observer = ObserverTime;
  TTestHost host;
  // Two points 30° up in the south-east and south-west, joined; markers 3
  // and 4 never set.
  ASSERT_EQ(RunScript("MARKERS 4\nHOR2EQU 0.5235987755982988, 2.6179938779914944, R, D\n"
                      "MARK 1, R, D, 2, 255, 300, 255, \"+\", \"a\"\n"
                      "HOR2EQU 0.5235987755982988, 3.6651914291880923, R, D\n"
                      "MARK 2, R, D, 2, 255, 255, 255, \"+\", \"b\""),
            0)
      << host.Error();
  EXPECT_EQ(MarkerCount, 2);
  EXPECT_EQ(Markers[0].Color, 0x00FFFFFF);  // 300 is taken as 255
  EXPECT_EQ(Markers[3].RA, -1.0);
  EXPECT_EQ(Markers[3].Dec, 0.0);
  EXPECT_EQ(Markers[3].Color, 0);
  EXPECT_TRUE(Markers[3].Text.empty());
  TChartMarker m;
  EXPECT_FALSE(ScriptMarker(3, m));
  auto draw = [&] {
    platform::Bitmap bitmap(800, 600);
    platform::DrawingContext dc(bitmap);
    chart_->Plot(dc, &bitmap);
    int lit = 0;
    for (int y = 0; y < 600; ++y)
      for (int x = 0; x < 800; ++x)
        if ((bitmap.Pixel(x, y) & 0xFFFFFF) == 0xFFFFFF) ++lit;
    return lit;
  };
  int withMarkers = draw();
  if (const char* png = std::getenv("NOCTRA_SCRIPT_MARKER_PNG")) {
    platform::Bitmap bitmap(800, 600);
    platform::DrawingContext dc(bitmap);
    chart_->Plot(dc, &bitmap);
    bitmap.Image().save(png);
  }
  ASSERT_EQ(RunScript("MARKERS 0"), 0);
  int without = draw();
  // The line across the south is some 200 pixels long.
  EXPECT_GT(withMarkers, without + 150);
}

TEST_F(HostCommands, ReadSettingsFileAppliesASavedFileAndRunsEveryReader) {
  testing_support::TempDir dir;
  int absentCalls = 0;
  RegisterSettingsSection(11, {SettingsBlockBytes(11), [&] { return chart_->ViewBlock(); },
                               [&](const std::vector<uint8_t>* b) { return b && chart_->ApplyViewBlock(*b); }});
  RegisterSettingsSection(10, {SettingsBlockBytes(10), [] { return std::vector<uint8_t>(SettingsBlockBytes(10)); },
                               [&](const std::vector<uint8_t>* b) {
                                 absentCalls += b == nullptr;
                                 return true;
                               }});
  chart_->Zoom = 3.0;
  // Kind 1 leaves slot 10 out.
  ASSERT_TRUE(WriteSettingsFile(dir.File("view.ssf"), 1));
  chart_->Zoom = 1.0;
  TTestHost host;
  EXPECT_EQ(RunScript("READ_SETTINGS_FILE \"" + dir.File("view.ssf") + "\""), 0) << host.Error();
  EXPECT_EQ(chart_->Zoom, 3.0);
  EXPECT_EQ(absentCalls, 1);
  UnregisterAllSettingsSectionsForTest();
}

TEST_F(HostCommands, WaitEndsAtItsTimeOrAtAStop) {
  TTestHost host;
  EXPECT_EQ(RunScript("WAIT 2"), 0);
  EXPECT_GE(host.clock, 2000u);
  TTestHost host2;
  host2.onEvents = [&] {
    if (host2.pumps == 5) ScriptStopFlag = 1;
  };
  EXPECT_EQ(RunScript("WAIT 3600\nPRINT 1"), 1);
  EXPECT_LT(host2.clock, 1000u);
}

// A host that records the print choices.
class TPrintHost : public TTestHost {
 public:
  bool PrintMap(const TScriptPrintOptions& o) override {
    printed.push_back(o);
    return true;
  }
  int PointOfInterestCount() override { return points; }
  std::vector<TScriptPrintOptions> printed;
  int points = 0;
};

TEST_F(HostCommands, PrintMapOptionsReachThePrinter) {
  TPrintHost host;
  host.points = 2;
  ASSERT_EQ(RunScript("PRINT_MAP \"BW,SUMMARY\"\nPRINT_MAP \"POIALL,POIONLY\"\nPRINT_MAP \"\""), 0) << host.Error();
  ASSERT_EQ(host.printed.size(), 3u);
  EXPECT_TRUE(host.printed[0].blackWhite && host.printed[0].summary && host.printed[0].chart);
  EXPECT_FALSE(host.printed[0].pointsOfInterest);
  EXPECT_TRUE(host.printed[1].allPoints && host.printed[1].pointsOfInterest && !host.printed[1].chart);
  EXPECT_TRUE(host.printed[2].chart && !host.printed[2].blackWhite && !host.printed[2].summary);
  // POIONLY alone prints the visible points, never a job of no pages.
  ASSERT_EQ(RunScript("PRINT_MAP \"POIONLY\""), 0);
  ASSERT_EQ(host.printed.size(), 4u);
  EXPECT_TRUE(host.printed[3].pointsOfInterest && !host.printed[3].chart && !host.printed[3].allPoints);
  host.points = 0;
  ASSERT_EQ(RunScript("PRINT_MAP \"POIONLY\"\nPRINT_MAP \"POI\""), 0);
  ASSERT_EQ(host.printed.size(), 5u);
  EXPECT_FALSE(host.printed[4].pointsOfInterest);
}

}  // namespace
