// The camera simulator through the ASCOM camera: the star field lands where
// the gnomonic projection puts it, and a guide pulse of the simulated mount
// moves it by the guide rate times the pulse.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

#include "catalog/stars.h"
#include "imaging/ascom_camera.h"
#include "imaging/camera_setup.h"
#include "imaging/camera_sim.h"
#include "imaging/fits_image.h"
#include "platform/timezone.h"

using namespace imaging;

namespace {

constexpr double kArcsec = M_PI / (180.0 * 3600.0);

struct Fixture {
  uint64_t now = 1000;
  uint32_t clockOffset = 0;
  std::shared_ptr<platform::TSimTelescope> mount = std::make_shared<platform::TSimTelescope>();
  std::vector<TSimStar> stars;
  Fixture() {
    ImagingSettingsDoc().Doc.Clear();
    CameraClocks().NowMs = [this] { return now; };
    mount->Put("Connected", true);
    mount->SetPointing(3.0, 20.0);  // 3 h, +20 degrees
    SimCameraPointing = [this](double& ra, double& dec) {
      ra = mount->RaHours() * M_PI / 12.0;
      dec = mount->DecDegrees() * M_PI / 180.0;
      return true;
    };
    SimCameraStars = [this](double, double, double) { return stars; };
  }
  ~Fixture() {
    SimCameraPointing = nullptr;
    SimCameraStars = LoadedCatalogStars;  // the default field
    Cameras().SourceSettings.clear();
    ResetCameraClocksForTest();
    platform::SetTimeGetTimeOffsetForTest(0);
    ImagingSettingsDoc().Doc.Clear();
  }
  // Exposes `seconds` through the camera and measures the star in the box.
  bool Measure(TASCOMCamera& cam, double seconds, int x0, int y0, double& sx, double& sy) {
    cam.StartExposure(seconds, true);
    clockOffset += uint32_t(seconds * 1000) + 1;
    platform::SetTimeGetTimeOffsetForTest(clockOffset);
    now += uint64_t(seconds * 1000) + 1;
    for (int i = 0; i < 4 && cam.ExposureState != 0; ++i) cam.Poll();
    if (!cam.GetImageReady()) return false;
    // First moments above the median level of a 40 x 40 box (rows from the
    // top; pixel (x, y) covers [x, x + 1)).
    TFitsBitmap& img = cam.GetImage();
    const TFitsHeader& h = img.Header;
    std::vector<double> v;
    for (int y = y0; y < y0 + 40; ++y)
      for (int x = x0; x < x0 + 40; ++x) v.push_back(FitsValue(img.Data().data(), 16, x + int64_t(h.NAxis1) * (h.NAxis2 - 1 - y)));
    std::vector<double> sorted = v;
    std::nth_element(sorted.begin(), sorted.begin() + sorted.size() / 2, sorted.end());
    const double sky = sorted[sorted.size() / 2];
    double sw = 0, swx = 0, swy = 0;
    for (int y = 0; y < 40; ++y)
      for (int x = 0; x < 40; ++x) {
        const double w = v[std::size_t(y) * 40 + x] - sky;
        if (w < 200) continue;  // well above the noise
        sw += w;
        swx += w * (x0 + x + 0.5);
        swy += w * (y0 + y + 0.5);
      }
    if (sw <= 0) return false;
    sx = swx / sw;
    sy = swy / sw;
    return true;
  }
};

}  // namespace

