// The Sun and Moon sprites made from the source pictures.
#include "chart/sun_moon_images.h"

#include <gtest/gtest.h>

#include "app/globals.h"
#include "platform/dialogs.h"
#include "tests/support/bmp_file.h"
#include "tests/support/test_support.h"

namespace {

class SunMoonImages : public ::testing::Test {
 protected:
  void SetUp() override {
    FreeAllAutoBitmaps();
    MoonBitmap = SunBitmap = nullptr;
    saved_ = DataFolder;
    DataFolder = dir_.Path();
  }
  void TearDown() override {
    FreeAllAutoBitmaps();
    MoonBitmap = SunBitmap = nullptr;
    DataFolder = saved_;
  }
  // A 16 x 16 picture: palette index 200 everywhere but 7 in the bottom-left
  // pixel, so the key pixel is not black before the sprite is made.
  void WritePicture(const std::string& name) {
    std::vector<uint8_t> pixels(256, 200);
    pixels[0] = 7;
    testing_support::WriteFile(dir_.File(name), BmpFile(16, 16, 8, pixels));
  }
  testing_support::TempDir dir_;
  std::string saved_;
};

const uint32_t kPicture = platform::MakePixel(uint8_t(3 * 200 % 256), uint8_t(2 * 200 % 256), 200);

}  // namespace

TEST_F(SunMoonImages, LoadsBothPicturesWhateverTheirNameCase) {
  WritePicture("MOON.BMP");
  WritePicture("sun.bmp");
  platform::ScopedScriptedDialogs dialogs;
  EXPECT_TRUE(LoadSunMoonImages());
  ASSERT_NE(MoonBitmap, nullptr);
  ASSERT_NE(SunBitmap, nullptr);
  EXPECT_EQ(dialogs.Count(), 0u);
  EXPECT_EQ(AutoBitmapCount(), 2);
}

TEST_F(SunMoonImages, MissingPictureIsReportedAndLeavesNoImage) {
  WritePicture("moon.bmp");
  platform::ScopedScriptedDialogs dialogs;
  EXPECT_FALSE(LoadSunMoonImages());
  EXPECT_NE(MoonBitmap, nullptr);
  EXPECT_EQ(SunBitmap, nullptr);
  ASSERT_EQ(dialogs.Count(), 1u);
  EXPECT_NE(dialogs.Last().text.find("Can't open bitmap file"), std::string::npos);
  EXPECT_EQ(MakeSunImage(20, 1, 1, 1.0f), nullptr);
}

TEST_F(SunMoonImages, SpriteSizeDiscAndTransparentKey) {
  WritePicture("moon.bmp");
  WritePicture("sun.bmp");
  platform::ScopedScriptedDialogs dialogs;
  ASSERT_TRUE(LoadSunMoonImages());

  // Size 21 at aspect 1: side rounded up to a multiple of 4, plus 4.
  Bitmap* moon = MakeMoonImage(30, 21, 1, 1, 1.0f);
  ASSERT_NE(moon, nullptr);
  EXPECT_EQ(moon->Width(), 28);
  EXPECT_EQ(moon->Height(), 28);
  EXPECT_EQ(moon->Pixel(14, 14), kPicture) << "disc centre holds the picture";
  EXPECT_EQ(moon->Pixel(1, 1), 0u) << "outside the disc stays black";
  EXPECT_EQ(moon->Key(), 0u);
  EXPECT_EQ(MoonBitmap->Key(), 0u) << "the source's key pixel is made black too";

  // A stretched disc makes a wider square.
  Bitmap* sun = MakeSunImage(20, 1, 1, 1.5f);
  ASSERT_NE(sun, nullptr);
  EXPECT_EQ(sun->Width(), 36);  // 30 pixels across: 32 + 4
  EXPECT_EQ(sun->Key(), 0u);
  EXPECT_EQ(AutoBitmapCount(), 4);

  EXPECT_EQ(MakeMoonImage(0, 0, 1, 1, 1.0f), nullptr);
  EXPECT_EQ(dialogs.Count(), 0u);
}
