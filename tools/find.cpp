#include "tools/find.h"

#include <algorithm>
#include <cmath>
#include <map>
#include <memory>

#include "astro/constellations.h"
#include "astro/names.h"
#include "astro/observer.h"
#include "astro/precession.h"
#include "astro/reference_files.h"
#include "astro/riseset.h"
#include "astro/solar_system.h"
#include "astro/sun_moon.h"
#include "astro/text.h"
#include "astro/timescales.h"
#include "astro/transforms.h"
#include "astro/trig.h"
#include "catalog/object_catalog.h"
#include "catalog/object_options.h"
#include "catalog/stars.h"
#include "chart/plotter.h"
#include "tools/solsys_info.h"

TFindActions FindActions;

namespace {

const std::string kKeyGap(94, ' ');

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// The searching copy of the observer and the band of declinations that rise.
struct Sky {
  TObserverTime obs;
  double decLow, decHigh;
  int scope;

  Sky(const TObserverTime& o, int s) : obs(o), scope(s) {
    obs.ClipBelowHorizon = 1;
    const double colat = TwoPi / 4 - std::fabs(o.Latitude);
    decLow = o.Latitude >= 0 ? -colat : -TwoPi / 4;
    decHigh = o.Latitude >= 0 ? TwoPi / 4 : colat;
  }
  double Altitude(double ra, double dec) const {
    double alt, az;
    EquatorialToHorizontal(obs, alt, az, ra, dec);
    return alt;
  }
  bool Rises(double dec) const { return dec >= decLow && dec <= decHigh; }
  // The scope test; `body` marks the Sun, Moon, planets, asteroids and comets.
  bool Passes(double dec, double alt, bool body) const {
    if (scope == kScopeLocation) return body || Rises(dec);
    if (scope == kScopeLocationTime) return alt >= 0;
    return true;
  }
  // "+" below the horizon now, "*" never above it (fixed objects only).
  std::string Mark(double dec, double alt, bool body) const {
    if (!body && !Rises(dec)) return "*";
    return alt < 0 ? "+" : "";
  }
};

std::string Upper(const std::string& s) { return UpperCaseStr(s); }

void SearchDatabase(const std::string& query, const Sky& sky, std::vector<std::string>& out) {
  if (!ObjectCatalog) return;
  // Messier numbers by NGC number; the first entry wins.
  std::map<int32_t, int> messier;
  for (int n = 1; n <= kMessierCount; ++n) messier.emplace(MessierToRngc[n], n);
  TObjectsLock lock;
  tCO& co = *ObjectCatalog;
  const int count = co.Count();
  if (count == 0 || !co.SeekRecord(0)) return;
  for (int i = 0; i < count; ++i) {
    if (i > 0 && !co.Next()) break;
    if (std::isnan(co.RADate) || std::isnan(co.DEDate)) continue;
    const double alt = sky.Altitude(co.RADate, co.DEDate);
    if (!sky.Passes(co.DEDate, alt, false)) continue;
    // The key text: name, NGC alias, both descriptions and the Messier
    // aliases, never cut, so the aliases at its end are always searched.
    const std::string name = co.DisplayName();
    std::string key = name;
    const bool ngc = co.CurrentTable == 0;
    if (ngc) key += "|N" + co.ID + co.SubID;
    key += "|" + co.RNGCOld + "|" + co.RNGCNew;
    int m = 0;
    if (ngc && co.SubID.empty()) {
      int32_t number = 0;
      bool digits = !co.ID.empty() && co.ID.size() < 9 && std::all_of(co.ID.begin(), co.ID.end(), IsDigit);
      if (digits) number = std::stoi(co.ID);
      const auto it = digits ? messier.find(number) : messier.end();
      if (it != messier.end()) {
        m = it->second;
        const std::string n = std::to_string(m);
        key += "|M" + n + "|MESS" + n + "|MESSIER" + n;
      }
    }
    if (NormaliseQuery(key).find(query) == std::string::npos) continue;
    std::string text = "The object " + name + (m > 0 ? " (M" + std::to_string(m) + ")" : "");
    out.push_back(text + sky.Mark(co.DEDate, alt, false) + kKeyGap + "|" + std::to_string(co.Key));
  }
}

void SearchStars(const std::string& query, const Sky& sky, std::vector<std::string>& out) {
  if (SaoStars.empty() || !OpenStarNotes()) return;
  std::string note;
  for (const TSaoStar& s : SaoStars) {
    if (s.NoteOffset == 0) continue;
    const double alt = sky.Altitude(s.RA, s.Dec);
    if (!sky.Passes(s.Dec, alt, false)) continue;
    ReadStarNote(s.NoteOffset, note);
    if (NormaliseQuery(note).find(query) == std::string::npos) continue;
    out.push_back("The star SAO " + std::to_string(s.SaoNumber()) + sky.Mark(s.Dec, alt, false));
  }
  CloseStarNotes();
}

bool OneOf(const std::string& q, std::initializer_list<const char*> words) {
  for (const char* w : words)
    if (q == w) return true;
  return false;
}

void AddBody(const std::string& text, double ra, double dec, const Sky& sky, std::vector<std::string>& out) {
  const double alt = sky.Altitude(ra, dec);
  if (sky.Passes(dec, alt, true)) out.push_back(text + sky.Mark(dec, alt, true));
}

// The Moon where the chart draws it: its topocentric place for the
// observer's instant, which lies up to a degree from the geocentric one.
void DrawnMoonPlace(const TObserverTime& obs, double& ra, double& dec) {
  TSolarContext ctx;
  TSolSysBody moon;
  ComputeBody(kSelectSolarSystem, 9, obs, ctx, moon);
  ra = moon.RA;
  dec = moon.Dec;
}

void SearchSolarSystem(const std::string& q, const Sky& sky, std::vector<std::string>& out) {
  const bool all = OneOf(q, {"SOLAR SYSTEM", "THE SOLAR SYSTEM", "OUR SOLAR SYSTEM", "SOL SYS"});
  const bool planets = all || OneOf(q, {"PLANETS", "THE PLANETS", "ALL PLANETS"});
  double ra, dec;
  if (all || OneOf(q, {"SUN", "SOL", "OUR SUN", "THE SUN"})) {
    SunApparentPosition(sky.obs, sky.obs.JD_TT, ra, dec);
    AddBody("Our Sun", ra, dec, sky, out);
  }
  if (all || OneOf(q, {"MOON", "OUR MOON", "THE MOON"})) {
    DrawnMoonPlace(sky.obs, ra, dec);
    AddBody("Our Moon", ra, dec, sky, out);
  }
  for (int p = 1; p <= kPlanetCount; ++p) {
    if (p == kEarthNumber) continue;
    const std::string name = Upper(PlanetNames[p]);
    if (planets || q == name || q == "THE PLANET " + name) {
      AddBody(std::string("The Planet ") + PlanetNames[p], Planets[p - 1].RA, Planets[p - 1].Dec, sky, out);
      if (!planets) break;
    }
  }
}

void SearchConstellations(const std::string& q, const Sky& sky, std::vector<std::string>& out) {
  for (int c = 1; c <= ConstellationCount; ++c) {
    if (q != Upper(ConstellationAbbreviations[c]) && q != Upper(ConstellationNames[c])) continue;
    const double ra = ConstellationCentreRA[c] / 10.0 * 15.0 / DegPerRad;
    const double dec = ConstellationCentreDec[c] / DegPerRad;
    const double alt = sky.Altitude(ra, dec);
    if (sky.Passes(dec, alt, false))
      out.push_back(std::string("The Constellation ") + ConstellationNames[c] + sky.Mark(dec, alt, false));
  }
}

// An asteroid's or comet's place, precessed to the chart epoch when the
// chart shows positions of date.
void MinorBodyPlace(const TObserverTime& obs, const TSolSysBody& b, double& ra, double& dec) {
  ra = b.RA, dec = b.Dec;
  if (obs.PrecessionOn) Precess(obs, ra, dec);
}

void SearchMinorBodies(const std::string& q, const Sky& sky, const char* prefix, const TSolSysBody* bodies,
                       int count, std::vector<std::string>& out) {
  for (int i = 0; i < count; ++i) {
    const std::string name = bodies[i].Name.str();
    if (name.empty() || NormaliseQuery(name).find(q) == std::string::npos) continue;
    double ra, dec;
    MinorBodyPlace(sky.obs, bodies[i], ra, dec);
    AddBody(prefix + name, ra, dec, sky, out);
  }
}

// The name after a prefix with the mark removed.
std::string NameAfter(const std::string& line, std::size_t prefix) {
  std::string s = ResultDisplayText(line).substr(prefix);
  if (!s.empty() && (s.back() == '*' || s.back() == '+')) s.pop_back();
  return s;
}

}  // namespace

