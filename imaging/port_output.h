// Port output for the switching line of cameras modified for long
// exposures.
//
// The port-output unit writes a value to an I/O port address: PortWrite
// builds the 12-byte write request (port, size code, value; little-endian)
// and hands it, under the control code CTL_CODE(0x80FF, 2, 0, 0), to the
// port driver, which here lives in the program:
// - size code 0 (a byte) goes to the data lines of the parallel port whose
//   base address is the port, through its ppdev device /dev/parportN (the
//   kernel gives each port's address in
//   /proc/sys/dev/parport/parportN/base-addr; the numbers N follow the order
//   the kernel found the ports in, not their addresses);
// - size codes 1 and 2 (16 and 32 bits) go out through raw port I/O where
//   the system allows it (x86, ioperm, which only root may call; a refusal
//   gives the system's reason);
// - size code 3 writes nothing.
// Where nothing can write (no such port, no permission) nothing is written
// and the result says why. Linux needs no kernel driver for this, so there
// is no driver to install, start, stop or remove: loading, opening and
// unloading the driver succeed at once.
//
// The serial switching line (termios, /dev/ttySN, 9600 baud 8N1; DTR and
// RTS or one written byte) and the port list of the settings window are
// here too. Serial addresses 1016, 760, 1000, 744 are COM1..COM4
// (/dev/ttyS0..3).
//
// The unit's state is used from the GUI thread only.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace imaging {

// --- The port-output unit ---------------------------------------------------

// A device I/O control code: the device type in bits 16..31, the access in
// bits 14..15, the function in bits 2..13 and the method in bits 0..1.
constexpr uint32_t CTL_CODE(uint32_t deviceType, uint32_t function, uint32_t method, uint32_t access) {
  return (deviceType << 16) | (access << 14) | (function << 2) | method;
}
// The port write: device type 0x80FF, function 2, buffered, any access.
inline constexpr uint32_t kPortWriteCode = CTL_CODE(0x80FF, 2, 0, 0);

// Size codes of a port write.
inline constexpr uint32_t kPortSizeByte = 0, kPortSizeWord = 1, kPortSizeLong = 2;

// The write request: port address, size code and value, 4 bytes each,
// little-endian.
using TPortWriteRequest = std::array<uint8_t, 12>;
TPortWriteRequest PortWriteRequest(uint32_t port, uint32_t sizeCode, uint32_t value);

// The outcome of a port operation: done, or why not.
struct TPortResult {
  bool ok = true;
  std::string reason;
  explicit operator bool() const { return ok; }
  static TPortResult Failed(std::string why) { return {false, std::move(why)}; }
};

// The port driver's side of a request: the port write (kPortWriteCode with
// a 12-byte request) is carried out; any other code or length is refused.
TPortResult PortDriverControl(uint32_t code, const uint8_t* input, std::size_t length);

// True: the program itself is the driver, nothing is installed or started.
bool LoadPortDriver();
// Nothing to stop or remove.
void UnloadPortDriver();
// True; there is no driver device to open (`deviceHandle` := -1).
bool OpenPortDriver(int& deviceHandle);

// The unit's initialisation and finalisation, run by the program's start
// and end. They are counted: the first initialisation computes the write
// code, loads and opens the driver and makes the unit ready; the
// finalisation that brings the count back to zero unloads the driver,
// releases every port still claimed and ends the readiness.
void PortIOInitialization();
void PortIOFinalization();
int PortIOInitCount();
bool PortIOReady();

// Writes `value` to `port` with the width of `sizeCode` (see above); nothing
// is written before the initialisation or after the finalisation.
TPortResult PortWrite(uint16_t port, uint32_t sizeCode, uint32_t value);

// --- Parallel ports by address ------------------------------------------------

struct TParallelPort {
  int number = 0;     // N of /dev/parportN
  uint32_t base = 0;  // base I/O address
};
// The parallel ports the kernel knows, by number (none when the parport
// driver is not loaded).
std::vector<TParallelPort> ParallelPorts();
// An address as the port list writes it: four upper-case hex digits.
std::string PortAddressText(uint32_t address);

