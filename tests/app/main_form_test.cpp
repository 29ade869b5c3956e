#include <gtest/gtest.h>

#include <QAction>
#include <QClipboard>
#include <QCoreApplication>
#include <QEventLoop>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QStatusBar>
#include <QTableWidget>
#include <QTimer>
#include <QToolButton>
#include <atomic>
#include <thread>

#include "app/core/lifecycle.h"
#include "app/core/points_of_interest.h"
#include "app/forms/log_form.h"
#include "app/forms/main_form.h"
#include "app/forms/poi_form.h"
#include "astro/observer.h"
#include "catalog/forms/star_options_form.h"
#include "catalog/star_options.h"
#include "chart/clicks.h"
#include "chart/clock.h"
#include "chart/magnifier_inset.h"
#include "chart/magnifier_settings.h"
#include "chart/plotter.h"
#include "astro/solar_system.h"
#include "platform/dialogs.h"
#include "platform/gui_thread.h"
#include "script/forms/scr_edit_form.h"
#include "script/runner.h"
#include "shell/globals.h"
#include "shell/settings_sections.h"
#include "tests/support/test_support.h"

namespace {

QStringList Captions(const QList<QAction*>& actions) {
  QStringList items;
  for (QAction* a : actions)
    if (!a->isSeparator() && a->isVisible()) items << a->text();
  return items;
}

// A chart whose sky position is the pixel position / 100 radians.
class FakeChart : public TPendingChartView {
 public:
  bool ScreenToRaDec(int x, int y, double& ra, double& dec) override {
    ra = x / 100.0;
    dec = y / 100.0;
    return true;
  }
};

}  // namespace

TEST(MainForm, MenuCommandsReachTheirWork) {
  testing_support::TempDir dir;
  platform::ScopedScriptedDialogs dialogs;
  TMainForm1 form;
  LogForm = new TLogForm(&form);
  form.Log1->trigger();
  EXPECT_TRUE(LogForm->isVisible());

  RegisterSettingsSection(10, {8, [] { return std::vector<uint8_t>(8, 3); },
                               [](const std::vector<uint8_t>*) { return true; }});
  dialogs.QueueFile({true, dir.File("all"), 2});
  form.Save2->trigger();
  EXPECT_EQ(testing_support::ReadFile(dir.File("all.ssf")).size(), 608u);
  UnregisterAllSettingsSectionsForTest();
}

TEST(MainForm, TimeMenusFollowFlowAndRate) {
  TMainForm1 form;
  form.SetTimeFlow(kTimeForward);
  form.Rates1[3]->trigger();
  EXPECT_EQ(TimeRate, 3);
  EXPECT_TRUE(form.Rates2[3]->isChecked());
  form.Stop2->trigger();
  EXPECT_TRUE(form.Stop1->isChecked());
  for (int r = 0; r < 5; ++r) {
    EXPECT_FALSE(form.Rates1[r]->isEnabled()) << r;
    EXPECT_FALSE(form.Rates2[r]->isEnabled()) << r;
  }
  form.SetTimeRate(1);  // impossible while stopped
  EXPECT_EQ(TimeRate, 3);
  form.RealTime2->trigger();
  EXPECT_EQ(TimeFlow, kTimeForward);
  EXPECT_EQ(TimeRate, 0);
  EXPECT_TRUE(form.Forward1->isChecked());
  EXPECT_TRUE(form.Rates1[0]->isEnabled());
}

TEST(MainForm, PopupCenterAndTrack) {
  TMainForm1 form;
  auto* chart = new FakeChart;
  form.SetChartView(std::unique_ptr<IChartView>(chart));
  form.SetStatusText(4, "Tracking: The Moon");
  // A right click selected a deep-sky object at this position.
  SelectionKind = 1;
  SelectionIndex = 7;
  form.ClickRA = 1.2;
  form.ClickDec = 0.45;
  form.Center1->trigger();
  EXPECT_DOUBLE_EQ(chart->CentreRA(), 1.2);
  EXPECT_DOUBLE_EQ(chart->CentreDec(), 0.45);
  EXPECT_FALSE(chart->FullView());
  EXPECT_EQ(form.StatusText(4), "");
  SelectionKind = 5;
  SelectionIndex = 2;
  form.ClickRA = 3.0;
  form.Center1->trigger();
  EXPECT_DOUBLE_EQ(chart->CentreRA(), 1.2);
  // Track names the body in status panel 4.
  auto plotter = std::make_unique<tPlotter>();
  MainPlotter = plotter.get();
  SelectionIndex = 9;
  form.Track1Click();
  EXPECT_EQ(form.StatusText(4), "Tracking: The Moon");
  SelectionKind = 4;
  SelectionIndex = 0;
  CometCount = 1;
  Comets[0].Name.assign("C/2023 A3 (Tsuchinshan-ATLAS)");
  form.Track1Click();
  EXPECT_EQ(form.StatusText(4), "Tracking: The comet C/2023 A3 (Tsuchinshan-ATLAS)");
  EXPECT_EQ(MainPlotter->TrackKind, 4);
  MainPlotter = nullptr;
  CometCount = 0;
  SelectionKind = 0;
}

