// The camera layer: operation rules and error texts, the image hand-over,
// consumer lists and tokens, and the imaging settings file.
#include <gtest/gtest.h>

#include <cstring>

#include "imaging/camera.h"
#include "imaging/camera_setup.h"
#include "platform/dialogs.h"
#include "shell/log_lines.h"
#include "shell/xml_settings.h"
#include "tests/support/test_support.h"

using namespace imaging;

namespace {

// Resets the imaging settings document around each test.
struct FreshSettings {
  FreshSettings() { Reset(); }
  ~FreshSettings() { Reset(); }
  static void Reset() {
    ImagingSettingsDoc().Doc.Clear();
    ImagingSettingsDoc().Loaded = false;
  }
};

// A camera whose driver connects on request and counts its aborts.
class TestCamera : public TCamera {
 public:
  TestCamera() : TCamera("TEST1", "Image File") {}
  bool DoConnect() override { return connects; }
  void DriverAbort() override { ++aborts; }
  void Deliver(const TFitsHeader& h, FitsData d) {
    StampStart();
    DeliverImage(h, std::move(d));
  }
  void Fail(const std::string& text) { FailExposure(text); }
  bool connects = true;
  int aborts = 0;
};

std::string ErrorOf(const std::function<void()>& f) {
  try {
    f();
  } catch (const ECameraError& e) {
    return e.what();
  }
  return "";
}

}  // namespace

TEST(Camera, OperationRulesAndErrorTexts) {
  FreshSettings fresh;
  TestCamera cam;
  // Stop on an idle, disconnected camera: the state is tested first.
  EXPECT_EQ(ErrorOf([&] { cam.StopExposure(); }), "Camera is not capturing.");
  EXPECT_EQ(ErrorOf([&] { cam.StartExposure(1, true); }), "Camera is not connected.");
  EXPECT_EQ(ErrorOf([&] { cam.AbortExposure(); }), "Camera is not connected.");
  EXPECT_EQ(ErrorOf([&] { cam.GetImageReady(); }), "Camera is not connected.");
  EXPECT_EQ(ErrorOf([&] { cam.GetImage(); }), "Camera has not aquired an image.");
  cam.Settings.PixelsX = -1;
  EXPECT_EQ(ErrorOf([&] { cam.GetXSize(); }), "Camera X Size unknown.");
  cam.Settings.PixelsX = 640;

  cam.connects = false;
  cam.SetConnected(true);
  EXPECT_FALSE(cam.Connected());
  cam.connects = true;
  cam.SetConnected(true);
  ASSERT_TRUE(cam.Connected());

  EXPECT_TRUE(cam.StartExposure(0.0005, true));
  EXPECT_EQ(cam.Settings.ExInterval, 0);  // truncated
  EXPECT_EQ(cam.ExposureState, 1);
  cam.StopExposure();
  EXPECT_EQ(cam.ExposureState, 2);
  // Abort reaches the driver in any running state and ends in idle.
  cam.AbortExposure();
  EXPECT_EQ(cam.ExposureState, 0);
  EXPECT_EQ(cam.aborts, 1);

  // Connecting and disconnecting reset the exposure state.
  cam.StartExposure(1, true);
  cam.SetConnected(false);
  EXPECT_EQ(cam.ExposureState, 0);
  cam.ExposureState = 5;
  cam.SetConnected(true);
  EXPECT_EQ(cam.ExposureState, 0);

  // A failure ends the exposure in idle with one log line.
  LogLines().Clear();
  cam.StartExposure(1, true);
  cam.Fail("Exposure failed.");
  EXPECT_EQ(cam.ExposureState, 0);
  EXPECT_FALSE(cam.GetImageReady());
  EXPECT_EQ(LogLines().Lines(), std::vector<std::string>{"[Image File] Exposure failed."});
}

