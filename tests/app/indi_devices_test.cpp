// An INDI camera in the real program against INDI's CCD simulator
// (indiserver runs indi_simulator_ccd on a free port): chosen in the
// driver chooser's INDI box of Connections > Cameras, connected there, and
// exposed by the imaging console's Start, which saves its picture. A camera
// slot saved with the mount form of the identifier connects the camera too.
// The program itself ends cleanly while the camera waits for its stopped
// server.
#include <signal.h>

#include <QApplication>
#include <QComboBox>
#include <QDialog>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>
#include <filesystem>
#include <fstream>

#include "imaging/ascom_camera.h"
#include "imaging/fits.h"
#include "imaging/forms/ascom_camera_forms.h"
#include "imaging/forms/imaging_windows.h"
#include "platform/registry.h"
#include "tests/app/startup_fixture.h"
#include "tests/support/indi_server.h"

using startup_fixture::kEventWaitMs;
using startup_fixture::LaunchProgram;
using startup_fixture::OpenModally;
using startup_fixture::RunEventsUntil;
using IndiDevices = startup_fixture::StartUpFixture;

namespace {

// The FITS pictures under `folder` (any depth).
std::vector<std::filesystem::path> Pictures(const std::string& folder) {
  std::vector<std::filesystem::path> out;
  std::error_code ec;
  for (auto it = std::filesystem::recursive_directory_iterator(folder, ec);
       !ec && it != std::filesystem::recursive_directory_iterator(); it.increment(ec))
    if (it->path().extension() == ".fts") out.push_back(it->path());
  return out;
}

}  // namespace

TEST_F(IndiDevices, ACameraChosenInTheChoosersIndiBoxSavesAPicture) {
  const QStringList drivers = {"indi_simulator_ccd"};
  NOCTRA_REQUIRE_TOOL(testing_support::HaveIndi(drivers), "indiserver (or indi_simulator_ccd)", "indi-bin");
  testing_support::IndiServer server(drivers);
  ASSERT_TRUE(server.Start()) << "indiserver did not start";
  const QString port = QString::number(server.port);
  // Slot 1 as an earlier choice in the chooser's INDI box saved it.
  platform::TRegIniFile().WriteString("ASCOM", "ASCOMCAMERA1_NAME",
                                      "INDI:127.0.0.1:" + port.toStdString() + ":CCD Simulator");
  ASSERT_TRUE(form->StartUp());
  form->CreateProgramWindows();

  bool savedFormConnected = false;
  std::string chosen;
  OpenModally(*form, form->Camera1, [&] {
    auto* w = qobject_cast<imaging::TAscomCameraForm1*>(QApplication::activeModalWidget());
    if (!w) return;
    w->Connect1->click();
    savedFormConnected = imaging::AscomCameraSlots()->Camera(1) != nullptr;
    w->Disconnect1->click();
    // "Select Camera #2": host, port and device typed into the INDI box, OK.
    QTimer::singleShot(0, [&] {
      auto* chooser = qobject_cast<QDialog*>(QApplication::activeModalWidget());
      if (!chooser) return;
      chooser->findChild<QLineEdit*>("IndiHost")->setText("127.0.0.1");
      chooser->findChild<QLineEdit*>("IndiPort")->setText(port);
      chooser->findChild<QLineEdit*>("IndiDevice")->setText("CCD Simulator");
      chooser->accept();
    });
    w->Select2->click();
    chosen = w->Name2->text().toStdString();
    w->Connect2->click();
  });
  EXPECT_TRUE(savedFormConnected) << (dialogs.Count() ? dialogs.Last().text : "");
  EXPECT_EQ(chosen, "INDICAM:127.0.0.1:" + port.toStdString() + ":CCD Simulator");
  ASSERT_NE(imaging::AscomCameraSlots()->Camera(2), nullptr) << (dialogs.Count() ? dialogs.Last().text : "");

  // Imaging > Imaging Console: the camera chosen, Start, one frame saved.
  form->Imaging2->trigger();
  imaging::TIcForm1* ic = imaging::IcForm1();
  ASSERT_TRUE(ic && ic->isVisible());
  int source = -1;
  ASSERT_TRUE(RunEventsUntil(
      [&] { return (source = ic->ImageSource->findText(QStringLiteral("ASCOM Camera #2"))) >= 0; }, kEventWaitMs));
  ic->ImageSource->setCurrentIndex(source);
  emit ic->ImageSource->activated(source);  // as a user's choice
  ic->Path->setText(QString::fromStdString(home.File("images")));
  ic->ExposureTime->setText(QStringLiteral("0.5"));
  ic->ExposureNum->setText(QStringLiteral("1"));
  ASSERT_TRUE(RunEventsUntil([&] { return ic->Logic.Camera() != nullptr; }, kEventWaitMs)) << ic->Logic.Status();
  ic->Start->click();
  ASSERT_TRUE(RunEventsUntil([&] { return !ic->Logic.StartDown(); }, 60000)) << ic->Logic.Status();
  EXPECT_FALSE(ic->Logic.SeriesFailed()) << ic->Logic.Status();
  const std::vector<std::filesystem::path> saved = Pictures(home.File("images"));
  ASSERT_EQ(saved.size(), 1u) << ic->Logic.Status();
  std::ifstream in(saved[0], std::ios::binary);
  imaging::TFitsHeader h;
  imaging::FitsData data;
  ASSERT_TRUE(imaging::LoadFitsHeader(in, h, data));
  const int32_t width = imaging::AscomCameraSlots()->Camera(2)->Driver().Get("CameraXSize").AsInt();
  EXPECT_EQ(h.NAxis1, width);
  EXPECT_DOUBLE_EQ(h.ExposureTime, 0.5);
  if (const char* shot = std::getenv("NOCTRA_INDI_CONSOLE_SHOT")) ic->grab().save(QString::fromUtf8(shot));
  imaging::AscomCameraSlots()->DisconnectClick(2);
  EXPECT_EQ(imaging::AscomCameraSlots()->Camera(2), nullptr);
}

