#include "astro/reference_files.h"

#include <QCursor>
#include <QGuiApplication>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <optional>
#include <string>
#include <vector>

#include "platform/codec.h"
#include "platform/dialogs.h"
#include "platform/halt.h"
#include "platform/paths.h"
#include "shell/data_files.h"
#include "shell/globals.h"

TNebulaOutlinePoint NebulaOutlineTable[kNebulaOutlineCapacity + 2];
int32_t NebulaOutlineCount = 0;
int32_t MessierToRngc[kMessierCount + 1];
TMilkyWayPoint MilkyWayTable[kMilkyWayCapacity + 1];
int32_t MilkyWayCount = 0;
TConstellationLinePoint ConstellationLineTable[kConstellationLineCapacity + 1];
int16_t ConstellationLineCount = 0;
TCityRecord CityTable[kCityCount];

namespace {

constexpr double kPi = 3.14159265358979323846;
// Room for rounding in positions written as doubles.
constexpr double kAngleSlack = 1e-9;

// The whole content of DataFolder + name, or nothing, with the reason, when
// it cannot be opened or is not a regular file.
std::optional<std::vector<uint8_t>> ReadDataFile(const char* name, std::string& reason) {
  return ReadDataFileWhole(platform::FindFileNoCase(DataFolder, name), reason);
}

// What a loader found wrong with its file: the coded message (101 size, 103
// values) and the reason; code 0 when the file is sound.
struct TFileCheck {
  int16_t code = 0;
  std::string reason;
  void Fail(int16_t c, const std::string& why) {
    if (code != 0 || why.empty()) return;  // the first finding is told
    code = c;
    reason = why;
  }
};

// Number of whole records of `size` bytes in the data, at most `capacity`;
// a size that is not whole records or more records than the table holds is
// noted in `check`.
int WholeRecords(const std::vector<uint8_t>& data, int size, int capacity, TFileCheck& check) {
  check.Fail(101, WholeRecordsReason(data.size(), size));
  const std::size_t records = data.size() / std::size_t(size);
  if (records > std::size_t(capacity))
    check.Fail(101, ByteCountText(data.size()) + " holds " + std::to_string(records) + " records, more than the " +
                        std::to_string(capacity) + " the program reads");
  return int(std::min<std::size_t>(records, std::size_t(capacity)));
}

// "3 of its 1,474 records hold values outside their ranges (the first is
// record 17)", for records left out or cut off.
void NoteBadRecords(int bad, int first, int total, const char* what, const char* fate, TFileCheck& check) {
  if (bad == 0) return;
  check.Fail(103, std::to_string(bad) + " of its " + std::to_string(total) + " " + what + (bad == 1 ? " holds" : " hold") +
                      " values outside their ranges (the first is number " + std::to_string(first) + "); " +
                      (bad == 1 ? "it is " : "they are ") + fate);
}

bool OnSky(double ra, double dec) {
  return std::isfinite(ra) && std::isfinite(dec) && ra >= -kAngleSlack && ra <= 2 * kPi + kAngleSlack &&
         std::fabs(dec) <= kPi / 2 + kAngleSlack;
}

// The Messier table: NGC numbers, 0 for an object without one.
constexpr int32_t kLastNgcNumber = 7840;

void DecodeMessier(const std::vector<uint8_t>& data, TFileCheck& check) {
  std::memset(MessierToRngc, 0, sizeof MessierToRngc);
  if (data.size() != std::size_t(kMessierCount) * 4)
    check.Fail(101, ByteCountText(data.size()) + " where the table of " + std::to_string(kMessierCount) +
                        " numbers takes " + ByteCountText(kMessierCount * 4));
  const int n = int(std::min<std::size_t>(data.size() / 4, kMessierCount));
  int bad = 0, first = 0;
  for (int i = 0; i < n; ++i) {
    const int32_t v = platform::GetI32(&data[4 * std::size_t(i)]);
    if (v < 0 || v > kLastNgcNumber) {
      if (bad++ == 0) first = i + 1;
      continue;  // no NGC number for this object
    }
    MessierToRngc[i + 1] = v;
  }
  NoteBadRecords(bad, first, kMessierCount, "numbers", "taken as none", check);
}

void DecodeMilkyWay(const std::vector<uint8_t>& data, TFileCheck& check) {
  MilkyWayCount = WholeRecords(data, kMilkyWayRecordSize, kMilkyWayCapacity, check);
  int bad = 0, first = 0;
  for (int i = 0; i < MilkyWayCount; ++i) {
    const uint8_t* p = &data[std::size_t(i) * kMilkyWayRecordSize];
    TMilkyWayPoint point{platform::GetF64(p), platform::GetF64(p + 8)};
    // A negative right ascension separates contours; anything else is a
    // point of the sky. A point off the sky ends its contour there.
    if (!(point.RA < 0) && !OnSky(point.RA, point.Dec)) {
      if (bad++ == 0) first = i + 1;
      point = {-1.0, 0.0};
    }
    MilkyWayTable[i + 1] = point;
  }
  NoteBadRecords(bad, first, MilkyWayCount, "points", "left out", check);
}

void DecodeConstellationLines(const std::vector<uint8_t>& data, TFileCheck& check) {
  const int n = WholeRecords(data, kConstellationLineRecordSize, kConstellationLineCapacity, check);
  int bad = 0, first = 0;
  const int maxDec = int(std::ceil(kPi / 2 * kConstellationLineScale));
  for (int i = 0; i < n; ++i) {
    const uint8_t* p = &data[std::size_t(i) * kConstellationLineRecordSize];
    TConstellationLinePoint point{platform::GetU16(p), platform::GetI16(p + 2), p[4]};
    // Right ascension 0 starts a new line; points lie on the sky and name
    // one of the 88 constellations. A damaged point starts a new line.
    if (point.RA != 0 && (point.RA > 65534 || std::abs(int(point.Dec)) > maxDec || point.Constellation < 1 ||
                          point.Constellation > 88)) {
      if (bad++ == 0) first = i + 1;
      point = {0, 0, 0};
    }
    ConstellationLineTable[i + 1] = point;
  }
  ConstellationLineCount = int16_t(n);
  NoteBadRecords(bad, first, n, "points", "left out", check);
}

// A folded time zone: whole hours from -12 to 12, or 100 more (less for
// western zones) with daylight saving.
bool FoldedZoneValid(int z) { return std::abs(z) <= 12 || (std::abs(z) >= 100 && std::abs(z) <= 112); }

void DecodeCities(const std::vector<uint8_t>& data, TFileCheck& check) {
  std::memset(CityTable, 0, sizeof CityTable);
  if (data.size() != std::size_t(kCityFileSize))
    check.Fail(101, ByteCountText(data.size()) + " where the list of " + std::to_string(kCityCount) + " places takes " +
                        ByteCountText(kCityFileSize));
  const int n = int(std::min<std::size_t>(data.size() / kCityEntrySize, std::size_t(kCityCount)));
  int bad = 0, first = 0;
  for (int i = 0; i < n; ++i) {
    const uint8_t* p = &data[std::size_t(i) * kCityEntrySize];
    const double latitude = platform::Real48ToDouble(p + 23), west = platform::Real48ToDouble(p + 29);
    const int16_t zone = platform::GetI16(p + 35);
    // A damaged place is left out (its entry stays empty).
    if (p[0] > 22 || !(std::fabs(latitude) <= 90) || !(west >= 0 && west <= 360) || !FoldedZoneValid(zone)) {
      if (bad++ == 0) first = i + 1;
      continue;
    }
    TCityRecord& city = CityTable[i];
    const std::string name = platform::GetShortString(p, 22);
    std::memcpy(city.Name, name.data(), std::min(name.size(), sizeof city.Name - 1));
    city.Latitude = latitude;
    city.Longitude = CityLongitudeFromFile(west);
    city.TimeZone = zone;
  }
  NoteBadRecords(bad, first, kCityCount, "places", "left out", check);
}

// Tells what a loader found.
void Report(const char* name, const TFileCheck& check) {
  if (check.code != 0) ReportDataFileProblem(check.code, name, check.reason);
}

// Shows the wait cursor for the lifetime of the object when a GUI
// application runs; restores the previous cursor afterwards.
class WaitCursor {
 public:
  WaitCursor() : active_(qobject_cast<QGuiApplication*>(QCoreApplication::instance()) != nullptr) {
    if (active_) QGuiApplication::setOverrideCursor(QCursor(Qt::WaitCursor));
  }
  ~WaitCursor() { Restore(); }
  WaitCursor(const WaitCursor&) = delete;
  WaitCursor& operator=(const WaitCursor&) = delete;
  void Restore() {
    if (active_) QGuiApplication::restoreOverrideCursor();
    active_ = false;
  }

