// The plate solver's view of the telescope: IPlateSolveMount over the
// telescope window's logic (TTeleControl).
#pragma once

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

}  // namespace imaging
