// The telescope window driving a fake LX200 mount over a pseudo-terminal
// or a local TCP port: the connect probe, goto and sync, the PEC table,
// alignment, tracking and guide strings, refusals, the mount pulled away,
// slow links, failed connects, malformed replies, Meade handsets' park.
#include <gtest/gtest.h>

#include <sys/fsuid.h>
#include <sys/stat.h>

#include <QCheckBox>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QRadioButton>
#include <QTimer>
#include <algorithm>
#include <chrono>
#include <fstream>
#include <sstream>
#include <thread>
#include <tuple>

#include "platform/automation_lx200.h"
#include "platform/dialogs.h"
#include "shell/messages.h"
#include "telescope/forms/assist_form.h"
#include "telescope/forms/tele_form.h"
#include "tests/support/fake_lx200.h"
#include "tests/support/test_support.h"
#include "tests/telescope/lx200_fixture.h"
#include "tests/telescope/sim_fixture.h"

using namespace telescope_test;
using testing_support::kWaitMs;
using testing_support::LinkName;
using testing_support::TFakeLx200;

namespace {

class Lx200Window : public TLx200WindowTest, public ::testing::TestWithParam<TFakeLx200::Transport> {};
class Lx200Latency : public TLx200WindowTest,
                     public ::testing::TestWithParam<std::tuple<TFakeLx200::Transport, int>> {};
class Lx200Connect : public TLx200WindowTest, public ::testing::Test {};
class Lx200Replies : public TLx200WindowTest, public ::testing::Test {};

}  // namespace

