// What the real program wires at start: every hook of the chart, catalogue,
// points-of-interest, editor and device hook sets is filled by the main
// window and its windows, and the driver chooser is the program's window;
// the settings the user saved reach the running program (the star look,
// the chosen camera drivers); a point of interest in "Automatic" keeps the
// magnifier's field; and "Save changes?" Yes never writes a script under a
// name the user did not choose.
#include <QDialog>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QLineEdit>

#include "app/core/points_of_interest.h"
#include "catalog/hooks.h"
#include "catalog/star_options.h"
#include "chart/clicks.h"
#include "chart/clock.h"
#include "chart/grid_options.h"
#include "chart/inset_host.h"
#include "chart/magnifier_inset.h"
#include "chart/magnifier_settings.h"
#include "chart/plotter.h"
#include "chart/render_inputs.h"
#include "chart/screen_layout.h"
#include "imaging/ascom_camera.h"
#include "imaging/camera_sim.h"
#include "imaging/dsi_camera.h"
#include "imaging/file_camera.h"
#include "imaging/forms/ascom_camera_forms.h"
#include "imaging/forms/imaging_windows.h"
#include "imaging/video_camera.h"
#include "platform/automation.h"
#include "platform/registry.h"
#include "script/forms/scr_edit_form.h"
#include "script/forms/script_gui.h"
#include "script/runner.h"
#include "shell/file_commands.h"
#include "shell/messages.h"
#include "shell/settings_sections.h"
#include "telescope/accessories.h"
#include "telescope/tele_control.h"
#include "tests/app/startup_fixture.h"
#include "tools/find.h"
#include "tools/forms/information_forms.h"
#include "tools/location.h"

using startup_fixture::kEventWaitMs;
using startup_fixture::OpenModally;
using startup_fixture::RunEventsUntil;
using Wiring = startup_fixture::StartUpFixture;

namespace {

// Every std::function has one size, so a hook set's size counts its
// members: a member added to a set and not checked below fails the build
// here, before it can go unwired.
constexpr std::size_t kHook = sizeof(std::function<void()>);
static_assert(sizeof(TCatalogHooks) == 11 * kHook);
static_assert(sizeof(TPOIHooks) == 5 * kHook);
static_assert(sizeof(TInsetHooks) == sizeof(std::vector<TBuildStep>) + 22 * kHook);
static_assert(sizeof(TChartInputs) == 11 * kHook);
static_assert(sizeof(TMagnifierHooks) == 6 * kHook);
static_assert(sizeof(TChartClickHooks) == 4 * kHook);
static_assert(sizeof(InsetHost) == 2 * kHook);
static_assert(sizeof(ScreenLayoutHost) == 5 * kHook);
static_assert(sizeof(TScriptEditorHooks) == 5 * kHook);
static_assert(sizeof(FlashSink) == 2 * kHook);
static_assert(sizeof(TFindActions) == 3 * kHook);
static_assert(sizeof(imaging::TCameraConsumer) == 3 * kHook);
static_assert(sizeof(imaging::CameraClock) == 2 * kHook);

#define EXPECT_FILLED(hook) EXPECT_TRUE(static_cast<bool>(hook)) << #hook " is not wired"

// The main window started as the program starts it, with the windows made
// after it.
bool Started(TMainForm1& form) {
  if (!form.StartUp()) return false;
  form.CreateProgramWindows();
  return true;
}

const char* const kCameraDriver = "Noctra.Simulator.Camera";

std::string StoredCameraName(int slot) {
  return platform::TRegIniFile().ReadString("ASCOM", "ASCOMCAMERA" + std::to_string(slot) + "_NAME", "?");
}

std::vector<uint8_t> Bytes(const std::string& path) { return testing_support::ReadFile(path); }

}  // namespace

