// The main window's heartbeat, resizing, and the time-flow, rate and
// preset commands.
#include "app/forms/main_form.h"

#include <QApplication>
#include <QMenuBar>
#include <QProcess>
#include <QScrollArea>
#include <QStandardPaths>
#include <QStatusBar>
#include <QTimer>

#include "app/core/file_types.h"
#include "app/core/picture_list.h"
#include "app/core/points_of_interest.h"
#include "app/forms/main_form_parts.h"
#include "astro/precession.h"
#include "catalog/bounds.h"
#include "catalog/stars.h"
#include "chart/clock.h"
#include "chart/globe.h"
#include "chart/magnifier_inset.h"
#include "chart/magnifier_settings.h"
#include "chart/plotter_b.h"
#include "chart/screen_layout.h"
#include "platform/gui_thread.h"
#include "platform/halt.h"
#include "platform/paths.h"
#include "script/forms/script_gui.h"
#include "shell/data_files.h"
#include "shell/file_commands.h"
#include "shell/globals.h"
#include "tools/clock_time.h"
#include "tools/forms/clock_time_form.h"
#include "tools/location.h"

using namespace mainform;

// --- The heartbeat and re-entrancy ------------------------------------------
//
// Timer1 is the heartbeat: 1,000 ms at creation, 100 ms from its first tick.
// Qt never re-enters a timer's own slot, but these event loops run inside a
// tick or a command and let every other timer fire meanwhile:
//   - flash messages and coded message boxes (modal dialogs);
//   - the first tick's picture-list question and the command-line settings
//     file, whose reader may show messages;
//   - WaitForStarLoad and the overlay-thread pauses, which handle events
//     while they wait (print waits, the close);
//   - the print job's waits for the star and globe threads and the printer
//     set-up dialog;
//   - the modal windows opened by menu commands (about box, points of
//     interest, print options).
// Timer1Timer therefore guards itself with inTick_ (a tick arriving during
// another is dropped), POIKeysTimer1 and Timer2 are one-shot, and the close
// is a state machine (CloseState) advanced by the heartbeat.

// --- The heartbeat ---------------------------------------------------------------

void TMainForm1::FirstTick() {
  Timer1->setInterval(100);
  StartupPending = false;
  // The reference files found missing or damaged, in one box shown after
  // this tick (the chart runs on behind it) or after the star load; later
  // ones in their own.
  dataProblemsDue_ = true;
  if (!StarThreadRunning()) TellDataProblems();
  // 1. The picture list shipped with this version.
  MigratePictureList(DataFolder);
  // 2, 6. The observer's place: the default entry of the location pick
  // list. With none (a fresh pick list) or a damaged one, the principal
  // city of the system's time zone stands in until the user chooses a
  // place; where the system zone names no place (UTC), the place of
  // InitObserver (latitude 0, longitude 0) is made the observer's. Either
  // way the globe, the clock and the star sphere show it, and the status
  // bar says that no place was chosen.
  {
    // The list the location window read at its creation; after a failed
    // start-up too (the place needs nothing that failed).
    const int n = GlobalLocation.GetDefaultLocation();
    TSite site;
    THorizonArray horizon{};
    if (n != -1 && GlobalLocation.ExtractPickListItem(n, site, horizon) && !site.Name.empty()) {
      ApplySite(site, horizon);
      LocationPickCheckMenu(n);
    } else if (SiteFromSystemZone(site)) {
      ApplySite(site, horizon);
      SetStatusText(0, kZoneLocationStatus + site.Name + kZoneLocationStatusEnd);
      NotePlaceUnchosen();
    } else {
      if (MainPlotter) std::memcpy(horizon.data(), MainPlotter->HorizonProfile, sizeof(THorizonProfile));
      ChangeObserverLocation(kNoLocationName, ObserverTime.TimeZone, ObserverTime.UseDaylightSaving,
                             ObserverTime.Latitude, ObserverTime.Longitude, horizon);
      SetStatusText(0, kNoLocationStatus);
      NotePlaceUnchosen();
    }
  }
  // 3. The clock: forward in real time, or stopped when the start-up time
  // settings say so.
  TimeRate = 0;
  TimeFlow = StartupStopTime ? kTimeStopped : kTimeForward;
  Clock.RealTimeFlag = !StartupStopTime;
  // 4. Start time by the start-up mode (1 leaves the system time).
  {
    const double hours = StartupTimeMode == 5 ? StartupLocalHours : StartupUniversalHours;
    const TPresetResult r = ApplyStartupTime(ObserverTime, StartupTimeMode, hours, SystemClock());
    if (r != TPresetResult::Done) ShowPresetResult(r);
    chart_->MarkReplot();
  }
  // 5. The time-flow menus.
  SetTimeFlowMenus();
  SetTimeRateMenus();
  // 7, 9. "autoexec.sbas", run out of this handler (a missing file runs
  // nothing), then the settings file named on the command line, read once
  // the script has ended, so that the file's settings win over the
  // script's.
  QTimer::singleShot(0, this, [this] {
    if (CloseState == kRunning) RunScriptFile("autoexec.sbas");
    if (CloseState == kRunning) OpenCommandLineFile(CommandLine);
  });
  // 7. The help menus.
  EnableHelpMenus();
  // 8. The telescopes and eyepieces of the magnifier settings; its window.
  if (startupComplete_) {
    const int32_t mode = ReadRegTeleAndEyepiece();
    UpdateTelescopeMenu();
    TeleFieldOfViewChange(mode);
    Magnifier1->setEnabled(true);
  }
  // 10. The one-shot start-up timer.
  Timer2->start();
}

