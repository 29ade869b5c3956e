// The ASCOM-style camera through the driver layer, against a scripted
// camera driver: the exposure machine, the image-array download, abort,
// time-outs, driver failures, and the slots of the "ASCOM Cameras" window
// with their menu items and consumers.
#include <gtest/gtest.h>

#include <functional>
#include <set>

#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QScrollBar>
#include <QTimer>
#include <cstdlib>

#include "imaging/ascom_camera.h"
#include "imaging/camera_setup.h"
#include "imaging/forms/ascom_camera_forms.h"
#include "imaging/indi_camera.h"
#include "platform/automation_sim.h"
#include "platform/dialogs.h"
#include "platform/gui_thread.h"
#include "shell/log_lines.h"

using namespace imaging;
using platform::TVariant;

namespace {

// A camera driver answering from its fields.
class FakeCameraDriver : public platform::IAutomationObject {
 public:
  TVariant Get(const std::string& m) override {
    Check(m);
    if (m == "Connected") return connected;
    if (m == "NumX") return numX;
    if (m == "NumY") return numY;
    if (m == "CameraState") return cameraState;
    if (m == "ImageReady") return imageReady;
    if (m == "ImageArrayVariant") return TVariant(image);
    if (m == "SensorType") return sensorType;
    if (m == "BayerOffsetX") return bayerX;
    if (m == "BayerOffsetY") return 0;
    if (m == "BinX") return binX;
    if (m == "BinY") return binY;
    if (m == "CameraXSize") return 3000;
    if (m == "CameraYSize") return 2000;
    if (m == "MaxBinX" || m == "MaxBinY") return 4;
    if (m == "GainMin") return 0.0;
    if (m == "GainMax") return 30.0;
    if (m == "CCDTemperature") return -10.5;
    if (m == "CanAbortExposure") return true;
    if (m == "DriverInfo") return "Fake camera driver";
    if (m == "PixelSizeX" || m == "PixelSizeY") return 3.8;
    if (m == "ExposureMin") return 0.001;
    if (m == "ExposureMax") return 3600.0;
    if (m.rfind("Can", 0) == 0) return false;
    throw platform::EAutomationError("unknown member " + m);
  }
  void Put(const std::string& m, const TVariant& v) override {
    Check(m);
    if (m == "Connected") connected = v.AsBool() ? !refuseConnect : keepConnected;
    if (m == "Gain") gain = v.AsDouble();
    if (m == "BinX" || m == "BinY") {
      if (whileBinning) whileBinning();
      if (v.AsInt() > 3) throw platform::EAutomationError("binning refused");
      (m == "BinX" ? binX : binY) = v.AsInt();
    }
    if (m == "NumX") numX = v.AsInt();
    if (m == "NumY") numY = v.AsInt();
  }
  TVariant Invoke(const std::string& m, const platform::TVariantList&) override {
    Check(m);
    calls.push_back(m);
    if (m == "StartExposure") cameraState = 2;
    if (m == "AbortExposure") cameraState = 0;
    return {};
  }
  void Check(const std::string& m) {
    if (failing.count(m)) throw platform::EAutomationError(m + " failed");
  }
  bool connected = false, refuseConnect = false, keepConnected = false, imageReady = false;
  int32_t numX = 3, numY = 2, cameraState = 0, sensorType = 0, bayerX = 0, binX = 1, binY = 1;
  double gain = -1;
  std::vector<int32_t> image;
  std::set<std::string> failing;
  std::vector<std::string> calls;
  // Runs while a binning is set (a device that is waited for).
  std::function<void()> whileBinning;
};

struct Fixture {
  std::shared_ptr<FakeCameraDriver> driver = std::make_shared<FakeCameraDriver>();
  uint64_t now = 50000;
  std::vector<std::string> consumerLog;
  std::size_t consumersBefore = CameraConsumers().size();
  Fixture() {
    ImagingSettingsDoc().Doc.Clear();
    LogLines().Clear();
    CameraClocks().NowMs = [this] { return now; };
    platform::RegisterDriver({"Test.Camera", "Camera", "Scripted camera", [this] { return driver; }});
    CameraConsumers().push_back({[this](const std::string& n) { consumerLog.push_back("add " + n); },
                                 [this](const std::string& n, const std::string& why) {
                                   consumerLog.push_back("remove " + n + ": " + why);
                                 },
                                 nullptr});
  }
  ~Fixture() {
    // Only this test's consumer goes: the imaging windows register theirs
    // once in the process.
    CameraConsumers().erase(CameraConsumers().begin() + std::ptrdiff_t(consumersBefore), CameraConsumers().end());
    platform::UnregisterDriverForTest("Test.Camera");
    Cameras().SourceSettings.clear();
    ResetCameraClocksForTest();
    ImagingSettingsDoc().Doc.Clear();
  }
  // Runs the exposure machine until idle, the driver finishing at once.
  void Finish(TASCOMCamera& cam) {
    driver->cameraState = 0;
    driver->imageReady = true;
    now += 100000;
    for (int i = 0; i < 4 && cam.ExposureState != 0; ++i) cam.Poll();
  }
};

}  // namespace

