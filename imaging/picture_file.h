// The one place where the program saves a picture it took: the imaging
// console's sequence frames, also those the points-of-interest sequencer
// asks for, as FITS, bitmap or JPEG files. A picture never replaces a file:
// when its name is taken it goes under the next free name
// ("Image.Bright.frame1-2.fts"), taken so that two writers never share it,
// and a picture is only ever seen under its name whole.
#pragma once

#include <string>
#include <vector>

#include "imaging/fits.h"
#include "platform/bitmap.h"

namespace imaging {

// The save types of the console's "Save as" list.
enum class TSaveAs { Fits16Compat = 0, Fits16 = 1, Fits32 = 2, FitsFloat = 3, Bmp = 4, Jpg = 5 };

// The file extension of a save type: ".fts", ".bmp" or ".jpg".
std::string PictureExtension(TSaveAs type);

// Saves a picture into the existing `folder` as `stem` + the type's
// extension, or under the next free name (`stem`-2, `stem`-3, ...) when
// that is taken (platform::WriteNewFile). The FITS types write `header`
// with its element type set by the type (-16, 16, 32, -32) and `data`;
// BMP and JPG (quality 90) write `shown`, the picture as shown. Returns the
// path used; empty on failure, with the reason in `error` when given.
// Pictures of saves into the folder that were cut short (the program
// killed as it saved) are put under a free name of their own first, listed
// in `recovered` when given.
std::string SavePicture(const std::string& folder, const std::string& stem, TSaveAs type, TFitsHeader header,
                        const FitsData& data, const platform::Bitmap* shown, std::string* error = nullptr,
                        std::vector<std::string>* recovered = nullptr);

}  // namespace imaging
