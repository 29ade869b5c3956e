#include "imaging/fits_bitmap.h"

#include <QFileInfo>
#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fstream>

#include "imaging/fits_image.h"

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
  std::ifstream in(fileName, std::ios::binary);
  if (!in) {
    const int err = errno;
    Clear();
    throw EInvalidGraphic::Refused(std::string("the file cannot be opened: ") + std::strerror(err));
  }
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
  if (!QFileInfo::exists(QString::fromStdString(path))) {
    why = "Image file not found";
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
  QImage picture(QString::fromStdString(path));
  if (picture.isNull()) why = "Unknown image format";
  return picture;
}

}  // namespace imaging
