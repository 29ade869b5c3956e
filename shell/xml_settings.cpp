#include "shell/xml_settings.h"

#include <sys/stat.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cmath>
#include <ctime>

#include "platform/codec.h"
#include "platform/data_file.h"
#include "platform/dialogs.h"
#include "platform/numfmt.h"
#include "platform/paths.h"
#include "platform/timezone.h"
#include "platform/value_range.h"
#include "shell/kept_settings.h"
#include "shell/log_lines.h"

using platform::XmlDocument;
using platform::XmlElement;

namespace {

constexpr std::size_t kShortStringChars = 255;

bool EqualsIgnoringCase(const std::string& a, const char* b) {
  const std::string_view v(b);
  return a.size() == v.size() && std::equal(a.begin(), a.end(), v.begin(), [](char x, char y) {
           return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y));
         });
}

// Sets the text of the first child called `name`, creating it when missing.
// Copies written by older versions, which appended a new element on every
// write, are removed so the first (the one readers see) holds the value.
bool WriteText(const XmlElement& parent, const std::string& name, const std::string& text) {
  if (parent.IsNull() || !platform::IsValidXmlName(name)) return false;
  std::vector<XmlElement> existing = parent.Children(name);
  if (existing.empty()) return parent.AppendChild(name).SetText(text);
  for (std::size_t i = 1; i < existing.size(); ++i) parent.RemoveChild(existing[i]);
  return existing.front().SetText(text);
}

}  // namespace

bool XmlNewDocument(XmlDocument& doc, const std::string& rootName) {
  doc.Clear();
  if (!platform::IsValidXmlName(rootName)) return false;
  const std::string text = "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"no\" ?>\n"
                           "<!DOCTYPE " + rootName + " SYSTEM \"sth.dtd\">\n"
                           "<" + rootName + ">\n"
                           "</" + rootName + ">\n";
  return doc.LoadFromText(text);
}

int32_t XmlReadInteger(const XmlElement& parent, const std::string& name, int32_t deflt) {
  int32_t v = deflt;
  platform::ParseInt32(parent.FirstChild(name).Text(), v);
  return v;
}

double XmlReadFloat(const XmlElement& parent, const std::string& name, double deflt) {
  double v = deflt;
  platform::ParseDouble(parent.FirstChild(name).Text(), v);
  return v;
}

bool XmlReadBool(const XmlElement& parent, const std::string& name, bool deflt) {
  const std::string text = parent.FirstChild(name).Text();
  int64_t n = 0;
  if (platform::ParseInt(text, n)) return n != 0;
  if (EqualsIgnoringCase(text, "true")) return true;
  if (EqualsIgnoringCase(text, "false")) return false;
  return deflt;
}

std::string XmlReadString(const XmlElement& parent, const std::string& name, const std::string& deflt) {
  if (parent.IsNull() || !platform::IsValidXmlName(name)) return platform::CutToChars(deflt, kShortStringChars);
  return platform::CutToChars(parent.FirstChild(name).Text(), kShortStringChars);
}

int32_t XmlReadInteger(const XmlElement& parent, const std::string& name, int32_t deflt, int32_t lo, int32_t hi) {
  return platform::InRangeOr(XmlReadInteger(parent, name, deflt), lo, hi, deflt);
}

double XmlReadFloat(const XmlElement& parent, const std::string& name, double deflt, double lo, double hi) {
  return platform::InRangeOr(XmlReadFloat(parent, name, deflt), lo, hi, deflt);
}

std::string XmlReadNumberText(const XmlElement& parent, const std::string& name, const std::string& deflt,
                              double lo, double hi) {
  const std::string text = XmlReadString(parent, name, deflt);
  double v = 0;
  return platform::ParseDouble(text, v) && platform::InRange(v, lo, hi) ? text : deflt;
}

bool XmlWriteInteger(const XmlElement& parent, const std::string& name, int32_t value) {
  return WriteText(parent, name, platform::FormatInt(value));
}

bool XmlWriteFloat(const XmlElement& parent, const std::string& name, double value) {
  return WriteText(parent, name, platform::FormatGeneral(value, 15));
}

bool XmlWriteBool(const XmlElement& parent, const std::string& name, bool value) {
  return WriteText(parent, name, value ? "-1" : "0");
}

bool XmlWriteString(const XmlElement& parent, const std::string& name, const std::string& value) {
  return WriteText(parent, name, platform::CutToChars(value, kShortStringChars));
}

XmlElement XmlChild(const XmlElement& parent, const std::string& name) {
  XmlElement child = parent.FirstChild(name);
  return child.IsNull() ? parent.AppendChild(name) : child;
}

