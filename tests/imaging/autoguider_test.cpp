// The autoguider closed loop on the simulators: the camera simulator draws
// one star at the simulated mount's pointing, guide pulses move the mount.
// Calibration measures the simulated rates; guiding holds the star against
// a drift. The program's millisecond clock is moved on by the test, so the
// 20 s settling waits of the calibration take no real time.
#include <gtest/gtest.h>

#include <cmath>

#include "imaging/ascom_camera.h"
#include "imaging/autoguider.h"
#include "imaging/camera_sim.h"
#include "imaging/imaging_settings.h"
#include "platform/automation_sim.h"
#include "platform/timezone.h"
#include "shell/log_lines.h"
#include "tests/support/test_support.h"

using namespace imaging;

namespace {

constexpr double kDeg = M_PI / 180.0;
constexpr double kArcsec = kDeg / 3600.0;
// The guide camera's sensor: 5.6 um pixels at 800 mm, radians per pixel.
constexpr double kScale = 5.6e-3 / 800.0;
// Guide rates of the simulated mount: a quarter of the sidereal rate
// (15.041"/s), degrees per second.
constexpr double kGuideRate = 0.25 * 15.041067 / 3600.0;
constexpr double kDec0 = 20.0 * kDeg;

class SimGuideMount : public IGuideMount {
 public:
  explicit SimGuideMount(platform::TSimTelescope& m) : mount(m) {}
  bool Connected() override { return true; }
  void PulseGuide(char d, int ms) override {
    const int dir = d == 'N' ? 0 : d == 'S' ? 1 : d == 'E' ? 2 : 3;
    mount.Invoke("PulseGuide", {int32_t(dir), int32_t(ms)});
    ++pulses;
  }
  void StopMove(char) override {}
  bool SetGuideRate(int) override { return true; }
  platform::TSimTelescope& mount;
  int pulses = 0;
};

struct GuideFixture {
  uint32_t offset = 0;
  platform::TSimTelescope mount;
  // Drift of the sky against the mount, radians per second of the test's
  // clock `offset` (from driftStart).
  double driftRa = 0, driftDec = 0;
  uint32_t driftStart = 0;
  TAscomCameraSlots cams;
  TCamera* cam = nullptr;
  GuideFixture() {
    LogLines().Clear();
    ImagingSettingsDoc().Doc.Clear();
    platform::SetTimeGetTimeOffsetForTest(0);
    CameraClocks().NowMs = [] { return uint64_t(platform::TimeGetTime()); };
    mount.Put("Connected", true);
    mount.SetPointing(3.0, 20.0);
    mount.Put("GuideRateDeclination", kGuideRate);
    mount.Put("GuideRateRightAscension", kGuideRate);
    SimCameraPointing = [this](double& ra, double& dec) {
      // On the test's own clock, so the drift does not depend on machine speed.
      const double t = (offset - driftStart) / 1000.0;
      ra = mount.RaHours() * M_PI / 12.0 + driftRa * t / std::cos(kDec0);
      dec = mount.DecDegrees() * kDeg + driftDec * t;
      return true;
    };
    // One star (peak about 6,000 counts in 0.5 s) 10 pixels east and 6 north of the field centre.
    SimCameraStars = [](double, double, double) {
      return std::vector<TSimStar>{{3.0 * M_PI / 12.0 + 10 * kScale / std::cos(kDec0), kDec0 + 6 * kScale, 11.5}};
    };
    // A guide camera: the simulator behind 800 mm, 3" stars.
    platform::RegisterDriver({"Test.GuideCamera", "Camera", "test", [] {
                                TSimCameraConfig c;
                                c.focalLengthMm = 800;
                                c.seeingArcsec = 3;
                                return std::make_shared<TSimCamera>(c);
                              }});
    cams[1].name = "Test.GuideCamera";
    cams.ConnectClick(1);
    cam = cams.Camera(1);
  }
  ~GuideFixture() {
    SimCameraPointing = nullptr;
    SimCameraStars = LoadedCatalogStars;  // the default field
    ResetCameraClocksForTest();
    platform::SetTimeGetTimeOffsetForTest(0);
  }
  // One 100 ms tick of the program's clock, the camera and the guider.
  void Tick(TAutoGuider& g) {
    platform::SetTimeGetTimeOffsetForTest(offset += 100);
    if (cam) cam->Poll();
    g.Sequence();
  }
  // Selects the star in its box and calibrates.
  void Calibrate(TAutoGuider& g) {
    g.Set.Exposure = "0.5";
    g.ImageSource = "ASCOM Camera #1";
    Tick(g);
    ASSERT_EQ(g.Camera(), cam);
    g.SetGuideBox(250, 180, 370, 300);
    g.Press(TGuideMode::Select);
    for (int i = 0; i < 50 && !g.StarSelected(); ++i) Tick(g);
    ASSERT_TRUE(g.StarSelected());
    g.Press(TGuideMode::Calibrate);
    for (int i = 0; i < 3000 && !g.Calibrated() && g.Mode() == TGuideMode::Calibrate; ++i) Tick(g);
  }
};

}  // namespace

