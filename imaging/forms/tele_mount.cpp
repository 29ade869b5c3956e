#include "imaging/forms/tele_mount.h"

#include "imaging/dsi_camera.h"
#include "platform/gui_thread.h"
#include "telescope/accessories.h"
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

TTeleControl* TTeleGuideMount::Tele() const { return tele_ ? tele_ : TeleControl(); }
bool TTeleGuideMount::Connected() { return Tele() && Tele()->Connected(); }

void TTeleGuideMount::PulseGuide(char direction, int milliseconds) {
  if (Tele()) Tele()->PulseGuide(direction, milliseconds);
}

void TTeleGuideMount::StopMove(char direction) {
  if (Tele()) Tele()->StopMove(direction);
}

bool TTeleGuideMount::SetGuideRate(int step) { return Tele() && Tele()->SetGuideRate(step); }

bool TConsoleDevices::WheelConnected() { return FilterWheelControl() && FilterWheelControl()->Connected(); }

std::vector<std::string> TConsoleDevices::FilterNames() {
  return WheelConnected() ? FilterWheelControl()->GetNames() : std::vector<std::string>{};
}

std::vector<int32_t> TConsoleDevices::FocusOffsets() {
  return WheelConnected() ? FilterWheelControl()->GetFocusOffsets() : std::vector<int32_t>{};
}

void TConsoleDevices::SetFilter(int32_t slot) {
  if (WheelConnected()) FilterWheelControl()->SetPosition(slot);
}

int32_t TConsoleDevices::FilterPosition() { return WheelConnected() ? FilterWheelControl()->GetPosition() : -999; }

bool TConsoleDevices::FocuserConnected() { return FocuserControl() && FocuserControl()->Connected(); }

void TConsoleDevices::MoveFocuser(int32_t position) {
  if (FocuserConnected()) FocuserControl()->Move(position);
}

bool TConsoleDevices::FocuserMoving() { return FocuserConnected() && FocuserControl()->IsMoving(); }

void InstallDsiCooler(bool on) {
  if (!on) {
    TDsiCamera::CoolerTemperature = nullptr;
    TDsiCamera::SetCoolerTemperature = nullptr;
    return;
  }
  TDsiCamera::CoolerTemperature = [] {
    double t = -999.0;
    platform::RunOnGuiThread([&t] {
      if (TFilterWheelControl* wheel = FilterWheelControl()) t = wheel->GetTemperature();
    });
    return t;
  };
  TDsiCamera::SetCoolerTemperature = [](double celsius) {
    platform::RunOnGuiThread([celsius] {
      if (TFilterWheelControl* wheel = FilterWheelControl()) wheel->SetTemperature(celsius);
    });
  };
}

}  // namespace imaging
