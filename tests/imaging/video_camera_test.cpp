// The video camera: frame conversion of each format on known frames, the
// exposure sequence on a V4L2-shaped fake device, the long-exposure line
// on a pseudo-terminal, and the connection failures.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <termios.h>
#include <unistd.h>

#include <deque>
#include <filesystem>

#include "imaging/video_camera.h"
#include "shell/log_lines.h"
#include "tests/imaging/fake_ports.h"

using namespace imaging;

namespace {

uint32_t Rgb(int r, int g, int b) { return platform::MakePixel(uint8_t(r), uint8_t(g), uint8_t(b)); }

// A capture device that hands out queued frames, opened in the mode asked.
class FakeVideo : public IVideoDevice {
 public:
  explicit FakeVideo(VideoFormat f, std::deque<std::vector<uint8_t>>* frames, TVideoChoice* opened = nullptr)
      : format_(f), frames_(frames), opened_(opened) {}
  bool Open(int, const TVideoChoice& want, std::string&) override {
    if (opened_) *opened_ = want;
    if (want.fourcc) format_ = {want.fourcc, want.width, want.height};
    return open_ = true;
  }
  void Close() override { open_ = false; }
  bool IsOpen() const override { return open_; }
  std::string DriverName() const override { return "Fake UVC camera"; }
  VideoFormat Format() const override { return format_; }
  TVideoOffer Offer() const override { return {}; }
  bool Grab(std::vector<uint8_t>& frame, int) override {
    if (!open_ || frames_->empty()) return false;
    frame = frames_->front();
    frames_->pop_front();
    return true;
  }
  VideoFormat format_;
  std::deque<std::vector<uint8_t>>* frames_;
  TVideoChoice* opened_;
  bool open_ = false;
};

// A grey 4 x 2 YUYV frame of luma y.
std::vector<uint8_t> GreyFrame(uint8_t y) {
  std::vector<uint8_t> f;
  for (int i = 0; i < 4; ++i) f.insert(f.end(), {y, 128, y, 128});
  return f;
}

struct Fixture {
  std::deque<std::vector<uint8_t>> frames;
  uint64_t now = 100000;
  VideoFormat format{kFourccYUYV, 4, 2};
  TVideoChoice opened;
  Fixture() {
    ImagingSettingsDoc().Doc.Clear();
    LogLines().Clear();
    CameraClocks().NowMs = [this] { return now; };
    VideoDeviceFactory = [this] { return std::make_unique<FakeVideo>(format, &frames, &opened); };
  }
  ~Fixture() {
    VideoDeviceFactory = MakeV4l2Device;
    PortDeviceOverrideForTest = nullptr;
    ResetCameraClocksForTest();
    ImagingSettingsDoc().Doc.Clear();
  }
};

}  // namespace