TEST_F(Wiring, EveryHookIsFilledByTheProgramsStartUp) {
  ASSERT_TRUE(Started(*form));

  const TCatalogHooks& c = CatalogHooks();
  EXPECT_FILLED(c.pauseCursorThread);
  EXPECT_FILLED(c.pauseMagnifierThread);
  EXPECT_FILLED(c.resumeMagnifierThread);
  EXPECT_FILLED(c.resumeCursorThread);
  EXPECT_FILLED(c.whenCursorPaused);
  EXPECT_FILLED(c.requestReplot);
  EXPECT_FILLED(c.showStatusPanel3);
  EXPECT_FILLED(c.applyStarAppearance);
  EXPECT_FILLED(c.setObjectLabels);
  EXPECT_FILLED(c.showHelp);
  EXPECT_FILLED(c.starLoadEnded);

  const TPOIHooks& p = POIHooks();
  EXPECT_FILLED(p.showMenuSlot);
  EXPECT_FILLED(p.hideMenuSlot);
  EXPECT_FILLED(p.refreshGrid);
  EXPECT_FILLED(p.listLoaded);
  EXPECT_FILLED(p.automaticFieldMode);

  // The chart: its insets, inputs, clicks, magnifier and layout.
  const TInsetHooks i = ChartInsetHooks();
  EXPECT_EQ(i.buildSteps.size(), 5u);
  for (const auto* h : {&i.globeMouseDown, &i.clockClick, &i.starSphereClick, &i.magnifierClick})
    EXPECT_TRUE(static_cast<bool>(*h));
  for (const auto* h : {&i.insideGlobe, &i.insideClock, &i.onStarSphere, &i.insideMagnifier, &i.isMaskedPixel})
    EXPECT_TRUE(static_cast<bool>(*h));
  for (const auto* h : {&i.composeGlobe, &i.composeClock, &i.composeMagnifier, &i.composeStarSphere, &i.applyMask})
    EXPECT_TRUE(static_cast<bool>(*h));
  for (const auto* h : {&i.drawStarSphere, &i.fitMask, &i.clockTick, &i.beforeBackBufferChange,
                        &i.afterBackBufferChange, &i.globeBackToObserver, &i.magnifierFollowZoom,
                        &i.invalidateOverlays})
    EXPECT_TRUE(static_cast<bool>(*h));
  const TChartInputs& in = ChartInputs();
  EXPECT_FILLED(in.pointOfInterestCount);
  EXPECT_FILLED(in.pointOfInterest);
  EXPECT_FILLED(in.showTrackName);
  EXPECT_FILLED(in.inChartArea);
  EXPECT_FILLED(in.nearMaskEdge);
  EXPECT_FILLED(in.insideInset);
  EXPECT_FILLED(in.telescopePosition);
  EXPECT_FILLED(in.pointingCorrection);
  EXPECT_FILLED(in.plateSolvePosition);
  EXPECT_FILLED(in.markerCount);
  EXPECT_FILLED(in.marker);
  const TChartClickHooks& k = ChartClickHooks();
  EXPECT_FILLED(k.placingMode);
  EXPECT_FILLED(k.addPointOfInterest);
  EXPECT_FILLED(k.clearPlacingMode);
  EXPECT_FILLED(k.showObjectMenu);
  EXPECT_FILLED(MagnifierHooks.placingMode);
  EXPECT_FILLED(MagnifierHooks.currentPointOfInterest);
  EXPECT_FILLED(MagnifierHooks.pointOfInterest);
  EXPECT_FILLED(MagnifierHooks.observerLocationSet);
  EXPECT_FILLED(MagnifierHooks.showMagMenu);
  EXPECT_FILLED(MagnifierHooks.invalidateMagnifier);
  EXPECT_FILLED(TheInsetHost.popupMenu);
  EXPECT_FILLED(TheInsetHost.invalidate);
  EXPECT_FILLED(TheScreenLayoutHost.guideSize);
  EXPECT_FILLED(TheScreenLayoutHost.globeSize);
  EXPECT_FILLED(TheScreenLayoutHost.magnifierSize);
  EXPECT_FILLED(TheScreenLayoutHost.clockSize);
  EXPECT_FILLED(TheScreenLayoutHost.updateMagnifierFrame);
  EXPECT_FILLED(SetCentreOnHorizonMenuCheck);
  EXPECT_FILLED(MagnifierFieldModeChanged);
  EXPECT_FILLED(ClockButtonsMoved);
  EXPECT_FILLED(RenderFinishedHook);

  // The editor, the script host and the flash window.
  const TScriptEditorHooks& e = ScriptEditorHooks();
  EXPECT_FILLED(e.isOpen);
  EXPECT_FILLED(e.fileName);
  EXPECT_FILLED(e.save);
  EXPECT_FILLED(e.saveAs);
  EXPECT_FILLED(e.load);
  EXPECT_FILLED(TScrEditForm1::OnDestroyed);
  auto* scripts = dynamic_cast<TScriptGuiHost*>(&ScriptHost());
  ASSERT_NE(scripts, nullptr);
  EXPECT_FILLED(scripts->resetPause);
  EXPECT_FILLED(scripts->printMap);
  const FlashSink flash = InstalledFlashSink();
  EXPECT_FILLED(flash.message);
  EXPECT_FILLED(flash.progress);

  // The tools.
  EXPECT_FILLED(FindActions.StatusText);
  EXPECT_FILLED(FindActions.Information);
  EXPECT_FILLED(FindActions.ClearStatusText);
  EXPECT_FILLED(GlobalLocation.PickListChanged);
  EXPECT_FILLED(OpenBrowserWindow);
  EXPECT_FILLED(AddPointOfInterestHook);
  EXPECT_FILLED(TImagesPage::LoadPicture);

  // The devices.
  EXPECT_NE(TeleControl(), nullptr);
  EXPECT_NE(FocuserControl(), nullptr);
  EXPECT_NE(FilterWheelControl(), nullptr);
  EXPECT_FILLED(TelescopeGotoHook);
  EXPECT_FILLED(TelescopeSyncHook);
  EXPECT_FILLED(TelescopeConnected);
  EXPECT_FILLED(imaging::TASCOMCamera::SettingsWindow);
  EXPECT_FILLED(imaging::TIFFCamera::SettingsWindow);
  EXPECT_FILLED(imaging::TVFWCamera::SettingsWindow);
  EXPECT_FILLED(imaging::TDsiCamera::SettingsWindow);
  EXPECT_FILLED(imaging::TIFFCamera::CloseSettingsWindow);
  EXPECT_FILLED(imaging::TVFWCamera::CloseSettingsWindow);
  EXPECT_FILLED(imaging::TDsiCamera::CloseSettingsWindow);
  EXPECT_FILLED(imaging::TDsiCamera::CoolerTemperature);
  EXPECT_FILLED(imaging::TDsiCamera::SetCoolerTemperature);
  EXPECT_FILLED(imaging::ChartCentre);
  EXPECT_FILLED(imaging::ShowFilterWheelWindow);
  EXPECT_FILLED(imaging::SimCameraPointing);
  EXPECT_FILLED(imaging::CameraClocks().NowMs);
  EXPECT_FILLED(imaging::CameraClocks().Utc);
  ASSERT_NE(imaging::PlateSolveForm1(), nullptr);
  EXPECT_FILLED(imaging::PlateSolveForm1()->Logic.OnSolvedPositionChanged);
  // The driver chooser: "Select" in the telescope window and "Select
  // Camera #1" in the cameras window open the program's chooser window.
  auto chooserCaption = [](const std::function<void()>& select) {
    QString caption;
    QTimer look;
    look.setSingleShot(true);
    QObject::connect(&look, &QTimer::timeout, [&] {
      if (auto* chooser = qobject_cast<QDialog*>(QApplication::activeModalWidget())) {
        caption = chooser->windowTitle();
        chooser->reject();
      }
    });
    look.start(0);
    select();
    return caption.toStdString();
  };
  EXPECT_EQ(chooserCaption([] { TeleControl()->SelectClick(); }), "Choose a Telescope driver");
  std::string cameraChooser;
  OpenModally(*form, form->Camera1, [&] {
    if (auto* w = qobject_cast<imaging::TAscomCameraForm1*>(QApplication::activeModalWidget()))
      cameraChooser = chooserCaption([w] { w->Select1->click(); });
  });
  EXPECT_EQ(cameraChooser, "Choose a Camera driver");
  // The imaging console, the autoguider and the plate solver hear of cameras.
  ASSERT_EQ(imaging::CameraConsumers().size(), 3u);
  for (const imaging::TCameraConsumer& consumer : imaging::CameraConsumers()) {
    EXPECT_FILLED(consumer.add);
    EXPECT_FILLED(consumer.remove);
    EXPECT_FILLED(consumer.selected);
  }

  // Every settings-file slot has its reader, for File > Open, the command
  // line and the script's READ_SETTINGS_FILE alike.
  for (int slot = 1; slot <= kSettingsOwnerSlots; ++slot) EXPECT_TRUE(HasSettingsSectionOwner(slot)) << slot;
  // The script's command reads a file through them.
  const TGridBlock grid{0, 0, 1, 1, 0, 0, 2};
  SetGridBlock(*MainPlotter, grid);
  ASSERT_TRUE(WriteSettingsFile(home.File("grid.ssf"), 1));
  SetGridBlock(*MainPlotter, TGridBlock{});
  int stop = -1;
  ASSERT_TRUE(ScrRunScript({"READ_SETTINGS_FILE \"" + home.File("grid.ssf") + "\""}, stop));
  EXPECT_EQ(stop, 0);
  EXPECT_EQ(GridBlockOf(*MainPlotter), grid);
}

