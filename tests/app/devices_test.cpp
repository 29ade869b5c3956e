// The devices in the real main window on the built data: the simulated
// mount connected through the Connections menu (the telescope window beside
// the chart, the accessories' and cameras' windows modal while the chart
// runs on), a goto from the chart's
// pop-up, the telescope marker in the next render, the camera simulator
// following the mount in J2000, the camera settings and the imaging console
// from the Imaging menu, the points-of-interest sequencer slewing and
// imaging through the console (also with a plan typed into its window just
// before Start), a DSI camera's cooler through the filter wheel, and the
// close with the devices disconnected and every thread joined.
#include <QApplication>
#include <QComboBox>
#include <QLineEdit>
#include <QMenu>
#include <QCheckBox>
#include <QDoubleSpinBox>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QTableWidget>
#include <QTimer>
#include <cmath>
#include <fstream>
#include <functional>

#include "app/core/points_of_interest.h"
#include "app/forms/poi_form.h"
#include "app/forms/sequencer_wiring.h"
#include "astro/observer.h"
#include "astro/precession.h"
#include "astro/transforms.h"
#include "catalog/stars.h"
#include "chart/plotter.h"
#include "chart/render_inputs.h"
#include "imaging/ascom_camera.h"
#include "imaging/camera_sim.h"
#include "imaging/dsi_camera.h"
#include "imaging/fits.h"
#include "imaging/forms/ascom_camera_forms.h"
#include "imaging/forms/camera_settings_forms.h"
#include "imaging/forms/imaging_windows.h"
#include "platform/automation_sim.h"
#include "shell/log_lines.h"
#include "telescope/accessories.h"
#include "telescope/forms/device_forms.h"
#include "telescope/forms/tele_form.h"
#include "telescope/tele_control.h"
#include "telescope/telescope_view.h"
#include "tests/app/device_helpers.h"
#include "tests/app/startup_fixture.h"

using startup_fixture::kEventWaitMs;
using startup_fixture::RunEventsUntil;
using Devices = startup_fixture::StartUpFixture;

using namespace device_helpers;

namespace {

// The FITS pictures in a folder and its sub-folders.
int FitsFilesUnder(const std::string& folder) {
  int n = 0;
  std::error_code ec;
  for (auto it = std::filesystem::recursive_directory_iterator(folder, ec);
       !ec && it != std::filesystem::recursive_directory_iterator(); it.increment(ec))
    if (it->path().extension() == ".fts") ++n;
  return n;
}

}  // namespace

