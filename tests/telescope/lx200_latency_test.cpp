// The telescope window on slow links: a fake mount answering each command
// after 0, 30, 100 or 500 ms on a pseudo-terminal and on TCP. The program
// keeps taking input (a GUI-thread timer is never late by 100 ms), the
// connect reads the whole PEC table and shows its progress, polls never
// overlap and send each status command once, a Disconnect ends the PEC read
// at once, and every way a connect can fail is told in the window.
#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QPointer>
#include <QTimer>
#include <memory>
#include <tuple>

#include "tests/support/test_support.h"
#include "tests/telescope/lx200_fixture.h"

using namespace telescope_test;
using testing_support::TFakeLx200;

namespace {

// The longest lateness of a 10 ms GUI-thread timer while it lives.
class TLatenessProbe {
 public:
  TLatenessProbe() {
    timer_.setInterval(10);
    QObject::connect(&timer_, &QTimer::timeout, [this] {
      const qint64 gap = clock_.restart();
      late_ = std::max(late_, gap - 10);
    });
    clock_.start();
    timer_.start();
  }
  qint64 Late() const { return late_; }

 private:
  QTimer timer_;
  QElapsedTimer clock_;
  qint64 late_ = 0;
};

// A fake mount whose worm turn has `entries` PEC entries, each set.
void SetWorm(TFakeLx200& fake, int entries) {
  fake.Change([entries](TFakeLx200::State& s) {
    s.stepsPerSecond = 20;
    s.wormSteps = 20 * entries;
    for (int i = 0; i < entries; ++i) s.pec[size_t(i)] = (i * 7) % 61 - 30;
  });
}

std::string TransportName(TFakeLx200::Transport t) { return t == TFakeLx200::Transport::Pty ? "Pty" : "Tcp"; }

class Lx200Latency : public TLx200WindowTest,
                     public ::testing::TestWithParam<std::tuple<TFakeLx200::Transport, int>> {};

}  // namespace

// The whole connect and three polls at each delay. A short worm turn for
// the slow links keeps the suite quick: 480 entries at no delay, fewer as
// the delay grows.
TEST_P(Lx200Latency, ConnectReadsTheWholeTableAndTheProgramKeepsTakingInput) {
  const auto [transport, delayMs] = GetParam();
  const int entries = delayMs == 0 ? 480 : delayMs == 30 ? 60 : delayMs == 100 ? 20 : 6;
  TFakeLx200 fake(transport);
  SetWorm(fake, entries);
  fake.SetDelay(delayMs);
  TLatenessProbe probe;
  std::string progressSeen;
  QTimer watch;
  QObject::connect(&watch, &QTimer::timeout, [&] {
    if (tele.Controls().progress.rfind("Reading the PEC table", 0) == 0) progressSeen = tele.Controls().progress;
  });
  watch.start(5);
  SetDriver(fake.Id());
  Button(&form, "Connect")->click();
  ASSERT_TRUE(tele.Connected()) << LogLines().LastLine();
  ASSERT_EQ(tele.PecLength(), entries);
  for (int i = 0; i < entries; ++i) ASSERT_EQ(tele.PecTable()[size_t(i)], (i * 7) % 61 - 30) << i;
  EXPECT_EQ(CountSent(fake, ":GU#"), 0) << "no poll ran inside the connect";
  if (delayMs >= 100) {
    EXPECT_FALSE(progressSeen.empty()) << "the window showed the PEC read";
  }
  EXPECT_TRUE(tele.Controls().progress.empty());

  // Three polls through the window's own timer.
  AdvanceClock(5000);
  fake.ClearCommands();
  const int before = tele.PollCount();
  ASSERT_TRUE(RunUntil([&] { return tele.PollCount() >= before + 3; }, 20000));
  RunUntil([&] { return CountSent(fake, ":GD#") >= 3; }, 5000);
  RecordProperty("gui_lateness_ms", int(probe.Late()));
  EXPECT_LT(probe.Late(), 100) << "the GUI thread was held";
  // Each poll sends ":GU#" once and ends with ":GD#" before the next begins.
  const auto sent = fake.Commands();
  int open = 0, polls = 0;
  for (const std::string& c : sent) {
    if (c == ":GU#") {
      EXPECT_EQ(open, 0) << "a poll began inside another";
      open = 1;
      ++polls;
    } else if (c == ":GD#") {
      open = 0;
    }
  }
  EXPECT_GE(polls, 3);
  EXPECT_EQ(polls, CountSent(fake, ":$QZ?#"));
  EXPECT_TRUE(tele.Connected());
}

