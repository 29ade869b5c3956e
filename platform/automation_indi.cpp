#include "platform/automation_indi.h"

#include <libindi/basedevice.h>

#include <cmath>
#include <ctime>
#include <mutex>

#include "platform/gui_thread.h"
#include "platform/indi_client.h"

namespace platform {

namespace {

// Sidereal rate, degrees per second (15.041"/s).
constexpr double kSiderealDegPerSec = 15.041067 / 3600.0;

class TIndiDevice : public IAutomationObject {
 public:
  explicit TIndiDevice(const TIndiAddress& address) : client_(address) {}

  TVariant Get(const std::string& m) override;
  void Put(const std::string& m, const TVariant& v) override;
  TVariant Invoke(const std::string& m, const TVariantList& a) override;

 private:
  const std::string& Dev() const { return client_.Device(); }
  [[noreturn]] static void Fail(const std::string& what) { TIndiClient::Fail(what); }
  // Waits (at most the client's reply wait) for the device's answer to a
  // request on `prop` sent after the answer count `mark` and the message
  // count `said`. Raises unless an answer in one of the `accepted` states
  // came.
  void AwaitAcceptance(const std::string& what, const std::string& prop, int mark, int said,
                       std::initializer_list<IPState> accepted);
  // Sends numbers that the device is to take before the next request (as a
  // driver's property put returns only when done).
  void SendAndConfirm(const std::string& what, const std::string& prop,
                      const std::vector<std::pair<std::string, double>>& values);

