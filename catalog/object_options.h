// Deep-sky catalogue options without their window: the object filter with
// its registry section "Objects" and its settings-file block, and the list
// of catalogue slots kept in "ObjectOptions.xml" from which ObjectCatalog
// is built.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "catalog/object_catalog.h"
#include "platform/xml.h"

inline constexpr std::size_t kObjectFilterBytes = 657;
inline constexpr int kObjectFilterSlot = 2;

// The range of the window's magnitude bars in tenths (-2.0 to 20.0), which
// every reader of a stored filter keeps to.
inline constexpr int32_t kObjectMagTenthsMin = -20, kObjectMagTenthsMax = 200;

// The filter last applied (kept also while no ObjectCatalog exists).
extern TObjectFilter ObjectFilter;

// The 657-byte block (the filter, then 630 reserved zero bytes), and back.
// Decoding fails (record untouched) on a block of any other size, limits
// outside the window's range (NaN included) or switches other than 0 and 1.
std::array<uint8_t, kObjectFilterBytes> EncodeObjectFilter(const TObjectFilter& f);
bool DecodeObjectFilter(const uint8_t* data, std::size_t size, TObjectFilter& f);

// Applies a filter to ObjectCatalog under the object lock and keeps it in
// ObjectFilter. A database error is reported (coded message 103 on
// "Objects.sqlite", after the lock is released) and answers false; the
// catalogue then keeps its previous rows.
bool ApplyObjectFilter(const TObjectFilter& f);

// Reads section "Objects" (defaults -1.5 to 12.0, every class, labels on;
// values outside the window's ranges read as the defaults),
// sets the chart's object-label switch and applies the filter.
void ReadRegObjects();
// Writes the four values of section "Objects" (class 7 always on, as the
// window has no switch for it) and confirms with a flash message.
void WriteRegObjects(const TObjectFilter& f);

// Settings-file block 2. The writer gives the current filter; the reader
// applies a complete and valid block (false, filter unchanged, for a
// damaged one; a null block changes nothing) and sets the replot byte.
std::vector<uint8_t> ObjectFilterBlock();
bool ApplyObjectFilterBlock(const std::vector<uint8_t>* block);

// --- Catalogue slots ------------------------------------------------------------

inline constexpr int kCatalogSlots = 5;
inline constexpr const char* kNotAssigned = "NOT ASSIGNED";
inline constexpr const char* kNoDescription = "No description.";
extern const char* const kBaseCatalogDescription;

// Slot 1 is the base catalogue and always used; slots 2..5 hold imported
// catalogues (name = table name).
struct TCatalogSlot {
  std::string Name;
  std::string Description;
  bool Active = false;
  bool Assigned() const { return !Name.empty() && Name != kNotAssigned; }
};
using TCatalogSlots = std::array<TCatalogSlot, kCatalogSlots>;

// Every slot at its default.
TCatalogSlots DefaultCatalogSlots();
// Reads the slots from a "Selections" element; a missing or empty element
// takes its default. Slots naming one table in other letter case (SQLite's
// table names ignore case) are one catalogue: the first keeps it, active
// when any of them was, and the others are read free; so is a slot naming
// the base catalogue's table.
TCatalogSlots LoadObjectOptionsXml(const platform::XmlElement& selections);
// Writes the slots into a "Selections" element.
void SaveObjectOptionsXml(const platform::XmlElement& selections, const TCatalogSlots& slots);

// "ObjectOptions.xml" in the program's working folder.
std::string ObjectOptionsPath();
// The slots of the file (all defaults for a missing or damaged file).
TCatalogSlots ReadCatalogSlots(const std::string& path = ObjectOptionsPath());
// Writes the file; false (old file untouched) on failure.
bool WriteCatalogSlots(const TCatalogSlots& slots, const std::string& path = ObjectOptionsPath());

// The slots in force: read from "ObjectOptions.xml" at start (the
// catalogue list ObjectCatalog is made from), shown and changed by the
// catalogue options window (which never reads the file itself), and written
// back to the file at the program's end (SaveCatalogSlots).
extern TCatalogSlots CatalogSlots;
// Reads the file at `path` into CatalogSlots (a damaged file is kept aside
// and told, as every settings file is) and remembers the path for the end.
const TCatalogSlots& LoadCatalogSlots(const std::string& path = ObjectOptionsPath());
// The end: writes CatalogSlots back to the file they were last read from,
// once; false, and nothing written, when they were not read since the last
// save (never defaults over a file unread), when another program wrote the
// file since this run last read or wrote it (a second copy's import: its
// slots are kept, and the log says so), when the file cannot be read now
// (refused, or a pipe in its place: left as it is, and told when this run
// changed the choice) or written (a damaged file that could not be kept
// aside is never written over). A file changed meanwhile into one that
// cannot be read as slots (cut, emptied, junk) is no other program's
// change: the slots are written over it, and the log says so.
bool SaveCatalogSlots();

