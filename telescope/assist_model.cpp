#include "telescope/assist_model.h"

#include <algorithm>
#include <cmath>
#include <sstream>

#include "astro/text.h"
#include "platform/numfmt.h"
#include "platform/registry.h"
#include "platform/value_range.h"

namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr double kArcsecPerRad = 3600.0 * 57.29577951;
// The declination at which the model's tan δ and 1/cos δ are held.
constexpr double kMaxDec = 89.9 * kPi / 180.0;
// Search nesting, outermost first.
constexpr std::array<int, kTermCount> kSearchOrder = {kDO, kPD, kPZ, kPE, kDF, kTF, kFF};
const char* kTermKeys[kTermCount] = {"deo", "pd", "pz", "pe", "ff", "tf", "df"};
// File order of the term lines.
constexpr std::array<int, kTermCount> kFileOrder = {kDO, kPD, kPZ, kPE, kTF, kFF, kDF};

double WrapPi(double a) {
  a = std::fmod(a, 2 * kPi);
  if (a <= -kPi) a += 2 * kPi;
  if (a > kPi) a -= 2 * kPi;
  return a;
}

// An edit's value: unreadable text, or a value beyond kMaxAssistArcsec,
// counts 0; numbers are taken to the nearest integer.
double EditValue(const std::string& s) {
  double v = 0;
  if (!platform::ParseDouble(s, v) || !platform::InRange(v, -kMaxAssistArcsec, kMaxAssistArcsec)) return 0;
  return std::nearbyint(v);
}

// True when `text` is a time of 0 to 24 hours.
bool IsSiderealTime(const std::string& text) {
  try {
    return platform::InRange(ParseHours(text), 0.0, 2 * kPi);
  } catch (const EConvertError&) {
    return false;
  }
}

// Per row and term: the coefficient by which a term of one arcsecond moves
// the hour-angle and declination terms (arcseconds). The model is linear in
// its terms.
void Coefficients(double latitude, int pier, double h, double dec, std::array<double, kTermCount>& ch,
                  std::array<double, kTermCount>& cd) {
  dec = std::clamp(dec, -kMaxDec, kMaxDec);
  const double sh = std::sin(h), chh = std::cos(h), sd = std::sin(dec), cdd = std::cos(dec), td = std::tan(dec);
  const double sp = std::sin(latitude), cp = std::cos(latitude);
  ch = {};
  cd = {};
  // A = PZ + PD sh sd, B = PE + PD ch sd.
  ch[kPZ] = -chh * td;
  ch[kPE] = sh * td;
  ch[kPD] = -sh * sd * chh * td + chh * sd * sh * td;
  ch[kDO] = pier * cdd;
  ch[kTF] = cp * sh / cdd;
  cd[kPZ] = sh;
  cd[kPE] = chh;
  cd[kPD] = sh * sd * sh + chh * sd * chh;
  cd[kDO] = sd;
  cd[kDF] = -(cp * chh + sp * td);
  cd[kTF] = cp * chh - sp * cdd;
}

}  // namespace

void AssistModelTerms(const std::array<double, kTermCount>& terms, double scale, double latitude, int pier,
                      double ha, double dec, double& haTerm, double& decTerm) {
  std::array<double, kTermCount> ch, cd;
  Coefficients(latitude, pier, ha, dec, ch, cd);
  haTerm = decTerm = 0;
  for (int k = 0; k < kTermCount; ++k) {
    haTerm += ch[size_t(k)] * terms[size_t(k)] * scale;
    decTerm += cd[size_t(k)] * terms[size_t(k)] * scale;
  }
  haTerm /= kArcsecPerRad;
  decTerm /= kArcsecPerRad;
}

