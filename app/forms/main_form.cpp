#include "app/forms/main_form.h"

#include <QAction>
#include <QActionGroup>
#include <QApplication>
#include <QClipboard>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QMenuBar>
#include <QMouseEvent>
#include <QPainter>
#include <QProcess>
#include <QStandardPaths>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QStatusBar>
#include <QTimer>
#include <QToolButton>
#include <cmath>
#include <filesystem>

#include "app/core/file_commands.h"
#include "app/core/file_types.h"
#include "app/core/lifecycle.h"
#include "app/core/picture_list.h"
#include "app/core/points_of_interest.h"
#include "app/core/settings_sections.h"
#include "app/forms/about_form.h"
#include "app/forms/browser_form.h"
#include "app/forms/help_form.h"
#include "app/forms/log_form.h"
#include "app/forms/poi_form.h"
#include "app/forms/print_job.h"
#include "app/globals.h"
#include "app/messages.h"
#include "astro/observer.h"
#include "astro/precession.h"
#include "astro/reference_files.h"
#include "astro/text.h"
#include "catalog/bounds.h"
#include "catalog/hooks.h"
#include "catalog/object_catalog.h"
#include "catalog/object_options.h"
#include "catalog/star_options.h"
#include "catalog/stars.h"
#include "app/core/plotter_view.h"
#include "astro/planets.h"
#include "chart/clicks.h"
#include "chart/clock.h"
#include "chart/cursor_watch.h"
#include "chart/forms/magnifier_settings_form.h"
#include "chart/mag_thread.h"
#include "chart/magnifier_inset.h"
#include "chart/magnifier_settings.h"
#include "chart/plotter_b.h"
#include "chart/drawing_colors.h"
#include "catalog/forms/object_options_form.h"
#include "catalog/forms/settings_owners.h"
#include "catalog/forms/solar_system_form.h"
#include "catalog/forms/star_options_form.h"
#include "catalog/solar_system_options.h"
#include "chart/constellation_options.h"
#include "chart/forms/colors_fonts_form.h"
#include "chart/forms/constellation_form.h"
#include "chart/forms/coordinate_grid_form.h"
#include "chart/forms/performance_form.h"
#include "chart/grid_options.h"
#include "chart/forms/screen_layout_form.h"
#include "chart/globe.h"
#include "chart/graph_misc.h"
#include "chart/inset_host.h"
#include "chart/mask.h"
#include "chart/plotter.h"
#include "chart/render_inputs.h"
#include "chart/ring.h"
#include "chart/screen_layout.h"
#include "chart/star_sphere.h"
#include "chart/sun_moon_images.h"
#include "chart/styles.h"
#include "platform/halt.h"
#include "platform/paths.h"
#include "platform/qt_dialogs.h"
#include "imaging/ascom_camera.h"
#include "imaging/camera_setup.h"
#include "imaging/forms/ascom_camera_forms.h"
#include "imaging/forms/camera_settings_forms.h"
#include "imaging/forms/imaging_windows.h"
#include "imaging/imaging_settings.h"
#include "platform/timezone.h"
#include "script/forms/scr_edit_form.h"
#include "script/forms/script_gui.h"
#include "script/markers.h"
#include "script/runner.h"
#include "script/script_host.h"
#include "tools/atmospheric.h"
#include "tools/clock_time.h"
#include "tools/find.h"
#include "tools/forms/atmospheric_form.h"
#include "tools/forms/clock_time_form.h"
#include "tools/forms/find_form.h"
#include "tools/forms/information_forms.h"
#include "tools/forms/location_form.h"
#include "tools/location.h"
#include "tools/tool_settings.h"
#include "tools/world_map.h"
#include "telescope/accessories.h"
#include "telescope/forms/device_forms.h"
#include "telescope/forms/tele_form.h"
#include "telescope/host.h"
#include "telescope/tele_control.h"
#include "telescope/telescope_view.h"

TMainForm1* MainForm1 = nullptr;

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

TPaintBox::TPaintBox(QWidget* parent) : QWidget(parent) {
  setAttribute(Qt::WA_OpaquePaintEvent);
  setMouseTracking(true);
}

void TPaintBox::paintEvent(QPaintEvent* event) {
  if (MainForm1 && MainForm1->PaintBox1 == this) {
    MainForm1->PaintBox1Paint(event->rect());
    return;
  }
  QPainter p(this);
  p.fillRect(rect(), Qt::black);
}

void TPaintBox::mousePressEvent(QMouseEvent* event) {
  if (MainForm1 && MainForm1->PaintBox1 == this)
    MainForm1->PaintBox1MouseDown(event->button() == Qt::RightButton ? 1 : 0, int(event->position().x()),
                                  int(event->position().y()));
}

void TPaintBox::mouseMoveEvent(QMouseEvent* event) {
  if (MainForm1 && MainForm1->PaintBox1 == this)
    MainForm1->PaintBox1MouseMove(int(event->position().x()), int(event->position().y()));
}

namespace {

QAction* Item(QMenu* menu, const char* caption, std::function<void()> fn, QKeySequence key = {}) {
  QAction* a = menu->addAction(QString::fromUtf8(caption));
  QObject::connect(a, &QAction::triggered, menu, [fn = std::move(fn)] { fn(); });
  if (!key.isEmpty()) a->setShortcut(key);
  return a;
}

QAction* Check(QMenu* menu, const char* caption, std::function<void()> fn, QKeySequence key = {}) {
  QAction* a = Item(menu, caption, std::move(fn), key);
  a->setCheckable(true);
  return a;
}

// The single instance of a window owned by the main window, made when first
// needed; its global is emptied when it goes with its owner.
template <class F>
F* OwnedWindow(F*& global, QWidget* owner) {
  if (!global) {
    global = new F(owner);
    QObject::connect(global, &QObject::destroyed, [&global] { global = nullptr; });
  }
  return global;
}

// The size code (1..N) of the checked size item, 0 when none is checked.
template <std::size_t N>
int CheckedCode(const std::array<QAction*, N>& items) {
  for (std::size_t i = 0; i < N; ++i)
    if (items[i]->isChecked()) return int(i) + 1;
  return 0;
}

// The observer's place until the location window sets one.
const char* const kNoLocationName = "Latitude 0, longitude 0";
const char* const kNoLocationStatus = "No observer location chosen: the chart shows latitude 0\u00b0, longitude 0\u00b0";
const std::string kZoneLocationStatus = "No observer location chosen: the chart shows ";
const std::string kZoneLocationStatusEnd = ", the city of the computer's time zone";

const char* const kRateCaptions[5] = {"&Actual", "&10 Seconds/Second", "1 &Minute/Second", "1 &Hour/Second",
                                      "1 &Day/Second"};
const char* const kFieldCaptions[9] = {"15 minutes (\u00bc\u00b0)", "30 minutes (\u00bd\u00b0)", "1 degree",
                                       "2 degree", "5 degree", "10 degree", "15 degree", "20 degree",
                                       "Automatic"};

}  // namespace

