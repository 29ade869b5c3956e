// TFitsBitmap: a bitmap that carries a FITS header record and its pixel
// block. Every image the cameras take, the consoles show and the picture
// lists load travels as one. The bitmap shows the data rendered with the
// header's display range, flips and mosaic.
#pragma once

#include <QImage>
#include <istream>
#include <string>

#include "imaging/fits.h"
#include "platform/bitmap.h"

namespace imaging {

class TFitsBitmap {
 public:
  TFitsHeader Header;

  TFitsBitmap() = default;
  TFitsBitmap(const TFitsBitmap&) = delete;
  TFitsBitmap& operator=(const TFitsBitmap&) = delete;

  // Reads a FITS file and renders it. A file that is not accepted, is short
  // or damaged raises EInvalidGraphic ("Fits image is not valid", or what
  // makes it unusable; why, for the log, in its Reason()) and leaves the
  // bitmap empty: nothing loaded. A file read with a doubt (BSCALE 0) says
  // so in `warning`.
  void LoadFromStream(std::istream& in, std::string* warning = nullptr);
  void LoadFromFile(const std::string& fileName, std::string* warning = nullptr);

  // Copies the header out and returns the pixel block (owned by the bitmap).
  const FitsData& GetFitsData(TFitsHeader& header) const;
  // Takes a copy of the header and of the pixel block (the caller keeps its
  // own) and renders them. A block shorter than the header's data leaves the
  // bitmap empty and returns false.
  bool SetFitsData(const TFitsHeader& header, const FitsData& data);
  // As SetFitsData, taking the block over without a copy.
  bool SetFitsData(const TFitsHeader& header, FitsData&& data);
  // Renders the block again with the current header (after the display
  // range or the flips changed).
  void UpdateBitmap();

  // Empties header, data and bitmap.
  void Clear();
  bool HasData() const { return !data_.empty(); }
  FitsData& Data() { return data_; }
  const FitsData& Data() const { return data_; }

  const platform::Bitmap& Bitmap() const { return bitmap_; }
  // Gives the bitmap a size without data (a camera's image before its first
  // exposure).
  void SetSize(int width, int height);
  int Width() const { return bitmap_.Width(); }
  int Height() const { return bitmap_.Height(); }

 private:
  platform::Bitmap bitmap_;
  FitsData data_;
};

// True when a file name ends in ".fits", ".fit" or ".fts" (any case): the
// picture format "Flexible Image Transport System".
bool IsFitsFileName(const std::string& fileName);

// A picture file to show: a FITS file (by its name) read by TFitsBitmap
// and rendered with its display range, any other through the toolkit's
// image readers. A null picture when it cannot be read, with the reason in
// `why` ("Image file not found", "Unknown image format", or what the FITS
// reader refused); a FITS file read with a doubt says so in `warning`. For
// a refused FITS file `reason` says for the log why it was refused
// (EInvalidGraphic::Reason).
QImage LoadPictureFile(const std::string& path, std::string& why, std::string* warning = nullptr,
                       std::string* reason = nullptr);

}  // namespace imaging
