#include "tools/location.h"

#include <QString>

#include <array>
#include <cmath>
#include <filesystem>

#include "astro/observer.h"
#include "astro/reference_files.h"
#include "astro/text.h"
#include "astro/trig.h"
#include "chart/globe.h"
#include "platform/codec.h"
#include "platform/data_file.h"
#include "platform/dialogs.h"
#include "platform/numfmt.h"
#include "platform/paths.h"
#include "shell/globals.h"
#include "shell/log_lines.h"

TGlobalLocationModel GlobalLocation;
const std::string PickListSeparator(40, ' ');

// --- Time-zone rule -------------------------------------------------------------------

void MakeSiteTimeZone(double zoneHours, bool daylightSaving, TIME_ZONE_INFORMATION& tzi) {
  InitTimeZoneInfo(tzi);
  tzi.Bias = -int32_t(std::nearbyint(zoneHours * 60.0));
  if (!daylightSaving) return;
  tzi.DaylightBias = -60;
  tzi.DaylightDate.wMonth = 3;  // second Sunday of March, 02:00
  tzi.DaylightDate.wDayOfWeek = 0;
  tzi.DaylightDate.wDay = 2;
  tzi.DaylightDate.wHour = 2;
  tzi.StandardDate.wMonth = 11;  // first Sunday of November, 02:00
  tzi.StandardDate.wDayOfWeek = 0;
  tzi.StandardDate.wDay = 1;
  tzi.StandardDate.wHour = 2;
}

int FoldZone(int zone, bool daylightSaving) {
  if (!daylightSaving) return zone;
  return zone >= 0 ? zone + 100 : zone - 100;
}

void UnfoldZone(int folded, int& zone, bool& daylightSaving) {
  daylightSaving = folded >= 100 || folded < -99;
  zone = folded >= 100 ? folded - 100 : folded < -99 ? folded + 100 : folded;
}

namespace {

// Degrees with one decimal, the letter from the sign of the rounded value.
std::string DegreesWithLetter(double deg, char positive, char negative) {
  const double r = std::nearbyint(deg * 10.0) / 10.0;
  return platform::FormatFixed(std::fabs(r), 0, 1) + (r < 0 ? negative : positive);
}

}  // namespace

std::string LatitudeText(double latitudeDeg) { return DegreesWithLetter(latitudeDeg, 'N', 'S'); }
std::string LongitudeText(double eastLongitudeDeg) { return DegreesWithLetter(eastLongitudeDeg, 'E', 'W'); }

namespace {

// Degrees with six decimals less their trailing zeros (one kept), the
// letter from the sign.
std::string PreciseDegreesWithLetter(double deg, char positive, char negative) {
  std::string text = platform::FormatFixed(std::fabs(deg), 0, 6);
  while (text.size() > 2 && text.back() == '0' && text[text.size() - 2] != '.') text.pop_back();
  const bool zero = text.find_first_not_of("0.") == std::string::npos;
  return text + (deg < 0 && !zero ? negative : positive);
}

}  // namespace

std::string PreciseLatitudeText(double latitudeDeg) { return PreciseDegreesWithLetter(latitudeDeg, 'N', 'S'); }
std::string PreciseLongitudeText(double eastLongitudeDeg) {
  return PreciseDegreesWithLetter(eastLongitudeDeg, 'E', 'W');
}

std::string FilterSiteName(const std::string& text) {
  std::string out;
  for (const QChar c : QString::fromStdString(text)) {
    const char16_t u = c.unicode();
    const bool ascii = u == ' ' || u == '-' || (u >= '0' && u <= '9') || (u >= 'A' && u <= 'Z') ||
                       (u >= 'a' && u <= 'z');
    // Letters beyond ASCII that the settings files' code page holds
    // ("Ürümqi", "Malmö"); a name is stored in Windows-1252.
    char code = 0;
    const bool letter = u >= 128 && c.isLetter() && platform::Cp1252Code(u, code);
    if (ascii || letter) out += QString(c).toStdString();
  }
  return out;
}

// --- Horizon files ---------------------------------------------------------------------

