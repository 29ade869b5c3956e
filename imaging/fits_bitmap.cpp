#include "imaging/fits_bitmap.h"

#include <ext/stdio_filebuf.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <istream>
#include <memory>

#include "imaging/fits_image.h"
#include "platform/bitmap.h"
#include "platform/data_file.h"

namespace imaging {

void TFitsBitmap::LoadFromStream(std::istream& in, std::string* warning) {
  Clear();
  TFitsHeader h;
  FitsData d;
  std::string why;
  if (!LoadFitsHeader(in, h, d, warning, &why)) throw EInvalidGraphic::Refused(why);
  if (!SetFitsData(h, std::move(d))) throw EInvalidGraphic::Refused("the pixel data do not match the header");
}

void TFitsBitmap::LoadFromFile(const std::string& fileName, std::string* warning) {
  // Only a regular file is opened: a pipe or a device in its place is
  // refused, never waited on or read without end.
  std::string why;
  std::unique_ptr<std::FILE, int (*)(std::FILE*)> f(platform::OpenDataFile(fileName, &why), &std::fclose);
  if (!f) {
    Clear();
    throw EInvalidGraphic::Refused("the file cannot be opened: " + why);
  }
  __gnu_cxx::stdio_filebuf<char> buffer(f.get(), std::ios::in);
  std::istream in(&buffer);
  LoadFromStream(in, warning);
}

const FitsData& TFitsBitmap::GetFitsData(TFitsHeader& header) const {
  header = Header;
  return data_;
}

bool TFitsBitmap::SetFitsData(const TFitsHeader& header, const FitsData& data) {
  return SetFitsData(header, FitsData(data));
}

bool TFitsBitmap::SetFitsData(const TFitsHeader& header, FitsData&& data) {
  Header = header;
  TFitsHeader sized = header;
  if (!FitsComputeSizes(sized) || int64_t(data.size()) < sized.DataBytes) {
    data_.clear();
    bitmap_ = platform::Bitmap();
    return false;
  }
  Header.DataBits = sized.DataBits;
  Header.DataBytes = sized.DataBytes;
  Header.DataBlocks = sized.DataBlocks;
  data_ = std::move(data);
  data_.resize(std::size_t(sized.DataBlocks * kFitsBlock), 0);
  UpdateBitmap();
  return true;
}

void TFitsBitmap::UpdateBitmap() {
  if (data_.empty()) return;
  bitmap_ = RenderFits(Header, data_);
}

void TFitsBitmap::Clear() {
  Header = TFitsHeader();
  data_.clear();
  bitmap_ = platform::Bitmap();
}

void TFitsBitmap::SetSize(int width, int height) { bitmap_ = platform::Bitmap(width, height); }

bool IsFitsFileName(const std::string& fileName) {
  const auto dot = fileName.rfind('.');
  if (dot == std::string::npos) return false;
  std::string ext = fileName.substr(dot + 1);
  std::transform(ext.begin(), ext.end(), ext.begin(), [](unsigned char c) { return char(std::tolower(c)); });
  return ext == "fits" || ext == "fit" || ext == "fts";
}

QImage LoadPictureFile(const std::string& path, std::string& why, std::string* warning, std::string* reason) {
  why.clear();
  if (warning) warning->clear();
  if (reason) reason->clear();
  // What is not there, or is no regular file (a pipe, a device), is never
  // opened.
  if (const std::string refused = platform::DataFileRefusal(path); !refused.empty()) {
    why = errno == ENOENT ? "Image file not found" : "Image file not read: " + refused;
    return {};
  }
  if (IsFitsFileName(path)) {
    TFitsBitmap fits;
    try {
      fits.LoadFromFile(path, warning);
    } catch (const EInvalidGraphic& e) {
      why = e.what();
      if (reason) *reason = e.Reason();
      return {};
    }
    return fits.Bitmap().Image();
  }
  std::string refused;
  QImage picture = platform::ReadPictureFile(path, &refused);
  if (picture.isNull()) why = refused.empty() ? "Unknown image format" : "Image file not read: " + refused;
  return picture;
}

}  // namespace imaging
