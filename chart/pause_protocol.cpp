// The cooperative pause of the overlay workers (see pause_protocol.h).
#include "chart/pause_protocol.h"

#include <QCoreApplication>
#include <QTimer>
#include <chrono>

#include "platform/gui_thread.h"

using platform::ServeHandOvers;

bool TPauseGate::Pause(int timeoutMs) {
  // 1. Nested pauses only count.
  if (count_.fetch_add(1) + 1 != 1) return true;
  // 2. Without a worker the flag stands for it.
  if (!attached_.load()) {
    paused_.store(1);
    return true;
  }
  // 3. Wait for the worker's word, serving hand-overs meanwhile.
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  std::unique_lock<std::mutex> lock(mutex_);
  while (!paused_.load()) {
    if (!attached_.load()) {
      paused_.store(1);
      return true;
    }
    if (std::chrono::steady_clock::now() >= deadline) return false;
    lock.unlock();
    ServeHandOvers();
    lock.lock();
    changed_.wait_for(lock, std::chrono::milliseconds(2), [&] { return paused_.load() != 0; });
  }
  return true;
}

void TPauseGate::Resume() {
  int c = count_.load();
  while (c > 0 && !count_.compare_exchange_weak(c, c - 1)) {
  }
  if (c > 1) return;
  if (!attached_.load()) {
    paused_.store(0);
    return;
  }
  if (onResume) onResume();
  {
    std::lock_guard<std::mutex> lock(mutex_);
  }
  changed_.notify_all();
}

void TPauseGate::WhenPaused(std::function<void()> work) {
  if (QCoreApplication::instance() && platform::IsGuiThread()) {
    waiting_.push_back(std::move(work));
    RunWaitingWork();
    return;
  }
  if (!attached_.load() || paused_.load()) {
    work();
    return;
  }
  {
    std::unique_lock<std::mutex> lock(mutex_);
    changed_.wait(lock, [&] { return paused_.load() != 0 || !attached_.load(); });
  }
  work();
}

void TPauseGate::RunWaitingWork() {
  // Work that gives more work: the loop below takes it in its turn.
  if (running_) return;
  {
    struct Running {
      bool& flag;
      explicit Running(bool& f) : flag(f) { flag = true; }
      ~Running() { flag = false; }
    } running(running_);
    while (!waiting_.empty() && (!attached_.load() || paused_.load())) {
      std::function<void()> work = std::move(waiting_.front());
      waiting_.pop_front();
      work();
    }
  }
  // The next chance: after the events that may bring the worker's hand-overs.
  if (!waiting_.empty() && !retryPlanned_) {
    retryPlanned_ = true;
    QTimer::singleShot(kRetryMs, QCoreApplication::instance(), [this] {
      retryPlanned_ = false;
      RunWaitingWork();
    });
  }
}

void TPauseGate::Attach() {
  std::lock_guard<std::mutex> lock(mutex_);
  paused_.store(0);
  attached_.store(true);
}

void TPauseGate::Detach() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    attached_.store(false);
  }
  changed_.notify_all();
}

bool TPauseGate::CheckPoint(const std::atomic<bool>& stop) {
  std::unique_lock<std::mutex> lock(mutex_);
  if (count_.load() > 0) {
    paused_.store(1);
    changed_.notify_all();
    changed_.wait(lock, [&] { return count_.load() == 0 || stop.load(); });
    paused_.store(0);
  }
  return !stop.load();
}

void TPauseGate::Wake() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
  }
  changed_.notify_all();
}