void TMainForm1::TellDataProblems() {
  if (!dataProblemsDue_) return;
  dataProblemsDue_ = false;
  // After the events already queued: the star load's reports among them.
  platform::PostToGuiThread([] { ReleaseDataFileProblems(); });
}

void TMainForm1::Timer2Timer() {
  Timer2->stop();
  MagnifierReady = 1;
  const std::string share = platform::UserDataFolder();
  if (RegisterFileTypes(share, QCoreApplication::applicationFilePath().toStdString(), DataFolder) == 0) return;
  // Let the desktop see the new type at once, where its tools are installed.
  const QString folder = QString::fromStdString(share);
  for (const auto& [tool, sub] : {std::pair{"update-mime-database", "/mime"},
                                  std::pair{"update-desktop-database", "/applications"}}) {
    const QString exe = QStandardPaths::findExecutable(QString::fromUtf8(tool));
    if (!exe.isEmpty()) QProcess::startDetached(exe, {folder + QString::fromUtf8(sub)});
  }
}

void TMainForm1::Timer1Timer() {
  if (inTick_ || destroyed_) return;
  inTick_ = true;
  struct Leave {
    bool& flag;
    ~Leave() { flag = false; }
  } leave{inTick_};

  if (StartupPending && StartingUp) {
    // The entry still makes the windows (a start-up box runs events): the
    // first tick waits until the last is made, and the entry starts it then.
    Timer1->stop();
    return;
  }
  if (StartupPending) {
    // A close asked for before the first tick skips the deferred start-up.
    if (CloseState == kRunning) {
      FirstTick();
    } else {
      StartupPending = false;
      Timer1->setInterval(100);
    }
  }
  // 2. The close handshake: windows opened meanwhile are cancelled; once
  // every worker has ended and been joined, the window closes.
  if (CloseState == kCloseRequested) {
    CancelModalWindows();
    if (CloseHandshakeTick()) {
      close();
      return;
    }
  }
  if (CloseState == kClosing) return;
  // A place chosen (location window, pick list, script, globe menu) ends
  // the status bar's note that none was.
  ClearPlaceNoteWhenMoved();
  // 4, 5. The simulated clock.
  const uint32_t now = MsCounter();
  AdvanceSimulatedClock(ObserverTime, Clock, TimeFlow, TimeRate, now, SystemClock());
  // 6. The clock inset, four times a second.
  if (!RenderSuspended) {
    const int64_t a = std::llround(LastClockJD * 345600.0), b = std::llround(ObserverTime.JD_LocalCivil * 345600.0);
    if (a != b) {
      LastClockJD = ObserverTime.JD_LocalCivil;
      if (insets_.clockTick) insets_.clockTick();
      if (ClockTimeTool) ClockTimeTool->FormUpdate();
      MarkRepaint(kRepaintClock);
      const TRect r = InsetRect(kRepaintClock);
      PaintBox1->update(r.left, r.top, r.right - r.left, r.bottom - r.top);
    }
  }
  // 7. The chart follows the clock: it is redrawn when the clock's face or
  // its minute or 24-hour hand moved (once a simulated minute; every tick
  // from 1 Hour/Second on).
  if (ClockChanged) {
    ClockChanged = 0;
    chart_->MarkReplot();
  }
  // 8. Precession of date.
  UpdatePrecession(ObserverTime);
  // 9. Star reload when the epoch moved or a preset asked for one.
  const bool epochMoved = StarCatalogEpoch != ObserverTime.EpochTo ||
                          StarCatalogPrecessed != ObserverTime.PrecessionOn;
  // A start-up that ended early has nothing to load the stars for.
  if ((epochMoved || StarReloadRequest) && startupComplete_ && !RenderSuspended && !StarLoaderBusy &&
      CloseState == kRunning) {
    StarReloadRequest = false;
    LoadStarCatalogs();
    PrecessBounds();
  }
  // 10. Render.
  if (startupComplete_ && (RenderRequest || chart_->ReplotPending())) {
    if (!RenderSuspended) RenderMainView();
    ShowCursorPosition(mouseX_, mouseY_);
  }
  // 11. The tick's time.
  Clock.LastTickTime = now;
  // 12. The real-time check.
  if (Clock.RealTimeFlag != RealTimeShown) {
    RealTime2->setChecked(Clock.RealTimeFlag);
    RealTimeShown = Clock.RealTimeFlag;
  }
  // 13. The globe returns to the observer's place 5 s after the pointer
  // left it.
  if (GlobeDragging) LastGlobeDragTime = now;
  else if (now - LastGlobeDragTime > 5000 && insets_.globeBackToObserver) insets_.globeBackToObserver();
  // 14. The magnifier's automatic field follows the zoom.
  if (std::fabs(chart_->Zoom() - LastZoom) > 0.0001 && FieldOfViewMode == kAutomaticFieldMode &&
      insets_.magnifierFollowZoom)
    insets_.magnifierFollowZoom();
  LastZoom = chart_->Zoom();
  // The status bar's field of view follows the zoom, whatever changed it
  // (keys, menus, scripts) and wherever the pointer is.
  ShowFieldOfView();
  // 15. Keyboard focus to the chart unless the log window is active.
  if (!LogFormActive && isActiveWindow() && !ScrollBox1->hasFocus()) ScrollBox1->setFocus();
  // 16. Pointer shape.
  UpdateChartCursor();
}

