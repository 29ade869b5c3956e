// Fuzz target: a script's host commands against a recording host with a
// chart, the planets and a marker table, so that every value a command
// takes reaches where it is used: the observer's place and time, the
// chart's centre, scale and tracking, markers, print choices, menu
// positions and settings-file names. After the run the state must be
// sound: a place within its ranges, a finite centre, a scale the chart can
// draw, markers within their table. The run is stopped after kMaxLines
// executed lines; WAIT returns at once (the clock runs a second per call).
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "astro/observer.h"
#include "astro/planets.h"
#include "astro/reference_files.h"
#include "astro/solar_system.h"
#include "astro/timescales.h"
#include "chart/plotter.h"
#include "platform/codec.h"
#include "script/markers.h"
#include "script/runner.h"
#include "script/script_host.h"
#include "tests/fuzz/fuzz_support.h"

namespace {

constexpr int kMaxLines = 500;
constexpr double kHalfPi = 1.5707963267948966;

class TRecordingHost : public TScriptHost {
 public:
  explicit TRecordingHost(tPlotter& chart) : chart_(chart) {}
  int lines = 0;
  uint32_t clock = 0;
  std::vector<double> places;  // latitude, longitude, zone bias of each SET_LOC
  std::vector<int> menuPositions;
  int prints = 0;

  void ProcessEvents() override {
    if (++lines >= kMaxLines) ScriptStopFlag = 1;
  }
  void WaitForEvents(int) override { ScriptPauseFlag = 0; }
  uint32_t Milliseconds() override { return clock += 1000; }
  bool Input(const std::string&, std::string& answer) override {
    answer = "2.5";
    return true;
  }
  tPlotter* Chart() override { return &chart_; }
  void ChangeLocation(double latitude, double longitude, const platform::TIME_ZONE_INFORMATION& zone) override {
    places.insert(places.end(), {latitude, longitude, double(zone.Bias)});
    SetObserverLocation(Observer(), longitude, latitude, 0);
  }
  int PointOfInterestCount() override { return lines & 1; }
  bool PrintMap(const TScriptPrintOptions& o) override {
    // A job of no pages is never sent.
    if (!o.chart && !o.pointsOfInterest && !o.summary) std::abort();
    return ++prints % 2 == 0;
  }
  bool ReadSettingsFile(const std::string& path) override { return path.size() % 2 == 0; }
  int InsertMainMenu(int position, const std::string&) override {
    menuPositions.push_back(position);
    return position >= 0 && position <= 10 ? 0 : 41;
  }
  int InsertMenuItem(int menu, int position, const std::string&, const std::string&) override {
    menuPositions.push_back(menu);
    menuPositions.push_back(position);
    return 41;
  }

 private:
  tPlotter& chart_;
};

void Check(bool sound) {
  if (!sound) std::abort();
}

// The state the commands left must be one the program can use.
void CheckState(const TRecordingHost& host, const tPlotter& chart) {
  for (std::size_t i = 0; i + 2 < host.places.size(); i += 3) {
    Check(host.places[i] >= -kHalfPi && host.places[i] <= kHalfPi);
    Check(host.places[i + 1] >= 0 && host.places[i + 1] <= 6.283185307179586);
    Check(std::fabs(host.places[i + 2]) <= 720 && std::fmod(host.places[i + 2], 60) == 0);
  }
  Check(chart.Zoom >= 0.4 && chart.Zoom <= 40);
  Check(std::isfinite(chart.CentreRA) && std::isfinite(chart.CentreDec));
  Check(std::isfinite(chart.HeldAlt) && std::isfinite(chart.HeldAz));
  Check(chart.CentreName.empty() || chart.CentreName.rfind("The Planet ", 0) == 0 || chart.CentreName == "Our Moon" ||
        chart.CentreName == "Our Sun");
  Check(std::isfinite(ObserverTime.JD_UT) && ObserverTime.JD_UT >= -1 && ObserverTime.JD_UT <= 2817153);
  Check(MarkerCount >= 0 && MarkerCount <= MarkerCapacity() && MarkerCapacity() <= 10000);
  for (int32_t i = 0; i < MarkerCapacity(); ++i) Check(platform::CharCount(Markers[std::size_t(i)].Text) <= 31);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  fuzz::InstallQuietPlatform();
  static std::unique_ptr<tPlotter> chart = [] {
    ConvertElementTable();
    InitPlanetRecords(Planets);
    InitExtraElementRecord(MoonBody);
    return std::make_unique<tPlotter>();
  }();
  // The same start for every input: observer, chart view, no markers.
  InitObserver(ObserverTime);
  SetObserverLocation(ObserverTime, 0.2, 0.9, 0);
  SetObserverUT(ObserverTime, 2461056.4166667);
  chart->Zoom = 0.95;
  chart->CentreRA = chart->CentreDec = chart->HeldAlt = chart->HeldAz = 0;
  chart->CentreName.clear();
  chart->TrackKind = kTrackNone;
  chart->TrackIndex = -1;
  FreeMarkers();
  TRecordingHost host(*chart);
  SetScriptHost(&host);

  const std::string text(reinterpret_cast<const char*>(data), size);
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) {
    // No file is written: scripts with SET_DIR or OPEN# are not run.
    std::string upper = line;
    for (char& c : upper)
      if (c >= 'a' && c <= 'z') c = char(c - 'a' + 'A');
    if (upper.find("SET_DIR") != std::string::npos || upper.find("OPEN") != std::string::npos) return -1;
    lines.push_back(line);
  }
  int stopLine = 0;
  ScrRunScript(lines, stopLine);
  CheckState(host, *chart);
  SetScriptHost(nullptr);
  return 0;
}
