// The devices in the real main window on the built data: the simulated
// mount connected through the Connections menu (the telescope window beside
// the chart, the accessories' and cameras' windows modal while the chart
// runs on), a goto from the chart's
// pop-up, the telescope marker in the next render, the camera simulator
// following the mount in J2000, the camera settings and the imaging console
// from the Imaging menu, the points-of-interest sequencer slewing and
// imaging through the console (also with a plan still being typed at
// Start), and the close with the devices disconnected and every thread
// joined; a DSI camera's cooler through the filter wheel; plate solving in
// the program started as run.sh starts it.
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
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
#include "tests/app/startup_fixture.h"

using startup_fixture::kEventWaitMs;
using startup_fixture::OpenModally;
using startup_fixture::RunEventsUntil;
using Devices = startup_fixture::StartUpFixture;

namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr double kArcmin = kPi / 180.0 / 60.0;

// Bright stars, ICRS J2000 (Hipparcos, as given by SIMBAD): hours, minutes,
// seconds of right ascension; signed degrees, minutes, seconds of declination.
struct TStar {
  const char* name;
  double h, m, s, d, dm, ds;
  double RA() const { return (h + m / 60.0 + s / 3600.0) * 15.0 * kPi / 180.0; }
  double Dec() const { return (d < 0 ? -1.0 : 1.0) * (std::fabs(d) + dm / 60.0 + ds / 3600.0) * kPi / 180.0; }
};
constexpr TStar kStars[] = {
    {"Vega", 18, 36, 56.336, 38, 47, 1.28},      {"Capella", 5, 16, 41.359, 45, 59, 52.77},
    {"Arcturus", 14, 15, 39.672, 19, 10, 56.67}, {"Sirius", 6, 45, 8.917, -16, 42, 58.02},
    {"Altair", 19, 50, 46.999, 8, 52, 5.96},     {"Deneb", 20, 41, 25.915, 45, 16, 49.22},
    {"Regulus", 10, 8, 22.311, 11, 58, 1.95},    {"Aldebaran", 4, 35, 55.239, 16, 30, 33.49},
    {"Spica", 13, 25, 11.579, -11, 9, 40.76},    {"Fomalhaut", 22, 57, 39.047, -29, 37, 20.05},
};

// The star of the table that stands highest now (other than `besides`).
const TStar& HighestStar(const TStar* besides = nullptr) {
  const TStar* best = &kStars[0];
  double bestAlt = -10;
  for (const TStar& s : kStars) {
    if (&s == besides) continue;
    double ra = s.RA(), dec = s.Dec(), alt = 0, az = 0;
    TObserverTime o = ObserverTime;
    Precess(o, ra, dec);
    EquatorialToHorizontal(o, alt, az, ra, dec);
    if (alt > bestAlt) {
      bestAlt = alt;
      best = &s;
    }
  }
  return *best;
}

QPushButton* FindButton(QWidget* w, const QString& text) {
  for (auto* b : w->findChildren<QPushButton*>())
    if (b->text() == text) return b;
  return nullptr;
}

double Separation(double ra1, double dec1, double ra2, double dec2) {
  const double c = std::sin(dec1) * std::sin(dec2) + std::cos(dec1) * std::cos(dec2) * std::cos(ra1 - ra2);
  return std::acos(std::clamp(c, -1.0, 1.0));
}

// Where the chart draws one of its inputs: the centre and count of the
// pixels that change when `leaveOut` takes it from the chart's inputs.
struct TDrawnMark {
  double x = 0, y = 0;
  int pixels = 0;
};
TDrawnMark DrawnMark(TMainForm1& form, std::function<void(TChartInputs&)> leaveOut) {
  form.Chart().MarkReplot();
  form.Timer1Timer();
  const QImage with = form.BackBuffer().Image().copy();
  const TChartInputs inputs = ChartInputs();
  TChartInputs without = inputs;
  leaveOut(without);
  SetChartInputs(without);
  form.RenderMainView();
  SetChartInputs(inputs);
  TDrawnMark mark;
  for (int py = 0; py < with.height(); ++py)
    for (int px = 0; px < with.width(); ++px)
      if (with.pixel(px, py) != form.BackBuffer().Image().pixel(px, py)) {
        mark.x += px;
        mark.y += py;
        ++mark.pixels;
      }
  form.RenderMainView();  // the chart as it was, with the input
  mark.x /= std::max(mark.pixels, 1);
  mark.y /= std::max(mark.pixels, 1);
  return mark;
}

