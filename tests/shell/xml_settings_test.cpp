// The XML settings files of the imaging windows: layout, values, damaged
// files kept aside and encodings.
#include <gtest/gtest.h>

#include <unistd.h>
#include <sys/stat.h>

#include <QLocale>
#include <filesystem>
#include <optional>
#include <set>

#include "platform/codec.h"
#include "platform/dialogs.h"
#include "platform/paths.h"
#include "shell/kept_settings.h"
#include "shell/log_lines.h"
#include "shell/xml_settings.h"
#include "tests/support/refused_files.h"
#include "tests/support/test_support.h"
#include "tests/support/text_checks.h"

using platform::XmlDocument;
using platform::XmlElement;
using testing_support::ReadText;
using testing_support::TempDir;
using testing_support::WriteText;

namespace {

// Loads `text` as a settings file and returns its "Selections".
XmlElement LoadText(XmlDocument& doc, const std::string& text) {
  EXPECT_TRUE(doc.LoadFromText(text));
  return doc.Root().FirstChild("Selections");
}

// UTF-16 little-endian with its byte-order mark, from ASCII where '#' stands for "é".
std::string Utf16(const std::string& ascii) {
  std::string out = "\xFF\xFE";
  for (char c : ascii) {
    out += c == '#' ? '\xE9' : c;
    out += '\0';
  }
  return out;
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

  // An empty document keeps its root's opening and closing tags.
  EXPECT_NE(doc.SaveToText().find("\"sth.dtd\">\n<ImagingConsole>\n</ImagingConsole>\n"), std::string::npos);
  XmlChild(doc.Root(), "Selections");
  const std::string text = doc.SaveToText();
  EXPECT_EQ(text,
            "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"no\" ?>\n"
            "<!DOCTYPE ImagingConsole SYSTEM \"sth.dtd\">\n"
            "<ImagingConsole>\n"
            "  <Selections/>\n"
            "</ImagingConsole>\n");

  EXPECT_FALSE(XmlNewDocument(doc, "bad name"));
  EXPECT_TRUE(doc.IsEmpty());
}

TEST(XmlSettings, RoundTripThroughAFile) {
  TempDir dir;
  const std::string path = dir.File("PlateSolveSettings.xml");
  {
    XmlDocument doc;
    ASSERT_TRUE(XmlNewDocument(doc, "PlateSolve"));
    XmlElement sel = XmlChild(doc.Root(), "Selections");
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
    // A full disk: the save is told once and the saved file stays.
    platform::ScopedScriptedDialogs dialogs;
    testing_support::FileSizeLimit full(64);
    XmlWriteInteger(sel, "Exposure0", 7);
    EXPECT_FALSE(XmlSaveSettings(doc, path));
    EXPECT_EQ(dialogs.Count(), 1u);
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
  // A root of another name reads the same way.
  XmlElement sel = LoadText(doc,
                            "<AnyRoot><Selections>"
                            "<Frac>12.5</Frac><Empty></Empty><Big>4294967296</Big>"
                            "<T1>True</T1><T2>true</T2><T3>1</T3><T4>-1</T4><F1>FALSE</F1><F2>0</F2>"
                            "<Yes>yes</Yes><Half>0.5</Half><Word>abc</Word>"
                            "</Selections></AnyRoot>");
  ASSERT_FALSE(sel.IsNull());
  // Fractions, empty texts, values beyond 32 bits and missing values give the default.
  for (const char* name : {"Frac", "Empty", "Big", "Missing"})
    EXPECT_EQ(XmlReadInteger(sel, name, 7), 7) << name;
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

  // Long strings are cut to 255 characters, not bytes.
  std::string longText;
  for (int i = 0; i < 300; ++i) longText += "é";  // two bytes each in UTF-8
  sel.AppendChild("Long").SetText(longText);
  const std::string read = XmlReadString(sel, "Long", "");
  EXPECT_EQ(platform::CharCount(read), 255u);
  EXPECT_EQ(read, platform::CutToChars(longText, 255));
}

// The range readers: a value within the range, its ends included, reads
// exactly as written; one outside it, NaN, an infinity, 1e308, a word or
// nothing reads as the default. A number kept as text keeps its own text.
TEST(XmlSettings, RangeReadersGiveTheDefaultOutsideTheRange) {
  XmlDocument doc;
  XmlElement sel = LoadText(doc,
                            "<R><Selections>"
                            "<Lo>-5</Lo><Hi>5</Hi><Below>-6</Below><Above>6</Above>"
                            "<Max>2147483647</Max><Min>-2147483648</Min><Huge>1e308</Huge><Tiny>-1e308</Tiny>"
                            "<Nan>nan</Nan><Inf>inf</Inf><Empty></Empty><Word>text</Word>"
                            "<Edge>0.25</Edge><Text> 2.50 </Text>"
                            "</Selections></R>");
  ASSERT_FALSE(sel.IsNull());
  EXPECT_EQ(XmlReadInteger(sel, "Lo", 1, -5, 5), -5);
  EXPECT_EQ(XmlReadInteger(sel, "Hi", 1, -5, 5), 5);
  EXPECT_EQ(XmlReadFloat(sel, "Lo", 1, -5, 5), -5.0);
  EXPECT_EQ(XmlReadFloat(sel, "Edge", 1, 0.25, 5), 0.25);
  for (const char* name : {"Below", "Above", "Max", "Min", "Huge", "Tiny", "Nan", "Inf", "Empty", "Word", "Missing"}) {
    EXPECT_EQ(XmlReadInteger(sel, name, 1, -5, 5), 1) << name;
    EXPECT_EQ(XmlReadFloat(sel, name, 1.5, -5, 5), 1.5) << name;
    EXPECT_EQ(XmlReadNumberText(sel, name, "1", -5, 5), "1") << name;
  }
  // The whole int32 and double ranges take the limits.
  EXPECT_EQ(XmlReadInteger(sel, "Max", 0, INT32_MIN, INT32_MAX), INT32_MAX);
  EXPECT_EQ(XmlReadFloat(sel, "Tiny", 0, -1e308, 1e308), -1e308);
  EXPECT_EQ(XmlReadNumberText(sel, "Text", "1", 0, 5), " 2.50 ");
  EXPECT_EQ(XmlReadNumberText(sel, "Hi", "1", -5, 5), "5");
}

TEST(XmlSettings, WritersUpdateInsteadOfAppending) {
  // A file grown by repeated appends: the first element is read, and the
  // next write leaves one element with the new value.
  XmlDocument doc;
  XmlElement sel =
      LoadText(doc, "<Imaging><Selections><Gain>1</Gain><Gain>5</Gain><Gain>6</Gain></Selections></Imaging>");
  EXPECT_EQ(XmlReadInteger(sel, "Gain", 0), 1);
  XmlWriteInteger(sel, "Gain", 9);
  EXPECT_EQ(sel.Children("Gain").size(), 1u);
  EXPECT_EQ(XmlReadInteger(sel, "Gain", 0), 9);

  EXPECT_FALSE(XmlWriteInteger(sel, "two words", 1));
  EXPECT_FALSE(XmlWriteBool(XmlElement(), "Gain", true));
}

// A damaged settings file gives the defaults and is kept: moved aside under
// a name of its own (stamped with the local time, never one a file has),
// told once in the log and a message box, so that the next save writes
// beside it, not over it. A missing file is a first start: nothing said.
TEST(XmlSettings, DamagedFilesAreKeptAsideAndTold) {
  TempDir dir;
  platform::ScopedScriptedDialogs dialogs;
  testing_support::ScopedEnv tz("TZ", "Europe/Berlin");  // UTC+1 in January
  testing_support::ScopedClock clock(1768048440.0);      // 2026-01-10 12:34:00 UTC
  const std::string good = "<?xml version=\"1.0\"?><Imaging><Selections><Gain>4</Gain></Selections></Imaging>";
  const struct {
    std::string text, reason;
  } damaged[] = {
      {good.substr(0, good.size() - 12), "(Premature end of document at line 1, column "},
      {"\x89PNG\r\n\x1a\n garbage \xff\xfe", "("},
      {"", "(the file is empty)"},
      {"<Imaging><Selections><Gain>4</Gain></Imaging>", "(Opening and ending tag mismatch at line 1, column "},
  };
  const std::string path = dir.File("ImagingSettings.xml");
  std::set<std::string> kept;
  for (const auto& d : damaged) {
    SCOPED_TRACE(d.text);
    WriteText(path, d.text);
    const std::size_t boxes = dialogs.Count();
    XmlDocument doc;
    XmlElement sel = XmlLoadSettings(doc, path, "Imaging");
    ASSERT_FALSE(sel.IsNull());
    EXPECT_EQ(doc.Root().Name(), "Imaging");
    EXPECT_EQ(XmlReadInteger(sel, "Gain", -7), -7);
    EXPECT_FALSE(platform::FileExists(path));
    // Kept under a new name, local time, the minute of the clock.
    std::string copy;
    for (const auto& e : std::filesystem::directory_iterator(dir.Path()))
      if (!kept.count(e.path().string())) copy = e.path().string();
    ASSERT_FALSE(copy.empty());
    kept.insert(copy);
    EXPECT_EQ(copy.rfind(dir.File("ImagingSettings.damaged-20260110-1334"), 0), 0u) << copy;
    EXPECT_EQ(copy.substr(copy.size() - 4), ".xml");
    EXPECT_EQ(ReadText(copy), d.text);
    // Told once: which file, why, where it is kept, the defaults used.
    ASSERT_EQ(dialogs.Count(), boxes + 1);
    const platform::DialogRecord box = dialogs.Last();
    EXPECT_EQ(box.text.rfind("Warning: Can't read file " + path + "\r\n" + d.reason, 0), 0u) << box.text;
    EXPECT_NE(box.text.find("\r\nIt is kept as " + copy + ".\r\nThe default settings are used."), std::string::npos)
        << box.text;
    EXPECT_NE(box.text.find("rename it to ImagingSettings.xml while the program is closed"), std::string::npos);
    EXPECT_EQ(box.icon, platform::MsgIcon::Exclamation);
    EXPECT_EQ(LogLines().LastLine().rfind("[Settings] Can't read file " + path + " " + d.reason, 0), 0u);
    EXPECT_NE(LogLines().LastLine().find("kept as " + copy.substr(dir.Path().size()) + ", default settings used"),
              std::string::npos);
    // The next load is a first start; the save writes beside the copy.
    XmlDocument again;
    XmlLoadSettings(again, path, "Imaging");
    EXPECT_EQ(dialogs.Count(), boxes + 1);
    ASSERT_TRUE(XmlSaveSettings(doc, path));
    EXPECT_EQ(ReadText(copy), d.text);
    std::filesystem::remove(path);
  }
  EXPECT_EQ(kept.size(), 4u);
  // A missing file gives defaults, says nothing and no file appears.
  const std::size_t boxes = dialogs.Count();
  XmlDocument doc;
  XmlElement sel = XmlLoadSettings(doc, dir.File("none.xml"), "Imaging");
  EXPECT_EQ(XmlReadInteger(sel, "Gain", 3), 3);
  EXPECT_TRUE(testing_support::ReadFile(dir.File("none.xml")).empty());
  EXPECT_EQ(dialogs.Count(), boxes);
  // One that cannot be moved stays, is told once and never saved over.
  const std::string fixed = "/proc/self/status";
  for (int i = 0; i < 2; ++i) XmlLoadSettings(doc, fixed, "Imaging");
  ASSERT_EQ(dialogs.Count(), boxes + 1);
  EXPECT_NE(dialogs.Last().text.find("It could not be kept aside ("), std::string::npos) << dialogs.Last().text;
  EXPECT_FALSE(XmlSaveSettings(doc, fixed));
  EXPECT_EQ(dialogs.Count(), boxes + 1) << "refused, not a failed save";
}

// Settings files in any encoding the XML parser reads are saved as UTF-8
// under a matching declaration, and a saved file always loads again.
TEST(XmlSettings, SavedFilesAreUtf8AndReopen) {
  const std::string body = "<Settings><Selections><Name>Androm#da</Name></Selections></Settings>";
  const std::string name = "Androm\xC3\xA9" "da";
  auto latin1With = [&](const std::string& prolog) {
    std::string text = prolog + body;
    text[text.find('#')] = '\xE9';
    return text;
  };
  const std::string utf8Body = body.substr(0, body.find('#')) + "\xC3\xA9" + body.substr(body.find('#') + 1);
  const std::string utf7Body = body.substr(0, body.find('#')) + "+AOk-" + body.substr(body.find('#') + 1);
  const std::string latin1 = latin1With("<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>");
  const struct {
    const char* what;
    std::string bytes;
  } cases[] = {
      {"ISO-8859-1", latin1},
      {"UTF-16", Utf16("<?xml version=\"1.0\" encoding=\"UTF-16\"?>" + body)},
      // A system identifier holding a double quote once came back unquotable.
      {"quote in the system identifier", "<?xml version=\"1.0\"?><!DOCTYPE Settings SYSTEM 'st\"h.dtd'>" + utf8Body},
      {"windows-1252", latin1With("<?xml version=\"1.0\" encoding=\"windows-1252\"?>")},
      {"public identifier",
       "<?xml version=\"1.0\"?><!DOCTYPE Settings PUBLIC \"-//Tarvel//EN\" \"sth.dtd\">" + utf8Body},
      {"encoding words in the system identifier",
       "<?xml version=\"1.0\"?><!DOCTYPE Settings SYSTEM 'encoding=\"UTF-16\"'>" + utf8Body},
      // The document type name of a UTF-7 file may decode to what no XML name
      // holds (a NUL, half a surrogate pair), and so may its system
      // identifier; written as they were, the file did not load again.
      {"NUL in the document type",
       "<?xml version=\"1.0\" encoding=\"UTF-7\"?><!DOCTYPE Set+AAA-tings SYSTEM \"sth.dtd\">" + utf7Body},
      {"half a surrogate pair in the document type name",
       "<?xml version=\"1.0\" encoding=\"UTF-7\"?><!DOCTYPE Settings+2D0- SYSTEM \"sth+2D0-.dtd\">" + utf7Body},
      {"entity of the internal subset",
       "<?xml version=\"1.0\"?><!DOCTYPE Settings [<!ENTITY n \"<Name>Androm&#233;da</Name>\">]>"
       "<Settings><Selections>&n;</Selections></Settings>"},
  };
  for (const auto& c : cases) {
    TempDir dir;
    WriteText(dir.File("in.xml"), c.bytes);
    XmlDocument doc;
    XmlElement sel = XmlLoadSettings(doc, dir.File("in.xml"), "Other");
    ASSERT_EQ(XmlReadString(sel, "Name", ""), name) << c.what;
    ASSERT_TRUE(XmlSaveSettings(doc, dir.File("out.xml"))) << c.what;
    const std::string text = ReadText(dir.File("out.xml"));
    EXPECT_EQ(text.rfind("<?xml version=\"1.0\" encoding=\"UTF-8\"", 0), 0u) << c.what;
    // A document type is kept, naming the root.
    EXPECT_EQ(text.find("\n<!DOCTYPE Settings") != std::string::npos, c.bytes.find("<!DOCTYPE") != std::string::npos)
        << c.what;
    XmlDocument again;
    std::string error;
    ASSERT_TRUE(again.LoadFromFile(dir.File("out.xml"), &error)) << c.what << ": " << error;
    EXPECT_EQ(XmlReadString(XmlChild(again.Root(), "Selections"), "Name", ""), name) << c.what;
  }
}

// A settings file there that cannot be read (refused to this user, a device
// in its place, one of gigabytes never read whole; the start's test has
// pipes and a folder) may hold the
// user's settings: the defaults are used, it is told once with the reason
// and what to do, left as it is (nothing kept aside), and this run never
// writes over it: the save says so. A new run may write it again.
TEST(XmlSettings, AFileThatCannotBeReadIsLeftAsItIs) {
  TempDir dir;
  platform::ScopedScriptedDialogs dialogs;
  WriteText(dir.File("ImagingSettings.xml"), "<Imaging/>");
  std::filesystem::create_symlink("/dev/zero", dir.File("device.xml"));
  WriteText(dir.File("huge.xml"), "<Imaging/>");
  std::filesystem::resize_file(dir.File("huge.xml"), 17 * 1024 * 1024);
  std::optional<RefusedFiles> refused(std::in_place, std::set<std::string>{dir.File("ImagingSettings.xml")});
  for (const auto& [name, told] :
       {std::pair{"ImagingSettings.xml", "Permission denied)\r\nIt is left as it is: the default settings are used, "
                                         "and the program does not write over it.\r\nGive your user the right to "
                                         "read and write \"ImagingSettings.xml\" and the folder that holds it"},
        {"device.xml", "it is a character device, not a file)\r\nIt is left as it is"},
        {"huge.xml", "it is larger than 16,777,216 bytes)\r\nIt is left as it is: the default settings are used, "
                     "and the program does not write over it.\r\nMove what stands there aside"}}) {
    const std::string path = dir.File(name);
    dialogs.Clear();
    XmlDocument doc;
    for (int i = 0; i < 2; ++i) XmlLoadSettings(doc, path, "Imaging");
    ASSERT_EQ(dialogs.Count(), 1u) << name;
    EXPECT_TRUE(testing_support::StartsWith(dialogs.Last().text, "Warning: Can't read file " + path + "\r\n(" + told));
    EXPECT_FALSE(XmlSaveSettings(doc, path));
    EXPECT_TRUE(testing_support::StartsWith(dialogs.Last().text, "Error: Can't write file " + path +
                                                                     "\r\nIt could not be read ("));
  }
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.Path()), {}), 3) << "a file kept aside";
  refused.reset();
  TellKeptSettingsFilesOfLastRun();  // a new run
  XmlDocument doc;
  XmlLoadSettings(doc, dir.File("ImagingSettings.xml"), "Imaging");
  EXPECT_TRUE(XmlSaveSettings(doc, dir.File("ImagingSettings.xml")));
}

// The real mode, where the tests do not run as root.
TEST(XmlSettings, AFileOfMode000IsLeftAsItIs) {
  if (::geteuid() == 0) GTEST_SKIP() << "root may read a file of mode 000";
  TempDir dir;
  platform::ScopedScriptedDialogs dialogs;
  WriteText(dir.File("a.xml"), "<A/>");
  ::chmod(dir.File("a.xml").c_str(), 0);
  XmlDocument doc;
  XmlLoadSettings(doc, dir.File("a.xml"), "A");
  ASSERT_EQ(dialogs.Count(), 1u);
  EXPECT_TRUE(testing_support::StartsWith(dialogs.Last().text, "Warning: Can't read file " + dir.File("a.xml") +
                                                                   "\r\n(Permission denied)"));
  EXPECT_FALSE(XmlSaveSettings(doc, dir.File("a.xml")));
}
