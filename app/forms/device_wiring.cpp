#include "app/forms/device_wiring.h"

#include <QAction>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QCheckBox>
#include <QCloseEvent>
#include <QLabel>
#include <QLayout>
#include <QPointer>
#include <QTableWidget>
#include <QMenu>
#include <QMenuBar>
#include <algorithm>
#include <initializer_list>
#include <memory>

#include "app/core/points_of_interest.h"
#include "app/forms/main_form.h"
#include "app/forms/poi_form.h"
#include "app/globals.h"
#include "astro/observer.h"
#include "astro/precession.h"
#include "chart/render_inputs.h"
#include "imaging/ascom_camera.h"
#include "imaging/camera_setup.h"
#include "imaging/camera_sim.h"
#include "imaging/file_camera.h"
#include "imaging/forms/ascom_camera_forms.h"
#include "imaging/forms/camera_settings_forms.h"
#include "imaging/forms/imaging_windows.h"
#include "imaging/imaging_settings.h"
#include "platform/automation.h"
#include "telescope/accessories.h"
#include "telescope/forms/assist_form.h"
#include "telescope/forms/device_forms.h"
#include "telescope/forms/sequencer_panel.h"
#include "telescope/forms/tele_form.h"
#include "telescope/forms/telescope_windows.h"
#include "telescope/host.h"
#include "telescope/sequencer.h"
#include "telescope/tele_control.h"
#include "telescope/telescope_view.h"

std::string ImagingSettingsPath = imaging::kImagingSettingsFile;

namespace {

constexpr double kJ2000 = 2451545.0;

// The telescope's view of the main window: the live observer record (copied),
// the chart's epoch, and the menu items a connected mount locks.
class TMainWindowHost : public ITelescopeHost {
 public:
  explicit TMainWindowHost(TMainForm1& form) : form_(form) {}

  void CopyObserver(TObserverTime& out) override { out = ObserverTime; }
  // The chart shows positions of date while precession is on.
  double ChartEpochJD() override {
    return ObserverTime.PrecessionOn && ObserverTime.EpochTo > 0 ? ObserverTime.EpochTo : kJ2000;
  }
  void RealTime() override { form_.RealTime1Click(); }
  void SetTimeAndLocationMenusEnabled(bool on) override;
  void SetGotoHereEnabled(bool on) override { Enable(menus().GotoHere, on); }
  void SetSyncHereEnabled(bool on) override { Enable(menus().SyncHere, on); }
  void SetAcceptAlignEnabled(bool on) override { Enable(menus().AcceptAlign, on); }
  void ChartNeedsRedraw() override { form_.Chart().MarkReplot(); }

 private:
  static const TDeviceMenus& menus() { return DeviceMenus(); }
  static void Enable(QAction* a, bool on) {
    if (a) a->setEnabled(on);
  }
  TMainForm1& form_;
};

// Every item of a menu and its submenus.
void EnableMenuTree(QMenu* menu, bool on) {
  if (!menu) return;
  for (QAction* a : menu->actions()) {
    if (a->isSeparator()) continue;
    a->setEnabled(on);
    EnableMenuTree(a->menu(), on);
  }
}

// Every item of a menu but the listed ones.
void EnableMenuExcept(QMenu* menu, bool on, std::initializer_list<QAction*> keep, const auto& keepToo) {
  if (!menu) return;
  for (QAction* a : menu->actions()) {
    if (a->isSeparator() || std::find(keep.begin(), keep.end(), a) != keep.end() ||
        std::find(keepToo.begin(), keepToo.end(), a) != keepToo.end())
      continue;
    a->setEnabled(on);
    EnableMenuTree(a->menu(), on);
  }
}

void TMainWindowHost::SetTimeAndLocationMenusEnabled(bool on) {
  // The Observer menu holds only time and place commands; the clock pop-up
  // keeps its display mode and sizes, the globe pop-up its sizes.
  EnableMenuTree(form_.Observer1, on);
  EnableMenuExcept(form_.ClockMenu, on, {form_.LMTUT1, form_.Sidereal1}, form_.ClockSizes);
  EnableMenuExcept(form_.GlobeMenu, on, {}, form_.GlobeSizes);
  // The chart's time keys and buttons.
  form_.Keys.TelescopeConnected = !on;
  // The rate items stay disabled while the time is stopped.
  if (on) form_.SetTimeFlow(TimeFlow);
}

// The sequencer's points: the main window's point table (J2000).
class TPointTable : public IPointSource {
 public:
  explicit TPointTable(TPOIForm& window) : window_(window) {}
  int PointCount() override { return POICount; }
  TSequencePoint Point(int i) override {
    if (i < 1 || i > POICount) return {};
    const TPointOfInterest& p = POITable[size_t(i)];
    return {p.RA, p.Dec, p.Name, p.Goto == 1, p.Plan, p.Confirm == 1};
  }
  void ShowPoint(int i) override {
    if (window_.POIGrid && i >= 1 && i <= window_.POIGrid->rowCount()) window_.POIGrid->selectRow(i - 1);
  }

