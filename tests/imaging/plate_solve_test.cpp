// The plate-solve job and the plate-solve window's logic without the real
// solver: reply parsing, the client's command lines, each way a solve can
// fail (through a stand-in solve-field named by NOCTRA_SOLVE_FIELD), the
// camera lost during an exposure, and the guards of CorrectPointing.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QFile>
#include <QTemporaryDir>
#include <cmath>
#include <cstdlib>

#include "astro/observer.h"
#include "imaging/ascom_camera.h"
#include "imaging/camera_sim.h"
#include "imaging/camera.h"
#include "imaging/forms/tele_mount.h"
#include "imaging/imaging_settings.h"
#include "imaging/plate_solve.h"
#include "imaging/plate_solve_logic.h"
#include "platform/automation_sim.h"
#include "platform/paths.h"
#include "platform/timezone.h"
#include "shell/log_lines.h"
#include "telescope/host.h"
#include "telescope/tele_control.h"
#include "tests/support/test_support.h"

using namespace imaging;

namespace {

constexpr double kDeg = M_PI / 180.0;

// Chart coordinates of J2000.0 (no precession), as the simulated mount's.
struct J2000Host : ITelescopeHost {
  void CopyObserver(TObserverTime& out) override { out = ObserverTime; }
  double ChartEpochJD() override { return 2451545.0; }
};

bool Logged(const std::string& line) {
  const auto lines = LogLines().Lines();
  return std::find(lines.begin(), lines.end(), line) != lines.end();
}

bool WaitFor(const std::function<bool()>& done, int timeoutMs) { return testing_support::RunEventsUntil(done, timeoutMs); }

}  // namespace

TEST(PlateSolveReplies, ParsesTheClientsDictionaries) {
  std::string status;
  int32_t id = 0;
  EXPECT_TRUE(ParseUploadReply("{u'status': u'success', u'subid': 12, u'hash': u'x'}", status, id));
  EXPECT_EQ(status, "success");
  EXPECT_EQ(id, 12);
  EXPECT_FALSE(ParseUploadReply("{u'status': u'success', u'hash': u'x'}", status, id)) << "no subid";
  EXPECT_FALSE(ParseUploadReply("{u'status': u'error', u'subid': 3,}", status, id));
  // A reply cut anywhere (the client killed mid-line) never throws; cut
  // before its number it fails the step, with a log line.
  const std::string upload = "{u'status': u'success', u'subid': 12}";
  for (std::size_t n = 0; n < upload.size(); ++n) {
    TSolveProgress p;
    ASSERT_NO_THROW(ReadClientReply(p, upload.substr(0, n))) << n;
    EXPECT_EQ(p.state, n <= upload.find("12") ? 0 : 2) << n;
  }
  EXPECT_TRUE(Logged("[Plate-Solve] Failed to submit job"));

  EXPECT_EQ(ParseSubmissionReply("{u'processing_started': u'x', u'jobs': [34], u'job_calibrations': []}"), 34);
  EXPECT_EQ(ParseSubmissionReply("{u'jobs': [], u'job_calibrations': []}"), 0) << "empty list: wait";
  EXPECT_EQ(ParseSubmissionReply("{u'status': u'error'}"), -1);

  EXPECT_EQ(ReplyStatusLine("{u'ra': 1.0}\r\n  [success\n\n"), "success");
  EXPECT_EQ(ReplyStatusLine("solving"), "solving");

  // Full signed floats; the original cut the text at the first character
  // that is neither a digit nor a point, losing signs and exponents.
  struct Case {
    const char* reply;
    double want;
  } cases[] = {{"{u'dec': -12.5, u'ra': 3.0}", -12.5},
               {"{u'dec': 1.5e-05}", 1.5e-05},
               {"{u'dec': +89.75,", 89.75}};
  for (const Case& c : cases) {
    double v = 0;
    bool found = false;
    std::string text;
    EXPECT_TRUE(ReplyNumber(c.reply, "u'dec': ", v, found, text)) << c.reply;
    EXPECT_DOUBLE_EQ(v, c.want) << c.reply;
  }
  double v = 0;
  bool found = true;
  std::string text;
  EXPECT_FALSE(ReplyNumber("{u'ra': 1.0}", "u'dec': ", v, found, text));
  EXPECT_FALSE(found);
  EXPECT_FALSE(ReplyNumber("{u'dec': abc}", "u'dec': ", v, found, text));
  EXPECT_TRUE(found);
  EXPECT_EQ(text, "abc");
}

