// The chart plotter: everything one chart drawing needs besides the shared
// catalogues. tPlotter holds its own copy of the observer record, the view
// (centre, zoom, zenith-view and horizon-centring modes, tracking), the layer
// switches, the horizon profile, the output geometry and the work tables of
// one render (declination band, label bookkeeping, drawn deep-sky objects).
//
// Files of the plotter (see chart/README.md):
//   plotter.h / plotter.cpp   this model, Create defaults, the view block
//   projection.h / .cpp       the projection and its inverse
//   render.cpp                tPlotter::Plot, the render sequence
//   labels.cpp                PlaceLabel
//   layer_*.cpp               one file per sky layer (stars, deep-sky,
//                             grids, horizon and ground, phase discs)
//
// Several instances exist, told apart by OutputKind: the screen chart
// (MainPlotter), the star-sphere inset (SpherePlotter), a temporary printing
// plotter and the styles window's preview. The state block (TPlotterState,
// from Replot to the end of the geometry group) is copied whole between
// them: `static_cast<TPlotterState&>(to) = from;`.
//
// Every field is written on the GUI thread; the overlay threads read the
// view fields of MainPlotter without a lock.
#pragma once

#include <QPointF>
#include <cstdint>
#include <functional>
#include <string>
#include <type_traits>
#include <vector>

#include "astro/observer.h"
#include "astro/shortstring.h"
#include "astro/solar_system.h"
#include "chart/projection.h"
#include "platform/bitmap.h"
#include "platform/drawing.h"

class TSettingsStream;

// Output kinds.
enum : uint8_t {
  kOutputScreen = 0,
  kOutputPrinter = 1,
  kOutputStarSphere = 3,
  kOutputStylePreview = 5,
};

// Tracking kinds (the selection kinds of the chart).
enum : uint8_t {
  kTrackNone = 0,
  kTrackAsteroid = 3,
  kTrackComet = 4,
  kTrackSolarSystem = 5,  // TrackIndex 0..8 planet (not 2), 9 Moon, 10 Sun
};

inline constexpr int kMaxOccupiedRects = 6000;
inline constexpr int kMaxObjectLabels = 3000;
inline constexpr int kLabelCandidates = 44;
inline constexpr int kConstellationSlots = 89;  // entries 0..88
inline constexpr int kStarSizeEntries = 141;    // magnitude bytes 0..140
// Zooms the render draws (others are brought into this range), where every
// projected pixel fits its integer.
inline constexpr double kMinChartZoom = 0.001;
inline constexpr double kMaxChartZoom = 10000.0;
// Slot of the view block in binary settings files, and its size.
inline constexpr int kPlotterViewSlot = 11;
inline constexpr std::size_t kPlotterViewBytes = 58;

// A device rectangle; right and bottom are exclusive.
struct TLabelRect {
  int32_t Left = 0;
  int32_t Top = 0;
  int32_t Right = 0;
  int32_t Bottom = 0;
};

// One drawn deep-sky object, remembered for the object-label pass.
struct TObjectLabelEntry {
  int32_t Occupied = 0;  // index (1-based) of the symbol's entry of OccupiedRects
  int32_t Record = 0;    // record number in the object database, from 0
  int32_t X = 0;         // screen point of the object
  int32_t Y = 0;
};

// The horizon profile of a location: colour of the cell at azimuth a (whole
// degrees, 0..360) and row r (0..90; row 0 is altitude 90°). A cell equal
// to [0][0] is open sky.
using THorizonProfile = int32_t[361][91];