TEST_F(Devices, TelescopeGotoFromTheChartDrawsTheMarkerAndClosesCleanly) {
  FastSimulators fast;
  ASSERT_TRUE(form->StartUp());
  if (QScreen* screen = QGuiApplication::primaryScreen()) form->setGeometry(screen->availableGeometry());
  form->show();
  ASSERT_TRUE(RunEventsUntil([&] { return !form->StartupPending && !StarThreadRunning(); }, 60000));
  TMainForm1& m = *form;
  form->CreateDeviceWindows();  // as the program does after the start-up
  ASSERT_TRUE(m.TelescopeControl1 && m.GotoHere && m.Imaging1);
  EXPECT_FALSE(m.GotoHere->isEnabled());

  // Connections > Telescope shows the telescope window; its Connect button
  // connects the simulated mount and locks the time and place commands.
  ASSERT_TRUE(m.TelescopeControl1->isEnabled());
  m.TelescopeControl1->trigger();
  auto* teleForm = form->findChild<TTeleForm1*>();
  ASSERT_TRUE(teleForm && teleForm->isVisible());
  teleForm->findChild<QLineEdit*>()->setText(QStringLiteral("Noctra.Simulator.Telescope"));
  FindButton(teleForm, QStringLiteral("Connect"))->click();
  ASSERT_TRUE(TeleControl()->Connected());
  EXPECT_TRUE(m.GotoHere->isEnabled());
  EXPECT_FALSE(form->Now2->isEnabled());
  EXPECT_FALSE(form->Midnight1->isEnabled());
  EXPECT_TRUE(form->LMTUT1->isEnabled());
  EXPECT_TRUE(form->Keys.TelescopeConnected);
  EXPECT_EQ(teleForm->windowModality(), Qt::NonModal);
  EXPECT_EQ(QApplication::activeModalWidget(), nullptr);

  // Connections > Filter Wheel and Focuser open modally; the heartbeat runs
  // on and the chart is rendered again while they are open.
  for (auto [item, window] : {std::pair<QAction*, QWidget*>{m.FilterWheel1, form->Devices.FilterWheelForm1},
                              {m.Focuser1, form->Devices.FocuserForm1}}) {
    SCOPED_TRACE(item->text().toStdString());
    const ModalVisit visit = OpenModally(*form, item, {});
    EXPECT_EQ(visit.window, window);
    EXPECT_EQ(visit.modality, Qt::ApplicationModal);
    EXPECT_TRUE(visit.rendered);
    EXPECT_FALSE(window->isVisible()) << "closed";
  }
  teleForm->hide();

  // The chart zoomed in on the highest bright star (of date); a right click
  // on its pixel and "Telescope goto here".
  const TStar& star = HighestStar();
  SCOPED_TRACE(star.name);
  double ra = star.RA(), dec = star.Dec();
  TObserverTime o = ObserverTime;
  Precess(o, ra, dec);
  int32_t x = 0, y = 0;
  double pixel = 0;
  ASSERT_TRUE(RightClickOnChart(*form, star.RA(), star.Dec(), x, y, pixel));
  EXPECT_LT(Separation(form->ClickRA, form->ClickDec, ra, dec), 2 * pixel);
  m.GotoHere->trigger();
  EXPECT_TRUE(TeleControl()->GotoInProgress());
  // The heartbeat and the mount's poll run until the slew has settled at
  // the clicked place.
  ASSERT_TRUE(RunEventsUntil(
      [&] {
        const TTelescopeMarker mark = TelescopeMarker();
        return !TeleControl()->GotoInProgress() &&
               Separation(mark.ra, mark.dec, form->ClickRA, form->ClickDec) < 0.1 * kArcmin;
      },
      20000));

  // The next render draws the marker around the star's pixel: the pixels that
  // change when the marker is left out lie around it.
  const TDrawnMark marker = DrawnMark(*form, [](TChartInputs& in) { in.telescopePosition = nullptr; });
  ASSERT_GT(marker.pixels, 20);
  EXPECT_NEAR(marker.x, x, 2.0);
  EXPECT_NEAR(marker.y, y, 2.0);
  if (const char* shot = std::getenv("NOCTRA_SCREENSHOT")) {
    form->RenderMainView();
    form->grab().save(QString::fromUtf8(shot));
  }

  // The camera simulator looks where the mount points (J2000).
  double camRA = 0, camDec = 0;
  ASSERT_TRUE(imaging::SimCameraPointing && imaging::SimCameraPointing(camRA, camDec));
  EXPECT_LT(Separation(camRA, camDec, star.RA(), star.Dec()), 2 * pixel + 0.1 * kArcmin);

  // The points-of-interest window's sequencer slews to a point one degree
  // north of the star.
  auto* points = new TPOIForm(form);  // owned by the main window
  AttachSequencer(*points);
  POITable[1] = {star.RA(), star.Dec() + kPi / 180.0, 9, "North", 1, "", 0};
  POICount = 1;
  FindButton(points, QStringLiteral("Start"))->click();
  if (const char* shot = std::getenv("NOCTRA_POI_SHOT")) {
    points->resize(900, 300);
    points->grab().save(QString::fromUtf8(shot));
  }
  ASSERT_TRUE(RunEventsUntil([&] { return TeleControl()->GotoInProgress(); }, kEventWaitMs));
  ASSERT_TRUE(RunEventsUntil([&] { return !TeleControl()->GotoInProgress(); }, 20000));
  {
    double nra = star.RA(), ndec = star.Dec() + kPi / 180.0;
    Precess(o, nra, ndec);
    const TTelescopeMarker mark = TelescopeMarker();
    EXPECT_LT(Separation(mark.ra, mark.dec, nra, ndec), 0.1 * kArcmin);
  }
  POICount = 0;

  // Imaging > Source Settings: the image-file camera's settings window, and
  // Connections > Cameras shows the driver cameras' window.
  QAction* imageFile = nullptr;
  for (QAction* a : m.Imaging1->actions())
    if (a->text() == QStringLiteral("Image File")) imageFile = a;
  ASSERT_TRUE(imageFile);
  EXPECT_FALSE(startup_fixture::ModalCaptionOf(imageFile).isEmpty());
  const ModalVisit cameras = OpenModally(*form, m.Camera1, [] {
    auto* w = qobject_cast<imaging::TAscomCameraForm1*>(QApplication::activeModalWidget());
    if (!w) return;
    (*imaging::AscomCameraSlots())[1].name = "Noctra.Simulator.Camera";  // as the chooser gives it
    w->Connect1->click();
  });
  EXPECT_TRUE(qobject_cast<imaging::TAscomCameraForm1*>(cameras.window));
  EXPECT_EQ(cameras.modality, Qt::ApplicationModal);
  EXPECT_TRUE(cameras.rendered);
  ASSERT_TRUE(imaging::AscomCameraSlots()->Camera(1));
  // Imaging > Imaging Console offers the connected driver camera; its
  // chart hints read the chart's centre in J2000.
  m.Imaging2->trigger();
  ASSERT_TRUE(imaging::IcForm1() && imaging::IcForm1()->isVisible());
  const auto& sources = imaging::IcForm1()->Logic.CameraList.Names();
  EXPECT_NE(std::find(sources.begin(), sources.end(), "ASCOM Camera #1"), sources.end());
  double centreRA = 0, centreDec = 0;
  ASSERT_TRUE(imaging::ChartCentre && imaging::ChartCentre(centreRA, centreDec));
  // Brought forward to the chart's epoch it is the chart's centre.
  Precess(o, centreRA, centreDec);
  EXPECT_LT(Separation(centreRA, centreDec, form->Chart().CentreRA(), form->Chart().CentreDec()), 0.1 * kArcmin);

  // A point with an imaging plan: the sequencer slews and the console takes
  // the picture with the simulated camera.
  imaging::TIcForm1* ic = imaging::IcForm1();
  int source = -1;
  ASSERT_TRUE(RunEventsUntil(
      [&] { return (source = ic->ImageSource->findText(QStringLiteral("ASCOM Camera #1"))) >= 0; }, 3000));
  ic->ImageSource->setCurrentIndex(source);
  emit ic->ImageSource->activated(source);  // as a user's choice
  ic->Path->setText(QString::fromStdString(home.File("images")));
  ASSERT_TRUE(RunEventsUntil([&] { return ic->Logic.Camera() != nullptr; }, kEventWaitMs)) << ic->Logic.Status();
  // The console's filter-wheel button opens the filter-wheel window.
  ASSERT_TRUE(RunEventsUntil([&] { return ic->FilterwheelSettings->isEnabled(); }, kEventWaitMs));
  ic->FilterwheelSettings->click();
  EXPECT_TRUE(form->Devices.FilterWheelForm1->isVisible());
  form->Devices.FilterWheelForm1->hide();
  POITable[1] = {star.RA(), star.Dec(), 9, "Field", 1, "1,0.5,None,Bright", 0};
  POICount = 1;
  FindButton(points, QStringLiteral("Start"))->click();
  auto pictures = [&] { return FitsFilesUnder(home.File("images")); };
  ASSERT_TRUE(RunEventsUntil([&] { return pictures() == 1; }, 30000)) << ic->Logic.Status();
  POICount = 0;
  ic->hide();

  // The close disconnects the devices and joins every thread within 5 s.
  QElapsedTimer closing;
  closing.start();
  form->close();
  ASSERT_TRUE(RunEventsUntil([&] { return destroyed; }, 5000));
  EXPECT_LT(closing.elapsed(), 5000);
  EXPECT_FALSE(AnyWorkerRunning());
  EXPECT_EQ(TeleControl(), nullptr);
  EXPECT_FALSE(TelescopeMarker().connected);
  EXPECT_TRUE(platform::FileExists(home.File("ImagingSettings.xml")));
  const std::vector<std::string> log = LogLines().Lines();
  EXPECT_NE(std::find(log.begin(), log.end(), "[Ascom.Telescope] Disconnect"), log.end());
}