TEST(PlateSolveReplies, CommandLinesAreArgumentListsWithHintsAndParity) {
  TPlateSolveSettings s;
  s.apiKey = "key";
  s.raHint = 90 * kDeg;
  s.decHint = -10.5 * kDeg;
  s.radius = 2.5;
  const std::string script = "/opt/my solver/solve_client.py";  // a blank in the path
  std::vector<std::string> both = UploadArguments(s, script, "/tmp/a b/solve_me.jpg");
  EXPECT_EQ(both, (std::vector<std::string>{script, "--server", kSolveServer1, "--apikey", "key", "--ra", "90",
                                            "--dec", "-10.5", "--radius", "2.5", "--upload",
                                            "/tmp/a b/solve_me.jpg"}));
  s.parity = 1;
  s.secondServer = true;
  std::vector<std::string> neg = UploadArguments(s, script, "x.jpg");
  EXPECT_EQ(neg[2], kSolveServer2);
  EXPECT_EQ(std::vector<std::string>(neg.end() - 4, neg.end() - 2), (std::vector<std::string>{"--parity", "1"}));
  s.parity = 2;
  std::vector<std::string> pos = UploadArguments(s, script, "x.jpg");
  EXPECT_EQ(std::vector<std::string>(pos.end() - 4, pos.end() - 2), (std::vector<std::string>{"--parity", "0"}));
  EXPECT_EQ(JobArguments(s, script, 7), (std::vector<std::string>{script, "--apikey", "key", "--jobstatus", "7"}));
}

// Each failure ends the job not busy and not solved, with its log line.
class PlateSolveFailures : public ::testing::Test {
 protected:
  void SetUp() override {
    LogLines().Clear();
    ASSERT_TRUE(dir.isValid());
    picture.Fill(0x404040);
  }
  void TearDown() override { unsetenv("NOCTRA_SOLVE_FIELD"); }
  // A stand-in solve-field running `body` (a shell script).
  void FakeSolver(const std::string& body) {
    const QString path = dir.filePath("solve-field");
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(("#!/bin/sh\n" + body + "\n").c_str());
    f.close();
    f.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    setenv("NOCTRA_SOLVE_FIELD", path.toUtf8().constData(), 1);
  }
  std::unique_ptr<TPlateSolve> Start(int timeoutSeconds, int tickMs = 20, double fieldWidth = 0) {
    TPlateSolveSettings s;
    s.fieldWidth = fieldWidth;
    s.fieldHeight = fieldWidth * 0.75;
    s.clientFolder = dir.path().toStdString() + "/client folder/";
    s.clientScript = NOCTRA_SOLVE_CLIENT;
    s.timeoutSeconds = timeoutSeconds;
    return std::make_unique<TPlateSolve>(s, TFitsHeader{}, picture, tickMs);
  }
  QTemporaryDir dir;
  platform::Bitmap picture{64, 48};
};

