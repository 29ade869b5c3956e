#include "app/forms/unix_signals.h"

#include <QSocketNotifier>
#include <csignal>
#include <sys/socket.h>
#include <unistd.h>

namespace {

int g_fds[2] = {-1, -1};
std::function<void()> g_action;
QSocketNotifier* g_notifier = nullptr;

extern "C" void OnTerminationSignal(int) {
  const char b = 1;
  // Only async-signal-safe work here.
  [[maybe_unused]] const ssize_t n = ::write(g_fds[0], &b, 1);
}

}  // namespace

bool CloseOnTerminationSignals(std::function<void()> action) {
  g_action = std::move(action);
  if (g_notifier) return true;
  if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, g_fds) != 0) return false;
  g_notifier = new QSocketNotifier(g_fds[1], QSocketNotifier::Read);
  QObject::connect(g_notifier, &QSocketNotifier::activated, [] {
    char b = 0;
    [[maybe_unused]] const ssize_t n = ::read(g_fds[1], &b, 1);
    if (g_action) g_action();
  });
  struct sigaction sa = {};
  sa.sa_handler = OnTerminationSignal;
  sigemptyset(&sa.sa_mask);
  sa.sa_flags = SA_RESTART;
  bool ok = true;
  for (const int s : {SIGTERM, SIGINT, SIGHUP, SIGQUIT}) {
    // A signal the program was started with ignored stays ignored: under
    // nohup, closing the terminal leaves the program running; started in
    // the background by a shell without job control, Ctrl+C there does not
    // end it.
    struct sigaction old = {};
    if (s != SIGTERM && ::sigaction(s, nullptr, &old) == 0 && old.sa_handler == SIG_IGN) continue;
    ok = ::sigaction(s, &sa, nullptr) == 0 && ok;
  }
  struct sigaction ignore = {};
  ignore.sa_handler = SIG_IGN;
  sigemptyset(&ignore.sa_mask);
  return ::sigaction(SIGPIPE, &ignore, nullptr) == 0 && ok;
}
