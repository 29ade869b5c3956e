// The horizon editor's conversions: a picture of the skyline (from a file
// or the clipboard) sampled into the horizon profile, and the profile drawn
// back as a picture. The picture spans azimuth 0..360° left to right and
// altitude 90° at the top to 0° at the bottom; cells hold Windows colour
// references (0x00BBGGRR).
#pragma once

#include <string>

#include <QImage>

#include "chart/horizon_array.h"

// Every pixel (x, y) of a W × H picture sets cell (round(360 / W × x),
// round(90 / H × y)); later pixels overwrite earlier ones on the same cell,
// cells no pixel reaches keep their value. A null picture changes nothing.
void PictureToProfile(const QImage& picture, THorizonArray& horizon);
// A width × height picture whose pixel (x, y) shows cell
// (round(360 / width × x), round(90 / height × y)).
QImage ProfileToPicture(const THorizonArray& horizon, int width, int height);
// Reads a picture file (BMP, GIF, JPEG, TIFF, PNG); a null image when it
// cannot be read, with why in `why` when it was refused (a pipe or a device
// in its place is never opened) and "" for a file that is no picture.
QImage LoadHorizonPicture(const std::string& path, std::string* why = nullptr);
