// The pause protocol of the overlay workers, with a real worker thread: the
// worker passes its check point in a loop and counts its passes; a pause
// returns only once the worker sits at its check point, and no pass runs
// until the last resume.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "chart/pause_protocol.h"
#include "platform/gui_thread.h"

namespace {

using namespace std::chrono_literals;

struct Worker {
  TPauseGate& gate;
  std::atomic<bool> stop{false};
  std::atomic<int64_t> passes{0};
  std::atomic<bool> inPass{false};
  std::atomic<int> handOvers{0};
  std::atomic<bool> finished{false};
  bool useHandOver = false;
  std::thread thread;

  explicit Worker(TPauseGate& g, bool handOver = false) : gate(g), useHandOver(handOver) {
    gate.Attach();
    thread = std::thread([this] {
      while (gate.CheckPoint(stop)) {
        inPass = true;
        ++passes;
        // A pass that needs the GUI thread: blocks until it is served.
        if (useHandOver) platform::RunOnGuiThread([this] { ++handOvers; });
        std::this_thread::sleep_for(1ms);
        inPass = false;
      }
      finished = true;
    });
  }
  ~Worker() {
    stop = true;
    gate.Wake();
    // A worker blocked in a hand-over is served until it has ended.
    while (!finished) {
      platform::ProcessMessages();
      std::this_thread::sleep_for(1ms);
    }
    thread.join();
    gate.Detach();
  }
  bool RunsWithin(std::chrono::milliseconds t) {
    const int64_t start = passes;
    const auto until = std::chrono::steady_clock::now() + t;
    while (std::chrono::steady_clock::now() < until) {
      platform::ProcessMessages();
      if (passes > start + 2) return true;
      std::this_thread::sleep_for(1ms);
    }
    return false;
  }
};

}  // namespace

// A pause returns once the worker sits at its check point and no pass runs
// while paused; pauses nest: only the last of two resumes lets the worker go
// on, surplus resumes leave the count at 0 and a later pause waits again.
TEST(PauseProtocol, PausesNestAndOnlyTheLastResumeRestartsTheWorker) {
  TPauseGate gate;
  Worker w(gate);
  ASSERT_TRUE(w.RunsWithin(60s));
  ASSERT_TRUE(gate.Pause(60000));
  ASSERT_TRUE(gate.Pause(60000));
  EXPECT_TRUE(gate.Paused());
  EXPECT_FALSE(w.inPass.load());
  EXPECT_EQ(gate.Count(), 2);
  gate.Resume();
  const int64_t held = w.passes;
  std::this_thread::sleep_for(30ms);
  EXPECT_EQ(w.passes.load(), held) << "one resume of two must not release the worker";
  gate.Resume();
  gate.Resume();
  EXPECT_EQ(gate.Count(), 0);
  EXPECT_TRUE(w.RunsWithin(60s));
  ASSERT_TRUE(gate.Pause(60000));
  EXPECT_TRUE(gate.Paused());
  gate.Resume();
}

// A worker blocked in a hand-over to the GUI thread is served by the pause's
// wait and reaches its check point.
TEST(PauseProtocol, PauseServesHandOversOfTheWorker) {
  TPauseGate gate;
  Worker w(gate, true);
  ASSERT_TRUE(w.RunsWithin(60s));
  ASSERT_TRUE(gate.Pause(60000));
  EXPECT_TRUE(gate.Paused());
  EXPECT_GT(w.handOvers.load(), 0);
  gate.Resume();
}

// A worker that never reaches its check point: the pause times out with
// false and the count stays raised; the matching resume balances it.
// Without a worker a pause only sets the paused flag.
TEST(PauseProtocol, PauseTimesOutWhenTheWorkerDoesNotStop) {
  TPauseGate gate;
  EXPECT_TRUE(gate.Pause(10));
  EXPECT_TRUE(gate.Paused());
  gate.Resume();
  EXPECT_FALSE(gate.Paused());
  gate.Attach();  // attached, but nothing calls CheckPoint
  const auto start = std::chrono::steady_clock::now();
  EXPECT_FALSE(gate.Pause(100));
  EXPECT_GE(std::chrono::steady_clock::now() - start, 100ms);
  EXPECT_EQ(gate.Count(), 1);
  EXPECT_FALSE(gate.Paused());
  gate.Resume();
  EXPECT_EQ(gate.Count(), 0);
  gate.Detach();
}

// Work waiting for the worker's pause runs in the order it was given: work
// given once the worker is paused runs after the work that waited before
// (a list read later is never overwritten by one read earlier).
TEST(PauseProtocol, WorkWaitingForThePauseRunsInTheOrderGiven) {
  TPauseGate gate;
  Worker w(gate);
  ASSERT_TRUE(w.RunsWithin(60s));
  std::string order;
  gate.WhenPaused([&] { order += 'A'; });  // the worker runs: it waits
  EXPECT_EQ(order, "");
  ASSERT_TRUE(gate.Pause(60000));
  gate.WhenPaused([&] { order += 'B'; });
  const auto until = std::chrono::steady_clock::now() + 60s;
  while (order.size() < 2 && std::chrono::steady_clock::now() < until) {
    platform::ProcessMessages();
    std::this_thread::sleep_for(1ms);
  }
  EXPECT_EQ(order, "AB");
  gate.Resume();
}
