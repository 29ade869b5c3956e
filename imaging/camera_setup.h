// Camera set-up at start: CreateCameras loads "ImagingSettings.xml" and
// creates the cameras this computer has (the image-file camera always,
// video cameras for capture devices 0..2, at most three DSI cameras), and
// lists them for the "&Source Settings" submenu of the "&Imaging" menu.
// At exit FreeCameras lets every camera write its settings back, then
// SaveImagingSettings stores the document.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "imaging/dsi_camera.h"
#include "imaging/file_camera.h"
#include "imaging/video_camera.h"

namespace imaging {

struct TCameraSet {
  std::unique_ptr<TIFFCamera> ImageFileCamera;
  std::unique_ptr<TVFWCamera> VFWCamera[3];
  std::vector<std::unique_ptr<TDsiCamera>> DsiCameras;
  // The "&Source Settings" items in menu order: caption and camera.
  struct Item {
    std::string Caption;
    TCamera* Camera;
  };
  std::vector<Item> SourceSettings;
};

// The program's cameras.
TCameraSet& Cameras();
// The camera of a consumer list name ("Image File", "VFW Camera #2", ...);
// nullptr when it does not exist.
TCamera* FindCamera(const std::string& listName);

// Loads the settings (the working folder's "ImagingSettings.xml" unless a
// path is given) and creates the cameras.
void CreateCameras(const std::string& settingsPath = kImagingSettingsFile);
// Destroys every camera; each writes its settings into the document.
void FreeCameras();

}  // namespace imaging
