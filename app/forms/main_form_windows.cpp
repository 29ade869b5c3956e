// The main window's inset hosts, the option and tool windows it opens and
// the chart's inset hooks.
#include "app/forms/main_form.h"

#include "app/core/points_of_interest.h"
#include "app/forms/about_form.h"
#include "app/forms/browser_form.h"
#include "app/forms/flash_form.h"
#include "app/forms/log_form.h"
#include "app/forms/main_form_parts.h"
#include "app/forms/poi_form.h"
#include "app/forms/print_job.h"
#include "app/forms/sequencer_wiring.h"
#include "astro/precession.h"
#include "catalog/forms/import_tool_form.h"
#include "catalog/forms/object_options_form.h"
#include "catalog/forms/solar_system_form.h"
#include "catalog/forms/star_options_form.h"
#include "chart/clicks.h"
#include "chart/clock.h"
#include "chart/cursor_watch.h"
#include "chart/forms/colors_fonts_form.h"
#include "chart/forms/constellation_form.h"
#include "chart/forms/coordinate_grid_form.h"
#include "chart/forms/performance_form.h"
#include "chart/forms/magnifier_settings_form.h"
#include "chart/forms/screen_layout_form.h"
#include "chart/globe.h"
#include "chart/graph_misc.h"
#include "chart/inset_host.h"
#include "chart/mag_thread.h"
#include "chart/magnifier_inset.h"
#include "chart/magnifier_settings.h"
#include "chart/mask.h"
#include "chart/plotter_b.h"
#include "chart/screen_layout.h"
#include "chart/star_sphere.h"
#include "imaging/forms/camera_settings_forms.h"
#include "script/forms/scr_inp_form.h"
#include "script/forms/script_gui.h"
#include "shell/globals.h"
#include "telescope/accessories.h"
#include "tools/events_calendar.h"
#include "tools/forms/atmospheric_form.h"
#include "tools/forms/clock_time_form.h"
#include "tools/forms/find_form.h"
#include "tools/forms/horizon_form.h"
#include "tools/forms/information_forms.h"
#include "tools/forms/location_form.h"
#include "tools/location.h"

using namespace mainform;

// --- Inset hosts and option windows ------------------------------------------

