#include "catalog/star_options.h"

#include <algorithm>
#include <cmath>

#include "catalog/hooks.h"
#include "catalog/stars.h"
#include "platform/codec.h"
#include "platform/registry.h"
#include "platform/float_to_int.h"
#include "platform/value_range.h"

TStarOptions StarOptions;

namespace {

constexpr const char* kSection = "Stars";

}  // namespace

std::array<uint8_t, kStarOptionsBytes> EncodeStarOptions(const TStarOptions& o) {
  std::array<uint8_t, kStarOptionsBytes> b{};
  uint8_t* p = b.data();
  platform::PutF64(p + 0, o.HighMagLimit);
  platform::PutF64(p + 8, o.LowMagLimit);
  p[16] = o.VariableMode;
  for (int i = 0; i < 21; ++i) p[17 + i] = o.SpectralClasses[i];
  for (int i = 0; i < 5; ++i) p[38 + i] = o.LuminosityClasses[i];
  platform::PutF64(p + 43, o.LowProperLimit);
  platform::PutF64(p + 51, o.HighProperLimit);
  p[59] = o.DrawingMode;
  p[60] = o.ColorBySpectrum;
  platform::PutI16(p + 61, o.SizeAdjust);
  p[63] = o.AutoFaintLimit;
  p[64] = o.ShowNames;
  p[65] = o.ShowGreek;
  return b;
}

bool DecodeStarOptions(const uint8_t* p, std::size_t size, TStarOptions& out) {
  if (!p || size != kStarOptionsBytes) return false;
  TStarOptions o;
  o.HighMagLimit = platform::GetF64(p + 0);
  o.LowMagLimit = platform::GetF64(p + 8);
  o.VariableMode = p[16];
  for (int i = 0; i < 21; ++i) o.SpectralClasses[i] = p[17 + i];
  for (int i = 0; i < 5; ++i) o.LuminosityClasses[i] = p[38 + i];
  o.LowProperLimit = platform::GetF64(p + 43);
  o.HighProperLimit = platform::GetF64(p + 51);
  o.DrawingMode = p[59];
  o.ColorBySpectrum = p[60];
  o.SizeAdjust = platform::GetI16(p + 61);
  o.AutoFaintLimit = p[63];
  o.ShowNames = p[64];
  o.ShowGreek = p[65];
  auto magnitude = [](double m) { return platform::InRange(m, kStarMagTenthsMin / 10.0, kStarMagTenthsMax / 10.0); };
  auto proper = [](double mu) {
    return platform::InRange(mu, kStarProperHundredthsMin / 100.0, kStarProperHundredthsMax / 100.0);
  };
  auto switches = [](const uint8_t* b, int n) { return std::all_of(b, b + n, [](uint8_t v) { return v <= 1; }); };
  if (!magnitude(o.HighMagLimit) || !magnitude(o.LowMagLimit) || !proper(o.LowProperLimit) ||
      !proper(o.HighProperLimit) || o.VariableMode > 3 || !switches(o.SpectralClasses, 21) ||
      !switches(o.LuminosityClasses, 5) || (o.DrawingMode != 0 && o.DrawingMode != 2) ||
      !platform::InRange<int32_t>(o.SizeAdjust, kStarSizeAdjustMin, kStarSizeAdjustMax) ||
      !switches(p + 60, 1) || !switches(p + 63, 3))
    return false;
  out = o;
  return true;
}

TStarOptions RegistryDefaultStarOptions() {
  TStarOptions o;
  o.HighMagLimit = 6.5;
  o.LowMagLimit = -1.5;
  o.VariableMode = 2;
  for (uint8_t& s : o.SpectralClasses) s = 1;
  for (uint8_t& l : o.LuminosityClasses) l = 1;
  o.LowProperLimit = 0.0;
  o.HighProperLimit = 11.0;
  o.DrawingMode = 0;
  o.ColorBySpectrum = 1;
  o.SizeAdjust = 0;
  o.AutoFaintLimit = 1;
  o.ShowNames = 0;
  o.ShowGreek = 1;
  return o;
}

