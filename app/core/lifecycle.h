// The main window's start-up build chain and its two-phase close.
//
// The build chain runs the start-up builders in order; the first that fails
// shows its coded message and ends the start-up there. The close first asks
// every worker thread to end and refuses; the heartbeat then waits until
// all of them have ended, joins them, and closes the window for good. Only
// then are the plotters, arrays and bitmaps the threads use freed.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

// One start-up builder: true on success; `code` is the coded message shown
// when it fails (0: none).
struct TBuildStep {
  int16_t code = 0;
  std::function<bool()> run;
};
// Runs the steps in order. Returns the number of steps that succeeded; the
// chain is complete when it equals steps.size(). The failing step's code is
// shown with an empty detail text.
std::size_t RunBuildChain(const std::vector<TBuildStep>& steps);

// A worker thread the close waits for (cursor watch, magnifier, globe; the
// star loader is always included). Each registers how to ask it to end, how
// to tell whether it still runs, and how to join it once it has ended.
struct TWorkerThread {
  std::string name;
  std::function<void()> requestStop;
  std::function<bool()> running;
  std::function<void()> join;
};
// Registers a worker for the close (GUI thread). A name registered again
// replaces the earlier entry.
void RegisterWorkerThread(TWorkerThread worker);
void UnregisterWorkerThread(const std::string& name);
void UnregisterAllWorkerThreads();

// The two-phase close: 0 running, 1 close requested, 2 closing.
enum : uint8_t { kRunning = 0, kCloseRequested = 1, kClosing = 2 };
extern uint8_t CloseState;

// How long the devices' calls under way when the end is asked for, and the
// end's own calls to them, may wait for their devices in all: a device
// that stays silent holds the end no longer.
inline constexpr int kEndWaitLimitMs = 3000;

// FormCloseQuery: the first request asks every worker (and a running star
// load) to end, gives the waits for devices until kEndWaitLimitMs, and
// refuses; later requests are refused until the heartbeat has moved the
// state to closing, then accepted.
bool CloseQuery();
// The heartbeat's close step: in state 1, when no worker and no star load
// runs any more and the tick is no wait's (platform::InsideEventWait: a
// device's call waiting for its answer, a modal window, a pause, whose
// caller may still use what the close frees), joins them all, moves to
// state 2 and returns true (the caller closes the window again).
bool CloseHandshakeTick();
// True when any registered worker or a star load still runs.
bool AnyWorkerRunning();
