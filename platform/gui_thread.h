// Hand-over of work to the GUI thread. Worker threads never touch windows,
// dialogs or shared GUI state directly: they run such work through
// RunOnGuiThread, which blocks until the GUI thread has done it. The GUI
// thread must therefore never block waiting for a worker without pumping
// messages (ProcessMessages).
#pragma once

#include <atomic>
#include <condition_variable>
#include <functional>
#include <mutex>

class QEventLoop;

namespace platform {

// True on the thread that runs the application's event loop, and on any
// thread while no application object exists (tests, command-line tools).
bool IsGuiThread();

// Runs fn on the GUI thread and waits for it to finish. On the GUI thread, or
// when no application object exists, runs fn at once.
void RunOnGuiThread(const std::function<void()>& fn);

// Queues fn to run on the GUI thread after the current event; returns at once.
// Without an application object, runs fn at once.
void PostToGuiThread(std::function<void()> fn);

// Handles pending events of the GUI thread (no-op elsewhere).
void ProcessMessages();

// How many waits the GUI thread is handling its events inside (a device
// call's ProcessMessages or TCompletion::Wait): 0 when its events come
// from the event loop alone. Whatever such a wait's caller holds (a camera
// whose call is under way) must outlast it.
int NestedEventDepth();

// Whether the GUI thread handles its events inside any wait: a device
// call's (NestedEventDepth), or an event loop nested in the program's main
// loop (a modal window, a timed pause, a download). Whatever such a wait's
// caller holds must outlast it: the program's end frees nothing while this
// holds, and finishes once the waits have returned.
bool InsideEventWait();

// Runs the application's event loop as the program's main loop (the loop
// InsideEventWait does not count); its exit code.
int ExecMainEventLoop();

// The program's end gives up waiting: `ms` from now every wait of the GUI
// thread for a device or another thread returns without its work done
// (TCompletion::Wait false, RunWaitLoop false, the device waits that ask
// WaitsGivenUp), and so does each one begun after that, so that a device
// that stays silent cannot hold the end. Until then they run as ever (a
// device that answers is let go in good order). A second call never
// moves the time later. Any thread may ask WaitsGivenUp.
void GiveUpWaitsAfter(int ms);
bool WaitsGivenUp();
// Waits run in full again (a main window made anew in the same process).
void ResumeWaits();

// Runs `loop`, an event loop of the GUI thread that waits for something
// (a timed pause, a download), until it is quit: true; or until the
// program's end gives up waiting, which quits it: false.
bool RunWaitLoop(QEventLoop& loop);

// On the GUI thread, runs the work other threads have handed over (with
// PostToGuiThread or RunOnGuiThread) and nothing else: timers, painting and
// input wait for the event loop. No-op elsewhere.
void ServeHandOvers();

// The end of a piece of work another thread does for the caller (a device's
// reply, say). The worker calls Complete once; the caller Waits. On the GUI
// thread the wait handles the thread's events meanwhile (input, timers,
// painting), so the program stays usable however long the work takes; the
// caller must expect anything the GUI can do to happen during the wait,
// including a nested wait. On other threads Wait simply blocks. The waiter
// may return before Complete has: both threads share the object's ownership
// (a shared pointer) so that it outlives the call.
class TCompletion {
 public:
  // Any thread, once: marks the work done and wakes the waiting thread.
  void Complete();
  bool Done() const { return done_.load(std::memory_order_acquire); }
  // Returns once Complete has been called: true. On the GUI thread it
  // returns false, the work not done, once the program's end has given up
  // waiting (GiveUpWaitsAfter); the worker may still be at it then.
  [[nodiscard]] bool Wait();

 private:
  std::atomic<bool> done_{false};
  std::mutex mutex_;
  std::condition_variable signal_;
};

}  // namespace platform
