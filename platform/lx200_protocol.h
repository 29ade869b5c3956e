// The LX200 command language as mounts of the LX200 family (Meade
// Autostar and LX200, OnStep) speak it: which reply each command gets,
// a framer that tells when a reply is complete, and the readers and
// writers of the numbers inside commands and replies. No input or output
// happens here; platform/automation_lx200.h drives a real line with it.
//
// A command is ":" + code + parameters + "#". Replies come in these shapes:
// nothing at all (moves, stops, rates), one digit without a frame
// ("0"/"1" for the set commands and OnStep's yes/no commands), text ended by
// "#" (every get), the goto reply: "0" for a slew begun, else a code digit
// that Meade mounts follow with a message ended by "#", and the sync reply:
// text ended by "#", or OnStep's bare refusal digit.
#pragma once

#include <array>
#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace platform {

enum class TLx200Reply {
  None,  // no reply
  Bool,  // one character "0" or "1", no "#"
  Char,  // one character of any kind, no "#"
  Text,  // text ended by "#"
  Goto,  // "0", or a code digit and an optional message ended by "#"
  Date,  // ":SC": "0", or "1" and (Meade) two optional lines ended by "#"
  Sync,  // ":CM#": text ended by "#", or a bare "0"/"1" (OnStep refusing)
};

// The reply shape of `command` (":GR#", ":Sr12:00:00#", ...) on an OnStep
// controller, or with `onStep` false on a Meade handset (whose park, wake
// and set-park commands answer nothing). A command this table does not
// know gets Text.
TLx200Reply Lx200ReplyOf(std::string_view command, bool onStep = true);

// True for a command that only asks (":G..", ":V..", ":D#", ":$QZ?#"):
// asking it again changes nothing on the mount.
bool IsLx200Query(std::string_view command);

// True for a command that may be sent again when its reply came garbled,
// cut short or not at all: sent twice, it leaves the mount as sent once. These
// are the queries and the set commands that store a value the command
// carries: the target (":Sr", ":Sd"), the site (":St", ":Sg"), the UTC
// offset, time and date (":SG", ":SL", ":SC"; the time sent again is the
// same text, late by one reply at most, within its one-second step) and
// tracking on or off (":Te#", ":Td#"). Never a command that moves the mount
// or whose repetition changes something: goto (":MS#"), sync (":CM#"),
// guide pulses and moves (":Mg..", ":Mn#"), park, un-park, set park and
// home (":hP#", ":hR#", ":hQ#", ":hC#"), the precision toggle (":U#"),
// alignment (":A1#" restarts it, ":A+#" takes the next star), PEC shifts and
// writes (":WR+#", ":WR0001,+005#"), the tracking-rate steps (":T+#"), and
// any command this list does not name.
bool Lx200MayAskAgain(std::string_view command);

// True when `reply` (as the mount sent it, "#" included) has the form and
// range the reply to `command` must have: right ascension and sidereal or
// local time 0-24 h written as a time (no sign, no degree sign),
// declination and latitude within ±90° with their sign ("+20*00:00"; a
// time such as "23:45:39" is none), the target's (":Gr#", ":Gd#") as the
// pointing's, longitude within -180° to 360° (either convention), the UTC
// offset hours within ±24 ("-05", "+05.5", "+05:30"), a date MM/DD/YY, the worm period a whole number of steps,
// the step rate a number not below 0, PEC entries "sDDD" within a signed
// byte (":VR#": "sDDD,DDD", the entry and its index), OnStep's status
// (Lx200StatusValid) and PEC state (one of "IpPrR"), a product name of
// printable characters, a firmware version printable with a digit and a
// letter or digit first ("4.24k", "43Eg"), OnStep's coordinate mode a digit.
// A reply to any other command holds printable characters, Autostar's
// degree sign (0xDF) and the slew bar (0x7F) only: other bytes are noise on
// the line. The slew bar of ":D#" is taken as it comes, but for line ends
// (a board's words, never a reply).
bool Lx200ReplyValid(std::string_view command, std::string_view reply);

