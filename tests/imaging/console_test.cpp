// The imaging console's sequences on the camera simulator: file names from
// the template, FITS headers, filter cycling, a failed save, a save cut
// short, and the pause for the plate solver.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QImage>
#include <QTemporaryDir>
#include <QThread>
#include <csignal>
#include <filesystem>
#include <fstream>

#include "imaging/ascom_camera.h"
#include "imaging/camera_sim.h"
#include "imaging/console.h"
#include "imaging/console_display.h"
#include "imaging/file_camera.h"
#include "imaging/fits.h"
#include "imaging/imaging_settings.h"
#include "imaging/picture_file.h"
#include "imaging/plate_solve_logic.h"
#include "platform/automation_sim.h"
#include "platform/paths.h"
#include "platform/timezone.h"
#include "shell/log_lines.h"
#include "tests/support/test_support.h"

using namespace imaging;

namespace {

bool Logged(const std::string& line) {
  const auto lines = LogLines().Lines();
  return std::find(lines.begin(), lines.end(), line) != lines.end();
}

// A wheel that needs one poll to turn, and a focuser that needs one poll.
class FakeDevices : public IConsoleDevices {
 public:
  std::vector<std::string> names = {"Red", "Green"};
  std::vector<int32_t> offsets = {100, 250};
  int slot = 0, turning = 0, focus = 0, focusing = 0;
  bool wheel = true;
  std::vector<int> moves;
  bool WheelConnected() override { return wheel; }
  std::vector<std::string> FilterNames() override { return wheel ? names : std::vector<std::string>{}; }
  std::vector<int32_t> FocusOffsets() override { return offsets; }
  void SetFilter(int32_t s) override { slot = s, turning = 1, moves.push_back(s); }
  int32_t FilterPosition() override { return turning-- > 0 ? -1 : slot; }
  bool FocuserConnected() override { return true; }
  void MoveFocuser(int32_t p) override { focus = p, focusing = 1; }
  bool FocuserMoving() override { return focusing-- > 0; }
};

struct ConsoleFixture {
  QTemporaryDir dir;
  TAscomCameraSlots cams;
  FakeDevices devices;
  TImagingConsole console{&devices, [this](const std::string& n) -> TCamera* {
                            return n == "ASCOM Camera #1" ? cams.Camera(1) : nullptr;
                          }};
  std::size_t consumers = CameraConsumers().size();
  ConsoleFixture() {
    LogLines().Clear();
    ImagingSettingsDoc().Doc.Clear();
    RegisterSimCameraDriver();
    // The console hears of cameras that come and go, as in the program.
    CameraConsumers().push_back({[this](const std::string& n) { console.AddCamera(n); },
                                 [this](const std::string& n, const std::string& why) { console.RemoveCamera(n, why); },
                                 [this](const std::string& n) { return console.IsCameraSelected(n); }});
    cams[1].name = "Noctra.Simulator.Camera";
    cams.ConnectClick(1);
    console.ImageSource = "ASCOM Camera #1";
    console.Path = dir.path().toStdString() + "/images/";
    console.ExposureTime = "0.05";
  }
  ~ConsoleFixture() { CameraConsumers().resize(consumers); }
  platform::TSimDevice* Driver() { return dynamic_cast<platform::TSimDevice*>(cams[1].driver.get()); }
  // Ticks the console (and lets the camera's timer run) until `done`.
  bool Run(const std::function<bool()>& done, int timeoutMs, const std::function<void()>& extra = nullptr) {
    QElapsedTimer t;
    t.start();
    while (!done()) {
      if (t.elapsed() > timeoutMs) return false;
      console.SequenceTimer1Timer();
      if (extra) extra();
      for (int i = 0; i < 5; ++i) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        QThread::msleep(10);
      }
    }
    return true;
  }
};

}  // namespace

TEST(ImagingConsoleNames, TemplateAndSafeParts) {
  struct Case {
    const char *dirName, *fileName, *filt;
    int remaining, frame;
    const char *folder, *name;
  } cases[] = {
      {"ObjectName", "Image.[fp].[seq]", "Red", 3, 1, "/img/ObjectName", "Image.Bright.frame1"},
      // No wheel: the filter reads "None".
      {"[filt]\\", "[filt]_[seq]", "None", 1, 2, "/img/None", "None_frame2"},
      {"\\M42\\[filt]\\", "x", "H/alpha", 2, 1, "/img/M42/H_alpha", "x"},
      {"[seq]", "[fp][fp]", "..", 7, 1, "/img/7", "BrightBright"},
  };
  for (const Case& c : cases) {
    std::string folder, name;
    FramePath("/img/", c.dirName, c.fileName, c.filt, "Bright", c.remaining, c.frame, folder, name);
    EXPECT_EQ(folder, c.folder) << c.dirName;
    EXPECT_EQ(name, c.name) << c.fileName;
  }
}