TEST(VideoFrames, ConvertsEachFormatOnKnownFrames) {
  struct Case {
    const char* name;
    VideoFormat format;
    std::vector<uint8_t> frame;
    std::vector<uint32_t> pixels;  // rows from the top
    double brightness;
  };
  // YUV values worked by hand from the integer formulas: Y 128, U 16, V 235
  // gives R (524288 + 614394) / 4096 = 277 -> 255, G 369233 / 4096 = 90,
  // B -288608 / 4096 = -70 -> 0.
  const std::vector<Case> cases = {
      {"YUYV", {kFourccYUYV, 2, 1}, {16, 128, 235, 128}, {Rgb(16, 16, 16), Rgb(235, 235, 235)}, 125.5},
      {"YUYV colour", {kFourccYUYV, 2, 1}, {128, 16, 128, 235}, {Rgb(255, 90, 0), Rgb(255, 90, 0)}, 128},
      {"I420", {kFourccI420, 2, 2}, {10, 100, 200, 250, 128, 128}, {Rgb(16, 16, 16), Rgb(100, 100, 100), Rgb(200, 200, 200), Rgb(235, 235, 235)}, 140},
      {"BGR 24", {kFourccBGR3, 2, 1}, {1, 2, 3, 30, 60, 90}, {Rgb(3, 2, 1), Rgb(90, 60, 30)}, 31},
      {"BGR 32", {kFourccBGR3, 1, 1}, {10, 20, 30, 0}, {Rgb(30, 20, 10)}, 20},
      {"RGB 24", {kFourccRGB3, 1, 1}, {10, 20, 30}, {Rgb(10, 20, 30)}, 20},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    platform::Bitmap out;
    double b = -1;
    ASSERT_EQ(ConvertFrame(c.format, c.frame.data(), c.frame.size(), out, b), FrameResult::Ok);
    ASSERT_EQ(out.PixelCount(), int(c.pixels.size()));
    for (int i = 0; i < out.PixelCount(); ++i)
      EXPECT_EQ(out.Pixel(i % out.Width(), i / out.Width()) & platform::kRgbMask, c.pixels[i]) << i;
    EXPECT_DOUBLE_EQ(b, c.brightness);
  }
  // Short frames and RGB frames of another length are refused; unknown
  // formats are reported.
  platform::Bitmap out;
  double b;
  const std::vector<uint8_t> bytes(7, 0);
  EXPECT_EQ(ConvertFrame({kFourccYUYV, 2, 2}, bytes.data(), 7, out, b), FrameResult::ShortFrame);
  EXPECT_EQ(ConvertFrame({kFourccI420, 2, 2}, bytes.data(), 5, out, b), FrameResult::ShortFrame);
  EXPECT_EQ(ConvertFrame({kFourccBGR3, 640, 480}, bytes.data(), 921599, out, b), FrameResult::ShortFrame);
  EXPECT_EQ(ConvertFrame({FourCC('M', 'J', 'P', 'G'), 2, 2}, bytes.data(), 7, out, b), FrameResult::UnsupportedFormat);
  EXPECT_TRUE(out.IsNull());
}

TEST(VideoCamera, PlainCameraExposesTheLastFrameOfTheWindow) {
  Fixture f;
  TVFWCamera cam(0);
  EXPECT_EQ(cam.ExposureMax, 0.2);
  cam.SetConnected(true);
  ASSERT_TRUE(cam.Connected());
  EXPECT_EQ(cam.Settings.Name, "Fake UVC camera");
  EXPECT_EQ(cam.GetXSize(), 4);
  f.frames = {GreyFrame(50), GreyFrame(120)};
  cam.StartExposure(0.1, true);
  cam.Poll();  // 1 -> 2
  f.now += 101;
  cam.Poll();
  f.now += 30;  // past the readout start
  cam.Poll();
  ASSERT_EQ(cam.ExposureState, 3);
  for (int i = 0; i < 5; ++i) cam.Poll();
  f.now += 300;
  cam.Poll();  // window over
  cam.Poll();
  ASSERT_TRUE(cam.GetImageReady());
  TFitsBitmap& img = cam.GetImage();
  EXPECT_EQ(img.Header.NAxis, 3);
  EXPECT_EQ(FitsValue(img.Data().data(), 8, 0), 120);
}

// The format, frame size and input chosen are kept in the camera's element
// of the settings file (other cameras' stay as they were) and asked of the
// device at the next connection.
TEST(VideoCamera, TheChosenModeIsKeptAndAskedFor) {
  Fixture f;
  TVFWCamera cam(0);
  cam.SetChoice({kFourccRGB3, 320, 240, 1});
  platform::XmlDocument doc;
  ASSERT_TRUE(doc.LoadFromText("<Imaging><VFW1/><IFF1/></Imaging>"));
  WriteImagingSettings(doc.Root().FirstChild("VFW1"), cam.Settings);
  WriteImagingSettings(doc.Root().FirstChild("IFF1"), ImagingSettings());
  EXPECT_TRUE(doc.Root().FirstChild("IFF1").FirstChild("VideoFormat").IsNull());
  cam.Settings = ImagingSettings();
  ReadImagingSettings(doc.Root().FirstChild("VFW1"), cam.Settings);
  cam.SetConnected(true);
  EXPECT_EQ(std::vector<int>({int(f.opened.fourcc == kFourccRGB3), f.opened.width, f.opened.height, f.opened.input}),
            std::vector<int>({1, 320, 240, 1}));
  EXPECT_EQ(cam.GetXSize(), 320);
}