// The simulators run 40 times faster than real time, so a slew takes
// seconds.
struct FastSimulators {
  FastSimulators() {
    const uint32_t t0 = platform::TimeGetTime();
    platform::SetSimulatorClockForTest([t0] { return t0 + (platform::TimeGetTime() - t0) * 40u; });
  }
  ~FastSimulators() { platform::SetSimulatorClockForTest({}); }
};

// Connections > Cameras: the camera simulator connected as "ASCOM Camera #1".
startup_fixture::ModalVisit ConnectSimulatedCamera(TMainForm1& form) {
  return OpenModally(form, form.Camera1, [] {
    auto* w = qobject_cast<imaging::TAscomCameraForm1*>(QApplication::activeModalWidget());
    if (!w) return;
    (*imaging::AscomCameraSlots())[1].name = "Noctra.Simulator.Camera";  // as the chooser gives it
    w->Connect1->click();
  });
}

}  // namespace

TEST_F(Devices, TelescopeGotoFromTheChartDrawsTheMarkerAndClosesCleanly) {
  FastSimulators fast;
  ASSERT_TRUE(form->StartUp());
  form->CreateProgramWindows();  // as the program does after the start-up
  if (QScreen* screen = QGuiApplication::primaryScreen()) form->setGeometry(screen->availableGeometry());
  form->show();
  ASSERT_TRUE(RunEventsUntil([&] { return !form->StartupPending && !StarThreadRunning(); }, 60000));
  TMainForm1& m = *form;
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
    const startup_fixture::ModalVisit visit = OpenModally(*form, item, {});
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
  form->Chart().CentreOn(ra, dec);
  for (int i = 0; i < 8; ++i) form->FormKeyPress('+');
  form->Timer1Timer();
  int32_t x = 0, y = 0;
  double alt = 0, az = 0;
  ASSERT_TRUE(MainPlotter->PlaceRaDec(ra, dec, alt, az, x, y));
  double ra1 = 0, dec1 = 0;
  ASSERT_TRUE(form->Chart().ScreenToRaDec(x + 1, y, ra1, dec1));
  const double pixel = Separation(ra, dec, ra1, dec1);
  form->PaintBox1MouseDown(1, x, y);
  form->PopupMenu1->hide();
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
  ASSERT_TRUE(RunEventsUntil([&] { return !TeleControl()->GotoInProgress(); }, kEventWaitMs));
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
  const startup_fixture::ModalVisit cameras = ConnectSimulatedCamera(m);
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
  auto pictures = [&] {
    int n = 0;
    std::error_code ec;
    for (auto it = std::filesystem::recursive_directory_iterator(home.File("images"), ec);
         !ec && it != std::filesystem::recursive_directory_iterator(); it.increment(ec))
      if (it->path().extension() == ".fts") ++n;
    return n;
  };
  ASSERT_TRUE(RunEventsUntil([&] { return pictures() == 1; }, 30000)) << ic->Logic.Status();

  // The plan "1,5,Luminance,Bright" typed into the point's cell, still being
  // edited when Start is pressed: that Start takes it, and the picture of
  // the plan is taken beside the first one.
  FindButton(points, QStringLiteral("Stop"))->click();
  FilterWheelControl()->name = "Noctra.Simulator.FilterWheel";
  FilterWheelControl()->ConnectClick();
  ASSERT_TRUE(RunEventsUntil([&] { return !ic->Logic.StartDown() && ic->Filter->findText("Luminance") >= 0; },
                             kEventWaitMs));
  POITable[1].Plan.clear();
  points->RefreshGrid();
  points->show();
  points->POIGrid->setCurrentCell(0, 5);
  points->POIGrid->editItem(points->POIGrid->item(0, 5));
  auto* editor = points->POIGrid->viewport()->findChild<QLineEdit*>();
  ASSERT_TRUE(editor && editor->isVisible());
  editor->setText(QStringLiteral("1,5,Luminance,Bright"));
  FindButton(points, QStringLiteral("Start"))->click();
  EXPECT_EQ(POITable[1].Plan, "1,5,Luminance,Bright");
  ASSERT_TRUE(RunEventsUntil([&] { return pictures() == 2; }, 60000)) << LogLines().LastLine();
  int planned = 0;  // pictures of the typed plan: its filter and exposure
  for (const auto& e : std::filesystem::recursive_directory_iterator(home.File("images"))) {
    std::ifstream in(e.path(), std::ios::binary);
    imaging::TFitsHeader h;
    imaging::FitsData data;
    planned += e.path().extension() == ".fts" && imaging::LoadFitsHeader(in, h, data) && h.Filter == "Luminance" &&
               h.ExposureTime == 5.0;
  }
  EXPECT_EQ(planned, 1);

  // A series the console stops on an error (its folder is a file, so no
  // frame can be saved) stops the sequencer with an error instead of
  // counting the point as imaged.
  FindButton(points, QStringLiteral("Stop"))->click();
  ASSERT_TRUE(RunEventsUntil([&] { return !ic->Logic.StartDown(); }, kEventWaitMs));
  { std::ofstream(home.File("blocker")) << "not a folder"; }
  ic->Path->setText(QString::fromStdString(home.File("blocker")));
  POITable[1].Plan = "2,0.5,Luminance,Bright";
  LogLines().Clear();
  FindButton(points, QStringLiteral("Start"))->click();
  const auto logged = [](const char* line) {
    const std::vector<std::string> lines = LogLines().Lines();
    return std::find(lines.begin(), lines.end(), line) != lines.end();
  };
  EXPECT_TRUE(RunEventsUntil([&] { return logged("[Sequencer] Error, imaging failed"); }, 30000))
      << LogLines().LastLine();
  EXPECT_TRUE(logged("[Imaging Console] Exposure sequence stopped"));
  EXPECT_EQ(pictures(), 2);
  POICount = 0;
  ic->hide();

  // The close disconnects the devices and joins every thread.
  form->close();
  ASSERT_TRUE(RunEventsUntil([&] { return destroyed; }, kEventWaitMs));
  EXPECT_FALSE(AnyWorkerRunning());
  EXPECT_EQ(TeleControl(), nullptr);
  EXPECT_FALSE(TelescopeMarker().connected);
  EXPECT_TRUE(platform::FileExists(home.File("ImagingSettings.xml")));
  const std::vector<std::string> log = LogLines().Lines();
  EXPECT_NE(std::find(log.begin(), log.end(), "[Ascom.Telescope] Disconnect"), log.end());
  // The console, idle, let its camera go without a word: neither an error
  // nor a Disconnect that nobody pressed in the "ASCOM Cameras" window.
  for (const std::string& line : log) {
    EXPECT_EQ(line.find("was disconnected in the"), std::string::npos) << line;
    EXPECT_EQ(line.find("Camera disconnected"), std::string::npos) << line;
  }
}

