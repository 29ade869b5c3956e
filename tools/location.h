// The observer's site: the time-zone rule of a site, the folded zone, the
// pick list "picklist.dat", the per-site horizon files, the block of slot 9
// of settings files, and the location window's state (TGlobalLocationModel)
// that the window's controls show and edit.
//
// Conventions: latitude north positive; longitude in the observer record
// radians west positive in [0, 2π); east longitudes in degrees where the
// window shows or centres the map; time zones whole hours -12..12.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "astro/timescales.h"
#include "chart/horizon_array.h"

struct TObserverTime;

// --- Time-zone rule -------------------------------------------------------------------

// The rule of a site: InitTimeZoneInfo, Bias = -round(zone × 60) minutes and,
// with daylight saving, the one rule every such site uses: DaylightBias
// -60 from the second Sunday of March 02:00 to the first Sunday of November
// 02:00.
void MakeSiteTimeZone(double zoneHours, bool daylightSaving, TIME_ZONE_INFORMATION& tzi);

// The folded zone: zone + 100 (zone >= 0) or zone - 100 (zone < 0) when the
// site keeps daylight saving. UnfoldZone undoes it.
int FoldZone(int zone, bool daylightSaving);
void UnfoldZone(int folded, int& zone, bool& daylightSaving);

// The edit-field texts of a site: degrees with one decimal followed by the
// hemisphere letter taken from the number's sign ("51.5N", "0.1W", "2.3E").
std::string LatitudeText(double latitudeDeg);
std::string LongitudeText(double eastLongitudeDeg);
// The same at the precision the value has: up to six decimals (a tenth of
// a metre), trailing zeros dropped, at least one ("47.8123N", "51.5N").
std::string PreciseLatitudeText(double latitudeDeg);
std::string PreciseLongitudeText(double eastLongitudeDeg);

// Keeps letters (those Windows-1252 holds, accented ones too), digits,
// blank and "-" of a typed site name.
std::string FilterSiteName(const std::string& text);

// --- Horizon files ---------------------------------------------------------------------

// The site name without leading and trailing blanks, every blank (and every
// "/", "\\" and NUL, so that the file stays in the data folder) made "_".
std::string HorizonFileName(const std::string& name);
// DataFolder + HorizonFileName(name) + ".horizon.dat".
std::string HorizonFilePath(const std::string& name);
void ClearHorizon(THorizonArray& horizon);
// Reads the site's horizon file (131,404 bytes, cell (a, k) at byte
// 4 × (91a + k), little-endian); a missing or short file gives an open
// horizon (every cell 0). True when the file was read.
bool LoadHorizonFile(const std::string& name, THorizonArray& horizon);
// Writes it; false on a write failure (the previous file is then kept and
// the user told, platform::SaveFile). A file there of another size (which
// was not read) is first kept aside as "<name>.horizon.unread.dat" (or
// "-2" and on), the user told; false, the file as it was, when it cannot be.
bool SaveHorizonFile(const std::string& name, const THorizonArray& horizon);
inline constexpr std::size_t kHorizonBytes = 361 * 91 * 4;

// --- The pick list ------------------------------------------------------------------------

inline constexpr int kPickListCapacity = 10;
// Forty blanks between the name and the fields of a line.
extern const std::string PickListSeparator;
// "picklist.dat" in the current working folder.
inline constexpr const char* kPickListFile = "picklist.dat";

// A site as the pick list and slot 9 give it.
struct TSite {
  std::string Name;
  TIME_ZONE_INFORMATION TimeZone;
  uint8_t DaylightSaving = 0;
  double Latitude = 0;   // radians, north positive
  double Longitude = 0;  // radians, west positive, [0, 2π)
};

// The place of the system's time zone, for a first start with no site
// chosen: the principal city of the tz database zone ("Europe/Berlin" gives
// "Berlin" at 52.5 N, 13.4 E) with the system's zone rule. False when the
// system zone is UTC or not in the database's table.
bool SiteFromSystemZone(TSite& site);

// Reads the lines of the file (at most 10, empty lines skipped); a missing
// file gives an empty list. ReadPickListFile gives every line (a merged or
// hand-edited file may hold more places than the list shows). WritePickList
// writes them whole under a temporary name that then replaces the file;
// false on failure (the user is told, platform::SaveFile).
std::vector<std::string> ReadPickList(const std::string& path);
std::vector<std::string> ReadPickListFile(const std::string& path);
bool WritePickList(const std::string& path, const std::vector<std::string>& lines);
// Every line of the file, when it is a regular file that could be read;
// else none, with the reason in `why` and the openers' errno in `err`
// (platform/data_file.h: ENOENT for a missing file).
std::optional<std::vector<std::string>> ReadPickListLines(const std::string& path, std::string& why, int& err);