TEST(MainForm, PointsOfInterestMenusAndKeys) {
  TMainForm1 form;
  ClearPointsOfInterest();
  form.Newpointofinterest1Click();
  EXPECT_TRUE(form.Keys.PointOfInterestMode);
  // A click in placing mode adds a point (the chart's click handler, tested
  // on the real window) and leaves the mode.
  AddPointOfInterest(FieldOfViewMode, "", false, false, "", 1.0, 0.2);
  EXPECT_EQ(POICount, 1);
  EXPECT_TRUE(form.Locations[0]->isVisible());
  form.FormKeyPress(27);
  EXPECT_FALSE(form.Keys.PointOfInterestMode);
  EXPECT_TRUE(form.Clearpointsofinterestlist1->isEnabled());
  // Typing "1" chooses point 1 when the digit timer ends.
  form.FormKeyPress('1');
  EXPECT_TRUE(form.POIKeysTimer1->isActive());
  form.POIKeysTimer1Timer();
  EXPECT_EQ(CurrentPOI, 1);
  EXPECT_TRUE(form.Locations[0]->isChecked());
  form.Deletecurrentpointofinterest1Click();
  EXPECT_EQ(POICount, 0);
  EXPECT_EQ(CurrentPOI, 0);
  EXPECT_FALSE(form.Locations[0]->isVisible());
}

TEST(MainForm, StarPresetAsksTheHeartbeatForTheReload) {
  TMainForm1 form;
  StarOptions = RegistryDefaultStarOptions();
  form.Selectnakedeyestarsonly1->trigger();
  EXPECT_EQ(StarOptions.HighMagLimit, 6.5);
  EXPECT_EQ(StarOptions.LowMagLimit, -2.0);
  EXPECT_TRUE(form.StarReloadRequest);
  form.StarReloadRequest = false;
  form.Selectnakedeyestarsonly1->trigger();  // unchanged: no reload
  EXPECT_FALSE(form.StarReloadRequest);
}

TEST(Lifecycle, CloseWaitsForAndJoinsEveryWorker) {
  std::atomic<bool> stop{false}, done{false};
  std::thread worker([&] {
    while (!stop) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    done = true;
  });
  // Should the close never join it, the worker is still ended and joined
  // here rather than left to end the test program.
  struct EndWorker {
    std::atomic<bool>& stop;
    std::thread& worker;
    ~EndWorker() {
      stop = true;
      if (worker.joinable()) worker.join();
    }
  } endWorker{stop, worker};
  bool joined = false;
  RegisterWorkerThread({"globe", [&] { stop = true; }, [&] { return !done.load(); }, [&] {
                          worker.join();
                          joined = true;
                        }});
  CloseState = kRunning;
  EXPECT_FALSE(CloseQuery());
  EXPECT_EQ(CloseState, kCloseRequested);
  EXPECT_TRUE(stop);
  EXPECT_FALSE(CloseQuery());
  while (!CloseHandshakeTick()) std::this_thread::sleep_for(std::chrono::milliseconds(5));
  EXPECT_TRUE(joined);
  EXPECT_EQ(CloseState, kClosing);
  EXPECT_TRUE(CloseQuery());
  UnregisterAllWorkerThreads();
  CloseState = kRunning;
  platform::ResumeWaits();
}