// A modified DSI camera's cooler through the real settings window, with
// the simulated DSI library and the simulated maker's filter wheel: without
// a wheel the camera's own sensor answers; with it the set-point typed into
// the window reaches the wheel and the wheel's cooler reading is shown.
TEST_F(Devices, DsiCoolerSetPointReachesTheFilterWheelAndItsTemperatureIsShown) {
  imaging::SimulatedDsiLibrary dsi;
  dsi.SetCameras({{.width = 64, .height = 48, .temperature = 5.0}});  // 5.0: the camera's own sensor
  imaging::SetDsiLibraryForTest(&dsi);
  platform::SetSimulatorClockForTest([] { return 1000000u; });
  uint64_t cameraNow = 5000000;
  imaging::CameraClocks().NowMs = [&cameraNow] { return cameraNow; };
  auto wheel = std::make_shared<platform::TSimFilterWheel>(
      platform::TSimFilterWheelConfig{.makerWheel = true, .coolerRate = 0.2});  // degrees a second
  platform::RegisterDriver({"Test.Tar_vel.CoolerWheel", "FilterWheel", "cooler wheel", [wheel] { return wheel; }});
  struct Restore {
    ~Restore() {
      imaging::SetDsiLibraryForTest(nullptr);
      platform::SetSimulatorClockForTest({});
      imaging::ResetCameraClocksForTest();
      platform::UnregisterDriverForTest("Test.Tar_vel.CoolerWheel");
    }
  } restore;

  ASSERT_TRUE(form->StartUp());
  form->CreateProgramWindows();
  form->show();
  ASSERT_TRUE(RunEventsUntil([&] { return !form->StartupPending && !StarThreadRunning(); }, 60000));
  QAction* settings = nullptr;
  for (QAction* a : form->Imaging1->actions())
    if (a->text() == QStringLiteral("DSI Camera #1")) settings = a;
  ASSERT_TRUE(settings) << "the simulated DSI camera was found at start";

  QTimer::singleShot(0, [&] {
    auto* w = qobject_cast<imaging::TDsiCameraSettingsForm1*>(QApplication::activeModalWidget());
    if (!w) return;
    auto shows = [&](const char* text) {
      EXPECT_TRUE(RunEventsUntil([&] { return w->Temperature->text() == text; }, kEventWaitMs))
          << w->Temperature->text().toStdString();
    };
    w->TarvelCamera->setChecked(true);
    w->SetPointTemp->setValue(-10.0);
    shows("Temperature: 5.0");  // no wheel: the camera's own sensor
    FilterWheelControl()->name = "Test.Tar_vel.CoolerWheel";
    FilterWheelControl()->ConnectClick();
    // The next reading (at most one each 10 s) comes from the wheel, at
    // room temperature while the simulators' clock stands; the window sends
    // the set-point to the wheel.
    cameraNow += 10000;
    shows("Temperature: 20.0");
    RunEventsUntil([&] { return wheel->SetPointTenths() == -100; }, kEventWaitMs);
    w->close();
  });
  settings->trigger();  // the modal window; returns once it is closed
  EXPECT_EQ(wheel->SetPointTenths(), -100);
  FilterWheelControl()->DisconnectClick();
}