INSTANTIATE_TEST_SUITE_P(Links, Lx200Latency,
                         ::testing::Combine(::testing::Values(TFakeLx200::Transport::Pty, TFakeLx200::Transport::Tcp),
                                            ::testing::Values(0, 30, 100, 500)),
                         [](const auto& info) {
                           return TransportName(std::get<0>(info.param)) + "_" +
                                  std::to_string(std::get<1>(info.param)) + "ms";
                         });

class Lx200SlowLink : public TLx200WindowTest, public ::testing::TestWithParam<TFakeLx200::Transport> {};

// A Disconnect pressed while the connect reads a long PEC table (480
// entries at 100 ms each) ends the read within a second; nothing more goes
// to the mount, nothing is logged as a failure.
TEST_P(Lx200SlowLink, DisconnectDuringThePecReadEndsIt) {
  TFakeLx200 fake(GetParam());
  SetWorm(fake, 480);
  fake.SetDelay(100);
  QElapsedTimer sinceDisconnect;
  QTimer::singleShot(1500, [&] {
    EXPECT_FALSE(tele.Controls().progress.empty()) << "the read is under way";
    EXPECT_TRUE(Button(&form, "Disconnect")->isEnabled());
    sinceDisconnect.start();
    Button(&form, "Disconnect")->click();
  });
  SetDriver(fake.Id());
  Button(&form, "Connect")->click();  // returns when the connect has ended
  ASSERT_TRUE(sinceDisconnect.isValid());
  EXPECT_LT(sinceDisconnect.elapsed(), 1000);
  EXPECT_FALSE(tele.Connected());
  EXPECT_TRUE(Button(&form, "Connect")->isEnabled());
  EXPECT_TRUE(tele.Controls().progress.empty());
  const int sentThen = int(fake.Commands().size());
  RunUntil([] { return false; }, 400);
  EXPECT_LE(int(fake.Commands().size()), sentThen) << "commands went on after the disconnect";
  for (const std::string& line : LogLines().Lines()) EXPECT_EQ(line.find("Warning"), std::string::npos) << line;
  EXPECT_TRUE(Logged("[Ascom.Telescope] Disconnect"));
  EXPECT_EQ(FaultShown(&form), "");
}

// A handset that takes 800 ms over its first answer (it was asleep)
// connects: the first reply of a connect is waited for longer.
TEST_P(Lx200SlowLink, SlowFirstReplyConnects) {
  TFakeLx200 fake(GetParam());
  SetWorm(fake, 4);
  fake.DelayNextReply(800);
  ConnectTo(fake);
  EXPECT_TRUE(tele.Connected()) << LogLines().LastLine();
}

// The window is closed and destroyed by a click handled while the mount's
// reply is awaited: the click's handler does not touch it afterwards.
TEST_P(Lx200SlowLink, WindowDestroyedDuringAWait) {
  TFakeLx200 fake(GetParam());
  SetWorm(fake, 4);
  ConnectTo(fake);
  ASSERT_TRUE(tele.Connected());
  fake.SetDelay(300);
  auto* other = new TTeleForm1(&tele, &assist);
  QPointer<TTeleForm1> guard(other);
  QTimer::singleShot(100, [other] { delete other; });
  // Reads the tracking (":GU#", answered after 300 ms), then turns it off.
  ASSERT_TRUE(Button(other, "Tracking on/off")->isEnabled());
  Button(other, "Tracking on/off")->click();
  EXPECT_TRUE(guard.isNull());
  EXPECT_TRUE(RunUntil([&] { return Sent(fake, ":Td#"); }, 2000));
  EXPECT_TRUE(tele.Connected());
}

