// The program entry's start (StartProgram): every window made hidden in the
// entry's order and gone with the main window; the heartbeat's first tick
// held until the last window is made, even while a start-up box is open;
// an element list handed over redraws the chart with the time stopped; and
// after a failed start-up (also without a back buffer), the windows and
// the first tick's steps that need nothing the start-up missed, and no
// chart drawn by Copy.
#include <QApplication>
#include <QClipboard>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <filesystem>

#include "app/forms/about_form.h"
#include "app/forms/browser_form.h"
#include "app/forms/flash_form.h"
#include "app/forms/log_form.h"
#include "app/forms/poi_form.h"
#include "app/forms/print_job.h"
#include "astro/solar_system.h"
#include "catalog/element_files.h"
#include "catalog/forms/import_tool_form.h"
#include "catalog/forms/object_options_form.h"
#include "catalog/forms/solar_system_form.h"
#include "catalog/forms/star_options_form.h"
#include "catalog/solar_system_options.h"
#include "chart/forms/colors_fonts_form.h"
#include "chart/forms/constellation_form.h"
#include "chart/forms/coordinate_grid_form.h"
#include "chart/forms/magnifier_settings_form.h"
#include "chart/forms/performance_form.h"
#include "chart/forms/screen_layout_form.h"
#include "chart/globe.h"
#include "imaging/camera_setup.h"
#include "imaging/forms/ascom_camera_forms.h"
#include "imaging/forms/camera_settings_forms.h"
#include "imaging/forms/imaging_windows.h"
#include "platform/gui_thread.h"
#include "script/forms/scr_inp_form.h"
#include "telescope/forms/assist_form.h"
#include "telescope/forms/device_forms.h"
#include "telescope/forms/tele_form.h"
#include "tests/app/startup_fixture.h"
#include "tools/events_calendar.h"
#include "tools/forms/atmospheric_form.h"
#include "tools/forms/clock_time_form.h"
#include "tools/forms/horizon_form.h"
#include "tools/forms/information_forms.h"
#include "tools/forms/location_form.h"

using startup_fixture::kEventWaitMs;
using startup_fixture::RunEventsUntil;