 private:
  TPOIForm& window_;
};

// Refuses the points window's close while a sequence runs unpaused.
class TCloseGuard : public QObject {
 public:
  TCloseGuard(TSequencerPanel* panel, QObject* parent) : QObject(parent), panel_(panel) {}
  bool eventFilter(QObject* watched, QEvent* e) override {
    if (e->type() == QEvent::Close && panel_ && !panel_->CanClose()) {
      e->ignore();
      return true;
    }
    return QObject::eventFilter(watched, e);
  }

 private:
  QPointer<TSequencerPanel> panel_;
};

// The sequencer's imaging step: the imaging console's controls and its
// Start button.
class TConsoleImaging : public IImagingStep {
 public:
  bool CameraSelected() override {
    const imaging::TIcForm1* f = imaging::IcForm1();
    return f && !f->Logic.ImageSource.empty() && f->Logic.ImageSource != "None";
  }
  std::vector<std::string> FilterItems() override { return Items(imaging::IcForm1() ? imaging::IcForm1()->Filter : nullptr); }
  std::vector<std::string> FrameTypeItems() override {
    return Items(imaging::IcForm1() ? imaging::IcForm1()->Purpose : nullptr);
  }
  void Start(int exposures, double seconds, const std::string& filter, const std::string& frameType) override {
    started_ = false;
    imaging::TIcForm1* f = imaging::IcForm1();
    if (!f) return;
    f->ExposureNum->setText(QString::number(exposures));
    f->ExposureTime->setText(QString::number(seconds));
    if (const int i = f->Filter->findText(QString::fromStdString(filter)); i >= 0 && i != f->Filter->currentIndex()) {
      f->Filter->setCurrentIndex(i);
      f->Logic.FilterIndex = i;
      f->Logic.FilterChange();
    }
    if (const int i = f->Purpose->findText(QString::fromStdString(frameType)); i >= 0) f->Purpose->setCurrentIndex(i);
    started_ = imaging::StartImagingSequence();
  }
  bool Finished() override { return started_ && !imaging::ImagingSequenceRunning(); }
  // The console gave up: no console, no camera, or the start was refused.
  bool Failed() override { return !started_ || !CameraSelected(); }
  void Abort() override {
    imaging::TIcForm1* f = imaging::IcForm1();
    if (f && f->Logic.StartDown()) f->Start->setChecked(false);
  }

