#include "platform/automation_indi.h"

#include <libindi/baseclient.h>
#include <libindi/basedevice.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <ctime>
#include <map>
#include <mutex>
#include <set>
#include <thread>

#include "platform/gui_thread.h"
#include "platform/numfmt.h"

namespace platform {

namespace {

// Sidereal rate, degrees per second (15.041"/s).
constexpr double kSiderealDegPerSec = 15.041067 / 3600.0;

// Waits up to `ms` for `done`, handling the GUI thread's events meanwhile.
template <class F>
bool WaitFor(F done, int ms) {
  const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
  while (!done()) {
    if (std::chrono::steady_clock::now() >= end) return false;
    ProcessMessages();
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return true;
}

// The client: the library's listener thread copies every property of our
// device into a cache under a lock; the GUI thread reads the cache only.
class TIndiClient : public INDI::BaseClient {
 public:
  explicit TIndiClient(std::string device) : device_(std::move(device)) {}

  void newProperty(INDI::Property p) override { Store(p); }
  void updateProperty(INDI::Property p) override { Store(p); }
  void removeProperty(INDI::Property p) override {
    if (device_ != p.getDeviceName()) return;
    std::lock_guard lock(mutex_);
    props_.erase(p.getName());
  }
  void serverConnected() override { up_ = true; }
  void serverDisconnected(int) override { up_ = false; }

  bool Up() const { return up_; }
  bool Has(const std::string& prop) const {
    std::lock_guard lock(mutex_);
    return props_.count(prop) > 0;
  }
  IPState State(const std::string& prop) const {
    std::lock_guard lock(mutex_);
    auto it = states_.find(prop);
    return it == states_.end() ? IPS_IDLE : it->second;
  }
  bool Number(const std::string& key, double& v) const {
    std::lock_guard lock(mutex_);
    auto it = numbers_.find(key);
    if (it == numbers_.end()) return false;
    v = it->second;
    return true;
  }
  bool Switch(const std::string& key) const {
    std::lock_guard lock(mutex_);
    auto it = switches_.find(key);
    return it != switches_.end() && it->second;
  }
  bool Text(const std::string& key, std::string& v) const {
    std::lock_guard lock(mutex_);
    auto it = texts_.find(key);
    if (it == texts_.end()) return false;
    v = it->second;
    return true;
  }
  // Element names of a property in the device's order.
  std::vector<std::string> Elements(const std::string& prop) const {
    std::lock_guard lock(mutex_);
    auto it = order_.find(prop);
    return it == order_.end() ? std::vector<std::string>() : it->second;
  }
  bool OneOfMany(const std::string& prop) const {
    std::lock_guard lock(mutex_);
    auto it = rules_.find(prop);
    return it != rules_.end() && it->second != ISR_NOFMANY;
  }
  // Text elements of a property in their order.
  std::vector<std::string> Texts(const std::string& prop) const {
    std::lock_guard lock(mutex_);
    auto it = order_.find(prop);
    if (it == order_.end()) return {};
    std::vector<std::string> out;
    for (const auto& name : it->second) out.push_back(texts_.at(prop + "." + name));
    return out;
  }
  // Marks a property as waiting for the device's answer.
  void SetState(const std::string& prop, IPState s) {
    std::lock_guard lock(mutex_);
    states_[prop] = s;
  }
  const std::string& Device() const { return device_; }
  // How many properties the device has defined so far.
  int Defined() const { return defined_; }

 private:
  void Store(INDI::Property p) {
    if (device_ != p.getDeviceName()) return;
    const std::string prop = p.getName();
    std::lock_guard lock(mutex_);
    if (props_.insert(prop).second) ++defined_;
    states_[prop] = p.getState();
    auto& order = order_[prop];
    order.clear();
    switch (p.getType()) {
      case INDI_NUMBER:
        if (auto* n = p.getNumber())
          for (auto& w : *n) {
            numbers_[prop + "." + w.getName()] = w.getValue();
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
      default:
        break;
    }
  }

  std::string device_;
  std::atomic<bool> up_{false};
  std::atomic<int> defined_{0};
  mutable std::mutex mutex_;
  std::set<std::string> props_;
  std::map<std::string, IPState> states_;
  std::map<std::string, double> numbers_;
  std::map<std::string, bool> switches_;
  std::map<std::string, std::string> texts_;
  std::map<std::string, std::vector<std::string>> order_;
  std::map<std::string, ISRule> rules_;
};

class TIndiDevice : public IAutomationObject {
 public:
  TIndiDevice(std::string host, int port, std::string device)
      : host_(std::move(host)), port_(port), client_(std::move(device)) {}
  ~TIndiDevice() override {
    if (client_.Up()) client_.disconnectServer();
  }

  TVariant Get(const std::string& m) override;
  void Put(const std::string& m, const TVariant& v) override;
  TVariant Invoke(const std::string& m, const TVariantList& a) override;

 private:
  const std::string& Dev() const { return client_.Device(); }
  [[noreturn]] static void Fail(const std::string& what) { throw EAutomationError(what); }
  void Require(const std::string& prop) const {
    if (!client_.Up()) Fail("INDI server connection lost");
    if (!client_.Has(prop)) Fail("INDI device \"" + Dev() + "\" has no property " + prop);
  }
  double Num(const std::string& prop, const std::string& elem) const {
    Require(prop);
    double v = 0;
    if (!client_.Number(prop + "." + elem, v)) Fail("INDI property " + prop + " has no element " + elem);
    return v;
  }
  bool LinkUp() const { return client_.Up() && client_.Switch("CONNECTION.CONNECT"); }
  // Sends new values of some elements of a number property.
  void SendNumbers(const std::string& prop, const std::vector<std::pair<std::string, double>>& values);
  // Turns one element of a switch property on and, for one-of-many
  // switches, every other one off. The request is a property of its own,
  // built from the cached elements: the library's copy belongs to its
  // listener thread.
  void SendSwitch(const std::string& prop, const std::string& elem) {
    Require(prop);
    const std::vector<std::string> names = client_.Elements(prop);
    if (std::find(names.begin(), names.end(), elem) == names.end())
      Fail("INDI property " + prop + " has no element " + elem);
    const bool exclusive = client_.OneOfMany(prop);
    INDI::PropertySwitch p(names.size());
    p.setDeviceName(Dev().c_str());
    p.setName(prop.c_str());
    for (size_t i = 0; i < names.size(); ++i) {
      p[i].setName(names[i].c_str());
      const bool on = names[i] == elem || (!exclusive && client_.Switch(prop + "." + names[i]));
      p[i].setState(on ? ISS_ON : ISS_OFF);
    }
    client_.sendNewSwitch(p);
  }
  // After a request: waits until the device takes it up (busy) or answers.
  void AwaitStart(const std::string& prop) {
    WaitFor([&] { return client_.State(prop) != IPS_IDLE; }, 2000);
  }
  void Connect();

  std::string host_;
  int port_;
  TIndiClient client_;
};

void TIndiDevice::SendNumbers(const std::string& prop, const std::vector<std::pair<std::string, double>>& values) {
  Require(prop);
  // Every element goes with the request (drivers read missing ones as 0):
  // the new values, the others as last reported.
  const std::vector<std::string> names = client_.Elements(prop);
  for (const auto& v : values)
    if (std::find(names.begin(), names.end(), v.first) == names.end())
      Fail("INDI property " + prop + " has no element " + v.first);
  INDI::PropertyNumber p(names.size());
  p.setDeviceName(Dev().c_str());
  p.setName(prop.c_str());
  for (size_t i = 0; i < names.size(); ++i) {
    double value = 0;
    client_.Number(prop + "." + names[i], value);
    for (const auto& v : values)
      if (v.first == names[i]) value = v.second;
    p[i].setName(names[i].c_str());
    p[i].setValue(value);
  }
  // Marked busy here so that a caller reading at once sees the request.
  client_.SetState(prop, IPS_BUSY);
  client_.sendNewNumber(p);
}

void TIndiDevice::Connect() {
  if (!client_.Up()) {
    client_.setServer(host_.c_str(), unsigned(port_));
    client_.watchDevice(Dev().c_str());
    if (!client_.connectServer()) Fail("No INDI server at " + host_ + ":" + std::to_string(port_));
  }
  if (!WaitFor([&] { return client_.Has("CONNECTION"); }, 5000))
    Fail("INDI device \"" + Dev() + "\" not found on " + host_ + ":" + std::to_string(port_));
  if (!client_.Switch("CONNECTION.CONNECT")) client_.connectDevice(Dev().c_str());
  WaitFor([&] { return client_.Switch("CONNECTION.CONNECT") && client_.State("CONNECTION") != IPS_BUSY; }, 10000);
  // The device defines its working properties after the connection: wait
  // until no new one has come for half a second (at most five seconds).
  const auto start = std::chrono::steady_clock::now();
  int last = client_.Defined();
  auto lastChange = start;
  WaitFor(
      [&] {
        const auto now = std::chrono::steady_clock::now();
        if (client_.Defined() != last) {
          last = client_.Defined();
          lastChange = now;
        }
        return now - lastChange >= std::chrono::milliseconds(500);
      },
      5000);
}

TVariant TIndiDevice::Get(const std::string& m) {
  if (m == "Connected") return LinkUp();
  if (m == "DriverInfo") {
    std::string name, version;
    client_.Text("DRIVER_INFO.DRIVER_NAME", name);
    client_.Text("DRIVER_INFO.DRIVER_VERSION", version);
    return "INDI " + (name.empty() ? Dev() : name) + (version.empty() ? "" : " " + version);
  }
  if (!LinkUp()) Fail("Not connected");
  // Mount.
  if (m == "RightAscension") return Num("EQUATORIAL_EOD_COORD", "RA");
  if (m == "Declination") return Num("EQUATORIAL_EOD_COORD", "DEC");
  if (m == "EquatorialSystem") return int32_t(1);
  if (m == "Slewing") {
    Require("EQUATORIAL_EOD_COORD");
    return client_.State("EQUATORIAL_EOD_COORD") == IPS_BUSY;
  }
  if (m == "Tracking") {
    Require("TELESCOPE_TRACK_STATE");
    return client_.Switch("TELESCOPE_TRACK_STATE.TRACK_ON");
  }
  if (m == "AtPark") {
    Require("TELESCOPE_PARK");
    return client_.Switch("TELESCOPE_PARK.PARK");
  }
  if (m == "SideOfPier") {
    Require("TELESCOPE_PIER_SIDE");
    return int32_t(client_.Switch("TELESCOPE_PIER_SIDE.PIER_WEST") ? 1 : 0);
  }
  if (m == "CanSetTracking") return client_.Has("TELESCOPE_TRACK_STATE");
  if (m == "CanPark" || m == "CanUnpark") return client_.Has("TELESCOPE_PARK");
  if (m == "CanSetPark") return client_.Has("TELESCOPE_PARK_OPTION");
  if (m == "CanFindHome") return false;
  if (m == "CanSync") return client_.Has("ON_COORD_SET");
  if (m == "CanSlewAsync") return client_.Has("EQUATORIAL_EOD_COORD");
  if (m == "CanPulseGuide") return client_.Has("TELESCOPE_TIMED_GUIDE_NS");
  if (m == "CanSetGuideRates") return client_.Has("GUIDE_RATE");
  if (m == "DoesRefraction") return false;
  if (m == "GuideRateRightAscension") return Num("GUIDE_RATE", "GUIDE_RATE_WE") * kSiderealDegPerSec;
  if (m == "GuideRateDeclination") return Num("GUIDE_RATE", "GUIDE_RATE_NS") * kSiderealDegPerSec;
  if (m == "SiteLatitude") return Num("GEOGRAPHIC_COORD", "LAT");
  if (m == "SiteLongitude") {
    const double east = Num("GEOGRAPHIC_COORD", "LONG");
    return east > 180 ? east - 360 : east;
  }
  // Focuser.
  if (m == "Absolute") return client_.Has("ABS_FOCUS_POSITION");
  if (m == "Position" && client_.Has("ABS_FOCUS_POSITION"))
    return int32_t(std::lround(Num("ABS_FOCUS_POSITION", "FOCUS_ABSOLUTE_POSITION")));
  if (m == "MaxIncrement" || m == "MaxStep") {
    if (client_.Has("FOCUS_MAX")) return int32_t(std::lround(Num("FOCUS_MAX", "FOCUS_MAX_VALUE")));
    Fail("INDI device \"" + Dev() + "\" has no property FOCUS_MAX");
  }
  if (m == "IsMoving")
    return client_.State("ABS_FOCUS_POSITION") == IPS_BUSY || client_.State("REL_FOCUS_POSITION") == IPS_BUSY;
  // Filter wheel.
  if (m == "Position" && client_.Has("FILTER_SLOT")) {
    if (client_.State("FILTER_SLOT") == IPS_BUSY) return int32_t(-1);
    return int32_t(std::lround(Num("FILTER_SLOT", "FILTER_SLOT_VALUE"))) - 1;
  }
  if (m == "Names") {
    Require("FILTER_NAME");
    return client_.Texts("FILTER_NAME");
  }
  if (m == "FocusOffsets") {
    Require("FILTER_NAME");
    return std::vector<int32_t>(client_.Texts("FILTER_NAME").size(), 0);
  }
  Fail("Member not implemented: " + m);
}

void TIndiDevice::Put(const std::string& m, const TVariant& v) {
  if (m == "Connected") {
    if (v.AsBool()) {
      Connect();
    } else if (client_.Up()) {
      client_.disconnectDevice(Dev().c_str());
      WaitFor([&] { return !client_.Switch("CONNECTION.CONNECT"); }, 5000);
    }
    return;
  }
  if (!LinkUp()) Fail("Not connected");
  if (m == "Tracking") {
    SendSwitch("TELESCOPE_TRACK_STATE", v.AsBool() ? "TRACK_ON" : "TRACK_OFF");
  } else if (m == "UTCDate") {
    const std::time_t t = std::time_t(std::floor(v.AsDate().unixSeconds));
    std::tm tm{};
    gmtime_r(&t, &tm);
    char text[32];
    std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%S", &tm);
    Require("TIME_UTC");
    const std::vector<std::string> names = client_.Elements("TIME_UTC");
    INDI::PropertyText p(names.size());
    p.setDeviceName(Dev().c_str());
    p.setName("TIME_UTC");
    for (size_t i = 0; i < names.size(); ++i) {
      std::string value;
      client_.Text("TIME_UTC." + names[i], value);
      if (names[i] == "UTC") value = text;
      if (names[i] == "OFFSET") value = "0";
      p[i].setName(names[i].c_str());
      p[i].setText(value);
    }
    client_.sendNewText(p);
  } else if (m == "SiteLatitude") {
    SendNumbers("GEOGRAPHIC_COORD", {{"LAT", v.AsDouble()}});
  } else if (m == "SiteLongitude") {
    const double east = v.AsDouble();
    SendNumbers("GEOGRAPHIC_COORD", {{"LONG", east < 0 ? east + 360 : east}});
  } else if (m == "GuideRateRightAscension") {
    SendNumbers("GUIDE_RATE", {{"GUIDE_RATE_WE", v.AsDouble() / kSiderealDegPerSec}});
  } else if (m == "GuideRateDeclination") {
    SendNumbers("GUIDE_RATE", {{"GUIDE_RATE_NS", v.AsDouble() / kSiderealDegPerSec}});
  } else if (m == "Position" && client_.Has("FILTER_SLOT")) {
    const int slot = v.AsInt();
    double hi = 1;
    hi = double(client_.Texts("FILTER_NAME").size());
    if (slot < 0 || (hi >= 1 && slot + 1 > hi)) Fail("Invalid filter position");
    SendNumbers("FILTER_SLOT", {{"FILTER_SLOT_VALUE", slot + 1.0}});
  } else {
    Fail("Member not implemented: " + m);
  }
}

TVariant TIndiDevice::Invoke(const std::string& m, const TVariantList& a) {
  auto arg = [&](size_t i) -> const TVariant& {
    if (i >= a.size()) Fail("Missing argument of " + m);
    return a[i];
  };
  if (!LinkUp()) Fail("Not connected");
  if (m == "SlewToCoordinatesAsync" || m == "SlewToCoordinates" || m == "SyncToCoordinates") {
    const double ra = arg(0).AsDouble(), dec = arg(1).AsDouble();
    if (!(ra >= 0 && ra < 24 && dec >= -90 && dec <= 90)) Fail("Coordinates out of range");
    SendSwitch("ON_COORD_SET", m == "SyncToCoordinates" ? "SYNC" : "TRACK");
    SendNumbers("EQUATORIAL_EOD_COORD", {{"RA", ra}, {"DEC", dec}});
    if (m != "SlewToCoordinatesAsync")
      WaitFor([&] { return client_.State("EQUATORIAL_EOD_COORD") != IPS_BUSY; }, m == "SyncToCoordinates" ? 5000 : 300000);
    if (client_.State("EQUATORIAL_EOD_COORD") == IPS_ALERT) Fail(m + " refused by the device");
    return {};
  }
  if (m == "Park") {
    SendSwitch("TELESCOPE_PARK", "PARK");
    return {};
  }
  if (m == "UnPark") {
    SendSwitch("TELESCOPE_PARK", "UNPARK");
    return {};
  }
  if (m == "SetPark") {
    SendSwitch("TELESCOPE_PARK_OPTION", "PARK_CURRENT");
    return {};
  }
  if (m == "PulseGuide") {
    const int dir = arg(0).AsInt(), ms = arg(1).AsInt();
    if (ms < 0) Fail("Negative pulse");
    static const char* names[4][3] = {{"TELESCOPE_TIMED_GUIDE_NS", "TIMED_GUIDE_N", "TIMED_GUIDE_S"},
                                      {"TELESCOPE_TIMED_GUIDE_NS", "TIMED_GUIDE_S", "TIMED_GUIDE_N"},
                                      {"TELESCOPE_TIMED_GUIDE_WE", "TIMED_GUIDE_E", "TIMED_GUIDE_W"},
                                      {"TELESCOPE_TIMED_GUIDE_WE", "TIMED_GUIDE_W", "TIMED_GUIDE_E"}};
    if (dir < 0 || dir > 3) Fail("Invalid guide direction");
    SendNumbers(names[dir][0], {{names[dir][1], double(ms)}, {names[dir][2], 0.0}});
    return {};
  }
  if (m == "Move") {
    const int n = arg(0).AsInt();
    if (client_.Has("ABS_FOCUS_POSITION")) {
      SendNumbers("ABS_FOCUS_POSITION", {{"FOCUS_ABSOLUTE_POSITION", double(n)}});
    } else {
      SendSwitch("FOCUS_MOTION", n < 0 ? "FOCUS_INWARD" : "FOCUS_OUTWARD");
      SendNumbers("REL_FOCUS_POSITION", {{"FOCUS_RELATIVE_POSITION", double(std::abs(n))}});
    }
    return {};
  }
  if (m == "Halt") {
    SendSwitch("FOCUS_ABORT_MOTION", "ABORT");
    return {};
  }
  Fail("Member not implemented: " + m);
}

}  // namespace

std::string IndiDriverId(const std::string& host, int port, const std::string& device) {
  return "INDI:" + host + ":" + std::to_string(port) + ":" + device;
}

void RegisterIndiDrivers() {
  static std::once_flag once;
  std::call_once(once, [] {
    RegisterDriverScheme("INDI:", [](const std::string& id) -> TAutomationRef {
      // INDI:host:port:device (the device name may hold blanks and colons).
      const size_t a = id.find(':');
      const size_t b = id.find(':', a + 1);
      const size_t c = b == std::string::npos ? b : id.find(':', b + 1);
      if (c == std::string::npos) throw EAutomationError("Invalid INDI identifier \"" + id + "\"");
      int64_t port = 0;
      if (!ParseInt(id.substr(b + 1, c - b - 1), port) || port < 1 || port > 65535)
        throw EAutomationError("Invalid INDI port in \"" + id + "\"");
      return std::make_shared<TIndiDevice>(id.substr(a + 1, b - a - 1), int(port), id.substr(c + 1));
    });
  });
}

}  // namespace platform
