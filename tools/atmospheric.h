// Atmospheric settings: the refraction switch of the main chart and the air
// temperature and pressure from which the observer record builds its
// refraction table. Registry section "Atmospheric"; slot 6 of settings files.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct TObserverTime;

// Accepted ranges.
inline constexpr double kMinAirTemperature = -50.0, kMaxAirTemperature = 60.0;
inline constexpr double kMinAirPressure = 500.0, kMaxAirPressure = 1500.0;

// The temperature field: a number, optionally followed by "C" or "F"
// (Fahrenheit converted by (F - 32) × 5/9); false outside -50..60 °C.
bool ParseTemperatureField(const std::string& text, double& celsius);
// The pressure field in millibars; false outside 500..1500.
bool ParsePressureField(const std::string& text, double& mbar);
// The label beside the temperature: "°C = (86°F)" or "°F = (30°C)"; empty
// for a rejected field.
std::string TemperatureLabel(const std::string& text);
// A value as the fields show it: no decimals, no blanks.
std::string AtmosphereFieldText(double value);

// The refraction switch in force: the main plotter's byte (0 without one).
uint8_t RefractionInForce();
void SetRefractionInForce(uint8_t on);

// Reads the registry section at start: refraction (default off),
// temperature (30 when missing, not a number or outside -50..60) and
// pressure (1000 likewise outside 500..1500), applied to `obs`.
void ReadRegAtmospheric(TObserverTime& obs);
// "Save as default": the switch, and each field only when it is accepted.
void WriteRegAtmospheric(bool refraction, const std::string& temperatureText, const std::string& pressureText);

// OK: the switch, then each accepted field applied; a rejected field keeps
// the value in force. Returns the caption of the first rejected field's
// message ("Invalid atmospheric temperature" or "... pressure"), or empty.
std::string ApplyAtmosphericFields(TObserverTime& obs, bool refraction, const std::string& temperatureText,
                                   const std::string& pressureText);

// Slot 6: the switch, temperature and pressure in force (17 bytes).
inline constexpr int kAtmosphericSlot = 6;
inline constexpr std::size_t kAtmosphericBlockBytes = 17;
std::vector<uint8_t> EncodeAtmosphericBlock(const TObserverTime& obs);
// Checks the whole block (switch 0 or 1, values finite and in range) before
// applying it; false, nothing changed, otherwise. The chart is asked to
// replot in every case.
bool ReadAtmosphericBlock(TObserverTime& obs, const std::vector<uint8_t>* block);
