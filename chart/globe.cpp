#include "chart/globe.h"

#include <algorithm>
#include <array>
#include <chrono>
#include <cmath>
#include <cstring>
#include <fstream>
#include <iterator>

#include "astro/observer.h"
#include "chart/drawing_colors.h"
#include "chart/graph_misc.h"
#include "chart/inset_host.h"
#include "chart/plotter.h"
#include "platform/gui_thread.h"
#include "platform/paths.h"
#include "shell/data_files.h"
#include "shell/globals.h"
#include "shell/messages.h"

using platform::Bitmap;

std::vector<TGlobeCell> GlobeRelief;
std::vector<TGlobeCell> GlobeReliefClean;
uint8_t GlobeReliefLoaded = 0;

std::atomic<double> GlobeLatitude{0.01};
std::atomic<double> GlobeLongitude{0.0};
double GlobeHomeLatitude = 0;
double GlobeHomeLongitude = 0;
int32_t GlobeSize = 0;
QRect GlobeRect;
int32_t GlobeCentreX = 0;
int32_t GlobeCentreY = 0;
double GlobeRadiusX = 0;
double GlobeRadiusY = 0;
uint8_t GlobeDrawn = 0;
int32_t GlobeFrameTime = 0;
uint32_t GlobeHoverTime = 0;
Bitmap* GlobeBitmap = nullptr;
const uint32_t kGlobeKeyPixel = platform::MakePixel(255, 0, 255);

std::string LocationName;
std::atomic<uint8_t> ObserverLocationSet{0};
double WorldMapLatitude = 0;
double WorldMapLongitude = 0;

