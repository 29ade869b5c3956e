#include "telescope/forms/telescope_windows.h"

#include "telescope/forms/assist_form.h"
#include "telescope/forms/device_forms.h"
#include "telescope/forms/tele_form.h"

TTelescopeWindows CreateTelescopeWindows(QWidget* owner, ITelescopeHost* host) {
  auto* tele = new TTeleControl(host, owner);
  auto* focuser = new TFocuserControl(owner);
  auto* wheel = new TFilterWheelControl(owner);
  SetTeleControl(tele);
  SetFocuserControl(focuser);
  SetFilterWheelControl(wheel);
  InstallDriverChooser();
  TTelescopeWindows w;
  w.AssistForm1 = new TAssistForm1(tele, owner);
  w.TeleForm1 = new TTeleForm1(tele, w.AssistForm1, owner);
  w.FocuserForm1 = new TFocuserForm1(focuser, owner);
  w.FilterWheelForm1 = new TFilterWheelForm1(wheel, owner);
  focuser->LoadSettings();
  wheel->LoadSettings();
  tele->LoadSettings();
  return w;
}
