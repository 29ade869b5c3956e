// The magnifier: telescope and eyepiece settings (cell parsers with their
// units, field tables, field mode, the tidy step, registry and block 7);
// the inset (field modes and captions, zoom steps, hit tests, the frame,
// the projection about its centre and the candidate windows); and its
// driver (when it renders, where its centre comes from, the empty frame).
#include <gtest/gtest.h>

#include <cmath>
#include <memory>

#include "astro/precession.h"
#include "chart/drawing_colors.h"
#include "chart/mag_thread.h"
#include "chart/magnifier_inset.h"
#include "chart/plotter_b.h"
#include "chart/styles.h"
#include "platform/codec.h"
#include "platform/registry.h"
#include "shell/messages.h"
#include "shell/settings_sections.h"
#include "tests/chart/inset_support.h"

using namespace inset_support;

namespace {

const uint32_t kGreen = platform::MakePixel(0, 255, 0);

uint32_t Rgb(const platform::Bitmap& b, int x, int y) { return b.Pixel(x, y) & platform::kRgbMask; }

// Telescope 1 (1000 mm) with eyepiece A (25 mm, 43.5°: a true field of
// 1.0875°) and B (10 mm, 87°: 0.87°).
void OneTelescope(const char* mirror, const char* invert) {
  SetTelescopes({{"T", "200mm", "f/5", mirror, invert, "1"}}, {{"A", "25mm", "43.5"}, {"B", "10mm", "87"}});
}

}  // namespace

// Lengths: no unit means inches (25.4 mm); "in", "in.", the inch sign, "mm",
// "cm", the unit only at the end; diameters 15..1016 mm, eyepiece focal
// lengths 4..60 mm. Focal ratios 3..30 with "f/" in front or "f" anywhere;
// apparent fields 20..90° with "deg", "degree(s)", "deg." or the degree
// sign. A refused text gives 0.
TEST(MagnifierSettings, CellParsers) {
  using Parser = bool (*)(const std::string&, double&);
  const Parser dia = ParseDiameter, eye = ParseEyepieceFocalLength, ratio = ParseFocalRatio;
  const Parser field = ParseApparentField;
  const struct {
    Parser parse;
    const char* text;
    bool ok;
    double value;
  } cases[] = {
      {dia, "8", true, 203.2},        {dia, "200mm", true, 200},     {dia, "20cm", true, 200},
      {dia, "12in", true, 304.8},     {dia, "8in.", true, 203.2},    {dia, " 10\" ", true, 254},
      {dia, "1017mm", false, 0},      {dia, "14mm", false, 0},       {dia, "8mm0", false, 0},
      {dia, "abc", false, 0},         {eye, "25MM", true, 25},       {eye, "25", false, 0},
      {eye, "1in", true, 25.4},       {eye, "3mm", false, 0},        {eye, "", false, 0},
      {ratio, "f/10", true, 10},      {ratio, "f10", true, 10},      {ratio, "10", true, 10},
      {ratio, "F/4.5", true, 4.5},    {ratio, "10f/", false, 0},     {ratio, "f/2", false, 0},
      {ratio, "31", false, 0},        {ratio, "f/x", false, 0},      {field, "50", true, 50},
      {field, "82°", true, 82},       {field, "68 deg", true, 68},   {field, "52deg.", true, 52},
      {field, "40 degrees", true, 40}, {field, "45degree", true, 45}, {field, "19", false, 0},
      {field, "100°", false, 0},      {field, "wide", false, 0},
  };
  for (const auto& c : cases) {
    double v = -1;
    EXPECT_EQ(c.parse(c.text, v), c.ok) << c.text;
    EXPECT_NEAR(v, c.value, 1e-9) << c.text;
  }
  int32_t f = 0;
  EXPECT_TRUE(ParseMirrorFlag("Yes", f));
  EXPECT_EQ(f, -1);
  EXPECT_TRUE(ParseMirrorFlag("", f));
  EXPECT_EQ(f, 1);
  EXPECT_FALSE(ParseMirrorFlag("maybe", f));
  EXPECT_EQ(f, 1);
  EXPECT_TRUE(ValidateTeleCell("anything", 0));
  EXPECT_FALSE(ValidateTeleCell("f/2", 2));
  EXPECT_FALSE(ValidateEyeCell("25", 1));
}