TEST_P(Lx200Window, OnStepMountIsDrivenThroughTheWindow) {
  TFakeLx200 fake(GetParam());
  SetWorm(fake, 480);
  ConnectTo(fake);
  ASSERT_TRUE(tele.Connected()) << LogLines().LastLine();
  EXPECT_TRUE(tele.Lx200());
  EXPECT_TRUE(tele.OnStep());
  EXPECT_FALSE(tele.AutostarNotOnStep());
  const auto lines = LogLines().Lines();
  EXPECT_TRUE(std::any_of(lines.begin(), lines.end(), [](const std::string& l) {
    return l.rfind("[Ascom.Telescope] Connect, Autostar compatible: (LX200 mount (ON_STEP command set): On-Step", 0) == 0;
  }));

  // The PEC table from ":VW#" ("009600#") and ":VS#" ("20.000000#").
  ASSERT_EQ(tele.PecLength(), 480);
  for (int i = 0; i < 480; ++i) ASSERT_EQ(tele.PecTable()[size_t(i)], PecEntry(i)) << i;

  // Goto and sync land on the mount (topocentric, the mount refracts: no
  // conversion between the window and the line).
  ASSERT_TRUE(tele.GotoRaDec(10.5 * kHour, -12.25 * kRad));
  EXPECT_NEAR(fake.Get().targetRa, 10.5, 1.0 / 3600);
  EXPECT_NEAR(fake.Get().targetDec, -12.25, 1.0 / 3600);
  ASSERT_TRUE(RunUntil([&] { return !fake.Slewing(); }, 3000));
  tele.Timer1Timer();
  EXPECT_NEAR(tele.RightAscension(), 10.5 * kHour, 1e-6);
  EXPECT_NEAR(tele.Declination(), -12.25 * kRad, 1e-6);
  EXPECT_TRUE(tele.SyncRaDec(11.0 * kHour, 5.0 * kRad));
  EXPECT_NEAR(fake.Get().raHours, 11.0, 1.0 / 3600);
  EXPECT_NEAR(fake.Get().decDegrees, 5.0, 1.0 / 3600);

  // Export, clear the mount, import: the mount holds its table again and a
  // second export is the same file.
  testing_support::TempDir dir;
  const std::string a = dir.File("pec_a.csv"), b = dir.File("pec_b.csv");
  const auto table = fake.Get().pec;
  {
    platform::ScopedScriptedDialogs dialogs;
    dialogs.QueueFile({true, a, 1});
    Button(&form, "Export")->click();
    Button(&form, "Clear")->click();
    AdvanceClock(5000);
    ASSERT_TRUE(RunUntil([&] { return fake.Get().pec[1] == 0 && fake.Get().pec[2] == 0; }, 2000));
    dialogs.QueueFile({true, a, 1});
    Button(&form, "Import")->click();
    EXPECT_TRUE(RunUntil([&] { return fake.Get().pec == table; }, 3000)) << "the import did not restore the table";
    dialogs.QueueFile({true, b, 1});
    Button(&form, "Export")->click();
  }
  EXPECT_EQ(ReadAll(a).rfind("\"Frame\";\"Time\";\"RA\";\"DEC\"\r\n\"0000\";\"0.000\";\"-22.5\";\"0.0\"\r\n", 0), 0u)
      << "entry 0 is -30 steps, -30 x 15 / 20 arcseconds";
  EXPECT_EQ(ReadAll(a), ReadAll(b));

  // Alignment on the firmware's bare "1" replies.
  std::vector<std::string> flashes;
  SetFlashSink({[&](const std::string& t, int) { flashes.push_back(t); }, nullptr});
  for (auto* r : form.findChildren<QRadioButton*>())
    if (r->text() == "2 stars") r->setChecked(true);
  Button(&form, "Start")->click();
  EXPECT_TRUE(Logged("[Ascom.Telescope] Align started"));
  tele.Timer1Timer();  // the hold after each step
  Button(&form, "Accept star")->click();
  Button(&form, "Accept star")->click();
  EXPECT_EQ(flashes, std::vector<std::string>{"Align done"});
  SetFlashSink({});

  // Tracking rate and guide strings.
  Button(&form, "Track faster")->click();
  Button(&form, "Track slower")->click();
  tele.SetGuideRate(3);
  tele.StartMove('n');
  tele.StopMove('N');
  tele.PulseGuide('E', 300);
  for (const char* cmd : {":T+#", ":T-#", ":R3#", ":Mn#", ":Qn#", ":Mge0300#"})
    EXPECT_TRUE(RunUntil([&] { return Sent(fake, cmd); }, 2000)) << cmd;

  // A parked mount refuses the goto, and the window says so.
  fake.Change([](TFakeLx200::State& s) { s.parked = true; });
  EXPECT_FALSE(tele.GotoRaDec(1.0 * kHour, 1.0 * kRad));
  EXPECT_NE(FaultShown(&form).find("mount is parked"), std::string::npos) << FaultShown(&form);
  EXPECT_TRUE(tele.Connected());
}

// The mount goes away during a slew, or while the poll waits for a reply:
// one log line, the window shows the loss. (That the GUI thread takes
// input while a reply is owed is Lx200Latency's.)
TEST_P(Lx200Window, MountPulledAwayMidSlewAndMidPoll) {
  for (const bool midSlew : {true, false}) {
    LogLines().Clear();
    TFakeLx200 fake(GetParam());
    fake.Change([](TFakeLx200::State& s) { s.slewMs = 10000; });
    ConnectTo(fake);
    ASSERT_TRUE(tele.Connected());
    std::thread puller;
    if (midSlew) {
      ASSERT_TRUE(tele.GotoRaDec(3.0 * kHour, 40.0 * kRad));
      RunUntil([] { return false; }, 1000);  // a poll or two of the slew
      fake.Pull();
    } else {
      // Silent first, so that the next poll waits; pulled during that wait.
      fake.SetSilent(true);
      puller = std::thread([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(1200));
        fake.Pull();
      });
    }
    EXPECT_TRUE(RunUntil([&] { return !tele.Connected(); }, kWaitMs)) << "the loss was not seen";
    RunUntil([] { return false; }, 300);
    if (puller.joinable()) puller.join();
    EXPECT_EQ(LossLines(), 1);
    for (const std::string& line : LogLines().Lines())
      EXPECT_EQ(line.find("Warning"), std::string::npos) << line;
    EXPECT_NE(FaultShown(&form).find("lost"), std::string::npos) << FaultShown(&form);
    EXPECT_TRUE(Button(&form, "Connect")->isEnabled());
  }
}

