#include "catalog/bounds.h"

#include <cerrno>
#include <cmath>
#include <cstring>
#include <cstdio>
#include <memory>

#include "astro/constellations.h"
#include "astro/precession.h"
#include "astro/timescales.h"
#include "platform/float_to_int.h"
#include "platform/numfmt.h"
#include "platform/paths.h"
#include "shell/data_files.h"
#include "shell/globals.h"
#include "shell/messages.h"

std::vector<TBoundaryVertex> BoundaryVertices;
int32_t BoundaryVertexCount = 0;
std::vector<TBoundaryPoint> BoundaryPoints;
int32_t BoundaryPointCount = 0;
TObserverTime BoundsObserver;

namespace {

constexpr const char* kBoundsFile = "Bounds.dat";
constexpr const char* kBoundsDetail = "\"Bounds.dat\"";
constexpr double kDegreesPerRadian = 57.29577951308232;
constexpr double kPi = 3.14159265358979323846;
// The shortest record that still holds a whole vertex (columns 1-23).
constexpr std::size_t kVertexTextBytes = 23;

void SetVertexCount(int32_t n) {
  BoundaryVertices.resize(std::size_t(n));
  BoundaryVertexCount = n;
}

}  // namespace

void LoadBounds() {
  SetVertexCount(0);
  std::string refused;
  std::FILE* f = OpenDataFileToRead(platform::FindFileNoCase(DataFolder, kBoundsFile), refused);
  if (!f) {
    ReportDataFileProblem(102, kBoundsFile, refused);
    return;
  }
  std::vector<TBoundaryVertex> vertices;
  std::string damage;
  char rec[kBoundsRecordBytes];
  while (int(vertices.size()) < kMaxBoundaryVertices) {
    const std::size_t got = std::fread(rec, 1, sizeof rec, f);
    if (got < kBoundsRecordBytes && std::ferror(f)) {
      damage = "it cannot be read (" + std::string(std::strerror(errno)) + ")";
      break;
    }
    if (got < kVertexTextBytes) break;  // the end of the file
    const std::string text(rec, std::min<std::size_t>(got, 25));
    TBoundaryVertex v;
    double hours = 0, degrees = 0;
    // The record as it reads, noise shown as "?".
    std::string shown = text.substr(0, 18);
    for (char& c : shown)
      if (c < ' ' || c > '~') c = '?';
    const std::string record = "record " + std::to_string(vertices.size() + 1);
    if (!platform::ParseDouble(text.substr(0, 8), hours) || !platform::ParseDouble(text.substr(9, 9), degrees)) {
      damage = record + " holds no position (\"" + shown + "\")";
      break;
    }
    if (!(hours >= 0 && hours <= 24) || !(degrees >= -90 && degrees <= 90)) {
      damage = record + " holds a position off the sky (\"" + shown + "\")";
      break;
    }
    v.RA = hours * 15.0 / kDegreesPerRadian;
    v.Dec = degrees / kDegreesPerRadian;
    v.Abbr = text.substr(19, 4);
    vertices.push_back(std::move(v));
    if (got < kBoundsRecordBytes) break;  // a last record without its line end
  }
  const bool closeFailed = std::fclose(f) != 0;
  if (!damage.empty()) {
    // No boundaries at all rather than a broken outline.
    ReportDataFileProblem(103, kBoundsFile, damage + "; no boundaries are drawn");
    return;
  }
  BoundaryVertices = std::move(vertices);
  BoundaryVertexCount = int32_t(BoundaryVertices.size());
  if (closeFailed) ShowErrorMessage(104, kBoundsDetail);
}

int FindConstellation(const std::string& abbr) {
  return ConstellationNumber(std::string_view(abbr).substr(0, 3));
}

void PrecessBounds() { PrecessBounds(ObserverTime); }

void PrecessBounds(const TObserverTime& observer) {
  // The boundaries are of epoch 1875: precess from 1875 January 1.0.
  BoundsObserver = observer;
  BoundsObserver.PrecessionOn = 1;
  SetPrecession(BoundsObserver, JulianDay(1875, 1, 1, 0), double(BoundsObserver.JD_TT));

  std::vector<TBoundaryPoint> points;
  points.reserve(std::size_t(kMaxBoundaryPoints));
  auto append = [&](double ra, double dec, uint8_t kind, uint8_t c) {
    if (int(points.size()) >= kMaxBoundaryPoints) return;
    Precess(BoundsObserver, ra, dec);
    points.push_back({ra, dec, kind, c});
  };

  for (std::size_t i = 0; i < BoundaryVertices.size() && int(points.size()) < kMaxBoundaryPoints;
       ++i) {
    const TBoundaryVertex& end = BoundaryVertices[i];
    const uint8_t c = uint8_t(FindConstellation(end.Abbr));
    if (i == 0 || end.Abbr != BoundaryVertices[i - 1].Abbr) {
      append(end.RA, end.Dec, kBoundaryNewRun, c);  // a new run starts here
      continue;
    }
    // A segment from the previous vertex, walked from its end to its start.
    const TBoundaryVertex& start = BoundaryVertices[i - 1];
    double dRA = std::fabs(end.RA - start.RA);
    const bool crosses0h = dRA > kPi;  // the short way goes through 0h
    if (crosses0h) dRA = 2 * kPi - dRA;
    const double dDec = std::fabs(end.Dec - start.Dec);
    // One step per 5°; a segment spans at most 180° either way, so at most
    // 37 steps (the bound also holds for vertices set by a caller).
    const double fifths = std::max(dRA, dDec) / (kPi / 36.0);
    const int n = fifths < 36.0 ? int(fifths) + 1 : 37;
    double stepRA = dRA / n;
    if (end.RA > start.RA) stepRA = -stepRA;
    if (crosses0h) stepRA = -stepRA;
    double stepDec = dDec / n;
    if (end.Dec > start.Dec) stepDec = -stepDec;
    double ra = end.RA, dec = end.Dec;
    for (int j = 1; j <= n; ++j) {
      append(ra, dec, j == 1 ? kBoundarySegmentStart : kBoundaryFollow, c);
      ra += stepRA;
      dec += stepDec;
    }
    append(ra, dec, kBoundaryFollow, c);
  }
  BoundaryPoints = std::move(points);
  BoundaryPointCount = int32_t(BoundaryPoints.size());
}

int32_t SunMoonImageSide(int32_t size, float aspect) {
  const double extent = !(aspect > 0.0f) ? double(size)
                        : aspect >= 1.0f  ? double(size) * aspect
                                          : double(size) / aspect;
  // Far beyond any screen: kept where the arithmetic below cannot overflow.
  const int32_t side = platform::ClampFloatToInt<int32_t>(std::nearbyint(std::min(extent, 1e9)));
  return ((side + 3) / 4) * 4 + 4;
}
