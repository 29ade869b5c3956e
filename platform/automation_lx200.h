// Mounts of the LX200 family (Meade Autostar and LX200, OnStep) spoken to
// directly, over a serial line (termios) or TCP, behind the driver
// interface. Identifiers:
//   "LX200:/dev/ttyUSB0:9600"   a serial port and its speed (9600 unless given)
//   "LX200:host:port"           a network port (OnStep's is 9999, the default)
// The driver sends one command at a time and reads its reply with a time
// limit (platform/lx200_protocol.h tells each reply's shape). A mount that
// stays silent, a closed line or a reply that cannot be one (noise, a wrong
// speed) raise EAutomationLinkLost: the port is closed, Connected reads
// false, and nothing more is sent until Connected is put true again.
//
// Members (the mount kind comes from ":GVP#"; an OnStep product name makes
// DriverInfo say "ON_STEP", any other says "Meade"):
//   Connected            opens the line and asks ":GR#" (an answer is required)
//   DriverInfo           the product and version (":GVP#", ":GVN#")
//   RightAscension, Declination   ":GR#", ":GD#" (either precision is read;
//                        a low-precision mount is switched to high with ":U#")
//   SlewToCoordinatesAsync  ":Sr", ":Sd", ":MS#"; a refusal code raises
//   SyncToCoordinates    ":Sr", ":Sd", ":CM#" (OnStep's "E" codes raise)
//   AbortSlew            ":Q#"
//   Slewing              ":D#" (a bar while the mount slews)
//   Tracking, AtPark, SideOfPier   OnStep's ":GU#"; Tracking put ":Te#"/":Td#"
//   Park, UnPark, SetPark, FindHome   OnStep's ":hP#", ":hR#", ":hQ#", ":hC#"
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
// closes the line, so the GUI thread never waits longer than this at once).
inline constexpr int kLx200ReplyLimitMs = 600;

// Registers the "LX200:" identifiers with the driver registry (once).
void RegisterLx200Drivers();

}  // namespace platform