// The whole connect and three polls at each delay; the program keeps
// taking input while the mount's replies are owed. The mount was asleep:
// its first reply takes 800 ms more (the first reply of a connect is
// waited for longer). Fewer PEC entries as the delay grows keep the suite
// quick (each entry is two questions: the entry and the check after it).
// One reply of the PEC read and one of a poll are held until the GUI
// thread's timer has ticked three times: a GUI thread that waited for
// the mount would tick only once the driver gave the line up, and the
// connect or the poll would fail.
TEST_P(Lx200Latency, ConnectReadsTheWholeTableAndTheProgramKeepsTakingInput) {
  const auto [transport, delayMs] = GetParam();
  const int entries = delayMs == 0 ? 480 : delayMs == 30 ? 30 : delayMs == 100 ? 10 : 3;
  TFakeLx200 fake(transport);
  SetWorm(fake, entries);
  fake.SetDelay(delayMs);
  fake.DelayNextReply(800);
  // A GUI-thread timer: its ticks are the GUI thread taking input.
  QTimer probe;
  std::atomic<int> ticks{0};
  bool progressSeen = false;
  QObject::connect(&probe, &QTimer::timeout, [&] {
    ++ticks;
    progressSeen |= tele.Controls().progress.rfind("Reading the PEC table", 0) == 0;
  });
  probe.start(10);
  const auto afterThreeTicks = [&ticks] {
    return [&ticks, from = -1]() mutable {
      if (from < 0) from = ticks;
      return ticks >= from + 3;
    };
  };
  fake.HoldReplyUntil(":VR", afterThreeTicks());
  SetDriver(fake.Id());
  Button(&form, "Connect")->click();
  ASSERT_TRUE(tele.Connected()) << LogLines().LastLine();
  ASSERT_EQ(tele.PecLength(), entries);
  for (int i = 0; i < entries; ++i) ASSERT_EQ(tele.PecTable()[size_t(i)], PecEntry(i)) << i;
  EXPECT_FALSE(Sent(fake, ":GU#")) << "a poll ran inside the connect";
  EXPECT_TRUE(progressSeen) << "the window showed the PEC read";
  EXPECT_EQ(tele.Controls().progress, "");

  // Three polls through the window's own timer.
  AdvanceClock(5000);
  fake.ClearCommands();
  fake.HoldReplyUntil(":GD#", afterThreeTicks());
  const int before = tele.PollCount();
  ASSERT_TRUE(RunUntil([&] { return tele.PollCount() >= before + 3; }, kWaitMs));
  RunUntil([&] { return fake.Count(":GD#") >= 3; }, kWaitMs);
  EXPECT_EQ(fake.HoldsReleased(), 2);
  EXPECT_EQ(fake.HoldsTimedOut(), 0) << "the GUI thread was held";
  // A poll sends ":GU#" once and ends with ":GD#" before the next begins.
  std::string order;
  for (const std::string& c : fake.Commands())
    if (c == ":GU#" || c == ":GD#") order += c[2];
  EXPECT_EQ(order.find("UU"), std::string::npos) << order;
  const int polls = int(std::count(order.begin(), order.end(), 'U'));
  EXPECT_GE(polls, 3);
  EXPECT_EQ(polls, fake.Count(":$QZ?#"));
  EXPECT_TRUE(tele.Connected());
}

INSTANTIATE_TEST_SUITE_P(Links, Lx200Latency,
                         ::testing::Combine(::testing::Values(TFakeLx200::Transport::Pty, TFakeLx200::Transport::Tcp),
                                            ::testing::Values(0, 30, 100, 500)),
                         [](const auto& info) {
                           return LinkName(std::get<0>(info.param)) + "_" + std::to_string(std::get<1>(info.param)) +
                                  "ms";
                         });