// A 200 mm f/5 telescope (1000 mm) with a 25 mm eyepiece of 50° gives 40×
// and a true field of 1.25° (50 / 40); the mirror and invert flags of the
// telescope come with it.
TEST(MagnifierSettings, FieldTableAndDefaultEyepieces) {
  SetTelescopes({{"Newton", "200mm", "f/5", "no", "no", "wide 10"},
                 {"Refractor", "4in", "f/8", "yes", "-1", "2"},  // default names an invalid eyepiece
                 {"SCT", "8", "10", "n", "y", "nothing"},        // name of no eyepiece: the first
                 {"Incomplete", "", "f/5", "no", "no", ""}},
                {{"Plossl 25", "25mm", "50"}, {"bad", "25", "50"}, {"Wide 10", "10mm", "82°"}});
  const int eyeValid[] = {1, 0, 1}, teleValid[] = {1, 0, 1, 0};
  for (int i = 0; i < 3; ++i) EXPECT_EQ(EyepieceValid[i + 1], eyeValid[i]) << "eyepiece " << i + 1;
  for (int i = 0; i < 4; ++i) EXPECT_EQ(TelescopeValid[i + 1], teleValid[i]) << "telescope " << i + 1;
  EXPECT_EQ(TelescopeEyepiece[1], 3);
  EXPECT_EQ(TelescopeEyepiece[3], 1);
  EXPECT_NEAR(FieldTable[1][1].TrueField, 1.25, 1e-12);
  EXPECT_NEAR(FieldTable[1][3].TrueField, 82.0 * 10 / 1000, 1e-12);
  EXPECT_EQ(FieldTable[2][1].Mirror, -1);
  EXPECT_EQ(FieldTable[2][1].Invert, -1);
  EXPECT_EQ(FieldTable[3][1].Mirror, 1);
  EXPECT_EQ(FieldTable[3][1].Invert, -1);
  EXPECT_EQ(FieldTable[4][1].TrueField, 0.0);
  EXPECT_EQ(FieldChoiceNames()[9], "Newton");
  EXPECT_EQ(FieldChoiceNames()[10], "Incomplete");
}

// Field mode after reading settings: 0 automatic, fixed fields kept, a
// telescope choice gives 100 × t when that telescope is valid, else 9.
TEST(MagnifierSettings, FieldModeFromDefault) {
  SetTelescopes({{"T", "200mm", "5", "n", "n", ""}}, {{"E", "25mm", "50"}});
  const int32_t cases[][2] = {{0, 9}, {3, 3}, {9, 100}, {10, 9}, {-4, 1}, {40, 9}};
  for (const auto& c : cases) {
    DefaultFieldOfView = c[0];
    EXPECT_EQ(FieldModeFromDefault(), c[1]) << c[0];
  }
  SetTelescopes({}, {});
  DefaultFieldOfView = 9;
  EXPECT_EQ(FieldModeFromDefault(), 9);
}

// The tidy step closes gaps (also two in one pass), keeps the edited row and
// one empty row after the last entry; ten entries leave no empty row, and a
// damaged row count comes back to 11.
TEST(MagnifierSettings, TidyKeepsOneEmptyRow) {
  const struct {
    int rows, editing;
    const char* names;  // first cells of rows 1.., '.' for an empty row
    int wantRows;
    const char* want;
  } cases[] = {
      {7, -1, ".A..BC", 5, ".ABC"},
      {4, 2, ".A.C", 5, ".A.C"},  // row 2 is being edited: it stays
      {11, -1, ".xxxxxxxxxx", 11, ".xxxxxxxxxx"},
      {40, -1, ".xxxxxxxxxx", 11, ".xxxxxxxxxx"},
  };
  for (const auto& c : cases) {
    TMagnifierGrid g(kEyeColumns);
    g.RowCount = c.rows;
    for (int r = 1; c.names[r]; ++r)
      if (c.names[r] != '.') g.Cells[r][0] = std::string(1, c.names[r]);
    TidyGrid(g, c.editing);
    EXPECT_EQ(g.RowCount, c.wantRows) << c.names;
    const std::string want = c.want;
    for (int r = 1; r < std::min(g.RowCount, kGridMaxRows); ++r) {
      const char w = r < int(want.size()) ? want[std::size_t(r)] : '.';
      EXPECT_EQ(g.Cells[r][0], w == '.' ? "" : std::string(1, w)) << c.names << " row " << r;
    }
  }
}

