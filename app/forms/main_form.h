// The main window: the main menu and the pop-up menus, the status bar with
// its five panels, and the scroll box holding the chart paint box; its
// start-up, the 100 ms heartbeat with the simulated clock, painting and
// input, and the two-phase close.
//
// The chart is reached through IChartView (app/core/chart_view.h), made on
// the main plotter by the start-up; the insets, the mask and the overlay
// threads through TInsetHooks (ChartInsetHooks). Before the start-up the
// chart area stays black. The menus list only windows that exist.
#pragma once

#include <QMainWindow>
#include <array>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "app/core/chart_input.h"
#include "app/core/chart_view.h"
#include "app/core/lifecycle.h"
#include "app/core/sim_clock.h"
#include "platform/bitmap.h"
#include "telescope/forms/telescope_windows.h"

class ITelescopeHost;
class TScriptGuiHost;
namespace imaging {
class TAscomCameraSlots;
class TAscomCameraForm1;
}  // namespace imaging

class QAction;
class tPlotter;
class tPlotterB;
class QActionGroup;
class QLabel;
class QMenu;
class QScrollArea;
class QTimer;
class QToolButton;

// The chart's paint box. Painting copies from the back buffer, so the
// background is never erased first.
class TPaintBox : public QWidget {
  Q_OBJECT
 public:
  explicit TPaintBox(QWidget* parent = nullptr);

 protected:
  void paintEvent(QPaintEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
};

// What the insets (star sphere, globe, clock, magnifier) and the chart mask
// offer the main window. The window starts with ChartInsetHooks(), bound to
// the chart's insets; tests put doubles in their place. Every hook is
// optional; an absent inset takes no clicks and draws nothing. The inset
// sizes and places are the chart's own (GuideSize, GlobeSize, ClockSize,
// MagnifierSize; StarSphereRect, GlobeRect, ClockRect).
struct TInsetHooks {
  // Start-up builders of the insets, run in order after the drawing colours
  // and ring ramps and before the first render (chart mask code 6, globe 7,
  // clock 8, magnifier 9, star sphere 10); the first that fails ends the
  // start-up.
  std::vector<TBuildStep> buildSteps;
  // Click handlers (button 0 left, 1 right; chart pixel coordinates): true
  // when the click lay inside the inset and was handled.
  std::function<bool(int button, int x, int y)> globeMouseDown, clockClick, starSphereClick, magnifierClick;
  // Hit tests for the pointer shape.
  std::function<bool(int x, int y)> insideGlobe, insideClock, onStarSphere, insideMagnifier;
  // True outside the chart's shape.
  std::function<bool(int x, int y)> isMaskedPixel;
  // Painting: copy the inset's finished picture into the back buffer at its
  // place, skipping its transparent key.
  std::function<void(platform::Bitmap& backBuffer)> composeGlobe, composeClock, composeMagnifier,
      composeStarSphere;
  // After each render of the chart (not for the clipboard): the star
  // sphere's sky is drawn again from the main chart's view.
  std::function<void()> drawStarSphere;
  // Lays the chart mask over the back buffer after a render.
  std::function<void(platform::Bitmap& backBuffer)> applyMask;
  // Fits the chart mask to the back buffer and chart size (resize).
  std::function<void()> fitMask;
  // The clock's face and hands are brought up to the simulated time.
  std::function<void()> clockTick;
  // Around a new back buffer (resize): the globe animation stops and the
  // overlay threads pause, then resume.
  std::function<void()> beforeBackBufferChange, afterBackBufferChange;
  // The heartbeat's globe return: called 5,000 ms after the pointer left the
  // globe, every tick; the globe starts its move back to the observer's
  // place when no move runs and its view lies away from that place.
  std::function<void()> globeBackToObserver;
  // The zoom changed while the magnifier's field is automatic (mode 9): the
  // magnifier recomputes its field and applies it when it differs.
  std::function<void()> magnifierFollowZoom;
  // The overlay threads redraw their overlays after the chart changed.
  std::function<void()> invalidateOverlays;
};

// The hooks bound to the chart's mask, star sphere, globe and clock.
TInsetHooks ChartInsetHooks();

class TMainForm1 : public QMainWindow {
  Q_OBJECT
 public:
  explicit TMainForm1(QWidget* parent = nullptr);
  ~TMainForm1() override;

