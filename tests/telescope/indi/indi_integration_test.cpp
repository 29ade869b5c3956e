// The device windows' logic against real INDI drivers: the test starts
// indiserver with the mount, focuser and wheel simulators on a free port,
// drives them through the INDI backend, and stops the server under them.
#include <gtest/gtest.h>

#include <signal.h>

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
using testing_support::WaitUntil;

namespace {

const QStringList kDrivers = {"indi_simulator_telescope", "indi_simulator_focus", "indi_simulator_wheel"};

// Cerro Tololo Inter-American Observatory, 30°10'10.78" S, 70°48'23.49" W (the
// observatory's published site): a west longitude, which INDI takes as 0..360° east.
constexpr double kCtioLat = -(30 + 10 / 60.0 + 10.78 / 3600.0);
constexpr double kCtioEast = -(70 + 48 / 60.0 + 23.49 / 3600.0);

// The line a device window logs for a link lost, and why.
std::string LostLine(const std::string& device, const std::string& why) {
  return "[Ascom." + device + "] Error, connection lost: " + why;
}

// How many lines of the log begin with `start`.
int LinesStarting(const std::string& start) {
  const auto lines = LogLines().Lines();
  return int(std::count_if(lines.begin(), lines.end(), [&](const std::string& l) { return l.rfind(start, 0) == 0; }));
}

}  // namespace

