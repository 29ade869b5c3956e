#include "imaging/port_output.h"

#include <fcntl.h>
#include <linux/ppdev.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>
#if defined(__x86_64__) || defined(__i386__)
#include <sys/io.h>
#endif

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <set>
#include <thread>

#include "platform/gui_thread.h"

namespace imaging {

namespace {

// --- The system calls --------------------------------------------------------

class SystemPpdev : public IPpdev {
 public:
  int Open(const std::string& path, int& fd) override {
    fd = ::open(path.c_str(), O_RDWR | O_CLOEXEC);
    return fd < 0 ? errno : 0;
  }
  int Claim(int fd) override { return ::ioctl(fd, PPCLAIM) == 0 ? 0 : errno; }
  int WriteData(int fd, uint8_t value) override {
    unsigned char b = value;
    return ::ioctl(fd, PPWDATA, &b) == 0 ? 0 : errno;
  }
  int Release(int fd) override { return ::ioctl(fd, PPRELEASE) == 0 ? 0 : errno; }
  void Close(int fd) override { ::close(fd); }
};

class SystemPortIo : public IPortIo {
 public:
#if defined(__x86_64__) || defined(__i386__)
  int Permit(uint16_t port, unsigned width) override { return ::ioperm(port, width, 1) == 0 ? 0 : errno; }
  void Out16(uint16_t port, uint16_t value) override { ::outw(value, port); }
  void Out32(uint16_t port, uint32_t value) override { ::outl(value, port); }
#else
  int Permit(uint16_t, unsigned) override { return kNoIoPorts; }
  void Out16(uint16_t, uint16_t) override {}
  void Out32(uint16_t, uint32_t) override {}
#endif
};

SystemPpdev systemPpdev;
SystemPortIo systemPortIo;
IPpdev* ppdev = &systemPpdev;
IPortIo* portIo = &systemPortIo;
std::string procRoot = "/proc";

// --- The unit's state ----------------------------------------------------------

int initCount = 0;
uint32_t writeRequestCode = 0;
int deviceHandle = -1;
bool ready = false;
// The claimed parallel ports: base address -> open ppdev descriptor.
std::map<uint16_t, int> claimed;
// The ports whose claim is under way (the GUI thread handles its events
// meanwhile, so another connect or write may ask for them).
std::set<uint16_t> claiming;

std::string SystemText(int error) { return std::strerror(error); }

uint32_t ReadLE32(const uint8_t* p) {
  return uint32_t(p[0]) | (uint32_t(p[1]) << 8) | (uint32_t(p[2]) << 16) | (uint32_t(p[3]) << 24);
}

std::string DevicePath(const TParallelPort& p) { return "/dev/parport" + std::to_string(p.number); }

// Why no port has the address `port`, naming the ports there are.
std::string NoPortText(uint16_t port, const std::vector<TParallelPort>& ports) {
  std::string text = "No parallel port at " + PortAddressText(port) + " here; ";
  if (ports.empty()) return text + "this computer has no parallel ports (none in " + procRoot + "/sys/dev/parport).";
  text += "ports found: ";
  for (std::size_t i = 0; i < ports.size(); ++i) {
    if (i) text += ", ";
    text += "parport" + std::to_string(ports[i].number) + " at " + PortAddressText(ports[i].base);
  }
  return text + ".";
}

// PPCLAIM waits for as long as another driver (a printer's) holds the port.
// On the GUI thread the claim runs on a thread of its own while the GUI
// thread handles its events, so the program stays usable. The program's
// end does not wait for it: the claim is left to its thread (which holds
// nothing of the caller's), the port's descriptor is closed under it, and
// the port is free again once the other driver lets it go.
int Claim(int fd) {
  IPpdev* const dev = ppdev;
  if (!platform::IsGuiThread()) return dev->Claim(fd);
  struct TClaim {
    platform::TCompletion done;
    int error = 0;
  };
  auto claim = std::make_shared<TClaim>();
  std::thread claimer([dev, fd, claim] {
    claim->error = dev->Claim(fd);
    claim->done.Complete();
  });
  if (!claim->done.Wait()) {
    claimer.detach();
    return ECANCELED;
  }
  claimer.join();
  return claim->error;
}

// Opens and claims the device of the port at `port`; `fd` gets it.
TPortResult OpenParallel(uint16_t port, int& fd) {
  const std::vector<TParallelPort> ports = ParallelPorts();
  const auto it = std::find_if(ports.begin(), ports.end(), [&](const TParallelPort& p) { return p.base == port; });
  if (it == ports.end()) return TPortResult::Failed(NoPortText(port, ports));
  const std::string path = DevicePath(*it);
  const std::string which = " (the parallel port at " + PortAddressText(port) + ")";
  if (const int e = ppdev->Open(path, fd)) {
    std::string why = "Can't open " + path + which + ": " + SystemText(e);
    if (e == EACCES || e == EPERM) why += "; the user must be allowed to use it (on Debian: the group lp)";
    if (e == ENOENT || e == ENXIO || e == ENODEV) why += "; is the ppdev module loaded?";
    return TPortResult::Failed(why + ".");
  }
  if (const int e = Claim(fd)) {
    ppdev->Close(fd);
    fd = -1;
    return TPortResult::Failed("Can't claim " + path + which + ": " + SystemText(e) + ".");
  }
  return {};
}

void CloseParallel(int fd) {
  ppdev->Release(fd);
  ppdev->Close(fd);
}

TPortResult WriteByte(uint16_t port, uint8_t value) {
  const auto held = claimed.find(port);
  if (held != claimed.end()) {
    if (const int e = ppdev->WriteData(held->second, value))
      return TPortResult::Failed("Can't write to the parallel port at " + PortAddressText(port) + ": " +
                                 SystemText(e) + ".");
    return {};
  }
  if (claiming.count(port))
    return TPortResult::Failed("The parallel port at " + PortAddressText(port) +
                               " is being claimed for a camera; nothing was written.");
  // A port nobody claimed is claimed for this one write.
  claiming.insert(port);
  int fd = -1;
  TPortResult r = OpenParallel(port, fd);
  claiming.erase(port);
  if (!r) return r;
  const int e = ppdev->WriteData(fd, value);
  CloseParallel(fd);
  if (e)
    return TPortResult::Failed("Can't write to the parallel port at " + PortAddressText(port) + ": " + SystemText(e) +
                               ".");
  return {};
}

TPortResult WriteRaw(uint16_t port, unsigned width, uint32_t value) {
  if (const int e = portIo->Permit(port, width)) {
    std::string why = "Can't write " + std::to_string(8 * width) + " bits to port " + PortAddressText(port) + ": ";
    if (e == kNoIoPorts) return TPortResult::Failed(why + "this processor has no I/O ports.");
    // An x86 kernel may refuse or lack ioperm: the system's own reason.
    why += SystemText(e);
    if (e == EPERM) why += " (only root may write to I/O ports)";
    if (e == ENOSYS) why += " (this kernel gives programs no access to I/O ports)";
    return TPortResult::Failed(why + ".");
  }
  if (width == 2)
    portIo->Out16(port, uint16_t(value));
  else
    portIo->Out32(port, value);
  return {};
}

}  // namespace

// --- The unit ---------------------------------------------------------------------

TPortWriteRequest PortWriteRequest(uint32_t port, uint32_t sizeCode, uint32_t value) {
  TPortWriteRequest r{};
  const uint32_t fields[3] = {port, sizeCode, value};
  for (int f = 0; f < 3; ++f)
    for (int b = 0; b < 4; ++b) r[std::size_t(4 * f + b)] = uint8_t(fields[f] >> (8 * b));
  return r;
}

TPortResult PortDriverControl(uint32_t code, const uint8_t* input, std::size_t length) {
  if (code != kPortWriteCode || !input || length != sizeof(TPortWriteRequest)) {
    char text[80];
    std::snprintf(text, sizeof text, "The port driver refuses request %08X of %zu bytes.", unsigned(code), length);
    return TPortResult::Failed(text);
  }
  const uint32_t port = ReadLE32(input), sizeCode = ReadLE32(input + 4), value = ReadLE32(input + 8);
  if (port > 0xFFFF) return TPortResult::Failed("Port address " + std::to_string(port) + " is beyond 0xFFFF.");
  switch (sizeCode) {
    case kPortSizeByte:
      return WriteByte(uint16_t(port), uint8_t(value));
    case kPortSizeWord:
      return WriteRaw(uint16_t(port), 2, value);
    case kPortSizeLong:
      return WriteRaw(uint16_t(port), 4, value);
    default:
      return TPortResult::Failed("Size code " + std::to_string(sizeCode) + " is no width; nothing was written.");
  }
}

bool LoadPortDriver() { return true; }

void UnloadPortDriver() {}

bool OpenPortDriver(int& handle) {
  handle = -1;
  return true;
}

void PortIOInitialization() {
  if (initCount++ > 0) return;
  writeRequestCode = kPortWriteCode;
  ready = false;
  if (LoadPortDriver()) ready = OpenPortDriver(deviceHandle);
}

void PortIOFinalization() {
  if (initCount == 0 || --initCount > 0) return;
  for (const auto& [port, fd] : claimed) CloseParallel(fd);
  claimed.clear();
  if (!ready) return;
  UnloadPortDriver();
  ready = false;
}

int PortIOInitCount() { return initCount; }

bool PortIOReady() { return ready; }

TPortResult PortWrite(uint16_t port, uint32_t sizeCode, uint32_t value) {
  if (!ready) return TPortResult::Failed("The port output is not started; nothing was written.");
  const TPortWriteRequest request = PortWriteRequest(port, sizeCode, value);
  return PortDriverControl(writeRequestCode, request.data(), request.size());
}

// --- Parallel ports ----------------------------------------------------------------

std::vector<TParallelPort> ParallelPorts() {
  namespace fs = std::filesystem;
  std::vector<TParallelPort> ports;
  std::error_code ec;
  for (const fs::directory_entry& d : fs::directory_iterator(procRoot + "/sys/dev/parport", ec)) {
    const std::string name = d.path().filename().string();
    // "parport" and the port's number; "default" holds no port.
    if (name.rfind("parport", 0) != 0 || name.size() == 7 ||
        !std::all_of(name.begin() + 7, name.end(), [](char c) { return c >= '0' && c <= '9'; }))
      continue;
    // The file holds the base address and the upper base, in decimal.
    std::ifstream in(d.path() / "base-addr");
    unsigned long base = 0;
    if (!(in >> base) || base > 0xFFFF) continue;
    ports.push_back({std::stoi(name.substr(7)), uint32_t(base)});
  }
  std::sort(ports.begin(), ports.end(), [](const TParallelPort& a, const TParallelPort& b) { return a.number < b.number; });
  return ports;
}

std::string PortAddressText(uint32_t address) {
  char text[12];
  std::snprintf(text, sizeof text, "%04X", unsigned(address));
  return text;
}

TPortResult ClaimParallelPort(uint16_t port) {
  if (claimed.count(port) || claiming.count(port))
    return TPortResult::Failed("The parallel port at " + PortAddressText(port) + " is in use by another camera.");
  claiming.insert(port);
  int fd = -1;
  TPortResult r = OpenParallel(port, fd);
  claiming.erase(port);
  if (r) claimed[port] = fd;
  return r;
}

void ReleaseParallelPort(uint16_t port) {
  const auto it = claimed.find(port);
  if (it == claimed.end()) return;
  CloseParallel(it->second);
  claimed.erase(it);
}

bool ParallelPortClaimed(uint16_t port) { return claimed.count(port) != 0; }

void SetPpdevForTest(IPpdev* p) { ppdev = p ? p : &systemPpdev; }

void SetPortIoForTest(IPortIo* io) { portIo = io ? io : &systemPortIo; }

void SetProcRootForTest(const std::string& root) {
  procRoot = root.empty() ? "/proc" : root;
  while (procRoot.size() > 1 && procRoot.back() == '/') procRoot.pop_back();
}

// --- The port list and the serial line -------------------------------------------

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

bool SerialLine::Open(uint16_t address, int& errorCode) {
  Close();
  errorCode = 0;
  const PortEntry* e = FindPort(address);
  if (!e || e->kind != PortKind::Serial) {
    errorCode = ENODEV;
    return false;
  }
  std::string path = PortDeviceOverrideForTest ? PortDeviceOverrideForTest(*e) : std::string();
  if (path.empty()) path = e->device;
  // Opened without waiting: a serial port whose modem gives no carrier would
  // hold the open until it did (the line is made local below).
  const int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) {
    errorCode = errno;
    return false;
  }
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
  ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
  fd_ = fd;
  return true;
}

void SerialLine::Close() {
  if (fd_ < 0) return;
  ::close(fd_);
  fd_ = -1;
}

TPortResult SerialLine::SetLine(uint8_t value, uint8_t mask, bool dtrRts) {
  if (fd_ < 0) return TPortResult::Failed("The serial port is not open.");
  if (dtrRts) {
    const ModemLines l = ModemLinesFor(value, mask);
    int dtr = TIOCM_DTR, rts = TIOCM_RTS;
    if (::ioctl(fd_, l.dtr ? TIOCMBIS : TIOCMBIC, &dtr) != 0 || ::ioctl(fd_, l.rts ? TIOCMBIS : TIOCMBIC, &rts) != 0)
      return TPortResult::Failed("Can't set DTR and RTS: " + SystemText(errno) + ".");
    return {};
  }
  const uint8_t m = value & mask;
  if (::write(fd_, &m, 1) != 1) return TPortResult::Failed("Can't write to the serial port: " + SystemText(errno) + ".");
  return {};
}

}  // namespace imaging