INSTANTIATE_TEST_SUITE_P(Lines, Lx200SlowLink,
                         ::testing::Values(TFakeLx200::Transport::Pty, TFakeLx200::Transport::Tcp),
                         [](const auto& info) { return TransportName(info.param); });

class Lx200Connect : public TLx200WindowTest, public ::testing::Test {};

// The window and the log say why a connect failed, with the system's own
// words where it has them.
TEST_F(Lx200Connect, FailedConnectsSayWhy) {
  // A local port where nothing listens.
  const int s = ::socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t len = sizeof a;
  ASSERT_EQ(::bind(s, reinterpret_cast<sockaddr*>(&a), sizeof a), 0);
  ASSERT_EQ(::getsockname(s, reinterpret_cast<sockaddr*>(&a), &len), 0);
  const std::string closedPort = std::to_string(ntohs(a.sin_port));
  ::close(s);
  TFakeLx200 silentPty(TFakeLx200::Transport::Pty), silentTcp(TFakeLx200::Transport::Tcp);
  silentPty.SetSilent(true);
  silentTcp.SetSilent(true);
  TFakeLx200 locked(TFakeLx200::Transport::Pty);
  const std::string lockedPath = locked.Id().substr(6, locked.Id().rfind(':') - 6);
  ASSERT_EQ(::chmod(lockedPath.c_str(), 0), 0);

  const struct {
    std::string id;
    std::string reason;  // the fault shown begins "Connect failed: " and holds this
  } cases[] = {
      {"LX200:/dev/noctra-no-such-port:9600", "Cannot open /dev/noctra-no-such-port: No such file or directory"},
      {"LX200:127.0.0.1:" + closedPort, "Cannot connect to 127.0.0.1:" + closedPort + ": Connection refused"},
      {"LX200:noctra-no-such-host.invalid:9999", "Cannot find the host noctra-no-such-host.invalid: "},
      {"LX200:127.0.0.1:x99", "The port \"x99\" in LX200:127.0.0.1:x99 is not a number"},
      {"LX200:/dev/ttyS0:1234", "Unsupported speed 1234"},
      {"LX200:/dev/null:9600", "/dev/null is not a serial port"},
      {silentPty.Id(), "No reply from the mount on /dev/pts/"},
      {silentTcp.Id(), "No reply from the mount on 127.0.0.1:"},
      {locked.Id(), "Cannot open " + lockedPath + ": Permission denied (the user needs the group dialout)"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.id);
    LogLines().Clear();
    SetDriver(c.id);
    {
      // Root opens any file: the port is opened as an ordinary user would.
      std::unique_ptr<testing_support::ScopedUserFileRights> user;
      if (c.id == locked.Id()) user = std::make_unique<testing_support::ScopedUserFileRights>();
      Button(&form, "Connect")->click();
    }
    EXPECT_FALSE(tele.Connected());
    const std::string shown = FaultShown(&form);
    EXPECT_EQ(shown.rfind("Connect failed: ", 0), 0u) << shown;
    EXPECT_NE(shown.find(c.reason), std::string::npos) << shown;
    EXPECT_TRUE(Logged("[Ascom.Telescope] " + shown)) << LogLines().LastLine();
    EXPECT_TRUE(Button(&form, "Connect")->isEnabled());
  }
  // The next connect clears the line.
  TFakeLx200 fake(TFakeLx200::Transport::Tcp);
  SetWorm(fake, 4);
  ConnectTo(fake);
  EXPECT_TRUE(tele.Connected());
  EXPECT_EQ(FaultShown(&form), "");
}

