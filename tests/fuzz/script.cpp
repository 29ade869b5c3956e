// Fuzz target: a script text prepared and run headless against a recording
// host with a chart and the planets, so that every value a host command
// takes reaches where it is used (the observer's place and time, the
// chart's centre and scale, markers, print choices, menu positions). After
// the run that state must be one the program can use. The host's clock runs
// a second per call, so WAIT returns at once; a run ends after kMaxLines
// executed lines. Scripts that could touch files outside the scratch folder
// (SET_DIR, or OPEN# with anything but a literal plain file name) are not
// run.
#include <unistd.h>

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "astro/observer.h"
#include "astro/planets.h"
#include "astro/reference_files.h"
#include "astro/solar_system.h"
#include "chart/plotter.h"
#include "platform/codec.h"
#include "script/markers.h"
#include "script/runner.h"
#include "script/script_host.h"
#include "tests/fuzz/fuzz_support.h"

namespace {

constexpr int kMaxLines = 2000;

void Check(bool sound) {
  if (!sound) std::abort();
}

class TFuzzHost : public TScriptHost {
 public:
  int lines = 0;
  uint32_t clock = 0;
  tPlotter* chart = nullptr;
  bool Input(const std::string&, std::string& answer) override {
    answer = "1";
    return (lines & 1) != 0;
  }
  void ProcessEvents() override {
    if (++lines >= kMaxLines) ScriptStopFlag = 1;
  }
  void WaitForEvents(int) override { ScriptPauseFlag = 0; }
  uint32_t Milliseconds() override { return clock += 1000; }
  tPlotter* Chart() override { return chart; }
  void ChangeLocation(double latitude, double longitude, const platform::TIME_ZONE_INFORMATION& zone) override {
    Check(std::fabs(latitude) <= 1.5707963267948966 && longitude >= 0 && longitude <= 6.283185307179586);
    Check(std::abs(zone.Bias) <= 720 && zone.Bias % 60 == 0);
    SetObserverLocation(Observer(), longitude, latitude, 0);
  }
  int PointOfInterestCount() override { return lines & 2; }
  bool PrintMap(const TScriptPrintOptions& o) override {
    Check(o.chart || o.pointsOfInterest || o.summary);  // never a job of no pages
    return (lines & 1) != 0;
  }
  bool ReadSettingsFile(const std::string&) override { return false; }
  int InsertMainMenu(int position, const std::string&) override { return position >= 0 && position <= 10 ? 0 : 41; }
  int InsertMenuItem(int, int, const std::string&, const std::string&) override { return 0; }
};

std::string Upper(std::string s) {
  for (char& c : s) c = char(std::toupper(static_cast<unsigned char>(c)));
  return s;
}

// True when every OPEN names a plain file of the current folder by a
// literal, and the folder is never changed.
bool StaysInScratch(const std::string& text) {
  const std::string up = Upper(text);
  if (up.find("SET_DIR") != std::string::npos) return false;
  static const std::regex safe(R"(^OPEN\s*#\s*\d{1,2}\s*,\s*"[IO]"\s*,\s*"[A-Z0-9_]{1,12}(\.[A-Z0-9]{1,3})?"\s*(\||\r|\n|$))");
  for (std::size_t at = up.find("OPEN"); at != std::string::npos; at = up.find("OPEN", at + 1)) {
    const std::string tail = up.substr(at, 80);
    if (!std::regex_search(tail, safe)) return false;
  }
  return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  fuzz::InstallQuietPlatform();
  static const bool inScratch = chdir(fuzz::ScratchDir().c_str()) == 0;
  if (!inScratch) return 0;
  static std::unique_ptr<tPlotter> chart = [] {
    ConvertElementTable();
    InitPlanetRecords(Planets);
    InitExtraElementRecord(MoonBody);
    return std::make_unique<tPlotter>();
  }();
  const std::string text(reinterpret_cast<const char*>(data), size);
  if (!StaysInScratch(text)) return -1;  // not kept in the corpus
  // The same start for every input.
  InitObserver(ObserverTime);
  SetObserverLocation(ObserverTime, 0.2, 0.9, 0);
  SetObserverUT(ObserverTime, 2461056.4166667);
  chart->Zoom = 0.95;
  chart->CentreRA = chart->CentreDec = chart->HeldAlt = chart->HeldAz = 0;
  chart->CentreName.clear();
  FreeMarkers();
  static TFuzzHost host;
  host.chart = chart.get();
  host.lines = 0;
  SetScriptHost(&host);
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  int stopLine = 0;
  ScrRunScript(lines, stopLine);
  Check(chart->Zoom >= 0.4 && chart->Zoom <= 40);
  Check(std::isfinite(chart->CentreRA + chart->CentreDec + chart->HeldAlt + chart->HeldAz));
  Check(chart->CentreName.empty() || chart->CentreName.rfind("The Planet ", 0) == 0 ||
        chart->CentreName.rfind("Our ", 0) == 0);
  Check(ObserverTime.JD_UT >= -1 && ObserverTime.JD_UT <= 2817153);  // SET_JD's range and a zone
  Check(MarkerCount >= 0 && MarkerCount <= MarkerCapacity() && MarkerCapacity() <= 10000);
  for (const TChartMarker& m : Markers) Check(platform::CharCount(m.Text) <= 31);
  return 0;
}