void TMainForm1::RenderMainView() {
  // After a failed start-up the heartbeat never renders: a chart drawn
  // here (by Copy, a new inset size or screen layout) would stay in the
  // window, never redrawn.
  if (chart_->Plotting() || backBuffer_.IsNull() || startupFailed_) return;
  backBuffer_.Fill(0);
  chart_->Plot(backBuffer_, MapWidth, MapHeight);
  if (!CopyingChart) {
    if (insets_.drawStarSphere) insets_.drawStarSphere();
    if (insets_.applyMask) insets_.applyMask(backBuffer_);
    RenderRequest = false;
    MarkRepaint(kRepaintAll);
    PaintBox1->update();
  }
  ++RenderCount;
  UpdateChartCursor();
}

void TMainForm1::FormResize() {
  if (backBuffer_.IsNull() || ResizeBusy || destroyed_) return;
  ResizeBusy = true;
  int w = 0, h = 0;
  MeasureScreen(w, h);
  const int bw = (w + 7) / 8 * 8;
  if (bw != BackBufferWidth || h != BackBufferHeight) {
    // The globe thread and the overlay threads draw into the back buffer:
    // they are stopped or paused while it is replaced.
    if (insets_.beforeBackBufferChange) insets_.beforeBackBufferChange();
    BackBufferWidth = bw;
    BackBufferHeight = h;
    const bool made = MakeBackBuffer();
    if (insets_.afterBackBufferChange) insets_.afterBackBufferChange();
    if (!made) {
      platform::ShowMessageBox("Could'nt match new screen size.\r\nNoctra Planetarium will exit.", "Fatal error",
                               platform::MsgButtons::Ok, platform::MsgIcon::Stop);
      platform::HaltProgram(1);
    }
    MapWidth = w;
    AspectAdjust = AspectAdjustFor(ScreenLayoutSettings.AspectAdjust);
    ApplyInsetPresets();
    ApplyScreenLayout();
    GuideSML(CheckedCode(GuideSizes));
    GlobeSML(CheckedCode(GlobeSizes));
    MagSML(CheckedCode(MagSizes));
    ClockSML(CheckedCode(ClockSizes));
    RenderRequest = true;
  }
  const int mapHeight = h - (menuBar()->sizeHint().height() + statusBar()->sizeHint().height()) - 1;
  if (mapHeight != MapHeight || RenderRequest) {
    RenderRequest = true;
    MapHeight = mapHeight;
    PaintBox1->resize(MapWidth - 1, MapHeight - 1);
    if (MainPlotter) {
      MainPlotter->Width = MapWidth;
      MainPlotter->Height = MapHeight;
    }
    if (insets_.fitMask) insets_.fitMask();
    PlaceInsets();
  }
  const Qt::ScrollBarPolicy policy = isMaximized() ? Qt::ScrollBarAlwaysOff : Qt::ScrollBarAsNeeded;
  ScrollBox1->setHorizontalScrollBarPolicy(policy);
  ScrollBox1->setVerticalScrollBarPolicy(policy);
  ResizeBusy = false;
}

