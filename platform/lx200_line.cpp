#include "platform/lx200_line.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cmath>
#include <cstring>

#include "platform/automation_lx200.h"

namespace platform {

namespace {

using Clock = std::chrono::steady_clock;

int MsLeft(Clock::time_point until) {
  const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(until - Clock::now()).count();
  return int(std::clamp<int64_t>(ms, 0, 1 << 30));
}

std::string ErrnoText(int e) { return std::strerror(e); }

}  // namespace

static speed_t BaudConstant(int baud) {
  switch (baud) {
    case 1200: return B1200;
    case 2400: return B2400;
    case 4800: return B4800;
    case 9600: return B9600;
    case 19200: return B19200;
    case 38400: return B38400;
    case 57600: return B57600;
    case 115200: return B115200;
    case 230400: return B230400;
    default: return B0;
  }
}

bool Lx200SpeedSupported(int baud) { return BaudConstant(baud) != B0; }

void TLx200Line::Open(const TLx200Address& a, int limitMs) {
  Close();
  if (a.serial) OpenSerial(a);
  else OpenTcp(a, limitMs);
}

void TLx200Line::Close() {
  if (fd_ >= 0) ::close(fd_);
  fd_ = -1;
}

void TLx200Line::Lost(const std::string& why) {
  Close();
  throw EAutomationLinkLost("Connection to " + where_ + " lost: " + why);
}

void TLx200Line::OpenSerial(const TLx200Address& a) {
  where_ = a.path;
  const speed_t speed = BaudConstant(a.baud);
  if (speed == B0) throw EAutomationError("Unsupported speed " + std::to_string(a.baud));
  const int fd = ::open(a.path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) {
    const int e = errno;
    std::string why = "Cannot open " + a.path + ": " + ErrnoText(e);
    // Serial ports belong to the group dialout on Debian.
    if (e == EACCES || e == EPERM) why += " (the user needs the group dialout)";
    throw EAutomationError(why);
  }
  termios t{};
  if (!::isatty(fd) || ::tcgetattr(fd, &t) != 0) {
    ::close(fd);
    throw EAutomationError(a.path + " is not a serial port");
  }
  // Raw 8N1, no flow control, reads that never block (poll waits).
  ::cfmakeraw(&t);
  t.c_cflag |= CLOCAL | CREAD;
  t.c_cflag &= ~(CSTOPB | PARENB | CRTSCTS);
  // Closing keeps the modem lines up: boards that restart when DTR rises
  // (many Arduino controllers) then restart on the first open only.
  t.c_cflag &= ~HUPCL;
  t.c_cc[VMIN] = 0;
  t.c_cc[VTIME] = 0;
  ::cfsetispeed(&t, speed);
  ::cfsetospeed(&t, speed);
  if (::tcsetattr(fd, TCSANOW, &t) != 0) {
    const int e = errno;
    ::close(fd);
    throw EAutomationError("Cannot set up " + a.path + ": " + ErrnoText(e));
  }
  ::tcflush(fd, TCIOFLUSH);
  fd_ = fd;
  tty_ = true;
}

void TLx200Line::OpenTcp(const TLx200Address& a, int limitMs) {
  where_ = a.path + ":" + std::to_string(a.port);
  addrinfo hints{};
  hints.ai_family = AF_UNSPEC;
  hints.ai_socktype = SOCK_STREAM;
  addrinfo* res = nullptr;
  const int rc = ::getaddrinfo(a.path.c_str(), std::to_string(a.port).c_str(), &hints, &res);
  if (rc != 0 || !res) {
    if (res) ::freeaddrinfo(res);
    throw EAutomationError("Cannot find the host " + a.path + ": " +
                           (rc == EAI_SYSTEM ? ErrnoText(errno) : std::string(::gai_strerror(rc))));
  }
  const auto until = Clock::now() + std::chrono::milliseconds(limitMs);
  std::string why = "no address";
  try {
    for (addrinfo* r = res; r && fd_ < 0; r = r->ai_next) {
      const int fd = ::socket(r->ai_family, r->ai_socktype | SOCK_NONBLOCK | SOCK_CLOEXEC, r->ai_protocol);
      if (fd < 0) continue;
      fd_ = fd;  // watched by Wait, closed again below on failure
      int err = ::connect(fd, r->ai_addr, r->ai_addrlen) == 0 ? 0 : errno;
      if (err == EINPROGRESS) {
        err = Wait(POLLOUT, MsLeft(until)) ? 0 : ETIMEDOUT;
        socklen_t len = sizeof err;
        if (err == 0) ::getsockopt(fd, SOL_SOCKET, SO_ERROR, &err, &len);
      }
      if (err != 0) {
        why = err == ETIMEDOUT ? "no answer within " + Lx200Seconds(limitMs) : ErrnoText(err);
        Close();
        continue;
      }
      const int one = 1;
      ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
      tty_ = false;
    }
  } catch (...) {
    Close();
    ::freeaddrinfo(res);
    throw;
  }
  ::freeaddrinfo(res);
  if (fd_ < 0) throw EAutomationError("Cannot connect to " + where_ + ": " + why);
}

bool TLx200Line::Wait(short events, int ms) {
  const auto until = Clock::now() + std::chrono::milliseconds(ms);
  for (;;) {
    if (cancelled_()) throw EAutomationCancelled("Disconnected");
    pollfd p[2] = {{fd_, events, 0}, {wakeFd_, POLLIN, 0}};
    const int r = ::poll(p, 2, MsLeft(until));
    if (r < 0 && errno != EINTR) return false;
    if (r > 0 && (p[1].revents & POLLIN)) {
      uint64_t drained = 0;
      while (::read(wakeFd_, &drained, sizeof drained) > 0) {
      }
      continue;  // asks cancelled_ again
    }
    // A hang-up or an error counts as ready: the read or write then tells.
    if (r > 0 && p[0].revents) return true;
    if (r == 0 || MsLeft(until) == 0) return false;
  }
}

TLx200Heard TLx200Line::Transact(const std::string& cmd, TLx200Reply shape, int limitMs, int tailMs) {
  if (fd_ < 0) throw EAutomationLinkLost("Not connected");
  const auto deadline = Clock::now() + std::chrono::milliseconds(limitMs);
  DropStale();
  Send(cmd, limitMs);
  if (shape == TLx200Reply::None) return {};
  TLx200Framer framer(shape);
  auto until = deadline;
  bool tail = false;
  char buf[64];
  while (!framer.Done()) {
    if (framer.Garbled()) return {framer.Text(), true};
    if (framer.Optional() && !tail) {
      tail = true;
      until = std::min(deadline, Clock::now() + std::chrono::milliseconds(tailMs));
    }
    if (!Wait(POLLIN, MsLeft(until))) {
      if (framer.Optional()) break;
      if (!framer.Text().empty()) return {framer.Text(), false, true};
      TLx200Heard none;
      none.silent = true;
      return none;
    }
    const ssize_t n = ::read(fd_, buf, sizeof buf);
    if (n == 0) Lost("the mount closed the connection");
    if (n < 0) {
      if (errno == EINTR || errno == EAGAIN || errno == EWOULDBLOCK) continue;
      Lost(ErrnoText(errno));
    }
    // Bytes past the reply are not ours: they are dropped, and counted.
    const std::size_t used = framer.Feed(buf, std::size_t(n));
    Stray(buf + used, std::size_t(n) - used);
  }
  return {framer.Text(), false};
}

void TLx200Line::Stray(const char* bytes, std::size_t n) {
  const std::string_view b(bytes, n);
  if (Lx200Blank(b)) return;
  if (Lx200Banner(b) && banner_.size() < 256) banner_.append(b);
  ++strays_;
  strayText_ += Lx200Unblanked(b);
  constexpr std::size_t kKept = 256;
  if (strayText_.size() > kKept) strayText_.erase(0, strayText_.size() - kKept);
}

void TLx200Line::DropStale() {
  char buf[256];
  for (int i = 0; i < 64; ++i) {
    pollfd p{fd_, POLLIN, 0};
    if (::poll(&p, 1, 0) <= 0) return;
    const ssize_t n = ::read(fd_, buf, sizeof buf);
    if (n == 0) Lost("the mount closed the connection");
    if (n < 0) {
      if (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR) return;
      Lost(ErrnoText(errno));
    }
    Stray(buf, std::size_t(n));
  }
  // A stream of noise: what is left goes unread.
  if (tty_) ::tcflush(fd_, TCIFLUSH);
}

bool TLx200Line::FindMarker(const std::string& marker, int limitMs, const std::string& name,
                            std::string& received, std::size_t& start) {
  if (fd_ < 0) throw EAutomationLinkLost("Not connected");
  const auto until = Clock::now() + std::chrono::milliseconds(limitMs);
  Send(marker, limitMs);
  // What is kept of the bytes read: the marker's reply is at their end,
  // and the late replies before it are short; a stream of noise keeps its
  // latest bytes only.
  constexpr std::size_t kKept = 4096;
  char buf[256];
  for (;;) {
    if (!Wait(POLLIN, MsLeft(until))) return false;
    const ssize_t n = ::read(fd_, buf, sizeof buf);
    if (n == 0) Lost("the mount closed the connection");
    if (n < 0) {
      if (errno == EINTR || errno == EAGAIN || errno == EWOULDBLOCK) continue;
      Lost(ErrnoText(errno));
    }
    // Each "#" may end the marker's reply; bytes after it are no reply's.
    for (ssize_t i = 0; i < n; ++i) {
      received += buf[i];
      if (buf[i] == '#' && Lx200MarkerHeard(marker, received, name, start)) {
        Stray(buf + i + 1, std::size_t(n - i - 1));
        return true;
      }
    }
    if (received.size() > kKept) received.erase(0, received.size() - kKept);
  }
}

void TLx200Line::Send(const std::string& cmd, int limitMs) {
  const auto until = Clock::now() + std::chrono::milliseconds(limitMs);
  std::size_t sent = 0;
  while (sent < cmd.size()) {
    const ssize_t n = tty_ ? ::write(fd_, cmd.data() + sent, cmd.size() - sent)
                           : ::send(fd_, cmd.data() + sent, cmd.size() - sent, MSG_NOSIGNAL);
    if (n > 0) {
      sent += std::size_t(n);
      continue;
    }
    if (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR) Lost(ErrnoText(errno));
    if (!Wait(POLLOUT, MsLeft(until))) Lost("the line does not take " + cmd);
  }
  lastSend_ = Clock::now();
}

}  // namespace platform
