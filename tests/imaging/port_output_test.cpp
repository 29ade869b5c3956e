// The port output: the control code and the write request byte by byte, the
// unit's start and end, parallel ports found by their base address on a
// stand-in /proc with the ppdev calls recorded, the wide writes through raw
// port output, and every refusal with its reason.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "platform/gui_thread.h"
#include "tests/imaging/fake_ports.h"

using namespace imaging;
using fake_ports::Ports;
using Calls = std::vector<std::string>;

TEST(PortOutputUnit, ControlCodeAndWriteRequestLayout) {
  // Worked by hand: 0x80FF << 16 = 0x80FF0000, access 0 << 14 = 0,
  // function 2 << 2 = 0x8, method 0: 0x80FF0008.
  EXPECT_EQ(kPortWriteCode, 0x80FF0008u);
  // Every field in its place: 0x22 << 16 = 0x220000, access 3 << 14 =
  // 0xC000, function 0x800 << 2 = 0x2000, method 2: 0x22E002.
  EXPECT_EQ(CTL_CODE(0x22, 0x800, 2, 3), 0x22E002u);
  // Port, size code, value; four bytes each, lowest byte first.
  const TPortWriteRequest r = PortWriteRequest(0x378, 1, 0xA1B2C3D4);
  EXPECT_EQ(std::vector<uint8_t>(r.begin(), r.end()),
            std::vector<uint8_t>({0x78, 0x03, 0x00, 0x00, 0x01, 0x00, 0x00, 0x00, 0xD4, 0xC3, 0xB2, 0xA1}));

  // The driver carries out a request made by hand and refuses another code
  // or length without writing.
  Ports ports;
  const uint8_t word[12] = {0x78, 0x02, 0, 0, 1, 0, 0, 0, 0x34, 0x12, 0, 0};
  EXPECT_TRUE(PortDriverControl(0x80FF0008, word, 12));
  EXPECT_EQ(ports.io.calls, Calls({"permit 0278 2", "out16 0278 1234"}));
  ports.io.calls.clear();
  EXPECT_EQ(PortDriverControl(0x80FF000C, word, 12).reason, "The port driver refuses request 80FF000C of 12 bytes.");
  EXPECT_FALSE(PortDriverControl(kPortWriteCode, word, 11));
  EXPECT_TRUE(ports.io.calls.empty());
}

// Nothing is written before the start or after the end; a start inside
// another is counted, and the end that balances the first one releases the
// ports still claimed.
TEST(PortOutputUnit, WritesOnlyBetweenItsStartAndItsEnd) {
  int handle = 5;
  EXPECT_TRUE(LoadPortDriver());
  EXPECT_TRUE(OpenPortDriver(handle));
  EXPECT_EQ(handle, -1);
  fake_ports::FakePortIo io;
  fake_ports::FakePpdev ppdev;
  fake_ports::ProcTree proc;
  proc.AddPort(0, 0x378);
  SetPortIoForTest(&io);
  SetPpdevForTest(&ppdev);
  SetProcRootForTest(proc.Root());
  ASSERT_EQ(PortIOInitCount(), 0);
  EXPECT_FALSE(PortIOReady());
  EXPECT_EQ(PortWrite(0x378, 1, 7).reason, "The port output is not started; nothing was written.");
  PortIOInitialization();
  PortIOInitialization();
  EXPECT_EQ(PortIOInitCount(), 2);
  ASSERT_TRUE(ClaimParallelPort(0x378));
  PortIOFinalization();
  EXPECT_TRUE(PortIOReady());
  EXPECT_TRUE(PortWrite(0x378, 1, 7));
  EXPECT_TRUE(ParallelPortClaimed(0x378));
  PortIOFinalization();
  EXPECT_EQ(PortIOInitCount(), 0);
  EXPECT_FALSE(PortIOReady());
  EXPECT_FALSE(ParallelPortClaimed(0x378));
  EXPECT_EQ(ppdev.calls, Calls({"open /dev/parport0", "claim 10", "release 10", "close 10"}));
  EXPECT_FALSE(PortWrite(0x378, 1, 8));
  PortIOFinalization();  // one end too many changes nothing
  EXPECT_EQ(PortIOInitCount(), 0);
  EXPECT_EQ(io.calls, Calls({"permit 0378 2", "out16 0378 7"}));
  SetPortIoForTest(nullptr);
  SetPpdevForTest(nullptr);
  SetProcRootForTest("");
}

