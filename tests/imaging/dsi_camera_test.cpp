// The DSI camera and its worker thread against the simulated library:
// exposure and download, the device codes, abort, time-out, driver
// failures, disconnecting while exposing, the scan limit, the cooler and
// the program's hooks that reach it through the filter wheel.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <atomic>
#include <chrono>
#include <thread>

#include "imaging/dsi_camera.h"
#include "imaging/forms/tele_mount.h"
#include "platform/automation_sim.h"
#include "shell/log_lines.h"
#include "telescope/accessories.h"
#include "tests/support/test_support.h"

using namespace imaging;

namespace {

SimulatedDsiLibrary::Camera Small(int chip = 429, bool colour = false) {
  SimulatedDsiLibrary::Camera c;
  c.chip = chip;
  c.colour = colour;
  c.width = 64;
  c.height = 48;
  return c;
}

struct Fixture {
  SimulatedDsiLibrary lib;
  explicit Fixture(std::vector<SimulatedDsiLibrary::Camera> cams = {Small()}) {
    ImagingSettingsDoc().Doc.Clear();
    lib.SetCameras(std::move(cams));
    LogLines().Clear();
  }
  ~Fixture() {
    ImagingSettingsDoc().Doc.Clear();
    ResetCameraClocksForTest();
  }
};

// Polls the camera every 5 ms until it is idle again (a bound only for a
// failed run: the worker may be slow on a loaded machine).
void PollUntilIdle(TDsiCamera& cam) {
  const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(testing_support::kWaitMs);
  while (std::chrono::steady_clock::now() < until) {
    cam.Poll();
    if (cam.ExposureState == 0) return;
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
}

void WaitIdle(TDsiThread& t) {
  const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(testing_support::kWaitMs);
  while (!t.Idle() && std::chrono::steady_clock::now() < until)
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
}

}  // namespace

TEST(DsiCamera, DeviceCodes) {
  struct Case {
    double value;
    int gain, offset;
  } cases[] = {{0.0, 0, 256 + 255}, {0.4, 25, 307}, {0.5, 32, 0}, {1.0, 63, 255}, {100.0, 63, 255}, {-3, 0, 511}};
  for (const auto& c : cases) {
    EXPECT_EQ(DsiGainCode(c.value), c.gain) << c.value;
    EXPECT_EQ(DsiOffsetCode(c.value), c.offset) << c.value;
  }
}

TEST(DsiCamera, ExposesAndDownloadsTheInterlacedImage) {
  Fixture f;
  TDsiCamera cam(0, 1, f.lib);
  EXPECT_EQ(cam.NodeName(), "DSI1");
  EXPECT_EQ(cam.Settings.Name, "Meade DSI Pro II (USB2 sim)");
  EXPECT_EQ(cam.Settings.PixelSizeX, 8.6);
  cam.SetConnected(true);
  ASSERT_TRUE(cam.Connected());
  EXPECT_EQ(cam.GetXSize(), 64);
  cam.Settings.Gain = 100.0;  // the new-element default: clamped to the device's range
  cam.Settings.Offset = 0.4;
  ASSERT_TRUE(cam.StartExposure(0.05, true));
  PollUntilIdle(cam);
  ASSERT_TRUE(cam.GetImageReady());
  TFitsBitmap& img = cam.GetImage();
  ASSERT_EQ(img.Header.NAxis1, 64);
  ASSERT_EQ(img.Header.NAxis2, 48);
  // The simulator's odd rows sit 100 above the even ones: both fields were read.
  const uint8_t* d = img.Data().data();
  EXPECT_EQ(FitsValue(d, 16, 64) - FitsValue(d, 16, 0), 100);
  EXPECT_EQ(img.Header.Mosaic, "");
  const auto a = f.lib.LastApplied();
  EXPECT_EQ(a.exposureMs, 50u);
  EXPECT_EQ(a.gain, 63);
  EXPECT_EQ(a.offset, 307);
  EXPECT_EQ(a.readoutMode, 1);  // short exposure
  EXPECT_FALSE(a.amplifier);
  // 0.9 s switches the amplifier control on; 0.89 s leaves it off.
  for (double s : {0.9, 0.89}) {
    cam.StartExposure(s, true);
    PollUntilIdle(cam);
    EXPECT_EQ(f.lib.LastApplied().amplifier, s >= 0.9) << s;
  }
  cam.SetConnected(false);
}

TEST(DsiCamera, ColourModelsMarkTheirMosaic) {
  Fixture f({Small(285, true), Small(404, true)});
  TDsiCamera rggb(0, 1, f.lib), cmyg(1, 2, f.lib);
  rggb.Settings.MosaicXOfs = 1;
  for (TDsiCamera* cam : {&rggb, &cmyg}) {
    cam->SetConnected(true);
    cam->StartExposure(0.01, true);
    PollUntilIdle(*cam);
  }
  EXPECT_EQ(rggb.GetImage().Header.Mosaic, "RGGB(1,0)");
  EXPECT_EQ(cmyg.GetImage().Header.Mosaic, "CMYG2(0,0)");
  cmyg.Settings.ForceMono = true;
  cmyg.StartExposure(0.01, true);
  PollUntilIdle(cmyg);
  EXPECT_EQ(cmyg.GetImage().Header.Mosaic, "");
}

TEST(DsiCamera, AbortAndDisconnectStopARunningExposure) {
  Fixture f;
  TDsiCamera cam(0, 1, f.lib);
  cam.SetConnected(true);
  cam.StartExposure(20.0, true);
  cam.Poll();
  ASSERT_EQ(cam.ExposureState, 2);
  cam.AbortExposure();
  EXPECT_EQ(cam.ExposureState, 0);
  WaitIdle(cam.Thread());
  EXPECT_TRUE(cam.Thread().Idle());
  EXPECT_EQ(f.lib.LastApplied().aborts, 1);
  // The next exposure works.
  cam.StartExposure(0.01, true);
  PollUntilIdle(cam);
  EXPECT_TRUE(cam.GetImageReady());

  // Disconnecting while exposing stops the exposure (the device's abort,
  // not a wait for its end) and disconnects.
  cam.StartExposure(20.0, true);
  cam.Poll();
  ASSERT_EQ(cam.ExposureState, 2);
  cam.SetConnected(false);
  EXPECT_FALSE(cam.Connected());
  EXPECT_EQ(cam.ExposureState, 0);
  EXPECT_EQ(f.lib.LastApplied().aborts, 2);
  EXPECT_TRUE(cam.Thread().Idle());
}

TEST(DsiCamera, TimeOutsAndDriverFailuresEndInIdleWithOneLogLine) {
  struct Case {
    const char* name;
    bool neverReady, failStart, failRead;
    const char* line;
  } cases[] = {{"time-out", true, false, false, "[DSI Camera #1] Exposure timed out."},
               {"start fails", false, true, false, "[DSI Camera #1] Exposure failed."},
               {"read fails", false, false, true, "[DSI Camera #1] Exposure failed."}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    Fixture f;
    TDsiCamera cam(0, 1, f.lib);
    cam.SetConnected(true);
    ASSERT_TRUE(cam.Connected());
    auto faulty = Small();
    faulty.neverReady = c.neverReady;
    faulty.failStart = c.failStart;
    faulty.failRead = c.failRead;
    f.lib.SetCameras({faulty});
    uint64_t now = 1000000;
    CameraClocks().NowMs = [&now] { return now; };
    LogLines().Clear();
    cam.StartExposure(0.01, true);
    cam.Poll();
    if (c.neverReady) now += 40000;  // past the exposure and its margin
    PollUntilIdle(cam);
    EXPECT_EQ(cam.ExposureState, 0);
    for (int i = 0; i < 5; ++i) cam.Poll();
    EXPECT_EQ(LogLines().Lines(), std::vector<std::string>{c.line});
    EXPECT_THROW(cam.GetImage(), ECameraError);
    WaitIdle(cam.Thread());
    EXPECT_TRUE(cam.Thread().Idle());
  }
}

TEST(DsiCamera, ScanStopsAtThreeCameras) {
  Fixture f({Small(), Small(), Small(), Small(), Small()});
  auto cams = ScanDsiCameras(f.lib);
  ASSERT_EQ(cams.size(), 3u);
  EXPECT_EQ(cams[2]->ListName(), "DSI Camera #3");
  EXPECT_EQ(LogLines().LastLine(), "Too many DSI cameras, Noctra Planetarium supports up to three cameras.");
}

// An absent device is refused at once: the worker, which could not open
// it, has ended (or is idle), so the connect did not wait out its time-out
// for a command still with a live worker, and the camera is not connected.
TEST(DsiCamera, AbsentDeviceFailsQuickly) {
  Fixture f(std::vector<SimulatedDsiLibrary::Camera>{});
  TDsiCamera cam(3, 1, f.lib);
  cam.SetConnected(true);
  EXPECT_FALSE(cam.Connected());
  EXPECT_TRUE(cam.Thread().Ended() || cam.Thread().Idle());
  EXPECT_FALSE(cam.Thread().AbortRequested()) << "the connect waited out its time-out";
}

TEST(DsiCamera, CoolerThroughTheFilterWheel) {
  Fixture f;
  double sent = 0, reading = -999.0;
  TDsiCamera::SetCoolerTemperature = [&](double t) { sent = t; };
  TDsiCamera::CoolerTemperature = [&] { return reading; };
  {
    TDsiCamera plain(0, 1, f.lib);
    EXPECT_EQ(plain.GetCCDTemperature(), -999.0);  // no cooler control
    plain.Settings.ModifiedCamera = true;
    plain.CanSetCCDTemperature = true;
    plain.SetCCDTemperature(35);
    EXPECT_EQ(sent, 30.0);
    plain.SetCCDTemperature(-120);
    EXPECT_EQ(sent, -99.9);
    // The filter wheel has no reading: the camera's own sensor answers.
    EXPECT_EQ(plain.GetCCDTemperature(), 5.0);
  }
  TDsiCamera::SetCoolerTemperature = nullptr;
  TDsiCamera::CoolerTemperature = nullptr;
}

// The program's cooler hooks reach the filter-wheel window's wheel on the
// GUI thread only, also when a camera worker asks; without a filter-wheel
// window they read -999 and send nothing.
TEST(DsiCameraCooler, HooksReachTheMakersWheelOnTheGuiThreadOnly) {
  struct Wheel : platform::TSimFilterWheel {
    using TSimFilterWheel::TSimFilterWheel;
    std::vector<std::thread::id> callers;
    platform::TVariant DoGet(const std::string& m) override {
      callers.push_back(std::this_thread::get_id());
      return TSimFilterWheel::DoGet(m);
    }
    void DoPut(const std::string& m, const platform::TVariant& v) override {
      callers.push_back(std::this_thread::get_id());
      TSimFilterWheel::DoPut(m, v);
    }
  };
  platform::TSimFilterWheelConfig config;
  config.makerWheel = true;
  auto maker = std::make_shared<Wheel>(config);
  platform::RegisterDriver({"Test.Tar_vel.HookWheel", "FilterWheel", "maker", [maker] { return maker; }});
  InstallDsiCooler(true);
  TFilterWheelControl wheel;
  struct Restore {
    ~Restore() {
      InstallDsiCooler(false);
      SetFilterWheelControl(nullptr);
      platform::UnregisterDriverForTest("Test.Tar_vel.HookWheel");
    }
  } restore;
  SetFilterWheelControl(nullptr);
  EXPECT_EQ(TDsiCamera::CoolerTemperature(), -999.0) << "no filter-wheel window";
  TDsiCamera::SetCoolerTemperature(-5.0);

  SetFilterWheelControl(&wheel);
  wheel.name = "Test.Tar_vel.HookWheel";
  wheel.ConnectClick();
  ASSERT_TRUE(wheel.MakerWheel());
  std::atomic<bool> done{false};
  double fromWorker = 0;
  std::thread worker([&] {
    TDsiCamera::SetCoolerTemperature(-12.5);
    fromWorker = TDsiCamera::CoolerTemperature();
    done = true;
  });
  while (!done) QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
  worker.join();
  EXPECT_EQ(maker->SetPointTenths(), -125);
  EXPECT_EQ(fromWorker, -12.5);
  wheel.DisconnectClick();
  for (const std::thread::id& id : maker->callers) EXPECT_EQ(id, std::this_thread::get_id());
}