TMainForm1::TMainForm1(QWidget* parent) : QMainWindow(parent), chart_(std::make_unique<TPendingChartView>()) {
  setWindowTitle(QStringLiteral("Noctra Planetarium"));
  MainForm1 = this;
  MsCounter = [] { return platform::TimeGetTime(); };
  SystemClock = [] { return CurrentJulianDay(); };
  insets_ = ChartInsetHooks();
  ScreenSize = [] {
    QScreen* s = QGuiApplication::primaryScreen();
    return s ? s->availableGeometry().size() : QSize(1024, 768);
  };
  // A change of the screen's size or mode rebuilds the back buffer.
  if (QScreen* s = QGuiApplication::primaryScreen())
    connect(s, &QScreen::availableGeometryChanged, this, [this] { FormResize(); });

  BuildMenus();
  BuildPopups();

  // The panels keep their widths on a window wide enough for all five; on
  // a narrower one they share the bar in proportion to those widths and
  // clip their texts, instead of running over each other and off the bar.
  for (std::size_t i = 0; i < StatusPanels.size(); ++i) {
    StatusPanels[i] = new QLabel(this);
    StatusPanels[i]->setMaximumWidth(kStatusPanelWidths[i]);
    StatusPanels[i]->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    StatusPanels[i]->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    statusBar()->addWidget(StatusPanels[i], kStatusPanelWidths[i]);
  }

  ScrollBox1 = new QScrollArea(this);
  ScrollBox1->setFrameShape(QFrame::NoFrame);
  ScrollBox1->setWidgetResizable(false);
  ScrollBox1->setFocusPolicy(Qt::StrongFocus);
  PaintBox1 = new TPaintBox;
  ScrollBox1->setWidget(PaintBox1);
  setCentralWidget(ScrollBox1);

  const char* const tips[4] = {"Day back", "Hour back", "Hour fwd", "Day fwd"};
  const char* const arrows[4] = {"\u00ab", "\u2039", "\u203a", "\u00bb"};
  const double shifts[4] = {-1.0, -1.0 / 24.0, 1.0 / 24.0, 1.0};
  for (int i = 0; i < 4; ++i) {
    TimeButtons[i] = new QToolButton(PaintBox1);
    TimeButtons[i]->setAutoRaise(true);
    TimeButtons[i]->setFixedSize(17, 17);
    TimeButtons[i]->setToolTip(QString::fromUtf8(tips[i]));
    TimeButtons[i]->setText(QString::fromUtf8(arrows[i]));
    TimeButtons[i]->setFocusPolicy(Qt::NoFocus);
    TimeButtons[i]->move(-1000, -1000);
    connect(TimeButtons[i], &QToolButton::clicked, this, [this, d = shifts[i]] {
      if (!Keys.TelescopeConnected) ShiftTime(d);
    });
  }

  Timer1 = new QTimer(this);
  Timer1->setInterval(1000);
  connect(Timer1, &QTimer::timeout, this, &TMainForm1::Timer1Timer);
  Timer2 = new QTimer(this);
  Timer2->setInterval(2000);
  Timer2->setSingleShot(true);
  connect(Timer2, &QTimer::timeout, this, &TMainForm1::Timer2Timer);
  POIKeysTimer1 = new QTimer(this);
  POIKeysTimer1->setInterval(1500);
  POIKeysTimer1->setSingleShot(true);
  connect(POIKeysTimer1, &QTimer::timeout, this, &TMainForm1::POIKeysTimer1Timer);

  SetPOIHooks({[this](int n) { ShowPOIMenuSlot(n); }, [this](int n) { HidePOIMenuSlot(n); },
               [] {
                 if (POIForm) POIForm->RefreshGrid();
               },
               [this] {
                 Clearpointsofinterestlist1->setEnabled(POICount > 0);
                 Editpointsofinterest1->setEnabled(true);
               },
               nullptr});

  MainWindowHandle = this;
  InstallInsetHosts();
}

TMainForm1::~TMainForm1() {
  FormDestroy();
  SetPOIHooks({});
  TheInsetHost = {};
  TheScreenLayoutHost = {};
  ClockButtonsMoved = nullptr;
  MagnifierHooks = {};
  SetChartClickHooks({});
  SetCursorHintSink(nullptr);
  MagnifierFieldModeChanged = nullptr;
  TScrEditForm1::OnDestroyed = nullptr;
  // Scripts fall back to the default host; the editor hooks go too.
  SetScriptHost(nullptr);
  SetScriptEditorHooks({});
  GlobalLocation.PickListChanged = nullptr;
  FindActions = {};
  OpenBrowserWindow = nullptr;
  AddPointOfInterestHook = nullptr;
  TelescopeGotoHook = nullptr;
  TelescopeSyncHook = nullptr;
  TelescopeConnected = nullptr;
  if (Devices.TeleForm1) {
    // The device controls go with this window's children.
    SetFocuserControl(nullptr);
    SetFilterWheelControl(nullptr);
  }
  if (MainWindowHandle == this) MainWindowHandle = nullptr;
  if (MainForm1 == this) MainForm1 = nullptr;
}

void TMainForm1::BuildMenus() {
  File1 = menuBar()->addMenu(QStringLiteral("&File"));
  NewScript1 = Item(File1, "&New script...", [this] { NewScript1Click(); });
  Open1 = Item(File1, "&Open...", [this] { Open1Click(); }, QKeySequence(Qt::Key_F3));
  Save1 = Item(File1, "&Save", [this] { Save1Click(); }, QKeySequence(Qt::Key_F2));
  Save2 = Item(File1, "Save &As...", [this] { Save2Click(); });
  CloseScript1 = Item(File1, "&Close script", [] { CloseScriptEditor(); });
  File1->addSeparator();
  Print1 = Item(File1, "&Print...", [this] { Print1Click(); });
  PrintSetup1 = Item(File1, "P&rint Setup...", [this] { PrintSetup1Click(); });
  File1->addSeparator();
  Exit1 = Item(File1, "E&xit", [this] { Exit1Click(); });

  Edit1 = menuBar()->addMenu(QStringLiteral("&Edit"));
  Copy1 = Item(Edit1, "&Copy", [this] { Copy1Click(); }, QKeySequence(Qt::CTRL | Qt::Key_C));
  Find1 = Item(Edit1, "&Find...", [this] { Find1Click(); }, QKeySequence(Qt::CTRL | Qt::Key_F));
  Log1 = Item(Edit1, "&Log...", [this] { Log1Click(); });

  Script1 = menuBar()->addMenu(QStringLiteral("&Script"));
  RunScript1 = Item(Script1, "&Run", [this] { RunScript1Click(); }, QKeySequence(Qt::CTRL | Qt::Key_R));
  StopScript1 = Item(Script1, "&Stop", [] { ScriptStopFlag = 1; });
  PauseScript1 = Item(Script1, "&Pause", [this] { PauseScript1Click(); });
  for (QMenu* m : {File1, Script1}) connect(m, &QMenu::aboutToShow, this, [this] { UpdateScriptItems(); });
  UpdateScriptItems();

  Reports1 = menuBar()->addMenu(QStringLiteral("&Reports"));
  GeneralReport = Item(Reports1, "&Monthly...", [] { ShowGeneralReportForm1(); });
  MeteorShowerReport = Item(Reports1, "Meteor &Showers...", [] { ShowMeteorShowersForm1(); });

  Settings1 = menuBar()->addMenu(QStringLiteral("&Settings"));
  Objects1 = Item(Settings1, "Celestial &Object Catalog...", [this] { Objects1Click(); });
  StarCatalog1 = Item(Settings1, "&Options...", [this] { StarCatalog1Click(); });
  Settings1->addSeparator();
  Selectallstars1 = Item(Settings1, "Select &All Stars", [this] { SelectStarPreset(true); });
  Selectnakedeyestarsonly1 = Item(Settings1, "Select &Naked-eye Stars Only", [this] { SelectStarPreset(false); });
  Settings1->addSeparator();
  Solarsystem1 = Item(Settings1, "So&lar System...", [this] { Solarsystem1Click(); });
  Constellation2 = Item(Settings1, "Co&nstellation...", [this] { Constellation2Click(); });
  CoordGrid1 = Item(Settings1, "Coordinate &Grid...", [this] { CoordGrid1Click(); });
  Atmospheric1 = Item(Settings1, "&Atmospheric...", [this] { Atmospheric1Click(); });
  Settings1->addSeparator();
  ShowHorizon1 = Check(Settings1, "Show &Horizon", [this] { ShowHorizon1Click(); });
  ShowHorizon1->setChecked(true);
  Settings1->addSeparator();
  Magnifier1 = Item(Settings1, "&Magnifier/Telescope Settings...", [this] { Magnifier1Click(); });
  Magnifier1->setEnabled(false);  // from the first heartbeat tick on

  Observer1 = menuBar()->addMenu(QStringLiteral("&Observer"));
  NewLocation2 = Item(Observer1, "New &Location...", [this] { Newlocation1Click(); });
  NewDateTime1 = Item(Observer1, "New &Date/Time...", [this] { NewDateTime1Click(); });
  TimeFlow2 = Observer1->addMenu(QStringLiteral("Time &Flow"));
  AddTimeItems(TimeFlow2, Observer1, {&Forward2, &Stop2, &Backward2}, Rates2,
               {&RealTime2, &Now2, &EarlyTonight2, &Midnight2, &EarlyTomorrow2});

  Preferences1 = menuBar()->addMenu(QStringLiteral("&Preferences"));
  Colors1 = Item(Preferences1, "&Colors && Fonts...", [this] { Colors1Click(); });
  ScreenLayout1 = Item(Preferences1, "&Screen Layout...", [this] { ScreenLayout1Click(); });
  Performance1 = Item(Preferences1, "&Performance...", [this] { Performance1Click(); });

  Help1 = menuBar()->addMenu(QStringLiteral("&Help"));
  Topics1 = Item(Help1, "&Topics...", [this] { ShowHelp(this, kHelpContentsPage); });
  HowtoUseHelp1 = Item(Help1, "&How to Use Help...", [this] { ShowHelp(this, kHelpUsingPage); });
  Help1->addSeparator();
  About1 = Item(Help1, "&About...", [this] { About1Click(); });
  // From the first heartbeat tick on (EnableHelpMenus).
  for (QAction* a : {Topics1, HowtoUseHelp1, About1}) a->setEnabled(false);
}