void TMainForm1::InstallInsetHosts() {
  MagnifierHooks.placingMode = [this] { return Keys.PointOfInterestMode; };
  MagnifierHooks.currentPointOfInterest = [] { return int32_t(CurrentPOI); };
  MagnifierHooks.pointOfInterest = [](int32_t i, double& ra, double& dec, int32_t& mode) {
    return GetPointOfInterest(i, ra, dec, mode);
  };
  MagnifierHooks.observerLocationSet = [] { return ObserverLocationSet.load() == 1; };
  MagnifierHooks.showMagMenu = [this](int32_t x, int32_t y) { MagMenu->popup(PaintBox1->mapToGlobal(QPoint(x, y))); };
  MagnifierHooks.invalidateMagnifier = [this] {
    const TRect r = InsetRect(kRepaintMagnifier);
    PaintBox1->update(r.left, r.top, r.right - r.left, r.bottom - r.top);
  };
  MagnifierFieldModeChanged = [this](int32_t mode) { TeleFieldOfViewChange(mode); };
  TChartClickHooks clicks;
  clicks.placingMode = [this] { return Keys.PointOfInterestMode; };
  clicks.addPointOfInterest = [](int32_t mode, double ra, double dec) {
    return AddPointOfInterest(mode, "", false, false, "", ra, dec);
  };
  clicks.clearPlacingMode = [this] { ClearPointOfInterestMode(); };
  clicks.showObjectMenu = [this](const std::string& caption, bool track, int32_t x, int32_t y) {
    ObjectName1->setText(QString::fromStdString(caption));
    Track1->setEnabled(track);
    Information1->setEnabled(SelectionKind >= 1 && SelectionKind <= 5);
    PopupMenu1->popup(PaintBox1->mapToGlobal(QPoint(x, y)));
  };
  SetChartClickHooks(std::move(clicks));
  GlobalLocation.PickListChanged = [this](const std::vector<std::string>& captions) { SetPickCaptions(captions); };
  FindActions.StatusText = [this](int panel, const std::string& text) { SetStatusText(panel, text); };
  FindActions.Information = [this](const TFoundObject& f) { ShowObjectInformation(f.Kind, f.Index, true); };
  FindActions.ClearStatusText = [this](int panel, const std::string& text) {
    if (StatusText(panel) == text) SetStatusText(panel, "");
  };
  // What the information windows ask of the main window and the telescope.
  OpenBrowserWindow = [this](const std::string& url, const std::string& caption) {
    TBrowserForm1* w = OwnedWindow(BrowserForm1, this);
    w->BrowserURL = url;
    w->setWindowTitle(QString::fromStdString(caption));
    w->show();
    w->FormShow();
  };
  AddPointOfInterestHook = [](const std::string& name, double ra, double dec) {
    AddPointOfInterest(FieldOfViewMode, name, false, false, "", ra, dec);
  };
  // The telescope takes positions in the chart's epoch.
  auto ofDate = [](double& ra, double& dec) {
    if (MainPlotter && MainPlotter->Observer.PrecessionOn) Precess(MainPlotter->Observer, ra, dec);
  };
  TelescopeGotoHook = [ofDate](double ra, double dec) {
    ofDate(ra, dec);
    if (TeleControl()) TeleControl()->GotoRaDec(ra, dec);
  };
  TelescopeSyncHook = [ofDate](double ra, double dec) {
    ofDate(ra, dec);
    if (TeleControl()) TeleControl()->SyncRaDec(ra, dec);
  };
  TelescopeConnected = [] { return TeleControl() && TeleControl()->Connected(); };
  // The object under the pointer, named by the cursor watch.
  SetCursorHintSink([this](const std::string& text) { SetStatusText(3, text); });
  TheInsetHost.popupMenu = [this](InsetMenu menu, int x, int y) {
    QMenu* m = menu == InsetMenu::Globe ? GlobeMenu : menu == InsetMenu::Clock ? ClockMenu : StarSphereMenu;
    m->popup(PaintBox1->mapToGlobal(QPoint(x, y)));
  };
  TheInsetHost.invalidate = [this](int left, int top, int right, int bottom) {
    PaintBox1->update(left, top, right - left, bottom - top);
  };
  ClockButtonsMoved = [] {
    if (MainForm1) MainForm1->TimeButtonsPlaced = false;
  };
  TheScreenLayoutHost.guideSize = [this](int32_t code) { GuideSML(code); };
  TheScreenLayoutHost.globeSize = [this](int32_t code) { GlobeSML(code); };
  TheScreenLayoutHost.magnifierSize = [this](int32_t code) { MagSML(code); };
  TheScreenLayoutHost.clockSize = [this](int32_t code) { ClockSML(code); };
  TheScreenLayoutHost.updateMagnifierFrame = [] { UpdateMagnifierFrame(MagnifierSize, FieldOfViewMode); };
}

void TMainForm1::CreateProgramWindows() {
  if (windowsMade_) return;
  windowsMade_ = true;
  OwnedWindow(GlobalLocationForm1, this)->LocationAccepted = [this] { LocationPickCheckMenu(-1); };
  OwnedWindow(InformationForm2, this);
  OwnedWindow(FlashMessageForm1, this);
  OwnedWindow(OptionsForm1, this);
  OwnedWindow(OptionsForm2, this);
  OwnedWindow(ScreenLayoutForm1, this);
  OwnedWindow(ClockTimeTool, this);
  OwnedWindow(MagnifierPickListForm1, this);
  OwnedWindow(AtmosphericForm1, this);
  OwnedWindow(PrintForm1, this);
  OwnedWindow(PerformanceForm1, this);
  OwnedWindow(InformationForm1, this);
  // The solar-system window shows the asteroid and comet lists its
  // creation loads (the chart, Find and the information windows draw on
  // them).
  LoadElementFiles();
  OwnedWindow(SolSysForm1, this);
  OwnedWindow(InformationForm3, this);
  OwnedWindow(MagnifierSettingsForm1, this);
  // The events calendar's bright stars (a damaged file told with the other
  // files the start finds).
  LoadBrightStars();
  OwnedWindow(GeneralReportForm1, this);
  OwnedWindow(MeteorShowersForm1, this);
  if (scriptGui_ && !scriptGui_->inputForm) scriptGui_->inputForm = new TScrInpForm1(this);
  OwnedWindow(AboutNoctraForm1, this);
  CreateTelescopeWindow();
  OwnedWindow(HorizonForm1, this);
  OwnedWindow(BrowserForm1, this);
  OwnedWindow(CoordinateGridForm1, this);
  OwnedWindow(ConstellationForm1, this);
  OwnedWindow(ColorsAndFontsForm1, this);
  // The camera settings windows, each opened with the camera whose
  // settings the Imaging menu's Source Settings item shows.
  OwnedWindow(imaging::VfwCameraSettingsForm1, this);
  OwnedWindow(imaging::DsiCameraSettingsForm1, this);
  OwnedWindow(imaging::IFFCameraSettingsForm1, this);
  if (!Devices.FilterWheelForm1) Devices.FilterWheelForm1 = ::CreateFilterWheelWindow(this);
  CreatePlateSolveWindow();
  OwnedWindow(ImportToolForm1, this);
  CreateAscomCameraWindow();
  CreateAutoGuideWindow();
  if (!Devices.FocuserForm1) Devices.FocuserForm1 = ::CreateFocuserWindow(this);
  CreateImagingConsoleWindow();
  if (!Devices.AssistForm1) Devices.AssistForm1 = ::CreateAssistWindow(this, Devices.TeleForm1);
  if (!POIForm) AttachSequencer(*OwnedWindow(POIForm, this));
  OwnedWindow(LogForm, this);
}

