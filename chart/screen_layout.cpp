#include "chart/screen_layout.h"

#include <algorithm>
#include <cmath>

#include "chart/clock.h"
#include "chart/globe.h"
#include "chart/inset_host.h"
#include "chart/mask.h"
#include "chart/plotter.h"
#include "chart/ring.h"
#include "chart/star_sphere.h"
#include "platform/drawing.h"
#include "platform/registry.h"
#include "shell/globals.h"

TScreenLayoutSettings ScreenLayoutSettings;
int16_t GuideSize = 0;
// MagnifierSize belongs to the magnifier inset (magnifier_inset.cpp).
ScreenLayoutHost TheScreenLayoutHost;
bool GraphicSunRiseSet = true;
uint8_t VisibilityGraphSpan = 0;

namespace {

constexpr const char* kLayoutSection = "ScreenLayout";
constexpr const char* kPerformanceSection = "Performance";

// The code whose preset equals `size`, the last equal one winning; 0 for a
// hidden inset; `code` itself otherwise.
int32_t CodeForSize(int32_t size, int32_t code, int32_t maxCode) {
  if (size == 0) return 0;
  for (int32_t c = 1; c <= maxCode; ++c)
    if (size == InsetPresetSize(c)) code = c;
  return code;
}

}  // namespace

int32_t InsetPresetSize(int32_t code) {
  switch (code) {
    case 1: return InsetSizeSmall;
    case 2: return InsetSizeNormal;
    case 3: return InsetSizeLarge;
    case 4: return InsetSizeHuge;
    default: return 0;
  }
}

TScreenLayoutSettings ClampScreenLayout(TScreenLayoutSettings s) {
  auto known = [](int32_t code, int32_t size, int32_t maxCode) {
    return code >= 0 && code <= maxCode ? code : CodeForSize(size, 0, maxCode);
  };
  s.OvalMask = std::clamp(s.OvalMask, 0, kOvalMaskKindCount - 1);
  s.Guide = known(s.Guide, GuideSize, kMaxInsetCode);
  s.Globe = known(s.Globe, GlobeSize, kMaxInsetCode);
  s.Magnifier = known(s.Magnifier, MagnifierSize, kMaxMagnifierCode);
  s.Clock = known(s.Clock, ClockSize, kMaxInsetCode);
  s.AspectAdjust = std::clamp(s.AspectAdjust, -kMaxAspectAdjust, kMaxAspectAdjust);
  return s;
}

void ReadRegScreenLayout() {
  platform::TRegIniFile reg;
  const TScreenLayoutSettings d;
  TScreenLayoutSettings s;
  // A size code the inset does not have reads as its default: the sizes are
  // still 0 (hidden) when the layout is read at start.
  s.OvalMask = reg.ReadInteger(kLayoutSection, "use oval mask", d.OvalMask);
  s.Guide = reg.ReadInteger(kLayoutSection, "guide", d.Guide, 0, kMaxInsetCode);
  s.Globe = reg.ReadInteger(kLayoutSection, "globe", d.Globe, 0, kMaxInsetCode);
  s.Magnifier = reg.ReadInteger(kLayoutSection, "magnifier", d.Magnifier, 0, kMaxMagnifierCode);
  s.Clock = reg.ReadInteger(kLayoutSection, "clock", d.Clock, 0, kMaxInsetCode);
  s.AspectAdjust = reg.ReadInteger(kLayoutSection, "aspect adjust", d.AspectAdjust);
  ScreenLayoutSettings = ClampScreenLayout(s);
}

void WriteRegScreenLayout() {
  platform::TRegIniFile reg;
  const TScreenLayoutSettings& s = ScreenLayoutSettings;
  reg.WriteInteger(kLayoutSection, "guide", s.Guide);
  reg.WriteInteger(kLayoutSection, "globe", s.Globe);
  reg.WriteInteger(kLayoutSection, "magnifier", s.Magnifier);
  reg.WriteInteger(kLayoutSection, "clock", s.Clock);
  reg.WriteInteger(kLayoutSection, "use oval mask", s.OvalMask);
  reg.WriteInteger(kLayoutSection, "aspect adjust", s.AspectAdjust);
  reg.Flush();
}

double AspectAdjustFor(int32_t aspectAdjust) { return aspectAdjust / 40.0 + 1; }

void ComputeInsetAspect() {
  const int dpiY = platform::ScreenDpiY();
  InsetAspect = (dpiY > 0 ? double(platform::ScreenDpiX()) / dpiY : 1.0) * AspectAdjust;
}