TEST_F(PlateSolveFailures, SolverMissingNoSolutionTimeOutAndAbort) {
  // solve-field not installed: the upload answers an error.
  setenv("NOCTRA_SOLVE_FIELD", "/nonexistent/solve-field", 1);
  auto job = Start(30);
  ASSERT_TRUE(WaitFor([&] { return !job->Busy(); }, testing_support::kWaitMs));
  EXPECT_FALSE(job->Solved());
  EXPECT_TRUE(Logged("[Plate-Solve] solve-field is not installed (Debian package astrometry.net)"));
  EXPECT_TRUE(Logged("[Plate-Solve] Failed to submit job"));

  // No solution: solve-field ends without a field centre. A 15' field is
  // narrower than the index file installed (4110: quads from 1 degree).
  LogLines().Clear();
  FakeSolver("echo 'Did not solve (or no WCS file was written).'");
  QFile index(dir.filePath("index-4110.fits"));
  ASSERT_TRUE(index.open(QIODevice::WriteOnly));
  index.write(QByteArray("INDEXID =                 4110").leftJustified(80) +
              QByteArray("SCALE_L =      0.0174532925199 / radians").leftJustified(80) + QByteArray("END").leftJustified(2720));
  index.close();
  setenv("NOCTRA_INDEX_DIRS", dir.path().toUtf8().constData(), 1);
  job = Start(30, 20, 0.25);
  ASSERT_TRUE(WaitFor([&] { return !job->Busy(); }, testing_support::kWaitMs));
  unsetenv("NOCTRA_INDEX_DIRS");
  EXPECT_FALSE(job->Solved());
  EXPECT_TRUE(Logged("[Plate-Solve] Got Job# 1")) << LogLines().LastLine();
  EXPECT_TRUE(Logged("[Plate-Solve] Plate solve failed ([failure])"));
  EXPECT_TRUE(Logged("[Plate-Solve] The field (0.25 x 0.19 deg) is too small for the installed index files "
                     "4110-4110 (fields of 1 deg and wider)"))
      << LogLines().LastLine();
  EXPECT_EQ(job->FailureText(), "Plate solve failed ([failure]): The field (0.25 x 0.19 deg) is too small for the "
                                "installed index files 4110-4110 (fields of 1 deg and wider)");

  // Time-out in the middle of the upload: the client and its solve-field end.
  LogLines().Clear();
  FakeSolver("exec sleep 60");
  job = Start(1);
  ASSERT_TRUE(WaitFor([&] { return !job->Busy(); }, testing_support::kWaitMs));
  EXPECT_FALSE(job->Solved());
  EXPECT_TRUE(Logged("[Plate-Solve] Timed out"));
  EXPECT_EQ(job->FailureText(), "Timed out");

  // Abort: the next tick ends the client at once.
  LogLines().Clear();
  job = Start(60);
  ASSERT_TRUE(WaitFor([&] { return job->State() == 1 && LogLines().LastLine().find("Uploading") != std::string::npos; },
                      testing_support::kWaitMs));
  job->Abort();
  ASSERT_TRUE(WaitFor([&] { return !job->Busy(); }, testing_support::kWaitMs));
  EXPECT_FALSE(job->Solved());
  EXPECT_TRUE(Logged("[Plate-Solve] Aborted"));
  EXPECT_EQ(job->FailureText(), "Aborted");

  // An interpreter that does not exist is named, with the system's reason;
  // a client script that is not there gives the interpreter's complaint.
  TPlateSolveSettings s;
  s.clientFolder = dir.path().toStdString() + "/client folder/";
  for (const auto& [interpreter, script, reason] :
       {std::tuple{"/nonexistent/python3", NOCTRA_SOLVE_CLIENT, "Can't run the client (/nonexistent/python3): "},
        std::tuple{"python3", "/nonexistent/solve_client.py", "Failed to submit job: "}}) {
    s.interpreter = interpreter;
    s.clientScript = script;
    job = std::make_unique<TPlateSolve>(s, TFitsHeader{}, picture, 20);
    ASSERT_TRUE(WaitFor([&] { return !job->Busy(); }, testing_support::kWaitMs));
    EXPECT_EQ(job->FailureText().rfind(reason, 0), 0u) << job->FailureText();
  }
  EXPECT_NE(job->FailureText().find("/nonexistent/solve_client.py"), std::string::npos) << job->FailureText();
}

// The program's folders are named relative to its working folder (the data
// folder): a job given such a client folder still hands the client (which
// runs inside that folder) paths that exist there, and solves.
TEST_F(PlateSolveFailures, RelativeClientFolderSolves) {
  FakeSolver("touch \"$4/solved\"; echo 'Field center: (RA,Dec) = (10.5, 20.25) deg.'");
  testing_support::ScopedCurrentFolder data(dir.path().toStdString());
  TPlateSolveSettings s;
  s.clientFolder = "PlateSolve/";
  s.clientScript = NOCTRA_SOLVE_CLIENT;
  auto job = std::make_unique<TPlateSolve>(s, TFitsHeader{}, picture, 20);
  ASSERT_TRUE(WaitFor([&] { return !job->Busy(); }, testing_support::kWaitMs));
  EXPECT_TRUE(job->Solved()) << job->FailureText();
  EXPECT_TRUE(QFile::exists(dir.filePath("PlateSolve/solve_me.jpg")));
  // A relative interpreter path is made absolute as well.
  EXPECT_EQ(SolveInterpreter("venv/bin/python3"), platform::CurrentFolder() + "venv/bin/python3");
}

// Each step follows the previous client's end, not the job's tick (here a
// minute long).
TEST_F(PlateSolveFailures, ReportsSolvedPositionFromTheReply) {
  FakeSolver("touch \"$4/solved\"; echo 'Field center: (RA,Dec) = (56.75, -24.125) deg.'");
  auto job = Start(300, 60000);
  ASSERT_TRUE(WaitFor([&] { return !job->Busy(); }, testing_support::kWaitMs));
  ASSERT_TRUE(job->Solved()) << LogLines().LastLine();
  EXPECT_NEAR(job->RaJ2000(), 56.75 * kDeg, 1e-12);
  EXPECT_NEAR(job->DecJ2000(), -24.125 * kDeg, 1e-12);
}