void TMainForm1::AddTimeItems(QMenu* flowMenu, QMenu* presetMenu, std::array<QAction**, 3> flows,
                              std::array<QAction*, 5>& rates, std::array<QAction**, 5> presets) {
  const char* const flowCaptions[3] = {"&Forward", "&Stop", "&Backward"};
  for (uint8_t f = 0; f < 3; ++f) *flows[f] = Check(flowMenu, flowCaptions[f], [this, f] { SetTimeFlow(f); });
  flowMenu->addSeparator();
  for (int r = 0; r < 5; ++r) rates[r] = Check(flowMenu, kRateCaptions[r], [this, r] { SetTimeRate(uint8_t(r)); });
  presetMenu->addSeparator();
  *presets[0] = Check(presetMenu, "&Real Time", [this] { RealTime1Click(); });
  *presets[1] = Item(presetMenu, "&Now", [this] { Now1Click(); });
  *presets[2] = Item(presetMenu, "&Early Tonight", [this] { Earlytonight1Click(); });
  *presets[3] = Item(presetMenu, "&Midnight", [this] { Midnight1Click(); });
  *presets[4] = Item(presetMenu, "&Early Tomorrow", [this] { EarlyTomorrow1Click(); });
}

void TMainForm1::BuildPopups() {
  PopupMenu1 = new QMenu(this);
  ObjectName1 = PopupMenu1->addAction(QString());
  ObjectName1->setEnabled(false);
  PopupMenu1->addSeparator();
  Center1 = Item(PopupMenu1, "&Center", [this] { Center1Click(); });
  Track1 = Item(PopupMenu1, "&Track", [this] { Track1Click(); });
  Information1 = Item(PopupMenu1, "&Information", [this] { Information1Click(); });

  StarSphereMenu = new QMenu(this);
  CoordinateGrid1 = Check(StarSphereMenu, "Coordinate &Grid", [this] {
    chart_->SetSwitch(TChartSwitch::Grid, CoordinateGrid1->isChecked());
    ChartChanged();
  });
  Horizon1 = Check(StarSphereMenu, "Center on &Horizon coordinates", [this] { Horizon1Click(); },
                   QKeySequence(Qt::CTRL | Qt::Key_H));
  StarSphereMenu->addSeparator();
  ZoomIn1 = Item(StarSphereMenu, "Zoom &In", [this] { ZoomIn1Click(); });
  ZoomOut1 = Item(StarSphereMenu, "Zoom &Out", [this] { ZoomOut1Click(); });
  WholeSkyView1 = Item(StarSphereMenu, "&Whole Sky View", [this] { WholeSkyView1Click(); });
  StarSphereMenu->addSeparator();
  auto toggle = [this](TChartSwitch s, uint8_t on) {
    return [this, s, on] {
      chart_->SetSwitch(s, chart_->Switch(s) ? 0 : on);
      ChartChanged();
    };
  };
  ConstellationLines1 = Check(StarSphereMenu, "Constellation &Lines", toggle(TChartSwitch::ConstellationLines, 2));
  ConstellationNames1 = Check(StarSphereMenu, "Constellation &Names", toggle(TChartSwitch::ConstellationNames, 2));
  ConstellationBoundries1 =
      Check(StarSphereMenu, "Constellation &Boundaries", toggle(TChartSwitch::ConstellationBoundaries, 2));
  StarIdentification1 = Check(StarSphereMenu, "Star &Identification", toggle(TChartSwitch::StarIdentification, 1));
  StarNames1 = Check(StarSphereMenu, "Star N&ames", toggle(TChartSwitch::StarNames, 1));
  ObjectIdentification1 =
      Check(StarSphereMenu, "&Object Identification", toggle(TChartSwitch::ObjectIdentification, 1));
  StarSphereMenu->addSeparator();
  const char* const sizes[4] = {"&Small", "&Normal", "&Large", "&Hugh"};
  for (int i = 0; i < 3; ++i) GuideSizes[i] = Check(StarSphereMenu, sizes[i], [this, i] { GuideSML(i + 1); });
  connect(StarSphereMenu, &QMenu::aboutToShow, this, &TMainForm1::RefreshStarSphereMenu);

  GlobeMenu = new QMenu(this);
  NewLocation1 = Item(GlobeMenu, "New &Location...", [this] { Newlocation1Click(); });
  GlobeMenu->addSeparator();
  for (int i = 0; i < 10; ++i) {
    Picks[i] = Check(GlobeMenu, "", [this, i] { PickSelect(i); });
    Picks[i]->setVisible(false);
  }
  GlobeMenu->addSeparator();
  for (int i = 0; i < 3; ++i) GlobeSizes[i] = Check(GlobeMenu, sizes[i], [this, i] { GlobeSML(i + 1); });

  ClockMenu = new QMenu(this);
  NewTime1 = Item(ClockMenu, "New &Date/Time...", [this] { NewDateTime1Click(); });
  ClockMenu->addSeparator();
  AddTimeItems(ClockMenu, ClockMenu, {&Forward1, &Stop1, &Backward1}, Rates1,
               {&RealTime1, &Now1, &Earlytonight1, &Midnight1, &EarlyTomorrow1});
  ClockMenu->addSeparator();
  auto clockMode = [this](bool sidereal) {
    return [this, sidereal] {
      LMTUT1->setChecked(!sidereal);
      Sidereal1->setChecked(sidereal);
      ClockSidereal = sidereal ? 1 : 0;
      MarkRepaint(kRepaintClock);
      if (insets_.clockTick) insets_.clockTick();
      const TRect r = InsetRect(kRepaintClock);
      PaintBox1->update(r.left, r.top, r.right - r.left, r.bottom - r.top);
    };
  };
  LMTUT1 = Check(ClockMenu, "&LMT/UT", clockMode(false));
  Sidereal1 = Check(ClockMenu, "&Sidereal", clockMode(true));
  LMTUT1->setChecked(true);
  ClockMenu->addSeparator();
  for (int i = 0; i < 3; ++i) ClockSizes[i] = Check(ClockMenu, sizes[i], [this, i] { ClockSML(i + 1); });
  connect(ClockMenu, &QMenu::aboutToShow, this, [this] { RealTime1->setChecked(Clock.RealTimeFlag); });

  MagMenu = new QMenu(this);
  Editpointsofinterest1 = Item(MagMenu, "&Points of Interest Sequencer...", [this] { Editpointsofinterest1Click(); });
  Newpointofinterest1 = Item(MagMenu, "&New POI", [this] { Newpointofinterest1Click(); });
  MagMenu->addSeparator();
  Auto1 = Check(MagMenu, "&Scan", [this] { TeleLocationChange(0); });
  Auto1->setChecked(true);
  for (int i = 0; i < 9; ++i) {
    const std::string caption = "Location &" + std::to_string(i + 1);
    Locations[i] = Check(MagMenu, caption.c_str(), [this, i] { TeleLocationChange(i + 1); });
    Locations[i]->setVisible(false);
  }
  AllLocations1 = Item(MagMenu, "&More", [this] { TeleLocationChange(10); });
  AllLocations1->setVisible(false);
  Deletecurrentpointofinterest1 = Item(MagMenu, "&Delete this POI", [this] { Deletecurrentpointofinterest1Click(); });
  Deletecurrentpointofinterest1->setEnabled(false);
  Clearpointsofinterestlist1 = Item(MagMenu, "C&lear all POIs", [this] { Clearpointsofinterestlist1Click(); });
  Clearpointsofinterestlist1->setEnabled(false);
  MagMenu->addSeparator();
  FieldsOfView[8] = Check(MagMenu, kFieldCaptions[8], [this] { TeleFieldOfViewChange(9); },
                          QKeySequence(Qt::CTRL | Qt::Key_1));
  for (int i = 0; i < 8; ++i)
    FieldsOfView[i] = Check(MagMenu, kFieldCaptions[i], [this, i] { TeleFieldOfViewChange(i + 1); },
                            QKeySequence(Qt::CTRL | Qt::Key(Qt::Key_2 + i)));
  MagMenu->addSeparator();
  // Telescopes (Alt+1 .. Alt+0 through the key handler) and the eyepieces to
  // view with through the current telescope.
  for (int i = 0; i < 10; ++i) {
    Teles[i] = Check(MagMenu, "", [this, i] { TeleFieldOfViewChange(100 * (i + 1)); });
    Teles[i]->setVisible(false);
  }
  View1 = MagMenu->addMenu(QStringLiteral("&View with"));
  View1->menuAction()->setVisible(false);
  for (int i = 0; i < 10; ++i) {
    Eyepieces[i] = Check(View1, "", [this, i] {
      const int mode = FieldOfViewMode % 10000;
      if (mode >= 100) TeleFieldOfViewChange(mode + 10000 * (i + 1));
      else UpdateFieldOfViewMenu();
    });
    Eyepieces[i]->setVisible(false);
  }
  MagMenu->addSeparator();
  for (int i = 0; i < 4; ++i) MagSizes[i] = Check(MagMenu, sizes[i], [this, i] { MagSML(i + 1); });
}

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