  // Start-up of the running program: takes the current folder as data and
  // program folder, and runs the start-up (StartUp).
  void FormCreate();
  // The program entry's start: this window's creation (FormCreate), then
  // every other window in the entry's order (CreateProgramWindows), also
  // after a failed start-up. The heartbeat's first tick is held until the
  // last window is made, whatever boxes the start shows meanwhile.
  void StartProgram();
  // The start-up in its order; true when the build chain completed.
  bool StartUp();
  bool StartupComplete() const { return startupComplete_; }
  // False while the chart shows a stand-in place (the status bar says
  // that no observer location was chosen).
  bool PlaceChosen() const { return !placeNoteShown_; }
  // Start-up steps 7 and 8: measures the screen, sets the chart area, the
  // inset presets and sizes, and makes the back buffer. False when the
  // back buffer cannot be made.
  bool CreateBackBuffer();

  // Creates the telescope window (hidden) with the main window as its
  // host, and adds the Connections menu and the chart pop-up's telescope
  // items. The filter-wheel, focuser and goto-assist windows come later in
  // the program's order (CreateProgramWindows); until then their items
  // open nothing.
  void CreateTelescopeWindow();
  // The windows made after the main window, hidden, in the program's order
  // (location, object information, flash message, star and deep-sky
  // options, ... points of interest with its sequencer, log last), each
  // owned by this window, kept in its global until the end and the global
  // emptied when it goes. Each window's creation does its start duties
  // there (the location window reads the pick list, the catalogue options
  // "ObjectOptions.xml", the solar-system window has the element lists
  // loaded, the calendar its bright stars, the plate solver, autoguider and
  // console their settings files in that order). After a failed start-up
  // the script input window, the cameras, the Imaging menu and its windows
  // are made here too (they need nothing the start-up missed).
  void CreateProgramWindows();
  TTelescopeWindows Devices;
  // Where the camera settings are read at start and stored at exit; the
  // imaging windows keep theirs in the same folder (tests and the benchmark
  // put it in a folder of their own). A relative path is taken within the
  // data folder and made absolute at start.
  std::string ImagingSettingsPath = "ImagingSettings.xml";

  // The one way out of the program, whatever asks for it (File > Exit, the
  // close button, SIGTERM and SIGINT, the end of the desktop session): open
  // modal windows and dialogs are cancelled and the two-phase close starts;
  // the heartbeat finishes it once every worker has ended. The close's
  // first request offers an unsaved script for saving ("Save changes?";
  // Cancel keeps the program open). The accepted close writes every
  // setting; the files that cannot be written are told in one message.
  void EndProgram();
  // The way out when nobody answers a question (SIGTERM and SIGINT, the end
  // of the desktop session, the end of the event loop): every setting is
  // written first, and an unsaved script is kept in a recovery file in the
  // data folder; both are told in the log (and on standard error, which
  // outlives the log window), failures too. Then EndProgram's close goes on
  // without a question.
  void EndProgramUnattended();
  // Set by the program's entry while the start-up runs (FormCreate and the
  // windows' creation), when a message box of the start-up may be open.
  // EndProgramUnattended then only notes the request: the open box is
  // closed, the rest of the start-up asks nothing, and the entry ends the
  // program once the start-up is over, when every setting the end saves
  // has been read (never its defaults over the user's).
  bool StartingUp = false;
  bool EndRequested() const { return endRequested_; }
  // The same unattended close carried through here, handling events until
  // the window has closed (for callers that cannot return to the event loop
  // first: the session manager's save request, the loop's end). After
  // `timeoutMs` the close is forced; the window's destruction still joins
  // every worker.
  void FinishClose(int timeoutMs = 5000);
  // True once the close has been accepted (devices let go, timers stopped).
  bool Closed() const { return closed_; }
  // Run when the close has been accepted (the program ends its event loop).
  std::function<void()> OnClosed;