// The pick list as this copy of the program changed it (`ours`) and as the
// file now holds it (`theirs`, another running copy having written it),
// both from the file as this copy last read or wrote it (`base`): a place
// only the other copy changed, added or removed takes its change, every
// other place is this copy's (its change wins where both changed one).
// Places are told apart by name (the second of a name by its order). The
// result lists the file's places in its order, then this copy's places
// the file lacks. One place is the default: the one this copy chose, else
// the one the file names; where that place went, the first place.
std::vector<std::string> MergePickLists(const std::vector<std::string>& base, const std::vector<std::string>& ours,
                                        const std::vector<std::string>& theirs);

// The line as the default entry: its name, "*", the separator, ";" and the
// rest of its fields as they stand.
std::string MarkedPickLine(const std::string& line);

// The line's text before the separator (name and default mark), and the
// name alone (a "*" right before the separator removed).
std::string PickLineCaption(const std::string& line);
std::string PickLineName(const std::string& line);

// The texts of a line's fields as stored: latitude, longitude, time zone
// and the flag (trimmed). False when a field is missing.
bool PickLineFields(const std::string& line, std::array<std::string, 4>& fields);

// Parses a line into a site. False, `site` unchanged, when a field is missing
// or rejected by its parser or the name is empty; a missing flag reads as
// "F".
bool ParsePickLine(const std::string& line, TSite& site);

// The index of the last line containing "*", -1 when none.
int GetDefaultLocation(const std::vector<std::string>& lines);

// --- Slot 9 -----------------------------------------------------------------------------

inline constexpr int kLocationSlot = 9;
inline constexpr std::size_t kLocationBlockBytes = 131601;
// The block: latitude, longitude (west positive), height, the 172-byte zone
// record and the daylight-saving byte of `obs`, then the horizon.
std::vector<uint8_t> EncodeLocationBlock(const TObserverTime& obs, const THorizonArray& horizon);
// Decodes a whole block and checks it: the right size, finite latitude
// within ±90°, finite longitude within 0..360°, zone bias within ±14 h,
// daylight bias within ±2 h, change-over months 0..12, flag 0 or 1. False,
// outputs unchanged, otherwise.
bool DecodeLocationBlock(const std::vector<uint8_t>& block, TSite& site, THorizonArray& horizon);

// --- The location window's state -----------------------------------------------------------

// Codes of the coded message table for rejected fields.
inline constexpr int kBadLatitude = 120;
inline constexpr int kBadLongitude = 121;
inline constexpr int kBadTimeZone = 122;
// A pick list or horizon file that could not be saved (already told).
inline constexpr int kNotSaved = -2;

class TGlobalLocationModel {
 public:
  // The Current Settings fields.
  std::string Name;      // Edit1
  std::string Latitude;  // Edit2
  std::string Longitude; // Edit3
  std::string Zone;      // Edit4
  bool DaylightSaving = false;  // DSTCheckBox1
  // The horizon of the site shown in the Current Settings.
  THorizonArray Horizon{};
  // The observer's own time-zone record when the fields show the observer
  // (ShowObserverZone). The field holds whole hours only, and a site's
  // daylight saving follows one fixed rule; while the zone field and the
  // daylight box still read as shown, Accept keeps this record, so OK after
  // a change of the name or the coordinates does not move the clock of a
  // system zone such as +5:45 or one with another daylight rule.
  struct TShownZone {
    std::string zone;
    bool daylightSaving = false;
    TIME_ZONE_INFORMATION timeZone{};
    int useDaylightSaving = 0;
  };
  std::optional<TShownZone> ObserverZone;
  // The place the coordinate fields show, with its own values (radians,
  // longitude west positive): the fields hold it rounded to a tenth of a
  // degree, and a field that still reads as shown gives the place's own
  // value to OK (and to Add/Update at its own precision), so that a change
  // of the name or the zone alone does not move the observer.
  struct TShownPlace {
    std::string latitude, longitude;  // the texts shown
    double latitudeRad = 0, longitudeRad = 0;
  };
  std::optional<TShownPlace> ShownPlace;
  bool LocationEdited = false;
  // The pick list as the file holds it (its first ten places), its
  // selection (-1 none) and the city list's selection.
  std::vector<std::string> PickList;
  // The file's places after the tenth (a merged or hand-edited file): not
  // shown, kept in the file after the ten at every write; a removal moves
  // the first of them up into the list.
  std::vector<std::string> PickListRest;
  int PickIndex = -1;
  int CityIndex = -1;
  std::string PickListPath = kPickListFile;
  // Every place of the file as this run last read or wrote it: the changes
  // another running copy made since are told from this run's by it, and
  // kept at every write (MergePickLists).
  std::vector<std::string> PickListBase;
  // Why the file could not be read when it was loaded ("Permission denied",
  // "it is a named pipe, not a file"); "" when it was read. The list is
  // then empty, and the file is left as it is.
  std::string PickListUnread;

