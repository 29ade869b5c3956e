// Byte-level codecs shared by every reader and writer of the program's binary
// files: little-endian fixed-width fields, length-prefixed short strings in
// Windows-1252, and the 6-byte real of the settings and reference files.
//
// Files are always read and written field by field through these routines,
// never by casting structures, so the layouts hold on any compiler.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

namespace platform {

// --- Fixed-width little-endian fields over raw memory -----------------------

inline uint8_t GetU8(const uint8_t* p) { return p[0]; }
inline uint16_t GetU16(const uint8_t* p) { return uint16_t(p[0] | (p[1] << 8)); }
inline int16_t GetI16(const uint8_t* p) { return int16_t(GetU16(p)); }
inline uint32_t GetU32(const uint8_t* p) {
  return uint32_t(p[0]) | (uint32_t(p[1]) << 8) | (uint32_t(p[2]) << 16) | (uint32_t(p[3]) << 24);
}
inline int32_t GetI32(const uint8_t* p) { return int32_t(GetU32(p)); }
inline uint64_t GetU64(const uint8_t* p) { return uint64_t(GetU32(p)) | (uint64_t(GetU32(p + 4)) << 32); }
inline int64_t GetI64(const uint8_t* p) { return int64_t(GetU64(p)); }
inline float GetF32(const uint8_t* p) {
  uint32_t u = GetU32(p);
  float f;
  std::memcpy(&f, &u, 4);
  return f;
}
inline double GetF64(const uint8_t* p) {
  uint64_t u = GetU64(p);
  double d;
  std::memcpy(&d, &u, 8);
  return d;
}

inline void PutU8(uint8_t* p, uint8_t v) { p[0] = v; }
inline void PutU16(uint8_t* p, uint16_t v) {
  p[0] = uint8_t(v);
  p[1] = uint8_t(v >> 8);
}
inline void PutI16(uint8_t* p, int16_t v) { PutU16(p, uint16_t(v)); }
inline void PutU32(uint8_t* p, uint32_t v) {
  for (int i = 0; i < 4; ++i) p[i] = uint8_t(v >> (8 * i));
}
inline void PutI32(uint8_t* p, int32_t v) { PutU32(p, uint32_t(v)); }
inline void PutU64(uint8_t* p, uint64_t v) {
  for (int i = 0; i < 8; ++i) p[i] = uint8_t(v >> (8 * i));
}
inline void PutI64(uint8_t* p, int64_t v) { PutU64(p, uint64_t(v)); }
inline void PutF32(uint8_t* p, float f) {
  uint32_t u;
  std::memcpy(&u, &f, 4);
  PutU32(p, u);
}
inline void PutF64(uint8_t* p, double d) {
  uint64_t u;
  std::memcpy(&u, &d, 8);
  PutU64(p, u);
}

// --- The 6-byte real ----------------------------------------------------------
// Layout (little-endian): byte 0 is the exponent biased by 129 (0 means the
// value 0), bytes 1..5 hold a 39-bit fraction with byte 5 most significant,
// and bit 7 of byte 5 is the sign. Value = (-1)^s * 2^(e-129) * (1.f).

// Decodes 6 bytes into a double. An exponent byte of 0 gives 0.0.
double Real48ToDouble(const uint8_t* p);

// Encodes a double into 6 bytes, rounding the fraction to nearest. Returns
// false (and writes zero) for NaN, infinities and values whose magnitude lies
// outside the format's range (about 2.9e-39 .. 1.7e38); values too small to
// represent encode as 0 and return true.
bool DoubleToReal48(double value, uint8_t* p);

// --- Text ----------------------------------------------------------------------
// Text inside the program is UTF-8. Files store single-byte Windows-1252.

// UTF-8 to Windows-1252; characters without a Windows-1252 code become '?'.
std::string Utf8ToCp1252(std::string_view utf8);
// The Windows-1252 code of a character; false when the code page has none.
bool Cp1252Code(char32_t c, char& code);
// Windows-1252 to UTF-8 (the five unassigned codes map to U+FFFD).
std::string Cp1252ToUtf8(std::string_view cp1252);
// Decodes the character (code point) at s[i] and advances i past it; a
// malformed or truncated sequence decodes as U+FFFD and consumes one byte.
char32_t NextCodePoint(std::string_view s, std::size_t& i);
// The first n characters (code points) of a UTF-8 text.
std::string CutToChars(std::string_view utf8, std::size_t n);
// Number of characters (code points) of a UTF-8 text.
std::size_t CharCount(std::string_view utf8);

// Encodes a text as a short string field of 1 + capacity bytes: a length byte,
// then at most `capacity` (<= 255) Windows-1252 characters, zero padded.
void PutShortString(uint8_t* p, std::string_view utf8, std::size_t capacity = 255);
// Decodes a short string field of 1 + capacity bytes. A length byte larger
// than the capacity is taken as the capacity (damaged input never reads past
// the field).
std::string GetShortString(const uint8_t* p, std::size_t capacity = 255);

// --- Sequential reader and writer -------------------------------------------

// Appends little-endian fields to a growing byte buffer.
class ByteWriter {
 public:
  std::vector<uint8_t>& Bytes() { return buf_; }
  const std::vector<uint8_t>& Bytes() const { return buf_; }
  std::size_t Size() const { return buf_.size(); }

