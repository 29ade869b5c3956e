#include "chart/sun_moon_images.h"

#include "catalog/bounds.h"
#include "platform/paths.h"
#include "shell/globals.h"

Bitmap* MoonBitmap = nullptr;
Bitmap* SunBitmap = nullptr;

bool LoadSunMoonImages() {
  MoonBitmap = ReadAutoBitmap(platform::FindFileNoCase(DataFolder, "moon.bmp"));
  SunBitmap = ReadAutoBitmap(platform::FindFileNoCase(DataFolder, "sun.bmp"));
  return MoonBitmap && SunBitmap;
}

namespace {

// Scales, turns and mirrors `source` into a new black square bitmap.
Bitmap* MakeDiscImage(Bitmap* source, int32_t angle, int32_t size, int32_t xSign, int32_t ySign,
                      float aspect) {
  if (!source || size < 1 || !(aspect > 0.0f)) return nullptr;
  const int32_t side = SunMoonImageSide(size, aspect);
  Bitmap* image = CreateAutoBitmap(side, side);
  if (!image) return nullptr;
  BlitRotatedDisc(*source, *image, angle, size, aspect, xSign, ySign);
  // Black in the key pixel makes the black surround transparent when the
  // sprite is copied onto the chart.
  source->SetElement(0, 0);
  image->SetElement(0, 0);
  return image;
}

}  // namespace

Bitmap* MakeMoonImage(int32_t angle, int32_t size, int32_t xSign, int32_t ySign, float aspect) {
  return MakeDiscImage(MoonBitmap, angle, size, xSign, ySign, aspect);
}

Bitmap* MakeSunImage(int32_t size, int32_t xSign, int32_t ySign, float aspect) {
  return MakeDiscImage(SunBitmap, 0, size, xSign, ySign, aspect);
}
