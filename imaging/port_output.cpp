#include "imaging/port_output.h"

#include <fcntl.h>
#include <linux/ppdev.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>

namespace imaging {

std::function<std::string(const PortEntry&)> PortDeviceOverrideForTest;

const PortEntry* FindPort(uint16_t address) {
  for (const auto& e : kPortList)
    if (e.address == address) return &e;
  return nullptr;
}

ModemLines ModemLinesFor(uint8_t value, uint8_t mask) {
  const uint8_t m = value & mask;
  return {(m & 1) != 0, (m & 2) != 0};
}

bool PortOutput::Open(uint16_t address, int& errorCode) {
  Close();
  errorCode = 0;
  const PortEntry* e = FindPort(address);
  if (!e) {
    errorCode = ENODEV;
    return false;
  }
  std::string path = PortDeviceOverrideForTest ? PortDeviceOverrideForTest(*e) : std::string();
  if (path.empty()) path = e->device;
  const int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
  if (fd < 0) {
    errorCode = errno;
    return false;
  }
  if (e->kind == PortKind::Parallel) {
    // Claim the port for this program while the camera is connected.
    if (::ioctl(fd, PPCLAIM) != 0) {
      errorCode = errno;
      ::close(fd);
      return false;
    }
  } else {
    // Exclusive use, 9600 baud, 8 data bits, no parity, one stop bit.
    termios t{};
    if (::ioctl(fd, TIOCEXCL) != 0 || ::tcgetattr(fd, &t) != 0) {
      errorCode = errno;
      ::close(fd);
      return false;
    }
    ::cfmakeraw(&t);
    t.c_cflag &= ~tcflag_t(CSIZE | PARENB | CSTOPB | CRTSCTS);
    t.c_cflag |= CS8 | CLOCAL | CREAD;
    ::cfsetispeed(&t, B9600);
    ::cfsetospeed(&t, B9600);
    if (::tcsetattr(fd, TCSANOW, &t) != 0) {
      errorCode = errno;
      ::close(fd);
      return false;
    }
  }
  fd_ = fd;
  kind_ = e->kind;
  return true;
}

void PortOutput::Close() {
  if (fd_ < 0) return;
  if (kind_ == PortKind::Parallel) ::ioctl(fd_, PPRELEASE);
  ::close(fd_);
  fd_ = -1;
  kind_ = PortKind::None;
}

bool PortOutput::SetLine(uint8_t value, uint8_t mask, bool dtrRts) {
  if (fd_ < 0) return false;
  if (kind_ == PortKind::Parallel) {
    unsigned char b = value;
    return ::ioctl(fd_, PPWDATA, &b) == 0;
  }
  if (dtrRts) {
    const ModemLines l = ModemLinesFor(value, mask);
    int dtr = TIOCM_DTR, rts = TIOCM_RTS;
    return ::ioctl(fd_, l.dtr ? TIOCMBIS : TIOCMBIC, &dtr) == 0 &&
           ::ioctl(fd_, l.rts ? TIOCMBIS : TIOCMBIC, &rts) == 0;
  }
  const uint8_t m = value & mask;
  return ::write(fd_, &m, 1) == 1;
}

}  // namespace imaging