// A device's call waits for its answer on the GUI thread, handling the
// events (the heartbeat among them), when the close is asked for: no tick
// inside that wait, nor inside a modal window's loop, finishes the close,
// whose end would free the device under the call. The call returns when
// the device answers; a device that stays silent holds the end only until
// the close gives up waiting (a pause running then ends too). The close
// finishes at the first tick outside every wait.
TEST(Lifecycle, TheCloseNeverFinishesInsideAWaitAndASilentDeviceCannotHoldIt) {
  for (const bool answers : {true, false}) {
    SCOPED_TRACE(answers ? "the device answers" : "the device stays silent");
    platform::ResumeWaits();
    CloseState = kRunning;
    auto reply = std::make_shared<platform::TCompletion>();
    std::atomic<bool> release{false};
    // The device: answers once released (a silent one only after the test,
    // or after a minute should the wait never end).
    std::thread device([reply, &release] {
      for (int ms = 0; !release && ms < 60000; ms += 5) std::this_thread::sleep_for(std::chrono::milliseconds(5));
      reply->Complete();
    });
    int ticks = 0;
    bool closedInside = false, pauseEnded = true;
    QTimer heartbeat;
    heartbeat.setInterval(10);
    QObject::connect(&heartbeat, &QTimer::timeout, [&] {
      if (++ticks == 1) {
        EXPECT_FALSE(CloseQuery());  // asked for during the call
      }
      closedInside = closedInside || CloseHandshakeTick();
      if (ticks == 3 && answers) release = true;
      if (ticks == 3 && !answers) {
        QEventLoop pause;
        QTimer::singleShot(60000, &pause, &QEventLoop::quit);
        pauseEnded = platform::RunWaitLoop(pause);
      }
    });
    heartbeat.start();
    const bool answered = reply->Wait();
    heartbeat.stop();
    EXPECT_EQ(answered, answers);
    EXPECT_FALSE(closedInside);
    EXPECT_TRUE(pauseEnded == answers) << "a pause outlived the end's giving up";
    EXPECT_EQ(CloseState, kCloseRequested);
    QEventLoop modal;
    QTimer::singleShot(0, &modal, [&] {
      closedInside = CloseHandshakeTick();
      modal.quit();
    });
    modal.exec();
    EXPECT_FALSE(closedInside) << "closed inside a modal window's loop";
    EXPECT_TRUE(CloseHandshakeTick());
    EXPECT_EQ(CloseState, kClosing);
    release = true;
    device.join();
  }
  platform::ResumeWaits();
  CloseState = kRunning;
}

TEST(MainForm, PaintingComposesTheDirtyInsetsOnly) {
  TMainForm1 form;
  form.ScreenSize = [] { return QSize(640, 480); };
  ASSERT_TRUE(form.CreateBackBuffer());
  form.resize(700, 520);
  form.show();
  int magnifier = 0, clock = 0, globe = 0;
  TInsetHooks hooks;
  hooks.composeMagnifier = [&](platform::Bitmap&) { ++magnifier; };
  hooks.composeClock = [&](platform::Bitmap&) { ++clock; };
  hooks.composeGlobe = [&](platform::Bitmap&) { ++globe; };
  form.SetInsetHooks(hooks);
  InsetAspect = 1.0;
  SetClockSize(60);
  PlaceClock(MapWidth, MapHeight);
  TakeRepaintMask();
  MarkRepaint(kRepaintMagnifier | kRepaintClock);
  form.PaintBox1->grab();
  EXPECT_EQ(magnifier, 1);
  EXPECT_EQ(clock, 1);
  EXPECT_EQ(globe, 0);
  EXPECT_EQ(RepaintMask.load(), 0);
  // The time buttons sit above the clock's centre.
  EXPECT_EQ(form.TimeButtons[0]->pos(), QPoint(569 - 30, MapHeight - 71 - 33 - 9));
  form.PaintBox1->grab();  // nothing dirty: no inset drawn again
  EXPECT_EQ(clock, 1);
  // A globe frame of the animation is composed once.
  MarkRepaint(kRepaintGlobe);
  form.PaintBox1->grab();
  EXPECT_EQ(globe, 1);
  EXPECT_EQ(clock, 1);
  SetClockSize(0);
}