TAssistFitResult FitAssistModel(const TAssistFitInput& in, const std::atomic<bool>* cancel,
                                std::atomic<int>* progress) {
  TAssistFitResult r;
  const size_t n = in.rows.size();
  if (n < 2) return r;
  // Per row: the raw difference true - mount less the side's offsets
  // (arcseconds), the weight cos δtrue, and the term coefficients × step.
  std::vector<double> baseH(n), baseD(n), w(n);
  std::vector<std::array<double, kTermCount>> ch(n), cd(n);
  for (size_t i = 0; i < n; ++i) {
    const TAssistRow& row = in.rows[i];
    const double dh = WrapPi(row.haTrue - row.haMount) * kArcsecPerRad;
    const double dd = (row.decTrue - row.decMount) * kArcsecPerRad;
    w[i] = std::cos(row.decTrue);
    r.before.emplace_back(w[i] * dh, dd);
    r.pier.push_back(row.pier);
    baseH[i] = dh - (row.pier < 0 ? in.hoE : in.hoW);
    baseD[i] = dd - (row.pier < 0 ? in.doE : in.doW);
    Coefficients(in.latitude, row.pier, row.haMount, row.decMount, ch[i], cd[i]);
    for (int k = 0; k < kTermCount; ++k) {
      ch[i][size_t(k)] *= in.step;
      cd[i][size_t(k)] *= in.step;
    }
  }
  // Residuals after each search level: level L holds base minus the terms
  // chosen at the levels above.
  std::vector<std::vector<double>> rh(kTermCount + 1, baseH), rd(kTermCount + 1, baseD);
  std::array<int, kTermCount> cur{};
  double best = 648000;
  bool found = false;
  bool stopped = false;
  const double denom = double(n - 1);
  const int outerFrom = in.from[size_t(kSearchOrder[0])], outerTo = in.to[size_t(kSearchOrder[0])];
  std::function<void(int)> level = [&](int L) {
    if (stopped) return;
    if (L == kTermCount) {
      double sh = 0, sd = 0;
      const std::vector<double>& h = rh[size_t(L)];
      const std::vector<double>& d = rd[size_t(L)];
      for (size_t i = 0; i < n; ++i) {
        const double a = w[i] * h[i];
        sh += a * a;
        sd += d[i] * d[i];
      }
      const double sigma = std::sqrt(sh / denom + sd / denom);
      if (sigma < best) {
        best = sigma;
        r.best = cur;
        found = true;
      }
      return;
    }
    const int term = kSearchOrder[size_t(L)];
    for (int v = in.from[size_t(term)]; v <= in.to[size_t(term)]; ++v) {
      if (cancel && cancel->load(std::memory_order_relaxed)) {
        stopped = true;
        return;
      }
      cur[size_t(term)] = v;
      std::vector<double>& nh = rh[size_t(L + 1)];
      std::vector<double>& nd = rd[size_t(L + 1)];
      const std::vector<double>& ph = rh[size_t(L)];
      const std::vector<double>& pd = rd[size_t(L)];
      for (size_t i = 0; i < n; ++i) {
        nh[i] = ph[i] - ch[i][size_t(term)] * v;
        nd[i] = pd[i] - cd[i][size_t(term)] * v;
      }
      level(L + 1);
      if (L == 0 && progress && outerTo >= outerFrom)
        progress->store(int(100.0 * (v - outerFrom + 1) / (outerTo - outerFrom + 1)));
    }
  };
  level(0);
  if (stopped || !found) return r;
  // The residuals of the best combination.
  r.sigma = best;
  r.maxHa = r.maxDec = 0;
  for (size_t i = 0; i < n; ++i) {
    double h = baseH[i], d = baseD[i];
    for (int k = 0; k < kTermCount; ++k) {
      h -= ch[i][size_t(k)] * r.best[size_t(k)];
      d -= cd[i][size_t(k)] * r.best[size_t(k)];
    }
    r.after.emplace_back(w[i] * h, d);
    r.maxHa = std::max(r.maxHa, std::fabs(w[i] * h));
    r.maxDec = std::max(r.maxDec, std::fabs(d));
  }
  r.done = true;
  return r;
}

