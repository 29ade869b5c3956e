// The main window's device windows: the telescope, its accessories and
// the cameras, and what they need of the main window.
#include "app/forms/main_form.h"

#include <QEvent>
#include <QEventLoop>
#include <QMenuBar>
#include <QPointer>
#include <filesystem>

#include "app/forms/main_form_parts.h"
#include "chart/clicks.h"
#include "chart/plotter_b.h"
#include "imaging/camera_setup.h"
#include "imaging/fits_bitmap.h"
#include "imaging/forms/ascom_camera_forms.h"
#include "imaging/forms/camera_settings_forms.h"
#include "imaging/forms/imaging_windows.h"
#include "imaging/forms/tele_mount.h"
#include "imaging/port_output.h"
#include "platform/paths.h"
#include "shell/globals.h"
#include "shell/log_lines.h"
#include "telescope/forms/device_forms.h"
#include "telescope/forms/tele_form.h"
#include "tools/forms/information_forms.h"

using namespace mainform;

// --- Device windows ------------------------------------------------------------

namespace {

// What the telescope and its accessories need of the main window.
class TMainTelescopeHost : public ITelescopeHost {
 public:
  explicit TMainTelescopeHost(TMainForm1& form) : f_(form) {}
  void CopyObserver(TObserverTime& out) override { out = MainPlotter ? MainPlotter->Observer : ObserverTime; }
  double ChartEpochJD() override { return ObserverTime.EpochTo > 0 ? ObserverTime.EpochTo : 2451545.0; }
  void RealTime() override { f_.RealTime1Click(); }
  // While a mount is connected the chart keeps its time and place.
  void SetTimeAndLocationMenusEnabled(bool on) override {
    f_.Keys.TelescopeConnected = !on;
    f_.Keys.NewTimeEnabled = on;
    for (QAction* a : {f_.Now1, f_.Now2, f_.Earlytonight1, f_.EarlyTonight2, f_.Midnight1, f_.Midnight2,
                       f_.EarlyTomorrow1, f_.EarlyTomorrow2, f_.RealTime1, f_.RealTime2, f_.NewTime1,
                       f_.NewDateTime1, f_.NewLocation1, f_.NewLocation2})
      a->setEnabled(on);
    for (QAction* a : f_.Picks) a->setEnabled(on);
  }
  void SetGotoHereEnabled(bool on) override { f_.GotoHere->setEnabled(on); }
  void SetSyncHereEnabled(bool on) override { f_.SyncHere->setEnabled(on); }
  void SetAcceptAlignEnabled(bool on) override { f_.AcceptAlign->setEnabled(on); }
  void ChartNeedsRedraw() override { f_.Chart().MarkReplot(); }
  bool PlaceChosen() override { return f_.PlaceChosen(); }

 private:
  TMainForm1& f_;
};

// Ends a modal loop when its window is hidden by the program or the user
// (not when the window system minimises it).
class HiddenWatch : public QObject {
 public:
  explicit HiddenWatch(QEventLoop& loop) : loop_(loop) {}
  bool eventFilter(QObject*, QEvent* e) override {
    if (e->type() == QEvent::Hide && !e->spontaneous()) loop_.quit();
    return false;
  }

 private:
  QEventLoop& loop_;
};

}  // namespace

void mainform::ShowModal(QWidget* window) {
  if (window->isVisible()) {
    window->raise();
    window->activateWindow();
    return;
  }
  QEventLoop loop;
  HiddenWatch watch(loop);
  QPointer<QWidget> guard(window);
  window->installEventFilter(&watch);
  QObject::connect(window, &QObject::destroyed, &loop, &QEventLoop::quit);
  window->setWindowModality(Qt::ApplicationModal);
  window->show();
  window->raise();
  window->activateWindow();
  loop.exec(QEventLoop::DialogExec);
  if (!guard) return;
  guard->removeEventFilter(&watch);
  // Hidden now, so its modality may change: another window may show it
  // beside the others.
  if (!guard->isVisible()) guard->setWindowModality(Qt::NonModal);
}

void TMainForm1::CreateTelescopeWindow() {
  if (Devices.TeleForm1) return;
  telescopeHost_ = std::make_unique<TMainTelescopeHost>(*this);
  Devices.TeleForm1 = ::CreateTelescopeWindow(this, telescopeHost_.get());
  Connections1 = new QMenu(QStringLiteral("&Connections"), this);
  menuBar()->insertMenu(Observer1->menuAction(), Connections1);
  // The telescope window stays open beside the chart; the accessories'
  // and the cameras' windows are modal. A window not made yet (a start-up
  // box open while the windows are made) is not opened.
  TelescopeControl1 = Item(Connections1, "&Telescope...", [this] {
    Devices.TeleForm1->show();
    Devices.TeleForm1->raise();
  });
  FilterWheel1 = Item(Connections1, "&Filter Wheel...", [this] {
    if (Devices.FilterWheelForm1) ShowModal(Devices.FilterWheelForm1);
  });
  Focuser1 = Item(Connections1, "F&ocuser...", [this] {
    if (Devices.FocuserForm1) ShowModal(Devices.FocuserForm1);
  });
  Camera1 = Item(Connections1, "&Cameras...", [this] {
    if (AscomCameraForm1) ShowModal(AscomCameraForm1);
  });
  PopupMenu1->addSeparator();
  GotoHere = Item(PopupMenu1, "Telescope &goto here", [this] {
    if (TeleControl()) TeleControl()->GotoRaDec(ClickRA, ClickDec);
  });
  SyncHere = Item(PopupMenu1, "Telescope &sync here", [this] {
    if (TeleControl()) TeleControl()->SyncRaDec(ClickRA, ClickDec);
  });
  AcceptAlign = Item(PopupMenu1, "Telescope &accept align", [] {
    if (TeleControl()) TeleControl()->AcceptStarButton1Click();
  });
  for (QAction* a : {GotoHere, SyncHere, AcceptAlign}) a->setEnabled(false);  // until a mount is connected
}