// The star look and the object labels saved with "Save as default" are
// drawn from the start, not only after OK in their options windows.
TEST_F(Wiring, TheSavedStarLookIsDrawnFromTheStart) {
  TStarOptions look = RegistryDefaultStarOptions();
  look.DrawingMode = 2;      // size by magnitude
  look.SizeAdjust = 3;
  look.ColorBySpectrum = 0;
  look.ShowNames = 1;
  look.ShowGreek = 0;
  look.AutoFaintLimit = 0;
  WriteRegStars(look);
  {
    platform::TRegIniFile reg;
    reg.WriteBool("Objects", "label objects", false);
  }
  ASSERT_TRUE(Started(*form));
  ASSERT_NE(MainPlotter, nullptr);
  EXPECT_EQ(MainPlotter->StarDiscs, 2);
  EXPECT_EQ(MainPlotter->StarSize, 3);
  EXPECT_EQ(MainPlotter->StarOptionA, 0);
  EXPECT_EQ(MainPlotter->ShowStarNames, 1);
  EXPECT_EQ(MainPlotter->StarIdentification, 0);
  EXPECT_EQ(MainPlotter->NakedEyeOnly, 0);
  EXPECT_EQ(form->Chart().Switch(TChartSwitch::ObjectIdentification), 0);
}

