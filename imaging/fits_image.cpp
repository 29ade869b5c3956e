#include "imaging/fits_image.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <limits>
#include <string>

#include "platform/float_to_int.h"
#include "platform/large_pages.h"
#include "platform/numfmt.h"

namespace imaging {

namespace {

double Nearest(double x) { return std::nearbyint(x); }

int ClampInt(int v, int lo, int hi) { return v < lo ? lo : (v > hi ? hi : v); }

// Display levels of the elements of one image, unclamped. 8- and 16-bit
// data of at least as many elements as they have values go through a table.
class Levels {
 public:
  Levels(const TFitsHeader& h, const FitsData& data)
      : h_(h), d_(data.data()), w_(h.NAxis1), plane_(int64_t(h.NAxis1) * h.NAxis2) {
    const std::size_t values = h.BitPix == 8 ? 256 : h.BitPix == 16 ? 65536 : 0;
    if (values > 0 && plane_ * std::max(h.NAxis3, 1) >= int64_t(values)) {
      lut_.resize(values);
      for (std::size_t v = 0; v < values; ++v) lut_[v] = Compute(double(v));
    }
  }
  bool HasTable() const { return !lut_.empty(); }
  // Levels beyond +-1e9 (a tiny range) are held there, and a value that is
  // no number reads as the lowest level.
  int Compute(double v) const {
    if (h_.Range == 0) return 255;
    const double phys = Nearest(v * h_.BScale + h_.BZero);
    const double l = Nearest(Nearest(phys - h_.Background) / h_.Range * 255.0);
    return std::clamp(platform::ClampFloatToInt<int>(l, -kLevelLimit), -kLevelLimit, kLevelLimit);
  }
  static constexpr int kLevelLimit = 1000000000;
  // Level of an 8- or 16-bit element value (from the table).
  int OfValue(uint16_t v) const { return lut_[v]; }
  int AtIndex(int64_t i) const {
    if (!HasTable()) return Compute(FitsValue(d_, h_.BitPix, i));
    if (h_.BitPix == 8) return lut_[d_[i]];
    if (h_.BitPix == 16) {
      uint16_t v;
      std::memcpy(&v, d_ + 2 * i, 2);
      return lut_[v];
    }
    return Compute(FitsValue(d_, h_.BitPix, i));
  }
  // Level at data column x, data row y (row 0 at the bottom), plane p.
  int At(int x, int y, int p) const { return AtIndex(x + int64_t(w_) * y + plane_ * p); }

 private:
  const TFitsHeader& h_;
  const uint8_t* d_;
  int w_;
  int64_t plane_;
  std::vector<int> lut_;
};

enum class MosaicMode { None, Bayer, Cmyg2Row, Cmyg4Row };

struct Mosaic {
  MosaicMode mode = MosaicMode::None;
  int colOfs = 0, rowOfs = 0;
};

Mosaic ParseMosaic(const std::string& text) {
  Mosaic m;
  MosaicMode mode;
  int extra;
  if (text.rfind("RGGB", 0) == 0) {
    mode = MosaicMode::Bayer;
    extra = 1;
  } else if (text.rfind("CMYG(", 0) == 0) {
    mode = MosaicMode::Cmyg2Row;
    extra = 1;
  } else if (text.rfind("CMYG2", 0) == 0) {
    mode = MosaicMode::Cmyg4Row;
    extra = 0;
  } else {
    return m;
  }
  const auto open = text.find('('), comma = text.find(',', open), close = text.find(')', comma);
  int32_t x = 0, y = 0;
  if (open == std::string::npos || comma == std::string::npos || close == std::string::npos ||
      !platform::ParseInt32(text.substr(open + 1, comma - open - 1), x) ||
      !platform::ParseInt32(text.substr(comma + 1, close - comma - 1), y) || std::abs(x) > 1000 ||
      std::abs(y) > 1000)
    return m;
  m.mode = mode;
  m.colOfs = x + extra;
  m.rowOfs = y;
  return m;
}

struct Rgb {
  int r, g, b;
};

// Colour-difference reconstruction of a CMYG sensor at data (x, y).
Rgb Cmyg(const Levels& lv, const TFitsHeader& h, const Mosaic& m, int x, int y) {
  if (x >= h.NAxis1 - 1 || y >= h.NAxis2 - 1) return {0, 0, 0};
  const int cycle = m.mode == MosaicMode::Cmyg4Row ? 4 : 2;
  const int r = ((y + m.rowOfs) % cycle + cycle) % cycle;
  const int c = ((x + m.colOfs) % 2 + 2) % 2;
  // The sums of saturated levels exceed an int: they are taken in 64 bits.
  const int64_t a = lv.At(x, y, 0), b = lv.At(x + 1, y, 0), cc = lv.At(x, y + 1, 0), d = lv.At(x + 1, y + 1, 0);
  // C, M, Y, G by row and column phase.
  static const int kTable[4][2][4] = {
      {{1, 3, 0, 2}, {0, 2, 1, 3}},
      {{3, 1, 2, 0}, {2, 0, 3, 1}},
      {{1, 2, 0, 3}, {0, 3, 1, 2}},
      {{3, 0, 2, 1}, {2, 1, 3, 0}},
  };
  const int64_t v[4] = {a, b, cc, d};
  const int* t = kTable[r][c];
  const int64_t C = v[t[0]], M = v[t[1]], Y = v[t[2]], G = v[t[3]];
  auto level = [](int64_t l) { return int(std::clamp<int64_t>(l, 0, 255)); };
  return {level(M + Y - C), level((G + Y + C - M) / 2), level(M + C - Y)};
}

// Gradient-selection Bayer interpolation (RGGB) at data (x, y).
class Bayer {
 public:
  Bayer(const Levels& lv, const TFitsHeader& h, const Mosaic& m) : lv_(lv), w_(h.NAxis1), h_(h.NAxis2), m_(m) {}