  // The heartbeat (Timer1) and its parts.
  void Timer1Timer();
  // The one-shot start-up timer (2,000 ms after the first tick): the
  // magnifier may render from now on; the file types are registered.
  void Timer2Timer();
  void RenderMainView();
  void FormResize();

  // The chart and the insets (installed by the chart).
  IChartView& Chart() { return *chart_; }
  void SetChartView(std::unique_ptr<IChartView> view);
  void SetInsetHooks(TInsetHooks hooks) { insets_ = std::move(hooks); }

  // Time sources and the screen's size (tests inject their own).
  std::function<uint32_t()> MsCounter;
  std::function<double()> SystemClock;
  std::function<QSize()> ScreenSize;
  // Arguments of the command line (the program name not counted).
  std::vector<std::string> CommandLine;

  // --- Menu commands -------------------------------------------------------
  void Open1Click();
  void Save1Click();
  void Save2Click();
  void Print1Click();
  void PrintSetup1Click();
  void Exit1Click();
  void Copy1Click();
  void Log1Click();
  void SelectStarPreset(bool allStars);
  void ShowHorizon1Click();
  void SetTimeFlow(uint8_t flow);
  void SetTimeRate(uint8_t rate);
  void RealTime1Click();
  void Now1Click();
  void Earlytonight1Click();
  void Midnight1Click();
  void EarlyTomorrow1Click();
  void ShiftTime(double days);
  void About1Click();
  // Enables Topics, How to Use Help and About (at the first heartbeat tick).
  void EnableHelpMenus();
  void ScreenLayout1Click();
  // The option windows, each shown modally.
  void Objects1Click();
  void StarCatalog1Click();
  void Solarsystem1Click();
  void Constellation2Click();
  void CoordGrid1Click();
  void Colors1Click();
  // The observer tools.
  void Newlocation1Click();
  void NewDateTime1Click();
  void Find1Click();
  void Atmospheric1Click();
  // Globe menu: pick-list entry n (0..9) becomes the observer's place.
  void PickSelect(int n);
  void LocationPickCheckMenu(int n);
  void SetPickCaptions(const std::vector<std::string>& captions);
  void Performance1Click();
  void ZoomIn1Click();
  void ZoomOut1Click();
  void WholeSkyView1Click();
  void Horizon1Click();
  void Center1Click();
  void Track1Click();
  // The information window of a selection: kind 1 deep-sky object (index a
  // record number, or a key when byKey), 2 SAO star (position in SaoStars
  // from 1), 3 asteroid, 4 comet, 5 Sun, Moon or planet.
  void ShowObjectInformation(int kind, int32_t index, bool byKey = false);
  void Information1Click();
  // Scripts: the editor, a run of its text, stop and pause, and the
  // enabling of the script items (New, Run, Close) by the editor and a run.
  void NewScript1Click();
  void RunScript1Click();
  void PauseScript1Click();
  void UpdateScriptItems();
  void Magnifier1Click();
  void Newpointofinterest1Click();
  void ClearPointOfInterestMode();
  void Deletecurrentpointofinterest1Click();
  void Clearpointsofinterestlist1Click();
  void Editpointsofinterest1Click();
  void TeleLocationChange(int n);
  void KeyTeleLocationChange(int n);
  void TeleFieldOfViewChange(int mode);
  // The telescope and eyepiece items from the magnifier settings' lists.
  void UpdateTelescopeMenu();
  void GlobeSML(int code);
  void ClockSML(int code);
  void GuideSML(int code);
  void MagSML(int code);