namespace {

// The local date and time of the program's clock as "YYYYMMDD-HHMMSS".
std::string LocalStamp() {
  const std::time_t t = std::time_t(std::floor(platform::SystemClockUnixSeconds()));
  ::tzset();
  std::tm tm{};
  ::localtime_r(&t, &tm);
  char text[32];
  std::strftime(text, sizeof text, "%Y%m%d-%H%M%S", &tm);
  return text;
}

// Moves the damaged settings file `path` aside and tells the user; `why`
// is what the reader said.
void KeepDamagedFile(const std::string& path, std::string why) {
  const std::size_t slash = path.rfind('/');
  const std::string folder = slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
  const std::string name = path.substr(folder.size());
  const std::size_t dot = name.rfind('.');
  const bool hasExt = dot != std::string::npos && dot > 0;
  const std::string stem = (hasExt ? name.substr(0, dot) : name) + ".damaged-" + LocalStamp();
  if (struct stat st {}; ::stat(path.c_str(), &st) == 0 && st.st_size == 0) why = "the file is empty";
  std::string error;
  const std::string kept = platform::MoveToFreeName(path, folder, stem, hasExt ? name.substr(dot) : "", &error);
  std::string logLine = "[Settings] Can't read file " + path + " (" + why + "): ";
  std::string text = "Warning: Can't read file " + path + "\r\n(" + why + ")\r\n";
  if (!kept.empty()) {
    logLine += "kept as " + kept.substr(folder.size()) + ", default settings used";
    text += "It is kept as " + kept + ".\r\nThe default settings are used. To have yours back, repair the kept file " +
            "and rename it to " + name + " while the program is closed.";
  } else {
    if (!NoteSettingsFileLeftInPlace(path, {error, false})) return;  // told already
    logLine += "left in place (" + error + "), default settings used, not saved over";
    text += "It could not be kept aside (" + error + "), so it is left as it is and not saved over." +
            "\r\nThe default settings are used.";
  }
  LogLines().AddLine(logLine);
  // Noted before the box shows, so that a box nobody sees (the program is
  // being ended, or killed while it is open) is told at the next start.
  if (!kept.empty()) NoteKeptSettingsFile({path, why, kept});
  platform::ShowMessageBox(text, platform::kProductCaption, platform::MsgButtons::Ok, platform::MsgIcon::Exclamation);
  if (!kept.empty()) KeptSettingsFileTold(kept, platform::DialogsAttended());
}

// A settings file there that could not be read (`err` as the data-file
// openers set it: refused to this user, not a regular file): it may well
// hold the user's settings, so it is left exactly as it is and never
// written over in this run, and the user told once why and what to do.
void LeaveUnreadFile(const std::string& path, const std::string& why, int err) {
  if (!NoteSettingsFileLeftInPlace(path, {why, true})) return;  // told already
  LogLines().AddLine("[Settings] Can't read file " + path + " (" + why +
                     "): left as it is, default settings used, not written over");
  platform::ShowMessageBox(platform::UnreadFileWarning("file", path, why, err,
                                                       "It is left as it is: the default settings are used, and the "
                                                       "program does not write over it."),
                           platform::kProductCaption, platform::MsgButtons::Ok, platform::MsgIcon::Exclamation);
}

}  // namespace

bool XmlLoadSettingsDocument(XmlDocument& doc, const std::string& path, const std::string& rootName) {
  // Read by the path's own bytes (a folder's name need not be UTF-8), and
  // only from a regular file: a pipe in its place would hold the program.
  std::string why;
  const auto bytes = platform::ReadDataFileBytesUpTo(path, platform::kSettingsFileBytes, &why);
  const int err = errno;
  if (bytes && doc.LoadFromText(std::string(bytes->begin(), bytes->end()), &why)) return true;
  XmlNewDocument(doc, rootName);
  // A missing file is a first start; anything else there is the user's.
  if (!bytes && !platform::DataFileMissing(err)) LeaveUnreadFile(path, why, err);
  else if (bytes) KeepDamagedFile(path, why);
  return false;
}

XmlElement XmlLoadSettings(XmlDocument& doc, const std::string& path, const std::string& rootName) {
  XmlLoadSettingsDocument(doc, path, rootName);
  return XmlChild(doc.Root(), "Selections");
}

bool XmlSaveSettings(const XmlDocument& doc, const std::string& path) {
  if (const std::optional<TLeftInPlace> left = SettingsFileLeftInPlace(path)) {
    // One that could not be read is told as a save that is not made.
    if (left->unread)
      platform::ReportSaveFailure(path,
                                  "It could not be read (" + left->why + "), so the program does not write over it.");
    return false;
  }
  return doc.SaveToFile(path);
}