// --- Start-up ------------------------------------------------------------------

void TMainForm1::FormCreate() {
  platform::InstallQtDialogs();
  DataFolder = platform::CurrentFolder();
  ProgramFolder = DataFolder;
  StartUp();
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
  // 1. The object database from the catalogue list of "ObjectOptions.xml".
  try {
    ObjectCatalog = std::make_unique<tCO>(CatalogTableList(ReadCatalogSlots()));
  } catch (...) {
    ObjectCatalog.reset();
  }
  // 4. Owner of message boxes.
  MainWindowHandle = this;
  // 6. Observer and time: the system clock and time zone, then the
  // reference data files.
  ReadRegStartupTime();
  InitObserver(ObserverTime);
  SetObserverUT(ObserverTime, SystemClock());
  TIME_ZONE_INFORMATION tzi{};
  InitTimeZoneInfo(tzi);
  platform::GetSystemTimeZoneInformation(tzi);
  SetObserverTimeZone(ObserverTime, tzi, 1);
  LoadDataFiles();
  LoadWorldMap(DataFolder);
  // 7, 8. Screen, chart area and back buffer, with the stored screen layout
  // (inset sizes, mask shape, aspect).
  ReadRegScreenLayout();
  ReadRegPerformance();
  if (!CreateBackBuffer()) {
    ShowErrorMessage(11, "");
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
  inputs.pointingCorrection = [](double ra, double dec, double& dRA, double& dDec) {
    if (!TelescopeMarker().useAssist) return false;
    TelescopePointingCorrection(ra, dec, dRA, dDec);
    return true;
  };
  SetChartInputs(std::move(inputs));
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
  // Scripts: message boxes, input, menus and PRINT_MAP through this window.
  TScriptGuiHost& scripts = InstallScriptGui(this, menuBar());
  scripts.resetPause = [this] {
    ScriptPauseFlag = 0;
    PauseScript1->setText(QStringLiteral("&Pause"));
  };
  scripts.printMap = [this](const TScriptPrintOptions& o) {
    return PrintStarMap(*this, MainPrinter(), ScriptPrintChoices(o));
  };
  TScrEditForm1::OnDestroyed = [this] { UpdateScriptItems(); };
  RegisterSettingsSection(kPlotterViewSlot,
                          {kPlotterViewBytes, [] { return MainPlotter->ViewBlock(); },
                           [](const std::vector<uint8_t>* b) {
                             MainPlotter->Replot = 1;
                             return !b || MainPlotter->ApplyViewBlock(*b);
                           }});
  TCatalogHooks hooks;
  hooks.pauseCursorThread = [] { PauseCursorThread(); };
  hooks.pauseMagnifierThread = [] { PauseMagnifierThread(); };
  hooks.resumeMagnifierThread = [] { ResumeMagnifierThread(); };
  hooks.resumeCursorThread = [] { ResumeCursorThread(); };
  hooks.requestReplot = [this] { chart_->MarkReplot(); };
  hooks.showStatusPanel3 = [this](const std::string& t) { SetStatusText(3, t); };
  hooks.setObjectLabels = [this](bool on) { chart_->SetSwitch(TChartSwitch::ObjectIdentification, on); };
  SetCatalogHooks(std::move(hooks));
  // 11. The build chain: styles and drawing colours, the constellation
  // boundaries, the Sun and Moon pictures.
  ConvertElementTable();
  InitPlanetRecords(Planets);
  InitExtraElementRecord(MoonBody);
  MoonBody.LastJD = -1000000.0;
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
  if (RunBuildChain(steps) != steps.size()) return false;
  SetPointOfInterest(0, FieldOfViewMode, 0, 0);
  UpdateFieldOfViewMenu();
  PlaceInsets();
  CreateCursorThread();
  // The cameras of "ImagingSettings.xml", with the Imaging menu's source
  // settings.
  imaging::CreateCameras(ImagingSettingsPath);
  camerasCreated_ = true;
  imaging::InstallCameraSettingsWindows(this);
  imaging::InstallAscomCameraSettingsWindow(this);
  ImagingMenu1 = new QMenu(QStringLiteral("&Imaging"), this);
  menuBar()->insertMenu(Observer1->menuAction(), ImagingMenu1);
  Imaging1 = ImagingMenu1->addMenu(QStringLiteral("&Source Settings"));
  imaging::FillSourceSettingsMenu(Imaging1);
  // The imaging console, the autoguider and plate solving, with their
  // settings beside the cameras'.
  {
    std::string folder = std::filesystem::path(ImagingSettingsPath).parent_path().string();
    if (!folder.empty() && folder.back() != '/') folder += '/';
    imaging::CreateImagingWindows(this, folder);
  }
  imaging::ChartCentre = [](double& ra, double& dec) {
    if (!MainPlotter) return false;
    ra = MainPlotter->CentreRA;
    dec = MainPlotter->CentreDec;
    DateToJ2000(*MainPlotter, ra, dec);
    return true;
  };
  // The console's filter-wheel settings button opens the filter-wheel window.
  imaging::ShowFilterWheelWindow = [this] {
    if (!Devices.FilterWheelForm1) return;
    Devices.FilterWheelForm1->show();
    Devices.FilterWheelForm1->raise();
  };
  AutoGuiding1 = Item(ImagingMenu1, "&Auto Guiding...", [] { imaging::ShowAutoGuider(); });
  Imaging2 = Item(ImagingMenu1, "Imaging &Console...", [] { imaging::ShowImagingConsole(); });
  PlateSolve1 = Item(ImagingMenu1, "&Plate Solving...", [] { imaging::ShowPlateSolve(); });
  // The close waits for the cursor watch, the magnifier's driver and a globe
  // move still running, and joins them.
  RegisterWorkerThread({"cursor", [] { StopCursorThread(); }, [] { return CursorThreadRunning(); },
                        [] { StopCursorThread(); }});
  RegisterWorkerThread({"magnifier", [] { StopMagnifierThread(); }, [] { return false; },
                        [] { StopMagnifierThread(); }});
  RegisterWorkerThread({"globe", [] { DoneGlobe(); }, [] { return GlobeMoving(); }, [] { DoneGlobe(); }});
  RenderMainView();
  startupComplete_ = true;
  Timer1->start();
  return true;
}

// --- The heartbeat ---------------------------------------------------------------

void TMainForm1::FirstTick() {
  Timer1->setInterval(100);
  StartupPending = false;
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
    // (A start-up that ended early reads no list.)
    if (startupComplete_) GlobalLocation.Load();
    const int n = startupComplete_ ? GlobalLocation.GetDefaultLocation() : -1;
    TSite site;
    THorizonArray horizon{};
    if (n != -1 && GlobalLocation.ExtractPickListItem(n, site, horizon) && !site.Name.empty()) {
      ApplySite(site, horizon);
      LocationPickCheckMenu(n);
    } else if (startupComplete_ && SiteFromSystemZone(site)) {
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
  // 7. "autoexec.sbas", run out of this handler (a missing file runs
  // nothing); the help menus.
  if (startupComplete_) QTimer::singleShot(0, this, [] { RunScriptFile("autoexec.sbas"); });
  EnableHelpMenus();
  // 8. The telescopes and eyepieces of the magnifier settings; its window.
  if (startupComplete_) {
    const int32_t mode = ReadRegTeleAndEyepiece();
    UpdateTelescopeMenu();
    TeleFieldOfViewChange(mode);
    Magnifier1->setEnabled(true);
  }
  // 9. The settings file named on the command line.
  OpenCommandLineFile(CommandLine);
  // 10. The one-shot start-up timer.
  Timer2->start();
}

void TMainForm1::Timer2Timer() {
  Timer2->stop();
  MagnifierReady = 1;
  const std::string share = UserDataFolder();
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

  if (StartupPending) FirstTick();
  // 2. The close handshake: every worker has ended and been joined.
  if (CloseHandshakeTick()) {
    close();
    return;
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
  // 15. Keyboard focus to the chart unless the log window is active.
  if (!LogFormActive && isActiveWindow() && !ScrollBox1->hasFocus()) ScrollBox1->setFocus();
  // 16. Pointer shape.
  UpdateChartCursor();
}

void TMainForm1::RenderMainView() {
  if (chart_->Plotting() || backBuffer_.IsNull()) return;
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

// --- Close -------------------------------------------------------------------

void TMainForm1::closeEvent(QCloseEvent* event) {
  // A script run unwinds first; the close then comes again.
  if (ScrStopThen([this] { close(); })) {
    event->ignore();
    return;
  }
  if (!startupComplete_ && CloseState == kRunning) {
    // Nothing runs yet: close at once.
    CloseState = kClosing;
  }
  if (!CloseQuery()) {
    event->ignore();
    // The heartbeat finishes the close; it runs even before the first tick.
    if (!Timer1->isActive()) Timer1->start();
    return;
  }
  FormClose();
  event->accept();
}

void TMainForm1::FormClose() {
  // Connected devices are let go first.
  if (TeleControl() && TeleControl()->Connected()) TeleControl()->Disconnect();
  if (FilterWheelControl() && FilterWheelControl()->Connected()) FilterWheelControl()->DisconnectClick();
  if (FocuserControl() && FocuserControl()->Connected()) FocuserControl()->DisconnectClick();
  if (ascomCameras_)
    for (int n : {1, 2})
      if ((*ascomCameras_)[n].connected) ascomCameras_->DisconnectClick(n);
  Timer1->stop();
  Timer2->stop();
  POIKeysTimer1->stop();
  CloseScriptEditor();
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
  // The insets' pictures and the mask are auto bitmaps: freed here, so a
  // window made again starts from none.
  for (platform::Bitmap** b : {&MaskBitmap, &GlobeBitmap, &ClockFaceBitmap, &ClockBitmap, &SphereFrameBitmap,
                               &SphereChartBitmap, &MagnifierFrameBitmap, &MagnifierChartBitmap,
                               &MagnifierScreenBitmap}) {
    if (*b) FreeAutoBitmap(*b);
    *b = nullptr;
  }
  GlobeDrawn = 0;
  ObserverLocationSet = 0;
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
    // The imaging windows let their cameras go (settings saved) first.
    imaging::ChartCentre = nullptr;
    imaging::ShowFilterWheelWindow = nullptr;
    imaging::FreeImagingWindows();
    imaging::FreeCameras();
    imaging::SaveImagingSettings(ImagingSettingsPath);
    imaging::InstallCameraSettingsWindows(nullptr);
    imaging::InstallAscomCameraSettingsWindow(nullptr);
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

// --- Painting and input -------------------------------------------------------

void TMainForm1::PlaceInsets() {
  PlaceGlobe(MapWidth);
  PlaceClock(MapWidth, MapHeight);
  PlaceStarSphere();
  const TInsetPlace m = MagnifierPlace(MapHeight, MagnifierSize, InsetAspect);
  MagnifierCentreX = m.x;
  MagnifierCentreY = m.y;
}

TRect TMainForm1::InsetRect(uint8_t bit) const {
  auto of = [](const QRect& r) { return TRect{r.left(), r.top(), r.right() + 1, r.bottom() + 1}; };
  switch (bit) {
    case kRepaintGlobe:
      return of(GlobeRect);
    case kRepaintClock:
      return of(ClockRect);
    case kRepaintStarSphere:
      return of(StarSphereRect);
    case kRepaintMagnifier:
      return MagnifierPlace(MapHeight, MagnifierSize, InsetAspect).rect;
    default:
      return {0, 0, MapWidth, MapHeight};
  }
}

void TMainForm1::PaintBox1Paint(const QRect& clip) {
  QPainter p(PaintBox1);
  if (ResizeBusy || backBuffer_.IsNull()) {
    p.fillRect(clip, Qt::black);
    return;
  }
  TRect dirty{clip.left(), clip.top(), clip.right() + 1, clip.bottom() + 1};
  const uint8_t mask = TakeRepaintMask();
  if (mask & kRepaintChart) {
    dirty = UnionRect(dirty, {0, 0, MapWidth, MapHeight});
    if (insets_.invalidateOverlays) insets_.invalidateOverlays();
  }
  // Each inset composes its finished picture; the globe's animation frames
  // come the same way, so the globe is drawn once per paint at most.
  const std::pair<uint8_t, const std::function<void(platform::Bitmap&)>*> order[4] = {
      {kRepaintGlobe, &insets_.composeGlobe},
      {kRepaintMagnifier, &insets_.composeMagnifier},
      {kRepaintStarSphere, &insets_.composeStarSphere},
      {kRepaintClock, &insets_.composeClock}};
  for (const auto& [bit, compose] : order) {
    if (!(mask & bit)) continue;
    dirty = UnionRect(dirty, InsetRect(bit));
    if (*compose) (*compose)(backBuffer_);
  }
  if (mask & kRepaintClock) {
    const TRect clock = InsetRect(kRepaintClock);
    if (!(clock == lastClockRect_) || ClockSize != lastClockSize_) {
      lastClockRect_ = clock;
      lastClockSize_ = ClockSize;
      TimeButtonsPlaced = false;
    }
  }
  const QRect r(dirty.left, dirty.top, dirty.right - dirty.left, dirty.bottom - dirty.top);
  p.drawImage(r.topLeft(), backBuffer_.Image(), r);
  if (!TimeButtonsPlaced) PlaceTimeButtons();
}

void TMainForm1::PlaceTimeButtons() {
  const auto at = TimeButtonPlaces(ClockCentreX, ClockCentreY, ClockSize);
  for (int i = 0; i < 4; ++i) TimeButtons[i]->move(at[i][0], at[i][1]);
  TimeButtonsPlaced = true;
}

void TMainForm1::PaintBox1MouseDown(int button, int x, int y) {
  ScrollBox1->setFocus();
  for (const auto* hook : {&insets_.globeMouseDown, &insets_.clockClick, &insets_.starSphereClick,
                           &insets_.magnifierClick})
    if (*hook && (*hook)(button, x, y)) return;
  if (insets_.isMaskedPixel && insets_.isMaskedPixel(x, y)) return;
  // The chart's own click handler: re-centre, a point of interest in placing
  // mode, or the object under the pointer with the pop-up menu.
  if (!MainPlotter) return;
  AddPointOfInterestAt(*MainPlotter, button, x, y);
  ClickRA = MainPlotter->ClickRA;
  ClickDec = MainPlotter->ClickDec;
}

void TMainForm1::PaintBox1MouseMove(int x, int y) {
  mouseX_ = x;
  mouseY_ = y;
  PointerX = x;
  PointerY = y;
}

bool TMainForm1::ShowCursorPosition(int x, int y) {
  double ra = 0, dec = 0;
  const bool masked = insets_.isMaskedPixel && insets_.isMaskedPixel(x, y);
  if (!masked && chart_->ScreenToRaDec(x, y, ra, dec)) {
    SetStatusText(1, PointerPositionText(ra, dec));
    SetStatusText(2, FieldOfViewText(chart_->Zoom()));
    return true;
  }
  SetStatusText(1, "");
  return false;
}

void TMainForm1::UpdateChartCursor() {
  auto hit = [](const std::function<bool(int, int)>& f, int x, int y) { return f && f(x, y); };
  TPointerRegion r;
  r.inGlobe = hit(insets_.insideGlobe, mouseX_, mouseY_);
  r.inClock = !r.inGlobe && hit(insets_.insideClock, mouseX_, mouseY_);
  r.onStarSphere = !r.inGlobe && !r.inClock && hit(insets_.onStarSphere, mouseX_, mouseY_);
  r.inMagnifier = !r.inGlobe && !r.inClock && !r.onStarSphere && hit(insets_.insideMagnifier, mouseX_, mouseY_);
  r.onSky = !(r.inGlobe || r.inClock || r.onStarSphere || r.inMagnifier) && ShowCursorPosition(mouseX_, mouseY_);
  const TPointerShape shape = ChartPointerShape(r, Keys.PointOfInterestMode);
  PointerOnChart = shape.pointerOnChart;
  GlobeDragging = shape.globeDragging;
  if (shape.cursor != CurrentCursor) {
    CurrentCursor = shape.cursor;
    Qt::CursorShape qt = Qt::ArrowCursor;
    if (shape.cursor == kCursorMap) qt = Qt::CrossCursor;
    else if (shape.cursor == kCursorUnderHorizon) qt = Qt::ForbiddenCursor;
    else if (shape.cursor == kCursorMagnifier) qt = Qt::PointingHandCursor;
    PaintBox1->setCursor(qt);
  }
}

bool TMainForm1::FormKeyPress(char key) {
  TChartKeyCommands cmd;
  cmd.clearPointOfInterestMode = [this] { ClearPointOfInterestMode(); };
  cmd.starOptions = [this] { StarCatalog1Click(); };
  cmd.newDateTime = [this] { NewDateTime1Click(); };
  cmd.find = [this] { Find1Click(); };
  cmd.newLocation = [this] { Newlocation1Click(); };
  cmd.objectOptions = [this] { Objects1Click(); };
  cmd.newPointOfInterest = [this] { Newpointofinterest1Click(); };
  cmd.shiftTime = [this](double d) { ShiftTime(d); };
  cmd.startPOIKeyTimer = [this] { POIKeysTimer1->start(); };
  cmd.horizonChecked = [this](bool on) { ShowHorizon1->setChecked(on); };
  return ChartKeyPress(key, Keys, *chart_, cmd);
}

void TMainForm1::POIKeysTimer1Timer() {
  POIKeysTimer1->stop();
  const int n = TakePOIKeys(Keys.POIKeyBuffer);
  if (n >= 0) KeyTeleLocationChange(n);
}

void TMainForm1::keyPressEvent(QKeyEvent* event) {
  const QString t = event->text();
  if (!(event->modifiers() & (Qt::ControlModifier | Qt::AltModifier)) && t.size() == 1 && t[0].unicode() < 128 &&
      FormKeyPress(char(t[0].unicode()))) {
    event->accept();
    return;
  }
  QMainWindow::keyPressEvent(event);
}

void TMainForm1::keyReleaseEvent(QKeyEvent* event) {
  const int k = event->key();
  if (k == Qt::Key_H && event->modifiers() == Qt::ControlModifier) {
    Horizon1Click();
    return;
  }
  if (k >= Qt::Key_0 && k <= Qt::Key_9) {
    const bool ctrl = event->modifiers() & Qt::ControlModifier, alt = event->modifiers() & Qt::AltModifier;
    // The telescope list joins with the magnifier settings.
    const int mode = FieldOfViewKeyMode(k - Qt::Key_0, ctrl, alt, TeleGrid.RowCount);
    if (mode >= 0) {
      TeleFieldOfViewChange(mode);
      return;
    }
  }
  QMainWindow::keyReleaseEvent(event);
}

void TMainForm1::SetChartView(std::unique_ptr<IChartView> view) {
  chart_ = std::move(view);
  chart_->SetZoom(ZoomScaleOfLevel(Keys.ZoomLevel));
  chart_->MarkReplot();
}

void TMainForm1::ChartChanged() { chart_->MarkReplot(); }

// --- Menu commands -----------------------------------------------------------

void TMainForm1::Open1Click() { OpenCommand(); }
void TMainForm1::Save1Click() { SaveCommand(); }
void TMainForm1::Save2Click() { SaveAsCommand(); }
void TMainForm1::Exit1Click() { close(); }

void TMainForm1::Log1Click() {
  if (LogForm) LogForm->ShowLog();
}

void TMainForm1::Print1Click() { RunPrintCommand(*this); }
void TMainForm1::PrintSetup1Click() { RunPrinterSetup(this); }

void TMainForm1::Copy1Click() {
  if (backBuffer_.IsNull()) return;
  CopyingChart = true;
  RenderMainView();
  CopyingChart = false;
  QApplication::clipboard()->setImage(backBuffer_.Image().copy(0, 0, PaintBox1->width(), PaintBox1->height()));
  RenderMainView();
}

void TMainForm1::SelectStarPreset(bool allStars) {
  TStarOptions o = RegistryDefaultStarOptions();
  o.HighMagLimit = allStars ? 12.0 : 6.5;
  o.LowMagLimit = -2.0;
  o.VariableMode = 2;
  for (uint8_t& c : o.SpectralClasses) c = 1;
  for (uint8_t& c : o.LuminosityClasses) c = 1;
  if (o == StarOptions) return;
  StarOptions = o;
  // The heartbeat starts the reload, so a load already running is never
  // joined by a second one.
  StarReloadRequest = true;
  chart_->MarkReplot();
}

void TMainForm1::ShowHorizon1Click() {
  chart_->SetSwitch(TChartSwitch::HorizonDisplay, ShowHorizon1->isChecked());
  ChartChanged();
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

void TMainForm1::EnableHelpMenus() {
  for (QAction* a : {Topics1, HowtoUseHelp1, About1}) a->setEnabled(true);
}

void TMainForm1::About1Click() {
  if (AboutNoctraForm1) AboutNoctraForm1->exec();
}

void TMainForm1::ZoomIn1Click() { ZoomIn(Keys, *chart_); }
void TMainForm1::ZoomOut1Click() { ZoomOut(Keys, *chart_); }
void TMainForm1::WholeSkyView1Click() { WholeSkyView(Keys, *chart_); }

void TMainForm1::Horizon1Click() {
  const bool on = !chart_->Switch(TChartSwitch::CentreOnHorizon);
  chart_->SetSwitch(TChartSwitch::CentreOnHorizon, on);
  Horizon1->setChecked(on);
  ChartChanged();
}

void TMainForm1::RefreshStarSphereMenu() {
  CoordinateGrid1->setChecked(chart_->Switch(TChartSwitch::Grid));
  ConstellationLines1->setChecked(chart_->Switch(TChartSwitch::ConstellationLines));
  ConstellationNames1->setChecked(chart_->Switch(TChartSwitch::ConstellationNames));
  ConstellationBoundries1->setChecked(chart_->Switch(TChartSwitch::ConstellationBoundaries));
  StarIdentification1->setChecked(chart_->Switch(TChartSwitch::StarIdentification));
  StarNames1->setChecked(chart_->Switch(TChartSwitch::StarNames));
  ObjectIdentification1->setChecked(chart_->Switch(TChartSwitch::ObjectIdentification));
  Horizon1->setChecked(chart_->Switch(TChartSwitch::CentreOnHorizon));
  ZoomOut1->setEnabled(Keys.ZoomLevel >= 5);
  ZoomIn1->setEnabled(Keys.ZoomLevel < kZoomLevels);
}

void TMainForm1::Center1Click() {
  // Kinds 1 to 5, except the Earth (kind 5, index 2).
  if (SelectionKind < 1 || SelectionKind > 5 || (SelectionKind == 5 && SelectionIndex == 2)) return;
  chart_->CentreOn(ClickRA, ClickDec);
  SetStatusText(4, "");
}

void TMainForm1::Track1Click() {
  // Asteroids, comets, the Sun, the Moon and the planets but the Earth; the
  // render names the body in status panel 4.
  if (!MainPlotter || SelectionKind < 3 || SelectionKind > 5 || (SelectionKind == 5 && SelectionIndex == 2)) return;
  MainPlotter->TrackKind = SelectionKind;
  MainPlotter->TrackIndex = SelectionIndex;
  chart_->SetFullView(false);
  chart_->MarkReplot();
}

void TMainForm1::ShowObjectInformation(int kind, int32_t index, bool byKey) {
  switch (kind) {
    case 1: {
      if (!ObjectCatalog) return;
      bool found = false;
      {
        TObjectsLock lock;
        found = byKey ? ObjectCatalog->SeekKey(index) : ObjectCatalog->SeekRecord(index);
      }
      if (found) ShowInformationForm2();
      return;
    }
    case 2:
      if (index >= 1 && index <= std::min<int32_t>(SaoStarCount, int32_t(SaoStars.size())))
        ShowInformationForm1(SaoStars[std::size_t(index - 1)].SaoNumber());
      return;
    case 3:
    case 4:
    case 5:
      ShowInformationForm3(kind, index);
      return;
    default:
      return;
  }
}

void TMainForm1::NewScript1Click() {
  if (ScrEditForm1) return;
  OpenScriptEditor(true);
  UpdateScriptItems();
}

void TMainForm1::RunScript1Click() {
  if (!ScrEditForm1 || ScriptRunActive()) return;
  RunScript1->setEnabled(false);
  ScrEditForm1->RunScript();
  UpdateScriptItems();
}

void TMainForm1::PauseScript1Click() {
  const bool pause = PauseScript1->text() == QStringLiteral("&Pause");
  ScriptPauseFlag = pause ? 1 : 0;
  PauseScript1->setText(pause ? QStringLiteral("&Resume") : QStringLiteral("&Pause"));
}

void TMainForm1::UpdateScriptItems() {
  const bool open = ScrEditForm1 != nullptr, running = ScriptRunActive();
  NewScript1->setEnabled(!open && !running);
  Open1->setEnabled(!running);
  CloseScript1->setEnabled(open);
  RunScript1->setEnabled(open && !running);
  StopScript1->setEnabled(running);
  PauseScript1->setEnabled(running);
}

void TMainForm1::Information1Click() { ShowObjectInformation(SelectionKind, SelectionIndex); }

void TMainForm1::Magnifier1Click() {
  TMagnifierSettingsForm1* w = MagnifierSettingsForm1;
  if (!w) {
    w = new TMagnifierSettingsForm1(this);
    MagnifierSettingsForm1 = w;
    QObject::connect(w, &QObject::destroyed, [] { MagnifierSettingsForm1 = nullptr; });
  }
  // Hiding the window rebuilds the tables; the chosen default field applies.
  w->onHidden = [this](int32_t mode) {
    UpdateTelescopeMenu();
    TeleFieldOfViewChange(mode);
  };
  w->exec();
}

// --- Points of interest --------------------------------------------------------

void TMainForm1::ShowPOIMenuSlot(int n) {
  QAction* a = n == 0 ? Auto1 : n == 10 ? AllLocations1 : (n >= 1 && n <= 9) ? Locations[n - 1] : nullptr;
  if (!a) return;
  a->setVisible(true);
  a->setEnabled(true);
}

void TMainForm1::HidePOIMenuSlot(int n) {
  QAction* a = n == 0 ? Auto1 : n == 10 ? AllLocations1 : (n >= 1 && n <= 9) ? Locations[n - 1] : nullptr;
  if (a) a->setVisible(false);
}

void TMainForm1::CheckLocationMenu(int n) {
  Auto1->setChecked(n == 0);
  for (int i = 0; i < 9; ++i) Locations[i]->setChecked(n == i + 1);
}

void TMainForm1::TeleLocationChange(int n) {
  if (n == 10) {
    const int choice = TMagnifierPickListForm1::Choose(this);
    if (choice < 1) return;
    n = choice;
  }
  if (n < 0 || n > POICount) return;
  CheckLocationMenu(n);
  CurrentPOI = n;
  Deletecurrentpointofinterest1->setEnabled(CurrentPOI >= 1);
  FieldOfViewMode = POITable[n].Mode;
  UpdateFieldOfViewMenu();
  UpdateMagnifierFrame(MagnifierSize, FieldOfViewMode);  // the ring names the source
  MarkRepaint(kRepaintMagnifier);
}

void TMainForm1::KeyTeleLocationChange(int n) {
  if (n < 0 || n > POICount) return;
  CheckLocationMenu(n);
  CurrentPOI = n;
  TeleFieldOfViewChange(POITable[n].Mode);
}

void TMainForm1::TeleFieldOfViewChange(int mode) {
  FieldOfViewMode = mode;
  double ra = 0, dec = 0;
  int32_t old = 0;
  if (GetPointOfInterest(CurrentPOI, ra, dec, old)) SetPointOfInterest(CurrentPOI, mode, ra, dec);
  UpdateFieldOfViewMenu();
  UpdateMagnifierFrame(MagnifierSize, FieldOfViewMode);
  MarkRepaint(kRepaintMagnifier);
  const TRect r = InsetRect(kRepaintMagnifier);
  PaintBox1->update(r.left, r.top, r.right - r.left, r.bottom - r.top);
}

void TMainForm1::UpdateFieldOfViewMenu() {
  for (int i = 0; i < 9; ++i) FieldsOfView[i]->setChecked(FieldOfViewMode == i + 1);
  const int tele = FieldOfViewMode >= 100 ? (FieldOfViewMode % 10000) / 100 : 0;
  for (int i = 0; i < 10; ++i) {
    Teles[i]->setChecked(tele == i + 1);
    Eyepieces[i]->setChecked(tele > 0 && FieldOfViewMode / 10000 == i + 1);
  }
  View1->menuAction()->setVisible(tele > 0);
}

void TMainForm1::UpdateTelescopeMenu() {
  for (int i = 0; i < 10; ++i) {
    const int row = i + 1;
    const bool tele = row < TeleGrid.RowCount && !TeleGrid.RowEmpty(row);
    Teles[i]->setText(QString::fromStdString("Telescope " + (tele ? TeleGrid.Cells[row][0] : std::string())));
    Teles[i]->setVisible(tele);
    const bool eye = row < EyeGrid.RowCount && !EyeGrid.RowEmpty(row);
    Eyepieces[i]->setText(QString::fromStdString(eye ? EyeGrid.Cells[row][0] : std::string()));
    Eyepieces[i]->setVisible(eye);
  }
}

void TMainForm1::Newpointofinterest1Click() {
  Keys.PointOfInterestMode = true;
  SavedPOI = CurrentPOI == 0 ? -1 : CurrentPOI;
  TeleLocationChange(0);
}

void TMainForm1::ClearPointOfInterestMode() {
  Keys.PointOfInterestMode = false;
  if (SavedPOI > 0) TeleLocationChange(SavedPOI);
  SavedPOI = -1;
  Clearpointsofinterestlist1->setEnabled(POICount > 0);
  Editpointsofinterest1->setEnabled(true);
  AllLocations1->setEnabled(POICount > 9);
  chart_->MarkReplot();
}

void TMainForm1::Deletecurrentpointofinterest1Click() {
  DeletePointOfInterest(CurrentPOI);
  AllLocations1->setEnabled(POICount > 9);
  Clearpointsofinterestlist1->setEnabled(POICount > 0);
  if (CurrentPOI > POICount) CurrentPOI = POICount;
  TeleLocationChange(CurrentPOI);
}

void TMainForm1::Clearpointsofinterestlist1Click() {
  ClearPointsOfInterest();
  CurrentPOI = 0;
  Clearpointsofinterestlist1->setEnabled(false);
  Deletecurrentpointofinterest1->setEnabled(false);
  TeleLocationChange(0);
}

void TMainForm1::Editpointsofinterest1Click() {
  if (POIForm) POIForm->ShowGrid();
}

// --- Inset sizes -------------------------------------------------------------

namespace {

template <std::size_t N>
void CheckSize(const std::array<QAction*, N>& items, int code) {
  for (std::size_t i = 0; i < N; ++i) items[i]->setChecked(int(i) + 1 == code);
}

}  // namespace

void TMainForm1::CheckInsetSizeItems() {
  const TScreenLayoutSettings l = ClampScreenLayout(ScreenLayoutSettings);
  CheckSize(GuideSizes, l.Guide);
  CheckSize(GlobeSizes, l.Globe);
  CheckSize(MagSizes, l.Magnifier);
  CheckSize(ClockSizes, l.Clock);
}

void TMainForm1::GlobeSML(int code) {
  CheckSize(GlobeSizes, code);
  GlobeSize = InsetPresetSize(std::min(code, 3));
  PlaceGlobe(MapWidth);
  if (GlobeReliefLoaded == 1) RenderGlobeInset();
  MarkRepaint(kRepaintGlobe);
  RenderMainView();
}

void TMainForm1::ClockSML(int code) {
  CheckSize(ClockSizes, code);
  SetClockSize(int16_t(InsetPresetSize(std::min(code, 3))));
  PlaceClock(MapWidth, MapHeight);
  DrawClock(1);
  TimeButtonsPlaced = false;
  MarkRepaint(kRepaintClock);
  RenderMainView();
}

void TMainForm1::GuideSML(int code) {
  CheckSize(GuideSizes, code);
  const int16_t size = int16_t(InsetPresetSize(std::min(code, 3)));
  if (size > 0) SetStarSphereSize(size);  // prepares the plotter and redraws the frame
  GuideSize = size;
  PlaceStarSphere();
  MarkRepaint(kRepaintStarSphere);
  RenderMainView();
}

void TMainForm1::MagSML(int code) {
  CheckSize(MagSizes, code);
  UpdateMagnifierFrame(InsetPresetSize(code), FieldOfViewMode);
  PlaceInsets();
  MarkRepaint(kRepaintMagnifier);
  RenderMainView();
}

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
  TGlobalLocationForm1* w = OwnedWindow(GlobalLocationForm1, this);
  w->LocationAccepted = [this] { LocationPickCheckMenu(-1); };
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

void TMainForm1::SetStatusText(int panel, const std::string& text) {
  if (panel >= 0 && panel < int(StatusPanels.size())) StatusPanels[panel]->setText(QString::fromStdString(text));
}

std::string TMainForm1::StatusText(int panel) const {
  if (panel < 0 || panel >= int(StatusPanels.size())) return {};
  return StatusPanels[panel]->text().toStdString();
}
