// Locale-independent number text: every number written to or read from files,
// settings, device command strings and scripts uses "." as the decimal
// separator whatever the user's locale.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace platform {

// The program-wide number format. Only the separators matter to the program;
// the record exists so that callers can name the format they use.
struct TFormatSettings {
  char DecimalSeparator = '.';
  char ThousandSeparator = ',';
};
extern const TFormatSettings InvariantFormat;

// Fixed notation with `decimals` digits after the point (halves rounded to
// even on the binary value, as printf does), right-aligned in a field of at
// least `width` characters. NaN and infinities give "NAN", "INF", "-INF".
std::string FormatFixed(double value, int width, int decimals);

// Shortest general form with at most `digits` significant digits (like
// "%.15g"), "." as separator, no thousands separators.
std::string FormatGeneral(double value, int digits = 15);

// Integer right-aligned in at least `width` characters; zeroPad pads with "0"
// after any minus sign.
std::string FormatInt(int64_t value, int width = 0, bool zeroPad = false);

// Strict conversions of a whole text (leading and trailing blanks allowed, an
// optional sign, "." as decimal separator, an optional exponent). They return
// false and leave `out` unchanged when the text does not convert entirely.
bool ParseDouble(std::string_view text, double& out);
bool ParseInt(std::string_view text, int64_t& out);
bool ParseInt32(std::string_view text, int32_t& out);

}  // namespace platform
