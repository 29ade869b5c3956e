// Fuzz target: INDI camera properties set through the client layer as a
// server would send them (sensor, binning, frame, exposure limits,
// temperature and gain, each number taken from the input, NaN and
// infinities included), then every member of the camera driver read and
// the frame and gain members written back.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "imaging/indi_camera.h"
#include "platform/indi_client.h"
#include "tests/fuzz/fuzz_support.h"
#include "tests/support/indi_props.h"

namespace {

const char* const kMembers[] = {"CameraXSize", "CameraYSize", "PixelSizeX",     "PixelSizeY", "BinX",
                                "BinY",        "MaxBinX",     "MaxBinY",        "NumX",       "NumY",
                                "StartX",      "StartY",      "ExposureMin",    "ExposureMax", "CameraState",
                                "CCDTemperature", "Gain",     "GainMin",        "GainMax",    "ImageReady"};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  using testing_support::IndiNumbers;
  fuzz::InstallQuietPlatform();
  std::size_t at = 0;
  auto next = [&] {
    const double v = fuzz::DoubleAt(data, size, at);
    at += 8;
    return v;
  };
  auto client = std::make_shared<platform::TIndiClient>(platform::TIndiAddress{"127.0.0.1", 1, "Fuzz CCD"});
  testing_support::IndiConnected(*client);
  IndiNumbers(*client, "CCD_INFO", {{"CCD_MAX_X", next()}, {"CCD_MAX_Y", next()}, {"CCD_PIXEL_SIZE", next()},
                                    {"CCD_PIXEL_SIZE_X", next()}, {"CCD_PIXEL_SIZE_Y", next()}});
  IndiNumbers(*client, "CCD_BINNING", {{"HOR_BIN", next(), next(), next()}, {"VER_BIN", next(), next(), next()}});
  IndiNumbers(*client, "CCD_FRAME", {{"X", next()}, {"Y", next()}, {"WIDTH", next()}, {"HEIGHT", next()}});
  IndiNumbers(*client, "CCD_EXPOSURE", {{"CCD_EXPOSURE_VALUE", next(), next(), next()}});
  IndiNumbers(*client, "CCD_TEMPERATURE", {{"CCD_TEMPERATURE_VALUE", next()}});
  IndiNumbers(*client, "CCD_GAIN", {{"GAIN", next(), next(), next()}});
  platform::TAutomationRef cam = imaging::MakeIndiCamera(client);
  for (const char* m : kMembers) {
    try {
      const platform::TVariant v = cam->Get(m);
      // As the camera layer takes them.
      (void)v.AsInt();
    } catch (const platform::EAutomationError&) {
    }
  }
  // Writes go to a server that is not there: the client refuses them.
  for (const char* m : {"NumX", "NumY", "Gain", "SetCCDTemperature"}) {
    try {
      cam->Put(m, platform::TVariant(next()));
    } catch (const platform::EAutomationError&) {
    }
  }
  return 0;
}
