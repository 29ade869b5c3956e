// The camera settings windows store what the user sets in the camera's
// settings record.
#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QSpinBox>
#include <QTimer>
#include <cstdlib>
#include <memory>

#include "imaging/forms/ascom_camera_forms.h"
#include "imaging/forms/camera_settings_forms.h"
#include "platform/dialogs.h"
#include "platform/registry.h"
#include "platform/single_window.h"

using namespace imaging;

namespace {

struct FreshSettings {
  FreshSettings() { ImagingSettingsDoc().Doc.Clear(); }
  ~FreshSettings() { ImagingSettingsDoc().Doc.Clear(); }
};

// Saves a window's picture when NOCTRA_IMAGING_SHOTS names a folder.
void Shot(QWidget& w, const char* name) {
  if (const char* dir = std::getenv("NOCTRA_IMAGING_SHOTS")) {
    w.adjustSize();
    w.grab().save(QString(dir) + "/" + name + ".png");
  }
}

// The program's three windows, with the cameras routed to them as the
// program routes them; the routes are put back and the windows freed at
// the end.
class ProgramWindows {
 public:
  ProgramWindows()
      : iff_(TIFFCamera::SettingsWindow),
        iffClose_(TIFFCamera::CloseSettingsWindow),
        vfw_(TVFWCamera::SettingsWindow),
        vfwClose_(TVFWCamera::CloseSettingsWindow),
        dsi_(TDsiCamera::SettingsWindow),
        dsiClose_(TDsiCamera::CloseSettingsWindow) {
    platform::SingleWindow(VfwCameraSettingsForm1, nullptr);
    platform::SingleWindow(DsiCameraSettingsForm1, nullptr);
    platform::SingleWindow(IFFCameraSettingsForm1, nullptr);
    InstallCameraSettingsWindows(true);
  }
  ~ProgramWindows() {
    delete VfwCameraSettingsForm1;
    delete DsiCameraSettingsForm1;
    delete IFFCameraSettingsForm1;
    TIFFCamera::SettingsWindow = iff_;
    TIFFCamera::CloseSettingsWindow = iffClose_;
    TVFWCamera::SettingsWindow = vfw_;
    TVFWCamera::CloseSettingsWindow = vfwClose_;
    TDsiCamera::SettingsWindow = dsi_;
    TDsiCamera::CloseSettingsWindow = dsiClose_;
  }

 private:
  std::function<void(TIFFCamera&)> iff_, iffClose_;
  std::function<void(TVFWCamera&)> vfw_, vfwClose_;
  std::function<void(TDsiCamera&)> dsi_, dsiClose_;
};

// Runs `visit` on the modal window once its loop runs, then closes the
// window if it is still open (`leftOpen` says so), so that a show always
// returns.
class WhileModal {
 public:
  explicit WhileModal(std::function<void(QWidget*)> visit) {
    timer_.setSingleShot(true);
    QObject::connect(&timer_, &QTimer::timeout, [this, visit = std::move(visit)] {
      QWidget* w = QApplication::activeModalWidget();
      visit(w);
      if (w && w->isVisible()) {
        leftOpen = true;
        w->close();
      }
    });
    timer_.start(0);
  }
  bool leftOpen = false;

 private:
  QTimer timer_;
};

}  // namespace

