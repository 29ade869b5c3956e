// The horizon editor: a skyline picture sampled into the profile, drawn back,
// and read from a file.
#include <gtest/gtest.h>

#include <QImage>

#include "tests/support/test_support.h"
#include "tools/horizon.h"

namespace {

constexpr QRgb kSky = 0xFF4080FF;     // colour reference 0x00FF8040
constexpr QRgb kGround = 0xFF206010;  // colour reference 0x00106020

// A 720 × 180 skyline: ground up to 10° altitude, a 40° tower from azimuth
// 90° to 100°.
QImage Skyline() {
  QImage img(720, 180, QImage::Format_RGB32);
  for (int x = 0; x < 720; ++x)
    for (int y = 0; y < 180; ++y) {
      const double az = x / 2.0, alt = 90.0 - y / 2.0;
      const double top = az >= 90 && az < 100 ? 40 : 10;
      img.setPixel(x, y, alt < top ? kGround : kSky);
    }
  return img;
}

TEST(HorizonPicture, PictureToProfileAndBack) {
  THorizonArray h{};
  PictureToProfile(Skyline(), h);
  // Every cell is set; row k is altitude 90 - k.
  EXPECT_EQ(h[0][0], 0x00FF8040u);
  EXPECT_EQ(h[45][85], 0x00106020u);   // 5° up: ground
  EXPECT_EQ(h[45][75], 0x00FF8040u);   // 15° up: sky
  EXPECT_EQ(h[95][60], 0x00106020u);   // 30° up on the tower
  EXPECT_EQ(h[95][45], 0x00FF8040u);   // 45° up above it
  EXPECT_EQ(h[360][90], 0x00106020u);
  // Back to a picture of the editor's size: the same skyline.
  const QImage back = ProfileToPicture(h, 361, 91);
  EXPECT_EQ(back.pixel(45, 85), kGround);
  EXPECT_EQ(back.pixel(95, 60), kGround);
  EXPECT_EQ(back.pixel(200, 60), kSky);
  const QImage again = ProfileToPicture(h, 720, 180);
  int differing = 0;
  const QImage orig = Skyline();
  for (int x = 0; x < 720; ++x)
    for (int y = 0; y < 180; ++y) differing += again.pixel(x, y) != orig.pixel(x, y);
  // Only pixels next to an edge may land on the neighbouring cell (1° cells
  // against 0.5° pixels): at most the two edge rows and columns of each step.
  EXPECT_LT(differing, 720 * 4 + 180 * 4);
}

TEST(HorizonPicture, SmallPictureKeepsCellsItDoesNotReach) {
  THorizonArray h{};
  h[1][1] = 0x123456;
  QImage small(100, 30, QImage::Format_RGB32);
  small.fill(kGround);
  PictureToProfile(small, h);
  EXPECT_EQ(h[1][1], 0x123456u);      // 3.6° steps skip azimuth 1
  EXPECT_EQ(h[4][3], 0x00106020u);    // x = 1, y = 1
  PictureToProfile(QImage(), h);      // nothing loaded: nothing changes
  EXPECT_EQ(h[4][3], 0x00106020u);
}

TEST(HorizonPicture, ReadsPictureFiles) {
  testing_support::TempDir dir;
  ASSERT_TRUE(Skyline().save(QString::fromStdString(dir.File("farm.bmp"))));
  ASSERT_TRUE(Skyline().save(QString::fromStdString(dir.File("farm.jpg")), "JPG", 95));
  EXPECT_EQ(LoadHorizonPicture(dir.File("farm.bmp")).pixel(200, 170), kGround);
  EXPECT_EQ(LoadHorizonPicture(dir.File("farm.jpg")).width(), 720);
  // TIFF through the image-format plugins, as the editor's file filter offers it.
  ASSERT_TRUE(Skyline().save(QString::fromStdString(dir.File("farm.tif")), "TIFF"));
  EXPECT_EQ(LoadHorizonPicture(dir.File("farm.tif")).pixel(200, 170), kGround);
  EXPECT_TRUE(LoadHorizonPicture(dir.File("none.gif")).isNull());
}

}  // namespace
