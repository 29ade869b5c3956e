// The image-file camera: choosing the newest picture of a folder, loading
// bitmaps, JPEG and FITS pictures, refusing unreadable ones, and its pseudo
// exposure.
#include <gtest/gtest.h>

#include <QImage>
#include <filesystem>

#include "imaging/file_camera.h"
#include "shell/log_lines.h"
#include "tests/support/test_support.h"

using namespace imaging;
namespace fs = std::filesystem;

namespace {

// Sets a file's modification time to `seconds` after a fixed instant
// (2026-01-10 00:00 UTC), whatever the clock reads.
void Stamp(const std::string& file, int seconds) {
  const auto base = std::chrono::sys_seconds(std::chrono::seconds(1768003200));
  fs::last_write_time(file, std::chrono::file_clock::from_sys(base + std::chrono::seconds(seconds)));
}

void WritePicture(const std::string& file, int w, int h) {
  QImage img(w, h, QImage::Format_RGB32);
  img.fill(qRgb(10, 20, 30));
  ASSERT_TRUE(img.save(QString::fromStdString(file)));
}

void WriteFits(const std::string& file, int w, int h, const std::string& mosaic) {
  TFitsHeader hd = NewFitsHeader(16, w, h);
  hd.Range = 100;
  hd.Mosaic = mosaic;
  ASSERT_TRUE(SaveFitsHeader(file, hd, FitsData(std::size_t(hd.DataBlocks * kFitsBlock), 0)));
}

// A 2 x 2 FITS picture of 16 bits whose card `key` holds `value`.
void WriteFitsWith(const std::string& file, const std::string& key, const std::string& value) {
  WriteFits(file, 2, 2, "");
  std::string bytes = testing_support::ReadText(file);
  const std::size_t at = bytes.find((key + "    ").substr(0, 8) + "= ");
  ASSERT_NE(at, std::string::npos) << key;
  testing_support::WriteText(file, bytes.replace(at + 10, 20, std::string(20 - value.size(), ' ') + value));
}

struct FreshSettings {
  FreshSettings() { ImagingSettingsDoc().Doc.Clear(); }
  ~FreshSettings() { ImagingSettingsDoc().Doc.Clear(); }
};

}  // namespace

TEST(FileCamera, ChoosesTheNewestPictureOfAFolder) {
  FreshSettings fresh;
  testing_support::TempDir dir;
  TIFFCamera cam;
  cam.Settings.Name = dir.Path();
  EXPECT_EQ(cam.ChooseFile(), "");  // empty folder
  WritePicture(dir.File("a.jpg"), 8, 6);
  WriteFits(dir.File("b.fts"), 5, 4, "");
  Stamp(dir.File("a.jpg"), 0);
  Stamp(dir.File("b.fts"), 50);
  EXPECT_EQ(cam.ChooseFile(), dir.File("b.fts"));  // FITS written after the JPEG
  WritePicture(dir.File("c.bmp"), 3, 3);
  Stamp(dir.File("c.bmp"), 50);
  EXPECT_EQ(cam.ChooseFile(), dir.File("c.bmp"));  // equal times: the earlier mask wins

  // A file path with auto-load on is taken as a folder: nothing.
  cam.Settings.Name = dir.File("a.jpg");
  cam.Settings.ModifiedCamera = true;
  EXPECT_EQ(cam.ChooseFile(), "");
  cam.Settings.ModifiedCamera = false;
  EXPECT_EQ(cam.ChooseFile(), dir.File("a.jpg"));
  cam.Settings.Name = dir.File("missing.fts");
  EXPECT_EQ(cam.ChooseFile(), "");
}