 private:
  static std::vector<std::string> Items(const QComboBox* box) {
    std::vector<std::string> out;
    if (box)
      for (int i = 0; i < box->count(); ++i) out.push_back(box->itemText(i).toStdString());
    return out;
  }
  bool started_ = false;
};

// The folder of the imaging settings file, with its closing "/".
std::string ImagingFolder() {
  const std::size_t slash = ImagingSettingsPath.rfind('/');
  return slash == std::string::npos ? DataFolder : ImagingSettingsPath.substr(0, slash + 1);
}

// What exists between StartDevices and FreeDevices.
struct TDevices {
  TDeviceMenus menus;
  std::unique_ptr<TMainWindowHost> host;
  TTelescopeWindows tele;
  std::unique_ptr<imaging::TAscomCameraSlots> cameraSlots;
  imaging::TAscomCameraForm1* AscomCameraForm1 = nullptr;
  std::unique_ptr<TPointTable> points;
  TConsoleImaging consoleImaging;
  std::unique_ptr<TSequencer> sequencer;
  QPointer<TSequencerPanel> sequencerPanel;
  QPointer<TCloseGuard> closeGuard;
  bool started = false;
};

TDevices& D() {
  static TDevices d;
  return d;
}

void ShowWindow(QWidget* w, bool modal) {
  if (!w) return;
  // The accessory windows are modal to the program but shown without a
  // nested event loop, so the heartbeat goes on.
  w->setWindowModality(modal ? Qt::ApplicationModal : Qt::NonModal);
  w->show();
  w->raise();
  w->activateWindow();
}

void AddItem(QMenu* menu, QAction*& item, const char* caption, std::function<void()> fn) {
  item = menu->addAction(QString::fromUtf8(caption));
  QObject::connect(item, &QAction::triggered, menu, [fn = std::move(fn)] { fn(); });
  item->setEnabled(false);  // until the devices exist
}

// The "ASCOM Camera #1/#2" items of "&Source Settings": the settings of a
// connected driver camera.
void AddDriverCameraItems(QMenu* menu) {
  for (int n = 1; n <= 2; ++n) {
    QAction* a = menu->addAction(QStringLiteral("ASCOM Camera #%1").arg(n), [n] {
      if (imaging::TAscomCameraSlots* cams = imaging::AscomCameraSlots())
        if (imaging::TASCOMCamera* cam = cams->Camera(n)) cam->ShowSettings();
    });
    a->setEnabled(false);
  }
  QObject::connect(menu, &QMenu::aboutToShow, menu, [menu] {
    imaging::TAscomCameraSlots* cams = imaging::AscomCameraSlots();
    for (QAction* a : menu->actions()) {
      const QString t = a->text();
      if (!t.startsWith(QStringLiteral("ASCOM Camera #"))) continue;
      const int n = t.back().digitValue();
      a->setEnabled(cams && cams->Camera(n) != nullptr);
    }
  });
}

}  // namespace

const TDeviceMenus& DeviceMenus() { return D().menus; }

void AddDeviceMenus(TMainForm1& form, QMenuBar* bar) {
  TDeviceMenus& m = D().menus;
  m.Connections1 = bar->addMenu(QStringLiteral("&Connections"));
  AddItem(m.Connections1, m.TelescopeControl1, "&Telescope...", [] { ShowWindow(D().tele.TeleForm1, false); });
  AddItem(m.Connections1, m.FilterWheel1, "&Filter Wheel...", [] { ShowWindow(D().tele.FilterWheelForm1, true); });
  AddItem(m.Connections1, m.Focuser1, "F&ocuser...", [] { ShowWindow(D().tele.FocuserForm1, true); });
  AddItem(m.Connections1, m.Camera1, "&Cameras...", [] { ShowWindow(D().AscomCameraForm1, true); });
  m.ImagingMenu = bar->addMenu(QStringLiteral("&Imaging"));
  m.Imaging1 = m.ImagingMenu->addMenu(QStringLiteral("&Source Settings"));
  m.Imaging1->setEnabled(false);
  m.ImagingMenu->addSeparator();
  AddItem(m.ImagingMenu, m.AutoGuiding1, "&Auto Guiding...", [] { imaging::ShowAutoGuider(); });
  AddItem(m.ImagingMenu, m.Imaging2, "Imaging &Console...", [] { imaging::ShowImagingConsole(); });
  AddItem(m.ImagingMenu, m.PlateSolve1, "&Plate Solving...", [] { imaging::ShowPlateSolve(); });
  (void)form;
}

