#include "data/images.h"

#include <algorithm>
#include <cmath>

#include "data/common.h"
#include "platform/codec.h"

namespace mkdata {

std::vector<uint8_t> EncodeBmp8(const PaletteImage& image) {
  if (image.width <= 0 || image.height <= 0 || image.width % 4 != 0)
    throw SourceError("an 8-bit bitmap needs a positive width that is a multiple of 4");
  const std::size_t pixels = std::size_t(image.width) * std::size_t(image.height);
  if (image.pixels.size() != pixels) throw SourceError("bitmap pixel count does not match its size");
  constexpr uint32_t kOffset = 14 + 40 + 256 * 4;
  platform::ByteWriter w;
  // File header.
  w.U8('B');
  w.U8('M');
  w.U32(uint32_t(kOffset + pixels));
  w.U32(0);
  w.U32(kOffset);
  // Information header: bottom-up rows, 8 bits, no compression.
  w.U32(40);
  w.I32(image.width);
  w.I32(image.height);
  w.U16(1);
  w.U16(8);
  w.U32(0);
  w.U32(uint32_t(pixels));
  w.I32(2835);  // 72 dots per inch
  w.I32(2835);
  w.U32(256);
  w.U32(0);
  // Colour table: blue, green, red, 0.
  for (uint32_t c : image.palette) w.U32(c & 0x00FFFFFFu);
  // Rows from the bottom of the picture up.
  for (int y = image.height - 1; y >= 0; --y)
    w.Raw(image.pixels.data() + std::size_t(y) * std::size_t(image.width), std::size_t(image.width));
  return w.Bytes();
}

namespace {

uint32_t Rgb(double r, double g, double b) {
  auto c = [](double v) { return uint32_t(std::clamp(std::nearbyint(v), 0.0, 255.0)); };
  return c(r) << 16 | c(g) << 8 | c(b);
}

// Smooth value noise in [0, 1] on the plane, from a fixed integer hash, so
// the pictures are the same on every run.
double Hash(int x, int y, int seed) {
  uint32_t h = uint32_t(x) * 374761393u + uint32_t(y) * 668265263u + uint32_t(seed) * 2246822519u;
  h = (h ^ (h >> 13)) * 1274126177u;
  return double((h ^ (h >> 16)) & 0xFFFFFF) / double(0xFFFFFF);
}

double ValueNoise(double x, double y, int seed) {
  const int x0 = int(std::floor(x)), y0 = int(std::floor(y));
  const double fx = x - x0, fy = y - y0;
  const double sx = fx * fx * (3 - 2 * fx), sy = fy * fy * (3 - 2 * fy);
  const double a = Hash(x0, y0, seed), b = Hash(x0 + 1, y0, seed);
  const double c = Hash(x0, y0 + 1, seed), d = Hash(x0 + 1, y0 + 1, seed);
  return (a + (b - a) * sx) * (1 - sy) + (c + (d - c) * sx) * sy;
}

double Fractal(double x, double y, int seed, int octaves) {
  double sum = 0, amp = 1, norm = 0;
  for (int i = 0; i < octaves; ++i) {
    sum += amp * ValueNoise(x, y, seed + i);
    norm += amp;
    amp *= 0.5;
    x *= 2;
    y *= 2;
  }
  return sum / norm;
}

// Draws a disc filling the square picture: `shade` gives the palette index
// (1..255) at the normalised disc point (x right, y up, x² + y² <= 1); edge
// pixels are blended towards black by their coverage (4 × 4 samples).
template <class Shade>
void FillDisc(PaletteImage& img, Shade shade) {
  const int n = img.width;
  img.pixels.assign(std::size_t(n) * std::size_t(n), 0);
  const double r = n / 2.0;
  for (int row = 0; row < n; ++row)
    for (int col = 0; col < n; ++col) {
      int inside = 0;
      for (int sy = 0; sy < 4; ++sy)
        for (int sx = 0; sx < 4; ++sx) {
          const double x = (col + (sx + 0.5) / 4 - r) / r, y = (r - row - (sy + 0.5) / 4) / r;
          if (x * x + y * y <= 1.0) ++inside;
        }
      if (!inside) continue;
      const double x = (col + 0.5 - r) / r, y = (r - row - 0.5) / r;
      const double s = std::min(1.0, std::hypot(x, y));
      const double k = s > 0 ? std::min(1.0, 0.999 / s) : 1.0;
      const double idx = shade(x * k, y * k) * inside / 16.0;
      img.pixels[std::size_t(row) * std::size_t(n) + std::size_t(col)] = uint8_t(std::clamp(std::nearbyint(idx), 0.0, 255.0));
    }
}

}  // namespace

PaletteImage DrawSun(int size) {
  PaletteImage img;
  img.width = img.height = size;
  // Palette: black, then a ramp from the orange of the limb to the
  // yellowish white of the centre.
  img.palette[0] = 0;
  for (int i = 1; i < 256; ++i) {
    const double t = i / 255.0;
    img.palette[std::size_t(i)] = Rgb(225 + 30 * t, 95 + 155 * t, 15 + 205 * std::pow(t, 3.0));
  }
  FillDisc(img, [&](double x, double y) {
    // Limb darkening I(μ) = 1 - u (1 - μ), u = 0.6, with a faint
    // granulation.
    const double mu = std::sqrt(std::max(0.0, 1.0 - x * x - y * y));
    double intensity = 1.0 - 0.6 * (1.0 - mu);
    intensity *= 0.97 + 0.06 * Fractal(x * 40 + 100, y * 40 + 100, 7, 3);
    return 1.0 + 254.0 * std::clamp(intensity, 0.0, 1.0);
  });
  return img;
}

namespace {

// A dark or bright patch of the lunar surface: centre in selenographic
// latitude and longitude (degrees, east positive), angular radius on the
// Moon (degrees) and the albedo it sets.
struct Patch {
  double lat, lon, radius, albedo;
};

// Approximate places and extents of the maria and of a few prominent
// craters of the near side.
const Patch kMaria[] = {
    {33.0, -16.0, 18, 0.38},  // Mare Imbrium
    {28.0, 17.5, 11, 0.40},   // Mare Serenitatis
    {8.5, 31.0, 13, 0.38},    // Mare Tranquillitatis
    {17.0, 59.1, 8.5, 0.37},  // Mare Crisium
    {-7.8, 51.3, 10, 0.41},   // Mare Fecunditatis
    {-15.2, 35.5, 6, 0.40},   // Mare Nectaris
    {-21.3, -16.6, 11, 0.42}, // Mare Nubium
    {-24.4, -38.6, 6.5, 0.39},// Mare Humorum
    {13.3, 3.6, 5, 0.42},     // Mare Vaporum
    {7.5, -30.9, 8, 0.42},    // Mare Insularum
    {-10.0, -23.0, 6, 0.42},  // Mare Cognitum
    {2.4, 1.7, 3.5, 0.44},    // Sinus Medii
    {45.0, -32.0, 5, 0.40},   // Sinus Iridum
    {10.0, -52.0, 14, 0.39},  // Oceanus Procellarum
    {28.0, -58.0, 12, 0.39},
    {-3.0, -45.0, 11, 0.40},
    {42.0, -42.0, 9, 0.40},
    {18.0, -40.0, 10, 0.40},
    {56.0, -30.0, 5, 0.44},   // Mare Frigoris
    {57.0, -10.0, 5, 0.44},
    {57.0, 10.0, 5, 0.44},
    {56.0, 30.0, 5, 0.44},
    {-5.2, -68.6, 3, 0.34},   // Grimaldi
    {51.6, -9.4, 1.6, 0.34},  // Plato
};
const Patch kBright[] = {
    {-43.3, -11.2, 1.5, 0.95},  // Tycho
    {9.6, -20.1, 1.5, 0.85},    // Copernicus
    {8.1, -38.0, 1.0, 0.85},    // Kepler
    {23.7, -47.4, 0.8, 1.0},    // Aristarchus
};

// Angular distance on the Moon between two selenographic points, degrees.
double ArcDeg(double lat1, double lon1, double lat2, double lon2) {
  const double s = std::sin(lat1 * kDegToRad) * std::sin(lat2 * kDegToRad) +
                   std::cos(lat1 * kDegToRad) * std::cos(lat2 * kDegToRad) * std::cos((lon1 - lon2) * kDegToRad);
  return std::acos(std::clamp(s, -1.0, 1.0)) / kDegToRad;
}

}  // namespace

PaletteImage DrawMoon(int size) {
  PaletteImage img;
  img.width = img.height = size;
  // Palette: a neutral grey ramp with a trace of warmth.
  for (int i = 0; i < 256; ++i) img.palette[std::size_t(i)] = Rgb(i, i * 0.98, i * 0.94);
  FillDisc(img, [&](double x, double y) {
    // The disc point seen from the Earth: north up, selenographic east to
    // the right.
    const double z = std::sqrt(std::max(0.0, 1.0 - x * x - y * y));
    const double lat = std::asin(std::clamp(y, -1.0, 1.0)) / kDegToRad;
    const double lon = std::atan2(x, z) / kDegToRad;
    // Highland albedo with a mottled texture and small craters.
    double albedo = 0.72 + 0.14 * (Fractal(lat / 5 + 50, lon / 5 + 50, 11, 5) - 0.5);
    // How much of the point is mare: the union of the patches, each with a
    // ragged, soft edge.
    double mare = 0;
    for (const Patch& p : kMaria) {
      const double d = ArcDeg(lat, lon, p.lat, p.lon);
      if (d >= 1.35 * 1.25 * p.radius) continue;  // beyond the widest edge
      const double edge = 1.35 * p.radius * (0.75 + 0.5 * Fractal(lat / 3 + 7, lon / 3 + 7, 23, 4));
      const double t = std::clamp((edge - d) / (0.5 * edge), 0.0, 1.0);
      const double w = t * t * (3 - 2 * t);
      if (w > mare) {
        mare = w;
        albedo = std::min(albedo, albedo * (1 - w) + (p.albedo + 0.06 * (Fractal(lat / 3, lon / 3, 41, 3) - 0.5)) * w);
      }
    }
    for (const Patch& p : kBright) {
      const double d = ArcDeg(lat, lon, p.lat, p.lon);
      if (d < p.radius) albedo = std::max(albedo, p.albedo);
      // Tycho's rays: a faint brightening around it.
      else if (p.lat < -40 && d < 25) albedo += 0.05 * (1 - d / 25) * Fractal(lat, lon, 31, 2);
    }
    return 1.0 + 254.0 * std::clamp(albedo, 0.0, 1.0);
  });
  return img;
}

}  // namespace mkdata