 private:
  bool active_;
};

}  // namespace

double CityLongitudeFromFile(double v) { return v <= 180.0 ? -v : 360.0 - v; }

void LoadNebulae() {
  NebulaOutlineCount = 0;
  std::string reason;
  auto data = ReadDataFile("nebula.dat", reason);
  // The outlines are optional: a file that is missing is not told, one
  // refused (a pipe or a folder in its place) is.
  if (!data && reason != kDataFileMissing) ReportDataFileProblem(102, "nebula.dat", reason);
  if (data) {
    TFileCheck check;
    NebulaOutlineCount = WholeRecords(*data, kNebulaOutlineRecordSize, kNebulaOutlineCapacity, check);
    int bad = 0, first = 0;
    for (int i = 0; i < NebulaOutlineCount; ++i) {
      const uint8_t* p = &(*data)[std::size_t(i) * kNebulaOutlineRecordSize];
      TNebulaOutlinePoint point{platform::GetU16(p), p[2], platform::GetF64(p + 3), platform::GetF64(p + 11)};
      // A point off the sky ends its outline there.
      if (point.Marker != kOutlineEnd && !OnSky(point.RA, point.Dec)) {
        if (bad++ == 0) first = i + 1;
        point = {kOutlineEnd, 0, 0.0, 0.0};
      }
      NebulaOutlineTable[i + 1] = point;
    }
    NoteBadRecords(bad, first, NebulaOutlineCount, "outline points", "left out", check);
    Report("nebula.dat", check);
  }
  // Every reader finds an end marker after the last point.
  NebulaOutlineTable[NebulaOutlineCount + 1] = {kOutlineEnd, 0, 0.0, 0.0};
}

