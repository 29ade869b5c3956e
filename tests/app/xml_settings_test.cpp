#include <gtest/gtest.h>

#include <QLocale>

#include "app/core/xml_settings.h"
#include "platform/codec.h"
#include "tests/support/test_support.h"

using platform::XmlDocument;
using platform::XmlElement;
using testing_support::ReadFile;
using testing_support::TempDir;
using testing_support::WriteText;

namespace {

// A fresh settings document with an empty "Selections" element.
XmlElement NewSelections(XmlDocument& doc, const std::string& root = "Imaging") {
  EXPECT_TRUE(XmlNewDocument(doc, root));
  return XmlChild(doc.Root(), "Selections");
}

// Loads `text` as a settings file and returns its "Selections".
XmlElement LoadText(XmlDocument& doc, const std::string& text) {
  EXPECT_TRUE(doc.LoadFromText(text));
  return doc.Root().FirstChild("Selections");
}

}  // namespace

TEST(XmlSettings, NewDocumentLayoutAndClearing) {
  XmlDocument doc;
  // Leftovers of an earlier document must not survive (they used to make the
  // new document malformed).
  ASSERT_TRUE(doc.LoadFromText("<Old><Selections><A>1</A></Selections></Old>"));
  ASSERT_TRUE(XmlNewDocument(doc, "ImagingConsole"));
  EXPECT_EQ(doc.Root().Name(), "ImagingConsole");
  EXPECT_TRUE(doc.Root().FirstChild("Selections").IsNull());

  XmlChild(doc.Root(), "Selections");
  const std::string text = doc.SaveToText();
  EXPECT_EQ(text,
            "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"no\" ?>\n"
            "<!DOCTYPE ImagingConsole SYSTEM \"sth.dtd\">\n"
            "<ImagingConsole>\n"
            "  <Selections/>\n"
            "</ImagingConsole>\n");
  // The saved text loads again (the document type is never fetched).
  XmlDocument again;
  ASSERT_TRUE(again.LoadFromText(text));
  EXPECT_FALSE(again.Root().FirstChild("Selections").IsNull());

  EXPECT_FALSE(XmlNewDocument(doc, "bad name"));
  EXPECT_TRUE(doc.IsEmpty());
}

TEST(XmlSettings, RoundTripThroughAFile) {
  TempDir dir;
  const std::string path = dir.File("PlateSolveSettings.xml");
  {
    XmlDocument doc;
    XmlElement sel = NewSelections(doc, "PlateSolve");
    EXPECT_TRUE(XmlWriteInteger(sel, "Exposure0", -42));
    EXPECT_TRUE(XmlWriteFloat(sel, "FieldSize", 1.0 / 3.0));
    EXPECT_TRUE(XmlWriteFloat(sel, "Half", 0.5));
    EXPECT_TRUE(XmlWriteBool(sel, "SlewRAReverse", true));
    EXPECT_TRUE(XmlWriteBool(sel, "Off", false));
    EXPECT_TRUE(XmlWriteString(sel, "Folder", "/home/a b/<x&y> \"Ångström\""));
    // Characters XML cannot hold are dropped rather than making the file unloadable.
    EXPECT_TRUE(XmlWriteString(sel, "Odd", std::string("a\x01" "b")));
    // The value texts of the file format.
    EXPECT_EQ(sel.FirstChild("Exposure0").Text(), "-42");
    EXPECT_EQ(sel.FirstChild("Half").Text(), "0.5");
    EXPECT_EQ(sel.FirstChild("SlewRAReverse").Text(), "-1");
    EXPECT_EQ(sel.FirstChild("Off").Text(), "0");
    ASSERT_TRUE(XmlSaveSettings(doc, path));
  }
  XmlDocument doc;
  XmlElement sel = XmlLoadSettings(doc, path, "PlateSolve");
  EXPECT_EQ(XmlReadInteger(sel, "Exposure0", 0), -42);
  // Written with 15 significant digits: relative error below 1e-14.
  EXPECT_NEAR(XmlReadFloat(sel, "FieldSize", 0), 1.0 / 3.0, 1e-14);
  EXPECT_EQ(XmlReadFloat(sel, "Half", 0), 0.5);
  EXPECT_TRUE(XmlReadBool(sel, "SlewRAReverse", false));
  EXPECT_FALSE(XmlReadBool(sel, "Off", true));
  EXPECT_EQ(XmlReadString(sel, "Folder", "x"), "/home/a b/<x&y> \"Ångström\"");
  EXPECT_EQ(XmlReadString(sel, "Odd", "x"), "ab");
}

