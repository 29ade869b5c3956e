#include "imaging/video_capture.h"

#include <fcntl.h>
#include <linux/videodev2.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace imaging {

namespace {

int Clamp(int v, int lo, int hi) { return v < lo ? lo : (v > hi ? hi : v); }

uint32_t YuvPixel(int y, int u, int v) {
  y = Clamp(y, 16, 235);
  u = Clamp(u, 16, 235) - 128;
  v = Clamp(v, 16, 235) - 128;
  const int r = Clamp((4096 * y + 5742 * v) / 4096, 0, 255);
  const int g = Clamp((4096 * y - 1410 * u - 2925 * v) / 4096, 0, 255);
  const int b = Clamp((4096 * y + 7258 * u) / 4096, 0, 255);
  return platform::MakePixel(uint8_t(r), uint8_t(g), uint8_t(b));
}

}  // namespace

FrameResult ConvertFrame(const VideoFormat& f, const uint8_t* p, std::size_t len, platform::Bitmap& out,
                         double& brightness) {
  const int w = f.width, h = f.height;
  if (w <= 0 || h <= 0) return FrameResult::ShortFrame;
  const std::size_t n = std::size_t(w) * h;
  double sum = 0;
  switch (f.fourcc) {
    case kFourccYUYV:
    case kFourccYUY2: {
      if (w % 2 != 0 || len < n * 2) return FrameResult::ShortFrame;
      out = platform::Bitmap(w, h);
      for (int y = 0; y < h; ++y) {
        const uint8_t* s = p + std::size_t(y) * w * 2;
        uint32_t* row = out.Row(y);
        for (int x = 0; x < w; x += 2, s += 4) {
          row[x] = YuvPixel(s[0], s[1], s[3]);
          row[x + 1] = YuvPixel(s[2], s[1], s[3]);
          sum += s[0] + s[2];
        }
      }
      break;
    }
    case kFourccI420:
    case kFourccIYUV: {
      const int cw = (w + 1) / 2, ch = (h + 1) / 2;
      const std::size_t chroma = std::size_t(cw) * ch;
      if (len < n + 2 * chroma) return FrameResult::ShortFrame;
      const uint8_t* U = p + n;
      const uint8_t* V = U + chroma;
      out = platform::Bitmap(w, h);
      for (int y = 0; y < h; ++y) {
        uint32_t* row = out.Row(y);
        for (int x = 0; x < w; ++x) {
          const int Y = p[std::size_t(y) * w + x];
          const std::size_t c = std::size_t(y / 2) * cw + x / 2;
          row[x] = YuvPixel(Y, U[c], V[c]);
          sum += Y;
        }
      }
      break;
    }
    case kFourccBGR3:
    case kFourccBGR4:
    case kFourccRGB3: {
      int bpp;
      if (len == n * 3)
        bpp = 3;
      else if (len == n * 4)
        bpp = 4;
      else
        return FrameResult::ShortFrame;
      const bool redFirst = f.fourcc == kFourccRGB3;
      out = platform::Bitmap(w, h);
      for (int y = 0; y < h; ++y) {
        const uint8_t* s = p + std::size_t(y) * w * bpp;
        uint32_t* row = out.Row(y);
        for (int x = 0; x < w; ++x, s += bpp) {
          const uint8_t b = redFirst ? s[2] : s[0], g = s[1], r = redFirst ? s[0] : s[2];
          row[x] = platform::MakePixel(r, g, b);
          sum += (b + g + r) / 3.0;
        }
      }
      break;
    }
    default:
      return FrameResult::UnsupportedFormat;
  }
  brightness = sum / double(n);
  return FrameResult::Ok;
}

std::string FourCCText(uint32_t fourcc) {
  std::string s(4, ' ');
  for (int i = 0; i < 4; ++i) s[std::size_t(i)] = char((fourcc >> (8 * i)) & 0xFF);
  return s;
}

uint32_t FourCCFromText(const std::string& t) { return t.size() == 4 ? FourCC(t[0], t[1], t[2], t[3]) : 0; }

// --- Video4Linux2 ----------------------------------------------------------------

namespace {

bool Convertible(uint32_t f) {
  return f == kFourccYUYV || f == kFourccI420 || f == kFourccBGR3 || f == kFourccBGR4 || f == kFourccRGB3;
}

// The frame sizes offered where a driver gives a range: the common ones
// that lie on its steps, and the largest.
constexpr std::pair<int, int> kCommonSizes[] = {{160, 120},  {320, 240},   {352, 288},   {640, 480},
                                                {800, 600},  {1024, 768},  {1280, 720},  {1280, 960},
                                                {1280, 1024}, {1600, 1200}, {1920, 1080}};
constexpr uint32_t kMaxSide = 16384;

// A driver's fixed-size text field, NUL-terminated or full.
template <std::size_t N>
std::string Text(const uint8_t (&field)[N]) {
  const char* p = reinterpret_cast<const char*>(field);
  return std::string(p, strnlen(p, N));
}

int Xioctl(int fd, unsigned long request, void* arg) {
  int r;
  do r = ::ioctl(fd, request, arg);
  while (r == -1 && errno == EINTR);
  return r;
}

class V4l2Device : public IVideoDevice {
 public:
  ~V4l2Device() override { Close(); }

