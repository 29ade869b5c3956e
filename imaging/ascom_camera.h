// ASCOM-style camera drivers through the late-bound driver layer
// (platform/automation: the built-in simulators and INDI devices answer the
// same member names). Up to two drivers, "ASCOM Camera #1" and "#2", are
// chosen, connected and disconnected by the "ASCOM Cameras" window, whose
// logic is TAscomCameraSlots; a connected driver gets a TASCOMCamera.
//
// The image array: "ImageArrayVariant" reads as an integer array of
// NumX x NumY (x NumPlanes) samples, x fastest, then y, then the plane;
// its length tells 2 dimensions (one plane) from 3 (three planes).
#pragma once

#include <array>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "imaging/camera.h"
#include "platform/automation.h"

namespace imaging {

class TASCOMCamera : public TCamera {
 public:
  TASCOMCamera(int slot, platform::TAutomationRef driver);
  ~TASCOMCamera() override;

  bool DoConnect() override;
  void DoDisconnect() override;
  double GetCCDTemperature() override;
  void SetCCDTemperature(double celsius) override;
  // Puts the gain (clamped to the driver's range; a failing put is skipped)
  // and calls the driver's StartExposure. False when the driver refuses.
  bool StartExposure(double seconds, bool light) override;
  void Poll() override;
  void ShowSettings() override;

  int Slot() const { return slot_; }

  // A binning list changed (list index 0 = bin 1): puts "BinX" (or "BinY"),
  // and "BinY" alike when the camera cannot bin asymmetrically, then the
  // sensor area "NumX" := "CameraXSize" div "BinX" (or Y) and the sensor
  // size. Returns the indices the two lists show afterwards (a refused
  // binning shows index 1).
  std::pair<int, int> BinChange(bool xAxis, int index);
  platform::IAutomationObject& Driver() { return *driver_; }

  // Margin after the exposure length before the exposure counts as failed.
  static constexpr uint64_t kTimeoutMarginMs = 60000;
  static std::function<void(TASCOMCamera&)> SettingsWindow;
  // Closes the camera's settings window should it be open (it holds the
  // camera): called as the camera is destroyed, when its slot is
  // disconnected (the watch finds the link gone while the window is open).
  static std::function<void(TASCOMCamera&)> CloseSettingsWindow;

  // Builds 16-bit FITS data from the driver's image array; raises
  // ECameraError with the download texts.
  void Download(TFitsHeader& h, FitsData& d);

 protected:
  void DriverAbort() override;

 private:
  // Ends the exposure with `text` (FailExposure); a driver that then
  // reports its link gone has lost the camera (LoseConnection).
  void Fail(const std::string& text);
  // A guarded driver call: a failure is logged ("[Ascom.Camera] ...") and
  // gives `fallback`.
  platform::TVariant Get(const std::string& member, const platform::TVariant& fallback);
  bool Put(const std::string& member, const platform::TVariant& value);

  int slot_;
  platform::TAutomationRef driver_;
  TFitsHeader header_;
  FitsData data_;
};

// Who must know when a camera comes or goes: the imaging console, the
// autoguider and the plate solver register here. `remove` releases the
// camera (disconnect, token back) before it is destroyed; its second
// argument says why the camera goes (a consumer using it tells the user).
struct TCameraConsumer {
  std::function<void(const std::string&)> add;
  std::function<void(const std::string& name, const std::string& reason)> remove;
  // True when the consumer has chosen the camera of that name.
  std::function<bool(const std::string&)> selected;
};
// True when any consumer has chosen the camera (its binning is then left
// alone).
bool CameraInUse(const std::string& listName);
std::vector<TCameraConsumer>& CameraConsumers();

// The logic of the "ASCOM Cameras" window (TAscomCameraForm1).
class TAscomCameraSlots {
 public:
  struct Slot {
    std::string name;  // driver identifier (Name1 / Name2)
    bool connected = false;
    platform::TAutomationRef driver;
    std::unique_ptr<TASCOMCamera> camera;
    bool connectEnabled = true, selectEnabled = true, disconnectEnabled = false;
    bool shapeGreen = false;
    // A disconnect asked for while a call of the camera's was waiting for
    // its device (the GUI thread handling events inside it): done by the
    // next watch outside such a wait, with this reason.
    std::optional<std::string> pendingDisconnect;
  };

  TAscomCameraSlots();
  ~TAscomCameraSlots();  // disconnects both slots

  Slot& operator[](int n) { return slots_[std::size_t(n - 1)]; }
  TASCOMCamera* Camera(int n) { return slots_[std::size_t(n - 1)].camera.get(); }

  // Registry "ASCOM": "ASCOMCAMERA1_NAME", "ASCOMCAMERA2_NAME".
  void LoadSettings();
  void SaveSettings() const;

  void SelectClick(int n);
  void ConnectClick(int n);
  void DisconnectClick(int n);
  // The program's end: both slots disconnected, the consumers told that
  // the program ends (not that the user pressed Disconnect).
  void DisconnectAtEnd();
  // Once a second: a slot whose driver reports not connected is
  // disconnected, the loss logged with its reason first ("Error,
  // connection lost (#1): INDI server connection lost").
  void Timer1Timer();

 private:
  // Disconnects slot n; the consumers are told `reason`. A driver whose
  // disconnect raises (an INDI camera whose server did not answer within
  // its wait, which it has let go) is let go all the same, its failure
  // logged; one that answers and still reads connected keeps the slot,
  // and the log says so.
  void Disconnect(int n, const std::string& reason, bool atEnd = false);
  std::array<Slot, 2> slots_;
};

// The window's logic for the program (created with the window).
TAscomCameraSlots* AscomCameraSlots();
void SetAscomCameraSlots(TAscomCameraSlots* control);

}  // namespace imaging