void TMainForm1::ScreenLayout1Click() {
  OwnedWindow(ScreenLayoutForm1, this)->exec();
  PlaceInsets();  // a new aspect moves them
  // A changed inset or mask is shown at once.
  if (RepaintMask.load() & (kRepaintAll & ~kRepaintChart)) RenderMainView();
}

void TMainForm1::Performance1Click() {
  OwnedWindow(PerformanceForm1, this)->exec();
}

void TMainForm1::Newlocation1Click() {
  if (GlobeMoving()) return;
  // The map opens on the default place.
  const int n = GlobalLocation.GetDefaultLocation();
  TSite site;
  if (n >= 0 && ParsePickLine(GlobalLocation.PickList[std::size_t(n)], site)) {
    WorldMapLatitude = site.Latitude * DegPerRad;
    WorldMapLongitude = site.Longitude * DegPerRad;
  }
  OwnedWindow(GlobalLocationForm1, this)->LocationAccepted = [this] { LocationPickCheckMenu(-1); };
  ShowGlobalLocationForm(this);
}

void TMainForm1::NewDateTime1Click() {
  OwnedWindow(ClockTimeTool, this);
  ShowClockTimeTool(this);
}

void TMainForm1::Find1Click() {
  OwnedWindow(FindForm1, this);
  ShowFindForm(this);
}

void TMainForm1::Atmospheric1Click() {
  OwnedWindow(AtmosphericForm1, this);
  ShowAtmosphericForm(this);
}

void TMainForm1::LocationPickCheckMenu(int n) {
  for (int i = 0; i < 10; ++i) Picks[i]->setChecked(i == n);
}

void TMainForm1::NotePlaceUnchosen() {
  placeNoteShown_ = true;
  notedLatitude_ = ObserverTime.Latitude;
  notedLongitude_ = ObserverTime.Longitude;
}

void TMainForm1::ClearPlaceNoteWhenMoved() {
  if (!placeNoteShown_ || (ObserverTime.Latitude == notedLatitude_ && ObserverTime.Longitude == notedLongitude_))
    return;
  placeNoteShown_ = false;
  if (StatusText(0).rfind(kZoneLocationStatus, 0) == 0) SetStatusText(0, "");
}

void TMainForm1::PickSelect(int n) {
  LocationPickCheckMenu(n);
  TSite site;
  THorizonArray horizon{};
  if (!GlobalLocation.ExtractPickListItem(n, site, horizon) || site.Name.empty()) return;
  ApplySite(site, horizon);
  SetStatusText(0, "");
}

void TMainForm1::SetPickCaptions(const std::vector<std::string>& captions) {
  for (int i = 0; i < 10; ++i) {
    const bool shown = i < int(captions.size());
    Picks[i]->setText(shown ? QString::fromStdString(captions[std::size_t(i)]) : QString());
    Picks[i]->setVisible(shown);
  }
}

void TMainForm1::Objects1Click() { OwnedWindow(OptionsForm2, this)->exec(); }
void TMainForm1::StarCatalog1Click() { OwnedWindow(OptionsForm1, this)->exec(); }
void TMainForm1::Solarsystem1Click() { OwnedWindow(SolSysForm1, this)->exec(); }
void TMainForm1::Constellation2Click() { OwnedWindow(ConstellationForm1, this)->exec(); }
void TMainForm1::CoordGrid1Click() { OwnedWindow(CoordinateGridForm1, this)->exec(); }
void TMainForm1::Colors1Click() { OwnedWindow(ColorsAndFontsForm1, this)->exec(); }

