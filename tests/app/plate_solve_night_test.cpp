// Plate solving in the real program started as run.sh starts it: the
// working folder is the data folder (here a folder of its own holding the
// built data) and the settings paths are relative ("ImagingSettings.xml").
// The simulated mount goes to a bright star and is synced there, the camera
// simulator draws the catalogue's stars where the mount points, and the
// plate-solving window solves with the local solver (solve-field with
// Debian's Tycho-2 index files): the chart's plate-solve cross lands on the
// star. Then the imaging console holds the camera: the solver pauses it,
// exposes with its camera, resumes it and solves again.
#include <QComboBox>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <filesystem>
#include <memory>

#include "catalog/stars.h"
#include "chart/plotter.h"
#include "chart/render_inputs.h"
#include "imaging/forms/ascom_camera_forms.h"
#include "imaging/forms/imaging_windows.h"
#include "platform/paths.h"
#include "shell/log_lines.h"
#include "telescope/forms/tele_form.h"
#include "telescope/tele_control.h"
#include "telescope/telescope_view.h"
#include "tests/app/device_helpers.h"
#include "tests/app/startup_fixture.h"

using namespace device_helpers;

namespace {

bool SolverInstalled() {
  return QFileInfo::exists("/usr/bin/solve-field") &&
         QFileInfo::exists("/usr/share/astrometry/index-tycho2-10.littleendian.fits");
}

// The program's working folder: the built data linked into a folder of the
// test's own, which becomes the current folder.
class ImagingNight : public startup_fixture::StartUpFixture {
 protected:
  void SetUp() override {
    StartUpFixture::SetUp();
    if (IsSkipped() || HasFatalFailure()) return;
    const std::string run = home.File("run/");
    std::filesystem::create_directories(run);
    for (const auto& f : std::filesystem::directory_iterator(std::filesystem::current_path()))
      std::filesystem::create_symlink(f.path(), run + f.path().filename().string());
    here_ = std::make_unique<testing_support::ScopedCurrentFolder>(run);
    // The program's own name for its settings: relative.
    form->ImagingSettingsPath = "ImagingSettings.xml";
  }
  void TearDown() override {
    if (!destroyed) delete form;
    destroyed = true;
    here_.reset();
    StartUpFixture::TearDown();
  }

  // Solve Now in the plate-solving window; the status line once the solve
  // has ended.
  std::string SolveNow(imaging::TPlateSolveForm1& ps) {
    ps.SolveNow->click();
    EXPECT_FALSE(ps.SolveNow->isEnabled());
    // The button stays off until the solve has ended.
    EXPECT_TRUE(RunEventsUntil([&] { return !ps.Logic.Job() && ps.SolveNow->isEnabled(); }, 240000))
        << LogLines().LastLine();
    return ps.StatusBar1->text().toStdString();
  }

  // Sends the mount to the star and syncs it there, from the chart's pop-up.
  void GotoAndSync(TMainForm1& m, const TStar& star) {
    int32_t x = 0, y = 0;
    double pixel = 0;
    ASSERT_TRUE(RightClickOnChart(m, star.RA(), star.Dec(), x, y, pixel)) << star.name;
    m.GotoHere->trigger();
    ASSERT_TRUE(RunEventsUntil([&] { return !TeleControl()->GotoInProgress(); }, 30000)) << star.name;
    m.SyncHere->trigger();
    const TTelescopeMarker mark = TelescopeMarker();
    ASSERT_LT(Separation(mark.ra, mark.dec, m.ClickRA, m.ClickDec), 0.1 * kArcmin) << star.name;
  }

  // The chart's plate-solve cross: drawn, and where it lies on the sky (of
  // date).
  void CrossOnStar(TMainForm1& m, const TStar& star) {
    const TDrawnMark cross = DrawnMark(m, [](TChartInputs& in) { in.plateSolvePosition = nullptr; });
    ASSERT_GT(cross.pixels, 4) << star.name << ": no cross drawn";
    double ra = 0, dec = 0;
    ASSERT_TRUE(m.Chart().ScreenToRaDec(int32_t(std::lround(cross.x)), int32_t(std::lround(cross.y)), ra, dec));
    double starRa = star.RA(), starDec = star.Dec();
    TObserverTime o = ObserverTime;
    Precess(o, starRa, starDec);
    // The simulated field is centred on the star; 10' leaves room for the
    // drawing's pixels and the solve.
    const double off = Separation(ra, dec, starRa, starDec);
    EXPECT_LT(off, 10 * kArcmin) << star.name << ": " << off / kArcmin << "'";
  }

  std::unique_ptr<testing_support::ScopedCurrentFolder> here_;
};

// The plate-solve lines of the log, in order, without the telescope's
// moves.
std::vector<std::string> SolverLines() {
  std::vector<std::string> out;
  for (const std::string& l : LogLines().Lines())
    if (l.rfind("[Plate-Solve] ", 0) == 0 && l.rfind("[Plate-Solve] Telescope ", 0) != 0) out.push_back(l.substr(14));
  return out;
}

}  // namespace