// Three frames per filter with two filters: six files named from the
// template, each FITS header with its filter, exposure and time; the
// sequence ends on the first filter again.
TEST(ImagingConsole, SequenceOverTwoFiltersSavesNamedFitsFiles) {
  // Late on 8 December in universal time, already the 9th where the
  // observer's clock (UTC+14) reads.
  testing_support::ScopedEnv zone("TZ", "Pacific/Kiritimati");
  tzset();
  testing_support::ScopedClock clock(1796772600.0);
  ConsoleFixture f;
  f.console.DirName = "M42\\[filt]";
  f.console.FileName = "Image.[fp].[seq]";
  f.console.ExposureNum = "3";
  f.console.AllFilters = true;
  f.console.AdjustFocus = true;
  f.console.SequenceTimer1Timer();
  ASSERT_NE(f.console.Camera(), nullptr) << LogLines().LastLine();
  f.console.StartClick(true);
  ASSERT_TRUE(f.Run([&] { return !f.console.StartDown(); }, testing_support::kWaitMs)) << LogLines().LastLine();
  EXPECT_TRUE(Logged("[Imaging Console] Exposure sequence done"));
  EXPECT_TRUE(Logged("[Imaging Console] Moved focus to 250"));
  EXPECT_EQ(f.console.FilterIndex, 0);
  EXPECT_EQ(f.devices.moves, (std::vector<int>{0, 1, 0}));
  for (const char* filt : {"Red", "Green"})
    for (int n = 1; n <= 3; ++n) {
      const std::string path = f.console.Path + "M42/" + filt + "/Image.Bright.frame" + std::to_string(n) + ".fts";
      ASSERT_TRUE(QFile::exists(QString::fromStdString(path))) << path;
      EXPECT_TRUE(Logged("[Imaging Console] Image saved: " + f.console.Path + "M42/" + filt +
                         "/Image.Bright.frame" + std::to_string(n) + ".fts"));
      std::ifstream in(path, std::ios::binary);
      TFitsHeader h;
      FitsData data;
      ASSERT_TRUE(LoadFitsHeader(in, h, data)) << path;
      EXPECT_EQ(h.Filter, filt);
      EXPECT_DOUBLE_EQ(h.ExposureTime, 0.05);
      EXPECT_EQ(h.DateObs, "2026-12-08");
      EXPECT_EQ(h.TimeObs.substr(0, 6), "23:30:");
      EXPECT_EQ(h.NAxis1, 640);
    }
  EXPECT_EQ(f.console.ExposureNum, "3");
}

// The wheel lost while a series cycles through the filters: the frame
// under way keeps its filter in its name and header, and the series stops
// with the reason where the wheel should turn, instead of going on under
// the filter "None" and reporting the series done.
TEST(ImagingConsole, FilterWheelLostStopsTheFilterCycle) {
  ConsoleFixture f;
  f.console.DirName = "[filt]";
  f.console.ExposureNum = "2";
  f.console.AllFilters = true;
  f.console.SequenceTimer1Timer();
  f.console.StartClick(true);
  TCamera* camera = f.console.Camera();
  ASSERT_TRUE(f.Run([&] { return f.console.Remaining() == 1 && camera->ExposureState == 2; }, testing_support::kWaitMs));
  f.devices.wheel = false;
  ASSERT_TRUE(f.Run([&] { return !f.console.StartDown(); }, testing_support::kWaitMs)) << LogLines().LastLine();
  EXPECT_TRUE(Logged("[Imaging Console] Error: filter wheel disconnected"));
  EXPECT_TRUE(Logged("[Imaging Console] Exposure sequence stopped"));
  EXPECT_FALSE(Logged("[Imaging Console] Exposure sequence done"));
  EXPECT_EQ(f.console.Status(), "Error: filter wheel disconnected");
  EXPECT_FALSE(QDir(QString::fromStdString(f.console.Path + "None")).exists());
  for (int n = 1; n <= 2; ++n) {
    std::ifstream in(f.console.Path + "Red/Image.Bright.frame" + std::to_string(n) + ".fts", std::ios::binary);
    TFitsHeader h;
    FitsData data;
    ASSERT_TRUE(LoadFitsHeader(in, h, data)) << n;
    EXPECT_EQ(h.Filter, "Red");
  }
}

// A filter chosen while the console is idle: the wheel, the focus offset
// and the filter's exposure follow at once, and a series started minutes
// later is not stopped by a stale time-out.
TEST(ImagingConsole, FilterChosenWhileIdleIsReachedAtOnce) {
  ConsoleFixture f;
  f.console.AdjustExposure = f.console.AdjustFocus = true;
  f.console.FilterExposures[1] = "0.1";
  f.console.SequenceTimer1Timer();
  f.console.FilterIndex = 1;
  f.console.FilterChange();
  for (int i = 0; i < 4; ++i) f.console.SequenceTimer1Timer();
  EXPECT_FALSE(f.console.FilterChanging());
  EXPECT_EQ(f.devices.focus, 250);
  EXPECT_EQ(f.console.ExposureTime, "0.1");
  EXPECT_EQ(f.console.Status(), "Idle");
  platform::SetTimeGetTimeOffsetForTest(180000);
  f.console.StartClick(true);
  const bool ended = f.Run([&] { return !f.console.StartDown(); }, testing_support::kWaitMs);
  platform::SetTimeGetTimeOffsetForTest(0);
  ASSERT_TRUE(ended);
  EXPECT_TRUE(Logged("[Imaging Console] Exposure sequence done")) << LogLines().LastLine();
  EXPECT_TRUE(QFile::exists(QString::fromStdString(f.console.Path + "ObjectName/Image.Bright.frame1.fts")));
}

// The program ended during a series: the frame count typed (not the
// frames still to take) is what the next start shows.
TEST(ImagingConsole, SettingsSavedDuringASeriesKeepTheFrameCount) {
  ConsoleFixture f;
  f.devices.names.clear();
  f.console.ExposureNum = "3";
  f.console.SequenceTimer1Timer();
  f.console.StartClick(true);
  ASSERT_TRUE(f.Run([&] { return f.console.Remaining() == 2; }, testing_support::kWaitMs));
  ASSERT_EQ(f.console.ExposureNum, "2") << "the count shown during the series";
  const std::string folder = f.dir.path().toStdString() + "/";
  f.console.SaveSettings(folder);
  TImagingConsole next(&f.devices, [](const std::string&) { return nullptr; });
  next.LoadSettings(folder);
  EXPECT_EQ(next.ExposureNum, "3");
  EXPECT_EQ(next.ExpNumUpDownPosition, 3);
}