void ApplyScreenLayout() {
  const TScreenLayoutSettings s = ClampScreenLayout(ScreenLayoutSettings);
  if (s.Guide > 0) GuideSize = int16_t(InsetPresetSize(s.Guide));
  if (s.Globe > 0) GlobeSize = InsetPresetSize(s.Globe);
  if (s.Magnifier > 0) MagnifierSize = InsetPresetSize(s.Magnifier);
  if (s.Clock > 0) ClockSize = int16_t(InsetPresetSize(s.Clock));
  OvalMaskKind = s.OvalMask;
  AspectAdjust = AspectAdjustFor(s.AspectAdjust);
  ComputeInsetAspect();
}

void ReadScreenLayoutSizes() {
  TScreenLayoutSettings& s = ScreenLayoutSettings;
  s.Guide = CodeForSize(GuideSize, s.Guide, kMaxInsetCode);
  s.Globe = CodeForSize(GlobeSize, s.Globe, kMaxInsetCode);
  s.Magnifier = CodeForSize(MagnifierSize, s.Magnifier, kMaxMagnifierCode);
  s.Clock = CodeForSize(ClockSize, s.Clock, kMaxInsetCode);
}

void RefreshScreen() {
  ComputeInsetAspect();
  MakeRingRamps();
  if (GlobeReliefLoaded == 1) MakeGlobeTexture();
  CreateClockPens();
  SetClockSize(ClockSize);
  DrawClock(1);
  if (TheScreenLayoutHost.updateMagnifierFrame) TheScreenLayoutHost.updateMagnifierFrame();
  SetStarSphereSize(GuideSize);
  MarkRepaint(kRepaintGlobe | kRepaintClock | kRepaintMagnifier | kRepaintStarSphere);
  if (MaskBitmap != nullptr) UpdateOvalMask();
  RequestChartReplot();
}

TScreenLayoutChoice CurrentScreenLayoutChoice() {
  ReadScreenLayoutSizes();
  const TScreenLayoutSettings& s = ScreenLayoutSettings;
  TScreenLayoutChoice c;
  c.mask = OvalMaskKind.load();
  c.guide = s.Guide;
  c.globe = s.Globe;
  c.magnifier = s.Magnifier;
  c.clock = s.Clock;
  c.aspect = std::clamp(int32_t(std::nearbyint((AspectAdjust - 1) * 40)), -kMaxAspectAdjust, kMaxAspectAdjust);
  return c;
}

void ApplyScreenLayoutChoice(const TScreenLayoutChoice& choice) {
  const TScreenLayoutSettings before = ScreenLayoutSettings;
  auto code = [](int32_t index, int32_t maxCode) { return std::clamp(index < 0 ? 0 : index, 0, maxCode); };
  TScreenLayoutSettings& s = ScreenLayoutSettings;
  s.OvalMask = std::clamp(choice.mask, 0, kOvalMaskKindCount - 1);
  s.Guide = code(choice.guide, kMaxInsetCode);
  s.Globe = code(choice.globe, kMaxInsetCode);
  s.Magnifier = code(choice.magnifier, kMaxMagnifierCode);
  s.Clock = code(choice.clock, kMaxInsetCode);
  s.AspectAdjust = std::clamp(choice.aspect, -kMaxAspectAdjust, kMaxAspectAdjust);
  AspectAdjust = AspectAdjustFor(s.AspectAdjust);
  const ScreenLayoutHost& host = TheScreenLayoutHost;
  if (s.Guide != before.Guide && host.guideSize) host.guideSize(s.Guide);
  if (s.Globe != before.Globe && host.globeSize) host.globeSize(s.Globe);
  if (s.Magnifier != before.Magnifier && host.magnifierSize) host.magnifierSize(s.Magnifier);
  if (s.Clock != before.Clock && host.clockSize) host.clockSize(s.Clock);
  if (s.OvalMask != before.OvalMask) {
    OvalMaskKind = s.OvalMask;
    if (MaskBitmap != nullptr) UpdateOvalMask();
    RequestChartReplot();
  }
  if (s.AspectAdjust != before.AspectAdjust) RefreshScreen();
  WriteRegScreenLayout();
}

void ReadRegPerformance() {
  platform::TRegIniFile reg;
  GraphicSunRiseSet = reg.ReadBool(kPerformanceSection, "graphic sun riseset", true);
}

void WriteRegPerformance(bool graphicSunRiseSet) {
  {
    platform::TRegIniFile reg;
    reg.WriteBool(kPerformanceSection, "graphic sun riseset", graphicSunRiseSet);
  }
  GraphicSunRiseSet = graphicSunRiseSet;
  if (MainPlotter != nullptr) MainPlotter->SunRiseSetGraphics = graphicSunRiseSet ? 1 : 0;
  RequestChartReplot();
}
