// indiserver with some INDI drivers on a free loopback port, for the tests
// that work against real INDI drivers (Debian package indi-bin). The server
// and its drivers run with a HOME of their own, so the configuration and
// park state in the user's ~/.indi are never read or written.
#pragma once

#include <QProcess>
#include <QStringList>
#include <functional>
#include <vector>

#include "tests/support/test_support.h"

namespace testing_support {

// Waits up to `seconds` for `done`, handling the GUI thread's events meanwhile.
bool WaitUntil(const std::function<bool()>& done, double seconds);

// True when indiserver and every named driver program are installed.
bool HaveIndi(const QStringList& drivers);

// indiserver running `drivers`, with the server's `options` ({"-r", "0"}:
// a driver that ends is not started again); stopped on destruction at the
// latest.
class IndiServer {
 public:
  explicit IndiServer(QStringList drivers, QStringList options = {})
      : drivers_(std::move(drivers)), options_(std::move(options)) {}
  ~IndiServer() { Stop(); }
  IndiServer(const IndiServer&) = delete;
  IndiServer& operator=(const IndiServer&) = delete;

  // Starts the server on a free loopback port and waits (at most 10 s)
  // until it takes connections.
  bool Start();
  void Stop();
  // The server's process (a test stops and continues it).
  qint64 Pid() const { return server_.processId(); }
  // The processes of its drivers (the server's children).
  std::vector<qint64> DriverPids() const;
  // The process of the driver running `program` ("indi_simulator_ccd"); 0
  // when none runs.
  qint64 DriverPid(const std::string& program) const;
  int port = 0;

 private:
  QStringList drivers_, options_;
  TempDir home_;
  QProcess server_;
};

// A process stopped (SIGSTOP) until Continue or the end of the scope: a
// server or driver that hangs, or whose host's network dropped, without
// closing its connections.
class Stopped {
 public:
  explicit Stopped(qint64 pid);
  ~Stopped() { Continue(); }
  Stopped(const Stopped&) = delete;
  Stopped& operator=(const Stopped&) = delete;
  bool Done() const { return done_; }
  void Continue();

 private:
  qint64 pid_;
  bool done_;
};

}  // namespace testing_support