TEST(AutoGuider, CalibratesTheSimulatedRatesAndGuidesAgainstDrift) {
  GuideFixture f;
  SimGuideMount mount(f.mount);
  TAutoGuider g(&mount, [&](const std::string& n) -> TCamera* { return n == "ASCOM Camera #1" ? f.cam : nullptr; });
  g.Set.Porportional = 70;
  f.Calibrate(g);
  ASSERT_TRUE(g.Calibrated()) << LogLines().LastLine();
  // The lock position: sensor centre (320, 240); east is left and north up.
  EXPECT_EQ(g.LockX(), 310);
  EXPECT_EQ(g.LockY(), 234);
  // The simulated rates in pixels per second: the guide rate over the pixel
  // scale; right ascension on the sky shrinks with cos(declination).
  const double decRate = kGuideRate * kDeg / kScale;
  const double raRate = kGuideRate * kDeg * std::cos(kDec0) / kScale;
  EXPECT_NEAR(g.DecRate(), decRate, 0.1 * decRate);
  EXPECT_NEAR(g.RaRate(), raRate, 0.1 * raRate);
  // Pointing north moves the stars down the sensor (rows increase: angle
  // 0), pointing east moves them west, to the right (columns increase: 90).
  EXPECT_NEAR(std::remainder(g.DecAngle() - 0.0, 360.0), 0.0, 3.0);
  EXPECT_NEAR(g.RaAngle(), 90.0, 3.0);
  EXPECT_EQ(g.Backlash(), 0) << "the simulated mount has no backlash";

  // Guiding against a drift of 0.2"/s on each axis (about 0.14 pixel/s),
  // for 22 frames and at least 20 s of the test's clock: unguided, the
  // drift would carry the star about 4 pixels. (A frame takes fewer ticks
  // on a slow machine, where the program's clock also runs on real time.)
  f.driftRa = f.driftDec = 0.2 * kArcsec;
  f.driftStart = f.offset;
  g.Press(TGuideMode::Guide);
  double worst = 0;
  int lastFrames = 0;
  while (g.GuideFrames() < 22 || f.offset - f.driftStart < 20000) {
    f.Tick(g);
    ASSERT_EQ(g.Mode(), TGuideMode::Guide) << LogLines().LastLine();
    if (g.GuideFrames() != lastFrames) {
      lastFrames = g.GuideFrames();
      if (lastFrames > 2) worst = std::max(worst, std::hypot(g.StarX() - g.LockX(), g.StarY() - g.LockY()));
    }
    ASSERT_LT(f.offset - f.driftStart, 600000u);
  }
  EXPECT_LT(worst, 1.0);
  EXPECT_GT(mount.pulses, 10);
}

