// An exposure on INDI's CCD simulator through the INDI camera driver and
// the ASCOM camera: indiserver runs indi_simulator_ccd on a free port; the
// picture arrives as FITS data of the simulator's frame size.
#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <signal.h>
#include <sys/socket.h>
#include <unistd.h>

#include <QImage>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>
#include <cstdlib>

#include "imaging/ascom_camera.h"
#include "imaging/camera_setup.h"
#include "imaging/console.h"
#include "imaging/forms/ascom_camera_forms.h"
#include "imaging/indi_camera.h"
#include "platform/dialogs.h"
#include "platform/indi_client.h"
#include "shell/log_lines.h"
#include "tests/support/indi_props.h"
#include "tests/support/indi_server.h"

using namespace imaging;
using testing_support::Stopped;
using testing_support::WaitUntil;

namespace {

// A server on a loopback port that takes connections (the system completes
// them) and never says a word, until Close.
class SilentServer {
 public:
  SilentServer() {
    fd_ = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t len = sizeof a;
    if (::bind(fd_, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0 && ::listen(fd_, 8) == 0 &&
        ::getsockname(fd_, reinterpret_cast<sockaddr*>(&a), &len) == 0)
      port = ntohs(a.sin_port);
  }
  ~SilentServer() { Close(); }
  // Stops listening: the connections it had taken are reset.
  void Close() {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
  }
  int port = 0;

 private:
  int fd_ = -1;
};

// Counts the ticks of a timer that fires as often as the GUI thread's
// event loop lets it, while a call is under way.
struct TickCounter {
  QTimer timer;
  bool inCall = false;
  int ticks = 0;
  explicit TickCounter(std::function<void(int)> onTick) {
    QObject::connect(&timer, &QTimer::timeout, [this, onTick] {
      if (inCall) onTick(++ticks);
    });
    timer.start(1);
  }
  template <class F>
  void During(F call) {
    inCall = true;
    call();
    inCall = false;
  }
};

std::vector<std::string> Lines() { return LogLines().Lines(); }

}  // namespace

TEST(IndiCamera, ExposesOnTheCcdSimulator) {
  const QStringList drivers = {"indi_simulator_ccd"};
  NOCTRA_REQUIRE_TOOL(testing_support::HaveIndi(drivers), "indiserver (or indi_simulator_ccd)", "indi-bin");
  ImagingSettingsDoc().Doc.Clear();
  testing_support::IndiServer server(drivers);
  ASSERT_TRUE(server.Start()) << "indiserver did not start";
  const int port = server.port;
  {
    TAscomCameraSlots window;
    window[1].name = IndiCameraId("127.0.0.1", port, "CCD Simulator");
    window.ConnectClick(1);
    TASCOMCamera* cam = window.Camera(1);
    ASSERT_NE(cam, nullptr) << "the INDI camera did not connect";
    cam->SetConnected(true);
    ASSERT_TRUE(cam->Connected());
    const int32_t w = cam->Driver().Get("CameraXSize").AsInt(), h = cam->Driver().Get("CameraYSize").AsInt();
    ASSERT_GT(w, 0);
    EXPECT_EQ(cam->GetXSize(), w);
    ASSERT_TRUE(cam->StartExposure(0.5, true));
    EXPECT_TRUE(WaitUntil(
        [&] {
          cam->Poll();
          return cam->ExposureState == 0;
        },
        30));
    ASSERT_TRUE(cam->GetImageReady());
    TFitsBitmap& img = cam->GetImage();
    EXPECT_EQ(img.Header.NAxis1, w);
    EXPECT_EQ(img.Header.NAxis2, h);
    EXPECT_EQ(img.Width(), w);
    if (const char* dir = std::getenv("NOCTRA_IMAGING_SHOTS"))
      img.Bitmap().Image().scaled(640, 512).save(QString(dir) + "/indi_ccd.png");
    window.DisconnectClick(1);
  }
  server.Stop();
  Cameras().SourceSettings.clear();
  ImagingSettingsDoc().Doc.Clear();
}

// A driver defines the sensor's size as zero and sends it a moment later:
// the connect waits for it, so the size read straight after is the sensor's.
TEST(IndiCamera, ConnectWaitsForTheSensorsSize) {
  auto client = std::make_shared<platform::TIndiClient>(platform::TIndiAddress{"127.0.0.1", 1, "CCD"});
  testing_support::IndiConnected(*client);
  testing_support::IndiNumbers(*client, "CCD_EXPOSURE", {{"CCD_EXPOSURE_VALUE", 0, 0, 3600}});
  testing_support::IndiNumbers(*client, "CCD_INFO", {{"CCD_MAX_X", 0, 0, 0}});
  QTimer::singleShot(200, [&] { testing_support::IndiNumbers(*client, "CCD_INFO", {{"CCD_MAX_X", 1280, 0, 0}}); });
  platform::TAutomationRef cam = MakeIndiCamera(client);
  cam->Put("Connected", platform::TVariant(true));
  EXPECT_EQ(cam->Get("CameraXSize").AsInt(), 1280);
  // The server gone (stopped, or its host away): Connected reads false and
  // every call names the loss, the reason the camera's users are given.
  client->serverDisconnected(0);
  EXPECT_FALSE(cam->Get("Connected").AsBool());
  for (const char* member : {"CameraState", "ImageReady"}) {
    try {
      cam->Get(member);
      ADD_FAILURE() << member;
    } catch (const platform::EAutomationError& e) {
      EXPECT_STREQ(e.what(), "INDI server connection lost") << member;
    }
  }
}

// Values a device reports are checked before they become integers: NaN,
// infinite and huge ones fail the member as a driver error.
TEST(IndiCamera, DeviceNumbersOutOfRangeFailTheMember) {
  auto client = std::make_shared<platform::TIndiClient>(platform::TIndiAddress{"127.0.0.1", 1, "CCD"});
  testing_support::IndiConnected(*client);
  platform::TAutomationRef cam = MakeIndiCamera(client);
  const double cases[][3] = {{1280, 2, 1280}, {NAN, 1, 640}, {1e30, 1, 640}, {640, NAN, 640}, {640, 1e12, 640},
                             {640, 1, -INFINITY}, {640, 1, 3e9}};  // sensor width, binning, frame width
  for (const auto& c : cases) {
    testing_support::IndiNumbers(*client, "CCD_INFO", {{"CCD_MAX_X", c[0], 0, 0}});
    testing_support::IndiNumbers(*client, "CCD_BINNING", {{"HOR_BIN", c[1], 0, 0}});
    testing_support::IndiNumbers(*client, "CCD_FRAME", {{"WIDTH", c[2], 0, 0}});
    auto read = [&] { return std::vector<int32_t>{cam->Get("CameraXSize").AsInt(), cam->Get("BinX").AsInt(), cam->Get("NumX").AsInt()}; };
    if (c[0] == 1280)
      EXPECT_EQ(read(), (std::vector<int32_t>{1280, 2, 640}));
    else
      EXPECT_THROW(read(), platform::EAutomationError) << c[0] << " " << c[1] << " " << c[2];
  }
  client->serverDisconnected(0);
}

// Connects that fail say why, and a server that does not answer never holds
// the window: the program's events are handled while the camera waits for
// it (a timer keeps firing during the call, and it is what ends the wait
// here, by closing the server), whether the server never answers the
// connect or stops answering a connected camera.
TEST(IndiCamera, ConnectsSayWhyAndASilentServerNeverHoldsTheWindow) {
  ImagingSettingsDoc().Doc.Clear();
  platform::ScopedScriptedDialogs dialogs;
  SilentServer silent;
  ASSERT_GT(silent.port, 0);
  {
    TAscomCameraSlots window;
    window[1].name = IndiCameraId("127.0.0.1", silent.port, "CCD Simulator");
    TickCounter counter([&](int tick) {
      if (tick == 3) silent.Close();
    });
    counter.During([&] { window.ConnectClick(1); });
    EXPECT_GE(counter.ticks, 3) << "the connect held the event loop";
    EXPECT_EQ(window.Camera(1), nullptr);
    EXPECT_EQ(dialogs.Last().text, "ASCOM Camera driver couldn't connect: INDI server connection lost");
    EXPECT_TRUE(window[1].connectEnabled);
    // No server there now: the system's reason.
    window.ConnectClick(1);
    EXPECT_EQ(dialogs.Last().text, "ASCOM Camera driver couldn't connect: No INDI server at 127.0.0.1:" +
                                       std::to_string(silent.port) + ": Connection refused");
  }
  // A connected camera whose server stops answering: the binning put waits
  // for an answer with the program running on, and fails once the server
  // is gone.
  auto client = std::make_shared<platform::TIndiClient>(platform::TIndiAddress{"127.0.0.1", 1, "CCD"});
  testing_support::IndiConnected(*client);
  testing_support::IndiNumbers(*client, "CCD_BINNING", {{"HOR_BIN", 1, 1, 4}, {"VER_BIN", 1, 1, 4}});
  platform::TAutomationRef cam = MakeIndiCamera(client);
  TickCounter counter([&](int tick) {
    if (tick == 3) client->serverDisconnected(0);
  });
  std::string failure;
  counter.During([&] {
    try {
      cam->Put("BinX", platform::TVariant(int32_t(2)));
    } catch (const platform::EAutomationError& e) {
      failure = e.what();
    }
  });
  EXPECT_GE(counter.ticks, 3) << "the put held the event loop";
  EXPECT_EQ(failure, "INDI server connection lost");
  ImagingSettingsDoc().Doc.Clear();
}

// The INDI server stopped, or only the camera's driver killed (the server
// runs on), under the imaging console: the reason given is the server's loss
// or the driver's end, whether the console was at rest (the camera window's
// watch finds it: "Camera disconnected" in the log, "Error: camera
// connection" in the status) or previewing (the exposure finds it: "Error:
// Camera disconnected").
TEST(IndiCamera, AStoppedServerOrAnEndedDriverIsTheReasonTheConsoleGives) {
  const QStringList drivers = {"indi_simulator_ccd"};
  NOCTRA_REQUIRE_TOOL(testing_support::HaveIndi(drivers), "indiserver (or indi_simulator_ccd)", "indi-bin");
  ImagingSettingsDoc().Doc.Clear();
  TAscomCameraSlots window;
  TImagingConsole console(nullptr, [&](const std::string& n) -> TCamera* {
    return n == "ASCOM Camera #1" ? window.Camera(1) : nullptr;
  });
  const std::size_t consumers = CameraConsumers().size();
  CameraConsumers().push_back({[&](const std::string& n) { console.AddCamera(n); },
                               [&](const std::string& n, const std::string& why) { console.RemoveCamera(n, why); },
                               [&](const std::string& n) { return console.IsCameraSelected(n); }});
  auto logged = [](const std::string& line) {
    const std::vector<std::string> lines = LogLines().Lines();
    return std::find(lines.begin(), lines.end(), line) != lines.end();
  };
  for (const int run : {0, 1, 2, 3}) {
    const bool wholeServer = run < 2, previewing = run % 2 == 1;
    SCOPED_TRACE(previewing ? "previewing" : "at rest");
    SCOPED_TRACE(wholeServer ? "the server stopped" : "the driver killed");
    const std::string lost = wholeServer ? "INDI server connection lost" : "INDI driver of \"CCD Simulator\" ended";
    testing_support::IndiServer server(drivers);
    ASSERT_TRUE(server.Start()) << "indiserver did not start";
    window[1].name = IndiCameraId("127.0.0.1", server.port, "CCD Simulator");
    window.ConnectClick(1);
    ASSERT_NE(window.Camera(1), nullptr) << "the INDI camera did not connect";
    console.ImageSource = "ASCOM Camera #1";
    console.ExposureTime = "5";
    console.SequenceTimer1Timer();
    ASSERT_EQ(console.Camera(), window.Camera(1)) << console.Status();
    if (previewing) {
      console.PreviewClick(true);
      ASSERT_TRUE(WaitUntil(
          [&] {
            console.SequenceTimer1Timer();
            return console.Camera()->ExposureState == 2;
          },
          30));
    }
    LogLines().Clear();
    if (wholeServer)
      server.Stop();
    else
      ASSERT_EQ(::kill(pid_t(server.DriverPid("indi_simulator_ccd")), SIGKILL), 0);
    // The camera's own timer (an exposure under way) or the window's watch
    // finds the loss.
    ASSERT_TRUE(WaitUntil(
        [&] {
          window.Timer1Timer();
          console.SequenceTimer1Timer();
          return !window[1].connected;
        },
        30));
    console.SequenceTimer1Timer();
    EXPECT_EQ(console.Camera(), nullptr);
    // The camera window logs the loss as the console does.
    EXPECT_TRUE(logged("[Ascom.Camera] Error, connection lost (#1): " + lost));
    if (previewing) {
      EXPECT_FALSE(console.PreviewDown());
      EXPECT_TRUE(logged("[Imaging Console] Error: Camera disconnected: " + lost)) << LogLines().LastLine();
      EXPECT_EQ(console.Status(), "Error: Camera disconnected: " + lost);
    } else {
      EXPECT_TRUE(logged("[Imaging Console] Camera disconnected: " + lost)) << LogLines().LastLine();
      EXPECT_EQ(console.Status(), "Error: camera connection: " + lost);
    }
  }
  CameraConsumers().resize(consumers);
  Cameras().SourceSettings.clear();
  ImagingSettingsDoc().Doc.Clear();
}

// The user presses Disconnect while the camera's INDI server, or only its
// driver, is stopped (SIGSTOP): the camera is let go once its wait for the
// answer has ended, and the log says that the server (or the device) did
// not answer.
// Disconnect pressed again during the wait or after it does nothing more,
// and the slot takes another driver at once. A server or a driver killed
// while its camera idles: the loss is logged with its reason before the
// slot's own disconnect line.
TEST(IndiCamera, ACameraWhoseServerDoesNotAnswerIsLetGoAndALossIsLoggedWithItsReason) {
  const QStringList drivers = {"indi_simulator_ccd"};
  NOCTRA_REQUIRE_TOOL(testing_support::HaveIndi(drivers), "indiserver (or indi_simulator_ccd)", "indi-bin");
  ImagingSettingsDoc().Doc.Clear();
  platform::ScopedScriptedDialogs dialogs;
  {
    TAscomCameraSlots window;
    TAscomCameraForm1 form(window);
    for (const bool wholeServer : {true, false}) {
      SCOPED_TRACE(wholeServer ? "the server stopped" : "the driver stopped");
      testing_support::IndiServer server(drivers);
      ASSERT_TRUE(server.Start()) << "indiserver did not start";
      const std::vector<qint64> driverPids = server.DriverPids();
      ASSERT_EQ(driverPids.size(), 1u);
      window[1].name = IndiCameraId("127.0.0.1", server.port, "CCD Simulator");
      window.ConnectClick(1);
      ASSERT_NE(window.Camera(1), nullptr) << "the INDI camera did not connect";
      LogLines().Clear();
      Stopped stopped(wholeServer ? server.Pid() : driverPids[0]);
      ASSERT_TRUE(stopped.Done());
      form.Refresh();
      ASSERT_TRUE(form.Disconnect1->isEnabled());
      bool offMeanwhile = false, heldMeanwhile = false;
      TickCounter counter([&](int tick) {
        if (tick != 1) return;
        offMeanwhile = !form.Disconnect1->isEnabled() && !window[1].disconnectEnabled;
        window.DisconnectClick(1);
        heldMeanwhile = window.Camera(1) != nullptr;
      });
      counter.During([&] { form.Disconnect1->click(); });
      EXPECT_GE(counter.ticks, 1) << "the disconnect held the event loop";
      EXPECT_TRUE(offMeanwhile) << "Disconnect stayed enabled during the wait";
      EXPECT_TRUE(heldMeanwhile) << "the camera went under its waiting call";
      // The window shows the slot free.
      EXPECT_FALSE(window[1].connected);
      EXPECT_EQ(window.Camera(1), nullptr);
      EXPECT_TRUE(form.Connect1->isEnabled() && form.Select1->isEnabled() && form.Name1->isEnabled());
      EXPECT_FALSE(form.Disconnect1->isEnabled());
      EXPECT_TRUE(Cameras().SourceSettings.empty());
      // (The server answers a ping itself: a stopped driver is told apart.)
      const std::string silent = wholeServer ? "the INDI server" : "INDI device \"CCD Simulator\"";
      const std::vector<std::string> told = {
          "[Ascom.Camera] Disconnect (#1): " + silent + " did not answer within 5 s; the connection to the server "
          "is closed",
          "[Ascom.Camera] Disconnect (#1)"};
      EXPECT_EQ(Lines(), told);
      // Pressed again, and the watch: nothing more.
      window.DisconnectClick(1);
      window.Timer1Timer();
      EXPECT_EQ(Lines(), told);
      EXPECT_FALSE(window[1].pendingDisconnect.has_value());
      // The slot takes another driver while the server is still stopped.
      window[1].name = "Noctra.Simulator.Camera";
      form.Connect1->click();
      EXPECT_NE(window.Camera(1), nullptr) << (dialogs.Count() ? dialogs.Last().text : "");
      form.Disconnect1->click();
      EXPECT_EQ(window.Camera(1), nullptr);
    }
    // Killed while the camera idles: the server, or only the camera's
    // driver (the server runs on, and starts the driver again).
    for (const bool wholeServer : {true, false}) {
      SCOPED_TRACE(wholeServer ? "the server killed" : "the driver killed");
      testing_support::IndiServer server(drivers);
      ASSERT_TRUE(server.Start()) << "indiserver did not start";
      window[1].name = IndiCameraId("127.0.0.1", server.port, "CCD Simulator");
      window.ConnectClick(1);
      ASSERT_NE(window.Camera(1), nullptr) << "the INDI camera did not connect";
      LogLines().Clear();
      ASSERT_EQ(::kill(pid_t(wholeServer ? server.Pid() : server.DriverPid("indi_simulator_ccd")), SIGKILL), 0);
      ASSERT_TRUE(WaitUntil(
          [&] {
            window.Timer1Timer();
            return !window[1].connected;
          },
          30));
      window.Timer1Timer();
      const std::string why = wholeServer ? "INDI server connection lost" : "INDI driver of \"CCD Simulator\" ended";
      EXPECT_EQ(Lines(), (std::vector<std::string>{"[Ascom.Camera] Error, connection lost (#1): " + why,
                                                   "[Ascom.Camera] Disconnect (#1)"}));
      EXPECT_TRUE(window[1].connectEnabled && window[1].selectEnabled);
    }
  }
  Cameras().SourceSettings.clear();
  ImagingSettingsDoc().Doc.Clear();
}

// The INDI server stops answering (SIGSTOP) while the camera idles: the
// camera window's watch finds the silence and logs the loss with it before
// the slot's disconnect; a Connect to the silent server says it did not
// answer. (The program's silence limit, 10 s, is shortened here.)
TEST(IndiCamera, ACameraWhoseServerFallsSilentIsToldLost) {
  const QStringList drivers = {"indi_simulator_ccd"};
  NOCTRA_REQUIRE_TOOL(testing_support::HaveIndi(drivers), "indiserver (or indi_simulator_ccd)", "indi-bin");
  ImagingSettingsDoc().Doc.Clear();
  platform::ScopedScriptedDialogs dialogs;
  testing_support::ScopedIndiSilenceLimit limit(6000);
  testing_support::IndiServer server(drivers);
  ASSERT_TRUE(server.Start()) << "indiserver did not start";
  const std::string where = "the INDI server at 127.0.0.1:" + std::to_string(server.port);
  {
    TAscomCameraSlots window;
    window[1].name = IndiCameraId("127.0.0.1", server.port, "CCD Simulator");
    window.ConnectClick(1);
    ASSERT_NE(window.Camera(1), nullptr) << "the INDI camera did not connect";
    LogLines().Clear();
    Stopped stopped(server.Pid());
    ASSERT_TRUE(stopped.Done());
    ASSERT_TRUE(WaitUntil(
        [&] {
          window.Timer1Timer();
          return !window[1].connected;
        },
        60));
    window.Timer1Timer();
    EXPECT_EQ(Lines(),
              (std::vector<std::string>{"[Ascom.Camera] Error, connection lost (#1): " + where + " has not answered for 6 s",
                                        "[Ascom.Camera] Disconnect (#1)"}));
    window.ConnectClick(1);
    EXPECT_EQ(window.Camera(1), nullptr);
    EXPECT_EQ(dialogs.Last().text, "ASCOM Camera driver couldn't connect: " + where + " did not answer within 5 s");
  }
  Cameras().SourceSettings.clear();
  ImagingSettingsDoc().Doc.Clear();
}

// A picture comes in one message, which over a slow link may take long
// while the server's other answers wait behind it: from the camera's
// exposure start until the device reports the exposure over (its picture
// sent before that), a server that answers nothing is not told lost. (The
// client is fed as its server would feed it; no server answers its pings.)
TEST(IndiCamera, AServerSendingAPictureIsNotTakenForSilent) {
  testing_support::ScopedIndiSilenceLimit limit(300);
  auto client = std::make_shared<platform::TIndiClient>(platform::TIndiAddress{"127.0.0.1", 1, "CCD"});
  testing_support::IndiConnected(*client);
  testing_support::IndiNumbers(*client, "CCD_EXPOSURE", {{"CCD_EXPOSURE_VALUE", 0, 0, 3600}});
  testing_support::IndiNumbers(*client, "CCD_INFO", {{"CCD_MAX_X", 1280, 0, 0}});
  platform::TAutomationRef cam = MakeIndiCamera(client);
  cam->Put("Connected", platform::TVariant(true));
  client->newPingReply("noctra-1");  // the server answered once
  cam->Invoke("StartExposure", {platform::TVariant(1.0), platform::TVariant(true)});
  auto lost = [&] { return !cam->Get("Connected").AsBool(); };
  EXPECT_FALSE(WaitUntil(lost, 3));
  // The exposure's time over, its picture on the way.
  INDI::PropertyNumber exposing(1);
  exposing.setDeviceName("CCD");
  exposing.setName("CCD_EXPOSURE");
  exposing[0].setName("CCD_EXPOSURE_VALUE");
  exposing.setState(IPS_BUSY);
  client->updateProperty(exposing);
  EXPECT_FALSE(WaitUntil(lost, 3));
  // The exposure reported over: silent from then on.
  exposing.setState(IPS_OK);
  client->updateProperty(exposing);
  EXPECT_TRUE(WaitUntil(lost, 30));
  EXPECT_EQ(platform::LinkLostReason(*cam, "ImageReady"), "the INDI server at 127.0.0.1:1 has not answered for 0.3 s");
  client->serverDisconnected(0);
}

// A call waiting for the camera's answer (its driver stopped) ends when the
// driver is killed meanwhile, with the driver's end as its reason rather
// than a wait run out; every later call says so too.
TEST(IndiCamera, ACallWaitingForADriverThatEndsFailsWithTheReason) {
  const QStringList drivers = {"indi_simulator_ccd"};
  NOCTRA_REQUIRE_TOOL(testing_support::HaveIndi(drivers), "indiserver (or indi_simulator_ccd)", "indi-bin");
  testing_support::IndiServer server(drivers);
  ASSERT_TRUE(server.Start()) << "indiserver did not start";
  RegisterIndiCameraDrivers();
  std::string whyNot;
  platform::TAutomationRef cam =
      platform::ConnectDriver(IndiCameraId("127.0.0.1", server.port, "CCD Simulator"), &whyNot);
  ASSERT_TRUE(cam) << "the INDI camera did not connect: " << whyNot;
  const qint64 driver = server.DriverPid("indi_simulator_ccd");
  ASSERT_GT(driver, 0);
  Stopped stopped(driver);
  ASSERT_TRUE(stopped.Done());
  TickCounter counter([&](int tick) {
    if (tick == 1) ::kill(pid_t(driver), SIGKILL);
  });
  const std::string ended = "INDI driver of \"CCD Simulator\" ended";
  std::string failure;
  counter.During([&] {
    try {
      cam->Put("BinX", platform::TVariant(int32_t(2)));
    } catch (const platform::EAutomationLinkLost& e) {
      failure = e.what();
    } catch (const platform::EAutomationError& e) {
      failure = std::string("not a lost link: ") + e.what();
    }
  });
  EXPECT_GE(counter.ticks, 1);
  EXPECT_EQ(failure, ended);
  EXPECT_FALSE(cam->Get("Connected").AsBool());
  EXPECT_EQ(platform::LinkLostReason(*cam, "ImageReady"), ended);
}