// A point placed on the chart while the magnifier's field is automatic
// keeps the fixed field the magnifier shows at that moment.
TEST_F(Wiring, APointOfInterestInAutomaticKeepsTheMagnifiersField) {
  FieldOfViewMode = kAutomaticFieldMode;
  ASSERT_TRUE(Started(*form));
  form->show();
  ASSERT_TRUE(RunEventsUntil([&] { return !form->StartupPending; }, kEventWaitMs));
  POICount = 0;
  form->FormKeyPress('*');  // the zenith in the middle: a click there has a place on the sky
  for (int i = 0; i < 6; ++i) form->FormKeyPress('+');  // the automatic field follows the zoom
  form->RenderMainView();
  form->TeleFieldOfViewChange(kAutomaticFieldMode);
  form->Newpointofinterest1Click();
  const double shownHalfField = MagnifierHalfField;
  form->PaintBox1MouseDown(0, MapWidth / 2, MapHeight / 2);
  ASSERT_EQ(POICount, 1);
  const int32_t mode = POITable[1].Mode;
  EXPECT_NE(mode, kAutomaticFieldMode);
  double half = 0;
  std::string caption;
  MagnifierFieldCaption(mode, half, caption);
  EXPECT_DOUBLE_EQ(half, shownHalfField);
  ClearPointsOfInterest();
}

