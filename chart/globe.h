// The globe inset: the Earth as a small shaded sphere in the top-right
// corner of the chart, turned so that the observer's place faces the viewer
// and marked with a cross. Its surface is the 1° grid of "scripps2.dat",
// coloured once into a texture; the sphere is drawn pixel by pixel in
// orthographic projection with table look-ups.
//
// The picture lives in GlobeBitmap (400 × 400, centre (200, 200), the
// transparent key in its first pixel), which painting composes onto the
// back buffer at GlobeRect like the other insets (ComposeGlobe); painting
// never draws the sphere itself. A change of view on the GUI thread redraws
// GlobeBitmap at once (SetGlobeView). An animated move (TGlobe_Thread)
// renders each frame into its own bitmap and hands it over at the frame's
// time; painting takes the newest frame (a frame not taken in time is
// replaced by the next). The worker paces itself to about 40° per second.
//
// ChangeObserverLocation, the one routine that sets the observer's place,
// zone and horizon, lives here because it also marks and turns the globe.
#pragma once

#include <QRect>
#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "astro/timescales.h"
#include "astro/trig.h"
#include "chart/horizon_array.h"
#include "platform/bitmap.h"

// --- The relief and its texture ---------------------------------------------------

inline constexpr int kGlobeRows = 181;     // latitude -90..90, row 0 the south pole
inline constexpr int kGlobeColumns = 360;  // longitude 1..360 east, cell c = longitude c + 1
inline constexpr int kGlobeCellBytes = 7;
inline constexpr int kGlobeReliefBytes = kGlobeRows * kGlobeColumns * kGlobeCellBytes;  // 456,120

struct TGlobeCell {
  int16_t elevation = 0;  // metres, below 0 under sea level
  uint8_t kind = 0;       // 'E' land, anything else water
  TColorRef color = 0;    // colour slot (colour reference)
};

// GlobeRelief[row][cell]: the file's cells, coloured by MakeGlobeTexture
// and marked by ChangeObserverLocation; GlobeReliefClean: the texture
// without the mark.
extern std::vector<TGlobeCell> GlobeRelief;
extern std::vector<TGlobeCell> GlobeReliefClean;
extern uint8_t GlobeReliefLoaded;
inline TGlobeCell& GlobeCell(int row, int cell) { return GlobeRelief[size_t(row) * kGlobeColumns + cell]; }

// Reads DataFolder + "scripps2.dat". A missing file is told as coded
// message 1 naming it, with how to rebuild it, and answers false. A size
// other than the relief's 456,120 bytes and heights beyond ±9,999 m are
// reported as a damaged data file (shell/data_files.h); the cells the file
// lacks are sea at sea level, so the globe is drawn. True once loaded.
bool LoadGlobeRelief();
// Start-up step (code 7): loads the relief when needed (a relief that
// cannot be loaded is told as coded message 4, and the answer is false)
// and colours every cell from the globe palettes: land by elevation with
// snow towards the poles and in the heights, water by depth, ice beyond 88°.
bool MakeGlobeTexture();
// Rebuilds the shaded display pixels of every cell after GlobeRelief
// changed (MakeGlobeTexture and ChangeObserverLocation do it themselves).
void RefreshGlobeShades();
// The texture colour of a land or water cell at latitude `latitude` degrees.
TColorRef GlobeCellColor(int latitude, int16_t elevation, uint8_t kind);

// --- View, place and drawing --------------------------------------------------------

// The view in radians, longitude positive west; written by the GUI thread
// and by the animation (atomics).
extern std::atomic<double> GlobeLatitude;   // initially 0.01
extern std::atomic<double> GlobeLongitude;  // initially 0
// The observer's place last set; the main window turns the globe back to it.
extern double GlobeHomeLatitude;
extern double GlobeHomeLongitude;

// Radius in pixels, 0 = hidden.
extern int32_t GlobeSize;
// The inset's rectangle in chart paint-box coordinates and its geometry for
// the hit tests (set by PlaceGlobe).
extern QRect GlobeRect;
extern int32_t GlobeCentreX;
extern int32_t GlobeCentreY;
extern double GlobeRadiusX;
extern double GlobeRadiusY;
// 1 once the globe was drawn.
extern uint8_t GlobeDrawn;
// Smoothed time of one frame, ms; multimedia-timer time of the last hover.
extern int32_t GlobeFrameTime;
extern uint32_t GlobeHoverTime;

// The inset picture that painting composes.
extern platform::Bitmap* GlobeBitmap;
// Colour of GlobeBitmap around the sphere: the transparent key.
extern const uint32_t kGlobeKeyPixel;

// Draws the sphere of radius `size` (stretched horizontally by InsetAspect)
// centred on (cx, cy) of `bitmap`, seen from above (latitude, longitude)
// (radians, longitude positive west). Pixels outside the bitmap are
// skipped. The limb darkening jitters from a fixed seed, so equal calls give
// equal pictures. Any thread may draw into a bitmap of its own.
void DrawGlobe(platform::Bitmap& bitmap, int32_t cx, int32_t cy, int32_t size, double latitude, double longitude);

