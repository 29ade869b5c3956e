// Points of interest: up to 100 positions on the sky that the magnifier can
// show, listed in the Location menu and edited in the points-of-interest
// window. Record 0 is the "Scan" entry (the magnifier following the chart).
//
// The table is also settings-file slot 8: the point count as a 32-bit
// integer, then all 101 records of 534 bytes.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

inline constexpr int kMaxPointsOfInterest = 100;
inline constexpr std::size_t kPOIRecordBytes = 534;
inline constexpr std::size_t kPOISectionBytes = 4 + (kMaxPointsOfInterest + 1) * kPOIRecordBytes;
inline constexpr int kPOISettingsSlot = 8;
// Field-of-view mode 9: the magnifier's field follows the chart.
inline constexpr int32_t kAutomaticFieldMode = 9;

struct TPointOfInterest {
  double RA = 0;          // J2000, radians
  double Dec = 0;         // J2000, radians
  int32_t Mode = 0;       // field-of-view mode of the magnifier
  std::string Name;       // at most 255 characters
  uint8_t Goto = 0;       // 1: slew the telescope there
  std::string Plan;       // imaging plan "#exposures,time,filter,purpose;..."
  uint8_t Confirm = 0;    // 1: ask before the next point
  bool operator==(const TPointOfInterest&) const = default;
};

extern std::array<TPointOfInterest, kMaxPointsOfInterest + 1> POITable;
extern int32_t POICount;    // 0..100
extern int32_t CurrentPOI;  // the entry the magnifier shows; 0 = "Scan"

// What the table tells the windows. Unset hooks do nothing.
struct TPOIHooks {
  std::function<void(int)> showMenuSlot;   // 0 Scan, 1..9 Location n, 10 More
  std::function<void(int)> hideMenuSlot;
  std::function<void()> refreshGrid;       // the points-of-interest window
  std::function<void()> listLoaded;        // a settings file replaced the list
  // The fixed field the magnifier shows at the moment, stored for a point
  // given mode 9 ("Automatic"). Unset: mode 9 is stored as it is.
  std::function<int32_t()> automaticFieldMode;
};
void SetPOIHooks(TPOIHooks hooks);
const TPOIHooks& POIHooks();

// Appends a point. False when 100 points exist. An empty name becomes
// "Object" followed by the point's number.
bool AddPointOfInterest(int32_t mode, const std::string& name, bool gotoFlag, bool confirm,
                        const std::string& plan, double ra, double dec);
// Position and mode of entry 0..POICount; false outside.
bool SetPointOfInterest(int32_t index, int32_t mode, double ra, double dec);
bool GetPointOfInterest(int32_t index, double& ra, double& dec, int32_t& mode);
// Removes point 1..POICount; the later points move down by one.
bool DeletePointOfInterest(int32_t index);
void ClearPointsOfInterest();
// Exchanges points r and r - 1 (up) or r and r + 1 (down), both within
// 1..POICount; the "Scan" record is never touched. False when there is no
// neighbour.
bool MovePointOfInterest(int32_t r, bool up);

// Slot 8.
std::vector<uint8_t> PointsOfInterestBlock();
// Applies a slot-8 block. The whole block is checked first: a count outside
// 0..100, a position outside the sphere or not finite, a flag other than 0
// or 1, or an unknown field-of-view mode refuses it (false, nothing
// changed). A null block changes nothing.
bool ApplyPointsOfInterestBlock(const std::vector<uint8_t>* block);
// Makes the table the owner of slot 8 of the settings files.
void RegisterPointsOfInterestSection();

// True for a field-of-view mode the magnifier knows: 0..9, a telescope
// 100 × t (t 1..10) optionally with an eyepiece e × 10000 (e 1..10).
bool ValidFieldOfViewMode(int32_t mode);

// "Yes" for "y", "yes", "t", "true" in any letter case, otherwise "No".
std::string NormaliseYesNo(const std::string& cell);

// The pick list's lines: "Location n" for 1..count, each cut to 20 characters.
std::vector<std::string> POIPickListLines(int32_t count);

// Grid cells of point i (1..POICount): number, name, RA, Dec, goto, plan,
// confirm.
std::array<std::string, 7> POIGridRow(int32_t index);
// Reads a grid row back into point i. A position that does not parse keeps
// its value.
void ReadPOIGridRow(int32_t index, const std::array<std::string, 7>& cells);
