// The telescope window's logic against the simulated mount.
#include <gtest/gtest.h>

#include <cmath>
#include <functional>

#include "astro/observer.h"
#include "astro/transforms.h"
#include "platform/dialogs.h"
#include "platform/registry.h"
#include "shell/messages.h"
#include "telescope/tele_control.h"
#include "telescope/telescope_view.h"
#include "tests/telescope/sim_fixture.h"

using namespace telescope_test;
using platform::TSimProtocol;
using platform::TSimTelescope;
using platform::TSimTelescopeConfig;

namespace {

// Sirius, ICRS/J2000 (SIMBAD): 06h45m08.91728s, -16°42'58.0171".
constexpr double kSiriusRa = (6 + 45 / 60.0 + 8.91728 / 3600.0) * 15 * kRad;
constexpr double kSiriusDec = -(16 + 42 / 60.0 + 58.0171 / 3600.0) * kRad;

class TeleTest : public ::testing::Test {
 public:
  void SetUp() override { LogLines().Clear(); }
  void Connect(TSimTelescopeConfig cfg = {}) {
    mount = std::make_shared<TSimTelescope>(cfg);
    RegisterAs("Test.Telescope", "Telescope", mount);
    tele.name = "Test.Telescope";
    tele.ConnectClick();
  }
  // Lets `ms` pass and polls once.
  void Wait(uint32_t ms) {
    AdvanceClock(ms);
    tele.Timer1Timer();
  }
  RecordingHost host;
  TTeleControl tele{&host};
  std::shared_ptr<TSimTelescope> mount;
};

TSimTelescopeConfig Kind(const std::string& info, TSimProtocol p) {
  TSimTelescopeConfig c;
  c.driverInfo = info;
  c.protocol = p;
  return c;
}

}  // namespace

// Mount kinds come from the driver text and the probe; a failed probe clears
// every LX200-family flag.
TEST_F(TeleTest, DetectsMountKindAndRecomputesFlagsAfterFailedProbe) {
  struct Case {
    std::string info;
    TSimProtocol protocol;
    bool lx200, onStep, autostar;
    std::string line;
  } cases[] = {
      {"Plain simulator", TSimProtocol::None, false, false, false, "Connect: Plain simulator"},
      {"meade lx200 classic", TSimProtocol::Meade, true, false, true,
       "Connect, Autostar compatible: (meade lx200 classic)"},
      {"ON_STEP 4.1", TSimProtocol::OnStep, true, true, false, "Connect, Autostar compatible: (ON_STEP 4.1)"},
      {"Meade bridge", TSimProtocol::None, false, false, false, "Connect: Meade bridge"},
      {"ON_STEP bridge", TSimProtocol::None, false, false, false, "Connect: ON_STEP bridge"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.info);
    LogLines().Clear();
    Connect(Kind(c.info, c.protocol));
    ASSERT_TRUE(tele.Connected());
    EXPECT_EQ(tele.Lx200(), c.lx200);
    EXPECT_EQ(tele.OnStep(), c.onStep);
    EXPECT_EQ(tele.AutostarNotOnStep(), c.autostar);
    EXPECT_TRUE(Logged("[Ascom.Telescope] " + c.line));
    tele.Disconnect();
  }
}

TEST_F(TeleTest, ConnectSetsControlsMenusCapabilitiesAndCoordinateSystem) {
  TSimTelescopeConfig cfg;
  cfg.equatorialSystem = 0;
  cfg.canFindHome = false;
  Connect(cfg);
  ASSERT_TRUE(tele.Connected());
  EXPECT_TRUE(host.realTime);
  EXPECT_FALSE(host.menusEnabled);
  EXPECT_TRUE(host.gotoHere);
  EXPECT_TRUE(host.syncHere);
  EXPECT_TRUE(tele.Timer1Enabled());
  const TTeleControls& ui = tele.Controls();
  EXPECT_FALSE(ui.connect);
  EXPECT_TRUE(ui.disconnect);
  EXPECT_TRUE(ui.park);
  EXPECT_FALSE(ui.findHome);
  EXPECT_EQ(ui.coordinateType, "(Unknown, assuming LocalTopocentric)");
  EXPECT_EQ(tele.EquatorialSystem(), 1);
  EXPECT_TRUE(tele.useRefracted);  // the simulator does not refract
  EXPECT_TRUE(Logged("[Ascom.Telescope] Can Park"));
  EXPECT_FALSE(Logged("[Ascom.Telescope] Can find Home"));
  EXPECT_TRUE(Logged("[Ascom.Telescope] Doesn't do Refraction"));
  EXPECT_TRUE(Logged("[Ascom.Telescope] Can sync. Coordinates"));
}