namespace {

constexpr double kHalfPi = 1.5707963267948966;
constexpr int kInset = 400;     // size of the inset bitmaps
constexpr int kInsetCentre = 200;

// Display pixels of every cell at the five shading levels, made from the
// texture after each change. Frames being drawn keep the table they
// started with, so the GUI thread may replace it during a move.
using ShadeTable = std::vector<std::array<uint32_t, 5>>;
std::mutex ShadeMutex;
std::shared_ptr<const ShadeTable> Shades;

std::shared_ptr<const ShadeTable> CurrentShades() {
  std::lock_guard<std::mutex> lock(ShadeMutex);
  return Shades;
}

TColorRef ShadeLevel(TColorRef color, int level) {
  if (level == 0) return color;
  if (const uint8_t i = LandColorIndex(color); i != 255) return GlobeLandColors[level][i];
  if (const uint8_t i = SeaColorIndex(color); i != 255) return GlobeSeaColors[level][i];
  return color;
}

int Rnd(double x) { return int(std::nearbyint(x)); }

// Look-ups in the trigonometry tables with the argument clamped to [-1, 1].
inline double TableIndex(double x) { return std::nearbyint(std::clamp(x, -1.0, 1.0) * 50000.0); }
inline double CosArcSin(double x) { return CosArcSinTable[int(std::fabs(TableIndex(x)))]; }
inline double ArcSinT(double x) { return ArcSinTable[int(TableIndex(x))]; }
inline double ArcCosT(double x) { return ArcCosTable[int(TableIndex(x))]; }

// Angle into [0, 2π) from either side.
double Reduce(double x) {
  x = std::fmod(x, TwoPi);
  if (x < 0) x += TwoPi;
  return x >= TwoPi ? 0.0 : x;
}

// One subtraction or addition of 2π, as the move steps do.
double StepReduce(double x) {
  if (x > TwoPi) x -= TwoPi;
  if (x < 0) x += TwoPi;
  return x;
}

void DrawGlobeWith(const ShadeTable& shades, Bitmap& bitmap, int32_t cx, int32_t cy, int32_t size, double lat,
                   double lon, double aspect) {
  if (size <= 0 || bitmap.IsNull() || shades.size() != size_t(kGlobeRows) * kGlobeColumns) return;
  // 1. Radii.
  const int32_t r = size - 1;
  const int32_t rx = Rnd(size * aspect);
  if (r < 1 || rx < 2) return;
  // 2. The view's colatitude, kept off zero.
  double phi = lat - kHalfPi;
  if (std::fabs(phi) < 0.001) phi = 0.001;
  const double cphi = std::cos(phi), sphi = std::sin(phi);
  // Limb jitter from a fixed seed (xorshift), so equal views draw alike.
  uint32_t seed = 0x9E3779B9u;
  auto jitter = [&seed] {
    seed ^= seed << 13;
    seed ^= seed >> 17;
    seed ^= seed << 5;
    return (int(seed % 10) - 5) / 400.0;
  };
  const double lonWest = lon;
  // 3. Every pixel of the disc.
  for (int32_t j = -r; j <= r; ++j) {
    const int32_t py = cy + j;
    if (py < 0 || py >= bitmap.Height()) continue;
    uint32_t* row = bitmap.Row(py);
    const double yn = double(j) / r;
    const double a = yn * sphi;
    const double c = CosArcSin(yn);  // row half-width on the unit sphere
    const double b = c * cphi;
    for (int32_t i = 1 - rx; i <= rx - 1; ++i) {
      const int32_t px = cx - 1 + i;
      if (px < 0 || px >= bitmap.Width()) continue;
      const double xn = double(i) / (rx - 1);
      const double r2 = xn * xn + yn * yn;
      if (r2 > 1) continue;
      // 3.1 The point's latitude.
      const double u = c > 0 ? std::clamp(xn / c, -1.0, 1.0) : 0.0;
      const double z = std::clamp(b * CosArcSin(u) + a, -1.0, 1.0);
      const double lambda = ArcSinT(z);
      const double cz = CosArcSin(z);
      // 3.2 Its longitude east of the view's meridian, then east longitude.
      // cos μ = (d·cos lat + yn·sin lat) / cos λ, d being the depth
      // c·√(1 − u²); with sin lat = cφ and cos lat = −sφ this equals
      // (yn − sφ·z) / (cφ·cz) but does not divide by cφ, which is zero
      // for a view from the equator (that quotient is 0/0 there and drew
      // the globe in blocks).
      const double depth = c * CosArcSin(u);
      const double k = cz > 0 ? std::clamp((yn * cphi - depth * sphi) / cz, -1.0, 1.0) : 1.0;
      double mu = ArcCosT(k);
      if (u < 0) mu = -mu;
      mu = Reduce(mu - lonWest);
      // 3.3 The cell.
      const int rowIndex = std::clamp(Rnd(lambda * DegPerRad), -90, 90);
      int column = Rnd(mu * DegPerRad);
      if (column <= 0) column = 360;
      if (column > 360) column -= 360;
      const auto& cell = shades[size_t(rowIndex + 90) * kGlobeColumns + size_t(column - 1)];
      // 3.4 Darker towards the limb.
      int level = 0;
      if (r2 > 0.97 + jitter())
        level = 4;
      else if (r2 > 0.94 + jitter())
        level = 3;
      else if (r2 > 0.89 + jitter())
        level = 2;
      else if (r2 > 0.80 + jitter())
        level = 1;
      // 3.5 The display pixel.
      row[px] = cell[level];
    }
  }
}

// Frames handed from the animation to painting.
std::mutex FrameMutex;
std::unique_ptr<Bitmap> PendingFrame;
bool FramePending = false;
std::mutex HandOverHookMutex;
std::function<void()> HandOverHook;

}  // namespace

// Defined after the hand-over state, so that at program end a move still
// running is ended while that state exists.
std::unique_ptr<TGlobe_Thread> GlobeThread;

namespace {

void InvalidateGlobe() {
  InvalidateInsetRect(GlobeRect.left(), GlobeRect.top(), GlobeRect.right() + 1, GlobeRect.bottom() + 1);
}

}  // namespace