// --- The window's model -------------------------------------------------------------

TAssistModel::TAssistModel() {
  for (int k : {kFF, kTF, kDF}) terms[size_t(k)].lower = terms[size_t(k)].upper = 0;
}

bool TAssistModel::ApplyModel(int pier, double ha, double dec, double& dHa, double& dDec) const {
  dHa = dDec = 0;
  std::array<double, kTermCount> t{};
  for (int k = 0; k < kTermCount; ++k) t[size_t(k)] = EditValue(terms[size_t(k)].edit);
  double h = 0, d = 0;
  AssistModelTerms(t, 1.0, latitude, pier, ha, dec, h, d);
  const double ho = EditValue(pier < 0 ? hoE : hoW) / kArcsecPerRad;
  const double dof = EditValue(pier < 0 ? doE : doW) / kArcsecPerRad;
  const double outH = -(h + ho), outD = d + dof;
  if (!std::isfinite(outH) || !std::isfinite(outD)) return false;
  dHa = outH;
  dDec = outD;
  return true;
}

int TAssistModel::RowCount() const {
  int n = 0;
  while (n < kAssistRows && !TrimBlanks(grid[size_t(n)][0]).empty()) ++n;
  return n;
}

bool TAssistModel::AddRow(double lstRad, double mountRa, double mountDec, double trueRa, double trueDec, char pier) {
  const int n = RowCount();
  if (n >= kAssistRows) return false;
  auto& row = grid[size_t(n)];
  row[0] = FormatRA_HMS(lstRad - mountRa);
  row[1] = FormatDMS(mountDec);
  row[2] = FormatRA_HMS(lstRad - trueRa);
  row[3] = FormatDMS(trueDec);
  row[4] = std::string(1, pier);
  return true;
}

void TAssistModel::ConvertToHourAngles() {
  double l = 0;
  try {
    l = ParseHours(lst);
  } catch (const EConvertError&) {
    return;
  }
  for (auto& row : grid) {
    for (int c : {0, 2}) {
      if (TrimBlanks(row[size_t(c)]).empty()) continue;
      try {
        row[size_t(c)] = FormatRA_HMS(l - ParseHours(row[size_t(c)]));
      } catch (const EConvertError&) {
      }
    }
  }
  lst = "00:00:00";
}

void TAssistModel::ClearAll() {
  for (auto& row : grid) row = {};
}

void TAssistModel::ClearLast() {
  const int n = RowCount();
  if (n > 0) grid[size_t(n - 1)] = {};
}

void TAssistModel::CloseGaps() {
  std::vector<std::array<std::string, 5>> filled;
  for (const auto& row : grid)
    if (!TrimBlanks(row[0]).empty()) filled.push_back(row);
  ClearAll();
  for (size_t i = 0; i < filled.size(); ++i) grid[i] = filled[i];
}

bool TAssistModel::PrepareFit(TAssistFitInput& in, std::string& error) const {
  in = TAssistFitInput{};
  in.latitude = latitude;
  in.step = fine ? 2.0 : 60.0;
  double l = 0;
  try {
    l = ParseHours(lst);
  } catch (const EConvertError&) {
    error = "The sidereal time \"" + lst + "\" is not a time.";
    return false;
  }
  const bool hourAngles = std::fabs(l) < 0.00001;
  const int n = RowCount();
  for (int i = 0; i < n; ++i) {
    const auto& c = grid[size_t(i)];
    TAssistRow row{};
    try {
      double hm = ParseHours(c[0]), ht = ParseHours(c[2]);
      if (!hourAngles) {
        hm = l - hm;
        ht = l - ht;
      }
      row.haMount = WrapPi(hm);
      row.haTrue = WrapPi(ht);
      row.decMount = ParseDegrees(c[1]);
      row.decTrue = ParseDegrees(c[3]);
    } catch (const EConvertError&) {
      error = "Row " + std::to_string(i + 1) + " does not hold a position.";
      return false;
    }
    row.pier = TrimBlanks(c[4]) == "E" ? -1 : 1;
    in.rows.push_back(row);
  }
  if (in.rows.size() < 2) {
    error = "The model needs at least two rows of measurements.";
    return false;
  }
  for (int k = 0; k < kTermCount; ++k) {
    const auto& t = terms[size_t(k)];
    const double c = std::nearbyint(EditValue(t.edit) / in.step);
    in.from[size_t(k)] = int(c) + std::clamp(t.lower, -10, 0);
    in.to[size_t(k)] = int(c) + std::clamp(t.upper, 0, 10);
  }
  in.hoE = EditValue(hoE);
  in.doE = EditValue(doE);
  in.hoW = EditValue(hoW);
  in.doW = EditValue(doW);
  return true;
}

