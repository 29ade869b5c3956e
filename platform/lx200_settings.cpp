// The set commands: each value the driver stores on the mount (the target
// of a goto or sync, the UTC offset, time and date, the site) is read back
// and proved in step before it counts as taken, and set again when it is
// not. A set command's own "1" proves nothing when the link may have sent
// the "1" of the command before it twice, into the place of a set command
// the mount never heard.
#include <algorithm>
#include <cctype>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <ctime>

#include "platform/lx200_session.h"

namespace platform {

namespace {

// How many fields a sexagesimal reply or command value has ("10:30.0",
// "+12*30": 2, the minutes holding the last digit; "10:30:00": 3).
int Fields(std::string_view text) {
  int n = 1;
  for (char c : text) {
    const unsigned char u = static_cast<unsigned char>(c);
    if (c == ':' || c == '*' || c == '\'' || u == 0xDF) ++n;
  }
  return n;
}

// The distance of two values on a circle of `turn`.
double Apart(double a, double b, double turn) {
  double d = std::fmod(std::fabs(a - b), turn);
  return std::min(d, turn - d);
}

// Whether `back` (a reply read back) holds `sent` (a set command's value):
// within one step of the last digit of the coarser of the two writings
// (a mount may answer in the other precision, rounded). `turn`: 24 for
// hours, 360 for a longitude, 0 for an angle that does not wrap. Else the
// sentence that says it is not so.
std::string Holds(const std::string& what, std::string_view back, std::string_view sent, double turn) {
  const std::string_view b = Lx200Unframed(back);
  double vb = 0, vs = 0;
  if (ParseLx200Sexagesimal(b, vb) && ParseLx200Sexagesimal(sent, vs)) {
    const int fields = std::min(Fields(b), Fields(sent));
    const bool tenths = turn == 24 && (b.find('.') != std::string_view::npos || sent.find('.') != std::string_view::npos);
    const double step = tenths ? 0.1 / 60 : fields >= 3 ? 1.0 / 3600 : 1.0 / 60;
    const double apart = turn > 0 ? Apart(vb, vs, turn) : std::fabs(vb - vs);
    if (apart <= step + 1e-9) return {};
  }
  return what + " not taken by the mount: it reads " + Lx200Printable(b) + " where " + std::string(sent) +
         " was set";
}

// The value in a set command (":St-33*30#" gives "-33*30").
std::string ValueOf(const std::string& cmd, std::size_t code = 3) {
  return cmd.size() > code + 1 ? cmd.substr(code, cmd.size() - code - 1) : std::string();
}

// A UTC instant's time and date as the set commands write them.
std::tm UtcFields(double unixSeconds) {
  const std::time_t t = std::time_t(std::floor(unixSeconds));
  std::tm tm{};
  gmtime_r(&t, &tm);
  return tm;
}
std::string TimeText(double unixSeconds) {
  const std::tm tm = UtcFields(unixSeconds);
  char b[40];
  std::snprintf(b, sizeof b, "%02d:%02d:%02d", tm.tm_hour, tm.tm_min, tm.tm_sec);
  return b;
}
std::string DateText(double unixSeconds) {
  const std::tm tm = UtcFields(unixSeconds);
  char b[40];
  std::snprintf(b, sizeof b, "%02d/%02d/%02d", tm.tm_mon + 1, tm.tm_mday, tm.tm_year % 100);
  return b;
}

std::string OutOfStep(const std::string& name) {
  return name + " not confirmed: the mount's replies kept coming out of step (a reply came twice or late)";
}

}  // namespace

void TLx200Session::Set(const std::string& cmd, const std::string& what) {
  for (int ask = 1; ask <= kLx200Asks; ++ask) {
    line_.TakeStrays();
    outOfStep_ = false;
    const std::string r = Ask(cmd);
    if (!r.empty() && r[0] == '1') return;
    if (RepliesInStep()) throw EAutomationError(what + " refused by the mount (" + cmd + ")");
    // A command that is not sent twice (a park): what the mount made of it
    // is unknown.
    if (!Lx200MayAskAgain(cmd))
      throw EAutomationOutcomeUnknown("the reply to " + cmd + " (\"" + Lx200Printable(r) +
                                      "\") could not be told apart from another reply; " + Lx200Consequence(cmd));
  }
  throw EAutomationError(what + " not confirmed: the mount's replies to " + cmd +
                         " kept coming out of step (a reply came twice or late; set " + std::to_string(kLx200Asks) +
                         " times)");
}

void TLx200Session::SetChecked(const std::vector<TLx200Setting>& settings, const std::string& after) {
  const std::size_t n = settings.size();
  std::vector<bool> done(n, false);
  std::vector<std::string> why(n);
  for (int round = 1; round <= kLx200Asks; ++round) {
    line_.TakeStrays();
    outOfStep_ = false;
    std::vector<std::vector<std::string>> sent(n), replies(n), back(n);
    std::vector<Lx200Clock::time_point> read(n);
    for (std::size_t i = 0; i < n; ++i) {
      if (done[i]) continue;
      sent[i] = settings[i].commands();
      for (const std::string& c : sent[i]) replies[i].push_back(Ask(c));
    }
    // A question the mount does not answer leaves its value unproved.
    for (std::size_t i = 0; i < n; ++i) {
      if (done[i]) continue;
      try {
        for (const std::string& g : settings[i].gets) back[i].push_back(Ask(g, true));
        read[i] = Lx200Clock::now();
      } catch (const EAutomationLinkLost&) {
        throw;
      } catch (const EAutomationCancelled&) {
        throw;
      } catch (const EAutomationError& e) {
        std::string said = e.what();
        if (!said.empty()) said[0] = char(std::tolower(static_cast<unsigned char>(said[0])));
        why[i] = settings[i].name + " not confirmed: " + said;
        back[i].clear();
      }
    }
    if (!RepliesInStep()) {
      for (std::size_t i = 0; i < n; ++i)
        if (!done[i]) why[i] = OutOfStep(settings[i].name);
      continue;
    }
    for (std::size_t i = 0; i < n; ++i) {
      if (done[i]) continue;
      for (std::size_t k = 0; k < sent[i].size(); ++k)
        if (replies[i][k].empty() || replies[i][k][0] != '1')
          throw EAutomationError(settings[i].what[k] + " refused by the mount (" + sent[i][k] + ")");
      if (back[i].size() != settings[i].gets.size()) continue;
      why[i] = settings[i].check(sent[i], back[i], read[i]);
      done[i] = why[i].empty();
    }
    if (std::find(done.begin(), done.end(), false) == done.end()) return;
  }
  const std::size_t first = std::size_t(std::find(done.begin(), done.end(), false) - done.begin());
  throw EAutomationError(why[first] + "; set " + std::to_string(kLx200Asks) + " times" + after);
}

TLx200Setting TLx200Session::TargetSetting(double ra, double dec) const {
  const std::string sr = ":Sr" + FormatLx200Hours(ra, high_) + "#", sd = ":Sd" + FormatLx200Degrees(dec, high_) + "#";
  TLx200Setting s;
  s.name = "Target";
  s.what = {"Target right ascension", "Target declination"};
  s.commands = [sr, sd] { return std::vector<std::string>{sr, sd}; };
  s.gets = {":Gr#", ":Gd#"};
  s.check = [](const std::vector<std::string>& sent, const std::vector<std::string>& back, Lx200Clock::time_point) {
    std::string why = Holds("Target right ascension", back[0], ValueOf(sent[0]), 24);
    return why.empty() ? Holds("Target declination", back[1], ValueOf(sent[1]), 0) : why;
  };
  return s;
}

// The two target replies are proved in step before anything reads the
// goto's or the sync's: a ":Sr" reply sent twice would be read as the
// ":Sd" reply, and the ":Sd" reply as the goto's ("1": refused). The target
// is read back too: a ":Sd" the mount never heard, its place taken by the
// ":Sr" reply sent twice, leaves the old declination.
void TLx200Session::Target(double ra, double dec, const std::string& after) {
  if (!(ra >= 0 && ra < 24 && dec >= -90 && dec <= 90)) throw EAutomationError("Coordinates out of range");
  const bool underWay = slewing_;
  callTarget_ = {};
  SetChecked({TargetSetting(ra, dec)}, after);
  callTarget_ = {true, ra, dec, underWay, false};
}

TLx200Setting TLx200Session::ClockSetting(double slack) const {
  // The instant given, run on since it was given: a value set again later
  // is the time then.
  const double given = clockGiven_.value_or(0);
  const Lx200Clock::time_point at = clockAt_;
  const auto then = [given, at](Lx200Clock::time_point when) {
    return given + std::chrono::duration<double>(when - at).count();
  };
  const auto now = [then] { return then(Lx200Clock::now()); };
  // The mount's clock runs on UT with a zero offset (a zero needs no sign
  // convention, which differs between firmwares). The offset, time and date
  // are one value: a mount keeps UT and shows it as local time under its
  // offset, so an offset set again (its first ":SG" lost, the time set
  // under the old one) moves the time read back, which is then set again.
  TLx200Setting clock;
  clock.name = "Date and time";
  clock.what = {"UTC offset", "Time", "Date"};
  clock.commands = [now] {
    const double t = now();
    return std::vector<std::string>{":SG+00#", ":SL" + TimeText(t) + "#", ":SC" + DateText(t) + "#"};
  };
  // The time is asked last: the instant it is compared with is taken after
  // the last reply.
  clock.gets = {":GG#", ":GC#", ":GL#"};
  // The clock read back is compared with the one given, run on until its
  // reply came (a slow link's questions after it do not count).
  clock.check = [then, slack](const std::vector<std::string>& sent, const std::vector<std::string>& back,
                              Lx200Clock::time_point read) -> std::string {
    double v = 0;
    const std::string_view offset = Lx200Unframed(back[0]);
    if (!((ParseLx200Number(offset, v) || ParseLx200Sexagesimal(offset, v)) && std::fabs(v) < 1e-6))
      return "UTC offset not taken by the mount: it reads " + Lx200Printable(offset) + " where +00 was set";
    const double t = then(read);
    const std::string date(Lx200Unframed(back[1]));
    if (date != DateText(t - slack) && date != DateText(t + slack))
      return "Date not taken by the mount: it reads " + Lx200Printable(date) + " where " + ValueOf(sent[2]) +
             " was set";
    double h = 0;
    const double day = std::fmod(t, 86400.0) / 3600.0;
    if (!ParseLx200Sexagesimal(Lx200Unframed(back[2]), h) || Apart(h, day, 24) * 3600 > slack)
      return "Time not taken by the mount: it reads " + Lx200Printable(Lx200Unframed(back[2])) + " where " +
             ValueOf(sent[1]) + " was set";
    return {};
  };
  return clock;
}

void TLx200Session::PutClock(double unixSeconds) {
  if (!std::isfinite(unixSeconds)) throw EAutomationError("Invalid date");
  clockGiven_ = unixSeconds;
  clockAt_ = Lx200Clock::now();
  try {
    SetChecked({ClockSetting()});
  } catch (...) {
    // Not held by the mount: nothing to tell a restart by.
    clockGiven_.reset();
    throw;
  }
}

TLx200Setting TLx200Session::LatitudeSetting(double lat) const {
  const std::string cmd = ":St" + FormatLx200Degrees(lat, false) + "#";
  return {"Latitude", {"Latitude"}, [cmd] { return std::vector<std::string>{cmd}; }, {":Gt#"},
          [](const std::vector<std::string>& sent, const std::vector<std::string>& back, Lx200Clock::time_point) {
            return Holds("Latitude", back[0], ValueOf(sent[0]), 0);
          }};
}

TLx200Setting TLx200Session::LongitudeSetting(double east) const {
  // West positive on the line; OnStep may read east back as negative.
  const std::string cmd = ":Sg" + FormatLx200Longitude(east) + "#";
  return {"Longitude", {"Longitude"}, [cmd] { return std::vector<std::string>{cmd}; }, {":Gg#"},
          [](const std::vector<std::string>& sent, const std::vector<std::string>& back, Lx200Clock::time_point) {
            return Holds("Longitude", back[0], ValueOf(sent[0]), 360);
          }};
}

void TLx200Session::PutLatitude(double lat) {
  if (!(lat >= -90 && lat <= 90)) throw EAutomationError("SiteLatitude out of range");
  latitudeGiven_.reset();
  SetChecked({LatitudeSetting(lat)});
  latitudeGiven_ = lat;
}

void TLx200Session::PutLongitude(double east) {
  if (!(east >= -180 && east <= 180)) throw EAutomationError("SiteLongitude out of range");
  longitudeGiven_.reset();
  SetChecked({LongitudeSetting(east)});
  longitudeGiven_ = east;
}

}  // namespace platform