std::string NormaliseQuery(const std::string& text) {
  std::string out;
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (c == ' ') {
      const bool before = i > 0 && IsDigit(text[i - 1]);
      const bool after = i + 1 < text.size() && IsDigit(text[i + 1]);
      if (before != after) continue;
    }
    out += (c >= 'a' && c <= 'z') ? char(c - 'a' + 'A') : c;
  }
  return TrimBlanks(out);
}

std::string ObjectDatabaseSearchNote() {
  const TObjectDatabaseNote note = ObjectDatabaseNote();
  if (note.why.empty()) return {};
  return (note.absent ? "Deep-sky objects were not searched: " : "Deep-sky objects may be missing: ") + note.why + ".";
}

std::string ResultDisplayText(const std::string& line) {
  const std::size_t gap = line.find(kKeyGap);
  return gap == std::string::npos ? line : line.substr(0, gap);
}

std::vector<std::string> SearchObjects(const std::string& query, int scope, const TObserverTime& obs) {
  std::vector<std::string> out;
  if (query.empty()) return out;
  const Sky sky(obs, scope);
  SearchDatabase(query, sky, out);
  SearchStars(query, sky, out);
  SearchSolarSystem(query, sky, out);
  SearchConstellations(query, sky, out);
  SearchMinorBodies(query, sky, "The Asteroid ", Asteroids, std::clamp(AsteroidCount, 0, kMaxMinorBodies), out);
  SearchMinorBodies(query, sky, "The Comet ", Comets, std::clamp(CometCount, 0, kMaxMinorBodies), out);
  std::sort(out.begin(), out.end());
  return out;
}

