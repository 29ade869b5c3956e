// Host commands: coordinate conversions, the chart's time and place, the
// chart centre and scale, object positions, markers, settings files, WAIT
// and PRINT_MAP.
#include <cerrno>
#include <cmath>
#include <memory>

#include "astro/constellations.h"
#include "astro/names.h"
#include "astro/observer.h"
#include "astro/planets.h"
#include "astro/precession.h"
#include "astro/reference_files.h"
#include "astro/solar_system.h"
#include "astro/sun_moon.h"
#include "astro/timescales.h"
#include "astro/transforms.h"
#include "catalog/object_catalog.h"
#include "chart/plotter.h"
#include "platform/codec.h"
#include "platform/data_file.h"
#include "platform/float_to_int.h"
#include "platform/timezone.h"
#include "script/markers.h"
#include "script/runner.h"
#include "script/script_host.h"

namespace {

constexpr double kHalfPi = 1.5707963267948966;
constexpr double kMinZoom = 0.4;   // the chart's zoom range
constexpr double kMaxZoom = 40.0;

bool Fault(int code) {
  ScriptError(code);
  return false;
}

void MarkReplot() {
  if (tPlotter* p = ScriptHost().Chart()) p->Replot = 1;
}

// Reads `count` numeric arguments.
bool Numbers(std::string& rest, double* v, int count) {
  for (int i = 0; i < count; ++i)
    if (!ScrGetNumberArg(rest, v[i])) return false;
  return true;
}

// Reads `count` numeric variable references.
bool NumberRefs(std::string& rest, double** v, int count) {
  for (int i = 0; i < count; ++i)
    if (!(v[i] = ScrGetNumberVarRef(rest))) return false;
  return true;
}

// The live observer record with the below-horizon clip cleared, as a private
// copy, so conversions always give true altitudes.
std::unique_ptr<TObserverTime> UnclippedObserver() {
  auto copy = std::make_unique<TObserverTime>(ScriptHost().Observer());
  copy->ClipBelowHorizon = 0;
  return copy;
}

// The place of date of a solar-system body for the observer as the script
// has set it (never the chart's copy from its last render): planet 1..9
// (not 3), 10 the Moon, 11 the Sun, or an asteroid or comet record. False
// when an orbit cannot be solved.
bool BodyPosition(int body, double& ra, double& dec, const TSolSysBody* minor = nullptr) {
  auto obs = UnclippedObserver();
  TSolarContext ctx{};
  ctx.NovasOff = 1;
  CalcSun(ctx, *obs);
  if (body == 11 && !minor) {
    ra = ctx.SunRA;
    dec = ctx.SunDec;
    return true;
  }
  TSolSysBody b = minor ? *minor : body == 10 ? MoonBody : Planets[body - 1];
  b.LastJD = 0;  // no cached place
  CalcEarthOrbit(ctx, *obs);
  if (minor) {
    // J2000 elements, precessed as the chart does.
    if (!CalcOrbitBody(ctx, *obs, b)) return false;
    if (obs->PrecessionOn) Precess(*obs, b.RA, b.Dec);
  } else if (body == 10) {
    CalcMoon(ctx, *obs, b);
  } else {
    CalcPlanet(ctx, *obs, b);
  }
  ra = b.RA;
  dec = b.Dec;
  return true;
}

void DoEqu2Hor(std::string rest) {
  double v[2];
  double* out[2];
  if (!Numbers(rest, v, 2) || !NumberRefs(rest, out, 2) || !ScrArgsEnd(rest)) return;
  auto obs = UnclippedObserver();
  EquatorialToHorizontal(*obs, *out[0], *out[1], v[0], v[1]);
}

void DoHor2Equ(std::string rest) {
  double v[2];
  double* out[2];
  if (!Numbers(rest, v, 2) || !NumberRefs(rest, out, 2) || !ScrArgsEnd(rest)) return;
  HorizontalToEquatorial(ScriptHost().Observer(), *out[0], *out[1], v[1], v[0]);
}

void DoEcl2Equ(std::string rest) {
  double v[2];
  double* out[2];
  if (!Numbers(rest, v, 2) || !NumberRefs(rest, out, 2) || !ScrArgsEnd(rest)) return;
  EclipticToEquatorial(ScriptHost().Observer(), *out[0], *out[1], v[1], v[0]);
}

void DoGreg(std::string rest) {
  double jd;
  double* out[4];
  if (!ScrGetNumberArg(rest, jd) || !NumberRefs(rest, out, 4) || !ScrArgsEnd(rest)) return;
  if (!(jd >= 990558.5 && jd <= 3182395.5)) return ScriptError(51);
  int y, m, d;
  double h;
  JulianDayToDate(jd, y, m, d, h);
  *out[0] = y;
  *out[1] = m;
  *out[2] = d;
  *out[3] = h;
}

void DoSetJd(std::string rest, int which) {
  double jd;
  if (!ScrGetNumberArg(rest, jd) || !ScrArgsEnd(rest)) return;
  if (!(jd >= 0 && jd <= JulianDay(3000, 12, 30, 23.999))) return ScriptError(3);
  TObserverTime& obs = ScriptHost().Observer();
  if (which == 0) SetObserverUT(obs, jd);
  else if (which == 1) SetObserverLocalStandard(obs, jd);
  else SetObserverLocalCivil(obs, jd);
  MarkReplot();
}

void DoGetJd(std::string rest, int which) {
  double* out = ScrGetNumberVarRef(rest);
  if (!out || !ScrArgsEnd(rest)) return;
  const TObserverTime& obs = ScriptHost().Observer();
  *out = which == 0 ? obs.JD_UT : which == 1 ? obs.JD_LocalStandard : obs.JD_LocalCivil;
}

void DoGetActualJd(std::string rest) {
  double* out = ScrGetNumberVarRef(rest);
  if (!out || !ScrArgsEnd(rest)) return;
  const platform::SYSTEMTIME t = platform::GetSystemTimeUTC();
  *out = JulianDay(t.wYear, t.wMonth, t.wDay, t.wHour + t.wMinute / 60.0 + t.wSecond / 3600.0);
}

void DoGetLst(std::string rest) {
  double* out = ScrGetNumberVarRef(rest);
  if (!out || !ScrArgsEnd(rest)) return;
  const TObserverTime& obs = ScriptHost().Observer();
  LocalSiderealTime(obs, *out, obs.JD_TT);
}

void DoSetLoc(std::string rest) {
  double v[3];
  if (!Numbers(rest, v, 3) || !ScrArgsEnd(rest)) return;
  // Latitudes beyond the poles would mirror the sky.
  if (!(v[0] >= -kHalfPi && v[0] <= kHalfPi) || !(v[1] >= 0 && v[1] <= TwoPi) || !(v[2] >= -12 && v[2] <= 12))
    return ScriptError(51);
  platform::TIME_ZONE_INFORMATION zone;
  InitTimeZoneInfo(zone);
  zone.Bias = zone.DaylightBias = int32_t(-std::trunc(v[2]) * 60);
  zone.StandardBias = 0;
  zone.StandardDate = {};
  zone.DaylightDate = {};
  ScriptHost().ChangeLocation(v[0], v[1], zone);
  MarkReplot();
}

void DoGetLoc(std::string rest) {
  double* out[3];
  if (!NumberRefs(rest, out, 3) || !ScrArgsEnd(rest)) return;
  const TObserverTime& obs = ScriptHost().Observer();
  *out[0] = obs.Latitude;
  *out[1] = obs.Longitude;
  *out[2] = -obs.TimeZone.Bias / 60.0;
}

// The position of an object kind; `setCenter` selects the kinds of
// SET_CENTER (EQU, HOR, ZENITH) or of GET_EQU/GET_HOR (LOCK). `name` is the
// centred object's name, `zenith` set for ZENITH.
bool ObjectPosition(std::string& rest, bool setCenter, double& ra, double& dec, std::string& name, bool& zenith) {
  std::string kind;
  if (!ScrGetStringArg(rest, kind)) return false;
  for (char& c : kind)
    if (c >= 'a' && c <= 'z') c = char(c - 'a' + 'A');
  kind = ScrTrim(kind);
  zenith = false;
  const TObserverTime& obs = ScriptHost().Observer();
  bool precess = false;
  if (setCenter && kind == "EQU") {
    double v[2];
    if (!Numbers(rest, v, 2)) return false;
    ra = v[0];
    dec = v[1];
  } else if (setCenter && kind == "HOR") {
    double v[2];
    if (!Numbers(rest, v, 2)) return false;
    HorizontalToEquatorial(obs, ra, dec, v[1], v[0]);
  } else if (setCenter && kind == "ZENITH") {
    zenith = true;
    HorizontalToEquatorial(obs, ra, dec, 0, kHalfPi);
  } else if (kind == "CON") {
    std::string abbr;
    if (!ScrGetStringArg(rest, abbr)) return false;
    int n = ConstellationNumber(abbr);
    if (n < 1) return Fault(3);
    ra = ConstellationCentreRA[n] * 1.5 / 57.29577951308232;
    dec = ConstellationCentreDec[n] / 57.29577951308232;
    precess = true;
  } else if (kind == "PLANET") {
    double p;
    if (!ScrGetNumberArg(rest, p)) return false;
    if (p != std::trunc(p) || p < 1 || p > 9 || p == 3) return Fault(51);
    BodyPosition(int(p), ra, dec);
    name = std::string("The Planet ") + PlanetNames[int(p)];
  } else if (kind == "MOON") {
    BodyPosition(10, ra, dec);
    name = "Our Moon";
  } else if (kind == "SUN") {
    BodyPosition(11, ra, dec);
    name = "Our Sun";
  } else if (kind == "NGC" || kind == "MES") {
    double n;
    if (!ScrGetNumberArg(rest, n)) return false;
    if (n != std::trunc(n)) return Fault(51);
    if (!ObjectCatalog || std::fabs(n) > 1e9) return Fault(51);
    const std::string number = std::to_string(int64_t(n));
    // The search takes the object lock itself; the fields are then read
    // under the lock, once the cursor is seen still on the object found
    // (the cursor-watch thread may have moved it in between).
    const std::string wanted =
        kind == "MES" ? (n >= 1 && n <= kMessierCount ? std::to_string(MessierToRngc[int(n)]) : std::string()) : number;
    bool found = false;
    for (int attempt = 0; attempt < 5 && !found; ++attempt) {
      if (!ObjectCatalog->FindByName(kind, number)) return Fault(51);
      TObjectsLock lock;
      if (ObjectCatalog->ID == wanted) {
        ra = ObjectCatalog->RADate;
        dec = ObjectCatalog->DEDate;
        found = true;
      }
    }
    if (!found) return Fault(51);
  } else if (!setCenter && kind == "LOCK") {
    // The object the chart follows.
    tPlotter* chart = ScriptHost().Chart();
    if (!chart || chart->TrackKind == kTrackNone || chart->TrackIndex < 0) return Fault(51);
    int i = chart->TrackIndex;
    bool placed = false;
    if (chart->TrackKind == kTrackSolarSystem && i <= 10 && i != 2) placed = BodyPosition(i + 1, ra, dec);
    else if (chart->TrackKind == kTrackAsteroid && i < AsteroidCount) placed = BodyPosition(0, ra, dec, &Asteroids[i]);
    else if (chart->TrackKind == kTrackComet && i < CometCount) placed = BodyPosition(0, ra, dec, &Comets[i]);
    if (!placed) return Fault(51);
  } else {
    return Fault(3);
  }
  // Catalogue centres are J2000; bodies are computed of date already.
  if (precess && obs.PrecessionOn) Precess(obs, ra, dec);
  return true;
}

void DoSetCenter(std::string rest) {
  double ra = 0, dec = 0;
  std::string name;
  bool zenith = false;
  if (!ObjectPosition(rest, true, ra, dec, name, zenith) || !ScrArgsEnd(rest)) return;
  tPlotter* chart = ScriptHost().Chart();
  if (!chart) return;
  // The centre's horizontal place for the observer as the script has set
  // it: the chart's own copy still holds the instant and place of its last
  // render, and the chart holds this place while time runs.
  chart->CentreRA = ra;
  chart->CentreDec = dec;
  EquatorialToHorizontal(*UnclippedObserver(), chart->HeldAlt, chart->HeldAz, ra, dec);
  chart->ZenithView = zenith ? 1 : 0;
  chart->CentreName = name;
  chart->RequestReplot();  // ends tracking, empties its status text
}

void DoGetPosition(std::string rest, bool horizontal) {
  double ra = 0, dec = 0;
  std::string name;
  bool zenith = false;
  if (!ObjectPosition(rest, false, ra, dec, name, zenith)) return;
  double* out[2];
  if (!NumberRefs(rest, out, 2) || !ScrArgsEnd(rest)) return;
  if (horizontal) {
    auto obs = UnclippedObserver();
    EquatorialToHorizontal(*obs, *out[0], *out[1], ra, dec);
  } else {
    *out[0] = ra;
    *out[1] = dec;
  }
  MarkReplot();
}

void DoMarkers(std::string rest) {
  double n;
  if (!ScrGetNumberArg(rest, n) || !ScrArgsEnd(rest)) return;
  if (!(n >= 0 && n <= 10000)) return ScriptError(51);
  if (!CreateMarkerTable(int32_t(n))) return ScriptError(2);
  MarkReplot();
}

uint32_t ColourPart(double v) {
  double r = std::nearbyint(v);
  return r >= 0 && r <= 255 ? uint32_t(r) : 255u;
}

void DoMark(std::string rest) {
  double v[7];
  std::string shape, text;
  if (!Numbers(rest, v, 7) || !ScrGetStringArg(rest, shape) || !ScrGetStringArg(rest, text) || !ScrArgsEnd(rest))
    return;
  if (!MarkerTableExists()) return ScriptError(29);
  double number = std::trunc(v[0]);
  if (!(number >= 1 && number <= MarkerCapacity())) return ScriptError(21);
  int32_t width;
  if (!platform::FloatToInt(v[3], width)) return ScriptError(51);
  TChartMarker& m = Markers[std::size_t(number) - 1];
  m.PenWidth = width;
  m.RA = v[1];
  m.Dec = v[2];
  m.Join = shape == "+" ? 1 : 0;
  m.Color = int32_t(ColourPart(v[4]) + ColourPart(v[5]) * 256 + ColourPart(v[6]) * 65536);
  m.Text = platform::CutToChars(text, 31);
  MarkerCount = std::max(MarkerCount, int32_t(number));
  MarkReplot();
}

void DoReadSettings(std::string rest) {
  std::string path;
  if (!ScrGetStringArg(rest, path) || !ScrArgsEnd(rest)) return;
  if (ScriptHost().ReadSettingsFile(path)) return;
  // Why a file that is there was refused (a pipe or a device in its place).
  const std::string why = platform::DataFileRefusal(path);
  ScriptError(60, ScrFileRefusal(path, errno, why));
}

void DoWait(std::string rest) {
  double s;
  if (!ScrGetNumberArg(rest, s) || !ScrArgsEnd(rest)) return;
  if (!(s >= 0 && s <= 3600)) return ScriptError(3);
  TScriptHost& host = ScriptHost();
  uint32_t start = host.Milliseconds();
  for (;;) {
    host.ProcessEvents();
    uint32_t elapsed = host.Milliseconds() - start;
    if (s * 1000 <= elapsed || ScriptStopFlag) return;
    host.WaitForEvents(int(std::min<double>(20, s * 1000 - elapsed)));
  }
}

void DoPrintMap(std::string rest) {
  std::string options;
  if (!ScrGetStringArg(rest, options) || !ScrArgsEnd(rest)) return;
  std::string text = "," + options + ",";
  auto take = [&](const char* word) {
    std::string w = std::string(",") + word + ",";
    std::size_t at = text.find(w);
    if (at == std::string::npos) return false;
    text.replace(at, w.size(), ",");
    return true;
  };
  TScriptPrintOptions o;
  o.blackWhite = take("BW");
  bool poiOnly = take("POIONLY");
  o.allPoints = take("POIALL");
  bool poi = take("POI");
  o.summary = take("SUMMARY");
  if ((poi && o.allPoints) || text.size() > 2 || text.find_first_not_of(',') != std::string::npos)
    return ScriptError(3);
  // POIONLY alone means the visible points: a job of no pages prints nothing.
  o.pointsOfInterest = poi || o.allPoints || poiOnly;
  o.chart = !poiOnly;
  if (ScriptHost().PointOfInterestCount() <= 0) {
    o.pointsOfInterest = o.allPoints = false;
    if (poiOnly) return;
  }
  if (!ScriptHost().PrintMap(o)) ScriptError(kPrinterError);
}

void DoGetScale(std::string rest) {
  double* out = ScrGetNumberVarRef(rest);
  if (!out || !ScrArgsEnd(rest)) return;
  tPlotter* chart = ScriptHost().Chart();
  *out = chart ? chart->Zoom : 0;
}

void DoSetScale(std::string rest) {
  double z;
  if (!ScrGetNumberArg(rest, z) || !ScrArgsEnd(rest)) return;
  if (!(z >= kMinZoom && z <= kMaxZoom)) return ScriptError(51);
  if (tPlotter* chart = ScriptHost().Chart()) {
    chart->Zoom = z;
    chart->Replot = 1;
  }
}

}  // namespace