// Offers a table of "Objects.sqlite" in the slots of the file at `path`
// (created when missing): unless a slot names it already (ignoring case),
// the first unassigned slot takes its name and description, inactive, and
// the file is written; the other slots stay as they are. Answers the slot
// given (2..5), 0 when a slot named it already, -1 when no slot is free or
// the file cannot be written.
int OfferCatalogTable(const std::string& path, const std::string& table, const std::string& description);

// The tables ObjectCatalog walks: the base table, then the name of every
// active slot from 2 to 5 in order.
std::vector<std::string> CatalogTableList(const TCatalogSlots& slots);

// The slots as another running copy of the program left them: `ours` with
// every slot only `theirs` changed since `base` (the file as this copy
// last read or wrote it); a catalogue they put into a slot `ours` changed
// too moves to a free slot (none free: the log says so). Slots that then
// name one table in other letter case are one catalogue, as on reading.
TCatalogSlots MergeCatalogSlots(const TCatalogSlots& base, const TCatalogSlots& ours, const TCatalogSlots& theirs);

// Writes the slots to the file, merged with the changes another program made
// to it since this run last read or wrote it (MergeCatalogSlots); `slots`
// then hold what was written. A file that changed into one that cannot be
// read as slots (cut, emptied, junk) is no change of another program's: it
// is written over with these slots, and the log says so. False, and
// nothing changed, when it cannot be written, or cannot be read at all
// (refused, a pipe in its place: left as it is, and the user told).
bool StoreCatalogSlots(TCatalogSlots& slots, const std::string& path = ObjectOptionsPath());

// Rebuilds ObjectCatalog from the slots (merged with the file as
// StoreCatalogSlots merges) with the current filter, then writes them to
// "ObjectOptions.xml"; `slots` then hold what is in force. The new
// catalogue is built first and swapped in under the object lock; when it
// cannot be built the old one stays, nothing is written, the error is shown
// (a database another program holds locked as such, never as damage) and
// the answer is false. Without any catalogue, a locked database is then
// waited for as at the start (RetryObjectCatalog).
bool ApplyCatalogSelection(TCatalogSlots& slots);

// Drops a catalogue's table from "Objects.sqlite" under the object lock. A
// damaged database is refused unchanged; any other failure (another
// program's lock, never waited for on the GUI thread) shows "Couldn't drop
// the table, operation aborted." and the reason once the lock is released,
// and answers false.
bool DropCatalogTable(const std::string& name);

// The Remove command of slot k (2..5): asks first, refuses an unassigned
// slot, drops the table and resets the slot (an active one leaves
// ObjectCatalog at once). True when the slot was reset.
bool RemoveCatalogSlot(TCatalogSlots& slots, int k);

// --- The catalogue of the start-up ------------------------------------------------

// Creates the object catalogue over these tables at start-up. A database
// that is missing or damaged is reported as a damaged data file (the
// catalogue is null when it cannot be read at all). One that another
// program holds locked is sound: the catalogue is null for now, the log says
// why, and it is read once the database is free (RetryObjectCatalog, every
// kObjectCatalogRetryMs on the GUI thread's event loop; each try fails at
// once while the lock is held, so the GUI thread never waits on it).
std::unique_ptr<tCO> OpenObjectCatalog(const std::vector<std::string>& tableNames);

inline constexpr int kObjectCatalogRetryMs = 1000;
// Failed tries after which the user is told in a box (once a run).
inline constexpr int kObjectCatalogTriesBeforeTold = 10;

// True while the catalogue waits for a database another program holds
// locked. GUI thread.
bool ObjectCatalogWaiting();

// One more try to read the catalogue that waits for a locked database, over
// the slots in force (CatalogSlots) and the current filter (GUI thread).
// Once read it is swapped in, the chart is drawn again and a damaged
// database is reported; a database that is still locked schedules the next
// try, and one that cannot be read for another reason is reported as the
// start-up would. Answers whether the catalogue no longer waits.
bool RetryObjectCatalog();

// Why the windows show no deep-sky objects, or not all of them: `absent`
// when there is no catalogue at all, and `why` ("the object database
// Objects.sqlite is damaged (...)"), empty when the catalogue is whole.
// Takes the object lock.
struct TObjectDatabaseNote {
  bool absent = false;
  std::string why;
};
TObjectDatabaseNote ObjectDatabaseNote();

// Calls `changed` on the GUI thread whenever what ObjectDatabaseNote says
// may have changed: a catalogue read or replaced (a locked database read
// once free), a try that found the database still locked or unreadable, a
// wait for a lock begun. A window showing the note follows it so. Answers
// the number UnwatchObjectDatabase takes. GUI thread.
int WatchObjectDatabase(std::function<void()> changed);
void UnwatchObjectDatabase(int watch);