namespace {

namespace fs = std::filesystem;

// The windows the entry makes one by one after the main window, in its
// order: the 2nd to the 39th.
std::vector<std::pair<const char*, QWidget*>> EntryWindows(TMainForm1& form) {
  QWidget* input = nullptr;
  for (QObject* child : form.children())
    if (auto* w = dynamic_cast<TScrInpForm1*>(child)) input = w;
  return {{"location", GlobalLocationForm1},
          {"object information", InformationForm2},
          {"flash message", FlashMessageForm1},
          {"star options", OptionsForm1},
          {"deep-sky options", OptionsForm2},
          {"screen layout", ScreenLayoutForm1},
          {"date and time", ClockTimeTool},
          {"magnifier pick list", MagnifierPickListForm1},
          {"atmosphere", AtmosphericForm1},
          {"print", PrintForm1},
          {"performance", PerformanceForm1},
          {"star information", InformationForm1},
          {"solar system", SolSysForm1},
          {"body information", InformationForm3},
          {"magnifier settings", MagnifierSettingsForm1},
          {"events calendar", GeneralReportForm1},
          {"meteor showers", MeteorShowersForm1},
          {"script input", input},
          {"about", AboutNoctraForm1},
          {"telescope", form.Devices.TeleForm1},
          {"horizon", HorizonForm1},
          {"browser", BrowserForm1},
          {"coordinate grid", CoordinateGridForm1},
          {"constellations", ConstellationForm1},
          {"colours and fonts", ColorsAndFontsForm1},
          {"video camera settings", imaging::VfwCameraSettingsForm1},
          {"DSI camera settings", imaging::DsiCameraSettingsForm1},
          {"image-file camera settings", imaging::IFFCameraSettingsForm1},
          {"filter wheel", form.Devices.FilterWheelForm1},
          {"plate solving", imaging::PlateSolveForm1()},
          {"catalogue import", ImportToolForm1},
          {"ASCOM cameras", form.AscomCameraForm1},
          {"autoguider", imaging::AutoGuideForm()},
          {"focuser", form.Devices.FocuserForm1},
          {"imaging console", imaging::IcForm1()},
          {"goto assist", form.Devices.AssistForm1},
          {"points of interest", POIForm},
          {"log", LogForm}};
}

// Each window exists, hidden, owned by the main window, in the entry's
// order among its children.
void ExpectEntryOrder(TMainForm1& form) {
  const auto windows = EntryWindows(form);
  ASSERT_EQ(windows.size(), 38u);  // the main window is the 1st of 39
  int last = -1;
  const QObjectList children = form.children();
  for (const auto& [name, window] : windows) {
    SCOPED_TRACE(name);
    ASSERT_NE(window, nullptr);
    EXPECT_FALSE(window->isVisible());
    const int at = int(children.indexOf(window));
    EXPECT_GT(at, last);
    last = at;
  }
}

class StartWindows : public startup_fixture::StartUpFixture {
 protected:
  bool Close() {
    form->close();
    return RunEventsUntil([&] { return destroyed; }, kEventWaitMs);
  }
};

// Message boxes answered by the double after events have run as under a
// real box's own loop: what the start had done by then is noted.
class EventfulDialogs : public platform::ScriptedDialogs {
 public:
  std::function<void()> whileOpen;
  int MessageBoxWithDefault(const std::string& text, const std::string& caption, platform::MsgButtons buttons,
                            platform::MsgIcon icon, int defaultResult) override {
    // Each pass serves the zero-interval timers and posted events once.
    for (int i = 0; i < 10; ++i) QCoreApplication::processEvents();
    if (whileOpen) whileOpen();
    return platform::ScriptedDialogs::MessageBoxWithDefault(text, caption, buttons, icon, defaultResult);
  }
  int MessageBox(const std::string& text, const std::string& caption, platform::MsgButtons buttons,
                 platform::MsgIcon icon) override {
    return MessageBoxWithDefault(text, caption, buttons, icon, 0);
  }
};

bool Has(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

}  // namespace

// Every window exists once the entry's start returns, hidden, owned by the
// main window in the entry's order, before the first tick, and reads its
// settings as it is made: the damaged settings files of plate solving,
// the autoguider and the console are told in that order. All go with the
// main window, so that a window made again in the process starts from
// none.
TEST_F(StartWindows, EveryWindowIsMadeHiddenAtStartInTheEntrysOrder) {
  const char* const files[] = {"PlateSolveSettings.xml", "AutoGuideSettings.xml", "ImagingConsoleSettings.xml"};
  for (const char* file : files) testing_support::WriteText(home.File(file), "not a settings file");
  form->StartProgram();
  ASSERT_TRUE(form->StartupComplete());
  EXPECT_TRUE(form->StartupPending);  // the first tick comes from the event loop
  ExpectEntryOrder(*form);
  std::vector<std::string> told;
  for (const platform::DialogRecord& box : dialogs.Records())
    for (const char* file : files)
      if (Has(box.text, home.File(file))) told.push_back(file);
  EXPECT_EQ(told, std::vector<std::string>(std::begin(files), std::end(files)));
  // Menu commands show the windows made at start.
  TClockTimeTool* clock = ClockTimeTool;
  QTimer::singleShot(0, [] {
    if (QWidget* w = QApplication::activeModalWidget()) w->close();
  });
  form->NewDateTime1Click();
  EXPECT_EQ(ClockTimeTool, clock);
  // Imaging > Source Settings opens the window made at start with its camera.
  QAction* imageFile = nullptr;
  for (QAction* a : form->Imaging1->actions())
    if (a->text() == QStringLiteral("Image File")) imageFile = a;
  ASSERT_NE(imageFile, nullptr);
  QCoreApplication::processEvents();  // the closing above is not left for this window
  QWidget* opened = nullptr;
  QTimer look;
  look.setSingleShot(true);
  QObject::connect(&look, &QTimer::timeout, [&] {
    if ((opened = QApplication::activeModalWidget())) opened->close();
  });
  look.start(0);
  imageFile->trigger();  // returns once the window is closed
  EXPECT_EQ(opened, imaging::IFFCameraSettingsForm1);
  EXPECT_EQ(imaging::IFFCameraSettingsForm1->ShownCamera(), imaging::Cameras().ImageFileCamera.get());
  delete form;
  form = nullptr;
  destroyed = true;
  for (void* global : {static_cast<void*>(GlobalLocationForm1), static_cast<void*>(InformationForm1),
                       static_cast<void*>(InformationForm2), static_cast<void*>(InformationForm3),
                       static_cast<void*>(SolSysForm1), static_cast<void*>(OptionsForm2),
                       static_cast<void*>(MagnifierPickListForm1), static_cast<void*>(GeneralReportForm1),
                       static_cast<void*>(MeteorShowersForm1), static_cast<void*>(HorizonForm1),
                       static_cast<void*>(ColorsAndFontsForm1), static_cast<void*>(imaging::VfwCameraSettingsForm1),
                       static_cast<void*>(imaging::DsiCameraSettingsForm1),
                       static_cast<void*>(imaging::IFFCameraSettingsForm1), static_cast<void*>(imaging::IcForm1()),
                       static_cast<void*>(LogForm)})
    EXPECT_EQ(global, nullptr);
}

// A box shown while the windows are made (an over-long asteroid list) runs
// events: the first tick does not run inside it, and comes once the last
// window is made. A missing "brightstars.dat" is then told in the start's
// one box with the other missing files.
TEST_F(StartWindows, FirstTickWaitsForTheLastWindowWhileAStartBoxIsOpen) {
  UseRunFolder();
  std::string list;
  for (int i = 0; i < 1001; ++i)
    list += "Y   " + ("Body " + std::to_string(i) + std::string(30, ' ')).substr(0, 30) + " 2461000.5\r\n";
  WriteRunFile("default.ast", list);
  fs::remove(runFolder_ + "brightstars.dat");
  fs::remove(runFolder_ + "Bounds.dat");
  EventfulDialogs boxes;
  bool tickedInBox = true, logMadeInBox = true;
  boxes.whileOpen = [&] {
    tickedInBox = !form->StartupPending;
    logMadeInBox = LogForm != nullptr;
  };
  platform::SetDialogs(&boxes);
  form->StartProgram();
  boxes.whileOpen = nullptr;
  ASSERT_GE(boxes.Count(), 1u);
  EXPECT_TRUE(Has(boxes.Records()[0].text, "\"default.ast\" holds more than 1,000 asteroids")) << boxes.Records()[0].text;
  EXPECT_FALSE(tickedInBox);
  EXPECT_FALSE(logMadeInBox);
  form->show();
  ASSERT_TRUE(RunEventsUntil([&] { return !form->StartupPending && boxes.Count() >= 2; }, kEventWaitMs));
  platform::ProcessMessages();
  const auto told = boxes.Records();
  ASSERT_EQ(told.size(), 2u) << told.back().text;
  EXPECT_TRUE(Has(told[1].text, "\"Bounds.dat\"")) << told[1].text;
  EXPECT_TRUE(Has(told[1].text, "\"brightstars.dat\"")) << told[1].text;
  platform::SetDialogs(&dialogs);
  EXPECT_TRUE(Close());
}

// With the time stopped nothing else redraws the chart: an element list
// loaded again (as a settings file's solar-system block or the window does)
// is drawn at the heartbeat's next tick.
TEST_F(StartWindows, ElementListHandedOverRedrawsTheChartWithTheTimeStopped) {
  UseRunFolder();
  WriteRunFile("default.cmt", "");
  form->StartProgram();
  ASSERT_TRUE(form->StartupComplete());
  form->show();
  ASSERT_TRUE(RunEventsUntil([&] { return !form->StartupPending && !StarThreadRunning(); }, 60000));
  form->SetTimeFlow(kTimeStopped);
  ASSERT_EQ(TimeFlow, kTimeStopped);
  ASSERT_TRUE(RunEventsUntil([&] { return !form->Chart().ReplotPending(); }, kEventWaitMs));
  ASSERT_EQ(CometCount, 0);
  fs::remove(runFolder_ + "default.cmt");
  fs::copy_file(builtData_ + "default.cmt", runFolder_ + "default.cmt");
  CometElementsFile = "default.cmt";
  const int renders = form->RenderCount;
  LoadElementFiles();
  ASSERT_TRUE(RunEventsUntil([&] { return CometCount > 100; }, kEventWaitMs)) << CometCount;
  EXPECT_TRUE(RunEventsUntil([&] { return form->RenderCount > renders; }, kEventWaitMs));
  EXPECT_TRUE(Close());
}

// After a missing relief file ends the main window's start-up, the entry
// still makes every window with its duties, and the first tick does what
// needs nothing missing: the pick list's default place, "autoexec.sbas",
// the Imaging menu and its windows, whose settings files are written at
// the end. The chart is left out.
TEST_F(StartWindows, AFailedStartUpStillMakesTheWindowsAndTheTicksThatNeedNothingMissing) {
  UseRunFolder();
  fs::remove(runFolder_ + "scripps2.dat");
  GlobeReliefLoaded = 0;  // a new program reads the relief anew
  WriteRunFile("autoexec.sbas", "PRINT \"autoexec ran\"\r\n");
  ASSERT_TRUE(WritePickList(home.File("picklist.dat"), {"Old Farm*" + PickListSeparator + ";48.1N;11.6E;1;T"}));
  form->StartProgram();
  EXPECT_FALSE(form->StartupComplete());
  ExpectEntryOrder(*form);
  ASSERT_NE(form->ImagingMenu1, nullptr);
  ASSERT_NE(form->Imaging2, nullptr);
  // In its place in the menu bar, as after a whole start: before Connections.
  const QList<QAction*> bar = form->menuBar()->actions();
  EXPECT_EQ(bar.indexOf(form->ImagingMenu1->menuAction()) + 1, bar.indexOf(form->Connections1->menuAction()));
  form->show();
  ASSERT_TRUE(FirstTickAndBox("autoexec ran"));
  EXPECT_NEAR(ObserverTime.Latitude * DegPerRad, 48.1, 1e-9);
  EXPECT_EQ(LocationName, "Old Farm");
  EXPECT_EQ(form->StatusText(0).find("No observer location"), std::string::npos);
  EXPECT_EQ(form->RenderCount, 0);
  // Copy draws no chart into the window (none would redraw it): it says
  // that there is none, and the clipboard keeps what it held.
  QGuiApplication::clipboard()->setText(QStringLiteral("kept"));
  const QImage before = form->BackBuffer().Image().copy();
  const std::size_t boxes = dialogs.Count();
  form->Copy1->trigger();
  ASSERT_EQ(dialogs.Count(), boxes + 1);
  EXPECT_TRUE(Has(dialogs.Last().text, "nothing to copy")) << dialogs.Last().text;
  EXPECT_EQ(QGuiApplication::clipboard()->text(), QStringLiteral("kept"));
  EXPECT_EQ(form->RenderCount, 0);
  EXPECT_TRUE(form->BackBuffer().Image() == before);
  form->Imaging2->trigger();
  ASSERT_TRUE(imaging::IcForm1() && imaging::IcForm1()->isVisible());
  imaging::IcForm1()->close();
  EXPECT_TRUE(Close());
  for (const char* file : {"ImagingSettings.xml", "ImagingConsoleSettings.xml", "AutoGuideSettings.xml",
                           "PlateSolveSettings.xml"})
    EXPECT_TRUE(platform::FileExists(home.File(file))) << file;
}

// A back buffer that cannot be made ends the main window's start-up before
// its plotters; the script input window is made all the same, in its
// place, and "autoexec.sbas" asks through it.
TEST_F(StartWindows, NoBackBufferStillMakesTheScriptInputWindow) {
  UseRunFolder();
  WriteRunFile("autoexec.sbas", "INPUT \"Who?\", A$\r\nPRINT A$\r\n");
  form->ScreenSize = [] { return QSize(0, 0); };
  form->StartProgram();
  ASSERT_FALSE(form->StartupComplete());
  ASSERT_GE(dialogs.Count(), 1u);
  EXPECT_EQ(dialogs.Records()[0].text, "Error: Can't create Plotter bitmap.");
  ExpectEntryOrder(*form);
  QTimer answer;
  QObject::connect(&answer, &QTimer::timeout, [] {
    if (auto* input = qobject_cast<TScrInpForm1*>(QApplication::activeModalWidget())) {
      input->Edit1->setText(QStringLiteral("Vega"));
      input->accept();
    }
  });
  answer.start(10);
  form->show();
  EXPECT_TRUE(RunEventsUntil([&] { return dialogs.Last().text == "Vega"; }, kEventWaitMs)) << dialogs.Last().text;
  answer.stop();
  EXPECT_TRUE(Close());
}
