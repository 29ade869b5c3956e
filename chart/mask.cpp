#include "chart/mask.h"

#include "chart/drawing_colors.h"
#include "chart/graph_misc.h"
#include "chart/styles.h"
#include "platform/dialogs.h"
#include "platform/drawing.h"
#include "platform/halt.h"
#include "shell/globals.h"

using platform::Bitmap;
using platform::Brush;
using platform::DrawingContext;
using platform::Pen;

std::atomic<int32_t> OvalMaskKind{2};
std::atomic<int32_t> MaskMarginLeft{0};
std::atomic<int32_t> MaskMarginTop{0};
std::atomic<int32_t> MaskInsetX{0};
std::atomic<int32_t> MaskInsetY{0};
Bitmap* MaskBitmap = nullptr;

namespace {

// Ellipse insets by kind (kind 0 has none).
constexpr int32_t kInsetX[kOvalMaskKindCount] = {0, -40, 20, 80, 100};
constexpr int32_t kInsetY[kOvalMaskKindCount] = {0, -20, 6, 16, 20};

// The mask pixel at element `index` against the centre pixel.
bool DiffersFromCentre(const Bitmap& mask, int64_t index) {
  const int32_t w = mask.Width(), h = mask.Height();
  const int64_t centre = int64_t(h / 2) * w + w / 2;
  return !platform::SameColor(mask.Element(int(index)), mask.Element(int(centre)));
}

int64_t ElementIndex(const Bitmap& mask, int32_t x, int32_t y) {
  return int64_t(mask.Height() - (int64_t(y) + 1)) * mask.Width() + x;
}

}  // namespace

bool CreateOvalMask() {
  MaskBitmap = nullptr;
  MaskBitmap = CreateAutoBitmap(BackBufferWidth, BackBufferHeight);
  return MaskBitmap != nullptr;
}

void UpdateOvalMask() {
  // 1. A mask of the back buffer's size.
  if (MaskBitmap == nullptr || MaskBitmap->Width() != BackBufferWidth ||
      MaskBitmap->Height() != BackBufferHeight) {
    if (MaskBitmap != nullptr) FreeAutoBitmap(MaskBitmap);
    MaskBitmap = CreateAutoBitmap(BackBufferWidth, BackBufferHeight);
    if (MaskBitmap == nullptr) {
      platform::ShowMessageBox(
          "Could'nt create a new bitmap to match screen re-size.\r\nNoctra Planetarium will exit.", "Fatal error",
          platform::MsgButtons::Ok, platform::MsgIcon::Stop);
      platform::HaltProgram(1);
    }
  }
  Bitmap& mask = *MaskBitmap;
  const int32_t kind = OvalMaskKind.load();
  DrawingContext dc(mask);

  // 2. The mask colour everywhere, with a black one-pixel border that makes
  // the first pixel (the transparent key) black.
  dc.SelectPen(Pen::Solid(1, 0));
  dc.SelectBrush(Brush::Solid(ColorRefForMode(Styles[kStyleOvalMask].ObjectColor)));
  dc.Rectangle(0, 0, mask.Width(), mask.Height());

  // 3. The chart rectangle (right and bottom excluded).
  dc.SelectBrush(Brush::Solid(0));
  MaskMarginLeft = 2;
  MaskMarginTop = 2;
  const int32_t left = MaskMarginLeft, top = MaskMarginTop - 1;
  const int32_t right = MapWidth - (MaskMarginLeft + 2) - 1, bottom = MapHeight - (MaskMarginTop + 4);

  if (kind < 1 || kind >= kOvalMaskKindCount) {
    // 4. Kind 0: the rectangle.
    dc.Rectangle(left, top, right, bottom);
    return;
  }
  // 5. Kinds 1..4: the ellipse; kind 1 cut to the rectangle.
  MaskInsetX = kInsetX[kind];
  MaskInsetY = kInsetY[kind];
  const int32_t ix = MaskInsetX / 2, iy = MaskInsetY / 2;  // truncating, -40 / 2 = -20
  if (kind == 1) dc.SetClipRect(left, top, right, bottom);
  dc.Ellipse(ix - 1, iy, MapWidth - ix - 1, MapHeight - iy);
  if (kind == 1) dc.ClearClip();
}

bool IsMaskedPixel(int32_t x, int32_t y) {
  if (MaskBitmap == nullptr) return false;
  const Bitmap& mask = *MaskBitmap;
  const int64_t index = ElementIndex(mask, x, y);
  if (index < 0 || index > int64_t(mask.PixelCount()) - 1) return false;
  return DiffersFromCentre(mask, index);
}

bool IsNearMaskEdge(int32_t x, int32_t y, int32_t d) {
  if (MaskBitmap == nullptr) return true;
  const Bitmap& mask = *MaskBitmap;
  const int32_t px[4] = {x - d, x + d, x - d, x + d};
  const int32_t py[4] = {y - d, y - d, y + d, y + d};
  for (int k = 0; k < 4; ++k) {
    if (px[k] < 0 || px[k] > mask.Width() || py[k] < 0 || py[k] > mask.Height()) return true;
    const int64_t index = ElementIndex(mask, px[k], py[k]);
    if (index < 0 || index > int64_t(mask.PixelCount()) - 1 || DiffersFromCentre(mask, index)) return true;
  }
  return false;
}

bool InChartArea(int32_t x, int32_t y) {
  const int32_t kind = OvalMaskKind.load(std::memory_order_relaxed);
  if (kind >= 1 && kind <= 4) {
    // 1. Inside the ellipse (u = 1 on the ellipse itself counts as inside).
    const double dx = x - MapWidth / 2.0, dy = y - MapHeight / 2.0;
    const double a = (MapWidth - MaskInsetX.load(std::memory_order_relaxed)) / 2.0;
    const double b = (MapHeight - MaskInsetY.load(std::memory_order_relaxed)) / 2.0;
    const double u = dx * dx / (a * a), v = dy * dy / (b * b);
    if (u > 1 || v > 1 || u + v > 1) return false;
  }
  if (kind <= 1) {
    // 2. Inside the margins of the chart rectangle.
    const int32_t ml = MaskMarginLeft.load(std::memory_order_relaxed);
    const int32_t mt = MaskMarginTop.load(std::memory_order_relaxed);
    if (x < ml || y < mt || x > MapWidth - (ml + 2) || y > MapHeight - (mt + 4)) return false;
  }
  return true;
}
