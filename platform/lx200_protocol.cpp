#include "platform/lx200_protocol.h"

#include <algorithm>
#include <cctype>
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

bool IsOneOf(char c, std::string_view set) { return set.find(c) != std::string_view::npos; }

// A time as mounts write it: digits and ':' or '.' only, no sign, no degree
// sign (so that an angle, "+20*00:00", is never read as a time).
bool TimeText(std::string_view r) {
  if (r.empty() || !IsDigit(r[0])) return false;
  for (char ch : r)
    if (!IsDigit(ch) && ch != ':' && ch != '.') return false;
  return true;
}

// An angle that carries its sign, as declinations and latitudes always
// do ("+20*00:00"): a time, "23:45:39", is none.
bool SignedText(std::string_view r) { return !r.empty() && (r[0] == '+' || r[0] == '-'); }

// A UTC offset in hours as the handsets and OnStep write it: a sign
// (Meade's firmwares may leave it out for a positive one), one or two
// digits, then tenths or minutes ("-05", "+05.5", "+05:30"), within ±24 h.
bool OffsetText(std::string_view r) {
  std::string_view h = r;
  if (!h.empty() && (h[0] == '+' || h[0] == '-')) h.remove_prefix(1);
  std::size_t digits = 0;
  while (digits < h.size() && IsDigit(h[digits])) ++digits;
  if (digits < 1 || digits > 2) return false;
  const std::string_view rest = h.substr(digits);
  const bool tail = rest.empty() || (rest.size() == 2 && rest[0] == '.' && IsDigit(rest[1])) ||
                    (rest.size() == 3 && rest[0] == ':' && IsDigit(rest[1]) && IsDigit(rest[2]) && rest[1] < '6');
  double v = 0;
  return tail && (rest.size() == 3 ? ParseLx200Sexagesimal(r, v) : ParseLx200Number(r, v)) && v >= -24 && v <= 24;
}

// A PEC entry as OnStep writes it ("%+04i"): a sign and three digits,
// within a signed byte.
bool PecEntryText(std::string_view r) {
  return r.size() == 4 && SignedText(r) && IsDigit(r[1]) && IsDigit(r[2]) && IsDigit(r[3]) && WholeIn(r, -128, 127);
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

// A firmware version ("4.24k", "2.9c", "10.03h", "43Eg"): printable, a
// letter or digit first, a digit somewhere; line noise such as ".|" is none.
bool VersionText(std::string_view r) {
  if (r.empty() || r.size() > 20 || !Printable(r) || !std::isalnum(static_cast<unsigned char>(r[0]))) return false;
  return std::any_of(r.begin(), r.end(), IsDigit);
}

}  // namespace

bool Lx200ReplyValid(std::string_view command, std::string_view reply) {
  std::string_view c = command;
  if (c.size() >= 2 && c.front() == ':' && c.back() == '#') c = c.substr(1, c.size() - 2);
  // Every reply read here ends in its one "#"; its body is checked.
  const std::string_view r = Lx200Unframed(reply);
  const bool framed = !reply.empty() && reply.back() == '#' && r.find('#') == std::string_view::npos;
  if (c == "GR" || c == "Gr" || c == "GS" || c == "GL") return framed && TimeText(r) && SexagesimalIn(r, 0, 24, true);
  if (c == "GD" || c == "Gd" || c == "Gt") return framed && SignedText(r) && SexagesimalIn(r, -90, 90, false);
  if (c == "GG") return framed && OffsetText(r);
  if (c == "Gg") return framed && SexagesimalIn(r, -180, 360, false);
  if (c == "GC") return framed && DateValid(r);
  if (c == "VW") return framed && WholeIn(r, 0, 2147483647.0);
  if (c == "VS") {
    double v = 0;
    return framed && ParseLx200Number(r, v) && v >= 0;
  }
  if (c == "VR") {
    // "sDDD,DDD": the entry and its index ("%03i").
    const auto comma = r.find(',');
    if (!framed || comma == std::string_view::npos || !PecEntryText(r.substr(0, comma))) return false;
    const std::string_view index = r.substr(comma + 1);
    return index.size() >= 3 && index.size() <= 4 && IsDigit(index[0]) && WholeIn(index, 0, 9999);
  }
  if (c.size() > 2 && c.substr(0, 2) == "VR") return framed && PecEntryText(r);
  if (c == "GU") return framed && Lx200StatusValid(r);
  if (c == "$QZ?") return framed && r.size() <= 2 && !r.empty() && Printable(r) && IsOneOf(r[0], "IpPrR");
  if (c == "GVP") return framed && !r.empty() && r.size() <= 40 && Printable(r);
  if (c == "GVN") return framed && VersionText(r);
  if (c == "GW") return framed && r.size() >= 2 && Printable(r) && (r[1] == 'T' || r[1] == 'N');
  if (c == "GXEE") return reply.size() == 1 && IsDigit(reply[0]);
  // The slew bar as it comes; a line end is no reply's (a board's words).
  if (c == "D") return reply.find_first_of(std::string_view("\r\n\0", 3)) == std::string_view::npos;
  return MountText(reply);
}