  bool Open(int index, const TVideoChoice& want, std::string& error) override {
    Close();
    const std::string path = "/dev/video" + std::to_string(index);
    fd_ = ::open(path.c_str(), O_RDWR | O_NONBLOCK | O_CLOEXEC);
    if (fd_ < 0) {
      error = path + ": " + std::strerror(errno);
      return false;
    }
    v4l2_capability cap{};
    const bool queried = Xioctl(fd_, VIDIOC_QUERYCAP, &cap) == 0;
    const uint32_t caps = (cap.capabilities & V4L2_CAP_DEVICE_CAPS) ? cap.device_caps : cap.capabilities;
    if (!queried || !(caps & V4L2_CAP_VIDEO_CAPTURE)) {
      error = path + " is not a capture device";
      Close();
      return false;
    }
    name_ = reinterpret_cast<const char*>(cap.card);
    int input = want.input;
    if (input >= 0 && Xioctl(fd_, VIDIOC_S_INPUT, &input) != 0) {
      error = path + ": cannot select input " + std::to_string(want.input + 1);
      Close();
      return false;
    }
    // Ask for the chosen format and size (YUYV at the driver's current
    // size by default); keep what the driver gives.
    v4l2_format fmt{};
    fmt.type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
    if (Xioctl(fd_, VIDIOC_G_FMT, &fmt) != 0) {
      error = path + ": cannot read the video format";
      Close();
      return false;
    }
    fmt.fmt.pix.pixelformat = want.fourcc ? want.fourcc : V4L2_PIX_FMT_YUYV;
    if (want.width > 0 && want.height > 0) {
      fmt.fmt.pix.width = uint32_t(want.width);
      fmt.fmt.pix.height = uint32_t(want.height);
    }
    fmt.fmt.pix.field = V4L2_FIELD_NONE;
    Xioctl(fd_, VIDIOC_S_FMT, &fmt);
    Xioctl(fd_, VIDIOC_G_FMT, &fmt);
    if (fmt.fmt.pix.width > kMaxSide || fmt.fmt.pix.height > kMaxSide) {
      error = path + ": frame size out of range";
      Close();
      return false;
    }
    format_ = {fmt.fmt.pix.pixelformat, int(fmt.fmt.pix.width), int(fmt.fmt.pix.height)};
    ReadOffer();
    streaming_ = (caps & V4L2_CAP_STREAMING) && StartStreaming();
    if (!streaming_ && !(caps & V4L2_CAP_READWRITE)) {
      error = path + ": no usable capture method";
      Close();
      return false;
    }
    frameBytes_ = fmt.fmt.pix.sizeimage;
    return true;
  }

  void Close() override {
    if (fd_ < 0) return;
    if (streaming_) {
      v4l2_buf_type type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
      Xioctl(fd_, VIDIOC_STREAMOFF, &type);
    }
    for (auto& b : buffers_) ::munmap(b.first, b.second);
    buffers_.clear();
    streaming_ = false;
    ::close(fd_);
    fd_ = -1;
  }

  bool IsOpen() const override { return fd_ >= 0; }
  std::string DriverName() const override { return name_; }
  VideoFormat Format() const override { return format_; }
  TVideoOffer Offer() const override { return offer_; }

  bool Grab(std::vector<uint8_t>& frame, int timeoutMs) override {
    if (fd_ < 0) return false;
    pollfd pfd{fd_, POLLIN, 0};
    if (::poll(&pfd, 1, timeoutMs) <= 0) return false;
    if (!streaming_) {
      frame.resize(frameBytes_);
      const ssize_t n = ::read(fd_, frame.data(), frame.size());
      if (n <= 0) return false;
      frame.resize(std::size_t(n));
      return true;
    }
    v4l2_buffer buf{};
    buf.type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
    buf.memory = V4L2_MEMORY_MMAP;
    if (Xioctl(fd_, VIDIOC_DQBUF, &buf) != 0 || buf.index >= buffers_.size()) return false;
    const auto* start = static_cast<const uint8_t*>(buffers_[buf.index].first);
    frame.assign(start, start + std::min<std::size_t>(buf.bytesused, buffers_[buf.index].second));
    Xioctl(fd_, VIDIOC_QBUF, &buf);
    return true;
  }

