#include "platform/automation_lx200.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cmath>
#include <cstring>
#include <ctime>
#include <mutex>

#include "platform/lx200_protocol.h"
#include "platform/numfmt.h"

namespace platform {

namespace {

using Clock = std::chrono::steady_clock;

// Sidereal rate, degrees per second (15.041"/s).
constexpr double kSiderealDegPerSec = 15.041067 / 3600.0;
// OnStep's rates of ":R0#".. ":R9#" in multiples of the sidereal rate; the
// last two (half and whole of the fastest slew) depend on the mount.
constexpr double kOnStepRates[10] = {0.25, 0.5, 1, 2, 4, 8, 20, 48, NAN, NAN};
// How long an optional reply tail is waited for (a Meade goto message).
constexpr int kTailMs = 150;
// Meade's lines after ":SC" come once the handset has recomputed its
// planetary data; they are waited for this long, within the reply limit
// (later ones are dropped before the next command).
constexpr int kDateTailMs = 400;

speed_t BaudConstant(int baud) {
  switch (baud) {
    case 1200: return B1200;
    case 2400: return B2400;
    case 4800: return B4800;
    case 9600: return B9600;
    case 19200: return B19200;
    case 38400: return B38400;
    case 57600: return B57600;
    case 115200: return B115200;
    case 230400: return B230400;
    default: return B0;
  }
}

std::string ErrnoText(int e) { return std::strerror(e); }

// One open serial port or network socket.
class TLx200Line {
 public:
  ~TLx200Line() { Close(); }
  bool IsOpen() const { return fd_ >= 0; }
  const std::string& Where() const { return where_; }

  void Open(const TLx200Address& a, int limitMs) {
    Close();
    if (a.serial) OpenSerial(a);
    else OpenTcp(a, limitMs);
  }

  void Close() {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
  }

  // Sends `cmd` and reads a reply of `shape` within `limitMs`; `tailMs` is
  // the wait for an optional tail. A silent, closed or garbled line closes
  // the port and raises EAutomationLinkLost; with `soft` a silent or
  // garbled reply only raises EAutomationError (a probe the mount may not
  // know) and the line stays open.
  std::string Transact(const std::string& cmd, TLx200Reply shape, int limitMs, int tailMs, bool soft) {
    if (fd_ < 0) throw EAutomationLinkLost("Not connected");
    const auto deadline = Clock::now() + std::chrono::milliseconds(limitMs);
    DropStale();
    Send(cmd, deadline);
    if (shape == TLx200Reply::None) return {};
    TLx200Framer framer(shape);
    auto until = deadline;
    bool tail = false;
    char buf[64];
    while (!framer.Done()) {
      if (framer.Garbled()) {
        if (soft) {
          DropStale();
          throw EAutomationError("Unexpected reply to " + cmd);
        }
        Lost("garbled reply to " + cmd);
      }
      if (framer.Optional() && !tail) {
        tail = true;
        until = std::min(deadline, Clock::now() + std::chrono::milliseconds(tailMs));
      }
      const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(until - Clock::now()).count();
      if (left <= 0 || !WaitReadable(int(left))) {
        if (framer.Optional()) break;
        if (soft) throw EAutomationError("No reply to " + cmd);
        Lost(framer.Text().empty() ? "no reply from the mount to " + cmd : "reply to " + cmd + " cut short");
      }
      const ssize_t n = ::read(fd_, buf, sizeof buf);
      if (n == 0) Lost("the mount closed the connection");
      if (n < 0) {
        if (errno == EINTR || errno == EAGAIN || errno == EWOULDBLOCK) continue;
        Lost(ErrnoText(errno));
      }
      // Bytes past the reply are not ours: they are dropped before the next command.
      framer.Feed(buf, std::size_t(n));
    }
    return framer.Text();
  }

 private:
  [[noreturn]] void Lost(const std::string& why) {
    Close();
    throw EAutomationLinkLost("Connection to " + where_ + " lost: " + why);
  }

