#include "shell/settings_sections.h"

#include <array>

#include "shell/messages.h"
#include "shell/settings_file.h"

namespace {

constexpr std::array<std::size_t, kSettingsOwnerSlots + 1> kBlockBytes = {
    0,
    66,         // 1 star display options
    657,        // 2 deep-sky options and filter
    12,         // 3 solar-system display
    181,        // 4 constellation display
    10,         // 5 coordinate grid
    17,         // 6 atmosphere
    23057,      // 7 magnifier, telescopes and eyepieces
    4 + 53934,  // 8 points of interest: count, then 101 records
    131601,     // 9 observer location and horizon
    8,          // 10 chart date and time
    58,         // 11 chart view
};

std::array<TSettingsSectionOwner, kSettingsOwnerSlots + 1> g_owners;

bool IsOwnerSlot(int slot) { return slot >= 1 && slot <= kSettingsOwnerSlots; }

// The size a present block of the slot must have.
std::size_t ExpectedBlockBytes(int slot) {
  return g_owners[slot].read ? g_owners[slot].blockBytes : kBlockBytes[slot];
}

enum class DirectoryCheck { Sound, Unrecognized, OutsideFile };

DirectoryCheck CheckDirectory(TSettingsStream& s) {
  TSettingsDirectory dir;
  const int64_t size = s.FileSize();
  if (size < int64_t(kSettingsDirectoryBytes) || !s.ReadDirectory(dir)) return DirectoryCheck::Unrecognized;
  for (int slot = 1; slot <= kSettingsOwnerSlots; ++slot) {
    const auto& e = dir.entries[slot];
    if (e.flag == 0) continue;
    if (e.flag != 255 || e.offset < kSettingsDirectoryBytes) return DirectoryCheck::Unrecognized;
    if (int64_t(e.offset) + int64_t(ExpectedBlockBytes(slot)) > size) return DirectoryCheck::OutsideFile;
  }
  return DirectoryCheck::Sound;
}

}  // namespace

std::size_t SettingsBlockBytes(int slot) { return IsOwnerSlot(slot) ? kBlockBytes[slot] : 0; }

bool RegisterSettingsSection(int slot, TSettingsSectionOwner owner) {
  if (!IsOwnerSlot(slot) || !owner.write || !owner.read) return false;
  g_owners[slot] = std::move(owner);
  return true;
}

void UnregisterSettingsSection(int slot) {
  if (IsOwnerSlot(slot)) g_owners[slot] = TSettingsSectionOwner{};
}

void UnregisterAllSettingsSectionsForTest() {
  for (auto& o : g_owners) o = TSettingsSectionOwner{};
}

bool HasSettingsSectionOwner(int slot) { return IsOwnerSlot(slot) && bool(g_owners[slot].read); }

std::vector<int> SettingsSaveSlots(int kind) {
  switch (kind) {
    case 1: return {1, 2, 3, 4, 5, 6, 7, 8, 9, 11};
    case 2: return {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11};
    case 3: return {1, 2};
    case 4: return {9};
    case 5: return {8};
    default: return {};
  }
}

bool WriteSettingsFile(const std::string& path, int kind) {
  auto stream = TSettingsStream::Create(path);
  if (!stream) {
    ShowErrorMessage(105, path);
    return false;
  }
  bool ok = true;
  for (int slot : SettingsSaveSlots(kind)) {
    const TSettingsSectionOwner owner = g_owners[slot];  // a copy: owners may re-register
    if (!owner.write) continue;
    const std::vector<uint8_t> block = owner.write();
    // A block of the wrong size would be misread by every later reader.
    if (block.size() != owner.blockBytes || !stream->WriteSection(slot, block)) {
      ok = false;
      break;
    }
  }
  // Without a successful close the new file is dropped and `path` stays.
  if (!ok) {
    stream.reset();
  } else {
    ok = stream->Close();
  }
  if (!ok) ShowErrorMessage(106, path);
  return ok;
}

TSettingsReadResult ReadSettingsFile(const std::string& path, std::string* why) {
  auto stream = TSettingsStream::Open(path, why);
  if (!stream) return TSettingsReadResult::CannotOpen;

  switch (CheckDirectory(*stream)) {
    case DirectoryCheck::Sound: break;
    case DirectoryCheck::Unrecognized:
      ShowErrorMessage(100, path);
      return TSettingsReadResult::Damaged;
    case DirectoryCheck::OutsideFile:
      ShowErrorMessage(101, path);
      return TSettingsReadResult::Damaged;
  }

  bool refused = false;
  for (int slot = 1; slot <= kSettingsOwnerSlots; ++slot) {
    const TSettingsSectionOwner owner = g_owners[slot];  // a copy: owners may re-register
    if (!owner.read) continue;
    std::vector<uint8_t> block;
    if (stream->ReadSection(slot, owner.blockBytes, block)) {
      if (!owner.read(&block)) refused = true;
    } else {
      owner.read(nullptr);
    }
  }
  if (refused) {
    ShowErrorMessage(100, path);
    return TSettingsReadResult::Refused;
  }
  return TSettingsReadResult::Ok;
}