// A mount with 1.5 s of play in declination: the calibration measures it.
// Opened with no camera chosen the status says nothing; a camera that
// cannot be had reports the failed connection.
TEST(AutoGuider, StatusSaysNothingUntilACameraIsChosen) {
  GuideFixture f;
  SimGuideMount mount(f.mount);
  TAutoGuider g(&mount, [&](const std::string& n) -> TCamera* { return n == "ASCOM Camera #1" ? f.cam : nullptr; });
  f.Tick(g);
  EXPECT_EQ(g.Status(), "");
  g.ImageSource = "ASCOM Camera #2";
  f.Tick(g);
  EXPECT_EQ(g.Status(), "Error: camera connection");
  EXPECT_EQ(g.ImageSource, "None");
  // A camera whose connection raises is reported with its reason.
  struct RaisingCamera : TCamera {
    RaisingCamera() : TCamera("VFW1", "VFW Camera #1") {}
    bool DoConnect() override { throw ECameraError("Can't connect to Vfw Camera.  Capture driver connect failed."); }
  } raising;
  TAutoGuider g2(&mount, [&](const std::string& n) -> TCamera* { return n == "VFW Camera #1" ? &raising : nullptr; });
  g2.ImageSource = "VFW Camera #1";
  f.Tick(g2);
  EXPECT_EQ(g2.Status(), "Error: camera connection: Can't connect to Vfw Camera.  Capture driver connect failed.");
  EXPECT_EQ(LogLines().LastLine(),
            "[AutoGuide] Error: camera connection: Can't connect to Vfw Camera.  Capture driver connect failed.");
  EXPECT_EQ(raising.Settings.CameraToken, 1u);
}

// A guide camera that goes away on its own during an exposure ends the
// preview with its error and lets the camera go.
TEST(AutoGuider, CameraLostDuringAnExposureEndsThePreview) {
  GuideFixture f;
  SimGuideMount mount(f.mount);
  TAutoGuider g(&mount, [&](const std::string& n) -> TCamera* { return n == "ASCOM Camera #1" ? f.cam : nullptr; });
  g.Set.Exposure = "0.5";
  g.ImageSource = "ASCOM Camera #1";
  f.Tick(g);
  ASSERT_EQ(g.Camera(), f.cam);
  g.Press(TGuideMode::Select);
  for (int i = 0; i < 10 && f.cam->ExposureState != 2; ++i) f.Tick(g);
  ASSERT_EQ(f.cam->ExposureState, 2);
  f.cam->SetConnected(false);
  for (int i = 0; i < 3; ++i) ASSERT_NO_THROW(f.Tick(g));
  EXPECT_EQ(g.Mode(), TGuideMode::Off);
  EXPECT_EQ(g.Camera(), nullptr);
  const auto lines = LogLines().Lines();
  EXPECT_NE(std::find(lines.begin(), lines.end(), "[AutoGuide] Error: Preview aborted"), lines.end());
}

// An exposure the camera refuses to start ends the run with the camera's
// reason (no picture is waited for), and the next press starts again.
TEST(AutoGuider, AnExposureTheCameraDoesNotStartEndsTheRunWithItsReason) {
  GuideFixture f;
  SimGuideMount mount(f.mount);
  TAutoGuider g(&mount, [&](const std::string& n) -> TCamera* { return n == "ASCOM Camera #1" ? f.cam : nullptr; });
  g.Set.Exposure = "0.5";
  g.ImageSource = "ASCOM Camera #1";
  f.Tick(g);
  ASSERT_EQ(g.Camera(), f.cam);
  dynamic_cast<platform::TSimDevice&>(f.cams[1].driver.operator*()).FailMemberForTest("StartExposure");
  g.Press(TGuideMode::Select);
  f.Tick(g);
  EXPECT_EQ(g.Mode(), TGuideMode::Off);
  EXPECT_EQ(g.Camera(), f.cam);  // still connected and held
  const std::string status = g.Status();
  EXPECT_EQ(status.rfind("Error: StartExposure: ", 0), 0u) << status;
  EXPECT_EQ(LogLines().LastLine(), "[AutoGuide] " + status);
  for (int i = 0; i < 3; ++i) f.Tick(g);
  EXPECT_EQ(g.Status(), status);  // said until the next press
  g.Press(TGuideMode::Select);
  for (int i = 0; i < 10 && f.cam->ExposureState != 2; ++i) f.Tick(g);
  EXPECT_EQ(f.cam->ExposureState, 2);
  EXPECT_EQ(g.Mode(), TGuideMode::Select);
}