std::string HorizonFileName(const std::string& name) {
  std::string s = TrimBlanks(name);
  // Names come from the pick list and settings files: a folder separator
  // (or a NUL, which ends the name) would lead out of the data folder.
  for (char& c : s)
    if (c == ' ' || c == '/' || c == '\\' || c == '\0') c = '_';
  return s;
}

std::string HorizonFilePath(const std::string& name) { return DataFolder + HorizonFileName(name) + ".horizon.dat"; }

void ClearHorizon(THorizonArray& horizon) {
  for (auto& column : horizon) column.fill(0);
}

bool LoadHorizonFile(const std::string& name, THorizonArray& horizon) {
  const auto read = platform::ReadDataFileBytes(HorizonFilePath(name));
  if (!read || read->size() < std::size_t(kHorizonBytes)) {
    ClearHorizon(horizon);
    return false;
  }
  const std::vector<uint8_t>& bytes = *read;
  for (int a = 0; a <= 360; ++a)
    for (int k = 0; k <= 90; ++k) horizon[a][k] = platform::GetU32(&bytes[4 * (91 * a + k)]);
  return true;
}

bool SaveHorizonFile(const std::string& name, const THorizonArray& horizon) {
  // A file of another size was not read (it gave an open horizon, cut or
  // made elsewhere): it is kept aside under a name of its own, never
  // written over, and the user told where.
  const std::string path = HorizonFilePath(name);
  std::error_code ec;
  const auto size = std::filesystem::file_size(path, ec);
  if (!ec && size != kHorizonBytes) {
    std::string error;
    const std::string kept =
        platform::MoveToFreeName(path, DataFolder, HorizonFileName(name) + ".horizon.unread", ".dat", &error);
    const std::string text = "The horizon file " + path + " holds " + std::to_string(size) + " bytes, not " +
                             std::to_string(kHorizonBytes) + ", and was not read. " +
                             (kept.empty() ? "It could not be kept aside (" + error + "), so it is left as it is."
                                           : "It is kept as " + kept + ".");
    LogLines().AddLine("[Location] " + text);
    platform::ShowMessageBox(text, platform::kProductCaption, platform::MsgButtons::Ok,
                             platform::MsgIcon::Exclamation);
    if (kept.empty()) return false;
  }
  std::vector<uint8_t> bytes(kHorizonBytes);
  for (int a = 0; a <= 360; ++a)
    for (int k = 0; k <= 90; ++k) platform::PutU32(&bytes[4 * (91 * a + k)], horizon[a][k]);
  return platform::SaveFile(HorizonFilePath(name), bytes.data(), bytes.size());
}

// --- Slot 9 -----------------------------------------------------------------------------

std::vector<uint8_t> EncodeLocationBlock(const TObserverTime& obs, const THorizonArray& horizon) {
  platform::ByteWriter w;
  w.F64(obs.Latitude);
  w.F64(obs.Longitude);
  w.F64(obs.Height);
  platform::WriteTimeZoneInformation(w, obs.TimeZone);
  w.U8(obs.UseDaylightSaving);
  for (int a = 0; a <= 360; ++a)
    for (int k = 0; k <= 90; ++k) w.U32(horizon[a][k]);
  return w.Bytes();
}

bool DecodeLocationBlock(const std::vector<uint8_t>& block, TSite& site, THorizonArray& horizon) {
  if (block.size() != kLocationBlockBytes) return false;
  platform::ByteReader r(block);
  const double lat = r.F64(), lon = r.F64();
  r.F64();  // height: written, not read back
  const TIME_ZONE_INFORMATION tz = platform::ReadTimeZoneInformation(r);
  const uint8_t dst = r.U8();
  if (!r.Ok() || !std::isfinite(lat) || std::fabs(lat) > TwoPi / 4 + 1e-12) return false;
  if (!std::isfinite(lon) || lon < -1e-12 || lon > TwoPi + 1e-12) return false;
  if (std::abs(tz.Bias) > 14 * 60 || std::abs(tz.DaylightBias) > 120 || std::abs(tz.StandardBias) > 120) return false;
  if (tz.DaylightDate.wMonth > 12 || tz.StandardDate.wMonth > 12 || dst > 1) return false;
  site = TSite{};
  site.TimeZone = tz;
  site.DaylightSaving = dst;
  site.Latitude = lat;
  site.Longitude = lon >= TwoPi || lon < 0 ? 0.0 : lon;
  for (int a = 0; a <= 360; ++a)
    for (int k = 0; k <= 90; ++k) horizon[a][k] = r.U32();
  return true;
}