// Block 7 written and read back; row counts clamped to 2..11; a damaged
// block (a switch byte neither 0 nor 2, a short block) changes nothing.
TEST(MagnifierSettings, SettingsBlockRoundTrip) {
  SetTelescopes({{"Newton", "200mm", "f/5", "no", "yes", "1"}, {"Small", "60mm", "f/10", "n", "n", ""}},
                {{"Plössl", "25mm", "50"}});
  MagnifierSwitches = TMagnifierSwitches{0, 1, 0, 2, 1};
  DefaultFieldOfView = 10;
  std::vector<uint8_t> block = MagnifierSettingsBlock();
  ASSERT_EQ(block.size(), kMagnifierBlockBytes);
  EXPECT_EQ(block[5], 4);                // two entries: row count 4
  EXPECT_EQ(block[9 + 2 * 6 * 256], 0);  // row 3 empty

  int32_t announced = 0;
  MagnifierFieldModeChanged = [&](int32_t mode) { announced = mode; };
  SetTelescopes({}, {});
  MagnifierSwitches = TMagnifierSwitches{};
  DefaultFieldOfView = 0;
  ASSERT_TRUE(ApplyMagnifierSettingsBlock(block));
  EXPECT_EQ(TeleGrid.RowCount, 4);
  EXPECT_EQ(TeleGrid.Cells[2][0], "Small");
  EXPECT_EQ(EyeGrid.Cells[1][0], "Plössl");
  EXPECT_EQ(MagnifierSwitches.ShowGrid, 0);
  EXPECT_EQ(MagnifierSwitches.StarMode, 2);
  EXPECT_EQ(DefaultFieldOfView, 10);
  EXPECT_EQ(announced, 200);

  block[5] = 200;  // an impossible row count is clamped
  ASSERT_TRUE(ApplyMagnifierSettingsBlock(block));
  EXPECT_EQ(TeleGrid.RowCount, 11);

  std::vector<uint8_t> damaged = MagnifierSettingsBlock();
  damaged[3] = 7;  // star mode neither 0 nor 2
  TeleGrid.Cells[1][0] = "kept";
  EXPECT_FALSE(ApplyMagnifierSettingsBlock(damaged));
  EXPECT_EQ(TeleGrid.Cells[1][0], "kept");
  damaged.resize(100);
  EXPECT_FALSE(ApplyMagnifierSettingsBlock(damaged));
  // A default field outside the list's 19 choices is refused; the last is taken.
  std::vector<uint8_t> field = MagnifierSettingsBlock();
  for (const int32_t outside : {19, -1, INT32_MAX, INT32_MIN}) {
    platform::PutI32(&field[23053], outside);
    EXPECT_FALSE(ApplyMagnifierSettingsBlock(field)) << outside;
  }
  platform::PutI32(&field[23053], kLastFieldChoice);
  EXPECT_TRUE(ApplyMagnifierSettingsBlock(field));
  EXPECT_EQ(DefaultFieldOfView, kLastFieldChoice);
  MagnifierFieldModeChanged = nullptr;
}