// A Disconnect pressed while the connect waits for a handset's slow first
// reply (2.5 s), or while it reads a long PEC table (480 entries at 100 ms
// each), ends the connect at once: nothing goes to the mount after the
// command in flight, nothing is told as a failure.
TEST_P(Lx200Window, DisconnectEndsTheConnectAtOnce) {
  for (const auto& [firstReplyMs, clickMs] : {std::pair(2500, 300), std::pair(0, 1500)}) {
    SCOPED_TRACE(clickMs);
    TFakeLx200 fake(GetParam());
    SetWorm(fake, 480);
    fake.SetDelay(100);
    fake.DelayNextReply(firstReplyMs);
    bool clicked = false;
    size_t sentAtClick = 0;
    QObject scope;  // no click after a failed iteration
    QTimer::singleShot(clickMs, &scope, [&] {
      EXPECT_NE(tele.Controls().progress, "") << "the connect is under way";
      clicked = true;
      sentAtClick = fake.Commands().size();
      Button(&form, "Disconnect")->click();
    });
    SetDriver(fake.Id());
    Button(&form, "Connect")->click();  // returns when the connect has ended
    ASSERT_TRUE(clicked);
    // The command in flight may be followed by none: neither the rest of
    // the connect nor of the table.
    EXPECT_LE(fake.Commands().size(), sentAtClick + 1) << "the connect went on after the disconnect";
    EXPECT_FALSE(tele.Connected());
    EXPECT_TRUE(Button(&form, "Connect")->isEnabled());
    EXPECT_EQ(tele.Controls().progress, "");
    const size_t sentThen = fake.Commands().size();
    RunUntil([] { return false; }, 400);
    EXPECT_EQ(fake.Commands().size(), sentThen) << "commands went on after the disconnect";
    EXPECT_EQ(LinesStarting("[Ascom.Telescope] Warning"), 0);
    EXPECT_EQ(FaultShown(&form), "");
  }
}

// A window destroyed by an event handled while the mount's reply to its
// click is awaited: the click's handler does not touch it afterwards.
TEST_P(Lx200Window, WindowDestroyedDuringAWait) {
  TFakeLx200 fake(GetParam());
  SetWorm(fake, 4);
  ConnectTo(fake);
  ASSERT_TRUE(tele.Connected());
  fake.SetDelay(300);
  QPointer<TTeleForm1> other = new TTeleForm1(&tele, &assist);
  QTimer::singleShot(100, [&] { delete other.data(); });
  // Reads the tracking (":GU#", answered after 300 ms), then turns it off.
  Button(other, "Tracking on/off")->click();
  EXPECT_TRUE(other.isNull());
  EXPECT_TRUE(RunUntil([&] { return Sent(fake, ":Td#"); }, 2000));
}

