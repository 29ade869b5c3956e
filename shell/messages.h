// Coded message boxes and the flash-message hooks: the ways every part of
// the program tells the user about failures outside its own windows.
//
// The message box goes through the platform dialogs (platform/dialogs.h),
// so it works from any thread and tests see it through the dialog double.
// The flash window belongs to the main window's user interface; code that
// has no widgets calls ShowFlashMessage/ShowFlashProgress here and the
// window, once created, installs itself as their target.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "platform/dialogs.h"

// Caption of the coded message boxes.
using platform::kProductCaption;

// The fixed text of a message code ("Unknown error" for codes outside the
// table) and its icon (stop for codes 1..11, exclamation for the others).
std::string ErrorMessageText(int16_t code);
platform::MsgIcon ErrorMessageIcon(int16_t code);

// Shows the fixed text of `code` immediately followed by `detail`, cut to 255
// characters, in a message box with an OK button and the program caption.
// Returns the box's result.
int ShowErrorMessage(int16_t code, const std::string& detail);

// Shows `text` in the flash window for `seconds` seconds. Without a flash
// window (tests, tools) the text goes to the installed sink only.
void ShowFlashMessage(const std::string& text, int seconds);

// The flash window's progress display: -1 opens it with `text`, 0..100 sets
// the gauge, 101 closes it.
void ShowFlashProgress(const std::string& text, int value);

// Where flash messages go. The flash window installs itself; tests install a
// recorder. Empty functions restore the default (ignore).
struct FlashSink {
  std::function<void(const std::string& text, int seconds)> message;
  std::function<void(const std::string& text, int value)> progress;
};
void SetFlashSink(FlashSink sink);
// A copy of the installed sink.
FlashSink InstalledFlashSink();
