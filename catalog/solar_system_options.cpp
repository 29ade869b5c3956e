#include "catalog/solar_system_options.h"

#include <QDateTime>
#include <fstream>

#include "platform/dialogs.h"
#include "platform/registry.h"
#include "platform/timezone.h"
#include "platform/url_download.h"
#include "shell/log_lines.h"
#include "shell/messages.h"

const char* const kSolarSwitchNames[kSolarSwitchCount] = {
    "sun label",    "sun graphic",  "sun atmosp", "moon label", "moon graphic", "planet label",
    "planet moons", "planet graphic", "ast disp", "ast label",  "com disp",     "com label"};

std::string ElementDownloadHost = "https://www.minorplanetcenter.net";

namespace {

constexpr const char* kSection = "Solar System";

std::string Cut255(std::string s) {
  if (s.size() > 255) s.resize(255);
  return s;
}

}  // namespace

bool TellElementLoadProblem(TElementKind kind, const std::string& file, TElementLoadProblem problem) {
  const std::string text = ElementLoadProblemText(kind, file, problem);
  if (text.empty()) return false;
  LogLines().AddLine("[Solar System] " + text);
  platform::ShowMessageBox(text, "Noctra Planetarium", platform::MsgButtons::Ok, platform::MsgIcon::Exclamation);
  return true;
}

TElementList ElementLists[2] = {{TElementKind::Asteroid, TElementGrid(ElementColumns(TElementKind::Asteroid))},
                                {TElementKind::Comet, TElementGrid(ElementColumns(TElementKind::Comet))}};

void LoadElementFiles() {
  for (TElementList& list : ElementLists) {
    const bool asteroid = list.kind == TElementKind::Asteroid;
    std::string& file = asteroid ? AsteroidElementsFile : CometElementsFile;
    SetElementTitles(list.kind, list.grid);
    list.grid.Clear();
    list.heldBack.clear();
    list.heldBackWhy = TElementLoadProblem::None;
    if (file.empty()) continue;
    TElementLoadProblem problem = TElementLoadProblem::None;
    const bool loaded = asteroid ? LoadAsteroidElements(list.grid, file, false, list.templateUsed, &problem)
                                 : LoadCometElements(list.grid, file, false, list.templateUsed, &problem);
    if (TellElementLoadProblem(list.kind, file, problem)) {
      list.heldBack = file;
      list.heldBackWhy = problem;
    }
    if (!loaded) {
      list.templateUsed = false;
      file.clear();
      list.grid.Clear();
    }
  }
}

TSolarSwitches SolarSwitchDefaults() { return {0, 1, 1, 0, 1, 1, 0, 0, 0, 1, 0, 1}; }

TSolarSwitches ReadRegSolarSystem() {
  platform::TRegIniFile reg;
  const TSolarSwitches d = SolarSwitchDefaults();
  TSolarSwitches s{};
  for (int i = 0; i < kSolarSwitchCount; ++i) s[std::size_t(i)] = reg.ReadBool(kSection, kSolarSwitchNames[i], d[std::size_t(i)] != 0);
  AsteroidElementsFile = Cut255(reg.ReadString(kSection, "ast elements file", "default.ast"));
  CometElementsFile = Cut255(reg.ReadString(kSection, "com elements file", "default.cmt"));
  return s;
}

void WriteRegSolarSystem(const TSolarSwitches& s) {
  platform::TRegIniFile reg;
  for (int i = 0; i < kSolarSwitchCount; ++i) reg.WriteBool(kSection, kSolarSwitchNames[i], s[std::size_t(i)] != 0);
  reg.WriteString(kSection, "ast elements file", AsteroidElementsFile);
  reg.WriteString(kSection, "com elements file", CometElementsFile);
  reg.Flush();
}

void WriteRegElementFiles() {
  platform::TRegIniFile reg;
  if (!AsteroidElementsFile.empty()) reg.WriteString(kSection, "ast elements file", AsteroidElementsFile);
  if (!CometElementsFile.empty()) reg.WriteString(kSection, "com elements file", CometElementsFile);
  reg.Flush();
}

std::vector<uint8_t> EncodeSolarBlock(const TSolarSwitches& s) { return std::vector<uint8_t>(s.begin(), s.end()); }

bool DecodeSolarBlock(const std::vector<uint8_t>& block, TSolarSwitches& s) {
  if (block.size() != std::size_t(kSolarSwitchCount)) return false;
  for (uint8_t b : block)
    if (b > 1) return false;
  std::copy(block.begin(), block.end(), s.begin());
  return true;
}

std::string ElementDownloadUrl(TElementKind kind, int year) {
  if (kind == TElementKind::Asteroid)
    return ElementDownloadHost + "/iau/Ephemerides/Bright/" + std::to_string(year) + "/Soft00Bright.txt";
  return ElementDownloadHost + "/iau/Ephemerides/Comets/Soft00Cmt.txt";
}

std::string ElementDownloadName(TElementKind kind, const std::string& isoDate) {
  return isoDate + (kind == TElementKind::Asteroid ? ".mpc.ast" : ".mpc.cmt");
}

std::string DownloadElementList(TElementKind kind, TElementGrid& grid, bool mergeMode, int timeoutMs) {
  const bool asteroid = kind == TElementKind::Asteroid;
  // The local date of the program's clock.
  const QDate today = QDateTime::fromMSecsSinceEpoch(qint64(platform::SystemClockUnixSeconds() * 1000.0)).date();
  const std::string url = ElementDownloadUrl(kind, today.year());
  // Lists, templates and element files live in the working folder.
  const std::string listPath = ElementDownloadName(kind, today.toString(Qt::ISODate).toStdString());
  EnsureMpcTemplates("");
  auto load = [&](TElementGrid& g, const std::string& file, bool merge) {
    bool templateUsed = false;
    return asteroid ? LoadAsteroidElements(g, file, merge, templateUsed)
                    : LoadCometElements(g, file, merge, templateUsed);
  };
  auto apply = [&](TElementGrid& g) { asteroid ? ApplyAsteroidGrid(g) : ApplyCometGrid(g); };

  // The downloaded list must hold at least one valid body. Reading it into
  // a probe grid fills the table, which the working grid then refills.
  auto accept = [&](const std::string& temp) {
    // The template belongs to the list's name, so the probe reads a copy
    // under that name's pattern.
    const std::string probePath = listPath + ".probe" + (asteroid ? ".mpc.ast" : ".mpc.cmt");
    std::ifstream in(temp, std::ios::binary);
    std::ofstream(probePath, std::ios::binary) << in.rdbuf();
    TElementGrid probe(ElementColumns(kind));
    SetElementTitles(kind, probe);
    int valid = 0;
    if (load(probe, probePath, false))
      for (int r = 1; r <= probe.BodyCount(); ++r) valid += ParseElementRow(kind, probe, r).valid;
    std::remove(probePath.c_str());
    apply(grid);
    return valid > 0;
  };
  const platform::DownloadResult got = platform::DownloadUrlToFile(url, listPath, timeoutMs, accept);
  if (!got.ok) return got.error;

  std::string& current = asteroid ? AsteroidElementsFile : CometElementsFile;
  const std::string defaultName = asteroid ? "default.ast" : "default.cmt";
  TElementGrid before = grid;
  if (!load(grid, listPath, mergeMode)) {
    grid = before;
    apply(grid);
    return "The downloaded list \"" + listPath + "\" could not be read.";
  }
  current = defaultName;
  if (!(asteroid ? SaveAsteroidElements(grid, defaultName) : SaveCometElements(grid, defaultName)))
    return "The elements could not be saved to \"" + defaultName + "\".";
  return std::string();
}
