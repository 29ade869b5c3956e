// Fuzz target: a binary settings file (".ssf") through the shell's
// directory checks, with every slot owned by a reader that decodes its
// block: each owner's own decoder, applied to a record of this target (or,
// where the owner keeps no record of its own, to the process's one).
#include <cstddef>
#include <cstdint>
#include <string>

#include "shell/settings_file.h"

#include "app/core/points_of_interest.h"
#include "astro/observer.h"
#include "catalog/object_options.h"
#include "catalog/solar_system_options.h"
#include "catalog/star_options.h"
#include "chart/constellation_options.h"
#include "chart/grid_options.h"
#include "chart/magnifier_settings.h"
#include "chart/plotter.h"
#include "shell/settings_sections.h"
#include "tests/fuzz/fuzz_support.h"
#include "tools/atmospheric.h"
#include "tools/clock_time.h"
#include "tools/location.h"

namespace {

// The decoder of each owner's block (slots 1..11).
bool DecodeSlot(int slot, const std::vector<uint8_t>& b) {
  static tPlotter plotter;
  static THorizonArray horizon;
  static TObserverTime observer = [] {
    TObserverTime o;
    InitObserver(o);
    return o;
  }();
  switch (slot) {
    case 1: {
      TStarOptions o;
      return DecodeStarOptions(b.data(), b.size(), o);
    }
    case 2: {
      TObjectFilter f;
      return DecodeObjectFilter(b.data(), b.size(), f);
    }
    case 3: {
      TSolarSwitches s{};
      return DecodeSolarBlock(b, s);
    }
    case 4: return DecodeConstellationBlock(b.data(), b.size(), plotter);
    case 5: {
      TGridBlock g;
      return DecodeGridBlock(b.data(), b.size(), g);
    }
    case 6: return ReadAtmosphericBlock(observer, &b);
    case 7: return ApplyMagnifierSettingsBlock(b);
    case 8: return ApplyPointsOfInterestBlock(&b);
    case 9: {
      TSite site;
      return DecodeLocationBlock(b, site, horizon);
    }
    case 10: return ReadClockTimeBlock(observer, &b);
    case 11: return plotter.ApplyViewBlock(b);
    default: return b.size() == SettingsBlockBytes(slot);
  }
}

void RegisterDecoders() {
  for (int slot = 1; slot <= kSettingsOwnerSlots; ++slot) {
    TSettingsSectionOwner owner;
    owner.blockBytes = SettingsBlockBytes(slot);
    owner.write = [slot] { return std::vector<uint8_t>(SettingsBlockBytes(slot)); };
    owner.read = [slot](const std::vector<uint8_t>* block) {
      if (!block) return true;
      return DecodeSlot(slot, *block);
    };
    RegisterSettingsSection(slot, owner);
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  fuzz::InstallQuietPlatform();
  static const bool registered = (RegisterDecoders(), true);
  (void)registered;
  const std::string path = fuzz::WriteScratch("fuzz.ssf", data, size);
  ReadSettingsFile(path);
  if (auto s = TSettingsStream::Open(path)) {
    TSettingsDirectory dir;
    s->ReadDirectory(dir);
    std::vector<uint8_t> block;
    for (int slot = 0; slot <= kSettingsSlots; ++slot) s->ReadSection(slot, 64, block);
    s->Close();
  }
  // The block decoders on the raw input as well: its first byte picks the
  // slot, the rest (cut or padded with zeros to the block's size) is the block.
  if (size > 0) {
    const int slot = 1 + data[0] % kSettingsOwnerSlots;
    std::vector<uint8_t> block(data + 1, data + size);
    block.resize(SettingsBlockBytes(slot));
    DecodeSlot(slot, block);
  }
  return 0;
}
