// The object search on a small database, one star with its note, the
// planets, constellations, one asteroid and one comet.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <map>
#include <memory>

#include "astro/observer.h"
#include "astro/precession.h"
#include "astro/reference_files.h"
#include "astro/solar_system.h"
#include "astro/timescales.h"
#include "astro/trig.h"
#include "catalog/object_catalog.h"
#include "catalog/object_options.h"
#include "catalog/sqlite_db.h"
#include "catalog/stars.h"
#include "chart/graph_misc.h"
#include "chart/headless_scene.h"
#include "chart/plotter.h"
#include "data/stars.h"
#include "platform/drawing.h"
#include "shell/globals.h"
#include "tests/support/test_support.h"
#include "tools/find.h"
#include "tools/solsys_info.h"

namespace {

constexpr double kRad = 1.0 / DegPerRad;
const char* kSchema =
    " (idx INTEGER, ID VARCHAR(255), SubID VARCHAR(255), CL VARCHAR(255), SubCL VARCHAR(255), "
    "RA DOUBLE, DE DOUBLE, Mv FLOAT, MaA INTEGER, MiA INTEGER, PA INTEGER, DIST DOUBLE, "
    "RNGCOld VARCHAR(255), RNGCNew VARCHAR(255))";

TSaoStar Star(uint32_t sao, double raDeg, double decDeg, uint32_t note) {
  TSaoStar s;
  s.RA = float(raDeg * kRad), s.Dec = float(decDeg * kRad), s.NoteOffset = note;
  s.SaoLow = uint16_t(sao & 0xFFFF), s.SaoHigh = uint8_t(sao >> 16);
  return s;
}

class FindTest : public testing::Test {
 protected:
  void SetUp() override {
    DataFolder = dir.Path();
    {
      TSQLiteDatabase db(dir.File("Objects.sqlite"), true);
      db.Execute(std::string("CREATE TABLE BASE_OBJECT_CATALOG") + kSchema);
      // M31 with a description longer than 255 characters before its aliases.
      db.Execute("INSERT INTO BASE_OBJECT_CATALOG VALUES (1, '224', NULL, '5', 'Sb', 0.18648, 0.72028, 3.4, "
                 "1778, 697, 35, NULL, '" + std::string(300, 'x') + "', 'ANDROMEDA GALAXY; PGC 2557')");
      db.Execute("INSERT INTO BASE_OBJECT_CATALOG VALUES (2, '1976', NULL, '3', '', 1.46291, -0.09407, 4.0, "
                 "900, 600, NULL, NULL, NULL, 'GREAT ORION NEBULA')");
    }
    ObjectCatalog = std::make_unique<tCO>(dir.File("Objects.sqlite"), std::vector<std::string>{"BASE_OBJECT_CATALOG"});
    MessierToRngc[31] = 224;
    MessierToRngc[42] = 1976;
    // Notes separated by "|"; offsets are 1-based.
    testing_support::WriteText(dir.File("yale_notes.dat"), "N:   Sirius~ID:  alpha CMa (9 CMa)|N:   Achernar|N:   Hidden|");
    SaoStars = {Star(151881, 101.29, -16.72, 1), Star(232481, 24.43, -57.24, 39), Star(999, 101.0, -16.0, 0)};
    SaoStarCount = 3;
    AsteroidCount = 1, CometCount = 1;
    Asteroids[0].Name.assign("Ceres");
    Asteroids[0].RA = 1.0, Asteroids[0].Dec = 0.2;
    Comets[0].Name.assign("C/2020 F3 (NEOWISE)");
    Comets[0].RA = 2.0, Comets[0].Dec = -0.1;
    // London, 2024 January 1, 0h UT: Sirius is up, the Sun is down.
    InitObserver(ObserverTime);
    ObserverTime.PrecessionOn = 0;
    SetObserverLocation(ObserverTime, 0.1 * kRad, 51.5 * kRad, 0);
    SetObserverUT(ObserverTime, 2460310.5);
    plotter = std::make_unique<tPlotter>();
    MainPlotter = plotter.get();
  }
  void TearDown() override {
    ObjectCatalog.reset();
    SaoStars.clear();
    SaoStarCount = AsteroidCount = CometCount = 0;
    MainPlotter = nullptr;
    FindActions = {};
    DataFolder.clear();
  }
  std::vector<std::string> Find(const std::string& text, int scope = kScopeAll) {
    std::vector<std::string> shown;
    for (const auto& l : SearchObjects(NormaliseQuery(text), scope, ObserverTime)) shown.push_back(ResultDisplayText(l));
    return shown;
  }
  testing_support::TempDir dir;
  std::unique_ptr<tPlotter> plotter;
};

using Lines = std::vector<std::string>;

TEST(FindQuery, Normalisation) {
  struct Case {
    const char *in, *out;
  } cases[] = {{"m 31", "M31"},       {"NGC 7000", "NGC7000"}, {"alpha cen", "ALPHA CEN"},
               {" 3 4 ", "3 4"},      {"sol sys", "SOL SYS"},  {"M 31 ", "M31"}};
  for (const Case& c : cases) EXPECT_EQ(NormaliseQuery(c.in), c.out) << c.in;
}

TEST_F(FindTest, FindsEachKindByName) {
  struct Case {
    const char* query;
    Lines expected;
  } cases[] = {
      {"m 31", {"The object NGC224 (M31)"}},
      {"M31", {"The object NGC224 (M31)"}},
      {"messier31", {"The object NGC224 (M31)"}},
      {"NGC224", {"The object NGC224 (M31)"}},
      {"Andromeda Galaxy", {"The object NGC224 (M31)"}},
      {"Sirius", {"The star SAO 151881"}},
      {"Mars", {"The Planet Mars+"}},
      {"the planet saturn", {"The Planet Saturn+"}},
      {"planet saturn", {}},
      {"earth", {}},
      {"Orion", {"The Constellation Orion", "The object NGC1976 (M42)"}},
      {"ORI", {"The Constellation Orion", "The object NGC1976 (M42)"}},
      {"ceres", {"The Asteroid Ceres"}},
      {"neowise", {"The Comet C/2020 F3 (NEOWISE)"}},
      // Designations with a blank between number and letters, typed as
      // they are written or run together.
      {"PGC 2557", {"The object NGC224 (M31)"}},
      {"pgc2557", {"The object NGC224 (M31)"}},
      {"9 CMa", {"The star SAO 151881"}},
      {"C/2020 F3", {"The Comet C/2020 F3 (NEOWISE)"}},
      {"sun", {"Our Sun+"}},
      {"xyzzy junk", {}},
  };
  // Local sidereal time about 6.7 h: planets placed at RA 0, Dec 0 are
  // below London's horizon, the asteroid (RA 3.8 h) and comet (7.6 h) above.
  for (int p = 0; p < kPlanetCount; ++p) Planets[p].RA = Planets[p].Dec = 0;
  for (const Case& c : cases) EXPECT_EQ(Find(c.query), c.expected) << c.query;
  EXPECT_EQ(Find("planets").size(), 8u);
  EXPECT_EQ(Find("solar system").size(), 10u);
}

// A search over a damaged or unreadable object database says so (the start
// told it too): deep-sky objects may be missing from what it found.
TEST_F(FindTest, ADamagedOrUnreadableObjectDatabaseIsSaidWithTheSearch) {
  EXPECT_EQ(Find("PGC 2557"), Lines({"The object NGC224 (M31)"}));
  EXPECT_EQ(ObjectDatabaseSearchNote(), "");
  ObjectCatalog.reset();
  EXPECT_EQ(ObjectDatabaseSearchNote(),
            "Deep-sky objects were not searched: the object database Objects.sqlite could not be read.");
  TSQLiteDatabase(dir.File("Objects.sqlite")).Execute("DROP TABLE BASE_OBJECT_CATALOG");
  ObjectCatalog = std::make_unique<tCO>(dir.File("Objects.sqlite"), std::vector<std::string>{"BASE_OBJECT_CATALOG"});
  EXPECT_TRUE(Find("PGC 2557").empty());
  EXPECT_EQ(ObjectDatabaseSearchNote(),
            "Deep-sky objects may be missing: the object database Objects.sqlite is damaged (no such table: "
            "BASE_OBJECT_CATALOG).");
}

// A catalogue named in two slots in other letter case (SQLite's table
// names ignore case), or twice in the list the database is opened with, is
// one catalogue: each of its objects is found once.
TEST_F(FindTest, ACatalogueNamedInTwoSlotsIsFoundOnce) {
  ProgramFolder = DataFolder;
  {
    TSQLiteDatabase db(dir.File("Objects.sqlite"));
    db.Execute(std::string("CREATE TABLE extra") + kSchema);
    db.Execute("INSERT INTO extra (idx, ID, CL, RA, DE, Mv) VALUES (1, 'Q1', '1', 1.46, -0.09, 5)");
  }
  TCatalogSlots mine = DefaultCatalogSlots();
  mine[1] = {"extra", "Mine", false};
  mine[2] = {"EXTRA", "Mine again", true};
  ASSERT_TRUE(WriteCatalogSlots(mine, ObjectOptionsPath()));
  ObjectCatalog = OpenObjectCatalog(CatalogTableList(ReadCatalogSlots()));
  EXPECT_EQ(Find("extraq1"), Lines{"The object EXTRAQ1"});
  ObjectCatalog = std::make_unique<tCO>(dir.File("Objects.sqlite"), std::vector<std::string>{kBaseCatalogTable, "extra", "EXTRA"});
  EXPECT_EQ(ObjectCatalog->TableCount(), 2);
  ProgramFolder.clear();
}

// A star whose note the data builder wrote is found by the SAO number the
// result list shows, typed with or without its blank.
TEST_F(FindTest, FindsAStarByTheSaoNumberItShows) {
  mkdata::StarTable t;
  t.byHip[1].ra = 101.0 * kRad, t.byHip[1].dec = -16.0 * kRad;
  const mkdata::SaoFileContent f = mkdata::BuildSaoFile(t, {{1, "", 49941, 0, 0}});
  testing_support::WriteText(dir.File("yale_notes.dat"), f.notes.Text());
  SaoStars = {Star(49941, 101.0, -16.0, f.records.at(49941).noteOffset)};
  SaoStarCount = 1;
  for (const char* query : {"SAO 49941", "sao49941"}) EXPECT_EQ(Find(query), Lines{"The star SAO 49941"}) << query;
}

// Achernar (-57°) never rises at 51.5°N: "*" in scope 1, absent in scope 2.
// The Sun is down: absent in scope 3.
TEST_F(FindTest, Scopes) {
  EXPECT_EQ(Find("achernar", kScopeAll), Lines{"The star SAO 232481*"});
  EXPECT_EQ(Find("achernar", kScopeLocation), Lines{});
  EXPECT_EQ(Find("sirius", kScopeLocationTime), Lines{"The star SAO 151881"});
  EXPECT_EQ(Find("sun", kScopeLocationTime), Lines{});
  EXPECT_EQ(Find("sun", kScopeLocation), Lines{"Our Sun+"});
}

TEST_F(FindTest, SelectionAndCommands) {
  std::string status;
  FindActions.StatusText = [&](int panel, const std::string& t) { status = std::to_string(panel) + t; };
  const auto m31 = SearchObjects("M31", kScopeAll, ObserverTime);
  ASSERT_EQ(m31.size(), 1u);
  TFoundObject f = SelectFoundObject(m31[0], ObserverTime);
  EXPECT_EQ(f.Kind, kFoundObject);
  EXPECT_EQ(f.Index, 1);
  EXPECT_NEAR(f.Dec, 0.72028, 0.01);  // J2000 precessed to the chart date: well within 0.01 rad
  ASSERT_TRUE(CenterOnFound(f));
  EXPECT_EQ(MainPlotter->CentreRA, f.RA);
  EXPECT_EQ(MainPlotter->ZenithView, 0);

  f = SelectFoundObject("The star SAO 151881", ObserverTime);
  EXPECT_EQ(f.Kind, kFoundStar);
  EXPECT_EQ(f.Index, 1);
  EXPECT_GT(f.Altitude, 0);

  f = SelectFoundObject("Our Sun+", ObserverTime);
  EXPECT_EQ(f.Kind, kFoundSolarSystem);
  EXPECT_EQ(f.Index, 10);
  EXPECT_FALSE(FindCommands(f).Center);  // below the horizon
  ASSERT_TRUE(TrackFound(f));
  EXPECT_EQ(status, "4Tracking: The Sun");
  EXPECT_EQ(MainPlotter->TrackKind, 5);
  EXPECT_EQ(MainPlotter->TrackIndex, 10);

  f = SelectFoundObject("The Constellation Orion", ObserverTime);
  EXPECT_EQ(f.Kind, kFoundConstellation);
  EXPECT_FALSE(FindCommands(f).Information);
  EXPECT_FALSE(FindCommands(f).Track);
  f = SelectFoundObject("The Planet Earth", ObserverTime);
  EXPECT_EQ(f.Index, -1);
  EXPECT_FALSE(FindCommands(f).Information);
  f = SelectFoundObject("Nothing found.", ObserverTime);
  EXPECT_EQ(f.Kind, kFoundNone);
  const TFindCommands none = FindCommands(f);
  EXPECT_FALSE(none.Center || none.Track || none.Information);
}

// Minutes after the clock's midnight of the time "[tomorrow ]at h:mm" that
// follows `after` in a note (a day more after "tomorrow"); -1 without one.
int NoteMinutes(const std::string& note, const std::string& after = "rises ") {
  const std::size_t p = note.find(after);
  if (p == std::string::npos) return -1;
  const char* at = note.c_str() + p + after.size();
  const int day = std::strncmp(at, "tomorrow ", 9) == 0 ? (at += 9, 1440) : 0;
  int h = 0, m = 0;
  return std::sscanf(at, "at %d:%d", &h, &m) == 2 ? day + h * 60 + m : -1;
}

// A result below the horizon is not centred: the status bar says why and
// when it next rises on the standard horizon, where its centre stands at
// -0°34′. A star at RA 0, Dec 0 seen from 51.5°N then rises at hour angle
// -6h03.64m (cos H0 = sin(-0.5667°) / cos 51.5°), local sidereal time
// 17h56.36m; with Greenwich mean sidereal time at 0h UT from Meeus,
// "Astronomical Algorithms", eq. 12.4 (6.67684 h on 2024 January 1) and
// the observer at 0.1°W, that is 11:14.3 UT; from 23:30 UT, after it set,
// the next one is 11:10.4 UT the day after. Clock time is UT here.
TEST_F(FindTest, BelowTheHorizonSaysWhyAndWhenItRises) {
  std::map<int, std::string> panels;
  FindActions.StatusText = [&](int panel, const std::string& t) { panels[panel] = t; };
  FindActions.ClearStatusText = [&](int panel, const std::string& t) {
    if (panels[panel] == t) panels[panel].clear();
  };
  SaoStars.push_back(Star(128000, 0.0, 0.0, 0));
  SaoStarCount = 4;
  const std::string line = "The star SAO 128000+";
  MainPlotter->CentreRA = 3.0;
  TFoundObject star = SelectFoundObject(line, ObserverTime);
  ASSERT_EQ(star.Kind, kFoundStar);
  EXPECT_FALSE(ChooseFound(star, line, ObserverTime));
  EXPECT_EQ(MainPlotter->CentreRA, 3.0);  // not centred
  EXPECT_EQ(panels[0].rfind("The star SAO 128000 is below the horizon: it rises at ", 0), 0u) << panels[0];
  EXPECT_NEAR(NoteMinutes(panels[0]), 11 * 60 + 14.3, 1.0) << panels[0];  // rounded minutes
  // Sirius is up: centred, and the note goes.
  EXPECT_TRUE(ChooseFound(SelectFoundObject("The star SAO 151881", ObserverTime), "The star SAO 151881", ObserverTime));
  EXPECT_EQ(panels[0], "");
  EXPECT_FLOAT_EQ(float(MainPlotter->CentreRA), SaoStars[0].RA);
  // Achernar never rises at 51.5°N.
  const TFoundObject achernar = SelectFoundObject("The star SAO 232481*", ObserverTime);
  EXPECT_EQ(BelowHorizonText(achernar, "The star SAO 232481*", ObserverTime),
            "The star SAO 232481 is below the horizon and never rises here.");
  // Late the same evening, after it set, the next rise is tomorrow's.
  SetObserverUT(ObserverTime, 2460310.5 + 23.5 / 24.0);
  star = SelectFoundObject(line, ObserverTime);
  ASSERT_LE(star.Altitude, 0);
  const std::string later = BelowHorizonText(star, line, ObserverTime);
  EXPECT_EQ(later.rfind("The star SAO 128000 is below the horizon: it rises tomorrow at ", 0), 0u) << later;
  EXPECT_NEAR(NoteMinutes(later), 24 * 60 + 11 * 60 + 10.4, 1.0) << later;
  // Tromsø (69.65°N) on 2024 December 21 at noon UT: the Sun stays 3° below
  // the horizon all day (polar night).
  SetObserverLocation(ObserverTime, 18.96 * kRad, 69.65 * kRad, 0);
  SetObserverUT(ObserverTime, 2460666.0);
  const TFoundObject sun = SelectFoundObject("Our Sun+", ObserverTime);
  EXPECT_EQ(BelowHorizonText(sun, "Our Sun+", ObserverTime),
            "Our Sun is below the horizon and does not rise within the next 24 hours.");
}

// Rise times on the standard horizon at the fixture's London (51.5°N,
// 0.1°W, clock time UT), computed once with astropy 5.2.1 (python3-astropy)
// by tests/tools/make_find_rise_refs.py: the instant the topocentric true
// altitude of the centre (AltAz without refraction) reaches -0°34′ (Rigel,
// Jupiter), -0°50′ (the Sun) or -0°34′ less the Moon's semi-diameter (its
// upper limb), and 0 for the centre; UT hours of the day.
constexpr double kRigelRises = 16.5539;         // 2026-01-10 16:33:14 UT
constexpr double kJupiterRises = 15.9761;       // 2026-01-10 15:58:34
constexpr double kSunRises = 8.0483;            // 2026-01-10 08:02:54
constexpr double kSunRisesNextDay = 8.0380;     // 2026-01-11 08:02:17
constexpr double kMoonRises = 24 + 1.2445;      // 2026-01-11 01:14:40
constexpr double kMoonCentreRises = 24 + 1.3434;  // 2026-01-11 01:20:36
// Rigel (Hipparcos, ICRS J2000).
constexpr double kRigelRA = 78.634467, kRigelDec = -8.201638;

// The star, Jupiter, the Sun and the Moon below the horizon: the note's
// rise is the almanac's, within a minute (the note rounds to the minute;
// astropy's ephemerides and ours agree to seconds). Refraction shows a
// rising body before its centre reaches altitude 0, where Find counts it
// above the horizon and centres it: the Moon at 01:17 UT on January 11 has
// risen on the standard horizon but its centre has not, and the note says
// both. The Sun at 16:10 UT on January 10, its centre below the horizon
// since 16:06:37 but on the standard horizon until 16:13:16, sets: the note
// gives the next sunrise.
TEST_F(FindTest, RiseTimesAreTheAlmanacs) {
  InitHeadlessSky();
  SaoStars.push_back(Star(131907, 0.0, 0.0, 0));  // Rigel
  SaoStarCount = 4;
  const double jan10 = JulianDay(2026, 1, 10, 0.0);
  // The chart's state at an instant: its epoch, Rigel converted from the
  // catalogue as the star loader does, and the planets' places.
  auto at = [&](double hoursUT) {
    SetObserverUT(ObserverTime, jan10 + hoursUT / 24.0);
    ObserverTime.PrecessionOn = 1;
    UpdatePrecession(ObserverTime);
    const double unit = 2147483647.0 / 360.0;
    ConvertStarPosition(ObserverTime, int32_t(std::lround(kRigelRA * unit)), int32_t(std::lround(kRigelDec * unit)),
                        0, 0, SaoStars[3].RA, SaoStars[3].Dec);
    for (int p = 0; p < kPlanetCount; ++p) {
      TSolarContext ctx;
      if (p != 2) ComputeBody(kSelectSolarSystem, p, ObserverTime, ctx, Planets[p]);
    }
  };
  struct Case {
    const char* line;
    double fromUT, risesUT, roseUT;  // UT hours from January 10 0h; roseUT -1: no "it rose"
  } cases[] = {{"The star SAO 131907+", 12.0, kRigelRises, -1},
               {"The Planet Jupiter+", 12.0, kJupiterRises, -1},
               {"Our Sun+", 0.0, kSunRises, -1},
               {"Our Moon+", 12.0, kMoonRises, -1},
               {"Our Moon+", 24 + 1 + 17.0 / 60, kMoonCentreRises, kMoonRises},
               {"Our Sun+", 16 + 10.0 / 60, 24 + kSunRisesNextDay, -1}};
  for (const Case& c : cases) {
    at(c.fromUT);
    const TFoundObject f = SelectFoundObject(c.line, ObserverTime);
    ASSERT_LT(f.Altitude, 0) << c.line;
    const std::string note = BelowHorizonText(f, c.line, ObserverTime);
    const double day = std::floor(c.fromUT / 24) * 24;  // the clock's midnight
    EXPECT_NEAR(NoteMinutes(note), (c.risesUT - day) * 60, 1.0) << note;
    EXPECT_NEAR(NoteMinutes(note, "rose "), c.roseUT < 0 ? -1 : (c.roseUT - day) * 60, 1.0) << note;
  }
  // A minute after the Moon's centre rose Find sees it up and centres it.
  at(kMoonCentreRises + 1.0 / 60);
  const TFoundObject moon = SelectFoundObject("Our Moon+", ObserverTime);
  EXPECT_GT(moon.Altitude, 0);
  EXPECT_TRUE(ChooseFound(moon, "Our Moon+", ObserverTime));
}

// London, 2024 January 25, 19h UT, two hours after full Moon: the Moon
// stands about 20° high, where parallax lowers it by about 50′. Find's
// Center puts it in the middle of the chart: the centre of the disc drawn
// there (zoom 40, where 1′ is 2.2 pixels) lies within 1′ of the chart's
// centre.
TEST_F(FindTest, CenterPutsTheDrawnMoonInTheMiddle) {
  InitHeadlessSky();
  SetObserverUT(ObserverTime, JulianDay(2024, 1, 25, 19.0));
  tPlotter& p = *plotter;
  p.Observer = ObserverTime;
  p.Width = 800, p.Height = 600, p.DpiX = p.DpiY = 96;
  p.ShowObjects = p.ShowGrid = p.ShowHorizon = 0;
  p.PlanetLabels = p.MoonLabel = p.SunLabel = p.MoonImage = 0;
  p.Zoom = 40;
  const auto found = SearchObjects("MOON", kScopeAll, ObserverTime);
  ASSERT_EQ(found, std::vector<std::string>{"Our Moon"});
  const TFoundObject f = SelectFoundObject(found[0], ObserverTime);
  ASSERT_TRUE(FindCommands(f).Center);
  ASSERT_TRUE(CenterOnFound(f));
  platform::Bitmap bitmap(p.Width, p.Height);
  {
    platform::DrawingContext dc(bitmap);
    p.Plot(dc, &bitmap);
  }
  ClearDrawTarget();
  // The centre of the white disc (the Moon is 99.9% lit).
  double sx = 0, sy = 0, n = 0;
  for (int y = 0; y < p.Height; ++y)
    for (int x = 0; x < p.Width; ++x)
      if ((bitmap.Pixel(x, y) & 0xFF) > 200) sx += x, sy += y, n += 1;
  ASSERT_GT(n, 2000) << "no Moon at the chart's centre";
  const double arcminPixels = p.Height / 3.141592653589793 * p.Zoom * (kRad / 60);
  EXPECT_LT(std::hypot(sx / n - p.Width / 2.0, sy / n - p.Height / 2.0), arcminPixels)
      << "disc centre at " << sx / n << ", " << sy / n;
}

}  // namespace