TEST(CameraForms, VideoWindowStoresBitsPortAndSwitches) {
  FreshSettings fresh;
  TVFWCamera cam(1);
  cam.Settings.ExInterval = 5000;
  cam.Settings.AccOnVal = 0x05;
  TVfwCameraSettingsForm1 f;
  f.TakeCamera(cam);
  Shot(f, "vfw_settings");
  EXPECT_EQ(cam.Settings.ExInterval, 1000);  // opening sets 1000 ms
  EXPECT_EQ(f.CameraName->text(), "VFW Camera #2");
  EXPECT_EQ(ByteDigits(0x05), "00000101");
  EXPECT_FALSE(f.AOn[0]->isEnabled());  // long-exposure controls follow the box
  f.SCCheckBox1->setChecked(true);
  EXPECT_TRUE(cam.Settings.ModifiedCamera);
  EXPECT_TRUE(f.AOn[0]->isEnabled());
  f.AOn[0]->click();  // highest bit
  f.AOn[7]->click();  // lowest bit off
  EXPECT_EQ(cam.Settings.AccOnVal, 0x84);
  f.LxPortComboBox1->setCurrentIndex(4);
  EXPECT_EQ(cam.Settings.LxPort, 760);
  EXPECT_EQ(cam.Settings.PortIndex, 4);
}

TEST(CameraForms, DsiWindowShowsAndStoresGainAndOffset) {
  FreshSettings fresh;
  SimulatedDsiLibrary lib;
  SimulatedDsiLibrary::Camera c;
  c.width = 32;
  c.height = 24;
  lib.SetCameras({c});
  TDsiCamera cam(0, 1, lib);
  cam.Settings.Gain = 0.37;
  cam.Settings.Offset = 50.0;  // a new element's default: shown at the bar's end
  TDsiCameraSettingsForm1 f;
  f.TakeCamera(cam);
  Shot(f, "dsi_settings");
  EXPECT_EQ(f.Gain->value(), 37);
  EXPECT_EQ(f.GainLabel->text(), "Gain 37%:");
  EXPECT_EQ(f.Offset->value(), 100);
  f.Offset->setValue(42);
  EXPECT_EQ(cam.Settings.Offset, 0.42);
  EXPECT_EQ(f.OffsetLabel->text(), "Offset 42:");
  EXPECT_EQ(f.Temperature->text(), "Temperature: Unknown");
  f.TarvelCamera->setChecked(true);
  f.Timer1Timer();
  EXPECT_EQ(f.Temperature->text(), "Temperature: 5.0");  // the camera's own sensor
}

TEST(CameraForms, ImageFileWindowChoosesThePathAndReadsPixelSizes) {
  FreshSettings fresh;
  platform::ScopedScriptedDialogs dialogs;
  TIFFCamera cam;
  TIFFCameraSettingsForm1 f;
  f.TakeCamera(cam);
  Shot(f, "iff_settings");
  platform::FileDialogResult r;
  r.accepted = true;
  r.fileName = "/data/images/m31.fts";
  dialogs.QueueFile(r);
  f.OpenPathDialog->click();
  EXPECT_EQ(cam.Settings.Name, "/data/images/m31.fts");
  EXPECT_EQ(dialogs.Last().file.filter, "Image|*.jpg;*.jpeg;*.bmp|Fits Image|*.fts;*.fit;*.fits");
  f.AutoLoad->setChecked(true);
  EXPECT_TRUE(cam.Settings.ModifiedCamera);
  f.PxWidth->setText("6.45");
  f.PxHeight->setText("not a number");
  f.accept();
  EXPECT_EQ(cam.Settings.PixelSizeX, 6.45);
  EXPECT_EQ(cam.Settings.PixelSizeY, 5.6);  // unchanged
  // A size no sensor has (not above 0, beyond 1000 µm) keeps the last one.
  for (const char* typed : {"-1e308", "0", "1e308", "1000.5"}) {
    f.PxWidth->setText(typed);
    f.accept();
    EXPECT_EQ(cam.Settings.PixelSizeX, 6.45) << typed;
  }
}