TEST(Camera, GetImageAppliesFlipsRangeAndTimeStamps) {
  FreshSettings fresh;
  CameraClocks().Utc = [] {
    platform::SYSTEMTIME t;
    t.wYear = 2026;
    t.wMonth = 3;
    t.wDay = 7;
    t.wHour = 12;
    t.wMinute = 3;
    t.wSecond = 4;
    t.wMilliseconds = 5;
    return t;
  };
  TestCamera cam;
  cam.SetConnected(true);
  TFitsHeader h;
  h.Simple = true;
  h.BitPix = h.SaveBitPix = 16;
  h.NAxis = 2;
  h.NAxis1 = 2;
  h.NAxis2 = 2;
  FitsData d(kFitsBlock, 0);
  const uint16_t v[4] = {1, 2, 3, 4};
  std::memcpy(d.data(), v, sizeof v);
  cam.Settings.Invert = true;
  cam.Settings.Mirror = true;
  cam.Settings.ExInterval = 2500;
  cam.AutoRange = false;
  cam.DisplayLow = 100;
  cam.DisplayHigh = 99;
  cam.Deliver(h, d);
  ASSERT_TRUE(cam.GetImageReady());
  TFitsBitmap& img = cam.GetImage();
  EXPECT_EQ(img.Header.DateObs, "2026-03-07");
  EXPECT_EQ(img.Header.TimeObs, "12:03:04.005");
  EXPECT_EQ(img.Header.ExposureTime, 2.5);
  EXPECT_EQ(img.Header.Background, 100);
  EXPECT_EQ(img.Header.Range, 0);
  // Both flips: element order reversed, and not applied twice.
  EXPECT_EQ(FitsValue(img.Data().data(), 16, 0), 4);
  cam.DisplayLow = 0;
  cam.DisplayHigh = 65535;
  TFitsBitmap& again = cam.GetImage();
  EXPECT_EQ(FitsValue(again.Data().data(), 16, 0), 4);
  EXPECT_EQ(again.Header.Background, 0);
  EXPECT_EQ(again.Header.Range, 65535);
  ResetCameraClocksForTest();
}

TEST(Camera, ConsumerListsKeepTheFixedOrder) {
  TCameraList list;
  EXPECT_TRUE(list.Add("Image File"));
  EXPECT_TRUE(list.Add("DSI Camera #1"));
  EXPECT_TRUE(list.Add("VFW Camera #2"));
  EXPECT_TRUE(list.Add("VFW Camera #2"));  // already there: unchanged
  EXPECT_FALSE(list.Add("Webcam"));
  EXPECT_EQ(list.Names(), (std::vector<std::string>{"None", "Image File", "VFW Camera #2", "DSI Camera #1"}));
  list.Select("VFW Camera #2");
  EXPECT_TRUE(list.IsSelected("VFW Camera #2"));
  list.Remove("VFW Camera #2");
  EXPECT_EQ(list.Current(), "");
  EXPECT_EQ(list.Names().size(), 3u);
}

TEST(Camera, TokenRulesShowTheirMessages) {
  FreshSettings fresh;
  platform::ScopedScriptedDialogs dialogs;
  TestCamera cam;
  TCameraToken first, second;
  first.Get(cam);
  EXPECT_TRUE(first.Has());
  EXPECT_EQ(cam.Settings.CameraToken, 0u);
  first.Get(cam);
  EXPECT_EQ(dialogs.Last().text, "Error, trying to get a token we already have.");
  second.Get(cam);
  EXPECT_EQ(dialogs.Last().text, "Error, camera token is gone.");
  second.Return(cam);
  EXPECT_EQ(dialogs.Last().text, "Error, trying to return a token we don't have.");
  first.Return(cam);
  EXPECT_EQ(cam.Settings.CameraToken, 1u);
  cam.Settings.CameraToken = 0;
  first.Get(cam);  // gone
  cam.Settings.CameraToken = 1;
  TCameraToken third;
  third.Get(cam);
  cam.Settings.CameraToken = 1;
  third.Return(cam);
  EXPECT_EQ(dialogs.Last().text, "Error, camera token is already present.");
  EXPECT_TRUE(third.Has());
  EXPECT_EQ(dialogs.Last().caption, "Noctra Planetarium");
  EXPECT_EQ(dialogs.Last().icon, platform::MsgIcon::Exclamation);
}

