// The telescope window on slow links: a fake mount answering each command
// after 0, 30, 100 or 500 ms on a pseudo-terminal and on TCP. The program
// keeps taking input, the connect reads the whole PEC table and shows its
// progress, polls never overlap, a Disconnect ends the PEC read at once,
// and every way a connect can fail is told in the window.
#include <gtest/gtest.h>

#include <sys/fsuid.h>
#include <sys/stat.h>

#include <QPointer>
#include <QTimer>
#include <tuple>

#include "tests/telescope/lx200_fixture.h"

using namespace telescope_test;

namespace {

class Lx200Latency : public TLx200WindowTest,
                     public ::testing::TestWithParam<std::tuple<TFakeLx200::Transport, int>> {};
class Lx200SlowLink : public TLx200WindowTest, public ::testing::TestWithParam<TFakeLx200::Transport> {};
class Lx200Connect : public TLx200WindowTest, public ::testing::Test {};

}  // namespace

// The whole connect and three polls at each delay; the GUI thread is never
// held 100 ms. The mount was asleep: its first reply takes 800 ms more (the
// first reply of a connect is waited for longer). Fewer PEC entries as the
// delay grows keep the suite quick.
TEST_P(Lx200Latency, ConnectReadsTheWholeTableAndTheProgramKeepsTakingInput) {
  const auto [transport, delayMs] = GetParam();
  const int entries = delayMs == 0 ? 480 : delayMs == 30 ? 60 : delayMs == 100 ? 20 : 6;
  TFakeLx200 fake(transport);
  SetWorm(fake, entries);
  fake.SetDelay(delayMs);
  fake.DelayNextReply(800);
  // A GUI-thread timer: its lateness is how long the thread was held.
  QTimer probe;
  QElapsedTimer sinceTick;
  qint64 late = 0;
  bool progressSeen = false;
  QObject::connect(&probe, &QTimer::timeout, [&] {
    late = std::max(late, sinceTick.restart() - 10);
    progressSeen |= tele.Controls().progress.rfind("Reading the PEC table", 0) == 0;
  });
  sinceTick.start();
  probe.start(10);
  SetDriver(fake.Id());
  Button(&form, "Connect")->click();
  ASSERT_TRUE(tele.Connected()) << LogLines().LastLine();
  ASSERT_EQ(tele.PecLength(), entries);
  for (int i = 0; i < entries; ++i) ASSERT_EQ(tele.PecTable()[size_t(i)], PecEntry(i)) << i;
  EXPECT_FALSE(Sent(fake, ":GU#")) << "a poll ran inside the connect";
  EXPECT_TRUE(delayMs < 100 || progressSeen) << "the window showed the PEC read";
  EXPECT_EQ(tele.Controls().progress, "");

  // Three polls through the window's own timer.
  AdvanceClock(5000);
  fake.ClearCommands();
  const int before = tele.PollCount();
  ASSERT_TRUE(RunUntil([&] { return tele.PollCount() >= before + 3; }, 20000));
  RunUntil([&] { return fake.Count(":GD#") >= 3; }, 5000);
  EXPECT_LT(late, 100) << "the GUI thread was held";
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

// A Disconnect pressed while the connect reads a long PEC table (480
// entries at 100 ms each) ends the read within a second; nothing more goes
// to the mount, nothing is told as a failure.
TEST_P(Lx200SlowLink, DisconnectDuringThePecReadEndsIt) {
  TFakeLx200 fake(GetParam());
  SetWorm(fake, 480);
  fake.SetDelay(100);
  QElapsedTimer sinceDisconnect;
  QTimer::singleShot(1500, [&] {
    EXPECT_NE(tele.Controls().progress, "") << "the read is under way";
    sinceDisconnect.start();
    Button(&form, "Disconnect")->click();
  });
  SetDriver(fake.Id());
  Button(&form, "Connect")->click();  // returns when the connect has ended
  ASSERT_TRUE(sinceDisconnect.isValid());
  EXPECT_LT(sinceDisconnect.elapsed(), 1000);
  EXPECT_FALSE(tele.Connected());
  EXPECT_TRUE(Button(&form, "Connect")->isEnabled());
  EXPECT_EQ(tele.Controls().progress, "");
  const size_t sentThen = fake.Commands().size();
  RunUntil([] { return false; }, 400);
  EXPECT_EQ(fake.Commands().size(), sentThen) << "commands went on after the disconnect";
  EXPECT_EQ(LinesStarting("[Ascom.Telescope] Warning"), 0);
  EXPECT_EQ(FaultShown(&form), "");
}

// A window destroyed by an event handled while the mount's reply to its
// click is awaited: the click's handler does not touch it afterwards.
TEST_P(Lx200SlowLink, WindowDestroyedDuringAWait) {
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

INSTANTIATE_TEST_SUITE_P(Lines, Lx200SlowLink,
                         ::testing::Values(TFakeLx200::Transport::Pty, TFakeLx200::Transport::Tcp),
                         [](const auto& info) { return LinkName(info.param); });

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
      {silent.Id(), "No reply from the mount on " + silent.Id().substr(6) + " within 3 s"},
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