TInsetHooks ChartInsetHooks() {
  TInsetHooks h;
  h.buildSteps = {
      {6,
       [] {
         if (!CreateOvalMask()) return false;
         UpdateOvalMask();
         return true;
       }},
      {7,
       [] {
         if (!MakeGlobeTexture()) return false;
         PlaceGlobe(MapWidth);
         RenderGlobeInset();
         return true;
       }},
      {8,
       [] {
         if (!InitClockBuffers()) return false;
         SetClockSize(ClockSize);
         PlaceClock(MapWidth, MapHeight);
         DrawClock(1);
         return true;
       }},
      {9,
       [] {
         if (!InitMagnifierBuffers()) return false;
         SetPointOfInterest(0, FieldOfViewMode, 0, 0);
         UpdateMagnifierFrame(MagnifierSize, FieldOfViewMode);
         CreateMagnifierThread();
         return true;
       }},
      {10,
       [] {
         if (!InitStarSphereBuffers()) return false;
         SetStarSphereSize(GuideSize);
         PlaceStarSphere();
         return true;
       }},
  };
  h.globeMouseDown = [](int b, int x, int y) { return GlobeMouseDown(uint8_t(b), x, y); };
  h.clockClick = [](int b, int x, int y) { return ClockClick(uint8_t(b), x, y); };
  h.starSphereClick = [](int b, int x, int y) { return StarSphereClick(uint8_t(b), x, y); };
  h.insideGlobe = [](int x, int y) { return InsideGlobe(x, y); };
  h.insideClock = [](int x, int y) { return InsideClock(x, y); };
  h.onStarSphere = [](int x, int y) {
    double ra = 0, dec = 0, alt = 0, az = 0;
    return StarSpherePointToRaDec(x, y, ra, dec, alt, az);
  };
  h.isMaskedPixel = [](int x, int y) { return IsMaskedPixel(x, y); };
  h.composeGlobe = [](platform::Bitmap& b) { ComposeGlobe(b); };
  h.composeClock = [](platform::Bitmap& b) { ComposeClock(b); };
  h.composeStarSphere = [](platform::Bitmap& b) { ComposeStarSphere(b); };
  h.drawStarSphere = [] {
    if (!MainPlotter || !SpherePlotter) return;
    static_cast<TPlotterState&>(*SpherePlotter) = static_cast<const TPlotterState&>(*MainPlotter);
    DrawStarSphere();
  };
  h.applyMask = [](platform::Bitmap& back) {
    if (MaskBitmap) BlitTransparent(*MaskBitmap, 0, 0, MapWidth - 1, MapHeight - 1, back, 0, 0);
  };
  h.fitMask = [] {
    if (MaskBitmap) UpdateOvalMask();
  };
  h.clockTick = [] { DrawClock(0); };
  h.magnifierClick = [](int b, int x, int y) { return MagnifierClick(b, x, y); };
  h.insideMagnifier = [](int x, int y) { return InsideMagnifier(x, y); };
  h.composeMagnifier = [](platform::Bitmap& b) { ComposeMagnifier(b); };
  h.magnifierFollowZoom = [] {
    double half = 0;
    std::string caption;
    MagnifierFieldCaption(9, half, caption);
    if (MainForm1 && MagnifierPlotter && std::fabs(MagnifierPlotter->HalfField - half) > 0.0001)
      MainForm1->TeleFieldOfViewChange(9);
  };
  h.invalidateOverlays = [] {
    InvalidateCursorPosition();
    InvalidateMagnifierPosition();
  };
  // The globe's move renders frames of its own, never into the back buffer;
  // it is ended all the same, since its frames have the old size. The
  // overlay threads wait while the chart's size changes.
  h.beforeBackBufferChange = [] {
    DoneGlobe();
    PauseMagnifierThread();
    PauseCursorThread();
  };
  h.afterBackBufferChange = [] {
    ResumeCursorThread();
    ResumeMagnifierThread();
  };
  h.globeBackToObserver = [] {
    constexpr double kAway = 0.001;  // radians, about 3.4 arcminutes
    if (GlobeMoving() || GlobeDrawn != 1) return;
    if (std::fabs(GlobeLatitude.load() - GlobeHomeLatitude) > kAway &&
        std::fabs(GlobeLongitude.load() - GlobeHomeLongitude) > kAway)
      StartGlobeMove(GlobeHomeLatitude, GlobeHomeLongitude);
  };
  return h;
}