// The kernel numbers ports in the order it finds them: 0x3BC before 0x378,
// and a card's port after. A byte goes to the port with the address, never
// to the port with the list position.
TEST(ParallelPort, FoundByItsAddressNotItsNumber) {
  Ports ports;
  ports.proc.AddPort(0, 956);           // 03BC
  ports.proc.AddPort(1, 888, 1912);     // 0378, ECP registers at 0778
  ports.proc.AddPort(2, 632);           // 0278
  ports.proc.AddPort(10, 0xD010);       // a PCI card
  const std::vector<TParallelPort> found = ParallelPorts();
  ASSERT_EQ(found.size(), 4u);
  EXPECT_EQ(std::vector<int>({found[0].number, found[1].number, found[2].number, found[3].number}),
            std::vector<int>({0, 1, 2, 10}));
  EXPECT_EQ(std::vector<uint32_t>({found[0].base, found[1].base, found[2].base, found[3].base}),
            std::vector<uint32_t>({956, 888, 632, 0xD010}));

  // A port nobody holds is claimed for the one write.
  EXPECT_TRUE(PortWrite(888, kPortSizeByte, 0x35));
  EXPECT_EQ(ports.ppdev.calls, Calls({"open /dev/parport1", "claim 11", "write 11 35", "release 11", "close 11"}));
  // A claimed port is written through its held device until released.
  ports.ppdev.calls.clear();
  ASSERT_TRUE(ClaimParallelPort(632));
  EXPECT_TRUE(PortWrite(632, kPortSizeByte, 0xA5));
  EXPECT_TRUE(PortWrite(632, kPortSizeByte, 0x1FF));  // the low byte
  ReleaseParallelPort(632);
  ReleaseParallelPort(632);
  EXPECT_EQ(ports.ppdev.calls, Calls({"open /dev/parport2", "claim 12", "write 12 A5", "write 12 FF", "release 12",
                                      "close 12"}));
  ports.ppdev.calls.clear();
  EXPECT_TRUE(PortWrite(0xD010, kPortSizeByte, 1));
  EXPECT_EQ(ports.ppdev.calls.front(), "open /dev/parport10");
}

TEST(ParallelPort, RefusalsNameTheReason) {
  Ports ports;
  // No parallel port at all.
  EXPECT_EQ(ClaimParallelPort(888).reason, "No parallel port at 0378 here; this computer has no parallel ports (none in " +
                                               ports.proc.Root() + "sys/dev/parport).");
  // None at the address: the ports there are, with their addresses.
  ports.proc.AddPort(0, 956);
  ports.proc.AddPort(1, 632);
  EXPECT_EQ(ClaimParallelPort(888).reason,
            "No parallel port at 0378 here; ports found: parport0 at 03BC, parport1 at 0278.");
  EXPECT_EQ(PortWrite(888, kPortSizeByte, 1).reason,
            "No parallel port at 0378 here; ports found: parport0 at 03BC, parport1 at 0278.");
  EXPECT_TRUE(ports.ppdev.calls.empty());
  // A device the user may not open, one that is missing, one that cannot be
  // claimed (closed again) and one that does not take the byte.
  ports.ppdev.openErrors["/dev/parport0"] = EACCES;
  EXPECT_EQ(ClaimParallelPort(956).reason,
            "Can't open /dev/parport0 (the parallel port at 03BC): Permission denied; the user must be allowed to use "
            "it (on Debian: the group lp).");
  ports.ppdev.openErrors["/dev/parport0"] = ENOENT;
  EXPECT_NE(ClaimParallelPort(956).reason.find("No such file or directory; is the ppdev module loaded?"),
            std::string::npos);
  ports.ppdev.openErrors.clear();
  ports.ppdev.claimError = EINTR;
  EXPECT_EQ(PortWrite(956, kPortSizeByte, 1).reason,
            "Can't claim /dev/parport0 (the parallel port at 03BC): Interrupted system call.");
  EXPECT_FALSE(ParallelPortClaimed(956));
  EXPECT_EQ(ports.ppdev.calls,
            Calls({"open /dev/parport0", "open /dev/parport0", "open /dev/parport0", "claim 10", "close 10"}));
  ports.ppdev.claimError = 0;
  ASSERT_TRUE(ClaimParallelPort(956));
  EXPECT_EQ(ClaimParallelPort(956).reason, "The parallel port at 03BC is in use by another camera.");
  ports.ppdev.writeError = EIO;
  EXPECT_EQ(PortWrite(956, kPortSizeByte, 1).reason, "Can't write to the parallel port at 03BC: Input/output error.");
  // A port whose address file is not a number is no port.
  testing_support::WriteText(ports.proc.Root() + "sys/dev/parport/parport1/base-addr", "none\n");
  EXPECT_EQ(ParallelPorts().size(), 1u);
}