// Exposures that end without a picture: one such frame is taken again;
// a camera that gives no picture three times in a row stops the series
// with the reason (it went on exposing all night).
TEST(ImagingConsole, ExposuresThatKeepFailingStopTheSeries) {
  ConsoleFixture f;
  f.devices.names.clear();
  f.console.ExposureNum = "2";
  f.console.SequenceTimer1Timer();
  auto* sim = dynamic_cast<platform::TSimDevice*>(f.cams[1].driver.get());
  ASSERT_NE(sim, nullptr);
  sim->FailMemberForTest("ImageReady", 1);
  f.console.StartClick(true);
  ASSERT_TRUE(f.Run([&] { return !f.console.StartDown(); }, testing_support::kWaitMs));
  EXPECT_TRUE(Logged("[Imaging Console] Exposure sequence done"));
  EXPECT_TRUE(QFile::exists(QString::fromStdString(f.console.Path + "ObjectName/Image.Bright.frame2.fts")));
  LogLines().Clear();
  sim->FailMemberForTest("ImageReady", -1);
  f.console.StartClick(true);
  const bool ended = f.Run([&] { return !f.console.StartDown(); }, testing_support::kWaitMs);
  sim->FailMemberForTest("ImageReady", 0);
  ASSERT_TRUE(ended);
  EXPECT_TRUE(Logged("[Imaging Console] Error: 3 exposures in a row ended without a picture"));
  EXPECT_TRUE(Logged("[Imaging Console] Exposure sequence stopped"));
  EXPECT_TRUE(f.console.SeriesFailed());
}

// A frame that cannot be saved is reported and stops the sequence.
TEST(ImagingConsole, FailedSaveStopsTheSequence) {
  ConsoleFixture f;
  QFile blocker(f.dir.filePath("blocker"));
  ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
  blocker.close();
  f.console.Path = blocker.fileName().toStdString();  // a file, not a folder
  f.console.ExposureNum = "3";
  f.devices.names.clear();
  f.console.SequenceTimer1Timer();
  f.console.StartClick(true);
  ASSERT_TRUE(f.Run([&] { return !f.console.StartDown(); }, testing_support::kWaitMs));
  EXPECT_TRUE(Logged("[Imaging Console] Exposure sequence stopped"));
  EXPECT_FALSE(Logged("[Imaging Console] Exposure sequence done"));
  EXPECT_EQ(f.console.Status(), "Error: image not saved");
  // An exposure of 0 s (bias frames; the sequencer's plans allow it) is
  // the camera's shortest.
  f.console.Path = f.dir.path().toStdString() + "/images/";
  f.console.ExposureTime = "0";
  f.console.ExposureNum = "1";
  f.console.Purpose = "Bias";
  f.console.StartClick(true);
  ASSERT_TRUE(f.Run([&] { return !f.console.StartDown(); }, testing_support::kWaitMs));
  EXPECT_EQ(f.console.ExposureTime, "0.001");
  {
    std::ifstream in(f.console.Path + "ObjectName/Image.Bias.frame1.fts", std::ios::binary);
    TFitsHeader h;
    FitsData data;
    ASSERT_TRUE(LoadFitsHeader(in, h, data)) << LogLines().LastLine();
    EXPECT_DOUBLE_EQ(h.ExposureTime, 0.001);
  }
  // A sequence with an exposure that is no number does not start a frame.
  LogLines().Clear();
  f.console.ExposureTime = "1,5";
  f.console.StartClick(true);
  ASSERT_TRUE(f.Run([&] { return !f.console.StartDown(); }, testing_support::kWaitMs));
  EXPECT_TRUE(Logged("[Imaging Console] Error: exposure \"1,5\" is not a number of seconds"));
}

// A camera that goes away on its own during an exposure (a video camera
// whose device is lost disconnects itself so) ends the series with the
// reason, saves nothing for that frame and lets the camera go.
TEST(ImagingConsole, CameraLostDuringAnExposureStopsTheSeries) {
  ConsoleFixture f;
  f.devices.names.clear();
  f.console.ExposureTime = "1";
  f.console.ExposureNum = "3";
  f.console.SequenceTimer1Timer();
  TCamera* camera = f.console.Camera();
  ASSERT_NE(camera, nullptr);
  f.console.StartClick(true);
  ASSERT_TRUE(f.Run([&] { return camera->ExposureState == 2; }, testing_support::kWaitMs));
  camera->SetConnected(false);
  ASSERT_NO_THROW(f.Run([&] { return !f.console.StartDown(); }, testing_support::kWaitMs));
  EXPECT_FALSE(f.console.StartDown());
  EXPECT_TRUE(Logged("[Imaging Console] Error: Camera disconnected"));
  EXPECT_FALSE(Logged("[Imaging Console] Exposure sequence done"));
  EXPECT_EQ(f.console.Camera(), nullptr);
  EXPECT_EQ(f.console.ImageSource, "None");
  EXPECT_FALSE(QDir(QString::fromStdString(f.console.Path + "ObjectName")).exists());
}

