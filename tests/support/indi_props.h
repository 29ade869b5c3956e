// An INDI client fed as its server would feed it: its device connected, and
// number properties of elements {name, value, minimum, maximum}; and the
// client's silence limit shortened for a scope.
#pragma once

#include <libindi/indipropertynumber.h>
#include <libindi/indipropertyswitch.h>

#include <string>
#include <tuple>
#include <vector>

#include "platform/indi_client.h"

namespace testing_support {

inline void IndiConnected(platform::TIndiClient& client) {
  client.serverConnected();
  INDI::PropertySwitch p(1);
  p.setDeviceName(client.Device().c_str());
  p.setName("CONNECTION");
  p[0].setName("CONNECT");
  p[0].setState(ISS_ON);
  client.newProperty(p);
}

using TIndiNumbers = std::vector<std::tuple<std::string, double, double, double>>;
inline void IndiNumbers(platform::TIndiClient& client, const std::string& prop, const TIndiNumbers& elems) {
  INDI::PropertyNumber p(elems.size());
  p.setDeviceName(client.Device().c_str());
  p.setName(prop.c_str());
  for (std::size_t i = 0; i < elems.size(); ++i) {
    p[i].setName(std::get<0>(elems[i]).c_str());
    p[i].setValue(std::get<1>(elems[i]));
    p[i].setMinMax(std::get<2>(elems[i]), std::get<3>(elems[i]));
  }
  client.newProperty(p);
}

class ScopedIndiSilenceLimit {
 public:
  explicit ScopedIndiSilenceLimit(int ms) { platform::TIndiClient::SetSilenceLimitMsForTest(ms); }
  ~ScopedIndiSilenceLimit() { platform::TIndiClient::SetSilenceLimitMsForTest(0); }
  ScopedIndiSilenceLimit(const ScopedIndiSilenceLimit&) = delete;
  ScopedIndiSilenceLimit& operator=(const ScopedIndiSilenceLimit&) = delete;
};

}  // namespace testing_support