// --- Relief and texture -------------------------------------------------------------

void RefreshGlobeShades() {
  auto table = std::make_shared<ShadeTable>(GlobeRelief.size());
  for (size_t i = 0; i < GlobeRelief.size(); ++i)
    for (int level = 0; level < 5; ++level)
      (*table)[i][level] = platform::ColorRefToPixel(ShadeLevel(GlobeRelief[i].color, level));
  std::lock_guard<std::mutex> lock(ShadeMutex);
  Shades = std::move(table);
}

bool LoadGlobeRelief() {
  const std::string name = "scripps2.dat";
  std::string refused;
  auto read = ReadDataFileWhole(platform::FindFileNoCase(DataFolder, name), refused);
  // Without the file there is no globe: the start-up ends (coded message 1,
  // with how to rebuild it).
  if (!read) {
    ShowMissingStartupFile(1, name, refused);
    return false;
  }
  std::vector<uint8_t> bytes = std::move(*read);
  if (bytes.size() != std::size_t(kGlobeReliefBytes))
    ReportDataFileProblem(101, name,
                          ByteCountText(bytes.size()) + " where the relief's " + std::to_string(kGlobeRows) +
                              " rows of " + std::to_string(kGlobeColumns) + " cells take " +
                              ByteCountText(kGlobeReliefBytes) + "; the globe shows sea where cells are missing");
  // The cells the file holds whole; any others are sea at sea level, so the
  // globe is drawn in every case.
  GlobeRelief.assign(size_t(kGlobeRows) * kGlobeColumns, TGlobeCell{});
  const size_t cells = std::min(GlobeRelief.size(), bytes.size() / kGlobeCellBytes);
  int bad = 0, first = 0;
  for (size_t i = 0; i < cells; ++i) {
    const uint8_t* p = &bytes[i * kGlobeCellBytes];
    GlobeRelief[i].elevation = int16_t(uint16_t(p[0] | (p[1] << 8)));
    GlobeRelief[i].kind = p[2];
    GlobeRelief[i].color = TColorRef(p[3]) | (TColorRef(p[4]) << 8) | (TColorRef(p[5]) << 16) | (TColorRef(p[6]) << 24);
    if (std::abs(GlobeRelief[i].elevation) > 9999 && bad++ == 0) first = int(i) + 1;
  }
  if (bad)
    ReportDataFileProblem(103, name,
                          std::to_string(bad) + (bad == 1 ? " of its cells holds a height" : " of its cells hold heights") +
                              " beyond 9,999 m either way (the first is cell " +
                              std::to_string(first) + "); the globe is black there");
  GlobeReliefLoaded = 1;
  return true;
}

TColorRef GlobeCellColor(int latitude, int16_t elevation, uint8_t kind) {
  const int e = elevation;
  if (std::abs(latitude) > 88) return GlobeLandColors[0][10];
  if (kind == 'E') {
    // Snow where the latitude and the height together are high enough.
    const double s = (90 - std::abs(latitude)) * 1.6 - 10 + (-e / 200);
    if (s < 22) return GlobeLandColors[0][10];
    static constexpr int kLandUpper[] = {-3000, 0, 100, 200, 700, 1500, 2500, 4000, 5500, 7000, 9999};
    if (e < -9999 || e > 9999) return 0;
    for (int k = 0; k < 11; ++k)
      if (e <= kLandUpper[k]) return GlobeLandColors[0][k];
    return 0;
  }
  const int d = (e + 9999) / 78;
  static constexpr int kSeaUpper[] = {15, 25, 35, 50, 70, 90, 115, 145, 175, 205, 255};
  if (d < 0 || d > 255) return 0;
  for (int k = 0; k < 11; ++k)
    if (d <= kSeaUpper[k]) return GlobeSeaColors[0][k];
  return 0;
}

