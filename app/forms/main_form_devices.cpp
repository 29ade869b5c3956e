// The main window's device windows: the telescope, its accessories and
// the cameras, and what they need of the main window.
#include "app/forms/main_form.h"

#include <QMenuBar>

#include "app/forms/main_form_parts.h"
#include "chart/plotter_b.h"
#include "imaging/forms/ascom_camera_forms.h"
#include "telescope/forms/device_forms.h"
#include "telescope/forms/tele_form.h"

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

 private:
  TMainForm1& f_;
};

}  // namespace

void TMainForm1::CreateDeviceWindows() {
  if (Devices.TeleForm1) return;
  telescopeHost_ = std::make_unique<TMainTelescopeHost>(*this);
  Devices = CreateTelescopeWindows(this, telescopeHost_.get());
  Connections1 = new QMenu(QStringLiteral("&Connections"), this);
  menuBar()->insertMenu(Observer1->menuAction(), Connections1);
  auto show = [](QWidget* w) {
    w->show();
    w->raise();
  };
  TelescopeControl1 = Item(Connections1, "&Telescope...", [this, show] { show(Devices.TeleForm1); });
  FilterWheel1 = Item(Connections1, "&Filter Wheel...", [this, show] { show(Devices.FilterWheelForm1); });
  Focuser1 = Item(Connections1, "F&ocuser...", [this, show] { show(Devices.FocuserForm1); });
  Camera1 = Item(Connections1, "&Cameras...", [this, show] {
    if (!AscomCameraForm1) {
      ascomCameras_ = std::make_unique<imaging::TAscomCameraSlots>();
      imaging::SetAscomCameraSlots(ascomCameras_.get());
      AscomCameraForm1 = new imaging::TAscomCameraForm1(*ascomCameras_, this);
    }
    show(AscomCameraForm1);
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
