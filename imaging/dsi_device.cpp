#include "imaging/dsi_device.h"

#include <chrono>
#include <cmath>
#include <cstdlib>

namespace imaging {

namespace {

// A simulated camera: exposures take their time on the steady clock; the
// picture is a sky level with one star whose brightness grows with the
// exposure and the gain.
class SimulatedDsiDevice : public IDsiDevice {
 public:
  explicit SimulatedDsiDevice(SimulatedDsiLibrary& lib) : lib_(lib) {}
  bool Open(int index) override {
    const auto cams = lib_.Cameras();
    if (index < 0 || index >= int(cams.size())) return false;
    cam_ = cams[std::size_t(index)];
    index_ = index;
    open_ = true;
    return true;
  }
  bool Select() override { return open_ && !Faults().failSelect; }
  void Release() override {}
  void Close() override { open_ = false; }
  uint32_t SerialNumber() override { return cam_.serial; }
  std::string DeviceText() override { return cam_.text; }
  int Chip() override { return cam_.chip; }
  bool IsColour() override { return cam_.colour; }
  int Width() override { return cam_.width; }
  int Height() override { return cam_.height; }
  bool SetExposureMs(uint32_t ms) override { applied_.exposureMs = ms; return open_; }
  bool SetGain(int code) override { applied_.gain = code; return open_; }
  bool SetOffset(int code) override { applied_.offset = code; return open_; }
  bool SetReadout(int mode, int value) override {
    applied_.readoutMode = mode;
    applied_.readoutValue = value;
    return open_;
  }
  bool SetAmplifier(bool on) override { applied_.amplifier = on; return open_; }
  bool SetSwitch2(bool on) override { applied_.switch2 = on; return open_; }
  bool SetSwitch3(bool on) override { applied_.switch3 = on; return open_; }
  bool StartExposure() override {
    applied_.aborts = lib_.LastApplied().aborts;
    lib_.Record(applied_);
    if (!open_ || Faults().failStart) return false;
    start_ = std::chrono::steady_clock::now();
    exposing_ = true;
    return true;
  }
  bool AbortExposure() override {
    exposing_ = false;
    applied_.aborts++;
    lib_.Record(applied_);
    return true;
  }
  bool ImageReady() override {
    if (!exposing_ || Faults().neverReady) return false;
    return std::chrono::steady_clock::now() - start_ >= std::chrono::milliseconds(applied_.exposureMs);
  }
  bool ReadFields(int x, int y, int w, int h, std::vector<uint8_t>& f1, std::vector<uint8_t>& f2) override {
    if (!open_ || Faults().failRead || w <= 0 || h <= 0 || x < 0 || y < 0 || x + w > cam_.width || y + h > cam_.height)
      return false;
    exposing_ = false;
    f1.assign(std::size_t(w) * ((h + 1) / 2) * 2, 0);
    f2.assign(std::size_t(w) * (h / 2) * 2, 0);
    const double level = std::min(1.0, applied_.exposureMs / 10000.0) * (1 + applied_.gain / 63.0);
    for (int r = 0; r < h; ++r)
      for (int c = 0; c < w; ++c) {
        const double dx = c - w / 2.0, dy = r - h / 2.0;
        const double v = 500 + 100 * (r & 1) + 20000 * level * std::exp(-(dx * dx + dy * dy) / 8.0);
        const uint16_t word = uint16_t(std::min(65535.0, v));
        std::vector<uint8_t>& f = (r % 2 == 0) ? f1 : f2;
        const std::size_t i = (std::size_t(r / 2) * w + c) * 2;
        f[i] = uint8_t(word >> 8);
        f[i + 1] = uint8_t(word);
      }
    return true;
  }
  double Temperature() override { return cam_.temperature; }

 private:
  // The fault switches are read at each call, so tests can change them
  // while the device is open.
  SimulatedDsiLibrary::Camera Faults() const {
    const auto cams = lib_.Cameras();
    return index_ < int(cams.size()) ? cams[std::size_t(index_)] : cam_;
  }
  SimulatedDsiLibrary& lib_;
  SimulatedDsiLibrary::Camera cam_;
  int index_ = 0;
  SimulatedDsiLibrary::Applied applied_;
  bool open_ = false;
  bool exposing_ = false;
  std::chrono::steady_clock::time_point start_;
};

IDsiLibrary* g_library = nullptr;

}  // namespace

std::unique_ptr<IDsiDevice> SimulatedDsiLibrary::CreateDevice() { return std::make_unique<SimulatedDsiDevice>(*this); }

void SimulatedDsiLibrary::SetCameras(std::vector<Camera> cameras) {
  std::lock_guard lock(mutex_);
  cameras_ = std::move(cameras);
}

std::vector<SimulatedDsiLibrary::Camera> SimulatedDsiLibrary::Cameras() const {
  std::lock_guard lock(mutex_);
  return cameras_;
}

SimulatedDsiLibrary::Applied SimulatedDsiLibrary::LastApplied() const {
  std::lock_guard lock(mutex_);
  return applied_;
}

void SimulatedDsiLibrary::Record(const Applied& a) {
  std::lock_guard lock(mutex_);
  applied_ = a;
}

IDsiLibrary& DsiLibrary() {
  static SimulatedDsiLibrary fallback;
  static std::once_flag once;
  std::call_once(once, [] {
    int n = 0;
    if (const char* env = std::getenv("NOCTRA_DSI_SIMULATOR")) n = std::atoi(env);
    std::vector<SimulatedDsiLibrary::Camera> cams;
    for (int i = 0; i < n && i < 16; ++i) {
      SimulatedDsiLibrary::Camera c;
      c.serial = 1000 + uint32_t(i);
      cams.push_back(c);
    }
    fallback.SetCameras(cams);
  });
  return g_library ? *g_library : fallback;
}

void SetDsiLibraryForTest(IDsiLibrary* library) { g_library = library; }

}  // namespace imaging