TEST(AscomCamera, DownloadsMonoColourAndBayerImages) {
  struct Case {
    const char* name;
    int sensor;
    bool forceMono;
    std::vector<int32_t> image;  // x fastest, then y, then plane
    int naxis;
    std::vector<int> data;  // expected FITS data, row 0 at the bottom
    std::string mosaic;
  };
  const std::vector<Case> cases = {
      {"mono", 0, false, {1, 2, 3, 4, 5, -7}, 2, {4, 5, 0, 1, 2, 3}, ""},
      {"colour planes", 1, false, {1, 2, 3, 4, 5, 6, 10, 20, 30, 40, 50, 60, 0, 0, 0, 0, 0, 70000}, 3,
       {4, 5, 6, 1, 2, 3, 40, 50, 60, 10, 20, 30, 0, 0, 65535, 0, 0, 0}, ""},
      {"colour averaged", 1, true, {3, 3, 3, 3, 3, 3, 6, 6, 6, 6, 6, 6, 0, 1, 2, 3, 4, 5}, 2, {4, 4, 4, 3, 3, 3}, ""},
      {"bayer", 2, false, {1, 2, 3, 4, 5, 6}, 2, {4, 5, 6, 1, 2, 3}, "RGGB(2,0)"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    Fixture f;
    f.driver->connected = true;
    f.driver->sensorType = c.sensor;
    f.driver->bayerX = 1;
    f.driver->image = c.image;
    TASCOMCamera cam(1, f.driver);
    cam.Settings.ForceMono = c.forceMono;
    cam.Settings.MosaicXOfs = 1;
    cam.SetConnected(true);
    ASSERT_TRUE(cam.Connected());
    cam.Settings.Gain = 100;  // beyond the driver's range
    ASSERT_TRUE(cam.StartExposure(1.0, true));
    EXPECT_EQ(f.driver->gain, 30.0);
    f.Finish(cam);
    ASSERT_TRUE(cam.GetImageReady()) << LogLines().LastLine();
    const TFitsBitmap& img = cam.GetImage();
    EXPECT_EQ(img.Header.NAxis, c.naxis);
    EXPECT_EQ(img.Header.Mosaic, c.mosaic);
    EXPECT_EQ(img.Header.CcdTemperature, -10.5);
    for (std::size_t i = 0; i < c.data.size(); ++i) EXPECT_EQ(FitsValue(img.Data().data(), 16, i), c.data[i]) << i;
  }
}

TEST(AscomCamera, FailuresEndTheExposureInIdleWithOneLogLine) {
  struct Case {
    const char* name;
    std::function<void(FakeCameraDriver&)> setup;
    const char* line;
  };
  const std::vector<Case> cases = {
      {"stuck state", [](FakeCameraDriver& d) { d.cameraState = 2; }, "[Ascom.Camera] Exposure timed out."},
      {"error state", [](FakeCameraDriver& d) { d.cameraState = 5; }, "[Ascom.Camera] The camera reports an error."},
      {"never ready", [](FakeCameraDriver& d) { d.imageReady = false; }, "[Ascom.Camera] Exposure timed out."},
      {"wrong size", [](FakeCameraDriver& d) { d.image = {1, 2}; }, "[Ascom.Camera] Camera Image format unsupported."},
      {"bayer planes", [](FakeCameraDriver& d) { d.sensorType = 2; d.image.resize(18); },
       "[Ascom.Camera] Bayer encoded color image, expected two dimensional."},
      {"bad sensor", [](FakeCameraDriver& d) { d.sensorType = 7; },
       "[Ascom.Camera] Camera Image array data format unsupported."},
      {"array fails", [](FakeCameraDriver& d) { d.failing.insert("ImageArrayVariant"); },
       "[Ascom.Camera] Camera Image array data format unsupported."},
      {"state fails", [](FakeCameraDriver& d) { d.failing.insert("CameraState"); },
       "[Ascom.Camera] CameraState: CameraState failed"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    Fixture f;
    f.driver->connected = true;
    f.driver->image = {1, 2, 3, 4, 5, 6};
    TASCOMCamera cam(2, f.driver);
    cam.SetConnected(true);
    ASSERT_TRUE(cam.StartExposure(1.0, true));
    f.driver->cameraState = 0;
    f.driver->imageReady = true;
    c.setup(*f.driver);
    LogLines().Clear();
    f.now += 100000;  // past the exposure and its margin
    for (int i = 0; i < 6; ++i) cam.Poll();
    EXPECT_EQ(cam.ExposureState, 0);
    EXPECT_FALSE(cam.GetImageReady());
    EXPECT_EQ(LogLines().Lines(), std::vector<std::string>{c.line});
  }
  // A driver that refuses to start: false, nothing running.
  Fixture f;
  f.driver->connected = true;
  TASCOMCamera cam(1, f.driver);
  cam.SetConnected(true);
  f.driver->failing.insert("StartExposure");
  EXPECT_FALSE(cam.StartExposure(1.0, true));
  EXPECT_EQ(cam.ExposureState, 0);
  // Abort reaches the driver.
  f.driver->failing.clear();
  cam.StartExposure(5.0, true);
  cam.AbortExposure();
  EXPECT_EQ(f.driver->calls.back(), "AbortExposure");
  EXPECT_EQ(cam.ExposureState, 0);
}

TEST(AscomCamera, SlotsConnectListAndReleaseTheCamera) {
  Fixture f;
  platform::ScopedScriptedDialogs dialogs;
  auto second = std::make_shared<FakeCameraDriver>();
  platform::RegisterDriver({"Test.Camera2", "Camera", "Second", [&] { return second; }});
  {
    TAscomCameraSlots window;
    window[1].name = "Test.Camera";
    window[2].name = "Test.Camera2";
    window.ConnectClick(2);
    window.ConnectClick(1);
    ASSERT_NE(window.Camera(1), nullptr);
    std::vector<std::string> captions;
    for (const auto& i : Cameras().SourceSettings) captions.push_back(i.Caption);
    // #1 goes before a last #2.
    EXPECT_EQ(captions, (std::vector<std::string>{"ASCOM Camera #1", "ASCOM Camera #2"}));
    EXPECT_EQ(f.consumerLog, (std::vector<std::string>{"add ASCOM Camera #2", "add ASCOM Camera #1"}));
    EXPECT_EQ(LogLines().LastLine(), "[Ascom.Camera] Connect (#1): Fake camera driver");

    // The driver drops its link: the watch disconnects the slot, consumers
    // first, telling them why.
    LogLines().Clear();
    f.driver->connected = false;
    window.Timer1Timer();
    EXPECT_FALSE(window[1].connected);
    EXPECT_EQ(window.Camera(1), nullptr);
    EXPECT_EQ(f.consumerLog.back(), "remove ASCOM Camera #1: the driver lost its link to the camera");
    // The log tells the loss, not only the disconnect a user's press gives.
    EXPECT_EQ(LogLines().Lines(), (std::vector<std::string>{
                                      "[Ascom.Camera] Error, connection lost (#1): the driver lost its link to the camera",
                                      "[Ascom.Camera] Disconnect (#1)"}));
    EXPECT_EQ(Cameras().SourceSettings.size(), 1u);
    // The same when the driver cannot even say (its Connected raises), and
    // when the user presses Disconnect.
    f.driver->connected = true;
    window.ConnectClick(1);
    f.driver->failing.insert("Connected");
    window.Timer1Timer();
    f.driver->failing.clear();
    EXPECT_EQ(f.consumerLog.back(),
              "remove ASCOM Camera #1: the driver lost its link to the camera (Connected: Connected failed)");
    window.ConnectClick(1);
    // A driver that answers and keeps its camera keeps the slot, and says so.
    f.driver->keepConnected = true;
    window.DisconnectClick(1);
    EXPECT_NE(window.Camera(1), nullptr);
    EXPECT_TRUE(window[1].disconnectEnabled);
    EXPECT_EQ(LogLines().LastLine(), "[Ascom.Camera] Disconnect (#1) failed: the driver stays connected");
    f.driver->keepConnected = false;
    window.DisconnectClick(1);
    EXPECT_EQ(f.consumerLog.back(),
              "remove ASCOM Camera #1: ASCOM Camera #1 was disconnected in the \"ASCOM Cameras\" window");

    // A driver that will not connect, or raises, is logged and its box says why.
    f.driver->refuseConnect = true;
    window.ConnectClick(1);
    EXPECT_EQ(LogLines().LastLine(), "[Ascom.Camera] Connect (#1) failed");
    EXPECT_EQ(dialogs.Last().text, "ASCOM Camera driver couldn't connect: the driver stays unconnected");
    f.driver->failing.insert("Connected");
    window.ConnectClick(1);
    EXPECT_EQ(dialogs.Last().text, "ASCOM Camera driver couldn't connect: Connected failed");
    EXPECT_EQ(LogLines().LastLine(), "[Ascom.Camera] Connect (#1) failed: Connected failed");
    EXPECT_TRUE(window[1].connectEnabled);
  }
  // Closing the window disconnected slot 2.
  EXPECT_FALSE(second->connected);
  EXPECT_TRUE(Cameras().SourceSettings.empty());
  platform::UnregisterDriverForTest("Test.Camera2");
}

// A slot takes only a driver that takes exposures: a mount's driver
// connects, but the slot lets it go again and says why, and no camera
// comes into being. An INDI device named in the mount form is connected as
// a camera.
TEST(AscomCamera, SlotsTakeOnlyDriversThatExpose) {
  Fixture f;
  platform::ScopedScriptedDialogs dialogs;
  auto mount = std::dynamic_pointer_cast<platform::TSimDevice>(platform::CreateOleObject("Noctra.Simulator.Telescope"));
  ASSERT_NE(mount, nullptr);
  platform::RegisterDriver({"Test.Mount", "Camera", "A mount", [&] { return mount; }});
  {
    TAscomCameraSlots window;
    window[2].name = "Test.Mount";
    window.ConnectClick(2);
    EXPECT_EQ(window.Camera(2), nullptr);
    EXPECT_FALSE(window[2].connected);
    EXPECT_TRUE(window[2].connectEnabled && window[2].selectEnabled);
    EXPECT_FALSE(mount->IsConnected()) << "let go again";
    EXPECT_TRUE(f.consumerLog.empty());
    EXPECT_TRUE(Cameras().SourceSettings.empty());
    EXPECT_EQ(dialogs.Last().text,
              "ASCOM Camera #2 is not connected: the driver \"Test.Mount\" cannot take exposures "
              "(Member not implemented: CameraState).");
    EXPECT_EQ(LogLines().LastLine(),
              "[Ascom.Camera] Connect (#2) failed: the driver cannot take exposures "
              "(Member not implemented: CameraState)");
    // The camera driver in the same slot connects.
    window[2].name = "Test.Camera";
    window.ConnectClick(2);
    EXPECT_NE(window.Camera(2), nullptr);
  }
  platform::UnregisterDriverForTest("Test.Mount");
  EXPECT_EQ(CameraDriverId(" INDI:127.0.0.1:7624:CCD Simulator "), "INDICAM:127.0.0.1:7624:CCD Simulator");
  EXPECT_EQ(CameraDriverId("INDICAM:host:1:A:B"), "INDICAM:host:1:A:B");
  EXPECT_EQ(CameraDriverId("Noctra.Simulator.Camera"), "Noctra.Simulator.Camera");
}

TEST(AscomCamera, BinningSetsTheSensorArea) {
  Fixture f;
  f.driver->connected = true;
  TASCOMCamera cam(1, f.driver);
  // Symmetric binning: both axes follow, the area shrinks.
  EXPECT_EQ(cam.BinChange(true, 1), std::make_pair(1, 1));
  EXPECT_EQ(f.driver->binY, 2);
  EXPECT_EQ(cam.Settings.PixelsX, 1500);
  EXPECT_EQ(cam.Settings.PixelsY, 1000);
  // A refused binning shows the list's second entry.
  EXPECT_EQ(cam.BinChange(false, 3).second, 1);
  EXPECT_EQ(LogLines().LastLine(), "[Ascom.Camera] BinY: binning refused");
}

// A camera whose call waits for its device, the program handling events
// meanwhile (an INDI camera's binning): a Disconnect pressed then, and the
// watch finding the link gone then, leave the camera to its call; it goes
// at the next watch.
TEST(AscomCamera, ACameraOutlivesItsCallThatWaitsForTheDevice) {
  Fixture f;
  TAscomCameraSlots window;
  window[1].name = "Test.Camera";
  window.ConnectClick(1);
  TASCOMCamera* cam = window.Camera(1);
  ASSERT_NE(cam, nullptr);
  bool stillThere = false, waited = false;
  f.driver->whileBinning = [&] {
    if (std::exchange(waited, true)) return;  // the first axis only
    QTimer::singleShot(0, [&] {
      window.DisconnectClick(1);
      f.driver->connected = false;
      window.Timer1Timer();
      stillThere = window.Camera(1) == cam;
    });
    platform::ProcessMessages();  // the wait for the device's answer
  };
  cam->BinChange(true, 1);
  EXPECT_TRUE(stillThere);
  EXPECT_EQ(window.Camera(1), cam);
  EXPECT_FALSE(window[1].disconnectEnabled);
  window.Timer1Timer();
  EXPECT_EQ(window.Camera(1), nullptr);
  EXPECT_FALSE(window[1].connected);
  EXPECT_EQ(f.consumerLog.back(),
            "remove ASCOM Camera #1: ASCOM Camera #1 was disconnected in the \"ASCOM Cameras\" window");
}

TEST(AscomCamera, SettingsWindowShowsTheDriversRanges) {
  Fixture f;
  f.driver->connected = true;
  f.driver->binX = f.driver->binY = 2;
  TASCOMCamera cam(1, f.driver);
  TAscomCameraSettingsForm1 w(cam);
  if (const char* dir = std::getenv("NOCTRA_IMAGING_SHOTS")) {
    w.adjustSize();
    w.grab().save(QString(dir) + "/ascom_settings.png");
  }
  EXPECT_EQ(w.BinX->count(), 4);
  EXPECT_EQ(w.BinX->currentIndex(), 1);
  EXPECT_EQ(w.Gain->maximum(), 30);  // GainMax
  w.BinX->setCurrentIndex(0);
  EXPECT_EQ(w.PixelsX->text(), "3000");
  w.Timer1Timer();
  EXPECT_EQ(w.TempReadout->text(), "Temperature: -10.5");
  EXPECT_TRUE(w.BinX->isEnabled());
  // A consumer that has chosen the camera locks its binning.
  CameraConsumers().back().selected = [](const std::string& n) { return n == "ASCOM Camera #1"; };
  w.Timer1Timer();
  EXPECT_FALSE(w.BinX->isEnabled());
}

// The camera's settings window is open (it holds the camera) when the
// watch finds the driver's link gone: the slot is disconnected, and the
// window closes with the camera, before anything could reach it again.
TEST(AscomCamera, SettingsWindowClosesWhenItsCameraGoes) {
  Fixture f;
  const auto settingsWindow = TASCOMCamera::SettingsWindow;
  const auto closeSettingsWindow = TASCOMCamera::CloseSettingsWindow;
  InstallAscomCameraSettingsWindow(nullptr);
  {
    TAscomCameraSlots window;
    window[1].name = "Test.Camera";
    window.ConnectClick(1);
    ASSERT_NE(window.Camera(1), nullptr);
    bool opened = false, leftOpen = false;
    QTimer::singleShot(0, [&] {
      opened = qobject_cast<TAscomCameraSettingsForm1*>(QApplication::activeModalWidget()) != nullptr;
      f.driver->connected = false;  // the link goes
      window.Timer1Timer();
      // (Closed here only when the disconnect left it open.)
      QTimer::singleShot(0, [&] {
        if (auto* still = qobject_cast<TAscomCameraSettingsForm1*>(QApplication::activeModalWidget())) {
          leftOpen = true;
          still->Timer1.stop();
          still->reject();
        }
      });
    });
    window.Camera(1)->ShowSettings();  // returns once the window is closed
    EXPECT_TRUE(opened);
    EXPECT_FALSE(leftOpen);
    EXPECT_EQ(window.Camera(1), nullptr);
    EXPECT_FALSE(window[1].connected);
  }
  TASCOMCamera::SettingsWindow = settingsWindow;
  TASCOMCamera::CloseSettingsWindow = closeSettingsWindow;
}
