// The DSI camera library seen through a small interface. The maker's
// library does not exist on Linux, so the program ships a simulated library
// only: no real DSI camera is driven. The simulated devices answer like the
// real ones (models, gain and offset codes, the two-field interlaced read in
// big-endian words) and can be told to fail for tests.
//
// A device object is used from one worker thread only.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace imaging {

class IDsiDevice {
 public:
  virtual ~IDsiDevice() = default;
  // Opens the device with that index; false when there is none.
  virtual bool Open(int index) = 0;
  virtual bool Select() = 0;
  virtual void Release() = 0;
  virtual void Close() = 0;
  virtual uint32_t SerialNumber() = 0;
  // The device's own description (at most 20 characters are shown).
  virtual std::string DeviceText() = 0;
  // Sensor chip number (254, 404, 429, 285 or 98) and colour flag.
  virtual int Chip() = 0;
  virtual bool IsColour() = 0;
  virtual int Width() = 0;
  virtual int Height() = 0;
  virtual bool SetExposureMs(uint32_t ms) = 0;
  virtual bool SetGain(int code) = 0;    // 0..63
  virtual bool SetOffset(int code) = 0;  // as encoded by the camera
  virtual bool SetReadout(int mode, int value) = 0;
  virtual bool SetAmplifier(bool on) = 0;
  virtual bool SetSwitch2(bool on) = 0;
  virtual bool SetSwitch3(bool on) = 0;
  virtual bool StartExposure() = 0;
  virtual bool AbortExposure() = 0;
  virtual bool ImageReady() = 0;
  // Reads the two interlaced fields within the window: field 1 the even rows
  // of the window, field 2 the odd rows, each row `w` big-endian 16-bit words.
  virtual bool ReadFields(int x, int y, int w, int h, std::vector<uint8_t>& field1, std::vector<uint8_t>& field2) = 0;
  // Sensor temperature in degrees Celsius.
  virtual double Temperature() = 0;
};

// Creates device objects; the program has one installed library.
class IDsiLibrary {
 public:
  virtual ~IDsiLibrary() = default;
  virtual std::unique_ptr<IDsiDevice> CreateDevice() = 0;
};

// The simulated library: a list of simulated cameras by device index.
class SimulatedDsiLibrary : public IDsiLibrary {
 public:
  struct Camera {
    int chip = 429;
    bool colour = false;
    uint32_t serial = 1000;
    std::string text = "USB2 sim";
    int width = 752, height = 582;
    double temperature = 5.0;
    // Fault switches for tests.
    bool failSelect = false;
    bool failStart = false;
    bool neverReady = false;
    bool failRead = false;
  };
  std::unique_ptr<IDsiDevice> CreateDevice() override;

  // Thread-safe access to the camera list (devices copy their entry when
  // opened); the last settings each device received are recorded.
  void SetCameras(std::vector<Camera> cameras);
  std::vector<Camera> Cameras() const;
  struct Applied {
    uint32_t exposureMs = 0;
    int gain = -1, offset = -1, readoutMode = -1, readoutValue = -1;
    bool amplifier = false, switch2 = false, switch3 = true;
    int aborts = 0;
  };
  Applied LastApplied() const;
  void Record(const Applied& a);

 private:
  mutable std::mutex mutex_;
  std::vector<Camera> cameras_;
  Applied applied_;
};

// The installed library (by default a simulated library without cameras,
// or with NOCTRA_DSI_SIMULATOR=n cameras). Tests install their own; the
// library is not owned.
IDsiLibrary& DsiLibrary();
void SetDsiLibraryForTest(IDsiLibrary* library);

}  // namespace imaging
