// The imaging windows' XML settings files with every value set by hand to
// a value no window gives: every number reads as its default (or within the
// range its box keeps to); values at the ends of their ranges read back as
// they were written.
#include <gtest/gtest.h>

#include <regex>

#include "imaging/autoguider.h"
#include "imaging/console.h"
#include "imaging/imaging_settings.h"
#include "imaging/plate_solve_logic.h"
#include "imaging/settings_text.h"
#include "shell/xml_settings.h"
#include "tests/support/test_support.h"

using namespace imaging;
using platform::XmlDocument;
using platform::XmlElement;

namespace {

const char* const kExtremes[] = {"2147483647", "-2147483648", "1e308", "-1e308", "nan", "inf", "", "text"};

// The settings document `write` makes, as text.
template <class Write>
std::string Written(Write write) {
  XmlDocument doc;
  XmlNewDocument(doc, "Test");
  write(XmlChild(doc.Root(), "Selections"));
  return doc.SaveToText();
}

// `text` with the value of every element that holds no other element
// replaced by `value`.
std::string EveryValueAs(const std::string& text, const std::string& value) {
  const std::string v = std::regex_replace(value, std::regex("\\$"), "$$$$");
  std::string out = std::regex_replace(text, std::regex("<(\\w+)>[^<]*</\\1>"), "<$1>" + v + "</$1>");
  return std::regex_replace(out, std::regex("<(\\w+)/>"), "<$1>" + v + "</$1>");
}

// The "Selections" element of `text` loaded into `doc`.
XmlElement Selections(XmlDocument& doc, const std::string& text) {
  EXPECT_TRUE(doc.LoadFromText(text));
  return doc.Root().FirstChild("Selections");
}

// A camera record with every number at an end of its range.
ImagingSettings CameraAtTheEnds() {
  ImagingSettings s;
  s.Name = "Edge";
  s.PixelsX = 16384;
  s.PixelsY = 1;
  s.PixelSizeX = kMinPixelSize;
  s.PixelSizeY = kMaxPixelSize;
  s.MosaicXOfs = 1;
  s.MosaicYOfs = 3;
  s.Gain = kMaxGain;
  s.Offset = -kMaxGain;
  s.ReadoutMode = 255;
  s.CCDSetTemp = kMinSetTemp;
  s.ExInterval = 24 * 3600 * 1000;
  s.ExStart = 0;
  s.ExWindow = 3999;
  s.AccMask = 255;
  s.AccOnVal = 0;
  s.AccOffVal = 255;
  s.PortIndex = 6;
  s.LxPort = 65535;
  s.VideoFormat = "YUYV";
  s.VideoWidth = 16384;
  s.VideoHeight = 0;
  s.VideoInput = 255;
  return s;
}

}  // namespace

// The camera record: every number reads as its read default, whatever the
// stored text; in-range values at the ends read back exactly.
TEST(SettingsRanges, CameraRecord) {
  const ImagingSettings edges = CameraAtTheEnds();
  const std::string written = Written([&](const XmlElement& e) { WriteImagingSettings(e, edges); });
  const ImagingSettings d;
  for (const char* extreme : kExtremes) {
    XmlDocument doc;
    ImagingSettings s = edges;
    ReadImagingSettings(Selections(doc, EveryValueAs(written, extreme)), s);
    SCOPED_TRACE(extreme);
    EXPECT_EQ(std::tuple(s.PixelsX, s.PixelsY, s.MosaicXOfs, s.MosaicYOfs, s.ReadoutMode),
              std::tuple(d.PixelsX, d.PixelsY, d.MosaicXOfs, d.MosaicYOfs, d.ReadoutMode));
    EXPECT_EQ(std::tuple(s.PixelSizeX, s.PixelSizeY, s.Gain, s.Offset, s.CCDSetTemp),
              std::tuple(d.PixelSizeX, d.PixelSizeY, d.Gain, d.Offset, d.CCDSetTemp));
    EXPECT_EQ(std::tuple(s.ExInterval, s.ExStart, s.ExWindow, s.AccMask, s.AccOnVal, s.AccOffVal),
              std::tuple(d.ExInterval, d.ExStart, d.ExWindow, d.AccMask, d.AccOnVal, d.AccOffVal));
    EXPECT_EQ(std::tuple(s.PortIndex, s.LxPort, s.VideoWidth, s.VideoHeight, s.VideoInput),
              std::tuple(d.PortIndex, d.LxPort, 0, 0, -1));
    EXPECT_EQ(s.Name, extreme);  // a name may be any text
  }
  XmlDocument doc;
  ImagingSettings back;
  ReadImagingSettings(Selections(doc, written), back);
  EXPECT_EQ(Written([&](const XmlElement& e) { WriteImagingSettings(e, back); }), written);
  EXPECT_EQ(std::tuple(back.PixelsX, back.Offset, back.LxPort, back.ExInterval),
            std::tuple(16384, -kMaxGain, 65535, 24 * 3600 * 1000));
}