// The camera drivers chosen in Connections > Cameras are there in the next
// start; opening and closing the window there keeps them, and Connect uses
// them. An empty slot says that no driver is chosen.
TEST_F(Wiring, ChosenCameraDriversSurviveASecondStart) {
  ASSERT_TRUE(Started(*form));
  platform::SetChooserUi([](const std::string& type, const std::string& current,
                            const std::vector<platform::TDriverEntry>&) {
    return type == "Camera" ? std::string(kCameraDriver) : current;  // the user's choice
  });
  startup_fixture::OpenModally(*form, form->Camera1, [] {
    auto* w = qobject_cast<imaging::TAscomCameraForm1*>(QApplication::activeModalWidget());
    if (w) w->Select1->click();
  });
  platform::SetChooserUi({});
  EXPECT_EQ(StoredCameraName(1), kCameraDriver);
  EXPECT_EQ(StoredCameraName(2), "");

  // The second start: the window shows the driver and closing it keeps it.
  delete form;
  form = NewWindow();
  ASSERT_TRUE(Started(*form));
  QString shown;
  OpenModally(*form, form->Camera1, [&] {
    if (auto* w = qobject_cast<imaging::TAscomCameraForm1*>(QApplication::activeModalWidget()))
      shown = w->Name1->text();
  });
  EXPECT_EQ(shown.toStdString(), kCameraDriver);
  EXPECT_EQ(StoredCameraName(1), kCameraDriver);

  // Connect takes the stored driver; slot 2 has none.
  OpenModally(*form, form->Camera1, [] {
    auto* w = qobject_cast<imaging::TAscomCameraForm1*>(QApplication::activeModalWidget());
    if (!w) return;
    w->Connect1->click();
    w->Connect2->click();
  });
  ASSERT_NE(imaging::AscomCameraSlots(), nullptr);
  EXPECT_NE(imaging::AscomCameraSlots()->Camera(1), nullptr);
  EXPECT_EQ(imaging::AscomCameraSlots()->Camera(2), nullptr);
  EXPECT_EQ(dialogs.Last().text, "No driver is chosen for ASCOM Camera #2: choose one with \"Select Camera #2\" first.");
  EXPECT_EQ(StoredCameraName(1), kCameraDriver);
}

// "Save changes?" Yes on a new script opens the save dialog: cancelled, the
// editor keeps its text and an earlier "Noname.sbas" is left as it was, at
// the editor's close and at the program's end; a name chosen there takes
// the script.
TEST_F(Wiring, YesOnANewScriptAsksForANameAndNeverReplacesAnEarlierNoname) {
  const std::string run = startup_fixture::RunFolder(home.File("run/"));
  testing_support::ScopedCurrentFolder inRun(run);
  DataFolder = ProgramFolder = run;
  const std::string earlier = run + "Noname.sbas";
  testing_support::WriteText(earlier, "PRINT \"an earlier script\"\r\n");
  const std::vector<uint8_t> before = Bytes(earlier);
  ASSERT_TRUE(Started(*form));
  form->show();
  ASSERT_TRUE(RunEventsUntil([&] { return !form->StartupPending; }, kEventWaitMs));
  QCoreApplication::sendPostedEvents();

  form->NewScript1Click();
  QPointer<TScrEditForm1> editor = ScrEditForm1;
  ASSERT_TRUE(editor);
  editor->ScrEditMemo1->insertPlainText("PRINT 1");
  dialogs.Clear();
  dialogs.QueueAnswer(platform::IDYES);  // the save dialog is then cancelled
  editor->close();
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  ASSERT_EQ(dialogs.Count(), 2u);
  EXPECT_EQ(dialogs.Records()[0].text, "Save changes?");
  const platform::DialogRecord asked = dialogs.Records()[1];
  EXPECT_EQ(asked.kind, platform::DialogRecord::File);
  EXPECT_TRUE(asked.file.save);
  EXPECT_EQ(asked.file.fileName, "Noname.sbas");
  EXPECT_EQ(asked.file.filterIndex, 6);  // "Script"
  ASSERT_TRUE(editor);
  EXPECT_EQ(ScrEditForm1, editor.data());
  EXPECT_TRUE(editor->isVisible());
  EXPECT_EQ(editor->Lines(), std::vector<std::string>{"PRINT 1"});
  EXPECT_EQ(Bytes(earlier), before);

  // File > Exit: Yes, the dialog cancelled: the program stays.
  dialogs.QueueAnswer(platform::IDYES);
  form->Exit1Click();
  EXPECT_FALSE(RunEventsUntil([&] { return destroyed; }, 500));
  EXPECT_EQ(CloseState, kRunning);
  ASSERT_TRUE(editor);
  EXPECT_TRUE(editor->Modified());
  EXPECT_EQ(Bytes(earlier), before);

  // Yes with a name chosen: the script is saved there and the program ends.
  dialogs.QueueAnswer(platform::IDYES);
  dialogs.QueueFile({true, run + "mine.sbas", 6});
  form->Exit1Click();
  EXPECT_TRUE(RunEventsUntil([&] { return destroyed; }, kEventWaitMs));
  EXPECT_EQ(testing_support::ReadText(run + "mine.sbas"), "PRINT 1\r\n");
  EXPECT_EQ(Bytes(earlier), before);
}
