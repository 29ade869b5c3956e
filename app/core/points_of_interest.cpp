#include "app/core/points_of_interest.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "astro/text.h"
#include "astro/timescales.h"
#include "astro/trig.h"
#include "platform/codec.h"
#include "shell/settings_sections.h"

std::array<TPointOfInterest, kMaxPointsOfInterest + 1> POITable;
int32_t POICount = 0;
int32_t CurrentPOI = 0;

namespace {

TPOIHooks g_hooks;

template <class F, class... A>
void Call(const F& f, A&&... args) {
  if (f) f(std::forward<A>(args)...);
}

int32_t StoredMode(int32_t mode) {
  if (mode == kAutomaticFieldMode && g_hooks.automaticFieldMode) return g_hooks.automaticFieldMode();
  return mode;
}

void EncodeRecord(const TPointOfInterest& p, uint8_t* out) {
  platform::PutF64(out, p.RA);
  platform::PutF64(out + 8, p.Dec);
  platform::PutI32(out + 16, p.Mode);
  platform::PutShortString(out + 20, p.Name);
  out[276] = p.Goto;
  platform::PutShortString(out + 277, p.Plan);
  out[533] = p.Confirm;
}

TPointOfInterest DecodeRecord(const uint8_t* in) {
  TPointOfInterest p;
  p.RA = platform::GetF64(in);
  p.Dec = platform::GetF64(in + 8);
  p.Mode = platform::GetI32(in + 16);
  p.Name = platform::GetShortString(in + 20);
  p.Goto = in[276];
  p.Plan = platform::GetShortString(in + 277);
  p.Confirm = in[533];
  return p;
}

bool SoundRecord(const TPointOfInterest& p) {
  return std::isfinite(p.RA) && p.RA >= 0 && p.RA <= TwoPi && std::isfinite(p.Dec) &&
         std::fabs(p.Dec) <= TwoPi / 4 + 1e-9 && p.Goto <= 1 && p.Confirm <= 1 && ValidFieldOfViewMode(p.Mode);
}

}  // namespace

void SetPOIHooks(TPOIHooks hooks) { g_hooks = std::move(hooks); }
const TPOIHooks& POIHooks() { return g_hooks; }

bool ValidFieldOfViewMode(int32_t mode) {
  if (mode >= 0 && mode <= 9) return true;
  const int32_t tele = mode % 10000, eyepiece = mode / 10000;
  return mode > 0 && tele % 100 == 0 && tele >= 100 && tele <= 1000 && eyepiece <= 10;
}

bool AddPointOfInterest(int32_t mode, const std::string& name, bool gotoFlag, bool confirm,
                        const std::string& plan, double ra, double dec) {
  if (POICount >= kMaxPointsOfInterest) return false;
  const int32_t index = POICount + 1;
  TPointOfInterest& p = POITable[index];
  p.RA = ra;
  p.Dec = dec;
  p.Mode = StoredMode(mode);
  p.Name = platform::CutToChars(name.empty() ? "Object" + std::to_string(index) : name, 255);
  p.Goto = gotoFlag ? 1 : 0;
  p.Plan = platform::CutToChars(plan, 255);
  p.Confirm = confirm ? 1 : 0;
  POICount = index;
  Call(g_hooks.showMenuSlot, std::min<int>(index, 10));
  Call(g_hooks.refreshGrid);
  return true;
}

bool SetPointOfInterest(int32_t index, int32_t mode, double ra, double dec) {
  if (index < 0 || index > POICount) return false;
  POITable[index].RA = ra;
  POITable[index].Dec = dec;
  POITable[index].Mode = index > 0 ? StoredMode(mode) : mode;
  return true;
}

bool GetPointOfInterest(int32_t index, double& ra, double& dec, int32_t& mode) {
  if (index < 0 || index > POICount) return false;
  ra = POITable[index].RA;
  dec = POITable[index].Dec;
  mode = POITable[index].Mode;
  return true;
}

bool DeletePointOfInterest(int32_t index) {
  bool done = false;
  if (index >= 1 && index <= POICount) {
    for (int32_t i = index; i < POICount; ++i) POITable[i] = POITable[i + 1];
    POITable[POICount] = TPointOfInterest{};
    if (POICount <= 10) Call(g_hooks.hideMenuSlot, POICount);
    POICount = std::max(POICount - 1, 0);
    done = true;
  }
  Call(g_hooks.refreshGrid);
  return done;
}

