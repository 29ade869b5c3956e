#include "chart/ring.h"

#include <algorithm>
#include <cmath>

#include "astro/trig.h"
#include "chart/drawing_colors.h"
#include "shell/globals.h"

uint32_t RingRampA[kRingRampSize];
uint32_t RingRampB[kRingRampSize];

namespace {

uint8_t Shade(uint8_t c) { return uint8_t(c * 0.6); }

// The entry's colour, shaded, through the colour mode, as a display pixel.
uint32_t RampPixel(const TColorTriple& t) {
  return platform::ColorRefToPixel(ColorForMode(Shade(t.Red), Shade(t.Green), Shade(t.Blue)));
}

}  // namespace

void MakeRingRamps() {
  for (int k = 0; k < kRingRampSize; ++k) {
    RingRampA[k] = RampPixel(ColorTriples[WarmRampFirst + k]);
    RingRampB[k] = RampPixel(ColorTriples[GreyRampFirst + k]);
  }
}

void DrawRing(platform::Bitmap& bitmap, int32_t cx, int32_t cy, int32_t r, int32_t w, uint8_t firstRamp) {
  if (w < 1 || bitmap.IsNull()) return;
  const uint32_t* ramp = firstRamp != 0 ? RingRampA : RingRampB;
  // Angular steps: about 2.1 points per pixel of the outer circumference.
  const int32_t n = int32_t((r + w) * M_PI * 2.1) + 1;
  const double step = TwoPi / n;
  // The light comes from the upper left.
  constexpr double kLightAngle = 2.357676253328;
  for (int32_t s = -2 * w; s <= 2 * w; ++s) {  // half-pixel radial steps
    const double rho = s / 2.0 + r;
    const double rhoX = rho * InsetAspect;
    const double f = (s / 2.0) / w * 32;
    for (int32_t j = 1; j <= n; ++j) {
      const double theta = j * step;
      // Outer half: dark at θ = π, bright at 0 and 2π; the inner half the
      // other way round. The index reaches 32 at the extremes: kept to 31.
      const int32_t index = std::clamp(int32_t((std::fabs(theta - M_PI) / M_PI - 0.5) * f + 16), 0, 31);
      const int32_t x = int32_t(std::sin(theta - kLightAngle) * rhoX);
      const int32_t y = int32_t(std::cos(theta - kLightAngle) * rho);
      const int32_t px = cx + x, py = cy + y - 1;
      if (px < 0 || py < 0 || px >= bitmap.Width() || py >= bitmap.Height()) continue;
      bitmap.SetPixel(px, py, ramp[index]);
    }
  }
}
