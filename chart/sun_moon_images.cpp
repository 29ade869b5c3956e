#include "chart/sun_moon_images.h"

#include "catalog/bounds.h"
#include "platform/paths.h"
#include "shell/data_files.h"
#include "shell/globals.h"

Bitmap* MoonBitmap = nullptr;
Bitmap* SunBitmap = nullptr;

namespace {

// The picture, or nullptr after its file was reported missing or damaged.
Bitmap* ReadPicture(const char* name) {
  const std::string path = platform::FindFileNoCase(DataFolder, name);
  if (!platform::FileExists(path)) {
    ReportDataFileProblem(102, name, kDataFileMissing);
    return nullptr;
  }
  std::string problem;
  Bitmap* bitmap = ReadAutoBitmap(path, &problem);
  if (!bitmap) {
    const bool corrupt = problem.find("corrupt") != std::string::npos;
    ReportDataFileProblem(corrupt ? 100 : 103, name,
                          std::string(corrupt ? "not a whole uncompressed 256-colour bitmap"
                                              : "its picture cannot be read") +
                              "; the chart draws the disc without it");
  }
  return bitmap;
}

}  // namespace

bool LoadSunMoonImages() {
  MoonBitmap = ReadPicture("moon.bmp");
  SunBitmap = ReadPicture("sun.bmp");
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