// The window shows the drivers chosen in an earlier run; Connect says which
// is missing: a driver that cannot be made, or none chosen at all.
TEST(CameraForms, AscomWindowsShowTheSlotsAndTheDriver) {
  FreshSettings fresh;
  platform::ScopedScriptedDialogs dialogs;
  {
    platform::TRegIniFile reg;
    reg.WriteString("ASCOM", "ASCOMCAMERA1_NAME", "No.Such.Driver");
    reg.WriteString("ASCOM", "ASCOMCAMERA2_NAME", "");
  }
  TAscomCameraSlots logic;
  TAscomCameraForm1 f(logic);
  Shot(f, "ascom_cameras");
  EXPECT_EQ(f.Name1->text(), "No.Such.Driver");
  EXPECT_FALSE(f.Disconnect1->isEnabled());
  f.Connect1->click();
  const std::string noDrivers = "ASCOM drivers couldn't be found, visit https://ascom-standards.org\r\n";
  EXPECT_EQ(dialogs.Last().text, noDrivers + "Invalid class string: \"No.Such.Driver\"");
  EXPECT_TRUE(f.Connect1->isEnabled());
  // A malformed INDI identifier (camera or telescope form) adds what is
  // wrong with it.
  logic[1].name = "INDICAM:127.0.0.1:port:CCD Simulator";
  f.Connect1->click();
  EXPECT_EQ(dialogs.Last().text, noDrivers + "Invalid INDI identifier \"INDICAM:127.0.0.1:port:CCD Simulator\": "
                                             "the port \"port\" is not a number from 1 to 65535");
  logic[1].name = "INDI:127.0.0.1:7624:";
  f.Connect1->click();
  EXPECT_EQ(dialogs.Last().text, noDrivers + "Invalid INDI identifier \"INDICAM:127.0.0.1:7624:\": no device name");
  EXPECT_FALSE(logic[1].connected);
  EXPECT_TRUE(f.Connect1->isEnabled());
  f.Connect2->click();
  EXPECT_EQ(dialogs.Last().text, "No driver is chosen for ASCOM Camera #2: choose one with \"Select Camera #2\" first.");
  EXPECT_FALSE(logic[2].connected);
  EXPECT_TRUE(f.Connect2->isEnabled());
}

// The one video window made at start serves each camera in turn: the
// second opening shows the second camera's values, and what is changed
// then reaches that camera alone, the exposure limits too.
TEST(CameraForms, OneVideoWindowServesTwoCamerasInTurn) {
  FreshSettings fresh;
  ProgramWindows windows;
  TVFWCamera first(0), second(1);
  first.Settings.ExStart = 100;
  first.Settings.AccMask = 0x01;
  first.Settings.Invert = true;
  first.Settings.PortIndex = 2;
  second.Settings.ExStart = 250;
  second.Settings.AccMask = 0x80;
  second.Settings.ModifiedCamera = true;  // limits applied when the window closes
  second.Settings.PortIndex = 5;
  TVfwCameraSettingsForm1* shown = nullptr;
  {
    WhileModal visit([&](QWidget* w) {
      shown = qobject_cast<TVfwCameraSettingsForm1*>(w);
      if (!shown) return;
      EXPECT_EQ(shown->CameraName->text(), "VFW Camera #1");
      EXPECT_EQ(shown->ExStart->value(), 100);
      EXPECT_EQ(shown->AMask[7]->text(), "1");
      EXPECT_TRUE(shown->Invert->isChecked());
      EXPECT_EQ(shown->LxPortComboBox1->currentIndex(), 2);
      shown->Mirror->setChecked(true);
      shown->reject();
    });
    first.ShowSettings();
    EXPECT_FALSE(visit.leftOpen);
  }
  ASSERT_EQ(shown, VfwCameraSettingsForm1);
  EXPECT_TRUE(first.Settings.Mirror);
  {
    WhileModal visit([&](QWidget* w) {
      ASSERT_EQ(w, VfwCameraSettingsForm1);
      TVfwCameraSettingsForm1& f = *VfwCameraSettingsForm1;
      EXPECT_EQ(f.CameraName->text(), "VFW Camera #2");
      EXPECT_EQ(f.ExStart->value(), 250);
      EXPECT_EQ(f.AMask[0]->text(), "1");
      EXPECT_EQ(f.AMask[7]->text(), "0");
      EXPECT_FALSE(f.Invert->isChecked());
      EXPECT_FALSE(f.Mirror->isChecked());
      EXPECT_EQ(f.LxPortComboBox1->currentIndex(), 5);
      EXPECT_TRUE(f.AOn[0]->isEnabled());
      f.ExStart->setValue(300);
      f.AOn[0]->click();
      f.Mirror->setChecked(true);
      f.LxPortComboBox1->setCurrentIndex(3);
      f.accept();
    });
    second.ShowSettings();
    EXPECT_FALSE(visit.leftOpen);
  }
  EXPECT_EQ(second.Settings.ExStart, 300);
  EXPECT_EQ(second.Settings.AccOnVal, 0x81);
  EXPECT_TRUE(second.Settings.Mirror);
  EXPECT_EQ(second.Settings.PortIndex, 3);
  EXPECT_EQ(second.ExposureMax, 900.0);
  // The first camera keeps what it had.
  EXPECT_EQ(first.Settings.ExStart, 100);
  EXPECT_EQ(first.Settings.AccOnVal, 1);
  EXPECT_EQ(first.Settings.PortIndex, 2);
  EXPECT_EQ(first.ExposureMax, 0.2);
  EXPECT_EQ(VfwCameraSettingsForm1->ShownCamera(), &second);
}