  Rgb At(int x, int y) {
    const int phase = (x & 1) + 2 * (y & 1);
    const int cx = ClampInt(x + m_.colOfs, 0, w_ - 1), cy = ClampInt(y + m_.rowOfs, 0, h_ - 1);
    for (int r = -2; r <= 2; ++r) {
      const int yy = Index(cy, -r, h_);
      for (int c = -2; c <= 2; ++c) p_[r + 2][c + 2] = ClampInt(lv_.At(Index(cx, c, w_), yy, 0), 0, 255);
    }
    const bool green = phase == 1 || phase == 2;
    // Gradients: N, E, S, W (k = 0..3) and NE, SE, SW, NW.
    std::array<double, 8> g;
    for (int k = 0; k < 4; ++k) {
      g[k] = D(k, -1, 0, 1, 0) + D(k, -2, 0, 0, 0) +
             (D(k, -1, -1, 1, -1) + D(k, -1, 1, 1, 1) + D(k, -2, -1, 0, -1) + D(k, -2, 1, 0, 1)) / 2.0;
      if (green)
        g[4 + k] = D(k, -1, 1, 1, -1) + D(k, -2, 2, 0, 0) + D(k, -2, 1, 0, -1) + D(k, -1, 2, 1, 0);
      else
        g[4 + k] = D(k, -1, 1, 1, -1) + D(k, -2, 2, 0, 0) +
                   (D(k, -1, 0, 0, -1) + D(k, 0, 1, 1, 0) + D(k, -2, 1, -1, 0) + D(k, -1, 2, 0, 1)) / 2.0;
    }
    const auto [mn, mx] = std::minmax_element(g.begin(), g.end());
    const double threshold = 0.5 * *mn + 1.5 * (*mx - *mn);
    int n = 0, sc = 0, s1 = 0, s2 = 0;  // own colour; V or G; H or D
    for (int k = 0; k < 8; ++k) {
      if (!(g[k] < threshold)) continue;
      ++n;
      const int rot = k & 3;
      const bool diag = k >= 4;
      if (green) {
        int c, v, hh;
        if (!diag) {
          c = (P(rot, -1, -1) + P(rot, -1, 1)) / 2;
          v = P(rot, -1, 0);
          hh = (P(rot, -2, -1) + P(rot, -2, 1) + P(rot, 0, -1) + P(rot, 0, 1)) / 4;
        } else {
          c = P(rot, -1, 1);
          v = (P(rot, -1, 0) + P(rot, -1, 2)) / 2;
          hh = (P(rot, -2, 1) + P(rot, 0, 1)) / 2;
        }
        // A quarter turn exchanges the vertical and horizontal neighbours.
        if (rot & 1) std::swap(v, hh);
        sc += c;
        s1 += v;
        s2 += hh;
      } else {
        if (!diag) {
          s1 += P(rot, -1, 0);
          s2 += (P(rot, -1, -1) + P(rot, -1, 1)) / 2;
          sc += (P(rot, 0, 0) + P(rot, -2, 0)) / 2;
        } else {
          s1 += (P(rot, -2, 1) + P(rot, -1, 0) + P(rot, -1, 2) + P(rot, 0, 1)) / 4;
          s2 += P(rot, -1, 1);
          sc += (P(rot, 0, 0) + P(rot, -2, 2)) / 2;
        }
      }
    }
    const int p0 = Q(0, 0);
    Rgb out{0, 0, 0};
    if (n > 0) {
      switch (phase) {
        case 1: out = {p0 + (s1 - sc) / n, p0, p0 + (s2 - sc) / n}; break;
        case 2: out = {p0 + (s2 - sc) / n, p0, p0 + (s1 - sc) / n}; break;
        case 0: out = {p0 + (s2 - sc) / n, p0 + (s1 - sc) / n, p0}; break;
        default: out = {p0, p0 + (s1 - sc) / n, p0 + (s2 - sc) / n}; break;
      }
    } else {
      const int horiz = (Q(0, -1) + Q(0, 1)) / 2, vert = (Q(-1, 0) + Q(1, 0)) / 2;
      const int orth = (Q(-1, 0) + Q(1, 0) + Q(0, -1) + Q(0, 1)) / 4;
      const int diag = (Q(-1, -1) + Q(-1, 1) + Q(1, -1) + Q(1, 1)) / 4;
      switch (phase) {
        case 1: out = {vert, p0, horiz}; break;
        case 2: out = {horiz, p0, vert}; break;
        case 0: out = {diag, orth, p0}; break;
        default: out = {p0, orth, diag}; break;
      }
    }
    return {ClampInt(out.r, 0, 255), ClampInt(out.g, 0, 255), ClampInt(out.b, 0, 255)};
  }

