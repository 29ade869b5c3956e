// An exposure on INDI's CCD simulator through the INDI camera driver and
// the ASCOM camera: indiserver runs indi_simulator_ccd on a free port; the
// picture arrives as FITS data of the simulator's frame size.
#include <gtest/gtest.h>

#include <QImage>
#include <cstdlib>

#include "imaging/ascom_camera.h"
#include "imaging/camera_setup.h"
#include "imaging/indi_camera.h"
#include "tests/support/indi_props.h"
#include "tests/support/indi_server.h"

using namespace imaging;
using testing_support::WaitUntil;

TEST(IndiCamera, ExposesOnTheCcdSimulator) {
  const QStringList drivers = {"indi_simulator_ccd"};
  if (!testing_support::HaveIndi(drivers)) {
    if (std::getenv("CI")) FAIL() << "indiserver or indi_simulator_ccd is missing";
    GTEST_SKIP() << "indiserver and indi_simulator_ccd (Debian package indi-bin) are not installed";
  }
  ImagingSettingsDoc().Doc.Clear();
  testing_support::IndiServer server(drivers);
  ASSERT_TRUE(server.Start()) << "indiserver did not start";
  const int port = server.port;
  {
    TAscomCameraSlots window;
    window[1].name = IndiCameraId("127.0.0.1", port, "CCD Simulator");
    window.ConnectClick(1);
    TASCOMCamera* cam = window.Camera(1);
    ASSERT_NE(cam, nullptr) << "the INDI camera did not connect";
    cam->SetConnected(true);
    ASSERT_TRUE(cam->Connected());
    const int32_t w = cam->Driver().Get("CameraXSize").AsInt(), h = cam->Driver().Get("CameraYSize").AsInt();
    ASSERT_GT(w, 0);
    EXPECT_EQ(cam->GetXSize(), w);
    ASSERT_TRUE(cam->StartExposure(0.5, true));
    EXPECT_TRUE(WaitUntil(
        [&] {
          cam->Poll();
          return cam->ExposureState == 0;
        },
        30));
    ASSERT_TRUE(cam->GetImageReady());
    TFitsBitmap& img = cam->GetImage();
    EXPECT_EQ(img.Header.NAxis1, w);
    EXPECT_EQ(img.Header.NAxis2, h);
    EXPECT_EQ(img.Width(), w);
    if (const char* dir = std::getenv("NOCTRA_IMAGING_SHOTS"))
      img.Bitmap().Image().scaled(640, 512).save(QString(dir) + "/indi_ccd.png");
    window.DisconnectClick(1);
  }
  server.Stop();
  Cameras().SourceSettings.clear();
  ImagingSettingsDoc().Doc.Clear();
}

// Values a device reports are checked before they become integers: NaN,
// infinite and huge sizes, binning and frames fail the member as a driver
// error; sound ones read as reported.
TEST(IndiCamera, DeviceNumbersOutOfRangeFailTheMember) {
  using testing_support::IndiNumbers;
  auto client = std::make_shared<platform::TIndiClient>(platform::TIndiAddress{"127.0.0.1", 1, "CCD"});
  testing_support::IndiConnected(*client);
  platform::TAutomationRef cam = MakeIndiCamera(client);
  const struct Case {
    double x, bin, width;
    bool ok;
  } cases[] = {{1280, 2, 1280, true}, {NAN, 1, 640, false},  {1e30, 1, 640, false},
               {640, NAN, 640, false}, {640, 1e12, 640, false}, {640, 1, -INFINITY, false},
               {640, 1, 3e9, false}};
  for (const Case& c : cases) {
    IndiNumbers(*client, "CCD_INFO", {{"CCD_MAX_X", c.x}, {"CCD_MAX_Y", 960}, {"CCD_PIXEL_SIZE_X", 3.75},
                                      {"CCD_PIXEL_SIZE_Y", 3.75}});
    IndiNumbers(*client, "CCD_BINNING", {{"HOR_BIN", c.bin, 1, 4}, {"VER_BIN", 1, 1, 4}});
    IndiNumbers(*client, "CCD_FRAME", {{"X", 0}, {"Y", 0}, {"WIDTH", c.width}, {"HEIGHT", 960}});
    auto read = [&] {
      return std::vector<int32_t>{cam->Get("CameraXSize").AsInt(), cam->Get("BinX").AsInt(), cam->Get("NumX").AsInt()};
    };
    if (c.ok)
      EXPECT_EQ(read(), (std::vector<int32_t>{1280, 2, 640}));
    else
      EXPECT_THROW(read(), platform::EAutomationError) << c.x << " " << c.bin << " " << c.width;
  }
}
