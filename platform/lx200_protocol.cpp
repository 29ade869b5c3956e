#include "platform/lx200_protocol.h"

#include <cmath>
#include <cstdio>

#include "platform/numfmt.h"

namespace platform {

namespace {

bool StartsWith(std::string_view s, std::string_view p) { return s.substr(0, p.size()) == p; }

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

}  // namespace

bool IsLx200Command(std::string_view c) {
  if (c.size() < 3 || c.size() > 40 || c.front() != ':' || c.back() != '#') return false;
  for (std::size_t i = 0; i < c.size(); ++i) {
    const unsigned char u = static_cast<unsigned char>(c[i]);
    if (u < 0x20 || u > 0x7e) return false;
    if (c[i] == '#' && i + 1 != c.size()) return false;
  }
  return true;
}

TLx200Reply Lx200ReplyOf(std::string_view c, bool onStep) {
  // The code without the frame.
  if (c.size() >= 2 && c.front() == ':') c.remove_prefix(1);
  if (!c.empty() && c.back() == '#') c.remove_suffix(1);
  if (c.empty()) return TLx200Reply::Text;
  switch (c[0]) {
    case 'M':
      if (c == "S" || c == "MS" || c == "MA" || c == "MP" || c == "MN") return TLx200Reply::Goto;
      if (StartsWith(c, "MG")) return TLx200Reply::Bool;  // OnStep's pulse guide with a yes/no reply
      return TLx200Reply::None;                          // :Mn# :Ms# :Me# :Mw# :Mgd0000#
    case 'Q':
    case 'R':
    case 'U':
    case 'B':
      return TLx200Reply::None;
    case 'T':
      if (c == "T+" || c == "T-" || c == "TQ" || c == "TS" || c == "TL" || c == "TR" || c == "TK" || c == "TM")
        return TLx200Reply::None;
      return TLx200Reply::Bool;  // OnStep's :Te# :Td# :To# :Tr# :Tn# :T1# :T2#
    case 'h':
      if (onStep && (c == "hP" || c == "hQ" || c == "hR")) return TLx200Reply::Bool;
      return TLx200Reply::None;  // :hF# :hC# :hS# :hW#, and Meade's :hP#
    case 'A':
      if (c.size() == 2 && (IsDigit(c[1]) || c[1] == '+' || c[1] == 'W')) return TLx200Reply::Bool;
      return c.size() == 2 && c[1] == '?' ? TLx200Reply::Text : TLx200Reply::None;  // :AA# :AL# :AP#
    case 'S':
      if (StartsWith(c, "SC")) return TLx200Reply::Date;
      return TLx200Reply::Bool;
    case 'W':
      if (c == "WR+" || c == "WR-") return TLx200Reply::Bool;
      if (StartsWith(c, "WR")) return TLx200Reply::None;  // a PEC entry written
      if (c.size() == 2 && IsDigit(c[1])) return TLx200Reply::None;  // site select
      return TLx200Reply::Text;
    case 'C':
      if (c == "CM") return TLx200Reply::Sync;
      return c == "CS" ? TLx200Reply::None : TLx200Reply::Text;
    case '$':
      if (c == "$QZ?") return TLx200Reply::Text;
      if (StartsWith(c, "$QZ")) return TLx200Reply::None;
      return TLx200Reply::Bool;  // :$BD...# :$BR...#
    case 'G':
      if (c == "GXEE" || c == "GXEF") return TLx200Reply::Char;
      return TLx200Reply::Text;
    default:
      return TLx200Reply::Text;  // :V..# :D# and whatever else
  }
}

// --- Framer --------------------------------------------------------------------

void TLx200Framer::Take(char c) {
  text_ += c;
  switch (shape_) {
    case TLx200Reply::None:
      state_ = State::Garbled;  // nothing was expected
      return;
    case TLx200Reply::Bool:
      state_ = c == '0' || c == '1' ? State::Done : State::Garbled;
      return;
    case TLx200Reply::Char:
      state_ = State::Done;
      return;
    case TLx200Reply::Text:
      if (c == '#') state_ = State::Done;
      else if (text_.size() >= limit_) state_ = State::Garbled;
      else state_ = State::Partial;
      return;
    case TLx200Reply::Goto:
      if (state_ == State::Empty) {
        state_ = c == '0' ? State::Done : IsDigit(c) ? State::Tail : State::Garbled;
        return;
      }
      // The message after a refusal code.
      if (c == '#') state_ = State::Done;
      else if (text_.size() >= limit_) state_ = State::Garbled;
      return;
    case TLx200Reply::Date:
      if (state_ == State::Empty) {
        state_ = c == '0' ? State::Done : c == '1' ? State::Tail : State::Garbled;
        return;
      }
      // Meade's two lines after "1": "Updating Planetary Data#" and a line of blanks.
      if (c == '#' && ++hashes_ == 2) state_ = State::Done;
      else if (text_.size() >= 2 * limit_) state_ = State::Garbled;
      return;
    case TLx200Reply::Sync:
      // A lone first digit may be all there is (OnStep's refusal); any
      // further byte makes the reply a text up to its "#".
      if (c == '#') state_ = State::Done;
      else if (text_.size() >= limit_) state_ = State::Garbled;
      else state_ = text_.size() == 1 && (c == '0' || c == '1') ? State::Tail : State::Partial;
      return;
  }
}

std::size_t TLx200Framer::Feed(const char* data, std::size_t size) {
  std::size_t used = 0;
  while (used < size && state_ != State::Done && state_ != State::Garbled) Take(data[used++]);
  return used;
}

// --- Numbers ----------------------------------------------------------------------

bool ParseLx200Sexagesimal(std::string_view t, double& value) {
  while (!t.empty() && t.front() == ' ') t.remove_prefix(1);
  if (!t.empty() && t.back() == '#') t.remove_suffix(1);
  while (!t.empty() && t.back() == ' ') t.remove_suffix(1);
  double sign = 1;
  if (!t.empty() && (t.front() == '+' || t.front() == '-')) {
    sign = t.front() == '-' ? -1 : 1;
    t.remove_prefix(1);
  }
  double fields[3] = {0, 0, 0};
  int count = 0;
  bool decimals = false;
  std::size_t i = 0;
  while (i < t.size()) {
    if (count == 3 || decimals) return false;
    // Digits of one field, with decimals allowed in the last one given.
    std::size_t start = i;
    double v = 0;
    while (i < t.size() && IsDigit(t[i])) v = v * 10 + (t[i++] - '0');
    const std::size_t digits = i - start;
    if (digits == 0 || digits > 3) return false;
    if (i < t.size() && t[i] == '.') {
      ++i;
      double scale = 0.1;
      std::size_t d = 0;
      while (i < t.size() && IsDigit(t[i]) && d < 9) {
        v += (t[i++] - '0') * scale;
        scale /= 10;
        ++d;
      }
      if (d == 0) return false;
      decimals = true;
    }
    fields[count++] = v;
    if (i == t.size()) break;
    // A separator: ':' '*' ''' or the degree sign (Autostar's 0xDF, or UTF-8 "°").
    const unsigned char s = static_cast<unsigned char>(t[i]);
    if (s == ':' || s == '*' || s == '\'' || s == 0xDF) {
      ++i;
    } else if (s == 0xC2 && i + 1 < t.size() && static_cast<unsigned char>(t[i + 1]) == 0xB0) {
      i += 2;
    } else if (s == '"' && i + 1 == t.size() && count == 3) {
      ++i;
    } else {
      return false;
    }
    if (i == t.size() && s != '"') return false;  // a separator must lead to a field
  }
  if (count < 2) return false;
  if (fields[1] >= 60 || fields[2] >= 60) return false;
  value = sign * (fields[0] + fields[1] / 60.0 + fields[2] / 3600.0);
  return std::isfinite(value);
}

std::string FormatLx200Hours(double hours, bool high) {
  hours = std::fmod(hours, 24.0);
  if (!(hours >= 0)) hours = hours < 0 ? hours + 24.0 : 0.0;
  char buf[40];
  if (high) {
    long s = std::lround(hours * 3600.0) % 86400;
    std::snprintf(buf, sizeof buf, "%02ld:%02ld:%02ld", s / 3600, s / 60 % 60, s % 60);
  } else {
    long tenths = std::lround(hours * 600.0) % 14400;  // tenths of a minute
    std::snprintf(buf, sizeof buf, "%02ld:%02ld.%ld", tenths / 600, tenths / 10 % 60, tenths % 10);
  }
  return buf;
}

std::string FormatLx200Degrees(double degrees, bool high) {
  if (!(degrees == degrees)) degrees = 0;
  const char sign = degrees < 0 ? '-' : '+';
  const double a = std::fabs(degrees);
  char buf[40];
  if (high) {
    long s = std::lround(a * 3600.0);
    std::snprintf(buf, sizeof buf, "%c%02ld*%02ld:%02ld", sign, s / 3600, s / 60 % 60, s % 60);
  } else {
    long m = std::lround(a * 60.0);
    std::snprintf(buf, sizeof buf, "%c%02ld*%02ld", sign, m / 60, m % 60);
  }
  return buf;
}

std::string FormatLx200Longitude(double east) {
  double west = std::fmod(-east, 360.0);
  if (!(west >= 0)) west = west < 0 ? west + 360.0 : 0.0;
  long m = std::lround(west * 60.0) % (360 * 60);
  char buf[40];
  std::snprintf(buf, sizeof buf, "%03ld*%02ld", m / 60, m % 60);
  return buf;
}

std::string Lx200GotoRefusal(char code) {
  switch (code) {
    case '1': return "below the horizon limit";
    case '2': return "above the overhead limit";
    case '3': return "controller in standby";
    case '4': return "mount is parked";
    case '5': return "goto in progress";
    case '6': return "outside the limits";
    case '7': return "hardware fault";
    case '8': return "already in motion";
    default: return "unspecified error";
  }
}

std::string_view Lx200Unframed(std::string_view reply) {
  if (!reply.empty() && reply.back() == '#') reply.remove_suffix(1);
  return reply;
}

bool ParseLx200Number(std::string_view reply, double& value) {
  return ParseDouble(Lx200Unframed(reply), value) && std::isfinite(value);
}

// --- Reply checks ------------------------------------------------------------------

bool IsLx200Query(std::string_view c) {
  if (c.size() < 3 || c.front() != ':') return false;
  c.remove_prefix(1);
  if (c.back() == '#') c.remove_suffix(1);
  return c[0] == 'G' || c[0] == 'V' || c == "D" || c == "$QZ?";
}

bool Lx200MayAskAgain(std::string_view c) {
  if (IsLx200Query(c)) return true;
  if (c.size() < 4 || c.front() != ':' || c.back() != '#') return false;
  const std::string_view code = c.substr(1, 2);
  for (const char* ok : {"Sr", "Sd", "St", "Sg", "SG", "SL", "SC"})
    if (code == ok) return true;
  return c == ":Te#" || c == ":Td#";
}

bool TLx200Retries::Count(bool askedAgain) {
  // The ring drops its oldest reply once full.
  if (filled_ == kWindow) recent_ -= last_[size_t(next_)];
  else ++filled_;
  last_[size_t(next_)] = askedAgain;
  next_ = (next_ + 1) % kWindow;
  recent_ += askedAgain;
  if (told_ || recent_ < kNoisy) return false;
  told_ = true;
  return true;
}

std::string TLx200Retries::Report() const {
  return "noisy line: " + std::to_string(recent_) + " of the last " + std::to_string(filled_) +
         " replies asked again";
}

namespace {

// A sexagesimal reply within [lo, hi] (`hiOpen`: below hi).
bool SexagesimalIn(std::string_view r, double lo, double hi, bool hiOpen) {
  double v = 0;
  return ParseLx200Sexagesimal(r, v) && v >= lo && (hiOpen ? v < hi : v <= hi);
}

// A whole number with an optional sign, within [lo, hi].
bool WholeIn(std::string_view r, double lo, double hi) {
  while (!r.empty() && r.front() == ' ') r.remove_prefix(1);
  std::string_view digits = r;
  if (!digits.empty() && (digits.front() == '+' || digits.front() == '-')) digits.remove_prefix(1);
  if (digits.empty() || digits.size() > 9) return false;
  for (char ch : digits)
    if (!IsDigit(ch)) return false;
  double v = 0;
  return ParseLx200Number(r, v) && v >= lo && v <= hi;
}

bool Printable(std::string_view r) {
  for (char ch : r) {
    const unsigned char u = static_cast<unsigned char>(ch);
    if (u < 0x20 || u > 0x7e) return false;
  }
  return true;
}

// Printable, or Autostar's degree sign, or the slew bar.
bool MountText(std::string_view r) {
  for (char ch : r) {
    const unsigned char u = static_cast<unsigned char>(ch);
    if ((u < 0x20 || u > 0x7f) && u != 0xDF) return false;
  }
  return true;
}

// "MM/DD/YY" with a month 1-12 and a day 1-31.
bool DateValid(std::string_view r) {
  if (r.size() != 8 || r[2] != '/' || r[5] != '/') return false;
  for (std::size_t i : {0u, 1u, 3u, 4u, 6u, 7u})
    if (!IsDigit(r[i])) return false;
  const int month = (r[0] - '0') * 10 + (r[1] - '0'), day = (r[3] - '0') * 10 + (r[4] - '0');
  return month >= 1 && month <= 12 && day >= 1 && day <= 31;
}

}  // namespace

bool Lx200ReplyValid(std::string_view command, std::string_view reply) {
  std::string_view c = command;
  if (c.size() >= 2 && c.front() == ':' && c.back() == '#') c = c.substr(1, c.size() - 2);
  // Every reply read here ends in its one "#"; its body is checked.
  const std::string_view r = Lx200Unframed(reply);
  const bool framed = !reply.empty() && reply.back() == '#' && r.find('#') == std::string_view::npos;
  if (c == "GR" || c == "GS" || c == "GL") return framed && SexagesimalIn(r, 0, 24, true);
  if (c == "GD" || c == "Gt") return framed && SexagesimalIn(r, -90, 90, false);
  if (c == "Gg") return framed && SexagesimalIn(r, -180, 360, false);
  if (c == "GC") return framed && DateValid(r);
  if (c == "VW") return framed && WholeIn(r, 0, 2147483647.0);
  if (c == "VS") {
    double v = 0;
    return framed && ParseLx200Number(r, v) && v >= 0;
  }
  if (c == "VR") {
    const auto comma = r.find(',');
    return framed && comma != std::string_view::npos && WholeIn(r.substr(0, comma), -32768, 32767) &&
           WholeIn(r.substr(comma + 1), 0, 32767);
  }
  if (c.size() > 2 && c.substr(0, 2) == "VR") return framed && WholeIn(r, -32768, 32767);
  if (c == "GU" || c == "$QZ?") return framed && Printable(r);
  if (c == "GW") return framed && r.size() >= 2 && Printable(r) && (r[1] == 'T' || r[1] == 'N');
  if (c == "GXEE") return reply.size() == 1 && IsDigit(reply[0]);
  if (c == "D") return true;
  return MountText(reply);
}

std::string Lx200Seconds(int ms) {
  char b[32];
  std::snprintf(b, sizeof b, ms % 1000 == 0 ? "%.0f s" : "%.1f s", ms / 1000.0);
  return b;
}

std::string Lx200Printable(std::string_view reply) {
  std::string out;
  for (char ch : reply.substr(0, 40)) {
    const unsigned char u = static_cast<unsigned char>(ch);
    if (u >= 0x20 && u <= 0x7e) {
      out += ch;
    } else {
      char b[8];
      std::snprintf(b, sizeof b, "\\x%02X", u);
      out += b;
    }
  }
  if (reply.size() > 40) out += "...";
  return out;
}

}  // namespace platform
