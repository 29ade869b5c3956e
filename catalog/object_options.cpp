#include "catalog/object_options.h"

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <optional>
#include <utility>

#include "catalog/hooks.h"
#include "catalog/run_later.h"
#include "platform/codec.h"
#include "platform/data_file.h"
#include "platform/dialogs.h"
#include "platform/float_to_int.h"
#include "platform/paths.h"
#include "platform/registry.h"
#include "platform/value_range.h"
#include "shell/data_files.h"
#include "shell/globals.h"
#include "shell/log_lines.h"
#include "shell/messages.h"
#include "shell/xml_settings.h"

TObjectFilter ObjectFilter;

const char* const kBaseCatalogDescription = "New General Catalogue (NGC), from the OpenNGC catalogue.";

namespace {

constexpr const char* kSection = "Objects";
constexpr const char* kCaption = "Noctra Planetarium";

void Warn(const std::string& text) {
  platform::ShowMessageBox(text, kCaption, platform::MsgButtons::Ok, platform::MsgIcon::Exclamation);
}

// SQLite compares table names without regard to ASCII case.
bool SameTableName(const std::string& a, const std::string& b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    char x = a[i], y = b[i];
    if (x >= 'a' && x <= 'z') x = char(x - 'a' + 'A');
    if (y >= 'a' && y <= 'z') y = char(y - 'a' + 'A');
    if (x != y) return false;
  }
  return true;
}

}  // namespace

// --- The filter ---------------------------------------------------------------------

std::array<uint8_t, kObjectFilterBytes> EncodeObjectFilter(const TObjectFilter& f) {
  std::array<uint8_t, kObjectFilterBytes> b{};
  platform::PutF64(&b[0], f.HighMagLimit);
  platform::PutF64(&b[8], f.LowMagLimit);
  for (int i = 0; i < 10; ++i) b[16 + std::size_t(i)] = f.Classes[i];
  b[26] = f.LabelObjects;
  return b;
}

bool DecodeObjectFilter(const uint8_t* p, std::size_t size, TObjectFilter& out) {
  if (!p || size != kObjectFilterBytes) return false;
  TObjectFilter f;
  f.HighMagLimit = platform::GetF64(p + 0);
  f.LowMagLimit = platform::GetF64(p + 8);
  for (int i = 0; i < 10; ++i) f.Classes[i] = p[16 + i];
  f.LabelObjects = p[26];
  auto magnitude = [](double m) {
    return platform::InRange(m, kObjectMagTenthsMin / 10.0, kObjectMagTenthsMax / 10.0);
  };
  if (!magnitude(f.HighMagLimit) || !magnitude(f.LowMagLimit) || f.LabelObjects > 1 ||
      std::any_of(f.Classes, f.Classes + 10, [](uint8_t c) { return c > 1; }))
    return false;
  out = f;
  return true;
}

bool ApplyObjectFilter(const TObjectFilter& f) {
  ObjectFilter = f;
  if (!ObjectCatalog) return true;
  bool ok = true;
  std::string busy;
  {
    TObjectsLock lock;
    try {
      ObjectCatalog->SetFilter(f);
    } catch (const ESQLiteException& e) {
      ok = false;
      if (e.IsBusy()) busy = e.Why();
    }
  }
  // Told only once the lock is free again.
  if (!busy.empty())
    Warn("The object filter was not applied: " + ObjectDatabaseBusyText(busy) + ". Try again when it is free.");
  else if (!ok)
    ShowErrorMessage(103, "\"" + std::string(kObjectDatabaseName) + "\"");
  return ok;
}

void ReadRegObjects() {
  platform::TRegIniFile reg;
  TObjectFilter f;
  f.LowMagLimit = reg.ReadInteger(kSection, "low mag limit", -15, kObjectMagTenthsMin, kObjectMagTenthsMax) / 10.0;
  f.HighMagLimit = reg.ReadInteger(kSection, "high mag limit", 120, kObjectMagTenthsMin, kObjectMagTenthsMax) / 10.0;
  const int32_t misc = reg.ReadInteger(kSection, "misc settings", 65535, 0, 65535);
  for (int k = 0; k < 10; ++k) f.Classes[k] = (misc >> k) & 1;
  f.LabelObjects = reg.ReadBool(kSection, "label objects", true) ? 1 : 0;
  CallHook(CatalogHooks().setObjectLabels, f.LabelObjects != 0);
  ApplyObjectFilter(f);
}