// The Disconnect button of the "ASCOM Cameras" window under a preview and
// under a series: the running button goes up, the series stops with the
// frame saved so far kept, the source list is free again, and the status
// and the log say why until another choice; the camera connected again is
// chosen and takes pictures without a restart.
TEST(ImagingConsoleCameraGone, DisconnectUnderAPreviewAndUnderASeries) {
  ConsoleFixture f;
  f.devices.names.clear();
  int images = 0;
  f.console.OnImage = [&](const TFitsBitmap&) { ++images; };
  const std::string error =
      "Error: Camera disconnected: ASCOM Camera #1 was disconnected in the \"ASCOM Cameras\" window";
  const std::string frame = f.console.Path + "ObjectName/Image.Bright.frame";
  for (const bool series : {false, true}) {
    SCOPED_TRACE(series ? "series" : "preview");
    f.console.SequenceTimer1Timer();
    ASSERT_NE(f.console.Camera(), nullptr);
    EXPECT_EQ(f.console.Status(), "Idle");
    images = 0;
    if (series) {
      f.console.ExposureNum = "5";
      f.console.StartClick(true);
    } else {
      f.console.PreviewClick(true);
    }
    // Pressed during the exposure after the first picture.
    ASSERT_TRUE(f.Run([&] { return images == 1 && f.console.Camera()->ExposureState == 2; }, testing_support::kWaitMs));
    ASSERT_FALSE(f.console.SourceEnabled());
    LogLines().Clear();
    f.cams.DisconnectClick(1);
    EXPECT_FALSE(f.console.PreviewDown());
    EXPECT_FALSE(f.console.StartDown());
    EXPECT_EQ(f.console.Camera(), nullptr);
    EXPECT_EQ(f.console.ImageSource, "None");
    EXPECT_TRUE(f.console.SourceEnabled());
    EXPECT_TRUE(Logged("[Imaging Console] " + error));
    for (int i = 0; i < 3; ++i) f.console.SequenceTimer1Timer();
    EXPECT_EQ(f.console.Status(), error);
    EXPECT_TRUE(f.console.SourceEnabled());
    if (series) {
      EXPECT_TRUE(Logged("[Imaging Console] Exposure sequence stopped"));
      EXPECT_TRUE(f.console.SeriesFailed());
      EXPECT_EQ(f.console.ExposureNum, "5");
      EXPECT_TRUE(QFile::exists(QString::fromStdString(frame + "1.fts")));
      EXPECT_FALSE(QFile::exists(QString::fromStdString(frame + "2.fts")));
    }
    // Connected again and chosen again.
    f.cams.ConnectClick(1);
    ASSERT_NE(std::find(f.console.CameraList.Names().begin(), f.console.CameraList.Names().end(), "ASCOM Camera #1"),
              f.console.CameraList.Names().end());
    f.console.ImageSource = "ASCOM Camera #1";
  }
  f.console.SequenceTimer1Timer();
  ASSERT_EQ(f.console.Camera(), f.cams.Camera(1));
  EXPECT_EQ(f.console.Status(), "Idle");
  EXPECT_TRUE(f.console.PreviewEnabled());
  EXPECT_TRUE(f.console.StartEnabled());
  images = 0;
  f.console.PreviewClick(true);
  EXPECT_TRUE(f.Run([&] { return images > 0; }, testing_support::kWaitMs)) << f.console.Status();
}

// The program's end lets the cameras go: an idle console without a word, a
// series cut short by it with the reason.
TEST(ImagingConsoleCameraGone, TheProgramsEndIsSaidOnlyWhenItCutsASeries) {
  ConsoleFixture f;
  f.devices.names.clear();
  f.console.SequenceTimer1Timer();
  ASSERT_NE(f.console.Camera(), nullptr);
  LogLines().Clear();
  f.cams.DisconnectAtEnd();
  EXPECT_EQ(f.console.Camera(), nullptr);
  for (const std::string& line : LogLines().Lines()) EXPECT_EQ(line.find("Error"), std::string::npos) << line;
  f.console.SequenceTimer1Timer();
  EXPECT_EQ(f.console.Status(), "");

  f.cams.ConnectClick(1);
  f.console.ImageSource = "ASCOM Camera #1";
  f.console.SequenceTimer1Timer();
  ASSERT_NE(f.console.Camera(), nullptr);
  f.console.ExposureNum = "3";
  f.console.StartClick(true);
  ASSERT_TRUE(f.Run([&] { return f.console.Camera()->ExposureState == 2; }, testing_support::kWaitMs));
  f.cams.DisconnectAtEnd();
  EXPECT_FALSE(f.console.StartDown());
  EXPECT_TRUE(Logged("[Imaging Console] Error: Camera disconnected: the program ends"));
}

// A driver that drops its link: during an exposure the camera finds it at
// its next call and goes at once, the failing call given as the reason
// (the series is not tried again frame after frame); at rest the Cameras
// window's once-a-second watch finds it. Either way the console lets the
// camera go as when Disconnect is pressed: an error of the series under
// it, a source given up at rest.
TEST(ImagingConsoleCameraGone, ADriverThatDropsItsLink) {
  ConsoleFixture f;
  f.devices.names.clear();
  f.console.SequenceTimer1Timer();
  ASSERT_NE(f.console.Camera(), nullptr);
  f.console.ExposureNum = "3";
  f.console.StartClick(true);
  ASSERT_TRUE(f.Run([&] { return f.console.Camera()->ExposureState == 2; }, testing_support::kWaitMs));
  f.Driver()->DropLink();
  ASSERT_TRUE(f.Run([&] { return !f.console.StartDown(); }, testing_support::kWaitMs));
  const std::string lost =
      "Error: Camera disconnected: the driver lost its link to the camera (CameraState: Not connected)";
  EXPECT_EQ(f.console.Status(), lost);
  EXPECT_TRUE(Logged("[Imaging Console] " + lost));
  EXPECT_TRUE(Logged("[Imaging Console] Exposure sequence stopped"));
  for (const std::string& line : LogLines().Lines()) EXPECT_EQ(line.find("StartExposure"), std::string::npos) << line;
  EXPECT_TRUE(f.console.SourceEnabled());
  EXPECT_EQ(f.console.Camera(), nullptr);
  // The watch takes the slot down; the console, free already, keeps its word.
  f.cams.Timer1Timer();
  EXPECT_FALSE(f.cams[1].connected);
  EXPECT_EQ(f.console.Status(), lost);

  // At rest.
  f.cams.ConnectClick(1);
  f.console.ImageSource = "ASCOM Camera #1";
  f.console.SequenceTimer1Timer();
  ASSERT_NE(f.console.Camera(), nullptr);
  f.Driver()->DropLink();
  f.cams.Timer1Timer();
  EXPECT_EQ(f.console.Camera(), nullptr);
  EXPECT_TRUE(f.console.SourceEnabled());
  f.console.SequenceTimer1Timer();
  // At rest the log says the camera went, and the status that the console
  // has none, each with the reason.
  EXPECT_EQ(f.console.Status(), "Error: camera connection: the driver lost its link to the camera");
  EXPECT_TRUE(Logged("[Imaging Console] Camera disconnected: the driver lost its link to the camera"));
  EXPECT_FALSE(Logged("[Imaging Console] Error: Camera disconnected: the driver lost its link to the camera"));
}

