#include "platform/gui_thread.h"

#include <QCoreApplication>
#include <QEvent>
#include <QEventLoop>
#include <QThread>
#include <QTimer>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <limits>
#include <mutex>
#include <vector>

namespace platform {

namespace {

// Work handed to the GUI thread passes through this queue under a standard
// mutex, so the hand-over itself orders the worker's writes before the GUI
// thread's reads (and ThreadSanitizer, which cannot see inside Qt's event
// queue, sees that order too). Each posted event runs one item, in order.
// Never destroyed: a worker a device's silence kept past the program's end
// (detached, see the LX200 mount) may still hand over its completion while
// the process's static objects go.
std::mutex& g_queueMutex = *new std::mutex;
std::deque<std::function<void()>>& g_queue = *new std::deque<std::function<void()>>;

void RunOneQueued() {
  std::function<void()> fn;
  {
    std::lock_guard<std::mutex> lock(g_queueMutex);
    if (g_queue.empty()) return;
    fn = std::move(g_queue.front());
    g_queue.pop_front();
  }
  fn();
}

bool OnAppThread() {
  QCoreApplication* app = QCoreApplication::instance();
  return app && QThread::currentThread() == app->thread();
}

// The object on the GUI thread whose events run the queue: one plain event
// per item, posted from any thread. Whatever event it gets on the GUI thread
// runs the next item (an empty queue: nothing) before Qt handles the event,
// so nothing of the event, which the posting thread wrote, is read here
// before the queue's mutex orders the two threads. (A queued call made from
// a worker would leave the call object it wrote to be read by the GUI thread
// with only Qt's queue between them.) The thread change sent on the thread
// that made the runner runs nothing.
class TQueueRunner : public QObject {
 public:
  bool event(QEvent* e) override {
    if (OnAppThread()) RunOneQueued();
    return QObject::event(e);
  }
};

const QEvent::Type kRunQueued = QEvent::Type(QEvent::registerEventType());

// The runner, made on first use by whichever thread posts first and moved
// to the application's thread.
QObject* QueueRunner(QCoreApplication* app) {
  static QObject* const runner = [app] {
    auto* r = new TQueueRunner;
    r->moveToThread(app->thread());
    return r;
  }();
  return runner;
}

}  // namespace

bool IsGuiThread() { return !QCoreApplication::instance() || OnAppThread(); }

void RunOnGuiThread(const std::function<void()>& fn) {
  QCoreApplication* app = QCoreApplication::instance();
  if (!app || QThread::currentThread() == app->thread()) {
    fn();
    return;
  }
  std::mutex doneMutex;
  std::condition_variable doneSignal;
  bool done = false;
  PostToGuiThread([&] {
    fn();
    std::lock_guard<std::mutex> lock(doneMutex);
    done = true;
    doneSignal.notify_one();
  });
  std::unique_lock<std::mutex> lock(doneMutex);
  doneSignal.wait(lock, [&] { return done; });
}

void PostToGuiThread(std::function<void()> fn) {
  QCoreApplication* app = QCoreApplication::instance();
  if (!app) {
    fn();
    return;
  }
  {
    std::lock_guard<std::mutex> lock(g_queueMutex);
    g_queue.push_back(std::move(fn));
  }
  QCoreApplication::postEvent(QueueRunner(app), new QEvent(kRunQueued));
}

void ServeHandOvers() {
  if (OnAppThread()) QCoreApplication::sendPostedEvents(QueueRunner(QCoreApplication::instance()), kRunQueued);
}

namespace {

// Only the GUI thread counts; atomic so that any thread may ask.
std::atomic<int> g_nestedDepth{0};

struct NestedEvents {
  NestedEvents() { ++g_nestedDepth; }
  ~NestedEvents() { --g_nestedDepth; }
};

// The loop level of the program's main loop while it runs (ExecMainEventLoop).
int g_mainLoopLevel = 0;

// When waits are given up (steady clock), and whether that time has come
// as the GUI thread's timer saw it (a timer may fire a little early).
// `g_giveUpRound` tells the timer of an earlier end from the current one.
using SteadyClock = std::chrono::steady_clock;
constexpr int64_t kNever = std::numeric_limits<int64_t>::max();
std::atomic<int64_t> g_giveUpAtNs{kNever};
std::atomic<bool> g_givenUp{false};
std::atomic<int> g_giveUpRound{0};
// The loops RunWaitLoop runs, innermost last (GUI thread only).
std::vector<QEventLoop*> g_waitLoops;

int64_t NowNs() {
  return std::chrono::duration_cast<std::chrono::nanoseconds>(SteadyClock::now().time_since_epoch()).count();
}

void GiveUpNow() {
  g_givenUp = true;
  for (QEventLoop* loop : g_waitLoops) loop->quit();
}

}  // namespace

int NestedEventDepth() { return g_nestedDepth.load(); }

bool InsideEventWait() {
  if (g_nestedDepth.load() > 0) return true;
  return OnAppThread() && QThread::currentThread()->loopLevel() > g_mainLoopLevel;
}

int ExecMainEventLoop() {
  g_mainLoopLevel = 1;
  const int code = QCoreApplication::exec();
  g_mainLoopLevel = 0;
  return code;
}

void GiveUpWaitsAfter(int ms) {
  const int64_t at = NowNs() + int64_t(std::max(ms, 0)) * 1000000;
  if (at >= g_giveUpAtNs.load()) return;
  g_giveUpAtNs = at;
  if (!OnAppThread()) return;
  if (ms <= 0) {
    GiveUpNow();
    // A wait sleeping for its next event wakes to see it.
    PostToGuiThread([] {});
    return;
  }
  // Wakes the waits sleeping for their next event, and quits the loops.
  const int round = g_giveUpRound.load();
  QTimer::singleShot(ms, Qt::PreciseTimer, QCoreApplication::instance(), [round] {
    if (round == g_giveUpRound.load()) GiveUpNow();
  });
}

bool WaitsGivenUp() { return g_givenUp.load() || NowNs() >= g_giveUpAtNs.load(); }

void ResumeWaits() {
  ++g_giveUpRound;
  g_giveUpAtNs = kNever;
  g_givenUp = false;
}

bool RunWaitLoop(QEventLoop& loop) {
  if (WaitsGivenUp()) return false;
  g_waitLoops.push_back(&loop);
  loop.exec();
  g_waitLoops.erase(std::find(g_waitLoops.begin(), g_waitLoops.end(), &loop));
  return !WaitsGivenUp();
}

void ProcessMessages() {
  if (!IsGuiThread() || !QCoreApplication::instance()) return;
  NestedEvents nested;
  QCoreApplication::processEvents();
}

void TCompletion::Complete() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    done_.store(true, std::memory_order_release);
  }
  signal_.notify_all();
  // A GUI thread waiting in its event loop wakes for the posted event.
  if (QCoreApplication::instance()) PostToGuiThread([] {});
}

bool TCompletion::Wait() {
  if (Done()) return true;
  if (QCoreApplication::instance() && IsGuiThread()) {
    // Each pass handles what arrived and sleeps until the next event; the
    // completion posts one, and so does the end's giving up, so the check
    // below runs right after either.
    NestedEvents nested;
    while (!Done() && !WaitsGivenUp())
      QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
    return Done();
  }
  std::unique_lock<std::mutex> lock(mutex_);
  signal_.wait(lock, [this] { return Done(); });
  return true;
}

}  // namespace platform
