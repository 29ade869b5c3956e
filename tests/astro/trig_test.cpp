// Angle reduction, inverse trigonometry and the start-up tables.
#include "astro/trig.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace {

constexpr double kPi = M_PI;
// Double rounding over a few operations.
constexpr double kTight = 1e-12;

TEST(ModTwoPi, ReducesIntoClosedTurn) {
  EXPECT_EQ(ModTwoPi(0.0), 0.0);
  EXPECT_NEAR(ModTwoPi(-kPi / 2), 1.5 * kPi, kTight);
  EXPECT_NEAR(ModTwoPi(7 * kPi), kPi, kTight);
  EXPECT_EQ(ModTwoPi(TwoPi), TwoPi);  // 2π stays 2π
  EXPECT_NEAR(ModTwoPi(-50.5 * kPi), 1.5 * kPi, 1e-11);
  // A huge angle is reduced at once and stays in range.
  double big = ModTwoPi(1e15);
  EXPECT_GE(big, 0.0);
  EXPECT_LE(big, TwoPi);
  // Non-finite input gives NaN instead of looping.
  constexpr double kInf = std::numeric_limits<double>::infinity();
  for (double bad : {kInf, -kInf, std::nan("")}) EXPECT_TRUE(std::isnan(ModTwoPi(bad))) << bad;
  // Other ranges and units, with the ends a loop of whole turns reaches:
  // from above onto hi, from below onto lo.
  EXPECT_EQ(WrapAngle(540, -180, 180), 180);
  EXPECT_EQ(WrapAngle(-540, -180, 180), -180);
  EXPECT_EQ(WrapAngle(-181, -180, 180), 179);
  EXPECT_EQ(WrapAngle(7205, 100, 3700), 3605);  // tenths of a degree
  EXPECT_EQ(WrapAngle(1e20, 0, 360), std::fmod(1e20, 360.0));
  EXPECT_TRUE(std::isnan(WrapAngle(kInf, 0, 360)));
}

TEST(InverseTrig, ClampsOutsideTheDomainAndKeepsTheRanges) {
  EXPECT_EQ(ArcSinR(1.0000001), kPi / 2);
  EXPECT_EQ(ArcSinR(-2.0), -kPi / 2);
  EXPECT_EQ(ArcCosR(-3.0), kPi);
  EXPECT_EQ(ArcCosR(1.5), 0.0);
  EXPECT_NEAR(ArcSinR(0.5), kPi / 6, kTight);
  EXPECT_NEAR(ArcCosR(0.5), kPi / 3, kTight);
  EXPECT_EQ(ArcCosR(0.0), kPi / 2);
  // ArcTan2R takes x first; its range is [-π/2, 3π/2).
  struct {
    double x, y, angle;
  } const cases[] = {{0, 0, 0.0},         {0, 1, kPi / 2},     {0, -1, 1.5 * kPi},
                     {-1, 0, kPi},        {2, 0, 0.0},         {1, -1, -kPi / 4},  // not 7π/4
                     {-1, -1, 1.25 * kPi}, {-1, 1, 0.75 * kPi}, {1, 1, 0.25 * kPi}};
  for (const auto& c : cases) EXPECT_NEAR(ArcTan2R(c.x, c.y), c.angle, kTight) << c.x << " " << c.y;
  EXPECT_NEAR(Log10R(1000.0), 3.0, kTight);
  EXPECT_EQ(PowerR(0.0, 2.5), 0.0);
  // 10^-0.4 = 0.39810717055 (one magnitude step).
  EXPECT_NEAR(PowerR(10.0, -0.4), 0.39810717055, 1e-10);
  EXPECT_NEAR(TanR(kPi / 4), 1.0, kTight);
}

TEST(StartupTables, TrigLookups) {
  // Single-precision tables: 1e-6 covers float rounding.
  constexpr double kFloat = 1e-6;
  EXPECT_NEAR(SinTable[-900], -1.0, kFloat);
  EXPECT_NEAR(SinTable[0], 0.0, kFloat);
  EXPECT_NEAR(SinTable[3600], 0.0, kFloat);
  EXPECT_NEAR(SinTable[300], 0.5, kFloat);
  EXPECT_NEAR(CosTable[600], 0.5, kFloat);
  EXPECT_NEAR(CosTable[-900], 0.0, kFloat);
  EXPECT_NEAR(CosArcSinTable[0], 1.0, kFloat);
  EXPECT_NEAR(CosArcSinTable[30000], 0.8, kFloat);  // sqrt(1 - 0.6²)
  EXPECT_NEAR(CosArcSinTable[50000], 0.0, kFloat);
  EXPECT_NEAR(ArcSinTable[25000], kPi / 6, kFloat);
  EXPECT_NEAR(ArcSinTable[-50000], -kPi / 2, kFloat);
  EXPECT_NEAR(ArcCosTable[-25000], 2 * kPi / 3, kFloat);
  EXPECT_NEAR(ArcCosTable[50000], 0.0, kFloat);
}

TEST(StartupTables, ColourRampsAndStarColourCopies) {
  // Constant entries; the warm ramp from 26,23,21 to 215,127,81, the grey
  // ramp from 22 to 114, the blue ramp from 61,78,166 down to 14,17,32; the
  // star colour tables 0..3 copied to 139, 147, 155, 163 (table 3 entry 7:
  // 250,220,220 / 3).
  struct {
    int i, r, g, b;
  } const triples[] = {
      {0, 0, 255, 255},       {31, 70, 0, 0},          {96, 120, 90, 20},       {97, 254, 254, 254},
      {138, 63, 150, 63},     {32, 26, 23, 21},        {63, 215, 127, 81},      {64, 22, 22, 22},
      {95, 114, 114, 114},    {BlueRamp, 61, 78, 166}, {BlueRamp + BlueRampCount - 1, 14, 17, 32},
      {139 + 1, 128, 200, 255}, {147 + 6, 250, 220, 190}, {155 + 1, 105, 110, 127}, {163 + 7, 83, 73, 73},
  };
  for (const auto& t : triples) {
    SCOPED_TRACE(t.i);
    EXPECT_EQ(ColorTriples[t.i].Red, t.r);
    EXPECT_EQ(ColorTriples[t.i].Green, t.g);
    EXPECT_EQ(ColorTriples[t.i].Blue, t.b);
  }
  EXPECT_EQ(StarColors[0][1], MakeColorRef(128, 200, 255));
  EXPECT_EQ(StarColors[1][6], MakeColorRef(250, 220, 190));
  // Half and one third of table 1 entry 1 (210, 220, 255).
  EXPECT_EQ(StarColors[2][1], MakeColorRef(105, 110, 127));
  EXPECT_EQ(StarColors[3][1], MakeColorRef(70, 73, 85));
  // Entries 8 and 9 of the dim tables stay black.
  EXPECT_EQ(StarColors[2][8], 0u);
  EXPECT_EQ(StarColors[3][9], 0u);
  // Red is the low byte.
  EXPECT_EQ(MakeColorRef(1, 2, 3), 0x030201u);
}

}  // namespace