 private:
  bool StartStreaming() {
    v4l2_requestbuffers req{};
    req.count = 4;
    req.type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
    req.memory = V4L2_MEMORY_MMAP;
    if (Xioctl(fd_, VIDIOC_REQBUFS, &req) != 0 || req.count < 2) return false;
    for (unsigned i = 0; i < req.count; ++i) {
      v4l2_buffer buf{};
      buf.type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
      buf.memory = V4L2_MEMORY_MMAP;
      buf.index = i;
      if (Xioctl(fd_, VIDIOC_QUERYBUF, &buf) != 0) return false;
      void* p = ::mmap(nullptr, buf.length, PROT_READ | PROT_WRITE, MAP_SHARED, fd_, buf.m.offset);
      if (p == MAP_FAILED) return false;
      buffers_.emplace_back(p, buf.length);
      if (Xioctl(fd_, VIDIOC_QBUF, &buf) != 0) return false;
    }
    v4l2_buf_type type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
    return Xioctl(fd_, VIDIOC_STREAMON, &type) == 0;
  }

  // The formats ConvertFrame reads with their frame sizes, and the inputs.
  void ReadOffer() {
    offer_ = {};
    for (uint32_t i = 0; i < 64; ++i) {
      v4l2_fmtdesc d{};
      d.index = i;
      d.type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
      if (Xioctl(fd_, VIDIOC_ENUM_FMT, &d) != 0) break;
      if (!Convertible(d.pixelformat)) continue;
      TVideoFormatOffer f{d.pixelformat, Text(d.description), {}};
      for (uint32_t k = 0; k < 64; ++k) {
        v4l2_frmsizeenum z{};
        z.index = k;
        z.pixel_format = d.pixelformat;
        if (Xioctl(fd_, VIDIOC_ENUM_FRAMESIZES, &z) != 0) break;
        if (z.type == V4L2_FRMSIZE_TYPE_DISCRETE) {
          if (z.discrete.width <= kMaxSide && z.discrete.height <= kMaxSide)
            f.sizes.emplace_back(int(z.discrete.width), int(z.discrete.height));
          continue;
        }
        const v4l2_frmsize_stepwise& r = z.stepwise;
        const uint32_t sx = std::max(r.step_width, 1u), sy = std::max(r.step_height, 1u);
        for (const auto& [w, h] : kCommonSizes)
          if (uint32_t(w) >= r.min_width && uint32_t(w) <= r.max_width && uint32_t(h) >= r.min_height &&
              uint32_t(h) <= r.max_height && (uint32_t(w) - r.min_width) % sx == 0 &&
              (uint32_t(h) - r.min_height) % sy == 0)
            f.sizes.emplace_back(w, h);
        if (r.max_width <= kMaxSide && r.max_height <= kMaxSide &&
            (f.sizes.empty() || f.sizes.back() != std::pair<int, int>(int(r.max_width), int(r.max_height))))
          f.sizes.emplace_back(int(r.max_width), int(r.max_height));
        break;
      }
      if (f.sizes.empty()) f.sizes.emplace_back(format_.width, format_.height);
      offer_.formats.push_back(std::move(f));
    }
    for (uint32_t i = 0; i < 16; ++i) {
      v4l2_input in{};
      in.index = i;
      if (Xioctl(fd_, VIDIOC_ENUMINPUT, &in) != 0) break;
      offer_.inputs.push_back(Text(in.name));
    }
    int current = -1;
    if (Xioctl(fd_, VIDIOC_G_INPUT, &current) == 0) offer_.input = current;
  }

  int fd_ = -1;
  std::string name_;
  VideoFormat format_;
  TVideoOffer offer_;
  bool streaming_ = false;
  std::size_t frameBytes_ = 0;
  std::vector<std::pair<void*, std::size_t>> buffers_;
};

}  // namespace

std::unique_ptr<IVideoDevice> MakeV4l2Device() { return std::make_unique<V4l2Device>(); }

std::string VideoDriverDescription(int index) {
  const std::string path = "/dev/video" + std::to_string(index);
  const int fd = ::open(path.c_str(), O_RDWR | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return {};
  v4l2_capability cap{};
  std::string name;
  const bool queried = Xioctl(fd, VIDIOC_QUERYCAP, &cap) == 0;
  const uint32_t caps = (cap.capabilities & V4L2_CAP_DEVICE_CAPS) ? cap.device_caps : cap.capabilities;
  if (queried && (caps & V4L2_CAP_VIDEO_CAPTURE))
    name = reinterpret_cast<const char*>(cap.card);
  ::close(fd);
  return name;
}

std::function<std::unique_ptr<IVideoDevice>()> VideoDeviceFactory = MakeV4l2Device;
std::function<std::string(int)> VideoDriverScan = VideoDriverDescription;

}  // namespace imaging
