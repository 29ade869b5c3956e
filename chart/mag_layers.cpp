// The magnifier's own layers (see mag_layers.h): the star pass through the
// band indexes and the horizon line.
#include "chart/mag_layers.h"

#include <cmath>

#include "astro/solar_system.h"
#include "astro/transforms.h"
#include "astro/trig.h"
#include "catalog/star_options.h"
#include "catalog/stars.h"
#include "chart/drawing_colors.h"
#include "chart/graph_misc.h"
#include "chart/plotter_b.h"

TStarBandIndex TychoBandIndex;
TStarBandIndex SaoBandIndex;

int TStarBandOf(float dec) {
  const int b = int(std::floor((double(dec) + 1.5707963267948966) / (3.141592653589793 / TStarBandIndex::kBands)));
  return std::clamp(b, 0, TStarBandIndex::kBands - 1);
}

namespace {
constexpr int kSaoFaintestByte = 140;  // magnitude 12.0
}

// Step 10. On screen with star images: the Tycho-2 stars with a brightness,
// then the SAO stars to magnitude 12.0, as images. Otherwise (discs, or a
// printer page) the SAO stars as discs; a disc with either radius 1 is a
// single pixel.
void tPlotterB::DrawMagnifierStars() {
  platform::DrawingContext& dc = *Ctx.Dc;
  const bool images = StarDiscs == 0 && OutputKind == kOutputMagnifier && Ctx.Target;
  auto windows = [&](auto& index, const auto* data, auto fn) {
    index.ForEach(data, std::max(RAWindow[1], 0.0), std::min(RAWindow[0], TwoPi), DecWindow[1], DecWindow[0], fn);
    if (RAWindow[2] > RAWindow[3]) index.ForEach(data, RAWindow[3], RAWindow[2], DecWindow[1], DecWindow[0], fn);
  };
  auto place = [&](float ra, float dec, int32_t& x, int32_t& y) {
    double alt, az;
    RaDecToAltAz(ra, dec, alt, az);
    return alt > 0 && ProjectToPixel(alt, az, x, y) && OnChart(x, y);
  };
  const int32_t saoCount = std::min<int32_t>(SaoStarCount, int32_t(SaoStars.size()));
  SaoBandIndex.Update(SaoStars.data(), saoCount, StarArraysGeneration);
  const TSaoStar* sao = SaoStars.data();
  if (images) {
    const int32_t tychoCount = std::min<int32_t>(TychoStarCount, int32_t(TychoStars.size()));
    TychoBandIndex.Update(TychoStars.data(), tychoCount, StarArraysGeneration);
    const TTychoStar* tycho = TychoStars.data();
    windows(TychoBandIndex, tycho, [&](int32_t i) {
      const TTychoStar& s = tycho[i];
      int32_t x, y;
      if (s.Brightness != 0 && place(s.RA, s.Dec, x, y)) DrawStarImage(dc, x, y, s.Brightness, 0);
    });
    windows(SaoBandIndex, sao, [&](int32_t i) {
      const TSaoStar& s = sao[i];
      int32_t x, y;
      if (s.Magnitude <= kSaoFaintestByte && place(s.RA, s.Dec, x, y)) DrawStarImage(dc, x, y, s.Magnitude, s.Spectral);
    });
    return;
  }
  MakeStarSizeTable(StarOptions.LowMagLimit, kMagnifierFaintestMagnitude, StarSize);
  windows(SaoBandIndex, sao, [&](int32_t i) {
    const TSaoStar& s = sao[i];
    int32_t x, y;
    if (s.Magnitude > kSaoFaintestByte || !place(s.RA, s.Dec, x, y)) return;
    const int32_t xr = StarSizeTable[s.Magnitude][0], yr = StarSizeTable[s.Magnitude][1];
    if ((xr == 1 || yr == 1) && xr > 0 && yr > 0) {
      // The single pixel of a 1-pixel radius (the main chart's own rule
      // needs both radii 1).
      const int32_t keep = StarSizeTable[s.Magnitude][0], keepY = StarSizeTable[s.Magnitude][1];
      StarSizeTable[s.Magnitude][0] = StarSizeTable[s.Magnitude][1] = 1;
      DrawStarDisc(dc, x, y, s.Magnitude, s.Spectral);
      StarSizeTable[s.Magnitude][0] = keep;
      StarSizeTable[s.Magnitude][1] = keepY;
    } else {
      DrawStarDisc(dc, x, y, s.Magnitude, s.Spectral);
    }
  });
}

// Step 19: the horizon, 100 points of altitude 0 placed about the centre;
// each segment between two consecutive points within 90° of the centre is
// drawn (points farther away fold over in this projection).
void tPlotterB::DrawMagnifierHorizon() {
  platform::DrawingContext& dc = *Ctx.Dc;
  const bool paper = OutputKind == kOutputPrinter || !Ctx.Target;
  if (paper) dc.SelectPen(DarkGreyWidePen);
  int32_t px = 0, py = 0;
  bool prev = false;
  for (int i = 0; i <= 100; ++i) {
    double ra, dec;
    HorizontalToEquatorial(Observer, ra, dec, TwoPi * i / 100, 0.0);
    int32_t x = 0, y = 0;
    const bool ok = PlacePoint(ra, dec, x, y);
    if (ok && prev) {
      if (paper) DrawChartSegment(dc, px, py, x, y, HorizonPixel);
      else DrawPatternLine(px, py, x, y, HorizonPixel, NearWhitePixel, 1, 0xFFFFFFFFu);
    }
    px = x;
    py = y;
    prev = ok;
  }
}