// The registry section: written and read back, row counts clamped.
TEST(MagnifierSettings, RegistryRoundTrip) {
  SetTelescopes({{"T", "200mm", "5", "n", "n", ""}}, {{"E", "25mm", "50"}});
  MagnifierSwitches = TMagnifierSwitches{1, 0, 1, 2, 0};
  DefaultFieldOfView = 9;
  std::string flash;
  FlashSink sink;
  sink.message = [&](const std::string& t, int) { flash = t; };
  SetFlashSink(sink);
  WriteRegMagnifier();
  SetFlashSink({});
  EXPECT_EQ(flash, "Magnifier defaults saved.");
  SetTelescopes({}, {});
  MagnifierSwitches = TMagnifierSwitches{};
  EXPECT_EQ(ReadRegTeleAndEyepiece(), 100);
  ReadRegMagnifier();
  EXPECT_EQ(TeleGrid.Cells[1][1], "200mm");
  EXPECT_EQ(EyeGrid.RowCount, 3);
  EXPECT_EQ(MagnifierSwitches.GraphicSun, 0);
  EXPECT_EQ(MagnifierSwitches.StarMode, 2);
  platform::TRegIniFile().WriteInteger("Magnifier", "number eyepieces", 99);
  ReadRegTeleAndEyepiece();
  EXPECT_EQ(EyeGrid.RowCount, 11);
  // A default field no list choice has reads as 9; the last choice as itself.
  for (const char* outside : {"19", "-1", "2147483647", "nan", "text"}) {
    platform::TRegIniFile().WriteString("Magnifier", "default field of view", outside);
    ReadRegTeleAndEyepiece();
    EXPECT_EQ(DefaultFieldOfView, 9) << outside;
  }
  platform::TRegIniFile().WriteInteger("Magnifier", "default field of view", kLastFieldChoice);
  ReadRegTeleAndEyepiece();
  EXPECT_EQ(DefaultFieldOfView, kLastFieldChoice);
  platform::TRegIniFile().EraseSection("Magnifier");
  MagnifierSwitches = TMagnifierSwitches{};
}

// Modes 1..8: the fixed fields; 9 follows the main zoom (6 / zoom degrees
// snapped; 0.125 exactly gives the 30' field); others fall back to 2°.
// Telescope-eyepiece modes: minutes below 1°, else degrees, with the
// orientation suffix; an absent eyepiece or telescope falls back to 2°.
TEST(MagnifierInset, FieldModesAndCaptions) {
  const struct {
    const char *mirror, *invert;
    int32_t mode;
    double zoom;
    double halfDeg;
    const char* caption;
  } cases[] = {
      {"n", "n", 1, 1, 0.125, "15' Field"},  {"n", "n", 2, 1, 0.25, "30' Field"},
      {"n", "n", 3, 1, 0.5, "1° Field"},     {"n", "n", 4, 1, 1.0, "2° Field"},
      {"n", "n", 5, 1, 2.5, "5° Field"},     {"n", "n", 6, 1, 5.0, "10° Field"},
      {"n", "n", 7, 1, 7.5, "15° Field"},    {"n", "n", 8, 1, 10.0, "20° Field"},
      {"n", "n", 9, 48, 0.25, "30' Field"},  {"n", "n", 9, 6, 2.5, "5° Field"},
      {"n", "n", 9, 100, 0.125, "15' Field"}, {"n", "n", 9, 0.95, 5.0, "10° Field"},
      {"n", "n", 0, 1, 1.0, "2° Field"},     {"n", "n", -3, 1, 1.0, "2° Field"},
      {"n", "n", 150, 1, 1.0, "2° Field"},   {"n", "n", 10100, 1, 1.0875 / 2, "1° Field"},
      {"y", "y", 20100, 1, 0.87 / 2, "52' Field - mir&inv"},
      {"n", "y", 20100, 1, 0.87 / 2, "52' Field - inv"},
      {"y", "n", 20100, 1, 0.87 / 2, "52' Field - mir"},
      {"n", "n", 30100, 1, 1.0, "2° Field"},  // no eyepiece 3
      {"n", "n", 10200, 1, 1.0, "2° Field"},  // no telescope 2
  };
  for (const auto& c : cases) {
    OneTelescope(c.mirror, c.invert);
    double half = 0;
    std::string caption;
    MagnifierFieldCaption(c.mode, half, caption, c.zoom);
    EXPECT_NEAR(half / kDeg, c.halfDeg, 1e-12) << c.mode << " " << c.zoom;
    EXPECT_EQ(caption, c.caption) << c.mode << " " << c.zoom;
  }
}

