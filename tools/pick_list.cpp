// The pick list "picklist.dat": its lines, the file read and written, and
// the merge with the places another running copy of the program wrote to
// it meanwhile.
#include <algorithm>
#include <cerrno>
#include <map>
#include <sstream>

#include "astro/text.h"
#include "platform/data_file.h"
#include "platform/dialogs.h"
#include "platform/paths.h"
#include "shell/log_lines.h"
#include "tools/location.h"

// --- The file ---------------------------------------------------------------------------

std::optional<std::vector<std::string>> ReadPickListLines(const std::string& path, std::string& why, int& err) {
  // Only a regular file is read (a pipe in its place would hold the start).
  const auto bytes = platform::ReadDataFileBytesUpTo(path, platform::kSettingsFileBytes, &why);
  err = bytes ? 0 : errno;
  if (!bytes) return std::nullopt;
  std::vector<std::string> lines;
  std::istringstream f(std::string(bytes->begin(), bytes->end()));
  std::string line;
  while (std::getline(f, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (!TrimBlanks(line).empty()) lines.push_back(line);
  }
  return lines;
}

std::vector<std::string> ReadPickListFile(const std::string& path) {
  std::string why;
  int err = 0;
  return ReadPickListLines(path, why, err).value_or(std::vector<std::string>{});
}

std::vector<std::string> ReadPickList(const std::string& path) {
  std::vector<std::string> lines = ReadPickListFile(path);
  if (lines.size() > std::size_t(kPickListCapacity)) lines.resize(std::size_t(kPickListCapacity));
  return lines;
}

bool WritePickList(const std::string& path, const std::vector<std::string>& lines) {
  std::string text;
  for (const auto& l : lines) text += l + "\n";
  return platform::SaveFile(path, text.data(), text.size());
}

// --- Lines -------------------------------------------------------------------------------

std::string MarkedPickLine(const std::string& line) {
  const std::size_t semi = line.find(';');
  const std::string fields = semi == std::string::npos ? "" : line.substr(semi + 1);
  return PickLineName(line) + "*" + PickListSeparator + ";" + fields;
}

std::string PickLineCaption(const std::string& line) {
  const std::size_t p = line.find(PickListSeparator);
  return p == std::string::npos ? line.substr(0, line.find(';')) : line.substr(0, p);
}

std::string PickLineName(const std::string& line) {
  std::string name = PickLineCaption(line);
  if (!name.empty() && name.back() == '*') name.pop_back();
  return TrimBlanks(name);
}

bool PickLineFields(const std::string& line, std::array<std::string, 4>& fields) {
  const std::size_t first = line.find(';');
  if (first == std::string::npos) return false;
  std::size_t from = first + 1;
  for (int i = 0; i < 3; ++i) {
    const std::size_t semi = line.find(';', from);
    if (semi == std::string::npos && i < 2) return false;
    fields[std::size_t(i)] = line.substr(from, semi == std::string::npos ? std::string::npos : semi - from);
    from = semi == std::string::npos ? line.size() : semi + 1;
  }
  fields[3] = TrimBlanks(line.substr(std::min(from, line.size())));
  return true;
}

bool ParsePickLine(const std::string& line, TSite& site) {
  const std::string name = PickLineName(line);
  std::array<std::string, 4> fields;
  if (name.empty() || !PickLineFields(line, fields)) return false;
  const double lat = ParseLatitude(fields[0]);
  const double lon = ParseLongitude(fields[1]);
  const double zone = ParseTimeZone(fields[2]);
  if (lat == ParseError || lon == ParseError || zone == ParseError) return false;
  const bool dst = !fields[3].empty() && fields[3][0] == 'T';
  site.Name = name;
  MakeSiteTimeZone(zone, dst, site.TimeZone);
  site.DaylightSaving = dst ? 1 : 0;
  site.Latitude = lat;
  site.Longitude = lon;
  return true;
}

int GetDefaultLocation(const std::vector<std::string>& lines) {
  for (int i = int(lines.size()) - 1; i >= 0; --i)
    if (lines[std::size_t(i)].find('*') != std::string::npos) return i;
  return -1;
}

// --- The merge ---------------------------------------------------------------------------

namespace {

// A list's places by key (the name, and for a name that comes again how
// many came before), in the list's order; each line without its default
// mark.
struct TKeyedPlaces {
  std::vector<std::string> keys;
  std::map<std::string, std::string> lines;
  std::string defaultKey;  // "" for none

  explicit TKeyedPlaces(const std::vector<std::string>& list) {
    std::map<std::string, int> seen;
    const int def = GetDefaultLocation(list);
    for (std::size_t i = 0; i < list.size(); ++i) {
      const std::string name = PickLineName(list[i]);
      const std::string key = name + '\n' + std::to_string(seen[name]++);
      std::string line = list[i];
      if (const std::size_t star = line.find('*'); star != std::string::npos) line.erase(star, 1);
      keys.push_back(key);
      lines.emplace(key, line);
      if (int(i) == def) defaultKey = key;
    }
  }
  const std::string* Find(const std::string& key) const {
    const auto it = lines.find(key);
    return it == lines.end() ? nullptr : &it->second;
  }
};

}  // namespace

std::vector<std::string> MergePickLists(const std::vector<std::string>& base, const std::vector<std::string>& ours,
                                        const std::vector<std::string>& theirs) {
  const TKeyedPlaces b(base), o(ours), t(theirs);
  std::vector<std::pair<std::string, std::string>> merged;  // key, line
  // The file's places in its order: one this copy changed takes its
  // change, one it removed goes (it left it as it was: the file's).
  for (const std::string& key : t.keys) {
    const std::string* was = b.Find(key);
    const std::string* mine = o.Find(key);
    if (was && !mine) continue;
    merged.emplace_back(key, mine && (!was || *mine != *was) ? *mine : *t.Find(key));
  }
  // Then this copy's places the file lacks: added here, or changed here
  // and removed there.
  for (const std::string& key : o.keys) {
    const std::string* was = b.Find(key);
    if (!t.Find(key) && (!was || *was != *o.Find(key))) merged.emplace_back(key, *o.Find(key));
  }
  // One default: this copy's choice when it made one (a first place that
  // took the mark in a list this copy had empty yields to the file's),
  // else the file's; where that place went, the first.
  const bool oursChose = o.defaultKey != b.defaultKey && (!b.defaultKey.empty() || t.defaultKey == b.defaultKey);
  std::string def = oursChose ? o.defaultKey : t.defaultKey;
  const bool hadDefault = !b.defaultKey.empty() || !o.defaultKey.empty() || !t.defaultKey.empty();
  const auto at = std::find_if(merged.begin(), merged.end(), [&](const auto& m) { return m.first == def; });
  if (at == merged.end()) def = hadDefault && !merged.empty() ? merged.front().first : std::string();
  std::vector<std::string> out;
  for (const auto& [key, line] : merged) out.push_back(key == def ? MarkedPickLine(line) : line);
  return out;
}

// --- The location window's list -------------------------------------------------------------

void TGlobalLocationModel::ShowFilePlaces(const std::vector<std::string>& lines) {
  const std::size_t shown = std::min(lines.size(), std::size_t(kPickListCapacity));
  PickList.assign(lines.begin(), lines.begin() + std::ptrdiff_t(shown));
  PickListRest.assign(lines.begin() + std::ptrdiff_t(shown), lines.end());
}

void TGlobalLocationModel::TellUnread(const std::string& why, int err, bool change) const {
  const std::string path = platform::AbsolutePath(PickListPath);
  const std::string text = platform::UnreadFileWarning(
      "the pick list", path, why, err,
      change ? "Nothing is written to it while it cannot be read, so this change is not saved."
             : "It is left as it is, and its places are not shown.");
  LogLines().AddLine("[Location] Can't read the pick list " + path + " (" + why + "): " +
                     (change ? "the change is not saved" : "left as it is"));
  platform::ShowMessageBox(text, platform::kProductCaption, platform::MsgButtons::Ok, platform::MsgIcon::Exclamation);
}

void TGlobalLocationModel::Load() {
  PickList.clear();
  PickListRest.clear();
  PickListBase.clear();
  PickListUnread.clear();
  PickIndex = -1;
  std::string why;
  int err = 0;
  if (const auto lines = ReadPickListLines(PickListPath, why, err)) {
    PickListBase = *lines;
    ShowFilePlaces(*lines);
    if (!PickListRest.empty()) LogLines().AddLine("[Location] " + PickListRestText());
  } else if (platform::DataFileMissing(err)) {
    // A first start: an empty list, made without ever replacing one that
    // another copy of the program makes meanwhile.
    std::string error;
    if (!platform::CreateFileIfMissing(PickListPath, &error)) platform::ReportSaveFailure(PickListPath, error);
  } else {
    // Refused, or not a file: the user's places may be in it.
    PickListUnread = why;
    TellUnread(why, err, false);
  }
  UpdateGlobePickList();
}

bool TGlobalLocationModel::Save(const std::vector<std::string>& before, const std::vector<std::string>& restBefore,
                                const std::string& added, bool* full) {
  // The file as it stands: another copy may have written it since.
  std::string why;
  int err = 0;
  const std::optional<std::vector<std::string>> now = ReadPickListLines(PickListPath, why, err);
  bool ok = now || platform::DataFileMissing(err);  // a file removed since is no one's change
  if (!ok) TellUnread(why, err, true);
  std::vector<std::string> all = PickList;
  all.insert(all.end(), PickListRest.begin(), PickListRest.end());
  std::string selected;
  if (PickIndex >= 0 && PickIndex < int(PickList.size())) selected = PickList[std::size_t(PickIndex)];
  if (ok) {
    const std::vector<std::string>& theirs = now ? *now : PickListBase;
    if (theirs != PickListBase)
      LogLines().AddLine("[Location] " + PickListPath + " was changed by another program: its places are kept");
    all = MergePickLists(PickListBase, all, theirs);
    // A place added where the file shows ten already would not be shown:
    // the list is full, as the file now has it.
    const auto shown = all.begin() + std::ptrdiff_t(std::min(all.size(), std::size_t(kPickListCapacity)));
    const auto isAdded = [&](const std::string& l) { return PickLineName(l) == added; };
    if (!added.empty() && std::none_of(all.begin(), shown, isAdded)) {
      if (full) *full = true;
      PickListBase = theirs;
      ShowFilePlaces(theirs);
      PickIndex = -1;
      UpdateGlobePickList();
      return false;
    }
    ok = WritePickList(PickListPath, all);
  }
  if (ok) {
    PickListBase = all;
    PickListUnread.clear();
    ShowFilePlaces(all);
    // The selection follows its place.
    PickIndex = -1;
    for (std::size_t i = 0; i < PickList.size() && !selected.empty(); ++i)
      if (PickLineName(PickList[i]) == PickLineName(selected)) {
        PickIndex = int(i);
        break;
      }
  } else {
    // A list that could not be written (the user has been told) goes back
    // to what the file still holds.
    PickList = before;
    PickListRest = restBefore;
    PickIndex = -1;
  }
  UpdateGlobePickList();
  return ok;
}