// The observer record holds west-positive longitude in [0, 2π); the driver
// takes east-positive degrees in -180..180.
TEST_F(TeleTest, SiteLongitudeIsSentInMinus180To180) {
  struct Case {
    double westDeg, expectEast;
  } cases[] = {{350.0, 10.0}, {100.0, -100.0}, {0.0, 0.0}, {180.0, 180.0}};
  for (const Case& c : cases) {
    SetObserverLocation(*host.obs, c.westDeg * kRad, 48.0 * kRad, 0);
    tele.setLatLong = true;
    Connect();
    EXPECT_NEAR(mount->SiteLongitude(), c.expectEast, 1e-9) << c.westDeg;
    EXPECT_NEAR(mount->SiteLatitude(), 48.0, 1e-9);
    tele.Disconnect();
  }
}

TEST_F(TeleTest, GotoSettlesAndTheMarkerFollowsTheMount) {
  Connect();
  SetTeleControl(&tele);
  ASSERT_TRUE(tele.GotoRaDec(kSiriusRa, kSiriusDec));
  EXPECT_TRUE(tele.GotoInProgress());
  EXPECT_EQ(tele.MsSinceGotoDone(), 0u);
  Wait(1000);
  EXPECT_FALSE(tele.GotoTimerEnabled()) << "still slewing";
  Wait(60000);  // the slew (at most 180° at 4°/s) has ended
  EXPECT_TRUE(tele.GotoTimerEnabled());
  EXPECT_EQ(tele.MsSinceGotoDone(), 0u) << "settling counts as in progress";
  tele.GotoTimerTimer();
  AdvanceClock(1500);
  EXPECT_GE(tele.MsSinceGotoDone(), 1500u);
  // J2000 mount, J2000 chart: the marker sits on the target (simulator
  // reports doubles, so only rounding remains).
  const TTelescopeMarker m = TelescopeMarker();
  EXPECT_TRUE(m.connected);
  EXPECT_NEAR(m.ra, kSiriusRa, 0.01 * kArcsec);
  EXPECT_NEAR(m.dec, kSiriusDec, 0.01 * kArcsec);
  EXPECT_GT(host.redraws, 0);
  SetTeleControl(nullptr);
}