void AddTelescopePopupItems(TMainForm1& form, QMenu* popup) {
  TDeviceMenus& m = D().menus;
  popup->addSeparator();
  TMainForm1* f = &form;
  AddItem(popup, m.GotoHere, "Telescope &goto here", [f] {
    if (TTeleControl* t = TeleControl()) t->GotoRaDec(f->ClickRA, f->ClickDec);
  });
  AddItem(popup, m.SyncHere, "Telescope &sync here", [f] {
    if (TTeleControl* t = TeleControl()) t->SyncRaDec(f->ClickRA, f->ClickDec);
  });
  AddItem(popup, m.AcceptAlign, "Telescope &accept align", [] {
    if (TTeleControl* t = TeleControl()) t->AcceptStarButton1Click();
  });
}

void StartDevices(TMainForm1& form) {
  TDevices& d = D();
  if (d.started) return;
  d.started = true;
  // The cameras and their settings windows.
  imaging::CreateCameras(ImagingSettingsPath);
  imaging::InstallCameraSettingsWindows(&form);
  imaging::InstallAscomCameraSettingsWindow(&form);
  // The telescope, goto-assist, focuser and filter-wheel windows.
  d.host = std::make_unique<TMainWindowHost>(form);
  d.tele = CreateTelescopeWindows(&form, d.host.get());
  // The "ASCOM Cameras" window.
  d.cameraSlots = std::make_unique<imaging::TAscomCameraSlots>();
  d.cameraSlots->LoadSettings();
  imaging::SetAscomCameraSlots(d.cameraSlots.get());
  d.AscomCameraForm1 = new imaging::TAscomCameraForm1(*d.cameraSlots, &form);
  // The imaging console, the autoguider and plate solving; their Sync and
  // position hints read the chart's centre (J2000).
  imaging::CreateImagingWindows(&form, ImagingFolder());
  TMainForm1* f = &form;
  imaging::ChartCentre = [f](double& ra, double& dec) {
    if (!D().host) return false;
    ra = f->Chart().CentreRA();
    dec = f->Chart().CentreDec();
    const double epoch = D().host->ChartEpochJD();
    if (epoch != kJ2000) {
      TObserverTime o = ObserverTime;
      SetPrecession(o, epoch, kJ2000);
      Precess(o, ra, dec);
    }
    return true;
  };

  // The menus.
  TDeviceMenus& m = d.menus;
  for (QAction* a : {m.TelescopeControl1, m.FilterWheel1, m.Focuser1, m.Camera1, m.AutoGuiding1, m.Imaging2,
                     m.PlateSolve1})
    if (a) a->setEnabled(true);
  if (m.Imaging1) {
    imaging::FillSourceSettingsMenu(m.Imaging1);
    AddDriverCameraItems(m.Imaging1);
    m.Imaging1->setEnabled(true);
  }

  // The chart draws the mount's marker and its pointing-model correction.
  TChartInputs inputs = ChartInputs();
  inputs.telescopePosition = [](double& ra, double& dec) {
    const TTelescopeMarker mark = TelescopeMarker();
    if (!mark.connected) return false;
    ra = mark.ra;
    dec = mark.dec;
    return true;
  };
  inputs.pointingCorrection = [](double ra, double dec, double& dRA, double& dDec) {
    if (!TelescopeMarker().useAssist) return false;
    TelescopePointingCorrection(ra, dec, dRA, dDec);
    return true;
  };
  SetChartInputs(std::move(inputs));

  // The camera simulator looks where the connected mount points (J2000).
  imaging::SimCameraPointing = [](double& ra, double& dec) {
    const TTelescopeMarker mark = TelescopeMarker();
    if (!mark.connected || !D().host) return false;
    TObserverTime o = ObserverTime;
    const double epoch = D().host->ChartEpochJD();
    ra = mark.ra;
    dec = mark.dec;
    if (epoch != kJ2000) {
      SetPrecession(o, epoch, kJ2000);
      Precess(o, ra, dec);
    }
    return true;
  };
}