// True for the body of OnStep's ":GU#" reply as its firmwares build it:
// flags, each at most once and each one of those the firmwares send (the
// letters of the tracking, goto, park, home, guiding and rate states, the
// PEC state's "/,~;^", the mount kind and the pier side), exactly one park
// state of "pIPF", at most one mount kind of "EKA" and one pier side of
// "oTW", then (in later firmwares) the two guide rates' digits and the error
// code, '0' to '?', or (in earlier ones) the error code's digit alone.
bool Lx200StatusValid(std::string_view status);

// True for the body of a ":GU#" reply of that shape whose flags may
// include letters this driver does not know (a firmware newer than its
// list): the rules of Lx200StatusValid, with any letter as a flag.
bool Lx200StatusShaped(std::string_view status);

// True for a product name (":GVP#", without "#") of a mount this driver
// knows: OnStep's ("On-Step", any case and punctuation) and the Meade
// handsets' ("Autostar", "Autostar II", "Audiostar", "LX2001", ...).
bool Lx200ProductKnown(std::string_view product);
bool Lx200ProductOnStep(std::string_view product);

// --- Finding the mount's replies again ------------------------------------------
// After a reply that came late, cut short, spoiled or not at all, where the
// line stands among the mount's replies is unknown: the rest of that reply
// (or all of it) may still be on its way. Before anything else is sent the
// line sends a marker, a question whose reply has a form of its own, and
// reads up to that reply; the mount answers in order, so whatever came
// before it belongs to the replies still owed and nothing of theirs comes
// after it. A marker is only used when no reply still owed could be taken
// for its reply: ":GR#" (a time, "HH:MM:SS#"), ":GD#" (an angle,
// "sDD*MM:SS#"), ":GC#" (a date, "MM/DD/YY#") and, once the mount has named
// itself, ":GVP#" (that name) and ":GVN#" (its firmware version, where it
// holds a letter and a digit and the two names cannot be mistaken for
// each other at the end of the bytes).

// The first marker whose reply none of the replies to `owed` (commands
// still unanswered, a marker that found nothing among them) can be taken
// for; `product`, `version`: the mount's product name and firmware
// version, empty when not known. Empty when there is no such marker.
std::string Lx200Marker(const std::vector<std::string>& owed, std::string_view product,
                        std::string_view version = {});

// True when `received` ends with a reply of the form that `marker` gets
// (`name`: the text ":GVP#" or ":GVN#" answers); `start` receives where
// that reply begins. Bytes before it (the late replies still owed, noise)
// may run into it: only its own end is read.
bool Lx200MarkerHeard(std::string_view marker, std::string_view received, std::string_view name,
                      std::size_t& start);

// True when `bytes` hold nothing but blanks, line ends and zero bytes
// (which some links put between replies): no reply of a mount.
bool Lx200Blank(std::string_view bytes);
// `bytes` without the blanks, line ends and zero bytes of Lx200Blank.
std::string Lx200Unblanked(std::string_view bytes);

// True when `bytes` (that no reply took) read as a board's words: a line
// end and a letter or digit, as a board prints them when it starts. No
// reply of the LX200 language holds a line end, and line noise brings none.
bool Lx200Banner(std::string_view bytes);

// True when `text` is exactly one whole reply of `shape`: nothing after
// it, an optional tail (a goto's refusal message) ended or absent.
bool Lx200WholeReply(TLx200Reply shape, std::string_view text);

// What a command that is not sent twice may have done when its reply was
// lost: "the mount may be moving" (a goto), "the mount may have synced", ...
std::string Lx200Consequence(std::string_view command);