// A second series under the same names never replaces the first one's
// picture: its frame goes under the next free name, the log says so, and
// each file holds exactly the picture its series took.
TEST(ImagingConsole, SecondSeriesNeverReplacesAPicture) {
  ConsoleFixture f;
  f.devices.names.clear();
  f.console.SaveAsType = TSaveAs::Fits16;  // keeps the camera's 16-bit values exactly
  f.console.SequenceTimer1Timer();
  const std::string first = f.console.Path + "ObjectName/Image.Bright.frame1.fts";
  const std::string second = f.console.Path + "ObjectName/Image.Bright.frame1-2.fts";
  std::vector<std::vector<uint8_t>> bytes;
  for (const std::string& file : {first, second}) {
    f.console.StartClick(true);
    ASSERT_TRUE(f.Run([&] { return !f.console.StartDown(); }, testing_support::kWaitMs)) << LogLines().LastLine();
    std::ifstream in(file, std::ios::binary);
    TFitsHeader h;
    FitsData data;
    ASSERT_TRUE(LoadFitsHeader(in, h, data)) << file;
    ASSERT_TRUE(f.console.Image());
    const TFitsHeader& t = f.console.Image()->Header;
    ASSERT_EQ(int64_t(h.NAxis1) * h.NAxis2, int64_t(t.NAxis1) * t.NAxis2);
    EXPECT_EQ(h.TimeObs, t.TimeObs);
    int64_t mismatches = 0;
    for (int64_t k = 0; k < int64_t(h.NAxis1) * h.NAxis2; ++k)
      mismatches += FitsValue(data.data(), h.BitPix, k) != FitsValue(f.console.Image()->Data().data(), t.BitPix, k);
    EXPECT_EQ(mismatches, 0) << file;
    bytes.push_back(testing_support::ReadFile(file));
  }
  EXPECT_EQ(testing_support::ReadFile(first), bytes[0]) << "the first picture is untouched";
  EXPECT_NE(bytes[0], bytes[1]);
  EXPECT_TRUE(Logged("[Imaging Console] File exists, not replaced: " + first));
  EXPECT_TRUE(Logged("[Imaging Console] Image saved: " + second));
}

// The program killed as a picture takes its name (the instant forced here):
// nothing, neither empty nor partial, is left under the name, and the next
// save puts the whole picture under it, the log saying so, and its own
// frame under the next free name.
TEST(ImagingConsole, PictureOfASaveCutShortIsKeptWhole) {
  testing_support::TempDir dir;
  const std::string folder = dir.Path() + "ObjectName";
  std::filesystem::create_directories(folder);
  auto files = [&] { return std::distance(std::filesystem::directory_iterator(folder), {}); };
  TFitsHeader h = NewFitsHeader(16, 8, 4);
  FitsData pixels(std::size_t(h.DataBlocks * kFitsBlock), 0);
  for (int i = 0; i < 32; ++i) pixels[std::size_t(2 * i + 1)] = uint8_t(3 * i + 1);  // 16-bit values 256 (3i + 1)
  // Before anything in this process starts a thread: the kill runs in a fork.
  EXPECT_EXIT(
      {
        platform::SetNewFileCommitHookForTest([] { std::raise(SIGKILL); });
        SavePicture(folder, "Image.Bright.frame1", TSaveAs::Fits16, h, pixels, nullptr);
      },
      testing::KilledBySignal(SIGKILL), "");
  const std::string first = folder + "/Image.Bright.frame1.fts", second = folder + "/Image.Bright.frame1-2.fts";
  EXPECT_FALSE(std::filesystem::exists(first));
  ASSERT_EQ(files(), 1) << "the whole picture, under a temporary name";

  ConsoleFixture f;
  f.devices.names.clear();
  f.console.Path = dir.Path();
  f.console.SaveAsType = TSaveAs::Fits16;
  f.console.SequenceTimer1Timer();
  f.console.StartClick(true);
  ASSERT_TRUE(f.Run([&] { return !f.console.StartDown(); }, testing_support::kWaitMs)) << LogLines().LastLine();
  EXPECT_TRUE(Logged("[Imaging Console] Image of an interrupted save recovered: " + first));
  EXPECT_TRUE(Logged("[Imaging Console] File exists, not replaced: " + first));
  EXPECT_TRUE(Logged("[Imaging Console] Image saved: " + second));
  EXPECT_EQ(files(), 2) << "no temporary left";
  std::ifstream in(first, std::ios::binary);
  TFitsHeader back;
  FitsData data;
  ASSERT_TRUE(LoadFitsHeader(in, back, data));
  ASSERT_EQ(back.NAxis1 * back.NAxis2, 32);
  for (int i = 0; i < 32; ++i) EXPECT_EQ(FitsValue(data.data(), back.BitPix, i), 256.0 * (3 * i + 1)) << i;
}

