// Fuzz target: bytes from a mount of the LX200 family as the reply to each
// kind of command, fed whole and in two pieces to the reply framer, then
// to the readers of the numbers inside replies; and the bytes as a command.
#include <cmath>
#include <string>

#include "platform/lx200_protocol.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  const std::string reply(reinterpret_cast<const char*>(data), size);
  using platform::TLx200Reply;
  for (TLx200Reply shape : {TLx200Reply::None, TLx200Reply::Bool, TLx200Reply::Char, TLx200Reply::Text,
                            TLx200Reply::Goto, TLx200Reply::Date}) {
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
  platform::ParseLx200Number(reply, v);
  (void)platform::Lx200Unframed(reply);
  if (platform::IsLx200Command(reply)) (void)platform::Lx200ReplyOf(reply);
  (void)platform::Lx200ReplyOf(reply);
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
