// The chart mask: the painted shape of each kind, the pixel and edge tests
// on it, and the arithmetic shape test.
#include "chart/mask.h"

#include <gtest/gtest.h>

#include "tests/chart/inset_support.h"

using namespace inset_support;

namespace {

class ChartMaskTest : public InsetFixture {
 protected:
  void SetUp() override {
    InsetFixture::SetUp();  // style 7: dark red 50,0,0, whose blue byte is that of black
    BackBufferWidth = MapWidth = 1000;
    BackBufferHeight = MapHeight = 700;
    ASSERT_TRUE(CreateOvalMask());
  }
  void TearDown() override {
    InsetFixture::TearDown();
    OvalMaskKind = 2;
  }
};

struct MaskCase {
  int32_t kind;
  int32_t x, y;
  bool expected;  // masked, or inside the chart area
};

// Points clearly on either side of each shape: the chart rectangle is
// (2, 1)-(995, 694) with right and bottom excluded; the ellipses are
// bounded by (insetX/2 - 1, insetY/2)-(1000 - insetX/2 - 1, 700 - insetY/2).
const MaskCase kMaskCases[] = {
    {0, 500, 350, false}, {0, 1, 350, true},   {0, 3, 2, false},    {0, 996, 350, true},  {0, 500, 695, true},
    {1, 500, 350, false}, {1, 1, 350, true},   {1, 4, 3, true},     {1, 994, 692, true},  {1, 5, 350, false},
    {2, 500, 350, false}, {2, 20, 20, true},   {2, 14, 350, false}, {2, 5, 350, true},    {2, 500, 2, true},
    {3, 500, 350, false}, {3, 45, 350, false}, {3, 35, 350, true},  {3, 500, 5, true},   {3, 950, 350, false},
    {4, 500, 350, false}, {4, 55, 350, false}, {4, 45, 350, true},  {4, 955, 350, true},  {4, 500, 685, false},
};

TEST_F(ChartMaskTest, EachKindMasksItsBorderAndLeavesItsChartOpen) {
  for (const MaskCase& c : kMaskCases) {
    OvalMaskKind = c.kind;
    UpdateOvalMask();
    EXPECT_EQ(IsMaskedPixel(c.x, c.y), c.expected) << "kind " << c.kind << " at " << c.x << "," << c.y;
    // Inside the shape the mask is the key colour, outside the mask colour.
    const uint32_t colour = c.expected ? platform::ColorRefToPixel(MakeColorRef(50, 0, 0)) : 0u;
    EXPECT_TRUE(platform::SameColor(MaskBitmap->Pixel(c.x, c.y), colour)) << "kind " << c.kind;
  }
}

// Points off the bitmap are not masked; the edge test finds the mask and
// the bitmap's border; a resized back buffer gets a new mask of its size.
TEST_F(ChartMaskTest, EdgesOffTheBitmapAndResizing) {
  OvalMaskKind = 2;
  UpdateOvalMask();
  EXPECT_FALSE(IsMaskedPixel(0, 700));    // element index below 0
  EXPECT_FALSE(IsMaskedPixel(0, -1000));  // element index beyond the end
  EXPECT_FALSE(IsNearMaskEdge(500, 350, 10));
  EXPECT_TRUE(IsNearMaskEdge(14, 350, 10));    // (4, 340) lies on the mask
  EXPECT_TRUE(IsNearMaskEdge(500, 5, 6));      // y - d is off the bitmap
  EXPECT_TRUE(IsNearMaskEdge(500, 350, 400));  // farther than the bitmap's edge
  BackBufferWidth = MapWidth = 640;
  BackBufferHeight = MapHeight = 480;
  UpdateOvalMask();
  EXPECT_EQ(MaskBitmap->Width(), 640);
  EXPECT_EQ(MaskBitmap->Height(), 480);
  EXPECT_EQ(AutoBitmapCountForTest(), 1);
}

// Night vision paints the mask in another colour; it is detected too.
TEST_F(ChartMaskTest, NightVisionMaskIsDetectedToo) {
  ColorMode = 2;
  OvalMaskKind = 3;
  UpdateOvalMask();
  EXPECT_TRUE(IsMaskedPixel(10, 10));
  EXPECT_FALSE(IsMaskedPixel(500, 350));
  ColorMode = 0;
}

TEST_F(ChartMaskTest, ChartAreaFollowsTheShapeOfEachKind) {
  // Kind 0 and 2 on a 1000 x 700 chart (a = 490, b = 347 for kind 2).
  const MaskCase cases[] = {
      {0, 2, 2, true},      {0, 1, 2, false},    {0, 996, 694, true}, {0, 997, 694, false}, {0, 996, 695, false},
      {2, 500, 350, true},  {2, 10, 350, true},  {2, 9, 350, false},  {2, 500, 3, true},    {2, 20, 20, false},
      {1, 1, 350, false},   {1, 3, 3, false},    {1, 2, 350, true},   {3, 40, 350, true},   {3, 39, 350, false},
      {4, 50, 350, true},   {4, 49, 350, false}, {4, 500, 10, true},  {4, 500, 9, false},
  };
  for (const MaskCase& c : cases) {
    OvalMaskKind = c.kind;
    UpdateOvalMask();
    EXPECT_EQ(InChartArea(c.x, c.y), c.expected) << "kind " << c.kind << " at " << c.x << "," << c.y;
  }
}

}  // namespace
