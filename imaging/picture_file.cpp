#include "imaging/picture_file.h"

#include <QBuffer>
#include <QByteArray>
#include <vector>

#include "imaging/jpeg_file.h"
#include "platform/paths.h"

namespace imaging {

std::string PictureExtension(TSaveAs type) {
  if (type == TSaveAs::Bmp) return ".bmp";
  if (type == TSaveAs::Jpg) return ".jpg";
  return ".fts";
}

std::string SavePicture(const std::string& folder, const std::string& stem, TSaveAs type, TFitsHeader header,
                        const FitsData& data, const platform::Bitmap* shown, std::string* error,
                        std::vector<std::string>* recovered) {
  auto refuse = [&](const char* why) {
    if (error) *error = why;
    return std::string();
  };
  // The bytes of a bitmap or JPEG file are made first, so that nothing is
  // created for a picture that cannot be encoded.
  std::vector<unsigned char> bytes;
  if (type == TSaveAs::Bmp || type == TSaveAs::Jpg) {
    if (!shown || shown->IsNull()) return refuse("no picture");
    if (type == TSaveAs::Bmp) {
      QByteArray bmp;
      QBuffer buffer(&bmp);
      buffer.open(QIODevice::WriteOnly);
      if (!shown->Image().save(&buffer, "BMP")) return refuse("picture not encoded");
      bytes.assign(bmp.begin(), bmp.end());
    } else if (!EncodeJpeg(*shown, 90, false, bytes)) {
      return refuse("picture not encoded");
    }
    return platform::WriteNewFile(
        folder, stem, PictureExtension(type),
        [&](std::FILE* f) { return std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size(); }, error,
        recovered);
  }
  if (!header.Simple) return refuse("no FITS image");
  static const int32_t kBitPix[4] = {-16, 16, 32, -32};
  header.SaveBitPix = kBitPix[int(type)];
  return platform::WriteNewFile(
      folder, stem, PictureExtension(type), [&](std::FILE* f) { return WriteFits(f, header, data); }, error,
      recovered);
}

}  // namespace imaging