// Opened with no camera chosen the status says nothing; a camera that
// cannot be had reports the failed connection; one that connects is idle.
TEST(ImagingConsole, StatusSaysNothingUntilACameraIsChosen) {
  ConsoleFixture f;
  f.console.ImageSource = "None";
  f.console.SequenceTimer1Timer();
  EXPECT_EQ(f.console.Status(), "");
  f.console.ImageSource = "ASCOM Camera #2";  // no driver chosen for it
  f.console.SequenceTimer1Timer();
  EXPECT_EQ(f.console.Status(), "Error: camera connection");
  EXPECT_EQ(f.console.ImageSource, "None");
  f.console.SequenceTimer1Timer();
  EXPECT_EQ(f.console.Status(), "Error: camera connection");  // until another choice
  f.console.ImageSource = "ASCOM Camera #1";
  f.console.SequenceTimer1Timer();
  EXPECT_EQ(f.console.Status(), "Idle");
}

// A camera whose connection raises (the video camera naming the parallel
// port it did not find) is reported with its reason in the status and the
// log, from the choice and from the resume after the plate solver's pause;
// nothing leaves the console's timer.
TEST(ImagingConsole, ACameraThatRaisesOnConnectIsReportedWithItsReason) {
  LogLines().Clear();
  ImagingSettingsDoc().Doc.Clear();
  struct RaisingCamera : TCamera {
    RaisingCamera() : TCamera("VFW1", "VFW Camera #1") {}
    bool DoConnect() override {
      if (raises) throw ECameraError("Can't connect to Vfw Camera.  No parallel port at 0378 here; ports found: none.");
      return true;
    }
    bool raises = true;
  } cam;
  FakeDevices devices;
  TImagingConsole console(&devices, [&](const std::string& n) -> TCamera* { return n == "VFW Camera #1" ? &cam : nullptr; });
  const std::string error =
      "Error: camera connection: Can't connect to Vfw Camera.  No parallel port at 0378 here; ports found: none.";
  console.ImageSource = "VFW Camera #1";
  console.SequenceTimer1Timer();
  EXPECT_EQ(console.Status(), error);
  EXPECT_TRUE(Logged("[Imaging Console] " + error));
  console.SequenceTimer1Timer();
  EXPECT_EQ(console.Status(), error);  // until another choice
  EXPECT_EQ(cam.Settings.CameraToken, 1u);
  // Connected, handed to the plate solver, and refusing to come back.
  cam.raises = false;
  console.ImageSource = "VFW Camera #1";
  console.SequenceTimer1Timer();
  ASSERT_TRUE(cam.Connected());
  console.PauseRequest = 1;
  console.SequenceTimer1Timer();
  ASSERT_FALSE(cam.Connected());
  cam.raises = true;
  console.PauseRequest = 2;
  LogLines().Clear();
  console.SequenceTimer1Timer();
  EXPECT_TRUE(Logged("[Imaging Console] " + error));
  EXPECT_EQ(cam.Settings.CameraToken, 1u);  // free for the others
  EXPECT_TRUE(console.SourceEnabled()) << "another camera can be chosen";
  EXPECT_FALSE(console.StartDown());
  console.SequenceTimer1Timer();
  EXPECT_EQ(console.Status(), error);
}

// A camera that does not start the exposure ends the series, and a
// preview, with its reason in the status, kept there while the console is
// idle until a frame starts again: the driver refusing, and the Image File
// camera given a FITS picture the reader refuses or a folder without one.
TEST(ImagingConsole, AnExposureNotStartedSaysWhyInTheStatus) {
  ConsoleFixture f;
  f.devices.names.clear();
  f.console.SequenceTimer1Timer();
  auto* sim = dynamic_cast<platform::TSimDevice*>(f.cams[1].driver.get());
  ASSERT_NE(sim, nullptr);
  sim->FailMemberForTest("StartExposure", -1);
  const std::string refused = "Error: StartExposure: Simulated failure of StartExposure";
  f.console.StartClick(true);
  f.console.SequenceTimer1Timer();
  EXPECT_FALSE(f.console.StartDown());
  EXPECT_TRUE(Logged("[Imaging Console] " + refused));
  for (int i = 0; i < 3; ++i) f.console.SequenceTimer1Timer();
  EXPECT_EQ(f.console.Status(), refused) << "kept while idle";
  EXPECT_TRUE(f.console.StatusIsError());
  f.console.PreviewClick(true);
  f.console.SequenceTimer1Timer();
  EXPECT_FALSE(f.console.PreviewDown());
  f.console.SequenceTimer1Timer();
  EXPECT_EQ(f.console.Status(), refused);
  sim->FailMemberForTest("StartExposure", 0);
  f.console.PreviewClick(true);
  f.console.SequenceTimer1Timer();
  f.console.PreviewClick(false);
  ASSERT_TRUE(f.Run([&] { return f.console.Camera()->ExposureState == 0; }, 10000));
  f.console.SequenceTimer1Timer();
  EXPECT_EQ(f.console.Status(), "Idle");
  EXPECT_FALSE(f.console.StatusIsError());

  TIFFCamera file;
  TImagingConsole console(&f.devices,
                          [&](const std::string& n) -> TCamera* { return n == "Image File" ? &file : nullptr; });
  console.ImageSource = "Image File";
  console.SequenceTimer1Timer();
  ASSERT_EQ(console.Camera(), &file);
  const std::string bad = f.dir.filePath("bad.fts").toStdString();
  {
    std::ofstream(bad) << "SIMPLE  = T  this is not a picture";
  }
  const std::string empty = f.dir.filePath("empty").toStdString();
  ASSERT_TRUE(QDir().mkpath(QString::fromStdString(empty)));
  for (const std::string& source : {bad, empty}) {
    file.Settings.Name = source;
    console.StartClick(true);
    console.SequenceTimer1Timer();
    console.SequenceTimer1Timer();
    EXPECT_FALSE(console.StartDown()) << source;
    // The refused picture: as the camera logs it, with the reader's reason.
    std::string why = "no picture file in " + empty;
    for (const std::string& line : LogLines().Lines())
      if (source == bad && line.rfind("[Image File] " + bad + " is not loaded: ", 0) == 0) why = line.substr(13);
    EXPECT_NE(why.find(source), std::string::npos);
    EXPECT_EQ(console.Status(), "Error: " + why);
  }
}

