// The plate solver end to end: the simulated mount is sent to a field, the
// camera simulator with its default optics takes its picture there, the plate-solve window's logic
// hands it to the client script and solve-field, and "Sync and goto again"
// corrects the mount. The simulated mount carries a pointing error (its
// sky position is its own reading plus an offset); a sync moves nothing on
// the sky, so it changes the offset, as on a real mount.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QThread>
#include <cmath>
#include <functional>

#include "astro/observer.h"
#include "catalog/stars.h"
#include "imaging/ascom_camera.h"
#include "imaging/camera_sim.h"
#include "imaging/forms/tele_mount.h"
#include "imaging/imaging_settings.h"
#include "imaging/plate_solve_logic.h"
#include "platform/automation_sim.h"
#include "shell/log_lines.h"
#include "telescope/host.h"
#include "telescope/tele_control.h"
#include "tests/support/test_support.h"

using namespace imaging;

namespace {

constexpr double kDeg = M_PI / 180.0;
constexpr double kArcmin = kDeg / 60.0;

// Angular distance between two positions (radians), haversine form.
double Separation(double ra1, double dec1, double ra2, double dec2) {
  const double s = std::sin((dec2 - dec1) / 2), t = std::sin((ra2 - ra1) / 2);
  return 2 * std::asin(std::sqrt(s * s + std::cos(dec1) * std::cos(dec2) * t * t));
}

// A mount whose sky position is its reading plus a pointing error; a sync
// leaves the sky position where it is.
class TMisalignedMount : public platform::TSimTelescope {
 public:
  double offRa = 0.30 * kDeg, offDec = -0.20 * kDeg;  // radians
  void SkyPosition(double& ra, double& dec) const {
    ra = RaHours() * 15 * kDeg + offRa;
    dec = DecDegrees() * kDeg + offDec;
  }

 protected:
  platform::TVariant DoInvoke(const std::string& m, const platform::TVariantList& args) override {
    if (m != "SyncToCoordinates") return TSimTelescope::DoInvoke(m, args);
    double ra, dec;
    SkyPosition(ra, dec);
    auto r = TSimTelescope::DoInvoke(m, args);
    offRa = ra - RaHours() * 15 * kDeg;
    offDec = dec - DecDegrees() * kDeg;
    return r;
  }
};

// Chart coordinates of J2000.0 (no precession), as the reference data.
class J2000Host : public ITelescopeHost {
 public:
  void CopyObserver(TObserverTime& out) override { out = ObserverTime; }
  double ChartEpochJD() override { return 2451545.0; }
};

bool Until(const std::function<bool()>& done, int timeoutMs, const std::function<void()>& tick) {
  QElapsedTimer t;
  t.start();
  qint64 last = -1000;
  while (!done()) {
    if (t.elapsed() > timeoutMs) return false;
    if (t.elapsed() - last >= 200) {
      last = t.elapsed();
      if (tick) tick();
    }
    QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    QThread::msleep(5);
  }
  return true;
}

}  // namespace