void TAssistModel::TakeFit(const TAssistFitInput& in, const TAssistFitResult& r) {
  if (!r.done) return;
  for (int k = 0; k < kTermCount; ++k)
    terms[size_t(k)].edit = std::to_string(int(std::nearbyint(r.best[size_t(k)] * in.step)));
  memo = "sd = " + platform::FormatFixed(r.sigma / 60.0, 0, 2) + "'\r\n" + "Largest delta ha = " +
         platform::FormatFixed(r.maxHa / 60.0, 0, 2) + "'\r\n" + "Largest delta dec = " +
         platform::FormatFixed(r.maxDec / 60.0, 0, 2) + "'";
  last = r;
}

// --- Text file ------------------------------------------------------------------------

std::string TAssistModel::SaveText() const {
  std::string out;
  for (int k : kFileOrder) {
    const auto& t = terms[size_t(k)];
    out += std::string(kTermKeys[k]) + "," + std::to_string(t.lower) + "," + t.edit + "," +
           std::to_string(t.upper) + "\r\n";
  }
  out += "hOe," + hoE + "\r\n" + "dOe," + doE + "\r\n" + "hOw," + hoW + "\r\n" + "dOw," + doW + "\r\n";
  for (int i = 0; i < kAssistRows; ++i) {
    out += "r" + std::to_string(i + 1);
    for (const auto& cell : grid[size_t(i)]) out += "," + cell;
    out += "\r\n";
  }
  return out;
}