namespace {

// The status's rules; `anyLetter`: a letter the firmwares are not known to
// send is a flag too.
bool StatusOfForm(std::string_view s, bool anyLetter) {
  // The closing signs: the pulse-guide and guide rates (digits) and the
  // error code ('0' + 0..15, so up to '?'); firmwares before the rates send
  // the error code alone, the earliest none.
  const std::size_t n = s.size();
  const auto code = [](char c) { return c >= '0' && c <= '?'; };
  std::size_t closing = 0;
  if (n >= 3 && IsDigit(s[n - 3]) && IsDigit(s[n - 2]) && code(s[n - 1])) closing = 3;
  else if (n >= 1 && IsDigit(s[n - 1])) closing = 1;
  const std::string_view flags = s.substr(0, n - closing);
  // The flags OnStep's firmwares send: tracking, goto and park states,
  // PEC recorded, home, PPS, guiding, axis fault, refraction and rate
  // compensation, the lunar, solar and King rates, waits and pauses at
  // home, buzzer, automatic meridian flip, the PEC state ("/,~;^"), the
  // mount kind and the pier side. Anything else is another reply.
  constexpr std::string_view kFlags = "nNpIPFeHhSGgfrst(OkwuzaRW/,~;^EKAoT";
  int park = 0, kind = 0, pier = 0;
  for (std::size_t i = 0; i < flags.size(); ++i) {
    const char c = flags[i];
    if (!IsOneOf(c, kFlags) && !(anyLetter && std::isalpha(static_cast<unsigned char>(c)))) return false;
    if (flags.find(c, i + 1) != std::string_view::npos) return false;
    park += IsOneOf(c, "pIPF");
    kind += IsOneOf(c, "EKA");
    pier += IsOneOf(c, "oTW");
  }
  return park == 1 && kind <= 1 && pier <= 1;
}

}  // namespace

bool Lx200StatusValid(std::string_view s) { return StatusOfForm(s, false); }

bool Lx200StatusShaped(std::string_view s) { return StatusOfForm(s, true); }

namespace {

// The letters and digits of a name, upper-cased: "On-Step" gives "ONSTEP".
std::string Squeezed(std::string_view s) {
  std::string u;
  for (char c : s)
    if (std::isalnum(static_cast<unsigned char>(c))) u += char(std::toupper(static_cast<unsigned char>(c)));
  return u;
}

}  // namespace

bool Lx200ProductOnStep(std::string_view product) { return Squeezed(product).find("ONSTEP") != std::string::npos; }

bool Lx200ProductKnown(std::string_view product) {
  if (Lx200ProductOnStep(product)) return true;
  const std::string u = Squeezed(product);
  for (const char* meade : {"AUTOSTAR", "AUDIOSTAR", "LX2001", "LX200", "LX90", "LX600", "LX850", "ETX"})
    if (u.rfind(meade, 0) == 0) return true;
  return false;
}

// --- Finding the replies again --------------------------------------------------------