// LastEyepieceMode remembers a telescope-eyepiece mode for the zoom step,
// unless the caller says not to; a half field steps to the fixed mode that
// shows it.
TEST(MagnifierInset, ZoomStepsAndTheLastEyepieceMode) {
  OneTelescope("n", "n");
  double half;
  std::string caption;
  MagnifierFieldCaption(20100, half, caption, 1.0);
  EXPECT_EQ(LastEyepieceMode, 20100);
  EXPECT_EQ(MagnifierZoomStep(0.1), 20100);
  caption = "no lastfieldselect";
  MagnifierFieldCaption(3, half, caption, 1.0);
  EXPECT_EQ(LastEyepieceMode, 20100);
  caption.clear();
  MagnifierFieldCaption(3, half, caption, 1.0);
  EXPECT_EQ(LastEyepieceMode, 0);
  const double steps[][2] = {{12, 8}, {10, 8}, {7.5, 7},    {5, 6}, {2.5, 5},
                             {2.4999, 4}, {1, 4}, {0.5, 3}, {0.25, 2}, {0.1, 1}};
  // Half fields as the captions give them: degrees / 57.29577951308232.
  for (const auto& s : steps) EXPECT_EQ(MagnifierZoomStep(s[0] / 57.29577951308232), s[1]) << s[0];
}

// Hit tests on the oval (1.0 and 1.1 radii), and the clicks: a right click
// opens MagMenu except in placing mode; a hidden magnifier takes nothing.
TEST(MagnifierInset, HitTestsAndClicks) {
  MagnifierSize = 100;
  MagnifierCentreX = 200;
  MagnifierCentreY = 300;
  MagnifierRadiusX = 120;
  MagnifierRadiusY = 100;
  const struct {
    int x, y;
    bool inside, margin;
  } points[] = {{320, 300, true, true}, {321, 300, false, true}, {200, 401, false, true},
                {200, 409, false, true}, {200, 411, false, false}};
  for (const auto& p : points) {
    EXPECT_EQ(InsideMagnifier(p.x, p.y), p.inside) << p.x << "," << p.y;
    EXPECT_EQ(InsideMagnifierMargin(p.x, p.y), p.margin) << p.x << "," << p.y;
  }
  int menus = 0;
  bool placing = false;
  MagnifierHooks.showMagMenu = [&](int32_t, int32_t) { ++menus; };
  MagnifierHooks.placingMode = [&] { return placing; };
  EXPECT_TRUE(MagnifierClick(1, 210, 310));
  EXPECT_EQ(menus, 1);
  EXPECT_TRUE(MagnifierClick(0, 210, 310));
  placing = true;
  EXPECT_TRUE(MagnifierClick(1, 210, 310));
  EXPECT_EQ(menus, 1);
  EXPECT_FALSE(MagnifierClick(1, 10, 10));
  MagnifierSize = 0;
  EXPECT_FALSE(InsideMagnifier(200, 300));
  EXPECT_FALSE(MagnifierClick(1, 200, 300));
  MagnifierHooks = TMagnifierHooks{};
}

// The magnifier's projection: a star 0.5° north of the centre straight
// above it, 0.5° east to the left (to the right when mirrored, and north
// down when inverted), and the half field exactly on the inner radius.
TEST(MagnifierInset, ProjectionAboutTheCentre) {
  auto m = std::make_unique<tPlotterB>();
  const int32_t r = 150;
  m->Width = m->Height = 400;
  m->DpiX = m->DpiY = 100;
  m->Aspect = 1;
  m->Zoom = MagnifierScaleFor(r, 2.5 * kDeg);
  m->CentreRA = 2.0;
  m->CentreDec = 0.4;
  const struct {
    int32_t mirror, invert;
    double dNorth, dEast;  // degrees
    double px, py;         // expected offset from the centre, degrees of the field
  } cases[] = {
      {1, 1, 0.5, 0, 0, -0.5}, {1, 1, 0, 0.5, -0.5, 0}, {-1, 1, 0, 0.5, 0.5, 0},
      {1, -1, 0.5, 0, 0, 0.5}, {1, 1, 2.5, 0, 0, -2.5},
  };
  for (const auto& c : cases) {
    m->MirrorFactor = c.mirror;
    m->InvertFactor = c.invert;
    m->CentreX = m->CentreY = 200;
    m->SetupCentredProjection();
    const double ra = m->CentreRA + c.dEast * kDeg / std::cos(m->CentreDec);
    int32_t x, y;
    ASSERT_TRUE(m->PlacePoint(ra, m->CentreDec + c.dNorth * kDeg, x, y));
    // Pixels per degree of the field: r / 2.5.
    EXPECT_NEAR(x - 200, c.px * r / 2.5, 1.0) << c.dNorth << " " << c.dEast;
    EXPECT_NEAR(y - 200, c.py * r / 2.5, 1.0) << c.dNorth << " " << c.dEast;
  }
  // 90° or more from the centre: not placed; 5° off in a field of 0.01°,
  // beyond the pixel limit: not on screen, x = 32767.
  int32_t x, y;
  EXPECT_FALSE(m->PlacePoint(m->CentreRA + 3.14159, -m->CentreDec, x, y));
  m->Zoom = MagnifierScaleFor(r, 0.01 * kDeg);
  m->SetupCentredProjection();
  EXPECT_FALSE(m->PlacePoint(m->CentreRA, m->CentreDec + 5 * kDeg, x, y));
  EXPECT_EQ(x, 32767);
}

