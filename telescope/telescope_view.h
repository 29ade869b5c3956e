// What the chart and the main window read of the telescope and its
// accessories: whether a mount is connected, its position for the chart's
// telescope marker, whether the pointing model is switched on and its
// correction for a position, and the accessories' connected flags. All
// answer "nothing connected" before the device windows exist.
#pragma once

struct TTelescopeMarker {
  bool connected = false;  // a mount is connected
  double ra = 0, dec = 0;  // its position, radians, in the chart's epoch
  bool useAssist = false;  // the goto-assist pointing model is switched on
};

// The mount as last polled (GUI thread).
TTelescopeMarker TelescopeMarker();
// The pointing-model corrections (radians) the chart adds to the marker
// (zero while the model is off or no mount is connected).
void TelescopePointingCorrection(double ra, double dec, double& dHa, double& dDec);
bool FocuserConnected();
bool FilterWheelConnected();