  // Input.
  void PaintBox1MouseDown(int button, int x, int y);
  void PaintBox1MouseMove(int x, int y);
  bool FormKeyPress(char key);
  // The keys with Ctrl or Alt (the magnifier's fields, Ctrl+H), acted on
  // when pressed; false when the key is none of them.
  bool ModifiedKeyPress(int key, Qt::KeyboardModifiers modifiers, bool autoRepeat);
  void POIKeysTimer1Timer();
  // Status panel 2 shows the chart's field of view.
  void ShowFieldOfView();
  bool ShowCursorPosition(int x, int y);
  void UpdateChartCursor();
  void PlaceTimeButtons();
  void PaintBox1Paint(const QRect& clip);

  // Text of status panel 0..4.
  void SetStatusText(int panel, const std::string& text);
  std::string StatusText(int panel) const;

  // The back buffer (rows from the top, 32-bit pixels).
  const platform::Bitmap& BackBuffer() const { return backBuffer_; }

  // --- State ---------------------------------------------------------------
  TSimClock Clock;
  TChartKeyState Keys;
  bool StartupPending = true;
  bool RenderRequest = false;
  bool RenderSuspended = false;
  bool ResizeBusy = false;
  bool CopyingChart = false;
  bool RealTimeShown = false;
  bool StarReloadRequest = false;  // a star preset asks the heartbeat for a reload
  bool GlobeDragging = false;      // the pointer is over the globe
  uint32_t LastGlobeDragTime = 0;  // counter when the pointer was last over it
  double LastClockJD = 0;
  double LastZoom = 0;
  int CurrentCursor = 0;
  bool TimeButtonsPlaced = false;
  int RenderCount = 0;          // finished renders (tests, benchmark)
  int SavedPOI = -1;            // the entry shown before point-of-interest mode
  // The last right click's selection is the chart's (SelectionKind,
  // SelectionIndex, chart/clicks.h); the field-of-view mode is the
  // magnifier's (FieldOfViewMode, chart/magnifier_inset.h).
  double ClickRA = 0, ClickDec = 0;

  // --- Components ----------------------------------------------------------
  QTimer* Timer1 = nullptr;
  QTimer* Timer2 = nullptr;
  QTimer* POIKeysTimer1 = nullptr;

  QMenu* File1 = nullptr;
  QAction *NewScript1 = nullptr, *Open1 = nullptr, *Save1 = nullptr, *Save2 = nullptr, *CloseScript1 = nullptr,
          *Print1 = nullptr, *PrintSetup1 = nullptr, *Exit1 = nullptr;
  QMenu* Script1 = nullptr;
  QAction *RunScript1 = nullptr, *StopScript1 = nullptr, *PauseScript1 = nullptr;
  QMenu* Edit1 = nullptr;
  QAction *Copy1 = nullptr, *Find1 = nullptr, *Log1 = nullptr;
  QMenu* Reports1 = nullptr;
  QAction *GeneralReport = nullptr, *MeteorShowerReport = nullptr;
  QMenu* Settings1 = nullptr;
  QAction *Objects1 = nullptr, *StarCatalog1 = nullptr, *Solarsystem1 = nullptr, *Constellation2 = nullptr,
          *CoordGrid1 = nullptr, *Atmospheric1 = nullptr;
  QAction *Selectallstars1 = nullptr, *Selectnakedeyestarsonly1 = nullptr, *ShowHorizon1 = nullptr,
          *Magnifier1 = nullptr;
  QMenu* Observer1 = nullptr;
  QAction *NewLocation2 = nullptr, *NewDateTime1 = nullptr;
  QMenu* TimeFlow2 = nullptr;
  QAction *Forward2 = nullptr, *Stop2 = nullptr, *Backward2 = nullptr;
  std::array<QAction*, 5> Rates2{};
  QAction *RealTime2 = nullptr, *Now2 = nullptr, *EarlyTonight2 = nullptr, *Midnight2 = nullptr,
          *EarlyTomorrow2 = nullptr;
  QMenu* Connections1 = nullptr;
  QAction *TelescopeControl1 = nullptr, *FilterWheel1 = nullptr, *Focuser1 = nullptr, *Camera1 = nullptr;
  QMenu* ImagingMenu1 = nullptr;
  QMenu* Imaging1 = nullptr;  // "Source Settings": one item per camera
  QAction *AutoGuiding1 = nullptr, *Imaging2 = nullptr, *PlateSolve1 = nullptr;
  imaging::TAscomCameraForm1* AscomCameraForm1 = nullptr;
  QAction *GotoHere = nullptr, *SyncHere = nullptr, *AcceptAlign = nullptr;
  QMenu* Preferences1 = nullptr;
  QAction *Colors1 = nullptr, *ScreenLayout1 = nullptr, *Performance1 = nullptr;
  QMenu* Help1 = nullptr;
  QAction* Topics1 = nullptr;
  QAction* HowtoUseHelp1 = nullptr;
  QAction* About1 = nullptr;

