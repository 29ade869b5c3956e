#include "app/core/lifecycle.h"

#include <algorithm>

#include "catalog/stars.h"
#include "platform/gui_thread.h"
#include "shell/messages.h"

uint8_t CloseState = kRunning;

namespace {
std::vector<TWorkerThread> g_workers;
}

std::size_t RunBuildChain(const std::vector<TBuildStep>& steps) {
  for (std::size_t i = 0; i < steps.size(); ++i) {
    if (!steps[i].run || steps[i].run()) continue;
    if (steps[i].code != 0) ShowErrorMessage(steps[i].code, "");
    return i;
  }
  return steps.size();
}

void RegisterWorkerThread(TWorkerThread worker) {
  UnregisterWorkerThread(worker.name);
  g_workers.push_back(std::move(worker));
}

void UnregisterWorkerThread(const std::string& name) {
  std::erase_if(g_workers, [&](const TWorkerThread& w) { return w.name == name; });
}

void UnregisterAllWorkerThreads() { g_workers.clear(); }

bool AnyWorkerRunning() {
  if (StarThreadRunning()) return true;
  return std::any_of(g_workers.begin(), g_workers.end(),
                     [](const TWorkerThread& w) { return w.running && w.running(); });
}

bool CloseQuery() {
  platform::GiveUpWaitsAfter(kEndWaitLimitMs);
  if (CloseState == kClosing) return true;
  if (CloseState == kRunning) {
    CloseState = kCloseRequested;
    for (const TWorkerThread& w : g_workers)
      if (w.requestStop) w.requestStop();
    CancelStarLoad();
  }
  return false;
}

bool CloseHandshakeTick() {
  if (CloseState != kCloseRequested || AnyWorkerRunning() || platform::InsideEventWait()) return false;
  for (const TWorkerThread& w : g_workers)
    if (w.join) w.join();
  // The star load has ended; its end is handled (arrays swapped or dropped)
  // before anything is freed.
  WaitForStarLoad(0);
  CloseState = kClosing;
  return true;
}
