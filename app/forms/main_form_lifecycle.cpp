// The main window's start-up and close.
#include "app/forms/main_form.h"

#include <QApplication>
#include <QCloseEvent>
#include <QDialog>
#include <QElapsedTimer>
#include <QMenuBar>
#include <QStatusBar>
#include <QTimer>
#include <cstdio>
#include <filesystem>
#ifdef __GLIBC__
#include <malloc.h>
#endif

#include "app/core/plotter_view.h"
#include "app/core/points_of_interest.h"
#include "app/forms/help_form.h"
#include "app/forms/main_form_parts.h"
#include "app/forms/print_job.h"
#include "astro/planets.h"
#include "astro/precession.h"
#include "astro/reference_files.h"
#include "catalog/bounds.h"
#include "catalog/forms/settings_owners.h"
#include "catalog/forms/solar_system_form.h"
#include "catalog/hooks.h"
#include "catalog/object_options.h"
#include "catalog/stars.h"
#include "chart/clicks.h"
#include "chart/clock.h"
#include "chart/constellation_options.h"
#include "chart/cursor_watch.h"
#include "chart/drawing_colors.h"
#include "chart/forms/colors_fonts_form.h"
#include "chart/forms/coordinate_grid_form.h"
#include "chart/globe.h"
#include "chart/inset_host.h"
#include "chart/mag_thread.h"
#include "chart/magnifier_inset.h"
#include "chart/magnifier_settings.h"
#include "chart/mask.h"
#include "chart/plotter_b.h"
#include "chart/ring.h"
#include "chart/screen_layout.h"
#include "chart/star_sphere.h"
#include "chart/sun_moon_images.h"
#include "imaging/camera_setup.h"
#include "imaging/fits_bitmap.h"
#include "imaging/forms/ascom_camera_forms.h"
#include "imaging/forms/camera_settings_forms.h"
#include "imaging/forms/imaging_windows.h"
#include "imaging/forms/tele_mount.h"
#include "imaging/port_output.h"
#include "platform/gui_thread.h"
#include "platform/paths.h"
#include "platform/qt_dialogs.h"
#include "platform/registry.h"
#include "script/forms/scr_edit_form.h"
#include "script/forms/script_gui.h"
#include "script/markers.h"
#include "script/runner.h"
#include "shell/data_files.h"
#include "shell/globals.h"
#include "shell/kept_settings.h"
#include "shell/log_lines.h"
#include "shell/messages.h"
#include "shell/settings_sections.h"
#include "telescope/forms/device_forms.h"
#include "telescope/telescope_view.h"
#include "tools/atmospheric.h"
#include "tools/clock_time.h"
#include "tools/forms/information_forms.h"
#include "tools/forms/location_form.h"
#include "tools/location.h"
#include "tools/picture_store.h"
#include "tools/tool_settings.h"

using namespace mainform;

// --- Start-up ------------------------------------------------------------------

void TMainForm1::FormCreate() {
  DataFolder = platform::CurrentFolder();
  ProgramFolder = DataFolder;
  StartUp();
}

void TMainForm1::StartProgram() {
  StartingUp = true;
  FormCreate();
  CreateProgramWindows();
  StartingUp = false;
  // The first tick, held while the windows were made.
  if (StartupPending && !EndRequested()) Timer1->start(0);
}

void TMainForm1::ResolveStartFolders() {
  DataFolder = platform::AbsoluteFolder(DataFolder);
  if (ProgramFolder.empty()) ProgramFolder = DataFolder;
  ProgramFolder = platform::AbsoluteFolder(ProgramFolder);
  ImagingSettingsPath = platform::AbsolutePath(ImagingSettingsPath, DataFolder);
  // The per-object picture lists lie in the data folder.
  ImageListFolder = DataFolder;
}

void TMainForm1::MeasureScreen(int& width, int& height) const {
  const QSize size = ScreenSize();
  width = size.width();
  height = size.height();
}

