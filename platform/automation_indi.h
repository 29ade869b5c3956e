// INDI devices behind the driver interface, through the INDI client
// library (libindiclient). An identifier "INDI:host:port:device name"
// ("INDI:127.0.0.1:7624:Telescope Simulator") names one device of an INDI
// server; the member calls of mounts, focusers and filter wheels map onto the
// standard INDI properties:
//   Connected            CONNECTION (CONNECT / DISCONNECT); reading it
//                        watches the server (a server silent to pings for
//                        10 s ends the link); a disconnect the server or
//                        the device does not answer within the reply wait
//                        closes the server connection and raises with the
//                        reason
//   DriverInfo           DRIVER_INFO
//   RightAscension, Declination   EQUATORIAL_EOD_COORD (hours, degrees; of date,
//                        so EquatorialSystem reads 1, local topocentric)
//   SlewToCoordinates[Async], SyncToCoordinates   ON_COORD_SET TRACK / SYNC,
//                        then EQUATORIAL_EOD_COORD; Slewing = that property busy
//   Tracking             TELESCOPE_TRACK_STATE
//   Park, UnPark, SetPark, AtPark   TELESCOPE_PARK, TELESCOPE_PARK_OPTION
//   SideOfPier           TELESCOPE_PIER_SIDE
//   UTCDate              TIME_UTC; SiteLatitude, SiteLongitude  GEOGRAPHIC_COORD
//   GuideRateRightAscension, GuideRateDeclination   GUIDE_RATE (x sidereal,
//                        given to callers in degrees per second)
//   PulseGuide           TELESCOPE_TIMED_GUIDE_NS / _WE
//   focuser Position, Move, IsMoving, MaxIncrement, Absolute
//                        ABS_FOCUS_POSITION, REL_FOCUS_POSITION, FOCUS_MOTION, FOCUS_MAX
//   wheel Position, Names, FocusOffsets   FILTER_SLOT (1-based there), FILTER_NAME
// INDI has no raw command strings, so CommandString and its kin raise.
#pragma once

#include "platform/automation.h"

namespace platform {

// Registers the "INDI:" identifiers with the driver registry (once).
void RegisterIndiDrivers();

// The identifier of a mount, focuser or filter wheel on an INDI server.
std::string IndiDriverId(const std::string& host, int port, const std::string& device);

}  // namespace platform
