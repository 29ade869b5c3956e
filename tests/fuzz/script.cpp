// Fuzz target: a script text prepared and run headless. The host answers
// every window with its default, has no chart, menus, printer or settings
// reader, keeps the observer's place, and its clock runs a second per call,
// so WAIT returns at once; the run is stopped after kMaxLines executed
// lines. Scripts that could touch files outside the scratch folder (SET_DIR,
// or OPEN# with anything but a literal plain file name) are not run.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "script/runner.h"
#include "script/script_host.h"
#include "tests/fuzz/fuzz_support.h"

namespace {

constexpr int kMaxLines = 2000;

class TFuzzHost : public TScriptHost {
 public:
  int lines = 0;
  uint32_t clock = 0;
  bool Input(const std::string&, std::string& answer) override {
    answer = "1";
    return (lines & 1) != 0;
  }
  void ProcessEvents() override {
    if (++lines >= kMaxLines) ScriptStopFlag = 1;
  }
  void WaitForEvents(int) override { ScriptPauseFlag = 0; }
  uint32_t Milliseconds() override { return clock += 1000; }
  tPlotter* Chart() override { return nullptr; }
  void ChangeLocation(double, double, const platform::TIME_ZONE_INFORMATION&) override {}
  int PointOfInterestCount() override { return 3; }
  bool PrintMap(const TScriptPrintOptions&) override { return false; }
  bool ReadSettingsFile(const std::string&) override { return false; }
  int InsertMainMenu(int, const std::string&) override { return 0; }
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
  static TFuzzHost host;
  SetScriptHost(&host);
  const std::string text(reinterpret_cast<const char*>(data), size);
  if (!StaysInScratch(text)) return -1;  // not kept in the corpus
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  host.lines = 0;
  int stopLine = 0;
  ScrRunScript(lines, stopLine);
  return 0;
}
