// The per-camera settings record and the imaging settings file
// "ImagingSettings.xml": root "Imaging", one element per camera named by the
// camera's node name ("IFF1", "VFW1".."VFW3", "ASCOMCAM1", "ASCOMCAM2",
// "DSI" + number), each holding the 25 values of the record.
//
// The document is loaded once at start (CreateCameras), every camera reads
// its element when created and writes it back when destroyed, and
// SaveImagingSettings stores the document at exit.
#pragma once

#include <cstdint>
#include <string>

#include "platform/xml.h"

namespace imaging {

struct ImagingSettings {
  std::string Name;
  int32_t PixelsX = 640;
  int32_t PixelsY = 480;
  double PixelSizeX = 5.6;  // micrometres
  double PixelSizeY = 5.6;
  bool ForceMono = false;
  double CurrentTemp = 0.0;  // last sensor temperature read (not stored)
  int32_t MosaicXOfs = 0;
  int32_t MosaicYOfs = 0;
  bool Invert = false;  // flip images top to bottom
  bool Mirror = false;  // flip images left to right
  double Gain = 1.0;
  double Offset = 0.5;
  bool FastReadout = false;
  int32_t ReadoutMode = 0;
  bool ModifiedCamera = false;
  double CCDSetTemp = 20.0;
  int32_t ExInterval = 1000;  // exposure length, ms
  int32_t ExStart = 30;       // long-exposure phases, ms
  int32_t ExWindow = 200;
  uint8_t AccMask = 1;
  uint8_t AccOnVal = 1;
  uint8_t AccOffVal = 0;
  uint8_t PortIndex = 0;
  uint16_t LxPort = 0;
  bool DtrRtsMode = true;
  // Video capture: the pixel format (four-character code; empty: the
  // device's own), the frame size (0: the device's) and the input (-1: the
  // device's current one). Stored once a video camera's choice was made.
  std::string VideoFormat;
  int32_t VideoWidth = 0, VideoHeight = 0;
  int32_t VideoInput = -1;
  uint32_t CameraToken = 1;  // 1 while the token is at home (not stored)
};

// The ranges of the record's measures that no control bounds: pixel sizes
// (micrometres, above 0), gain and offset (either sign for the offset), the
// cooler's set-point (degrees Celsius).
inline constexpr double kMinPixelSize = 0.01, kMaxPixelSize = 1000;
inline constexpr double kMaxGain = 1e6;
inline constexpr double kMinSetTemp = -100, kMaxSetTemp = 50;

// The values a new camera element gets (Gain 100, Offset 50, CCDSetTemp 0,
// DtrRtsMode false; the rest as the read defaults); sets the token to 1.
void SetNewElementDefaults(ImagingSettings& s);
// Reads the record from a camera element; missing or unreadable values,
// and numbers outside what their field takes (a pixel count of 1 to 16384,
// a byte of 0 to 255, a port of 0 to 65535, an exposure of up to a day,
// the ranges above), get the read defaults (the member initialisers above). The token and the
// current temperature are left as they are.
void ReadImagingSettings(const platform::XmlElement& element, ImagingSettings& s);
// Writes the 25 values into the element, in their fixed order, then the
// video choice where one was made (or the element holds one already).
void WriteImagingSettings(const platform::XmlElement& element, const ImagingSettings& s);

// The program's imaging settings document.
struct ImagingSettingsDocument {
  platform::XmlDocument Doc;
  // True once LoadImagingSettings ran: only a loaded document is saved.
  bool Loaded = false;
};
ImagingSettingsDocument& ImagingSettingsDoc();

// The file name, in the working folder.
inline constexpr const char* kImagingSettingsFile = "ImagingSettings.xml";

// Loads the file into the document; a missing or unreadable file gives a
// new document with the root "Imaging" (a damaged one is kept aside and
// the user told, XmlLoadSettingsDocument).
void LoadImagingSettings(const std::string& path = kImagingSettingsFile);
// Writes the document to the file when it was loaded (a start-up that ended
// before the cameras were made never overwrites the file). True when saved.
bool SaveImagingSettings(const std::string& path = kImagingSettingsFile);

// The camera element under the root; created (and filled with the
// new-element defaults by the caller) when missing. `created` tells which.
platform::XmlElement ImagingSettingsElement(const std::string& nodeName, bool& created);

}  // namespace imaging