bool TMainForm1::MakeBackBuffer() {
  backBuffer_ = platform::Bitmap(BackBufferWidth, BackBufferHeight);
  BackBufferBits = backBuffer_.IsNull() ? nullptr : backBuffer_.Row(0);
  return !backBuffer_.IsNull();
}

void TMainForm1::ApplyInsetPresets() {
  const TInsetPresets p = ComputeInsetPresets(MapWidth);
  InsetSizeSmall = p.small;
  InsetSizeNormal = p.normal;
  InsetSizeLarge = p.large;
  InsetSizeHuge = p.huge;
}

bool TMainForm1::CreateBackBuffer() {
  // The chart is the full-screen client area.
  int w = 0, h = 0;
  MeasureScreen(w, h);
  BackBufferWidth = (w + 7) / 8 * 8;
  BackBufferHeight = h;
  MapWidth = w;
  ApplyInsetPresets();
  ApplyScreenLayout();
  CheckInsetSizeItems();
  MapHeight = h - (menuBar()->sizeHint().height() + statusBar()->sizeHint().height()) - 1;
  PaintBox1->resize(MapWidth - 1, MapHeight - 1);
  RenderRequest = true;
  return MakeBackBuffer();
}

bool TMainForm1::StartUp() {
  // The solar system's records, before anything reads them: an empty
  // "startup_log.txt" in the working folder, the planets' element table
  // converted and checked (a failed check writes its line there), the Moon's
  // record.
  InitSolarSystemUnit();
  // Damaged or missing reference files are told together, once the
  // windows exist (the first tick).
  HoldDataFileProblems();
  // Damaged settings files the last run kept aside but could not tell (it
  // was ended while it started).
  TellKeptSettingsFilesOfLastRun();
  // 1. The object database from the catalogue list of "ObjectOptions.xml";
  // a missing or damaged one is told, and the chart has no deep-sky objects.
  // The list is written back at the end.
  ObjectCatalog = OpenObjectCatalog(CatalogTableList(LoadCatalogSlots()));
  catalogSlotsRead_ = true;
  // 4. Owner of message boxes.
  MainWindowHandle = this;
  // The settings paths are named relative to the data folder ("ImagingSettings.xml"):
  // they, and every folder derived from them, are made absolute here, once,
  // so that they name the same files whoever uses them later (a child
  // process runs in a folder of its own).
  ResolveStartFolders();
  // 6. Observer and time: the system clock and time zone, then the
  // reference data files.
  ReadRegStartupTime();
  InitObserver(ObserverTime);
  SetObserverUT(ObserverTime, SystemClock());
  TIME_ZONE_INFORMATION tzi{};
  InitTimeZoneInfo(tzi);
  platform::GetSystemTimeZoneInformation(tzi);
  SetObserverTimeZone(ObserverTime, tzi, 1);
  UpdatePrecession(ObserverTime);
  LoadDataFiles();
  LoadWorldMap(DataFolder);
  // Scripts: message boxes, input, menus and PRINT_MAP through this window;
  // before the back buffer, which none of it needs, so that a start-up
  // ended there still has the script input window and the boxes.
  TScriptGuiHost& scripts = InstallScriptGui(this, menuBar());
  scriptGui_ = &scripts;
  scripts.resetPause = [this] {
    ScriptPauseFlag = 0;
    PauseScript1->setText(QStringLiteral("&Pause"));
  };
  // A print the user cancelled (no PDF file chosen) is no failure: the
  // script goes on.
  scripts.printMap = [this](const TScriptPrintOptions& o) {
    return PrintStarMapCommand(*this, ScriptPrintChoices(o), true) != TPrintOutcome::Failed;
  };
  TScrEditForm1::OnDestroyed = [this] { UpdateScriptItems(); };
  // 7, 8. Screen, chart area and back buffer, with the stored screen layout
  // (inset sizes, mask shape, aspect).
  ReadRegScreenLayout();
  ReadRegPerformance();
  if (!CreateBackBuffer()) {
    startupFailed_ = true;
    ShowErrorMessage(11, "");
    // The heartbeat runs all the same (the first tick tells the damaged
    // files and enables the help); it leaves alone what was not made.
    Timer1->start(0);
    return false;
  }
  // 9. The main plotter: the chart size and the screen's pixels per inch.
  mainPlotter_ = std::make_unique<tPlotter>();
  MainPlotter = mainPlotter_.get();
  MainPlotter->Width = MapWidth;
  MainPlotter->Height = MapHeight;
  MainPlotter->DpiX = logicalDpiX();
  MainPlotter->DpiY = logicalDpiY();
  MainPlotter->SunRiseSetGraphics = GraphicSunRiseSet ? 1 : 0;
  spherePlotter_ = std::make_unique<tPlotter>();
  SpherePlotter = spherePlotter_.get();
  magnifierPlotter_ = std::make_unique<tPlotterB>();
  MagnifierPlotter = magnifierPlotter_.get();
  SetChartView(std::make_unique<TPlotterChartView>(*MainPlotter));
  LastZoom = chart_->Zoom();
  TChartInputs inputs;
  inputs.pointOfInterestCount = [] { return POICount; };
  inputs.pointOfInterest = [](int32_t i, TChartPointOfInterest& poi) {
    if (i < 1 || i > POICount) return false;
    poi = {POITable[i].RA, POITable[i].Dec, POITable[i].Mode, POITable[i].Name};
    return true;
  };
  inputs.showTrackName = [this](const std::string& t) { SetStatusText(4, t.empty() ? t : "Tracking: " + t); };
  inputs.inChartArea = [](int32_t x, int32_t y) { return InChartArea(x, y); };
  inputs.nearMaskEdge = [](int32_t x, int32_t y, int32_t d) { return IsNearMaskEdge(x, y, d); };
  inputs.insideInset = [](int32_t x, int32_t y) { return NearChartInset(x, y) || InsideMagnifierMargin(x, y); };
  MarkerInputs(inputs);  // the script's chart markers
  inputs.telescopePosition = [](double& ra, double& dec) {
    const TTelescopeMarker m = TelescopeMarker();
    ra = m.ra;
    dec = m.dec;
    return m.connected;
  };
  // The plate solver's last solved position (of date), drawn as a cross.
  inputs.plateSolvePosition = [](double& ra, double& dec) {
    const imaging::TPlateSolveForm1* solver = imaging::PlateSolveForm1();
    return solver && solver->Logic.SolvedPosition(ra, dec);
  };
  inputs.pointingCorrection = [](double ra, double dec, double& dRA, double& dDec) {
    if (!TelescopeMarker().useAssist) return false;
    TelescopePointingCorrection(ra, dec, dRA, dDec);
    return true;
  };
  SetChartInputs(std::move(inputs));
  // What the catalogues ask of the chart and this window, installed before
  // the registry readers below, which already call some of it (the saved
  // star look, the object labels).
  TCatalogHooks hooks;
  hooks.pauseCursorThread = [] { PauseCursorThread(); };
  hooks.pauseMagnifierThread = [] { PauseMagnifierThread(); };
  hooks.resumeMagnifierThread = [] { ResumeMagnifierThread(); };
  hooks.resumeCursorThread = [] { ResumeCursorThread(); };
  hooks.whenCursorPaused = [](std::function<void()> work) { WhenCursorPaused(std::move(work)); };
  hooks.requestReplot = [this] { chart_->MarkReplot(); };
  hooks.showStatusPanel3 = [this](const std::string& t) { SetStatusText(3, t); };
  hooks.applyStarAppearance = [](const TStarOptions& o) { ApplyStarAppearance(o); };
  hooks.setObjectLabels = [this](bool on) { chart_->SetSwitch(TChartSwitch::ObjectIdentification, on); };
  hooks.showHelp = [this](const std::string& page) { ShowHelp(this, QString::fromStdString(page)); };
  // New stars are drawn at once, not at the heartbeat's next tick (the
  // first chart with stars comes that much sooner).
  hooks.starLoadEnded = [this] {
    // The old arrays go with the load's result right after this; the memory
    // they held, freed into the loader threads' allocation arenas, is then
    // given back to the system, so that reload after reload does not leave
    // it piling up there.
    QTimer::singleShot(0, [] { ReleaseFreedMemory(); });
    TellDataProblems();
    if (startupComplete_ && !RenderSuspended && CloseState == kRunning && chart_->ReplotPending()) {
      RenderMainView();
      ShowCursorPosition(mouseX_, mouseY_);
    }
  };
  SetCatalogHooks(std::move(hooks));
  // 10. Settings from the registry, and the settings-file owners.
  SetCentreOnHorizonMenuCheck = [this](bool on) { Horizon1->setChecked(on); };
  ReadRegCoordinateGrid();
  ReadRegMagnifier();
  ReadRegConstellation();
  ReadRegSolarSystemSettings();
  ReadRegStars();
  ReadRegObjects();
  // Their settings-file owners: stars, deep-sky filter and solar system
  // (slots 1-3), constellations and grid (4, 5), magnifier (7), points of
  // interest (8) and the chart view (11).
  RegisterCatalogSettingsOwners();
  RegisterChartSettingsOwners();
  RegisterMagnifierSettingsSection();
  RegisterPointsOfInterestSection();
  RegisterToolSettingsSections();  // atmosphere (6), location (9), date and time (10)
  RegisterSettingsSection(kPlotterViewSlot,
                          {kPlotterViewBytes, [] { return MainPlotter->ViewBlock(); },
                           [](const std::vector<uint8_t>* b) {
                             MainPlotter->Replot = 1;
                             return !b || MainPlotter->ApplyViewBlock(*b);
                           }});
  // The stars are read from here on, while the build chain runs and the
  // other windows are made and shown: the first tick's reload step finds
  // them loaded for the instant's epoch (and loads them again only when the
  // start time or a setting moved it), so the first chart with stars need
  // not wait for the first tick.
  CheckStarFiles();
  LoadStarCatalogs();
  // 11. The build chain: styles and drawing colours, the constellation
  // boundaries, the Sun and Moon pictures.
  LoadNebulae();
  InitChartStyles();
  SetDefaultStyleFonts();
  ApplySavedStyleFonts();
  const std::vector<TBuildStep> chain = {
      {5, [] { return MakeDrawingColors(); }},
      {0,
       [] {
         MakeRingRamps();
         return true;
       }},
      {0,
       [] {
         LoadBounds();
         PrecessBounds(ObserverTime);
         LoadSunMoonImages();
         return true;
       }},
      {0,
       [] {
         ReadRegAtmospheric(ObserverTime);
         return true;
       }},
  };
  std::vector<TBuildStep> steps = chain;
  steps.insert(steps.end(), insets_.buildSteps.begin(), insets_.buildSteps.end());
  if (RunBuildChain(steps) != steps.size()) {
    startupFailed_ = true;
    // Nothing will draw the stars: the load is stopped and waited for.
    CancelStarLoad();
    WaitForStarLoad();
    Timer1->start(0);
    return false;
  }
  SetPointOfInterest(0, FieldOfViewMode, 0, 0);
  UpdateFieldOfViewMenu();
  PlaceInsets();
  CreateCursorThread();
  // The port output of the cameras' long-exposure lines, then the cameras
  // of "ImagingSettings.xml", with the Imaging menu's source settings.
  CreateCamerasAndImagingMenu();
  // The close waits for the cursor watch, the magnifier's driver and a globe
  // move still running, and joins them.
  RegisterWorkerThread({"cursor", [] { StopCursorThread(); }, [] { return CursorThreadRunning(); },
                        [] { StopCursorThread(); }});
  RegisterWorkerThread({"magnifier", [] { StopMagnifierThread(); }, [] { return false; },
                        [] { StopMagnifierThread(); }});
  RegisterWorkerThread({"globe", [] { DoneGlobe(); }, [] { return GlobeMoving(); }, [] { DoneGlobe(); }});
  RenderMainView();
  startupComplete_ = true;
  // The first tick (the deferred start-up, which needs every window) comes
  // as soon as the event loop runs; while the program's entry still makes
  // the windows, it waits for the last (Timer1Timer).
  Timer1->start(0);
  return true;
}

