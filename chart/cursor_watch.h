// The cursor watch: a worker thread that names the object under the mouse
// pointer while it moves over the chart. When the pointer has moved it turns
// the pointer into right ascension and declination through the last
// rendered view of the main chart, finds the nearest deep-sky object, star,
// asteroid, comet, planet, the Moon or the Sun within one degree, shows a
// one-line description in the status bar and publishes the object's kind
// and index as the candidate chart selection (the right click takes it).
//
// The worker never reads MainPlotter while it renders: the render publishes
// a snapshot of its view (the state block, the deep-sky objects it drew and
// the solar-system bodies it placed) at its end, and each search works on
// the latest snapshot. The star and object tables are read in place; their
// rebuilds pause the worker (pause_protocol.h), and the last resume clears
// the published object and forces a new search.
//
// Kinds (those of the chart selection): 0 none, 1 deep-sky object (index:
// global record number of ObjectCatalog), 2 SAO star (1-based position in
// SaoStars), 3 asteroid, 4 comet (0-based position in Asteroids, Comets),
// 5 planet (0..8 the entry of Planets, 9 the Moon, 10 the Sun).
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "chart/pause_protocol.h"

class tPlotter;

enum : uint8_t {
  kCursorNone = 0,
  kCursorDeepSky = 1,
  kCursorStar = 2,
  kCursorAsteroid = 3,
  kCursorComet = 4,
  kCursorSolarSystem = 5,
};

// The pause gate of the cursor watch (PauseCursorThread, ResumeCursorThread).
extern TPauseGate CursorGate;
bool PauseCursorThread();
void ResumeCursorThread();
// Runs `work` once the cursor watch is known paused (TPauseGate::WhenPaused):
// the star and body tables are rewritten through it.
void WhenCursorPaused(std::function<void()> work);

// Pointer position of the last search; -1 forces a new search.
extern std::atomic<int32_t> CursorLastX;
extern std::atomic<int32_t> CursorLastY;
// Makes the worker search again under a still pointer.
void InvalidateCursorPosition();

// The published object (PublishCursorObject writes both under one lock, so
// readers never see a half-written pair).
// Each is the result of the search at chart point (x, y); -1 for none.
void PublishCursorObject(uint8_t kind, int32_t index, int32_t x = -1, int32_t y = -1);
void GetCursorObject(uint8_t& kind, int32_t& index);
// The object at chart point (x, y) for a right click there: the published
// one when it was searched at that point, else the search of that point on
// the latest snapshot (kind 0 when none).
void CursorObjectAt(int32_t x, int32_t y, uint8_t& kind, int32_t& index);

// Where the status-bar text goes (panel 3 of the main window); installed by
// the main window. Run on the GUI thread.
void SetCursorHintSink(std::function<void(const std::string&)> sink);

// --- The snapshot of the main chart ---
// A solar-system body as the render placed it: kind 3, 4 or 5 and index,
// position of date (radians), name and magnitude (-100 unknown).
struct TCursorBody {
  uint8_t Kind = kCursorSolarSystem;
  int32_t Index = 0;
  double RA = 0;
  double Dec = 0;
  std::string Name;
  double Magnitude = -100;
};
// The bodies the cursor watch searches, in search order, from the body
// tables and the plotter's solar context: the asteroids and comets chosen
// for display (when the plotter shows them; precessed when its observer
// precesses), the planets but the Earth, the Moon and the Sun.
std::vector<TCursorBody> CursorBodies(const tPlotter& plotter);
// Called at the end of each main-chart render (GUI thread).
void PublishChartSnapshot(const tPlotter& plotter);
// Drops the snapshot (the chart is about to change; also at exit).
void ClearChartSnapshot();
// Copies the latest snapshot into `into` (state block and drawn deep-sky
// objects) and `bodies`. False when none was published.
bool TakeChartSnapshot(tPlotter& into, std::vector<TCursorBody>& bodies);

// --- The search ---
// Nearest object within one degree of (ra0, dec0) (radians, of date) for the
// view `view` (a snapshot) and its bodies: its kind (0 when none) and index,
// and the distance in radians.
struct TCursorFound {
  uint8_t Kind = kCursorNone;
  int32_t Index = 0;
  double Distance = 0;
  const TCursorBody* Body = nullptr;  // the body found (kinds 3 to 5)
  double ChartDateTT = 0;             // the searched chart's date (TT Julian date)
};
TCursorFound CursorSearch(const tPlotter& view, const std::vector<TCursorBody>& bodies, double ra0, double dec0);
// The status-bar text of an object found (empty for kind 0 or an index
// outside the current tables), cut to 255 characters.
std::string CursorObjectText(const TCursorFound& found);
// The first Messier number m (1..110) of the current object of
// ObjectCatalog, 0 when none; the caller holds the object lock.
int MessierNumberOfCurrentObject();

// --- The thread ---
// Starts the worker once (CreateCursorThread); StopCursorThread ends it and
// waits for it (program exit).
void CreateCursorThread();
void StopCursorThread();
bool CursorThreadRunning();
// Number of searches done (tests).
int64_t CursorSearchCountForTest();
// Called by the worker at the start of each search, before it reads the
// star and body tables (tests hold the worker there); empty: nothing.
void SetCursorSearchHookForTest(std::function<void()> hook);