bool SiteFromSystemZone(TSite& site) {
  const std::string zone = platform::SystemZoneName();
  double lat = 0, east = 0;
  if (!platform::ZonePlace(zone, lat, east)) return false;
  TSite s;
  if (!platform::GetSystemTimeZoneInformation(s.TimeZone)) return false;
  // The city: the zone name's last part, its underscores made blanks.
  s.Name = zone.substr(zone.rfind('/') + 1);
  for (char& c : s.Name)
    if (c == '_') c = ' ';
  s.DaylightSaving = s.TimeZone.DaylightDate.wMonth != 0 ? 1 : 0;
  s.Latitude = lat / DegPerRad;
  s.Longitude = std::fmod(TwoPi - east / DegPerRad, TwoPi);
  site = s;
  return true;
}

void ApplySite(const TSite& site, const THorizonArray& horizon) {
  ChangeObserverLocation(site.Name, site.TimeZone, site.DaylightSaving, site.Latitude, site.Longitude, horizon);
}

// --- The location window's state -----------------------------------------------------------

std::string TGlobalLocationModel::PickListRestText() const {
  if (!PickListUnread.empty())
    return "\"" + PickListPath.substr(PickListPath.find_last_of('/') + 1) + "\" could not be read (" +
           PickListUnread + "): its places are not shown, and nothing is saved to it.";
  if (PickListRest.empty()) return std::string();
  const std::size_t n = PickListRest.size();
  return "\"" + PickListPath.substr(PickListPath.find_last_of('/') + 1) + "\" holds " +
         std::to_string(kPickListCapacity + n) + " places; the pick list shows the first " +
         std::to_string(kPickListCapacity) + ". The other " + std::to_string(n) + (n == 1 ? " stays" : " stay") +
         " in the file.";
}

void TGlobalLocationModel::UpdateGlobePickList() const {
  if (PickListChanged) PickListChanged(PickCaptions());
}

std::vector<std::string> TGlobalLocationModel::PickCaptions() const {
  std::vector<std::string> out;
  for (const auto& l : PickList) out.push_back(PickLineCaption(l));
  return out;
}

void TGlobalLocationModel::ShowLocation(const std::string& name, int foldedZone, double eastLongitudeDeg,
                                        double latitudeDeg) {
  // 1. The name; "Unknown" clears the city selection.
  Name = name;
  if (name == "Unknown") CityIndex = -1;
  // 2. The coordinates, the hemisphere letter from the sign.
  Latitude = LatitudeText(latitudeDeg);
  Longitude = LongitudeText(eastLongitudeDeg);
  // 3. Zone and daylight saving.
  int zone = 0;
  UnfoldZone(foldedZone, zone, DaylightSaving);
  Zone = std::to_string(zone);
  // 4. The map centre.
  WorldMapLatitude = latitudeDeg;
  WorldMapLongitude = -eastLongitudeDeg;
  if (WorldMapLongitude < 0) WorldMapLongitude += 360.0;
  // 5. The site's horizon.
  LoadHorizonFile(name, Horizon);
  LocationEdited = false;
  ObserverZone.reset();
  // The place's own values behind the rounded texts.
  double west = std::fmod(360.0 - eastLongitudeDeg, 360.0);
  if (west < 0) west += 360.0;
  const double westRad = west / DegPerRad;
  ShownPlace = TShownPlace{Latitude, Longitude, latitudeDeg / DegPerRad, westRad < TwoPi ? westRad : 0.0};
}

bool TGlobalLocationModel::KeepPlaceValues(double latitude, double longitude) {
  if (!ShownPlace) return false;
  const double dLat = latitude * DegPerRad - ShownPlace->latitudeRad * DegPerRad;
  double dLon = std::remainder((longitude - ShownPlace->longitudeRad) * DegPerRad, 360.0);
  if (!(std::fabs(dLat) <= 1e-9 && std::fabs(dLon) <= 1e-9)) return false;
  ShownPlace->latitudeRad = latitude;
  ShownPlace->longitudeRad = longitude;
  return true;
}