// --- Close -------------------------------------------------------------------

void mainform::ReleaseFreedMemory() {
#ifdef __GLIBC__
  malloc_trim(0);
#endif
}

void mainform::CancelModalWindows() {
  // Each step closes one window; the bound only guards against a window
  // that comes back at once.
  for (int i = 0; i < 100; ++i) {
    if (QWidget* popup = QApplication::activePopupWidget()) {
      popup->close();
      if (QApplication::activePopupWidget() == popup) popup->hide();
    } else if (QWidget* modal = QApplication::activeModalWidget()) {
      if (auto* dialog = qobject_cast<QDialog*>(modal)) dialog->reject();
      if (QApplication::activeModalWidget() == modal) modal->hide();
    } else {
      return;
    }
  }
}

void TMainForm1::EndProgram() {
  if (closed_) return;
  CancelModalWindows();
  close();
}

namespace {

// A line for the log while the program ends unattended, also on standard
// error: the log window ends with the program, a session's log keeps it.
void LogAtEnd(const std::string& line) {
  LogLines().AddLine(line);
  std::fprintf(stderr, "%s\n", line.c_str());
  std::fflush(stderr);
}

std::string OneLine(std::string text) {
  for (std::size_t p; (p = text.find("\r\n")) != std::string::npos;) text.replace(p, 2, " ");
  return text;
}

// The program's folder inside one of the user's own folders ("" when that
// folder is unknown).
std::string ProgramSubfolder(const std::string& userFolder) {
  return userFolder.empty() ? std::string() : platform::JoinPath(userFolder, "Tarvel Software/Noctra Planetarium/");
}

// The editor's unsaved text kept in the first of the user's own folders
// that takes it: the data folder, the user's data and cache folders, then a
// new private folder in the temporary folder. Each folder that cannot take
// it is named in the log with the system's reason, and so is the file that
// holds it.
void KeepUnsavedScript(TScrEditForm1& editor, const std::string& dataFolder) {
  auto keptIn = [&](const std::string& folder) {
    std::string error;
    std::error_code ec;
    std::filesystem::create_directories(folder, ec);
    const std::string kept = ec ? std::string() : editor.KeepRecoveryCopy(folder, &error);
    if (!kept.empty()) {
      LogAtEnd("[Script] The unsaved script is kept in " + kept);
      return true;
    }
    LogAtEnd("[Script] The unsaved script could not be kept in " + folder + ": " + (ec ? ec.message() : error));
    return false;
  };
  for (const std::string& folder : {dataFolder, ProgramSubfolder(platform::UserDataFolder()),
                                    ProgramSubfolder(platform::UserCacheFolder())})
    if (!folder.empty() && keptIn(folder)) return;
  std::string error;
  std::error_code ec;
  const std::string temporary = platform::MakePrivateTemporaryFolder(&error);
  if (temporary.empty())
    LogAtEnd("[Script] The unsaved script could not be kept in the temporary folder: " + error);
  else if (keptIn(temporary))
    return;
  else
    std::filesystem::remove(temporary, ec);
  LogAtEnd("[Script] The unsaved script is lost: no folder could take it.");
}

}  // namespace

