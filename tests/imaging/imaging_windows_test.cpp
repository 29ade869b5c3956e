// The imaging windows over their logic: created hidden, wired to the camera
// list, settings written when they go. NOCTRA_SHOT_DIR set: each window is
// also saved as a PNG there for a look.
#include <gtest/gtest.h>

#include <QComboBox>
#include <QFile>
#include <QTemporaryDir>

#include <QCheckBox>
#include <QCoreApplication>
#include <QDoubleSpinBox>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QSlider>
#include <QSpinBox>
#include <QTest>
#include <QThread>

#include "imaging/ascom_camera.h"
#include "imaging/camera_setup.h"
#include "imaging/camera_sim.h"
#include "imaging/forms/imaging_windows.h"
#include "imaging/imaging_settings.h"
#include "platform/automation_sim.h"
#include "platform/dialogs.h"
#include "shell/log_lines.h"
#include "telescope/accessories.h"
#include "telescope/tele_control.h"
#include "tests/support/test_support.h"

using namespace imaging;

namespace {

// The cameras and the imaging windows made afresh with their settings in
// `dir`; returns the folder, ending in "/".
std::string CreateWindowsIn(const QTemporaryDir& dir) {
  const std::string folder = dir.path().toStdString() + "/";
  ImagingSettingsDoc().Doc.Clear();
  CreateCameras(folder + "ImagingSettings.xml");
  CreateImagingWindows(nullptr, folder);
  return folder;
}

}  // namespace

