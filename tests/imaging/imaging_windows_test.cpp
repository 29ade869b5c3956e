// The imaging windows over their logic: created hidden, wired to the camera
// list, settings written when they go. NOCTRA_SHOT_DIR set: each window is
// also saved as a PNG there for a look.
#include <gtest/gtest.h>

#include <QComboBox>
#include <QFile>
#include <QTemporaryDir>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QPushButton>
#include <QThread>

#include "imaging/ascom_camera.h"
#include "imaging/camera_setup.h"
#include "imaging/camera_sim.h"
#include "imaging/forms/imaging_windows.h"
#include "imaging/imaging_settings.h"

using namespace imaging;

TEST(ImagingWindows, CreatedWithTheirListsAndSaveTheirSettings) {
  QTemporaryDir dir;
  const std::string folder = dir.path().toStdString() + "/";
  ImagingSettingsDoc().Doc.Clear();
  CreateCameras(folder + "ImagingSettings.xml");
  CreateImagingWindows(nullptr, folder);
  ASSERT_NE(IcForm1(), nullptr);
  ASSERT_NE(AutoGuideForm(), nullptr);
  ASSERT_NE(PlateSolveForm1(), nullptr);
  EXPECT_EQ(IcForm1()->windowTitle(), "Imaging Console");
  EXPECT_EQ(AutoGuideForm()->windowTitle(), "Autoguiding");
  EXPECT_EQ(PlateSolveForm1()->windowTitle(), "Plate Solving");
  // The image-file camera exists on every computer: each list offers it.
  for (QComboBox* box : {IcForm1()->ImageSource, AutoGuideForm()->ImageSource, PlateSolveForm1()->ImageSource})
    EXPECT_GE(box->findText("Image File"), 1);
  // The console takes the camera; the plate solver may use the console's.
  IcForm1()->ImageSource->setCurrentText("Image File");
  IcForm1()->SequenceTimer1Timer();
  EXPECT_NE(IcForm1()->Logic.Camera(), nullptr);
  PlateSolveForm1()->ImageSource->setCurrentText("Image File");
  PlateSolveForm1()->PlateSolveTimer1Timer();
  EXPECT_NE(PlateSolveForm1()->Logic.Camera(), nullptr);
  AutoGuideForm()->ImageSource->setCurrentText("Image File");
  AutoGuideForm()->SequenceTimer();
  EXPECT_EQ(AutoGuideForm()->Logic.Camera(), nullptr) << "in use by the console";
  // A driver camera announced by the ASCOM camera window appears in the
  // lists; a preview on it shows the simulator's picture.
  RegisterSimCameraDriver();
  {
    TAscomCameraSlots cams;
    cams[1].name = "Noctra.Simulator.Camera";
    cams.ConnectClick(1);
    IcForm1()->SequenceTimer1Timer();
    PlateSolveForm1()->PlateSolveTimer1Timer();
    ASSERT_GE(IcForm1()->ImageSource->findText("ASCOM Camera #1"), 1);
    EXPECT_GE(PlateSolveForm1()->ImageSource->findText("ASCOM Camera #1"), 1);
    IcForm1()->ImageSource->setCurrentText("ASCOM Camera #1");
    IcForm1()->ExposureTime->setText("0.1");
    IcForm1()->CrossHair->setCurrentText("Bullseye");
    IcForm1()->SequenceTimer1Timer();
    ASSERT_EQ(IcForm1()->Logic.Camera(), cams.Camera(1));
    IcForm1()->Preview->setChecked(true);
    QElapsedTimer t;
    t.start();
    while (!IcForm1()->Logic.Image() && t.elapsed() < 10000) {
      IcForm1()->SequenceTimer1Timer();
      QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
      QThread::msleep(20);
    }
    ASSERT_NE(IcForm1()->Logic.Image(), nullptr);
    EXPECT_EQ(IcForm1()->Image1->PictureWidth(), 640);
    IcForm1()->Preview->setChecked(false);
    IcForm1()->SequenceTimer1Timer();
    const QByteArray shots = qgetenv("NOCTRA_SHOT_DIR");
    if (!shots.isEmpty()) {
      IcForm1()->show();
      IcForm1()->grab().save(QString::fromUtf8(shots) + "/console_preview.png");
    }
    cams.DisconnectClick(1);
    EXPECT_EQ(IcForm1()->Logic.Camera(), nullptr) << "released before the camera goes";
  }
  const QByteArray shots = qgetenv("NOCTRA_SHOT_DIR");
  if (!shots.isEmpty()) {
    for (QWidget* w : std::initializer_list<QWidget*>{IcForm1(), AutoGuideForm(), PlateSolveForm1()}) {
      w->show();
      w->grab().save(QString::fromUtf8(shots) + "/" + w->windowTitle() + ".png");
    }
  }
  FreeImagingWindows();
  FreeCameras();
  for (const char* f : {"ImagingConsoleSettings.xml", "AutoGuideSettings.xml", "PlateSolveSettings.xml"})
    EXPECT_TRUE(QFile::exists(QString::fromStdString(folder + f))) << f;
}