TEST(VideoCamera, LongExposureLineOnASerialPortAndTheBrightestFrame) {
  Fixture f;
  const int master = posix_openpt(O_RDWR | O_NOCTTY);
  ASSERT_GE(master, 0);
  ASSERT_EQ(grantpt(master), 0);
  ASSERT_EQ(unlockpt(master), 0);
  const std::string slave = ptsname(master);
  PortDeviceOverrideForTest = [&](const PortEntry& e) {
    return e.address == 1016 ? slave : std::string("/nonexistent/tty");
  };

  TVFWCamera cam(1);
  cam.Settings.ModifiedCamera = true;
  cam.Settings.LxPort = 1016;  // COM1
  cam.Settings.DtrRtsMode = false;
  cam.Settings.AccMask = 0x0F;
  cam.Settings.AccOnVal = 0x35;  // written masked: 0x05
  cam.Settings.AccOffVal = 0x02;
  cam.SetConnected(true);
  ASSERT_TRUE(cam.Connected());
  EXPECT_EQ(cam.ExposureMax, 900.0);

  f.frames = {GreyFrame(60), GreyFrame(200), GreyFrame(90)};
  cam.StartExposure(2.0, true);
  cam.Poll();  // line on
  auto readByte = [&] {
    uint8_t b = 0xEE;
    return ::read(master, &b, 1) == 1 ? b : 0xEE;
  };
  EXPECT_EQ(readByte(), 0x05);
  f.now += 2000;
  cam.Poll();
  EXPECT_EQ(cam.ExposureState, 2);  // not yet past 2,000 ms
  f.now += 1;
  cam.Poll();  // line off after 2,000 ms
  EXPECT_EQ(readByte(), 0x02);
  EXPECT_EQ(cam.TimerInterval(), 1);
  f.now += 29;
  cam.Poll();
  EXPECT_EQ(cam.ExposureState, 2);  // frames from 2,030 ms on
  f.now += 1;
  cam.Poll();
  ASSERT_EQ(cam.ExposureState, 3);
  for (int i = 0; i < 3; ++i) cam.Poll();
  f.now += 200;  // the window ends at 2,230 ms
  cam.Poll();
  cam.Poll();
  ASSERT_TRUE(cam.GetImageReady());
  EXPECT_EQ(FitsValue(cam.GetImage().Data().data(), 8, 0), 200);  // brightest frame kept
  EXPECT_EQ(cam.Selection().frameCounter, 3);
  cam.SetConnected(false);

  // Unknown port address and a missing serial device: clean failures, and
  // the camera connects again once the port is right.
  for (uint16_t port : {uint16_t(0), uint16_t(760)}) {
    cam.Settings.LxPort = port;
    try {
      cam.SetConnected(true);
      ADD_FAILURE() << "connected";
    } catch (const ECameraError& e) {
      EXPECT_STREQ(e.what(), port == 0 ? "Can't connect to Vfw Camera.  Unrecognized port address."
                                       : "Can't connect to Vfw Camera.  \"FILE NOT FOUND\" opening serial port");
    }
    EXPECT_FALSE(cam.Connected());
  }
  cam.Settings.LxPort = 1016;
  cam.SetConnected(true);
  EXPECT_TRUE(cam.Connected());
  cam.SetConnected(false);
  ::close(master);
}

