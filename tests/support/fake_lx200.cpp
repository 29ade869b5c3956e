#include "tests/support/fake_lx200.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <stdlib.h>
#include <sys/socket.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <ctime>
#include <optional>
#include <stdexcept>
#include <utility>

#include "tests/support/test_support.h"

namespace testing_support {

namespace {

int64_t NowMs() {
  return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

// "HH:MM:SS" or "HH:MM.T" to hours.
bool ReadHours(const std::string& s, double& h) {
  int a = 0, b = 0, c = 0;
  char tail = 0;
  if (std::sscanf(s.c_str(), "%d:%d:%d%c", &a, &b, &c, &tail) == 3 && b < 60 && c < 60) {
    h = a + b / 60.0 + c / 3600.0;
    return a < 24;
  }
  if (std::sscanf(s.c_str(), "%d:%d.%d%c", &a, &b, &c, &tail) == 3 && b < 60 && c < 10) {
    h = a + (b + c / 10.0) / 60.0;
    return a < 24;
  }
  return false;
}

// "sDD*MM:SS" or "sDD*MM" to degrees.
bool ReadDegrees(const std::string& s, double& d) {
  if (s.empty() || (s[0] != '+' && s[0] != '-')) return false;
  int a = 0, b = 0, c = 0;
  char tail = 0;
  const int n = std::sscanf(s.c_str() + 1, "%d*%d:%d%c", &a, &b, &c, &tail);
  if (n != 2 && n != 3) return false;
  if (b >= 60 || c >= 60 || a > 90) return false;
  d = (s[0] == '-' ? -1 : 1) * (a + b / 60.0 + c / 3600.0);
  return true;
}

// A local instant's time of day and date as the mount writes them.
std::string TimeOfDay(double unixSeconds) {
  const long t = long(std::floor(unixSeconds - 86400.0 * std::floor(unixSeconds / 86400.0)));
  char b[40];
  std::snprintf(b, sizeof b, "%02ld:%02ld:%02ld", t / 3600, t / 60 % 60, t % 60);
  return b;
}
std::string DateOf(double unixSeconds) {
  const std::time_t t = std::time_t(std::floor(unixSeconds));
  std::tm tm{};
  gmtime_r(&t, &tm);
  char b[40];
  std::snprintf(b, sizeof b, "%02d/%02d/%02d", tm.tm_mon + 1, tm.tm_mday, tm.tm_year % 100);
  return b;
}

// "MM/DD/YY" to the Unix seconds of that day's start (20YY).
bool ReadDate(const std::string& s, double& day) {
  int m = 0, d = 0, y = 0;
  char tail = 0;
  if (std::sscanf(s.c_str(), "%d/%d/%d%c", &m, &d, &y, &tail) != 3 || m < 1 || m > 12 || d < 1 || d > 31 || y < 0 ||
      y > 99)
    return false;
  std::tm tm{};
  tm.tm_year = 100 + y;
  tm.tm_mon = m - 1;
  tm.tm_mday = d;
  day = double(timegm(&tm));
  return true;
}

}  // namespace

TFakeLx200::TFakeLx200(Transport transport, Firmware firmware) : transport_(transport), firmware_(firmware) {
  if (transport == Transport::Pty) {
    master_ = ::posix_openpt(O_RDWR | O_NOCTTY);
    if (master_ < 0 || ::grantpt(master_) != 0 || ::unlockpt(master_) != 0)
      throw std::runtime_error("no pseudo-terminal");
    termios t{};
    ::tcgetattr(master_, &t);
    ::cfmakeraw(&t);
    ::tcsetattr(master_, TCSANOW, &t);
    id_ = std::string("LX200:") + ::ptsname(master_) + ":9600";
  } else {
    listen_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t len = sizeof a;
    if (listen_ < 0 || ::bind(listen_, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0 || ::listen(listen_, 2) != 0 ||
        ::getsockname(listen_, reinterpret_cast<sockaddr*>(&a), &len) != 0)
      throw std::runtime_error("no local port");
    id_ = "LX200:127.0.0.1:" + std::to_string(ntohs(a.sin_port));
  }
  clockSetMs_ = NowMs();
  thread_ = std::thread([this] { Run(); });
}

TFakeLx200::~TFakeLx200() { Pull(); }

void TFakeLx200::Pull() {
  stop_ = true;
  if (thread_.joinable()) thread_.join();
  for (int* fd : {&master_, &listen_, &client_}) {
    if (*fd >= 0) ::close(*fd);
    *fd = -1;
  }
}

TFakeLx200::State TFakeLx200::Get() const {
  std::lock_guard lock(mutex_);
  State s = state_;
  const double local = UtNow() - OffsetHours() * 3600;
  s.time = TimeOfDay(local);
  s.date = DateOf(local);
  return s;
}

double TFakeLx200::UtNow() const { return clockUt_ + double(NowMs() - clockSetMs_) / 1000.0; }

double TFakeLx200::OffsetHours() const {
  // "-05", "+05.5", "+05:30".
  const std::string& o = state_.site[2];
  double h = 0;
  int hh = 0, mm = 0;
  char sign = '+';
  if (std::sscanf(o.c_str(), "%c%d:%d", &sign, &hh, &mm) == 3 && (sign == '+' || sign == '-'))
    h = hh + mm / 60.0;
  else if (std::sscanf(o.c_str(), "%c%lf", &sign, &h) == 2 && (sign == '+' || sign == '-'))
    h = std::fabs(h);
  else
    return std::atof(o.c_str());
  return sign == '-' ? -h : h;
}

void TFakeLx200::HandsetGoto(double raHours, double decDegrees) {
  std::lock_guard lock(mutex_);
  state_.targetRa = raHours;
  state_.targetDec = decDegrees;
  slewEnd_ = NowMs() + state_.slewMs;
}

std::vector<std::string> TFakeLx200::Commands() const {
  std::lock_guard lock(mutex_);
  return commands_;
}

void TFakeLx200::ClearCommands() {
  std::lock_guard lock(mutex_);
  commands_.clear();
}

int TFakeLx200::Count(const std::string& cmd) const {
  std::lock_guard lock(mutex_);
  return int(std::count(commands_.begin(), commands_.end(), cmd));
}

bool TFakeLx200::Slewing() const {
  std::lock_guard lock(mutex_);
  return slewEnd_ > NowMs();
}

void TFakeLx200::Restart(int lost, const std::string& banner) {
  std::lock_guard lock(mutex_);
  ForgetMemory();
  restartLost_ = lost;
  restartBanner_ = banner;
}

void TFakeLx200::ForgetMemory() {
  State& s = state_;
  // The pointing stays where the motors stopped; a goto under way ends there.
  slewEnd_ = 0;
  s.targetRa = s.targetDec = 0;
  s.alignLeft = 0;
  s.tracking = false;
  if (s.pecState != 'I') s.pecState = 'I';
  const State boot;
  for (int i = 0; i < 3; ++i) s.site[i] = boot.site[i];
  clockUt_ = 946684800;  // 01/01/00 00:00:00, the offset +00
  clockSetMs_ = NowMs();
}

void TFakeLx200::Boot(int ms, const std::string& banner) {
  ForgetMemory();
  bootUntilMs_ = NowMs() + std::max(1, ms);
  bootBanner_ = banner;
}

void TFakeLx200::Run() {
  std::string pending;
  // What is held back until the next command has come, and what a stall
  // holds back until it ends.
  std::string held, stalled;
  char buf[256];
  while (!stop_) {
    int fd = master_;
    if (transport_ == Transport::Tcp) {
      if (client_ < 0) {
        pollfd p{listen_, POLLIN, 0};
        if (::poll(&p, 1, 20) > 0) client_ = ::accept4(listen_, nullptr, nullptr, SOCK_CLOEXEC);
        pending.clear();
        std::lock_guard lock(mutex_);
        if (client_ >= 0 && std::exchange(openStart_.armed, false)) Boot(openStart_.ms, openStart_.banner);
        continue;
      }
      fd = client_;
    }
    {
      // A board that has started says so by itself.
      std::string said;
      {
        std::lock_guard lock(mutex_);
        if (bootUntilMs_ != 0 && NowMs() >= bootUntilMs_) bootUntilMs_ = 0, said = std::exchange(bootBanner_, {});
      }
      if (!said.empty()) {
        const ssize_t sent = transport_ == Transport::Tcp ? ::send(fd, said.data(), said.size(), MSG_NOSIGNAL)
                                                          : ::write(fd, said.data(), said.size());
        (void)sent;
      }
    }
    pollfd p{fd, POLLIN, 0};
    if (::poll(&p, 1, 20) <= 0) continue;
    const ssize_t n = ::read(fd, buf, sizeof buf);
    if (n <= 0) {
      // No one on the line: the terminal's other end is closed, or the
      // client went away.
      if (transport_ == Transport::Tcp) {
        ::close(client_);
        client_ = -1;
        held.clear();
      } else {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
      }
      continue;
    }
    pending.append(buf, size_t(n));
    {
      std::lock_guard lock(mutex_);
      if (transport_ == Transport::Pty && std::exchange(openStart_.armed, false))
        Boot(openStart_.ms, openStart_.banner);
    }
    for (;;) {
      const auto start = pending.find(':');
      if (start == std::string::npos) {
        pending.clear();
        break;
      }
      const auto end = pending.find('#', start);
      if (end == std::string::npos) {
        pending.erase(0, start);
        break;
      }
      const std::string cmd = pending.substr(start, end - start + 1);
      pending.erase(0, end + 1);
      // (A client gone meanwhile is no reason for a signal.)
      auto put = [&](const std::string& bytes) {
        const ssize_t sent = transport_ == Transport::Tcp ? ::send(fd, bytes.data(), bytes.size(), MSG_NOSIGNAL)
                                                          : ::write(fd, bytes.data(), bytes.size());
        return sent >= 0;
      };
      // A reply held back goes out once the next command has come.
      if (!held.empty()) put(std::exchange(held, std::string()));
      Outgoing out;
      std::string banner;
      std::function<bool()> release;
      {
        std::lock_guard lock(mutex_);
        commands_.push_back(cmd);
        // A board starting hears nothing; one that has started says so
        // before anything else.
        if (bootUntilMs_ != 0) {
          if (NowMs() < bootUntilMs_) continue;
          bootUntilMs_ = 0;
          put(std::exchange(bootBanner_, std::string()));
        }
        if (stall_.on && cmd.rfind(stall_.until, 0) != 0) {
          if (stall_.held) Settle(), stalled += Answer(cmd);
          continue;
        }
        if (std::exchange(stall_.on, false)) banner = std::exchange(stall_.banner, std::string());
        if (!banner.empty()) put(banner);
        // A board restarting loses what comes, then says it has started:
        // while the last command lost is waited for, or (none lost) just
        // before the next reply.
        if (restartLost_ > 0) {
          if (--restartLost_ == 0 && !restartBanner_.empty()) put(std::exchange(restartBanner_, std::string()));
          continue;
        }
        if (!restartBanner_.empty()) put(std::exchange(restartBanner_, std::string()));
        const auto at = std::find_if(spoilsAt_.begin(), spoilsAt_.end(),
                                     [&](const SpoilAt& r) { return r.index == int(commands_.size()); });
        std::optional<SpoilRule> forced;
        if (at != spoilsAt_.end()) forced = SpoilRule{cmd, at->how, 1, at->lateMs};
        if (forced && (forced->how == Spoil::Lose || forced->how == Spoil::Stray)) {
          ++spoiled_;
          if (forced->how == Spoil::Stray) put("1");
          continue;
        }
        if (!forced && LoseCommand(cmd)) continue;
        const auto hold = std::find_if(holds_.begin(), holds_.end(),
                                       [&](const Hold& h) { return cmd.rfind(h.prefix, 0) == 0; });
        if (hold != holds_.end()) {
          release = std::move(hold->release);
          holds_.erase(hold);
        }
        Settle();
        std::string reply = Answer(cmd);
        const auto garble = std::find_if(garbles_.begin(), garbles_.end(),
                                         [&](const GarbleRule& g) { return g.times > 0 && g.command == cmd; });
        if (garble != garbles_.end()) --garble->times, reply = garble->reply;
        out = SpoilReply(cmd, std::move(reply), forced ? &*forced : nullptr);
      }
      // A stall ends: what it held goes out first.
      if (!stalled.empty()) put(std::exchange(stalled, std::string()));
      if (release) {
        const auto bound = std::chrono::steady_clock::now() + std::chrono::milliseconds(kWaitMs);
        while (!release() && !stop_ && std::chrono::steady_clock::now() < bound)
          std::this_thread::sleep_for(std::chrono::milliseconds(1));
        ++(release() ? holdsReleased_ : holdsTimedOut_);
      }
      std::string& reply = out.first;
      if (silent_ || (reply.empty() && out.lateMs != kAtNextCommand)) continue;
      const int delay = nextDelayMs_.exchange(0) + delayMs_ + out.delayMs;
      if (delay > 0) std::this_thread::sleep_for(std::chrono::milliseconds(delay));
      if (noise_) reply = std::string(120, '~');
      if (cut_ && !reply.empty()) {
        reply = reply.substr(0, std::max<size_t>(1, reply.size() / 2));
        if (reply.back() == '#') reply.pop_back();
        cut_ = false;
        silent_ = true;
      }
      if (out.lateMs == kAtNextCommand) {
        held = out.rest;
        if (!reply.empty()) put(reply);
        continue;
      }
      if (!put(reply) || out.lateMs < 0) continue;
      std::this_thread::sleep_for(std::chrono::milliseconds(out.lateMs));
      put(out.rest);
    }
  }
}

TFakeLx200::Outgoing TFakeLx200::SpoilReply(const std::string& cmd, std::string reply, const SpoilRule* forced) {
  Outgoing out;
  out.first = std::move(reply);
  std::string& r = out.first;
  if (r.empty()) return out;
  bool garble = false, cut = false, anyByte = false;
  int lateMs = -1;
  if (const SpoilRule* rule = forced ? forced : TakeRule(cmd, false)) {
    if (rule->how == Spoil::Twice) {
      ++spoiled_;
      out.rest = out.first;
      out.lateMs = rule->lateMs;
      return out;
    }
    if (rule->how == Spoil::Late) {
      ++spoiled_;
      if (rule->lateMs >= 0) {
        out.delayMs = rule->lateMs;
        return out;
      }
      // All of it held back: nothing goes out now.
      out.rest = std::move(out.first);
      out.first.clear();
      out.lateMs = kAtNextCommand;
      return out;
    }
    garble = rule->how == Spoil::Garble;
    cut = !garble;
    lateMs = rule->lateMs;
  } else if (garbleRate_ > 0 || cutRate_ > 0 || twiceRate_ > 0) {
    const double x = std::uniform_real_distribution<double>(0, 1)(random_);
    garble = anyByte = x < garbleRate_;
    cut = !garble && x < garbleRate_ + cutRate_;
    if (!garble && !cut && x < garbleRate_ + cutRate_ + twiceRate_) {
      ++spoiled_;
      out.rest = out.first;
      out.lateMs = kAtNextCommand;
      return out;
    }
  }
  const bool framed = r.size() >= 2 && r.back() == '#';
  if (garble) {
    const size_t n = framed && !anyByte ? r.size() - 1 : r.size();
    const size_t at = random_() % n;
    if (!printableNoise_) {
      r[at] = char(0x80 + random_() % 0x5F);
    } else {
      // A printable byte other than "#" and other than the one it replaces.
      char c = r[at];
      while (c == r[at] || c == '#') c = char(0x20 + random_() % 0x5F);
      r[at] = c;
    }
    ++spoiled_;
  } else if (cut && framed) {
    const size_t half = std::max<size_t>(1, r.size() / 2);
    out.rest = r.substr(half);
    r.erase(half);
    out.lateMs = lateMs;
    ++spoiled_;
  }
  return out;
}

const TFakeLx200::SpoilRule* TFakeLx200::TakeRule(const std::string& cmd, bool lose) {
  auto rule = std::find_if(spoils_.begin(), spoils_.end(), [&](const SpoilRule& s) {
    return s.times > 0 && (s.how == Spoil::Lose) == lose && cmd.rfind(s.prefix, 0) == 0;
  });
  if (rule == spoils_.end()) return nullptr;
  --rule->times;
  return &*rule;
}

bool TFakeLx200::LoseCommand(const std::string& cmd) {
  bool lose = TakeRule(cmd, true) != nullptr;
  if (!lose && lostRate_ > 0) lose = std::uniform_real_distribution<double>(0, 1)(random_) < lostRate_;
  spoiled_ += lose;
  return lose;
}

void TFakeLx200::Settle() {
  if (slewEnd_ != 0 && NowMs() >= slewEnd_) {
    state_.raHours = state_.targetRa;
    state_.decDegrees = state_.targetDec;
    slewEnd_ = 0;
  }
}

std::string TFakeLx200::Sexagesimal(double value, bool degrees) const {
  char b[32];
  if (!degrees) {
    const double h = value;
    if (state_.lowPrecision) {
      const long t = std::lround(h * 600) % 14400;
      std::snprintf(b, sizeof b, "%02ld:%02ld.%ld#", t / 600, t / 10 % 60, t % 10);
    } else {
      const long s = std::lround(h * 3600) % 86400;
      std::snprintf(b, sizeof b, "%02ld:%02ld:%02ld#", s / 3600, s / 60 % 60, s % 60);
    }
  } else {
    const double d = std::fabs(value);
    const char sign = value < 0 ? '-' : '+';
    if (state_.lowPrecision) {
      const long m = std::lround(d * 60);
      std::snprintf(b, sizeof b, "%c%02ld*%02ld#", sign, m / 60, m % 60);
    } else {
      const long s = std::lround(d * 3600);
      std::snprintf(b, sizeof b, "%c%02ld*%02ld'%02ld#", sign, s / 3600, s / 60 % 60, s % 60);
    }
  }
  return b;
}

std::string TFakeLx200::Answer(const std::string& c) {
  State& s = state_;
  const bool onStep = firmware_ == Firmware::OnStep;
  const std::string body = c.substr(1, c.size() - 2);  // without ':' and '#'
  auto starts = [&](const char* p) { return body.rfind(p, 0) == 0; };
  const bool slewing = slewEnd_ != 0;
  if (body == "GR") return Sexagesimal(s.raHours, false);
  if (body == "GD") return Sexagesimal(s.decDegrees, true);
  if (body == "Gr") return Sexagesimal(s.targetRa, false);
  if (body == "Gd") return Sexagesimal(s.targetDec, true);
  if (body == "GG") return s.site[2] + "#";
  const double local = UtNow() - OffsetHours() * 3600;
  if (body == "GVP") return s.product.empty() ? (onStep ? "On-Step#" : "Autostar#") : s.product + "#";
  if (body == "GVN") return !s.version.empty() ? s.version + "#" : onStep ? "4.24k#" : "43Eg#";
  if (body == "GL") return TimeOfDay(local) + "#";
  if (body == "GC") return DateOf(local) + "#";
  if (body == "GS") return "12:00:00#";
  if (body == "Gt") return s.site[0] + "#";
  if (body == "Gg") return s.site[1] + "#";
  if (body == "U") {
    s.lowPrecision = !s.lowPrecision;
    return "";
  }
  if (starts("Sr")) {
    double h = 0;
    if (!ReadHours(body.substr(2), h)) return "0";
    s.targetRa = h;
    return "1";
  }
  if (starts("Sd")) {
    double d = 0;
    if (!ReadDegrees(body.substr(2), d)) return "0";
    s.targetDec = d;
    return "1";
  }
  if (body == "MS") {
    if (onStep && s.parked) return "4";
    if (s.targetDec < -50) return onStep ? "1" : "1Object Below Horizon#";
    slewEnd_ = NowMs() + s.slewMs;
    return "0";
  }
  if (body == "CM") {
    // OnStep refuses a sync while parked or slewing with a bare "1".
    if (onStep && (s.parked || slewing)) return "1";
    s.raHours = s.targetRa;
    s.decDegrees = s.targetDec;
    return onStep ? "N/A#" : " M31 EX GAL MAG 3.5 SZ178.0'#";
  }
  if (body == "D") return slewing ? "\x7f#" : "#";
  if (body == "Q") {
    slewEnd_ = 0;
    return "";
  }
  if (c.size() == 4 && (c[1] == 'M' || c[1] == 'Q')) return "";  // :Mn# .. :Qw#
  if (starts("Mg")) return "";
  if (body.size() == 2 && body[0] == 'R') {
    s.rateStep = body[1] - '0';
    return "";
  }
  // The local date and time set under the offset held; the mount keeps UT.
  const double day = 86400.0 * std::floor(local / 86400.0);
  if (starts("SC")) {
    double date = 0;
    if (!ReadDate(body.substr(2), date)) return "0";
    clockUt_ = date + (local - day) + OffsetHours() * 3600;
    clockSetMs_ = NowMs();
    return onStep ? "1" : "1Updating Planetary Data#                              #";
  }
  if (starts("SL")) {
    double h = 0;
    if (!ReadHours(body.substr(2), h)) return "0";
    clockUt_ = day + std::round(h * 3600) + OffsetHours() * 3600;
    clockSetMs_ = NowMs();
    return "1";
  }
  if (starts("St")) return s.site[0] = body.substr(2), "1";
  if (starts("Sg")) return s.site[1] = body.substr(2), "1";
  if (starts("SG")) return s.site[2] = body.substr(2), "1";
  if (!onStep) {
    // The LX200GPS: alignment status, park, wake, set park (no replies).
    if (body == "GW" && s.alignStatus) return std::string("G") + (s.tracking ? "T" : "N") + "1#";
    if (body == "hP") return s.parked = true, s.tracking = false, "";
    if (body == "hW") return s.parked = false, s.tracking = true, "";
    return "";  // the Meade handset knows no more here
  }
  if (body == "GXEE") return std::string(1, s.coordinateMode);
  if (body == "T+") return ++s.trackAdjust, "";
  if (body == "T-") return --s.trackAdjust, "";
  if (body == "Te" || body == "Td") return s.tracking = body == "Te", "1";
  if (body == "hF" || body == "hC") return "";
  if (body == "hP") return s.parked = true, s.tracking = false, "1";
  if (body == "hR") return s.parked = false, s.tracking = true, "1";
  if (body == "hQ") return "1";
  if (body == "GU") {
    std::string r;
    if (!s.tracking) r += 'n';
    if (!slewing) r += 'N';
    r += s.parked ? 'P' : 'p';
    if (std::any_of(s.pec.begin(), s.pec.end(), [](int v) { return v != 0; })) r += 'R';
    return r + s.newFlags + "ET000#";
  }
  // PEC: by default 9600 steps per worm turn at 20 steps a second, 480 entries.
  const int n = std::clamp(s.wormSteps / std::max(1, s.stepsPerSecond), 1, int(s.pec.size()));
  if (body == "$QZ?") return std::string(1, s.pecState) + "#";
  if (body == "$QZZ") return s.pec.fill(0), s.pecState = 'I', "";
  if (body == "$QZ/") return s.pecState = 'r', "";
  if (body == "$QZ+") return s.pecState = 'p', "";
  if (body == "$QZ-") return s.pecState = 'I', "";
  if (body == "$QZ!") return "";
  char b[32];
  if (body == "VW") return std::snprintf(b, sizeof b, "%06d#", s.wormSteps), b;
  if (body == "VS") return std::snprintf(b, sizeof b, "%d.000000#", s.stepsPerSecond), b;
  if (body == "VR") {
    std::snprintf(b, sizeof b, "%+04d,%03d#", s.pec[size_t(s.pecIndex)], s.pecIndex);
    return b;
  }
  if (starts("VR")) {
    const int i = std::atoi(body.c_str() + 2);
    if (i < 0 || i >= int(s.pec.size())) return "";
    std::snprintf(b, sizeof b, "%+04d#", s.pec[size_t(i)]);
    return b;
  }
  // The firmware shifts the table and answers "0" all the same.
  if (body == "WR+") return std::rotate(s.pec.begin(), s.pec.begin() + (n - 1), s.pec.begin() + n), "0";
  if (body == "WR-") return std::rotate(s.pec.begin(), s.pec.begin() + 1, s.pec.begin() + n), "0";
  if (starts("WR")) {
    int i = 0, v = 0;
    if (std::sscanf(body.c_str() + 2, "%d,%d", &i, &v) == 2 && i >= 0 && i < int(s.pec.size()) && v >= -128 &&
        v <= 127)
      s.pec[size_t(i)] = v;
    return "";
  }
  if (body.size() == 2 && body[0] == 'A' && body[1] >= '1' && body[1] <= '9') return s.alignLeft = body[1] - '0', "1";
  if (body == "A+") {
    if (s.alignLeft < 1) return "0";
    --s.alignLeft;
    return "1";
  }
  return "0";  // an unknown command
}

}  // namespace testing_support
