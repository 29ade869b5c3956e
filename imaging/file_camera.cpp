#include "imaging/file_camera.h"

#include <QFileInfo>
#include <QImage>

#include "astro/text.h"
#include "imaging/fits_image.h"
#include "platform/bitmap.h"
#include "shell/log_lines.h"

namespace imaging {

std::function<void(TIFFCamera&)> TIFFCamera::SettingsWindow;
std::function<void(TIFFCamera&)> TIFFCamera::CloseSettingsWindow;

TIFFCamera::TIFFCamera() : TCamera("IFF1", "Image File") {
  CanAbortExposure = true;
  CanStopExposure = true;
  ExposureMin = ExposureMax = 2.0;
  Settings.ExInterval = 2000;
  SetTimerInterval(200);
}

TIFFCamera::~TIFFCamera() {
  // Nothing may reach this camera through its settings window any more.
  if (CloseSettingsWindow) CloseSettingsWindow(*this);
}

std::string TIFFCamera::ChooseFile() const {
  const std::string& path = Settings.Name;
  const QFileInfo info(QString::fromStdString(path));
  if (info.isFile() && !Settings.ModifiedCamera) return path;
  if (!info.isDir()) return {};
  std::string folder = path;
  while (folder.size() > 1 && (folder.back() == '/' || folder.back() == '\\')) folder.pop_back();
  TSearchRec best;
  for (const char* mask : {"*.bmp", "*.jpg", "*.jpeg", "*.fit", "*.fts", "*.fits"}) {
    TSearchRec found;
    if (FindFiles(folder, mask, found) && (best.Name.empty() || found.Time > best.Time)) best = found;
  }
  return best.Name.empty() ? std::string() : folder + "/" + best.Name;
}

bool TIFFCamera::Load(TFitsHeader& h, FitsData& d, std::string& why) const {
  const std::string file = ChooseFile();
  if (file.empty()) {
    const std::string& path = Settings.Name;
    const QFileInfo info(QString::fromStdString(path));
    if (path.empty()) why = "no picture file or folder is chosen in the Image File settings";
    else if (info.isDir()) why = "no picture file in " + path;
    else if (info.isFile()) why = path + " is a file, not a folder to load the newest picture from";
    else why = path + " does not exist";
    return false;
  }
  if (IsFitsFileName(file)) {
    TFitsBitmap fits;
    std::string warning;
    try {
      fits.LoadFromFile(file, &warning);
    } catch (const EInvalidGraphic& e) {
      // An unreadable picture: nothing loaded, and the log says why.
      why = file + " is not loaded: " + e.Reason();
      LogLines().AddLine(logPrefix_ + why);
      return false;
    }
    if (!warning.empty()) LogLines().AddLine(logPrefix_ + file + ": " + warning);
    h = fits.Header;
    d = std::move(fits.Data());
    if (Settings.ForceMono) h.Mosaic.clear();
    return true;
  }
  const QImage img = platform::ReadPictureFile(file);
  platform::Bitmap bmp;
  if (!img.isNull()) bmp = platform::Bitmap(img.width(), img.height());
  if (bmp.IsNull()) {
    why = file + " is not a readable picture";
    return false;
  }
  bmp.Image() = img.convertToFormat(QImage::Format_RGB32);
  BitmapToFits(bmp, h, d, false);
  if (d.empty()) why = file + " is not a readable picture";
  return !d.empty();
}

bool TIFFCamera::DoConnect() {
  connected_ = true;
  imageReady_ = false;
  TFitsHeader h;
  FitsData d;
  std::string why;
  if (Load(h, d, why)) {
    Settings.PixelsX = h.NAxis1;
    Settings.PixelsY = h.NAxis2;
  }
  return true;
}

void TIFFCamera::DoDisconnect() { connected_ = false; }

bool TIFFCamera::StartExposure(double seconds, bool light) {
  if (!connected_) throw ECameraError("Camera is not connected.");
  TFitsHeader h;
  FitsData d;
  // Nothing is started without a picture; the consumer tells why.
  if (!Load(h, d, lastFailure_)) return false;
  if (!image_) image_ = std::make_unique<TFitsBitmap>();
  if (!image_->SetFitsData(h, std::move(d))) {
    lastFailure_ = ChooseFile() + " holds no usable picture";
    return false;
  }
  Settings.PixelsX = h.NAxis1;
  Settings.PixelsY = h.NAxis2;
  return TCamera::StartExposure(seconds, light);
}

void TIFFCamera::Poll() {
  switch (ExposureState) {
    case 1:
      if (CameraClocks().NowMs() - startTick_ > uint64_t(std::max(Settings.ExInterval, 0))) {
        StampStart();
        ExposureState = 2;
      }
      break;
    case 2:
      imageTick_ = CameraClocks().NowMs();
      ExposureState = 3;
      break;
    case 3:
      ExposureState = 4;
      imageReady_ = true;
      break;
    case 4:
      ExposureState = 0;
      break;
    default:
      break;
  }
}

void TIFFCamera::ShowSettings() {
  if (SettingsWindow) SettingsWindow(*this);
}

}  // namespace imaging