  // Pop-up menus.
  QMenu* PopupMenu1 = nullptr;
  QAction *ObjectName1 = nullptr, *Center1 = nullptr, *Track1 = nullptr, *Information1 = nullptr;
  QMenu* StarSphereMenu = nullptr;
  QAction *CoordinateGrid1 = nullptr, *Horizon1 = nullptr, *ZoomIn1 = nullptr, *ZoomOut1 = nullptr,
          *WholeSkyView1 = nullptr, *ConstellationLines1 = nullptr, *ConstellationNames1 = nullptr,
          *ConstellationBoundries1 = nullptr, *StarIdentification1 = nullptr, *StarNames1 = nullptr,
          *ObjectIdentification1 = nullptr;
  std::array<QAction*, 3> GuideSizes{};
  QMenu* GlobeMenu = nullptr;
  QAction* NewLocation1 = nullptr;
  std::array<QAction*, 10> Picks{};  // Pick1..Pick10: the location pick list
  std::array<QAction*, 3> GlobeSizes{};
  QMenu* ClockMenu = nullptr;
  QAction* NewTime1 = nullptr;
  QAction *Forward1 = nullptr, *Stop1 = nullptr, *Backward1 = nullptr;
  std::array<QAction*, 5> Rates1{};
  QAction *RealTime1 = nullptr, *Now1 = nullptr, *Earlytonight1 = nullptr, *Midnight1 = nullptr,
          *EarlyTomorrow1 = nullptr, *LMTUT1 = nullptr, *Sidereal1 = nullptr;
  std::array<QAction*, 3> ClockSizes{};
  QMenu* MagMenu = nullptr;
  QAction *Editpointsofinterest1 = nullptr, *Newpointofinterest1 = nullptr, *Auto1 = nullptr,
          *AllLocations1 = nullptr, *Deletecurrentpointofinterest1 = nullptr,
          *Clearpointsofinterestlist1 = nullptr;
  std::array<QAction*, 9> Locations{};
  std::array<QAction*, 9> FieldsOfView{};  // FieldOfView1..FieldOfView9
  std::array<QAction*, 10> Teles{};        // Tele1..Tele10: modes 100..1000
  QMenu* View1 = nullptr;                  // "View with": the eyepieces
  std::array<QAction*, 10> Eyepieces{};
  std::array<QAction*, 4> MagSizes{};

  std::array<QLabel*, 5> StatusPanels{};
  QScrollArea* ScrollBox1 = nullptr;
  TPaintBox* PaintBox1 = nullptr;
  std::array<QToolButton*, 4> TimeButtons{};  // day back, hour back, hour fwd, day fwd