void TAssistModel::LoadText(const std::string& text) {
  std::istringstream in(text);
  std::string line;
  while (std::getline(in, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    // Up to six fields; the sixth keeps any further commas.
    std::vector<std::string> f;
    size_t pos = 0;
    while (f.size() < 5) {
      const size_t c = line.find(',', pos);
      if (c == std::string::npos) break;
      f.push_back(line.substr(pos, c - pos));
      pos = c + 1;
    }
    f.push_back(line.substr(pos));
    auto field = [&](size_t i) { return i < f.size() ? f[i] : std::string(); };
    const std::string key = f[0];
    bool done = false;
    for (int k = 0; k < kTermCount && !done; ++k) {
      if (key != kTermKeys[k]) continue;
      int64_t lo = 0, hi = 0;
      auto& t = terms[size_t(k)];
      if (platform::ParseInt(field(1), lo)) t.lower = int(std::clamp<int64_t>(lo, -10, 0));
      t.edit = field(2);
      if (platform::ParseInt(field(3), hi)) t.upper = int(std::clamp<int64_t>(hi, 0, 10));
      done = true;
    }
    if (done) continue;
    if (key == "hOe") hoE = field(1);
    else if (key == "dOe") doE = field(1);
    else if (key == "hOw") hoW = field(1);
    else if (key == "dOw") doW = field(1);
    else if (key.size() >= 2 && key[0] == 'r') {
      int64_t row = 0;
      // Rows outside 1..40 are ignored.
      if (platform::ParseInt(key.substr(1), row) && row >= 1 && row <= kAssistRows)
        for (size_t c = 0; c < 5; ++c) grid[size_t(row - 1)][c] = field(c + 1);
    }
  }
}

// --- Settings ---------------------------------------------------------------------------

void TAssistModel::LoadSettings() {
  platform::TRegIniFile reg;
  const char* s = "ASSIST";
  lst = reg.ReadString(s, "lst", "00:00:00");
  if (!IsSiderealTime(lst)) lst = "00:00:00";
  for (int k = 0; k < kTermCount; ++k) {
    auto& t = terms[size_t(k)];
    const std::string key = kTermKeys[k];
    const int defLo = (k == kFF || k == kTF || k == kDF) ? 0 : -5;
    const int defHi = (k == kFF || k == kTF || k == kDF) ? 0 : 5;
    t.lower = std::clamp(reg.ReadInteger(s, key + "_m", defLo), -10, 0);
    t.edit = reg.ReadNumberText(s, key + "_e", "0", -kMaxAssistArcsec, kMaxAssistArcsec);
    t.upper = std::clamp(reg.ReadInteger(s, key + "_p", defHi), 0, 10);
  }
  hoE = reg.ReadNumberText(s, "hO_e", "0", -kMaxAssistArcsec, kMaxAssistArcsec);
  doE = reg.ReadNumberText(s, "dO_e", "0", -kMaxAssistArcsec, kMaxAssistArcsec);
  hoW = reg.ReadNumberText(s, "hO_w", "0", -kMaxAssistArcsec, kMaxAssistArcsec);
  doW = reg.ReadNumberText(s, "dO_w", "0", -kMaxAssistArcsec, kMaxAssistArcsec);
  // The camera field is drawn from these: more than 0 mm.
  constexpr double kThinnest = 1e-6;
  mmX = reg.ReadNumberText(s, "ccd_mmX", "22", kThinnest, kMaxAssistFieldMm);
  mmY = reg.ReadNumberText(s, "ccd_mmY", "16", kThinnest, kMaxAssistFieldMm);
  for (int c = 0; c < 5; ++c)
    for (int r = 1; r <= kAssistRows; ++r)
      grid[size_t(r - 1)][size_t(c)] = reg.ReadString(s, "Data" + std::to_string(c) + std::to_string(r), "");
}

void TAssistModel::SaveSettings() const {
  platform::TRegIniFile reg;
  const char* s = "ASSIST";
  reg.WriteString(s, "lst", lst);
  for (int k = 0; k < kTermCount; ++k) {
    const auto& t = terms[size_t(k)];
    const std::string key = kTermKeys[k];
    reg.WriteInteger(s, key + "_m", t.lower);
    reg.WriteString(s, key + "_e", t.edit);
    reg.WriteInteger(s, key + "_p", t.upper);
  }
  reg.WriteString(s, "hO_e", hoE);
  reg.WriteString(s, "dO_e", doE);
  reg.WriteString(s, "hO_w", hoW);
  reg.WriteString(s, "dO_w", doW);
  reg.WriteString(s, "ccd_mmX", mmX);
  reg.WriteString(s, "ccd_mmY", mmY);
  for (int c = 0; c < 5; ++c)
    for (int r = 1; r <= kAssistRows; ++r)
      reg.WriteString(s, "Data" + std::to_string(c) + std::to_string(r), grid[size_t(r - 1)][size_t(c)]);
}

// --- Worker ------------------------------------------------------------------------------

TAssistFitJob::~TAssistFitJob() {
  cancel_ = true;
  if (thread_.joinable()) thread_.join();
}

void TAssistFitJob::Start(TAssistFitInput in) {
  if (thread_.joinable()) {
    cancel_ = true;
    thread_.join();
  }
  in_ = std::move(in);
  cancel_ = false;
  done_ = false;
  progress_ = 0;
  thread_ = std::thread([this] {
    result_ = FitAssistModel(in_, &cancel_, &progress_);
    done_ = true;
  });
}

TAssistFitResult TAssistFitJob::Take() {
  if (thread_.joinable()) thread_.join();
  return result_;
}