namespace {

// A mount that records what the plate solver asks of it.
class FakeMount : public IPlateSolveMount {
 public:
  bool connected = true, moving = false, canSync = true;
  double ra = 0, dec = 0, targetRa = 0, targetDec = 0;
  std::vector<std::string> calls;
  bool Connected() override { return connected; }
  bool Moving() override { return moving; }
  void Position(double& r, double& d) override { r = ra, d = dec; }
  void GotoTarget(double& r, double& d) override { r = targetRa, d = targetDec; }
  bool CanSync() override { return canSync; }
  bool SyncRaDec(double, double) override { return calls.push_back("sync"), true; }
  bool GotoRaDec(double, double) override { return calls.push_back("goto"), true; }
  bool SetGuideRate(int step) override { return calls.push_back("rate " + std::to_string(step)), true; }
  void StartMove(char d) override { calls.push_back(std::string("start ") + d); }
  void StopMove(char d) override { calls.push_back(std::string("stop ") + d); }
};

// A camera that exposes until told otherwise.
class FakeCamera : public TCamera {
 public:
  FakeCamera() : TCamera("FakeCamera", "Image File") {}
  bool DoConnect() override { return true; }
};

// A camera whose connection raises, as the video camera does when the port
// of its switching line is not there; it connects once `raises` is false.
class RaisingCamera : public TCamera {
 public:
  RaisingCamera() : TCamera("VFW1", "VFW Camera #1") {}
  bool DoConnect() override {
    if (raises) throw ECameraError("Can't connect to Vfw Camera.  No parallel port at 0378 here; ports found: parport0 at 03BC.");
    return true;
  }
  bool raises = true;
};

}  // namespace

// The camera lost during the exposure: no job, the token back, the solve
// button free again, one log line.
TEST(PlateSolveWindow, CameraLostDuringTheExposureEndsTheSolve) {
  LogLines().Clear();
  ImagingSettingsDoc().Doc.Clear();
  FakeCamera camera;
  FakeMount mount;
  TPlateSolveLogic logic(&mount, {}, [&](const std::string& n) -> TCamera* {
    return n == "Image File" ? &camera : nullptr;
  });
  logic.ImageSource = "Image File";
  logic.PlateSolveTimer1Timer();
  ASSERT_EQ(logic.Camera(), &camera);
  EXPECT_TRUE(Logged("[Plate-Solve] Connect: Image File"));
  EXPECT_FALSE(camera.Connected()) << "connected again for each exposure";
  logic.SolveNowClick();
  logic.PlateSolveTimer1Timer();
  ASSERT_TRUE(camera.Connected());
  EXPECT_TRUE(logic.HasCameraToken());
  EXPECT_EQ(camera.ExposureState, 1);
  camera.SetConnected(false);  // the camera goes away
  logic.PlateSolveTimer1Timer();
  EXPECT_TRUE(Logged("[Plate-Solve] Error: Camera disconnected"));
  EXPECT_EQ(logic.Job(), nullptr);
  EXPECT_FALSE(logic.HasCameraToken());
  EXPECT_EQ(camera.Settings.CameraToken, 1u);
  EXPECT_TRUE(logic.SolveButtonEnabled());
}