// An evening's plan typed into the points-of-interest window: Goto "Y" and
// the imaging plan "1,5,Luminance,Bright", with the plan's cell still being
// edited when Start is pressed. The first run slews and takes the picture.
TEST_F(Devices, SequencerTakesThePlanTypedIntoItsWindowOnTheFirstStart) {
  FastSimulators fast;
  ASSERT_TRUE(form->StartUp());
  form->show();
  ASSERT_TRUE(RunEventsUntil([&] { return !form->StartupPending && !StarThreadRunning(); }, 60000));
  form->CreateDeviceWindows();  // as the program does after the start-up
  POIForm = new TPOIForm(form);
  AttachSequencer(*POIForm);
  struct ForgetWindow {
    ~ForgetWindow() { POIForm = nullptr; }  // the main window owns it
  } forget;

  // The mount, the wheel and the camera simulators connected, the camera
  // chosen in the imaging console.
  TeleControl()->name = "Noctra.Simulator.Telescope";
  TeleControl()->ConnectClick();
  ASSERT_TRUE(TeleControl()->Connected());
  FilterWheelControl()->name = "Noctra.Simulator.FilterWheel";
  FilterWheelControl()->ConnectClick();
  ASSERT_TRUE(FilterWheelControl()->Connected());
  OpenModally(*form, form->Camera1, [] {
    if (auto* w = qobject_cast<imaging::TAscomCameraForm1*>(QApplication::activeModalWidget())) {
      (*imaging::AscomCameraSlots())[1].name = "Noctra.Simulator.Camera";  // as the chooser gives it
      w->Connect1->click();
    }
  });
  ASSERT_TRUE(imaging::AscomCameraSlots() && imaging::AscomCameraSlots()->Camera(1));
  form->Imaging2->trigger();
  imaging::TIcForm1* ic = imaging::IcForm1();
  ASSERT_TRUE(ic);
  int source = -1;
  ASSERT_TRUE(RunEventsUntil(
      [&] { return (source = ic->ImageSource->findText(QStringLiteral("ASCOM Camera #1"))) >= 0; }, 3000));
  ic->ImageSource->setCurrentIndex(source);
  emit ic->ImageSource->activated(source);
  ic->Path->setText(QString::fromStdString(home.File("images")));
  ASSERT_TRUE(RunEventsUntil([&] { return ic->Logic.Camera() && ic->Filter->findText("Luminance") >= 0; },
                             kEventWaitMs))
      << ic->Logic.Status();

  // A point of interest on the highest bright star, without goto or plan,
  // and the sequencer's window from the menu.
  const TStar& star = HighestStar();
  ASSERT_TRUE(AddPointOfInterest(1, "Field", false, false, "", star.RA(), star.Dec()));
  form->Editpointsofinterest1->trigger();
  ASSERT_TRUE(POIForm->isVisible());
  QTableWidget* grid = POIForm->POIGrid;
  ASSERT_EQ(grid->item(0, 4)->text(), "No");
  // Typing into a cell: its editor opened and the text typed.
  auto type = [&](int column, const QString& text) {
    grid->setCurrentCell(0, column);
    grid->editItem(grid->item(0, column));
    QLineEdit* editor = nullptr;
    for (QLineEdit* e : grid->viewport()->findChildren<QLineEdit*>())
      if (e->isVisible()) editor = e;
    ASSERT_TRUE(editor);
    editor->setText(text);
  };
  type(4, QStringLiteral("Y"));
  type(5, QStringLiteral("1,5,Luminance,Bright"));  // still being edited
  FindButton(POIForm, QStringLiteral("Start"))->click();
  EXPECT_EQ(POITable[1].Plan, "1,5,Luminance,Bright") << "taken when Start is pressed";

  auto pictures = [&] { return FitsFilesUnder(home.File("images")); };
  ASSERT_TRUE(RunEventsUntil([&] { return pictures() == 1; }, 60000))
      << ic->Logic.Status() << " / " << LogLines().LastLine();
  EXPECT_EQ(POITable[1].Plan, "1,5,Luminance,Bright");
  EXPECT_EQ(POITable[1].Goto, 1);
  EXPECT_EQ(grid->item(0, 4)->text(), "Yes");
  const std::vector<std::string> log = LogLines().Lines();
  EXPECT_NE(std::find(log.begin(), log.end(), "[Sequencer] Imaging console prepared, acquiring an image"), log.end());
  // The picture of the plan: its filter and exposure.
  for (const auto& e : std::filesystem::recursive_directory_iterator(home.File("images"))) {
    if (e.path().extension() != ".fts") continue;
    std::ifstream in(e.path(), std::ios::binary);
    imaging::TFitsHeader h;
    imaging::FitsData data;
    ASSERT_TRUE(imaging::LoadFitsHeader(in, h, data)) << e.path();
    EXPECT_EQ(h.Filter, "Luminance");
    EXPECT_DOUBLE_EQ(h.ExposureTime, 5.0);
  }
  ASSERT_TRUE(RunEventsUntil([&] { return POIForm->StatusLabel && !ic->Logic.StartDown(); }, kEventWaitMs));
  ic->hide();
  POIForm->hide();
  ClearPointsOfInterest();
}

