// The plate solver's view of the telescope: IPlateSolveMount over the
// telescope window's logic (TTeleControl).
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

}  // namespace imaging