namespace {

// The observer's cross on a clean texture (2° east of the place, as it
// always stood), in the snow colour of the present colour mode.
void MarkGlobeLocation() {
  GlobeRelief = GlobeReliefClean;
  const TColorRef mark = GlobeLandColors[0][10];
  const int lat = int(ObserverTime.Latitude * DegPerRad);
  const int lon = int(ObserverTime.Longitude * DegPerRad);
  const int r1 = std::clamp(lat + 1 - 6, -89, 89), r2 = std::clamp(lat + 1 + 6, -89, 89);
  const int rm = std::clamp(lat + 1, -90, 90);
  auto wrap = [](int c) {
    if (c < 0) c += 360;
    if (c > 360) c -= 360;
    return c == 0 ? 360 : c;
  };
  const int cm = wrap(360 - (lon - 2)), ca = wrap(360 - (lon - 2 - 6)), cb = wrap(360 - (lon - 2 + 6));
  for (int r = r1; r < r2; ++r) GlobeCell(r + 90, cm - 1).color = mark;
  for (int c = cb, guard = 0; c != ca && guard < 360; ++guard) {
    GlobeCell(rm + 90, c - 1).color = mark;
    if (++c == 361) c = 1;
  }
}

}  // namespace

bool MakeGlobeTexture() {
  // 1. The relief.
  if (GlobeReliefLoaded != 1 && !LoadGlobeRelief()) {
    ShowErrorMessage(4, "");
    return false;
  }
  // 2. Rows of latitude -89..90 by kind and height; row 0 keeps the file's colours.
  for (int row = 1; row < kGlobeRows; ++row)
    for (int cell = 0; cell < kGlobeColumns; ++cell) {
      TGlobeCell& c = GlobeCell(row, cell);
      c.color = GlobeCellColor(row - 90, c.elevation, c.kind);
    }
  // 3. The clean copy, without a location mark; the mark of a place already
  // set drawn again in the new colours, and a globe already drawn redrawn
  // (so it follows a change of colour mode at once).
  GlobeReliefClean = GlobeRelief;
  if (ObserverLocationSet == 1) MarkGlobeLocation();
  RefreshGlobeShades();
  if (GlobeBitmap != nullptr && GlobeDrawn == 1) RenderGlobeInset();
  return true;
}

// --- Drawing --------------------------------------------------------------------------

void DrawGlobe(Bitmap& bitmap, int32_t cx, int32_t cy, int32_t size, double latitude, double longitude) {
  const auto shades = CurrentShades();
  if (shades) DrawGlobeWith(*shades, bitmap, cx, cy, size, latitude, longitude, InsetAspect);
}

void PlaceGlobe(int32_t mapWidth) {
  const int32_t rx = Rnd(GlobeSize * InsetAspect);
  GlobeCentreX = mapWidth - (rx + 10);
  GlobeCentreY = GlobeSize + 10;
  GlobeRect = QRect(QPoint(GlobeCentreX - rx, GlobeCentreY - GlobeSize), QPoint(GlobeCentreX + rx, GlobeCentreY + GlobeSize));
  GlobeRadiusX = rx - 1;
  GlobeRadiusY = GlobeSize - 1;
}

void RenderGlobeInset() {
  if (GlobeBitmap == nullptr) GlobeBitmap = CreateAutoBitmap(kInset, kInset);
  if (GlobeBitmap == nullptr) return;
  GlobeBitmap->Fill(kGlobeKeyPixel);
  if (GlobeSize <= 0) return;
  DrawGlobe(*GlobeBitmap, kInsetCentre, kInsetCentre, GlobeSize, GlobeLatitude.load(), GlobeLongitude.load());
  GlobeDrawn = 1;
}

void SetGlobeView(double latitude, double longitude) {
  GlobeLatitude = latitude;
  GlobeLongitude = longitude;
  if (MapWidth > 0) PlaceGlobe(MapWidth);
  RenderGlobeInset();
  MarkRepaint(kRepaintGlobe);
  InvalidateGlobe();
}

