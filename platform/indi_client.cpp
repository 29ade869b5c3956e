#include "platform/indi_client.h"

#include <libindi/basedevice.h>
#include <netdb.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cmath>
#include <cstring>
#include <thread>

#include "platform/automation.h"
#include "platform/gui_thread.h"
#include "platform/numfmt.h"

namespace platform {

TIndiAddress ParseIndiId(const std::string& id) {
  const size_t a = id.find(':');
  const size_t b = a == std::string::npos ? a : id.find(':', a + 1);
  const size_t c = b == std::string::npos ? b : id.find(':', b + 1);
  const auto bad = [&](const std::string& why) {
    return EAutomationError("Invalid INDI identifier \"" + id + "\": " + why);
  };
  if (c == std::string::npos) throw bad("it reads INDI:host:port:device");
  const auto blank = [](const std::string& s) { return s.find_first_not_of(" \t") == std::string::npos; };
  const std::string host = id.substr(a + 1, b - a - 1);
  if (blank(host)) throw bad("no host");
  const std::string portText = id.substr(b + 1, c - b - 1);
  int64_t port = 0;
  if (!ParseInt(portText, port) || port < 1 || port > 65535)
    throw bad("the port \"" + portText + "\" is not a number from 1 to 65535");
  const std::string device = id.substr(c + 1);
  if (blank(device)) throw bad("no device name");
  return {host, int(port), device};
}

TIndiClient::TIndiClient(const TIndiAddress& address) : address_(address) {}

TIndiClient::~TIndiClient() {
  if (Up()) disconnectServer();
}

bool TIndiClient::WaitFor(const std::function<bool()>& done, int ms) {
  const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
  while (!done()) {
    if (std::chrono::steady_clock::now() >= end || WaitsGivenUp()) return false;
    ProcessMessages();
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return true;
}

bool TIndiClient::Await(const std::function<bool()>& done, int ms) {
  return WaitFor(
             [&] {
               Watch();
               return !Live() || done();
             },
             ms) &&
         Live() && done();
}

void TIndiClient::Fail(const std::string& what) { throw EAutomationError(what); }

void TIndiClient::Lost() const {
  if (silent_)
    throw EAutomationLinkLost("the INDI server at " + Where() + " has not answered for " +
                              FormatGeneral(silentForMs_ / 1000.0) + " s");
  if (!Up()) throw EAutomationLinkLost("INDI server connection lost");
  throw EAutomationLinkLost("INDI driver of \"" + Device() + "\" ended");
}

void TIndiClient::RequireLink() const {
  if ((served_ && !Up()) || ended_ || silent_) Lost();
  if (!LinkUp()) Fail("Not connected");
}

namespace {

const char* TypeName(INDI_PROPERTY_TYPE t) {
  switch (t) {
    case INDI_NUMBER: return "a number";
    case INDI_SWITCH: return "a switch";
    case INDI_TEXT: return "a text";
    case INDI_LIGHT: return "a light";
    case INDI_BLOB: return "a BLOB";
    default: return "an unknown";
  }
}

// How long the network may take to reach a server.
constexpr int kReachMs = 5000;

// How long a server may stay silent to pings (and everything else) before
// its link counts as lost; tests shorten it.
constexpr int kSilenceLimitMs = 10000;
std::atomic<int> g_silenceLimitMs{kSilenceLimitMs};

// Reaches `host`:`port` and hangs up again, the GUI thread's events handled
// while the network answers: empty when the server takes connections, else
// the system's reason ("Connection refused", "Name or service not known").
// (The client library says only that it failed.)
std::string Unreachable(const std::string& host, int port) {
  addrinfo hints{};
  hints.ai_family = AF_UNSPEC;
  hints.ai_socktype = SOCK_STREAM;
  addrinfo* res = nullptr;
  const int rc = ::getaddrinfo(host.c_str(), std::to_string(port).c_str(), &hints, &res);
  if (rc != 0 || !res) {
    if (res) ::freeaddrinfo(res);
    return rc == EAI_SYSTEM ? std::strerror(errno) : ::gai_strerror(rc);
  }
  const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(kReachMs);
  std::string why = "no address";
  bool reached = false;
  for (addrinfo* r = res; r && !reached; r = r->ai_next) {
    const int fd = ::socket(r->ai_family, r->ai_socktype | SOCK_NONBLOCK | SOCK_CLOEXEC, r->ai_protocol);
    if (fd < 0) {
      why = std::strerror(errno);
      continue;
    }
    int err = ::connect(fd, r->ai_addr, r->ai_addrlen) == 0 ? 0 : errno;
    if (err == EINPROGRESS) {
      auto answered = [fd] {
        pollfd p{fd, POLLOUT, 0};
        return ::poll(&p, 1, 0) > 0;
      };
      const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(until - std::chrono::steady_clock::now());
      err = ETIMEDOUT;
      if (TIndiClient::WaitFor(answered, int(std::max<int64_t>(0, left.count())))) {
        socklen_t len = sizeof err;
        if (::getsockopt(fd, SOL_SOCKET, SO_ERROR, &err, &len) != 0) err = errno;
      }
    }
    ::close(fd);
    if (err == 0) reached = true;
    else if (err == ETIMEDOUT) why = "no answer within " + std::to_string(kReachMs / 1000) + " s";
    else why = std::strerror(err);
  }
  ::freeaddrinfo(res);
  return reached ? std::string() : why;
}

}  // namespace

int TIndiClient::SilenceLimitMs() { return g_silenceLimitMs; }

void TIndiClient::SetSilenceLimitMsForTest(int ms) { g_silenceLimitMs = ms > 0 ? ms : kSilenceLimitMs; }

int64_t TIndiClient::NowMs() {
  return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

std::string TIndiClient::Where() const { return address_.host + ":" + std::to_string(address_.port); }

void TIndiClient::Look(int64_t now) {
  const int heard = heard_;
  if (heard == lastHeard_) return;
  lastHeard_ = heard;
  lastHeardAt_ = now;
  quietSince_ = -1;
}

int TIndiClient::Ping() {
  const int64_t now = NowMs();
  Look(now);
  if (quietSince_ < 0) quietSince_ = now;
  lastPing_ = now;
  sendPingRequest(("noctra-" + std::to_string(++pings_)).c_str());
  return lastHeard_;
}

bool TIndiClient::PictureMayCome(int64_t now) const {
  const int64_t due = pictureDue_;
  return due >= 0 && now < due + kPictureAllowanceMs;
}

void TIndiClient::Watch() {
  if (!LinkUp()) return;
  const int64_t now = NowMs();
  Look(now);
  if (!pingAnswered_) return;
  const int limit = SilenceLimitMs();
  if (quietSince_ >= 0 && now - quietSince_ >= limit && !PictureMayCome(now)) {
    silentForMs_ = limit;
    silent_ = true;
    return;
  }
  const int every = limit / 5;
  if (now - lastHeardAt_ >= every && (lastPing_ < 0 || now - lastPing_ >= every)) Ping();
}

void TIndiClient::ReceivePictures() {
  picturesAsked_ = true;
  setBLOBMode(B_ALSO, Device().c_str(), nullptr);
}

void TIndiClient::ExpectPicture(double seconds) { pictureDue_ = NowMs() + int64_t(std::max(0.0, seconds) * 1000); }

void TIndiClient::Connect(const std::function<bool()>& ready) {
  const std::string where = Where();
  // A device lost before is looked for afresh (its driver started again),
  // its server watched afresh.
  ended_ = false;
  silent_ = false;
  quietSince_ = lastPing_ = -1;
  lastHeard_ = heard_;
  lastHeardAt_ = NowMs();
  if (!Up()) {
    const std::string why = Unreachable(address_.host, address_.port);
    if (!why.empty()) Fail("No INDI server at " + where + ": " + why);
    pingAnswered_ = false;
    setServer(address_.host.c_str(), unsigned(address_.port));
    watchDevice(Device().c_str());
    if (!connectServer()) Fail("No INDI server at " + where);
  }
  // The server answers a ping itself: a server that answered tells that
  // the device is not there, one that answered nothing is silent.
  const int heard = Ping();
  if (!Await([&] { return Has("CONNECTION"); }, replyWaitMs_)) {
    if (!Live()) Lost();
    if (heard_ == heard)
      Fail("the INDI server at " + where + " did not answer within " + FormatGeneral(replyWaitMs_ / 1000.0) + " s");
    Fail("INDI device \"" + Device() + "\" not found on " + where);
  }
  if (!Switch("CONNECTION.CONNECT")) connectDevice(Device().c_str());
  Await([&] { return Switch("CONNECTION.CONNECT") && ready(); }, 10000);
  if (!Live()) Lost();
  served_ = true;
}

void TIndiClient::AwaitSettled() {
  int last = defined_;
  auto lastChange = std::chrono::steady_clock::now();
  WaitFor(
      [&] {
        const auto now = std::chrono::steady_clock::now();
        if (defined_ != last) {
          last = defined_;
          lastChange = now;
        }
        return now - lastChange >= std::chrono::milliseconds(500);
      },
      5000);
}

std::string TIndiClient::Disconnect() {
  if (!Live()) return {};
  const int mark = Updates("CONNECTION"), said = Messages();
  disconnectDevice(Device().c_str());
  // A ping tells a silent server from a silent device.
  const int heard = Ping();
  // Ends too once the device has answered in alert (it keeps its connection).
  Await([&] { return !Switch("CONNECTION.CONNECT") || StateSince("CONNECTION", mark, IPS_ALERT); }, replyWaitMs_);
  if (!Live() || !Switch("CONNECTION.CONNECT")) return {};
  if (Updates("CONNECTION") > mark)
    return "INDI device \"" + Device() + "\" stays connected" + MessageSince(said);
  const std::string late = " did not answer within " + FormatGeneral(replyWaitMs_ / 1000.0) + " s";
  if (heard_ != heard) return "INDI device \"" + Device() + "\"" + late;
  return "the INDI server" + late;
}

std::string TIndiClient::LetGo() {
  const bool silent = silent_;
  std::string why = Disconnect();
  // The server found silent during the wait.
  if (why.empty() && silent_ && !silent) {
    try {
      Lost();
    } catch (const EAutomationLinkLost& e) {
      why = e.what();
    }
  }
  if (why.empty()) return {};
  CloseServer();
  return why + "; the connection to the server is closed";
}

void TIndiClient::CloseServer() {
  if (Up()) disconnectServer();
  up_ = false;
}

bool TIndiClient::Has(const std::string& prop) const {
  std::lock_guard lock(mutex_);
  return props_.count(prop) > 0;
}

INDI_PROPERTY_TYPE TIndiClient::Type(const std::string& prop) const {
  std::lock_guard lock(mutex_);
  auto it = types_.find(prop);
  return it == types_.end() ? INDI_UNKNOWN : it->second;
}

int TIndiClient::Updates(const std::string& prop) const {
  std::lock_guard lock(mutex_);
  auto it = updates_.find(prop);
  return it == updates_.end() ? 0 : it->second;
}

bool TIndiClient::StateSince(const std::string& prop, int mark, IPState s) const {
  std::lock_guard lock(mutex_);
  auto it = lastInState_.find(prop);
  return it != lastInState_.end() && unsigned(s) < it->second.size() && it->second[s] > mark;
}

std::string TIndiClient::MessageSince(int mark) const {
  std::lock_guard lock(mutex_);
  return messages_ > mark && !message_.empty() ? ": " + message_ : "";
}

void TIndiClient::newMessage(INDI::BaseDevice d, int id) {
  Heard();
  if (Device() != d.getDeviceName() || id < 0) return;
  std::string text = d.messageQueue(size_t(id));
  // The device's time stamp ("2024-01-02T03:04:05: ") is left out.
  const size_t stamp = text.find(": ");
  if (stamp != std::string::npos && stamp <= 24 && text.find('T') < stamp) text.erase(0, stamp + 2);
  std::lock_guard lock(mutex_);
  message_ = text;
  ++messages_;
}

IPState TIndiClient::State(const std::string& prop) const {
  std::lock_guard lock(mutex_);
  auto it = states_.find(prop);
  return it == states_.end() ? IPS_IDLE : it->second;
}

void TIndiClient::SetState(const std::string& prop, IPState s) {
  std::lock_guard lock(mutex_);
  states_[prop] = s;
}

bool TIndiClient::Number(const std::string& key, double& v, double* lo, double* hi) const {
  std::lock_guard lock(mutex_);
  auto it = numbers_.find(key);
  if (it == numbers_.end()) return false;
  v = it->second.value;
  if (lo) *lo = it->second.min;
  if (hi) *hi = it->second.max;
  return true;
}

bool TIndiClient::Switch(const std::string& key) const {
  std::lock_guard lock(mutex_);
  auto it = switches_.find(key);
  return it != switches_.end() && it->second;
}

bool TIndiClient::Text(const std::string& key, std::string& v) const {
  std::lock_guard lock(mutex_);
  auto it = texts_.find(key);
  if (it == texts_.end()) return false;
  v = it->second;
  return true;
}

std::vector<std::string> TIndiClient::Elements(const std::string& prop) const {
  std::lock_guard lock(mutex_);
  auto it = order_.find(prop);
  return it == order_.end() ? std::vector<std::string>() : it->second;
}

bool TIndiClient::OneOfMany(const std::string& prop) const {
  std::lock_guard lock(mutex_);
  auto it = rules_.find(prop);
  return it != rules_.end() && it->second != ISR_NOFMANY;
}

std::vector<std::string> TIndiClient::Texts(const std::string& prop) const {
  std::lock_guard lock(mutex_);
  auto it = order_.find(prop);
  if (it == order_.end()) return {};
  auto type = types_.find(prop);
  if (type == types_.end() || type->second != INDI_TEXT) return {};
  std::vector<std::string> out;
  for (const auto& name : it->second) {
    auto text = texts_.find(prop + "." + name);
    if (text != texts_.end()) out.push_back(text->second);
  }
  return out;
}

std::string TIndiClient::Picture() const {
  std::lock_guard lock(mutex_);
  return picture_;
}

void TIndiClient::Require(const std::string& prop, INDI_PROPERTY_TYPE type) const {
  if (!Live()) Lost();
  if (!Has(prop)) Fail("INDI device \"" + Device() + "\" has no property " + prop);
  const INDI_PROPERTY_TYPE actual = Type(prop);
  if (type != INDI_UNKNOWN && actual != type)
    Fail("INDI property " + prop + " of \"" + Device() + "\" is " + TypeName(actual) + " vector, not " +
         TypeName(type) + " vector");
}

double TIndiClient::Num(const std::string& prop, const std::string& elem, double* lo, double* hi) const {
  Require(prop, INDI_NUMBER);
  double v = 0;
  if (!Number(prop + "." + elem, v, lo, hi)) Fail("INDI property " + prop + " has no element " + elem);
  return v;
}

void TIndiClient::SendNumbers(const std::string& prop, const std::vector<std::pair<std::string, double>>& values) {
  Require(prop, INDI_NUMBER);
  const std::vector<std::string> names = Elements(prop);
  for (const auto& v : values)
    if (std::find(names.begin(), names.end(), v.first) == names.end())
      Fail("INDI property " + prop + " has no element " + v.first);
  INDI::PropertyNumber p(names.size());
  p.setDeviceName(Device().c_str());
  p.setName(prop.c_str());
  for (size_t i = 0; i < names.size(); ++i) {
    double value = 0;
    Number(prop + "." + names[i], value);
    for (const auto& v : values)
      if (v.first == names[i]) value = v.second;
    p[i].setName(names[i].c_str());
    p[i].setValue(value);
  }
  // Marked busy here so that a caller reading at once sees the request.
  SetState(prop, IPS_BUSY);
  sendNewNumber(p);
}

void TIndiClient::SendSwitch(const std::string& prop, const std::string& elem) {
  Require(prop, INDI_SWITCH);
  const std::vector<std::string> names = Elements(prop);
  if (std::find(names.begin(), names.end(), elem) == names.end())
    Fail("INDI property " + prop + " has no element " + elem);
  const bool exclusive = OneOfMany(prop);
  INDI::PropertySwitch p(names.size());
  p.setDeviceName(Device().c_str());
  p.setName(prop.c_str());
  for (size_t i = 0; i < names.size(); ++i) {
    p[i].setName(names[i].c_str());
    const bool on = names[i] == elem || (!exclusive && Switch(prop + "." + names[i]));
    p[i].setState(on ? ISS_ON : ISS_OFF);
  }
  sendNewSwitch(p);
}

void TIndiClient::removeProperty(INDI::Property p) {
  Heard();
  if (Device() != p.getDeviceName()) return;
  std::lock_guard lock(mutex_);
  props_.erase(p.getName());
}

void TIndiClient::newDevice(INDI::BaseDevice) { Heard(); }

void TIndiClient::removeDevice(INDI::BaseDevice d) {
  Heard();
  if (Device() != d.getDeviceName()) return;
  {
    // The values go (a driver started again defines them anew); the
    // counts of answers stay, so that the marks waits have taken still
    // hold.
    std::lock_guard lock(mutex_);
    props_.clear();
    states_.clear();
    types_.clear();
    numbers_.clear();
    switches_.clear();
    texts_.clear();
    order_.clear();
    rules_.clear();
  }
  ended_ = true;
}

void TIndiClient::Store(INDI::Property p) {
  Heard();
  if (Device() != p.getDeviceName()) return;
  const std::string prop = p.getName();
  std::lock_guard lock(mutex_);
  if (props_.insert(prop).second) ++defined_;
  const IPState state = p.getState();
  states_[prop] = state;
  types_[prop] = p.getType();
  const int n = ++updates_[prop];
  if (unsigned(state) < 4) lastInState_[prop][state] = n;
  auto& order = order_[prop];
  order.clear();
  switch (p.getType()) {
    case INDI_NUMBER:
      if (auto* n = p.getNumber())
        for (auto& w : *n) {
          numbers_[prop + "." + w.getName()] = {w.getValue(), w.getMin(), w.getMax()};
          order.push_back(w.getName());
        }
      break;
    case INDI_SWITCH:
      if (auto* sw = p.getSwitch()) {
        rules_[prop] = sw->getRule();
        for (auto& w : *sw) {
          switches_[prop + "." + w.getName()] = w.getState() == ISS_ON;
          order.push_back(w.getName());
        }
      }
      break;
    case INDI_TEXT:
      if (auto* t = p.getText())
        for (auto& w : *t) {
          texts_[prop + "." + w.getName()] = w.getText() ? w.getText() : "";
          order.push_back(w.getName());
        }
      break;
    case INDI_BLOB:
      // Only cameras ask for pictures (setBLOBMode); the last FITS one is kept.
      if (auto* b = p.getBLOB())
        for (auto& w : *b)
          if (w.getBlobLen() > 0 && std::string(w.getFormat()).find(".fits") != std::string::npos) {
            picture_.assign(static_cast<const char*>(w.getBlob()), std::size_t(w.getBlobLen()));
            ++pictures_;
            pictureDue_ = -1;
          }
      break;
    default:
      break;
  }
  // An exposure under way, as the device reports it, has its picture due
  // when the seconds it has left are over; an exposure that ended (its
  // picture sent before) has none.
  if (picturesAsked_ && prop == "CCD_EXPOSURE") {
    auto left = numbers_.find("CCD_EXPOSURE.CCD_EXPOSURE_VALUE");
    const double s = left == numbers_.end() || !std::isfinite(left->second.value) ? 0 : left->second.value;
    pictureDue_ = state == IPS_BUSY ? NowMs() + int64_t(std::clamp(s, 0.0, 1e6) * 1000) : -1;
  }
}

}  // namespace platform