// Candidate windows: the field's declination band; the right-ascension span
// with its part across 0h; the whole range where the field reaches a pole
// (|δ0| + half field ≥ 90°) or the centre is beyond 80°.
TEST(MagnifierInset, CandidateWindows) {
  auto m = std::make_unique<tPlotterB>();
  const struct {
    double ra0, dec0, half;  // degrees
    double ra, dec;          // a candidate, degrees
    bool in;
  } cases[] = {
      {100, 20, 1, 100.9, 20.5, true}, {100, 20, 1, 102.5, 20, false}, {100, 20, 1, 100, 21.5, false},
      {0.2, 0, 1, 359.5, 0.5, true},   {359.8, 0, 1, 0.5, 0, true},    {0.2, 0, 1, 358.0, 0, false},
      {180, 79, 12, 0, 85, true},      {180, 85, 1, 10, 84.5, true},   {180, -79.5, 11, 300, -85, true},
  };
  for (const auto& c : cases) {
    m->CentreRA = c.ra0 * kDeg;
    m->CentreDec = c.dec0 * kDeg;
    m->HalfField = c.half * kDeg;
    m->SetupWindows();
    EXPECT_EQ(m->InWindows(c.ra * kDeg, c.dec * kDeg), c.in)
        << c.ra0 << " " << c.dec0 << " " << c.ra << " " << c.dec;
  }
}

namespace {

// The driver between a main chart looking at the zenith and the magnifier,
// with a point of interest that the test may show.
struct DriverFixture {
  std::unique_ptr<tPlotter> main = std::make_unique<tPlotter>();
  std::unique_ptr<tPlotterB> mag = std::make_unique<tPlotterB>();
  int32_t poi = 0;
  double poiRA = 0, poiDec = 0;
  DriverFixture() {
    SetDefaultObjectColors();
    SetDefaultStyleFonts();
    MakeDrawingColors();
    SetObserverLocation(main->Observer, 0, 50 * kDeg, 0);
    SetObserverUT(main->Observer, 2460676.5);
    main->Observer.PrecessionOn = 0;
    main->Width = 800;
    main->Height = 600;
    main->DpiX = main->DpiY = 96;
    main->CentreAlt = 1.5707963267948966;
    main->SetupProjection();
    main->Replot = 0;
    MainPlotter = main.get();
    MagnifierPlotter = mag.get();
    if (!MagnifierFrameBitmap) InitMagnifierBuffers();
    InsetSizeNormal = 120;
    UpdateMagnifierFrame(150, 4);
    MagnifierHooks.currentPointOfInterest = [this] { return poi; };
    MagnifierHooks.pointOfInterest = [this](int32_t, double& ra, double& dec, int32_t& mode) {
      ra = poiRA;
      dec = poiDec;
      mode = 3;
      return true;
    };
    ResetMagnifierState();
    MagnifierReady = 1;
    PointerOnChart = 1;
    PointerX = 400;
    PointerY = 300;
  }
  ~DriverFixture() {
    MagnifierHooks = TMagnifierHooks{};
    MainPlotter = nullptr;
    MagnifierPlotter = nullptr;
    PointerOnChart = 0;
    MagnifierReady = 0;
  }
  int64_t Renders() const { return MagnifierCountsForTest().Renders; }
};

}  // namespace