TFoundObject SelectFoundObject(const std::string& line, const TObserverTime& obs) {
  TFoundObject f;
  const std::string text = ResultDisplayText(line);
  auto starts = [&](const char* p) { return text.rfind(p, 0) == 0; };
  if (starts("The star SAO ")) {
    const std::string n = NameAfter(line, 13);
    int32_t sao = -1;
    if (!n.empty() && std::all_of(n.begin(), n.end(), IsDigit) && n.size() < 9) sao = std::stoi(n);
    for (std::size_t i = 0; i < SaoStars.size(); ++i)
      if (int32_t(SaoStars[i].SaoNumber()) == sao) {
        f.Kind = kFoundStar, f.Index = int32_t(i + 1), f.RA = SaoStars[i].RA, f.Dec = SaoStars[i].Dec;
        break;
      }
  } else if (starts("The object ")) {
    const std::size_t bar = line.rfind('|');
    const std::string k = bar == std::string::npos ? "" : line.substr(bar + 1);
    if (ObjectCatalog && !k.empty() && k.size() < 11 && std::all_of(k.begin(), k.end(), IsDigit)) {
      TObjectsLock lock;
      const int32_t key = int32_t(std::stoll(k));
      if (ObjectCatalog->SeekKey(key)) {
        f.Kind = kFoundObject, f.Index = key, f.RA = ObjectCatalog->RADate, f.Dec = ObjectCatalog->DEDate;
        f.Name = ObjectCatalog->DisplayName();
      }
    }
  } else if (starts("The Planet ")) {
    const std::string name = Upper(NameAfter(line, 11));
    for (int p = 1; p <= kPlanetCount; ++p)
      if (name == Upper(PlanetNames[p])) {
        f.Kind = kFoundSolarSystem, f.Name = PlanetNames[p];
        f.Index = p == kEarthNumber ? -1 : p - 1;
        f.RA = Planets[p - 1].RA, f.Dec = Planets[p - 1].Dec;
      }
  } else if (starts("Our Moon")) {
    DrawnMoonPlace(obs, f.RA, f.Dec);
    f.Kind = kFoundSolarSystem, f.Index = 9;
  } else if (starts("Our Sun")) {
    SunApparentPosition(obs, obs.JD_TT, f.RA, f.Dec);
    f.Kind = kFoundSolarSystem, f.Index = 10;
  } else if (starts("The Asteroid ") || starts("The Comet ")) {
    const bool asteroid = starts("The Asteroid ");
    const std::string name = Upper(NameAfter(line, asteroid ? 13 : 10));
    const TSolSysBody* bodies = asteroid ? Asteroids : Comets;
    const int count = std::clamp(asteroid ? AsteroidCount : CometCount, 0, kMaxMinorBodies);
    for (int i = 0; i < count; ++i)
      if (Upper(bodies[i].Name.str()) == name) {
        f.Kind = asteroid ? kFoundAsteroid : kFoundComet, f.Index = i, f.Name = bodies[i].Name.str();
        MinorBodyPlace(obs, bodies[i], f.RA, f.Dec);
        break;
      }
  } else if (starts("The Constellation ")) {
    const std::string name = NameAfter(line, 18);
    for (int c = 1; c <= ConstellationCount; ++c)
      if (name == ConstellationNames[c]) {
        f.Kind = kFoundConstellation, f.Index = -1, f.Name = name;
        f.RA = ConstellationCentreRA[c] / 10.0 * 15.0 / DegPerRad;
        f.Dec = ConstellationCentreDec[c] / DegPerRad;
      }
  }
  if (f.Kind != kFoundNone) {
    TObserverTime o = obs;
    o.ClipBelowHorizon = 1;
    double az;
    EquatorialToHorizontal(o, f.Altitude, az, f.RA, f.Dec);
  }
  return f;
}