  void OpenSerial(const TLx200Address& a) {
    where_ = a.path;
    const speed_t speed = BaudConstant(a.baud);
    if (speed == B0) throw EAutomationError("Unsupported speed " + std::to_string(a.baud));
    const int fd = ::open(a.path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) throw EAutomationError("Cannot open " + a.path + ": " + ErrnoText(errno));
    termios t{};
    if (!::isatty(fd) || ::tcgetattr(fd, &t) != 0) {
      ::close(fd);
      throw EAutomationError(a.path + " is not a serial port");
    }
    // Raw 8N1, no flow control, reads that never block (poll waits).
    ::cfmakeraw(&t);
    t.c_cflag |= CLOCAL | CREAD;
    t.c_cflag &= ~(CSTOPB | PARENB | CRTSCTS);
    // Closing keeps the modem lines up: boards that restart when DTR rises
    // (many Arduino controllers) then restart on the first open only.
    t.c_cflag &= ~HUPCL;
    t.c_cc[VMIN] = 0;
    t.c_cc[VTIME] = 0;
    ::cfsetispeed(&t, speed);
    ::cfsetospeed(&t, speed);
    if (::tcsetattr(fd, TCSANOW, &t) != 0) {
      const int e = errno;
      ::close(fd);
      throw EAutomationError("Cannot set up " + a.path + ": " + ErrnoText(e));
    }
    ::tcflush(fd, TCIOFLUSH);
    fd_ = fd;
    tty_ = true;
  }

  void OpenTcp(const TLx200Address& a, int limitMs) {
    where_ = a.path + ":" + std::to_string(a.port);
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* res = nullptr;
    if (::getaddrinfo(a.path.c_str(), std::to_string(a.port).c_str(), &hints, &res) != 0 || !res)
      throw EAutomationError("Unknown host " + a.path);
    std::string why = "no address";
    for (addrinfo* r = res; r && fd_ < 0; r = r->ai_next) {
      const int fd = ::socket(r->ai_family, r->ai_socktype | SOCK_NONBLOCK | SOCK_CLOEXEC, r->ai_protocol);
      if (fd < 0) continue;
      int err = ::connect(fd, r->ai_addr, r->ai_addrlen) == 0 ? 0 : errno;
      if (err == EINPROGRESS) {
        pollfd p{fd, POLLOUT, 0};
        err = ::poll(&p, 1, limitMs) == 1 ? 0 : ETIMEDOUT;
        socklen_t len = sizeof err;
        if (err == 0) ::getsockopt(fd, SOL_SOCKET, SO_ERROR, &err, &len);
      }
      if (err != 0) {
        why = ErrnoText(err);
        ::close(fd);
        continue;
      }
      const int one = 1;
      ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
      fd_ = fd;
      tty_ = false;
    }
    ::freeaddrinfo(res);
    if (fd_ < 0) throw EAutomationError("Cannot connect to " + where_ + ": " + why);
  }

  bool WaitReadable(int ms) {
    pollfd p{fd_, POLLIN, 0};
    int r;
    do r = ::poll(&p, 1, ms);
    while (r < 0 && errno == EINTR);
    // A hang-up is readable too: the read then reports it.
    return r > 0;
  }

  // Drops whatever arrived since the last reply (late tails, noise).
  void DropStale() {
    if (tty_) ::tcflush(fd_, TCIFLUSH);
    char buf[256];
    for (int i = 0; i < 64; ++i) {
      pollfd p{fd_, POLLIN, 0};
      if (::poll(&p, 1, 0) <= 0) return;
      const ssize_t n = ::read(fd_, buf, sizeof buf);
      if (n == 0) Lost("the mount closed the connection");
      if (n < 0) {
        if (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR) return;
        Lost(ErrnoText(errno));
      }
    }
  }

  void Send(const std::string& cmd, Clock::time_point deadline) {
    std::size_t sent = 0;
    while (sent < cmd.size()) {
      const ssize_t n = tty_ ? ::write(fd_, cmd.data() + sent, cmd.size() - sent)
                             : ::send(fd_, cmd.data() + sent, cmd.size() - sent, MSG_NOSIGNAL);
      if (n > 0) {
        sent += std::size_t(n);
        continue;
      }
      if (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR) Lost(ErrnoText(errno));
      const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
      pollfd p{fd_, POLLOUT, 0};
      if (left <= 0 || ::poll(&p, 1, int(left)) <= 0) Lost("the line does not take " + cmd);
    }
  }

  int fd_ = -1;
  bool tty_ = false;
  std::string where_;
};

std::string Upper(std::string s) {
  for (char& c : s) c = char(std::toupper(static_cast<unsigned char>(c)));
  return s;
}

bool IsOnStepProduct(const std::string& product) {
  std::string u;
  for (char c : Upper(product))
    if (std::isalnum(static_cast<unsigned char>(c))) u += c;
  return u.find("ONSTEP") != std::string::npos;
}

class TLx200Mount : public IAutomationObject {
 public:
  explicit TLx200Mount(TLx200Address a) : addr_(std::move(a)) {}

