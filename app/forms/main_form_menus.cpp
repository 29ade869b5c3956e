// The main window's menus, the pop-up menus and the inset size items.
#include "app/forms/main_form.h"

#include <QMenuBar>

#include "app/forms/help_form.h"
#include "app/forms/main_form_parts.h"
#include "chart/clock.h"
#include "chart/globe.h"
#include "chart/magnifier_inset.h"
#include "chart/screen_layout.h"
#include "chart/star_sphere.h"
#include "script/forms/script_gui.h"
#include "script/runner.h"
#include "shell/globals.h"
#include "tools/forms/information_forms.h"

using namespace mainform;

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