// The imaging console's file: exposures, frame count, filter, focuser step
// and file type read as their defaults; values at the ends read back.
TEST(SettingsRanges, ImagingConsole) {
  testing_support::TempDir dir;
  const std::string folder = dir.Path();
  TImagingConsole console(nullptr, [](const std::string&) { return nullptr; });
  console.ExposureTime = "86400";
  console.ExposureNum = "999";
  console.FilterIndex = kFilterSlots - 1;
  console.FocusMoveAmount = "-10000000";
  console.SaveAsType = TSaveAs::Jpg;
  for (int i = 0; i < kFilterSlots; ++i) console.FilterExposures[i] = i % 2 ? "0" : "0.001";
  console.SaveSettings(folder);
  const std::string written = testing_support::ReadText(folder + kConsoleSettingsFile);
  for (const char* extreme : kExtremes) {
    SCOPED_TRACE(extreme);
    testing_support::WriteText(folder + kConsoleSettingsFile, EveryValueAs(written, extreme));
    TImagingConsole read(nullptr, [](const std::string&) { return nullptr; });
    read.LoadSettings(folder);
    EXPECT_EQ(std::tuple(read.ExposureTime, read.ExposureNum, read.ExpNumUpDownPosition, read.FocusMoveAmount),
              std::tuple("1", "1", 1, "0"));
    EXPECT_EQ(std::tuple(read.FilterIndex, read.SaveAsType), std::tuple(0, TSaveAs::Fits16Compat));
    for (int i = 0; i < kFilterSlots; ++i) EXPECT_EQ(read.FilterExposures[i], "1") << i;
  }
  testing_support::WriteText(folder + kConsoleSettingsFile, written);
  TImagingConsole back(nullptr, [](const std::string&) { return nullptr; });
  back.LoadSettings(folder);
  EXPECT_EQ(std::tuple(back.ExposureTime, back.ExposureNum, back.ExpNumUpDownPosition, back.FocusMoveAmount),
            std::tuple("86400", "999", 999, "-10000000"));
  EXPECT_EQ(std::tuple(back.FilterIndex, back.SaveAsType, back.FilterExposures[0], back.FilterExposures[19]),
            std::tuple(kFilterSlots - 1, TSaveAs::Jpg, "0.001", "0"));
}

// The autoguider's file: the exposure reads as its default, the boxes'
// numbers are kept within the boxes.
TEST(SettingsRanges, Autoguider) {
  TAutoGuideSettings edges;
  edges.Exposure = "0.001";
  edges.GuideRate = 2;
  edges.Porportional = 99;
  edges.Integral = 0;
  edges.StandardDeviation = 1;
  edges.Background = 99;
  const std::string written = Written([&](const XmlElement& e) { edges.Write(e); });
  for (const char* extreme : kExtremes) {
    SCOPED_TRACE(extreme);
    XmlDocument doc;
    TAutoGuideSettings s;
    s.Read(Selections(doc, EveryValueAs(written, extreme)));
    EXPECT_EQ(s.Exposure, "1.0");
    EXPECT_TRUE(s.GuideRate >= 0 && s.GuideRate <= 2) << s.GuideRate;
    EXPECT_TRUE(s.Porportional >= 1 && s.Porportional <= 99) << s.Porportional;
    EXPECT_TRUE(s.Integral >= 0 && s.Integral <= 60) << s.Integral;
    EXPECT_TRUE(s.StandardDeviation >= 1 && s.StandardDeviation <= 99) << s.StandardDeviation;
    EXPECT_TRUE(s.Background >= 1 && s.Background <= 99) << s.Background;
  }
  XmlDocument doc;
  TAutoGuideSettings back;
  back.Read(Selections(doc, written));
  EXPECT_EQ(Written([&](const XmlElement& e) { back.Write(e); }), written);
}

// Plate solving's file: every number reads as its default; values at the
// ends of the fields' ranges read back.
TEST(SettingsRanges, PlateSolving) {
  TPlateSolveSelections edges;
  edges.Exposure = kMaxExposureSeconds;
  edges.FieldSize = kMinSearchRadius;
  edges.PositionalError = kMaxPositionalError;
  edges.TimeToSolve = kMaxTimeToSolve;
  edges.PositionRA = 360;
  edges.PositionDEC = -90;
  edges.NumberComparisonStars = 0;
  edges.FieldSizeX = kMaxFieldSize;
  edges.FieldSizeY = kMinFieldSizeY;
  edges.SlewRAGain = "5";
  edges.SlewDECGain = "0";
  const std::string written = Written([&](const XmlElement& e) { edges.Write(e); });
  const TPlateSolveSelections d;
  for (const char* extreme : kExtremes) {
    SCOPED_TRACE(extreme);
    XmlDocument doc;
    TPlateSolveSelections s = edges;
    s.Read(Selections(doc, EveryValueAs(written, extreme)));
    EXPECT_EQ(std::tuple(s.Exposure, s.FieldSize, s.PositionalError, s.PositionRA, s.PositionDEC),
              std::tuple(d.Exposure, d.FieldSize, d.PositionalError, d.PositionRA, d.PositionDEC));
    EXPECT_EQ(std::tuple(s.TimeToSolve, s.NumberComparisonStars, s.FieldSizeX, s.FieldSizeY),
              std::tuple(d.TimeToSolve, d.NumberComparisonStars, d.FieldSizeX, d.FieldSizeY));
    EXPECT_EQ(std::tuple(s.SlewRAGain, s.SlewDECGain), std::tuple("0.0", "0.0"));
  }
  XmlDocument doc;
  TPlateSolveSelections back;
  back.Read(Selections(doc, written));
  EXPECT_EQ(Written([&](const XmlElement& e) { back.Write(e); }), written);
  EXPECT_EQ(std::tuple(back.Exposure, back.FieldSizeX, back.SlewRAGain), std::tuple(kMaxExposureSeconds, 10000, "5"));
}
