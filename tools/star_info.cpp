#include "tools/star_info.h"

#include <cmath>
#include <cstdio>
#include <memory>

#include "astro/constellations.h"
#include "astro/names.h"
#include "astro/observer.h"
#include "astro/precession.h"
#include "astro/spectral.h"
#include "astro/sun_moon.h"
#include "astro/text.h"
#include "astro/transforms.h"
#include "platform/codec.h"
#include "platform/numfmt.h"
#include "tools/info_places.h"

namespace {

constexpr double kPi = 3.141592653589793;
constexpr double kFileUnit = 2 * kPi / 2147483647.0;
constexpr const char* kLetters = "OBAFGKMRNSQPWW";
constexpr const char* kLuminosityTexts[8] = {"", " I", " II", " III", " IV", " V", " Ia", " Ib"};

// Absolute magnitudes of the bright supergiants (Ia) and the less luminous
// supergiants (Ib) at tabulated subtypes (10 × class + subclass, O0 = 0),
// after the MK calibration of Schmidt-Kaler (1982, Landolt-Börnstein
// VI/2b), interpolated linearly between them like the other rows.
struct MvAnchor {
  int at;
  double mv;
};
constexpr MvAnchor kIa[] = {{3, -6.8}, {10, -6.9}, {20, -7.1}, {30, -7.6}, {42, -7.5},
                            {50, -7.3}, {60, -7.0}, {69, -7.0}};
constexpr MvAnchor kIb[] = {{3, -6.1}, {10, -5.7}, {20, -5.1}, {30, -4.8}, {42, -4.7},
                            {50, -4.6}, {60, -4.6}, {69, -4.6}};

template <std::size_t N>
double InterpolateMv(const MvAnchor (&a)[N], int at) {
  if (at < a[0].at) return SpectralMissing;
  for (std::size_t i = 0; i + 1 < N; ++i)
    if (at <= a[i + 1].at)
      return a[i].mv + (a[i + 1].mv - a[i].mv) * double(at - a[i].at) / double(a[i + 1].at - a[i].at);
  return a[N - 1].mv;
}

std::string Fixed(double v, int width, int decimals) { return TrimBlanks(platform::FormatFixed(v, width, decimals)); }

// A factor of a sentence: rounded to a pleasant step, up to five decimals,
// trailing zeros and point removed.
std::string FactorText(double f) {
  std::string s = platform::FormatFixed(RoundNice(f), 0, 5);
  if (s.find('.') != std::string::npos) {
    while (!s.empty() && s.back() == '0') s.pop_back();
    if (!s.empty() && s.back() == '.') s.pop_back();
  }
  return TrimBlanks(s);
}

std::string Sentence(float logValue, const char* what) {
  if (logValue == SpectralMissing) return std::string("???x the ") + what + " of our sun.";
  const double f = std::pow(10.0, double(logValue));
  const std::string text = FactorText(f);
  if (text == "1") return std::string("About the same ") + what + " as our sun.";
  return text + "x the " + what + " of our sun.";
}

}  // namespace

double StarAbsoluteMagnitude(int luminosity, int letter, int subclass) {
  if (letter < 1 || letter > 7 || subclass < 0 || subclass > 9) return SpectralMissing;
  const int at = 10 * (letter - 1) + subclass;
  if (luminosity >= 1 && luminosity <= 5) return AbsMagnitudeTable[luminosity][letter][subclass];
  if (luminosity == 6) return InterpolateMv(kIa, at);
  if (luminosity == 7) return InterpolateMv(kIb, at);
  return SpectralMissing;
}

std::string SpectralClassText(uint16_t code) {
  const int letter = code / 100, sub = code / 10 % 10, lum = code % 10;
  if (letter < 1 || letter > 14) return "No data";
  std::string s(1, kLetters[letter - 1]);
  if (letter == 13) s += "R";
  if (letter == 14) s += "P";
  s += char('0' + sub);
  if (lum >= 1 && lum <= 7) s += kLuminosityTexts[lum];
  return s;
}