TEST(MainForm, InsetsTakeTheirClicksFirst) {
  TMainForm1 form;
  auto* chart = new FakeChart;
  form.SetChartView(std::unique_ptr<IChartView>(chart));
  TInsetHooks hooks;
  std::string order;
  hooks.globeMouseDown = [&](int, int, int) { return order += 'g', false; };
  hooks.clockClick = [&](int, int, int) { return order += 'c', false; };
  hooks.starSphereClick = [&](int, int, int) { return order += 's', false; };
  hooks.magnifierClick = [&](int, int x, int y) { return order += 'm', x < 50 && y > 400; };
  hooks.isMaskedPixel = [&](int x, int) { return order += 'k', x > 600; };
  form.SetInsetHooks(hooks);
  form.PaintBox1MouseDown(1, 20, 420);  // the magnifier's own menu, never the chart's
  EXPECT_EQ(order, "gcsm");
  EXPECT_FALSE(form.PopupMenu1->isVisible());
  order.clear();
  form.PaintBox1MouseDown(0, 700, 100);  // outside the chart's shape: swallowed
  EXPECT_EQ(order, "gcsmk");
  EXPECT_TRUE(chart->FullView());
}

TEST(MainForm, ResizeRemakesTheBackBufferAndPresets) {
  TMainForm1 form;
  QSize screen(1000, 700);
  form.ScreenSize = [&] { return screen; };
  int paused = 0, resumed = 0;
  TInsetHooks hooks;
  hooks.beforeBackBufferChange = [&] { ++paused; };
  hooks.afterBackBufferChange = [&] { ++resumed; };
  form.SetInsetHooks(hooks);
  ASSERT_TRUE(form.CreateBackBuffer());
  EXPECT_EQ(form.BackBuffer().Width(), 1000);
  EXPECT_EQ(MapWidth, 1000);
  screen = QSize(1921, 1080);
  form.FormResize();
  EXPECT_EQ(form.BackBuffer().Width(), 1928);  // rounded up to 8
  EXPECT_EQ(form.BackBuffer().Height(), 1080);
  EXPECT_EQ(BackBufferBits, form.BackBuffer().Row(0));
  EXPECT_EQ(MapWidth, 1921);
  EXPECT_EQ(InsetSizeNormal, 140);  // 1921 / 13 = 147.8, bound 140
  EXPECT_EQ(paused, 1);
  EXPECT_EQ(resumed, 1);
  EXPECT_TRUE(form.RenderRequest);
  EXPECT_LT(MapHeight, 1080);
}

// The five status panels keep their widths on a wide window; on a narrow
// one they shrink in proportion and stay inside the bar, one after another
// (fixed widths ran over each other and off the bar below 1,355 pixels).
TEST(MainForm, StatusPanelsFitTheWindow) {
  TMainForm1 form;
  form.SetStatusText(0, std::string(200, 'x'));
  for (const int width : {1600, 900}) {
    form.resize(width, 600);
    form.show();
    QCoreApplication::processEvents();
    int left = 0;
    for (int i = 0; i < 5; ++i) {
      const QRect r = form.StatusPanels[i]->geometry();
      EXPECT_GE(r.left(), left) << width << " panel " << i;
      left = r.right() + 1;
      if (width == 1600) EXPECT_EQ(r.width(), kStatusPanelWidths[i]) << i;
      else EXPECT_NEAR(double(r.width()) / kStatusPanelWidths[i], double(form.StatusPanels[0]->width()) / 500, 0.02) << i;
    }
    EXPECT_LE(left, form.statusBar()->width()) << width;
  }
}

TEST(MainForm, EarlyTonightInPolarDaySaysSo) {
  TMainForm1 form;
  InitObserver(ObserverTime);
  SetObserverLocation(ObserverTime, -18.96 / 57.29577951308232, 69.65 / 57.29577951308232, 0);
  SetObserverUT(ObserverTime, 2460483.0);
  form.SystemClock = [] { return 2460483.0; };  // 2024-06-21 12:00 UT
  form.EarlyTonight2->trigger();
  EXPECT_EQ(ObserverTime.JD_UT, 2460483.0);
  EXPECT_NE(form.StatusText(0).find("does not set"), std::string::npos);
  form.Midnight2->trigger();
  EXPECT_EQ(form.StatusText(0), "");
}