void WriteRegObjects(const TObjectFilter& f) {
  platform::TRegIniFile reg;
  reg.WriteInteger(kSection, "low mag limit", platform::ClampFloatToInt<int32_t>(std::nearbyint(f.LowMagLimit * 10)));
  reg.WriteInteger(kSection, "high mag limit", platform::ClampFloatToInt<int32_t>(std::nearbyint(f.HighMagLimit * 10)));
  int32_t misc = 1 << 7;
  for (int k = 0; k < 10; ++k)
    if (f.Classes[k]) misc |= 1 << k;
  reg.WriteInteger(kSection, "misc settings", misc);
  reg.WriteBool(kSection, "label objects", f.LabelObjects != 0);
  reg.Flush();
  ShowFlashMessage("Object catalog settings saved.", 2);
}

std::vector<uint8_t> ObjectFilterBlock() {
  TObjectFilter f = ObjectFilter;
  if (ObjectCatalog) ObjectCatalog->GetFilter(f);
  const auto b = EncodeObjectFilter(f);
  return std::vector<uint8_t>(b.begin(), b.end());
}

bool ApplyObjectFilterBlock(const std::vector<uint8_t>* block) {
  bool ok = true;
  if (block) {
    TObjectFilter f;
    ok = DecodeObjectFilter(block->data(), block->size(), f) && ApplyObjectFilter(f);
  }
  CallHook(CatalogHooks().requestReplot);
  return ok;
}

// --- Catalogue slots ------------------------------------------------------------------

TCatalogSlots DefaultCatalogSlots() {
  TCatalogSlots s;
  s[0] = {kBaseCatalogTable, kBaseCatalogDescription, true};
  for (int k = 1; k < kCatalogSlots; ++k) s[std::size_t(k)] = {kNotAssigned, kNoDescription, false};
  return s;
}

TCatalogSlots LoadObjectOptionsXml(const platform::XmlElement& sel) {
  TCatalogSlots s = DefaultCatalogSlots();
  // An element that is missing or empty keeps its default, so a fresh
  // machine reads usable slot names.
  auto text = [&](const std::string& name, std::string& value) {
    const std::string v = XmlReadString(sel, name, "");
    if (!v.empty()) value = v;
  };
  text("CatalogName1", s[0].Name);
  text("CatalogDesc1", s[0].Description);
  for (int k = 2; k <= kCatalogSlots; ++k) {
    TCatalogSlot& slot = s[std::size_t(k - 1)];
    text("CatalogName" + std::to_string(k), slot.Name);
    text("CatalogDesc" + std::to_string(k), slot.Description);
    slot.Active = XmlReadBool(sel, "CatalogActive" + std::to_string(k), false);
  }
  return s;
}

void SaveObjectOptionsXml(const platform::XmlElement& sel, const TCatalogSlots& s) {
  XmlWriteString(sel, "CatalogName1", s[0].Name);
  XmlWriteString(sel, "CatalogDesc1", s[0].Description);
  for (int k = 2; k <= kCatalogSlots; ++k) {
    const TCatalogSlot& slot = s[std::size_t(k - 1)];
    XmlWriteString(sel, "CatalogName" + std::to_string(k), slot.Name);
    XmlWriteString(sel, "CatalogDesc" + std::to_string(k), slot.Description);
    XmlWriteBool(sel, "CatalogActive" + std::to_string(k), slot.Active);
  }
}

std::string ObjectOptionsPath() { return platform::FindFileNoCase(ProgramFolder, "ObjectOptions.xml"); }

TCatalogSlots ReadCatalogSlots(const std::string& path) {
  platform::XmlDocument doc;
  return LoadObjectOptionsXml(XmlLoadSettings(doc, path, "ObjectCatalogs"));
}

TCatalogSlots CatalogSlots = DefaultCatalogSlots();

namespace {

std::string g_slotsPath;  // where CatalogSlots were read from; "" before
// The file at g_slotsPath as this run last read or wrote it (none: there
// was no file), so that the end can tell a file another program wrote
// meanwhile (a second copy that imported a catalogue into a slot).
std::optional<std::string> g_slotsSeen;
// The slots that file held then.
TCatalogSlots g_slotsBase = DefaultCatalogSlots();

// The bytes of the file at `path`; none when it cannot be read (a pipe in
// its place is not opened).
std::optional<std::string> FileBytes(const std::string& path) {
  const auto bytes = platform::ReadDataFileBytes(path);
  if (!bytes) return std::nullopt;
  return std::string(bytes->begin(), bytes->end());
}

bool SamePath(const std::string& a, const std::string& b) {
  namespace fs = std::filesystem;
  std::error_code ea, eb;
  return fs::absolute(a, ea).lexically_normal() == fs::absolute(b, eb).lexically_normal();
}

}  // namespace

