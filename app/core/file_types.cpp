#include "app/core/file_types.h"

#include <filesystem>

#include "platform/paths.h"

namespace {

// Quotes an argument of a desktop entry's Exec key.
std::string ExecQuote(const std::string& s) {
  std::string out = "\"";
  for (char c : s) {
    if (c == '"' || c == '`' || c == '$' || c == '\\') out += '\\';
    out += c;
  }
  return out + "\"";
}

bool WriteText(const std::string& path, const std::string& text) {
  std::error_code ec;
  std::filesystem::create_directories(std::filesystem::path(path).parent_path(), ec);
  if (ec) return false;
  return platform::WriteFileAtomically(path, text.data(), text.size());
}

}  // namespace

std::string DesktopEntryText(const std::string& programPath, const std::string& workingFolder) {
  return "[Desktop Entry]\n"
         "Type=Application\n"
         "Name=Noctra Planetarium\n"
         "Comment=Noctra Planetarium file\n"
         "Exec=" + ExecQuote(programPath) + " %f\n"
         "Path=" + workingFolder + "\n"
         "Terminal=false\n"
         "Categories=Education;Science;Astronomy;\n"
         "MimeType=" + std::string(kSettingsMimeType) + ";" + kScriptMimeType + ";\n";
}

std::string MimePackageText() {
  return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
         "<mime-info xmlns=\"http://www.freedesktop.org/standards/shared-mime-info\">\n"
         "  <mime-type type=\"" + std::string(kSettingsMimeType) + "\">\n"
         "    <comment>Noctra Planetarium file</comment>\n"
         "    <glob pattern=\"*.ssf\"/>\n"
         "  </mime-type>\n"
         "  <mime-type type=\"" + std::string(kScriptMimeType) + "\">\n"
         "    <comment>Noctra Planetarium script</comment>\n"
         "    <glob pattern=\"*.sbas\"/>\n"
         "  </mime-type>\n"
         "</mime-info>\n";
}

int RegisterFileTypes(const std::string& dataFolder, const std::string& programPath,
                      const std::string& workingFolder) {
  if (dataFolder.empty()) return 0;
  int written = 0;
  if (WriteText(dataFolder + "/applications/" + kDesktopFileName, DesktopEntryText(programPath, workingFolder)))
    ++written;
  if (WriteText(dataFolder + "/mime/packages/" + kMimePackageName, MimePackageText())) ++written;
  return written;
}
