// The imaging windows' view of the devices of the telescope level: the
// plate solver's and the autoguider's mount over the telescope window's
// logic (TTeleControl), the console's filter wheel and focuser, and the
// cooler of a modified DSI camera through the filter wheel.
#pragma once

#include "imaging/autoguider.h"
#include "imaging/console.h"
#include "imaging/plate_solve_logic.h"

class TTeleControl;

namespace imaging {

class TTeleMount : public IPlateSolveMount {
 public:
  // `tele` null: the program's telescope logic (TeleControl()) at each call.
  explicit TTeleMount(TTeleControl* tele = nullptr) : tele_(tele) {}
  bool Connected() override;
  bool Moving() override;
  void Position(double& ra, double& dec) override;
  void GotoTarget(double& ra, double& dec) override;
  bool CanSync() override;
  bool SyncRaDec(double ra, double dec) override;
  bool GotoRaDec(double ra, double dec) override;
  bool SetGuideRate(int step) override;
  void StartMove(char direction) override;
  void StopMove(char direction) override;

 private:
  TTeleControl* Tele() const;
  TTeleControl* tele_;
};

// The autoguider's view of the telescope.
class TTeleGuideMount : public IGuideMount {
 public:
  explicit TTeleGuideMount(TTeleControl* tele = nullptr) : tele_(tele) {}
  bool Connected() override;
  void PulseGuide(char direction, int milliseconds) override;
  void StopMove(char direction) override;
  bool SetGuideRate(int step) override;

 private:
  TTeleControl* Tele() const;
  TTeleControl* tele_;
};

// The imaging console's filter wheel and focuser: the program's focuser and
// filter-wheel logic.
class TConsoleDevices : public IConsoleDevices {
 public:
  bool WheelConnected() override;
  std::vector<std::string> FilterNames() override;
  std::vector<int32_t> FocusOffsets() override;
  void SetFilter(int32_t slot) override;
  int32_t FilterPosition() override;
  bool FocuserConnected() override;
  void MoveFocuser(int32_t position) override;
  bool FocuserMoving() override;
};

// Reaches the cooler of a modified DSI camera (TDsiCamera's cooler hooks)
// through the program's filter wheel, TFilterWheelControl's SetTemperature
// and GetTemperature; `on` false lets it go. Safe without a wheel: readings
// are then -999 (the camera falls back to its own sensor) and set-points go
// nowhere. The wheel is called on the GUI thread only, where its calls are
// made (its conversation runs on its own link); a call from another thread,
// such as a camera worker, is handed over to the GUI thread.
void InstallDsiCooler(bool on);

}  // namespace imaging