void LoadDataFiles() {
  struct Step {
    const char* name;
    void (*decode)(const std::vector<uint8_t>&, TFileCheck&);
  };
  static constexpr Step kSteps[] = {
      {"messier_rngc.dat", DecodeMessier},
      {"milkywayb.dat", DecodeMilkyWay},
      {"ConstellationLines.data", DecodeConstellationLines},
      {"city.dat", DecodeCities},
  };
  WaitCursor cursor;
  for (const Step& step : kSteps) {
    std::string reason;
    auto data = ReadDataFile(step.name, reason);
    if (!data) {
      // The first missing file stops the chain and ends the program; the
      // box names it, with what was found wrong before and the rebuild.
      cursor.Restore();
      std::vector<TDataFileProblem> problems = TakeHeldDataFileProblems();
      problems.push_back({102, step.name, reason});
      ShowFixedMessage(9, DataFileProblemText(problems, true));
      platform::HaltProgram(1);
    }
    TFileCheck check;
    step.decode(*data, check);
    Report(step.name, check);
  }
}

void ShowFixedMessage(int16_t code, const std::string& detail) {
  std::string text = code == 9 ? "Data file not found...  Program aborted!" : "Unknown error";
  if (!detail.empty()) text += "\r\n\r\n" + detail;
  platform::ShowMessageBox(text, "NOCTRA - Planetarium", platform::MsgButtons::Ok,
                           platform::MsgIcon::Stop);
}