// The line on a parallel port, end to end through the port output with the
// ppdev calls recorded: the port is the one at the chosen address (0378 is
// parport1 here, 03BC parport0), held from the connection to the
// disconnection, and takes the unmasked values at the exposure's start and
// end. A chosen address no port has refuses the connection, naming the
// ports there are; a line that cannot be set ends the exposure with why.
TEST(VideoCamera, LongExposureLineOnTheParallelPortAtTheChosenAddress) {
  Fixture f;
  fake_ports::Ports ports;
  ports.proc.AddPort(0, 956);
  ports.proc.AddPort(1, 888);
  TVFWCamera cam(0);
  cam.Settings.ModifiedCamera = true;
  cam.Settings.LxPort = 888;  // LPT1
  cam.Settings.AccMask = 0x0F;
  cam.Settings.AccOnVal = 0x35;
  cam.Settings.AccOffVal = 0x02;
  cam.SetConnected(true);
  ASSERT_TRUE(cam.Connected());
  EXPECT_EQ(ports.ppdev.calls, std::vector<std::string>({"open /dev/parport1", "claim 11"}));
  f.frames = {GreyFrame(60), GreyFrame(90)};
  cam.StartExposure(1.0, true);
  cam.Poll();  // line on
  f.now += 1001;
  cam.Poll();  // line off
  EXPECT_EQ(cam.TimerInterval(), 1);
  f.now += std::max(cam.Settings.ExStart, 0);
  for (int i = 0; i < 4; ++i) cam.Poll();
  f.now += std::max(cam.Settings.ExWindow, 0);
  cam.Poll();
  cam.Poll();
  EXPECT_TRUE(cam.GetImageReady());
  cam.SetConnected(false);
  EXPECT_EQ(ports.ppdev.calls, std::vector<std::string>({"open /dev/parport1", "claim 11", "write 11 35", "write 11 02",
                                                         "release 11", "close 11"}));
  EXPECT_FALSE(ParallelPortClaimed(888));

  ports.ppdev.calls.clear();
  cam.Settings.LxPort = 632;  // LPT2: no port there
  try {
    cam.SetConnected(true);
    ADD_FAILURE() << "connected";
  } catch (const ECameraError& e) {
    EXPECT_STREQ(e.what(),
                 "Can't connect to Vfw Camera.  No parallel port at 0278 here; ports found: parport0 at 03BC, parport1 "
                 "at 0378.");
  }
  EXPECT_FALSE(cam.Connected());
  EXPECT_TRUE(ports.ppdev.calls.empty());

  cam.Settings.LxPort = 956;  // LPT3 is parport0
  cam.SetConnected(true);
  ASSERT_TRUE(cam.Connected());
  ports.ppdev.writeError = EIO;
  cam.StartExposure(1.0, true);
  cam.Poll();
  EXPECT_EQ(cam.ExposureState, 0);
  EXPECT_EQ(LogLines().LastLine(),
            "[VFW Camera #1] The switching line could not be set: Can't write to the parallel port at 03BC: "
            "Input/output error.");
  cam.SetConnected(false);
  EXPECT_EQ(ports.ppdev.calls, std::vector<std::string>({"open /dev/parport0", "claim 10", "write 10 35", "release 10",
                                                         "close 10"}));
}

// Two cameras set to one parallel port: the second is refused the port the
// first holds, and the refusal leaves the first one's claim alone: its line
// still switches through the device it claimed until it disconnects.
TEST(VideoCamera, ACameraRefusedTheParallelPortLeavesTheHoldersClaim) {
  Fixture f;
  fake_ports::Ports ports;
  ports.proc.AddPort(0, 888);
  TVFWCamera first(0), second(1);
  for (TVFWCamera* cam : {&first, &second}) {
    cam->Settings.ModifiedCamera = true;
    cam->Settings.LxPort = 888;
    cam->Settings.AccOnVal = 0x35;
    cam->Settings.AccOffVal = 0x02;
  }
  first.SetConnected(true);
  ASSERT_TRUE(first.Connected());
  try {
    second.SetConnected(true);
    ADD_FAILURE() << "connected";
  } catch (const ECameraError& e) {
    EXPECT_STREQ(e.what(), "Can't connect to Vfw Camera.  The parallel port at 0378 is in use by another camera.");
  }
  EXPECT_FALSE(second.Connected());
  EXPECT_TRUE(ParallelPortClaimed(888));
  first.StartExposure(1.0, true);
  first.Poll();  // line on
  EXPECT_EQ(first.ExposureState, 2) << LogLines().LastLine();
  first.AbortExposure();  // line off
  second.SetConnected(false);
  EXPECT_TRUE(ParallelPortClaimed(888));
  first.SetConnected(false);
  EXPECT_FALSE(ParallelPortClaimed(888));
  EXPECT_EQ(ports.ppdev.calls, std::vector<std::string>({"open /dev/parport0", "claim 10", "write 10 35", "write 10 02",
                                                         "release 10", "close 10"}));
}