// The DSI and image-file windows likewise: filled from the camera they
// take, storing into it and not into the one shown before.
TEST(CameraForms, DsiAndImageFileWindowsStoreIntoTheCameraShown) {
  FreshSettings fresh;
  SimulatedDsiLibrary lib;
  lib.SetCameras({SimulatedDsiLibrary::Camera{}, SimulatedDsiLibrary::Camera{}});
  TDsiCamera dsiA(0, 1, lib), dsiB(1, 2, lib);
  dsiA.Settings.Name = "DSI Pro";
  dsiB.Settings.Name = "DSI Color II";
  dsiA.Settings.Gain = 0.37;
  dsiA.Settings.ModifiedCamera = true;
  dsiA.Settings.Offset = 0.1;
  dsiB.Settings.Gain = 0.8;
  dsiB.Settings.ModifiedCamera = false;
  TDsiCameraSettingsForm1 dsi;
  dsi.TakeCamera(dsiA);
  EXPECT_EQ(dsi.Gain->value(), 37);
  EXPECT_TRUE(dsi.TarvelCamera->isChecked());
  dsi.TakeCamera(dsiB);
  EXPECT_EQ(dsi.CameraName->text(), "DSI Color II");
  EXPECT_EQ(dsi.Gain->value(), 80);
  EXPECT_EQ(dsi.GainLabel->text(), "Gain 80%:");
  EXPECT_FALSE(dsi.TarvelCamera->isChecked());
  EXPECT_FALSE(dsi.SetPointTemp->isEnabled());
  dsi.Offset->setValue(42);
  dsi.TarvelCamera->setChecked(true);
  EXPECT_EQ(dsiB.Settings.Offset, 0.42);
  EXPECT_TRUE(dsiB.Settings.ModifiedCamera);
  EXPECT_EQ(dsiA.Settings.Offset, 0.1);
  EXPECT_EQ(dsiA.Settings.Gain, 0.37);

  TIFFCamera fileA, fileB;
  fileA.Settings.Name = "/images/a";
  fileB.Settings.Name = "/images/b";
  fileB.Settings.PixelSizeX = 3.8;
  TIFFCameraSettingsForm1 file;
  file.TakeCamera(fileA);
  file.PxWidth->setText("7.4");
  file.accept();
  file.TakeCamera(fileB);
  EXPECT_EQ(file.Path->text(), "/images/b");
  EXPECT_EQ(file.PxWidth->text(), "3.8");
  file.AutoLoad->setChecked(true);
  file.PxWidth->setText("9.1");
  file.accept();
  EXPECT_EQ(fileA.Settings.PixelSizeX, 7.4);
  EXPECT_FALSE(fileA.Settings.ModifiedCamera);
  EXPECT_EQ(fileB.Settings.PixelSizeX, 9.1);
  EXPECT_TRUE(fileB.Settings.ModifiedCamera);
}

