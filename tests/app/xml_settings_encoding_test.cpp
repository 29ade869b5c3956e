// Settings files in any encoding the XML parser reads are saved as UTF-8
// under a matching declaration, and a saved file always loads again.
#include <gtest/gtest.h>

#include <string>

#include "app/core/xml_settings.h"
#include "tests/support/test_support.h"

using platform::XmlDocument;
using platform::XmlElement;
using testing_support::TempDir;
using testing_support::WriteText;

namespace {

// UTF-16 little-endian with its byte-order mark, from ASCII and one
// non-ASCII code unit.
std::string Utf16(const std::string& ascii) {
  std::string out = "\xFF\xFE";
  for (char c : ascii) {
    if (c == '#') {
      out += "\xE9";  // é
      out += '\0';
      continue;
    }
    out += c;
    out += '\0';
  }
  return out;
}

}  // namespace

TEST(XmlSettingsEncoding, SavedFilesAreUtf8AndReopen) {
  const std::string body = "<Settings><Selections><Name>Androm#da</Name></Selections></Settings>";
  std::string latin1 = "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>" + body;
  latin1[latin1.find('#')] = '\xE9';
  struct Case {
    const char* what;
    std::string bytes;
  };
  const Case cases[] = {
      {"ISO-8859-1", latin1},
      {"UTF-16", Utf16("<?xml version=\"1.0\" encoding=\"UTF-16\"?>" + body)},
      // A system identifier holding a double quote once came back unquotable.
      {"quote in the system identifier",
       "<?xml version=\"1.0\"?><!DOCTYPE Settings SYSTEM 'st\"h.dtd'>" + body.substr(0, body.find('#')) +
           "\xC3\xA9" + body.substr(body.find('#') + 1)},
  };
  for (const Case& c : cases) {
    TempDir dir;
    WriteText(dir.File("in.xml"), c.bytes);
    XmlDocument doc;
    XmlElement sel = XmlLoadSettings(doc, dir.File("in.xml"), "Other");
    ASSERT_EQ(XmlReadString(sel, "Name", ""), "Androm\xC3\xA9" "da") << c.what;
    ASSERT_TRUE(XmlSaveSettings(doc, dir.File("out.xml"))) << c.what;
    const std::vector<uint8_t> saved = testing_support::ReadFile(dir.File("out.xml"));
    const std::string text(saved.begin(), saved.end());
    EXPECT_EQ(text.rfind("<?xml version=\"1.0\" encoding=\"UTF-8\"", 0), 0u) << c.what;
    EXPECT_NE(text.find("Androm\xC3\xA9" "da"), std::string::npos) << c.what;
    XmlDocument again;
    std::string error;
    ASSERT_TRUE(again.LoadFromFile(dir.File("out.xml"), &error)) << c.what << ": " << error;
    EXPECT_EQ(XmlReadString(XmlChild(again.Root(), "Selections"), "Name", ""), "Androm\xC3\xA9" "da") << c.what;
  }
}
