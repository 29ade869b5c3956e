// Fuzz target: a binary settings file (".ssf") through the shell's
// directory checks, with every slot owned by a reader that decodes its
// block; slots 1 and 2 use the star-options and deep-sky-filter decoders.
#include <cstddef>
#include <cstdint>
#include <string>

#include "app/core/settings_sections.h"
#include "app/settings_file.h"
#include "catalog/object_options.h"
#include "catalog/star_options.h"
#include "tests/fuzz/fuzz_support.h"

namespace {

void RegisterDecoders() {
  for (int slot = 1; slot <= kSettingsOwnerSlots; ++slot) {
    TSettingsSectionOwner owner;
    owner.blockBytes = SettingsBlockBytes(slot);
    owner.write = [slot] { return std::vector<uint8_t>(SettingsBlockBytes(slot)); };
    owner.read = [slot](const std::vector<uint8_t>* block) {
      if (!block) return true;
      if (slot == 1) {
        TStarOptions o;
        return DecodeStarOptions(block->data(), block->size(), o);
      }
      if (slot == 2) {
        TObjectFilter f;
        return DecodeObjectFilter(block->data(), block->size(), f);
      }
      return block->size() == SettingsBlockBytes(slot);
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
  // The block decoders on the raw input as well.
  TStarOptions o;
  DecodeStarOptions(data, size, o);
  TObjectFilter f;
  DecodeObjectFilter(data, size, f);
  return 0;
}