double DynamicalParallaxOf(const std::vector<std::string>& notes) {
  double p = 0;
  for (const auto& line : notes) {
    if (line.compare(0, 4, "DYN:") != 0) continue;
    std::string t = TrimBlanks(line.size() > 5 ? line.substr(5) : std::string());
    std::size_t n = 0;
    while (n < t.size() && (t[n] == '.' || (t[n] >= '0' && t[n] <= '9'))) ++n;
    t.resize(n);
    char* end = nullptr;
    const double v = t.empty() ? 0 : std::strtod(t.c_str(), &end);
    p = (end && *end == '\0') ? v : 0;
  }
  return p;
}

int ColourClassOfIndex(double bv) {
  static constexpr double kClassStarts[6] = {-0.30, 0.00, 0.30, 0.58, 0.81, 1.40};  // B, A, F, G, K, M
  int c = 1;
  while (c <= 6 && bv >= kClassStarts[c - 1]) ++c;
  return c;
}

TStarInfo MakeStarInfo(uint32_t sao, const uint8_t* p, const std::vector<std::string>& notes,
                       const TObserverTime& observer) {
  TStarInfo s;
  s.Sao = sao;
  const uint16_t flags = platform::GetU16(p + 0);
  const uint16_t bsc = flags & 0x3FFF;
  s.Variable = (flags & 0x4000) != 0;
  const uint32_t hd = platform::GetU32(p + 2);
  const int bayer = p[6], flamsteed = p[7], constellation = p[8];
  const int32_t ra = platform::GetI32(p + 9), dec = platform::GetI32(p + 15);
  const int16_t pmRA = platform::GetI16(p + 13), pmDec = platform::GetI16(p + 19);
  const int magByte = p[21], colourByte = p[22];
  const uint16_t spectral = platform::GetU16(p + 23), parallaxWord = platform::GetU16(p + 25);

  s.Notes = notes;
  s.DynamicalParallax = DynamicalParallaxOf(notes);
  {
    TStarNoteLines lines{};
    const int n = int(std::min<std::size_t>(notes.size(), lines.size()));
    for (int i = 0; i < n; ++i) lines[i] = notes[i];
    ExtractStarName(lines, n, s.Name);
  }
  s.SaoText = std::to_string(sao);
  s.BscText = bsc ? std::to_string(bsc) : "";
  s.HdText = hd ? std::to_string(hd) : "";
  const double mag = magByte / 10.0 - 2;
  s.VMag = magByte ? Fixed(mag, 4, 1) : "No data";
  s.ColorIndex = colourByte ? Fixed(colourByte / 40.0 - 0.5, 5, 2) : "No data";

  // Places: J2000, then of date, then altitude and azimuth.
  double raJ2000 = ra * kFileUnit;
  if (raJ2000 < 0) raJ2000 += 2 * kPi;
  constexpr double kMasPerYear = kPi / 180 / 3600 / 1000;  // the record's proper motion unit, radians a year
  FillInfoPlaces(s, observer, raJ2000, dec * kFileUnit, pmRA * kMasPerYear, pmDec * kMasPerYear);

  // Identification: Bayer letter (or Flamsteed number) and constellation,
  // each byte checked against its table.
  std::string id;
  const int greek = bayer / 10, index = bayer % 10;
  if (bayer != 0 && greek >= 1 && greek <= 24) {
    std::string g = TrimBlanks(GreekLetterAbbreviations[greek]);
    for (std::size_t i = 1; i < g.size(); ++i) g[i] = char(std::tolower(uint8_t(g[i])));
    id = g;
    if (index) id += char('0' + index);
  } else if (flamsteed != 0) {
    id = std::to_string(flamsteed);
  }
  if (constellation >= 1 && constellation <= ConstellationCount)
    id += std::string(" ") + ConstellationAbbreviations[constellation];
  s.Identification = TrimBlanks(id);

  // Spectral class and the physical estimates.
  s.Spectral = SpectralClassText(spectral);
  const int letter = spectral / 100, sub = spectral / 10 % 10;
  if (letter >= 1 && letter <= 14) s.ColourClass = std::min(letter, 7);
  else if (colourByte) s.ColourClass = ColourClassOfIndex(colourByte / 40.0 - 0.5);
  int lum = spectral % 10;
  const double mv = StarAbsoluteMagnitude(lum, letter, sub);
  s.AbsMagnitude = mv;
  // The supergiants Ia and Ib count as I. Many catalogue stars give no
  // luminosity class (Sirius: "A0"): their estimates are those of a
  // main-sequence star of the class, and say so.
  if (lum == 6 || lum == 7) {
    lum = 1;
  } else if (letter >= 1 && letter <= 7 && (lum < 1 || lum > 5)) {
    lum = 5;
    s.PhysicalNote = "No luminosity class: a main-sequence (V) star assumed.";
  }
  const bool physical = letter >= 1 && letter <= 7 && lum >= 1 && lum <= 5;
  const float logL = physical ? SpectralTable1[lum][letter][sub] : SpectralMissing;
  const float logD = physical ? SpectralTable2[lum][letter][sub] : SpectralMissing;
  const float logM = physical ? SpectralTable3[lum][letter][sub] : SpectralMissing;
  if (mv != SpectralMissing && magByte > 1) s.VMag += " (" + Fixed(mv, 0, 1) + " Mv)";
  const bool spectralKnown = mv != SpectralMissing && magByte != 0;
  const double spectralPc = spectralKnown ? std::pow(10.0, (mag - mv + 5) / 5) : 0;
  s.Sentences = {Sentence(logL, "luminosity"), Sentence(logD, "diameter"), Sentence(logM, "mass")};
  if (logD != SpectralMissing) {
    s.DiameterKnown = true;
    s.DiameterFactor = std::pow(10.0, double(logD));
  }

  // Distance.
  const bool trig = parallaxWord != 65535 && parallaxWord != 0;
  const double plx = s.DynamicalParallax != 0 ? s.DynamicalParallax
                                              : (trig ? std::fabs(parallaxWord / 1000.0 - 0.032) : 0);
  auto distanceText = [](double pc) {
    return Fixed(pc, 0, 0) + " pc (" + Fixed(pc * 3.26, 0, 0) + " ly)";
  };
  if (trig && plx > 0 && (s.DynamicalParallax != 0 || plx >= 0.025)) {
    const double pc = RoundNice(1 / plx);
    s.Distance = distanceText(pc);
    s.DistanceHint = "Distance from trigonometric or dynamical parallax";
    if (spectralKnown) s.Distance += " (" + Fixed((spectralPc - pc) / pc * 100, 0, 0) + "%)";
  } else if (spectralKnown) {
    s.Distance = distanceText(RoundNice(spectralPc));
    s.DistanceHint = "Distance estimated from spectral data only";
  } else if (!trig) {
    s.Distance = "No data";
  } else {
    s.Distance = ">40pc (130ly)";
    s.DistanceHint = "Trig. Parallax >40pc, no other distance data available";
  }
  s.ProperRA = Fixed(pmRA / 15000.0, 0, 3) + "\"";
  s.ProperDec = Fixed(pmDec / 1000.0, 0, 3) + "\"";
  return s;
}

bool LoadStarInfo(uint32_t sao, const TObserverTime& observer, TStarInfo& info) {
  if (!OpenSaoFile()) return false;
  uint8_t record[kSaoRecordBytes] = {};
  const bool ok = ReadSaoRecord(int32_t(sao), record);
  CloseSaoFile();
  if (!ok || IsEmptySaoRecord(record)) return false;
  TStarNoteLines lines{};
  int count = 0;
  ReadStarNotes(platform::GetU32(record + 27), lines, count);
  info = MakeStarInfo(sao, record, std::vector<std::string>(lines.begin(), lines.begin() + count), observer);
  return true;
}

std::string StarPoiName(const TStarInfo& info) {
  return info.HdText.empty() ? "SAO" + info.SaoText : "HD" + info.HdText;
}