TEST(MainForm, FirstTickOpensTheCommandLineFile) {
  testing_support::TempDir dir;
  platform::ScopedScriptedDialogs dialogs;
  TMainForm1 form;
  RegisterPointsOfInterestSection();
  ClearPointsOfInterest();
  AddPointOfInterest(2, "Albireo", false, false, "", 5.1, 0.49);
  ASSERT_TRUE(WriteSettingsFile(dir.File("poi.ssf"), 1));
  ClearPointsOfInterest();
  form.CommandLine = {dir.File("poi.ssf")};
  EXPECT_FALSE(form.About1->isEnabled());  // until the first tick
  form.Timer1Timer();
  EXPECT_FALSE(form.StartupPending);
  // Read once "autoexec.sbas" has run (none here), out of the tick.
  EXPECT_TRUE(testing_support::RunEventsUntil([] { return POICount == 1; }));
  EXPECT_EQ(POITable[1].Name, "Albireo");
  EXPECT_TRUE(form.Locations[0]->isVisible());
  EXPECT_TRUE(form.About1->isEnabled());
  EXPECT_TRUE(form.Timer2->isActive());
  UnregisterAllSettingsSectionsForTest();
  ClearPointsOfInterest();
}

TEST(POIWindow, GridEditsMoveAndKeepScan) {
  TMainForm1 form;
  POIForm = new TPOIForm(&form);
  ClearPointsOfInterest();
  POITable[0].Mode = 5;
  POITable[0].Name = "Scan";
  for (const char* n : {"a", "b", "c"}) AddPointOfInterest(1, n, false, false, "", 1.0, 0.2);
  POIForm->ShowGrid();
  ASSERT_EQ(POIForm->POIGrid->rowCount(), 3);
  POIForm->POIGrid->item(1, 4)->setText(QStringLiteral("TRUE"));
  POIForm->POIGrid->item(1, 6)->setText(QStringLiteral("ja"));
  POIForm->POIGrid->setCurrentCell(1, 1);  // leaving the edited cell reads the grid back
  POIForm->MoveUp();
  EXPECT_EQ(POITable[1].Name, "b");
  EXPECT_EQ(POITable[1].Goto, 1);
  EXPECT_EQ(POITable[1].Confirm, 0);
  EXPECT_EQ(POITable[2].Name, "a");
  EXPECT_EQ(POITable[0].Name, "Scan");
  EXPECT_EQ(POITable[0].Mode, 5);
  EXPECT_EQ(POIForm->POIGrid->currentRow(), 0);
  EXPECT_EQ(POIForm->POIGrid->item(0, 4)->text(), "Yes");
  POIForm->MoveDown();
  POIForm->MoveDown();
  EXPECT_EQ(POITable[3].Name, "b");
  ClearPointsOfInterest();
  EXPECT_EQ(POIForm->POIGrid->rowCount(), 1);  // an empty first row
  POIForm = nullptr;
}

TEST(MainForm, CopyPutsTheChartOnTheClipboard) {
  TMainForm1 form;
  form.ScreenSize = [] { return QSize(320, 240); };
  ASSERT_TRUE(form.CreateBackBuffer());
  form.Copy1->trigger();
  const QImage copied = QGuiApplication::clipboard()->image();
  EXPECT_EQ(copied.width(), form.PaintBox1->width());
  EXPECT_EQ(copied.height(), form.PaintBox1->height());
}

TEST(MainForm, KeyEventsReachTheKeyTable) {
  TMainForm1 form;
  auto send = [&](QEvent::Type type, int key, Qt::KeyboardModifiers mods, const QString& text = {},
                  bool repeat = false) {
    QKeyEvent ev(type, key, mods, text, repeat);
    QCoreApplication::sendEvent(&form, &ev);
  };
  send(QEvent::KeyPress, Qt::Key_Plus, Qt::NoModifier, QStringLiteral("+"));
  EXPECT_EQ(form.Keys.ZoomLevel, 5);
  EXPECT_EQ(form.Chart().Zoom(), 1.2);
  // Ctrl+digit acts on the press, whichever key is let go first: Ctrl
  // first (the digit's release then carries no modifier) ...
  FieldOfViewMode = 9;
  send(QEvent::KeyPress, Qt::Key_Control, Qt::ControlModifier);
  send(QEvent::KeyPress, Qt::Key_3, Qt::ControlModifier);
  send(QEvent::KeyRelease, Qt::Key_Control, Qt::NoModifier);
  send(QEvent::KeyRelease, Qt::Key_3, Qt::NoModifier);
  EXPECT_EQ(FieldOfViewMode, 2);
  EXPECT_TRUE(form.FieldsOfView[1]->isChecked());
  // ... or the digit first.
  send(QEvent::KeyPress, Qt::Key_Control, Qt::ControlModifier);
  send(QEvent::KeyPress, Qt::Key_1, Qt::ControlModifier);
  send(QEvent::KeyRelease, Qt::Key_1, Qt::ControlModifier);
  send(QEvent::KeyRelease, Qt::Key_Control, Qt::NoModifier);
  EXPECT_EQ(FieldOfViewMode, 9);
  // A digit without Ctrl is a point-of-interest key, not a field.
  send(QEvent::KeyPress, Qt::Key_5, Qt::NoModifier, QStringLiteral("5"));
  EXPECT_EQ(FieldOfViewMode, 9);
  EXPECT_EQ(form.Keys.POIKeyBuffer, "5");
  // Ctrl+H toggles once, however long the key is held (auto-repeat).
  const uint8_t before = form.Chart().Switch(TChartSwitch::CentreOnHorizon);
  send(QEvent::KeyPress, Qt::Key_H, Qt::ControlModifier);
  send(QEvent::KeyPress, Qt::Key_H, Qt::ControlModifier, {}, true);
  send(QEvent::KeyRelease, Qt::Key_H, Qt::NoModifier);
  EXPECT_NE(form.Chart().Switch(TChartSwitch::CentreOnHorizon), before);
  EXPECT_EQ(form.Horizon1->isChecked(), !before);
}