void AttachSequencer(TPOIForm& window) {
  TDevices& d = D();
  if (!d.started || d.sequencer || !TeleControl()) return;
  d.points = std::make_unique<TPointTable>(window);
  d.sequencer = std::make_unique<TSequencer>(d.points.get(), TeleControl(), &d.consoleImaging, d.host.get());
  d.sequencerPanel = new TSequencerPanel(d.sequencer.get(), &window);
  // The panel carries its own "Stop on warning" and status.
  if (window.StopOnWarning) window.StopOnWarning->hide();
  if (window.StatusLabel) window.StatusLabel->hide();
  if (window.layout()) window.layout()->addWidget(d.sequencerPanel);
  d.closeGuard = new TCloseGuard(d.sequencerPanel, &window);
  window.installEventFilter(d.closeGuard);
}

void DisconnectDevices() {
  if (TTeleControl* t = TeleControl(); t && t->Connected()) t->Disconnect();
  if (TFilterWheelControl* w = FilterWheelControl(); w && w->Connected()) w->DisconnectClick();
  if (TFocuserControl* f = FocuserControl(); f && f->Connected()) f->DisconnectClick();
  if (imaging::TAscomCameraSlots* s = imaging::AscomCameraSlots())
    for (int n = 1; n <= 2; ++n)
      if ((*s)[n].connected) s->DisconnectClick(n);
}

void FreeDevices() {
  TDevices& d = D();
  d.menus = {};
  if (!d.started) return;
  d.started = false;
  DisconnectDevices();
  // The chosen drivers are kept for the next session, also when a window
  // was never closed.
  if (TTeleControl* t = TeleControl()) t->SaveSettings();
  if (TFocuserControl* f = FocuserControl()) f->SaveSettings();
  if (TFilterWheelControl* w = FilterWheelControl()) w->SaveSettings();
  if (d.cameraSlots) d.cameraSlots->SaveSettings();
  imaging::SimCameraPointing = nullptr;
  // The sequencer stops with its panel, before the telescope it drives.
  delete d.closeGuard.data();
  delete d.sequencerPanel.data();
  d.sequencer.reset();
  d.points.reset();
  // The imaging windows save their settings and let their cameras go.
  imaging::ChartCentre = nullptr;
  imaging::FreeImagingWindows();
  // The windows first (the goto-assist window joins a running fit), then
  // their logic, which the windows use.
  delete d.AscomCameraForm1;
  d.AscomCameraForm1 = nullptr;
  imaging::SetAscomCameraSlots(nullptr);
  d.cameraSlots.reset();
  delete d.tele.TeleForm1;
  delete d.tele.AssistForm1;
  delete d.tele.FocuserForm1;
  delete d.tele.FilterWheelForm1;
  d.tele = {};
  delete TeleControl();
  delete FocuserControl();
  delete FilterWheelControl();
  SetTeleControl(nullptr);
  SetFocuserControl(nullptr);
  SetFilterWheelControl(nullptr);
  platform::SetChooserUi({});
  d.host.reset();
  // The cameras write their settings into the document (the DSI workers
  // are joined), then the document is stored.
  imaging::TIFFCamera::SettingsWindow = nullptr;
  imaging::TVFWCamera::SettingsWindow = nullptr;
  imaging::TDsiCamera::SettingsWindow = nullptr;
  imaging::TASCOMCamera::SettingsWindow = nullptr;
  imaging::FreeCameras();
  imaging::SaveImagingSettings(ImagingSettingsPath);
}
