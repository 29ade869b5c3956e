#include "platform/codec.h"

#include <cmath>

namespace platform {

double Real48ToDouble(const uint8_t* p) {
  const int exponent = p[0];
  if (exponent == 0) return 0.0;
  // 39-bit fraction: byte 5 bits 0..6 most significant, then bytes 4..1.
  uint64_t fraction = uint64_t(p[5] & 0x7F);
  for (int i = 4; i >= 1; --i) fraction = (fraction << 8) | p[i];
  const double mantissa = 1.0 + std::ldexp(double(fraction), -39);
  const double value = std::ldexp(mantissa, exponent - 129);
  return (p[5] & 0x80) ? -value : value;
}

bool DoubleToReal48(double value, uint8_t* p) {
  std::memset(p, 0, 6);
  if (!std::isfinite(value)) return false;
  if (value == 0.0) return true;
  const bool negative = value < 0;
  int e2 = 0;
  // frexp gives m in [0.5, 1): value = m * 2^e2 = (2m) * 2^(e2-1).
  double m = std::frexp(std::fabs(value), &e2);
  int exponent = e2 - 1 + 129;
  // Round the 39-bit fraction of 2m - 1 to nearest, carrying into the exponent.
  double scaled = std::nearbyint(std::ldexp(2.0 * m - 1.0, 39));
  uint64_t fraction = uint64_t(scaled);
  if (fraction >> 39) {
    fraction = 0;
    ++exponent;
  }
  if (exponent <= 0) return true;  // underflow: zero
  if (exponent > 255) return false;
  p[0] = uint8_t(exponent);
  for (int i = 1; i <= 4; ++i) {
    p[i] = uint8_t(fraction & 0xFF);
    fraction >>= 8;
  }
  p[5] = uint8_t(fraction & 0x7F) | (negative ? 0x80 : 0);
  return true;
}

namespace {

// Unicode code points of Windows-1252 bytes 0x80..0x9F (0 = unassigned).
constexpr char32_t kCp1252High[32] = {
    0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0,      0x017D, 0,
    0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178};

void AppendUtf8(std::string& out, char32_t c) {
  if (c < 0x80) {
    out += char(c);
  } else if (c < 0x800) {
    out += char(0xC0 | (c >> 6));
    out += char(0x80 | (c & 0x3F));
  } else if (c < 0x10000) {
    out += char(0xE0 | (c >> 12));
    out += char(0x80 | ((c >> 6) & 0x3F));
    out += char(0x80 | (c & 0x3F));
  } else {
    out += char(0xF0 | (c >> 18));
    out += char(0x80 | ((c >> 12) & 0x3F));
    out += char(0x80 | ((c >> 6) & 0x3F));
    out += char(0x80 | (c & 0x3F));
  }
}

}  // namespace

char32_t NextCodePoint(std::string_view s, std::size_t& i) {
  const auto b0 = uint8_t(s[i]);
  if (b0 < 0x80) {
    ++i;
    return b0;
  }
  const int extra = (b0 >> 5) == 6 ? 1 : (b0 >> 4) == 14 ? 2 : (b0 >> 3) == 30 ? 3 : 0;
  if (extra == 0 || s.size() - i <= std::size_t(extra)) {
    ++i;
    return 0xFFFD;
  }
  char32_t c = b0 & (0x3F >> extra);
  for (int k = 1; k <= extra; ++k) {
    const auto b = uint8_t(s[i + k]);
    if ((b & 0xC0) != 0x80) {
      ++i;
      return 0xFFFD;
    }
    c = (c << 6) | (b & 0x3F);
  }
  i += extra + 1;
  return c;
}

bool Cp1252Code(char32_t c, char& code) {
  if (c < 0x80 || (c >= 0xA0 && c <= 0xFF)) {
    code = char(c);
    return true;
  }
  for (int k = 0; k < 32; ++k) {
    if (kCp1252High[k] != 0 && kCp1252High[k] == c) {
      code = char(0x80 + k);
      return true;
    }
  }
  return false;
}

std::string Utf8ToCp1252(std::string_view utf8) {
  std::string out;
  out.reserve(utf8.size());
  for (std::size_t i = 0; i < utf8.size();) {
    char code = '?';
    Cp1252Code(NextCodePoint(utf8, i), code);
    out += code;
  }
  return out;
}

std::string Cp1252ToUtf8(std::string_view cp1252) {
  std::string out;
  out.reserve(cp1252.size());
  for (char ch : cp1252) {
    const auto b = uint8_t(ch);
    if (b < 0x80) {
      out += ch;
    } else if (b < 0xA0) {
      const char32_t c = kCp1252High[b - 0x80];
      AppendUtf8(out, c ? c : 0xFFFD);
    } else {
      AppendUtf8(out, b);
    }
  }
  return out;
}

std::string CutToChars(std::string_view utf8, std::size_t n) {
  std::size_t i = 0, count = 0;
  while (i < utf8.size() && count < n) {
    NextCodePoint(utf8, i);
    ++count;
  }
  return std::string(utf8.substr(0, i));
}

std::size_t CharCount(std::string_view utf8) {
  std::size_t i = 0, count = 0;
  while (i < utf8.size()) {
    NextCodePoint(utf8, i);
    ++count;
  }
  return count;
}

void PutShortString(uint8_t* p, std::string_view utf8, std::size_t capacity) {
  if (capacity > 255) capacity = 255;
  std::string bytes = Utf8ToCp1252(utf8);
  if (bytes.size() > capacity) bytes.resize(capacity);
  std::memset(p, 0, 1 + capacity);
  p[0] = uint8_t(bytes.size());
  std::memcpy(p + 1, bytes.data(), bytes.size());
}

std::string GetShortString(const uint8_t* p, std::size_t capacity) {
  if (capacity > 255) capacity = 255;
  std::size_t len = p[0];
  if (len > capacity) len = capacity;
  return Cp1252ToUtf8(std::string_view(reinterpret_cast<const char*>(p + 1), len));
}

}  // namespace platform
