// Mounts of the LX200 family (Meade Autostar and LX200, OnStep) spoken to
// directly, over a serial line (termios) or TCP, behind the driver
// interface. Identifiers:
//   "LX200:/dev/ttyUSB0:9600"   a serial port and its speed (9600 unless given)
//   "LX200:host:port"           a network port (OnStep's is 9999, the default)
// Each connection has a worker thread of its own that owns the port: the
// driver's members are queued to it in order and run one at a time, one
// command in flight. The calling thread waits for its member's result; the
// GUI thread handles its events meanwhile (platform::TCompletion), so a slow
// mount never freezes the program. Putting Connected false ends the member
// in flight and the queued ones at once (EAutomationCancelled).
//
// Each reply is read with a time limit (kLx200ReplyLimitMs; the first of a
// connect kLx200FirstReplyLimitMs) and checked against its form and range
// (platform/lx200_protocol.h). A reply malformed or cut short (begun, but
// its end not come within the limit) is asked once more when sending the
// command twice leaves the mount as sending it once (the queries and the set
// commands of a value, Lx200MayAskAgain), after the line has gone quiet so
// that a late rest of the bad reply is dropped. A second bad reply, a bad
// reply to any other command (a goto, a sync, a pulse), a silent mount or a
// closed line raise EAutomationLinkLost: the port is closed, Connected
// reads false, and nothing more is sent until Connected is put true again.
// The connection counts the replies that needed a second ask: when 3 of
// the last 100 did (TLx200Retries), TakeNotice tells it once per
// connection ("noisy line: 3 of the last 57 replies asked again").
//
// Members (the mount kind comes from ":GVP#"; an OnStep product name makes
// DriverInfo say "ON_STEP", any other says "Meade"):
//   Connected            opens the line and asks ":GR#" (an answer is required)
//   DriverInfo           the product and version (":GVP#", ":GVN#")
//   RightAscension, Declination   ":GR#", ":GD#" (either precision is read;
//                        a low-precision mount is switched to high with ":U#")
//   SlewToCoordinatesAsync  ":Sr", ":Sd", ":MS#"; a refusal code raises
//   SyncToCoordinates    ":Sr", ":Sd", ":CM#"; OnStep's "E" codes and its bare
//                        "1" (parked or slewing, told by ":GU#") raise
//   AbortSlew            ":Q#"
//   Slewing              ":D#" (a bar while the mount slews)
//   Tracking, AtPark, SideOfPier   OnStep's ":GU#"; Tracking put ":Te#"/":Td#".
//                        A Meade handset that answers ":GW#" (Autostar II,
//                        LX200GPS) tells its tracking there; its park state
//                        is known after a Park or UnPark of this connection.
//                        Where nothing tells them they raise.
//   Park, UnPark, SetPark, FindHome   OnStep's ":hP#", ":hR#", ":hQ#", ":hC#";
//                        Meade's ":hP#" (handsets with a product name), and on
//                        handsets that answer ":GW#" ":hW#" (wake) and ":hS#"
//   UTCDate              ":SG+00#", ":SL" UTC time, ":SC" UTC date
//   SiteLatitude, SiteLongitude   ":Gt#"/":St", ":Gg#"/":Sg" (east positive here,
//                        west positive on the line)
//   PulseGuide           ":Mg" + direction + milliseconds, where the mount has it
//   GuideRateRightAscension, GuideRateDeclination   the rate of the last ":Rn#"
//   EquatorialSystem, DoesRefraction   1 and false; OnStep says with ":GXEE#"
//   Can...               what the mount kind offers
//   CommandString, CommandBlind, CommandBool   (command, raw) the raw strings:
//                        the reply as the mount sent it, nothing, or the first
//                        reply character being "1"
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "platform/automation.h"

namespace platform {

// Where an identifier points.
struct TLx200Address {
  bool serial = true;
  std::string path;   // serial device, or host name
  int baud = 9600;    // serial speed
  int port = 9999;    // TCP port
};

// Reads an "LX200:..." identifier; raises EAutomationError for a bad one.
TLx200Address ParseLx200Id(const std::string& id);

// The longest wait for one reply, in milliseconds (the first silence
// closes the line).
inline constexpr int kLx200ReplyLimitMs = 600;
// The longest wait for the first reply of a connect, and for a network
// port to take the connection: handsets wake slowly.
inline constexpr int kLx200FirstReplyLimitMs = 3000;

// Registers the "LX200:" identifiers with the driver registry (once).
void RegisterLx200Drivers();

}  // namespace platform
