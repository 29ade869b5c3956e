// The start-up tests' fixture: the reference data built once into the build
// tree, the program's working folder on it, private settings folders and
// pick list, the dialog double, and a real main window that deletes itself
// on close.
#pragma once

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <QAction>
#include <QApplication>
#include <QElapsedTimer>
#include <QProcess>
#include <QTimer>
#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <sstream>

#include "app/core/lifecycle.h"
#include "app/forms/main_form.h"
#include "catalog/stars.h"
#include "data/mkdata.h"
#include "platform/automation.h"
#include "platform/dialogs.h"
#include "platform/paths.h"
#include "shell/globals.h"
#include "tests/support/test_support.h"
#include "tools/location.h"

namespace startup_fixture {

// Copies the reference data the chart tests' fixture has finished building
// (its folder holds ".complete") into `dir`, but for that mark; false when
// there is none or a file could not be copied.
inline bool CopyFinishedData(const std::string& from, const std::string& dir) {
  namespace fs = std::filesystem;
  std::error_code ec;
  if (!fs::exists(fs::path(from) / ".complete", ec)) return false;
  fs::create_directories(dir, ec);
  for (const fs::directory_entry& e : fs::directory_iterator(from, ec)) {
    if (e.path().filename() == ".complete") continue;
    fs::copy(e.path(), fs::path(dir) / e.path().filename(),
             fs::copy_options::recursive | fs::copy_options::overwrite_existing, ec);
    if (ec) return false;
  }
  return !ec;
}

// Builds the reference data once into the build tree (a lock lets the
// first test process build and the others wait for it), or copies the data
// the chart tests' fixture built from the same sources with the same
// builder when it has finished. Empty when the public sources are not
// installed.
inline std::string BuiltData() {
  const std::filesystem::path exe = std::filesystem::read_symlink("/proc/self/exe");
  const std::string dir = (exe.parent_path() / "refdata").string();
  const std::string stamp = dir + "/.complete";
  const int lock = ::open((dir + ".lock").c_str(), O_CREAT | O_RDWR, 0600);
  if (lock < 0) return {};
  ::flock(lock, LOCK_EX);
  if (!platform::FileExists(stamp)) {
    bool copied = false;
#ifdef NOCTRA_CHART_REFDATA
    copied = CopyFinishedData(NOCTRA_CHART_REFDATA, dir);
#endif
    mkdata::MkdataOptions opt;
    opt.outDir = dir;
    opt.sourcesDir = mkdata::DefaultSourcesFolder();
    std::ostringstream out, err;
    if (copied || mkdata::RunMkdata(opt, out, err) == 0) testing_support::WriteText(stamp, "built\n");
  }
  ::flock(lock, LOCK_UN);
  ::close(lock);
  return platform::FileExists(stamp) ? dir + "/" : std::string();
}

// How long a test waits for something the program does by itself (a
// render, a slew, the magnifier, the window closing).
using testing_support::kWaitMs;
inline constexpr int kEventWaitMs = kWaitMs;

// Handles events until `done` holds (false after `timeoutMs`).
template <class F>
bool RunEventsUntil(F done, int timeoutMs) {
  return testing_support::RunEventsUntil(std::function<bool()>(std::move(done)), timeoutMs);
}

// A working folder of the program's own as run.sh gives it: `folder` made,
// holding links to the files of the current (data) folder.
inline std::string RunFolder(const std::string& folder) {
  std::filesystem::create_directories(folder);
  for (const auto& f : std::filesystem::directory_iterator(std::filesystem::current_path()))
    std::filesystem::create_symlink(f.path(), folder + f.path().filename().string());
  return folder;
}

// The real program started as run.sh starts it in the working folder `run`,
// HOME `user`, with the variables of `added`; `inChild` runs in the new
// process first.
inline void LaunchProgram(QProcess& program, const std::string& user, const std::string& run,
                          std::function<void()> inChild = {}, const QProcessEnvironment& added = {}) {
  QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
  env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
  env.insert(QStringLiteral("HOME"), QString::fromStdString(user));
  for (const char* xdg : {"XDG_CONFIG_HOME", "XDG_DATA_HOME", "XDG_CACHE_HOME"}) env.remove(QString::fromUtf8(xdg));
  env.insert(added);
  program.setProcessEnvironment(env);
  program.setWorkingDirectory(QString::fromStdString(run));
  if (inChild) program.setChildProcessModifier(inChild);
  program.start(QStringLiteral(NOCTRA_PROGRAM), {});
}

// The chart's pixels that its stars light: the bright pixels (red and blue
// above 150) it loses when it is drawn again without them. The chart is
// drawn again with them afterwards.
inline int StarPixels(TMainForm1& form) {
  auto bright = [&] {
    const platform::Bitmap& chart = form.BackBuffer();
    int n = 0;
    for (int y = 0; y < MapHeight; ++y)
      for (int x = 0; x < MapWidth; ++x)
        if ((chart.Pixel(x, y) & 0xFF) > 150 && ((chart.Pixel(x, y) >> 16) & 0xFF) > 150) ++n;
    return n;
  };
  form.RenderMainView();
  const int withStars = bright();
  const int32_t sao = SaoStarCount, tycho = TychoStarCount;
  SaoStarCount = TychoStarCount = 0;
  form.RenderMainView();
  const int withoutStars = bright();
  SaoStarCount = sao;
  TychoStarCount = tycho;
  form.RenderMainView();
  return withStars - withoutStars;
}

// The caption of the modal window a menu command opens (closed at once).
inline QString ModalCaptionOf(QAction* action) {
  QString caption;
  QTimer::singleShot(0, [&] {
    if (QWidget* w = QApplication::activeModalWidget()) {
      caption = w->windowTitle();
      w->close();
    }
  });
  action->trigger();
  return caption;
}

// What a menu item's modal window was while it was open: the window, its
// modality, and whether the chart was rendered again meanwhile; `use` acts
// on it before it is closed.
struct ModalVisit {
  QWidget* window = nullptr;
  Qt::WindowModality modality = Qt::NonModal;
  bool rendered = false;
};
inline ModalVisit OpenModally(TMainForm1& form, QAction* item, std::function<void()> use) {
  ModalVisit v;
  bool looked = false;
  QTimer::singleShot(0, [&] {
    looked = true;
    v.window = QApplication::activeModalWidget();
    if (!v.window) return;
    v.modality = v.window->windowModality();
    if (use) use();
    const int renders = form.RenderCount;
    form.Chart().MarkReplot();
    v.rendered = RunEventsUntil([&] { return form.RenderCount > renders; }, kEventWaitMs);
    v.window->close();
  });
  item->trigger();  // returns once the window is closed
  RunEventsUntil([&] { return looked; }, kEventWaitMs);  // a window that was not modal
  return v;
}

// The program's working folder on the built data, a private settings and
// data folder, the dialog double, and a main window that deletes itself on
// close, as the program's is.
class StartUpFixture : public testing::Test {
 protected:
  void SetUp() override {
    data_ = BuiltData();
    NOCTRA_REQUIRE_REFERENCE_DATA(!data_.empty());
    before_ = std::filesystem::current_path();
    std::filesystem::current_path(data_);
    DataFolder = data_;
    ProgramFolder = data_;
    GlobalLocation.PickListPath = home.File("picklist.dat");  // a fresh, empty list
    // No driver chooser of an earlier test's program: the program installs its own.
    platform::SetChooserUi({});
    form = NewWindow();
  }
  // A main window that deletes itself on close, as the program's does.
  TMainForm1* NewWindow() {
    destroyed = false;
    auto* w = new TMainForm1;
    w->ImagingSettingsPath = home.File("ImagingSettings.xml");
    w->setAttribute(Qt::WA_DeleteOnClose);
    QObject::connect(w, &QObject::destroyed, [this] { destroyed = true; });
    return w;
  }
  // The program's working folder of the test's own (links to the built
  // data), made the current, data and program folder, as run.sh gives it.
  void UseRunFolder() {
    builtData_ = std::filesystem::current_path().string() + "/";
    runFolder_ = RunFolder(home.File("run/"));
    std::filesystem::current_path(runFolder_);
    DataFolder = ProgramFolder = runFolder_;
  }
  // A file of the run folder of its own, in place of the link.
  void WriteRunFile(const std::string& name, const std::string& text) {
    std::filesystem::remove(runFolder_ + name);
    testing_support::WriteText(runFolder_ + name, text);
  }
  // Handles events until the first tick has come and a box said `text`
  // (a script's PRINT, say).
  bool FirstTickAndBox(const std::string& text) {
    return RunEventsUntil(
        [&] {
          const auto r = dialogs.Records();
          return !form->StartupPending &&
                 std::any_of(r.begin(), r.end(), [&](const platform::DialogRecord& b) { return b.text == text; });
        },
        kEventWaitMs);
  }
  void TearDown() override {
    if (!destroyed) delete form;
    GlobalLocation.PickListPath = kPickListFile;
    CloseState = kRunning;
    if (!data_.empty()) std::filesystem::current_path(before_);
  }

  testing_support::TempDir home;
  testing_support::ScopedEnv cfg{"XDG_CONFIG_HOME", home.File("config")};
  testing_support::ScopedEnv share{"XDG_DATA_HOME", home.File("share")};
  testing_support::ScopedEnv cache{"XDG_CACHE_HOME", home.File("cache")};
  testing_support::ScopedEnv tz{"TZ", "Etc/UTC"};  // a zone that names no place
  // 2026-01-10 00:00 UTC: night at 0°, 0° and at Quito, the places of the
  // start-up test, which expects stars on the chart, in the magnifier and
  // on the printed map.
  testing_support::ScopedClock clock{1768003200.0};
  platform::ScopedScriptedDialogs dialogs;
  TMainForm1* form = nullptr;
  bool destroyed = false;
  std::string builtData_, runFolder_;  // the built data and the run folder (UseRunFolder)

 private:
  std::string data_;
  std::filesystem::path before_;
};

}  // namespace startup_fixture