void TMainForm1::EndProgramUnattended() {
  if (closed_) return;
  if (StartingUp) {
    // Nobody may be there to answer the start-up's boxes: the open one is
    // closed, later ones only go to standard error.
    endRequested_ = true;
    platform::SetDialogsUnattended(true);
    CancelModalWindows();
    return;
  }
  if (!unattended_) {
    unattended_ = true;
    platform::SetSaveFailureSink([](const std::string& text) { LogAtEnd("[Settings] " + OneLine(text)); });
    SaveExitSettings();
    // Damaged settings files kept aside whose box nobody saw (a signal
    // during the start-up): named here, and told at the next start.
    for (const std::string& line : NoteUntoldKeptSettingsFiles()) LogAtEnd(line);
    if (ScrEditForm1 && ScrEditForm1->Modified()) KeepUnsavedScript(*ScrEditForm1, DataFolder);
  }
  EndProgram();
}

void TMainForm1::SaveExitSettings() {
  if (settingsSaved_ || !(camerasCreated_ || catalogSlotsRead_)) return;
  settingsSaved_ = true;
  // One save: a file that cannot be written is told once with the others,
  // and a settings store locked by another copy is waited for once.
  platform::SaveFailureBatch batch;
  // The deep-sky catalogue slots, whether or not their window was opened.
  if (catalogSlotsRead_) SaveCatalogSlots();
  if (camerasCreated_) imaging::SaveEveryImagingSetting(ImagingSettingsPath);
  // Changes to the settings store that an earlier save could not write.
  platform::FlushSettingsStore();
}

