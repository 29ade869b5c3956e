// The telescope window driving a fake OnStep mount over a pseudo-terminal
// or a local TCP port: the connect probe, goto and sync, the PEC table,
// alignment, tracking and guide strings, a refused goto, and the mount
// pulled away while the window polls it.
#include <gtest/gtest.h>

#include <QRadioButton>
#include <fstream>
#include <sstream>

#include "platform/dialogs.h"
#include "shell/messages.h"
#include "tests/support/test_support.h"
#include "tests/telescope/lx200_fixture.h"

using namespace telescope_test;

namespace {

constexpr double kHour = kPi / 12.0;

std::string ReadAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

class Lx200Window : public TLx200WindowTest, public ::testing::TestWithParam<TFakeLx200::Transport> {};

}  // namespace

TEST_P(Lx200Window, OnStepMountIsDrivenThroughTheWindow) {
  TFakeLx200 fake(GetParam());
  fake.Change([](TFakeLx200::State& s) {
    for (int i = 0; i < 480; ++i) s.pec[size_t(i)] = (i * 7) % 61 - 30;
  });
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
  for (int i = 0; i < 480; ++i) ASSERT_EQ(tele.PecTable()[size_t(i)], (i * 7) % 61 - 30) << i;

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
// one log line, the window shows the loss, the GUI thread is never held
// for a second.
TEST_P(Lx200Window, MountPulledAwayMidSlewAndMidPoll) {
  for (const bool midSlew : {true, false}) {
    LogLines().Clear();
    TFakeLx200 fake(GetParam());
    fake.Change([](TFakeLx200::State& s) { s.slewMs = 10000; });
    ConnectTo(fake);
    ASSERT_TRUE(tele.Connected());
    qint64 longest = 0;
    std::thread puller;
    if (midSlew) {
      ASSERT_TRUE(tele.GotoRaDec(3.0 * kHour, 40.0 * kRad));
      RunUntil([] { return false; }, 1000, &longest);  // a poll or two of the slew
      fake.Pull();
    } else {
      // Silent first, so that the next poll waits; pulled during that wait.
      fake.SetSilent(true);
      puller = std::thread([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(1200));
        fake.Pull();
      });
    }
    EXPECT_TRUE(RunUntil([&] { return !tele.Connected(); }, 4000, &longest)) << "the loss was not seen";
    RunUntil([] { return false; }, 300, &longest);
    if (puller.joinable()) puller.join();
    EXPECT_EQ(LossLines(), 1);
    for (const std::string& line : LogLines().Lines())
      EXPECT_EQ(line.find("Warning"), std::string::npos) << line;
    EXPECT_NE(FaultShown(&form).find("lost"), std::string::npos) << FaultShown(&form);
    EXPECT_TRUE(Button(&form, "Connect")->isEnabled());
    EXPECT_LT(longest, 1000) << "the GUI thread was held";
  }
}

INSTANTIATE_TEST_SUITE_P(Lines, Lx200Window,
                         ::testing::Values(TFakeLx200::Transport::Pty, TFakeLx200::Transport::Tcp),
                         [](const auto& info) { return LinkName(info.param); });
