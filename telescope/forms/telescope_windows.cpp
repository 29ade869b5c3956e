#include "telescope/forms/telescope_windows.h"

#include "telescope/forms/assist_form.h"
#include "telescope/forms/device_forms.h"
#include "telescope/forms/tele_form.h"

TTeleForm1* CreateTelescopeWindow(QWidget* owner, ITelescopeHost* host) {
  auto* tele = new TTeleControl(host, owner);
  SetTeleControl(tele);
  InstallDriverChooser();
  auto* form = new TTeleForm1(tele, nullptr, owner);
  tele->LoadSettings();
  return form;
}

namespace {

// An accessory's logic, registered as the program's, and its window; the
// settings are read once the window shows them.
template <class Form, class Control>
Form* CreateAccessoryWindow(QWidget* owner, void (*registerControl)(Control*)) {
  auto* control = new Control(owner);
  registerControl(control);
  auto* form = new Form(control, owner);
  control->LoadSettings();
  return form;
}

}  // namespace

TFilterWheelForm1* CreateFilterWheelWindow(QWidget* owner) {
  return CreateAccessoryWindow<TFilterWheelForm1>(owner, &SetFilterWheelControl);
}

TFocuserForm1* CreateFocuserWindow(QWidget* owner) {
  return CreateAccessoryWindow<TFocuserForm1>(owner, &SetFocuserControl);
}

TAssistForm1* CreateAssistWindow(QWidget* owner, TTeleForm1* teleForm) {
  // The model is read by the window, which hands it to the telescope.
  auto* assist = new TAssistForm1(teleForm ? teleForm->Control() : nullptr, owner);
  if (teleForm) teleForm->SetAssistWindow(assist);
  return assist;
}
