#include "app/core/chart_input.h"

#include <algorithm>
#include <cmath>

#include "app/core/chart_view.h"
#include "astro/text.h"

double ZoomScaleOfLevel(int level) { return kZoomScales[std::clamp(level, 1, kZoomLevels) - 1]; }

int FieldOfViewDegrees(double zoomScale) {
  if (!(zoomScale > 0)) return 180;
  return int(std::min(180.0, std::nearbyint(180.0 / zoomScale)));
}

std::string FieldOfViewText(double zoomScale) {
  return std::to_string(FieldOfViewDegrees(zoomScale)) + "\u00b0 fov";
}

std::string PointerPositionText(double ra, double dec) {
  return "ra=" + FormatRA_HM(ra) + ", dec=" + FormatDegrees1(dec);
}

namespace {

void ApplyZoom(TChartKeyState& st, IChartView& view) {
  view.SetZoom(ZoomScaleOfLevel(st.ZoomLevel));
  view.MarkReplot();
}

void Toggle(IChartView& view, TChartSwitch s, uint8_t on) {
  view.SetSwitch(s, view.Switch(s) ? 0 : on);
  view.MarkReplot();
}

template <class F, class... A>
void Call(const F& f, A&&... args) {
  if (f) f(std::forward<A>(args)...);
}

}  // namespace

void ZoomIn(TChartKeyState& st, IChartView& view) {
  st.ZoomLevel = std::min(st.ZoomLevel + 1, kZoomLevels);
  ApplyZoom(st, view);
}

void ZoomOut(TChartKeyState& st, IChartView& view) {
  st.ZoomLevel = std::max(st.ZoomLevel - 1, 1);
  ApplyZoom(st, view);
}

void WholeSkyView(TChartKeyState& st, IChartView& view) {
  st.ZoomLevel = kStartZoomLevel;
  view.SetFullView(true);
  ApplyZoom(st, view);
}

bool ChartKeyPress(char key, TChartKeyState& st, IChartView& view, const TChartKeyCommands& cmd) {
  const bool timeFree = !st.TelescopeConnected;
  switch (key) {
    case 27:
      if (st.PointOfInterestMode) Call(cmd.clearPointOfInterestMode);
      return true;
    case '*':
      view.SetFullView(true);
      view.MarkReplot();
      break;
    case '+':
    case '=':
      ZoomIn(st, view);
      break;
    case '-':
      ZoomOut(st, view);
      break;
    case '/':
      st.ZoomLevel = kStartZoomLevel;
      view.SetZoom(ZoomScaleOfLevel(st.ZoomLevel));
      view.SetFullView(true);
      view.RequestFullRecompute();
      view.MarkReplot();
      break;
    case 'B':
      Toggle(view, TChartSwitch::ConstellationLines, 2);
      break;
    case 'b':
      Toggle(view, TChartSwitch::ConstellationBoundaries, 2);
      break;
    case 'C':
    case 'c':
      Toggle(view, TChartSwitch::ConstellationNames, 2);
      break;
    case 'D':
    case 'd':
      if (st.NewTimeEnabled && timeFree) Call(cmd.newDateTime);
      break;
    case 'F':
    case 'f':
      Call(cmd.find);
      break;
    case 'G':
    case 'g':
      Toggle(view, TChartSwitch::Grid, 1);
      break;
    case 'H':
    case 'h':
      if (timeFree) Call(cmd.shiftTime, (key == 'H' ? 1.0 : -1.0) / 24.0);
      break;
    case 'M':
    case 'm':
      if (timeFree) Call(cmd.shiftTime, (key == 'M' ? 1.0 : -1.0) / 1440.0);
      break;
    case 'S':
    case 's':
      if (timeFree) Call(cmd.shiftTime, (key == 'S' ? 1.0 : -1.0) / 86400.0);
      break;
    case 'L':
    case 'l':
      if (timeFree) Call(cmd.newLocation);
      break;
    case 'N': {
      // The two star label switches as a two-bit number, counted up.
      int n = (view.Switch(TChartSwitch::StarIdentification) ? 1 : 0) |
              (view.Switch(TChartSwitch::StarNames) ? 2 : 0);
      n = (n + 1) & 3;
      view.SetSwitch(TChartSwitch::StarIdentification, n & 1);
      view.SetSwitch(TChartSwitch::StarNames, (n >> 1) & 1);
      view.MarkReplot();
      break;
    }
    case 'n':
      Toggle(view, TChartSwitch::ObjectIdentification, 1);
      break;
    case 'O':
      Call(cmd.starOptions);
      break;
    case 'o':
      Call(cmd.objectOptions);
      break;
    case 'P':
    case 'p':
      if (!st.PointOfInterestMode) Call(cmd.newPointOfInterest);
      break;
    case 'Z':
    case 'z':
      Toggle(view, TChartSwitch::HorizonDisplay, 1);
      Call(cmd.horizonChecked, view.Switch(TChartSwitch::HorizonDisplay) != 0);
      break;
    default:
      if (key >= '0' && key <= '9') {
        if (st.POIKeyBuffer.size() < 4) {
          st.POIKeyBuffer.push_back(key);
          if (st.POIKeyBuffer.size() == 1) Call(cmd.startPOIKeyTimer);
        }
        break;
      }
      return false;
  }
  return true;
}