  TVariant Get(const std::string& m) override;
  void Put(const std::string& m, const TVariant& v) override;
  TVariant Invoke(const std::string& m, const TVariantList& a) override;

 private:
  [[noreturn]] static void Unknown(const std::string& m) { throw EAutomationError("Member not implemented: " + m); }
  void Require() const {
    if (!line_.IsOpen()) {
      if (everOpen_) throw EAutomationLinkLost("Not connected");
      throw EAutomationError("Not connected");
    }
  }
  // How long an optional tail of a reply of `shape` is waited for (OnStep
  // sends none after a date).
  int TailMs(TLx200Reply shape) const { return shape == TLx200Reply::Date ? (onStep_ ? 0 : kDateTailMs) : kTailMs; }
  std::string Ask(const std::string& cmd, bool soft = false) {
    Require();
    const TLx200Reply shape = Lx200ReplyOf(cmd);
    return line_.Transact(cmd, shape, kLx200ReplyLimitMs, TailMs(shape), soft);
  }
  // A set command answered "1"; "0" raises with `what`.
  void Set(const std::string& cmd, const std::string& what) {
    if (Ask(cmd) != "1") throw EAutomationError(what + " refused by the mount (" + cmd + ")");
  }
  double AskSexagesimal(const std::string& cmd) {
    const std::string r = Ask(cmd);
    double v = 0;
    if (!ParseLx200Sexagesimal(r, v)) {
      line_.Close();
      throw EAutomationLinkLost("Connection to " + line_.Where() + " lost: garbled reply to " + cmd + ": " + r);
    }
    return v;
  }
  std::string Status() { return std::string(Lx200Unframed(Ask(":GU#"))); }
  void Connect();
  void Target(double raHours, double decDegrees);
  std::string Raw(const std::string& kind, const TVariantList& a);

