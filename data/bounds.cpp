#include "data/bounds.h"

#include <algorithm>
#include <cmath>
#include <memory>
#include <sstream>

#include "astro/constellations.h"
#include "astro/observer.h"
#include "astro/precession.h"
#include "astro/timescales.h"
#include "data/common.h"
#include "platform/numfmt.h"

namespace mkdata {

std::vector<BoundaryRun> ReadBoundaryOutlines(const std::string& path) {
  const std::string text = ReadTextFile(path);
  std::vector<BoundaryRun> runs;
  int lineNo = 0;
  for (std::string_view line : SplitLines(text)) {
    ++lineNo;
    if (Trim(line).empty()) continue;
    if (line.front() == ':') {
      // A full name; "Serpens Caput" and "Serpens Cauda" are both Serpens.
      std::string name(Trim(line.substr(1)));
      if (name.rfind("Serpens", 0) == 0) name = "Serpens";
      int number = 0;
      for (int n = 1; n <= ConstellationCount; ++n)
        if (name == ConstellationNames[n]) number = n;
      if (!number) throw SourceError(path + ": unknown constellation \"" + name + "\"");
      runs.push_back({number, {}});
      continue;
    }
    std::istringstream in{std::string(line)};
    in.imbue(std::locale::classic());
    double ra = 0, dec = 0;
    if (runs.empty() || !(in >> ra >> dec)) throw SourceError(path + ": cannot read line " + std::to_string(lineNo));
    // The outlines of the two polar constellations run out to the pole and
    // back along a seam so that their caps can be filled; the boundary
    // itself does not pass the pole.
    if (std::abs(dec) >= 89.999) continue;
    runs.back().points.push_back({ra, dec});
  }
  std::erase_if(runs, [](const BoundaryRun& r) { return r.points.empty(); });
  if (runs.empty()) throw SourceError(path + ": no boundaries");
  return runs;
}

BoundaryRun PrecessRunTo1875(const BoundaryRun& run) {
  // The record is large; keep it off the stack.
  auto rec = std::make_unique<TObserverTime>();
  InitObserver(*rec);
  SetPrecession(*rec, 2451545.0, JulianDay(1875, 1, 1, 0));
  BoundaryRun out{run.constellation, {}};
  for (auto [raH, decD] : run.points) {
    double ra = raH * kHourToRad, dec = decD * kDegToRad;
    Precess(*rec, ra, dec);
    out.points.push_back({NormaliseAngle(ra) / kHourToRad, dec / kDegToRad});
  }
  return out;
}

namespace {

// Difference of two right ascensions in hours, the short way round.
double RaDiff(double a, double b) {
  double d = std::fmod(std::abs(a - b), 24.0);
  return d > 12.0 ? 24.0 - d : d;
}

}  // namespace

std::vector<std::pair<double, double>> Corners(const std::vector<std::pair<double, double>>& ringIn,
                                               double raTol, double decTol) {
  // Work on the ring without a closing repeat of the first point, and
  // without points that repeat their predecessor.
  std::vector<std::pair<double, double>> ring;
  for (const auto& p : ringIn)
    if (ring.empty() || RaDiff(p.first, ring.back().first) > raTol / 10 ||
        std::abs(p.second - ring.back().second) > decTol / 10)
      ring.push_back(p);
  while (ring.size() > 1 && RaDiff(ring.front().first, ring.back().first) <= raTol / 10 &&
         std::abs(ring.front().second - ring.back().second) <= decTol / 10)
    ring.pop_back();
  const std::size_t n = ring.size();
  std::vector<std::pair<double, double>> out;
  if (n < 3) {
    out = ring;
  } else {
    for (std::size_t i = 0; i < n; ++i) {
      const auto& a = ring[(i + n - 1) % n];
      const auto& b = ring[i];
      const auto& c = ring[(i + 1) % n];
      const bool meridian = RaDiff(a.first, b.first) <= raTol && RaDiff(b.first, c.first) <= raTol;
      const bool parallel = std::abs(a.second - b.second) <= decTol && std::abs(b.second - c.second) <= decTol;
      if (!meridian && !parallel) out.push_back(b);
    }
  }
  if (!out.empty()) out.push_back(out.front());
  return out;
}

std::string BoundsRecord(double raHours, double decDeg, const char* abbreviation) {
  double ra = std::fmod(raHours, 24.0);
  if (ra < 0) ra += 24.0;
  std::string raText = platform::FormatFixed(ra, 8, 5);
  if (raText == "24.00000") raText = " 0.00000";
  std::string abbr(abbreviation);
  abbr.resize(4, ' ');
  return raText + " " + platform::FormatFixed(decDeg, 9, 5) + " " + abbr + "  \r\n";
}

std::vector<BoundaryRun> ArrangeRuns(const std::vector<BoundaryRun>& runs) {
  std::vector<BoundaryRun> out, pending;
  auto fits = [&](const BoundaryRun& r) { return out.empty() || out.back().constellation != r.constellation; };
  for (const BoundaryRun& r : runs) {
    if (!fits(r)) {
      pending.push_back(r);
      continue;
    }
    out.push_back(r);
    // A deferred run may follow now.
    for (auto it = pending.begin(); it != pending.end(); ++it)
      if (fits(*it)) {
        out.push_back(*it);
        pending.erase(it);
        break;
      }
  }
  for (const BoundaryRun& r : pending) {
    // Put a leftover run where its neighbours differ from it.
    std::size_t at = 0;
    while (at <= out.size() && ((at > 0 && out[at - 1].constellation == r.constellation) ||
                                (at < out.size() && out[at].constellation == r.constellation)))
      ++at;
    if (at > out.size()) throw SourceError("boundary runs of one constellation cannot be kept apart");
    out.insert(out.begin() + std::ptrdiff_t(at), r);
  }
  return out;
}

std::string EncodeBounds(const std::vector<BoundaryRun>& runs) {
  std::string out;
  std::size_t count = 0;
  for (std::size_t i = 0; i < runs.size(); ++i) {
    const BoundaryRun& r = runs[i];
    if (i > 0 && runs[i - 1].constellation == r.constellation)
      throw SourceError("two boundary runs of one constellation would join; arrange them first");
    if (r.constellation < 1 || r.constellation > ConstellationCount) throw SourceError("bad constellation number");
    for (const auto& [ra, dec] : r.points) out += BoundsRecord(ra, dec, ConstellationAbbreviations[r.constellation]);
    count += r.points.size();
  }
  if (count > std::size_t(kMaxBoundaryVertices))
    throw SourceError("the boundaries have " + std::to_string(count) + " vertices, more than the 2000 the program reads");
  return out;
}

}  // namespace mkdata
