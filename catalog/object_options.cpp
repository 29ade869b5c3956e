#include "catalog/object_options.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <filesystem>
#include <functional>
#include <map>
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

namespace {

const TCatalogSlot kFreeSlot{kNotAssigned, kNoDescription, false};

// Slots that name one table, in any letter case, are one catalogue (SQLite
// ignores the case of table names): the first of them keeps it, active
// when any of them was, and the others are freed. A slot naming the base
// catalogue's table is freed too: the base is always walked.
void FoldSameTables(TCatalogSlots& s) {
  for (std::size_t k = 1; k < kCatalogSlots; ++k) {
    TCatalogSlot& slot = s[k];
    if (!slot.Assigned()) continue;
    if (SameTableName(slot.Name, kBaseCatalogTable)) {
      slot = kFreeSlot;
      continue;
    }
    for (std::size_t j = 1; j < k; ++j)
      if (s[j].Assigned() && SameTableName(s[j].Name, slot.Name)) {
        s[j].Active = s[j].Active || slot.Active;
        slot = kFreeSlot;
        break;
      }
  }
}

std::string SlotElement(const char* what, int k) { return std::string("Catalog") + what + std::to_string(k); }

}  // namespace

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
    text(SlotElement("Name", k), slot.Name);
    text(SlotElement("Desc", k), slot.Description);
    slot.Active = XmlReadBool(sel, SlotElement("Active", k), false);
  }
  FoldSameTables(s);
  return s;
}

void SaveObjectOptionsXml(const platform::XmlElement& sel, const TCatalogSlots& s) {
  XmlWriteString(sel, "CatalogName1", s[0].Name);
  XmlWriteString(sel, "CatalogDesc1", s[0].Description);
  for (int k = 2; k <= kCatalogSlots; ++k) {
    const TCatalogSlot& slot = s[std::size_t(k - 1)];
    XmlWriteString(sel, SlotElement("Name", k), slot.Name);
    XmlWriteString(sel, SlotElement("Desc", k), slot.Description);
    XmlWriteBool(sel, SlotElement("Active", k), slot.Active);
  }
}

std::string ObjectOptionsPath() { return platform::FindFileNoCase(ProgramFolder, "ObjectOptions.xml"); }

TCatalogSlots ReadCatalogSlots(const std::string& path) {
  platform::XmlDocument doc;
  return LoadObjectOptionsXml(XmlLoadSettings(doc, path, "ObjectCatalogs"));
}

TCatalogSlots CatalogSlots = DefaultCatalogSlots();

namespace {

using Bytes = std::vector<uint8_t>;

std::string g_slotsPath;  // where CatalogSlots were read from; "" before
// The file at g_slotsPath as this run last read or wrote it (none: there
// was no file, or it could not be read), so that a later write can tell a
// file another program wrote meanwhile (a second copy that imported a
// catalogue into a slot).
std::optional<Bytes> g_slotsSeen;
// The slots that file held then.
TCatalogSlots g_slotsBase = DefaultCatalogSlots();

bool SamePath(const std::string& a, const std::string& b) {
  namespace fs = std::filesystem;
  std::error_code ea, eb;
  return fs::absolute(a, ea).lexically_normal() == fs::absolute(b, eb).lexically_normal();
}

bool SameSlot(const TCatalogSlot& a, const TCatalogSlot& b) {
  return a.Name == b.Name && a.Description == b.Description && a.Active == b.Active;
}

bool SameSlots(const TCatalogSlots& a, const TCatalogSlots& b) {
  return std::equal(a.begin(), a.end(), b.begin(), SameSlot);
}

// The slots' file as it is now, beside the one this run last read or wrote.
struct TSlotsFileNow {
  enum Kind {
    kAbsent,     // no file: nothing to keep
    kSame,       // as this run left it
    kChanged,    // another program's slots (`slots`)
    kNotSlots,   // a file that cannot be read as slots (`why`): no change of
                 // another program's, and this run's slots are written over it
    kUnreadable  // cannot be read at all (`why`): left as it is, unwritten
  } kind = kAbsent;
  TCatalogSlots slots;
  std::string why;
};

TSlotsFileNow SlotsFileNow(const std::string& path) {
  TSlotsFileNow now;
  std::string why;
  // Read only when it is a regular file: a pipe in its place would hold
  // the GUI thread for ever.
  const std::optional<Bytes> bytes = platform::ReadDataFileBytesUpTo(path, platform::kSettingsFileBytes, &why);
  if (!bytes) {
    if (!platform::DataFileMissing(errno)) now = {TSlotsFileNow::kUnreadable, {}, why};
    return now;
  }
  if (bytes == g_slotsSeen) {
    now.kind = TSlotsFileNow::kSame;
    return now;
  }
  now.kind = TSlotsFileNow::kNotSlots;
  platform::XmlDocument doc;
  std::string error;
  if (bytes->empty()) now.why = "the file is empty";
  else if (!doc.LoadFromText(std::string(bytes->begin(), bytes->end()), &error))
    now.why = "not well-formed XML: " + error;
  if (!now.why.empty()) return now;
  const platform::XmlElement sel = doc.Root().FirstChild("Selections");
  now.slots = LoadObjectOptionsXml(sel);
  // A slot without its name (cut off, or never there) is none the other
  // program changed.
  int read = 0;
  for (int k = 2; k <= kCatalogSlots; ++k) {
    if (!XmlReadString(sel, SlotElement("Name", k), "").empty()) ++read;
    else now.slots[std::size_t(k - 1)] = g_slotsBase[std::size_t(k - 1)];
  }
  if (read == 0) now.why = "it holds no catalogue slots";
  else now.kind = TSlotsFileNow::kChanged;
  return now;
}

void LogSlots(const std::string& text) { LogLines().AddLine("[Settings] " + text); }

}  // namespace