TEST(FileCamera, ExposesPicturesAndRefusesUnreadableOnes) {
  FreshSettings fresh;
  testing_support::TempDir dir;
  TIFFCamera cam;
  cam.Settings.Name = dir.File("pic.jpg");
  WritePicture(cam.Settings.Name, 8, 6);
  cam.SetConnected(true);
  ASSERT_TRUE(cam.Connected());
  EXPECT_EQ(cam.GetXSize(), 8);
  EXPECT_EQ(cam.GetYSize(), 6);
  ASSERT_TRUE(cam.StartExposure(2.0, true));
  // The first exposure is ready within three ticks.
  for (int i = 0; i < 3; ++i) cam.Poll();
  ASSERT_TRUE(cam.GetImageReady());
  TFitsBitmap& img = cam.GetImage();
  EXPECT_EQ(img.Header.NAxis, 3);
  EXPECT_EQ(FitsValue(img.Data().data(), 8, 0), 10);  // red plane
  cam.Poll();
  EXPECT_EQ(cam.ExposureState, 0);

  // A FITS picture is taken over; Force Monochrome clears its mosaic.
  cam.Settings.Name = dir.File("raw.fit");
  WriteFits(cam.Settings.Name, 12, 10, "RGGB(0,0)");
  cam.Settings.ForceMono = true;
  ASSERT_TRUE(cam.StartExposure(2.0, true));
  EXPECT_EQ(cam.GetXSize(), 12);
  // The next exposure waits its 2 s after the previous start.
  uint64_t now = CameraClocks().NowMs();
  CameraClocks().NowMs = [&now] { return now; };
  for (int i = 0; i < 3; ++i) cam.Poll();
  EXPECT_FALSE(cam.GetImageReady());
  now += 2001;
  for (int i = 0; i < 3; ++i) cam.Poll();
  ASSERT_TRUE(cam.GetImageReady());
  EXPECT_EQ(cam.GetImage().Header.Mosaic, "");
  ResetCameraClocksForTest();

  // Damaged FITS files and unreadable pictures load nothing.
  for (const char* name : {"bad.fts", "bad.bmp"}) {
    cam.Settings.Name = dir.File(name);
    testing_support::WriteText(cam.Settings.Name, "SIMPLE  = T  this is not a picture");
    EXPECT_FALSE(cam.StartExposure(2.0, true)) << name;
  }
}

// A FITS picture the reader refuses loads nothing, and the log names the
// file and the reason; one read with a doubt (BSCALE 0, every pixel BZERO)
// is exposed, and the log says so.
TEST(FileCamera, TheLogSaysWhyAFitsPictureIsRefusedOrDoubtful) {
  FreshSettings fresh;
  testing_support::TempDir dir;
  TIFFCamera cam;
  const std::string& file = cam.Settings.Name = dir.File("scaled.fts");
  WriteFitsWith(file, "BZERO", "1E300");
  cam.SetConnected(true);
  EXPECT_FALSE(cam.StartExposure(2.0, true));
  EXPECT_EQ(LogLines().LastLine(),
            "[Image File] " + file + " is not loaded: BZERO = 1E300 cannot be applied to 16-bit data");
  // Pictures refused as "Fits image is not valid": the log has the reason.
  const struct {
    const char* key;
    const char* value;  // "cut": the data part cut short; "END": the END card renamed
    std::string reason;
  } refused[] = {
      {"NAXIS", "0", "NAXIS = 0: only pictures of 2 axes (or 3 with 1 or 3 planes) are read"},
      {"BITPIX", "64", "BITPIX = 64: not one of 8, 16, 32, -32, -64"},
      {"NAXIS1", "16384", "NAXIS1 = 16384: not within 1 to 16383"},
      {"", "cut", "the data part is cut short: 5 of 8 bytes"},
      {"", "END", "no END card: the file ends within its header"},
  };
  for (const auto& r : refused) {
    SCOPED_TRACE(r.reason);
    WriteFitsWith(file, "BITPIX", "16");
    std::string bytes = testing_support::ReadText(file);
    if (r.key[0]) WriteFitsWith(file, r.key, r.value);
    else if (std::string(r.value) == "cut") testing_support::WriteText(file, bytes.substr(0, 2880 + 5));
    else testing_support::WriteText(file, bytes.replace(bytes.find("END     "), 3, "XND"));
    EXPECT_FALSE(cam.StartExposure(2.0, true));
    EXPECT_EQ(LogLines().LastLine(), "[Image File] " + file + " is not loaded: " + r.reason);
  }
  WriteFitsWith(file, "BSCALE", "0");
  ASSERT_TRUE(cam.StartExposure(2.0, true));
  EXPECT_EQ(LogLines().LastLine(), "[Image File] " + file + ": BSCALE = 0: every pixel has the value of BZERO, 32768");
  for (int i = 0; i < 3; ++i) cam.Poll();
  EXPECT_TRUE(cam.GetImageReady());
}