TEST(Camera, SettingsFileDefaultsAndWriteBack) {
  FreshSettings fresh;
  testing_support::TempDir dir;
  const std::string file = dir.File("ImagingSettings.xml");
  // Never loaded: nothing is saved over the file.
  testing_support::WriteText(file, "<keep/>");
  EXPECT_FALSE(SaveImagingSettings(file));
  EXPECT_EQ(testing_support::ReadFile(file).size(), 7u);

  // An existing element lacking values reads the read defaults.
  testing_support::WriteText(file,
                             "<?xml version=\"1.0\"?><Imaging><ASCOMCAM1><Name>Sky</Name>"
                             "<PixelsX>1280</PixelsX></ASCOMCAM1></Imaging>");
  LoadImagingSettings(file);
  {
    TestCamera fresh1;  // new element "TEST1": new-element defaults
    EXPECT_EQ(fresh1.Settings.Gain, 100.0);
    EXPECT_EQ(fresh1.Settings.Offset, 50.0);
    EXPECT_FALSE(fresh1.Settings.DtrRtsMode);
    EXPECT_EQ(fresh1.Settings.CCDSetTemp, 0.0);
    fresh1.Settings.Gain = 7.5;
    fresh1.Settings.PixelsX = 3000;
  }
  ImagingSettings s;
  ReadImagingSettings(ImagingSettingsDoc().Doc.Root().FirstChild("ASCOMCAM1"), s);
  EXPECT_EQ(s.Name, "Sky");
  EXPECT_EQ(s.PixelsX, 1280);
  EXPECT_EQ(s.Gain, 1.0);
  EXPECT_TRUE(s.DtrRtsMode);
  EXPECT_EQ(s.CCDSetTemp, 20.0);

  // The destructor wrote the camera's values; the saved file holds them.
  ASSERT_TRUE(SaveImagingSettings(file));
  platform::XmlDocument doc;
  ASSERT_TRUE(doc.LoadFromFile(file));
  const platform::XmlElement e = doc.Root().FirstChild("TEST1");
  EXPECT_EQ(XmlReadFloat(e, "Gain", 0), 7.5);
  EXPECT_EQ(XmlReadInteger(e, "PixelsX", 0), 3000);
  EXPECT_EQ(e.FirstChild("DtrRtsMode").Text(), "0");
  EXPECT_EQ(e.Children("Name").size(), 1u);
}

TEST(Camera, CreateCamerasListsWhatExistsAndSavesAtExit) {
  FreshSettings fresh;
  testing_support::TempDir dir;
  const std::string file = dir.File("ImagingSettings.xml");
  SimulatedDsiLibrary lib;
  SimulatedDsiLibrary::Camera dsi;
  dsi.width = 32;
  dsi.height = 24;
  lib.SetCameras({dsi});
  SetDsiLibraryForTest(&lib);
  VideoDriverScan = [](int index) { return index == 2 ? std::string("Fake UVC camera") : std::string(); };
  CreateCameras(file);
  std::vector<std::string> captions;
  for (const auto& item : Cameras().SourceSettings) captions.push_back(item.Caption);
  EXPECT_EQ(captions, (std::vector<std::string>{"Image File", "VFW Camera #3", "DSI Camera #1"}));
  EXPECT_EQ(Cameras().VFWCamera[0], nullptr);
  ASSERT_NE(FindCamera("VFW Camera #3"), nullptr);
  FindCamera("VFW Camera #3")->Settings.ExStart = 77;
  FreeCameras();
  ASSERT_TRUE(SaveImagingSettings(file));
  platform::XmlDocument doc;
  ASSERT_TRUE(doc.LoadFromFile(file));
  EXPECT_EQ(doc.Root().Name(), "Imaging");
  EXPECT_EQ(XmlReadInteger(doc.Root().FirstChild("VFW3"), "ExStart", 0), 77);
  EXPECT_EQ(XmlReadFloat(doc.Root().FirstChild("IFF1"), "Gain", 0), 100.0);
  EXPECT_EQ(XmlReadInteger(doc.Root().FirstChild("DSI1"), "PixelsX", 0), 32);
  SetDsiLibraryForTest(nullptr);
  VideoDriverScan = VideoDriverDescription;
}