// Which of a line's latest replies needed a second ask. A line where
// kNoisy of the last kWindow did is noisy: told once, so that the user
// can look at the cable before the link drops.
class TLx200Retries {
 public:
  static constexpr int kWindow = 100;
  static constexpr int kNoisy = 3;
  // Counts one reply; `askedAgain`: it came good only at the second ask.
  // True at the one reply that makes the line noisy (until Reset).
  bool Count(bool askedAgain);
  // A new connection: nothing counted, nothing told.
  void Reset() { *this = TLx200Retries(); }
  // "noisy line: 3 of the last 57 replies asked again".
  std::string Report() const;

 private:
  std::array<bool, kWindow> last_{};  // a ring of the latest replies
  int next_ = 0, filled_ = 0, recent_ = 0;
  bool told_ = false;
};

// The reply as text for a message: printable characters kept, any other
// byte written as \xNN, at most 40 characters.
std::string Lx200Printable(std::string_view reply);
// A reply limit for messages: "3 s", "0.6 s".
std::string Lx200Seconds(int ms);

// True for a command the line may carry: ":" ... "#", 3 to 40 characters,
// printable ASCII, no "#" inside.
bool IsLx200Command(std::string_view command);

// Collects the bytes of one reply. Feed it what the line gave; it takes
// what belongs to the reply and tells when the reply is complete.
class TLx200Framer {
 public:
  // `limit`: the longest text reply taken before it counts as garbled.
  explicit TLx200Framer(TLx200Reply shape, std::size_t limit = 80) : shape_(shape), limit_(limit) {}

  // Takes bytes from `data`; returns how many belong to this reply (the
  // rest are not part of it).
  std::size_t Feed(const char* data, std::size_t size);
  // The reply is complete.
  bool Done() const { return state_ == State::Done; }
  // The reply's required part is complete and an optional tail may follow
  // (a Meade goto message, the planetary-data lines after ":SC"): the reader
  // waits a short while for it, then takes the reply as it is.
  bool Optional() const { return state_ == State::Tail; }
  // The bytes cannot be a reply of this shape (noise, a wrong speed).
  bool Garbled() const { return state_ == State::Garbled; }
  // The reply so far, as the mount sent it ("#" included).
  const std::string& Text() const { return text_; }

 private:
  enum class State { Empty, Partial, Tail, Done, Garbled };
  void Take(char c);
  TLx200Reply shape_;
  std::size_t limit_;
  State state_ = State::Empty;
  std::string text_;
  int hashes_ = 0;
};

// A sexagesimal number as mounts write it: "12:34:56", "12:34.5",
// "+45*12'34", "-05*12", "+45\xdf" "12:34.567" (Autostar's degree sign),
// "123*45", each with an optional trailing "#". Fields: whole units, then
// minutes, then seconds; the last field given may have decimals; minutes
// and seconds below 60. False when `text` is none of these.
bool ParseLx200Sexagesimal(std::string_view text, double& value);

// Formats for the set commands; every value is rounded to the command's
// last digit first, so 23:59:59.7 gives "00:00:00" of the next turn.
// Right ascension (hours, [0, 24)): "HH:MM:SS" or, low precision, "HH:MM.T".
std::string FormatLx200Hours(double hours, bool highPrecision);
// Declination or latitude (degrees, [-90, 90]): "sDD*MM:SS" or "sDD*MM".
std::string FormatLx200Degrees(double degrees, bool highPrecision);
// Longitude for ":Sg": west-positive whole degrees and minutes "DDD*MM",
// from an east-positive longitude in degrees.
std::string FormatLx200Longitude(double eastDegrees);

// The meaning of a goto refusal code ('1'..'9').
std::string Lx200GotoRefusal(char code);

// Reads a number in a reply such as "009600#", "80.000000#", "+012#"
// (invariant format, platform::ParseDouble): surrounding blanks and one
// trailing "#" allowed. False when it is none.
bool ParseLx200Number(std::string_view reply, double& value);

// Strips one trailing "#" (and nothing else) from a reply.
std::string_view Lx200Unframed(std::string_view reply);

}  // namespace platform