  void U8(uint8_t v) { buf_.push_back(v); }
  void I8(int8_t v) { buf_.push_back(uint8_t(v)); }
  void U16(uint16_t v) { PutU16(Grow(2), v); }
  void I16(int16_t v) { PutI16(Grow(2), v); }
  void U32(uint32_t v) { PutU32(Grow(4), v); }
  void I32(int32_t v) { PutI32(Grow(4), v); }
  void I64(int64_t v) { PutI64(Grow(8), v); }
  void F32(float v) { PutF32(Grow(4), v); }
  void F64(double v) { PutF64(Grow(8), v); }
  // Writes a 6-byte real; returns false (zero written) for unrepresentable values.
  bool Real48(double v) { return DoubleToReal48(v, Grow(6)); }
  void ShortString(std::string_view utf8, std::size_t capacity = 255) {
    PutShortString(Grow(1 + capacity), utf8, capacity);
  }
  void Raw(const void* data, std::size_t n) {
    if (n) std::memcpy(Grow(n), data, n);
  }
  void Zeros(std::size_t n) { buf_.insert(buf_.end(), n, 0); }

 private:
  uint8_t* Grow(std::size_t n) {
    buf_.resize(buf_.size() + n);
    return buf_.data() + buf_.size() - n;
  }
  std::vector<uint8_t> buf_;
};

// Reads little-endian fields from a byte range. Reading past the end sets the
// failure flag and yields zeros; callers check Ok() once at the end.
class ByteReader {
 public:
  ByteReader(const uint8_t* data, std::size_t size) : p_(data), n_(size) {}
  explicit ByteReader(const std::vector<uint8_t>& v) : p_(v.data()), n_(v.size()) {}

  bool Ok() const { return ok_; }
  std::size_t Pos() const { return pos_; }
  std::size_t Remaining() const { return n_ - pos_; }
  void Seek(std::size_t pos) {
    if (pos > n_) {
      ok_ = false;
      pos_ = n_;
    } else {
      pos_ = pos;
    }
  }
  void Skip(std::size_t n) { Seek(pos_ + n); }

  uint8_t U8() { auto q = Take(1); return q ? q[0] : 0; }
  int8_t I8() { return int8_t(U8()); }
  uint16_t U16() { auto q = Take(2); return q ? GetU16(q) : 0; }
  int16_t I16() { auto q = Take(2); return q ? GetI16(q) : 0; }
  uint32_t U32() { auto q = Take(4); return q ? GetU32(q) : 0; }
  int32_t I32() { auto q = Take(4); return q ? GetI32(q) : 0; }
  int64_t I64() { auto q = Take(8); return q ? GetI64(q) : 0; }
  float F32() { auto q = Take(4); return q ? GetF32(q) : 0.0f; }
  double F64() { auto q = Take(8); return q ? GetF64(q) : 0.0; }
  double Real48() { auto q = Take(6); return q ? Real48ToDouble(q) : 0.0; }
  std::string ShortString(std::size_t capacity = 255) {
    auto q = Take(1 + capacity);
    return q ? GetShortString(q, capacity) : std::string();
  }
  bool Raw(void* out, std::size_t n) {
    auto q = Take(n);
    if (!q) {
      if (n) std::memset(out, 0, n);
      return false;
    }
    if (n) std::memcpy(out, q, n);
    return true;
  }

 private:
  const uint8_t* Take(std::size_t n) {
    if (!ok_ || n > n_ - pos_) {
      ok_ = false;
      return nullptr;
    }
    const uint8_t* q = p_ + pos_;
    pos_ += n;
    return q;
  }
  const uint8_t* p_;
  std::size_t n_;
  std::size_t pos_ = 0;
  bool ok_ = true;
};

}  // namespace platform