// A camera that goes is forgotten by the window showing it: an open window
// closes (its camera's show returns), and nothing the window does later
// reaches the freed camera. A window showing another camera keeps it.
TEST(CameraForms, WindowsForgetACameraThatGoes) {
  FreshSettings fresh;
  ProgramWindows windows;
  // Freed while its window is open modally, from inside the window's loop.
  auto video = std::make_unique<TVFWCamera>(0);
  TVFWCamera* shownVideo = video.get();
  {
    WhileModal visit([&](QWidget* w) {
      ASSERT_EQ(w, VfwCameraSettingsForm1);
      video.reset();
      EXPECT_EQ(VfwCameraSettingsForm1->ShownCamera(), nullptr);
      VfwCameraSettingsForm1->Invert->setChecked(true);
      VfwCameraSettingsForm1->ExStart->setValue(500);
    });
    shownVideo->ShowSettings();  // returns with the camera gone
    EXPECT_FALSE(visit.leftOpen);
  }
  EXPECT_FALSE(VfwCameraSettingsForm1->isVisible());

  // Freed while its window is hidden; another camera's going changes nothing.
  SimulatedDsiLibrary lib;
  lib.SetCameras({SimulatedDsiLibrary::Camera{}, SimulatedDsiLibrary::Camera{}});
  auto dsi = std::make_unique<TDsiCamera>(0, 1, lib);
  auto other = std::make_unique<TDsiCamera>(1, 2, lib);
  dsi->Settings.ModifiedCamera = true;
  TDsiCameraSettingsForm1& d = *DsiCameraSettingsForm1;
  d.TakeCamera(*dsi);
  other.reset();
  EXPECT_EQ(d.ShownCamera(), dsi.get());
  dsi.reset();
  EXPECT_EQ(d.ShownCamera(), nullptr);
  d.show();
  d.Timer1Timer();
  d.Gain->setValue(12);
  d.TarvelCamera->setChecked(false);
  d.reject();

  // Freed while shown beside the others: hidden, the pixel sizes not read.
  auto file = std::make_unique<TIFFCamera>();
  TIFFCameraSettingsForm1& f = *IFFCameraSettingsForm1;
  f.TakeCamera(*file);
  f.show();
  f.PxWidth->setText("4.4");
  file.reset();
  EXPECT_FALSE(f.isVisible());
  EXPECT_EQ(f.ShownCamera(), nullptr);
  f.MonoCamera->setChecked(true);
}

// The readouts' timers run only while their window is shown.
TEST(CameraForms, TimersRunOnlyWhileTheWindowIsShown) {
  FreshSettings fresh;
  SimulatedDsiLibrary lib;
  lib.SetCameras({SimulatedDsiLibrary::Camera{}});
  TDsiCamera cam(0, 1, lib);
  TVFWCamera video(0);
  // Taken, shown, hidden, shown again and ended as a dialog.
  auto check = [](QDialog& window, const QTimer& timer, const char* name) {
    SCOPED_TRACE(name);
    EXPECT_FALSE(timer.isActive());
    window.show();
    EXPECT_TRUE(timer.isActive());
    window.hide();
    EXPECT_FALSE(timer.isActive());
    window.show();
    window.reject();
    EXPECT_FALSE(timer.isActive());
  };
  TDsiCameraSettingsForm1 dsi;
  dsi.TakeCamera(cam);
  check(dsi, dsi.Timer1, "DSI");
  TVfwCameraSettingsForm1 vfw;
  vfw.TakeCamera(video);
  check(vfw, vfw.StatusTimer, "video");
}
