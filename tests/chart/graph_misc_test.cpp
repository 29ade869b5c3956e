// The auto-bitmap list, the bitmap file reader, the Sun and Moon sprites,
// transparent and rotated copies, and the raw line and arc routines.
#include "chart/graph_misc.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <random>
#include <set>
#include <utility>
#include <vector>

#include "chart/sun_moon_images.h"
#include "platform/codec.h"
#include "platform/dialogs.h"
#include "platform/drawing.h"
#include "shell/data_files.h"
#include "shell/globals.h"
#include "tests/chart/auto_bitmaps.h"
#include "tests/support/bmp_file.h"
#include "tests/support/test_support.h"
#include "tests/support/text_checks.h"

using platform::MakePixel;

namespace {

constexpr uint32_t kWhite = 0x00FFFFFF;
constexpr uint32_t kRed = 0x00FF0000;
constexpr uint32_t kStop = 0x00123456;
constexpr uint32_t kBackground = 0x00ABCDEF;

using PixelSet = std::set<std::pair<int, int>>;

// Pixels of `b` whose colour is `color`.
PixelSet PixelsOf(const Bitmap& b, uint32_t color) {
  PixelSet set;
  for (int y = 0; y < b.Height(); ++y)
    for (int x = 0; x < b.Width(); ++x)
      if (platform::SameColor(b.Pixel(x, y), color)) set.insert({x, y});
  return set;
}

// The points at(0) .. at(n - 1).
template <class F>
PixelSet Steps(int n, F at) {
  PixelSet set;
  for (int k = 0; k < n; ++k) set.insert(at(k));
  return set;
}

PixelSet Row(int y, int x0, int x1) {  // x0..x1 inclusive
  return Steps(x1 - x0 + 1, [&](int k) { return std::pair{x0 + k, y}; });
}

const PixelSet kDiagonal = Steps(22, [](int k) { return std::pair{4 + k, 4 + k}; });  // (4, 4)..(25, 25)

class GraphMiscTest : public ::testing::Test {
 protected:
  void SetUp() override {
    FreeEveryAutoBitmap();
    ArcReverse = 0;
    ResetLinePattern();
  }
  void TearDown() override {
    ClearDrawTarget();
    FreeEveryAutoBitmap();
  }
};

TEST_F(GraphMiscTest, CreatedBitmapsAreBlackAndListedInOrderOfCreation) {
  Bitmap* a = CreateAutoBitmap(5, 3);
  Bitmap* b = CreateAutoBitmap(7, 2);
  Bitmap* c = CreateAutoBitmap(1, 1);
  ASSERT_NE(a, nullptr);
  EXPECT_EQ(a->Width(), 5);
  EXPECT_EQ(a->Height(), 3);
  EXPECT_EQ(a->Pixel(4, 2), 0u);
  FreeAutoBitmap(b);
  Bitmap stranger(2, 2);
  FreeAutoBitmap(&stranger);
  FreeAutoBitmap(nullptr);
  EXPECT_EQ(AutoBitmapCountForTest(), 2);
  EXPECT_EQ(AutoBitmapEntryForTest(1), a);
  EXPECT_EQ(AutoBitmapEntryForTest(2), c);
  EXPECT_EQ(AutoBitmapEntryForTest(3), nullptr);
  FreeAllAutoBitmaps();
  EXPECT_EQ(AutoBitmapCountForTest(), 0);
}

// An empty size and the hundred-and-first bitmap fail with the message.
TEST_F(GraphMiscTest, FailedCreationGivesTheMessageAndNoBitmap) {
  platform::ScopedScriptedDialogs dialogs;
  EXPECT_EQ(CreateAutoBitmap(0, 10), nullptr);
  EXPECT_EQ(CreateAutoBitmap(10, -1), nullptr);
  EXPECT_EQ(dialogs.Count(), 2u);
  for (int i = 0; i < kAutoBitmapCapacity; ++i) ASSERT_NE(CreateAutoBitmap(2, 2), nullptr) << i;
  EXPECT_EQ(CreateAutoBitmap(2, 2), nullptr);
  EXPECT_EQ(AutoBitmapCountForTest(), kAutoBitmapCapacity);
  ASSERT_EQ(dialogs.Count(), 3u);
  EXPECT_EQ(dialogs.Last().text, "Error: Can't create bitmap.");
  EXPECT_EQ(dialogs.Last().caption, "UNIT GraphMisc, FUNCTION CreateAutoBitmap");
  EXPECT_EQ(dialogs.Last().icon, platform::MsgIcon::Stop);
  // Freeing one makes room again.
  FreeAutoBitmap(AutoBitmapEntryForTest(50));
  EXPECT_NE(CreateAutoBitmap(2, 2), nullptr);
}

uint32_t PaletteColour(int k) { return MakePixel(uint8_t(3 * k), uint8_t(2 * k), uint8_t(k)); }

TEST_F(GraphMiscTest, ReadsAn8BitFileKeepingItsOrientation) {
  testing_support::TempDir dir;
  std::vector<uint8_t> pixels(16);
  for (int i = 0; i < 16; ++i) pixels[size_t(i)] = uint8_t(10 + i);  // file rows run bottom-up
  testing_support::WriteFile(dir.File("moon.bmp"), BmpFile(8, 2, 8, pixels));
  platform::ScopedScriptedDialogs dialogs;
  Bitmap* b = ReadAutoBitmap(dir.File("moon.bmp"));
  ASSERT_NE(b, nullptr);
  EXPECT_EQ(dialogs.Count(), 0u);
  EXPECT_EQ(AutoBitmapCountForTest(), 1);
  EXPECT_EQ(b->Width(), 8);
  EXPECT_EQ(b->Height(), 2);
  for (int i = 0; i < 16; ++i) EXPECT_EQ(b->Element(i), PaletteColour(10 + i)) << "element " << i;
  EXPECT_EQ(b->Pixel(0, 1), PaletteColour(10)) << "first file byte is the bottom-left pixel";
  EXPECT_EQ(b->Pixel(0, 0), PaletteColour(18)) << "second file row is the top row";
}

TEST_F(GraphMiscTest, UnusableFilesGiveTheirMessageAndNoBitmap) {
  testing_support::TempDir dir;
  const std::string name = dir.File("bad.bmp");
  std::vector<uint8_t> truncated = BmpFile(8, 2, 8, std::vector<uint8_t>(16, 1));
  truncated.resize(truncated.size() - 5);
  std::vector<uint8_t> headOnly = BmpFile(8, 2, 8, {});
  headOnly.resize(500);
  const std::string corrupt = "Error: Windows bitmap file \"" + name + "\"\r\ncorrupt or not 256 color.";
  const struct {
    const char* what;
    std::vector<uint8_t> bytes;  // empty: no file
    std::string text;
  } cases[] = {
      {"24-bit", BmpFile(4, 2, 24, std::vector<uint8_t>(24, 1)), corrupt},
      {"padded rows (width 6)", BmpFile(6, 2, 8, std::vector<uint8_t>(16, 1)), corrupt},
      {"truncated pixel data", truncated, corrupt},
      {"truncated header", headOnly, "Error: Can't read bitmap data from \"" + name + "\""},
      {"missing", {}, "Error: Can't open bitmap file \"" + name + "\""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    if (c.bytes.empty())
      std::remove(name.c_str());
    else
      testing_support::WriteFile(name, c.bytes);
    platform::ScopedScriptedDialogs dialogs;
    EXPECT_EQ(ReadAutoBitmap(name), nullptr);
    EXPECT_EQ(AutoBitmapCountForTest(), 0);
    ASSERT_EQ(dialogs.Count(), 1u);
    EXPECT_EQ(dialogs.Last().text, c.text);
    EXPECT_EQ(dialogs.Last().caption, "UNIT GraphMisc, FUNCTION ReadAutoBitmap");
    EXPECT_EQ(dialogs.Last().icon, platform::MsgIcon::Stop);
  }
  platform::ScopedScriptedDialogs dialogs;
  EXPECT_EQ(ReadAutoBitmap(dir.File(std::string(300, 'x'))), nullptr);
  EXPECT_EQ(dialogs.Last().text.size(), 255u) << "long texts are cut";
}

// The Sun and Moon sprites from 16 x 16 pictures: palette index 200
// everywhere but 7 in the bottom-left pixel, so the key pixel is not black
// before the sprite is made.
class SunMoonImages : public GraphMiscTest {
 protected:
  void SetUp() override {
    GraphMiscTest::SetUp();
    MoonBitmap = SunBitmap = nullptr;
    saved_ = DataFolder;
    DataFolder = dir_.Path();
    ForgetDataFileProblemsForTest();
  }
  void TearDown() override {
    GraphMiscTest::TearDown();
    MoonBitmap = SunBitmap = nullptr;
    DataFolder = saved_;
  }
  void WritePicture(const std::string& name) {
    std::vector<uint8_t> pixels(256, 200);
    pixels[0] = 7;
    testing_support::WriteFile(dir_.File(name), BmpFile(16, 16, 8, pixels));
  }
  testing_support::TempDir dir_;
  std::string saved_;
};

// Both pictures are found whatever their name case.
TEST_F(SunMoonImages, SpriteSizeDiscAndTransparentKey) {
  WritePicture("MOON.BMP");
  WritePicture("sun.bmp");
  platform::ScopedScriptedDialogs dialogs;
  ASSERT_TRUE(LoadSunMoonImages());
  ASSERT_NE(MoonBitmap, nullptr);
  ASSERT_NE(SunBitmap, nullptr);
  EXPECT_EQ(AutoBitmapCountForTest(), 2);
  // Size 21 at aspect 1: side rounded up to a multiple of 4, plus 4.
  Bitmap* moon = MakeMoonImage(30, 21, 1, 1, 1.0f);
  ASSERT_NE(moon, nullptr);
  EXPECT_EQ(moon->Width(), 28);
  EXPECT_EQ(moon->Height(), 28);
  EXPECT_EQ(moon->Pixel(14, 14), PaletteColour(200)) << "disc centre holds the picture";
  EXPECT_EQ(moon->Pixel(1, 1), 0u) << "outside the disc stays black";
  EXPECT_EQ(moon->Key(), 0u);
  EXPECT_EQ(MoonBitmap->Key(), 0u) << "the source's key pixel is made black too";
  // A stretched disc makes a wider square: 30 pixels across, 32 + 4.
  Bitmap* sun = MakeSunImage(20, 1, 1, 1.5f);
  ASSERT_NE(sun, nullptr);
  EXPECT_EQ(sun->Width(), 36);
  EXPECT_EQ(sun->Key(), 0u);
  EXPECT_EQ(AutoBitmapCountForTest(), 4);
  EXPECT_EQ(MakeMoonImage(0, 0, 1, 1, 1.0f), nullptr);
  EXPECT_EQ(dialogs.Count(), 0u);
}

TEST_F(SunMoonImages, MissingPictureIsReportedAndLeavesNoImage) {
  WritePicture("moon.bmp");
  platform::ScopedScriptedDialogs dialogs;
  EXPECT_FALSE(LoadSunMoonImages());
  EXPECT_NE(MoonBitmap, nullptr);
  EXPECT_EQ(SunBitmap, nullptr);
  ASSERT_EQ(dialogs.Count(), 1u);
  EXPECT_TRUE(
      testing_support::StartsWith(dialogs.Last().text, "Warning: Can't open file \"sun.bmp\": the file is missing."));
  EXPECT_EQ(MakeSunImage(20, 1, 1, 1.0f), nullptr);
  // A picture cut short: told as damaged, with how to rebuild it.
  std::vector<uint8_t> cut = BmpFile(16, 16, 8, std::vector<uint8_t>(256, 200));
  cut.resize(cut.size() - 100);
  testing_support::WriteFile(dir_.File("moon.bmp"), cut);
  dialogs.Clear();
  ForgetDataFileProblemsForTest();
  LoadSunMoonImages();
  EXPECT_EQ(MoonBitmap, nullptr);
  ASSERT_EQ(dialogs.Count(), 2u);
  EXPECT_TRUE(testing_support::StartsWith(dialogs.Records()[0].text,
                                          "Warning: Unrecognized file format in \"moon.bmp\": not a whole "
                                          "uncompressed 256-colour bitmap; the chart draws the disc without it."));
  EXPECT_NE(dialogs.Records()[0].text.find("delete \"moon.bmp\""), std::string::npos);
}

// A 4 x 4 source whose pixel (x, y) is 0x100 * (y * 4 + x + 1), with the
// key colour in the bottom-left pixel and one more key pixel at (2, 1).
Bitmap KeyedSource(uint32_t key) {
  Bitmap s(4, 4);
  for (int y = 0; y < 4; ++y)
    for (int x = 0; x < 4; ++x) s.SetPixel(x, y, 0x100u * uint32_t(y * 4 + x + 1));
  s.SetPixel(0, 3, key);
  s.SetPixel(2, 1, key);
  return s;
}

TEST(BlitTransparent, BlackKeyCopiesNoBlackPixelsEvenPainted) {
  Bitmap s = KeyedSource(0);
  {
    // A black pixel drawn by the painter carries an alpha byte; it is still
    // the key colour.
    platform::DrawingContext dc(s);
    dc.SetPixel(3, 0, 0);
  }
  Bitmap d(6, 6);
  d.Fill(kBackground);
  BlitTransparent(s, 0, 0, 4, 4, d, 1, 1);
  EXPECT_TRUE(PixelsOf(d, 0).empty());
  EXPECT_EQ(d.Pixel(2, 1), s.Pixel(1, 0));
}

// Destination (dx0, dy0) receives source (sx0, sy0), cw x ch copied; a
// rectangle starting on the last column or row, or wholly outside, copies
// nothing.
TEST(BlitTransparent, ClipsAtEveryEdgeOfBothBitmaps) {
  const Bitmap s = KeyedSource(0x00777777);
  const struct {
    const char* what;
    int sx, sy, w, h, dx, dy;
    int sx0, sy0, dx0, dy0, cw, ch;
  } cases[] = {
      {"no clipping", 0, 0, 4, 4, 3, 2, 0, 0, 3, 2, 4, 4},
      {"source left", -1, 0, 4, 4, 2, 2, 0, 0, 3, 2, 3, 4},
      {"source top", 0, -2, 4, 4, 2, 2, 0, 0, 2, 4, 4, 2},
      {"destination left", 0, 0, 4, 4, -2, 1, 2, 0, 0, 1, 2, 4},
      {"destination top", 0, 0, 4, 4, 1, -1, 0, 1, 1, 0, 4, 3},
      {"destination right", 0, 0, 4, 4, 7, 1, 0, 0, 7, 1, 2, 4},
      {"destination bottom", 0, 0, 4, 4, 1, 7, 0, 0, 1, 7, 4, 2},
      {"source right and bottom", 2, 1, 9, 9, 0, 0, 2, 1, 0, 0, 2, 3},
      {"last source column", 3, 0, 4, 4, 0, 0, 0, 0, 0, 0, 0, 0},
      {"last source row", 0, 3, 4, 4, 0, 0, 0, 0, 0, 0, 0, 0},
      {"last destination column", 0, 0, 4, 4, 8, 0, 0, 0, 0, 0, 0, 0},
      {"last destination row", 0, 0, 4, 4, 0, 8, 0, 0, 0, 0, 0, 0},
      {"beyond the destination", 0, 0, 4, 4, 9, 0, 0, 0, 0, 0, 0, 0},
      {"source wholly left", -4, 0, 4, 4, 0, 0, 0, 0, 0, 0, 0, 0},
      {"destination wholly above", 0, 0, 4, 4, 0, -4, 0, 0, 0, 0, 0, 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    Bitmap d(9, 9);
    d.Fill(kBackground);
    BlitTransparent(s, c.sx, c.sy, c.w, c.h, d, c.dx, c.dy);
    int copied = 0;
    for (int y = 0; y < 9; ++y)
      for (int x = 0; x < 9; ++x) {
        const int u = x - c.dx0, v = y - c.dy0;
        const bool inside = u >= 0 && v >= 0 && u < c.cw && v < c.ch;
        const uint32_t src = inside ? s.Pixel(c.sx0 + u, c.sy0 + v) : 0;
        const bool written = inside && src != s.Key();
        EXPECT_EQ(d.Pixel(x, y), written ? src : kBackground) << x << "," << y;
        copied += written;
      }
    EXPECT_EQ(copied > 0, c.cw > 0);
  }
}

// Quadrant colours of a 40 x 40 source as seen on the screen.
constexpr uint32_t kTopLeft = 0x00100000, kTopRight = 0x00200000, kBottomLeft = 0x00300000,
                   kBottomRight = 0x00400000;

Bitmap QuadrantSource() {
  Bitmap s(40, 40);
  for (int y = 0; y < 40; ++y)
    for (int x = 0; x < 40; ++x)
      s.SetPixel(x, y, y < 20 ? (x < 20 ? kTopLeft : kTopRight) : (x < 20 ? kBottomLeft : kBottomRight));
  return s;
}

// The destination holds the expected quadrant picture: pixels well inside
// the disc and away from the quadrant borders show `expected[top][left]`;
// pixels well outside it are untouched. A disc of Size - 0.5 pixels across
// is centred on column width/2 and memory row height/2, that is screen row
// height - 1 - height/2. A radius of 0 expects nothing drawn.
TEST(BlitRotatedDisc, TurnedMirroredAndDegenerateCopies) {
  const Bitmap s = QuadrantSource();
  const struct {
    const char* what;
    int32_t angle, size;
    float aspect;
    int32_t mirrorX, mirrorY, side;
    uint32_t e[2][2];
  } cases[] = {
      {"0 degrees", 0, 40, 1, 1, 1, 40, {{kTopLeft, kTopRight}, {kBottomLeft, kBottomRight}}},
      // A positive angle turns the picture clockwise on the screen.
      {"90 degrees", 90, 40, 1, 1, 1, 40, {{kBottomLeft, kTopLeft}, {kBottomRight, kTopRight}}},
      {"mirrored left to right", 0, 40, 1, -1, 1, 40, {{kTopRight, kTopLeft}, {kBottomRight, kBottomLeft}}},
      {"mirrored top to bottom", 0, 40, 1, 1, -1, 40, {{kBottomLeft, kBottomRight}, {kTopLeft, kTopRight}}},
      {"size 30 in 60", 0, 30, 1, 1, 1, 60, {{kTopLeft, kTopRight}, {kBottomLeft, kBottomRight}}},
      {"size 0", 0, 0, 1, 1, 1, 40, {}},
      {"aspect 0", 0, 40, 0, 1, 1, 40, {}},
      {"negative aspect", 0, 40, -1, 1, 1, 40, {}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    Bitmap d(c.side, c.side);
    BlitRotatedDisc(s, d, c.angle, c.size, c.aspect, c.mirrorX, c.mirrorY);
    const double radius = c.aspect > 0 && c.size > 0 ? (c.size - 0.5) / 2 : -2;
    const double cx = d.Width() / 2, cy = d.Height() - 1 - d.Height() / 2;
    int inside = 0;
    for (int y = 0; y < d.Height(); ++y)
      for (int x = 0; x < d.Width(); ++x) {
        const double rx = x - cx, ry = y - cy, r = std::hypot(rx, ry);
        if (r > radius + 1.5) {
          EXPECT_EQ(d.Pixel(x, y), 0u) << "outside the disc at " << x << "," << y;
        } else if (r < radius - 2 && std::abs(rx) > 2 && std::abs(ry) > 2) {
          EXPECT_EQ(d.Pixel(x, y), c.e[ry < 0 ? 0 : 1][rx < 0 ? 0 : 1]) << x << "," << y;
          ++inside;
        }
      }
    if (radius > 0) {
      EXPECT_GT(inside, int(0.4 * M_PI * (radius - 2) * (radius - 2)));
    }
  }
}

TEST(BlitRotatedDisc, AspectStretchesTheDiscHorizontally) {
  const Bitmap s = QuadrantSource();
  Bitmap d(80, 80);
  BlitRotatedDisc(s, d, 0, 40, 2.0f, 1, 1);
  // The painted band through the centre row is about twice as long as the
  // one through the centre column, which is Size - 0.5 pixels.
  int across = 0, down = 0;
  for (int x = 0; x < 80; ++x) across += d.Pixel(x, 39) != 0;
  for (int y = 0; y < 80; ++y) down += d.Pixel(40, y) != 0;
  EXPECT_NEAR(down, 39.5, 1.0);
  EXPECT_NEAR(across, 2 * down, 3);
}

TEST(BlitRotatedDisc, KeepsTheLargerColourComparingColoursOnly) {
  const Bitmap s = QuadrantSource();
  Bitmap d(40, 40);
  d.Fill(0x00150000);  // brighter than the top-left quadrant, darker than the rest
  {
    // A dark painted pixel (opaque alpha byte) still counts as dark.
    platform::DrawingContext dc(d);
    dc.SetPixel(30, 10, platform::MakeColorRef(0, 0, 1));
  }
  BlitRotatedDisc(s, d, 0, 40, 1.0f, 1, 1);
  EXPECT_EQ(d.Pixel(10, 10), 0x00150000u);
  EXPECT_EQ(d.Pixel(30, 30), kBottomRight);
  EXPECT_EQ(d.Pixel(30, 10), kTopRight);
}

class LineTest : public GraphMiscTest {
 protected:
  void SetUp() override {
    GraphMiscTest::SetUp();
    SetDrawTarget(target_);
  }
  Bitmap target_{30, 30};
};

// Worked examples on a 30 x 30 target, whose clip rectangle keeps a margin
// of 4 pixels: the end point is left out, the minor coordinate is fixed
// point truncated and floored, and coordinates far beyond 32 bits' worth of
// products clip without overflow. A full pattern draws the same pixels.
TEST_F(LineTest, SolidAndFullPatternLinesDrawTheExpectedPixels) {
  const struct {
    const char* what;
    int32_t x1, y1, x2, y2;
    PixelSet pixels;
  } cases[] = {
      {"end point left out", 10, 20, 15, 20, Row(20, 10, 14)},
      {"a point draws nothing", 8, 8, 8, 8, {}},
      {"down a column", 10, 5, 10, 9, Steps(4, [](int k) { return std::pair{10, 5 + k}; })},
      // Slope 1/2: y runs 4, 4.5, 5, ... and each pixel takes the whole part.
      {"slope 1/2", 4, 4, 14, 9, Steps(10, [](int k) { return std::pair{4 + k, 4 + k / 2}; })},
      // Backwards the halves floor downwards: y runs 19, 18.5, 18, ...
      {"slope 1/2 backwards", 14, 19, 4, 14,
       Steps(10, [](int k) { return std::pair{14 - k, 19 - (k + 1) / 2}; })},
      {"wholly left of the margin", 0, 10, 3, 15, {}},
      {"wholly above it", 0, 2, 20, 3, {}},
      {"start clipped to x = 4", 0, 10, 10, 10, Row(10, 4, 9)},
      {"end moved onto x = 26 and left out", 20, 12, 40, 12, Row(12, 20, 25)},
      {"start moved onto x = 26 and drawn", 40, 14, 20, 14, Row(14, 21, 26)},
      {"diagonal", 0, 0, 29, 29, kDiagonal},
      // 32771 * 65534 exceeds 32 bits.
      {"from (-32767, -32767)", -32767, -32767, 32767, 32767, kDiagonal},
      {"from near INT32_MIN", -2147483000, -2147483000, 2147483000, 2147483000, kDiagonal},
      {"steep from far outside", 15, -2000000000, 15, 2000000000,
       Steps(22, [](int k) { return std::pair{15, 4 + k}; })},
      {"shallow from far outside", -2000000000, 20, 2000000000, 20, Row(20, 4, 25)},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    Bitmap solid(30, 30), pattern(30, 30);
    SetDrawTarget(solid);
    DrawLine(c.x1, c.y1, c.x2, c.y2, kWhite);
    EXPECT_EQ(PixelsOf(solid, kWhite), c.pixels);
    SetDrawTarget(pattern);
    DrawPatternLine(c.x1, c.y1, c.x2, c.y2, kWhite, kStop, 1, 0xFFFFFFFF);
    EXPECT_EQ(PixelsOf(pattern, kWhite), c.pixels);
  }
}

TEST_F(LineTest, RandomLinesNeverLeaveTheClipRectangle) {
  std::mt19937 random(7);
  std::uniform_int_distribution<int32_t> any(INT32_MIN, INT32_MAX);
  std::uniform_int_distribution<int32_t> near(-100, 130);
  for (int i = 0; i < 4000; ++i) {
    const bool wild = i % 2 == 0;
    auto c = [&] { return wild ? any(random) : near(random); };
    const int32_t x1 = c(), y1 = c(), x2 = c(), y2 = c();
    switch (i % 3) {
      case 0: DrawLine(x1, y1, x2, y2, kWhite); break;
      case 1: DrawPatternLine(x1, y1, x2, y2, kWhite, kStop, 3, 0xFFFFFFFF); break;
      default: DrawThickLineStop(x1, y1, x2, y2, kWhite, kStop); break;
    }
  }
  // Centre pixels stay inside 4..26; wide and thick extras reach 2 further.
  int drawn = 0;
  for (auto [x, y] : PixelsOf(target_, kWhite)) {
    ASSERT_TRUE(x >= 3 && x <= 28 && y >= 3 && y <= 28) << x << "," << y;
    ++drawn;
  }
  EXPECT_GT(drawn, 100);
}

TEST_F(LineTest, WithoutATargetOrLengthNothingIsDrawn) {
  EXPECT_FALSE(DrawThickLineStop(15, 15, 15, 15, kRed, kStop));
  EXPECT_FALSE(DrawThickLineStop(0, 0, 3, 28, kRed, kStop));  // wholly in the margin
  EXPECT_TRUE(PixelsOf(target_, kRed).empty());
  ClearDrawTarget();
  DrawLine(5, 5, 20, 20, kWhite);
  EXPECT_FALSE(DrawThickLineStop(5, 5, 20, 20, kWhite, kStop));
  Bitmap tiny(6, 6);
  SetDrawTarget(tiny);  // clip rectangle empty
  DrawLine(0, 0, 5, 5, kWhite);
  EXPECT_TRUE(PixelsOf(target_, kWhite).empty());
  EXPECT_TRUE(PixelsOf(tiny, kWhite).empty());
}

TEST_F(LineTest, StopColourEndsPatternLinesAtCentreOrExtraPixel) {
  target_.SetPixel(12, 10, kStop);
  DrawPatternLine(4, 10, 20, 10, kWhite, kStop, 1, 0xFFFFFFFF);
  EXPECT_EQ(PixelsOf(target_, kWhite), Row(10, 4, 11));
  EXPECT_EQ(target_.Pixel(12, 10), kStop);
  // Width 3: at centre 14 the last extra pixel, (15, 21), holds the stop
  // colour; the extras before it are written, nothing after.
  {
    platform::DrawingContext dc(target_);  // a painted stop pixel counts too
    dc.SetPixel(15, 21, platform::PixelToColorRef(kStop));
  }
  DrawPatternLine(4, 20, 24, 20, kRed, kStop, 3, 0xFFFFFFFF);
  EXPECT_EQ(target_.Pixel(14, 21), kRed);
  EXPECT_EQ(target_.Pixel(15, 20), kRed);
  EXPECT_EQ(target_.Pixel(16, 20), 0u);
  EXPECT_TRUE(platform::SameColor(target_.Pixel(15, 21), kStop));
}

// The stop pixels checked for the centre (11, 20), in order: (x-1, y+2)
// before anything, (x+2, y+2) after three pixels, (x-1, y-1) after six,
// (x+2, y-1) after nine.
TEST_F(LineTest, ThickLineStopsAtEachCheckedPixel) {
  const int cases[][3] = {{10, 22, 0}, {13, 22, 3}, {10, 19, 6}, {13, 19, 9}};
  for (const auto& [sx, sy, written] : cases) {
    Bitmap b(30, 30);
    SetDrawTarget(b);
    b.SetPixel(sx, sy, kStop);
    EXPECT_TRUE(DrawThickLineStop(11, 20, 20, 20, kRed, kStop)) << sx << "," << sy;
    EXPECT_EQ(int(PixelsOf(b, kRed).size()), written) << sx << "," << sy;
    EXPECT_EQ(b.Pixel(sx, sy), kStop);
  }
}

// Arcs of radius 30 about (50, 50), angles in tenths of a degree clockwise
// from up: which angles are drawn, whether a stop block across the arc at
// 90° (right of the centre) ends it.
TEST_F(GraphMiscTest, ArcsRunForwardReversedAcrossZeroAndStop) {
  const struct {
    const char* what;
    uint8_t reverse;
    int start, end, step;
    bool stopBlock, stopped;
    std::vector<int> on, off;
  } cases[] = {
      {"full circle", 0, 0, 3600, 10, false, false, {0, 450, 900, 1350, 1800, 2250, 2700, 3150, 3550}, {}},
      {"forward quarter", 0, 0, 900, 10, false, false, {0, 450, 900}, {1350, 1800, 2700}},
      {"reversed quarter", 1, 900, 0, 10, false, false, {0, 450, 900}, {1350, 1800, 2700}},
      {"forward across 0", 0, 3300, 300, 10, false, false, {3300, 0, 300}, {900, 1800, 2700}},
      {"reversed across 0", 1, 300, 3300, 10, false, false, {3300, 0, 300}, {900, 1800, 2700}},
      {"forward from below 0", 0, -450, 450, 10, false, false, {3150, 0, 450}, {1800}},
      // With the end below the start, a forward arc goes the long way round.
      {"forward long way", 0, 900, 0, 10, false, false, {900, 1800, 2700, 3500}, {450}},
      {"reversed long way", 1, 0, 900, 10, false, false, {3500, 2700, 1800, 900}, {450}},
      {"equal angles", 0, 900, 900, 10, false, false, {}, {0, 900, 1800, 2700}},
      {"no step", 0, 0, 900, 0, false, false, {}, {0, 450, 900}},
      {"stopped forward", 0, 0, 1800, 10, true, true, {450}, {1350}},
      {"stopped reversed", 1, 1800, 0, 10, true, true, {1350}, {450}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    Bitmap target(100, 100);
    SetDrawTarget(target);
    if (c.stopBlock)
      for (int y = 44; y <= 56; ++y)
        for (int x = 76; x <= 84; ++x) target.SetPixel(x, y, kStop);
    ArcReverse = c.reverse;
    EXPECT_EQ(DrawArc(50, 50, 30, c.start, c.end, c.step, kWhite, kStop), c.stopped);
    // Drawn at an angle: a white pixel within 1 of the arc point there.
    auto drawnAt = [&](int angle) {
      const double a = angle / 10.0 * M_PI / 180.0;
      const int x = int(std::lround(50 + 30 * std::sin(a))), y = int(std::lround(50 - 30 * std::cos(a)));
      for (int v = y - 1; v <= y + 1; ++v)
        for (int u = x - 1; u <= x + 1; ++u)
          if (target.Pixel(u, v) == kWhite) return true;
      return false;
    };
    for (int a : c.on) EXPECT_TRUE(drawnAt(a)) << a;
    for (int a : c.off) EXPECT_FALSE(drawnAt(a)) << a;
    EXPECT_EQ(target.Pixel(50, 50), 0u);
    EXPECT_EQ(target.Pixel(50, 35), 0u);
  }
}

}  // namespace
