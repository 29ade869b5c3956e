// Fuzz target: INDI camera properties (sensor, binning, frame, exposure,
// temperature, gain: numbers from the input, NaN and infinities included)
// set through the client layer, then every member of the camera driver
// read as the camera layer reads it, and the frame and gain written.
#include "imaging/indi_camera.h"
#include "tests/fuzz/fuzz_support.h"
#include "tests/support/indi_props.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  using testing_support::IndiNumbers;
  fuzz::InstallQuietPlatform();
  std::size_t at = 0;
  auto next = [&] { return fuzz::DoubleAt(data, size, (at += 8) - 8); };
  auto client = std::make_shared<platform::TIndiClient>(platform::TIndiAddress{"127.0.0.1", 1, "Fuzz CCD"});
  // No server answers here: a request gives up at once instead of waiting
  // the client's 5 s for each answer.
  client->SetReplyWaitForTest(0);
  testing_support::IndiConnected(*client);
  // Each element: value, minimum, maximum.
  const std::vector<std::pair<const char*, std::vector<const char*>>> props = {
      {"CCD_INFO", {"CCD_MAX_X", "CCD_MAX_Y", "CCD_PIXEL_SIZE_X", "CCD_PIXEL_SIZE_Y"}},
      {"CCD_BINNING", {"HOR_BIN", "VER_BIN"}}, {"CCD_FRAME", {"X", "Y", "WIDTH", "HEIGHT"}},
      {"CCD_EXPOSURE", {"CCD_EXPOSURE_VALUE"}}, {"CCD_TEMPERATURE", {"CCD_TEMPERATURE_VALUE"}}, {"CCD_GAIN", {"GAIN"}}};
  for (const auto& [prop, names] : props) {
    testing_support::TIndiNumbers elems;
    for (const char* n : names) elems.emplace_back(n, next(), next(), next());
    IndiNumbers(*client, prop, elems);
  }
  platform::TAutomationRef cam = imaging::MakeIndiCamera(client);
  for (const char* m : {"CameraXSize", "CameraYSize", "PixelSizeX", "PixelSizeY", "BinX", "BinY", "MaxBinX", "MaxBinY",
                        "NumX", "NumY", "StartX", "StartY", "ExposureMin", "ExposureMax", "CameraState",
                        "CCDTemperature", "Gain", "GainMin", "GainMax", "ImageReady"}) {
    try {
      (void)cam->Get(m).AsInt();
    } catch (const platform::EAutomationError&) {
    }
  }
  // Written to a server that is not there (each put fails for want of an
  // answer); the client then goes as after a lost link.
  for (const char* m : {"NumX", "NumY", "Gain", "SetCCDTemperature"}) {
    try {
      cam->Put(m, platform::TVariant(next()));
    } catch (const platform::EAutomationError&) {
    }
  }
  client->serverDisconnected(0);
  return 0;
}