void TMainForm1::CreateAscomCameraWindow() {
  if (AscomCameraForm1) return;
  ascomCameras_ = std::make_unique<imaging::TAscomCameraSlots>();
  imaging::SetAscomCameraSlots(ascomCameras_.get());
  AscomCameraForm1 = new imaging::TAscomCameraForm1(*ascomCameras_, this);
}

// --- Cameras and imaging windows -------------------------------------------------

void TMainForm1::CreateCamerasAndImagingMenu() {
  if (camerasCreated_) return;
  // The port output of the cameras' long-exposure lines, then the cameras
  // of "ImagingSettings.xml".
  imaging::PortIOInitialization();
  imaging::CreateCameras(ImagingSettingsPath);
  camerasCreated_ = true;
  imaging::InstallCameraSettingsWindows(true);
  imaging::InstallAscomCameraSettingsWindow(this);
  // A modified DSI camera's cooler answers through the filter wheel.
  imaging::InstallDsiCooler(true);
  ImagingMenu1 = new QMenu(QStringLiteral("&Imaging"), this);
  // Before Connections, also when a failed start-up made that menu first.
  menuBar()->insertMenu(Connections1 ? Connections1->menuAction() : Observer1->menuAction(), ImagingMenu1);
  Imaging1 = ImagingMenu1->addMenu(QStringLiteral("&Source Settings"));
  imaging::FillSourceSettingsMenu(Imaging1);
}

std::string TMainForm1::ImagingWindowsFolder() const {
  return platform::AbsoluteFolder(std::filesystem::path(ImagingSettingsPath).parent_path().string(), DataFolder);
}

void TMainForm1::CreatePlateSolveWindow() {
  if (imaging::PlateSolveForm1()) return;
  // A start-up that failed before its cameras: they need nothing it missed.
  CreateCamerasAndImagingMenu();
  // Plate solving, the autoguider and the console keep their settings
  // beside the cameras'.
  imaging::CreatePlateSolveWindow(this, ImagingWindowsFolder());
  imaging::PlateSolveForm1()->Logic.OnSolvedPositionChanged = [this] { chart_->MarkReplot(); };
  imaging::ChartCentre = [](double& ra, double& dec) {
    if (!MainPlotter) return false;
    ra = MainPlotter->CentreRA;
    dec = MainPlotter->CentreDec;
    DateToJ2000(*MainPlotter, ra, dec);
    return true;
  };
  // The information windows' pictures: FITS files too, as the imaging
  // windows read them; a file read with a doubt is named in the log, and so
  // is why a refused one was refused.
  TImagesPage::LoadPicture = [](const std::string& path, std::string& why) {
    std::string warning, reason;
    QImage picture = imaging::LoadPictureFile(path, why, &warning, &reason);
    if (!warning.empty()) LogLines().AddLine("[Images] " + path + ": " + warning);
    if (!reason.empty()) LogLines().AddLine("[Images] " + path + " is not loaded: " + reason);
    return picture;
  };
}

void TMainForm1::CreateAutoGuideWindow() {
  if (!imaging::AutoGuideForm()) imaging::CreateAutoGuideWindow(this, ImagingWindowsFolder());
}

void TMainForm1::CreateImagingConsoleWindow() {
  if (imaging::IcForm1()) return;
  imaging::CreateImagingConsoleWindow(this, ImagingWindowsFolder());
  // The console's filter-wheel settings button opens the filter-wheel window.
  imaging::ShowFilterWheelWindow = [this] {
    if (!Devices.FilterWheelForm1) return;
    Devices.FilterWheelForm1->show();
    Devices.FilterWheelForm1->raise();
  };
  // The three windows' items, once the last of them is made.
  AutoGuiding1 = Item(ImagingMenu1, "&Auto Guiding...", [] { imaging::ShowAutoGuider(); });
  Imaging2 = Item(ImagingMenu1, "Imaging &Console...", [] { imaging::ShowImagingConsole(); });
  PlateSolve1 = Item(ImagingMenu1, "&Plate Solving...", [] { imaging::ShowPlateSolve(); });
}
