// What the telescope window makes of a real mount's answers, against the
// fake mount: OnStep's refused sync, a Meade handset's tracking and park
// state, malformed replies (asked again, then told), what an earlier state
// leaves behind, and Set Lat/Long without a chosen place.
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QTimer>

#include "tests/telescope/lx200_fixture.h"

using namespace telescope_test;

namespace {

constexpr double kHour = kPi / 12.0;

class Lx200MountState : public TLx200WindowTest, public ::testing::TestWithParam<TFakeLx200::Transport> {};
class Lx200Replies : public TLx200WindowTest, public ::testing::Test {};

}  // namespace

// OnStep answers a sync while it slews or is parked with a bare "1": the
// mount refused; the link stays, the window and the log say why, and the
// marker stays where the mount points.
TEST_P(Lx200MountState, SyncRefusedWhileSlewingOrParked) {
  TFakeLx200 fake(GetParam());
  SetWorm(fake, 8);
  fake.Change([](TFakeLx200::State& s) { s.slewMs = 60000; });
  ConnectTo(fake);
  ASSERT_TRUE(tele.Connected());
  Poll();
  const double ra = tele.RightAscension(), dec = tele.Declination();
  ASSERT_TRUE(tele.GotoRaDec(10.0 * kHour, 30.0 * kRad));
  for (const std::string why : {"slewing", "parked"}) {
    SCOPED_TRACE(why);
    if (why == "parked") fake.Change([](TFakeLx200::State& s) { s.parked = true; });
    LogLines().Clear();
    EXPECT_FALSE(tele.SyncRaDec(2.0 * kHour, 5.0 * kRad));
    EXPECT_TRUE(tele.Connected());
    const std::string reason = "Sync refused by the mount: mount is " + why;
    EXPECT_EQ(FaultShown(&form), "Sync failed: " + reason);
    EXPECT_TRUE(Logged("[Ascom.Telescope] Warning, Syncing to Coordinates? " + reason)) << LogLines().LastLine();
    Poll(6);  // past the sync's hold
    EXPECT_NEAR(tele.RightAscension(), ra, 1e-9) << "the marker moved";
    EXPECT_NEAR(tele.Declination(), dec, 1e-9);
  }
}

// A red line of a refused goto, a PEC plot's cursor and the PEC copy of an
// earlier connection: none of it stays after the next success or connect.
TEST_P(Lx200MountState, EarlierStateIsClearedAtTheNextSuccessOrConnect) {
  {
    TFakeLx200 fake(GetParam());
    SetWorm(fake, 8, 100);
    fake.Change([](TFakeLx200::State& s) {
      s.parked = true;
      s.pecState = 'p';  // playing: the poll reads the worm's place
      s.pecIndex = 5;
    });
    ConnectTo(fake);
    ASSERT_TRUE(tele.Connected());
    const auto park = [&](bool parked) { fake.Change([=](TFakeLx200::State& s) { s.parked = parked; }); };
    EXPECT_FALSE(tele.GotoRaDec(3.0 * kHour, 10.0 * kRad));
    EXPECT_NE(FaultShown(&form).find("Goto failed"), std::string::npos);
    park(false);
    EXPECT_TRUE(tele.GotoRaDec(3.0 * kHour, 10.0 * kRad));
    EXPECT_EQ(FaultShown(&form), "") << "the red line stays after a goto that worked";
    park(true);
    EXPECT_FALSE(tele.GotoRaDec(4.0 * kHour, 10.0 * kRad));
    park(false);
    tele.ParkButton1Click();
    EXPECT_EQ(FaultShown(&form), "") << "a park that worked clears it too";
    park(false);
    Poll(4);
    int marker = -1;
    tele.PecPlot(300, 100, marker);
    ASSERT_GE(marker, 0) << "the poll read the playing index";
    Button(&form, "Disconnect")->click();
  }
  // The next mount's own table, read slowly: what is not read yet is
  // empty, never the earlier mount's (entries of 70 and more).
  TFakeLx200 next(GetParam());
  SetWorm(next, 8);
  next.SetDelay(30);
  bool stale = false;
  QTimer sample;
  QObject::connect(&sample, &QTimer::timeout, [&] {
    if (tele.Connecting() || tele.Connected())
      for (int i = 0; i < 8; ++i) stale |= tele.PecTable()[size_t(i)] >= 70;
  });
  sample.start(5);
  ConnectTo(next);
  ASSERT_TRUE(tele.Connected());
  EXPECT_FALSE(stale) << "the earlier mount's PEC copy was shown";
  int marker = 0;
  tele.PecPlot(300, 100, marker);
  EXPECT_EQ(marker, -1) << "the earlier mount's play cursor";
  for (int i = 0; i < 8; ++i) EXPECT_EQ(tele.PecTable()[size_t(i)], PecEntry(i));
}

// Set Lat/Long with no place chosen would send the chart's stand-in
// (0°, 0°) over the mount's own site: skipped, and said.
TEST_P(Lx200MountState, SetLatLongSkippedWithoutAChosenPlace) {
  for (const bool chosen : {false, true}) {
    SCOPED_TRACE(chosen);
    TFakeLx200 fake(GetParam());
    SetWorm(fake, 8);
    host.placeChosen = chosen;
    for (auto* box : form.findChildren<QCheckBox*>())
      if (box->text() == "Set Lat/Long") box->setChecked(true);
    ConnectTo(fake);
    ASSERT_TRUE(tele.Connected());
    EXPECT_EQ(Sent(fake, ":St+00*00#") || Sent(fake, ":Sg000*00#"), chosen);
    EXPECT_EQ(Logged("[Ascom.Telescope] Set Lat/Long skipped: No observer location chosen"), !chosen);
    EXPECT_EQ(FaultShown(&form), chosen ? "" : "No observer location chosen: Set Lat/Long skipped");
    Button(&form, "Disconnect")->click();
    LogLines().Clear();
  }
}

