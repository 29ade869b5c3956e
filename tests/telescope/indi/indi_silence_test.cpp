// An INDI server that goes silent without closing its connection (stopped
// with SIGSTOP, as a server whose host's network dropped): the device
// windows find it through the server's pings and end the link with the
// reason; a server that answers while its driver is stopped stays linked.
// The tests shorten the silence limit (the program's is 10 s), though not
// below the 5 s a request waits for its answer.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <functional>

#include "platform/automation_indi.h"
#include "platform/indi_client.h"
#include "telescope/accessories.h"
#include "telescope/tele_control.h"
#include "tests/support/indi_props.h"
#include "tests/support/indi_server.h"
#include "tests/telescope/indi/indi_mount.h"
#include "tests/telescope/sequence_run.h"
#include "tests/telescope/sim_fixture.h"

using namespace telescope_test;
using testing_support::Stopped;
using testing_support::WaitUntil;

namespace {

const QStringList kDrivers = {"indi_simulator_telescope", "indi_simulator_focus", "indi_simulator_wheel"};
constexpr int kLimitMs = 6000;


std::string Silence(int port) {
  return "the INDI server at 127.0.0.1:" + std::to_string(port) + " has not answered for 6 s";
}

int LinesStarting(const std::string& start) {
  const auto lines = LogLines().Lines();
  return int(std::count_if(lines.begin(), lines.end(), [&](const std::string& l) { return l.rfind(start, 0) == 0; }));
}

// The mount, focuser and wheel windows on one server.
struct TDevices {
  RecordingHost host;
  TTeleControl tele{&host};
  TFocuserControl focuser;
  TFilterWheelControl wheel;
  explicit TDevices(int port) {
    tele.name = platform::IndiDriverId("127.0.0.1", port, "Telescope Simulator");
    focuser.name = platform::IndiDriverId("127.0.0.1", port, "Focuser Simulator");
    wheel.name = platform::IndiDriverId("127.0.0.1", port, "Filter Simulator");
  }
  void ConnectAll() {
    tele.ConnectClick();
    focuser.ConnectClick();
    wheel.ConnectClick();
  }
  int Connected() const { return int(tele.Connected()) + int(focuser.Connected()) + int(wheel.Connected()); }
  // The windows' polls.
  void Tick() { tele.Timer1Timer(), focuser.Timer1Timer(), wheel.Timer1Timer(); }
};

}  // namespace

// The server stops answering while the mount, the focuser and the wheel
// idle: each window tells the link lost once, with the silence as its
// reason, in the log and in red, and lets go of its device. A Connect to
// the silent server says that it did not answer; once it answers again,
// the devices connect as before. Disconnect pressed while the server is
// silent lets each device go and says why.
TEST(IndiSilence, DevicesOfAServerThatFallsSilentAreToldLost) {
  NOCTRA_REQUIRE_TOOL(testing_support::HaveIndi(kDrivers), "indiserver (or an INDI simulator)", "indi-bin");
  testing_support::ScopedIndiSilenceLimit limit(kLimitMs);
  testing_support::IndiServer srv(kDrivers);
  ASSERT_TRUE(srv.Start()) << "indiserver did not start";
  TDevices d(srv.port);
  d.ConnectAll();
  ASSERT_EQ(d.Connected(), 3) << LogLines().LastLine();
  LogLines().Clear();
  {
    Stopped stopped(srv.Pid());
    ASSERT_TRUE(stopped.Done());
    ASSERT_TRUE(WaitUntil(
        [&] {
          d.Tick();
          return d.Connected() == 0;
        },
        60));
    d.Tick();
    const std::string why = Silence(srv.port);
    for (const std::string device : {"Telescope", "Focuser", "Filterwheel"}) {
      EXPECT_EQ(LinesStarting("[Ascom." + device + "] Error, connection lost"), 1) << device;
      EXPECT_TRUE(Logged("[Ascom." + device + "] Error, connection lost: " + why)) << device;
    }
    for (const std::string& fault : {d.tele.Controls().fault, d.focuser.Controls().fault, d.wheel.Controls().fault})
      EXPECT_EQ(fault, why);
    // The telescope window then disconnects as usual, nothing more to say.
    EXPECT_TRUE(Logged("[Ascom.Telescope] Disconnect"));
    EXPECT_TRUE(d.tele.Controls().connect);

    // A Connect meanwhile: the server takes the connection and answers nothing.
    LogLines().Clear();
    d.tele.ConnectClick();
    EXPECT_FALSE(d.tele.Connected());
    EXPECT_EQ(d.tele.Controls().fault, "Connect failed: the INDI server at 127.0.0.1:" + std::to_string(srv.port) +
                                           " did not answer within 5 s");
  }
  // The server answers again: a Connect finds every device.
  d.ConnectAll();
  ASSERT_EQ(d.Connected(), 3) << LogLines().LastLine();
  EXPECT_EQ(d.tele.Controls().fault, "");

  // Disconnect pressed while the server is silent: each device is let go
  // after its wait, the log saying why.
  LogLines().Clear();
  Stopped again(srv.Pid());
  ASSERT_TRUE(again.Done());
  d.tele.DisconnectClick();
  d.focuser.DisconnectClick();
  d.wheel.DisconnectClick();
  EXPECT_EQ(d.Connected(), 0);
  const std::string closed = "the INDI server did not answer within 5 s; the connection to the server is closed";
  EXPECT_EQ(LogLines().Lines(),
            (std::vector<std::string>{"[Ascom.Telescope] Disconnect: " + closed, "[Ascom.Focuser] Disconnected: " + closed,
                                      "[Ascom.Filterwheel] Disconnected: " + closed}));
}

