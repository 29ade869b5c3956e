#include "imaging/camera_setup.h"

namespace imaging {

TCameraSet& Cameras() {
  static TCameraSet set;
  return set;
}

TCamera* FindCamera(const std::string& listName) {
  for (const auto& item : Cameras().SourceSettings)
    if (item.Caption == listName) return item.Camera;
  return nullptr;
}

void CreateCameras(const std::string& settingsPath) {
  FreeCameras();
  LoadImagingSettings(settingsPath);
  TCameraSet& set = Cameras();
  set.ImageFileCamera = std::make_unique<TIFFCamera>();
  set.SourceSettings.push_back({"Image File", set.ImageFileCamera.get()});
  for (int index = 0; index < 3; ++index) {
    if (!VideoDriverScan || VideoDriverScan(index).empty()) continue;  // missing drivers leave gaps
    set.VFWCamera[index] = std::make_unique<TVFWCamera>(index);
    set.SourceSettings.push_back({"VFW Camera #" + std::to_string(index + 1), set.VFWCamera[index].get()});
  }
  set.DsiCameras = ScanDsiCameras();
  for (const auto& cam : set.DsiCameras) set.SourceSettings.push_back({cam->ListName(), cam.get()});
}

void FreeCameras() {
  TCameraSet& set = Cameras();
  set.SourceSettings.clear();
  set.DsiCameras.clear();
  for (auto& v : set.VFWCamera) v.reset();
  set.ImageFileCamera.reset();
}

}  // namespace imaging