// The plate solver's camera goes while a solve exposes: Disconnect pressed
// in the "ASCOM Cameras" window, and its driver dropping the link. The
// solve ends, the camera list and the solve button are free again, and the
// status and the log say why; connected again, the camera is chosen again
// without a restart.
TEST(PlateSolveWindow, ACameraThatGoesEndsTheSolveAndFreesTheList) {
  LogLines().Clear();
  ImagingSettingsDoc().Doc.Clear();
  RegisterSimCameraDriver();
  TAscomCameraSlots cams;
  FakeMount mount;
  TPlateSolveLogic logic(&mount, {}, [&](const std::string& n) -> TCamera* {
    return n == "ASCOM Camera #1" ? cams.Camera(1) : nullptr;
  });
  // Heard of while the test runs, whatever way it ends.
  struct Registered {
    std::size_t before = CameraConsumers().size();
    ~Registered() { CameraConsumers().resize(before); }
  } registered;
  CameraConsumers().push_back({[&](const std::string& n) { logic.AddCamera(n); },
                               [&](const std::string& n, const std::string& why) { logic.RemoveCamera(n, why); },
                               nullptr});
  cams[1].name = "Noctra.Simulator.Camera";
  logic.Sel.Exposure = 0.05;
  for (const bool dropped : {false, true}) {
    SCOPED_TRACE(dropped ? "link dropped" : "Disconnect");
    cams.ConnectClick(1);
    logic.ImageSource = "ASCOM Camera #1";
    logic.PlateSolveTimer1Timer();
    ASSERT_EQ(logic.Camera(), cams.Camera(1));
    logic.SolveNowClick();
    logic.PlateSolveTimer1Timer();
    ASSERT_TRUE(logic.HasCameraToken());
    ASSERT_FALSE(logic.CameraListEnabled());
    std::string error;
    if (dropped) {
      TCamera* cam = cams.Camera(1);
      dynamic_cast<platform::TSimDevice&>(*cams[1].driver).DropLink();
      ASSERT_TRUE(WaitFor([&] { return !cam->Connected(); }, testing_support::kWaitMs));
      logic.PlateSolveTimer1Timer();
      error = "Error: Camera disconnected: the driver lost its link to the camera (CameraState: Not connected)";
      EXPECT_EQ(logic.Status(), error);
      cams.Timer1Timer();  // the watch takes the slot down
    } else {
      cams.DisconnectClick(1);
      error = "Error: Camera disconnected: ASCOM Camera #1 was disconnected in the \"ASCOM Cameras\" window";
    }
    EXPECT_EQ(logic.Camera(), nullptr);
    EXPECT_EQ(logic.ImageSource, "None");
    EXPECT_FALSE(logic.HasCameraToken());
    EXPECT_EQ(logic.Job(), nullptr);
    EXPECT_TRUE(logic.CameraListEnabled());
    EXPECT_TRUE(logic.SolveButtonEnabled());
    logic.PlateSolveTimer1Timer();
    EXPECT_EQ(logic.Status(), error);
    const auto lines = LogLines().Lines();
    EXPECT_EQ(std::count(lines.begin(), lines.end(), "[Plate-Solve] " + error), 1);
  }
  // No solve under way: the camera goes as a source given up.
  cams.ConnectClick(1);
  logic.ImageSource = "ASCOM Camera #1";
  logic.PlateSolveTimer1Timer();
  ASSERT_EQ(logic.Camera(), cams.Camera(1));
  LogLines().Clear();
  cams.DisconnectClick(1);
  logic.PlateSolveTimer1Timer();
  const std::string why = "ASCOM Camera #1 was disconnected in the \"ASCOM Cameras\" window";
  std::vector<std::string> said;  // this window's lines
  for (const std::string& line : LogLines().Lines())
    if (line.rfind("[Plate-Solve] ", 0) == 0) said.push_back(line);
  EXPECT_EQ(said, std::vector<std::string>{"[Plate-Solve] Camera disconnected: " + why});
  EXPECT_EQ(logic.Camera(), nullptr);
  EXPECT_EQ(logic.Status(), "Error: camera connection: " + why);
  EXPECT_TRUE(logic.CameraListEnabled());
}

// A camera that raises when connected is reported with its reason, at the
// choice and at a solve, and keeps its token.
TEST(PlateSolveWindow, ACameraThatRaisesOnConnectIsReportedWithItsReason) {
  LogLines().Clear();
  ImagingSettingsDoc().Doc.Clear();
  RaisingCamera camera;
  FakeMount mount;
  TPlateSolveLogic logic(&mount, {}, [&](const std::string& n) -> TCamera* {
    return n == "VFW Camera #1" ? &camera : nullptr;
  });
  const std::string why = "Can't connect to Vfw Camera.  No parallel port at 0378 here; ports found: parport0 at 03BC.";
  logic.ImageSource = "VFW Camera #1";
  logic.PlateSolveTimer1Timer();
  EXPECT_TRUE(Logged("[Plate-Solve] Error: camera connection: " + why));
  EXPECT_EQ(logic.Status(), "Error: camera connection: " + why);
  EXPECT_EQ(camera.Settings.CameraToken, 1u);
  // Chosen while it connects, then refusing at the solve.
  camera.raises = false;
  logic.ImageSource = "None";
  logic.PlateSolveTimer1Timer();
  logic.ImageSource = "VFW Camera #1";
  logic.PlateSolveTimer1Timer();
  ASSERT_EQ(logic.Camera(), &camera);
  camera.raises = true;
  logic.SolveNowClick();
  logic.PlateSolveTimer1Timer();
  EXPECT_EQ(logic.Status(), "Can't connect to camera: " + why);
  EXPECT_EQ(camera.Settings.CameraToken, 1u);
  EXPECT_TRUE(logic.SolveButtonEnabled());
}

// The plate solver's camera chosen while the imaging console holds it (a
// stand-in console: the camera's token and the pause request).
namespace {
struct SharedWithConsole {
  FakeCamera camera;
  FakeMount mount;
  int pause = 0;
  TCameraToken console;
  TPlateSolveLogic logic{&mount, {[this] { return &camera; }, &pause},
                         [this](const std::string&) -> TCamera* { return &camera; }};
  SharedWithConsole() {
    LogLines().Clear();
    console.Get(camera);
    camera.SetConnected(true);
    logic.ImageSource = "Image File";
    logic.PlateSolveTimer1Timer();
  }
};
}  // namespace