  TLx200Address addr_;
  TLx200Line line_;
  bool everOpen_ = false;
  bool onStep_ = false, high_ = true, hasMg_ = false, refraction_ = false;
  int eqSystem_ = 1;
  int rateStep_ = -1;
  std::string product_, version_;
};

void TLx200Mount::Connect() {
  line_.Open(addr_, kLx200ReplyLimitMs);
  everOpen_ = true;
  onStep_ = false;
  // Every LX200 mount answers ":GR#"; a low-precision reply ("HH:MM.T")
  // asks for the switch to high precision.
  const std::string ra = Ask(":GR#");
  double v = 0;
  if (!ParseLx200Sexagesimal(ra, v)) {
    line_.Close();
    throw EAutomationError("No LX200 mount on " + line_.Where() + " (\":GR#\" answered \"" + ra + "\")");
  }
  high_ = ra.find('.') == std::string::npos;
  if (!high_) {
    Ask(":U#");
    high_ = Ask(":GR#").find('.') == std::string::npos;
  }
  // The product and version: the classic LX200 has neither.
  try {
    product_ = std::string(Lx200Unframed(Ask(":GVP#", true)));
    version_ = std::string(Lx200Unframed(Ask(":GVN#", true)));
  } catch (const EAutomationLinkLost&) {
    throw;
  } catch (const EAutomationError&) {
  }
  onStep_ = IsOnStepProduct(product_);
  hasMg_ = onStep_ || !product_.empty();
  eqSystem_ = 1;
  refraction_ = false;
  if (onStep_) {
    // OnStep's coordinate mode: 0 observed place, 1 topocentric (the mount
    // refracts), 2 J2000 (the mount precesses and refracts).
    try {
      const std::string mode = Ask(":GXEE#", true);
      refraction_ = mode == "1" || mode == "2";
      if (mode == "2") eqSystem_ = 2;
    } catch (const EAutomationLinkLost&) {
      throw;
    } catch (const EAutomationError&) {
    }
  }
}

TVariant TLx200Mount::Get(const std::string& m) {
  if (m == "Connected") return line_.IsOpen();
  if (m == "DriverInfo") {
    std::string where = addr_.serial ? addr_.path : addr_.path + ":" + std::to_string(addr_.port);
    std::string kind = onStep_ ? "ON_STEP" : "Meade";
    std::string what = product_.empty() ? std::string("LX200") : product_ + (version_.empty() ? "" : " " + version_);
    return "LX200 mount (" + kind + " command set): " + what + " on " + where;
  }
  if (m == "CanSlewAsync" || m == "CanSync") return true;
  if (m == "CanPark" || m == "CanUnpark" || m == "CanSetPark" || m == "CanFindHome" || m == "CanSetTracking")
    return onStep_;
  if (m == "CanPulseGuide") return true;
  if (m == "CanSetGuideRates") return false;
  if (m == "DoesRefraction") return refraction_;
  if (m == "EquatorialSystem") return int32_t(eqSystem_);
  Require();
  if (m == "RightAscension") {
    const double h = AskSexagesimal(":GR#");
    return std::fmod(std::fmod(h, 24.0) + 24.0, 24.0);
  }
  if (m == "Declination") return AskSexagesimal(":GD#");
  if (m == "Slewing") {
    const std::string r(Lx200Unframed(Ask(":D#")));
    return r.find_first_not_of(' ') != std::string::npos;
  }
  if (m == "Tracking") return onStep_ ? Status().find('n') == std::string::npos : true;
  if (m == "AtPark") return onStep_ && Status().find('P') != std::string::npos;
  if (m == "SideOfPier") {
    if (!onStep_) Unknown(m);
    const std::string s = Status();
    if (s.find('W') != std::string::npos) return int32_t(1);
    if (s.find('T') != std::string::npos) return int32_t(0);
    throw EAutomationError("Pier side unknown");
  }
  if (m == "SiteLatitude") return AskSexagesimal(":Gt#");
  if (m == "SiteLongitude") {
    // West positive on the line (OnStep may also send east as negative).
    double east = -AskSexagesimal(":Gg#");
    east = std::fmod(east, 360.0);
    if (east > 180) east -= 360;
    if (east <= -180) east += 360;
    return east;
  }
  if (m == "GuideRateRightAscension" || m == "GuideRateDeclination") {
    double x = 1;
    if (onStep_ && rateStep_ >= 0 && std::isfinite(kOnStepRates[rateStep_])) x = kOnStepRates[rateStep_];
    return x * kSiderealDegPerSec;
  }
  Unknown(m);
}

void TLx200Mount::Put(const std::string& m, const TVariant& v) {
  if (m == "Connected") {
    if (v.AsBool()) Connect();
    else line_.Close();
    return;
  }
  Require();
  if (m == "UTCDate") {
    // The mount's clock runs on UT with a zero offset (a zero needs no sign
    // convention, which differs between firmwares).
    const double secs = v.AsDate().unixSeconds;
    if (!std::isfinite(secs)) throw EAutomationError("Invalid date");
    const std::time_t t = std::time_t(std::floor(secs));
    std::tm tm{};
    gmtime_r(&t, &tm);
    char time[40], date[40];
    std::snprintf(time, sizeof time, "%02d:%02d:%02d", tm.tm_hour, tm.tm_min, tm.tm_sec);
    std::snprintf(date, sizeof date, "%02d/%02d/%02d", tm.tm_mon + 1, tm.tm_mday, tm.tm_year % 100);
    Set(":SG+00#", "UTC offset");
    Set(std::string(":SL") + time + "#", "Time");
    const std::string r = Ask(std::string(":SC") + date + "#");
    if (r.empty() || r[0] != '1') throw EAutomationError("Date refused by the mount");
  } else if (m == "SiteLatitude") {
    const double lat = v.AsDouble();
    if (!(lat >= -90 && lat <= 90)) throw EAutomationError("SiteLatitude out of range");
    Set(":St" + FormatLx200Degrees(lat, false) + "#", "Latitude");
  } else if (m == "SiteLongitude") {
    const double lon = v.AsDouble();
    if (!(lon >= -180 && lon <= 180)) throw EAutomationError("SiteLongitude out of range");
    Set(":Sg" + FormatLx200Longitude(lon) + "#", "Longitude");
  } else if (m == "Tracking") {
    if (!onStep_) Unknown(m);
    Set(v.AsBool() ? ":Te#" : ":Td#", "Tracking");
  } else {
    Unknown(m);
  }
}

void TLx200Mount::Target(double ra, double dec) {
  if (!(ra >= 0 && ra < 24 && dec >= -90 && dec <= 90)) throw EAutomationError("Coordinates out of range");
  Set(":Sr" + FormatLx200Hours(ra, high_) + "#", "Target right ascension");
  Set(":Sd" + FormatLx200Degrees(dec, high_) + "#", "Target declination");
}

std::string TLx200Mount::Raw(const std::string& kind, const TVariantList& a) {
  if (a.empty()) throw EAutomationError("Missing argument of " + kind);
  const std::string cmd = a[0].AsString();
  if (!IsLx200Command(cmd)) throw EAutomationError("Not an LX200 command: \"" + cmd + "\"");
  Require();
  TLx200Reply shape = Lx200ReplyOf(cmd);
  // The Bool form reads one character whatever the command.
  if (kind == "CommandBool" && shape != TLx200Reply::Bool) shape = TLx200Reply::Char;
  const std::string reply = line_.Transact(cmd, shape, kLx200ReplyLimitMs, TailMs(shape), false);
  // The guide-rate step, for the rates read back.
  if (cmd.size() == 4 && cmd[1] == 'R' && cmd[2] >= '0' && cmd[2] <= '9') rateStep_ = cmd[2] - '0';
  return reply;
}

TVariant TLx200Mount::Invoke(const std::string& m, const TVariantList& a) {
  auto arg = [&](size_t i) -> const TVariant& {
    if (i >= a.size()) throw EAutomationError("Missing argument of " + m);
    return a[i];
  };
  if (m == "CommandString") return Raw(m, a);
  if (m == "CommandBlind") {
    Raw(m, a);
    return {};
  }
  if (m == "CommandBool") return Raw(m, a) == "1";
  Require();
  if (m == "SlewToCoordinatesAsync") {
    Target(arg(0).AsDouble(), arg(1).AsDouble());
    const std::string r = Ask(":MS#");
    if (r != "0") {
      const char code = r.empty() ? '9' : r[0];
      std::string said(Lx200Unframed(r.substr(std::min<size_t>(1, r.size()))));
      said.erase(0, said.find_first_not_of(' '));
      throw EAutomationError("Goto refused by the mount: " + (said.empty() ? Lx200GotoRefusal(code) : said) + " (" +
                             code + ")");
    }
    return {};
  }
  if (m == "SyncToCoordinates") {
    Target(arg(0).AsDouble(), arg(1).AsDouble());
    const std::string r(Lx200Unframed(Ask(":CM#")));
    if (r.size() == 2 && r[0] == 'E' && r[1] >= '1' && r[1] <= '9')
      throw EAutomationError("Sync refused by the mount: " + Lx200GotoRefusal(r[1]));
    return {};
  }
  if (m == "AbortSlew") {
    Ask(":Q#");
    return {};
  }
  if (m == "PulseGuide") {
    if (!hasMg_) Unknown(m);
    const int dir = arg(0).AsInt(), ms = arg(1).AsInt();
    if (dir < 0 || dir > 3) throw EAutomationError("Invalid guide direction");
    if (ms < 0) throw EAutomationError("Negative pulse");
    // OnStep takes up to 16399 ms, the Meade handsets four digits.
    const int limited = std::min(ms, onStep_ ? 16399 : 9999);
    char cmd[16];
    std::snprintf(cmd, sizeof cmd, ":Mg%c%04d#", "nsew"[dir], limited);
    Ask(cmd);
    return {};
  }
  if (onStep_) {
    if (m == "Park") return Set(":hP#", "Park"), TVariant();
    if (m == "UnPark") return Set(":hR#", "Un-park"), TVariant();
    if (m == "SetPark") return Set(":hQ#", "Set park"), TVariant();
    if (m == "FindHome") return Ask(":hC#"), TVariant();
  }
  Unknown(m);
}

}  // namespace

TLx200Address ParseLx200Id(const std::string& id) {
  if (id.rfind("LX200:", 0) != 0) throw EAutomationError("Not an LX200 identifier: " + id);
  std::string rest = id.substr(6);
  TLx200Address a;
  a.serial = !rest.empty() && rest[0] == '/';
  const auto colon = rest.rfind(':');
  std::string number;
  if (colon != std::string::npos) {
    number = rest.substr(colon + 1);
    rest.erase(colon);
  }
  if (rest.empty()) throw EAutomationError("No port or host in " + id);
  a.path = rest;
  if (!number.empty()) {
    int32_t n = 0;
    if (!ParseInt32(number, n) || n <= 0 || n > 999999) throw EAutomationError("Bad number in " + id);
    if (a.serial) a.baud = n;
    else if (n > 65535) throw EAutomationError("Bad port in " + id);
    else a.port = n;
  }
  if (a.serial && BaudConstant(a.baud) == B0) throw EAutomationError("Unsupported speed in " + id);
  return a;
}

void RegisterLx200Drivers() {
  static std::once_flag once;
  std::call_once(once, [] {
    RegisterDriverScheme("LX200:", [](const std::string& id) -> TAutomationRef {
      return std::make_shared<TLx200Mount>(ParseLx200Id(id));
    });
  });
}

}  // namespace platform