// A frame saved as BMP and as JPG holds the picture as shown: read back
// through QImage, of the picture's size with a known pixel (the JPEG within
// its quantisation error at quality 90).
TEST(ImagingConsole, SavesTheShownPictureAsBmpAndJpg) {
  ConsoleFixture f;
  f.devices.names.clear();
  platform::Bitmap shown(64, 48);
  shown.Fill(0x203040);
  for (int y = 16; y < 32; ++y)
    for (int x = 24; x < 40; ++x) shown.SetPixel(x, y, 0xC08010);
  f.console.ShownPicture = [&]() -> const platform::Bitmap* { return &shown; };
  struct Case {
    TSaveAs type;
    const char* ext;
    int tolerance;
  } cases[] = {{TSaveAs::Bmp, ".bmp", 0}, {TSaveAs::Jpg, ".jpg", 12}};
  for (const Case& c : cases) {
    f.console.SaveAsType = c.type;
    f.console.SequenceTimer1Timer();
    f.console.StartClick(true);
    ASSERT_TRUE(f.Run([&] { return !f.console.StartDown(); }, testing_support::kWaitMs)) << LogLines().LastLine();
    const QString file = QString::fromStdString(f.console.Path + "ObjectName/Image.Bright.frame1" + c.ext);
    QImage back(file);
    ASSERT_FALSE(back.isNull()) << file.toStdString();
    EXPECT_EQ(back.width(), 64);
    EXPECT_EQ(back.height(), 48);
    for (const auto& [x, y, rgb] : {std::tuple{31, 23, 0xC08010u}, std::tuple{4, 4, 0x203040u}}) {
      const QRgb p = back.pixel(x, y);
      EXPECT_NEAR(qRed(p), int(rgb >> 16), c.tolerance) << c.ext;
      EXPECT_NEAR(qGreen(p), int((rgb >> 8) & 0xFF), c.tolerance) << c.ext;
      EXPECT_NEAR(qBlue(p), int(rgb & 0xFF), c.tolerance) << c.ext;
    }
  }
}

// The plate solver asks for the console's camera: the console gives it up
// between frames, the solver exposes, and the console goes on.
TEST(ImagingConsole, PausedAndResumedByThePlateSolver) {
  ConsoleFixture f;
  setenv("NOCTRA_SOLVE_FIELD", "/nonexistent/solve-field", 1);
  f.console.ExposureNum = "4";
  f.devices.names.clear();
  f.console.SequenceTimer1Timer();
  TPlateSolveLogic solver(nullptr, {[&] { return f.console.Camera(); }, &f.console.PauseRequest},
                          [&](const std::string&) -> TCamera* { return f.console.Camera(); });
  solver.ClientFolder = f.dir.path().toStdString() + "/solver/";
  solver.ClientScript = NOCTRA_SOLVE_CLIENT;
  solver.JobTickMs = 20;
  solver.Sel.Exposure = 0.05;
  solver.ImageSource = "ASCOM Camera #1";
  solver.PlateSolveTimer1Timer();
  EXPECT_TRUE(Logged("[Plate-Solve] Connect: ASCOM Camera #1"));
  f.console.StartClick(true);
  ASSERT_TRUE(f.Run([&] { return f.console.Remaining() == 3; }, testing_support::kWaitMs));
  solver.SolveNowClick();
  bool solverExposed = false;
  ASSERT_TRUE(f.Run([&] { return !f.console.StartDown(); }, testing_support::kWaitMs, [&] {
    solver.PlateSolveTimer1Timer();
    solverExposed = solverExposed || solver.HasCameraToken();
  }));
  unsetenv("NOCTRA_SOLVE_FIELD");
  EXPECT_TRUE(solverExposed);
  EXPECT_TRUE(Logged("[Plate-Solve] Pausing Imaging-Console"));
  EXPECT_TRUE(Logged("[Plate-Solve] Image aquired"));
  EXPECT_TRUE(Logged("[Plate-Solve] Resuming Imaging Console"));
  EXPECT_TRUE(Logged("[Imaging Console] Exposure sequence done"));
  for (int n = 1; n <= 4; ++n)
    EXPECT_TRUE(QFile::exists(QString::fromStdString(f.console.Path + "ObjectName/Image.Bright.frame" +
                                                     std::to_string(n) + ".fts")));
  EXPECT_EQ(f.console.PauseRequest, 0);
  EXPECT_TRUE(f.console.HasCameraToken());
}

