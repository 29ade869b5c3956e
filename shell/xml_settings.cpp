#include "shell/xml_settings.h"

#include <algorithm>
#include <cctype>

#include "platform/codec.h"
#include "platform/numfmt.h"

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

XmlElement XmlLoadSettings(XmlDocument& doc, const std::string& path, const std::string& rootName) {
  if (!doc.LoadFromFile(path)) XmlNewDocument(doc, rootName);
  return XmlChild(doc.Root(), "Selections");
}

bool XmlSaveSettings(const XmlDocument& doc, const std::string& path) { return doc.SaveToFile(path); }