TEST_F(ImagingNight, PlateSolvingFromANormalStartLandsOnTheSyncedStar) {
  if (!SolverInstalled()) {
    if (std::getenv("CI")) FAIL() << "astrometry.net or astrometry-data-tycho2-10-19 not installed";
    GTEST_SKIP() << "solve-field or the Tycho-2 index files are not installed";
  }
  FastSimulators fast;
  // Started as the program starts: the data folder is the working folder.
  form->FormCreate();
  platform::SetDialogs(&dialogs);
  ASSERT_TRUE(form->StartupComplete());
  EXPECT_EQ(DataFolder, platform::CurrentFolder());
  if (QScreen* screen = QGuiApplication::primaryScreen()) form->setGeometry(screen->availableGeometry());
  form->show();
  ASSERT_TRUE(RunEventsUntil([&] { return !form->StartupPending && !StarThreadRunning(); }, 60000));
  TMainForm1& m = *form;
  m.CreateDeviceWindows();

  // Connections > Telescope: the telescope simulator.
  m.TelescopeControl1->trigger();
  auto* teleForm = form->findChild<TTeleForm1*>();
  ASSERT_TRUE(teleForm);
  teleForm->findChild<QLineEdit*>()->setText(QStringLiteral("Noctra.Simulator.Telescope"));
  FindButton(teleForm, QStringLiteral("Connect"))->click();
  ASSERT_TRUE(TeleControl()->Connected());
  teleForm->hide();
  // Connections > Cameras: the camera simulator as "ASCOM Camera #1".
  OpenModally(m, m.Camera1, [] {
    auto* w = qobject_cast<imaging::TAscomCameraForm1*>(QApplication::activeModalWidget());
    if (!w) return;
    (*imaging::AscomCameraSlots())[1].name = "Noctra.Simulator.Camera";  // as the chooser gives it
    w->Connect1->click();
  });
  ASSERT_TRUE(imaging::AscomCameraSlots()->Camera(1));

  const TStar& first = HighestStar();
  GotoAndSync(m, first);

  // Imaging > Plate Solving, with the camera.
  m.PlateSolve1->trigger();
  imaging::TPlateSolveForm1* ps = imaging::PlateSolveForm1();
  ASSERT_TRUE(ps && ps->isVisible());
  const int source = ps->ImageSource->findText(QStringLiteral("ASCOM Camera #1"));
  ASSERT_GE(source, 0);
  ps->ImageSource->setCurrentIndex(source);
  ASSERT_TRUE(RunEventsUntil([&] { return ps->Logic.Camera() && ps->SolveNow->isEnabled(); }, kEventWaitMs));

  // A solve that fails says why in the window's status line.
  {
    testing_support::ScopedEnv missing("NOCTRA_SOLVE_FIELD", "/nonexistent/solve-field");
    EXPECT_EQ(SolveNow(*ps),
              "Not solved: Failed to submit job: solve-field is not installed (Debian package astrometry.net)");
  }
  if (const char* shots = std::getenv("NOCTRA_SHOT_DIR")) ps->grab().save(QString::fromUtf8(shots) + "/plate_solve_failed.png");
  // The picture lies where the client looks for it: in the data folder.
  EXPECT_TRUE(platform::FileExists(DataFolder + "PlateSolve/solve_me.jpg"));

  // Solved: the cross lands on the star the mount was synced on.
  LogLines().Clear();
  const std::string solved = SolveNow(*ps);
  ASSERT_EQ(solved.rfind("Solved: R.A.", 0), 0u) << solved << "\n" << LogLines().LastLine();
  CrossOnStar(m, first);

  // The console holds the camera (the usual case with one camera).
  m.Imaging2->trigger();
  imaging::TIcForm1* ic = imaging::IcForm1();
  ASSERT_TRUE(ic && ic->isVisible());
  ic->ImageSource->setCurrentIndex(ic->ImageSource->findText(QStringLiteral("ASCOM Camera #1")));
  emit ic->ImageSource->activated(ic->ImageSource->currentIndex());  // as a user's choice
  ASSERT_TRUE(RunEventsUntil([&] { return ic->Logic.HasCameraToken(); }, kEventWaitMs)) << ic->Logic.Status();

  // Elsewhere, solved with the console's camera: the console is paused for
  // the exposure and resumed.
  const TStar& second = HighestStar(&first);
  GotoAndSync(m, second);
  LogLines().Clear();
  const std::string again = SolveNow(*ps);
  ASSERT_EQ(again.rfind("Solved: R.A.", 0), 0u) << again << "\n" << LogLines().LastLine();
  const std::vector<std::string> lines = SolverLines();
  const std::vector<std::string> expected = {"Pausing Imaging-Console", "Waiting to start exposure",
                                             "Exposure 1 seconds", "Image aquired", "Resuming Imaging Console"};
  ASSERT_GE(lines.size(), expected.size());
  EXPECT_EQ(std::vector<std::string>(lines.begin(), lines.begin() + 5), expected);
  CrossOnStar(m, second);
  if (const char* shots = std::getenv("NOCTRA_SHOT_DIR")) {
    ps->grab().save(QString::fromUtf8(shots) + "/plate_solve_solved.png");
    m.grab().save(QString::fromUtf8(shots) + "/chart_cross.png");
  }
  ASSERT_TRUE(RunEventsUntil([&] { return ic->Logic.HasCameraToken(); }, kEventWaitMs)) << ic->Logic.Status();
  EXPECT_TRUE(ic->Logic.Camera() && ic->Logic.Camera()->Connected());
  EXPECT_TRUE(ic->Preview->isEnabled() && ic->Start->isEnabled() && ic->ImageSource->isEnabled());

  // The settings go where the program started, whatever the folder now.
  form->close();
  ASSERT_TRUE(RunEventsUntil([&] { return destroyed; }, 5000));
  for (const char* file : {"ImagingSettings.xml", "ImagingConsoleSettings.xml", "PlateSolveSettings.xml"})
    EXPECT_TRUE(platform::FileExists(home.File("run/") + file)) << file;
}