 protected:
  void closeEvent(QCloseEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;

 private:
  void BuildMenus();
  void BuildPopups();
  // The time-flow, rate and preset items of the Observer menu and the
  // clock's pop-up menu.
  void AddTimeItems(QMenu* flowMenu, QMenu* presetMenu, std::array<QAction**, 3> flows,
                    std::array<QAction*, 5>& rates, std::array<QAction**, 5> presets);
  void FirstTick();
  void FormClose();
  void FormDestroy();
  // Writes the settings the program keeps until its end (the deep-sky
  // catalogue slots, the imaging windows' and the cameras' files), once,
  // telling every file that cannot be written in one message.
  void SaveExitSettings();
  void SetTimeFlowMenus();
  void SetTimeRateMenus();
  void ShowPresetResult(TPresetResult r);
  void ShowPOIMenuSlot(int n);
  void HidePOIMenuSlot(int n);
  void UpdateFieldOfViewMenu();
  void CheckLocationMenu(int n);
  void RefreshStarSphereMenu();
  bool MakeBackBuffer();
  // The data and program folders, the settings paths and the folders made
  // from them, made absolute against the folder the program started in.
  void ResolveStartFolders();
  void MeasureScreen(int& width, int& height) const;
  void ApplyInsetPresets();
  // Places the four insets for the chart size and their sizes, and the
  // dirty rectangle of an inset's repaint bit.
  void PlaceInsets();
  TRect InsetRect(uint8_t bit) const;
  void CheckInsetSizeItems();
  void InstallInsetHosts();
  void ChartChanged();

  std::unique_ptr<IChartView> chart_;
  TInsetHooks insets_;
  platform::Bitmap backBuffer_;
  std::unique_ptr<tPlotter> mainPlotter_, spherePlotter_;
  std::unique_ptr<tPlotterB> magnifierPlotter_;
  std::unique_ptr<ITelescopeHost> telescopeHost_;
  std::unique_ptr<imaging::TAscomCameraSlots> ascomCameras_;
  TScriptGuiHost* scriptGui_ = nullptr;
  // The cameras of "ImagingSettings.xml" with the Imaging menu's source
  // settings; the imaging windows with their menu items.
  void CreateCamerasAndImagingMenu();
  void CreatePlateSolveWindow();
  void CreateAutoGuideWindow();
  void CreateImagingConsoleWindow();
  // The folder of the imaging windows' settings: that of ImagingSettingsPath.
  std::string ImagingWindowsFolder() const;
  void CreateAscomCameraWindow();
  bool camerasCreated_ = false;
  bool windowsMade_ = false;  // CreateProgramWindows has run
  bool startupComplete_ = false;
  // The start-up ended early (a build step or the back buffer failed): no
  // chart is rendered, since nothing would keep it up to date.
  bool startupFailed_ = false;
  // The reference files found missing or damaged at start are told in one
  // box after the first tick, once the star load running then has ended
  // (its damage is in the box too).
  bool dataProblemsDue_ = false;
  void TellDataProblems();
  // The status bar says that no place was chosen (for the place noted
  // here); the note goes once the observer's place changes.
  bool placeNoteShown_ = false;
  double notedLatitude_ = 0, notedLongitude_ = 0;
  void NotePlaceUnchosen();
  void ClearPlaceNoteWhenMoved();
  bool inTick_ = false;
  bool closed_ = false;
  bool destroyed_ = false;
  bool unattended_ = false;    // the close asks nothing
  bool endRequested_ = false;  // an unattended end asked for during the start-up
  bool settingsSaved_ = false;  // SaveExitSettings has run
  bool catalogSlotsRead_ = false;  // "ObjectOptions.xml" was read: the end writes it back
  TRect lastClockRect_;
  int lastClockSize_ = -1;
  int mouseX_ = 0, mouseY_ = 0;
};

extern TMainForm1* MainForm1;

// Widths of the status bar's panels in pixels.
inline constexpr std::array<int, 5> kStatusPanelWidths = {500, 175, 80, 300, 300};
