#include "astro/reference_files.h"

#include <QCursor>
#include <QGuiApplication>

#include <algorithm>
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

// The whole content of DataFolder + name, or nothing when it cannot be opened.
std::optional<std::vector<uint8_t>> ReadDataFile(const char* name) {
  std::ifstream in(platform::FindFileNoCase(DataFolder, name), std::ios::binary);
  if (!in) return std::nullopt;
  std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  return bytes;
}

// Number of whole records of `size` bytes in the data, at most `capacity`.
int WholeRecords(const std::vector<uint8_t>& data, int size, int capacity) {
  return int(std::min<std::size_t>(data.size() / std::size_t(size), std::size_t(capacity)));
}

void DecodeMessier(const std::vector<uint8_t>& data) {
  std::memset(MessierToRngc, 0, sizeof MessierToRngc);
  const int n = WholeRecords(data, 4, kMessierCount);
  for (int i = 0; i < n; ++i) MessierToRngc[i + 1] = platform::GetI32(&data[4 * i]);
}

void DecodeMilkyWay(const std::vector<uint8_t>& data) {
  MilkyWayCount = WholeRecords(data, kMilkyWayRecordSize, kMilkyWayCapacity);
  for (int i = 0; i < MilkyWayCount; ++i) {
    const uint8_t* p = &data[std::size_t(i) * kMilkyWayRecordSize];
    MilkyWayTable[i + 1] = {platform::GetF64(p), platform::GetF64(p + 8)};
  }
}

void DecodeConstellationLines(const std::vector<uint8_t>& data) {
  const int n = WholeRecords(data, kConstellationLineRecordSize, kConstellationLineCapacity);
  for (int i = 0; i < n; ++i) {
    const uint8_t* p = &data[std::size_t(i) * kConstellationLineRecordSize];
    ConstellationLineTable[i + 1] = {platform::GetU16(p), platform::GetI16(p + 2), p[4]};
  }
  ConstellationLineCount = int16_t(n);
}

void DecodeCities(const std::vector<uint8_t>& data) {
  std::memset(CityTable, 0, sizeof CityTable);
  const int n = WholeRecords(data, kCityEntrySize, kCityCount);
  for (int i = 0; i < n; ++i) {
    const uint8_t* p = &data[std::size_t(i) * kCityEntrySize];
    TCityRecord& city = CityTable[i];
    const std::string name = platform::GetShortString(p, 22);
    std::memcpy(city.Name, name.data(), std::min(name.size(), sizeof city.Name - 1));
    city.Latitude = platform::Real48ToDouble(p + 23);
    city.Longitude = CityLongitudeFromFile(platform::Real48ToDouble(p + 29));
    city.TimeZone = platform::GetI16(p + 35);
  }
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
  if (auto data = ReadDataFile("nebula.dat")) {
    NebulaOutlineCount = WholeRecords(*data, kNebulaOutlineRecordSize, kNebulaOutlineCapacity);
    for (int i = 0; i < NebulaOutlineCount; ++i) {
      const uint8_t* p = &(*data)[std::size_t(i) * kNebulaOutlineRecordSize];
      NebulaOutlineTable[i + 1] = {platform::GetU16(p), p[2], platform::GetF64(p + 3),
                                   platform::GetF64(p + 11)};
    }
  }
  // Every reader finds an end marker after the last point.
  NebulaOutlineTable[NebulaOutlineCount + 1] = {kOutlineEnd, 0, 0.0, 0.0};
}

void LoadDataFiles() {
  struct Step {
    const char* name;
    void (*decode)(const std::vector<uint8_t>&);
  };
  static constexpr Step kSteps[] = {
      {"messier_rngc.dat", DecodeMessier},
      {"milkywayb.dat", DecodeMilkyWay},
      {"ConstellationLines.data", DecodeConstellationLines},
      {"city.dat", DecodeCities},
  };
  WaitCursor cursor;
  for (const Step& step : kSteps) {
    auto data = ReadDataFile(step.name);
    if (!data) {
      // The first missing file stops the chain and ends the program.
      cursor.Restore();
      ShowFixedMessage(9);
      platform::HaltProgram(1);
    }
    step.decode(*data);
  }
}

void ShowFixedMessage(int16_t code) {
  const char* text = code == 9 ? "Data file not found...  Program aborted!" : "Unknown error";
  platform::ShowMessageBox(text, "NOCTRA - Planetarium", platform::MsgButtons::Ok,
                           platform::MsgIcon::Stop);
}