TEST(ImagingWindows, CreatedWithTheirListsAndSaveTheirSettings) {
  QTemporaryDir dir;
  const std::string folder = CreateWindowsIn(dir);
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
    while (!IcForm1()->Logic.Image() && t.elapsed() < testing_support::kWaitMs) {
      IcForm1()->SequenceTimer1Timer();
      QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
      QThread::msleep(20);
    }
    ASSERT_NE(IcForm1()->Logic.Image(), nullptr);
    EXPECT_EQ(IcForm1()->Image1->PictureWidth(), 640);
    IcForm1()->Preview->setChecked(false);
    IcForm1()->SequenceTimer1Timer();
    // A double click at 50 % shows the picture 10 x and centres the point
    // clicked (x 20 on the magnified picture); the size choice waits.
    IcForm1()->show();
    IcForm1()->ImageSize->setCurrentText("50%");
    IcForm1()->CrossHair->setCurrentText("None");
    EXPECT_EQ(IcForm1()->Image1->width(), 320);
    QTest::mouseDClick(IcForm1()->Image1, Qt::LeftButton, {}, QPoint(100, 80));
    EXPECT_EQ(IcForm1()->Image1->width(), 6400);
    EXPECT_FALSE(IcForm1()->ImageSize->isEnabled());
    QWidget* view = IcForm1()->ScrollBox1->viewport();
    EXPECT_EQ(IcForm1()->ScrollBox1->horizontalScrollBar()->value(),
              100 * 20 - int(std::nearbyint(view->width() / 2.0)));
    EXPECT_EQ(IcForm1()->ScrollBox1->verticalScrollBar()->value(),
              80 * 20 - int(std::nearbyint(view->height() / 2.0)));
    // The part in view shows the picture's own pixels as 10 x 10 blocks.
    const QImage seen = view->grab().toImage(), &pic = IcForm1()->Logic.Image()->Bitmap().Image();
    const int sx = IcForm1()->ScrollBox1->horizontalScrollBar()->value(), sy = IcForm1()->ScrollBox1->verticalScrollBar()->value();
    int wrong = 0;
    for (int y = 0; y < seen.height(); y += 3)
      for (int x = 0; x < seen.width(); x += 3) wrong += ((seen.pixel(x, y) ^ pic.pixel((sx + x) / 10, (sy + y) / 10)) & 0xFFFFFF) != 0;
    EXPECT_EQ(wrong, 0);
    // A click more than a second later centres the point clicked.
    platform::SetTimeGetTimeOffsetForTest(2000);
    QTest::mouseClick(IcForm1()->Image1, Qt::LeftButton, {}, QPoint(3000, 2000));
    platform::SetTimeGetTimeOffsetForTest(0);
    EXPECT_EQ(IcForm1()->ScrollBox1->horizontalScrollBar()->value(),
              3000 - int(std::nearbyint(view->width() / 2.0)));
    QTest::mouseDClick(IcForm1()->Image1, Qt::LeftButton, {}, QPoint(10, 10));
    EXPECT_EQ(IcForm1()->Image1->width(), 320);
    EXPECT_TRUE(IcForm1()->ImageSize->isEnabled());
    EXPECT_EQ(IcForm1()->ScrollBox1->horizontalScrollBar()->value(), 0);
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

// The console's window when its camera goes under a preview (Disconnect in
// the "ASCOM Cameras" window): at once the Preview button is up, the source
// list usable at "None", the camera gone from it, and the status line says
// why, also on the ticks after; connected again, the camera is chosen in
// the list and previews. The plate solver's list is free as well.
TEST(ImagingWindows, ConsoleWindowAfterItsCameraWentAway) {
  QTemporaryDir dir;
  CreateWindowsIn(dir);
  RegisterSimCameraDriver();
  TAscomCameraSlots cams;
  cams[1].name = "Noctra.Simulator.Camera";
  cams.ConnectClick(1);
  TIcForm1* ic = IcForm1();
  ic->SequenceTimer1Timer();
  ic->ImageSource->setCurrentText("ASCOM Camera #1");
  ic->ExposureTime->setText("0.05");
  ic->SequenceTimer1Timer();
  ASSERT_EQ(ic->Logic.Camera(), cams.Camera(1));
  ic->Preview->setChecked(true);
  ic->SequenceTimer1Timer();
  ASSERT_FALSE(ic->ImageSource->isEnabled());
  cams.DisconnectClick(1);
  EXPECT_FALSE(ic->Preview->isChecked());
  EXPECT_TRUE(ic->ImageSource->isEnabled());
  EXPECT_EQ(ic->ImageSource->currentText(), "None");
  EXPECT_EQ(ic->ImageSource->findText("ASCOM Camera #1"), -1);
  EXPECT_EQ(PlateSolveForm1()->ImageSource->findText("ASCOM Camera #1"), -1);
  const QString error = "Error: Camera disconnected: ASCOM Camera #1 was disconnected in the \"ASCOM Cameras\" window";
  for (int i = 0; i < 3; ++i) ic->SequenceTimer1Timer();
  EXPECT_EQ(ic->StatusBar1->text(), error);
  EXPECT_TRUE(ic->ImageSource->isEnabled());
  EXPECT_EQ(ic->ImageSource->currentText(), "None");
  const QByteArray shots = qgetenv("NOCTRA_SHOT_DIR");
  if (!shots.isEmpty()) {
    ic->show();
    ic->grab().save(QString::fromUtf8(shots) + "/console_camera_gone.png");
  }
  cams.ConnectClick(1);
  ic->SequenceTimer1Timer();
  ic->ImageSource->setCurrentText("ASCOM Camera #1");
  ic->SequenceTimer1Timer();
  ASSERT_EQ(ic->Logic.Camera(), cams.Camera(1));
  EXPECT_EQ(ic->StatusBar1->text(), "Idle");
  EXPECT_TRUE(ic->Preview->isEnabled());
  ic->Preview->setChecked(true);
  EXPECT_TRUE(testing_support::RunEventsUntil([&] { return ic->Logic.Image() != nullptr; })) << ic->Logic.Status();
  ic->Preview->setChecked(false);
  FreeImagingWindows();
  FreeCameras();
}

// What the user types into the console and the autoguider survives the
// windows' end: the folder typed relative is kept as the folder it named
// in the settings' folder, the sub-folder and file name templates as typed.
TEST(ImagingWindows, SettingsTypedSurviveTheEnd) {
  QTemporaryDir dir;
  const std::string folder = CreateWindowsIn(dir);
  TIcForm1* ic = IcForm1();
  ic->ExposureTime->setText("2.5");
  ic->ExposureNum->setText("12");
  ic->Path->setText("pics");
  emit ic->Path->editingFinished();
  ic->DirName->setText("M27/[filt]");
  ic->FileName->setText("M27_[fp]_[seq]");
  ic->SaveAsType->setCurrentIndex(3);
  ic->FocusMoveAmount->setText("40");
  TAutoGuideForm* g = AutoGuideForm();
  g->ExposureTime->setText("3");
  g->GuideRate->setCurrentIndex(1);
  emit g->GuideRate->activated(1);
  g->Porportional->setValue(40);
  g->Integral->setValue(30);
  g->Sd->setValue(2.5);
  g->Background->setValue(3.5);
  g->BacklashComp->setChecked(!g->BacklashComp->isChecked());
  const bool backlash = g->BacklashComp->isChecked();
  FreeImagingWindows();
  FreeCameras();
  CreateWindowsIn(dir);
  ic = IcForm1();
  EXPECT_EQ(ic->ExposureTime->text(), "2.5");
  EXPECT_EQ(ic->ExposureNum->text(), "12");
  EXPECT_EQ(ic->Path->text().toStdString(), folder + "pics");
  EXPECT_EQ(ic->DirName->text(), "M27/[filt]");
  EXPECT_EQ(ic->FileName->text(), "M27_[fp]_[seq]");
  EXPECT_EQ(ic->SaveAsType->currentIndex(), 3);
  EXPECT_EQ(ic->FocusMoveAmount->text(), "40");
  g = AutoGuideForm();
  EXPECT_EQ(g->ExposureTime->text(), "3");
  EXPECT_EQ(g->GuideRate->currentIndex(), 1);
  EXPECT_EQ(g->Porportional->value(), 40);
  EXPECT_EQ(g->Integral->value(), 30);
  EXPECT_DOUBLE_EQ(g->Sd->value(), 2.5);
  EXPECT_DOUBLE_EQ(g->Background->value(), 3.5);
  EXPECT_EQ(g->BacklashComp->isChecked(), backlash);
  FreeImagingWindows();
  FreeCameras();
}

// The console's level counters and exposure up-down, its folder dialog;
// the plate solver's frame size, solver choice and drop folder.
TEST(ImagingWindows, ConsoleAndPlateSolveControls) {
  QTemporaryDir dir;
  const std::string folder = CreateWindowsIn(dir);
  TIcForm1* ic = IcForm1();
  ic->show();
  platform::ScopedScriptedDialogs dialogs;

  // Low dragged above High pulls High along; the counters follow
  // (position = level - 32768); a counter step unticks the auto levels.
  ic->MinLevel->setValue(40000);
  EXPECT_EQ(ic->MaxLevel->value(), 65535);
  ic->MaxLevel->setValue(30000);
  EXPECT_EQ(ic->MinLevel->value(), 30000);
  EXPECT_EQ(ic->LowUpDown->value(), 30000 - 32768);
  EXPECT_EQ(ic->High->text(), "30000");
  EXPECT_TRUE(ic->AutoLevels->isChecked());
  ic->HighUpDown->stepBy(1);
  EXPECT_EQ(ic->MaxLevel->value(), 30010);
  EXPECT_EQ(ic->High->text(), "30010");
  EXPECT_FALSE(ic->AutoLevels->isChecked());

  // Without a camera every exposure step may be chosen.
  ic->ExpTimeUpDown->setValue(12);
  EXPECT_EQ(ic->ExposureTime->text(), "5");

  // The folder dialog answers through the platform's dialogs; cancelled, Path stays.
  const std::string pics = folder + "pics";
  dialogs.QueueFolder(pics);
  QTest::mouseClick(ic->OpenPathDialog, Qt::LeftButton);
  EXPECT_EQ(ic->Path->text().toStdString(), pics + "/");
  EXPECT_EQ(dialogs.Last().kind, platform::DialogRecord::Folder);
  EXPECT_EQ(dialogs.Last().text, "Select a folder");
  QTest::mouseClick(ic->OpenPathDialog, Qt::LeftButton);
  EXPECT_EQ(ic->Path->text().toStdString(), pics + "/");
  // No filter-wheel window offered: its button is off.
  ic->SequenceTimer1Timer();
  EXPECT_FALSE(ic->FilterwheelSettings->isEnabled());
  int shown = 0;
  ShowFilterWheelWindow = [&] { ++shown; };
  ic->SequenceTimer1Timer();
  QTest::mouseClick(ic->FilterwheelSettings, Qt::LeftButton);
  EXPECT_EQ(shown, 1);
  ShowFilterWheelWindow = nullptr;

  // An absolute focuser: "Go" sends the typed position and its position
  // is shown; a relative one steps "In" and "Out".
  platform::RegisterSimulatorDrivers();
  for (const char* driver : {"Noctra.Simulator.Focuser", "Noctra.Simulator.Focuser.Relative"}) {
    TFocuserControl focuser;
    SetFocuserControl(&focuser);
    focuser.name = driver;
    focuser.ConnectClick();
    ASSERT_TRUE(focuser.Connected()) << driver;
    ic->SequenceTimer1Timer();
    const bool absolute = focuser.GetAbsolute();
    EXPECT_EQ(ic->FocusOut->text(), absolute ? "Go" : "Out") << driver;
    EXPECT_EQ(ic->FocusLabel->text(), absolute ? "Position:" : "Step:") << driver;
    EXPECT_EQ(ic->FocusCurrentPosition->isVisibleTo(ic), absolute) << driver;
    EXPECT_EQ(ic->FocusIn->isVisibleTo(ic), !absolute) << driver;
    if (absolute) {
      EXPECT_EQ(ic->FocusCurrentPosition->text(), QString::number(focuser.GetPosition()));
      // The simulator's 10,000-step maximum increment limits the move.
      ic->FocusMoveAmount->setText("40000");
      QTest::mouseClick(ic->FocusOut, Qt::LeftButton);
      EXPECT_TRUE(focuser.IsMoving());
      EXPECT_TRUE(LogLines().Lines().empty() || LogLines().LastLine().find("Move failed") == std::string::npos);
      if (!qgetenv("NOCTRA_SHOT_DIR").isEmpty())
        ic->grab().save(QString::fromUtf8(qgetenv("NOCTRA_SHOT_DIR")) + "/console_focuser.png");
    }
    focuser.DisconnectClick();
    SetFocuserControl(nullptr);
    ic->SequenceTimer1Timer();
  }
  EXPECT_EQ(ic->FocusOut->text(), "Out");

  TPlateSolveForm1* ps = PlateSolveForm1();
  ps->show();
  const struct {
    QLineEdit* edit;
    const char *typed, *kept;
    int32_t* field;
  } sizes[] = {{ps->XSize, "1001", "1000", &ps->Logic.Sel.FieldSizeX},
               {ps->XSize, "100", "320", &ps->Logic.Sel.FieldSizeX},
               {ps->YSize, "250", "248", &ps->Logic.Sel.FieldSizeY},
               {ps->YSize, "20000", "10000", &ps->Logic.Sel.FieldSizeY},
               {ps->YSize, "abc", "10000", &ps->Logic.Sel.FieldSizeY}};
  for (const auto& c : sizes) {
    c.edit->setText(c.typed);
    emit c.edit->editingFinished();
    EXPECT_EQ(c.edit->text(), c.kept) << c.typed;
    EXPECT_EQ(QString::number(*c.field), c.kept) << c.typed;
  }
  // "Local" shows the drop folder instead of the API key and interpreter.
  EXPECT_FALSE(ps->DropDirEdit1->isVisible());
  EXPECT_TRUE(ps->ApiKeyEdit->isVisible());
  ps->Local->setChecked(true);
  EXPECT_TRUE(ps->DropDirEdit1->isVisible());
  EXPECT_FALSE(ps->ApiKeyEdit->isVisible());
  EXPECT_FALSE(ps->PythonDirEdit->isVisible());
  dialogs.QueueFolder(folder + "drop");
  QTest::mouseClick(ps->DropDirButton, Qt::LeftButton);
  EXPECT_EQ(ps->DropDirEdit1->text().toStdString(), folder + "drop/");
  ps->SuperNova->setChecked(true);
  ps->PlateSolveTimer1Timer();
  EXPECT_TRUE(ps->Logic.Sel.SuperNova);
  EXPECT_FALSE(ps->Logic.Sel.Local);
  EXPECT_EQ(ps->Logic.Sel.DropLocation, folder + "drop/");
  // Its up-down never moves without a camera.
  ps->ImageSource->setCurrentText("None");
  ps->PlateSolveTimer1Timer();
  const QString before = ps->ExposureTime->text();
  const int position = ps->ExpTimeUpDown->value();
  ps->ExpTimeUpDown->stepBy(2);
  EXPECT_EQ(ps->ExpTimeUpDown->value(), position);
  EXPECT_EQ(ps->ExposureTime->text(), before);
  const QByteArray shots = qgetenv("NOCTRA_SHOT_DIR");
  if (!shots.isEmpty()) ps->grab().save(QString::fromUtf8(shots) + "/plate_solve_local.png");
  FreeImagingWindows();
  FreeCameras();
}

// The autoguider while selecting a star: a drag of 200 ms or more makes the
// guide box, shown magnified in Image2; a short click clears it, and a
// short click with no box scrolls the point clicked to the centre.
TEST(ImagingWindows, AutoguiderGuideBoxAndScrollingClick) {
  QTemporaryDir dir;
  const std::string folder = CreateWindowsIn(dir);
  RegisterSimCameraDriver();
  platform::RegisterSimulatorDrivers();
  TTeleControl tele;
  SetTeleControl(&tele);
  tele.name = "Noctra.Simulator.Telescope";
  tele.ConnectClick();
  ASSERT_TRUE(tele.Connected());
  {
    TAscomCameraSlots cams;
    cams[1].name = "Noctra.Simulator.Camera";
    cams.ConnectClick(1);
    TAutoGuideForm* g = AutoGuideForm();
    g->show();
    // The threshold and background factor are kept in tenths and shown as
    // such ("4.0", "2.0").
    EXPECT_EQ(g->Sd->text(), "4.0");
    EXPECT_EQ(g->Background->text(), "2.0");
    g->Sd->setValue(2.5);
    g->ExposureTime->setText("0.05");
    g->SequenceTimer();
    EXPECT_EQ(g->Logic.Set.StandardDeviation, 25);
    g->Sd->setValue(4.0);
    g->ImageSource->setCurrentText("ASCOM Camera #1");
    g->SequenceTimer();
    ASSERT_EQ(g->Logic.Camera(), cams.Camera(1));
    QTest::mouseClick(g->SelectAStar, Qt::LeftButton);
    ASSERT_EQ(g->Logic.Mode(), TGuideMode::Select);
    QElapsedTimer t;
    t.start();
    while (!g->Logic.Image() && t.elapsed() < testing_support::kWaitMs) {
      g->SequenceTimer();
      QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
      QThread::msleep(20);
    }
    ASSERT_NE(g->Logic.Image(), nullptr);
    ASSERT_EQ(g->Image1->width(), 640);
    QTest::mousePress(g->Image1, Qt::LeftButton, {}, QPoint(100, 100));
    QTest::qWait(250);
    QTest::mouseMove(g->Image1, QPoint(160, 140));
    QTest::mouseRelease(g->Image1, Qt::LeftButton, {}, QPoint(160, 140));
    EXPECT_EQ(g->Logic.BoxSize(), 60);
    EXPECT_EQ(g->Logic.BoxLeft(), 100);
    EXPECT_EQ(g->Logic.BoxTop(), 90);
    ASSERT_FALSE(g->Image2->pixmap().isNull());
    // The zoomed box is the picture's box stretched (the simulator's
    // background is not black everywhere).
    const QImage zoomed = g->Image2->pixmap().toImage();
    EXPECT_EQ(zoomed.size(), g->Image2->size());
    bool lit = false;
    for (int y = 0; y < zoomed.height() && !lit; ++y)
      for (int x = 0; x < zoomed.width() && !lit; ++x) lit = (zoomed.pixel(x, y) & 0xFFFFFF) != 0;
    EXPECT_TRUE(lit);
    if (!qgetenv("NOCTRA_SHOT_DIR").isEmpty())
      g->grab().save(QString::fromUtf8(qgetenv("NOCTRA_SHOT_DIR")) + "/autoguider_box.png");
    // A short click clears the box without scrolling.
    QTest::mouseClick(g->Image1, Qt::LeftButton, {}, QPoint(400, 300));
    EXPECT_EQ(g->Logic.BoxSize(), 0);
    EXPECT_EQ(g->ScrollBox1->horizontalScrollBar()->value(), 0);
    // Without a box the click scrolls.
    QTest::mouseClick(g->Image1, Qt::LeftButton, {}, QPoint(300, 250));
    QWidget* view = g->ScrollBox1->viewport();
    const int wantX = 300 - int(std::nearbyint(view->width() / 2.0));
    ASSERT_GT(wantX, 0);
    ASSERT_LT(wantX, 640 - view->width()) << "the view is narrower than the picture";
    EXPECT_EQ(g->ScrollBox1->horizontalScrollBar()->value(), wantX);
    EXPECT_EQ(g->ScrollBox1->verticalScrollBar()->value(),
              std::clamp(250 - int(std::nearbyint(view->height() / 2.0)), 0, std::max(0, 480 - view->height())));
    QTest::mouseClick(g->OffButton, Qt::LeftButton);
    g->ImageSource->setCurrentText("None");
    g->SequenceTimer();
    cams.DisconnectClick(1);
  }
  FreeImagingWindows();
  FreeCameras();
  tele.Disconnect();
  SetTeleControl(nullptr);
}

// The console's direction buttons and Sync move the mount by guide pulses:
// they are offered only while a mount that can pulse-guide is connected.
TEST(ImagingWindows, DirectionButtonsNeedAMountThatPulseGuides) {
  QTemporaryDir dir;
  const std::string folder = CreateWindowsIn(dir);
  ChartCentre = [](double& ra, double& dec) { return ra = dec = 0, true; };
  TIcForm1* ic = IcForm1();
  for (bool pulses : {false, true}) {
    SCOPED_TRACE(pulses);
    platform::TSimTelescopeConfig config;
    config.canPulseGuide = pulses;
    platform::RegisterDriver({"Test.Pulse.Telescope", "Telescope", "test mount",
                              [config] { return std::make_shared<platform::TSimTelescope>(config); }});
    TTeleControl tele;
    SetTeleControl(&tele);
    ic->SequenceTimer1Timer();
    EXPECT_FALSE(ic->NorthButton->isEnabled());  // no mount
    tele.name = "Test.Pulse.Telescope";
    tele.ConnectClick();
    ASSERT_TRUE(tele.Connected());
    ic->SequenceTimer1Timer();
    for (QPushButton* b : {ic->NorthButton, ic->SouthButton, ic->EastButton, ic->WestButton, ic->SyncButton})
      EXPECT_EQ(b->isEnabled(), pulses) << b->text().toStdString();
    tele.Disconnect();
    SetTeleControl(nullptr);
  }
  platform::UnregisterDriverForTest("Test.Pulse.Telescope");
  ChartCentre = nullptr;
  FreeImagingWindows();
  FreeCameras();
}