// Nothing before the start-up timer; then a render for a new centre (the
// place under the pointer), a new field or an instant more than a minute
// on, none while paused and one once resumed.
TEST(MagnifierDriver, RendersOnlyWhenSomethingChanged) {
  DriverFixture f;
  MagnifierReady = 0;
  const int64_t start = f.Renders();
  MagnifierStep();
  EXPECT_EQ(f.Renders(), start) << "nothing before the start-up timer";
  EXPECT_EQ(f.mag->NeedsRender, 1);
  MagnifierReady = 1;
  MagnifierStep();
  EXPECT_EQ(f.Renders(), start + 1);
  EXPECT_EQ(f.mag->NeedsRender, 0);
  MagnifierStep();
  EXPECT_EQ(f.Renders(), start + 1) << "same centre, field and instant";
  PointerX = 250;
  PointerY = 200;
  MagnifierStep();
  EXPECT_EQ(f.Renders(), start + 2) << "the pointer moved";
  double ra, dec, alt, az;
  ASSERT_TRUE(f.main->ScreenToRaDec(250, 200, ra, dec, alt, az));
  EXPECT_DOUBLE_EQ(MagnifierCentreRA, ra);
  EXPECT_DOUBLE_EQ(MagnifierCentreDec, dec);
  f.main->Observer.JD_TT += 30.0 / 86400;
  MagnifierStep();
  EXPECT_EQ(f.Renders(), start + 2) << "half a minute later";
  f.main->Observer.JD_TT += 61.0 / 86400;
  MagnifierStep();
  EXPECT_EQ(f.Renders(), start + 3) << "more than a minute later";
  UpdateMagnifierFrame(150, 5);
  MagnifierStep();
  EXPECT_EQ(f.Renders(), start + 4) << "a new field";
  ASSERT_TRUE(PauseMagnifierThread());
  PointerX = 300;
  MagnifierStep();
  EXPECT_EQ(f.Renders(), start + 4) << "paused";
  ResumeMagnifierThread();
  MagnifierStep();
  EXPECT_EQ(f.Renders(), start + 5) << "resumed";
}

// A shown point of interest: its J2000 position precessed to the date and
// reduced into [0, 2π) (near 0h precession carries it past 2π), its field
// mode taken over; the pointer no longer counts.
TEST(MagnifierDriver, PointOfInterestCentreReducedIntoOneTurn) {
  DriverFixture f;
  f.main->Observer.PrecessionOn = 1;
  SetPrecession(f.main->Observer, 2451545.0, 2460676.5);
  f.poi = 2;
  f.poiRA = TwoPi - 0.0005;  // 23h59m53s: 2025 precession moves it past 0h
  f.poiDec = 10 * kDeg;
  FieldOfViewMode = 4;
  MagnifierStep();
  EXPECT_GE(MagnifierCentreRA, 0.0);
  EXPECT_LT(MagnifierCentreRA, 0.01);
  EXPECT_EQ(FieldOfViewMode, 3);
  const double kept = MagnifierCentreRA;
  PointerX = 100;
  MagnifierStep();
  EXPECT_EQ(MagnifierCentreRA, kept);
  FieldOfViewMode = 9;
}

// The pointer leaves the chart: the empty frame is shown once, not again
// until something renders.
TEST(MagnifierDriver, EmptyFrameOnceWhenThePointerLeaves) {
  DriverFixture f;
  MagnifierStep();
  const int64_t blanks = MagnifierCountsForTest().Blanks;
  PointerOnChart = 0;
  MagnifierStep();
  MagnifierStep();
  EXPECT_EQ(MagnifierCountsForTest().Blanks, blanks + 1);
  EXPECT_EQ(Rgb(*MagnifierScreenBitmap, 200, 200), 0u);
  EXPECT_EQ(Rgb(*MagnifierScreenBitmap, 2, 2), kGreen);
}
