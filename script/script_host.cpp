#include "script/script_host.h"

#include <chrono>
#include <thread>

#include "astro/observer.h"
#include "chart/globe.h"
#include "chart/plotter.h"
#include "chart/render_inputs.h"
#include "shell/settings_sections.h"

int TScriptHost::MessageBox(const std::string& text, const std::string& caption, platform::MsgButtons buttons,
                            platform::MsgIcon icon) {
  return platform::ShowMessageBoxReportingClose(text, caption, buttons, icon);
}

bool TScriptHost::Input(const std::string&, std::string&) { return false; }

void TScriptHost::WaitForEvents(int ms) {
  if (ms > 0) std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

uint32_t TScriptHost::Milliseconds() {
  using namespace std::chrono;
  return uint32_t(duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
}

TObserverTime& TScriptHost::Observer() { return ObserverTime; }

tPlotter* TScriptHost::Chart() { return MainPlotter; }

void TScriptHost::ChangeLocation(double latitude, double longitudeWest, const platform::TIME_ZONE_INFORMATION& zone) {
  // An unnamed place with an open horizon.
  static THorizonArray openHorizon{};
  ChangeObserverLocation("", zone, 0, latitude, longitudeWest, openHorizon);
}

int TScriptHost::PointOfInterestCount() {
  const TChartInputs& in = ChartInputs();
  return in.pointOfInterestCount ? in.pointOfInterestCount() : 0;
}

bool TScriptHost::PrintMap(const TScriptPrintOptions&) { return false; }

bool TScriptHost::ReadSettingsFile(const std::string& path) {
  TSettingsReadResult r = ::ReadSettingsFile(path);
  // A block an owner refused was reported by the reader itself.
  return r == TSettingsReadResult::Ok || r == TSettingsReadResult::Refused;
}

int TScriptHost::InsertMainMenu(int, const std::string&) { return 41; }
int TScriptHost::InsertMenuItem(int, int, const std::string&, const std::string&) { return 41; }

namespace {
TScriptHost DefaultHost;
TScriptHost* Installed = nullptr;
}  // namespace

TScriptHost& ScriptHost() { return Installed ? *Installed : DefaultHost; }
void SetScriptHost(TScriptHost* host) { Installed = host; }