INSTANTIATE_TEST_SUITE_P(Lines, Lx200MountState,
                         ::testing::Values(TFakeLx200::Transport::Pty, TFakeLx200::Transport::Tcp),
                         [](const auto& info) { return LinkName(info.param); });

// An LX200GPS parked with tracking off: the lamps say so (tracking from
// ":GW#"), Un-Park wakes it (":hW#") and Park parks it (":hP#"). A handset
// that does not answer ":GW#" shows its tracking as unknown, tells that
// once, and offers no Un-Park.
TEST_F(Lx200Replies, MeadeHandsetTrackingParkAndUnPark) {
  TFakeLx200 gps(TFakeLx200::Transport::Tcp, TFakeLx200::Firmware::Meade);
  gps.Change([](TFakeLx200::State& s) {
    s.parked = true;
    s.tracking = false;
  });
  ConnectTo(gps);
  ASSERT_TRUE(tele.Connected());
  EXPECT_TRUE(Button(&form, "Park")->isEnabled());
  EXPECT_TRUE(Button(&form, "Un-Park")->isEnabled());
  const auto lamps = [&] { return std::pair(tele.Controls().trackingShape, tele.Controls().parkedShape); };
  tele.Timer1Timer();
  EXPECT_EQ(lamps(), std::pair(TShape::ButtonFace, TShape::Unknown)) << "no handset command tells a park";
  Button(&form, "Un-Park")->click();
  EXPECT_TRUE(RunUntil([&] { return Sent(gps, ":hW#"); }, 2000)) << "no reply to wait for";
  for (int i = 0; i < 4; ++i) tele.Timer1Timer();  // the hold, then a poll
  EXPECT_EQ(lamps(), std::pair(TShape::Green, TShape::ButtonFace));
  Button(&form, "Park")->click();
  EXPECT_TRUE(RunUntil([&] { return Sent(gps, ":hP#"); }, 2000)) << "no reply to wait for";
  for (int i = 0; i < 4; ++i) tele.Timer1Timer();
  EXPECT_EQ(lamps(), std::pair(TShape::ButtonFace, TShape::Green));
  Button(&form, "Disconnect")->click();

  TFakeLx200 autostar(TFakeLx200::Transport::Tcp, TFakeLx200::Firmware::Meade);
  autostar.Change([](TFakeLx200::State& s) { s.alignStatus = false; });
  LogLines().Clear();
  ConnectTo(autostar);
  ASSERT_TRUE(tele.Connected());
  EXPECT_TRUE(Button(&form, "Park")->isEnabled());
  EXPECT_FALSE(Button(&form, "Un-Park")->isEnabled()) << "the Autostar has no wake";
  tele.Timer1Timer();
  tele.Timer1Timer();
  EXPECT_EQ(tele.Controls().trackingShape, TShape::Unknown) << "not green when nothing tells";
  EXPECT_EQ(LinesStarting("[Ascom.Telescope] Warning, Tracking failed"), 1);
}

// Malformed replies: the first is asked again and the good second one
// used; a second malformed one ends the connection with the reason in the
// window, and no value is taken from it (a garbled step rate does not read
// as a mount without PEC, a declination of 95° is no position).
TEST_F(Lx200Replies, MalformedRepliesAreAskedAgainThenTold) {
  const struct {
    const char *command, *reply;
    bool atConnect;  // else asked by the poll
  } cases[] = {{":VS#", "2O.000000#", true},
               {":GL#", "2O:15:00#", true},
               {":VR3#", "+0x3#", true},
               {":GD#", "+95*00:00#", false}};
  for (const auto& c : cases) {
    for (const int times : {1, 2}) {
      SCOPED_TRACE(std::string(c.command) + " x" + std::to_string(times));
      LogLines().Clear();
      TFakeLx200 fake(TFakeLx200::Transport::Tcp);
      SetWorm(fake, 8);
      if (c.atConnect) fake.Garble(c.command, c.reply, times);
      ConnectTo(fake);
      if (!c.atConnect) fake.Garble(c.command, c.reply, times);
      if (tele.Connected()) tele.Timer1Timer();
      RunUntil([] { return false; }, 50);  // a lost link is handled after the call
      EXPECT_EQ(fake.Count(c.command), 2) << "asked once more, and no more";
      if (times == 1) {
        ASSERT_TRUE(tele.Connected()) << FaultShown(&form);
        EXPECT_EQ(tele.PecLength(), 8);
        for (int i = 0; i < 8; ++i) EXPECT_EQ(tele.PecTable()[size_t(i)], PecEntry(i));
        EXPECT_NEAR(tele.Declination(), 20.0 * kRad, 1e-9) << "the fake points at +20°";
      } else {
        EXPECT_FALSE(tele.Connected());
        const std::string shown = FaultShown(&form);
        EXPECT_NE(shown.find(std::string("malformed reply to ") + c.command + ": \"" + c.reply), std::string::npos)
            << shown;
        EXPECT_EQ(LossLines(), 1);
        EXPECT_EQ(LinesStarting("[Ascom.Telescope] PEC unavailable"), 0);
        EXPECT_LT(std::fabs(tele.Declination()), 90.0 * kRad + 1e-9);
      }
      tele.Disconnect();
    }
  }
}
