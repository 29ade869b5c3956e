// File channels, the directory search, the working folder and DEL_STR, on a
// temporary folder.
#include <gtest/gtest.h>

#include <filesystem>

#include "script_test_support.h"
#include "tests/support/pipe_in_place.h"
#include "tests/support/test_support.h"

namespace {

using testing_support::TempDir;

std::string Quote(const std::string& s) { return "\"" + s + "\""; }

TEST(ScriptFiles, WrittenLinesReadBackWithEofTellingTheEnd) {
  TempDir dir;
  std::string f = Quote(dir.File("data.txt"));
  TTestHost host;
  EXPECT_EQ(RunScript("OPEN# 1, \"o\", " + f +
                      "\nPRINT# 1, \"x=\", 2.5\nPRINT# 1, \"no end\";\nPRINT# 1\nPRINT# 1, 7\nCLOSE# 1\n"
                      "OPEN# 2, \"I\", " + f +
                      "\nINPUT# 2, A$\nINPUT# 2, B$\nINPUT# 2, N\nPRINT A$, \"|\", B$, \"|\", N, \"|\", EOF(2)\n"
                      "CLOSE# 2"),
            0)
      << host.Error();
  EXPECT_EQ(testing_support::ReadFile(dir.File("data.txt")).size(), std::string("x=2.5\r\nno end\r\n7\r\n").size());
  EXPECT_EQ(host.Printed(), std::vector<std::string>{"x=2.5|no end|7|1"});
}

TEST(ScriptFiles, QuotesReadFromFilesBecomeApostrophes) {
  TempDir dir;
  testing_support::WriteText(dir.File("q.txt"), "a \"b\"\n");
  TTestHost host;
  EXPECT_EQ(RunScript("OPEN# 3, \"I\", " + Quote(dir.File("q.txt")) + "\nINPUT# 3, S$\nPRINT S$ + \"!\""), 0);
  EXPECT_EQ(host.Printed(), std::vector<std::string>{"a 'b'!"});
}

// A file saved with a UTF-8 byte-order mark (as some Windows editors do)
// reads its first line without it: a number is a number, a text its own
// characters.
TEST(ScriptFiles, AByteOrderMarkIsNoPartOfTheFirstLine) {
  TempDir dir;
  testing_support::WriteText(dir.File("n.txt"), "\xEF\xBB\xBF" "12.5\r\n\xEF\xBB\xBF" "x\r\n");
  testing_support::WriteText(dir.File("s.txt"), "\xEF\xBB\xBF" "M31\r\n");
  TTestHost host;
  EXPECT_EQ(RunScript("OPEN# 1, \"I\", " + Quote(dir.File("n.txt")) + "\nINPUT# 1, N\nINPUT# 1, A$\nOPEN# 2, \"I\", " +
                      Quote(dir.File("s.txt")) + "\nINPUT# 2, S$\nPRINT N * 2, \"|\", LEN(A$), \"|\", S$, LEN(S$)"),
            0)
      << host.Error();
  // Only the file's start is skipped: a mark later on is text.
  EXPECT_EQ(host.Printed(), std::vector<std::string>{"25|2|M313"});
}

// A line longer than a string gives its first 255 characters and the rest
// of it is passed over: the next INPUT# reads the following line, however
// long the long one (300 characters, or far more than 64 KiB). A long
// line is read as UTF-8 or as Windows-1252 by the same rule as a short one,
// its whole text deciding.
TEST(ScriptFiles, ALongLineGivesItsFirst255CharactersAndTheNextLineFollows) {
  TempDir dir;
  std::string e300, mixed255;
  for (int i = 0; i < 300; ++i) e300 += "\xC3\xA9";  // é in UTF-8
  for (int i = 0; i < 255; ++i) mixed255 += i % 2 ? "\xC2\xA9" : "\xC3\x83";  // © and Ã
  // A line is `times` copies of `part`, then `end`.
  const struct {
    std::string name, part, end, first255;
  } cases[] = {
      {"ASCII", std::string(300, 'a'), "", std::string(255, 'a')},
      {"UTF-8", e300, "", e300.substr(0, 510)},
      {"Windows-1252", std::string(300, '\xE9'), "", e300.substr(0, 510)},
      // UTF-8 but for one Windows-1252 byte at its end: the whole line is
      // read as Windows-1252, each "é" as the two characters "Ã©".
      {"UTF-8 ended in Windows-1252", e300, "\xE9", mixed255},
  };
  for (const auto& c : cases) {
    for (const int times : {1, 300}) {
      SCOPED_TRACE(c.name + (times == 1 ? ", 300 characters" : ", over 64 KiB"));
      std::string line;
      for (int i = 0; i < times; ++i) line += c.part;
      line += c.end;
      testing_support::WriteText(dir.File("lines.txt"), line + "\r\nnext\r\n" + line + "\n");
      TTestHost host;
      EXPECT_EQ(RunScript("OPEN# 1, \"I\", " + Quote(dir.File("lines.txt")) +
                          "\nINPUT# 1, A$\nINPUT# 1, B$\nINPUT# 1, C$\nPRINT LEN(A$), \"|\", B$, \"|\", EOF(1)\n"
                          "PRINT A$\nPRINT C$"),
                0)
          << host.Error();
      EXPECT_EQ(host.Printed(), (std::vector<std::string>{"255|next|1", c.first255, c.first255}));
    }
  }
}

struct TChannelFault {
  std::string script;
  int line;
  int code;
};

TEST(ScriptFiles, ChannelFaultsGiveTheirCodes) {
  TempDir dir;
  std::string out = Quote(dir.File("o.txt"));
  std::string missing = Quote(dir.File("missing.txt"));
  testing_support::WriteText(dir.File("one.txt"), "word\n");
  std::string one = Quote(dir.File("one.txt"));
  const TChannelFault cases[] = {
      {"OPEN# 10, \"O\", " + out, 1, 22},
      {"OPEN# 1.5, \"O\", " + out, 1, 22},
      {"OPEN# 1, \"W\", " + out, 1, 52},
      {"OPEN# 1, \"O\", 5", 1, 52},
      {"OPEN# 1, \"O\", " + out + "\nOPEN# 1, \"O\", " + out, 2, 27},
      {"OPEN# 1, \"I\", " + missing, 1, 23},
      {"OPEN# 1, \"O\", " + Quote(dir.File("no/such/dir.txt")), 1, 24},
      {"CLOSE# 1", 1, 25},
      {"CLOSE# 10", 1, 3},
      {"PRINT# 4, 1", 1, 25},
      {"PRINT# 0, 1", 1, 22},
      {"OPEN# 1, \"I\", " + one + "\nPRINT# 1, 1", 2, 30},
      {"OPEN# 1, \"O\", " + out + "\nPRINT# 1, 1; 2", 2, 3},
      {"OPEN# 1, \"I\", " + one + "\nINPUT# 1, A$\nINPUT# 1, A$", 3, 29},
      {"OPEN# 1, \"I\", " + one + "\nINPUT# 1, N", 2, 29},
      {"INPUT# 1, A$", 1, 25},
      {"INPUT# 1; A$", 1, 3},
      {"PRINT EOF(5)", 1, 25},
      {"PRINT EOF(0)", 1, 3},
  };
  for (const TChannelFault& c : cases) {
    TTestHost host;
    EXPECT_EQ(RunScript(c.script), c.line) << c.script;
    EXPECT_EQ(host.Error(), ErrorAt(c.line, c.code)) << c.script;
  }
}

// The run reads and writes on the GUI thread: a pipe nobody writes to, or a
// device, in a file's place is refused with why under the code's text and
// never opened, and INPUT# reads no line without end.
TEST(ScriptFiles, PipesAndDevicesAreRefusedAndNoLineIsReadWithoutEnd) {
  TempDir dir;
  PipeInPlace pipe(dir.File("pipe.txt"));
  PipeWatchedForWriters out(dir.File("out.txt"));
  std::filesystem::create_symlink("/dev/zero", dir.File("zero.txt"));
  const std::string p = Quote(dir.File("pipe.txt")), z = Quote(dir.File("zero.txt"));
  const std::string isPipe = p + ": it is a named pipe, not a file.";
  const struct {
    std::string script;
    int line, code;
    std::string reason;
  } cases[] = {
      {"OPEN# 1, \"I\", " + p, 1, 23, isPipe},
      {"OPEN# 1, \"O\", " + Quote(dir.File("out.txt")), 1, 24,
       Quote(dir.File("out.txt")) + ": it is a named pipe, not a file."},
      {"OPEN# 1, \"I\", " + z, 1, 23, z + ": it is a character device, not a file."},
      {"READ_SETTINGS_FILE " + p, 1, 60, isPipe},
  };
  for (const auto& c : cases) {
    TTestHost host;
    EXPECT_EQ(RunScript(c.script), c.line) << c.script;
    EXPECT_EQ(host.Error(), ErrorAt(c.line, c.code) + "\r\n" + c.reason) << c.script;
  }
  EXPECT_FALSE(pipe.Opened() || out.Written());
}

TEST(ScriptFiles, ChannelsLeftOpenAreClosedAtTheEndOfTheRun) {
  TempDir dir;
  std::string f = Quote(dir.File("left.txt"));
  TTestHost host;
  EXPECT_EQ(RunScript("OPEN# 9, \"O\", " + f + "\nPRINT# 9, \"kept\""), 0);
  EXPECT_EQ(RunScript("OPEN# 9, \"I\", " + f + "\nINPUT# 9, A$\nPRINT A$"), 0) << host.Error();
  EXPECT_EQ(host.Printed(), std::vector<std::string>{"kept"});
}

TEST(ScriptFiles, DirectorySearchGivesNamesInOrderThenNoFile) {
  TempDir dir;
  for (const char* n : {"b.sbas", "A.SBAS", "c.txt"}) testing_support::WriteText(dir.File(n), "");
  TTestHost host;
  EXPECT_EQ(RunScript("GET_FIRST " + Quote(dir.Path() + "*.sbas") +
                      ", N$\nPRINT N$\nGET_NEXT N$\nPRINT N$\nGET_NEXT N$\nPRINT N$\n"
                      "LET N$ = \"kept\"\nGET_NEXT N$\nPRINT N$\nGET_FIRST " +
                      Quote(dir.Path() + "*.none") + ", M$\nPRINT M$\nGET_FIRST " + Quote(dir.Path() + "*.*") +
                      ", K$\nPRINT K$"),
            0)
      << host.Error();
  EXPECT_EQ(host.Printed(), (std::vector<std::string>{"A.SBAS", "b.sbas", "NO FILE", "kept", "NO FILE", "A.SBAS"}));
}

TEST(ScriptFiles, SetDirChangesTheFolderForTheRunOnly) {
  TempDir dir;
  std::string before = std::filesystem::current_path().string();
  TTestHost host;
  EXPECT_EQ(RunScript("SET_DIR " + Quote(dir.Path()) +
                      "\nOPEN# 1, \"O\", \"rel.txt\"\nCLOSE# 1\nGET_DIR D$\nPRINT D$"),
            0)
      << host.Error();
  EXPECT_TRUE(std::filesystem::exists(dir.File("rel.txt")));
  EXPECT_EQ(std::filesystem::current_path().string(), before);
  ASSERT_EQ(host.Printed().size(), 1u);
  EXPECT_EQ(std::filesystem::path(host.Printed()[0]), std::filesystem::canonical(dir.Path()));
}

TEST(ScriptStrings, DelStrDeletesFromAPosition) {
  TTestHost host;
  EXPECT_EQ(RunScript("LET S$ = \"ABCDEF\"\nDEL_STR S$, 2, 3\nPRINT S$\nDEL_STR S$, 9, 1\nPRINT S$\n"
                      "DEL_STR S$, 1, 255\nPRINT S$, \".\""),
            0);
  EXPECT_EQ(host.Printed(), (std::vector<std::string>{"AEF", "AEF", "."}));
}

}  // namespace