bool WriteCatalogSlots(const TCatalogSlots& slots, const std::string& path) {
  platform::XmlDocument doc;
  if (!XmlNewDocument(doc, "ObjectCatalogs")) return false;
  SaveObjectOptionsXml(XmlChild(doc.Root(), "Selections"), slots);
  if (!XmlSaveSettings(doc, path)) return false;
  // This run's own change is no other program's.
  if (!g_slotsPath.empty() && SamePath(path, g_slotsPath)) {
    g_slotsSeen = FileBytes(path);
    g_slotsBase = slots;
  }
  return true;
}

namespace {

bool SameSlot(const TCatalogSlot& a, const TCatalogSlot& b) {
  return a.Name == b.Name && a.Description == b.Description && a.Active == b.Active;
}

}  // namespace

TCatalogSlots MergeCatalogSlots(const TCatalogSlots& base, const TCatalogSlots& ours, const TCatalogSlots& theirs) {
  TCatalogSlots merged = ours;
  // A slot only the other program changed takes its change.
  for (std::size_t k = 1; k < kCatalogSlots; ++k)
    if (!SameSlot(theirs[k], base[k]) && SameSlot(ours[k], base[k])) merged[k] = theirs[k];
  // A catalogue it put into a slot this run changed too moves to a free
  // slot, so that its table stays reachable.
  for (std::size_t k = 1; k < kCatalogSlots; ++k) {
    const TCatalogSlot& t = theirs[k];
    if (!t.Assigned() || SameSlot(t, base[k])) continue;
    if (std::any_of(merged.begin(), merged.end(), [&](const TCatalogSlot& m) { return SameTableName(m.Name, t.Name); }))
      continue;
    const auto free = std::find_if(merged.begin() + 1, merged.end(), [](const TCatalogSlot& m) { return !m.Assigned(); });
    if (free != merged.end()) *free = t;
    else
      LogLines().AddLine("[Settings] No free catalogue slot is left for " + t.Name +
                         ", which another program added: remove a catalogue and add it again");
  }
  return merged;
}

namespace {

// The slots to write to the file at `path`: these, with the changes another
// program made to the file since this run last read or wrote it.
TCatalogSlots WithOtherChanges(const TCatalogSlots& slots, const std::string& path) {
  if (g_slotsPath.empty() || !SamePath(path, g_slotsPath)) return slots;
  const std::optional<std::string> now = FileBytes(path);
  if (!now || now == g_slotsSeen) return slots;
  LogLines().AddLine("[Settings] " + path + " was changed by another program: its catalogues are kept");
  return MergeCatalogSlots(g_slotsBase, slots, ReadCatalogSlots(path));
}

}  // namespace

bool StoreCatalogSlots(TCatalogSlots& slots, const std::string& path) {
  const TCatalogSlots merged = WithOtherChanges(slots, path);
  if (!WriteCatalogSlots(merged, path)) return false;
  slots = merged;
  return true;
}

const TCatalogSlots& LoadCatalogSlots(const std::string& path) {
  CatalogSlots = ReadCatalogSlots(path);
  g_slotsPath = path;
  // (A damaged file has been kept aside: there is none now.)
  g_slotsSeen = FileBytes(path);
  g_slotsBase = CatalogSlots;
  return CatalogSlots;
}

bool SaveCatalogSlots() {
  if (g_slotsPath.empty()) return false;
  // Written once: a run reads them again before it writes them again.
  const std::string path = std::exchange(g_slotsPath, std::string());
  // A file another program wrote since this run read or wrote it holds
  // that program's slots (a catalogue it imported): it is left as it is.
  if (const std::optional<std::string> now = FileBytes(path); now && now != g_slotsSeen) {
    LogLines().AddLine("[Settings] " + path +
                       " was changed by another program while this one ran: left as it is, with its catalogues");
    return false;
  }
  return WriteCatalogSlots(CatalogSlots, path);
}

int OfferCatalogTable(const std::string& path, const std::string& table, const std::string& description) {
  TCatalogSlots slots = ReadCatalogSlots(path);
  for (const TCatalogSlot& s : slots)
    if (SameTableName(s.Name, table)) return 0;
  for (int k = 2; k <= kCatalogSlots; ++k) {
    TCatalogSlot& s = slots[std::size_t(k - 1)];
    if (s.Assigned()) continue;
    s = {table, description, false};
    return WriteCatalogSlots(slots, path) ? k : -1;
  }
  return -1;
}

