// The line to an LX200-family mount: a serial port (termios, raw 8N1) or a
// TCP socket, opened, written and read by the one worker thread of its
// connection (platform/automation_lx200.cpp). Every wait on the line also
// watches a wake descriptor, so that a disconnect ends a wait at once.
#pragma once

#include <chrono>
#include <functional>
#include <string>
#include <utility>

#include "platform/automation.h"
#include "platform/lx200_protocol.h"

namespace platform {

struct TLx200Address;

// True for the serial speeds a port can be set to (1200 to 230400 baud).
bool Lx200SpeedSupported(int baud);

// One reply as the line delivered it.
struct TLx200Heard {
  std::string text;      // the bytes of the reply ("#" included)
  bool garbled = false;  // they cannot be a reply of the expected shape
  bool cut = false;      // it began, then stopped short of its end
  bool silent = false;   // nothing came within the limit
};

class TLx200Line {
 public:
  // `wakeFd`: a descriptor that turns readable when `cancelled` may have
  // become true; the line drains it and asks `cancelled`.
  TLx200Line(int wakeFd, std::function<bool()> cancelled) : wakeFd_(wakeFd), cancelled_(std::move(cancelled)) {}
  ~TLx200Line() { Close(); }
  TLx200Line(const TLx200Line&) = delete;
  TLx200Line& operator=(const TLx200Line&) = delete;

  bool IsOpen() const { return fd_ >= 0; }
  // "/dev/ttyUSB0" or "host:port".
  const std::string& Where() const { return where_; }

  // Opens the port or connects the socket (waiting up to `limitMs` for
  // the network). Raises EAutomationError with the reason: the system's
  // error text ("No such file or directory", "Connection refused", "Name or
  // service not known"), and for a serial port the user may not open, that
  // the user needs the group dialout.
  void Open(const TLx200Address& a, int limitMs);
  void Close();

  // Sends `cmd` and reads a reply of `shape` within `limitMs`; `tailMs` is
  // the wait for an optional tail. A reply that cannot be of the shape
  // comes back marked garbled, one that began but did not end within the
  // limit marked cut, none at all marked silent, the line still open in
  // each case. A closed or failing line closes the line and raises
  // EAutomationLinkLost.
  TLx200Heard Transact(const std::string& cmd, TLx200Reply shape, int limitMs, int tailMs);

  // Sends `marker` (Lx200Marker) and reads, `limitMs` at most, until what
  // came ends with the marker's reply (Lx200MarkerHeard; `name` for
  // ":GVP#" and ":GVN#"). Nothing is dropped first: `received` keeps every
  // byte read, from earlier calls too, and `start` receives where the
  // marker's reply begins in it. False when the time ran out first.
  bool FindMarker(const std::string& marker, int limitMs, const std::string& name, std::string& received,
                  std::size_t& start);

  // Drops whatever arrived since the last reply (late tails, noise).
  void DropStale();
  // How often, since the last call, bytes came that no reply took: read
  // past a reply, or dropped before a command (a reply sent twice, a late
  // one). Blanks and line ends are not counted.
  int TakeStrays() {
    strayText_.clear();
    return std::exchange(strays_, 0);
  }
  // The bytes counted by TakeStrays since its last call, blanks left out
  // (the latest 256 at most).
  const std::string& StrayText() const { return strayText_; }
  // What the bytes counted by TakeStrays said as a board's words
  // (Lx200Banner: text lines, such as a board prints as it starts), since
  // the last call; empty when none came.
  std::string TakeBanner() { return std::exchange(banner_, std::string()); }
  // When the last command or marker went out in whole.
  std::chrono::steady_clock::time_point LastSend() const { return lastSend_; }
  // Closes the line and raises EAutomationLinkLost naming `why`.
  [[noreturn]] void Lost(const std::string& why);

 private:
  void OpenSerial(const TLx200Address& a);
  void OpenTcp(const TLx200Address& a, int limitMs);
  // Waits up to `ms` for `events` on the line; false when the time ran out.
  // Raises EAutomationCancelled when the wait was ended by a disconnect.
  bool Wait(short events, int ms);
  void Send(const std::string& cmd, int limitMs);

  int wakeFd_;
  std::function<bool()> cancelled_;
  // Counts `bytes`, which no reply took, unless they are blank.
  void Stray(const char* bytes, std::size_t n);

  int fd_ = -1;
  bool tty_ = false;
  int strays_ = 0;
  std::string strayText_;
  std::string banner_;
  std::chrono::steady_clock::time_point lastSend_{};
  std::string where_;
};

}  // namespace platform
