// TDsiCamera: a DSI camera driven through its own worker thread (the
// camera library is used from that thread only). The GUI thread hands work
// over through one command code: it writes a command only while the worker
// is idle (code 1), the worker writes 1 when done. Header, pixel data,
// temperature and sizes are read only while the worker is idle.
#pragma once

#include <atomic>
#include <functional>
#include <memory>
#include <thread>

#include "imaging/camera.h"
#include "imaging/dsi_device.h"

namespace imaging {

// Worker commands.
enum DsiCommand : int {
  kDsiStart = 0,
  kDsiIdle = 1,
  kDsiCreate = 2,
  kDsiConnect = 3,
  kDsiGetTemperature = 5,
  kDsiDisconnect = 7,
  kDsiClose = 8,
  kDsiInitialize = 9,
  kDsiExpose = 10,
};

// One DSI model: name prefix, chip, mosaic kind (0 none, 1 CMYG, 2 RGGB)
// and pixel size in micrometres.
struct DsiModel {
  const char* prefix;
  int chip;
  bool colour;
  int mosaic;
  double pixelX, pixelY;
};
// The model of a chip and colour flag; nullptr for unknown chips.
const DsiModel* FindDsiModel(int chip, bool colour);

// The codes sent to the device: gain 0..1 as 0..63; offset 0..1 as
// c = Nearest(offset * 510 - 255), passed as c (c >= 0) or 256 - c.
// Values outside 0..1 are clamped first.
int DsiGainCode(double gain);
int DsiOffsetCode(double offset);

class TDsiThread {
 public:
  explicit TDsiThread(IDsiLibrary& library);
  // Posts close, stops the worker and joins it.
  ~TDsiThread();

  // Posts a command when the worker is idle and waits up to `timeoutMs`
  // (handling GUI events, 10 ms between looks) for it to finish; a command
  // that does not finish in time is asked to stop. False when the worker
  // was busy or ended, or the command did not finish in time: the caller
  // then reads nothing.
  bool SendCommand(int command, int timeoutMs = 10000);
  // Posts a command without waiting; false when the worker is not idle.
  bool Post(int command);
  bool Idle() const { return command_.load(std::memory_order_acquire) == kDsiIdle; }
  bool Ended() const { return ended_.load(std::memory_order_acquire); }
  // Asks a running exposure to stop (the device's abort is called).
  void RequestAbort() { abort_.store(true, std::memory_order_release); }
  // Set once a command was given up after its time-out, or aborted.
  bool AbortRequested() const { return abort_.load(std::memory_order_acquire); }

  // Hand-over fields: written by the GUI thread before posting, read by it
  // only while the worker is idle.
  int DeviceIndex = 0;
  double Exposure = 1.0;  // seconds
  double Gain = 1.0;
  double Offset = 0.5;
  double AmplifierThreshold = 0.9;  // seconds
  double LongThreshold = 1.0;       // model thresholds set by identification
  double ShortThreshold = 0.1;
  bool LowSpeed = false;
  int Mosaic = 0;
  int Chip = 0;
  uint32_t Serial = 0;
  std::string ModelName;
  int Width = 0, Height = 0;
  bool Connected = false;
  double Temperature = -999.0;
  bool LastFailed = false;  // the last command failed
  TFitsHeader Header;
  FitsData Data;

 private:
  void Run();
  void Act(int command);
  bool Identify();
  bool ApplySettings();
  bool ReadImage();

  IDsiLibrary& library_;
  std::unique_ptr<IDsiDevice> device_;
  std::atomic<int> command_{kDsiStart};
  std::atomic<bool> terminate_{false};
  std::atomic<bool> abort_{false};
  std::atomic<bool> ended_{false};
  std::thread thread_;
};

class TDsiCamera : public TCamera {
 public:
  // `cameraNumber` 1..3 names the camera ("DSI1", "DSI Camera #1").
  TDsiCamera(int deviceIndex, int cameraNumber, IDsiLibrary& library = DsiLibrary());
  ~TDsiCamera() override;

  bool DoConnect() override;
  void DoDisconnect() override;
  double GetCCDTemperature() override;
  void SetCCDTemperature(double celsius) override;
  void Poll() override;
  void ShowSettings() override;

  TDsiThread& Thread() { return *thread_; }

  // Margin after the exposure length before an exposure counts as failed.
  static constexpr uint64_t kTimeoutMarginMs = 30000;
  // The cooler of a modified camera, reached through the filter-wheel
  // driver (installed by the filter-wheel client; empty: none).
  static std::function<double()> CoolerTemperature;
  static std::function<void(double)> SetCoolerTemperature;
  // The settings window, installed by the forms library: it shows this
  // camera, and forgets it when the camera goes.
  static std::function<void(TDsiCamera&)> SettingsWindow;
  static std::function<void(TDsiCamera&)> CloseSettingsWindow;

 protected:
  void DriverAbort() override;

 private:
  std::unique_ptr<TDsiThread> thread_;
  uint64_t lastCoolerTick_ = 0;
};

// The DSI scan of CreateCameras: devices 0..15 of the library, at most
// three; a fourth stops the scan with the log line "Too many DSI cameras,
// Noctra Planetarium supports up to three cameras.".
std::vector<std::unique_ptr<TDsiCamera>> ScanDsiCameras(IDsiLibrary& library = DsiLibrary());

}  // namespace imaging
