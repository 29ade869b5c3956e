#include "imaging/fits.h"

#include <algorithm>
#include <bit>
#include <cfloat>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <limits>
#include <map>

#include "platform/codec.h"
#include "platform/float_to_int.h"
#include "platform/large_pages.h"
#include "platform/numfmt.h"

namespace imaging {

namespace {

// Header blocks read before a file without END is refused.
constexpr int kMaxHeaderBlocks = 1000;

std::string Trim(std::string_view s) {
  std::size_t a = 0, b = s.size();
  while (a < b && s[a] == ' ') ++a;
  while (b > a && s[b - 1] == ' ') --b;
  return std::string(s.substr(a, b - a));
}

std::string UpperKey(std::string_view key) {
  std::string k(key.substr(0, 8));
  k.resize(8, ' ');
  for (char& c : k)
    if (c >= 'a' && c <= 'z') c = char(c - 'a' + 'A');
  return k;
}

// The value of a card (columns 11-80): a quoted string with its doubled
// quotes undone and trailing blanks removed, or the text up to the first
// "/" with blanks trimmed.
std::string CardValue(std::string_view card) {
  std::string_view v = card.size() > 10 ? card.substr(10) : std::string_view();
  std::size_t i = 0;
  while (i < v.size() && v[i] == ' ') ++i;
  if (i < v.size() && v[i] == '\'') {
    std::string out;
    for (++i; i < v.size(); ++i) {
      if (v[i] == '\'') {
        if (i + 1 < v.size() && v[i + 1] == '\'') {
          out += '\'';
          ++i;
        } else {
          break;
        }
      } else {
        out += v[i];
      }
    }
    while (!out.empty() && out.back() == ' ') out.pop_back();
    return out;
  }
  const std::size_t slash = v.find('/');
  return Trim(v.substr(0, slash));
}

// Text of a commentary card: columns 9-80 (a "= " there, as older files
// wrote it, is skipped), blanks trimmed.
std::string CommentText(std::string_view card) {
  std::string_view v = card.substr(8);
  if (v.size() >= 2 && v[0] == '=' && v[1] == ' ') v.remove_prefix(2);
  return Trim(v);
}

struct Cards {
  std::map<std::string, std::string> values;  // first card of a key wins
  std::vector<std::string> comments;
  const std::string* Find(const char* key) const {
    auto it = values.find(UpperKey(key));
    return it == values.end() ? nullptr : &it->second;
  }
};

// Reads header blocks until END. Empty when it was found, else why the
// header is refused: the file is empty or does not begin as a FITS file
// does, it ends within its header, or has no END card within
// kMaxHeaderBlocks blocks.
std::string ReadCards(std::istream& in, Cards& cards) {
  std::vector<char> block(kFitsBlock);
  bool fits = false;  // the file begins with SIMPLE
  for (int b = 0; b < kMaxHeaderBlocks; ++b) {
    const bool whole = bool(in.read(block.data(), kFitsBlock));
    if (b == 0) {
      if (in.gcount() == 0) return "the file is empty";
      fits = std::string_view(block.data(), std::size_t(in.gcount())).substr(0, 6) == "SIMPLE";
    }
    if (!whole)
      return fits ? "no END card: the file ends within its header" : "not a FITS file: it does not begin with SIMPLE";
    for (int c = 0; c < 36; ++c) {
      std::string_view card(block.data() + c * kFitsCard, kFitsCard);
      const std::string key = UpperKey(card.substr(0, 8));
      if (key == "END     ") return {};
      if (key == "COMMENT ") {
        cards.comments.push_back(CommentText(card));
        continue;
      }
      if (key == "        " || key == "HISTORY ") continue;
      cards.values.emplace(key, CardValue(card));
    }
  }
  return "no END card in the first " + std::to_string(kMaxHeaderBlocks) + " header blocks";
}

// A float of a card ("1.5", "1.5E3", "1.5D3"). False for text that is no
// finite number, with `outside` (when given) telling whether it is a
// number beyond the range of doubles ("1E400").
bool ParseFitsFloat(std::string text, double& out, bool* outside = nullptr) {
  for (char& c : text)
    if (c == 'D' || c == 'd') c = 'E';
  if (platform::ParseDouble(text, out)) return true;
  double any = 0;
  if (outside)
    *outside = std::from_chars(text.data(), text.data() + text.size(), any).ec == std::errc::result_out_of_range;
  return false;
}

bool ParseFitsInt(const std::string& text, int32_t& out) {
  if (platform::ParseInt32(text, out)) return true;
  // Some writers give integral values as floats ("16.", "1.0E3").
  double d = 0;
  return ParseFitsFloat(text, d) && d == std::floor(d) && platform::FloatToInt(d, out);
}

std::string CutText(const std::string& s) { return s.substr(0, kFitsTextMax); }

bool AcceptedType(int32_t bitPix) {
  return bitPix == 8 || bitPix == 16 || bitPix == 32 || bitPix == -32 || bitPix == -64;
}

std::string AxesRefusal(int32_t naxis) {
  return "NAXIS = " + std::to_string(naxis) + ": only pictures of 2 axes (or 3 with 1 or 3 planes) are read";
}

// Why the type and axes of a header are not accepted (AcceptedType and
// FitsComputeSizes); empty when they are.
std::string ShapeRefusal(const TFitsHeader& h) {
  auto side = [](const char* key, int32_t v) {
    return v > 0 && v < kFitsMaxAxis
               ? std::string()
               : std::string(key) + " = " + std::to_string(v) + ": not within 1 to " + std::to_string(kFitsMaxAxis - 1);
  };
  if (!AcceptedType(h.BitPix))
    return "BITPIX = " + std::to_string(h.BitPix) + ": not one of 8, 16, 32, -32, -64";
  if (h.NAxis < 2 || h.NAxis > 3) return AxesRefusal(h.NAxis);
  if (std::string s = side("NAXIS1", h.NAxis1); !s.empty()) return s;
  if (std::string s = side("NAXIS2", h.NAxis2); !s.empty()) return s;
  if (FitsPlanes(h) != 1 && FitsPlanes(h) != 3)
    return "NAXIS3 = " + std::to_string(h.NAxis3) + ": only 1 or 3 planes are read";
  TFitsHeader sized = h;
  if (!FitsComputeSizes(sized))
    return "the data part is larger than the largest picture read (" + std::to_string(kFitsMaxDataBytes) + " bytes)";
  return {};
}

// --- From stored to physical values ---------------------------------------------

uint16_t Load16(const uint8_t* q) { return uint16_t((q[0] << 8) | q[1]); }
uint32_t Load32(const uint8_t* q) {
  return (uint32_t(q[0]) << 24) | (uint32_t(q[1]) << 16) | (uint32_t(q[2]) << 8) | q[3];
}
uint64_t Load64(const uint8_t* q) { return (uint64_t(Load32(q)) << 32) | Load32(q + 4); }

// Copies n 16-bit words from `src` to `dst` (which may be the same) with
// the bytes of each swapped and then XORed with `flip`: a sign flip between
// signed and BZERO 32768 words (0x8000 on reading, 0x0080 on writing, as
// the bytes then lie the other way), four words at a time.
void SwapWords16(const uint8_t* src, uint8_t* dst, int64_t n, uint16_t flip) {
  constexpr uint64_t kLow = 0x00FF00FF00FF00FFull;
  const uint64_t flip4 = flip * 0x0001000100010001ull;
  int64_t i = 0;
  for (; i + 4 <= n; i += 4) {
    uint64_t x;
    std::memcpy(&x, src + 2 * i, 8);
    x = (((x & kLow) << 8) | ((x >> 8) & kLow)) ^ flip4;
    std::memcpy(dst + 2 * i, &x, 8);
  }
  for (; i < n; ++i) {
    const uint16_t v = uint16_t(Load16(src + 2 * i) ^ flip);
    std::memcpy(dst + 2 * i, &v, 2);
  }
}

// Calls f(i, v) with the stored value v of each of the n elements of a
// big-endian data part: BITPIX 8 unsigned, 16 and 32 signed, -32 and -64
// IEEE floats.
template <typename F>
void ForEachStored(const uint8_t* p, int32_t bitPix, int64_t n, F&& f) {
  switch (bitPix) {
    case 8: for (int64_t i = 0; i < n; ++i) f(i, double(p[i])); break;
    case 16: for (int64_t i = 0; i < n; ++i) f(i, double(int16_t(Load16(p + 2 * i)))); break;
    case 32: for (int64_t i = 0; i < n; ++i) f(i, double(int32_t(Load32(p + 4 * i)))); break;
    case -32:
      for (int64_t i = 0; i < n; ++i) f(i, double(std::bit_cast<float>(Load32(p + 4 * i))));
      break;
    case -64: for (int64_t i = 0; i < n; ++i) f(i, std::bit_cast<double>(Load64(p + 8 * i))); break;
  }
}

// Stores v as element i of an in-memory block of type `bitPix`; integers
// saturate at the type's limits, floats at the largest finite float.
void PutValue(uint8_t* d, int32_t bitPix, int64_t i, double v) {
  switch (bitPix) {
    case 8: d[i] = platform::ClampFloatToInt<uint8_t>(v); break;
    case 16: { const uint16_t x = platform::ClampFloatToInt<uint16_t>(v); std::memcpy(d + 2 * i, &x, 2); break; }
    case 32: { const int32_t x = platform::ClampFloatToInt<int32_t>(v); std::memcpy(d + 4 * i, &x, 4); break; }
    case -32: {
      const float x = float(std::clamp(v, -double(FLT_MAX), double(FLT_MAX)));
      std::memcpy(d + 4 * i, &x, 4);
      break;
    }
    case -64: std::memcpy(d + 8 * i, &v, 8); break;
  }
}

// The in-memory type for physical values lo..hi of a file of type `bitPix`:
// the narrowest that holds them exactly and is not narrower than the file's
// own element (8 and 16 unsigned, 32 signed), else a float.
int32_t MemoryType(int32_t bitPix, bool integral, double lo, double hi) {
  if (integral && bitPix > 0) {
    if (bitPix == 8 && lo >= 0 && hi <= 255) return 8;
    if (bitPix <= 16 && lo >= 0 && hi <= 65535) return 16;
    if (lo >= -2147483648.0 && hi <= 2147483647.0) return 32;
  }
  if (bitPix == 8 || bitPix == 16) return -32;  // as precise as the stored value
  return -64;
}

// The conversion in place of a slice of a data part (big-endian, stored
// values) for files whose physical values keep the stored type: unsigned
// 16-bit words (BZERO 32768, the sign bit flipped) and unscaled 8, 32, -32
// and -64 bits (the byte order only). Null for the others (ToPhysical).
using SliceConversion = void (*)(uint8_t* p, int64_t bytes);
SliceConversion InPlaceConversion(int32_t type, double bs, double bz) {
  if (type == 16 && bs == 1 && bz == 32768)
    return [](uint8_t* p, int64_t bytes) { SwapWords16(p, p, bytes / 2, 0x8000); };
  if (type == 16 || bs != 1 || bz != 0) return nullptr;
  if (type == 8) return [](uint8_t*, int64_t) {};
  if (type == -64)
    return [](uint8_t* p, int64_t bytes) {
      for (int64_t i = 0; i < bytes; i += 8) {
        const uint64_t v = Load64(p + i);
        std::memcpy(p + i, &v, 8);
      }
    };
  return [](uint8_t* p, int64_t bytes) {
    for (int64_t i = 0; i < bytes; i += 4) {
      const uint32_t v = Load32(p + i);
      std::memcpy(p + i, &v, 4);
    }
  };
}

// Reads the data part into `data` (DataBlocks blocks; the padding of the
// last block may be missing and is zero) in slices, each converted by
// `convert` (when given) while it is at hand. False when the stream ends
// before the data does.
bool ReadDataPart(std::istream& in, const TFitsHeader& h, SliceConversion convert, FitsData& data) {
  constexpr int64_t kSlice = int64_t(1) << 20;  // a multiple of every element size
  std::vector<uint8_t> slice(std::size_t(std::min(kSlice, h.DataBytes)));
  data.clear();
  data.reserve(std::size_t(h.DataBlocks * kFitsBlock));
  platform::AdviseLargePages(data.data(), data.capacity());
  for (int64_t at = 0; at < h.DataBytes; at += kSlice) {
    const int64_t want = std::min(kSlice, h.DataBytes - at);
    in.read(reinterpret_cast<char*>(slice.data()), std::streamsize(want));
    if (in.gcount() < want) return false;
    if (convert) convert(slice.data(), want);
    data.insert(data.end(), slice.begin(), slice.begin() + want);
  }
  data.resize(std::size_t(h.DataBlocks * kFitsBlock), 0);
  return true;
}

// Turns a data part as read (big-endian, stored values) into physical
// values BZERO + BSCALE x stored in machine order, in the in-memory type
// that holds them (MemoryType); BitPix and the sizes follow. False when the
// physical data would exceed the largest block.
bool ToPhysical(TFitsHeader& h, double bs, double bz, FitsData& data) {
  const int32_t type = h.BitPix;
  const int64_t n = h.DataBytes / FitsElementBytes(type);
  const uint8_t* p = data.data();
  double lo = 0, hi = 0;
  const bool integral = type > 0 && bs == std::trunc(bs) && bz == std::trunc(bz);
  if (type > 0) {
    double smin = std::numeric_limits<double>::infinity(), smax = -smin;
    ForEachStored(p, type, n, [&](int64_t, double v) {
      smin = std::min(smin, v);
      smax = std::max(smax, v);
    });
    lo = std::min(bz + bs * smin, bz + bs * smax);
    hi = std::max(bz + bs * smin, bz + bs * smax);
  }
  h.BitPix = MemoryType(type, integral, lo, hi);
  if (!FitsComputeSizes(h)) return false;
  FitsData out(std::size_t(h.DataBlocks * kFitsBlock), 0);
  const int32_t to = h.BitPix;
  ForEachStored(p, type, n, [&](int64_t i, double v) { PutValue(out.data(), to, i, bz + bs * v); });
  data = std::move(out);
  return true;
}

// The text of an element type in messages ("16-bit data").
std::string DataKind(int32_t bitPix) {
  return std::to_string(std::abs(bitPix)) + (bitPix < 0 ? "-bit floating-point data" : "-bit data");
}

// Why BZERO + BSCALE x stored cannot be applied to a file of type `bitPix`
// (empty when it can): a physical value would not be finite in the type
// that holds it in memory, single floats for scaled 8- and 16-bit data,
// doubles otherwise. Integer types are judged over every value they can
// hold, float data over the finite values of `data` (big-endian, as read).
// BZERO is named when it alone lies beyond the type, else BSCALE.
std::string ScalingRefusal(int32_t bitPix, double bs, double bz, const std::string& bsText,
                           const std::string& bzText, const FitsData* data, int64_t n) {
  double lo = 0, hi = 0;
  switch (bitPix) {
    case 8: hi = 255; break;
    case 16: lo = -32768; hi = 32767; break;
    case 32: lo = -2147483648.0; hi = 2147483647.0; break;
    default: {
      lo = std::numeric_limits<double>::infinity();
      hi = -lo;
      ForEachStored(data->data(), bitPix, n, [&](int64_t, double v) {
        if (std::isfinite(v)) {
          lo = std::min(lo, v);
          hi = std::max(hi, v);
        }
      });
      if (lo > hi) return {};  // no finite value: nothing to scale
    }
  }
  const double limit = bitPix == 8 || bitPix == 16 ? double(FLT_MAX) : DBL_MAX;
  auto within = [&](double v) { return std::isfinite(v) && std::fabs(v) <= limit; };
  if (within(bz + bs * lo) && within(bz + bs * hi)) return {};
  const bool zero = !within(bz);
  return (zero ? "BZERO = " + bzText : "BSCALE = " + bsText) + " cannot be applied to " + DataKind(bitPix);
}

}  // namespace

int FitsElementBytes(int32_t bitPix) {
  switch (bitPix) {
    case 8: return 1;
    case 16: case -16: return 2;
    case 32: case -32: return 4;
    case -64: return 8;
    default: return 0;
  }
}

int32_t FitsPlanes(const TFitsHeader& h) { return h.NAxis == 3 ? h.NAxis3 : 1; }

bool FitsComputeSizes(TFitsHeader& h) {
  h.DataBits = h.DataBytes = h.DataBlocks = 0;
  const int bytes = FitsElementBytes(h.BitPix);
  const int32_t planes = FitsPlanes(h);
  if (bytes == 0 || h.NAxis < 2 || h.NAxis > 3 || h.NAxis1 <= 0 || h.NAxis1 >= kFitsMaxAxis ||
      h.NAxis2 <= 0 || h.NAxis2 >= kFitsMaxAxis || (planes != 1 && planes != 3))
    return false;
  const int64_t n = int64_t(h.NAxis1) * h.NAxis2 * planes * bytes;
  if (n > kFitsMaxDataBytes) return false;
  h.DataBytes = n;
  h.DataBits = n * 8;
  h.DataBlocks = (n - 1) / kFitsBlock + 1;
  return true;
}

TFitsHeader NewFitsHeader(int32_t bitPix, int32_t width, int32_t height, int32_t planes) {
  TFitsHeader h;
  h.Simple = true;
  h.BitPix = h.SaveBitPix = bitPix;
  h.NAxis = planes == 3 ? 3 : 2;
  h.NAxis1 = width;
  h.NAxis2 = height;
  h.NAxis3 = planes;
  h.BScale = 1.0;
  FitsComputeSizes(h);
  return h;
}

double FitsValue(const uint8_t* data, int32_t bitPix, int64_t i) {
  switch (bitPix) {
    case 8: return data[i];
    case 16: { uint16_t v; std::memcpy(&v, data + 2 * i, 2); return v; }
    case 32: { int32_t v; std::memcpy(&v, data + 4 * i, 4); return v; }
    case -32: { float v; std::memcpy(&v, data + 4 * i, 4); return v; }
    case -64: { double v; std::memcpy(&v, data + 8 * i, 8); return v; }
    default: return 0.0;
  }
}

bool LoadFitsHeader(std::istream& in, TFitsHeader& h, FitsData& data, std::string* warning, std::string* reason) {
  data.clear();
  if (warning) warning->clear();
  if (reason) reason->clear();
  Cards cards;
  if (const std::string why = ReadCards(in, cards); !why.empty()) throw EInvalidGraphic::Refused(why);

  // Required keywords; a missing or unconvertible one fails acceptance. The
  // first failure is the reason.
  std::string refused;
  auto req = [&](const char* key, int32_t& out) {
    const std::string* v = cards.Find(key);
    if (v && ParseFitsInt(*v, out)) return true;
    if (refused.empty())
      refused = v ? std::string(key) + " = " + *v + ": not an integer" : std::string("no ") + key + " card";
    return false;
  };
  const std::string* simple = cards.Find("SIMPLE");
  h.Simple = simple && *simple == "T";
  if (!h.Simple) refused = simple ? "SIMPLE = " + *simple + ": not a standard FITS file" : "no SIMPLE card";
  const bool axes = req("BITPIX", h.BitPix) && req("NAXIS", h.NAxis);
  // A file of another number of axes has other axis cards: NAXIS is why.
  if (axes && (h.NAxis < 2 || h.NAxis > 3) && refused.empty()) refused = AxesRefusal(h.NAxis);
  if (!axes || !req("NAXIS1", h.NAxis1) || !req("NAXIS2", h.NAxis2)) h.Simple = false;
  h.NAxis3 = 1;
  if (h.NAxis == 3 && !req("NAXIS3", h.NAxis3)) h.Simple = false;
  // A refusal is told to the caller on every way out that reads no data.
  auto notAccepted = [&](const std::string& why) {
    if (reason) *reason = why;
    return false;
  };

  const double max = std::ldexp(1.0, std::abs(h.BitPix) > 64 ? 64 : std::abs(h.BitPix));
  h.ReadError = false;

  // Optional keywords, in order; the first failure sets ReadError and the
  // keywords after it keep their defaults.
  for (auto& c : h.Comments) c.clear();
  for (std::size_t i = 0; i < cards.comments.size() && i < 10; ++i) h.Comments[i] = CutText(cards.comments[i]);
  h.BScale = 1.0;
  h.BZero = 0.0;
  h.Background = -1.0;
  h.Range = -1.0;
  // The scaling as written, and why it cannot be applied: a value that is
  // no finite number refuses the file (it is never shown unscaled).
  std::string bsText = "1", bzText = "0", refusal;
  [&] {
    auto flt = [&](const char* key, double& out) {
      const std::string* v = cards.Find(key);
      if (!v) return true;
      if (ParseFitsFloat(*v, out)) return true;
      h.ReadError = true;
      return false;
    };
    auto scaling = [&](const char* key, double& out, std::string& text) {
      const std::string* v = cards.Find(key);
      if (!v || v->empty()) return flt(key, out);  // absent, or no value: an unreadable keyword
      text = *v;
      bool outside = false;
      if (ParseFitsFloat(*v, out, &outside)) return true;
      h.ReadError = true;
      refusal = std::string(key) + " = " + *v +
                (outside ? " is outside the range of double-precision numbers" : " is not a finite number");
      return false;
    };
    auto integer = [&](const char* key, int32_t& out) {
      const std::string* v = cards.Find(key);
      if (!v) return true;
      if (ParseFitsInt(*v, out)) return true;
      h.ReadError = true;
      return false;
    };
    auto text = [&](const char* key, std::string& out) {
      const std::string* v = cards.Find(key);
      if (v) out = CutText(*v);
    };
    if (!scaling("BSCALE", h.BScale, bsText) || !scaling("BZERO", h.BZero, bzText) ||
        !flt("BACKGRND", h.Background) || !flt("RANGE", h.Range))
      return;
    if (h.Background == -1.0) {
      int32_t lo = 0;
      if (!integer("MIPS-LO", lo)) return;
      h.Background = lo;
    }
    if (h.Range == -1.0) {
      double hi = max;
      if (cards.Find("MIPS-HI")) {
        if (!flt("MIPS-HI", hi)) return;
      }
      h.Range = hi - h.Background;
    }
    if (const std::string* v = cards.Find("EXTEND")) h.Extend = *v == "T";
    if (!flt("EXPTIME", h.ExposureTime) || !integer("FOCALLEN", h.FocalLength) ||
        !integer("APTDIA", h.ApertureDiameter))
      return;
    text("MOSAIC", h.Mosaic);
    text("FILTER", h.Filter);
    text("INSTRUME", h.Instrument);
    text("TIME-OBS", h.TimeObs);
    text("DATE-OBS", h.DateObs);
    if (!flt("CCD-TEMP", h.CcdTemperature)) return;
  }();
  h.FlippedHorizontally = false;
  h.FlippedVertically = false;

  // Acceptance: the scaling must be applicable; a display keyword that is
  // not usable falls back to its default (the picture is still shown).
  if (!h.Simple) return notAccepted(refused);
  if (const std::string why = ShapeRefusal(h); !why.empty()) return notAccepted(why);
  FitsComputeSizes(h);
  if (refusal.empty() && h.BitPix > 0)
    refusal = ScalingRefusal(h.BitPix, h.BScale, h.BZero, bsText, bzText, nullptr, 0);
  if (!refusal.empty()) throw EInvalidGraphic(refusal);
  if (h.BScale == 0 && warning)
    *warning = "BSCALE = " + bsText + ": every pixel has the value of BZERO, " + platform::FormatGeneral(h.BZero, 15);
  if (!std::isfinite(h.Background)) {
    h.Background = 0;
    h.ReadError = true;
  }
  if (!std::isfinite(h.Range) || h.Range < 0) {
    h.Range = max - h.Background;
    h.ReadError = true;
  }

  // Pixel data: the data part must be complete (the padding of the last
  // block may be missing). A seekable stream that is shorter than the
  // header says is refused before the block is allocated.
  const std::streampos here = in.tellg();
  if (here != std::streampos(-1) && in.seekg(0, std::ios::end)) {
    const std::streamoff left = in.tellg() - here;
    in.seekg(here);
    if (left < h.DataBytes)
      throw EInvalidGraphic::Refused("the data part is cut short: " +
                                     std::to_string(std::max<std::streamoff>(left, 0)) + " of " +
                                     std::to_string(h.DataBytes) + " bytes");
  }
  in.clear();
  const double bs = h.BScale, bz = h.BZero;
  h.BScale = 1.0;
  h.BZero = 0.0;
  const SliceConversion convert = InPlaceConversion(h.BitPix, bs, bz);
  if (!ReadDataPart(in, h, convert, data)) {
    data.clear();
    data.shrink_to_fit();
    throw EInvalidGraphic::Refused("the data part is cut short: the file ends before " +
                                   std::to_string(h.DataBytes) + " bytes");
  }
  if (!convert && h.BitPix < 0) {
    refusal = ScalingRefusal(h.BitPix, bs, bz, bsText, bzText, &data, h.DataBytes / FitsElementBytes(h.BitPix));
    if (!refusal.empty()) {
      data.clear();
      throw EInvalidGraphic(refusal);
    }
  }
  if (!convert && !ToPhysical(h, bs, bz, data)) {
    data.clear();
    return notAccepted("the scaled values need more than the largest picture held (" +
                       std::to_string(kFitsMaxDataBytes) + " bytes)");
  }
  h.SaveBitPix = h.BitPix;
  return true;
}

// --- Writer ------------------------------------------------------------------

namespace {

// Shortest text of a float that reads back to the same double, in FITS form
// (upper-case exponent), fitted into 20 columns.
std::string FloatText(double v) {
  if (!std::isfinite(v)) v = 0.0;
  char buf[64];
  auto r = std::to_chars(buf, buf + sizeof buf, v);
  std::string s(buf, r.ptr);
  for (int prec = 15; s.size() > 20 && prec > 0; --prec) {
    r = std::to_chars(buf, buf + sizeof buf, v, std::chars_format::general, prec);
    s.assign(buf, r.ptr);
  }
  for (char& c : s)
    if (c == 'e') c = 'E';
  return s;
}

std::string Pad(std::string s, std::size_t width) {
  if (s.size() < width) s.append(width - s.size(), ' ');
  return s;
}

std::string RightIn20(const std::string& s) {
  return s.size() >= 20 ? s.substr(0, 20) : std::string(20 - s.size(), ' ') + s;
}

enum class Kind { Logical, Integer, Float, String, Comment, End };

// One 80-column card. Strings keep their closing quote: a string longer
// than fits in 20 columns runs on to column 80 (its text cut to the 68
// characters a card holds), and the comment is dropped when it no longer
// fits.
std::string MakeCard(const std::string& key, Kind kind, const std::string& value,
                     const std::string& comment) {
  std::string card = Pad(key, 8);
  if (kind == Kind::End) return Pad(card, 80);
  if (kind == Kind::Comment) return Pad(card + "  " + value, 80).substr(0, 80);
  card += "= ";
  std::string field;
  switch (kind) {
    case Kind::Logical:
    case Kind::Integer:
    case Kind::Float:
      field = RightIn20(value);
      break;
    default: {
      std::string q;
      for (char c : value) {
        if (c == '\'') q += '\'';
        q += c;
      }
      q = q.substr(0, kFitsTextMax);
      if (!q.empty() && q.back() == '\'' && (q.size() < 2 || q[q.size() - 2] != '\'')) q.pop_back();
      field = Pad("'" + q + "'", 20);
      break;
    }
  }
  if (!comment.empty() && field.size() + 2 + comment.size() <= 70) field += " /" + comment;
  return Pad(card + field, 80).substr(0, 80);
}

const char* BitPixComment(int32_t save) {
  switch (save) {
    case -64: return "Double Precision Float";
    case -32: return "Single Precision Float";
    case 32: return "Long Integer";
    case -16: case 16: return "Integer";
    case 8: return "Byte";
    default: return "";
  }
}

template <typename T>
void PutBigEndian(uint8_t* q, T value) {
  uint8_t b[sizeof(T)];
  std::memcpy(b, &value, sizeof(T));
  for (std::size_t k = 0; k < sizeof(T); ++k) q[k] = b[sizeof(T) - 1 - k];
}

double Clamp(double v, double lo, double hi) { return v < lo ? lo : (v > hi ? hi : v); }

// Converts the elements to the save type, big-endian, into `out`.
void ConvertData(const TFitsHeader& h, const uint8_t* src, int64_t n, uint8_t* out) {
  const int32_t from = h.BitPix, to = h.SaveBitPix;
  const bool floatSrc = from == -32 || from == -64;
  const bool smallSrc = from == 16 || from == 8;
  const double bz = h.BZero;
  // The common camera case: unsigned 16-bit data saved as BITPIX 16.
  if (from == 16 && to == 16) {
    // v - 32768 as a signed word is v with its top bit flipped.
    SwapWords16(src, out, n, 0x0080);
    return;
  }
  for (int64_t i = 0; i < n; ++i) {
    const double v = FitsValue(src, from, i);
    double t = std::ceil(v - bz);
    if (!std::isfinite(t)) t = 0;  // a conversion error stores 0
    const double t16 = double(uint16_t(int64_t(Clamp(t, -1e18, 1e18))));
    switch (to) {
      case -64: {
        const double d = floatSrc ? (std::isfinite(v - bz) ? v - bz : 0.0) : (smallSrc ? t16 : t);
        PutBigEndian(out + 8 * i, d);
        break;
      }
      case -32: {
        const double d = floatSrc ? (std::isfinite(v - bz) ? v - bz : 0.0) : (smallSrc ? t16 : t);
        PutBigEndian(out + 4 * i, float(Clamp(d, -FLT_MAX, FLT_MAX)));
        break;
      }
      case 32: {
        const double d = smallSrc ? t16 : Clamp(t, -2147483648.0, 2147483647.0);
        PutBigEndian(out + 4 * i, int32_t(d));
        break;
      }
      case -16: {
        const double d = smallSrc ? std::min(t16, 32767.0) : Clamp(t, 0, 32767);
        PutBigEndian(out + 2 * i, int16_t(d));
        break;
      }
      case 16: {
        double c = std::ceil(v);
        if (!std::isfinite(c)) c = 0;
        PutBigEndian(out + 2 * i, int16_t(int32_t(Clamp(c, 0, 65535)) - 32768));
        break;
      }
      case 8: {
        const double d = smallSrc ? std::min(t16, 255.0) : Clamp(t, 0, 255);
        out[i] = uint8_t(d);
        break;
      }
    }
  }
}

}  // namespace

bool WriteFits(std::FILE* f, TFitsHeader& h, const FitsData& data) {
  const int saveBytes = FitsElementBytes(h.SaveBitPix);
  if (saveBytes == 0 || !AcceptedType(h.BitPix)) return false;
  if (!FitsComputeSizes(h) || int64_t(data.size()) < h.DataBytes) return false;
  const int64_t n = h.DataBytes / FitsElementBytes(h.BitPix);

  if (h.SaveBitPix == -16) h.BZero = 0;
  if (h.SaveBitPix == 16) h.BZero = 32768;

  // The display range written for an integer type lies within the values
  // that type keeps, so that the picture reads back showing them.
  double background = h.Background, range = h.Range;
  if (h.SaveBitPix > -32) {
    const double lo = h.SaveBitPix == 32 ? -2147483648.0 : 0.0;
    const double hi = h.SaveBitPix == 32 ? 2147483647.0 : h.SaveBitPix == 16 ? 65535 : h.SaveBitPix == 8 ? 255 : 32767;
    background = std::clamp(background, lo, hi);
    range = std::clamp(range, 0.0, hi - background + 1);
  }

  std::vector<std::string> cards;
  auto add = [&](const char* key, Kind kind, const std::string& value, const std::string& comment = "") {
    cards.push_back(MakeCard(key, kind, value, comment));
  };
  auto integer = [](int64_t v) { return platform::FormatInt(v); };
  add("SIMPLE", Kind::Logical, h.Simple ? "T" : "F", "Basic Format");
  add("BITPIX", Kind::Integer, integer(h.SaveBitPix == -16 ? 16 : h.SaveBitPix), BitPixComment(h.SaveBitPix));
  add("NAXIS", Kind::Integer, integer(h.NAxis), "Number of Axis");
  if (h.NAxis >= 1) add("NAXIS1", Kind::Integer, integer(h.NAxis1), "Pixels per Row");
  if (h.NAxis >= 2) add("NAXIS2", Kind::Integer, integer(h.NAxis2), "Rows");
  if (h.NAxis >= 3) add("NAXIS3", Kind::Integer, integer(h.NAxis3), "Color Planes");
  add("BSCALE", Kind::Float, FloatText(h.BScale), "");
  add("BZERO", Kind::Float, FloatText(h.BZero), "");
  add("BACKGRND", Kind::Float, FloatText(background), "");
  add("OBJECT", Kind::String, "");
  add("ORIGIN", Kind::String, "");
  add("OBSERVER", Kind::String, "");
  add("DATE-OBS", Kind::String, h.DateObs);
  add("TIME-OBS", Kind::String, h.TimeObs);
  add("EXPTIME", Kind::Float, FloatText(h.ExposureTime));
  add("IMGCNT", Kind::Integer, "1");
  add("INSTRUME", Kind::String, h.Instrument);
  add("TELESCOP", Kind::String, "");
  for (const auto& c : h.Comments)
    if (!c.empty()) add("COMMENT", Kind::Comment, c);
  add("FOCALLEN", Kind::Integer, integer(h.FocalLength), "Focal Ratio");
  add("APTDIA", Kind::Integer, integer(h.ApertureDiameter), "Aperature Diameter in mm");
  add("CCD-TEMP", Kind::Float, FloatText(h.CcdTemperature), "CCD temp in C");
  add("FILTER", Kind::String, h.Filter, "Filter");
  add("MOSAIC", Kind::String, h.Mosaic);
  add("USERSETU", Kind::String, "", "User info.");
  add("RANGE", Kind::Float, FloatText(range));
  add("MIPS-HI", Kind::Float, FloatText(std::trunc(background + range)));
  add("MIPS-LO", Kind::Float, FloatText(std::trunc(background)));
  add("END", Kind::End, "");

  const std::size_t headerBlocks = (cards.size() + 35) / 36;
  std::vector<uint8_t> header(headerBlocks * kFitsBlock, ' ');
  for (std::size_t i = 0; i < cards.size(); ++i) std::memcpy(header.data() + i * kFitsCard, cards[i].data(), kFitsCard);
  const int64_t outBytes = n * saveBytes;
  const int64_t padding = ((outBytes - 1) / kFitsBlock + 1) * kFitsBlock - outBytes;

  bool wrote = std::fwrite(header.data(), 1, header.size(), f) == header.size();
  // The data converted in slices, so that the whole image is never copied.
  constexpr int64_t kSlice = 1 << 16;
  std::vector<uint8_t> slice(std::size_t(std::min(kSlice, n) * saveBytes));
  const int eb = FitsElementBytes(h.BitPix);
  for (int64_t i = 0; wrote && i < n; i += kSlice) {
    const int64_t m = std::min(kSlice, n - i);
    ConvertData(h, data.data() + i * eb, m, slice.data());
    wrote = std::fwrite(slice.data(), 1, std::size_t(m * saveBytes), f) == std::size_t(m * saveBytes);
  }
  if (wrote && padding > 0) {
    const std::vector<uint8_t> zeros(std::size_t(padding), 0);
    wrote = std::fwrite(zeros.data(), 1, zeros.size(), f) == zeros.size();
  }
  return wrote;
}

bool SaveFitsHeader(const std::string& fileName, TFitsHeader& h, const FitsData& data) {
  const std::string tmp = fileName + ".part";
  std::FILE* f = std::fopen(tmp.c_str(), "wb");
  if (!f) return false;
  const bool wrote = WriteFits(f, h, data);
  const bool closed = std::fclose(f) == 0;
  if (!wrote || !closed || std::rename(tmp.c_str(), fileName.c_str()) != 0) {
    std::remove(tmp.c_str());
    return false;
  }
  return true;
}

std::string FitsDateText(int year, int month, int day) {
  char buf[32];
  std::snprintf(buf, sizeof buf, "%04d-%02d-%02d", year, month, day);
  return buf;
}

std::string FitsTimeText(int hour, int minute, int second, int millisecond) {
  char buf[32];
  std::snprintf(buf, sizeof buf, "%02d:%02d:%02d.%03d", hour, minute, second, millisecond);
  return buf;
}

}  // namespace imaging