// The state block: copied whole between plotters.
struct TPlotterState {
  // 1 = the chart must be rendered again; Plot clears it as its last step.
  uint8_t Replot = 1;
  uint8_t OutputKind = kOutputScreen;
  // The plotter's own observer record (a copy of the live one before each
  // main render) and its solar-system work record.
  TObserverTime Observer;
  TSolarContext SolarContext{};
  // 1 = refracted (apparent) altitudes are drawn.
  uint8_t Refraction = 0;
  // 1 = the whole heavens centred on the zenith (the view centre is ignored).
  uint8_t ZenithView = 1;
  // Horizontal position of the view centre as last rendered or set, radians.
  double HeldAlt = 0;
  double HeldAz = 0;
  // Equatorial view centre (of date), radians.
  double CentreRA = 0;
  double CentreDec = 0;
  // Horizontal view centre worked out at each render; after a render
  // CentreAz holds the centre azimuth plus π (the projection's rotation).
  double CentreAlt = 0;
  double CentreAz = 6.283185307179586;
  // Scale factor: 1 = the horizon circle fills the chart height.
  double Zoom = 0.95;
  // Faintest star magnitude of the star-sphere inset.
  double SphereMagnitudeLimit = 9.0;
  // Horizontal and vertical factors of deep-sky symbol offsets (F1, F2 of
  // the deep-sky layer; always 1 on this class).
  int32_t MirrorFactor = 1;
  int32_t InvertFactor = 1;
  // Tracking of a moving body.
  uint8_t TrackKind = kTrackNone;
  int32_t TrackIndex = -1;
  TShortString<50> TrackName;
  // Constellation settings: 0 off, 1 only selected, 2 all.
  uint8_t ConstellationNames = 0;
  uint8_t ConstellationLines = 2;
  uint8_t ConstellationBoundaries = 2;
  uint8_t LineSelection[kConstellationSlots];
  uint8_t NameSelection[kConstellationSlots];
  // Coordinate-grid settings.
  uint8_t ShowGrid = 1;
  // 1: the view centre is held in altitude and azimuth while time runs; 0:
  // in right ascension and declination.
  uint8_t CentreOnHorizon = 1;
  uint8_t GridKind = 0;          // 0 equatorial, any other value horizontal
  uint8_t GridLabels = 0;        // labels switch
  uint8_t ShowCompass = 1;       // compass switch
  uint8_t GridAutoSpacing = 1;   // automatic spacing switch
  int32_t GridSpacingLevel = 0;  // spacing level when not automatic
  // Solar-system and object switches.
  uint8_t ShowObjects = 1;
  uint8_t ObjectLabels = 1;
  uint8_t SolarSwitchReserved1 = 0;
  uint8_t SunLabel = 1;
  uint8_t SunImage = 1;            // Sun as an image when its disc is over 10 pixels
  uint8_t SunRiseSetGraphics = 1;  // performance setting "graphic sun riseset"
  uint8_t MoonLabel = 1;
  uint8_t MoonImage = 1;
  uint8_t PlanetLabels = 1;
  uint8_t GalileanMoons = 0;
  uint8_t SolarSwitchReserved2 = 1;
  uint8_t ShowAsteroids = 0;
  uint8_t AsteroidLabels = 0;
  uint8_t ShowComets = 0;
  uint8_t CometLabels = 0;
  // Star switches.
  uint8_t StarIdentification = 1;  // Bayer letters
  uint8_t ShowStarNames = 0;
  uint8_t StarDiscs = 0;           // 0 images, 1 discs, 2 discs with letters moved aside
  int32_t StarSize = 0;
  uint8_t StarOptionA = 1;         // colour stars by spectral class
  uint8_t NakedEyeOnly = 1;
  // The location's horizon profile (rows 0..359 cleared by Create).
  THorizonProfile HorizonProfile;
  uint8_t ShowHorizon = 1;
  // Geometry group.
  int32_t Width = 0;
  int32_t DpiX = 100;
  int32_t Height = 0;
  int32_t DpiY = 100;
  double Aspect = 1;
  double CentreX = 0;
  double CentreY = 0;
  double OriginX = 0;
  double OriginY = 0;
  int32_t ChartLeft = 0;
  int32_t ChartTop = 0;
  int32_t ChartRight = 0;
  int32_t ChartBottom = 0;
  double HorizonOffset = 0;
};
static_assert(std::is_trivially_copyable_v<TPlotterState>);

// The seam between the render and its layers during one render: the target,
// the projection's scales and flag, and the render's working values.
struct TRenderContext {
  platform::DrawingContext* Dc = nullptr;  // the target's drawing context
  platform::Bitmap* Target = nullptr;      // pixel memory; null on a printer page
  // Altitude of the horizon line, ground and compass (radians).
  double HorizonAltitude = 0;
  // The render's working point (layers may overwrite it).
  int32_t WorkX = 0;
  int32_t WorkY = 0;
  // Deep-sky symbol scales (larger of 8 and the chart height / 96).
  int32_t ObjectScaleA = 8;
  int32_t ObjectScaleB = 8;
  // Sun and Moon size scales: Height / π and Height / π / Aspect.
  double SizeScaleY = 0;
  double SizeScaleX = 0;
};

// The Sun's apparent position of the current render, for the layers.
struct TRenderSun {
  double Altitude = 0;
  double Azimuth = 0;
};

// Time spent in each step of the last render, milliseconds (benchmarks).
struct TRenderTimes {
  static constexpr int kSteps = 24;
  double Step[kSteps] = {};
};