bool TakeGlobeFrame() {
  std::lock_guard<std::mutex> lock(FrameMutex);
  if (!FramePending || GlobeBitmap == nullptr || !PendingFrame) return false;
  std::swap(*GlobeBitmap, *PendingFrame);
  FramePending = false;
  return true;
}

void ComposeGlobe(Bitmap& backBuffer) {
  TakeGlobeFrame();
  if (GlobeBitmap == nullptr || GlobeSize <= 0) return;
  BlitTransparent(*GlobeBitmap, 0, 0, kInset, kInset, backBuffer, GlobeCentreX - kInsetCentre,
                  GlobeCentreY - kInsetCentre);
}

// --- Animation ---------------------------------------------------------------------------

TGlobeMovePlan PlanGlobeMove(int32_t frameTimeMs, double startLatitude, double startLongitude, double targetLatitude,
                             double targetLongitude) {
  TGlobeMovePlan plan;
  // 1. Longitude the short way; latitude the short way too, so a target
  // given as its 2π complement does not turn the globe over a pole.
  const double d1 = StepReduce(targetLongitude - startLongitude);
  const double d2 = StepReduce(startLongitude - targetLongitude);
  const double dLon = d1 <= d2 ? d1 : -d2;
  double dLat = targetLatitude - startLatitude;
  dLat = std::remainder(dLat, TwoPi);
  // 2. Seconds per frame and the step for 40° per second.
  double s = frameTimeMs / 1000.0;
  if (!(s > 0)) s = 0.01;
  if (s > 0.2) s = 0.2;
  const double step = 0.6981317007977318 * s;
  plan.secondsPerFrame = s;
  // 3. Frames along the larger difference.
  if (std::fabs(dLat) > std::fabs(dLon)) {
    plan.frames = int32_t(std::fabs(dLat) / step) + 1;
    plan.latitudeStep = step;
    plan.longitudeStep = dLon == 0 ? 0 : step / std::fabs(dLat / dLon);
  } else {
    plan.frames = int32_t(std::fabs(dLon) / step) + 1;
    plan.longitudeStep = step;
    plan.latitudeStep = dLat == 0 ? 0 : step / std::fabs(dLon / dLat);
  }
  if (dLat < 0) plan.latitudeStep = -plan.latitudeStep;
  if (dLon < 0) plan.longitudeStep = -plan.longitudeStep;
  return plan;
}

TGlobe_Thread::TGlobe_Thread(int32_t size, double aspect, int32_t frameTimeMs, double startLatitude,
                             double startLongitude, double targetLatitude, double targetLongitude)
    : size_(size),
      aspect_(aspect),
      frameTimeMs_(frameTimeMs),
      startLat_(startLatitude),
      startLon_(startLongitude),
      targetLat_(targetLatitude),
      targetLon_(targetLongitude),
      thread_([this] { Execute(); }) {}

TGlobe_Thread::~TGlobe_Thread() {
  stop_ = true;
  if (thread_.joinable()) thread_.join();
}

bool TGlobe_Thread::WaitFinished(int32_t ms) {
  const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
  while (!finished_ && std::chrono::steady_clock::now() < end) std::this_thread::sleep_for(std::chrono::milliseconds(1));
  return finished_;
}

void TGlobe_Thread::HandOver(Bitmap& frame) {
  {
    // The newest frame replaces one that painting has not taken yet.
    std::lock_guard<std::mutex> lock(FrameMutex);
    if (!PendingFrame) PendingFrame = std::make_unique<Bitmap>(kInset, kInset);
    std::swap(*PendingFrame, frame);
    FramePending = true;
  }
  ++frames_;
  MarkRepaint(kRepaintGlobe);
  platform::PostToGuiThread([] { InvalidateGlobe(); });
  std::function<void()> hook;
  {
    std::lock_guard<std::mutex> lock(HandOverHookMutex);
    hook = HandOverHook;
  }
  if (hook) hook();
}

