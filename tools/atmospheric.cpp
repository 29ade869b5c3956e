#include "tools/atmospheric.h"

#include <cmath>

#include "astro/observer.h"
#include "astro/text.h"
#include "astro/transforms.h"
#include "chart/inset_host.h"
#include "chart/plotter.h"
#include "platform/codec.h"
#include "platform/numfmt.h"
#include "platform/registry.h"

namespace {

constexpr const char* kSection = "Atmospheric";

bool InRange(double v, double lo, double hi) { return std::isfinite(v) && v >= lo && v <= hi; }

}  // namespace

bool ParseTemperatureField(const std::string& text, double& celsius) {
  std::string t = TrimBlanks(text);
  bool fahrenheit = false;
  if (!t.empty() && (t.back() == 'F' || t.back() == 'f' || t.back() == 'C' || t.back() == 'c')) {
    fahrenheit = t.back() == 'F' || t.back() == 'f';
    t.pop_back();
  }
  double v;
  if (!platform::ParseDouble(t, v)) return false;
  if (fahrenheit) v = (v - 32.0) * 5.0 / 9.0;
  if (!InRange(v, kMinAirTemperature, kMaxAirTemperature)) return false;
  celsius = v;
  return true;
}

bool ParsePressureField(const std::string& text, double& mbar) {
  std::string t;
  for (char c : text)
    if (c != ' ') t += c;
  double v;
  if (!platform::ParseDouble(t, v) || !InRange(v, kMinAirPressure, kMaxAirPressure)) return false;
  mbar = v;
  return true;
}

std::string AtmosphereFieldText(double value) { return TrimBlanks(platform::FormatFixed(value, 0, 0)); }

std::string TemperatureLabel(const std::string& text) {
  double c;
  if (!ParseTemperatureField(text, c)) return "";
  if (text.find_first_of("Ff") != std::string::npos) return "°F = (" + AtmosphereFieldText(c) + "°C)";
  return "°C = (" + AtmosphereFieldText(1.8 * c + 32.0) + "°F)";
}

uint8_t RefractionInForce() { return MainPlotter != nullptr ? MainPlotter->Refraction : 0; }

void SetRefractionInForce(uint8_t on) {
  if (MainPlotter != nullptr) MainPlotter->Refraction = on ? 1 : 0;
}

void ReadRegAtmospheric(TObserverTime& obs) {
  platform::TRegIniFile reg;
  SetRefractionInForce(reg.ReadBool(kSection, "refraction", false));
  double t = 30.0, p = 1000.0;
  if (!ParseTemperatureField(reg.ReadString(kSection, "temperature", ""), t)) t = 30.0;
  if (!ParsePressureField(reg.ReadString(kSection, "pressure", ""), p)) p = 1000.0;
  SetAtmosphere(obs, t, p);
}

void WriteRegAtmospheric(bool refraction, const std::string& temperatureText, const std::string& pressureText) {
  platform::TRegIniFile reg;
  reg.WriteBool(kSection, "refraction", refraction);
  double v;
  if (ParseTemperatureField(temperatureText, v)) reg.WriteString(kSection, "temperature", platform::FormatGeneral(v));
  if (ParsePressureField(pressureText, v)) reg.WriteString(kSection, "pressure", platform::FormatGeneral(v));
  reg.Flush();
}

std::string ApplyAtmosphericFields(TObserverTime& obs, bool refraction, const std::string& temperatureText,
                                   const std::string& pressureText) {
  SetRefractionInForce(refraction ? 1 : 0);
  std::string rejected;
  double t = obs.Temperature, p = obs.Pressure;
  if (!ParseTemperatureField(temperatureText, t)) {
    t = obs.Temperature;
    rejected = "Invalid atmospheric temperature";
  }
  if (!ParsePressureField(pressureText, p)) {
    p = obs.Pressure;
    if (rejected.empty()) rejected = "Invalid atmospheric pressure";
  }
  SetAtmosphere(obs, t, p);
  RequestChartReplot();
  return rejected;
}

std::vector<uint8_t> EncodeAtmosphericBlock(const TObserverTime& obs) {
  platform::ByteWriter w;
  w.U8(RefractionInForce());
  w.F64(obs.Temperature);
  w.F64(obs.Pressure);
  return w.Bytes();
}

bool ReadAtmosphericBlock(TObserverTime& obs, const std::vector<uint8_t>* block) {
  bool ok = true;
  if (block != nullptr) {
    platform::ByteReader r(*block);
    const uint8_t on = r.U8();
    const double t = r.F64(), p = r.F64();
    ok = block->size() == kAtmosphericBlockBytes && r.Ok() && on <= 1 &&
         InRange(t, kMinAirTemperature, kMaxAirTemperature) && InRange(p, kMinAirPressure, kMaxAirPressure);
    if (ok) {
      SetRefractionInForce(on);
      SetAtmosphere(obs, t, p);
    }
  }
  RequestChartReplot();
  return ok;
}