// The window and the log say why a connect failed, with the system's own
// words where it has them; the next connect clears the line.
TEST_F(Lx200Connect, FailedConnectsSayWhy) {
  TFakeLx200 gone(TFakeLx200::Transport::Tcp), silent(TFakeLx200::Transport::Tcp);
  gone.Pull();  // nothing listens on its port any more
  silent.SetSilent(true);
  TFakeLx200 locked(TFakeLx200::Transport::Pty);
  const std::string lockedPath = locked.Id().substr(6, locked.Id().rfind(':') - 6);
  ASSERT_EQ(::chmod(lockedPath.c_str(), 0), 0);
  const std::pair<std::string, std::string> cases[] = {  // the identifier, the reason shown first
      {"LX200:/dev/noctra-no-such-port:9600", "Cannot open /dev/noctra-no-such-port: No such file or directory"},
      {gone.Id(), "Cannot connect to " + gone.Id().substr(6) + ": Connection refused"},
      {"LX200:noctra-no-such-host.invalid:9999", "Cannot find the host noctra-no-such-host.invalid: "},
      {"LX200:127.0.0.1:x99", "The port \"x99\" in LX200:127.0.0.1:x99 is not a number"},
      {"LX200:/dev/ttyS0:1234", "Unsupported speed 1234"},
      {"LX200:/dev/null:9600", "/dev/null is not a serial port"},
      {silent.Id(), "No reply from the mount on " + silent.Id().substr(6) + " within 8 s"},
      {locked.Id(), "Cannot open " + lockedPath + ": Permission denied (the user needs the group dialout)"}};
  for (const auto& [id, reason] : cases) {
    SCOPED_TRACE(id);
    LogLines().Clear();
    SetDriver(id);
    // Root opens any file: the port is opened as the user "nobody" would
    // (the file-system user of this thread and of the worker it starts).
    const int user = id == locked.Id() ? ::setfsuid(65534) : -1;
    Button(&form, "Connect")->click();
    if (user >= 0) ::setfsuid(uid_t(user));
    EXPECT_FALSE(tele.Connected());
    const std::string shown = FaultShown(&form);
    EXPECT_EQ(shown.rfind("Connect failed: " + reason, 0), 0u) << shown;
    EXPECT_TRUE(Logged("[Ascom.Telescope] " + shown)) << LogLines().LastLine();
  }
  TFakeLx200 fake(TFakeLx200::Transport::Tcp);
  SetWorm(fake, 4);
  ConnectTo(fake);
  EXPECT_TRUE(tele.Connected());
  EXPECT_EQ(FaultShown(&form), "");
}

// A board that restarts as its serial port is opened and answers 2.5 s
// later, after its words: the first Connect succeeds (it failed with "No
// reply from the mount ... within 3 s", and only a second one worked).
TEST_F(Lx200Connect, ABoardThatRestartsAsItsPortOpensConnectsAtTheFirstConnect) {
  TFakeLx200 fake(TFakeLx200::Transport::Pty);
  SetWorm(fake, 4);
  fake.StartOnOpen(2500, "\r\nOnStep boot\r\n");
  ConnectTo(fake);
  EXPECT_TRUE(tele.Connected()) << FaultShown(&form);
  EXPECT_TRUE(tele.OnStep());
  EXPECT_EQ(tele.PecLength(), 4);
  EXPECT_EQ(FaultShown(&form), "");
  EXPECT_EQ(LinesStarting("[Ascom.Telescope] Connect failed"), 0);
  EXPECT_GE(fake.Count(":GR#"), 2) << "the first question was lost to the start";
}