// A solve of the console's camera pauses the console, and resumes it once
// the picture is taken.
TEST(PlateSolveWindow, PausesAndResumesTheImagingConsole) {
  ImagingSettingsDoc().Doc.Clear();
  SharedWithConsole f;
  auto& [camera, mount, pause, console, logic] = f;
  EXPECT_TRUE(Logged("[Plate-Solve] Connect: Image File")) << "the console's camera is accepted";
  logic.SolveNowClick();
  logic.PlateSolveTimer1Timer();
  EXPECT_EQ(pause, 1);
  EXPECT_TRUE(Logged("[Plate-Solve] Pausing Imaging-Console"));
  EXPECT_EQ(camera.ExposureState, 0) << "waits for the token";
  // The console answers the pause: it disconnects and gives the token back.
  camera.SetConnected(false);
  console.Return(camera);
  logic.PlateSolveTimer1Timer();
  EXPECT_EQ(camera.ExposureState, 1);
  camera.SetConnected(false);  // end the exposure without a picture
  logic.PlateSolveTimer1Timer();
  EXPECT_EQ(pause, 2);
  EXPECT_TRUE(Logged("[Plate-Solve] Resuming Imaging Console"));
}

// Abort/Reset while the solve waits for the console's camera: nothing is
// exposed, the console gets its camera back, and the button is free.
TEST(PlateSolveWindow, AbortWhileWaitingForTheConsoleResumesIt) {
  ImagingSettingsDoc().Doc.Clear();
  SharedWithConsole f;
  auto& [camera, mount, pause, console, logic] = f;
  for (const bool consolePaused : {false, true}) {
    logic.SolveNowClick();
    logic.PlateSolveTimer1Timer();
    ASSERT_EQ(pause, 1);
    if (consolePaused) {
      camera.SetConnected(false);
      console.Return(camera);
    }
    logic.AbortClick();
    EXPECT_EQ(pause, consolePaused ? 2 : 0) << consolePaused;
    EXPECT_EQ(logic.Status(), "Aborted");
    EXPECT_TRUE(logic.SolveButtonEnabled());
    logic.PlateSolveTimer1Timer();
    EXPECT_EQ(camera.ExposureState, 0) << "nothing exposed";
    EXPECT_FALSE(logic.HasCameraToken());
  }
}

TEST(PlateSolveWindow, FieldRules) {
  EXPECT_EQ(PlateSolveFrameSize(1001, 320), 1000);
  EXPECT_EQ(PlateSolveFrameSize(100, 320), 320);
  EXPECT_EQ(PlateSolveFrameSize(20000, 240), 10000);
  EXPECT_EQ(PlateSolveTimeToSolve(-5), 1);
  EXPECT_EQ(PlateSolveTimeToSolve(2000), 999);
}

