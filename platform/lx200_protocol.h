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

#include <cstddef>
#include <string>
#include <string_view>

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

// True when `reply` (as the mount sent it, "#" included) has the form and
// range the reply to `command` must have: right ascension and sidereal or
// local time 0-24 h, declination and latitude within ±90°, longitude within
// -180° to 360° (either convention), a date MM/DD/YY, the worm period a
// whole number of steps, the step rate a number not below 0, PEC entries
// whole numbers (":VR#" with their index), status letters printable.
// Replies to commands not named here are taken as they come.
bool Lx200ReplyValid(std::string_view command, std::string_view reply);

// The reply as text for a message: printable characters kept, any other
// byte written as \xNN, at most 40 characters.
std::string Lx200Printable(std::string_view reply);

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
