// INDI cameras behind the driver interface: identifiers
// "INDICAM:host:port:device name" ("INDICAM:127.0.0.1:7624:CCD Simulator")
// name the primary chip of an INDI camera. The camera members map onto the
// standard INDI camera properties:
//   Connected                 CONNECTION; reading it watches the server
//                             (not while the camera's picture may be on
//                             its way); a disconnect the server does not
//                             answer within the reply wait closes the
//                             server connection and raises with the reason
//   CameraXSize, CameraYSize, PixelSizeX, PixelSizeY   CCD_INFO
//   NumX, NumY, StartX, StartY   CCD_FRAME (binned pixels)
//   BinX, BinY, MaxBinX, MaxBinY CCD_BINNING
//   StartExposure(s, light)   CCD_FRAME_TYPE, then CCD_EXPOSURE
//   AbortExposure             CCD_ABORT_EXPOSURE
//   CameraState               2 while CCD_EXPOSURE is busy, 5 on alert, else 0
//   ImageReady, ImageArrayVariant   the FITS picture of the CCD1 BLOB, read
//                             with the program's FITS reader
//   CCDTemperature, SetCCDTemperature   CCD_TEMPERATURE; CoolerOn CCD_COOLER
//   Gain, GainMin, GainMax    CCD_GAIN (where the driver has it)
//
// Every number a device reports is checked before use: NaN, infinite and
// out-of-range values (sizes beyond 16,384 pixels, binning beyond 64) fail
// the member like any other driver error.
#pragma once

#include <memory>
#include <string>

#include "platform/automation.h"

namespace platform {
class TIndiClient;
}

namespace imaging {

// Registers the "INDICAM:" identifiers (once; a program without the INDI
// client registers nothing).
void RegisterIndiCameraDrivers();
std::string IndiCameraId(const std::string& host, int port, const std::string& device);
// The identifier a camera slot connects (blanks around it dropped): an
// identifier of the mount form "INDI:host:port:device" (which the chooser
// gave for cameras once, and which settings may hold) names the device as a
// camera, "INDICAM:host:port:device"; any other stays as it is.
std::string CameraDriverId(const std::string& id);
#ifdef NOCTRA_HAVE_INDI
// The camera over a client the caller holds (whose properties tests set).
platform::TAutomationRef MakeIndiCamera(std::shared_ptr<platform::TIndiClient> client);
#endif

}  // namespace imaging
