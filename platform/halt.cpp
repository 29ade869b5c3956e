#include "platform/halt.h"

#include <cstdio>
#include <cstdlib>
#include <mutex>

namespace platform {

namespace {
std::mutex g_mutex;
std::function<void(int)> g_handler;
}  // namespace

void SetHaltHandler(std::function<void(int)> handler) {
  std::lock_guard lock(g_mutex);
  g_handler = std::move(handler);
}

void InstallThrowingHaltForTest() {
  SetHaltHandler([](int code) { throw ProgramHalted(code); });
}

void HaltProgram(int code) {
  std::function<void(int)> handler;
  {
    std::lock_guard lock(g_mutex);
    handler = g_handler;
  }
  if (handler) handler(code);
  // The default, or a handler that returned: end the process.
  std::fflush(nullptr);
  std::exit(code);
}

}  // namespace platform