// OnStep answers a sync while it slews or is parked with a bare "1": the
// mount refused; the link stays, the window and the log say why, and the
// marker stays where the mount points.
TEST_P(Lx200Window, SyncRefusedWhileSlewingOrParked) {
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
TEST_P(Lx200Window, EarlierStateIsClearedAtTheNextSuccessOrConnect) {
  {
    TFakeLx200 fake(GetParam());
    SetWorm(fake, 8, 100);
    // Parked, and playing its PEC: the poll reads the worm's place.
    fake.Change([](TFakeLx200::State& s) { s.parked = true, s.pecState = 'p', s.pecIndex = 5; });
    ConnectTo(fake);
    ASSERT_TRUE(tele.Connected());
    EXPECT_FALSE(tele.GotoRaDec(3.0 * kHour, 10.0 * kRad));
    EXPECT_NE(FaultShown(&form).find("Goto failed"), std::string::npos);
    fake.Change([](TFakeLx200::State& s) { s.parked = false; });
    tele.ParkButton1Click();
    EXPECT_EQ(FaultShown(&form), "") << "the red line stays after a park that worked";
    EXPECT_FALSE(tele.GotoRaDec(3.0 * kHour, 10.0 * kRad)) << "parked by the Park button";
    fake.Change([](TFakeLx200::State& s) { s.parked = false; });
    EXPECT_TRUE(tele.GotoRaDec(3.0 * kHour, 10.0 * kRad));
    EXPECT_EQ(FaultShown(&form), "") << "the red line stays after a goto that worked";
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
TEST_P(Lx200Window, SetLatLongSkippedWithoutAChosenPlace) {
  TFakeLx200 fake(GetParam());
  SetWorm(fake, 8);
  host.placeChosen = false;
  for (auto* box : form.findChildren<QCheckBox*>())
    if (box->text() == "Set Lat/Long") box->setChecked(true);
  ConnectTo(fake);
  ASSERT_TRUE(tele.Connected());
  EXPECT_FALSE(Sent(fake, ":St+00*00#") || Sent(fake, ":Sg000*00#"));
  EXPECT_TRUE(Logged("[Ascom.Telescope] Set Lat/Long skipped: No observer location chosen"));
  EXPECT_EQ(FaultShown(&form), "No observer location chosen: Set Lat/Long skipped");
}

// An LX200GPS parked with tracking off: the lamps say so (tracking from
// ":GW#"), Un-Park wakes it (":hW#") and Park parks it (":hP#"). A handset
// that does not answer ":GW#" shows its tracking as unknown, tells that
// once, and offers no Un-Park.
TEST_F(Lx200Replies, MeadeHandsetTrackingParkAndUnPark) {
  TFakeLx200 gps(TFakeLx200::Transport::Tcp, TFakeLx200::Firmware::Meade);
  gps.Change([](TFakeLx200::State& s) { s.parked = true, s.tracking = false; });
  ConnectTo(gps);
  ASSERT_TRUE(tele.Connected());
  EXPECT_TRUE(Button(&form, "Park")->isEnabled());
  EXPECT_TRUE(Button(&form, "Un-Park")->isEnabled());
  const auto lamps = [&] { return std::pair(tele.Controls().trackingShape, tele.Controls().parkedShape); };
  tele.Timer1Timer();
  EXPECT_EQ(lamps(), std::pair(TShape::ButtonFace, TShape::Unknown)) << "no handset command tells a park";
  Button(&form, "Un-Park")->click();
  EXPECT_TRUE(RunUntil([&] { return Sent(gps, ":hW#"); }, 2000)) << "no reply to wait for";
  Poll(4);  // the hold, then a poll
  EXPECT_EQ(lamps(), std::pair(TShape::Green, TShape::ButtonFace));
  Button(&form, "Park")->click();
  EXPECT_TRUE(RunUntil([&] { return Sent(gps, ":hP#"); }, 2000)) << "no reply to wait for";
  Poll(4);
  EXPECT_EQ(lamps(), std::pair(TShape::ButtonFace, TShape::Green));
  Button(&form, "Disconnect")->click();

  TFakeLx200 autostar(TFakeLx200::Transport::Tcp, TFakeLx200::Firmware::Meade);
  autostar.Change([](TFakeLx200::State& s) { s.alignStatus = false; });
  LogLines().Clear();
  ConnectTo(autostar);
  ASSERT_TRUE(tele.Connected());
  EXPECT_TRUE(Button(&form, "Park")->isEnabled());
  EXPECT_FALSE(Button(&form, "Un-Park")->isEnabled()) << "the Autostar has no wake";
  Poll(2);
  EXPECT_EQ(tele.Controls().trackingShape, TShape::Unknown) << "not green when nothing tells";
  EXPECT_EQ(LinesStarting("[Ascom.Telescope] Warning, Tracking failed"), 1);
}

// Malformed replies: the first is asked again and the good second one
// used; malformed at every ask, the connection ends with the reason in the
// window, and no value is taken from it (a garbled step rate does not read
// as a mount without PEC, a declination of 95° is no position, a PEC entry
// of 929 steps is none, a status with two park states is noise).
TEST_F(Lx200Replies, MalformedRepliesAreAskedAgainThenTold) {
  // The command, its malformed reply (":GD#" and ":GU#" are asked by the poll).
  const std::pair<std::string, std::string> cases[] = {
      {":VS#", "2O.000000#"}, {":GL#", "2O:15:00#"}, {":VR3#", "+0x3#"}, {":VR3#", "+929#"},
      {":GD#", "+95*00:00#"}, {":GU#", "nNpPET000#"}};
  for (const auto& [command, reply] : cases) {
    for (const int times : {1, platform::kLx200Asks}) {
      SCOPED_TRACE(command + " x" + std::to_string(times));
      LogLines().Clear();
      TFakeLx200 fake(TFakeLx200::Transport::Tcp);
      SetWorm(fake, 8);
      // The poll's questions spoiled after the connect (which reads the
      // pointing too, to mark the mount).
      const bool polled = command == ":GD#" || command == ":GU#";
      if (!polled) fake.Garble(command, reply, times);
      ConnectTo(fake);
      if (polled) fake.ClearCommands(), fake.Garble(command, reply, times);
      if (tele.Connected()) tele.Timer1Timer();
      RunUntil([] { return false; }, 50);  // a lost link is handled after the call
      EXPECT_EQ(fake.Count(command), times == 1 ? 2 : times) << "asked once more, and no more than the asks";
      if (times == 1) {
        ASSERT_TRUE(tele.Connected()) << FaultShown(&form);
        EXPECT_EQ(tele.PecLength(), 8);
        for (int i = 0; i < 8; ++i) EXPECT_EQ(tele.PecTable()[size_t(i)], PecEntry(i));
        EXPECT_NEAR(tele.Declination(), 20.0 * kRad, 1e-9) << "the fake points at +20°";
      } else {
        EXPECT_FALSE(tele.Connected());
        const std::string shown = FaultShown(&form);
        EXPECT_NE(shown.find("malformed reply to " + command + ": \"" + reply + "\" (asked 4 times)"),
                  std::string::npos)
            << shown;
        EXPECT_TRUE(Logged("[Ascom.Telescope] Error, connection lost: " + shown)) << LogLines().LastLine();
        EXPECT_EQ(LossLines(), 1);
        EXPECT_EQ(LinesStarting("[Ascom.Telescope] PEC unavailable"), 0);
        EXPECT_LT(std::fabs(tele.Declination()), 90.0 * kRad + 1e-9);
      }
      tele.Disconnect();
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Lines, Lx200Window,
                         ::testing::Values(TFakeLx200::Transport::Pty, TFakeLx200::Transport::Tcp),
                         [](const auto& info) { return LinkName(info.param); });

// A noisy line: a reply to a PEC query cut short (its rest late, taken with
// its start once the driver has found the mount's replies again), garbled
// replies to the clock's set commands, a declination cut short in a poll.
// Each is asked again and the link stays; the third second ask tells the
// noisy line once, in the log and the window, and the fifth tells nothing
// more.
TEST_F(Lx200Replies, NoisyLineIsRiddenOutAndToldOnce) {
  using Spoil = TFakeLx200::Spoil;
  TFakeLx200 fake(TFakeLx200::Transport::Tcp);
  SetWorm(fake, 8);
  fake.SpoilReplies(":VR3#", Spoil::Cut, 1, TFakeLx200::kAtNextCommand);
  for (const char* set : {":SG", ":SL", ":SC"}) fake.SpoilReplies(set, Spoil::Garble, 1);
  Tick("Set Date/Time");
  ConnectTo(fake);
  ASSERT_TRUE(tele.Connected()) << FaultShown(&form);
  EXPECT_EQ(LinesStarting("[Ascom.Telescope] Set Date/Time: "), 1) << "the clock was not set";
  EXPECT_EQ(tele.PecLength(), 8);
  for (int i = 0; i < 8; ++i) EXPECT_EQ(tele.PecTable()[size_t(i)], PecEntry(i)) << i;
  EXPECT_EQ(fake.Count(":VR3#"), 1) << "the late rest is joined to its start";
  EXPECT_EQ(fake.Count(":SG+00#"), 2);
  fake.SpoilReplies(":GD#", Spoil::Cut, 1);
  fake.ClearCommands();
  Poll();
  RunUntil([] { return false; }, 50);
  EXPECT_TRUE(tele.Connected()) << FaultShown(&form);
  EXPECT_EQ(fake.Count(":GD#"), 2);
  EXPECT_NEAR(tele.Declination(), 20.0 * kRad, 1e-9);
  EXPECT_EQ(fake.Spoiled(), 5);
  const std::string told = "[Ascom.Telescope] Warning, noisy line: 3 of the last ";
  EXPECT_EQ(LinesStarting(told), 1);
  EXPECT_EQ(LinesStarting("[Ascom.Telescope] Warning"), 1) << "a warning other than the noisy line";
  const auto lines = LogLines().Lines();
  const auto line = std::find_if(lines.begin(), lines.end(), [&](const std::string& l) { return l.rfind(told, 0) == 0; });
  ASSERT_NE(line, lines.end());
  EXPECT_EQ("[Ascom.Telescope] Warning, " + NoticeShown(&form), *line);
  EXPECT_EQ(FaultShown(&form), "");
  EXPECT_EQ(LossLines(), 0);
}

// 1 % of the replies garbled at random (the "#" of some too, leaving them
// without an end) and 1 % of the commands lost on their way in: the connect
// reads the whole PEC table through the window, and the link lasts through
// the polls after it.
TEST_F(Lx200Replies, OnePercentGarbledConnectReadsTheWholePecTable) {
  TFakeLx200 fake(TFakeLx200::Transport::Tcp);
  SetWorm(fake, 480);
  fake.SpoilAtRandom(0.01, 0, 52, 0.01);
  ConnectTo(fake);
  ASSERT_TRUE(tele.Connected()) << FaultShown(&form);
  ASSERT_EQ(tele.PecLength(), 480);
  for (int i = 0; i < 480; ++i) ASSERT_EQ(tele.PecTable()[size_t(i)], PecEntry(i)) << i;
  Poll(20);
  RunUntil([] { return false; }, 50);
  EXPECT_TRUE(tele.Connected()) << FaultShown(&form);
  EXPECT_EQ(LossLines(), 0);
  EXPECT_GE(fake.Spoiled(), 3) << "the line was not noisy";
}

// A bad reply at every ask still ends the link, the reason in the window
// and in the log's line.
TEST_F(Lx200Replies, BadRepliesAtEveryAskEndTheLinkAndSayWhy) {
  using Spoil = TFakeLx200::Spoil;
  constexpr int kAsks = platform::kLx200Asks;
  const std::tuple<const char*, Spoil, int, const char*> cases[] = {  // prefix, spoil, times, reason
      {":VR3#", Spoil::Cut, kAsks, "reply to :VR3# cut short (asked 4 times)"},
      {":VR3#", Spoil::Lose, kAsks, "no reply from the mount to :VR3# within 0.6 s (asked 4 times)"},
      {":SL", Spoil::Garble, kAsks, "malformed reply to :SL"}};
  for (const auto& [prefix, how, times, reason] : cases) {
    SCOPED_TRACE(prefix);
    LogLines().Clear();
    TFakeLx200 fake(TFakeLx200::Transport::Tcp);
    SetWorm(fake, 8);
    fake.SpoilReplies(prefix, how, times);
    Tick("Set Date/Time");
    ConnectTo(fake);
    if (tele.Connected()) tele.GotoRaDec(3.0 * kHour, 10.0 * kRad);
    RunUntil([] { return false; }, 50);  // a lost link is handled after the call
    EXPECT_FALSE(tele.Connected());
    const std::string shown = FaultShown(&form);
    EXPECT_NE(shown.find(reason), std::string::npos) << shown;
    EXPECT_TRUE(Logged("[Ascom.Telescope] Error, connection lost: " + shown)) << LogLines().LastLine();
    EXPECT_EQ(LossLines(), 1);
    int sent = 0;
    for (const std::string& c : fake.Commands()) sent += c.rfind(prefix, 0) == 0;
    EXPECT_EQ(sent, times);
  }
}
