// The interpreter without windows: expressions, functions, control flow,
// preparation, error reporting and the mended faults.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>

#include "script/expr_internal.h"
#include "script_test_support.h"

namespace {

struct TValueCase {
  const char* expression;
  const char* printed;  // PRINT's text of the value
};

// Values worked by hand (and the number-text rule: 15 significant digits,
// zeros trimmed after the point, no leading zero).
const TValueCase kValues[] = {
    {"2 + 3 * 4", "14"},
    {"(2 + 3) * 4", "20"},
    {"-2 ^ 2", "4"},
    {"2 ^ 10", "1024"},
    {"7 / 2", "3.5"},
    {"0.1", ".1"},
    {"1 / 3", ".333333333333333"},
    {"100", "100"},
    {"-0.5", "-0.5"},
    {"0", "0"},
    {"12.50", "12.5"},
    {"1E12", " 1.00000000000000E+0012"},
    {"1.5E-12", " 1.50000000000000E-0012"},
    {"5 MOD 3", "2"},
    {"-7 MOD 3", "-1"},
    {"6 AND 3", "2"},
    {"6 OR 3", "7"},
    {"6 XOR 3", "5"},
    {"1 + 2 AND 7", "3"},
    {"STR$(0.25)", ".25"},
    {"STR$(1E12)", " 1.00000000000000E+0012"},
    {"LEN(\"abc\")", "3"},
    {"LEFT$(\"Hello\", 2)", "He"},
    {"RIGHT$(\"Hello\", 3)", "llo"},
    {"MID$(\"ABCDEF\", 2, 3)", "BCD"},
    {"MID$(\"ABC\", 9, 3)", ""},
    {"CHR$(65) + \"b\"", "Ab"},
    {"VAL(\"2.5\") * 2", "5"},
    {"VAL(\" +5 \")", "5"},
    // Text is UTF-8 and counted in characters; codes above 127 are those
    // of Windows-1252.
    {"LEN(\"°é€\")", "3"},
    {"MID$(\"a°b€\", 2, 3) + LEFT$(\"é\", 1) + RIGHT$(\"x€\", 1)", "°b€é€"},
    {"CHR$(176) + CHR$(128) + CHR$(34)", "°€\""},
    {"SQRT(16)", "4"},
    {"ABS(-2)", "2"},
    {"INT(-2.5)", "-2"},
    {"FRAC(2.25)", ".25"},
    {"ROUND(2.5)", "2"},
    {"ROUND(3.5)", "4"},
    {"ATAN2(-1, 0)", "3.14159265358979"},
    {"ATAN2(0, -1)", "4.71238898038469"},
    {"COS(0) + SIN(0) + TAN(0)", "1"},
    // The function's value reaches the product as a 15-digit text.
    {"ASIN(1) * 2", "3.1415926535898"},
    {"ATAN(1) * 4", "3.14159265358979"},
    {"LOG(1000)", "3"},
    {"LN(1)", "0"},
    {"RND(1)", "0"},
    {"PI2 / PI", "2"},
    {"RAD", "57.2957795130823"},
    {"\"AB\" + \"CD\"", "ABCD"},
    {"\"Mixed Case\"", "Mixed Case"},
    {"LEN(\"(\")", "1"},
    {"HM_STR$(12.5)", " 12:30 "},
    // Meeus, Astronomical Algorithms, ch. 7: 2000 January 1.5 = JD 2451545.0.
    {"JULIAN(2000, 1, 1.5)", "2451545"},
    // Meeus ch. 7 example 7.a: 1957 October 4.81 = JD 2436116.31.
    {"JULIAN(1957, 10, 4.81)", "2436116.31"},
};

TEST(ScriptValues, PrintsEachValueAsTheLanguagePrintsNumbersAndStrings) {
  for (const TValueCase& c : kValues) {
    TTestHost host;
    EXPECT_EQ(RunScript(std::string("PRINT ") + c.expression), 0) << c.expression;
    ASSERT_EQ(host.Printed().size(), 1u) << c.expression << " " << host.Error();
    EXPECT_EQ(host.Printed()[0], c.printed) << c.expression;
  }
}

struct TErrorCase {
  const char* script;
  int line;  // editor line named by the error
  int code;
};

const TErrorCase kErrors[] = {
    {"LET A = 7 / 0", 1, 4},
    {"LET A = SQRT(-1)", 1, 21},
    {"LET A = LN(0)", 1, 21},
    {"LET A = ACOS(2)", 1, 21},
    {"LET A = RND(65536)", 1, 21},
    {"LET A = ROUND(3E9)", 1, 21},
    {"LET A$ = LEFT$(\"A\", 300)", 1, 3},
    {"LET A$ = CHR$(256)", 1, 3},
    {"LET A = VAL(\"x1\")", 1, 3},
    {"LET A = VAL(\"+-5\") + VAL(\"inf\")", 1, 3},
    {"LET A = JULIAN(3001, 1, 1)", 1, 51},
    {"LET A = JULIAN(2000, 13, 1)", 1, 51},
    {"LET A = COS(1, 2)", 1, 3},
    {"LET A = LEN(5)", 1, 3},
    {"LET A = FOO(1)", 1, 10},
    {"LET A = 1 + ", 1, 3},
    {"LET A = (1 + 2", 1, 3},
    {"LET A = 40000 AND 1", 1, 5},
    {"LET A = 10 ^ 400", 1, 5},
    {"LET A$ = \"AB\" - \"CD\"", 1, 3},
    {"LET A$ = 5", 1, 11},
    {"LET A = \"x\"", 1, 11},
    {"LET A 5", 1, 3},
    {"A = 1", 1, 3},
    {"REMARK", 1, 3},
    {"PRINT 1; 2", 1, 3},
    {"\n\nGOTO 1START", 3, 3},
    {"GOTO NOWHERE", 1, 12},
    {"RETURN", 1, 14},
    {"GOSUB X\nX:\nRETURN 5", 3, 3},
    {"NEXT", 1, 20},
    {"WEND", 1, 32},
    {"WHILE 1 = 2 DO", 1, 31},
    {"WHILE 1 / 0 = 2 DO X", 1, 4},
    {"ENDIF", 1, 18},
    {"IF 1 = 1 THEN", 1, 17},
    {"LET A$ = \"x\"\nIF A$ = 5 THEN PRINT 1", 2, 16},
    {"IF 1 THEN PRINT 1", 1, 3},
    {"IF 1 = 1 THEN IF 2 = 2 THEN PRINT 1", 1, 3},
    {"BAD LABEL:", 1, 3},
    {"DEL_STR A$, 300, 1", 1, 51},
};

TEST(ScriptErrors, EachFaultReportsItsCodeTextAndLineAndStopsThere) {
  for (const TErrorCase& c : kErrors) {
    TTestHost host;
    EXPECT_EQ(RunScript(std::string(c.script) + "\nPRINT \"after\""), c.line) << c.script;
    EXPECT_EQ(host.Error(), ErrorAt(c.line, c.code)) << c.script;
    EXPECT_TRUE(host.Printed().empty()) << c.script;
  }
}

TEST(ScriptErrors, TextsComeFromTheTableOrNameTheCode) {
  EXPECT_EQ(ScriptErrorText(44), "Could not remove \"Noctra's\" main menu.");
  EXPECT_EQ(ScriptErrorText(kNestingError), "Expression nested too deeply.");
  EXPECT_EQ(ScriptErrorText(37), "Error #37");
}

TEST(ScriptErrors, WarningsShowAndTheRunGoesOn) {
  TTestHost host;
  host.answers = {"abc", "nan", "+42"};
  EXPECT_EQ(RunScript("INPUT \"N?\", N\nPRINT N"), 0);
  ASSERT_EQ(host.boxes.size(), 3u);
  EXPECT_EQ(host.boxes[1].caption, "Warning:");
  EXPECT_EQ(host.boxes[1].text, "Invalid numeric value.");
  EXPECT_EQ(host.Printed(), std::vector<std::string>{"42"});
  EXPECT_EQ(host.prompts, (std::vector<std::string>{"N?", "N?", "N?"}));
}

TEST(ScriptInput, StringAnswersLoseTheirDoubleQuotesAndCancelStops) {
  TTestHost host;
  host.answers = {"say \"hi\""};
  EXPECT_EQ(RunScript("INPUT S$\nPRINT S$\nINPUT T$\nPRINT \"not reached\""), 3);
  EXPECT_EQ(host.Printed(), std::vector<std::string>{"say 'hi'"});
  EXPECT_EQ(host.Error(), "");
}

struct TFlowCase {
  const char* script;
  std::vector<std::string> printed;
};

const TFlowCase kFlow[] = {
    // Nested FOR: 3 × 4 passes.
    {"LET N = 0\nFOR I = 1 TO 3\nFOR J = 1 TO 4\nLET N = N + 1\nNEXT\nNEXT\nPRINT N, \" \", I, \" \", J", {"12 4 5"}},
    // The body runs once even when the start is past the end.
    {"FOR I = 5 TO 1\nPRINT \"body\"\nNEXT\nPRINT I", {"body", "6"}},
    {"LET I = 0\nWHILE I < 3 DO\nLET I = I + 1\nWEND\nPRINT I", {"3"}},
    {"WHILE 1 = 2 DO\nWHILE 1 = 1 DO\nWEND\nWEND\nPRINT \"skipped\"", {"skipped"}},
    {"GOSUB SUB1\nPRINT \"back\"\nHALT\nSUB1:\nPRINT \"in\"\nRETURN", {"in", "back"}},
    {"GOTO SKIP\nPRINT \"no\"\nSKIP:\nPRINT \"yes\"", {"yes"}},
    {"IF 1 = 1 THEN PRINT \"t\" ELSE PRINT \"e\"", {"t"}},
    {"IF 1 <> 1 THEN PRINT \"t\" ELSE PRINT \"e\"", {"e"}},
    {"IF \"abc\" < \"abd\" THEN PRINT \"less\"", {"less"}},
    {"IF 2 >= 2 THEN PRINT \"ge\"", {"ge"}},
    {"IF 1 = 2 THEN\nPRINT \"a\"\nELSEIF\nPRINT \"b\"\nENDIF\nPRINT \"c\"", {"b", "c"}},
    {"IF 1 = 1 THEN\nPRINT \"a\"\nELSEIF\nPRINT \"b\"\nENDIF\nPRINT \"c\"", {"a", "c"}},
    {"IF 1 = 2 THEN\nIF 1 = 1 THEN\nPRINT \"x\"\nENDIF\nPRINT \"y\"\nENDIF\nPRINT \"z\"", {"z"}},
    {"PRINT 1\nHALT\nPRINT 2", {"1"}},
    {"let a = 1 | print \"A=\", a", {"A=1"}},
    {"PRINT \"a|b\"", {"a|b"}},
    {"; comment:\nREM Main loop:\nREM\nPRINT \"ok\"", {"ok"}},
    {"\nPRINT \"second\"\n\n\n", {"second"}},
};

TEST(ScriptFlow, ControlStatementsRunTheLinesInTheirOrder) {
  for (const TFlowCase& c : kFlow) {
    TTestHost host;
    EXPECT_EQ(RunScript(c.script), 0) << c.script << " " << host.Error();
    EXPECT_EQ(host.Printed(), c.printed) << c.script;
  }
}

TEST(ScriptFlow, NestingLimitsAreEightForsAndThirtyTwoGosubs) {
  std::string fors;
  for (int i = 1; i <= 9; ++i) fors += "FOR V" + std::to_string(i) + " = 1 TO 1\n";
  TTestHost host;
  EXPECT_EQ(RunScript(fors), 9);
  EXPECT_EQ(host.Error(), ErrorAt(9, 19));

  TTestHost host2;
  EXPECT_EQ(RunScript("LET D = 0\nDEEP:\nLET D = D + 1\nIF D > 40 THEN HALT\nGOSUB DEEP"), 5);
  EXPECT_EQ(host2.Error(), ErrorAt(5, 13));
}

TEST(ScriptPreparation, DuplicateLabelsNameTheLaterOneBeforeAnythingRuns) {
  TTestHost host;
  EXPECT_EQ(RunScript("PRINT 1\nLOOPSTART1:\nPRINT 2\nLOOPSTART2:"), 4);
  EXPECT_EQ(host.Error(), ErrorAt(4, 15));
  EXPECT_TRUE(host.Printed().empty());
}

TEST(ScriptPreparation, AnOpenQuoteIsErrorOneOnItsOwnLine) {
  TTestHost host;
  EXPECT_EQ(RunScript("PRINT 1\nPRINT \"open\nPRINT \"closed\""), 2);
  EXPECT_EQ(host.Error(), ErrorAt(2, 1));
  EXPECT_TRUE(host.Printed().empty());
}

// Comments are free text: an inch mark opens no string there (the rest of
// the editor line stays comment), while a statement with one is still error 1.
TEST(ScriptPreparation, AQuoteInACommentIsText) {
  TTestHost host;
  EXPECT_EQ(RunScript("REM my 8\" SCT\n  ; the 12\" | PRINT 0\nPRINT 1 | REM 4\"\nPRINT 2 ' 8\""), 4);
  EXPECT_EQ(host.Error(), ErrorAt(4, 1));
  EXPECT_TRUE(host.Printed().empty());
}

TEST(ScriptPreparation, ErrorsNameTheEditorLineOfStatementsJoinedByBars) {
  TTestHost host;
  EXPECT_EQ(RunScript("PRINT 1 | PRINT 2\n\nLET A = 1 | LET B = 1 / 0 | PRINT 3"), 3);
  EXPECT_EQ(host.Error(), ErrorAt(3, 4));
  EXPECT_EQ(host.Printed(), (std::vector<std::string>{"1", "2"}));
}

TEST(ScriptPreparation, AnEmptyEditorStartsNothing) {
  TTestHost host;
  EXPECT_EQ(RunScript("\n\n"), 0);
  EXPECT_EQ(host.pumps, 0);
  EXPECT_TRUE(host.boxes.empty());
}

TEST(ScriptVariables, NamesAreCutToNineCharactersAndStartAtZeroOrEmpty) {
  TTestHost host;
  EXPECT_EQ(RunScript("LET ABCDEFGHIJ = 5\nPRINT ABCDEFGHI\nLET LONGNAME12$ = \"x\"\nPRINT LONGNAME$, \"/\", "
                      "UNSET$, \"/\", UNSET"),
            0);
  EXPECT_EQ(host.Printed(), (std::vector<std::string>{"5", "x//0"}));
}

TEST(ScriptVariables, TheTablesHold128StringsAfterWhichNothingNewIsMade) {
  std::string s;
  for (int i = 1; i <= 129; ++i) s += "LET S" + std::to_string(i) + "$ = \"\"\n";
  TTestHost host;
  EXPECT_EQ(RunScript(s), 129);
  EXPECT_EQ(host.Error(), ErrorAt(129, 10));
}

TEST(ScriptMended, OperatorWordsAreNeverVariables) {
  TTestHost host;
  EXPECT_EQ(RunScript("LET AND = 1"), 1);
  EXPECT_EQ(host.Error(), ErrorAt(1, 3));
}

TEST(ScriptMended, ExpansionIsNotCutAt255Characters) {
  TTestHost host;
  EXPECT_EQ(RunScript("LET A = 1000 | LET B = A | LET C = A | LET D = A | LET E = A | LET F = A | LET G = A | "
                      "LET H = A | LET I = A | LET J = A | LET K = A\nPRINT A+B+C+D+E+F+G+H+I+J+K"),
            0);
  EXPECT_EQ(host.Printed(), std::vector<std::string>{"11000"});
}

TEST(ScriptMended, DoubleQuotesInValuesCannotBreakExpressions) {
  TTestHost host;
  EXPECT_EQ(RunScript("LET Q$ = CHR$(34) + \"x\"\nPRINT Q$ + \"y\", LEN(Q$)"), 0);
  EXPECT_EQ(host.Printed(), std::vector<std::string>{"\"xy2"});
}

// Nesting deeper than the evaluator takes is an error on its line, however
// the depth is built, and nothing overflows; a long chain of signs is no
// nesting.
TEST(ScriptMended, DeepNestingIsAnErrorNotACrash) {
  auto nest = [](const std::string& open, const std::string& inner, const std::string& close, int n) {
    std::string e;
    for (int i = 0; i < n; ++i) e += open;
    e += inner;
    for (int i = 0; i < n; ++i) e += close;
    return e;
  };
  for (const std::string& e : {nest("(", "1", ")", 50000), nest("ABS(", "1", ")", 10000),
                               nest("LEFT$(", "\"x\"", ", 1)", 200)}) {
    TTestHost host;
    EXPECT_EQ(RunScript("PRINT 1\nPRINT " + e + "\nPRINT 3"), 2);
    EXPECT_EQ(host.Error(), ErrorAt(2, 33));
  }
  TTestHost host;
  EXPECT_EQ(RunScript("PRINT " + nest("(", std::string(50000, '-') + "-1", ")", 60)), 0);
  EXPECT_EQ(host.Printed(), std::vector<std::string>{"-1"});
}

// Every value of the table, evaluated prepared and as text, is the same.
TEST(ScriptMended, PreparedExpressionsEvaluateAsTheirText) {
  TTestHost host;
  ScrAllocVariables();
  auto outcome = [](bool ok) {
    char num[40];
    std::snprintf(num, sizeof num, "%a", ScrNumberResult);
    return std::to_string(ok) + (ScrResultType == kResultNumber ? num : ScrStringResult);
  };
  for (const TValueCase& c : kValues) {
    if (std::strstr(c.expression, "CHR$(34)")) continue;  // the text evaluator makes it an apostrophe
    const std::string prepared = outcome(ScrEvaluatePrepared(*ScrCompileExpr(c.expression)));
    EXPECT_EQ(prepared, outcome(ScrEvaluateText(c.expression))) << c.expression;
  }
  ScrFreeVariables();
}

TEST(ScriptMended, LeftoverTokensAndAnExtraPowerAreSyntaxErrors) {
  for (const char* e : {"2 3", "2 * 3 4", "2 ^ 3 ^ 2", "1 = 2"}) {
    TTestHost host;
    EXPECT_EQ(RunScript(std::string("LET X = ") + e), 1) << e;
    EXPECT_EQ(host.Error(), ErrorAt(1, 3)) << e;
  }
  TTestHost host;
  EXPECT_EQ(RunScript("PRINT MID$(\"a\", 1, 1, 1, 1, 1, 1)"), 1);
  EXPECT_EQ(host.Error(), ErrorAt(1, 3));
}

TEST(ScriptMended, OnlyOneRunAtATime) {
  TTestHost host;
  int nested = 0;
  bool accepted = true;
  host.onEvents = [&] {
    if (nested++ == 0) {
      int stop = 0;
      accepted = ScrRunScript({"PRINT \"inner\""}, stop);
    }
  };
  EXPECT_EQ(RunScript("PRINT \"outer\"\nPRINT \"still\""), 0);
  EXPECT_FALSE(accepted);
  EXPECT_EQ(host.Printed(), (std::vector<std::string>{"outer", "still"}));
  EXPECT_FALSE(ScriptRunActive());
}

TEST(ScriptMended, ACloseDuringWaitStopsTheRunAndClosesAfterItUnwound) {
  TTestHost host;
  bool deferred = false, closedWhileActive = true;
  int closes = 0;
  host.onEvents = [&] {
    if (host.pumps == 3 && !deferred)
      deferred = ScrStopThen([&] {
        ++closes;
        closedWhileActive = ScriptRunActive();
      });
  };
  EXPECT_EQ(RunScript("PRINT 1\nWAIT 60\nPRINT 2"), 2);
  EXPECT_TRUE(deferred);
  EXPECT_EQ(closes, 1);
  EXPECT_FALSE(closedWhileActive);
  EXPECT_EQ(host.Printed(), std::vector<std::string>{"1"});
  // With no run, the close happens at once.
  EXPECT_FALSE(ScrStopThen([&] { ++closes; }));
  EXPECT_EQ(closes, 2);
}

TEST(ScriptMended, PauseWaitsBetweenLinesUntilCleared) {
  TTestHost host;
  int waits = 0;
  host.onEvents = [&] {
    if (host.pumps == 1) ScriptPauseFlag = 1;
    if (ScriptPauseFlag && ++waits == 5) ScriptPauseFlag = 0;
  };
  EXPECT_EQ(RunScript("PRINT 1\nPRINT 2"), 0);
  EXPECT_EQ(waits, 5);
  EXPECT_EQ(host.Printed(), (std::vector<std::string>{"1", "2"}));
}

}  // namespace

namespace {

// The editor's Tab key indents with a tab: tabs outside quotes read as
// blanks (bodies, around operators, at a line's end), tabs inside quotes
// are text.
TEST(ScriptMended, TabsOutsideQuotesAreBlanks) {
  TTestHost host;
  EXPECT_EQ(RunScript("FOR I = 1 TO 2\n\tIF I = 2 THEN\n\t\tPRINT\t\"a\tb\",\tI * 2\t\n\tENDIF\nNEXT\t\nLOOP:\t"), 0)
      << host.Error();
  EXPECT_EQ(host.Printed(), std::vector<std::string>{"a\tb4"});
}

}  // namespace
