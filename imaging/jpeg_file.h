// JPEG files through libjpeg's IJG interface: the plate solver's
// "solve_me.jpg" and the imaging console's JPG pictures.
#pragma once

#include <string>
#include <vector>

#include "platform/bitmap.h"

namespace imaging {

// Encodes `bitmap` as a baseline JPEG (24-bit colour, or 8-bit grey when
// `grey`) with `quality` 1..100 into `out`; false on an empty bitmap or a
// library error.
bool EncodeJpeg(const platform::Bitmap& bitmap, int quality, bool grey, std::vector<unsigned char>& out);

// Writes `bitmap` as a baseline JPEG (24-bit colour, or 8-bit grey when
// `grey`) with `quality` 1..100. The file is written through a temporary
// file and renamed, so a failed save leaves an existing file as it was.
// False on any error (folder missing, disk full, empty bitmap).
bool SaveJpegFile(const std::string& fileName, const platform::Bitmap& bitmap, int quality = 90,
                  bool grey = false);

}  // namespace imaging