void TGlobalLocationModel::ShowObserver(const std::string& name, const TObserverTime& observer) {
  double east = -observer.Longitude * DegPerRad;
  if (east <= -180) east += 360;
  const int zone = -int(std::nearbyint(observer.TimeZone.Bias / 60.0));
  ShowLocation(name, FoldZone(zone, observer.UseDaylightSaving != 0), east, observer.Latitude * DegPerRad);
  ObserverZone = TShownZone{Zone, DaylightSaving, observer.TimeZone, observer.UseDaylightSaving};
  KeepPlaceValues(observer.Latitude, observer.Longitude);
}

void TGlobalLocationModel::SelectCity(int index) {
  if (index < 0 || index >= kCityCount) return;
  AskSaveEdited();
  PickIndex = -1;
  CityIndex = index;
  const TCityRecord& c = Cities[index];
  ShowLocation(c.Name, c.TimeZone, c.Longitude, c.Latitude);
  CityIndex = index;
}

bool TGlobalLocationModel::SelectPick(int index) {
  AskSaveEdited();
  TSite site;
  THorizonArray horizon;
  if (!ExtractPickListItem(index, site, horizon)) return false;
  CityIndex = -1;
  PickIndex = index;
  const int zone = -int(std::nearbyint(site.TimeZone.Bias / 60.0));
  double east = -site.Longitude * DegPerRad;
  if (east < -180.0) east += 360.0;
  ShowLocation(site.Name, FoldZone(zone, site.DaylightSaving != 0), east, site.Latitude * DegPerRad);
  // The fields show the entry's texts as stored, so that OK applies the
  // place the list gives at the next start (ShowLocation's one decimal
  // would move it).
  std::array<std::string, 4> fields;
  PickLineFields(PickList[std::size_t(index)], fields);
  Latitude = TrimBlanks(fields[0]);
  Longitude = TrimBlanks(fields[1]);
  Zone = TrimBlanks(fields[2]);
  ShownPlace = TShownPlace{Latitude, Longitude, site.Latitude, site.Longitude};
  return true;
}

bool TGlobalLocationModel::ExtractPickListItem(int index, TSite& site, THorizonArray& horizon) {
  if (index < 0 || index >= int(PickList.size())) return false;
  TSite parsed;
  if (!ParsePickLine(PickList[std::size_t(index)], parsed)) return false;
  site = parsed;
  LoadHorizonFile(site.Name, Horizon);
  horizon = Horizon;
  return true;
}

void TGlobalLocationModel::SetDefaultPick(int index) {
  // One default in the whole file, the places after the tenth included.
  for (std::vector<std::string>* lines : {&PickList, &PickListRest})
    for (auto& l : *lines) {
      const std::size_t star = l.find('*');
      if (star != std::string::npos) l.erase(star, 1);
    }
  if (index < 0 || index >= int(PickList.size())) return;
  std::string& line = PickList[std::size_t(index)];
  line = MarkedPickLine(line);
  PickIndex = index;
}

void TGlobalLocationModel::MakeDefault(int index) {
  if (index < 0 || index >= int(PickList.size())) return;
  CityIndex = -1;
  const std::vector<std::string> before = PickList, restBefore = PickListRest;
  SetDefaultPick(index);
  Save(before, restBefore);
}

