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
// connect kLx200StartWaitMs, its question asked again meanwhile) and checked against its form and range
// (platform/lx200_protocol.h). A reply is never taken for another
// command's: after one that is malformed, cut short (begun, its end not come
// within the limit) or missing, the rest of it (or all of it) may still be
// on its way, so before anything else is sent the driver finds the mount's
// replies again with a marker, a question whose reply has a form no reply
// still owed can take, and drops what came before that reply (taking it,
// when it is the whole reply that was waited for, only late). Long stalls
// of a link (a network bridge, a busy handset) are ridden out so, up to
// about 9 s for every command; a board that restarts meanwhile, losing
// what it was sent, answers the last marker, sent about 7 s after the
// command (once the mount has named itself and its firmware). Then a
// command whose sending twice leaves the mount as sending
// it once (the queries and the set commands of a value, Lx200MayAskAgain)
// is asked again, kLx200Asks times in all; any other (a goto, a sync, a
// park, an alignment step, a PEC shift) raises EAutomationOutcomeUnknown
// saying what the mount may be doing ("the mount may be moving"), the link
// kept. Replies that cannot be found again, a query without a good reply
// at its last ask, a silent mount or a closed line raise
// EAutomationLinkLost: the port is closed, Connected reads false, and
// nothing more is sent until Connected is put true again. The connection
// counts the replies that needed a second look: when 3 of the last 100 did
// (TLx200Retries), TakeNotice tells it once per connection ("noisy line: 3
// of the last 57 replies asked again").
//
// A value a set command stores (a goto's or sync's target, the UTC offset,
// time and date, the site) counts as set only when it reads back so
// (":Gr#"/":Gd#", ":GG#", ":GL#"/":GC#", ":Gt#", ":Gg#"), within the
// precision of the coarser of the two writings, with the line proved in
// step after the reads: a set command the mount never heard, whose place
// the "1" of the command before took (sent twice by the link), leaves the
// old value. Such a value is set again, four times at most; a value never
// read back as set raises, naming it ("Latitude not taken by the mount: it
// reads +00*00 where -33*30 was set; set 4 times").
//
// Restarts. A board that restarts loses its memory: the goto under way,
// and, unless it keeps them, the clock and site it was given. The rule:
// after a silence (a command or a marker without a reply), a board's
// words (text lines that no reply takes: no LX200 reply holds a line end)
// or a goto seen to end, the values this connection set and the mount was
// proved to hold (the UTC offset, date and time as one, the latitude, the
// longitude) are read back once the call is done, proved in step, and
// again where one reads otherwise; the mount restarted when both reads
// find a value gone (the clock more than kLx200ClockKeptSeconds from the
// one set, run on), when its words came with a silence, or when three
// markers went unanswered and nothing of the replies owed came back. A
// slow link (replies 200 ms late, a spike of a second), a line that loses
// or repeats commands, or a goto made from the handset or the mount's own
// app (the target moved by another controller) leaves those values as
// they were and is never told as a restart; a restart of any length (one
// command lost or four, or none with a banner or at a goto's end, after a
// goto as after a park or an alignment start) is. TakeFault tells it once
// ("the mount restarted: it was silent for 2.1 s, said "OnStep 4.24k" and
// lost the date, time and site it was given; the goto under way was lost;
// its date, time and site were set again"); a goto or sync whose own
// target the restart took (read back after it), or whose reply was lost,
// raises it instead. The clock and site are set again and proved (or the
// text says they could not be, and to connect again). A mount given
// neither clock nor site is told restarted only by its words with a
// silence, or three markers unanswered.
//
// Members (the mount kind comes from ":GVP#"; an OnStep product name makes
// DriverInfo say "ON_STEP", any other says "Meade"; the name, the version
// and the coordinate mode are taken only from replies proved in step, in
// passes of ":GVP#", ":GVN#" and ":GXEE#" or ":GW#" each followed by a
// check; a name the driver does not know is taken when two passes give it,
// and never on a line whose mount named itself OnStep before in this run
// of the program; no name is the classic LX200 only when four passes in
// step got none):
//   Connected            opens the line and asks ":GR#" (an answer is required)
//   DriverInfo           the product and version (":GVP#", ":GVN#")
//   RightAscension, Declination   ":GR#", ":GD#" (either precision is read;
//                        a low-precision mount is switched to high with ":U#")
//   SlewToCoordinatesAsync  ":Sr", ":Sd", ":MS#"; a refusal code raises. The
//                        target is read back (":Gr#", ":Gd#") and the replies
//                        proved in step before the goto's is read (set again,
//                        four times at most), and the goto's reply is taken
//                        only when the check after it finds nothing else but
//                        that reply again; else EAutomationOutcomeUnknown
//                        (never a refusal)
//   SyncToCoordinates    ":Sr", ":Sd", ":CM#", checked as a goto; OnStep's "E"
//                        codes and its bare "1" (parked or slewing, told by
//                        ":GU#") raise
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
//   UTCDate              ":SG+00#", ":SL" UTC time, ":SC" UTC date, read back
//                        with ":GG#", ":GC#", ":GL#" and set again together
//                        (an offset set again moves the mount's local time:
//                        the clock is read back after it). A set command's (and a
//                        park's) reply other than "1" is a refusal only when
//                        the line proves in step after it; else the value is
//                        set again (four times at most), a park told as
//                        unconfirmed
//   SiteLatitude, SiteLongitude   ":Gt#"/":St", ":Gg#"/":Sg" (east positive here,
//                        west positive on the line), each read back
//   PulseGuide           ":Mg" + direction + milliseconds, where the mount has it
//   GuideRateRightAscension, GuideRateDeclination   the rate of the last ":Rn#"
//   EquatorialSystem, DoesRefraction   1 and false; OnStep says with ":GXEE#"
//   Can...               what the mount kind offers
//   CommandString, CommandBlind, CommandBool   (command, raw) the raw strings:
//                        the reply as the mount sent it, nothing, or the first
//                        reply character being "1"
//   RepliesInStep        whether every reply since the last reading answered
//                        its own command, as far as the line can tell: a
//                        marker is sent and read; a reply that came twice (a
//                        network bridge or serial adapter repeating a packet)
//                        or one that came late makes it false. A reply sent
//                        twice sets the well-formed replies after it one
//                        behind, until a command lost later sets them back:
//                        a bulk read of replies that all look alike (the PEC
//                        table) asks this after each reply and reads again
//                        what it finds shifted.
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
// How often a question, or a set command of a value, is asked before a
// line that never answers it well is given up.
inline constexpr int kLx200Asks = 4;
// The longest wait for a network port to take the connection.
inline constexpr int kLx200FirstReplyLimitMs = 3000;
// The longest wait for the first reply of a connect: a handset wakes
// slowly, and many boards restart as their serial port is opened (DTR)
// and answer 1 to 5 s later, having lost the questions sent meanwhile
// (asked again every 1.5 s).
inline constexpr int kLx200StartWaitMs = 8000;

// Forgets which lines' mounts have named themselves OnStep in this run.
void ForgetLx200LinesForTest();
// How long the markers that find a mount's replies again are waited for in
// all (9 s; 0 restores it), for tests of lines whose markers are never
// answered.
void SetLx200FindRepliesMsForTest(int ms);

// Registers the "LX200:" identifiers with the driver registry (once).
void RegisterLx200Drivers();

}  // namespace platform