void SetGlobeHandOverHookForTest(std::function<void()> hook) {
  std::lock_guard<std::mutex> lock(HandOverHookMutex);
  HandOverHook = std::move(hook);
}

void TGlobe_Thread::Execute() {
  // A hidden globe turns at once.
  if (size_ <= 0) {
    GlobeLatitude = targetLat_;
    GlobeLongitude = targetLon_;
    finished_ = true;
    return;
  }
  const TGlobeMovePlan plan = PlanGlobeMove(frameTimeMs_, startLat_, startLon_, targetLat_, targetLon_);
  const auto shades = CurrentShades();
  Bitmap frame(kInset, kInset);
  auto draw = [&](double lat, double lon) {
    GlobeLatitude = lat;
    GlobeLongitude = lon;
    if (size_ <= 0 || !shades || frame.IsNull()) return false;
    frame.Fill(kGlobeKeyPixel);
    DrawGlobeWith(*shades, frame, kInsetCentre, kInsetCentre, size_, lat, lon, aspect_);
    return true;
  };
  // 4. The intermediate frames at a steady pace.
  const auto t0 = std::chrono::steady_clock::now();
  const auto period = std::chrono::duration<double>(plan.secondsPerFrame);
  double lat = startLat_, lon = startLon_;
  for (int32_t n = 1; n < plan.frames && !stop_; ++n) {
    lat = StepReduce(lat + plan.latitudeStep);
    lon = StepReduce(lon + plan.longitudeStep);
    const bool drawn = draw(lat, lon);
    const auto due = t0 + std::chrono::duration_cast<std::chrono::steady_clock::duration>(period * n);
    while (!stop_ && std::chrono::steady_clock::now() < due) std::this_thread::sleep_for(std::chrono::milliseconds(2));
    if (drawn && !stop_) HandOver(frame);
  }
  // 5. The target exactly.
  if (!stop_ && draw(targetLat_, targetLon_)) HandOver(frame);
  finished_ = true;
}

bool GlobeMoving() {
  if (GlobeThread && GlobeThread->Finished()) GlobeThread.reset();
  return GlobeThread != nullptr;
}

int32_t TimeGlobeFrame() {
  if (GlobeSize == 0) return 0;
  if (MapWidth > 0) PlaceGlobe(MapWidth);
  const uint32_t t0 = platform::TimeGetTime();
  RenderGlobeInset();
  const int32_t t = int32_t(platform::TimeGetTime() - t0);
  return t + t / 3;
}

void StartGlobeMove(double latitude, double longitude) {
  // 1. One move at a time.
  if (GlobeMoving()) return;
  // 2. The frame time, smoothed.
  if (GlobeFrameTime == 0) GlobeFrameTime = TimeGlobeFrame();
  GlobeFrameTime = int32_t((uint32_t(TimeGlobeFrame()) + uint32_t(GlobeFrameTime)) / 2);
  if (GlobeFrameTime == 0) SetGlobeView(GlobeLatitude.load(), GlobeLongitude.load());
  // 3. The move.
  GlobeThread = std::make_unique<TGlobe_Thread>(GlobeSize, InsetAspect, GlobeFrameTime, GlobeLatitude.load(),
                                                GlobeLongitude.load(), latitude, longitude);
}

void DoneGlobe() { GlobeThread.reset(); }

// --- The observer's place ------------------------------------------------------------------