int TGlobalLocationModel::AddUpdate() {
  LocationEdited = false;
  const std::string name = TrimBlanks(FilterSiteName(Name));
  if (name.empty()) return 1;
  // Typed fields are checked: a ";" or "*" would shift the fields of the
  // line or make a second default.
  auto clean = [](const std::string& s) { return s.find_first_of(";*") == std::string::npos; };
  if (!clean(Latitude) || ParseLatitude(Latitude) == ParseError) return kBadLatitude;
  if (!clean(Longitude) || ParseLongitude(Longitude) == ParseError) return kBadLongitude;
  if (!clean(Zone) || ParseTimeZone(Zone) == ParseError) return kBadTimeZone;
  if (int(PickList.size()) >= kPickListCapacity) return -1;
  int match = -1;
  for (std::size_t i = 0; i < PickList.size() && match < 0; ++i)
    if (PickLineName(PickList[i]) == name) match = int(i);
  const bool mark = match >= 0 ? PickLineCaption(PickList[std::size_t(match)]).ends_with("*") : PickList.empty();
  // The coordinates as they read, unless they still show a place rounded:
  // that is stored at its own precision.
  std::string latitude = TrimBlanks(Latitude), longitude = TrimBlanks(Longitude);
  if (LatitudeKept() && ParseLatitude(latitude) != ShownPlace->latitudeRad)
    latitude = PreciseLatitudeText(ShownPlace->latitudeRad * DegPerRad);
  if (LongitudeKept() && ParseLongitude(longitude) != ShownPlace->longitudeRad) {
    double east = -ShownPlace->longitudeRad * DegPerRad;
    if (east <= -180) east += 360;
    longitude = PreciseLongitudeText(east);
  }
  const std::string line = name + (mark ? "*" : "") + PickListSeparator + ";" + latitude + ";" + longitude + ";" +
                           TrimBlanks(Zone) + ";" + (DaylightSaving ? "T" : "F");
  const std::vector<std::string> before = PickList;
  if (match >= 0)
    PickList[std::size_t(match)] = line;
  else
    PickList.push_back(line);
  bool full = false;
  if (!Save(before, PickListRest, match >= 0 ? std::string() : name, &full)) return full ? -1 : kNotSaved;
  return SaveHorizonFile(name, Horizon) ? 0 : kNotSaved;
}

bool TGlobalLocationModel::LatitudeKept() const {
  return ShownPlace && TrimBlanks(Latitude) == ShownPlace->latitude;
}

bool TGlobalLocationModel::LongitudeKept() const {
  return ShownPlace && TrimBlanks(Longitude) == ShownPlace->longitude;
}

void TGlobalLocationModel::Remove() {
  LocationEdited = false;
  if (PickIndex < 0 || PickIndex >= int(PickList.size())) return;
  const std::vector<std::string> before = PickList, restBefore = PickListRest;
  const bool wasDefault = PickLineCaption(PickList[std::size_t(PickIndex)]).ends_with("*");
  PickList.erase(PickList.begin() + PickIndex);
  PickIndex = -1;
  if (wasDefault && !PickList.empty()) SetDefaultPick(0);
  Save(before, restBefore);
}

void TGlobalLocationModel::AskSaveEdited() {
  if (LocationEdited && PickIndex >= 0 && AskSave && AskSave()) AddUpdate();
  LocationEdited = false;
}

int TGlobalLocationModel::Accept() {
  AskSaveEdited();
  // A field still reading as shown gives the place's own value.
  const double lat = LatitudeKept() ? ShownPlace->latitudeRad : ParseLatitude(Latitude);
  if (lat == ParseError) return kBadLatitude;
  const double lon = LongitudeKept() ? ShownPlace->longitudeRad : ParseLongitude(Longitude);
  if (lon == ParseError) return kBadLongitude;
  const double zone = ParseTimeZone(Zone);
  if (zone == ParseError) return kBadTimeZone;
  TSite site;
  site.Name = Name;
  if (ObserverZone && ObserverZone->zone == TrimBlanks(Zone) && ObserverZone->daylightSaving == DaylightSaving) {
    site.TimeZone = ObserverZone->timeZone;
    site.DaylightSaving = ObserverZone->useDaylightSaving;
  } else {
    MakeSiteTimeZone(zone, DaylightSaving, site.TimeZone);
    site.DaylightSaving = DaylightSaving ? 1 : 0;
  }
  site.Latitude = lat;
  site.Longitude = lon;
  WorldMapLatitude = lat * DegPerRad;
  WorldMapLongitude = lon * DegPerRad;
  ApplySite(site, Horizon);
  return 0;
}

std::vector<uint8_t> TGlobalLocationModel::WriteSettingsBlock() const {
  return EncodeLocationBlock(ObserverTime, Horizon);
}

bool TGlobalLocationModel::ReadSettingsBlock(const std::vector<uint8_t>* block) {
  if (block == nullptr) return true;  // no block: the observer stays
  TSite site;
  THorizonArray horizon;
  if (!DecodeLocationBlock(*block, site, horizon)) return false;
  Horizon = horizon;
  ApplySite(site, Horizon);
  return true;
}