TEST(CameraSimulator, StarsLandWhereTheProjectionPutsThemAndFollowGuidePulses) {
  Fixture f;
  TAscomCameraSlots window;
  window[1].name = "Noctra.Simulator.Camera";
  window.ConnectClick(1);
  TASCOMCamera* cam = window.Camera(1);
  ASSERT_NE(cam, nullptr);
  cam->SetConnected(true);
  ASSERT_TRUE(cam->Connected());
  EXPECT_EQ(cam->GetXSize(), 640);

  // One star 30 pixels north and 12 east of the field centre (pixel scale:
  // the pixel size over the focal length, radians); north is up and east
  // is left.
  const TSimCameraConfig config;
  const double scale = config.pixelSizeUm * 1e-3 / config.focalLengthMm;
  const double ra0 = 3.0 * M_PI / 12.0, dec0 = 20.0 * M_PI / 180.0;
  const double dDec = 30 * scale, dRa = 12 * scale / std::cos(dec0);
  f.stars = {{ra0 + dRa, dec0 + dDec, 12.0}};  // about 16,000 counts at the peak
  // Gnomonic projection of that offset: (xi, eta) in radians.
  const double sd = std::sin(dec0 + dDec), cd = std::cos(dec0 + dDec);
  const double cosc = std::sin(dec0) * sd + std::cos(dec0) * cd * std::cos(dRa);
  const double xi = cd * std::sin(dRa) / cosc;
  const double eta = (std::cos(dec0) * sd - std::sin(dec0) * cd * std::cos(dRa)) / cosc;
  // The finder's coordinates: pixel (x, y) covers [x, x + 1); the centre of
  // the 640 x 480 sensor is (320, 240).
  const double wantX = 320.0 - xi / scale, wantY = 240.0 - eta / scale;
  double sx, sy;
  ASSERT_TRUE(f.Measure(*cam, 2.0, 288, 190, sx, sy));
  EXPECT_NEAR(sx, wantX, 0.2);  // noise and pixel sampling
  EXPECT_NEAR(sy, wantY, 0.2);

  // A 10 s guide pulse north at 1x sidereal (15.041"/s) moves the mount
  // north by 150.4": the star moves down by that over the pixel scale.
  f.mount->Invoke("PulseGuide", {int32_t(0), int32_t(10000)});
  const double move = 10 * 15.041067 * kArcsec / scale;
  double sx2, sy2;
  ASSERT_TRUE(f.Measure(*cam, 2.0, 288, int(sy + move) - 20, sx2, sy2));
  EXPECT_NEAR(sy2 - sy, move, 0.3);
  EXPECT_NEAR(sx2 - sx, 0.0, 0.3);
}

// The chart's catalogues hold positions of date; the simulator works in
// J2000 and finds a star at its J2000 place. Sirius, J2000 (SIMBAD), and
// its mean place for the equinox of JD 2461050.5 (ERFA's pmat76, the IAU
// 1976 precession the program uses, through Debian's python3-astropy).
TEST(CameraSimulator, CatalogueOfDateGivesJ2000Stars) {
  const double d = M_PI / 180.0;
  const double ra2000 = 101.2871541667 * d, dec2000 = -16.7161167 * d;
  const double raDate = 101.57792928514286 * d, decDate = -16.744834891919012 * d;
  struct Saved {
    decltype(TychoStars) tycho = TychoStars;
    decltype(SaoStars) sao = SaoStars;
    double epoch = StarCatalogEpoch;
    uint8_t precessed = StarCatalogPrecessed;
    ~Saved() { TychoStars = tycho, SaoStars = sao, StarCatalogEpoch = epoch, StarCatalogPrecessed = precessed; }
  } saved;
  TychoStars.assign(1, TTychoStar{});
  TychoStars[0].RA = float(raDate);
  TychoStars[0].Dec = float(decDate);
  TychoStars[0].Brightness = 30;
  SaoStars.clear();
  StarCatalogEpoch = 2461050.5;
  StarCatalogPrecessed = 1;
  // Found within 5' of its J2000 place (17' from where the array holds it)
  // and given at that place: 0.05" for the array's single precision.
  const std::vector<TSimStar> found = LoadedCatalogStars(ra2000, dec2000, 5.0 / 60.0 * d);
  ASSERT_EQ(found.size(), 1u);
  EXPECT_NEAR(found[0].ra * std::cos(dec2000), ra2000 * std::cos(dec2000), 0.05 * kArcsec);
  EXPECT_NEAR(found[0].dec, dec2000, 0.05 * kArcsec);
  // Without precession the arrays are J2000 already.
  StarCatalogPrecessed = 0;
  TychoStars[0].RA = float(ra2000);
  TychoStars[0].Dec = float(dec2000);
  EXPECT_EQ(LoadedCatalogStars(ra2000, dec2000, 5.0 / 60.0 * d).size(), 1u);
}