// Guards and moves of the corrections.
TEST(PlateSolveWindow, CorrectPointingGuardsAndGuidedMoves) {
  ImagingSettingsDoc().Doc.Clear();
  FakeMount mount;
  mount.targetRa = 100 * kDeg;
  mount.targetDec = 20 * kDeg;
  TPlateSolveLogic logic(&mount, {}, [](const std::string&) -> TCamera* { return nullptr; });
  struct Case {
    TAutoMode mode;
    double dRaDeg, dDecDeg;  // solved minus target
    const char* line;        // the refusal logged, or "" for a correction
    bool teleNan = false;    // the telescope reports its declination as NaN
  } cases[] = {
      {TAutoMode::Slew, 3.0, 0.0, "[Plate-Solve] Aborted, corrected pos. > 2 deg"},
      // Offsets below the target count by their size too.
      {TAutoMode::Slew, -3.0, 0.0, "[Plate-Solve] Aborted, corrected pos. > 2 deg"},
      {TAutoMode::Slew, 0.0, -2.5, "[Plate-Solve] Aborted, corrected pos. > 2 deg"},
      {TAutoMode::Slew, 0.0, 75.0, "[Plate-Solve] Aborted, position not valid"},
      {TAutoMode::Sync, 11.0, 0.0, "[Plate-Solve] Aborted, corrected pos. > 10 deg"},
      {TAutoMode::Goto, 0.0, -11.0, "[Plate-Solve] Aborted, corrected pos. > 10 deg"},
      // NaN from a device fails every range check, not only the finite ones.
      {TAutoMode::Slew, NAN, 0.0, "[Plate-Solve] Aborted, position not valid"},
      {TAutoMode::Sync, 0.0, NAN, "[Plate-Solve] Aborted, position not valid"},
      {TAutoMode::Goto, 0.1, 0.0, "[Plate-Solve] Aborted, position not valid", true},
  };
  for (const Case& c : cases) {
    LogLines().Clear();
    mount.calls.clear();
    mount.ra = mount.targetRa;
    mount.dec = c.teleNan ? NAN : mount.targetDec;
    logic.Mode = c.mode;
    logic.CorrectPointingTo(mount.targetRa + c.dRaDeg * kDeg, mount.targetDec + c.dDecDeg * kDeg);
    EXPECT_TRUE(Logged(c.line)) << c.line << " / " << LogLines().LastLine();
    EXPECT_TRUE(mount.calls.empty()) << c.line;
  }

  // Sync then goto the target.
  mount.calls.clear();
  logic.Mode = TAutoMode::Sync;
  logic.CorrectPointingTo(mount.targetRa + 0.2 * kDeg, mount.targetDec);
  EXPECT_EQ(mount.calls, (std::vector<std::string>{"sync", "goto"}));

  // Solved 0.5 degree east of the target at gain 0.062: an RA move of
  // 0.5 x 60,000 x 0.062 = 1,860 ms west, toward the target; 0.25 degree
  // south at gain 0.1: 1,500 ms north.
  mount.calls.clear();
  logic.Mode = TAutoMode::Slew;
  logic.Sel.SlewRAGain = "0.062";
  logic.Sel.SlewDECGain = "0.1";
  logic.CorrectPointingTo(mount.targetRa + 0.5 * kDeg, mount.targetDec - 0.25 * kDeg);
  EXPECT_EQ(logic.LastRaMoveMs(), 1860);
  EXPECT_EQ(logic.LastRaDirection(), 'W');
  EXPECT_EQ(logic.LastDecMoveMs(), 1500);
  EXPECT_EQ(logic.LastDecDirection(), 'N');
  ASSERT_TRUE(WaitFor([&] { return !logic.GuideMoving(); }, testing_support::kWaitMs));
  EXPECT_EQ(mount.calls, (std::vector<std::string>{"rate 5", "start W", "stop W", "start N", "stop N"}));
  // A gain out of range is reset and nothing moves.
  mount.calls.clear();
  logic.Sel.SlewRAGain = "7";
  logic.CorrectPointingTo(mount.targetRa + 0.5 * kDeg, mount.targetDec);
  EXPECT_EQ(logic.Sel.SlewRAGain, "0.0");
  EXPECT_TRUE(mount.calls.empty());
}

// "Guide to corrected location" with default settings on the simulated
// mount (LX200 moves, ":R5#" 16 x 1/160 = 0.1 degree a second): a field
// solved east and south of the goto's target moves the mount onto it.
TEST(PlateSolveWindow, GuidedCorrectionMovesTheSimulatedMountTowardTheTarget) {
  platform::TSimTelescopeConfig config;
  config.driverInfo = "Meade Autostar simulator";
  config.protocol = platform::TSimProtocol::Meade;
  config.canSetGuideRates = false;
  config.guideRateDegPerSec = 0.1 / 16;
  auto sim = std::make_shared<platform::TSimTelescope>(config);
  sim->SetPointing(4.0, 15.0);
  platform::RegisterDriver({"Test.GuidedMount", "Telescope", "test", [sim] { return sim; }});
  J2000Host host;
  TTeleControl tele{&host};
  tele.name = "Test.GuidedMount";
  tele.ConnectClick();
  ASSERT_TRUE(tele.GotoRaDec(60 * kDeg, 15 * kDeg));
  ASSERT_TRUE(WaitFor([&] { return !sim->IsSlewing(); }, testing_support::kWaitMs));
  sim->SetPointing(60.08 / 15, 14.95);  // 0.08 degree east, 0.05 south
  TTeleMount mount(&tele);
  TPlateSolveLogic logic(&mount, {}, [](const std::string&) -> TCamera* { return nullptr; });
  logic.Mode = TAutoMode::Slew;
  logic.Sel.SlewRAGain = logic.Sel.SlewDECGain = "0.16667";  // 60,000 ms x 1/6: 10 s a degree
  logic.CorrectPointingTo(sim->RaHours() * 15 * kDeg, sim->DecDegrees() * kDeg);
  ASSERT_TRUE(WaitFor([&] { return !logic.GuideMoving(); }, testing_support::kWaitMs));
  EXPECT_NEAR(sim->RaHours() * 15, 60.0, 0.016) << "a fifth of the offset left at most";
  EXPECT_NEAR(sim->DecDegrees(), 15.0, 0.01);
  tele.Disconnect();
}