class tPlotter : public TPlotterState {
 public:
  // --- Per-render counters and label bookkeeping ---
  int32_t OccupiedCount = 0;
  int32_t LabelCounter2 = 0;
  TLabelRect OccupiedRects[kMaxOccupiedRects + 1];  // entries 1..OccupiedCount
  double LabelOffsetX[kLabelCandidates] = {};
  double LabelOffsetY[kLabelCandidates] = {};
  double PixelArea = 0;
  // Work values of the label layer (Create: 0, 1, 1).
  int32_t WorkValue1 = 0;
  int32_t WorkValue2 = 1;
  int32_t WorkValue3 = 1;
  uint32_t LabelTextAlign = 0;
  // Right-ascension max, min, declination max, min (radians).
  double VisibleBand[4] = {6.283185307179586, 0, 1.5707963267948966, -1.5707963267948966};
  int32_t SizeUnitX = 4;
  int32_t SizeUnitY = 4;
  uint8_t Rendering = 0;
  uint8_t LabelOffsetsReady = 0;
  int32_t ObjectLabelCount = 0;
  TObjectLabelEntry ObjectLabelList[kMaxObjectLabels + 1];  // entries 1..ObjectLabelCount

  // --- After the state block ---
  // Celestial position of the last chart click; -1, 0 below the horizon.
  double ClickRA = -1.0;
  double ClickDec = 0;
  // Name of the body a script centred the chart on ("The Planet Mars", "Our
  // Moon", "Our Sun"); empty after a centre on anything else.
  std::string CentreName;

  // --- Owned by the star layer ---
  // Disc radii (x, y) per magnitude byte, device pixels.
  int32_t StarSizeTable[kStarSizeEntries][2] = {};

  // --- The render in progress ---
  TProjection Proj;
  // Set by the magnifier plotter: positions are placed about its centre
  // instead of the observer's zenith.
  TCentredFrame Centred;
  TRenderContext Ctx;
  TRenderSun Sun;
  TRenderTimes Times;

  // Create: the defaults, the observer initialised, Aspect computed.
  tPlotter();
  tPlotter(const tPlotter&) = delete;
  tPlotter& operator=(const tPlotter&) = delete;

  // Ends tracking and marks the chart dirty; empties the tracking panel.
  void RequestReplot();
  // Stores CentreRA, CentreDec and their horizontal position for
  // MainPlotter's observer in HeldAlt, HeldAz. Sets no replot.
  void SetViewCenter(double ra, double dec);
  // The screen chart tests the chart mask; other kinds the rectangle
  // OriginX..OriginX + Width, OriginY..OriginY + Height (inclusive).
  bool InChart(double x, double y) const;

  // The 58-byte view block (slot 11) of MainPlotter, and back. The reader
  // refuses a missing, short or damaged block and values outside their
  // ranges (zoom kMinChartZoom..kMaxChartZoom, right ascensions and
  // azimuths within ±4π, declinations and altitudes within ±π/2, NaN):
  // false, view unchanged.
  // The replot byte is set in every case.
  static bool WriteSettingsSection(TSettingsStream& stream);
  static bool ReadSettingsSection(TSettingsStream& stream);
  // The block itself (encoding of the nine values) and its decoder.
  std::vector<uint8_t> ViewBlock() const;
  bool ApplyViewBlock(const std::vector<uint8_t>& block);

  // --- Projection (projection.cpp) ---
  // Per-render values: CentreX, CentreY, HorizonOffset, the scales and the
  // rotation CentreAz + π (adds π to CentreAz).
  void SetupProjection();
  bool ProjectToChart(double alt, double az, double& x, double& y) { return Proj.ToChart(alt, az, x, y); }
  bool ProjectToPixel(double alt, double az, int32_t& x, int32_t& y) { return Proj.ToPixel(alt, az, x, y); }
  bool ProjectToPixelLocal(double alt, double az, int32_t& x, int32_t& y) {
    return Proj.ToPixelLocal(alt, az, x, y);
  }
  // Altitude and azimuth of (ra, dec) for Observer, refracted when
  // Refraction is set. With the observer's clip flag set, a position whose
  // drawn (apparent when refracted) altitude is not above 0 gives altitude
  // -1 and azimuth 0.
  void RaDecToAltAz(double ra, double dec, double& alt, double& az);
  // Converts (ra, dec) and projects it to a pixel; the result is the
  // projection's visible flag.
  bool PlaceRaDec(double ra, double dec, double& alt, double& az, int32_t& x, int32_t& y);
  // True when the point lies within ChartLeft..ChartRight, ChartTop..ChartBottom.
  bool OnChart(int32_t x, int32_t y) const {
    return x >= ChartLeft && x <= ChartRight && y >= ChartTop && y <= ChartBottom;
  }
  // Chart point (chart-local) to position: right ascension and declination
  // of date (of the true position), apparent altitude and azimuth. False
  // when never rendered (outputs unwritten) or below 0.1° of true altitude.
  bool ScreenToRaDec(int32_t x, int32_t y, double& ra, double& dec, double& alt, double& az) const;
  // The field of the render in progress as a cap of the sky: centre (right
  // ascension and declination of date) and radius (radians) holding every
  // position the layers can draw on the chart or its target bitmap. False
  // when the field is too wide for a selection to pay (60° or more), or
  // positions are placed about a centre of their own (the magnifier).
  bool FieldCap(double& ra, double& dec, double& radius) const;