TEST(IndiIntegration, MountFocuserAndWheelThroughIndiserver) {
  NOCTRA_REQUIRE_TOOL(testing_support::HaveIndi(kDrivers), "indiserver (or an INDI simulator)", "indi-bin");
  testing_support::IndiServer srv(kDrivers);
  ASSERT_TRUE(srv.Start()) << "indiserver did not start";
  LogLines().Clear();

  // Mount: connect, sync near Sirius, goto Sirius, guide north.
  RecordingHost host;
  host.obs->Latitude = kCtioLat * kRad;
  host.obs->Longitude = -kCtioEast * kRad;  // the record holds west-positive longitude
  TTeleControl tele(&host);
  tele.name = platform::IndiDriverId("127.0.0.1", srv.port, "Telescope Simulator");
  tele.setTime = tele.setLatLong = true;
  tele.ConnectClick();
  ASSERT_TRUE(tele.Connected()) << LogLines().LastLine();
  EXPECT_FALSE(Logged("[Ascom.Telescope] Warning, failed to set Date/Time"));
  // The mount holds both co-ordinates, as a second client reads them.
  platform::TAutomationRef probe = platform::ConnectDriver(tele.name);
  ASSERT_TRUE(probe);
  EXPECT_NEAR(probe->Get("SiteLatitude").AsDouble(), kCtioLat, 1e-6);
  EXPECT_NEAR(probe->Get("SiteLongitude").AsDouble(), kCtioEast, 1e-6);
  tele.useRefracted = false;
  tele.TrackButton1Click();  // the simulator starts with tracking off
  ASSERT_TRUE(tele.SyncRaDec(kSiriusRa + 2 * kRad, kSiriusDec + 1 * kRad));
  EXPECT_TRUE(Logged("[Ascom.Telescope] Syncing to Coordinates"));
  // The poll sees the synced position once the hold has passed.
  EXPECT_TRUE(WaitUntil(
      [&] {
        tele.Timer1Timer();
        return std::fabs(tele.RightAscension() - (kSiriusRa + 2 * kRad)) < 1 * kArcmin &&
               std::fabs(tele.Declination() - (kSiriusDec + 1 * kRad)) < 1 * kArcmin;
      },
      10))
      << tele.RightAscension() << " " << tele.Declination();

  ASSERT_TRUE(tele.GotoRaDec(kSiriusRa, kSiriusDec));
  ASSERT_TRUE(WaitUntil(
      [&] {
        tele.Timer1Timer();
        return tele.GotoTimerEnabled();
      },
      120))
      << "the slew did not end";
  // The goto's settling time, as the window's goto timer gives it.
  WaitUntil([] { return false; }, 5);
  tele.GotoTimerTimer();
  tele.Timer1Timer();
  EXPECT_NEAR(tele.RightAscension(), kSiriusRa, 1 * kArcmin);
  EXPECT_NEAR(tele.Declination(), kSiriusDec, 1 * kArcmin);

  const double dec0 = tele.Declination();
  tele.PulseGuide('N', 2000);
  EXPECT_TRUE(Logged("[Ascom.Telescope] Pulse Guiding (N for 2000mS)"));
  // 2 s at the simulator's 0.5x sidereal guide rate: 15". (The INDI mount
  // simulator of libindi 1.9.9 moves south on a north pulse on this side of
  // the pier, so only the amount is checked.)
  WaitUntil([] { return false; }, 3.5);
  tele.Timer1Timer();
  EXPECT_NEAR(std::fabs(tele.Declination() - dec0) / kArcsec, 15.0, 7.0);

  // A goto the parked mount refuses is reported, not taken as done.
  tele.ParkButton1Click();
  ASSERT_TRUE(WaitUntil([&] { return probe->Get("AtPark").AsBool(); }, 10));
  WaitUntil([] { return false; }, 1);  // the park slew under way
  ASSERT_TRUE(WaitUntil([&] { return !probe->Get("Slewing").AsBool(); }, 60));
  EXPECT_FALSE(tele.GotoRaDec(kSiriusRa + 30 * kRad, kSiriusDec));
  EXPECT_TRUE(Logged("[Ascom.Telescope] Warning, Goto failed: Mount is parked"));
  EXPECT_EQ(tele.Controls().fault, "Goto failed: Mount is parked");
  tele.UnParkButton1Click();
  ASSERT_TRUE(WaitUntil([&] { return !probe->Get("AtPark").AsBool(); }, 10));
  probe.reset();

  // Focuser: an absolute move.
  TFocuserControl focuser;
  focuser.name = platform::IndiDriverId("127.0.0.1", srv.port, "Focuser Simulator");
  focuser.ConnectClick();
  ASSERT_TRUE(focuser.Connected()) << LogLines().LastLine();
  EXPECT_TRUE(focuser.GetAbsolute());
  const int32_t p0 = focuser.GetPosition();
  ASSERT_GE(p0, 0);
  focuser.Move(p0 + 1000);
  EXPECT_TRUE(WaitUntil([&] { return !focuser.IsMoving() && focuser.GetPosition() == p0 + 1000; }, 30))
      << "position " << focuser.GetPosition();

  // Filter wheel: names and a change of slot.
  TFilterWheelControl wheel;
  wheel.name = platform::IndiDriverId("127.0.0.1", srv.port, "Filter Simulator");
  wheel.ConnectClick();
  ASSERT_TRUE(wheel.Connected()) << LogLines().LastLine();
  EXPECT_GE(wheel.GetNames().size(), 2u);
  wheel.SetPosition(2);
  EXPECT_TRUE(WaitUntil([&] { return wheel.GetPosition() == 2; }, 30)) << "slot " << wheel.GetPosition();

  // The server goes away in the middle of a slew: the mount, the focuser
  // and the wheel each report the lost connection once with its reason,
  // and disconnect.
  WaitUntil([] { return false; }, 0.5);
  ASSERT_TRUE(tele.GotoRaDec(kSiriusRa + 60 * kRad, kSiriusDec + 40 * kRad));
  srv.Stop();
  auto allLost = [&] {
    tele.Timer1Timer(), focuser.Timer1Timer(), wheel.Timer1Timer();
    return !tele.Connected() && !focuser.Connected() && !wheel.Connected();
  };
  EXPECT_TRUE(WaitUntil(allLost, 10));
  const auto lines = LogLines().Lines();
  for (const std::string device : {"Telescope", "Focuser", "Filterwheel"}) {
    auto lost = [&](const std::string& line) {
      return line.rfind("[Ascom." + device + "] Error, connection lost", 0) == 0;
    };
    EXPECT_EQ(std::count_if(lines.begin(), lines.end(), lost), 1) << device;
    EXPECT_EQ(std::count(lines.begin(), lines.end(),
                         "[Ascom." + device + "] Error, connection lost: INDI server connection lost"),
              1)
        << device;
  }
  for (const std::string& fault : {tele.Controls().fault, focuser.Controls().fault, wheel.Controls().fault})
    EXPECT_EQ(fault, "INDI server connection lost");
}

