#include "shell/kept_settings.h"

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

// The name of a path without its folder.
std::string NameOf(const std::string& path) { return path.substr(path.find_last_of('/') + 1); }

}  // namespace

void NoteKeptSettingsFile(const TKeptSettingsFile& kept, bool told) {
  std::lock_guard lock(g_mutex);
  g_files.push_back({kept, told});
}

std::vector<TKeptSettingsFile> UntoldKeptSettingsFiles() {
  std::lock_guard lock(g_mutex);
  std::vector<TKeptSettingsFile> untold;
  for (const TEntry& e : g_files)
    if (!e.told) untold.push_back(e.kept);
  return untold;
}

std::vector<std::string> NoteUntoldKeptSettingsFiles() {
  const std::vector<TKeptSettingsFile> untold = UntoldKeptSettingsFiles();
  std::vector<std::string> lines;
  if (untold.empty()) return lines;
  platform::TRegIniFile reg;
  reg.EraseSection(kSection);
  for (std::size_t i = 0; i < untold.size(); ++i) {
    const TKeptSettingsFile& f = untold[i];
    const std::string n = std::to_string(i + 1);
    reg.WriteString(kSection, "file" + n, f.file);
    reg.WriteString(kSection, "why" + n, f.why);
    reg.WriteString(kSection, "kept" + n, f.keptAs);
    lines.push_back("[Settings] Can't read file " + f.file + " (" + f.why + "): kept as " + NameOf(f.keptAs) +
                    ", default settings used; told at the next start");
  }
  reg.Flush();
  return lines;
}

void TellKeptSettingsFilesOfLastRun() {
  {
    std::lock_guard lock(g_mutex);
    g_files.clear();  // a new run
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
    std::lock_guard lock(g_mutex);
    for (const TKeptSettingsFile& f : last) g_files.push_back({f, told});
  }
  if (told) {
    platform::TRegIniFile reg;
    reg.EraseSection(kSection);
    reg.Flush();
  }
}