namespace {

// The forms a reply can end in, as far as a marker's reply could be
// mistaken for it.
enum class TForm { Time, Angle, Date, Product, Version, Other, Any };

TForm FormOf(std::string_view command) {
  std::string_view c = command;
  if (c.size() >= 2 && c.front() == ':' && c.back() == '#') c = c.substr(1, c.size() - 2);
  const TLx200Reply shape = Lx200ReplyOf(command);
  // One character without "#", or nothing: no form of a marker's reply.
  if (shape == TLx200Reply::None || shape == TLx200Reply::Bool || shape == TLx200Reply::Char) return TForm::Other;
  // Messages in words (a refused goto, Meade's object after a sync, the
  // planetary-data lines after a date).
  if (shape != TLx200Reply::Text) return TForm::Other;
  for (const char* t : {"GR", "Gr", "GS", "GL", "Ga", "GVT"})
    if (c == t) return TForm::Time;
  for (const char* a : {"GD", "Gd", "Gt", "Gg", "GA", "GZ", "Gz", "Gh", "Go"})
    if (c == a) return TForm::Angle;
  if (c == "GC") return TForm::Date;
  if (c == "GVP") return TForm::Product;
  if (c == "GVN") return TForm::Version;
  for (const char* o : {"GU", "GW", "GVD", "GVM", "GG", "GT", "$QZ?", "D", "A?"})
    if (c == o) return TForm::Other;
  if (!c.empty() && (c[0] == 'V' || c.substr(0, 2) == "GX")) return TForm::Other;
  return TForm::Any;
}

// Whether a late reply of form `owed` could be taken for the reply of a
// marker of form `marker`.
bool Confusable(TForm owed, TForm marker) {
  if (owed == marker) return true;
  return owed == TForm::Any && (marker == TForm::Time || marker == TForm::Angle);
}

bool Digits(std::string_view s, std::size_t from, std::size_t n) {
  for (std::size_t i = from; i < from + n; ++i)
    if (i >= s.size() || !IsDigit(s[i])) return false;
  return true;
}

int Two(std::string_view s, std::size_t at) { return (s[at] - '0') * 10 + (s[at + 1] - '0'); }

// "HH:MM:SS" or "HH:MM.T" (hours below 24, minutes and seconds below 60).
bool TimeForm(std::string_view t) {
  if (t.size() == 8 && Digits(t, 0, 2) && t[2] == ':' && Digits(t, 3, 2) && t[5] == ':' && Digits(t, 6, 2))
    return Two(t, 0) < 24 && Two(t, 3) < 60 && Two(t, 6) < 60;
  if (t.size() == 7 && Digits(t, 0, 2) && t[2] == ':' && Digits(t, 3, 2) && t[5] == '.' && Digits(t, 6, 1))
    return Two(t, 0) < 24 && Two(t, 3) < 60;
  return false;
}

// "sDD*MM:SS", "sDD*MM'SS" or "sDD*MM" (the degree sign '*' or Autostar's 0xDF).
bool AngleForm(std::string_view t) {
  if (t.size() != 6 && t.size() != 9) return false;
  if ((t[0] != '+' && t[0] != '-') || !Digits(t, 1, 2) || (t[3] != '*' && t[3] != '\xdf') || !Digits(t, 4, 2))
    return false;
  if (Two(t, 1) > 90 || Two(t, 4) >= 60) return false;
  if (t.size() == 9 && !((t[6] == ':' || t[6] == '\'') && Digits(t, 7, 2) && Two(t, 7) < 60)) return false;
  // Within ±90°: at 90 nothing more.
  return Two(t, 1) < 90 || (Two(t, 4) == 0 && (t.size() == 6 || Two(t, 7) == 0));
}

// "MM/DD/YY".
bool DateForm(std::string_view t) {
  return t.size() == 8 && Digits(t, 0, 2) && t[2] == '/' && Digits(t, 3, 2) && t[5] == '/' && Digits(t, 6, 2);
}

// Whether the firmware version can mark the replies: printable, with a
// letter and a digit ("4.24k", "43Eg"; no time, angle, date or number
// ends in it), and neither name ending in the other, so that the end of
// what came tells the two apart.
bool VersionMarks(std::string_view version, std::string_view product) {
  if (version.size() < 2 || !Printable(version)) return false;
  bool letter = false, digit = false;
  for (char c : version) {
    letter = letter || std::isalpha(static_cast<unsigned char>(c));
    digit = digit || IsDigit(c);
  }
  auto endsWith = [](std::string_view a, std::string_view b) {
    return a.size() >= b.size() && a.substr(a.size() - b.size()) == b;
  };
  return letter && digit && !endsWith(product, version) && !endsWith(version, product);
}

}  // namespace

