// Video capture: the device interface of the video camera, its Video4Linux2
// implementation for /dev/video0..2, and the conversion of captured frames
// (YUYV, I420, RGB 24 and 32 bits) into a bitmap with its mean brightness.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/bitmap.h"

namespace imaging {

constexpr uint32_t FourCC(char a, char b, char c, char d) {
  return uint32_t(uint8_t(a)) | (uint32_t(uint8_t(b)) << 8) | (uint32_t(uint8_t(c)) << 16) |
         (uint32_t(uint8_t(d)) << 24);
}
inline constexpr uint32_t kFourccYUYV = FourCC('Y', 'U', 'Y', 'V');
inline constexpr uint32_t kFourccYUY2 = FourCC('Y', 'U', 'Y', '2');
inline constexpr uint32_t kFourccI420 = FourCC('Y', 'U', '1', '2');
inline constexpr uint32_t kFourccIYUV = FourCC('I', 'Y', 'U', 'V');
// Uncompressed RGB: 3 or 4 bytes per pixel by the frame length, blue first
// (the order of the RGB formats below the capture driver's "BGR3"/"BGR4").
inline constexpr uint32_t kFourccBGR3 = FourCC('B', 'G', 'R', '3');
inline constexpr uint32_t kFourccBGR4 = FourCC('B', 'G', 'R', '4');
// The same with red first.
inline constexpr uint32_t kFourccRGB3 = FourCC('R', 'G', 'B', '3');

struct VideoFormat {
  uint32_t fourcc = 0;
  int width = 0, height = 0;
};

// The four characters of a format code ("YUYV"), and back (0 for a text
// that is not four characters).
std::string FourCCText(uint32_t fourcc);
uint32_t FourCCFromText(const std::string& text);

// What a capture device offers: the pixel formats ConvertFrame reads, each
// with its frame sizes, and the device's inputs with the current one.
struct TVideoFormatOffer {
  uint32_t fourcc = 0;
  std::string name;  // the driver's description
  std::vector<std::pair<int, int>> sizes;
};
struct TVideoOffer {
  std::vector<TVideoFormatOffer> formats;
  std::vector<std::string> inputs;
  int input = -1;
};
// The mode to open a device in: format 0, size 0 and input -1 keep the
// device's own.
struct TVideoChoice {
  uint32_t fourcc = 0;
  int width = 0, height = 0;
  int input = -1;
};

enum class FrameResult { Ok, ShortFrame, UnsupportedFormat };

// Converts one frame into `out` (width x height, rows from the top) and
// gives its mean brightness (Y for YUV formats, (B + G + R) / 3 for RGB).
// YUV to RGB: Y, U, V clamped to 16..235, u = U - 128, v = V - 128,
// R = (4096 Y + 5742 v) / 4096, G = (4096 Y - 1410 u - 2925 v) / 4096,
// B = (4096 Y + 7258 u) / 4096, each clamped to 0..255. A frame shorter
// than its format needs (for RGB: not exactly 3 or 4 bytes a pixel) is
// refused and `out` left as it was.
FrameResult ConvertFrame(const VideoFormat& format, const uint8_t* frame, std::size_t length, platform::Bitmap& out,
                         double& brightness);

// A capture device.
class IVideoDevice {
 public:
  virtual ~IVideoDevice() = default;
  // Opens device `index` in the mode `want` (as far as the device allows);
  // false with a reason in `error`.
  virtual bool Open(int index, const TVideoChoice& want, std::string& error) = 0;
  virtual void Close() = 0;
  virtual bool IsOpen() const = 0;
  // The driver's name (card name).
  virtual std::string DriverName() const = 0;
  // The format the device delivers, and what it offers (while open).
  virtual VideoFormat Format() const = 0;
  virtual TVideoOffer Offer() const = 0;
  // Waits up to `timeoutMs` for the next frame; false when none came.
  virtual bool Grab(std::vector<uint8_t>& frame, int timeoutMs) = 0;
};

// Video4Linux2 on /dev/video<index>, memory-mapped streaming (or read()).
std::unique_ptr<IVideoDevice> MakeV4l2Device();
// The driver name of a capture device, or empty when /dev/video<index> is
// not a capture device (the scan of CreateCameras).
std::string VideoDriverDescription(int index);

// The factory the video cameras use; tests install a fake.
extern std::function<std::unique_ptr<IVideoDevice>()> VideoDeviceFactory;
extern std::function<std::string(int)> VideoDriverScan;

}  // namespace imaging
