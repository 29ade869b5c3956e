// An exposure on INDI's CCD simulator through the INDI camera driver and
// the ASCOM camera: indiserver runs indi_simulator_ccd on a free port; the
// picture arrives as FITS data of the simulator's frame size.
#include <gtest/gtest.h>

#include <QProcess>
#include <QStandardPaths>
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <QImage>
#include <chrono>
#include <cstdlib>
#include <thread>

#include "imaging/ascom_camera.h"
#include "imaging/camera_setup.h"
#include "imaging/indi_camera.h"
#include "platform/gui_thread.h"

using namespace imaging;

namespace {

// A loopback port that takes connections (or, with `bindOnly`, a free one).
int Probe(int port, bool bindOnly) {
  const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  a.sin_port = htons(uint16_t(port));
  socklen_t len = sizeof a;
  int result = 0;
  if (bindOnly) {
    if (::bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0 &&
        ::getsockname(fd, reinterpret_cast<sockaddr*>(&a), &len) == 0)
      result = ntohs(a.sin_port);
  } else {
    result = ::connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0;
  }
  ::close(fd);
  return result;
}

template <class F>
bool WaitUntil(F done, int ms) {
  const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
  while (!done()) {
    if (std::chrono::steady_clock::now() >= end) return false;
    platform::ProcessMessages();
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  return true;
}

}  // namespace

TEST(IndiCamera, ExposesOnTheCcdSimulator) {
  if (QStandardPaths::findExecutable("indiserver").isEmpty() ||
      QStandardPaths::findExecutable("indi_simulator_ccd").isEmpty()) {
    if (std::getenv("CI")) FAIL() << "indiserver or indi_simulator_ccd is missing";
    GTEST_SKIP() << "indiserver and indi_simulator_ccd (Debian package indi-bin) are not installed";
  }
  ImagingSettingsDoc().Doc.Clear();
  const int port = Probe(0, true);
  QProcess server;
  server.start("indiserver", {"-p", QString::number(port), "-u",
                              QString("/tmp/noctra-indicam-%1-%2").arg(::getpid()).arg(port), "indi_simulator_ccd"});
  ASSERT_TRUE(server.waitForStarted(5000));
  ASSERT_TRUE(WaitUntil([&] { return Probe(port, false) != 0; }, 10000));
  {
    TAscomCameraSlots window;
    window[1].name = IndiCameraId("127.0.0.1", port, "CCD Simulator");
    window.ConnectClick(1);
    TASCOMCamera* cam = window.Camera(1);
    ASSERT_NE(cam, nullptr) << "the INDI camera did not connect";
    cam->SetConnected(true);
    ASSERT_TRUE(cam->Connected());
    const int32_t w = cam->Driver().Get("CameraXSize").AsInt(), h = cam->Driver().Get("CameraYSize").AsInt();
    ASSERT_GT(w, 0);
    EXPECT_EQ(cam->GetXSize(), w);
    ASSERT_TRUE(cam->StartExposure(0.5, true));
    EXPECT_TRUE(WaitUntil(
        [&] {
          cam->Poll();
          return cam->ExposureState == 0;
        },
        30000));
    ASSERT_TRUE(cam->GetImageReady());
    TFitsBitmap& img = cam->GetImage();
    EXPECT_EQ(img.Header.NAxis1, w);
    EXPECT_EQ(img.Header.NAxis2, h);
    EXPECT_EQ(img.Width(), w);
    if (const char* dir = std::getenv("NOCTRA_IMAGING_SHOTS"))
      img.Bitmap().Image().scaled(640, 512).save(QString(dir) + "/indi_ccd.png");
    window.DisconnectClick(1);
  }
  server.terminate();
  if (!server.waitForFinished(5000)) {
    server.kill();
    server.waitForFinished(2000);
  }
  Cameras().SourceSettings.clear();
  ImagingSettingsDoc().Doc.Clear();
}
