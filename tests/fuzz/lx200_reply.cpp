// Fuzz target: bytes from a mount of the LX200 family as the reply to each
// kind of command, fed whole and in two pieces to the reply framer, then
// to the readers of the numbers inside replies and to the reply checks (a
// reply taken as valid must read as a value in its range, and no reply may
// pass as the reply to two questions of different forms, which would let a
// reply the link sent twice stand for the next question's), and as what
// came before a marker's reply (a marker's reply found must lie inside the
// bytes and read as a value of its form); a firmware version and the
// bytes without their blanks; and the bytes as a command.
#include <cmath>
#include <string>

#include "platform/lx200_protocol.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  const std::string reply(reinterpret_cast<const char*>(data), size);
  using platform::TLx200Reply;
  for (TLx200Reply shape : {TLx200Reply::None, TLx200Reply::Bool, TLx200Reply::Char, TLx200Reply::Text,
                            TLx200Reply::Goto, TLx200Reply::Date, TLx200Reply::Sync}) {
    platform::TLx200Framer whole(shape);
    const std::size_t used = whole.Feed(reply.data(), reply.size());
    if (used > reply.size() || whole.Text().size() != used) __builtin_trap();
    // The line delivers the same bytes in pieces: the framing must not change.
    platform::TLx200Framer pieces(shape);
    const std::size_t half = size / 2;
    std::size_t taken = pieces.Feed(reply.data(), half);
    if (taken == half) taken += pieces.Feed(reply.data() + half, size - half);
    if (pieces.Text() != whole.Text() || pieces.Done() != whole.Done() || pieces.Garbled() != whole.Garbled())
      __builtin_trap();
  }
  double v = 0;
  if (platform::ParseLx200Sexagesimal(reply, v) && !(v == v)) __builtin_trap();
  // What the checks let through is a value in range, never something else.
  const struct {
    const char* command;
    double lo, hi;
  } ranges[] = {{":GR#", 0, 24}, {":GD#", -90, 90}, {":Gt#", -90, 90}, {":Gg#", -180, 360}, {":GS#", 0, 24}};
  for (const auto& r : ranges)
    if (platform::Lx200ReplyValid(r.command, reply) &&
        (!platform::ParseLx200Sexagesimal(reply, v) || v < r.lo || v > r.hi))
      __builtin_trap();
  if (platform::Lx200ReplyValid(":VS#", reply) && (!platform::ParseLx200Number(reply, v) || v < 0)) __builtin_trap();
  if (platform::Lx200ReplyValid(":VR12#", reply) && (!platform::ParseLx200Number(reply, v) || v != std::floor(v)))
    __builtin_trap();
  for (const char* c : {":VR#", ":VW#", ":GC#", ":GL#", ":GU#", ":GW#", ":CM#"})
    (void)platform::Lx200ReplyValid(c, reply);
  // A time, an angle, a PEC entry, the PEC reading, a date and a status
  // are told apart: a reply is valid for one of these questions at most.
  int forms = 0;
  for (const char* c : {":GR#", ":GD#", ":VR12#", ":VR#", ":GC#", ":GU#"}) forms += platform::Lx200ReplyValid(c, reply);
  if (forms > 1) __builtin_trap();
  if (platform::Lx200ReplyValid(":GD#", reply) && reply[0] != '+' && reply[0] != '-') __builtin_trap();
  if (platform::Lx200ReplyValid(":VR12#", reply) && reply.size() != 5) __builtin_trap();
  // A marker's reply is found at the end of what came, and is a value of
  // its form: a time, an angle in range.
  for (const char* marker : {":GR#", ":GD#", ":GC#", ":GVP#", ":GVN#"}) {
    std::size_t start = 0;
    const char* name = marker[3] == 'N' ? "4.24k" : "On-Step";
    if (!platform::Lx200MarkerHeard(marker, reply, name, start)) continue;
    if (start >= reply.size()) __builtin_trap();
    const std::string own = reply.substr(start);
    const bool time = marker[2] == 'R', angle = marker[2] == 'D';
    if ((time || angle) && !platform::ParseLx200Sexagesimal(own, v)) __builtin_trap();
    if ((time && (v < 0 || v >= 24)) || (angle && (v < -90 || v > 90))) __builtin_trap();
  }
  if (platform::Lx200StatusValid(reply) && !platform::Lx200StatusShaped(reply)) __builtin_trap();
  // A firmware version holds a digit; the bytes without their blanks are
  // empty exactly when they were blank, and hold no blank.
  if (platform::Lx200ReplyValid(":GVN#", reply) && reply.find_first_of("0123456789") == std::string::npos)
    __builtin_trap();
  const std::string unblanked = platform::Lx200Unblanked(reply);
  if (unblanked.empty() != platform::Lx200Blank(reply) || unblanked.find_first_of(std::string(" \r\n\0", 4)) !=
                                                              std::string::npos)
    __builtin_trap();
  (void)platform::Lx200ProductKnown(reply);
  for (TLx200Reply shape : {TLx200Reply::Bool, TLx200Reply::Text, TLx200Reply::Goto, TLx200Reply::Sync})
    (void)platform::Lx200WholeReply(shape, reply);
  const std::string shown = platform::Lx200Printable(reply);
  for (char c : shown)
    if (static_cast<unsigned char>(c) < 0x20 || static_cast<unsigned char>(c) > 0x7e) __builtin_trap();
  platform::ParseLx200Number(reply, v);
  (void)platform::Lx200Unframed(reply);
  if (platform::IsLx200Command(reply)) (void)platform::Lx200ReplyOf(reply);
  (void)platform::Lx200ReplyOf(reply, false);
  (void)platform::IsLx200Query(reply);
  // Formatting what was read gives a command field of fixed form.
  if (size >= 8) {
    double d = 0;
    __builtin_memcpy(&d, data, sizeof d);
    if (platform::FormatLx200Hours(d, true).size() != 8) __builtin_trap();
    if (platform::FormatLx200Degrees(std::fmod(d, 90.0) == std::fmod(d, 90.0) ? std::fmod(d, 90.0) : 0, true).size() != 9)
      __builtin_trap();
    (void)platform::FormatLx200Longitude(d);
  }
  return 0;
}