bool WriteCatalogSlots(const TCatalogSlots& slots, const std::string& path) {
  platform::XmlDocument doc;
  if (!XmlNewDocument(doc, "ObjectCatalogs")) return false;
  SaveObjectOptionsXml(XmlChild(doc.Root(), "Selections"), slots);
  if (!XmlSaveSettings(doc, path)) return false;
  // This run's own change is no other program's: the bytes written, not the
  // file read again (another copy's write just after would pass for this
  // run's, and be written over).
  if (!g_slotsPath.empty() && SamePath(path, g_slotsPath)) {
    const std::string text = doc.SaveToText();
    g_slotsSeen = Bytes(text.begin(), text.end());
    g_slotsBase = slots;
  }
  return true;
}

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
      LogSlots("No free catalogue slot is left for " + t.Name +
               ", which another program added: remove a catalogue and add it again");
  }
  // Both sides may have put one table into two slots.
  FoldSameTables(merged);
  return merged;
}

namespace {

// What a file that cannot be read as this run's slots is taken as, in the log.
void LogNotSlots(const std::string& path, const TSlotsFileNow& now) {
  // (The reason last: a log line is cut to 255 characters.)
  if (now.kind == TSlotsFileNow::kNotSlots)
    LogSlots(path + " no longer holds catalogue slots: this program's are written over it (" + now.why + ")");
  else if (now.kind == TSlotsFileNow::kUnreadable)
    LogSlots(path + " cannot be read: left as it is, the catalogue choice not written to it (" + now.why + ")");
}

// The slots to write to the file at `path`: these, with the changes another
// program made to the file since this run last read or wrote it; `file`
// says what the file holds now.
struct TSlotsToWrite {
  TCatalogSlots slots;
  TSlotsFileNow file;
};

TSlotsToWrite WithOtherChanges(const TCatalogSlots& slots, const std::string& path) {
  if (g_slotsPath.empty() || !SamePath(path, g_slotsPath)) return {slots, {}};
  TSlotsToWrite merged{slots, SlotsFileNow(path)};
  if (merged.file.kind == TSlotsFileNow::kChanged) merged.slots = MergeCatalogSlots(g_slotsBase, slots, merged.file.slots);
  return merged;
}

// Writes merged slots and logs what became of the other program's file. A
// file that cannot be read is left as it is, and the user told that the
// choice was not written to it.
bool WriteMergedSlots(const TSlotsToWrite& merged, const std::string& path) {
  LogNotSlots(path, merged.file);
  switch (merged.file.kind) {
    case TSlotsFileNow::kChanged:
      LogSlots(path + " was changed by another program: its catalogues are kept");
      break;
    case TSlotsFileNow::kUnreadable:
      platform::ReportSaveFailure(path, merged.file.why);
      return false;
    default:
      break;
  }
  return WriteCatalogSlots(merged.slots, path);
}

}  // namespace

bool StoreCatalogSlots(TCatalogSlots& slots, const std::string& path) {
  const TSlotsToWrite merged = WithOtherChanges(slots, path);
  if (!WriteMergedSlots(merged, path)) return false;
  slots = merged.slots;
  return true;
}

const TCatalogSlots& LoadCatalogSlots(const std::string& path) {
  // The file as seen before its slots are read: another copy's write in
  // between is then taken for a change of its own, never for this run's.
  // (A damaged file is kept aside by the reading: the file is gone then.)
  g_slotsSeen = platform::ReadDataFileBytesUpTo(path, platform::kSettingsFileBytes);
  CatalogSlots = ReadCatalogSlots(path);
  g_slotsPath = path;
  g_slotsBase = CatalogSlots;
  return CatalogSlots;
}

