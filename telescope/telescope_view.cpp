#include "telescope/telescope_view.h"

#include "telescope/accessories.h"
#include "telescope/tele_control.h"

TTelescopeMarker TelescopeMarker() {
  TTelescopeMarker m;
  const TTeleControl* t = TeleControl();
  if (!t || !t->Connected()) return m;
  m.connected = true;
  m.ra = t->RightAscension();
  m.dec = t->Declination();
  m.useAssist = t->useAssist;
  return m;
}

void TelescopePointingCorrection(double ra, double dec, double& dHa, double& dDec) {
  dHa = dDec = 0;
  TTeleControl* t = TeleControl();
  if (t && t->Connected() && t->useAssist) t->ChartPointingCorrection(ra, dec, dHa, dDec);
}

bool FocuserConnected() { return FocuserControl() && FocuserControl()->Connected(); }
bool FilterWheelConnected() { return FilterWheelControl() && FilterWheelControl()->Connected(); }