// Timed solves come 305 s after the last attempt, solved or not.
TEST(PlateSolveWindow, TimedSolvesCountFromTheLastAttempt) {
  LogLines().Clear();
  ImagingSettingsDoc().Doc.Clear();
  FakeCamera camera;
  FakeMount mount;
  mount.connected = false;
  uint32_t offset = 0;
  platform::SetTimeGetTimeOffsetForTest(offset);
  TPlateSolveLogic logic(&mount, {}, [&](const std::string&) -> TCamera* { return &camera; });
  logic.ImageSource = "Image File";
  logic.Mode = TAutoMode::Timed;
  logic.PlateSolveTimer1Timer();
  logic.SolveNowClick();
  logic.PlateSolveTimer1Timer();  // an attempt starts
  camera.SetConnected(false);     // and fails
  logic.PlateSolveTimer1Timer();
  LogLines().Clear();
  platform::SetTimeGetTimeOffsetForTest(offset += 304000);
  logic.PlateSolveTimer1Timer();
  EXPECT_FALSE(Logged("[Plate-Solve] 5 minutes elapsed, initiating solve"));
  platform::SetTimeGetTimeOffsetForTest(offset += 1500);
  logic.PlateSolveTimer1Timer();
  EXPECT_TRUE(Logged("[Plate-Solve] 5 minutes elapsed, initiating solve"));
  EXPECT_EQ(camera.ExposureState, 1);
  platform::SetTimeGetTimeOffsetForTest(0);
}

// "Refine": the first guided correction asks for a second solve, which
// corrects towards the stored target and ends the refinement.
TEST(PlateSolveWindow, RefineSolvesAndGuidesTwice) {
  LogLines().Clear();
  ImagingSettingsDoc().Doc.Clear();
  FakeCamera camera;
  FakeMount mount;
  mount.targetRa = 50 * kDeg;
  mount.targetDec = 10 * kDeg;
  TPlateSolveLogic logic(&mount, {}, [&](const std::string&) -> TCamera* { return &camera; });
  logic.ImageSource = "Image File";
  logic.PlateSolveTimer1Timer();
  logic.Mode = TAutoMode::Slew;
  logic.Sel.SlewTwice = true;
  logic.Sel.SlewRAGain = "0.1";
  logic.Sel.SlewDECGain = "0.1";
  logic.CorrectPointingTo(mount.targetRa + 0.4 * kDeg, mount.targetDec);
  EXPECT_EQ(logic.LastRaMoveMs(), 2400);
  ASSERT_TRUE(WaitFor([&] { return !logic.GuideMoving(); }, testing_support::kWaitMs));
  // The next tick asks for the second solve.
  logic.PlateSolveTimer1Timer();
  EXPECT_TRUE(Logged("[Plate-Solve] Guide phase 2."));
  EXPECT_EQ(camera.ExposureState, 1) << "second exposure started";
  // A goto elsewhere meanwhile does not change the refined target.
  mount.targetRa = 80 * kDeg;
  logic.CorrectPointingTo(50.1 * kDeg, 10 * kDeg);
  EXPECT_EQ(logic.LastRaMoveMs(), 600) << "0.1 degree from the stored target";
  EXPECT_TRUE(Logged("[Plate-Solve] Guide done."));
  ASSERT_TRUE(WaitFor([&] { return !logic.GuideMoving(); }, testing_support::kWaitMs));
}

// The position hints are the solver's J2000: the mount's position (the
// chart's, of date while the chart precesses) is taken back to J2000.
TEST(PlateSolveWindow, TelescopeHintsAreJ2000) {
  // Vega, J2000 (Hipparcos) and its mean place of 2026-01-10 0h TT by the
  // IAU 1976 precession (ERFA pmat76(2461050.5, 0)).
  constexpr double kRa2000 = 279.23473479, kDec2000 = 38.78368896;
  constexpr double kRaDate = 279.4532712912523, kDecDate = 38.807212695247465;
  const TObserverTime saved = ObserverTime;
  ObserverTime.PrecessionOn = 1;
  ObserverTime.EpochTo = 2461050.5;
  FakeCamera camera;
  FakeMount mount;
  mount.ra = kRaDate * kDeg;
  mount.dec = kDecDate * kDeg;
  TPlateSolveLogic logic(&mount, {}, [&](const std::string&) -> TCamera* { return &camera; });
  logic.ImageSource = "Image File";
  logic.TeleCoords = true;
  logic.PlateSolveTimer1Timer();
  ObserverTime = saved;
  // 0.1″: the precession's series against ERFA's.
  EXPECT_NEAR(logic.Sel.PositionRA, kRa2000, 0.1 / 3600.0);
  EXPECT_NEAR(logic.Sel.PositionDEC, kDec2000, 0.1 / 3600.0);
}