std::vector<std::string> CatalogTableList(const TCatalogSlots& slots) {
  std::vector<std::string> list{kBaseCatalogTable};
  for (int k = 1; k < kCatalogSlots; ++k)
    if (slots[std::size_t(k)].Active && slots[std::size_t(k)].Assigned())
      list.push_back(slots[std::size_t(k)].Name);
  return list;
}

namespace {

// The wait for a database another program held locked at start-up (GUI
// thread only).
struct TCatalogWait {
  bool waiting = false;
  std::string reason;  // the library's words
  int tries = 0;
  bool told = false;
};
TCatalogWait g_wait;
bool g_retryScheduled = false;
// Why the start-up's catalogue could not be read at all ("" once one is).
std::string g_unreadable;

void ScheduleRetry() {
  if (g_retryScheduled) return;
  g_retryScheduled = RunLater(kObjectCatalogRetryMs, [] {
    g_retryScheduled = false;
    RetryObjectCatalog();
  });
}

// A catalogue built aside: its failure (message empty when it was swapped
// in), or what is wrong with the database it read.
struct TBuiltCatalog {
  std::string message, reason;  // the layer's message and the library's words
  bool busy = false;
  bool permission = false;  // the file is not this user's to open or write
  std::string damage;
};

// Builds the catalogue over these tables with this filter and swaps it in
// under the object lock, so that readers never see a half-made catalogue
// and a failure keeps the old one; the chart is then drawn again.
TBuiltCatalog BuildCatalog(const std::vector<std::string>& tables, const TObjectFilter& filter) {
  TBuiltCatalog built;
  std::unique_ptr<tCO> fresh;
  try {
    fresh = std::make_unique<tCO>(tables);
    fresh->SetFilter(filter);
  } catch (const ESQLiteException& e) {
    built.message = e.what();
    built.reason = e.Why();
    built.busy = e.IsBusy();
    built.permission = e.IsPermission();
    return built;
  }
  built.damage = fresh->Damage();
  {
    TObjectsLock lock;
    ObjectCatalog.swap(fresh);
  }
  fresh.reset();  // the old catalogue, freed outside the lock
  g_wait = TCatalogWait{};
  g_unreadable.clear();
  CallHook(CatalogHooks().requestReplot);
  return built;
}

void LogObjectDatabase(const std::string& text) { LogLines().AddLine("[Data] " + text); }

}  // namespace

bool ApplyCatalogSelection(TCatalogSlots& slots) {
  const std::string path = ObjectOptionsPath();
  const TCatalogSlots merged = WithOtherChanges(slots, path);
  TObjectFilter filter = ObjectFilter;
  if (ObjectCatalog) ObjectCatalog->GetFilter(filter);
  // The catalogue is made first: a change it refuses is written nowhere.
  const TBuiltCatalog built = BuildCatalog(CatalogTableList(merged), filter);
  if (built.busy) {
    Warn("The deep-sky catalogues could not be read: " + ObjectDatabaseBusyText(built.reason) +
         ". Try again when it is free.");
    return false;
  }
  if (!built.message.empty()) {
    // A database that is missing, damaged or not this user's to open is said
    // so, with what to do about it; any other failure in the library's words.
    const std::string damage = built.permission ? built.reason : CheckObjectDatabase(ObjectDatabasePath());
    Warn(damage.empty() ? built.message
                        : "The deep-sky catalogues could not be read.\r\n\r\n" +
                              DataFileProblemText({ObjectDatabaseProblem(damage)}));
    return false;
  }
  WriteCatalogSlots(merged, path);
  slots = merged;
  // A damaged database gives what could be read of it, and says so.
  if (!built.damage.empty())
    Warn("The deep-sky catalogues could not be read whole.\r\n\r\n" +
         DataFileProblemText({ObjectDatabaseProblem(built.damage)}));
  return true;
}

bool DropCatalogTable(const std::string& name) {
  // A damaged database is never written to: it holds the catalogues the
  // user imported. A locked one is not damaged: the drop itself fails.
  if (const std::string damage = CheckObjectDatabase(ObjectDatabasePath()); !damage.empty()) {
    Warn(ObjectDatabaseRefusalText(damage));
    return false;
  }
  std::string why;
  bool ok = true;
  {
    TObjectsLock lock;
    try {
      TSQLiteDatabase db(ObjectDatabasePath());
      if (db.TableExists(name)) db.Execute("DROP TABLE " + SQLiteQuoteName(name));
    } catch (const ESQLiteException& e) {
      ok = false;
      why = e.IsBusy()         ? ObjectDatabaseBusyText(e.Why()) + ". Try again when it is free."
            : e.IsPermission() ? DataFileProblemLine(ObjectDatabaseProblem(e.Why()))
                               : e.Why();
    }
  }
  if (!ok) Warn("Couldn't drop the table, operation aborted.\r\n\r\n" + why);
  return ok;
}