void TMainForm1::resizeEvent(QResizeEvent* event) {
  QMainWindow::resizeEvent(event);
  FormResize();
}

void TMainForm1::SetTimeFlowMenus() {
  const QAction* pairs[3][2] = {{Forward1, Forward2}, {Stop1, Stop2}, {Backward1, Backward2}};
  for (int f = 0; f < 3; ++f)
    for (const QAction* a : pairs[f]) const_cast<QAction*>(a)->setChecked(TimeFlow == f);
  for (int r = 0; r < 5; ++r) {
    Rates1[r]->setEnabled(TimeFlow != kTimeStopped);
    Rates2[r]->setEnabled(TimeFlow != kTimeStopped);
  }
}

void TMainForm1::SetTimeRateMenus() {
  for (int r = 0; r < 5; ++r) {
    Rates1[r]->setChecked(TimeRate == r);
    Rates2[r]->setChecked(TimeRate == r);
  }
}

void TMainForm1::SetTimeFlow(uint8_t flow) {
  TimeFlow = flow;
  SetTimeFlowMenus();
}

void TMainForm1::SetTimeRate(uint8_t rate) {
  if (TimeFlow == kTimeStopped || rate > 4) {
    SetTimeRateMenus();
    return;
  }
  TimeRate = rate;
  SetTimeRateMenus();
}

void TMainForm1::RealTime1Click() {
  SetTimeNow(ObserverTime, SystemClock());
  TimeRate = 0;
  TimeFlow = kTimeForward;
  SetTimeFlowMenus();
  SetTimeRateMenus();
  chart_->MarkReplot();
}

void TMainForm1::Now1Click() {
  SetTimeNow(ObserverTime, SystemClock());
  chart_->MarkReplot();
}

void TMainForm1::ShowPresetResult(TPresetResult r) {
  SetStatusText(0, PresetResultText(r));
  chart_->MarkReplot();
}

void TMainForm1::Earlytonight1Click() { ShowPresetResult(SetTimeEarlyTonight(ObserverTime, SystemClock())); }
void TMainForm1::Midnight1Click() {
  SetTimeMidnight(ObserverTime, SystemClock());
  ShowPresetResult(TPresetResult::Done);
}
void TMainForm1::EarlyTomorrow1Click() { ShowPresetResult(SetTimeEarlyTomorrow(ObserverTime, SystemClock())); }

void TMainForm1::ShiftTime(double days) {
  SetObserverUT(ObserverTime, ObserverTime.JD_UT + days);
  chart_->MarkReplot();
}
