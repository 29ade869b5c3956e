#include "chart/constellation_options.h"

#include <cstring>
#include <memory>
#include <string>

#include "chart/grid_options.h"
#include "chart/plotter.h"
#include "platform/registry.h"
#include "shell/messages.h"
#include "shell/settings_sections.h"

namespace {

constexpr const char* kSection = "Constellation";

int Mode(const uint8_t selection[kConstellationSlots]) {
  int on = 0;
  for (int i = 1; i < kConstellationSlots; ++i) on += selection[i] == 1;
  return on == 0 ? 0 : on == kConstellationSlots - 1 ? 2 : 1;
}

void Expand(uint8_t mode, uint8_t selection[kConstellationSlots]) {
  if (mode == 0 || mode == 2)
    for (int i = 1; i < kConstellationSlots; ++i) selection[i] = mode == 2;
}

}  // namespace

void DeriveConstellationModes(tPlotter& p) {
  p.ConstellationLines = uint8_t(Mode(p.LineSelection));
  p.ConstellationBoundaries = uint8_t(Mode(p.NameSelection));
}

void ExpandConstellationModes(tPlotter& p) {
  Expand(p.ConstellationLines, p.LineSelection);
  Expand(p.ConstellationBoundaries, p.NameSelection);
}

std::array<uint8_t, kConstellationBlockBytes> EncodeConstellationBlock(const tPlotter& p) {
  std::array<uint8_t, kConstellationBlockBytes> out{};
  out[0] = p.ConstellationNames;
  out[1] = p.ConstellationLines;
  out[2] = p.ConstellationBoundaries;
  std::memcpy(&out[3], p.LineSelection, kConstellationSlots);
  std::memcpy(&out[3 + kConstellationSlots], p.NameSelection, kConstellationSlots);
  return out;
}

bool DecodeConstellationBlock(const uint8_t* data, std::size_t size, tPlotter& p) {
  if (!data || size != kConstellationBlockBytes) return false;
  for (int i = 0; i < 3; ++i)
    if (data[i] > 2) return false;
  for (std::size_t i = 3; i < kConstellationBlockBytes; ++i)
    if (data[i] > 1) return false;
  p.ConstellationNames = data[0];
  p.ConstellationLines = data[1];
  p.ConstellationBoundaries = data[2];
  std::memcpy(p.LineSelection, data + 3, kConstellationSlots);
  std::memcpy(p.NameSelection, data + 3 + kConstellationSlots, kConstellationSlots);
  return true;
}

void ResetConstellationDefaults() {
  if (!MainPlotter) return;
  tPlotter& p = *MainPlotter;
  for (int i = 1; i < kConstellationSlots; ++i) p.LineSelection[i] = p.NameSelection[i] = 1;
  DeriveConstellationModes(p);
  p.ConstellationNames = 0;
}

void ReadRegConstellation() {
  if (!MainPlotter) return;
  tPlotter& p = *MainPlotter;
  platform::TRegIniFile reg;
  for (int k = 0; k < kConstellationSlots - 1; ++k) {
    // 1 for lines plus 10 for boundaries; anything above 11 is no such pair.
    const int32_t v = reg.ReadInteger(kSection, "lb" + std::to_string(k), 11, 0, 11);
    p.LineSelection[k + 1] = (v & 1) != 0;
    p.NameSelection[k + 1] = (v & 10) != 0;  // bitwise with ten, as stored
  }
  DeriveConstellationModes(p);
  const uint8_t mode = uint8_t(reg.ReadInteger(kSection, "name mode", 0));
  p.ConstellationNames = (mode == 1 || mode == 2) ? mode : 0;
}

void WriteRegConstellation(const uint8_t lines[89], const uint8_t bounds[89], int nameMode) {
  platform::TRegIniFile reg;
  for (int k = 0; k < kConstellationSlots - 1; ++k)
    reg.WriteInteger(kSection, "lb" + std::to_string(k), (lines[k + 1] ? 1 : 0) + (bounds[k + 1] ? 10 : 0));
  reg.WriteInteger(kSection, "name mode", nameMode >= 0 && nameMode <= 2 ? nameMode : 0);
  reg.Flush();
  ShowFlashMessage("Constellation default settings saved.", 2);
}

std::vector<uint8_t> ConstellationOptionsBlock() {
  if (!MainPlotter) {
    const auto defaults = std::make_unique<tPlotter>();
    const auto b = EncodeConstellationBlock(*defaults);
    return std::vector<uint8_t>(b.begin(), b.end());
  }
  const auto b = EncodeConstellationBlock(*MainPlotter);
  return std::vector<uint8_t>(b.begin(), b.end());
}

bool ApplyConstellationOptionsBlock(const std::vector<uint8_t>* block) {
  bool ok = true;
  if (block && MainPlotter) {
    ok = DecodeConstellationBlock(block->data(), block->size(), *MainPlotter);
    if (!ok) ResetConstellationDefaults();  // a damaged block gives the defaults
  }
  if (MainPlotter) MainPlotter->Replot = 1;
  return ok;
}

void RegisterChartSettingsOwners() {
  RegisterSettingsSection(kConstellationSlot,
                          {kConstellationBlockBytes, ConstellationOptionsBlock, ApplyConstellationOptionsBlock});
  RegisterSettingsSection(kGridSlot, {kGridBlockBytes, GridOptionsBlock, ApplyGridOptionsBlock});
}
