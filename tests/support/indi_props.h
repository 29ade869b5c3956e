// Properties handed to an INDI client as its server would send them, for
// the tests and fuzz targets that drive a device without a server.
#pragma once

#include <libindi/indipropertynumber.h>
#include <libindi/indipropertyswitch.h>

#include <string>
#include <vector>

#include "platform/indi_client.h"

namespace testing_support {

struct TIndiNumber {
  std::string name;
  double value, min = 0, max = 0;
};

// The server is up and `device` reports its connection on.
inline void IndiConnected(platform::TIndiClient& client) {
  client.serverConnected();
  INDI::PropertySwitch connection(2);
  connection.setDeviceName(client.Device().c_str());
  connection.setName("CONNECTION");
  connection[0].setName("CONNECT");
  connection[0].setState(ISS_ON);
  connection[1].setName("DISCONNECT");
  connection[1].setState(ISS_OFF);
  client.newProperty(connection);
}

// Defines (or updates) a number property of the client's device.
inline void IndiNumbers(platform::TIndiClient& client, const std::string& prop, const std::vector<TIndiNumber>& elems) {
  INDI::PropertyNumber p(elems.size());
  p.setDeviceName(client.Device().c_str());
  p.setName(prop.c_str());
  for (std::size_t i = 0; i < elems.size(); ++i) {
    p[i].setName(elems[i].name.c_str());
    p[i].setValue(elems[i].value);
    p[i].setMinMax(elems[i].min, elems[i].max);
  }
  client.newProperty(p);
}

}  // namespace testing_support
