#include "shell/kept_settings.h"

#include <algorithm>
#include <map>
#include <mutex>

#include "platform/dialogs.h"
#include "platform/paths.h"
#include "platform/registry.h"
#include "shell/log_lines.h"

namespace {

constexpr const char* kSection = "Kept Settings Files";

struct TEntry {
  TKeptSettingsFile kept;
  bool told = false;
};

std::mutex g_mutex;
std::vector<TEntry> g_files;
std::map<std::string, TLeftInPlace> g_leftInPlace;

// The name of a path without its folder.
std::string NameOf(const std::string& path) { return path.substr(path.find_last_of('/') + 1); }

// Writes the settings store's note of the files not yet told in place of
// the last one (none erases it). Called with g_mutex held.
void StoreNote() {
  platform::TRegIniFile reg;
  const bool noted = reg.ValueExists(kSection, "file1");
  const bool untold = std::any_of(g_files.begin(), g_files.end(), [](const TEntry& e) { return !e.told; });
  if (!noted && !untold) return;
  reg.EraseSection(kSection);
  int n = 0;
  for (const TEntry& e : g_files) {
    if (e.told) continue;
    const std::string i = std::to_string(++n);
    reg.WriteString(kSection, "file" + i, e.kept.file);
    reg.WriteString(kSection, "why" + i, e.kept.why);
    reg.WriteString(kSection, "kept" + i, e.kept.keptAs);
  }
  reg.Flush();
}

}  // namespace

void NoteKeptSettingsFile(const TKeptSettingsFile& kept) {
  std::lock_guard lock(g_mutex);
  g_files.push_back({kept, false});
  StoreNote();
}

void KeptSettingsFileTold(const std::string& keptAs, bool told) {
  if (!told) return;
  std::lock_guard lock(g_mutex);
  for (TEntry& e : g_files)
    if (e.kept.keptAs == keptAs) e.told = true;
  StoreNote();
}

std::vector<TKeptSettingsFile> UntoldKeptSettingsFiles() {
  std::lock_guard lock(g_mutex);
  std::vector<TKeptSettingsFile> untold;
  for (const TEntry& e : g_files)
    if (!e.told) untold.push_back(e.kept);
  return untold;
}

std::vector<std::string> NoteUntoldKeptSettingsFiles() {
  std::vector<std::string> lines;
  std::lock_guard lock(g_mutex);
  // (Noted as each was kept aside; written again should that write have
  // failed.)
  StoreNote();
  for (const TEntry& e : g_files)
    if (!e.told)
      lines.push_back("[Settings] Can't read file " + e.kept.file + " (" + e.kept.why + "): kept as " +
                      NameOf(e.kept.keptAs) + ", default settings used; told at the next start");
  return lines;
}

void TellKeptSettingsFilesOfLastRun() {
  {
    std::lock_guard lock(g_mutex);
    g_files.clear();  // a new run
    g_leftInPlace.clear();
  }
  std::vector<TKeptSettingsFile> last;
  {
    platform::TRegIniFile reg;
    for (int n = 1; reg.ValueExists(kSection, "file" + std::to_string(n)); ++n) {
      const std::string i = std::to_string(n);
      TKeptSettingsFile f{reg.ReadString(kSection, "file" + i, ""), reg.ReadString(kSection, "why" + i, ""),
                          reg.ReadString(kSection, "kept" + i, "")};
      // A kept file gone since (repaired and renamed back, deleted) was
      // dealt with.
      if (!f.keptAs.empty() && platform::FileExists(f.keptAs)) last.push_back(f);
    }
    if (last.empty() && !reg.ValueExists(kSection, "file1")) return;
  }
  {
    // Untold until the box below reaches someone.
    std::lock_guard lock(g_mutex);
    for (const TKeptSettingsFile& f : last) g_files.push_back({f, false});
  }
  bool told = true;
  if (!last.empty()) {
    std::string text = "Warning: These settings files could not be read when Noctra Planetarium last started, and "
                       "it was ended before it could tell you. Each is kept under another name, and the default "
                       "settings were used:\r\n";
    for (const TKeptSettingsFile& f : last) {
      text += f.file + " (" + f.why + "): kept as " + f.keptAs + "\r\n";
      LogLines().AddLine("[Settings] Can't read file " + f.file + " (" + f.why + ") at the last start: kept as " +
                         NameOf(f.keptAs) + ", default settings used");
    }
    text += "To have yours back, repair a kept file and rename it to the name before it while the program is "
            "closed.";
    platform::ShowMessageBox(text, platform::kProductCaption, platform::MsgButtons::Ok,
                             platform::MsgIcon::Exclamation);
    told = platform::DialogsAttended();
  }
  // The note keeps only what is still untold (the box went unseen).
  std::lock_guard lock(g_mutex);
  if (told)
    for (TEntry& e : g_files)
      for (const TKeptSettingsFile& f : last)
        if (e.kept.keptAs == f.keptAs) e.told = true;
  StoreNote();
}

bool NoteSettingsFileLeftInPlace(const std::string& path, const TLeftInPlace& left) {
  std::lock_guard lock(g_mutex);
  return g_leftInPlace.emplace(path, left).second;
}

std::optional<TLeftInPlace> SettingsFileLeftInPlace(const std::string& path) {
  std::lock_guard lock(g_mutex);
  const auto it = g_leftInPlace.find(path);
  if (it == g_leftInPlace.end()) return std::nullopt;
  return it->second;
}
