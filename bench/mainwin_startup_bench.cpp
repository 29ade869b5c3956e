// The main window's start-up and heartbeat on built reference data.
//
// BM_StartupToFirstChart: from creating the main window (start-up: reference
// files, object database, plotter, styles, back buffer) and the program's
// other windows, through the first heartbeat tick (the star load started
// in the start-up) to the first finished render with the stars drawn. The
// heartbeat's first tick is called at once rather than after the timer's
// first 1,000 ms interval. The chart is the screen's size: run under Xvfb
// with a 1920 x 1080 screen for a 1080p chart. Side by side: /39 makes every
// window as the program does; /16 only the 16 windows the program once made
// at start (the others then came on their first opening), with the same
// element lists and bright stars read.
// Target: at most 0.6 s; /39 at most 15 % over /16.
//
// BM_HeartbeatTick: one tick at real-time rate with nothing to render, the
// pointer on the sky.
// Target: at most 2 ms.
//
// Data: the reference-data folder of bench_data.h.
#include <QApplication>
#include <QCoreApplication>
#include <QTimer>
#include <benchmark/benchmark.h>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>

#include "app/core/lifecycle.h"
#include "app/forms/about_form.h"
#include "app/forms/browser_form.h"
#include "app/forms/flash_form.h"
#include "app/forms/log_form.h"
#include "app/forms/main_form.h"
#include "app/forms/poi_form.h"
#include "app/forms/print_job.h"
#include "app/forms/sequencer_wiring.h"
#include "bench/bench_data.h"
#include "catalog/solar_system_options.h"
#include "catalog/stars.h"
#include "chart/forms/performance_form.h"
#include "chart/forms/screen_layout_form.h"
#include "imaging/forms/imaging_windows.h"
#include "platform/dialogs.h"
#include "platform/single_window.h"
#include "shell/globals.h"
#include "tools/events_calendar.h"
#include "tools/location.h"

namespace {

std::string DataDir() { return BenchDataFolder(); }

bool EnterData() {
  const std::string d = DataDir();
  if (!std::filesystem::exists(d + "SAO_YALE.DAT")) return false;
  std::filesystem::current_path(d);
  DataFolder = d;
  ProgramFolder = d;
  // The location pick list (made empty when missing) lives in a temporary
  // folder, not in the shared data: the place stays that of a fresh install.
  GlobalLocation.PickListPath = (std::filesystem::temp_directory_path() / "noctra-bench-picklist.dat").string();
  return true;
}

// The 16 windows the program once made at start: the main window, flash
// message, screen layout, print, performance, about, the four device
// windows, browser, the imaging console, autoguider and plate solver,
// points of interest and log; with the element lists and bright stars.
void MakeFormerStartWindows(TMainForm1& form) {
  platform::SingleWindow(FlashMessageForm1, &form);
  platform::SingleWindow(ScreenLayoutForm1, &form);
  platform::SingleWindow(PrintForm1, &form);
  platform::SingleWindow(PerformanceForm1, &form);
  LoadElementFiles();
  LoadBrightStars();
  platform::SingleWindow(AboutNoctraForm1, &form);
  form.CreateTelescopeWindow();
  form.Devices.FilterWheelForm1 = CreateFilterWheelWindow(&form);
  form.Devices.FocuserForm1 = CreateFocuserWindow(&form);
  form.Devices.AssistForm1 = CreateAssistWindow(&form, form.Devices.TeleForm1);
  platform::SingleWindow(BrowserForm1, &form);
  imaging::CreateImagingWindows(&form, std::filesystem::temp_directory_path().string() + "/");
  AttachSequencer(*platform::SingleWindow(POIForm, &form));
  platform::SingleWindow(LogForm, &form);
}

// Creates and starts the window with the program's other windows (every
// one, or the former 16) and runs it to the first chart with stars.
std::unique_ptr<TMainForm1> StartToFirstChart(bool everyWindow = true) {
  auto form = std::make_unique<TMainForm1>();
  form->ImagingSettingsPath = (std::filesystem::temp_directory_path() / "noctra-bench-imaging.xml").string();
  form->StartUp();
  if (everyWindow)
    form->CreateProgramWindows();
  else
    MakeFormerStartWindows(*form);
  form->Timer1->stop();
  form->Timer1Timer();  // the first tick
  WaitForStarLoad();
  form->Timer1Timer();  // the stars are in: the chart is rendered
  return form;
}

void BM_StartupToFirstChart(benchmark::State& state) {
  if (!EnterData()) {
    state.SkipWithError("reference data not found (set NOCTRA_REFDATA)");
    return;
  }
  for (auto _ : state) {
    auto form = StartToFirstChart(state.range(0) == 39);
    state.PauseTiming();
    if (form->RenderCount < 2 || SaoStarCount == 0) {
      std::fprintf(stderr, "renders %d, stars %d\n", form->RenderCount, SaoStarCount);
      state.SkipWithError("no chart with stars");
      break;
    }
    form.reset();
    CloseState = kRunning;
    state.ResumeTiming();
  }
  state.counters["chart_width"] = MapWidth;
  state.counters["chart_height"] = MapHeight;
}
BENCHMARK(BM_StartupToFirstChart)->Arg(16)->Arg(39)->Unit(benchmark::kMillisecond)->Iterations(3)->Repetitions(5)
    ->ReportAggregatesOnly(true);

void BM_HeartbeatTick(benchmark::State& state) {
  if (!EnterData()) {
    state.SkipWithError("reference data not found (set NOCTRA_REFDATA)");
    return;
  }
  auto form = StartToFirstChart();
  // The pointer rests on the sky, so every tick also reads out its position.
  form->PaintBox1MouseMove(MapWidth / 2, MapHeight / 2);
  uint32_t counter = 1000;
  form->MsCounter = [&] { return counter; };
  for (auto _ : state) {
    counter += 100;
    form->Timer1Timer();
    if (form->Chart().ReplotPending()) {
      state.PauseTiming();
      form->Chart().ClearReplot();
      state.ResumeTiming();
    }
  }
  form.reset();
  CloseState = kRunning;
}
BENCHMARK(BM_HeartbeatTick)->Unit(benchmark::kMicrosecond);

}  // namespace

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  platform::ScopedScriptedDialogs dialogs;  // no box waits for a click
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