  // Asked by AskSaveEdited: true to save the edited settings into the
  // selected pick entry. The window shows the question; tests answer it.
  std::function<bool()> AskSave;
  // Told after every change of the pick list (the globe menu's captions).
  std::function<void(const std::vector<std::string>& captions)> PickListChanged;

  // Loads the pick list and tells PickListChanged. A missing file is made,
  // empty; one that cannot be read (refused to this user, a pipe or a
  // device in its place) is told in a box, with why, and left as it is:
  // the list is empty, and nothing is written to the file while it cannot
  // be read (MakeDefault, AddUpdate and Remove tell why and change nothing).
  void Load();
  // Puts a site into the fields (east longitude and latitude in degrees),
  // loads its horizon file, centres the world map on it.
  // Any other site's zone replaces ObserverZone's.
  void ShowLocation(const std::string& name, int foldedZone, double eastLongitudeDeg, double latitudeDeg);
  // ShowLocation for the observer itself, its time-zone record and its
  // place's own values kept.
  void ShowObserver(const std::string& name, const TObserverTime& observer);
  // When the place shown (ShowLocation's latitude and east longitude) is
  // `latitude`, `longitude` (radians, west positive; within 1e-9°), that
  // place's own values are kept for the untouched fields. False otherwise.
  bool KeepPlaceValues(double latitude, double longitude);
  // A city of the city table chosen.
  void SelectCity(int index);
  // A pick-list entry chosen: its stored latitude, longitude and zone texts
  // in the fields; false, fields unchanged, when its line is rejected.
  bool SelectPick(int index);
  // Double click: the entry becomes the default. This, AddUpdate and
  // Remove save the list, merged with the places another running copy of
  // the program wrote to the file since this one read or wrote it; a failed
  // save, or a file that cannot be read then, keeps the file and the list
  // as they were (the user is told).
  void MakeDefault(int index);
  // Add/Update: 0 on success; 120, 121 or 122 for a rejected field (a field
  // holding ";" or "*" is rejected too), 1 for an empty name, -1 when the
  // list is full (also when the file another copy of the program wrote
  // meanwhile holds ten places: the list then shows them), kNotSaved when
  // the list or the site's horizon could not be written (the list stays
  // saved when only the horizon failed).
  // Otherwise nothing changes unless the result is 0.
  int AddUpdate();
  // Remove the selected entry.
  void Remove();
  // Asks to save an edited pick entry; clears LocationEdited.
  void AskSaveEdited();
  // OK: 0 and the site made the observer's (ChangeObserverLocation), or the
  // code of the first rejected field with nothing changed.
  int Accept();
  // The globe menu captions: one per entry, the text before the separator.
  std::vector<std::string> PickCaptions() const;
  // The note under the list ("" for none): why the file could not be read,
  // or of places after the tenth how many the file holds, that the list
  // shows ten and that the others stay.
  std::string PickListRestText() const;
  // Hands the captions to PickListChanged (the globe menu's items Pick1..10
  // and their separator); every change of the list calls it.
  void UpdateGlobePickList() const;

  // Extracts entry `index` into `site` and the window's horizon (loaded
  // from the site's file) into `horizon`. False, nothing changed, when the
  // index is outside the list or the line is rejected.
  bool ExtractPickListItem(int index, TSite& site, THorizonArray& horizon);
  int GetDefaultLocation() const { return ::GetDefaultLocation(PickList); }

  // Slot 9.
  std::vector<uint8_t> WriteSettingsBlock() const;
  bool ReadSettingsBlock(const std::vector<uint8_t>* block);

 private:
  // Writes the list and the places after it, merged with the file as it
  // stands; a failed write, or a file that cannot be read, puts both back.
  // A place `added` that the merged file would not show among its first
  // ten is not written: `full` is set, and the list shows the file.
  bool Save(const std::vector<std::string>& before, const std::vector<std::string>& restBefore,
            const std::string& added = "", bool* full = nullptr);
  // The file's places shown: the first ten in the list, the others after.
  void ShowFilePlaces(const std::vector<std::string>& lines);
  // Tells that the file cannot be read (`why`, `err`): at the load, or
  // when a change of the list is not saved.
  void TellUnread(const std::string& why, int err, bool change) const;
  void SetDefaultPick(int index);
  // The coordinate field reads as shown (ShownPlace).
  bool LatitudeKept() const;
  bool LongitudeKept() const;
};

// The window's single state.
extern TGlobalLocationModel GlobalLocation;

// Applies a site as the observer's place (ChangeObserverLocation).
void ApplySite(const TSite& site, const THorizonArray& horizon);