void ReadRegStars() {
  platform::TRegIniFile reg;
  TStarOptions& o = StarOptions;
  o.HighMagLimit = reg.ReadInteger(kSection, "high mag limit", 65, kStarMagTenthsMin, kStarMagTenthsMax) / 10.0;
  o.LowMagLimit = reg.ReadInteger(kSection, "low mag limit", -15, kStarMagTenthsMin, kStarMagTenthsMax) / 10.0;
  const int32_t mode = reg.ReadInteger(kSection, "variable star mode", 3);
  if (mode >= 1 && mode <= 4) o.VariableMode = uint8_t(mode - 1);
  // The first switch (O0-4) is bit 20, the last (WN) bit 0.
  const int32_t spectral = reg.ReadInteger(kSection, "spectral classes", 268435455, 0, 268435455);
  for (int i = 0; i < 21; ++i) o.SpectralClasses[i] = (spectral >> (20 - i)) & 1;
  const int32_t luminosity = reg.ReadInteger(kSection, "luminosity classes", 255, 0, 255);
  for (int i = 0; i < 5; ++i) o.LuminosityClasses[i] = (luminosity >> i) & 1;
  o.LowProperLimit =
      reg.ReadInteger(kSection, "low proper limit", 0, kStarProperHundredthsMin, kStarProperHundredthsMax) / 100.0;
  o.HighProperLimit =
      reg.ReadInteger(kSection, "high proper limit", 1100, kStarProperHundredthsMin, kStarProperHundredthsMax) / 100.0;
  o.DrawingMode = reg.ReadInteger(kSection, "brightness by magnitude", 1, 0, 1) == 1 ? 0 : 2;
  o.SizeAdjust = int16_t(reg.ReadInteger(kSection, "size adjust", 0, kStarSizeAdjustMin, kStarSizeAdjustMax));
  const int32_t misc = reg.ReadInteger(kSection, "misc settings", 11, 0, 15);
  o.AutoFaintLimit = misc & 1;
  o.ColorBySpectrum = (misc >> 1) & 1;
  o.ShowNames = (misc >> 2) & 1;
  o.ShowGreek = (misc >> 3) & 1;
  CallHook(CatalogHooks().applyStarAppearance, StarOptions);
}

void WriteRegStars(const TStarOptions& o) {
  platform::TRegIniFile reg;
  reg.WriteInteger(kSection, "high mag limit", platform::ClampFloatToInt<int32_t>(std::nearbyint(o.HighMagLimit * 10)));
  reg.WriteInteger(kSection, "low mag limit", platform::ClampFloatToInt<int32_t>(std::nearbyint(o.LowMagLimit * 10)));
  reg.WriteInteger(kSection, "variable star mode", o.VariableMode + 1);
  int32_t spectral = 0;
  for (int i = 0; i < 21; ++i)
    if (o.SpectralClasses[i]) spectral |= 1 << (20 - i);
  reg.WriteInteger(kSection, "spectral classes", spectral);
  int32_t luminosity = 0;
  for (int i = 0; i < 5; ++i)
    if (o.LuminosityClasses[i]) luminosity |= 1 << i;
  reg.WriteInteger(kSection, "luminosity classes", luminosity);
  reg.WriteInteger(kSection, "low proper limit", platform::ClampFloatToInt<int32_t>(std::nearbyint(o.LowProperLimit * 100)));
  reg.WriteInteger(kSection, "high proper limit", platform::ClampFloatToInt<int32_t>(std::nearbyint(o.HighProperLimit * 100)));
  reg.WriteInteger(kSection, "brightness by magnitude", o.DrawingMode == 0 ? 1 : 0);
  reg.WriteInteger(kSection, "size adjust", o.SizeAdjust);
  reg.WriteInteger(kSection, "misc settings",
                   (o.AutoFaintLimit ? 1 : 0) | (o.ColorBySpectrum ? 2 : 0) | (o.ShowNames ? 4 : 0) |
                       (o.ShowGreek ? 8 : 0));
}

std::vector<uint8_t> StarOptionsBlock() {
  const auto b = EncodeStarOptions(StarOptions);
  return std::vector<uint8_t>(b.begin(), b.end());
}

bool ApplyStarOptionsBlock(const std::vector<uint8_t>* block) {
  bool ok = true;
  if (block) {
    TStarOptions o;
    ok = DecodeStarOptions(block->data(), block->size(), o);
    if (ok) {
      StarOptions = o;
      // The file's star look is drawn too, not only its filter.
      CallHook(CatalogHooks().applyStarAppearance, StarOptions);
      LoadStarCatalogs();
    }
  }
  CallHook(CatalogHooks().requestReplot);
  return ok;
}
