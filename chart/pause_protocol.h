// The pause protocol of the chart's overlay workers (the cursor watch and,
// when it runs as a thread, the magnifier).
//
// Work on the GUI thread that must not overlap a worker (rebuilding the star
// tables, printing, filling an information window, changing points of
// interest, redrawing the magnifier frame) brackets itself with Pause and
// Resume. The pause is cooperative: nothing is suspended from outside. The
// worker calls CheckPoint at the top of every pass; while a pause is
// outstanding it says it is paused and blocks on a condition variable until
// the last Resume. Pauses nest: only the first waits, only the last resumes.
//
// While it waits, Pause serves the hand-over queue of platform/gui_thread.h
// (and nothing else), so a worker blocked in RunOnGuiThread finishes its pass
// and reaches its check point. No timer, paint or input event is handled in
// the wait, so no render or timer handler re-enters it.
//
// A Pause that times out returns false and leaves the count raised (the
// matching Resume still balances it); the worker still stops at its next
// check point. The caller must then not touch data the worker may be
// reading: WhenPaused runs such work once the worker is known paused.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>

class TPauseGate {
 public:
  // Default wait of a pause, and the interval of WhenPaused's retries,
  // milliseconds.
  static constexpr int kPauseTimeoutMs = 20000;
  static constexpr int kRetryMs = 10;

  // --- GUI thread ---
  // Raises the count; the first pause waits (up to timeoutMs) until the
  // worker says it is paused. True when paused or when no worker is
  // attached; false on time-out.
  bool Pause(int timeoutMs = kPauseTimeoutMs);
  // Lowers the count (never below 0); the last resume lets the worker go on
  // and runs the resume action. Without a worker it clears the paused flag.
  void Resume();
  // Runs `work` (which rewrites what the worker reads, under a pause the
  // caller keeps outstanding until `work` has run) once the worker is known
  // to sit at its check point: at once when it does or when no worker is
  // attached; else again at the next chance, every 10 ms from the event
  // loop (without one, after waiting for the worker). On the GUI thread
  // such work runs in the order it was given: work given while earlier
  // work waits runs after it (a list read later is never overwritten by
  // one read before).
  void WhenPaused(std::function<void()> work);

  // --- Worker thread ---
  // Attaches or detaches the worker (a pause without a worker only sets the
  // paused flag).
  void Attach();
  void Detach();
  // Called at the top of each pass: blocks while a pause is outstanding,
  // with the paused flag set, until the count returns to 0 or `stop` is set
  // (Wake). Returns false when the worker is to end.
  bool CheckPoint(const std::atomic<bool>& stop);
  // Wakes a worker blocked in CheckPoint (to end it).
  void Wake();

  int Count() const { return count_.load(); }
  bool Paused() const { return paused_.load() != 0; }
  bool Attached() const { return attached_.load(); }

  // Runs on the GUI thread when the last resume lets an attached worker go
  // on (for example to make it search again).
  std::function<void()> onResume;

 private:
  // Runs the waiting work in order while the worker sits at its check
  // point (or none is attached); else retries in 10 ms.
  void RunWaitingWork();
  // GUI thread only: the work waiting for the pause, first given first.
  std::deque<std::function<void()>> waiting_;
  bool running_ = false, retryPlanned_ = false;
  std::mutex mutex_;
  std::condition_variable changed_;
  std::atomic<int> count_{0};
  std::atomic<uint8_t> paused_{0};
  std::atomic<bool> attached_{false};
};