// Claims the parallel port at base address `port` for this program until
// ReleaseParallelPort (or the finalisation): its device is opened and
// claimed (PPCLAIM), and byte writes to the port go through it. Where no
// port has the address the reason names the ports there are. A claim waits
// while another driver holds the port; on the GUI thread it waits on a
// thread of its own, the GUI thread's events handled meanwhile (a claim or
// write of the same port asked for then is refused).
TPortResult ClaimParallelPort(uint16_t port);
// Releases (PPRELEASE) and closes a claimed port; nothing for another.
void ReleaseParallelPort(uint16_t port);
bool ParallelPortClaimed(uint16_t port);

// --- The system calls beneath, replaceable by tests ---------------------------

// The ppdev calls. Each gives 0 or the errno value of the failure.
class IPpdev {
 public:
  virtual ~IPpdev() = default;
  virtual int Open(const std::string& path, int& fd) = 0;
  virtual int Claim(int fd) = 0;                   // PPCLAIM
  virtual int WriteData(int fd, uint8_t value) = 0;  // PPWDATA
  virtual int Release(int fd) = 0;                 // PPRELEASE
  virtual void Close(int fd) = 0;
};
// Raw port output. Permit asks for access to `width` ports from `port`
// (ioperm; 0, the errno value of its failure, or kNoIoPorts where the
// processor has no I/O ports at all); Out16 and Out32 write (outw, outl).
inline constexpr int kNoIoPorts = -1;
class IPortIo {
 public:
  virtual ~IPortIo() = default;
  virtual int Permit(uint16_t port, unsigned width) = 0;
  virtual void Out16(uint16_t port, uint16_t value) = 0;
  virtual void Out32(uint16_t port, uint32_t value) = 0;
};
// nullptr restores the system's.
void SetPpdevForTest(IPpdev* ppdev);
void SetPortIoForTest(IPortIo* io);
// The folder standing in for /proc; empty restores "/proc".
void SetProcRootForTest(const std::string& root);

// --- The settings window's port list and the serial line ---------------------

enum class PortKind { None, Parallel, Serial };

struct PortEntry {
  const char* text;
  uint16_t address;
  PortKind kind;
  const char* device;  // the serial device; parallel ports are found by address
};
// The port list of the video camera's settings window, entries 0..6.
inline constexpr PortEntry kPortList[7] = {
    {"0378 (LPT1)", 888, PortKind::Parallel, ""},       {"0278 (LPT2)", 632, PortKind::Parallel, ""},
    {"03BC (LPT3)", 956, PortKind::Parallel, ""},       {"03F8 (COM1)", 1016, PortKind::Serial, "/dev/ttyS0"},
    {"02F8 (COM2)", 760, PortKind::Serial, "/dev/ttyS1"}, {"03E8 (COM3)", 1000, PortKind::Serial, "/dev/ttyS2"},
    {"02E8 (COM4)", 744, PortKind::Serial, "/dev/ttyS3"},
};
// The entry of a port address; nullptr for an unknown address.
const PortEntry* FindPort(uint16_t address);

// Where a serial port's device lives; tests point it at a pseudo-terminal.
// Empty: the entry's own device.
extern std::function<std::string(const PortEntry&)> PortDeviceOverrideForTest;

// DTR and RTS for a line value: m := value and mask; DTR when bit 0 of m is
// set, RTS when bit 1 is set.
struct ModemLines {
  bool dtr, rts;
};
ModemLines ModemLinesFor(uint8_t value, uint8_t mask);

// One open serial port. Failures are reported by the results; nothing
// raises.
class SerialLine {
 public:
  SerialLine() = default;
  ~SerialLine() { Close(); }
  SerialLine(const SerialLine&) = delete;
  SerialLine& operator=(const SerialLine&) = delete;

  // Opens the serial port of an address; `errorCode` receives the system
  // error on failure (ENOENT: no such device, ENODEV: not a serial port of
  // the list).
  bool Open(uint16_t address, int& errorCode);
  void Close();
  bool IsOpen() const { return fd_ >= 0; }

  // Sets the line to `value`: the masked value on DTR/RTS (dtrRts) or as
  // one byte.
  TPortResult SetLine(uint8_t value, uint8_t mask, bool dtrRts);

 private:
  int fd_ = -1;
};

}  // namespace imaging
