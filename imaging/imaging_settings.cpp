#include "imaging/imaging_settings.h"

#include <iterator>

#include "imaging/fits.h"
#include "imaging/port_output.h"
#include "imaging/settings_text.h"
#include "shell/xml_settings.h"

namespace imaging {

void SetNewElementDefaults(ImagingSettings& s) {
  s = ImagingSettings();
  s.Gain = 100.0;
  s.Offset = 50.0;
  s.CCDSetTemp = 0.0;
  s.DtrRtsMode = false;
  s.CameraToken = 1;
}

void ReadImagingSettings(const platform::XmlElement& e, ImagingSettings& s) {
  const ImagingSettings d;
  // Each number in the range its control or meaning gives; one outside it
  // reads as the read default.
  constexpr int32_t kMaxMs = int32_t(kMaxExposureSeconds * 1000);  // an exposure of up to a day
  constexpr int32_t kMaxPhaseMs = 3999;          // the long-exposure phases' boxes
  constexpr int32_t kMaxByte = 255;
  s.Name = XmlReadString(e, "Name", "");
  s.PixelsX = XmlReadInteger(e, "PixelsX", d.PixelsX, 1, kFitsMaxAxis);
  s.PixelsY = XmlReadInteger(e, "PixelsY", d.PixelsY, 1, kFitsMaxAxis);
  s.PixelSizeX = XmlReadFloat(e, "PixelSizeX", d.PixelSizeX, kMinPixelSize, kMaxPixelSize);
  s.PixelSizeY = XmlReadFloat(e, "PixelSizeY", d.PixelSizeY, kMinPixelSize, kMaxPixelSize);
  s.ForceMono = XmlReadBool(e, "ForceMono", d.ForceMono);
  s.MosaicXOfs = XmlReadInteger(e, "MosaicXOfs", d.MosaicXOfs, 0, 1);
  s.MosaicYOfs = XmlReadInteger(e, "MosaicYOfs", d.MosaicYOfs, 0, 3);
  s.Invert = XmlReadBool(e, "Invert", d.Invert);
  s.Mirror = XmlReadBool(e, "Mirror", d.Mirror);
  s.Gain = XmlReadFloat(e, "Gain", d.Gain, 0, kMaxGain);
  s.Offset = XmlReadFloat(e, "Offset", d.Offset, -kMaxGain, kMaxGain);
  s.FastReadout = XmlReadBool(e, "FastReadout", d.FastReadout);
  s.ReadoutMode = XmlReadInteger(e, "ReadoutMode", d.ReadoutMode, 0, kMaxByte);
  s.ModifiedCamera = XmlReadBool(e, "ModifiedCamera", d.ModifiedCamera);
  s.CCDSetTemp = XmlReadFloat(e, "CCDSetTemp", d.CCDSetTemp, kMinSetTemp, kMaxSetTemp);
  s.ExInterval = XmlReadInteger(e, "ExInterval", d.ExInterval, 0, kMaxMs);
  s.ExStart = XmlReadInteger(e, "ExStart", d.ExStart, 0, kMaxPhaseMs);
  s.ExWindow = XmlReadInteger(e, "ExWindow", d.ExWindow, 0, kMaxPhaseMs);
  s.AccMask = uint8_t(XmlReadInteger(e, "AccMask", d.AccMask, 0, kMaxByte));
  s.AccOnVal = uint8_t(XmlReadInteger(e, "AccOnVal", d.AccOnVal, 0, kMaxByte));
  s.AccOffVal = uint8_t(XmlReadInteger(e, "AccOffVal", d.AccOffVal, 0, kMaxByte));
  s.PortIndex = uint8_t(XmlReadInteger(e, "PortIndex", d.PortIndex, 0, int32_t(std::size(kPortList)) - 1));
  s.LxPort = uint16_t(XmlReadInteger(e, "LxPort", d.LxPort, 0, 65535));
  s.DtrRtsMode = XmlReadBool(e, "DtrRtsMode", d.DtrRtsMode);
  s.VideoFormat = XmlReadString(e, "VideoFormat", "");
  s.VideoWidth = XmlReadInteger(e, "VideoWidth", 0, 0, kFitsMaxAxis);
  s.VideoHeight = XmlReadInteger(e, "VideoHeight", 0, 0, kFitsMaxAxis);
  s.VideoInput = XmlReadInteger(e, "VideoInput", -1, -1, kMaxByte);
}

void WriteImagingSettings(const platform::XmlElement& e, const ImagingSettings& s) {
  XmlWriteString(e, "Name", s.Name);
  // The sizes go through the float writer, which prints integral values
  // without a fraction, so the integer reader takes them back.
  XmlWriteFloat(e, "PixelsX", s.PixelsX);
  XmlWriteFloat(e, "PixelsY", s.PixelsY);
  XmlWriteFloat(e, "PixelSizeX", s.PixelSizeX);
  XmlWriteFloat(e, "PixelSizeY", s.PixelSizeY);
  XmlWriteBool(e, "ForceMono", s.ForceMono);
  XmlWriteInteger(e, "MosaicXOfs", s.MosaicXOfs);
  XmlWriteInteger(e, "MosaicYOfs", s.MosaicYOfs);
  XmlWriteBool(e, "Invert", s.Invert);
  XmlWriteBool(e, "Mirror", s.Mirror);
  XmlWriteFloat(e, "Gain", s.Gain);
  XmlWriteFloat(e, "Offset", s.Offset);
  XmlWriteBool(e, "FastReadout", s.FastReadout);
  XmlWriteInteger(e, "ReadoutMode", s.ReadoutMode);
  XmlWriteBool(e, "ModifiedCamera", s.ModifiedCamera);
  XmlWriteFloat(e, "CCDSetTemp", s.CCDSetTemp);
  XmlWriteInteger(e, "ExInterval", s.ExInterval);
  XmlWriteInteger(e, "ExStart", s.ExStart);
  XmlWriteInteger(e, "ExWindow", s.ExWindow);
  XmlWriteInteger(e, "AccMask", s.AccMask);
  XmlWriteInteger(e, "AccOnVal", s.AccOnVal);
  XmlWriteInteger(e, "AccOffVal", s.AccOffVal);
  XmlWriteInteger(e, "PortIndex", s.PortIndex);
  XmlWriteInteger(e, "LxPort", s.LxPort);
  XmlWriteBool(e, "DtrRtsMode", s.DtrRtsMode);
  // Other cameras' elements stay as they were.
  if (!s.VideoFormat.empty() || s.VideoInput >= 0 || !e.FirstChild("VideoFormat").IsNull()) {
    XmlWriteString(e, "VideoFormat", s.VideoFormat);
    XmlWriteInteger(e, "VideoWidth", s.VideoWidth);
    XmlWriteInteger(e, "VideoHeight", s.VideoHeight);
    XmlWriteInteger(e, "VideoInput", s.VideoInput);
  }
}

ImagingSettingsDocument& ImagingSettingsDoc() {
  static ImagingSettingsDocument doc;
  return doc;
}

void LoadImagingSettings(const std::string& path) {
  auto& d = ImagingSettingsDoc();
  XmlLoadSettingsDocument(d.Doc, path, "Imaging");
  d.Loaded = true;
}

bool SaveImagingSettings(const std::string& path) {
  auto& d = ImagingSettingsDoc();
  if (!d.Loaded || d.Doc.IsEmpty()) return false;
  return XmlSaveSettings(d.Doc, path);
}

platform::XmlElement ImagingSettingsElement(const std::string& nodeName, bool& created) {
  auto& d = ImagingSettingsDoc();
  if (d.Doc.IsEmpty()) XmlNewDocument(d.Doc, "Imaging");
  const platform::XmlElement root = d.Doc.Root();
  platform::XmlElement e = root.FirstChild(nodeName);
  created = e.IsNull();
  if (created) e = root.AppendChild(nodeName);
  return e;
}

}  // namespace imaging