void ClearPointsOfInterest() {
  POICount = 0;
  for (int n = 1; n <= 10; ++n) Call(g_hooks.hideMenuSlot, n);
  Call(g_hooks.refreshGrid);
}

bool MovePointOfInterest(int32_t r, bool up) {
  const int32_t other = up ? r - 1 : r + 1;
  if (r < 1 || r > POICount || other < 1 || other > POICount) return false;
  std::swap(POITable[r], POITable[other]);
  Call(g_hooks.refreshGrid);
  return true;
}

std::vector<uint8_t> PointsOfInterestBlock() {
  std::vector<uint8_t> block(kPOISectionBytes, 0);
  platform::PutI32(block.data(), POICount);
  for (int i = 0; i <= kMaxPointsOfInterest; ++i) EncodeRecord(POITable[i], block.data() + 4 + i * kPOIRecordBytes);
  return block;
}

bool ApplyPointsOfInterestBlock(const std::vector<uint8_t>* block) {
  if (!block) return true;
  if (block->size() != kPOISectionBytes) return false;
  const int32_t count = platform::GetI32(block->data());
  if (count < 0 || count > kMaxPointsOfInterest) return false;
  std::array<TPointOfInterest, kMaxPointsOfInterest + 1> table;
  for (int i = 0; i <= kMaxPointsOfInterest; ++i) {
    table[i] = DecodeRecord(block->data() + 4 + i * kPOIRecordBytes);
    if (i <= count && !SoundRecord(table[i])) return false;
  }
  POITable = std::move(table);
  POICount = count;
  for (int n = 0; n <= std::min(count, 10); ++n) Call(g_hooks.showMenuSlot, n);
  for (int n = count + 1; n <= 10; ++n) Call(g_hooks.hideMenuSlot, n);
  Call(g_hooks.listLoaded);
  Call(g_hooks.refreshGrid);
  return true;
}

void RegisterPointsOfInterestSection() {
  RegisterSettingsSection(kPOISettingsSlot,
                          {kPOISectionBytes, [] { return PointsOfInterestBlock(); },
                           [](const std::vector<uint8_t>* b) { return ApplyPointsOfInterestBlock(b); }});
}

std::string NormaliseYesNo(const std::string& cell) {
  std::string t = cell;
  std::transform(t.begin(), t.end(), t.begin(), [](unsigned char c) { return char(std::tolower(c)); });
  return (t == "y" || t == "yes" || t == "t" || t == "true") ? "Yes" : "No";
}

std::vector<std::string> POIPickListLines(int32_t count) {
  std::vector<std::string> lines;
  for (int32_t i = 1; i <= count; ++i) lines.push_back(("Location " + std::to_string(i)).substr(0, 20));
  return lines;
}

std::array<std::string, 7> POIGridRow(int32_t index) {
  if (index < 1 || index > POICount) return {};
  const TPointOfInterest& p = POITable[index];
  return {std::to_string(index), p.Name, FormatRA_HMSs(p.RA), FormatDMS(p.Dec), p.Goto ? "Yes" : "No",
          p.Plan, p.Confirm ? "Yes" : "No"};
}

void ReadPOIGridRow(int32_t index, const std::array<std::string, 7>& cells) {
  if (index < 1 || index > POICount) return;
  TPointOfInterest& p = POITable[index];
  p.Name = platform::CutToChars(cells[1], 255);
  try {
    const double ra = ParseHours(cells[2]);
    if (std::isfinite(ra)) {
      p.RA = ra;
      ReduceRadians(p.RA);
    }
  } catch (...) {
  }
  try {
    const double dec = ParseDegrees(cells[3]);
    if (std::isfinite(dec) && std::fabs(dec) <= TwoPi / 4) p.Dec = dec;
  } catch (...) {
  }
  p.Goto = NormaliseYesNo(cells[4]) == "Yes";
  p.Plan = platform::CutToChars(cells[5], 255);
  p.Confirm = NormaliseYesNo(cells[6]) == "Yes";
}
