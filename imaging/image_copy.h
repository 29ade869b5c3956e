// A consumer's own copy of a camera's picture (header and pixel block),
// rendered with the header's display range.
#pragma once

#include <memory>

#include "imaging/fits_bitmap.h"

namespace imaging {

inline std::unique_ptr<TFitsBitmap> CopyFitsImage(const TFitsBitmap& image) {
  auto copy = std::make_unique<TFitsBitmap>();
  TFitsHeader h;
  const FitsData& data = image.GetFitsData(h);
  copy->SetFitsData(h, data);
  return copy;
}

}  // namespace imaging
