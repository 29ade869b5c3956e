#include "imaging/forms/tele_mount.h"

#include "telescope/tele_control.h"

namespace imaging {

TTeleControl* TTeleMount::Tele() const { return tele_ ? tele_ : TeleControl(); }

bool TTeleMount::Connected() { return Tele() && Tele()->Connected(); }
bool TTeleMount::Moving() { return Tele() && Tele()->GotoInProgress(); }

void TTeleMount::Position(double& ra, double& dec) {
  if (!Tele()) return;
  ra = Tele()->RightAscension();
  dec = Tele()->Declination();
}

void TTeleMount::GotoTarget(double& ra, double& dec) {
  if (Tele()) Tele()->GetGotoTarget(ra, dec);
}

bool TTeleMount::CanSync() { return Tele() && Tele()->CanSync(); }
bool TTeleMount::SyncRaDec(double ra, double dec) { return Tele() && Tele()->SyncRaDec(ra, dec); }
bool TTeleMount::GotoRaDec(double ra, double dec) { return Tele() && Tele()->GotoRaDec(ra, dec); }
bool TTeleMount::SetGuideRate(int step) { return Tele() && Tele()->SetGuideRate(step); }

void TTeleMount::StartMove(char direction) {
  if (Tele()) Tele()->StartMove(direction);
}

void TTeleMount::StopMove(char direction) {
  if (Tele()) Tele()->StopMove(direction);
}

}  // namespace imaging
