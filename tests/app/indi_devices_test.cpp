// An INDI camera in the real program against INDI's CCD simulator
// (indiserver runs indi_simulator_ccd on a free port): chosen in the
// driver chooser's INDI box of Connections > Cameras, connected there, and
// exposed by the imaging console's Start, which saves its picture. A camera
// slot saved with the mount form of the identifier connects the camera too.
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