  // --- The render (render.cpp) ---
  // Draws the whole chart through `dc` and, where `target` is given (screen,
  // insets), straight into its pixels. Before the call the owner has set
  // Observer, the geometry and OutputKind.
  void Plot(platform::DrawingContext& dc, platform::Bitmap* target);

  // --- Labels (labels.cpp) ---
  void InitLabelOffsets();
  // Writes `text` at the first free one of 44 places around (x, y) and
  // registers its rectangle; not drawn when every place is taken or the
  // occupied list is full. anchor: -1 none, else an OccupiedRects index.
  void PlaceLabel(platform::DrawingContext& dc, int32_t anchor, int32_t x, int32_t y, const std::string& text,
                  bool belowFirst);
  // Empties the occupied list (start of every render).
  void ResetOccupied();
  // Adds a rectangle to the occupied list; false when it is full.
  bool AddOccupied(const TLabelRect& r);

  // --- Star layer (layer_stars.cpp) ---
  void MakeStarSizeTable(double bright, double faint, double sizeAdjust);
  int32_t StarWidth(uint8_t magnitude) const;
  int32_t StarHeight(uint8_t magnitude) const;
  void DrawStarDisc(platform::DrawingContext& dc, int32_t x, int32_t y, uint8_t magnitude, uint8_t classByte);
  void DrawStarImage(platform::DrawingContext& dc, int32_t x, int32_t y, uint8_t magnitude, uint8_t classByte);
  // Render steps 17, 18, 19: the stars, their proper names, Bayer letters.
  void DrawStars();
  void DrawStarNames();
  void DrawBayerLetters();

  // --- Deep-sky layer (layer_deepsky.cpp) ---
  // Draws the current object of ObjectCatalog and fills OccupiedRects[target]
  // with its rectangle; true when drawn.
  bool DrawObjectSymbol(platform::DrawingContext& dc, int32_t target, double cx, double cy, double ox,
                        double oy);
  // Render step 15 (the object pass) and 21.5 (the object labels).
  void DrawDeepSkyObjects();
  void DrawObjectLabels();

  // --- Grids and ecliptic (layer_grids.cpp) ---
  void DrawEquatorialGrid();
  void DrawHorizontalGrid();

  // --- Horizon line, ground, compass (layer_horizon.cpp) ---
  // A line on a printer page with the selected pen, else DrawLine in `color`.
  void DrawChartSegment(platform::DrawingContext& dc, int32_t x1, int32_t y1, int32_t x2, int32_t y2,
                        uint32_t color);
  void DrawHorizonLine();
  void DrawGround();
  void DrawCompass(bool reserve = false);
  // Chords of the horizon line and the ground at altitude h, and whether a
  // chart point lies below the horizon (the ground covers it).
  int32_t HorizonChords(double h) const;
  bool BelowHorizon(double x, double y) const;

  // --- Phase discs (layer_phases.cpp) ---
  void MakePhasePolygons(int32_t body, int32_t cx, int32_t cy, double rx, double ry, double rotation,
                         double phase);
  // +1 when the view shows the sky as seen (east counter-clockwise from
  // north), -1 when the mirror and invert factors reflect it.
  int32_t Handedness() const { return MirrorFactor * InvertFactor < 0 ? -1 : 1; }
  void DrawPhaseDisc(platform::DrawingContext& dc, int32_t body);
  void DrawPhaseShadow(platform::DrawingContext& dc, int32_t body);
  // Direction of point 1 seen from point 2, whole degrees (see the layer).
  int32_t ScreenAngle(int32_t x1, int32_t y1, int32_t x2, int32_t y2) const;