// A claim waits while another driver (a printer's) holds the port: the GUI
// thread handles its events meanwhile, and a claim or write of the port
// asked for then is refused rather than opening it twice.
TEST(ParallelPort, AWaitingClaimLeavesTheGuiThreadTakingInput) {
  Ports ports;
  ports.proc.AddPort(0, 888);
  std::atomic<bool> onGuiThread{true}, guiRan{false};
  std::string secondClaim, writeMeanwhile;
  ports.ppdev.duringClaim = [&] {
    onGuiThread = platform::IsGuiThread();
    // The port is free once the GUI thread has handled an event.
    platform::PostToGuiThread([&] {
      secondClaim = ClaimParallelPort(888).reason;
      writeMeanwhile = PortWrite(888, kPortSizeByte, 1).reason;
      guiRan = true;
    });
    const auto bound = std::chrono::steady_clock::now() + std::chrono::milliseconds(testing_support::kWaitMs);
    while (!guiRan && std::chrono::steady_clock::now() < bound)
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
  };
  ASSERT_TRUE(ClaimParallelPort(888));
  EXPECT_FALSE(onGuiThread);
  ASSERT_TRUE(guiRan) << "the GUI thread was held by the claim";
  EXPECT_EQ(secondClaim, "The parallel port at 0378 is in use by another camera.");
  EXPECT_EQ(writeMeanwhile, "The parallel port at 0378 is being claimed for a camera; nothing was written.");
  ports.ppdev.duringClaim = nullptr;
  EXPECT_TRUE(PortWrite(888, kPortSizeByte, 0x5A));
  ReleaseParallelPort(888);
  EXPECT_EQ(ports.ppdev.calls, Calls({"open /dev/parport0", "claim 10", "write 10 5A", "release 10", "close 10"}));
}

// 16 and 32 bits go out through raw port output where it is permitted;
// size code 3 and a refused permission write nothing and say why.
TEST(PortOutputUnit, WideWritesThroughRawPortOutput) {
  Ports ports;
  EXPECT_TRUE(PortWrite(0x378, kPortSizeWord, 0xABCD1234));
  EXPECT_TRUE(PortWrite(0x2F8, kPortSizeLong, 0xDEADBEEF));
  EXPECT_EQ(ports.io.calls, Calls({"permit 0378 2", "out16 0378 1234", "permit 02F8 4", "out32 02F8 DEADBEEF"}));
  ports.io.calls.clear();
  EXPECT_EQ(PortWrite(0x378, 3, 1).reason, "Size code 3 is no width; nothing was written.");
  ports.io.permitError = EPERM;
  EXPECT_EQ(PortWrite(0x378, kPortSizeWord, 1).reason,
            "Can't write 16 bits to port 0378: Operation not permitted (only root may write to I/O ports).");
  // An x86 kernel built without ioperm: the system's reason, not a
  // processor without I/O ports.
  ports.io.permitError = ENOSYS;
  EXPECT_EQ(PortWrite(0x378, kPortSizeLong, 1).reason,
            "Can't write 32 bits to port 0378: Function not implemented (this kernel gives programs no access to I/O "
            "ports).");
  ports.io.permitError = EINVAL;
  EXPECT_EQ(PortWrite(0x378, kPortSizeWord, 1).reason, "Can't write 16 bits to port 0378: Invalid argument.");
  ports.io.permitError = kNoIoPorts;
  EXPECT_EQ(PortWrite(0x378, kPortSizeLong, 1).reason, "Can't write 32 bits to port 0378: this processor has no I/O ports.");
  EXPECT_EQ(ports.io.calls, Calls({"permit 0378 2", "permit 0378 4", "permit 0378 2", "permit 0378 4"}));
  EXPECT_TRUE(ports.ppdev.calls.empty());
}