void TMainForm1::FinishClose(int timeoutMs) {
  if (closed_) return;
  EndProgramUnattended();
  // Asked inside a wait (the session's end while a device's call waits for
  // its answer): the settings are written, and the heartbeat finishes the
  // close once the wait has returned, never under it.
  if (platform::InsideEventWait()) return;
  QElapsedTimer waited;
  waited.start();
  // The heartbeat (every 100 ms) finishes the close; a script run unwinds
  // first.
  while (!closed_ && waited.elapsed() < timeoutMs)
    QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
  if (closed_) return;
  CloseState = kClosing;
  close();
}

void TMainForm1::closeEvent(QCloseEvent* event) {
  if (closed_) {
    event->accept();
    return;
  }
  // The first request of an ordinary close offers an unsaved script for
  // saving; Cancel keeps the program open, a script running on as it was.
  if (CloseState == kRunning && !unattended_ && ScrEditForm1) {
    const bool mayEnd = ScrEditForm1->QueryEndProgram();
    // A signal arriving while the question is open cancels it and ends
    // the program all the same.
    if (!mayEnd && !unattended_) {
      event->ignore();
      return;
    }
  }
  // A script run unwinds first; the close then comes again from the event
  // loop (never from inside this handler: a close started here would be
  // taken as accepted without this window's own close). The end is decided
  // here already: the waits for devices give up as the close's first
  // request has them do, so that a device gone silent under the run (its
  // call waiting below the script's stop) holds the end no longer.
  if (ScriptRunActive()) {
    platform::GiveUpWaitsAfter(kEndWaitLimitMs);
    ScrStopThen([this] { QTimer::singleShot(0, this, [this] { close(); }); });
    event->ignore();
    return;
  }
  if (!startupComplete_ && CloseState == kRunning && !platform::InsideEventWait()) {
    // Nothing runs yet: close at once (unless from inside a wait, whose
    // caller may still use a device: the heartbeat closes after it).
    CloseState = kClosing;
  }
  if (!CloseQuery()) {
    event->ignore();
    // The heartbeat finishes the close; it runs even before the first tick.
    if (!Timer1->isActive()) Timer1->start();
    return;
  }
  FormClose();
  closed_ = true;
  event->accept();
  if (OnClosed) OnClosed();
}