  TIndiClient client_;
};

void TIndiDevice::AwaitAcceptance(const std::string& what, const std::string& prop, int mark, int said,
                                  std::initializer_list<IPState> accepted) {
  auto taken = [&] {
    for (IPState s : accepted)
      if (client_.StateSince(prop, mark, s)) return true;
    return false;
  };
  client_.Await([&] { return taken() || client_.StateSince(prop, mark, IPS_ALERT); }, client_.ReplyWaitMs());
  if (!client_.Live()) client_.Lost();
  if (taken()) return;
  if (client_.Updates(prop) > mark) Fail(what + " refused by the device" + client_.MessageSince(said));
  Fail(what + ": no answer from the device");
}

void TIndiDevice::SendAndConfirm(const std::string& what, const std::string& prop,
                                 const std::vector<std::pair<std::string, double>>& values) {
  const int mark = client_.Updates(prop), said = client_.Messages();
  client_.SendNumbers(prop, values);
  AwaitAcceptance(what, prop, mark, said, {IPS_OK, IPS_IDLE});
}

TVariant TIndiDevice::Get(const std::string& m) {
  if (m == "Connected") {
    // Asked by the windows' polls: the server is watched meanwhile.
    client_.Watch();
    return client_.LinkUp();
  }
  if (m == "DriverInfo") {
    std::string name, version;
    client_.Text("DRIVER_INFO.DRIVER_NAME", name);
    client_.Text("DRIVER_INFO.DRIVER_VERSION", version);
    return "INDI " + (name.empty() ? Dev() : name) + (version.empty() ? "" : " " + version);
  }
  client_.RequireLink();
  // Mount.
  if (m == "RightAscension") return client_.Num("EQUATORIAL_EOD_COORD", "RA");
  if (m == "Declination") return client_.Num("EQUATORIAL_EOD_COORD", "DEC");
  if (m == "EquatorialSystem") return int32_t(1);
  if (m == "Slewing") {
    client_.Require("EQUATORIAL_EOD_COORD");
    return client_.State("EQUATORIAL_EOD_COORD") == IPS_BUSY;
  }
  if (m == "Tracking") {
    client_.Require("TELESCOPE_TRACK_STATE");
    return client_.Switch("TELESCOPE_TRACK_STATE.TRACK_ON");
  }
  if (m == "AtPark") {
    client_.Require("TELESCOPE_PARK");
    return client_.Switch("TELESCOPE_PARK.PARK");
  }
  if (m == "SideOfPier") {
    client_.Require("TELESCOPE_PIER_SIDE");
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
  if (m == "GuideRateRightAscension") return client_.Num("GUIDE_RATE", "GUIDE_RATE_WE") * kSiderealDegPerSec;
  if (m == "GuideRateDeclination") return client_.Num("GUIDE_RATE", "GUIDE_RATE_NS") * kSiderealDegPerSec;
  if (m == "SiteLatitude") return client_.Num("GEOGRAPHIC_COORD", "LAT");
  if (m == "SiteLongitude") {
    const double east = client_.Num("GEOGRAPHIC_COORD", "LONG");
    return east > 180 ? east - 360 : east;
  }
  // Focuser.
  if (m == "Absolute") return client_.Has("ABS_FOCUS_POSITION");
  if (m == "Position" && client_.Has("ABS_FOCUS_POSITION"))
    return int32_t(std::lround(client_.Num("ABS_FOCUS_POSITION", "FOCUS_ABSOLUTE_POSITION")));
  if (m == "MaxIncrement" || m == "MaxStep") {
    if (client_.Has("FOCUS_MAX")) return int32_t(std::lround(client_.Num("FOCUS_MAX", "FOCUS_MAX_VALUE")));
    Fail("INDI device \"" + Dev() + "\" has no property FOCUS_MAX");
  }
  if (m == "IsMoving")
    return client_.State("ABS_FOCUS_POSITION") == IPS_BUSY || client_.State("REL_FOCUS_POSITION") == IPS_BUSY;
  // Filter wheel.
  if (m == "Position" && client_.Has("FILTER_SLOT")) {
    if (client_.State("FILTER_SLOT") == IPS_BUSY) return int32_t(-1);
    return int32_t(std::lround(client_.Num("FILTER_SLOT", "FILTER_SLOT_VALUE"))) - 1;
  }
  if (m == "Names") {
    client_.Require("FILTER_NAME", INDI_TEXT);
    return client_.Texts("FILTER_NAME");
  }
  if (m == "FocusOffsets") {
    client_.Require("FILTER_NAME", INDI_TEXT);
    return std::vector<int32_t>(client_.Texts("FILTER_NAME").size(), 0);
  }
  Fail("Member not implemented: " + m);
}

void TIndiDevice::Put(const std::string& m, const TVariant& v) {
  if (m == "Connected") {
    if (v.AsBool()) {
      client_.Connect([&] { return client_.State("CONNECTION") != IPS_BUSY; });
      client_.AwaitSettled();
      return;
    }
    // A device whose server does not let it go within the wait is let go
    // all the same, and the caller told why; not when the program's end
    // gave up the wait.
    const std::string why = client_.LetGo();
    if (!why.empty() && !WaitsGivenUp()) Fail(why);
    return;
  }
  client_.RequireLink();
  if (m == "Tracking") {
    client_.SendSwitch("TELESCOPE_TRACK_STATE", v.AsBool() ? "TRACK_ON" : "TRACK_OFF");
  } else if (m == "UTCDate") {
    const std::time_t t = std::time_t(std::floor(v.AsDate().unixSeconds));
    std::tm tm{};
    gmtime_r(&t, &tm);
    char text[32];
    std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%S", &tm);
    client_.Require("TIME_UTC");
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
    // Every element goes with the request: the one put before must have
    // been taken, or its old value would be sent again.
    SendAndConfirm(m, "GEOGRAPHIC_COORD", {{"LAT", v.AsDouble()}});
  } else if (m == "SiteLongitude") {
    const double east = v.AsDouble();
    SendAndConfirm(m, "GEOGRAPHIC_COORD", {{"LONG", east < 0 ? east + 360 : east}});
  } else if (m == "GuideRateRightAscension") {
    SendAndConfirm(m, "GUIDE_RATE", {{"GUIDE_RATE_WE", v.AsDouble() / kSiderealDegPerSec}});
  } else if (m == "GuideRateDeclination") {
    SendAndConfirm(m, "GUIDE_RATE", {{"GUIDE_RATE_NS", v.AsDouble() / kSiderealDegPerSec}});
  } else if (m == "Position" && client_.Has("FILTER_SLOT")) {
    const int slot = v.AsInt();
    double hi = 1;
    hi = double(client_.Texts("FILTER_NAME").size());
    if (slot < 0 || (hi >= 1 && slot + 1 > hi)) Fail("Invalid filter position");
    client_.SendNumbers("FILTER_SLOT", {{"FILTER_SLOT_VALUE", slot + 1.0}});
  } else {
    Fail("Member not implemented: " + m);
  }
}

TVariant TIndiDevice::Invoke(const std::string& m, const TVariantList& a) {
  auto arg = [&](size_t i) -> const TVariant& {
    if (i >= a.size()) Fail("Missing argument of " + m);
    return a[i];
  };
  client_.RequireLink();
  if (m == "SlewToCoordinatesAsync" || m == "SlewToCoordinates" || m == "SyncToCoordinates") {
    const double ra = arg(0).AsDouble(), dec = arg(1).AsDouble();
    if (!(ra >= 0 && ra < 24 && dec >= -90 && dec <= 90)) Fail("Coordinates out of range");
    // A parked mount refuses to move or sync (INDI drivers answer without
    // an alert then, so the mount's park state is asked first).
    if (client_.Switch("TELESCOPE_PARK.PARK"))
      Fail(client_.State("TELESCOPE_PARK") == IPS_BUSY ? "Mount is parking" : "Mount is parked");
    const bool sync = m == "SyncToCoordinates";
    const std::string prop = "EQUATORIAL_EOD_COORD";
    const int mark = client_.Updates(prop), said = client_.Messages();
    client_.SendSwitch("ON_COORD_SET", sync ? "SYNC" : "TRACK");
    client_.SendNumbers(prop, {{"RA", ra}, {"DEC", dec}});
    // A slew the device takes turns busy (or ends at once where the mount
    // already points); a sync ends ok.
    if (sync) AwaitAcceptance(m, prop, mark, said, {IPS_OK});
    else AwaitAcceptance(m, prop, mark, said, {IPS_BUSY, IPS_OK});
    if (m == "SlewToCoordinates") {
      client_.Await([&] { return client_.State(prop) != IPS_BUSY; }, 300000);
      if (!client_.Live()) client_.Lost();
      if (client_.State(prop) == IPS_ALERT) Fail(m + " failed in the device" + client_.MessageSince(said));
    }
    return {};
  }
  if (m == "Park") {
    client_.SendSwitch("TELESCOPE_PARK", "PARK");
    return {};
  }
  if (m == "UnPark") {
    client_.SendSwitch("TELESCOPE_PARK", "UNPARK");
    return {};
  }
  if (m == "SetPark") {
    client_.SendSwitch("TELESCOPE_PARK_OPTION", "PARK_CURRENT");
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
    client_.SendNumbers(names[dir][0], {{names[dir][1], double(ms)}, {names[dir][2], 0.0}});
    return {};
  }
  if (m == "Move") {
    const int n = arg(0).AsInt();
    if (client_.Has("ABS_FOCUS_POSITION")) {
      client_.SendNumbers("ABS_FOCUS_POSITION", {{"FOCUS_ABSOLUTE_POSITION", double(n)}});
    } else {
      client_.SendSwitch("FOCUS_MOTION", n < 0 ? "FOCUS_INWARD" : "FOCUS_OUTWARD");
      client_.SendNumbers("REL_FOCUS_POSITION", {{"FOCUS_RELATIVE_POSITION", double(std::abs(n))}});
    }
    return {};
  }
  if (m == "Halt") {
    client_.SendSwitch("FOCUS_ABORT_MOTION", "ABORT");
    return {};
  }
  Fail("Member not implemented: " + m);
}

}  // namespace

std::string IndiDriverId(const std::string& host, int port, const std::string& device) {
  return IndiIdentifier("Telescope", host, port, device);
}

void RegisterIndiDrivers() {
  static std::once_flag once;
  std::call_once(once, [] {
    RegisterDriverScheme(kIndiPrefix, [](const std::string& id) -> TAutomationRef {
      return std::make_shared<TIndiDevice>(ParseIndiId(id));
    });
  });
}

}  // namespace platform
