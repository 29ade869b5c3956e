// Shared helpers of noctra-mkdata: reading source files, splitting text,
// angle units of the reference files, and the error raised for a source
// that cannot be read or understood.
#pragma once

#include <cmath>
#include <cstdint>
#include <numbers>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace mkdata {

inline constexpr double kPi = std::numbers::pi;
inline constexpr double kTwoPi = 2.0 * std::numbers::pi;
inline constexpr double kDegToRad = std::numbers::pi / 180.0;
inline constexpr double kHourToRad = std::numbers::pi / 12.0;

// A source file that is missing, unreadable or not in the expected form.
class SourceError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// The whole content of a file; throws SourceError naming the path when it
// cannot be read.
std::vector<uint8_t> ReadBinaryFile(const std::string& path);
std::string ReadTextFile(const std::string& path);

// The lines of a text (LF or CR LF endings, the line ends removed).
std::vector<std::string_view> SplitLines(std::string_view text);
// The fields of a line split at every occurrence of `sep` (empty fields kept).
std::vector<std::string_view> SplitFields(std::string_view line, char sep);
// The text without leading and trailing blanks and tabs.
std::string_view Trim(std::string_view s);

// Strict number conversions of a whole (trimmed) field; false when the text
// is empty or does not convert entirely.
bool ToDouble(std::string_view s, double& out);
bool ToInt(std::string_view s, long& out);

// An angle in radians as the 32-bit file unit of the star catalogues:
// value / 2147483647 × 2π radians, rounded to the nearest unit.
int32_t AngleToFileUnits(double radians);
// The reverse, for checks.
double FileUnitsToAngle(int32_t units);

// An angle brought into [0, 2π).
double NormaliseAngle(double radians);

// The magnitude byte of the star files: (magnitude + 2) × 10 rounded, kept in
// 1..255 so that 0 keeps its meaning "no magnitude" (which NaN gives).
uint8_t MagnitudeByte(double magnitude);

// A value rounded to the nearest integer (halves to even) and clamped to the
// range of a signed 16-bit field; NaN gives 0.
int16_t ClampToI16(double value);

}  // namespace mkdata