TEST(AutoGuider, CalibrationMeasuresTheDeclinationPlay) {
  GuideFixture f;
  f.mount.MutableConfig().decPlayDeg = 1.5 * kGuideRate;
  SimGuideMount mount(f.mount);
  TAutoGuider g(&mount, [&](const std::string&) -> TCamera* { return f.cam; });
  f.Calibrate(g);
  ASSERT_TRUE(g.Calibrated()) << LogLines().LastLine();
  EXPECT_NEAR(g.Backlash(), 1500, 300);
}

// A mount that does not move the star fails the calibration.
TEST(AutoGuider, CalibrationFailsWhenTheStarDoesNotMove) {
  GuideFixture f;
  class DeadMount : public IGuideMount {
    bool Connected() override { return true; }
    void PulseGuide(char, int) override {}
    void StopMove(char) override {}
    bool SetGuideRate(int) override { return true; }
  } dead;
  TAutoGuider g(&dead, [&](const std::string&) -> TCamera* { return f.cam; });
  f.Calibrate(g);
  EXPECT_FALSE(g.Calibrated());
  const auto lines = LogLines().Lines();
  EXPECT_NE(std::find(lines.begin(), lines.end(),
                      "[AutoGuide] Error: calibration failed, the star did not move in declination"),
            lines.end());
  g.Press(TGuideMode::Guide);
  EXPECT_EQ(g.Mode(), TGuideMode::Off) << "no guiding without a calibration";
}

// Guide pulses: the error over the axis rate, nothing at 0.1 s or less, and
// never longer than the 16,299 ms the mount accepts.
TEST(AutoGuider, GuidePulseLengthAndClamp) {
  const TGuideAxes axes{2.0, 0.05, 0.0, 90.0, 0};
  struct Case {
    double ex, ey;
    bool ra;
    char dir;
    int ms;
  } cases[] = {
      {0, 2, false, 'N', 1000},      // 2 px at 2 px/s
      {0, -3, false, 'S', 1500},
      {0, 0.1, false, 0, 0},         // 0.05 s: below the dead band
      {0, 80, false, 'N', 16299},    // 40 s clamped
      {10, 0, true, 'E', 16299},     // 200 s at 0.05 px/s clamped
      {-0.004, 0, true, 0, 0},       // 0.08 s
      {-0.01, 0, true, 'W', 200},
  };
  for (const Case& c : cases) {
    int64_t taken = 0;
    const TGuidePulse p = GuidePulse(c.ex, c.ey, c.ra, axes, 1.0, true, taken);
    EXPECT_EQ(p.direction, c.dir) << c.ex << "," << c.ey;
    EXPECT_EQ(p.ms, c.ms) << c.ex << "," << c.ey;
  }
}

// Declination backlash while guiding: each reversal adds the measured
// backlash once; pulses in the same direction add nothing; switched off,
// nothing is added.
TEST(AutoGuider, BacklashCompensationOnDeclinationReversals) {
  const TGuideAxes axes{2.0, 2.0, 0.0, 90.0, 1500};
  const struct Step {
    double ey;
    bool comp;
    char dir;
    int ms;
  } steps[] = {{2, true, 'N', 2500}, {2, true, 'N', 1000}, {-2, true, 'S', 2500},
               {-2, true, 'S', 1000}, {2, true, 'N', 2500}, {-2, false, 'S', 1000}};
  int64_t taken = 0;
  int i = 0;
  for (const Step& s : steps) {
    const TGuidePulse p = GuidePulse(0, s.ey, false, axes, 1.0, s.comp, taken);
    EXPECT_EQ(p.direction, s.dir) << "step " << i;
    EXPECT_EQ(p.ms, s.ms) << "step " << i;
    EXPECT_EQ(p.backlashMs, s.ms - 1000) << "step " << i;
    ++i;
  }
  // Never past the mount's limit, backlash included.
  taken = 0;
  EXPECT_EQ(GuidePulse(0, 32, false, axes, 1.0, true, taken).ms, 16299);
}