// The field of view in panel 2 (180° / zoom scale, at most 180°) follows a
// zoom at once, with the pointer nowhere over the sky; a zoom made another
// way shows at the next heartbeat tick.
TEST(MainForm, FieldOfViewFollowsTheZoomWithoutThePointer) {
  TMainForm1 form;
  form.FormKeyPress('+');  // level 5, scale 1.2
  EXPECT_EQ(form.StatusText(2), "150\u00b0 fov");
  form.FormKeyPress('+');  // level 6, scale 1.6: 112.5 rounds to 112
  EXPECT_EQ(form.StatusText(2), "112\u00b0 fov");
  form.FormKeyPress('/');  // whole sky: scale 0.95, at most 180
  EXPECT_EQ(form.StatusText(2), "180\u00b0 fov");
  form.Chart().SetZoom(18.0);  // as a script or a menu would
  form.StartupPending = false;
  form.Timer1Timer();
  EXPECT_EQ(form.StatusText(2), "10\u00b0 fov");
}

TEST(MainForm, HeartbeatAsksTheInsetsToFollow) {
  TMainForm1 form;
  uint32_t counter = 10000;
  form.MsCounter = [&] { return counter; };
  form.StartupPending = false;
  int globeReturns = 0, magnifierFollows = 0;
  bool overGlobe = true;
  TInsetHooks hooks;
  hooks.insideGlobe = [&](int, int) { return overGlobe; };
  hooks.globeBackToObserver = [&] { ++globeReturns; };
  hooks.magnifierFollowZoom = [&] { ++magnifierFollows; };
  form.SetInsetHooks(hooks);
  form.LastZoom = form.Chart().Zoom();
  form.Timer1Timer();  // the pointer is over the globe
  EXPECT_TRUE(form.GlobeDragging);
  overGlobe = false;
  for (uint32_t step : {100u, 4800u, 200u}) {
    counter += step;
    form.Timer1Timer();
  }
  // 5,000 ms after the pointer left the globe, and not before.
  EXPECT_EQ(globeReturns, 1);
  FieldOfViewMode = 9;
  form.FormKeyPress('+');
  form.Timer1Timer();
  form.Timer1Timer();
  EXPECT_EQ(magnifierFollows, 1);
  FieldOfViewMode = 3;
  form.FormKeyPress('+');
  form.Timer1Timer();
  EXPECT_EQ(magnifierFollows, 1);
}