// A server that answers while the mount's driver is stopped (a driver that
// hangs, or is busy for long) is no silent link: the mount stays connected
// well past the silence limit, though nothing else comes from its device;
// the server stopped too, the link is lost.
TEST(IndiSilence, AServerAnsweringForAStoppedDriverKeepsTheLink) {
  const QStringList drivers = {"indi_simulator_telescope"};
  NOCTRA_REQUIRE_TOOL(testing_support::HaveIndi(drivers), "indiserver (or indi_simulator_telescope)", "indi-bin");
  testing_support::ScopedIndiSilenceLimit limit(kLimitMs);
  testing_support::IndiServer srv(drivers);
  ASSERT_TRUE(srv.Start()) << "indiserver did not start";
  RecordingHost host;
  TTeleControl tele(&host);
  tele.name = platform::IndiDriverId("127.0.0.1", srv.port, "Telescope Simulator");
  tele.ConnectClick();
  ASSERT_TRUE(tele.Connected()) << LogLines().LastLine();
  LogLines().Clear();
  Stopped driver(srv.DriverPid("indi_simulator_telescope"));
  ASSERT_TRUE(driver.Done());
  // Two silence limits with the mount polled (its position read from
  // what the driver last sent).
  WaitUntil(
      [&] {
        tele.Timer1Timer();
        return !tele.Connected();
      },
      2 * kLimitMs / 1000.0);
  EXPECT_TRUE(tele.Connected()) << tele.Controls().fault;
  EXPECT_EQ(LinesStarting("[Ascom.Telescope] Error"), 0) << LogLines().LastLine();
  Stopped server(srv.Pid());
  ASSERT_TRUE(server.Done());
  ASSERT_TRUE(WaitUntil(
      [&] {
        tele.Timer1Timer();
        return !tele.Connected();
      },
      60));
  EXPECT_TRUE(Logged("[Ascom.Telescope] Error, connection lost: " + Silence(srv.port)));
}

// The server falls silent during a goto of the points-of-interest
// sequencer: the goto ends as a lost link, the sequencer stops with its
// "telescope not connected" line, and no picture is taken for the point.
TEST(IndiSilence, TheSequencerStopsWhenItsMountsServerFallsSilentDuringAGoto) {
  const QStringList drivers = {"indi_simulator_telescope"};
  NOCTRA_REQUIRE_TOOL(testing_support::HaveIndi(drivers), "indiserver (or indi_simulator_telescope)", "indi-bin");
  testing_support::ScopedIndiSilenceLimit limit(kLimitMs);
  testing_support::IndiServer srv(drivers);
  ASSERT_TRUE(srv.Start()) << "indiserver did not start";
  LogLines().Clear();
  RecordingHost host;
  TTeleControl tele(&host);
  TSequenceRun run(tele, host);
  ConnectIndiMountOnSirius(tele, srv.port, run);
  if (HasFatalFailure()) return;
  run.points.points = {{kSiriusRa, kSiriusDec + 60 * kRad, "Far_north", true, "1,10,red,light", false}};
  run.seq.StartButtonClick();
  ASSERT_TRUE(run.RunToGoto());
  const double dec0 = tele.Declination();
  ASSERT_TRUE(run.TickUntil([&] { return std::fabs(tele.Declination() - dec0) > 1 * kRad; }, 60));
  Stopped stopped(srv.Pid());
  ASSERT_TRUE(stopped.Done());
  ASSERT_TRUE(run.TickUntil([&] { return !run.seq.Running(); }, 60)) << LogLines().LastLine();
  EXPECT_FALSE(tele.Connected());
  EXPECT_EQ(tele.LastGotoEnd(), TGotoEnd::LinkLost);
  EXPECT_TRUE(Logged("[Sequencer] Error, telescope not connected")) << LogLines().LastLine();
  EXPECT_TRUE(Logged("[Ascom.Telescope] Error, connection lost: " + Silence(srv.port)));
  EXPECT_EQ(tele.Controls().fault, Silence(srv.port));
  EXPECT_TRUE(run.imaging.runs.empty());
}

// Without a server behind it (the client fed as its server would feed it),
// a connected device reads as a server that has stopped answering its
// pings: lost once the silence limit has passed since the first ping, with
// the silence as the reason of every call from then on; what comes from
// the server meanwhile counts as an answer. A server that never answered a
// ping (an older server, which knows none) is not watched. A Connect
// watches the server afresh.
TEST(IndiClient, AServerThatAnswersNothingIsLostWithTheSilenceAsTheReason) {
  testing_support::ScopedIndiSilenceLimit limit(300);
  platform::TIndiClient client({"127.0.0.1", 7624, "Focuser Simulator"});
  testing_support::IndiConnected(client);
  auto lost = [&] {
    client.Watch();
    return !client.Live();
  };
  EXPECT_FALSE(WaitUntil(lost, 2));
  client.newPingReply("noctra-1");
  ASSERT_TRUE(WaitUntil(lost, 30));
  std::string why;
  try {
    client.RequireLink();
  } catch (const platform::EAutomationLinkLost& e) {
    why = e.what();
  }
  EXPECT_EQ(why, "the INDI server at 127.0.0.1:7624 has not answered for 0.3 s");
  client.Connect([] { return true; });
  EXPECT_TRUE(client.LinkUp());
  // The device's values keep coming: never silent.
  EXPECT_FALSE(WaitUntil(
      [&] {
        testing_support::IndiNumbers(client, "ABS_FOCUS_POSITION", {{"FOCUS_ABSOLUTE_POSITION", 1, 0, 9}});
        return lost();
      },
      2));
  ASSERT_TRUE(WaitUntil(lost, 30));
  client.serverDisconnected(0);
}