TEST(PlateSolveEndToEnd, SolvesTheSimulatedFieldAndSyncCorrectsTheGoto) {
  NOCTRA_REQUIRE_REFERENCE_DATA(QFileInfo::exists(NOCTRA_REFDATA "tycho2.dat"));
  NOCTRA_REQUIRE_TOOL(testing_support::HaveSolveField(), "solve-field", "astrometry.net");
  NOCTRA_REQUIRE_TOOL(testing_support::HaveTycho2Index(), "the Tycho-2 index", "astrometry-data-tycho2-10-19");
  LogLines().Clear();
  InitObserver(ObserverTime);  // J2000.0: the solved position needs no precession
  TStarLoadJob load;
  load.tychoPath = NOCTRA_REFDATA "tycho2.dat";
  InitObserver(load.observer);
  TychoStars = ConvertTychoCatalog(load);
  ASSERT_GT(TychoStars.size(), 100000u);
  SaoStars.clear();

  // The camera simulator as the program offers it, drawing the Tycho-2
  // stars loaded above.
  auto mount = std::make_shared<TMisalignedMount>();
  platform::RegisterDriver({"Test.Mount", "Telescope", "test", [mount] { return mount; }});
  RegisterSimCameraDriver();
  SimCameraPointing = [mount](double& ra, double& dec) {
    mount->SkyPosition(ra, dec);
    return true;
  };

  mount->SetPointing(8.0, 19.0);  // a short slew to the field
  J2000Host host;
  TTeleControl tele{&host};
  tele.name = "Test.Mount";
  tele.ConnectClick();
  ASSERT_TRUE(tele.Connected());
  ImagingSettingsDoc().Doc.Clear();
  TAscomCameraSlots cams;
  cams[1].name = "Noctra.Simulator.Camera";
  cams.ConnectClick(1);
  ASSERT_NE(cams.Camera(1), nullptr);

  QTemporaryDir folder;
  TTeleMount teleMount(&tele);
  TPlateSolveLogic solver(&teleMount, {}, [&](const std::string& n) -> TCamera* {
    return n == "ASCOM Camera #1" ? cams.Camera(1) : nullptr;
  });
  solver.ClientFolder = folder.path().toStdString() + "/solver/";
  solver.ClientScript = NOCTRA_SOLVE_CLIENT;
  solver.JobTickMs = 100;
  solver.Sel.Exposure = 2.0;
  solver.Sel.FieldSize = 5.0;
  solver.Sel.TimeToSolve = 240;
  solver.ImageSource = "ASCOM Camera #1";
  solver.Mode = TAutoMode::Sync;
  const auto tick = [&] { solver.PlateSolveTimer1Timer(); };

  // Praesepe's neighbourhood: RA 8h 30m, Dec +21 degrees (J2000).
  const double targetRa = 127.5 * kDeg, targetDec = 21.0 * kDeg;
  ASSERT_TRUE(tele.GotoRaDec(targetRa, targetDec));
  tick();
  // The goto ends, the solver exposes and solves, syncs and goes again.
  double skyRa = 0, skyDec = 0;
  ASSERT_TRUE(Until([&] { return solver.Job() != nullptr; }, 60000, tick));
  mount->SkyPosition(skyRa, skyDec);
  const double errorBefore = Separation(skyRa, skyDec, targetRa, targetDec);
  EXPECT_GT(errorBefore, 15 * kArcmin);
  // The answer is taken up at once: the mount is synced and sent again.
  ASSERT_TRUE(Until([&] { return solver.Job() == nullptr; }, 240000, tick)) << LogLines().LastLine();
  double solvedRa = 0, solvedDec = 0;
  ASSERT_TRUE(solver.LastSolve(solvedRa, solvedDec)) << LogLines().LastLine();
  // Field centre within 1' of where the simulated camera looked.
  EXPECT_LT(Separation(solvedRa, solvedDec, skyRa, skyDec), kArcmin);
  ASSERT_TRUE(Until([&] { return !tele.GotoInProgress() && !mount->IsSlewing(); }, 60000, tick));
  ASSERT_TRUE(Until([&] { return !tele.GotoInProgress(); }, testing_support::kWaitMs, tick));
  mount->SkyPosition(skyRa, skyDec);
  EXPECT_LT(Separation(skyRa, skyDec, targetRa, targetDec), kArcmin);
  // And a goto elsewhere after the sync lands within 1' as well.
  const double otherRa = 129.0 * kDeg, otherDec = 20.0 * kDeg;
  solver.Mode = TAutoMode::None;
  ASSERT_TRUE(tele.GotoRaDec(otherRa, otherDec));
  ASSERT_TRUE(Until([&] { return !mount->IsSlewing(); }, 60000, nullptr));
  mount->SkyPosition(skyRa, skyDec);
  EXPECT_LT(Separation(skyRa, skyDec, otherRa, otherDec), kArcmin);

  SimCameraPointing = nullptr;
  TychoStars.clear();
  TychoStars.shrink_to_fit();
}