namespace {

// The host commands: the keyword (followed by a blank on the line) and its
// routine, which takes the text after the blank.
struct THostCommand {
  const char* word;
  void (*run)(std::string rest);
};
constexpr THostCommand kHostCommands[] = {
    {"EQU2HOR", DoEqu2Hor},
    {"HOR2EQU", DoHor2Equ},
    {"ECL2EQU", DoEcl2Equ},
    {"GREG", DoGreg},
    {"SET_JD", [](std::string r) { DoSetJd(std::move(r), 0); }},
    {"SET_JDL", [](std::string r) { DoSetJd(std::move(r), 1); }},
    {"SET_JDDL", [](std::string r) { DoSetJd(std::move(r), 2); }},
    {"GET_JD", [](std::string r) { DoGetJd(std::move(r), 0); }},
    {"GET_JDL", [](std::string r) { DoGetJd(std::move(r), 1); }},
    {"GET_JDDL", [](std::string r) { DoGetJd(std::move(r), 2); }},
    {"GET_ACTUALJD", DoGetActualJd},
    {"GET_LST", DoGetLst},
    {"SET_LOC", DoSetLoc},
    {"GET_LOC", DoGetLoc},
    {"SET_CENTER", DoSetCenter},
    {"GET_EQU", [](std::string r) { DoGetPosition(std::move(r), false); }},
    {"GET_HOR", [](std::string r) { DoGetPosition(std::move(r), true); }},
    {"MARKERS", DoMarkers},
    {"MARK", DoMark},
    {"READ_SETTINGS_FILE", DoReadSettings},
    {"WAIT", DoWait},
    {"PRINT_MAP", DoPrintMap},
    {"GET_SCALE", DoGetScale},
    {"SET_SCALE", DoSetScale},
};

}  // namespace

bool ScrExecuteHostCommand(const std::string& line) {
  for (const THostCommand& c : kHostCommands) {
    const std::size_t n = std::char_traits<char>::length(c.word);
    if (line.size() > n && line[n] == ' ' && line.compare(0, n, c.word) == 0) {
      c.run(line.substr(n + 1));
      return true;
    }
  }
  return false;
}

std::vector<std::string> ScrHostCommandNames() {
  std::vector<std::string> names;
  for (const THostCommand& c : kHostCommands) names.emplace_back(c.word);
  return names;
}