// Plate solving in the program started as run.sh starts it (the data folder
// the working folder, settings paths relative): the mount synced on a star,
// the camera simulator's picture solved in the plate-solving window with the
// local solver (solve-field, Debian's Tycho-2 index files) puts the chart's
// cross on the star. With the console holding the camera, the solve pauses
// it, exposes with its camera and resumes it.
TEST_F(Devices, PlateSolvingFromANormalStartLandsOnTheSyncedStar) {
  NOCTRA_REQUIRE_TOOL(testing_support::HaveSolveField(), "solve-field", "astrometry.net");
  NOCTRA_REQUIRE_TOOL(testing_support::HaveTycho2Index(), "the Tycho-2 index", "astrometry-data-tycho2-10-19");
  std::filesystem::current_path(startup_fixture::RunFolder(home.File("run/")));
  form->ImagingSettingsPath = "ImagingSettings.xml";  // the program's own name: relative
  FastSimulators fast;
  form->FormCreate();
  form->CreateProgramWindows();
  platform::SetDialogs(&dialogs);
  ASSERT_TRUE(form->StartupComplete());
  EXPECT_EQ(DataFolder, platform::CurrentFolder());
  if (QScreen* screen = QGuiApplication::primaryScreen()) form->setGeometry(screen->availableGeometry());
  form->show();
  ASSERT_TRUE(RunEventsUntil([&] { return !form->StartupPending && !StarThreadRunning(); }, 60000));
  TMainForm1& m = *form;
  TeleControl()->name = "Noctra.Simulator.Telescope";
  TeleControl()->ConnectClick();
  ASSERT_TRUE(TeleControl()->Connected());
  ConnectSimulatedCamera(m);
  ASSERT_TRUE(imaging::AscomCameraSlots()->Camera(1));

  // The mount sent to a star (of date) and synced there, the chart centred
  // on it and zoomed in.
  auto gotoAndSync = [&](const TStar& star) {
    double ra = star.RA(), dec = star.Dec();
    TObserverTime o = ObserverTime;
    Precess(o, ra, dec);
    m.Chart().CentreOn(ra, dec);
    for (int i = 0; i < 8; ++i) m.FormKeyPress('+');
    ASSERT_TRUE(TeleControl()->GotoRaDec(ra, dec));
    ASSERT_TRUE(RunEventsUntil([&] { return !TeleControl()->GotoInProgress(); }, 30000)) << star.name;
    ASSERT_TRUE(TeleControl()->SyncRaDec(ra, dec));
  };
  // Solve Now: the button stays off until the solve has ended, the status
  // line says it solved, and the chart's plate-solve cross is drawn within
  // 10' of the star (of date): the simulated field is centred on it, 10'
  // leaves room for the drawing's pixels and the solve.
  imaging::TPlateSolveForm1* ps = nullptr;
  auto solvedOnto = [&](const TStar& star) {
    ps->SolveNow->click();
    EXPECT_FALSE(ps->SolveNow->isEnabled());
    ASSERT_TRUE(RunEventsUntil([&] { return !ps->Logic.Job() && ps->SolveNow->isEnabled(); }, 240000))
        << LogLines().LastLine();
    const std::string status = ps->StatusBar1->text().toStdString();
    ASSERT_EQ(status.rfind("Solved: R.A.", 0), 0u) << status << "\n" << LogLines().LastLine();
    const TDrawnMark cross = DrawnMark(m, [](TChartInputs& in) { in.plateSolvePosition = nullptr; });
    ASSERT_GT(cross.pixels, 4) << star.name << ": no cross drawn";
    double ra = 0, dec = 0, starRa = star.RA(), starDec = star.Dec();
    ASSERT_TRUE(m.Chart().ScreenToRaDec(int32_t(std::lround(cross.x)), int32_t(std::lround(cross.y)), ra, dec));
    TObserverTime o = ObserverTime;
    Precess(o, starRa, starDec);
    EXPECT_LT(Separation(ra, dec, starRa, starDec), 10 * kArcmin) << star.name;
  };

  const TStar& first = HighestStar();
  gotoAndSync(first);
  m.PlateSolve1->trigger();
  ps = imaging::PlateSolveForm1();
  ASSERT_TRUE(ps && ps->isVisible());
  ps->ImageSource->setCurrentIndex(ps->ImageSource->findText(QStringLiteral("ASCOM Camera #1")));
  ASSERT_TRUE(RunEventsUntil([&] { return ps->Logic.Camera() && ps->SolveNow->isEnabled(); }, kEventWaitMs));
  solvedOnto(first);
  // The picture lies where the client looks for it: in the data folder.
  EXPECT_TRUE(platform::FileExists(DataFolder + "PlateSolve/solve_me.jpg"));

  // The console holds the camera (the usual case with one camera).
  m.Imaging2->trigger();
  imaging::TIcForm1* ic = imaging::IcForm1();
  ASSERT_TRUE(ic && ic->isVisible());
  ic->ImageSource->setCurrentIndex(ic->ImageSource->findText(QStringLiteral("ASCOM Camera #1")));
  emit ic->ImageSource->activated(ic->ImageSource->currentIndex());  // as a user's choice
  ASSERT_TRUE(RunEventsUntil([&] { return ic->Logic.HasCameraToken(); }, kEventWaitMs)) << ic->Logic.Status();
  const TStar& second = HighestStar(&first);
  gotoAndSync(second);
  LogLines().Clear();
  solvedOnto(second);
  std::vector<std::string> lines;  // the solver's lines without the telescope's moves
  for (const std::string& l : LogLines().Lines())
    if (l.rfind("[Plate-Solve] ", 0) == 0 && l.rfind("[Plate-Solve] Telescope ", 0) != 0) lines.push_back(l.substr(14));
  lines.resize(std::min<size_t>(lines.size(), 5));
  EXPECT_EQ(lines, (std::vector<std::string>{"Pausing Imaging-Console", "Waiting to start exposure",
                                             "Exposure 1 seconds", "Image aquired", "Resuming Imaging Console"}));
  ASSERT_TRUE(RunEventsUntil([&] { return ic->Logic.HasCameraToken(); }, kEventWaitMs)) << ic->Logic.Status();
  EXPECT_TRUE(ic->Logic.Camera() && ic->Logic.Camera()->Connected());
  EXPECT_TRUE(ic->Preview->isEnabled() && ic->Start->isEnabled() && ic->ImageSource->isEnabled());
}
