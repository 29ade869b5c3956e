// Small helpers the imaging windows share: text fields, scrolling a
// picture, the camera list boxes, the exposure up-downs and the folder
// dialog.
#pragma once

#include <QComboBox>
#include <QLineEdit>
#include <QScrollArea>
#include <functional>
#include <string>

#include "imaging/camera.h"
#include "imaging/forms/imaging_windows.h"

namespace imaging::form_support {

std::string Text(const QLineEdit* e);

// Scrolls `box` to (x, y), its ranges first brought to the picture's
// current size (the scroll area itself catches up only later).
void ScrollTo(QScrollArea* box, int x, int y);

// Sets a field's text unless the user is typing in it or it already holds it.
void SetText(QLineEdit* e, const std::string& s);

// Fills a camera list box from the logic's list, keeping the choice.
void FillSources(QComboBox* box, const TCameraList& list, const std::string& current);

// The chosen camera's settings window (its "&Source Settings" item).
void ShowCameraSettings(const QComboBox* source);

void AddExistingCameras(TCameraList& list);

// An exposure text and its up-down: the up-down moves only to steps the
// camera allows (`withoutCamera`: any step without a camera) and then
// writes the step into the text; refused moves go back.
void WireExposureUpDown(QWidget* form, TUpDown* upDown, QLineEdit* text, int& current,
                        std::function<const TCamera*()> camera, bool withoutCamera,
                        std::function<void()> changed);

// The folder dialog of the platform, opened at `start` (the root when that
// is no folder); the choice with a final "/".
bool ChooseFolder(std::string start, std::string& chosen);

}  // namespace imaging::form_support
