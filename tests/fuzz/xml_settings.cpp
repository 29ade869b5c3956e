// Fuzz target: an XML settings file loaded, read, written back and saved;
// a file that does not load must be kept aside whole, and a saved file must
// always load again.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "platform/paths.h"
#include "shell/xml_settings.h"

#include "catalog/object_options.h"
#include "tests/fuzz/fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  fuzz::InstallQuietPlatform();
  const std::string path = fuzz::WriteScratch("Settings.xml", data, size);
  platform::XmlDocument doc;
  platform::XmlElement sel = XmlLoadSettings(doc, path, "Settings");
  // A file that did not load is kept aside with every byte it had.
  if (!platform::FileExists(path)) {
    int kept = 0;
    for (const auto& e : std::filesystem::directory_iterator(fuzz::ScratchDir()))
      if (e.path().filename().string().rfind("Settings.damaged-", 0) == 0) {
        std::ifstream in(e.path(), std::ios::binary);
        const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        if (bytes != std::string(reinterpret_cast<const char*>(data), size)) std::abort();
        std::filesystem::remove(e.path());
        ++kept;
      }
    if (kept != 1) std::abort();
  }
  XmlReadInteger(sel, "Width", 0);
  XmlReadFloat(sel, "Scale", 1.0);
  XmlReadBool(sel, "Show", false);
  const std::string s = XmlReadString(sel, "Name", "");
  LoadObjectOptionsXml(sel);
  XmlWriteString(sel, "Name", s + "x");
  XmlWriteFloat(sel, "Scale", XmlReadFloat(sel, "Scale", 1.0));
  const std::string saved = fuzz::ScratchDir() + "Saved.xml";
  if (!XmlSaveSettings(doc, saved)) std::abort();
  platform::XmlDocument again;
  std::string error;
  if (!again.LoadFromFile(saved, &error)) std::abort();  // a saved file always reopens
  if (XmlReadString(XmlChild(again.Root(), "Selections"), "Name", "") != XmlReadString(sel, "Name", ""))
    std::abort();
  return 0;
}
