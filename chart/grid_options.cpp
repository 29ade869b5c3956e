#include "chart/grid_options.h"

#include "chart/plotter.h"
#include "platform/codec.h"
#include "platform/registry.h"
#include "shell/messages.h"

std::function<void(bool)> SetCentreOnHorizonMenuCheck;

namespace {

constexpr const char* kSection = "Coordinate grid";

void MenuCheck(bool on) {
  if (SetCentreOnHorizonMenuCheck) SetCentreOnHorizonMenuCheck(on);
}

}  // namespace

TGridBlock GridBlockOf(const tPlotter& p) {
  TGridBlock b;
  b.ShowGrid = p.ShowGrid;
  b.CentreOnHorizon = p.CentreOnHorizon;
  b.GridKind = p.GridKind;
  b.GridLabels = p.GridLabels;
  b.GridDirections = p.ShowCompass;
  b.GridAutoResolution = p.GridAutoSpacing;
  b.GridResolution = p.GridSpacingLevel;
  return b;
}

void SetGridBlock(tPlotter& p, const TGridBlock& b) {
  p.ShowGrid = b.ShowGrid;
  p.CentreOnHorizon = b.CentreOnHorizon;
  p.GridKind = b.GridKind;
  p.GridLabels = b.GridLabels;
  p.ShowCompass = b.GridDirections;
  p.GridAutoSpacing = b.GridAutoResolution;
  p.GridSpacingLevel = b.GridResolution;
}

std::array<uint8_t, kGridBlockBytes> EncodeGridBlock(const TGridBlock& b) {
  std::array<uint8_t, kGridBlockBytes> out{};
  out[0] = b.ShowGrid;
  out[1] = b.CentreOnHorizon;
  out[2] = b.GridKind;
  out[3] = b.GridLabels;
  out[4] = b.GridDirections;
  out[5] = b.GridAutoResolution;
  platform::PutI32(&out[6], b.GridResolution);
  return out;
}

bool DecodeGridBlock(const uint8_t* data, std::size_t size, TGridBlock& b) {
  if (!data || size != kGridBlockBytes) return false;
  for (int i = 0; i < 6; ++i)
    if (data[i] > 1) return false;
  const int32_t resolution = platform::GetI32(data + 6);
  if (resolution < 0 || resolution > 2) return false;
  b = {data[0], data[1], data[2], data[3], data[4], data[5], resolution};
  return true;
}

void ResetGridDefaults() {
  if (MainPlotter) SetGridBlock(*MainPlotter, TGridBlock{});
  MenuCheck(true);
}

void ReadRegCoordinateGrid() {
  if (!MainPlotter) return;
  platform::TRegIniFile reg;
  TGridBlock b = GridBlockOf(*MainPlotter);
  b.ShowGrid = reg.ReadBool(kSection, "enabled", true);
  b.CentreOnHorizon = reg.ReadBool(kSection, "center on horizon", true);
  b.GridKind = reg.ReadBool(kSection, "equatorial", b.GridKind == 0) ? 0 : 1;
  b.GridLabels = reg.ReadBool(kSection, "label", false);
  b.GridDirections = reg.ReadBool(kSection, "directions", true);
  b.GridAutoResolution = reg.ReadBool(kSection, "auto resolution", true);
  if (!b.GridAutoResolution) {
    b.GridResolution = reg.ReadInteger(kSection, "resolution", 1, 0, 2);
  }
  SetGridBlock(*MainPlotter, b);
  MenuCheck(b.CentreOnHorizon != 0);
}

void WriteRegCoordinateGrid(const TGridBlock& b) {
  platform::TRegIniFile reg;
  reg.WriteBool(kSection, "enabled", b.ShowGrid != 0);
  reg.WriteBool(kSection, "center on horizon", b.CentreOnHorizon != 0);
  reg.WriteBool(kSection, "equatorial", b.GridKind == 0);
  reg.WriteBool(kSection, "label", b.GridLabels != 0);
  reg.WriteBool(kSection, "directions", b.GridDirections != 0);
  reg.WriteBool(kSection, "auto resolution", b.GridAutoResolution != 0);
  if (!b.GridAutoResolution) reg.WriteInteger(kSection, "resolution", b.GridResolution);
  reg.Flush();
  ShowFlashMessage("Coordinate grid defaults saved.", 2);
}

std::vector<uint8_t> GridOptionsBlock() {
  const auto b = EncodeGridBlock(MainPlotter ? GridBlockOf(*MainPlotter) : TGridBlock{});
  return std::vector<uint8_t>(b.begin(), b.end());
}

bool ApplyGridOptionsBlock(const std::vector<uint8_t>* block) {
  bool ok = true;
  if (block && MainPlotter) {
    TGridBlock b;
    ok = DecodeGridBlock(block->data(), block->size(), b);
    if (ok) {
      SetGridBlock(*MainPlotter, b);
      MenuCheck(b.CentreOnHorizon != 0);
    } else {
      ResetGridDefaults();  // a damaged block gives the defaults
    }
  }
  if (MainPlotter) MainPlotter->Replot = 1;
  return ok;
}

std::string GridSpacingCaption(bool equatorial, int resolution) {
  if (equatorial) {
    if (resolution <= 0) return "Grid spacing: Ra=1 hour, Dec=10\u00B0";
    if (resolution == 1) return "Grid spacing: Ra=30', Dec=5\u00B0";
    return "Grid spacing: Ra=15', Dec=2\u00B0 30'";
  }
  // The horizon grid draws 7.5 degrees at both finer resolutions.
  if (resolution <= 0) return "Grid spacing: Azm=15\u00B0, Alt=15\u00B0";
  return "Grid spacing: Azm=7.5\u00B0, Alt=7.5\u00B0";
}
