// TIFFCamera ("Image File"): a camera without hardware. An exposure loads a
// picture file, either one fixed file or the newest image file of a folder
// (auto-load), so that the consoles can work on images written by other
// software. Settings: Name holds the source path, ModifiedCamera the
// auto-load switch.
#pragma once

#include <functional>

#include "imaging/camera.h"

namespace imaging {

class TIFFCamera : public TCamera {
 public:
  TIFFCamera();
  ~TIFFCamera() override;

  bool DoConnect() override;
  void DoDisconnect() override;
  // Loads the source and hands it to the image, then starts the 2 s
  // pseudo exposure. False (nothing started) when no picture could be
  // loaded.
  bool StartExposure(double seconds, bool light) override;
  void Poll() override;
  void ShowSettings() override;

  // The file the source names now: the path itself, or with auto-load (or
  // when the path is a folder) the newest *.bmp, *.jpg, *.jpeg, *.fit,
  // *.fts, *.fits file of the folder. Empty when there is none.
  std::string ChooseFile() const;

  // The settings window, installed by the forms library: it shows this
  // camera, and forgets it when the camera goes.
  static std::function<void(TIFFCamera&)> SettingsWindow;
  static std::function<void(TIFFCamera&)> CloseSettingsWindow;

 private:
  // Loads the chosen file into a header and data (colour FITS data for
  // bitmaps and JPEG pictures). False: nothing loaded, and `why` says why.
  // A FITS file that is refused, or read with a doubt, is named in the log
  // with the reason.
  bool Load(TFitsHeader& h, FitsData& d, std::string& why) const;
};

}  // namespace imaging