TEST(ImagingConsoleDisplay, ZoomSizesAndCrossHair) {
  struct Case {
    TZoom zoom;
    bool zoomedIn;
    int w, h, wantW, wantH;
  } cases[] = {{TZoom::BestFit, false, 1000, 800, 496, 396},  // scale 0.5, less 4 pixels
               {TZoom::Quarter, false, 640, 480, 160, 120},
               {TZoom::ThreeQuarter, false, 641, 480, 480, 360},
               {TZoom::Half, true, 64, 48, 640, 480}};
  for (const Case& c : cases) {
    int w = 0, h = 0;
    double scale = 0;
    ZoomedSize(c.zoom, c.zoomedIn, c.w, c.h, 500, 500, w, h, scale);
    EXPECT_EQ(w, c.wantW);
    EXPECT_EQ(h, c.wantH);
  }
  // "Dual" on a 640-pixel picture: lines 6 pixels either side of the centre.
  platform::Bitmap pic(640, 480);
  pic.Fill(0);
  DrawCrossHair(pic, TCrossHair::Dual, TZoom::Normal, 1.0);
  auto red = [&](int x, int y) { return (pic.Pixel(x, y) & 0xFFFFFF) == 0xFF0000; };
  EXPECT_TRUE(red(314, 10));
  EXPECT_TRUE(red(326, 10));
  EXPECT_FALSE(red(320, 10));
  EXPECT_TRUE(red(10, 234));
  EXPECT_TRUE(red(10, 246));
}

TEST(ImagingConsoleDisplay, ManualLevelsSetBackgroundAndRange) {
  TFitsBitmap img;
  TFitsHeader h = NewFitsHeader(16, 4, 4);
  FitsData data(std::size_t(h.DataBlocks * kFitsBlock), 0);
  ASSERT_TRUE(img.SetFitsData(h, data));
  int lo = 100, hi = 1099;
  ApplyLevels(img, false, lo, hi);
  EXPECT_DOUBLE_EQ(img.Header.Background, 100);
  EXPECT_DOUBLE_EQ(img.Header.Range, 1000);
  lo = 2000, hi = 100;  // inverted: the full range
  ApplyLevels(img, false, lo, hi);
  EXPECT_DOUBLE_EQ(img.Header.Background, 0);
  EXPECT_DOUBLE_EQ(img.Header.Range, 65535);
}

// Click-to-centre and the 10 x double click: the scroll positions for a
// 300 x 201 view (half sizes 150 and 100.5, rounded to even: 100).
TEST(ImagingConsoleDisplay, ClickCentresAndDoubleClickZooms) {
  TZoomClick z;
  int x = 0, y = 0;
  z.MouseDown(200, 150, 5000);
  z.Click(300, 201, x, y);
  EXPECT_EQ(x, 50);
  EXPECT_EQ(y, 50);
  // From "50%" the remembered point is 20 times further on the 10 x picture.
  z.DoubleClick(5100, TZoom::Half, 300, 201, x, y);
  EXPECT_TRUE(z.ZoomedIn());
  EXPECT_EQ(x, 200 * 20 - 150);
  EXPECT_EQ(y, 150 * 20 - 100);
  // Presses within 1,000 ms of the double click keep the point.
  z.MouseDown(10, 10, 6100);
  z.Click(300, 201, x, y);
  EXPECT_EQ(x, 50);
  z.MouseDown(10, 10, 6101);
  z.Click(300, 201, x, y);
  EXPECT_EQ(x, 10 - 150);
  // The next double click zooms out to the top left.
  z.DoubleClick(7000, TZoom::Normal, 300, 201, x, y);
  EXPECT_FALSE(z.ZoomedIn());
  EXPECT_EQ(x, 0);
  EXPECT_EQ(y, 0);
  const struct {
    TZoom zoom;
    int factor;
  } factors[] = {{TZoom::Quarter, 40}, {TZoom::ThreeQuarter, 15}, {TZoom::Normal, 10}, {TZoom::BestFit, 10}};
  for (const auto& f : factors) {
    TZoomClick c;
    c.MouseDown(7, 3, 100);
    c.DoubleClick(200, f.zoom, 0, 0, x, y);
    EXPECT_EQ(x, 7 * f.factor);
    EXPECT_EQ(y, 3 * f.factor);
  }
}

// The level counters (position = level - 32768) and the track bars'
// maximum for the image's bits per pixel.
TEST(ImagingConsoleDisplay, LevelCountersAndMaximum) {
  EXPECT_EQ(LevelFromCounter(-32768, 32767), 0);
  EXPECT_EQ(LevelFromCounter(0, 32767), 32768);
  EXPECT_EQ(LevelFromCounter(32767, 32767), 65535);
  EXPECT_EQ(LevelFromCounter(-40000, 32767), 0);
  EXPECT_EQ(LevelFromCounter(100, 255 - 32768), 255) << "an 8-bit image's counter stops at 255";
  EXPECT_EQ(CounterFromLevel(1000), -31768);
  EXPECT_EQ(LevelMaximum(8), 255);
  EXPECT_EQ(LevelMaximum(16), 65535);
  EXPECT_EQ(LevelMaximum(-32), 65535);
}

// The exposure up-down: its starting step and the steps a camera allows.
TEST(ImagingConsole, ExposureStepsWithinTheCameraLimits) {
  EXPECT_EQ(ExposureStepPosition(1.0), 10);
  EXPECT_EQ(ExposureStepPosition(1.5), 11);
  EXPECT_EQ(ExposureStepPosition(0.0), 1);
  EXPECT_EQ(ExposureStepPosition(1000), 20);
  ConsoleFixture f;
  TCamera* cam = f.cams.Camera(1);
  ASSERT_NE(cam, nullptr);
  cam->ExposureMin = 0.01;
  cam->ExposureMax = 60;
  EXPECT_FALSE(ExposureStepAllowed(3, cam, true));  // 0.005 s
  EXPECT_TRUE(ExposureStepAllowed(4, cam, true));   // 0.01 s
  EXPECT_TRUE(ExposureStepAllowed(15, cam, true));  // 60 s
  EXPECT_FALSE(ExposureStepAllowed(16, cam, true)); // 90 s
  EXPECT_TRUE(ExposureStepAllowed(16, nullptr, true));
  EXPECT_FALSE(ExposureStepAllowed(16, nullptr, false));
  EXPECT_FALSE(ExposureStepAllowed(21, nullptr, true));
}