bool SaveCatalogSlots() {
  if (g_slotsPath.empty()) return false;
  // Written once: a run reads them again before it writes them again.
  const std::string path = std::exchange(g_slotsPath, std::string());
  const TSlotsFileNow now = SlotsFileNow(path);
  LogNotSlots(path, now);
  if (now.kind == TSlotsFileNow::kChanged) {
    // It holds that program's slots (a catalogue it imported).
    LogSlots(path + " was changed by another program while this one ran: left as it is, with its catalogues");
    return false;
  }
  if (now.kind == TSlotsFileNow::kUnreadable) {
    // Told when this run changed the choice: that change is lost.
    if (!SameSlots(CatalogSlots, g_slotsBase)) platform::ReportSaveFailure(path, now.why);
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
  bool missing = false;
  std::string damage;
};

// Whoever shows ObjectDatabaseNote, told when what it says may have changed.
std::map<int, std::function<void()>> g_watches;
int g_lastWatch = 0;

void TellWatches() {
  const auto watches = g_watches;  // a watch may end while it is told
  for (const auto& [id, changed] : watches) changed();
}

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
    built.missing = e.IsMissing();
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
  TellWatches();
  return built;
}

void LogObjectDatabase(const std::string& text) { LogLines().AddLine("[Data] " + text); }

// There is no catalogue and the database is sound but locked (another copy
// of the program importing, another program's open transaction): it is
// read once it is free, without a wait here. `told`: the user knows.
void WaitForLockedDatabase(const std::string& reason, bool told) {
  g_wait = TCatalogWait{true, reason, 0, told};
  g_unreadable.clear();
  LogObjectDatabase(ObjectDatabaseBusyText(reason) + ": the deep-sky objects are read once it is free.");
  ScheduleRetry();
  TellWatches();
}

}  // namespace

bool ApplyCatalogSelection(TCatalogSlots& slots) {
  const std::string path = ObjectOptionsPath();
  const TSlotsToWrite merged = WithOtherChanges(slots, path);
  TObjectFilter filter = ObjectFilter;
  if (ObjectCatalog) ObjectCatalog->GetFilter(filter);
  // The catalogue is made first: a change it refuses is written nowhere.
  const TBuiltCatalog built = BuildCatalog(CatalogTableList(merged.slots), filter);
  if (built.busy) {
    // With no catalogue at all, the one in force is read once it is free,
    // as at the start.
    if (!ObjectCatalog && !g_wait.waiting) WaitForLockedDatabase(built.reason, true);
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
  // In force now, also where the file cannot take it (the user is told).
  WriteMergedSlots(merged, path);
  slots = merged.slots;
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
  slot = kFreeSlot;
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
      WaitForLockedDatabase(e.Why(), false);
      return nullptr;
    }
    damage = e.IsMissing() ? kDataFileMissing : e.Why();
    g_unreadable = damage;
  }
  if (!damage.empty()) ReportDataFileProblems({ObjectDatabaseProblem(damage)});
  TellWatches();
  return catalog;
}

bool ObjectCatalogWaiting() { return g_wait.waiting; }

bool RetryObjectCatalog() {
  if (!g_wait.waiting) return true;
  const bool told = g_wait.told;
  // The slots in force: those the start read, as this run changed them.
  const TBuiltCatalog built = BuildCatalog(CatalogTableList(CatalogSlots), ObjectFilter);
  if (built.message.empty()) {
    LogObjectDatabase("\"" + std::string(kObjectDatabaseName) + "\" is free: the deep-sky objects were read.");
    if (told) ShowFlashMessage("The deep-sky objects were read.", 3);
    if (!built.damage.empty()) ReportDataFileProblems({ObjectDatabaseProblem(built.damage)});
    return true;
  }
  if (!built.busy) {
    // Free now, but not readable: told as the start-up tells it.
    g_wait = TCatalogWait{};
    g_unreadable = built.missing ? kDataFileMissing : built.reason;
    ReportDataFileProblems({ObjectDatabaseProblem(g_unreadable)});
    TellWatches();
    return true;
  }
  g_wait.reason = built.reason;
  if (++g_wait.tries >= kObjectCatalogTriesBeforeTold && !g_wait.told) {
    g_wait.told = true;
    Warn(ObjectDatabaseBusyText(built.reason) +
         ".\r\n\r\nThe chart shows no deep-sky objects until it is free; they are read as soon as it is.");
  }
  ScheduleRetry();
  TellWatches();
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

int WatchObjectDatabase(std::function<void()> changed) {
  g_watches.emplace(++g_lastWatch, std::move(changed));
  return g_lastWatch;
}

void UnwatchObjectDatabase(int watch) { g_watches.erase(watch); }