void ChangeObserverLocation(const std::string& name, const TIME_ZONE_INFORMATION& timeZone,
                            uint8_t useDaylightSaving, double latitude, double longitude,
                            const THorizonArray& horizon) {
  // 1.-3. Name, place, zone and horizon.
  LocationName = name.substr(0, 255);
  SetObserverLocation(ObserverTime, longitude, latitude, 0.0);
  SetObserverTimeZone(ObserverTime, timeZone, useDaylightSaving);
  static_assert(sizeof(THorizonArray) == sizeof(THorizonProfile));
  if (MainPlotter != nullptr) std::memcpy(MainPlotter->HorizonProfile, horizon.data(), sizeof(THorizonProfile));
  // 4. The cross on a clean texture.
  if (!GlobeReliefClean.empty()) {
    MarkGlobeLocation();
    RefreshGlobeShades();
  }
  // 5. Turn the globe home.
  GlobeHomeLatitude = latitude;
  GlobeHomeLongitude = longitude;
  StartGlobeMove(latitude, longitude);
  // 6. A new chart for the new place.
  RequestChartReplot();
  ObserverLocationSet = 1;
}

// --- Clicks and hit tests ---------------------------------------------------------------------

void GlobePointToLonLat(double a, double b, double& latitude, double& longitude) {
  // c: the view's colatitude. The point lies sin a up and cos a · cos b
  // towards the viewer; z is the sine of its latitude.
  const double c = kHalfPi - GlobeLatitude.load();
  const double z = std::sin(c) * std::sin(a) + std::cos(c) * std::cos(a) * std::cos(b);
  latitude = ArcSinR(z);
  // k = (sin a − sin c · z) / (cos λ · cos c) reduced by cos c, so that a
  // view from the equator (cos c = 0) needs no stand-in latitude (one of
  // +0.57° turned clicks south of the equator north).
  const double denominator = std::cos(latitude);
  const double k = denominator > 0
                       ? std::clamp((std::sin(a) * std::cos(c) - std::cos(a) * std::cos(b) * std::sin(c)) / denominator,
                                    -1.0, 1.0)
                       : 1.0;
  double l = ArcCosR(k);
  const double bb = Reduce(b);
  if (bb >= 0 && bb <= M_PI) l = -l;
  longitude = Reduce(l - M_PI + GlobeLongitude.load());
}

namespace {

double GlobeDistance(int32_t x, int32_t y) {
  if (GlobeRadiusX <= 0 || GlobeRadiusY <= 0) return 2.0;
  const double dx = std::fabs(x - GlobeCentreX) / GlobeRadiusX, dy = std::fabs(y - GlobeCentreY) / GlobeRadiusY;
  return std::sqrt(dx * dx + dy * dy);
}

bool GlobeHit(int32_t x, int32_t y, double limit) {
  if (GlobeDrawn != 1 || GlobeSize <= 0 || GlobeDistance(x, y) > limit) return false;
  GlobeHoverTime = platform::TimeGetTime();
  return true;
}

}  // namespace

bool GlobeMouseDown(uint8_t button, int32_t x, int32_t y) {
  // 1. Only a drawn, idle, shown globe.
  if (GlobeDrawn != 1 || GlobeMoving() || GlobeSize <= 0) return false;
  // 2. Angles of the point on the disc.
  if (GlobeDistance(x, y) > 1.0) return false;
  const double dx = std::fabs(x - GlobeCentreX) / GlobeRadiusX, dy = std::fabs(y - GlobeCentreY) / GlobeRadiusY;
  double a = ArcSinR(dy);
  if (y > GlobeCentreY) a = -a;
  double b = ArcSinR(dx / std::cos(a));
  if (x > GlobeCentreX) b = -b;
  // 3. The point of the Earth.
  double latitude = 0, longitude = 0;
  GlobePointToLonLat(a, b, latitude, longitude);
  // 4. Turn there, or open the menu for it.
  if (button == 0) {
    StartGlobeMove(latitude, longitude);
  } else {
    WorldMapLatitude = latitude * DegPerRad;
    WorldMapLongitude = longitude * DegPerRad;
    PopupInsetMenu(InsetMenu::Globe, x, y);
  }
  return true;
}

bool InsideGlobe(int32_t x, int32_t y) { return GlobeHit(x, y, 1.0); }

bool NearGlobe(int32_t x, int32_t y) { return GlobeHit(x, y, 1.1); }