TFindCommands FindCommands(const TFoundObject& f) {
  TFindCommands c;
  if (f.Kind == kFoundNone || (f.Kind == kFoundSolarSystem && f.Index < 0)) return c;
  c.Center = f.Altitude >= 0;
  c.Track = f.Kind >= kFoundAsteroid && f.Kind <= kFoundSolarSystem;
  c.Information = f.Kind != kFoundConstellation;
  return c;
}

namespace {

// The place of a found object for its rise: a moving body's place at each
// instant (BodyPlaceFor), a fixed object's place of now, with the altitude
// of its centre on `horizon`.
TBodyPlace RisePlace(const TFoundObject& f, const TObserverTime& obs, THorizon horizon) {
  if (TBodyPlace body = BodyPlaceFor(f.Kind, f.Index, obs, horizon)) return body;
  return FixedPlace(f.RA, f.Dec, HorizonAltitude(THorizonBody::Star, horizon));
}

// The first event of a side (-1 rise, +1 set), or null.
const TRiseSetEvent* FirstEvent(const std::vector<TRiseSetEvent>& events, int side) {
  for (const TRiseSetEvent& e : events)
    if (e.side == side) return &e;
  return nullptr;
}

// The clock time `hours` after the record's instant as "h:mm" (minutes
// rounded), with "tomorrow " before it when that minute falls on a later
// clock date.
std::string ClockText(const TObserverTime& obs, double hours, bool sayTomorrow = true) {
  const double today = JDMidnight(obs.JD_LocalCivil);
  const long minutes = std::lround((obs.JD_LocalCivil + hours / 24.0 - today) * 1440.0);
  const long m = ((minutes % 1440) + 1440) % 1440;
  const std::string mm = std::to_string(m % 60);
  return std::string(sayTomorrow && minutes >= 1440 ? "tomorrow " : "") + "at " + std::to_string(m / 60) + ":" +
         (mm.size() < 2 ? "0" : "") + mm;
}

}  // namespace

