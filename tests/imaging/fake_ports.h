// Stand-ins beneath the port output: ppdev calls that record what they were
// asked, raw port output that records its writes, and a /proc tree with the
// parallel ports a test wants. Installed while the object lives.
#pragma once

#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "imaging/port_output.h"
#include "tests/support/test_support.h"

namespace fake_ports {

// The ppdev device N opens as descriptor 10 + N. Every call is recorded:
// "open /dev/parport1", "claim 11", "write 11 35" (hex), "release 11",
// "close 11".
class FakePpdev : public imaging::IPpdev {
 public:
  std::vector<std::string> calls;
  std::map<std::string, int> openErrors;  // path -> errno
  int claimError = 0, writeError = 0;
  // Runs inside each claim, on the thread that claims (another driver
  // holding the port until it returns).
  std::function<void()> duringClaim;

  int Open(const std::string& path, int& fd) override {
    calls.push_back("open " + path);
    if (const auto e = openErrors.find(path); e != openErrors.end()) return e->second;
    fd = 10 + std::stoi(path.substr(path.find_first_of("0123456789")));
    return 0;
  }
  int Claim(int fd) override {
    calls.push_back("claim " + std::to_string(fd));
    if (duringClaim) duringClaim();
    return claimError;
  }
  int WriteData(int fd, uint8_t value) override {
    char hex[4];
    std::snprintf(hex, sizeof hex, "%02X", unsigned(value));
    calls.push_back("write " + std::to_string(fd) + " " + hex);
    return writeError;
  }
  int Release(int fd) override {
    calls.push_back("release " + std::to_string(fd));
    return 0;
  }
  void Close(int fd) override { calls.push_back("close " + std::to_string(fd)); }
};

// Raw port output: "permit 0378 2", "out16 0378 1234", "out32 0378 DEADBEEF".
class FakePortIo : public imaging::IPortIo {
 public:
  std::vector<std::string> calls;
  int permitError = 0;

  int Permit(uint16_t port, unsigned width) override {
    calls.push_back("permit " + imaging::PortAddressText(port) + " " + std::to_string(width));
    return permitError;
  }
  void Out16(uint16_t port, uint16_t value) override { Out("out16", port, value); }
  void Out32(uint16_t port, uint32_t value) override { Out("out32", port, value); }

 private:
  void Out(const char* what, uint16_t port, uint32_t value) {
    char hex[12];
    std::snprintf(hex, sizeof hex, "%X", unsigned(value));
    calls.push_back(std::string(what) + " " + imaging::PortAddressText(port) + " " + hex);
  }
};

// A private /proc holding sys/dev/parport with the "default" folder the
// kernel keeps there and the ports added.
class ProcTree {
 public:
  ProcTree() { std::filesystem::create_directories(dir_.Path() + "sys/dev/parport/default"); }
  // parportN at `base`, its file written as the kernel writes it (decimal
  // base and upper base, tab between).
  void AddPort(int number, unsigned long base, unsigned long baseHi = 0) {
    const std::string folder = dir_.Path() + "sys/dev/parport/parport" + std::to_string(number);
    std::filesystem::create_directories(folder);
    testing_support::WriteText(folder + "/base-addr", std::to_string(base) + "\t" + std::to_string(baseHi) + "\n");
  }
  const std::string& Root() const { return dir_.Path(); }

 private:
  testing_support::TempDir dir_;
};

// Everything beneath the port output replaced, and the unit started, while
// the object lives.
struct Ports {
  FakePpdev ppdev;
  FakePortIo io;
  ProcTree proc;
  Ports() {
    imaging::SetPpdevForTest(&ppdev);
    imaging::SetPortIoForTest(&io);
    imaging::SetProcRootForTest(proc.Root());
    imaging::PortIOInitialization();
  }
  ~Ports() {
    imaging::PortIOFinalization();
    imaging::SetPpdevForTest(nullptr);
    imaging::SetPortIoForTest(nullptr);
    imaging::SetProcRootForTest("");
  }
};

}  // namespace fake_ports