 private:
  // Index of a neighbour at offset o from centre i along an axis of n
  // samples: a +-1 neighbour outside is taken from the other side, a +-2
  // neighbour outside at the centre; always clamped to the image.
  static int Index(int i, int o, int n) {
    int j = i + o;
    if (j < 0 || j >= n) j = (o == 1 || o == -1) ? i - o : i;
    return ClampInt(j, 0, n - 1);
  }
  // Sample at row offset r (negative upward) and column offset c.
  int Q(int r, int c) const { return p_[r + 2][c + 2]; }
  // Sample at (r, c) turned by `rot` quarter turns clockwise (N to E).
  int P(int rot, int r, int c) const {
    for (int i = 0; i < rot; ++i) {
      const int t = r;
      r = c;
      c = -t;
    }
    return Q(r, c);
  }
  double D(int rot, int r1, int c1, int r2, int c2) const { return std::abs(P(rot, r1, c1) - P(rot, r2, c2)); }

  const Levels& lv_;
  int w_, h_;
  Mosaic m_;
  int p_[5][5] = {};
};

}  // namespace

bool FitsGeometryOk(TFitsHeader& h, const FitsData& data, bool anyPlanes) {
  if (h.NAxis != 2 && h.NAxis != 3) return false;
  if (h.NAxis1 <= 0 || h.NAxis1 >= kFitsMaxAxis || h.NAxis2 <= 0 || h.NAxis2 >= kFitsMaxAxis) return false;
  if (h.NAxis == 3 && h.NAxis3 != 3 && !(anyPlanes && h.NAxis3 == 1)) return false;
  if (h.NAxis == 2) h.NAxis3 = 1;
  const int bytes = FitsElementBytes(h.BitPix);
  if (bytes == 0 || h.BitPix == -16) return false;
  return int64_t(data.size()) >= int64_t(h.NAxis1) * h.NAxis2 * h.NAxis3 * bytes;
}

platform::Bitmap RenderFits(TFitsHeader& h, const FitsData& data) {
  if (!FitsGeometryOk(h, data, true)) return {};
  // Every pixel is written below: the bitmap is not cleared first.
  platform::Bitmap bmp;
  bmp.Image() = QImage(h.NAxis1, h.NAxis2, QImage::Format_RGB32);
  if (bmp.IsNull()) return bmp;
  platform::AdviseLargePages(bmp.Image().bits(), std::size_t(bmp.Image().sizeInBytes()));
  const Levels lv(h, data);
  const Mosaic m = ParseMosaic(h.Mosaic);
  const int planes = h.NAxis3;
  if (planes == 1 && m.mode == MosaicMode::None && lv.HasTable()) {
    // Monochrome integer data: one table from element value to pixel.
    std::vector<uint32_t> lut(h.BitPix == 8 ? 256 : 65536);
    for (std::size_t v = 0; v < lut.size(); ++v) {
      const uint8_t l = uint8_t(ClampInt(lv.OfValue(uint16_t(v)), 0, 255));
      lut[v] = platform::MakePixel(l, l, l);
    }
    for (int y = 0; y < h.NAxis2; ++y) {
      uint32_t* row = bmp.Row(h.NAxis2 - 1 - y);
      const uint8_t* src = data.data() + int64_t(y) * h.NAxis1 * (h.BitPix / 8);
      if (h.BitPix == 8) {
        for (int x = 0; x < h.NAxis1; ++x) row[x] = lut[src[x]];
      } else {
        for (int x = 0; x < h.NAxis1; ++x) {
          uint16_t v;
          std::memcpy(&v, src + 2 * x, 2);
          row[x] = lut[v];
        }
      }
    }
    return bmp;
  }
  Bayer bayer(lv, h, m);
  for (int y = 0; y < h.NAxis2; ++y) {
    uint32_t* row = bmp.Row(h.NAxis2 - 1 - y);
    for (int x = 0; x < h.NAxis1; ++x) {
      Rgb c;
      if (planes > 1) {
        c = {lv.At(x, y, 0), lv.At(x, y, 1), lv.At(x, y, 2)};
      } else if (m.mode == MosaicMode::Bayer) {
        c = bayer.At(x, y);
      } else if (m.mode != MosaicMode::None) {
        c = Cmyg(lv, h, m, x, y);
      } else {
        const int l = lv.At(x, y, 0);
        c = {l, l, l};
      }
      row[x] = platform::MakePixel(uint8_t(ClampInt(c.r, 0, 255)), uint8_t(ClampInt(c.g, 0, 255)),
                                   uint8_t(ClampInt(c.b, 0, 255)));
    }
  }
  return bmp;
}

void FitsHistogram(TFitsHeader& h, const FitsData& data, platform::Bitmap& canvas, int64_t& minimum,
                   int64_t& maximum) {
  minimum = maximum = 0;
  if (!FitsGeometryOk(h, data)) return;
  const int64_t n = int64_t(h.NAxis1) * h.NAxis2 * h.NAxis3;
  double lo = std::numeric_limits<double>::infinity(), hi = -lo;
  for (int64_t i = 0; i < n; ++i) {
    const double v = FitsValue(data.data(), h.BitPix, i);
    if (v < lo) lo = v;
    if (v > hi) hi = v;
  }
  // Held at the limits of 64-bit integers (float data may go far beyond).
  if (lo <= hi) {
    minimum = platform::ClampFloatToInt<int64_t>(Nearest(lo));
    maximum = platform::ClampFloatToInt<int64_t>(Nearest(hi));
  }
  if (canvas.IsNull()) return;
  const int W = canvas.Width(), H = canvas.Height();
  std::vector<int64_t> bins(std::size_t(W), 0);
  const double full = std::ldexp(1.0, std::abs(h.BitPix));
  for (int64_t i = 0; i < n; ++i) {
    const double b = Nearest((W - 1) * FitsValue(data.data(), h.BitPix, i) / full);
    bins[std::size_t(b >= W - 1 ? W - 1 : (b > 0 ? int(b) : 0))]++;
  }
  canvas.Fill(0);
  const uint32_t green = platform::MakePixel(0, 255, 0);
  for (int b = 0; b < W; ++b) {
    if (bins[b] <= 0) continue;
    const int top = ClampInt(H - int(Nearest(std::log10(double(bins[b])) / 7.0 * H)), 0, H - 1);
    for (int y = top; y <= H - 1; ++y) canvas.SetPixel(b, y, green);
  }
}

void FitsAutoRange(TFitsHeader& h, const FitsData& data, double clip) {
  if (!FitsGeometryOk(h, data)) return;
  const int64_t n = int64_t(h.NAxis1) * h.NAxis2 * h.NAxis3;
  const uint8_t* d = data.data();
  std::vector<int64_t> bins(1001, 0);
  double lo = std::numeric_limits<double>::infinity(), hi = -lo;
  if (h.BitPix == 8 || (h.BitPix == 16 && n >= 65536)) {
    // Count every value once, then map the counts to the 1001 bins.
    std::vector<int64_t> counts(h.BitPix == 8 ? 256 : 65536, 0);
    for (int64_t i = 0; i < n; ++i) {
      if (h.BitPix == 8) {
        counts[d[i]]++;
      } else {
        uint16_t v;
        std::memcpy(&v, d + 2 * i, 2);
        counts[v]++;
      }
    }
    for (std::size_t v = 0; v < counts.size(); ++v)
      if (counts[v]) {
        lo = std::min(lo, double(v));
        hi = std::max(hi, double(v));
      }
    const double span = hi - lo;
    if (!(span > 0)) return;
    for (std::size_t v = 0; v < counts.size(); ++v)
      if (counts[v]) bins[std::size_t(Nearest((double(v) - lo) / span * 1000))] += counts[v];
  } else {
    for (int64_t i = 0; i < n; ++i) {
      const double v = FitsValue(d, h.BitPix, i);
      if (v < lo) lo = v;
      if (v > hi) hi = v;
    }
    const double span = hi - lo;
    if (!(span > 0) || !std::isfinite(span)) return;
    for (int64_t i = 0; i < n; ++i) {
      const double v = FitsValue(d, h.BitPix, i);
      if (std::isfinite(v)) bins[std::size_t(Nearest((v - lo) / span * 1000))]++;
    }
  }
  const double span = hi - lo;
  const double total = double(n);
  const double lowCount = Nearest(total * clip), highCount = Nearest((1 - clip) * total);
  double high = 1.0, low = 1.0;
  double count = total;
  for (int b = 1000; b >= 0; --b) {
    count -= double(bins[b]);
    if (count < highCount) {
      high = b / 1000.0;
      break;
    }
  }
  double sum = 0;
  for (int b = 0; b <= 1000; ++b) {
    sum += double(bins[b]);
    if (sum > lowCount) {
      low = b / 1000.0;
      break;
    }
  }
  if (low >= high) {
    low = 0;
    high = 1.0;
  }
  h.Background = low * span + lo;
  h.Range = std::trunc((high - low) * span);
}

bool FitsFlipVertical(TFitsHeader& h, FitsData& data) {
  if (!FitsGeometryOk(h, data, true)) return false;
  const std::size_t rowBytes = std::size_t(h.NAxis1) * FitsElementBytes(h.BitPix);
  std::vector<uint8_t> tmp(rowBytes);
  for (int p = 0; p < h.NAxis3; ++p) {
    uint8_t* plane = data.data() + rowBytes * h.NAxis2 * p;
    for (int r = 0; r < h.NAxis2 / 2; ++r) {
      uint8_t* a = plane + rowBytes * r;
      uint8_t* b = plane + rowBytes * (h.NAxis2 - 1 - r);
      std::memcpy(tmp.data(), a, rowBytes);
      std::memcpy(a, b, rowBytes);
      std::memcpy(b, tmp.data(), rowBytes);
    }
  }
  h.FlippedVertically = true;
  return true;
}

bool FitsFlipHorizontal(TFitsHeader& h, FitsData& data) {
  if (!FitsGeometryOk(h, data, true)) return false;
  const int eb = FitsElementBytes(h.BitPix);
  uint8_t tmp[8];
  for (int64_t row = 0; row < int64_t(h.NAxis2) * h.NAxis3; ++row) {
    uint8_t* line = data.data() + row * h.NAxis1 * eb;
    for (int c = 0; c < h.NAxis1 / 2; ++c) {
      uint8_t* a = line + c * eb;
      uint8_t* b = line + (h.NAxis1 - 1 - c) * eb;
      std::memcpy(tmp, a, eb);
      std::memcpy(a, b, eb);
      std::memcpy(b, tmp, eb);
    }
  }
  h.FlippedHorizontally = true;
  return true;
}

void BitmapToFits(const platform::Bitmap& bmp, TFitsHeader& h, FitsData& data, bool mono) {
  data.clear();
  h = NewFitsHeader(mono ? 16 : 8, bmp.Width(), bmp.Height(), mono ? 1 : 3);
  h.Range = mono ? 768 : 256;
  if (bmp.IsNull() || h.DataBlocks == 0) return;
  data.assign(std::size_t(h.DataBlocks * kFitsBlock), 0);
  const int W = h.NAxis1, H = h.NAxis2;
  const int64_t plane = int64_t(W) * H;
  for (int y = 0; y < H; ++y) {
    const uint32_t* row = bmp.Row(y);
    const int64_t base = int64_t(H - 1 - y) * W;
    for (int x = 0; x < W; ++x) {
      const uint32_t px = row[x];
      const uint8_t r = uint8_t(px >> 16), g = uint8_t(px >> 8), b = uint8_t(px);
      if (mono) {
        const uint16_t v = uint16_t(r + g + b);
        std::memcpy(data.data() + 2 * (base + x), &v, 2);
      } else {
        data[base + x] = r;
        data[plane + base + x] = g;
        data[2 * plane + base + x] = b;
      }
    }
  }
}

bool FitsFindStar(TFitsHeader& h, const FitsData& data, int x0, int y0, int w, int boxH, double& starX,
                  double& starY, double signalThreshold, double backgroundFactor, double& halfWidth) {
  starX = starY = -1;
  halfWidth = 0;
  constexpr int kMinBox = 16;
  if (!FitsGeometryOk(h, data)) return false;
  // Keep the box inside the image.
  w = std::min(w, h.NAxis1);
  boxH = std::min(boxH, h.NAxis2);
  if (w < kMinBox || boxH < kMinBox) return false;
  x0 = ClampInt(x0, 0, h.NAxis1 - w);
  y0 = ClampInt(y0, 0, h.NAxis2 - boxH);

  const Levels lv(h, data);
  // L over box coordinates: the mean level of the planes' sum divided by 3,
  // at image row y0 + j counted from the top.
  std::vector<double> L(std::size_t(w) * boxH);
  for (int j = 0; j < boxH; ++j) {
    const int dataRow = h.NAxis2 - 1 - (y0 + j);
    for (int i = 0; i < w; ++i) {
      double s = 0;
      for (int p = 0; p < h.NAxis3; ++p) s += lv.At(x0 + i, dataRow, p);
      L[std::size_t(j) * w + i] = s / 3.0;
    }
  }
  auto at = [&](int i, int j) { return L[std::size_t(j) * w + i]; };
  auto cross = [&](int i, int j) { return (at(i, j) + at(i - 1, j) + at(i + 1, j) + at(i, j - 1) + at(i, j + 1)) / 5.0; };

  // 1. Column and row profiles and their first maxima.
  int pc = 0, pr = 0;
  {
    std::vector<double> col(w, 0.0), row(boxH, 0.0);
    for (int j = 0; j < boxH; ++j)
      for (int i = 0; i < w; ++i) {
        col[i] += at(i, j);
        row[j] += at(i, j);
      }
    pc = int(std::max_element(col.begin(), col.end()) - col.begin());
    pr = int(std::max_element(row.begin(), row.end()) - row.begin());
  }
  // 2. The brightest cross mean in the 11 x 11 square around the peaks.
  int bx = -1, by = -1;
  double peak = -std::numeric_limits<double>::infinity();
  for (int j = std::max(1, pr - 5); j <= std::min(boxH - 2, pr + 5); ++j)
    for (int i = std::max(1, pc - 5); i <= std::min(w - 2, pc + 5); ++i) {
      const double c = cross(i, j);
      if (c > peak) {
        peak = c;
        bx = i;
        by = j;
      }
    }
  if (bx < 0) return false;

  // 3. Background: the mean of the margin means (box coordinates; empty
  // margins are left out).
  double bg = 0;
  {
    const int lc = int(Nearest(bx - 0.375 * w)), rc = int(Nearest(bx + 0.375 * w));
    const int tr = int(Nearest(by - 0.375 * boxH)), br = int(Nearest(by + 0.375 * boxH));
    double sum = 0;
    int margins = 0;
    auto marginMean = [&](bool columns, int from, int to, int otherFrom, int otherTo) {
      from = std::max(from, 0);
      to = std::min(to, (columns ? w : boxH) - 1);
      otherFrom = std::max(otherFrom, 0);
      otherTo = std::min(otherTo, (columns ? boxH : w) - 1);
      if (from > to || otherFrom > otherTo) return;
      double lines = 0;
      for (int a = from; a <= to; ++a) {
        double s = 0;
        for (int b = otherFrom; b <= otherTo; ++b) s += columns ? at(a, b) : at(b, a);
        lines += s / (otherTo - otherFrom + 1);
      }
      sum += lines / (to - from + 1);
      ++margins;
    };
    marginMean(true, 0, lc, 0, boxH - 1);
    marginMean(true, rc, w - 1, 0, boxH - 1);
    marginMean(false, 0, tr, lc + 1, rc - 1);
    marginMean(false, br, boxH - 1, lc + 1, rc - 1);
    if (margins > 0) bg = sum / margins;
  }
  const double base = bg * backgroundFactor;

  // 4. The measurement window.
  const int c0 = std::max(2, bx - 5), c1 = std::min(w - 3, bx + 5);
  const int r0 = std::max(2, by - 5), r1 = std::min(boxH - 3, by + 5);
  if (c0 > c1 || r0 > r1) return false;

  // 5. Noise of a line of signal values: sample deviation / sqrt(n).
  auto noise = [&](bool column, int k) {
    std::vector<double> s;
    const int from = column ? r0 : c0, to = column ? r1 : c1;
    for (int m = from; m <= to; ++m) s.push_back(std::max(0.0, Nearest((column ? at(k, m) : at(m, k)) - base)));
    const double n = double(s.size());
    if (n < 2) return 0.0;
    double mean = 0;
    for (double v : s) mean += v;
    mean /= n;
    double var = 0;
    for (double v : s) var += (v - mean) * (v - mean);
    return std::sqrt(var / (n - 1)) / std::sqrt(n);
  };
  // 6. Position estimate along one line: the weighted response picks the
  // column (or row), the signal balance around it gives the fraction.
  auto estimate = [&](bool alongRow, int k, int from, int to) {
    auto t = [&](int m) { return std::max(0.0, alongRow ? at(m, k) - base : at(k, m) - base); };
    double best = 0, est = -1;
    for (int c = from; c <= to; ++c) {
      const double resp = (0.5 * t(c - 2) + 0.75 * t(c - 1) + t(c) + 0.75 * t(c + 1) + 0.5 * t(c + 2)) / 5.0;
      if (resp > best && t(c) > 0) {
        best = resp;
        est = c + (t(c + 1) + t(c + 2) - t(c - 2) - t(c - 1)) / t(c);
      }
    }
    return est;
  };
  // 7. Means of the positive estimates.
  auto meanOf = [&](bool rows) {
    double sum = 0;
    int count = 0;
    const int from = rows ? r0 : c0, to = rows ? r1 : c1;
    for (int k = from; k <= to; ++k) {
      if (!(noise(!rows, k) > signalThreshold)) continue;
      const double e = rows ? estimate(true, k, c0, c1) : estimate(false, k, r0, r1);
      if (e > 0) {
        sum += e;
        ++count;
      }
    }
    return count >= 2 ? sum / count : -1.0;
  };
  const double mx = meanOf(true);
  const double my = meanOf(false);
  if (mx < 0 || my < 0) return false;
  starX = x0 + mx + 0.5;
  starY = y0 + my + 0.5;

  // 8. Full width at half the peak: walks from the star's pixel along the
  // row and the column; a walk that never drops below half the peak ends
  // at 5.5 pixels.
  const int sx = ClampInt(int(std::floor(mx)), 1, w - 2), sy = ClampInt(int(std::floor(my)), 1, boxH - 2);
  const double half = std::floor(peak / 2.0);
  auto walk = [&](int di, int dj) {
    double a = 0;
    for (int step = 0; step <= 5; ++step) {
      const int i = sx + di * step, j = sy + dj * step;
      if (i < 1 || i > w - 2 || j < 1 || j > boxH - 2) break;
      const double b = std::max(0.0, Nearest(cross(i, j) - base));
      if (step == 0) a = b;
      if (b < half) {
        if (std::fabs(a - b) <= 0.0001 || a <= 0) return step - 0.5;
        return step - (a - b) / a;
      }
      a = b;
    }
    return 5.5;
  };
  const double left = walk(-1, 0), right = walk(1, 0), up = walk(0, -1), down = walk(0, 1);
  halfWidth = ((right + left) + (down + up)) / 2.0;
  return true;
}

}  // namespace imaging