 protected:
  // Steps of the render sequence (render.cpp); the magnifier plotter calls
  // the solar-system steps too.
  void ComputeViewCentre();
  // The start of every render: empties the occupied rectangles and the
  // label lists, and sets the centre, size units and chart edges from
  // Width, Height, DpiX, DpiY, ChartLeft and ChartTop.
  void ResetRenderGeometry();
  void DrawMilkyWay();
  void DrawDaylight(const std::vector<QPointF>& horizon);
  void DrawBoundaries();
  void DrawFigures();
  void DrawConstellationNames();
  void DrawSun();
  void DrawMoon();
  void DrawPlanets();
  void DrawSaturnRing(const TSolSysBody& saturn, int32_t x, int32_t y, int32_t northAngle);
  void DrawMinorBodies();
  void UpdateMinorBodyTracks();
  void DrawOverlays();
  // A marker's chart point for its right ascension and declination of
  // date; false when it has none.
  using TMarkerPlacement = std::function<bool(double ra, double dec, int32_t& x, int32_t& y)>;
  // The script's markers through `place`; names `labelDrop` pixels below.
  void DrawMarkers(int32_t labelDrop, const TMarkerPlacement& place);
  void DrawHorizonProfile();
  bool DirectionTo(int32_t x, int32_t y, double ra, double dec, int32_t& angle);
  void LabelBody(int32_t x, int32_t y, int32_t rx, int32_t ry, const std::string& label);
  void MoonPictureTurn(int32_t& angle, int32_t& xSign);
  void MakeBodyPhase(int32_t number, int32_t x, int32_t y, double rx, double ry, double ra, double dec,
                     double phase);
  void DrawGalileanMoons(const TSolSysBody& jupiter, bool behind);

 public:
  // The direction on this chart (radians, clockwise from +x, as seen) in
  // which the great circle from (ra, dec) toward (toRA, toDec) leaves the
  // first position (layer_bodies.cpp).
  bool ChartDirection(double ra, double dec, double toRA, double toDec, double& angle);

 private:
  // Spatial index over OccupiedRects: buckets of 32 x 32 pixels holding the
  // entries that overlap them; entries spanning many buckets are kept on a
  // list checked for every candidate. Entries 1..IndexedCount are indexed.
  void SyncLabelIndex();
  void IndexRect(int32_t index);
  bool CandidateFree(const TLabelRect& r) const;
  int32_t indexedCount_ = 0;
  int32_t bucketCols_ = 0;
  int32_t bucketRows_ = 0;
  int32_t bucketLeft_ = 0;
  int32_t bucketTop_ = 0;
  std::vector<std::vector<int32_t>> buckets_;
  std::vector<int32_t> wideRects_;
  // Minor-body tracks kept between renders (UpdateMinorBodyTracks): the
  // observer record they were computed for, and per asteroid and comet the
  // elements and the track's right ascensions and declinations (radians).
  struct TMinorTrack {
    std::vector<uint8_t> elements;
    std::vector<QPointF> places;
  };
  std::vector<uint8_t> minorTrackKey_;
  std::vector<TMinorTrack> minorTracks_[2];
};

// Phase-disc polygons, shared by every plotter (bodies 0..10; the disc uses
// 37 points, the shadow 38), in device pixels with their fractions. Defined
// by the phase-disc layer.
extern QPointF PhaseDiscPoints[11][39];
extern QPointF PhaseShadowPoints[11][39];

// Greek letters of Bayer numbers 1..24 in symbol-font codes (letter n is
// BayerLetters[n - 1]; platform::SymbolToGreek shows them). Defined by the
// star layer.
extern const char BayerLetters[25];

// Called at the end of every render with the plotter that rendered (the
// cursor watch publishes its snapshot of MainPlotter from here); null when
// nothing listens.
extern void (*RenderFinishedHook)(const tPlotter& plotter);

// The plotters of the program (null until the main window creates them).
extern tPlotter* MainPlotter;
extern tPlotter* SpherePlotter;

struct TStarOptions;
// The star options' six appearance values copied into MainPlotter's star
// switches: drawing mode to StarDiscs, size adjustment to StarSize, colour by
// spectrum to StarOptionA, names to ShowStarNames, Greek letters to
// StarIdentification, automatic faint limit to NakedEyeOnly (the catalogue's
// applyStarAppearance hook). Nothing happens without a main plotter.
void ApplyStarAppearance(const TStarOptions& options);