// The real program, its camera #1 connected to the CCD simulator, and the
// server stopped (SIGSTOP): Disconnect waits for the server's answer with
// the program running on, and the end is asked for meanwhile. File > Exit
// (chosen during the wait), the server going on once the end's heartbeat
// has closed the Cameras window, so that it answers while the program
// ends; or SIGTERM, the server going on only once the program is gone,
// which the silent server must not hold. Either way the program ends with
// status 0, never freeing the camera under its waiting call, and writes
// its settings. (A test user in the program, tests/app/driver, presses the
// buttons and says when the call waits and when the window closed.)
TEST_F(IndiDevices, TheRealProgramEndsCleanlyWhileACameraWaitsForItsStoppedServer) {
  const QStringList drivers = {"indi_simulator_ccd"};
  NOCTRA_REQUIRE_TOOL(testing_support::HaveIndi(drivers), "indiserver (or indi_simulator_ccd)", "indi-bin");
  testing_support::IndiServer server(drivers);
  ASSERT_TRUE(server.Start()) << "indiserver did not start";
  const pid_t serverPid = pid_t(server.Pid());
  for (const bool exit : {true, false}) {
    SCOPED_TRACE(exit ? "File > Exit, the server continued while the program ends"
                      : "SIGTERM, the server continued after the end");
    const std::string user = home.File(exit ? "exit/" : "signal/"), run = startup_fixture::RunFolder(user + "run/");
    const std::string driven = user + "driven/";
    std::filesystem::create_directories(driven);
    std::filesystem::create_directories(user + ".config/Tarvel Software");
    testing_support::WriteText(user + ".config/Tarvel Software/Noctra Planetarium.ini",
                               "[ASCOM]\nASCOMCAMERA1_NAME=INDI:127.0.0.1:" + std::to_string(server.port) +
                                   ":CCD Simulator\n");
    QProcessEnvironment env;
    env.insert(QStringLiteral("QT_PLUGIN_PATH"), QStringLiteral(NOCTRA_DRIVER_PLUGINS));
    env.insert(QStringLiteral("QT_QPA_GENERIC_PLUGINS"), QStringLiteral("noctradriver"));
    env.insert(QStringLiteral("NOCTRA_DRIVER_DIR"), QString::fromStdString(driven));
    env.insert(QStringLiteral("NOCTRA_DRIVER_END"), exit ? QStringLiteral("exit") : QStringLiteral("signal"));
    QProcess program;
    LaunchProgram(program, user, run, {}, env);
    auto said = [&](const char* file) { return testing_support::ReadText(driven + file); };
    ASSERT_TRUE(RunEventsUntil(
        [&] { return !said("connected").empty() || program.state() == QProcess::NotRunning; }, 2 * kEventWaitMs));
    ASSERT_EQ(said("connected"), "ok") << program.readAllStandardError().toStdString();
    ASSERT_EQ(::kill(serverPid, SIGSTOP), 0);
    testing_support::WriteText(driven + "go", "");
    ASSERT_TRUE(RunEventsUntil([&] { return !said("waiting").empty(); }, kEventWaitMs));
    EXPECT_EQ(said("waiting"), "1");
    if (exit) {
      EXPECT_TRUE(RunEventsUntil([&] { return !said("closing").empty(); }, kEventWaitMs));
      ::kill(serverPid, SIGCONT);
    } else {
      ::kill(pid_t(program.processId()), SIGTERM);
    }
    const bool ended = program.waitForFinished(kEventWaitMs);
    ::kill(serverPid, SIGCONT);
    ASSERT_TRUE(ended) << "the program did not end";
    EXPECT_TRUE(program.exitStatus() == QProcess::NormalExit && program.exitCode() == 0)
        << program.exitStatus() << " " << program.exitCode() << "\n"
        << program.readAllStandardError().toStdString();
    for (const char* file : {"ImagingSettings.xml", "ImagingConsoleSettings.xml", "AutoGuideSettings.xml",
                             "PlateSolveSettings.xml"})
      EXPECT_TRUE(platform::FileExists(run + file)) << file;
  }
}
