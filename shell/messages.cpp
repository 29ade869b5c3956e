#include "shell/messages.h"

#include <mutex>

#include "platform/codec.h"

namespace {

struct CodedText {
  int16_t code;
  const char* text;
};

// Codes 1..11 are errors of start-up and file reading (stop icon); codes
// from 100 are warnings of file reading and of the location fields.
constexpr CodedText kMessages[] = {
    {1, "Error: Can't open file "},
    {2, "Error: Can't read file "},
    {3, "Error: Can't close file "},
    {4, "Error: Can't load Globe surface data."},
    {5, "Error: Can't create ColorCrossRef data."},
    {6, "Error: Can't create OvalMask."},
    {7, "Error: Can't create Globe view."},
    {8, "Error: Can't create Clock view."},
    {9, "Error: Can't create Magnifier view."},
    {10, "Error: Can't create StarSphere view."},
    {11, "Error: Can't create Plotter bitmap."},
    {100, "Warning: Unrecognized file format in "},
    {101, "Warning: Unexpected file size in "},
    {102, "Warning: Can't open file "},
    {103, "Warning: Can't read file "},
    {104, "Error: Can't close file "},
    {105, "Error: Can't create file "},
    {106, "Error: Can't write file "},
    {107, "Error: Can't access "},
    {120,
     "Warning: Latitude value makes no sense\r\n(use value of 0 to 90 followed by N or S)\r\n"
     "location ignored."},
    {121,
     "Warning: Longitude value makes no sense\r\n(use value of 0 to 180 followed by E or W)\r\n"
     "location ignored."},
    {122, "Warning: TimeZone value makes no sense\r\n(use value of -12 to 12)\r\nlocation ignored."},
};

std::mutex g_flashMutex;
FlashSink g_flash;

}  // namespace

std::string ErrorMessageText(int16_t code) {
  for (const CodedText& m : kMessages)
    if (m.code == code) return m.text;
  return "Unknown error";
}

platform::MsgIcon ErrorMessageIcon(int16_t code) {
  return code >= 1 && code <= 11 ? platform::MsgIcon::Stop : platform::MsgIcon::Exclamation;
}

int ShowErrorMessage(int16_t code, const std::string& detail) {
  const std::string text = platform::CutToChars(ErrorMessageText(code) + detail, 255);
  return platform::ShowMessageBox(text, kProductCaption, platform::MsgButtons::Ok,
                                  ErrorMessageIcon(code));
}

void SetFlashSink(FlashSink sink) {
  std::lock_guard lock(g_flashMutex);
  g_flash = std::move(sink);
}

FlashSink InstalledFlashSink() {
  std::lock_guard lock(g_flashMutex);
  return g_flash;
}

void ShowFlashMessage(const std::string& text, int seconds) {
  const auto f = InstalledFlashSink().message;
  if (f) f(platform::CutToChars(text, 255), seconds);
}

void ShowFlashProgress(const std::string& text, int value) {
  const auto f = InstalledFlashSink().progress;
  if (f) f(platform::CutToChars(text, 255), value);
}