// Places the inset for a chart of mapWidth pixels: GlobeRect, centre and
// radii.
void PlaceGlobe(int32_t mapWidth);
// Makes GlobeBitmap if needed and draws the present view into it (GUI
// thread); sets GlobeDrawn.
void RenderGlobeInset();
// Sets the view, redraws the inset, marks it in RepaintMask and invalidates
// its rectangle.
void SetGlobeView(double latitude, double longitude);
// Takes the animation's newest frame into GlobeBitmap when one waits;
// true when it did (GUI thread).
bool TakeGlobeFrame();
// Painting: TakeGlobeFrame, then copies GlobeBitmap onto `backBuffer` at
// GlobeRect, skipping the key colour.
void ComposeGlobe(platform::Bitmap& backBuffer);
// Called on the animation's thread after each frame it hands over (tests
// hold the animation there); empty: nothing.
void SetGlobeHandOverHookForTest(std::function<void()> hook);

// --- Animation ----------------------------------------------------------------------

// One animated move from the start view to the target view.
class TGlobe_Thread {
 public:
  TGlobe_Thread(int32_t size, double aspect, int32_t frameTimeMs, double startLatitude, double startLongitude, double targetLatitude,
                double targetLongitude);
  // Ends the move early and waits for the thread.
  ~TGlobe_Thread();
  TGlobe_Thread(const TGlobe_Thread&) = delete;
  TGlobe_Thread& operator=(const TGlobe_Thread&) = delete;

  bool Finished() const { return finished_.load(); }
  // Number of frames handed over so far.
  int32_t Frames() const { return frames_.load(); }
  // Waits (up to `ms`) for the worker to end; true when it has.
  bool WaitFinished(int32_t ms);

 private:
  void Execute();
  void HandOver(platform::Bitmap& frame);

  int32_t size_;
  double aspect_;
  int32_t frameTimeMs_;
  double startLat_, startLon_, targetLat_, targetLon_;
  std::atomic<bool> stop_{false};
  std::atomic<bool> finished_{false};
  std::atomic<int32_t> frames_{0};
  std::thread thread_;
};

// The move in progress (GUI thread), or empty. A finished move is dropped
// by the next StartGlobeMove, by GlobeMoving or by DoneGlobe.
extern std::unique_ptr<TGlobe_Thread> GlobeThread;
// True while a move runs.
bool GlobeMoving();

// Plan of a move: frames and the per-frame steps (radians) for a frame
// time in milliseconds; the longitude turns the short way round.
struct TGlobeMovePlan {
  int32_t frames = 0;
  double latitudeStep = 0;
  double longitudeStep = 0;
  double secondsPerFrame = 0;
};
TGlobeMovePlan PlanGlobeMove(int32_t frameTimeMs, double startLatitude, double startLongitude,
                             double targetLatitude, double targetLongitude);

// Milliseconds one drawing of the inset takes, plus a third (0 when hidden).
int32_t TimeGlobeFrame();
// Starts an animated move to the view unless one runs.
void StartGlobeMove(double latitude, double longitude);
// Program end: ends a running move.
void DoneGlobe();

// --- The observer's place ------------------------------------------------------------

// Name of the observer's place.
extern std::string LocationName;
// 1 once a place was set (the star sphere and magnifier draw nothing before).
extern std::atomic<uint8_t> ObserverLocationSet;
// Centre of the location picker's world map, degrees: a right click on the
// globe stores the clicked point here before the globe menu opens.
extern double WorldMapLatitude;
extern double WorldMapLongitude;

// Makes a place the observer's: name, zone rule with its daylight-saving
// switch, latitude and longitude (radians, longitude positive west) and
// horizon profile; marks the place on the texture with a cross, turns the
// globe to it and asks for a new chart.
void ChangeObserverLocation(const std::string& name, const TIME_ZONE_INFORMATION& timeZone,
                            uint8_t useDaylightSaving, double latitude, double longitude,
                            const THorizonArray& horizon);

// --- Clicks and hit tests ----------------------------------------------------------

// The point of the Earth under inset angles (a, b) (radians: a up from the
// centre row, b left of the centre column) for the present view: latitude
// and longitude (radians, positive west, [0, 2π)).
void GlobePointToLonLat(double a, double b, double& latitude, double& longitude);
// A click on the chart (button 0 left, 1 right): false unless the globe is
// drawn, idle, shown and the point lies on the disc. Left turns the globe to
// the point; right stores it in WorldMapLatitude/Longitude and opens the
// globe menu.
bool GlobeMouseDown(uint8_t button, int32_t x, int32_t y);
// Within the disc, and within 1.1 radii; both record GlobeHoverTime.
bool InsideGlobe(int32_t x, int32_t y);
bool NearGlobe(int32_t x, int32_t y);
