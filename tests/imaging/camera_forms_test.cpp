// The camera settings windows store what the user sets in the camera's
// settings record.
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollBar>
#include <cstdlib>

#include "imaging/forms/ascom_camera_forms.h"
#include "imaging/forms/camera_settings_forms.h"
#include "platform/dialogs.h"
#include "platform/registry.h"

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

}  // namespace

TEST(CameraForms, VideoWindowStoresBitsPortAndSwitches) {
  FreshSettings fresh;
  TVFWCamera cam(1);
  cam.Settings.ExInterval = 5000;
  cam.Settings.AccOnVal = 0x05;
  TVfwCameraSettingsForm1 f(cam);
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
  TDsiCameraSettingsForm1 f(cam);
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
  TIFFCameraSettingsForm1 f(cam);
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