// The sequencer with an INDI mount, as a user meets it: a goto that
// arrives is imaged; a goto that another client stops short of its target,
// and one during which the mount's driver is killed, stop the sequence with
// their lines and take no picture.
TEST(IndiIntegration, SequencerStopsWhenItsMountDoesNotArrive) {
  const QStringList drivers = {"indi_simulator_telescope"};
  NOCTRA_REQUIRE_TOOL(testing_support::HaveIndi(drivers), "indiserver (or indi_simulator_telescope)", "indi-bin");
  testing_support::IndiServer srv(drivers);
  ASSERT_TRUE(srv.Start()) << "indiserver did not start";
  LogLines().Clear();
  RecordingHost host;
  TTeleControl tele(&host);
  TSequenceRun run(tele, host);
  ConnectIndiMountOnSirius(tele, srv.port, run);
  if (HasFatalFailure()) return;
  // Ticks until the goto under way has taken the mount a degree on.
  auto underWay = [&] {
    const double dec0 = tele.Declination();
    return run.RunToGoto() && run.TickUntil([&] { return std::fabs(tele.Declination() - dec0) > 1 * kRad; }, 60);
  };
  const double north = kSiriusDec + 3 * kRad;

  run.points.points = {{kSiriusRa, north, "Sirius_north", true, "1,10,red,light", false}};
  run.seq.StartButtonClick();
  ASSERT_TRUE(run.TickUntil([&] { return !run.seq.Running(); }, 120));
  EXPECT_EQ(tele.LastGotoEnd(), TGotoEnd::Arrived);
  EXPECT_EQ(run.imaging.runs.size(), 1u) << LogLines().LastLine();

  // Another client (a handset's app) aborts the slew.
  run.points.points[0].dec = kSiriusDec + 60 * kRad;
  run.seq.StartButtonClick();
  ASSERT_TRUE(underWay());
  {
    platform::TIndiClient other({"127.0.0.1", srv.port, "Telescope Simulator"});
    other.Connect([] { return true; });
    other.SendSwitch("TELESCOPE_ABORT_MOTION", "ABORT");
    ASSERT_TRUE(run.TickUntil([&] { return !run.seq.Running(); }, 60));
  }
  EXPECT_EQ(tele.LastGotoEnd(), TGotoEnd::GivenUp);
  EXPECT_TRUE(Logged("[Sequencer] Error, telescope goto failed")) << LogLines().LastLine();
  EXPECT_EQ(tele.Controls().fault.rfind("Goto ended ", 0), 0u) << tele.Controls().fault;
  EXPECT_EQ(run.imaging.runs.size(), 1u);

  // The mount's driver is killed during the next goto.
  run.points.points[0].dec = north;
  run.seq.StartButtonClick();
  ASSERT_TRUE(underWay());
  const std::vector<qint64> driverPids = srv.DriverPids();
  ASSERT_EQ(driverPids.size(), 1u);
  ASSERT_EQ(::kill(pid_t(driverPids[0]), SIGKILL), 0);
  EXPECT_TRUE(run.TickUntil([&] { return !run.seq.Running(); }, 60));
  EXPECT_FALSE(tele.Connected());
  EXPECT_EQ(tele.LastGotoEnd(), TGotoEnd::LinkLost);
  EXPECT_TRUE(Logged("[Sequencer] Error, telescope not connected")) << LogLines().LastLine();
  EXPECT_EQ(tele.Controls().fault, "INDI driver of \"Telescope Simulator\" ended");
  EXPECT_EQ(run.imaging.runs.size(), 1u);
}