// A modified DSI camera's cooler through the real settings window, with
// the simulated DSI library and the simulated maker's filter wheel: without
// a wheel the camera's own sensor answers; with it the set-point typed into
// the window reaches the wheel and the wheel's cooler reading is shown.
TEST_F(Devices, DsiCoolerSetPointReachesTheFilterWheelAndItsTemperatureIsShown) {
  imaging::SimulatedDsiLibrary dsi;
  imaging::SimulatedDsiLibrary::Camera camera;
  camera.width = 64;
  camera.height = 48;
  camera.temperature = 5.0;  // the camera's own sensor
  dsi.SetCameras({camera});
  imaging::SetDsiLibrary(&dsi);
  uint32_t simNow = 1000000;
  platform::SetSimulatorClock([&simNow] { return simNow; });
  uint64_t cameraNow = 5000000;
  imaging::CameraClocks().NowMs = [&cameraNow] { return cameraNow; };
  platform::TSimFilterWheelConfig config;
  config.makerWheel = true;
  config.coolerRate = 0.2;  // degrees a second
  auto wheel = std::make_shared<platform::TSimFilterWheel>(config);
  platform::RegisterDriver({"Test.Tar_vel.CoolerWheel", "FilterWheel", "cooler wheel", [wheel] { return wheel; }});
  struct Restore {
    ~Restore() {
      imaging::SetDsiLibrary(nullptr);
      platform::SetSimulatorClock({});
      imaging::ResetCameraClocks();
      platform::UnregisterDriver("Test.Tar_vel.CoolerWheel");
    }
  } restore;

  ASSERT_TRUE(form->StartUp());
  form->show();
  ASSERT_TRUE(RunEventsUntil([&] { return !form->StartupPending && !StarThreadRunning(); }, 60000));
  form->CreateDeviceWindows();
  QAction* settings = nullptr;
  for (QAction* a : form->Imaging1->actions())
    if (a->text() == QStringLiteral("DSI Camera #1")) settings = a;
  ASSERT_TRUE(settings) << "the simulated DSI camera was found at start";

  std::string noWheel, ambient, cooling;
  QTimer::singleShot(0, [&] {
    auto* w = qobject_cast<imaging::TDsiCameraSettingsForm1*>(QApplication::activeModalWidget());
    if (!w) return;
    auto shows = [&](const QString& text) {
      return RunEventsUntil([&] { return w->Temperature->text() == text; }, kEventWaitMs);
    };
    w->TarvelCamera->setChecked(true);
    w->SetPointTemp->setValue(-10.0);
    // No wheel: the reading falls back to the camera's own sensor.
    if (shows(QStringLiteral("Temperature: 5.0"))) noWheel = "5.0";
    FilterWheelControl()->name = "Test.Tar_vel.CoolerWheel";
    FilterWheelControl()->ConnectClick();
    // The next reading (at most one each 10 s) comes from the wheel, still
    // at room temperature; the window sends the set-point to the wheel.
    cameraNow += 10000;
    if (shows(QStringLiteral("Temperature: 20.0"))) ambient = "20.0";
    RunEventsUntil([&] { return wheel->SetPointTenths() == -100; }, kEventWaitMs);
    // A minute later the cooler has come down 12 degrees.
    simNow += 60000;
    cameraNow += 10000;
    if (shows(QStringLiteral("Temperature: 8.0"))) cooling = "8.0";
    w->close();
  });
  settings->trigger();  // the modal window; returns once it is closed
  EXPECT_EQ(noWheel, "5.0");
  EXPECT_EQ(ambient, "20.0");
  EXPECT_EQ(wheel->SetPointTenths(), -100);
  EXPECT_EQ(cooling, "8.0");
  const std::vector<std::string> log = LogLines().Lines();
  EXPECT_NE(std::find(log.begin(), log.end(), "[Ascom.Filterwheel] Setting temperature -10.0"), log.end());
  FilterWheelControl()->DisconnectClick();
}