bool RemoveCatalogSlot(TCatalogSlots& slots, int k) {
  if (k < 2 || k > kCatalogSlots) return false;
  // Cancel, which keeps the user's catalogue, is the default button.
  if (platform::ShowMessageBox("This will drop the database table associated with this item", kCaption,
                               platform::MsgButtons::OkCancel, platform::MsgIcon::Question,
                               platform::IDCANCEL) != platform::IDOK)
    return false;
  TCatalogSlot& slot = slots[std::size_t(k - 1)];
  // Neither an empty slot nor the base catalogue can be dropped here.
  if (!slot.Assigned() || SameTableName(slot.Name, kBaseCatalogTable)) {
    Warn("The catalog name makes no sense, operation aborted.");
    return false;
  }
  if (!DropCatalogTable(slot.Name)) return false;
  const bool wasActive = slot.Active;
  slot = {kNotAssigned, kNoDescription, false};
  // The table is gone: the slot is written free even when the catalogue
  // cannot be made again now.
  if (!wasActive || !ApplyCatalogSelection(slots)) StoreCatalogSlots(slots);
  return true;
}

// --- The catalogue of the start-up ------------------------------------------------

std::unique_ptr<tCO> OpenObjectCatalog(const std::vector<std::string>& tableNames) {
  const std::string path = ObjectDatabasePath();
  std::unique_ptr<tCO> catalog;
  std::string damage;
  g_wait = TCatalogWait{};
  g_unreadable.clear();
  try {
    catalog = std::make_unique<tCO>(path, tableNames);
    damage = catalog->Damage();
  } catch (const ESQLiteException& e) {
    if (e.IsBusy()) {
      // Sound but locked (another copy of the program importing, another
      // program's open transaction): read later, without waiting here.
      g_wait.waiting = true;
      g_wait.reason = e.Why();
      LogObjectDatabase(ObjectDatabaseBusyText(g_wait.reason) +
                        ": the deep-sky objects are read once it is free.");
      ScheduleRetry();
      return nullptr;
    }
    damage = platform::FileExists(path) ? e.Why() : kDataFileMissing;
    g_unreadable = damage;
  }
  if (!damage.empty()) ReportDataFileProblems({ObjectDatabaseProblem(damage)});
  return catalog;
}

bool ObjectCatalogWaiting() { return g_wait.waiting; }

bool RetryObjectCatalog() {
  if (!g_wait.waiting) return true;
  const bool told = g_wait.told;
  const TBuiltCatalog built = BuildCatalog(CatalogTableList(ReadCatalogSlots()), ObjectFilter);
  if (built.message.empty()) {
    LogObjectDatabase("\"" + std::string(kObjectDatabaseName) + "\" is free: the deep-sky objects were read.");
    if (told) ShowFlashMessage("The deep-sky objects were read.", 3);
    if (!built.damage.empty()) ReportDataFileProblems({ObjectDatabaseProblem(built.damage)});
    return true;
  }
  if (!built.busy) {
    // Free now, but not readable: told as the start-up tells it.
    g_wait = TCatalogWait{};
    const std::string path = ObjectDatabasePath();
    g_unreadable = platform::FileExists(path) ? built.reason : kDataFileMissing;
    ReportDataFileProblems({ObjectDatabaseProblem(g_unreadable)});
    return true;
  }
  g_wait.reason = built.reason;
  if (++g_wait.tries >= kObjectCatalogTriesBeforeTold && !g_wait.told) {
    g_wait.told = true;
    Warn(ObjectDatabaseBusyText(built.reason) +
         ".\r\n\r\nThe chart shows no deep-sky objects until it is free; they are read as soon as it is.");
  }
  ScheduleRetry();
  return false;
}

TObjectDatabaseNote ObjectDatabaseNote() {
  const std::string name = std::string("the object database ") + kObjectDatabaseName;
  if (!ObjectCatalog) {
    if (g_wait.waiting)
      return {true, name + " is in use by another program (" + g_wait.reason + "); they are read once it is free"};
    return {true, name + " could not be read" + (g_unreadable.empty() ? "" : " (" + g_unreadable + ")")};
  }
  TObjectsLock lock;
  const std::string& damage = ObjectCatalog->Damage();
  if (damage.empty()) return {};
  return {false, name + " is damaged (" + damage + ")"};
}