// The driver of a connected device is killed while the device idles; the
// server runs on and tells its clients the device is gone (and starts the
// driver again, disconnected). The mount, the focuser and the wheel each
// tell the loss once, with its reason, in the log and in red, and
// disconnect; the others stay connected. A later Connect finds the driver
// started again; where the server does not start it again, the Connect, also
// of the driver object that lost its device, says the device is not there.
TEST(IndiIntegration, ADeviceWhoseDriverEndsIsToldLostWithTheReason) {
  NOCTRA_REQUIRE_TOOL(testing_support::HaveIndi(kDrivers), "indiserver (or an INDI simulator)", "indi-bin");
  testing_support::IndiServer srv(kDrivers);
  ASSERT_TRUE(srv.Start()) << "indiserver did not start";
  RecordingHost host;
  TTeleControl tele(&host);
  tele.name = platform::IndiDriverId("127.0.0.1", srv.port, "Telescope Simulator");
  tele.ConnectClick();
  ASSERT_TRUE(tele.Connected()) << LogLines().LastLine();
  TFocuserControl focuser;
  focuser.name = platform::IndiDriverId("127.0.0.1", srv.port, "Focuser Simulator");
  focuser.ConnectClick();
  ASSERT_TRUE(focuser.Connected()) << LogLines().LastLine();
  TFilterWheelControl wheel;
  wheel.name = platform::IndiDriverId("127.0.0.1", srv.port, "Filter Simulator");
  wheel.ConnectClick();
  ASSERT_TRUE(wheel.Connected()) << LogLines().LastLine();
  LogLines().Clear();

  struct TCase {
    std::string program, device, log;
    std::function<bool()> connected;
    std::function<std::string()> fault;
  };
  const TCase cases[] = {
      {"indi_simulator_telescope", "Telescope Simulator", "Telescope", [&] { return tele.Connected(); },
       [&] { return tele.Controls().fault; }},
      {"indi_simulator_focus", "Focuser Simulator", "Focuser", [&] { return focuser.Connected(); },
       [&] { return focuser.Controls().fault; }},
      {"indi_simulator_wheel", "Filter Simulator", "Filterwheel", [&] { return wheel.Connected(); },
       [&] { return wheel.Controls().fault; }}};
  auto tick = [&] { tele.Timer1Timer(), focuser.Timer1Timer(), wheel.Timer1Timer(); };
  int connected = 3;
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.device);
    const qint64 pid = srv.DriverPid(c.program);
    ASSERT_GT(pid, 0);
    ASSERT_EQ(::kill(pid_t(pid), SIGKILL), 0);
    ASSERT_TRUE(WaitUntil(
        [&] {
          tick();
          return !c.connected();
        },
        60));
    --connected;
    EXPECT_EQ(int(tele.Connected()) + int(focuser.Connected()) + int(wheel.Connected()), connected);
    EXPECT_EQ(c.fault(), "INDI driver of \"" + c.device + "\" ended");
  }
  // Told once each, also after more ticks.
  tick();
  for (const TCase& c : cases) {
    EXPECT_EQ(LinesStarting("[Ascom." + c.log + "] Error, connection lost"), 1) << c.log;
    EXPECT_TRUE(Logged(LostLine(c.log, "INDI driver of \"" + c.device + "\" ended"))) << c.log;
  }
  EXPECT_FALSE(tele.Controls().disconnect);
  EXPECT_TRUE(tele.Controls().connect);

  // The server has started the mount's driver again: a Connect finds it.
  EXPECT_TRUE(WaitUntil(
      [&] {
        tele.ConnectClick();
        return tele.Connected();
      },
      60))
      << tele.Controls().fault;
  EXPECT_EQ(tele.Controls().fault, "");
  tele.DisconnectClick();

  // A server that does not start a driver again (the focuser keeps it up).
  testing_support::IndiServer once({"indi_simulator_telescope", "indi_simulator_focus"}, {"-r", "0"});
  ASSERT_TRUE(once.Start()) << "indiserver did not start";
  const std::string mount = platform::IndiDriverId("127.0.0.1", once.port, "Telescope Simulator");
  tele.name = mount;
  tele.ConnectClick();
  ASSERT_TRUE(tele.Connected()) << LogLines().LastLine();
  platform::TAutomationRef object = platform::ConnectDriver(mount);
  ASSERT_TRUE(object);
  LogLines().Clear();
  ASSERT_EQ(::kill(pid_t(once.DriverPid("indi_simulator_telescope")), SIGKILL), 0);
  ASSERT_TRUE(WaitUntil(
      [&] {
        tele.Timer1Timer();
        return !tele.Connected() && !object->Get("Connected").AsBool();
      },
      60));
  const std::string ended = "INDI driver of \"Telescope Simulator\" ended";
  EXPECT_EQ(LinesStarting("[Ascom.Telescope] Error, connection lost"), 1);
  EXPECT_TRUE(Logged(LostLine("Telescope", ended)));
  // Every call of the object names the loss, until a Connect, which finds
  // no device.
  EXPECT_EQ(platform::LinkLostReason(*object, "RightAscension"), ended);
  EXPECT_EQ(platform::LinkLostReason(*object, "Tracking"), ended);
  const std::string missing =
      "INDI device \"Telescope Simulator\" not found on 127.0.0.1:" + std::to_string(once.port);
  try {
    object->Put("Connected", platform::TVariant(true));
    ADD_FAILURE() << "connected to a device that is gone";
  } catch (const platform::EAutomationError& e) {
    EXPECT_EQ(e.what(), missing);
  }
  EXPECT_FALSE(object->Get("Connected").AsBool());
  tele.ConnectClick();
  EXPECT_FALSE(tele.Connected());
  EXPECT_EQ(tele.Controls().fault, "Connect failed: " + missing);
}

// A filter-name vector of numbers is named in words and skipped, not read as text.
TEST(IndiClient, PropertyOfAnotherTypeIsNamedAndSkipped) {
  platform::TIndiClient client({"127.0.0.1", 7624, "Filter Simulator"});
  testing_support::IndiConnected(client);
  testing_support::IndiNumbers(client, "FILTER_NAME", {{"FILTER_SLOT_NAME_1", 1, 0, 9}});
  EXPECT_TRUE(client.Texts("FILTER_NAME").empty());
  std::string what;
  try {
    client.Require("FILTER_NAME", INDI_TEXT);
  } catch (const platform::EAutomationError& e) {
    what = e.what();
  }
  EXPECT_EQ(what, "INDI property FILTER_NAME of \"Filter Simulator\" is a number vector, not a text vector");
  client.serverDisconnected(0);
}

// The INDI client library keeps its device records alive through shared
// references among themselves and never frees them; those allocations are
// the library's, not this program's.
extern "C" const char* __lsan_default_suppressions() { return "leak:libindiclient.so\n"; }