void TMainForm1::FormClose() {
  // Connected devices are let go first.
  if (TeleControl() && TeleControl()->Connected()) TeleControl()->Disconnect();
  if (FilterWheelControl() && FilterWheelControl()->Connected()) FilterWheelControl()->DisconnectClick();
  if (FocuserControl() && FocuserControl()->Connected()) FocuserControl()->DisconnectClick();
  if (ascomCameras_) ascomCameras_->DisconnectAtEnd();
  Timer1->stop();
  Timer2->stop();
  POIKeysTimer1->stop();
  // Every setting is written while a message can still be shown, once:
  // the windows' destruction writes nothing more.
  SaveExitSettings();
  // Unattended, the editor asks nothing: its text was kept, or could not be.
  CloseScriptEditor(!unattended_);
  // Wait (handling events) until no plotter draws.
  while (chart_->Plotting()) QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
}

void TMainForm1::FormDestroy() {
  if (destroyed_) return;
  destroyed_ = true;
  RenderSuspended = true;
  Timer1->stop();
  // Every worker has been joined by the close; a window destroyed without
  // its close (tests) still stops and waits for the star loader first.
  CancelStarLoad();
  WaitForStarLoad();
  UnregisterAllWorkerThreads();
  StopCursorThread();
  StopMagnifierThread();
  ClearChartSnapshot();
  DoneMagnifier();
  DoneGlobe();
  FreeClockPens();
  // The insets' pictures, the mask and the Sun and Moon pictures are auto
  // bitmaps: freed here, so a window made again starts from none.
  for (platform::Bitmap** b : {&MaskBitmap, &GlobeBitmap, &ClockFaceBitmap, &ClockBitmap, &SphereFrameBitmap,
                               &SphereChartBitmap, &MagnifierFrameBitmap, &MagnifierChartBitmap,
                               &MagnifierScreenBitmap, &SunBitmap, &MoonBitmap}) {
    if (*b) FreeAutoBitmap(*b);
    *b = nullptr;
  }
  GlobeDrawn = 0;
  ObserverLocationSet = 0;
  // The points of interest were this run's: a window made again starts
  // without any, as the program does.
  POITable = {};
  POICount = 0;
  CurrentPOI = 0;
  FreeStarCatalogs();
  StarCatalogEpoch = 0;  // no arrays of any epoch are loaded now
  SetCatalogHooks({});
  for (int slot : {kStarOptionsSlot, kObjectFilterSlot, kSolarSystemSlot, kConstellationSlot, kGridSlot,
                   kMagnifierSettingsSlot, kPOISettingsSlot, kPlotterViewSlot, kAtmosphericSlot, kLocationSlot,
                   kClockTimeSlot})
    UnregisterSettingsSection(slot);
  SetCentreOnHorizonMenuCheck = nullptr;
  ObjectCatalog.reset();
  // The cameras write their settings back, which are then stored.
  if (camerasCreated_) {
    // The imaging windows let their cameras go first.
    imaging::ChartCentre = nullptr;
    imaging::ShowFilterWheelWindow = nullptr;
    imaging::FreeImagingWindows();
    imaging::FreeCameras();
    imaging::PortIOFinalization();
    // Unless the close has written it already (a window destroyed without
    // its close).
    if (!settingsSaved_) imaging::SaveImagingSettings(ImagingSettingsPath);
    imaging::InstallCameraSettingsWindows(false);
    imaging::InstallAscomCameraSettingsWindow(nullptr);
    imaging::InstallDsiCooler(false);
    camerasCreated_ = false;
  }
  if (ascomCameras_) {
    imaging::SetAscomCameraSlots(nullptr);
    delete AscomCameraForm1;
    AscomCameraForm1 = nullptr;
    ascomCameras_.reset();
  }
  BackBufferBits = nullptr;
  backBuffer_ = platform::Bitmap();
  SetChartInputs({});
  chart_ = std::make_unique<TPendingChartView>();
  MainPlotter = nullptr;
  SpherePlotter = nullptr;
  MagnifierPlotter = nullptr;
  mainPlotter_.reset();
  spherePlotter_.reset();
  magnifierPlotter_.reset();
}