std::string BelowHorizonText(const TFoundObject& f, const std::string& line, const TObserverTime& obs) {
  std::string name = ResultDisplayText(line);
  if (!name.empty() && (name.back() == '*' || name.back() == '+')) name.pop_back();
  name += " is below the horizon";
  // Rise and set on the standard horizon, as the almanacs give them, in the
  // 24 hours from now: the Sun, the Moon and the planets as they move, every
  // other object at its place of now.
  const TBodyPlace place = RisePlace(f, obs, THorizon::Standard);
  const std::vector<TRiseSetEvent> events = MovingRiseSetEvents(obs, place, obs.JD_UT, 24.0);
  const TRiseSetEvent* rise = FirstEvent(events, -1);
  const TRiseSetEvent* set = FirstEvent(events, +1);
  // Refraction lifts a body whose centre stands just below the horizon into
  // view: it is up on the standard horizon already while it rises (and
  // still while it sets) though its centre is not.
  double ra = 0, dec = 0, h0 = 0, alt = 0, az = 0;
  place(obs.JD_UT, ra, dec, h0);
  const auto unclipped = std::make_unique<TObserverTime>(obs);
  unclipped->ClipBelowHorizon = 0;
  EquatorialToHorizontal(*unclipped, alt, az, ra, dec);
  if (alt > h0) {
    // Rising: its centre comes up before it sets. Then it rose last in the
    // 24 hours before now.
    const std::vector<TRiseSetEvent> centre =
        MovingRiseSetEvents(obs, RisePlace(f, obs, THorizon::Centre), obs.JD_UT, 24.0);
    const TRiseSetEvent* centreRise = FirstEvent(centre, -1);
    if (centreRise && (!set || centreRise->hours < set->hours)) {
      const std::vector<TRiseSetEvent> before = MovingRiseSetEvents(obs, place, obs.JD_UT - 1.0, 24.0);
      std::string risen;
      for (const TRiseSetEvent& e : before)
        if (e.side < 0) risen = "it rose " + ClockText(obs, e.hours - 24.0, false) + ", ";
      return name + ": " + risen + "its centre rises " + ClockText(obs, centreRise->hours) + ".";
    }
    // Setting: the next rise follows its set.
  }
  if (rise) return name + ": it rises " + ClockText(obs, rise->hours) + ".";
  // A fixed object that no hour angle brings above the horizon.
  const bool fixed = f.Kind == kFoundObject || f.Kind == kFoundStar || f.Kind == kFoundConstellation;
  const double highest = TwoPi / 4 - std::fabs(obs.Latitude - f.Dec);
  if (fixed && highest <= h0) return name + " and never rises here.";
  return name + " and does not rise within the next 24 hours.";
}

bool ChooseFound(const TFoundObject& f, const std::string& line, const TObserverTime& obs) {
  static std::string shownNote;  // the note this window put into panel 0
  if (f.Kind == kFoundNone || (f.Kind == kFoundSolarSystem && f.Index < 0)) return false;
  if (f.Altitude > 0) {
    if (!shownNote.empty() && FindActions.ClearStatusText) FindActions.ClearStatusText(0, shownNote);
    shownNote.clear();
    return CenterOnFound(f);
  }
  shownNote = BelowHorizonText(f, line, obs);
  if (FindActions.StatusText) FindActions.StatusText(0, shownNote);
  return false;
}

std::string FoundTrackingText(const TFoundObject& f) {
  std::string t;
  if (f.Kind == kFoundSolarSystem)
    t = f.Index == 9 ? "The Moon" : f.Index == 10 ? "The Sun" : "The planet " + f.Name;
  else if (f.Kind == kFoundAsteroid)
    t = "The asteroid " + f.Name;
  else if (f.Kind == kFoundComet)
    t = "The comet " + f.Name;
  return t.substr(0, 50);
}

bool CenterOnFound(const TFoundObject& f) {
  if (f.Kind == kFoundNone || (f.Kind == kFoundSolarSystem && f.Index < 0) || MainPlotter == nullptr) return false;
  MainPlotter->SetViewCenter(f.RA, f.Dec);
  MainPlotter->ZenithView = 0;
  MainPlotter->RequestReplot();  // ends tracking
  if (FindActions.StatusText) FindActions.StatusText(3, "");
  return true;
}

bool TrackFound(const TFoundObject& f) {
  if (f.Kind < kFoundAsteroid || f.Kind > kFoundSolarSystem || f.Index < 0 || MainPlotter == nullptr) return false;
  MainPlotter->TrackKind = uint8_t(f.Kind);
  MainPlotter->TrackIndex = f.Index;
  MainPlotter->ZenithView = 0;
  MainPlotter->Replot = 1;
  MainPlotter->TrackName.assign(FoundTrackingText(f));
  if (FindActions.StatusText) FindActions.StatusText(4, "Tracking: " + FoundTrackingText(f));
  return true;
}

bool ShowFoundInformation(const TFoundObject& f) {
  if (!FindCommands(f).Information || !FindActions.Information) return false;
  FindActions.Information(f);
  return true;
}