TEST(VideoCamera, UnsupportedFormatAndShortFramesEndTheExposure) {
  Fixture f;
  f.format = {FourCC('M', 'J', 'P', 'G'), 4, 2};
  TVFWCamera cam(2);
  cam.SetConnected(true);
  f.frames = {GreyFrame(10)};
  cam.StartExposure(0.05, true);
  for (int i = 0; i < 4; ++i) {
    f.now += 60;
    cam.Poll();
  }
  for (int i = 0; i < 3; ++i) cam.Poll();
  EXPECT_FALSE(cam.Connected());
  EXPECT_EQ(cam.ExposureState, 0);
  EXPECT_EQ(LogLines().Lines(), std::vector<std::string>{"[VFW Camera #3] VFW Camera #3, Unsupported video format."});

  f.format = {kFourccYUYV, 4, 2};
  LogLines().Clear();
  cam.SetConnected(true);
  f.frames = {std::vector<uint8_t>(5, 0)};  // short
  cam.StartExposure(0.05, true);
  for (int i = 0; i < 6; ++i) {
    f.now += 60;
    cam.Poll();
  }
  cam.Poll();
  EXPECT_EQ(cam.ExposureState, 0);
  EXPECT_EQ(LogLines().LastLine(), "[VFW Camera #3] No video frame was captured.");
}

TEST(PortOutput, SerialLinesOverAPseudoTerminal) {
  struct {
    uint8_t value, mask;
    bool dtr, rts;
  } lines[] = {{3, 1, true, false}, {3, 3, true, true}, {2, 0xFF, false, true}, {0, 0xFF, false, false}};
  for (const auto& l : lines) {
    const ModemLines m = ModemLinesFor(l.value, l.mask);
    EXPECT_EQ(m.dtr, l.dtr);
    EXPECT_EQ(m.rts, l.rts);
  }
  const int master = posix_openpt(O_RDWR | O_NOCTTY);
  ASSERT_GE(master, 0);
  grantpt(master);
  unlockpt(master);
  const std::string slave = ptsname(master);
  PortDeviceOverrideForTest = [&](const PortEntry&) { return slave; };
  SerialLine port;
  int err = 0;
  ASSERT_TRUE(port.Open(744, err));  // COM4
  EXPECT_TRUE(port.IsOpen());
  // 9600 baud, 8 data bits, no parity, one stop bit.
  termios t{};
  const int fd = ::open(slave.c_str(), O_RDONLY | O_NOCTTY);
  ASSERT_EQ(::tcgetattr(fd, &t), 0);
  ::close(fd);
  EXPECT_EQ(cfgetospeed(&t), speed_t(B9600));
  EXPECT_EQ(t.c_cflag & CSIZE, tcflag_t(CS8));
  EXPECT_EQ(t.c_cflag & (PARENB | CSTOPB), 0u);
  EXPECT_TRUE(port.SetLine(0xF3, 0x0F, false));
  uint8_t b = 0;
  ASSERT_EQ(::read(master, &b, 1), 1);
  EXPECT_EQ(b, 0x03);
  // A pseudo-terminal has no modem lines: the failure is reported.
  EXPECT_FALSE(port.SetLine(1, 1, true));
  EXPECT_FALSE(port.Open(1234, err));
  EXPECT_FALSE(port.Open(888, err));  // a parallel port is no serial line
  EXPECT_EQ(err, ENODEV);
  PortDeviceOverrideForTest = nullptr;
  ::close(master);
}

TEST(VideoCamera, RealDeviceLayerReportsAMissingDevice) {
  // /dev/video9 does not exist on the test machines: the V4L2 layer says so
  // and the camera refuses to connect with the driver text.
  ImagingSettingsDoc().Doc.Clear();
  EXPECT_EQ(VideoDriverDescription(9), "");
  auto dev = MakeV4l2Device();
  std::string error;
  EXPECT_FALSE(dev->Open(9, {}, error));
  EXPECT_NE(error.find("/dev/video9"), std::string::npos);
  EXPECT_FALSE(dev->IsOpen());
  if (!std::filesystem::exists("/dev/video2")) {
    TVFWCamera cam(2);
    try {
      cam.SetConnected(true);
      ADD_FAILURE() << "connected";
    } catch (const ECameraError& e) {
      EXPECT_STREQ(e.what(), "Can't connect to Vfw Camera.  Capture driver connect failed.");
    }
    EXPECT_FALSE(cam.Connected());
  }
  ImagingSettingsDoc().Doc.Clear();
}