// A settled goto has arrived only where the mount, read at rest, points at
// its target: one stopped 12 degrees short (from its handset) is given up
// and said so; a sync or manual move during the goto, or a mount whose
// position cannot be read at rest, leaves nothing to prove otherwise.
TEST_F(TeleTest, AGotoArrivesOnlyWhereTheMountRestsAtItsTarget) {
  struct Case {
    const char* name;
    std::function<void(TeleTest&)> meanwhile;  // after a second of the slew
    TGotoEnd end;
    std::string fault;
  } cases[] = {
      {"arrives", [](TeleTest&) {}, TGotoEnd::Arrived, ""},
      {"stopped short",
       [](TeleTest& t) { t.mount->SetPointing(kSiriusRa / kRad / 15, kSiriusDec / kRad + 12); },
       TGotoEnd::GivenUp, "Goto ended 12.0 degrees from its target"},
      {"synced elsewhere",
       [](TeleTest& t) {
         t.Wait(60000);
         ASSERT_TRUE(t.tele.SyncRaDec(kSiriusRa + 5 * kRad, kSiriusDec));
       },
       TGotoEnd::Arrived, ""},
      {"moved by hand",
       [](TeleTest& t) {
         t.mount->SetPointing(kSiriusRa / kRad / 15, kSiriusDec / kRad + 3);
         t.tele.StartMove('N');
         t.tele.StopMove('N');
       },
       TGotoEnd::Arrived, ""},
      {"unreadable at rest",
       [](TeleTest& t) {
         t.mount->SetPointing(kSiriusRa / kRad / 15, kSiriusDec / kRad + 12);
         t.mount->FailMemberForTest("RightAscension", -1);
       },
       TGotoEnd::Arrived, ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    LogLines().Clear();
    TSimTelescopeConfig cfg;
    cfg.doesRefraction = true;  // no refraction on our side
    Connect(cfg);
    ASSERT_TRUE(tele.GotoRaDec(kSiriusRa, kSiriusDec));
    EXPECT_EQ(tele.LastGotoEnd(), TGotoEnd::Underway);
    Wait(1000);
    c.meanwhile(*this);
    for (int i = 0; i < 20 && !tele.GotoTimerEnabled(); ++i) Wait(60000);
    ASSERT_TRUE(tele.GotoTimerEnabled());
    for (int i = 0; i < 12; ++i) Wait(1000);  // past a sync's hold
    tele.GotoTimerTimer();
    EXPECT_FALSE(tele.GotoInProgress());
    EXPECT_EQ(tele.LastGotoEnd(), c.end);
    EXPECT_EQ(tele.Controls().fault, c.fault);
    EXPECT_EQ(Logged("[Ascom.Telescope] Warning, " + c.fault), !c.fault.empty());
    tele.Disconnect();
  }
}

// A chart of date and a J2000 mount: the goto precesses to J2000 and the
// poll back to the date, through private copies of the observer record.
TEST_F(TeleTest, GotoPrecessesToTheDriverEpoch) {
  host.epoch = 2460676.5;  // 2025-01-01 0h
  const double liveEpoch = ObserverTime.EpochTo;
  TSimTelescopeConfig cfg;
  cfg.doesRefraction = true;  // no refraction on our side
  Connect(cfg);
  // Sirius precessed from J2000 to 2025-01-01 (IAU 1976, ERFA eraPmat76 via
  // python3-erfa): RA 101.56648928°, Dec -16.74369056°.
  const double raDate = 101.56648928 * kRad, decDate = -16.74369056 * kRad;
  ASSERT_TRUE(tele.GotoRaDec(raDate, decDate));
  Wait(60000);
  EXPECT_NEAR(mount->RaHours() * 15 * kRad, kSiriusRa, 0.05 * kArcsec);
  EXPECT_NEAR(mount->DecDegrees() * kRad, kSiriusDec, 0.05 * kArcsec);
  EXPECT_NEAR(tele.RightAscension(), raDate, 0.05 * kArcsec);
  EXPECT_NEAR(tele.Declination(), decDate, 0.05 * kArcsec);
  EXPECT_EQ(ObserverTime.EpochTo, liveEpoch) << "the live record is never touched";
}

TEST_F(TeleTest, SyncHoldsThePollForFiveTicks) {
  TSimTelescopeConfig cfg;
  cfg.doesRefraction = true;
  Connect(cfg);
  ASSERT_TRUE(tele.SyncRaDec(kSiriusRa, kSiriusDec));
  EXPECT_TRUE(Logged("[Ascom.Telescope] Syncing to Coordinates"));
  EXPECT_NEAR(mount->RaHours() * 15 * kRad, kSiriusRa, 0.01 * kArcsec);
  EXPECT_EQ(tele.HoldCounter(), 10);
  mount->ClearCalls();
  for (int i = 0; i < 5; ++i) tele.Timer1Timer();
  EXPECT_TRUE(mount->Calls().empty());
  tele.Timer1Timer();
  EXPECT_FALSE(mount->Calls().empty());
}

TEST_F(TeleTest, ParkSlewsToTheParkPosition) {
  Connect();
  tele.ParkButton1Click();
  EXPECT_TRUE(Logged("[Ascom.Telescope] Moving to Park position"));
  EXPECT_EQ(tele.HoldCounter(), 6);
  AdvanceClock(60000);
  tele.UnParkButton1Click();  // reads the mount first: the park has ended
  EXPECT_TRUE(Logged("[Ascom.Telescope] Returning to operation from Park position"));
  EXPECT_NEAR(mount->DecDegrees(), 90.0, 1e-9);
}

// The driver reporting the link lost runs the whole disconnect.
TEST_F(TeleTest, DriverReportedDisconnectReleasesTheDriverAndMenus) {
  Connect();
  mount->DropLink();
  tele.Timer1Timer();
  EXPECT_FALSE(tele.Connected());
  EXPECT_TRUE(host.menusEnabled);
  EXPECT_FALSE(host.gotoHere);
  EXPECT_FALSE(host.syncHere);
  EXPECT_FALSE(tele.Timer1Enabled());
  EXPECT_TRUE(tele.Controls().connect);
  EXPECT_TRUE(Logged("[Ascom.Telescope] Disconnect"));
  EXPECT_EQ(mount.use_count(), 2) << "only the test and the registry hold the simulator";
}

// Each guarded call, made to fail once, logs its line and leaves a neutral
// result; the window goes on working.
TEST_F(TeleTest, EveryFailingCallLogsAndGoesOn) {
  struct Case {
    const char* member;
    std::function<void(TTeleControl&)> act;
    const char* line;
  } cases[] = {
      {"SyncToCoordinates", [](TTeleControl& t) { EXPECT_FALSE(t.SyncRaDec(1, 0.2)); },
       "Warning, Syncing to Coordinates? Simulated failure of SyncToCoordinates"},
      {"RightAscension", [](TTeleControl& t) { t.Timer1Timer(); }, "Get telescope Coordinates failed"},
      {"Park", [](TTeleControl& t) { t.ParkButton1Click(); }, "Park command timed-out waiting for response"},
      {"SetPark", [](TTeleControl& t) { t.SetParkButton1Click(); }, "Setting Park position failed"},
      {"GuideRateRightAscension", [](TTeleControl& t) { EXPECT_FALSE(t.SetGuideRate(2)); },
       "Setting Guide-Rate, value error"},
      {"GuideRateDeclination", [](TTeleControl& t) { EXPECT_FALSE(t.SetGuideRate(2)); },
       "Setting Guide-Rate, error unexpected value"},
      {"SlewToCoordinatesAsync", [](TTeleControl& t) { EXPECT_FALSE(t.GotoRaDec(1, 0.2)); },
       "Warning, Goto failed: Simulated failure of SlewToCoordinatesAsync"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.member);
    Connect();
    LogLines().Clear();
    mount->FailMemberForTest(c.member, 1);
    c.act(tele);
    EXPECT_TRUE(Logged(std::string("[Ascom.Telescope] ") + c.line));
    EXPECT_TRUE(tele.Connected());
    AdvanceClock(5000);
    EXPECT_TRUE(tele.GotoRaDec(kSiriusRa, kSiriusDec)) << "works again after the failure";
    tele.Disconnect();
  }
  // Failures during connect.
  struct ConnectCase {
    const char* member;
    const char* line;
  } connectCases[] = {{"UTCDate", "Warning, failed to set Date/Time: Simulated failure of UTCDate"},
                      {"DoesRefraction", "Unknown Refraction"},
                      {"Connected", "Connect failed: Simulated failure of Connected"}};
  for (const ConnectCase& c : connectCases) {
    SCOPED_TRACE(c.member);
    LogLines().Clear();
    mount = std::make_shared<TSimTelescope>();
    mount->FailMemberForTest(c.member, 1);
    RegisterAs("Test.Telescope", "Telescope", mount);
    tele.setTime = true;
    tele.ConnectClick();
    EXPECT_TRUE(Logged(std::string("[Ascom.Telescope] ") + c.line));
    tele.Disconnect();
  }
}

TEST_F(TeleTest, PulseGuidingMovesTheMountByRateTimesTime) {
  Connect();
  mount->SetPointing(6.0, 10.0);
  const double rate = mount->GuideRateDec();  // degrees per second
  tele.PulseGuide('n', 2000);
  EXPECT_NEAR(mount->DecDegrees(), 10.0 + 2.0 * rate, 1e-12);
  EXPECT_TRUE(Logged("[Ascom.Telescope] Pulse Guiding (N for 2000mS)"));
  tele.PulseGuide('W', 1500);
  EXPECT_NEAR(mount->RaHours(), 6.0 - 1.5 * rate / 15.0, 1e-12);
  for (int ms : {0, 16300}) {
    LogLines().Clear();
    tele.PulseGuide('N', ms);
    EXPECT_TRUE(Logged("[Ascom.Telescope] Pulse Guiding, warning invalid duration")) << ms;
  }
  mount->MutableConfig().canPulseGuide = false;
  tele.PulseGuide('N', 100);
  EXPECT_TRUE(Logged("[Ascom.Telescope] Pulse Guiding, error not supported"));
}

// Autostar mounts get a timed ":Mx#" ... ":Qx#" pair.
TEST_F(TeleTest, AutostarPulseIsATimedMove) {
  Connect(Kind("Meade Autostar", TSimProtocol::Meade));
  ASSERT_TRUE(tele.AutostarNotOnStep());
  mount->ClearCalls();
  tele.PulseGuide('e', 700);
  EXPECT_TRUE(tele.PulseBusy());
  tele.PulseGuide('n', 100);
  EXPECT_TRUE(Logged("[Ascom.Telescope] Pulse Guiding, warning thread is busy"));
  tele.PulseTimerTimer();
  EXPECT_FALSE(tele.PulseBusy());
  const auto& calls = mount->Calls();
  EXPECT_NE(std::find(calls.begin(), calls.end(), "Invoke CommandBlind :Me#"), calls.end());
  EXPECT_NE(std::find(calls.begin(), calls.end(), "Invoke CommandBlind :Qe#"), calls.end());
}

TEST_F(TeleTest, GuideRateUnitIsDetectedOnceFromTheDriversRate) {
  struct Case {
    double reported, unit;
  } cases[] = {{60.5, 60}, {1.03, 1}, {15.05, 15}, {15.041067 / 3600.0, 0.004166}, {5.0, -1}};
  for (const Case& c : cases) {
    TSimTelescopeConfig cfg;
    cfg.guideRateDegPerSec = c.reported;
    TTeleControl t(&host);
    mount = std::make_shared<TSimTelescope>(cfg);
    RegisterAs("Test.Telescope", "Telescope", mount);
    t.name = "Test.Telescope";
    t.ConnectClick();
    LogLines().Clear();
    EXPECT_EQ(t.SetGuideRate(3), c.unit > 0) << c.reported;
    EXPECT_EQ(t.GuideRateUnit(), c.unit);
    if (c.unit > 0) {
      EXPECT_DOUBLE_EQ(mount->GuideRateRA(), 2 * c.unit);
      EXPECT_TRUE(t.SetGuideRate(1));  // the unit stays: 2x is not read as 1x
      EXPECT_DOUBLE_EQ(mount->GuideRateDec(), 0.5 * c.unit);
    } else {
      EXPECT_TRUE(Logged("[Ascom.Telescope] Unable to determine Guide-Rate"));
    }
  }
  // LX200 mounts without settable rates get ":Rn#".
  Connect(Kind("Meade", TSimProtocol::Meade));
  mount->MutableConfig().canSetGuideRates = false;
  EXPECT_TRUE(tele.SetGuideRate(4));
  EXPECT_EQ(mount->GuideRateStep(), 4);
  EXPECT_TRUE(Logged("[Ascom.Telescope] Setting Guide-Rate, R4."));
  EXPECT_FALSE(tele.SetGuideRate(10));
}

// Moves: repeated 45 ms pulses by the 50 ms timer, or LX200 strings.
TEST_F(TeleTest, MovesRepeatPulsesAndStopOneAxisStopsTheRepeat) {
  Connect();
  mount->SetPointing(6.0, 0.0);
  tele.StartMove('n');
  tele.StartMove('E');
  EXPECT_EQ(tele.SlewTag(), 15);
  EXPECT_TRUE(tele.SlewTimerEnabled());
  const double rate = mount->GuideRateDec();
  tele.SlewTimerTimer();
  EXPECT_NEAR(mount->DecDegrees(), 2 * 0.045 * rate, 1e-12);  // start pulse and one repeat
  tele.StopMove('e');
  EXPECT_EQ(tele.SlewTag() & 12, 8);
  EXPECT_FALSE(tele.SlewTimerEnabled()) << "the north repeat stops too until the next start";
  EXPECT_TRUE(Logged("[Ascom.Telescope] Quit Guiding (East)"));
  tele.Disconnect();

  Connect(Kind("Meade", TSimProtocol::Meade));
  tele.StartMove('s');
  AdvanceClock(1000);
  tele.StopMove('?');
  // One second at the first rate step (0.5x sidereal) southwards.
  EXPECT_NEAR(mount->DecDegrees(), -0.5 * mount->GuideRateDec(), 0.01 * mount->GuideRateDec());
  EXPECT_TRUE(Logged("[Ascom.Telescope] Quit Guiding (All Directions)"));
}

TEST_F(TeleTest, OnStepAlignmentCountsStarsAndSwitchesMenus) {
  std::vector<std::string> flashes;
  SetFlashSink({[&](const std::string& t, int) { flashes.push_back(t); }, nullptr});
  Connect(Kind("ON_STEP", TSimProtocol::OnStep));
  tele.alignStars = 2;
  tele.AlignStartClick();
  EXPECT_TRUE(Logged("[Ascom.Telescope] Align started"));
  EXPECT_EQ(tele.AlignStarsLeft(), 2);
  EXPECT_TRUE(host.acceptAlign);
  EXPECT_FALSE(host.syncHere);
  tele.AcceptStarButton1Click();
  tele.AcceptStarButton1Click();
  EXPECT_TRUE(Logged("[Ascom.Telescope] Align star accepted"));
  EXPECT_TRUE(Logged("[Ascom.Telescope] Align, Done."));
  EXPECT_EQ(flashes, std::vector<std::string>{"Align done"});
  EXPECT_FALSE(host.acceptAlign);
  EXPECT_TRUE(host.syncHere);
  SetFlashSink({});
}

TEST_F(TeleTest, PointingCorrectionUsesTheMountsSiderealTime) {
  Connect(Kind("ON_STEP", TSimProtocol::OnStep));
  EXPECT_NEAR(tele.LocalSidereal(), 12 * 15 * kRad, 1e-12);  // the simulator answers "12:00:00#"
  // A second reading within a second is carried forward, not asked again.
  mount->SetSiderealReply("13:00:00#");
  AdvanceClock(500);
  // The program's millisecond clock also runs in real time, so allow a
  // few tenths of a second of sidereal motion (a new reading would be 15°
  // away).
  EXPECT_NEAR(tele.LocalSidereal(), 12 * 15 * kRad + 0.5 * 1.00273790935 * 15 / 3600.0 * kRad, 2e-5);
  for (const char* bad : {"24:00:00#", "12:60:00#", "noon#"}) {
    LogLines().Clear();
    AdvanceClock(1000);
    mount->SetSiderealReply(bad);
    TObserverTime o;
    host.CopyObserver(o);
    EXPECT_DOUBLE_EQ(tele.LocalSidereal(), o.LocalSidereal) << bad;
    EXPECT_TRUE(Logged("[Ascom.Telescope] Fallback to internal LST"));
  }
}

// With "Apply refraction" ticked the goto aims at the refracted (apparent)
// position: 10° true altitude is raised by Saemundsson's 1.02'/tan(h +
// 10.3/(h + 5.11)) = 5.41' at 10 °C and 1010 mbar (Meeus, Astronomical
// Algorithms, eq. 16.4).
TEST_F(TeleTest, GotoAddsRefractionWhenTicked) {
  TSimTelescopeConfig cfg;
  cfg.equatorialSystem = 1;  // no precession
  Connect(cfg);
  ASSERT_TRUE(tele.useRefracted);
  SetObserverLocation(*host.obs, 0.2, 0.8, 0);
  double ra = 0, dec = 0;
  HorizontalToEquatorial(*host.obs, ra, dec, 90 * kRad, 10 * kRad);
  ASSERT_TRUE(tele.GotoRaDec(ra, dec));
  AdvanceClock(120000);
  tele.Timer1Timer();
  double alt = 0, az = 0;
  EquatorialToHorizontal(*host.obs, alt, az, mount->RaHours() * 15 * kRad, mount->DecDegrees() * kRad);
  EXPECT_NEAR((alt - 10 * kRad) / kRad * 60, 5.41, 0.02);
  // The poll removes it again: the marker sits on the true position.
  EXPECT_NEAR(tele.Declination(), dec, 1 * kArcsec);
}

TEST_F(TeleTest, OnStepParkShapesFollowTheMount) {
  Connect(Kind("ON_STEP", TSimProtocol::OnStep));
  AdvanceClock(5000);
  tele.ParkButton1Click();
  for (int i = 0; i < 3; ++i) tele.Timer1Timer();  // the hold after park
  AdvanceClock(100);
  tele.Timer1Timer();
  EXPECT_EQ(tele.Controls().parkingShape, TShape::Green);
  EXPECT_EQ(tele.Controls().parkedShape, TShape::Yellow);  // neither parked nor unparked
  AdvanceClock(60000);
  tele.Timer1Timer();
  EXPECT_EQ(tele.Controls().parkedShape, TShape::Green);
  EXPECT_EQ(tele.Controls().parkingShape, TShape::ButtonFace);
}

// Connect with an empty Driver box says in the window (its red line) and
// in the log that no driver is chosen, and connects nothing.
TEST_F(TeleTest, ConnectWithNoDriverChosenSaysSo) {
  tele.name = "  ";
  tele.ConnectClick();
  EXPECT_FALSE(tele.Connected());
  EXPECT_EQ(tele.Controls().fault, "No driver is chosen for the telescope: choose one with \"Select\" first.");
  EXPECT_EQ(LogLines().LastLine(), "[Ascom.Telescope] Connect failed: no driver is chosen");
  EXPECT_TRUE(tele.Controls().connect);
  // A chosen driver connects and the line goes.
  Connect();
  EXPECT_TRUE(tele.Connected());
  EXPECT_EQ(tele.Controls().fault, "");
}

// An INDI identifier that cannot name a device says what is wrong with it in
// the window's red line, and nothing is reached.
TEST_F(TeleTest, AMalformedIndiIdentifierSaysWhatIsWrong) {
  const std::pair<const char*, const char*> cases[] = {
      {"INDI:127.0.0.1:76x4:Telescope Simulator", "the port \"76x4\" is not a number from 1 to 65535"},
      {"INDI:127.0.0.1:0:Telescope Simulator", "the port \"0\" is not a number from 1 to 65535"},
      {"INDI:127.0.0.1:7624:", "no device name"},
      {"INDI::7624:Telescope Simulator", "no host"},
      {"INDI:127.0.0.1", "it reads INDI:host:port:device"},
  };
  for (const auto& [id, why] : cases) {
    tele.name = id;
    tele.ConnectClick();
    EXPECT_FALSE(tele.Connected()) << id;
    EXPECT_EQ(tele.Controls().fault,
              std::string("Connect failed: Invalid INDI identifier \"") + id + "\": " + why);
    EXPECT_TRUE(tele.Controls().connect) << id;
  }
}

// The chooser object hands the device type to the installed chooser; without
// a chooser object the window says where drivers come from.
TEST_F(TeleTest, SelectUsesTheChooser) {
  std::string askedType;
  platform::SetChooserUi([&](const std::string& type, const std::string&, const std::vector<platform::TDriverEntry>& d) {
    askedType = type;
    // The simulator among the listed drivers (test drivers may come first).
    for (const platform::TDriverEntry& e : d)
      if (e.id == "Noctra.Simulator.Telescope") return e.id;
    return std::string();
  });
  tele.SelectClick();
  EXPECT_EQ(askedType, "Telescope");
  EXPECT_EQ(tele.name, "Noctra.Simulator.Telescope");
  platform::SetChooserUi({});
  platform::ScopedScriptedDialogs dialogs;
  // The chooser object is registered once in the process: it is put back.
  std::vector<platform::TDriverEntry> chooser = platform::ListDrivers("");
  std::erase_if(chooser, [](const platform::TDriverEntry& e) { return e.id != platform::kChooserId; });
  ASSERT_EQ(chooser.size(), 1u);
  platform::UnregisterDriverForTest(platform::kChooserId);
  tele.SelectClick();
  EXPECT_EQ(dialogs.Last().text, "ASCOM drivers couldn't be found, visit https://ascom-standards.org");
  platform::RegisterDriver(chooser[0]);
  platform::RegisterSimulatorDrivers();
}

// Settings of the device windows and the goto-assist window survive a save
// and a load (section "ASCOM", key names as other programs' files hold them).
TEST(DeviceSettings, RoundTrip) {
  {
    TTeleControl t;
    t.name = "INDI:localhost:7624:Telescope Simulator";
    t.setTime = true;
    t.SaveSettings();
  }
  TTeleControl t;
  t.LoadSettings();
  EXPECT_EQ(t.name, "INDI:localhost:7624:Telescope Simulator");
  EXPECT_TRUE(t.setTime);
  EXPECT_FALSE(t.setLatLong);
  platform::TRegIniFile reg;
  EXPECT_EQ(reg.ReadInteger("ASCOM", "SET_TIME", 0), 1);
  EXPECT_EQ(reg.ReadString("ASCOM", "SCOPE_NAME", ""), "INDI:localhost:7624:Telescope Simulator");
}