TEST(XmlSettings, DefaultsForMissingAndUnconvertibleValues) {
  XmlDocument doc;
  XmlElement sel = LoadText(doc,
                            "<AnyRoot><Selections>"
                            "<Frac>12.5</Frac><Empty></Empty><Big>4294967296</Big>"
                            "<T1>True</T1><T2>true</T2><T3>1</T3><T4>-1</T4><F1>FALSE</F1><F2>0</F2>"
                            "<Yes>yes</Yes><Half>0.5</Half><Word>abc</Word>"
                            "</Selections></AnyRoot>");
  // A root of another name reads the same way.
  ASSERT_FALSE(sel.IsNull());
  EXPECT_EQ(XmlReadInteger(sel, "Frac", 7), 7);
  EXPECT_EQ(XmlReadInteger(sel, "Empty", 7), 7);
  EXPECT_EQ(XmlReadInteger(sel, "Big", 7), 7);  // out of 32-bit range
  EXPECT_EQ(XmlReadInteger(sel, "Missing", 7), 7);
  for (const char* name : {"T1", "T2", "T3", "T4"}) EXPECT_TRUE(XmlReadBool(sel, name, false)) << name;
  for (const char* name : {"F1", "F2"}) EXPECT_FALSE(XmlReadBool(sel, name, true)) << name;
  EXPECT_TRUE(XmlReadBool(sel, "Yes", true));
  EXPECT_FALSE(XmlReadBool(sel, "Yes", false));
  EXPECT_FALSE(XmlReadBool(sel, "Missing", false));
  EXPECT_EQ(XmlReadFloat(sel, "Word", 2.5), 2.5);
  EXPECT_EQ(XmlReadFloat(sel, "Missing", 2.5), 2.5);
  // A missing string reads empty; its default applies only without a parent.
  EXPECT_EQ(XmlReadString(sel, "Missing", "NOT ASSIGNED"), "");
  EXPECT_EQ(XmlReadString(XmlElement(), "CatalogName2", "NOT ASSIGNED"), "NOT ASSIGNED");
  EXPECT_EQ(XmlReadInteger(XmlElement(), "Frac", 3), 3);

  // "." is the separator whatever the user's locale.
  const QLocale saved;
  QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
  EXPECT_EQ(XmlReadFloat(sel, "Half", 0), 0.5);
  QLocale::setDefault(saved);
}

TEST(XmlSettings, LongStringsAreCutTo255Characters) {
  XmlDocument doc;
  XmlElement sel = NewSelections(doc);
  std::string longText;
  for (int i = 0; i < 300; ++i) longText += "é";  // two bytes each in UTF-8
  XmlElement raw = sel.AppendChild("Long");
  raw.SetText(longText);
  const std::string read = XmlReadString(sel, "Long", "");
  EXPECT_EQ(platform::CharCount(read), 255u);
  EXPECT_EQ(read, platform::CutToChars(longText, 255));
}

TEST(XmlSettings, WritersUpdateInsteadOfAppending) {
  XmlDocument doc;
  XmlElement sel = NewSelections(doc);
  XmlWriteInteger(sel, "Gain", 1);
  XmlWriteInteger(sel, "Gain", 2);
  EXPECT_EQ(sel.Children("Gain").size(), 1u);
  EXPECT_EQ(XmlReadInteger(sel, "Gain", 0), 2);

  // A file grown by repeated appends: the next write leaves one element with
  // the new value.
  sel = LoadText(doc, "<Imaging><Selections><Gain>1</Gain><Gain>5</Gain><Gain>6</Gain></Selections></Imaging>");
  EXPECT_EQ(XmlReadInteger(sel, "Gain", 0), 1);
  XmlWriteInteger(sel, "Gain", 9);
  EXPECT_EQ(sel.Children("Gain").size(), 1u);
  EXPECT_EQ(XmlReadInteger(sel, "Gain", 0), 9);

  EXPECT_FALSE(XmlWriteInteger(sel, "two words", 1));
  EXPECT_FALSE(XmlWriteBool(XmlElement(), "Gain", true));
}

TEST(XmlSettings, DamagedFilesGiveDefaultsAndStayOnDisk) {
  TempDir dir;
  const std::string good = "<?xml version=\"1.0\"?><Imaging><Selections><Gain>4</Gain></Selections></Imaging>";
  const std::vector<std::string> damaged = {
      good.substr(0, good.size() - 12),      // truncated
      "\x89PNG\r\n\x1a\n garbage \xff\xfe",  // not XML at all
      "",                                    // empty
      "<Imaging><Selections><Gain>4</Gain></Imaging>",  // mismatched tags
  };
  for (const std::string& text : damaged) {
    const std::string path = dir.File("ImagingSettings.xml");
    WriteText(path, text);
    XmlDocument doc;
    XmlElement sel = XmlLoadSettings(doc, path, "Imaging");
    ASSERT_FALSE(sel.IsNull());
    EXPECT_EQ(doc.Root().Name(), "Imaging");
    EXPECT_EQ(XmlReadInteger(sel, "Gain", -7), -7);
    const auto bytes = ReadFile(path);
    EXPECT_EQ(std::string(bytes.begin(), bytes.end()), text);
  }
  // A missing file gives defaults and no file appears.
  XmlDocument doc;
  XmlElement sel = XmlLoadSettings(doc, dir.File("none.xml"), "Imaging");
  EXPECT_EQ(XmlReadInteger(sel, "Gain", 3), 3);
  EXPECT_TRUE(ReadFile(dir.File("none.xml")).empty());
}
