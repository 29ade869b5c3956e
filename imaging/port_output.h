// The switching line of cameras modified for long exposures: a byte on a
// parallel port's data lines (Linux ppdev, /dev/parportN) or a serial port
// driven through its DTR and RTS modem lines or one written byte (termios,
// /dev/ttySN, 9600 baud 8N1). Port addresses of the settings map to devices:
// 888, 632, 956 to /dev/parport0..2 and 1016, 760, 1000, 744 to the serial
// ports COM1..COM4 (/dev/ttyS0..3).
#pragma once

#include <cstdint>
#include <functional>
#include <string>

namespace imaging {

enum class PortKind { None, Parallel, Serial };

struct PortEntry {
  const char* text;
  uint16_t address;
  PortKind kind;
  const char* device;  // Linux device
};
// The port list of the video camera's settings window, entries 0..6.
inline constexpr PortEntry kPortList[7] = {
    {"0378 (LPT1)", 888, PortKind::Parallel, "/dev/parport0"},
    {"0278 (LPT2)", 632, PortKind::Parallel, "/dev/parport1"},
    {"03BC (LPT3)", 956, PortKind::Parallel, "/dev/parport2"},
    {"03F8 (COM1)", 1016, PortKind::Serial, "/dev/ttyS0"},
    {"02F8 (COM2)", 760, PortKind::Serial, "/dev/ttyS1"},
    {"03E8 (COM3)", 1000, PortKind::Serial, "/dev/ttyS2"},
    {"02E8 (COM4)", 744, PortKind::Serial, "/dev/ttyS3"},
};
// The entry of a port address; nullptr for an unknown address.
const PortEntry* FindPort(uint16_t address);

// Where a port's device lives; tests point it at a pseudo-terminal.
// Empty: the entry's own device.
extern std::function<std::string(const PortEntry&)> PortDeviceOverrideForTest;

// DTR and RTS for a line value: m := value and mask; DTR when bit 0 of m is
// set, RTS when bit 1 is set.
struct ModemLines {
  bool dtr, rts;
};
ModemLines ModemLinesFor(uint8_t value, uint8_t mask);

// One open port. Failures are reported by the results; nothing raises.
class PortOutput {
 public:
  PortOutput() = default;
  ~PortOutput() { Close(); }
  PortOutput(const PortOutput&) = delete;
  PortOutput& operator=(const PortOutput&) = delete;

  // Opens the port of an address. For serial ports `errorCode` receives
  // the system error on failure (ENOENT: no such device).
  bool Open(uint16_t address, int& errorCode);
  void Close();
  bool IsOpen() const { return fd_ >= 0; }
  PortKind Kind() const { return kind_; }

  // Sets the switching line to `value`: the byte on a parallel port; on a
  // serial port the masked value on DTR/RTS (dtrRts) or as one byte.
  bool SetLine(uint8_t value, uint8_t mask, bool dtrRts);

 private:
  int fd_ = -1;
  PortKind kind_ = PortKind::None;
};

}  // namespace imaging
