// Fuzz target: a site's horizon file ".horizon.dat" and the pick list
// "picklist.dat": its lines read, parsed and extracted (with the site's
// horizon file) as the location window does. The input's parts: the pick
// list, the horizon file.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "shell/globals.h"
#include "tests/fuzz/fuzz_support.h"
#include "tools/location.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  fuzz::InstallQuietPlatform();
  DataFolder = fuzz::ScratchDir();
  const std::string_view input(reinterpret_cast<const char*>(data), size);
  static THorizonArray horizon;
  fuzz::WriteScratch("Fuzz_Site.horizon.dat", fuzz::Part(input, 1));
  LoadHorizonFile("Fuzz Site", horizon);

  const std::string path = fuzz::WriteScratch("picklist.dat", fuzz::Part(input, 0));
  TGlobalLocationModel& model = GlobalLocation;
  model.PickListPath = path;
  model.PickList = ReadPickList(path);
  for (const std::string& line : model.PickList) {
    TSite site;
    ParsePickLine(line, site);
    PickLineCaption(line);
    PickLineName(line);
  }
  GetDefaultLocation(model.PickList);
  for (int i = -1; i <= int(model.PickList.size()); ++i) {
    TSite site;
    model.ExtractPickListItem(i, site, horizon);
  }
  return 0;
}