int TakePOIKeys(std::string& buffer) {
  int n = -1;
  if (!buffer.empty() && buffer.size() <= 2) n = std::stoi(buffer);
  buffer.clear();
  return n;
}

int FieldOfViewKeyMode(int digit, bool ctrl, bool alt, int telescopeRows) {
  if (digit < 0 || digit > 9) return -1;
  if (ctrl && !alt) {
    if (digit == 1) return 9;
    if (digit >= 2) return digit - 1;
    return -1;
  }
  if (alt && !ctrl) {
    const int n = digit == 0 ? 10 : digit;
    if (n > telescopeRows - 2) return -1;
    return 100 * n;
  }
  return -1;
}

TRect UnionRect(const TRect& a, const TRect& b) {
  if (a.Empty()) return b;
  if (b.Empty()) return a;
  return {std::min(a.left, b.left), std::min(a.top, b.top), std::max(a.right, b.right),
          std::max(a.bottom, b.bottom)};
}

int InsetHalfWidth(int size, double insetAspect) { return int(std::nearbyint(size * insetAspect)); }

TInsetPlace MagnifierPlace(int mapHeight, int magnifierSize, double insetAspect) {
  const int w = InsetHalfWidth(magnifierSize, insetAspect);
  return {{10, mapHeight - 2 * magnifierSize - 11, 2 * w + 10, mapHeight - 11}, w + 10, mapHeight - magnifierSize - 11};
}

TInsetPresets ComputeInsetPresets(int mapWidth) {
  auto preset = [mapWidth](double divisor, int upper) {
    const int v = int(std::nearbyint(mapWidth / divisor));
    if (v <= 60) return 60;
    return std::min(v, upper);
  };
  return {preset(14.0, 130), preset(13.0, 140), preset(10.0, 150), preset(8.5, 159)};
}

std::array<std::array<int, 2>, 4> TimeButtonPlaces(int clockX, int clockY, int clockSize) {
  int x = -1000, y = -1000;
  if (clockSize > 0) {
    x = clockX;
    y = clockY - int(std::nearbyint(clockSize * 0.55));
  }
  return {{{x - 30, y - 9}, {x - 14, y - 9}, {x + 2, y - 9}, {x + 18, y - 9}}};
}

TPointerShape ChartPointerShape(const TPointerRegion& r, bool pointOfInterestMode) {
  if (r.inGlobe) return {kCursorMap, false, true};
  if (r.inClock) return {kCursorDefault, false, false};
  if (r.onStarSphere) return {kCursorMap, false, false};
  if (r.inMagnifier) return {pointOfInterestMode ? kCursorUnderHorizon : kCursorMap, false, false};
  if (r.onSky) return {pointOfInterestMode ? kCursorMagnifier : kCursorMap, true, false};
  return {kCursorUnderHorizon, false, false};
}