std::string Lx200Marker(const std::vector<std::string>& owed, std::string_view product, std::string_view version) {
  const std::pair<const char*, TForm> markers[] = {{":GR#", TForm::Time},
                                                   {":GD#", TForm::Angle},
                                                   {":GC#", TForm::Date},
                                                   {":GVP#", TForm::Product},
                                                   {":GVN#", TForm::Version}};
  for (const auto& [marker, form] : markers) {
    if (form == TForm::Product && (product.empty() || !Printable(product))) continue;
    if (form == TForm::Version && !VersionMarks(version, product)) continue;
    bool usable = true;
    for (const std::string& c : owed) usable = usable && !Confusable(FormOf(c), form);
    if (usable) return marker;
  }
  return {};
}

bool Lx200MarkerHeard(std::string_view marker, std::string_view received, std::string_view name,
                      std::size_t& start) {
  if (received.empty() || received.back() != '#') return false;
  const std::string_view body = received.substr(0, received.size() - 1);
  // The marker's reply is the end of what came: each length its form has.
  auto endsIn = [&](std::size_t n, auto form) {
    if (body.size() < n || !form(body.substr(body.size() - n))) return false;
    start = body.size() - n;
    return true;
  };
  const TForm form = FormOf(marker);
  switch (form) {
    case TForm::Time: return endsIn(8, TimeForm) || endsIn(7, TimeForm);
    case TForm::Angle: return endsIn(9, AngleForm) || endsIn(6, AngleForm);
    case TForm::Date: return endsIn(8, DateForm);
    case TForm::Product:
    case TForm::Version:
      return !name.empty() && endsIn(name.size(), [&](std::string_view t) { return t == name; });
    default: return false;
  }
}

bool Lx200Blank(std::string_view bytes) {
  return bytes.find_first_not_of(std::string_view(" \r\n\0", 4)) == std::string_view::npos;
}

std::string Lx200Unblanked(std::string_view bytes) {
  std::string out;
  for (char c : bytes)
    if (!Lx200Blank(std::string_view(&c, 1))) out += c;
  return out;
}

bool Lx200Banner(std::string_view bytes) {
  const bool lineEnd = bytes.find_first_of("\r\n") != std::string_view::npos;
  return lineEnd && std::any_of(bytes.begin(), bytes.end(), [](char c) {
           return std::isalnum(static_cast<unsigned char>(c)) != 0;
         });
}

bool Lx200WholeReply(TLx200Reply shape, std::string_view text) {
  if (text.empty()) return false;
  TLx200Framer f(shape);
  const std::size_t used = f.Feed(text.data(), text.size());
  return used == text.size() && (f.Done() || f.Optional());
}

std::string Lx200Consequence(std::string_view c) {
  if (c == ":MS#" || c == ":MA#" || c == ":hP#" || c == ":hC#" || c == ":hF#" || c.substr(0, 3) == ":Mg" ||
      c.substr(0, 3) == ":MG")
    return c == ":hP#" ? "the mount may be parking" : "the mount may be moving";
  if (c == ":CM#") return "the mount may have synced";
  if (c == ":hR#") return "the mount may have left its park";
  if (c == ":hQ#") return "the park position may have been set";
  if (c == ":A+#") return "the star may have been accepted";
  if (c.substr(0, 2) == ":A") return "the alignment may have started";
  if (c == ":WR+#" || c == ":WR-#") return "the mount's PEC table may have been shifted";
  return "the mount may have acted on it";
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