// The guide camera disconnected in the "ASCOM Cameras" window while a star
// is being selected, and its driver dropping the link during an exposure:
// the mode goes to Off, the camera is let go, and the status and the log
// say why until another choice; connected again, it is chosen again.
TEST(AutoGuider, ACameraThatGoesIsLetGoWithTheReason) {
  GuideFixture f;
  SimGuideMount mount(f.mount);
  TAutoGuider g(&mount, [&](const std::string& n) -> TCamera* { return n == "ASCOM Camera #1" ? f.cams.Camera(1) : nullptr; });
  // Heard of while the test runs, whatever way it ends.
  struct Registered {
    std::size_t before = CameraConsumers().size();
    ~Registered() { CameraConsumers().resize(before); }
  } registered;
  CameraConsumers().push_back({nullptr, [&](const std::string& n, const std::string& why) { g.RemoveCamera(n, why); },
                               nullptr});
  g.Set.Exposure = "0.5";
  auto select = [&] {
    g.ImageSource = "ASCOM Camera #1";
    f.Tick(g);
    ASSERT_EQ(g.Camera(), f.cams.Camera(1)) << g.Status();
    g.Press(TGuideMode::Select);
    for (int i = 0; i < 20 && f.cam->ExposureState != 2; ++i) f.Tick(g);
    ASSERT_EQ(f.cam->ExposureState, 2);
  };
  select();
  f.cams.DisconnectClick(1);
  f.cam = nullptr;
  EXPECT_EQ(g.Mode(), TGuideMode::Off);
  EXPECT_EQ(g.Camera(), nullptr);
  EXPECT_EQ(g.ImageSource, "None");
  const std::string byUser = "Error: Camera disconnected: ASCOM Camera #1 was disconnected in the \"ASCOM Cameras\" window";
  const auto lines = LogLines().Lines();
  EXPECT_NE(std::find(lines.begin(), lines.end(), "[AutoGuide] " + byUser), lines.end());
  f.Tick(g);
  EXPECT_EQ(g.Status(), byUser);

  f.cams.ConnectClick(1);
  f.cam = f.cams.Camera(1);
  select();
  dynamic_cast<platform::TSimDevice&>(f.cams[1].driver.operator*()).DropLink();
  for (int i = 0; i < 20 && g.Camera(); ++i) f.Tick(g);
  EXPECT_EQ(g.Camera(), nullptr);
  EXPECT_EQ(g.Mode(), TGuideMode::Off);
  EXPECT_EQ(g.Status(), "Error: Camera disconnected: the driver lost its link to the camera (CameraState: Not connected)");

  // At rest (Off): the camera goes as a source given up, without the
  // running mode's errors.
  f.cams.Timer1Timer();  // the watch takes the dropped slot down
  f.cams.ConnectClick(1);
  f.cam = f.cams.Camera(1);
  g.ImageSource = "ASCOM Camera #1";
  f.Tick(g);
  ASSERT_EQ(g.Camera(), f.cams.Camera(1)) << g.Status();
  LogLines().Clear();
  f.cams.DisconnectClick(1);
  f.cam = nullptr;
  const std::string why = "ASCOM Camera #1 was disconnected in the \"ASCOM Cameras\" window";
  std::vector<std::string> said;  // this window's lines
  for (const std::string& line : LogLines().Lines())
    if (line.rfind("[AutoGuide] ", 0) == 0) said.push_back(line);
  EXPECT_EQ(said, std::vector<std::string>{"[AutoGuide] Camera disconnected: " + why});
  f.Tick(g);
  EXPECT_EQ(g.Camera(), nullptr);
  EXPECT_EQ(g.Status(), "Error: camera connection: " + why);
}