TEST(MainForm, TelescopeAndEyepieceItemsFollowTheMagnifierLists) {
  TMainForm1 form;
  const TMagnifierGrid teles = TeleGrid, eyes = EyeGrid;
  TeleGrid.Cells[1][0] = "C8";
  TeleGrid.RowCount = 3;
  EyeGrid.Cells[1][0] = "Plossl 25mm";
  EyeGrid.RowCount = 3;
  form.UpdateTelescopeMenu();
  EXPECT_TRUE(form.Teles[0]->isVisible());
  EXPECT_EQ(form.Teles[0]->text(), "Telescope C8");
  EXPECT_FALSE(form.Teles[1]->isVisible());
  EXPECT_EQ(form.Eyepieces[0]->text(), "Plossl 25mm");
  // An eyepiece with a fixed field does nothing; through the telescope it
  // views with that telescope.
  form.TeleFieldOfViewChange(3);
  EXPECT_FALSE(form.View1->menuAction()->isVisible());
  form.Eyepieces[0]->trigger();
  EXPECT_EQ(FieldOfViewMode, 3);
  form.Teles[0]->trigger();
  EXPECT_EQ(FieldOfViewMode, 100);
  EXPECT_TRUE(form.View1->menuAction()->isVisible());
  form.Eyepieces[0]->trigger();
  EXPECT_EQ(FieldOfViewMode, 10100);
  EXPECT_TRUE(form.Teles[0]->isChecked());
  EXPECT_TRUE(form.Eyepieces[0]->isChecked());
  TeleGrid = teles;
  EyeGrid = eyes;
  FieldOfViewMode = 9;
}

TEST(MainForm, DeviceWindowsBringTheConnectionsMenuAndTheGotoItem) {
  testing_support::TempDir dir;  // the device windows keep their settings
  testing_support::ScopedEnv cfg("XDG_CONFIG_HOME", dir.File("cfg"));
  TMainForm1 form;
  EXPECT_EQ(form.Connections1, nullptr);  // absent until the windows exist
  EXPECT_EQ(Captions(form.menuBar()->actions()),
            (QStringList{"&File", "&Edit", "&Script", "&Reports", "&Settings", "&Observer", "&Preferences",
                         "&Help"}));
  // No pick list yet.
  EXPECT_EQ(Captions(form.GlobeMenu->actions()),
            (QStringList{"New &Location...", "&Small", "&Normal", "&Large"}));
  form.CreateTelescopeWindow();
  EXPECT_EQ(Captions(form.menuBar()->actions()),
            (QStringList{"&File", "&Edit", "&Script", "&Reports", "&Settings", "&Connections", "&Observer",
                         "&Preferences", "&Help"}));
  // The windows themselves are opened on the real window with a mount connected.
  EXPECT_TRUE(Captions(form.PopupMenu1->actions()).contains("Telescope &goto here"));
}

TEST(MainForm, KeyOOpensTheStarOptionsOnce) {
  TMainForm1 form;
  int shown = 0;
  QTimer::singleShot(0, [&] {
    if (OptionsForm1 && OptionsForm1->isVisible()) ++shown, OptionsForm1->reject();
  });
  EXPECT_TRUE(form.FormKeyPress('O'));
  EXPECT_EQ(shown, 1);
  TOptionsForm1* first = OptionsForm1;
  QTimer::singleShot(0, [&] { OptionsForm1->reject(); });
  form.StarCatalog1->trigger();
  EXPECT_EQ(OptionsForm1, first);  // one instance
}

TEST(MainForm, ScriptItemsFollowTheEditor) {
  testing_support::TempDir dir;
  testing_support::ScopedEnv cfg("XDG_CONFIG_HOME", dir.File("cfg"));
  TMainForm1 form;
  form.UpdateScriptItems();
  EXPECT_TRUE(form.NewScript1->isEnabled());
  EXPECT_FALSE(form.RunScript1->isEnabled());  // no editor
  EXPECT_FALSE(form.CloseScript1->isEnabled());
  form.NewScript1->trigger();
  ASSERT_NE(ScrEditForm1, nullptr);
  EXPECT_FALSE(form.NewScript1->isEnabled());
  EXPECT_TRUE(form.RunScript1->isEnabled());
  EXPECT_FALSE(form.StopScript1->isEnabled());  // nothing runs
  form.CloseScript1->trigger();
  QCoreApplication::processEvents();
  EXPECT_EQ(ScrEditForm1, nullptr);
  form.UpdateScriptItems();
  EXPECT_TRUE(form.NewScript1->isEnabled());
  // Pause toggles its caption and the runner's request.
  form.PauseScript1Click();
  EXPECT_EQ(form.PauseScript1->text(), "&Resume");
  EXPECT_EQ(ScriptPauseFlag.load(), 1);
  form.PauseScript1Click();
  EXPECT_EQ(form.PauseScript1->text(), "&Pause");
  EXPECT_EQ(ScriptPauseFlag.load(), 0);
}
