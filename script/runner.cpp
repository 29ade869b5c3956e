// The script runner: preparation of a run (program lines, label table), the
// run loop with its pause and stop flags, the plans of the lines (each read
// once), the control-flow statements and the coded errors.
#include "script/runner.h"

#include <chrono>
#include <cstring>
#include <exception>
#include <filesystem>
#include <memory>

#include "script/expr_internal.h"
#include "script/script_host.h"
#include "shell/log_lines.h"

std::atomic<uint8_t> ScriptStopFlag{0};
std::atomic<uint8_t> ScriptErrorFlag{0};
std::atomic<uint8_t> ScriptPauseFlag{0};
uint32_t ScriptLineNumber = 0;

namespace {

constexpr int kGosubDepth = 32;
constexpr int kForDepth = 8;
constexpr std::size_t kLabelChars = 9;

struct TForFrame {
  double* variable;
  double endValue;
  uint32_t line;
};

constexpr const char* kComparisons[] = {"<>", "=<", "<=", "=>", ">=", "<", ">", "="};

struct TPlan {
  enum Kind : uint8_t {
    kSkip,     // empty line, comment, label
    kError,    // `error` raised
    kOther,    // a statement, host command or menu statement: `text`
    kLet, kIf, kBlockIf, kElseIf, kEndIf, kFor, kNext, kWhile, kWend, kHalt, kGoto, kGosub, kReturn,
  } kind = kSkip;
  int error = 0;  // kError; kFor, kWhile: raised after the variable or the condition
  std::string text;             // kOther: the line; kLet, kFor: the variable as written
  double* num = nullptr;        // kLet, kFor: the variable, once found
  std::string* str = nullptr;
  std::unique_ptr<TScrExpr> a;  // kLet: the value; kFor: the start; conditions: left
  std::unique_ptr<TScrExpr> b;  // kFor: the end; conditions: right
  int comparison = 0;           // index into kComparisons
  std::unique_ptr<TPlan> then;  // kIf: the statements after THEN and ELSE
  std::unique_ptr<TPlan> otherwise;
  bool scanned = false;         // `target` and `atElse` found (block scans, jumps)
  uint32_t target = 0;
  uint32_t endLine = 0;         // kBlockIf: the block's ENDIF
  bool atElse = false;
};

struct TLabel {
  std::string name;  // at most 9 characters
  uint32_t line;
};

// One run's state; the tables exist between preparation and cleanup.
struct TRunState {
  std::vector<std::string> lines;      // script lines 1..n at index 0..n-1
  std::vector<int> editorLine;         // editor line (1-based) of each script line
  uint32_t lineCount = 0;              // lines + 1
  std::vector<TLabel> labels;
  uint32_t gosub[kGosubDepth] = {};
  int gosubDepth = 0;
  TForFrame fors[kForDepth] = {};
  int forDepth = 0;
  int ifDepth = 0;
  int errorEditorLine = 0;  // editor line of a preparation error
  std::vector<std::unique_ptr<TPlan>> plans;  // of each script line, made at its first run
};

TRunState Run;
std::atomic<bool> RunActive{false};
// Actions of close paths waiting for the run to unwind.
std::vector<std::function<void()>> AfterRun;

const char* ErrorTexts(int code) {
  switch (code) {
    case -1: return "Invalid numeric value.";
    case 1: return "String constant exceeds line.";
    case 2: return "Not enough memory.";
    case 3: return "Syntax error.";
    case 4: return "Division by zero.";
    case 5: return "Numeric overflow.";
    case 6: return "Invalid array diminsions.";
    case 7: return "Array not diminsioned.";
    case 8: return "Array bounds error.";
    case 9: return "Variable allocation failure.";
    case 10: return "Undefined function.";
    case 11: return "Invalid variable assignment.";
    case 12: return "Label not found.";
    case 13: return "GOSUB's nested too deeply.";
    case 14: return "RETURN without GOSUB.";
    case 15: return "Duplicate label.";
    case 16: return "Invalid comparison.";
    case 17: return "IF without ENDIF.";
    case 18: return "ENDIF without IF.";
    case 19: return "FOR statements nested too deeply.";
    case 20: return "NEXT without FOR.";
    case 21: return "Invalid numeric operation.";
    case 22: return "Invalid file handle.";
    case 23: return "Open file for INPUT failed.";
    case 24: return "Open file for OUTPUT failed.";
    case 25: return "File not open.";
    case 26: return "General error closing file.";
    case 27: return "File already open.";
    case 28: return "Error printing to file.";
    case 29: return "Error inputing from file.";
    case 30: return "Wrong file mode.";
    case 31: return "WHILE without WEND.";
    case 32: return "WEND without WHILE.";
    case kNestingError: return "Expression nested too deeply.";
    case kPrinterError: return "The printer could not be started.";
    case 40: return "Menu not found.";
    case 41: return "Menu position not found.";
    case 42: return "Script BASIC menu system is full.";
    case 43: return "Could not create menu (low memory?)";
    case 44: return "Could not remove \"Noctra's\" main menu.";
    case 50: return "Finder views require Ra/Dec (don't center on Zenith)";
    case 51: return "Invalid numeric value.";
    case 52: return "String type expression expected.";
    case 60: return "File not found.";
    case 61: return "File doesn't contain settings for this type.";
    default: return nullptr;
  }
}

bool IsLabelChar(char c) { return (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_'; }
bool IsLabelStart(char c) { return (c >= 'A' && c <= 'Z') || c == '_'; }

bool IsComment(const std::string& line) {
  return ScrStarts(line, ";") || ScrStarts(line, "REM ") || line == "REM";
}

// A line ending in ':' that is no comment: a label line (well formed or not).
bool EndsAsLabel(const std::string& line) {
  return !line.empty() && line.back() == ':' && !IsComment(line);
}

bool WellFormedLabel(const std::string& line) {
  if (line.size() < 2 || !IsLabelStart(line[0])) return false;
  for (std::size_t i = 0; i + 1 < line.size(); ++i)
    if (!IsLabelChar(line[i])) return false;
  return true;
}

// Editor line of script line n (1-based), clamped to the script.
int EditorLineOf(uint32_t n) {
  if (Run.editorLine.empty()) return 0;
  if (n < 1) n = 1;
  if (n > Run.editorLine.size()) n = uint32_t(Run.editorLine.size());
  return Run.editorLine[n - 1];
}

// Splits the editor lines into script lines: '|' outside quotes separates
// statements; the quote state ends with each editor line and a quote left
// open is error 1 for that line (not in a comment). Characters outside quotes are upper-cased,
// and tabs outside quotes (the editor's indentation) are blanks.
bool SplitLines(const std::vector<std::string>& editor) {
  // Trailing empty editor lines carry no statements.
  std::size_t last = editor.size();
  while (last > 0 && editor[last - 1].empty()) --last;
  for (std::size_t e = 0; e < last; ++e) {
    const std::string& src = editor[e];
    std::string cur;
    bool quoted = false;
    for (char c : src) {
      if (c == '\r' || c == '\n') continue;
      if (c == '"') quoted = !quoted;
      if (!quoted && c == '|') {
        Run.lines.push_back(ScrTrim(cur));
        Run.editorLine.push_back(int(e) + 1);
        cur.clear();
        continue;
      }
      if (!quoted && c >= 'a' && c <= 'z') c = char(c - 'a' + 'A');
      if (!quoted && c == '\t') c = ' ';
      cur += c;
    }
    Run.lines.push_back(ScrTrim(cur));
    Run.editorLine.push_back(int(e) + 1);
    // A comment is free text: an inch mark (REM 8" SCT) opens no string.
    if (quoted && !IsComment(Run.lines.back())) {
      Run.errorEditorLine = int(e) + 1;
      ScriptError(1);
      return false;
    }
  }
  Run.lineCount = uint32_t(Run.lines.size()) + 1;
  Run.plans.resize(Run.lines.size());
  return true;
}

// Builds the label table; duplicate names (first 9 characters) are error 15
// at the later label's line.
bool ScanLabels() {
  for (uint32_t n = 1; n < Run.lineCount; ++n) {
    const std::string& line = Run.lines[n - 1];
    if (!EndsAsLabel(line) || !WellFormedLabel(line)) continue;
    Run.labels.push_back({line.substr(0, std::min(line.size() - 1, kLabelChars)), n});
  }
  for (std::size_t i = 0; i < Run.labels.size(); ++i)
    for (std::size_t j = i + 1; j < Run.labels.size(); ++j)
      if (Run.labels[i].name == Run.labels[j].name) {
        Run.errorEditorLine = EditorLineOf(Run.labels[j].line);
        ScriptError(15);
        return false;
      }
  return true;
}

uint32_t FindLabel(const std::string& name) {
  std::string key = name.substr(0, kLabelChars);
  for (const TLabel& l : Run.labels)
    if (l.name == key) return l.line;
  return 0;
}

// The label of GOTO and GOSUB: line of the label, 0 after an error.
uint32_t JumpTarget(const std::string& label) {
  std::string name = ScrTrim(label);
  if (name.empty() || !IsLabelStart(name[0])) {
    ScriptError(3);
    return 0;
  }
  for (char c : name)
    if (!IsLabelChar(c)) {
      ScriptError(3);
      return 0;
    }
  uint32_t line = FindLabel(name);
  if (line == 0) ScriptError(12);
  return line;
}

// Position of `word` in `s` outside double quotes, npos when absent.
std::size_t FindOutsideQuotes(const std::string& s, const std::string& word) {
  bool quoted = false;
  for (std::size_t i = 0; i < s.size(); ++i) {
    if (s[i] == '"') quoted = !quoted;
    if (!quoted && s[i] == word[0] && s.compare(i, word.size(), word) == 0) return i;
  }
  return std::string::npos;
}

// --- Prepared lines ---------------------------------------------------------------
// Each script line is read once, at its first execution, into a plan: its
// statement, its expressions prepared, its jump targets found. Errors the
// text alone decides are kept in the plan and raised each time the line
// runs, exactly where the statement would raise them.

void Plan(TPlan& p, const std::string& line, bool scriptLine);

bool Fail(TPlan& p, int code) {
  p.kind = TPlan::kError;
  p.error = code;
  return false;
}

// Reads "left op right keyword tail": the operator is the first of
// kComparisons found outside quotes, `keyword` (" THEN" or " DO") follows
// the right operand. False (error 3 planned) when the text is no condition.
bool PlanCondition(TPlan& p, const std::string& text, const char* keyword, std::string& tail) {
  std::size_t at = std::string::npos;
  for (int i = 0; i < 8 && at == std::string::npos; ++i) {
    at = FindOutsideQuotes(text, kComparisons[i]);
    p.comparison = i;
  }
  if (at == std::string::npos) return Fail(p, 3);
  std::string right = text.substr(at + std::strlen(kComparisons[p.comparison]));
  std::size_t k = FindOutsideQuotes(right, keyword);
  if (k == std::string::npos) return Fail(p, 3);
  tail = right.substr(k + std::strlen(keyword));
  p.a = ScrCompileExpr(ScrTrim(text.substr(0, at)));
  p.b = ScrCompileExpr(ScrTrim(right.substr(0, k)));
  return true;
}

void PlanIf(TPlan& p, const std::string& t) {
  std::string tail;
  if (!PlanCondition(p, t.substr(3), " THEN", tail)) return;
  std::string rest = ScrTrim(tail);
  if (rest.empty()) {
    p.kind = TPlan::kBlockIf;
    return;
  }
  p.kind = TPlan::kIf;
  std::size_t e = FindOutsideQuotes(" " + rest, " ELSE ");
  std::string parts[2] = {e == std::string::npos ? rest : rest.substr(0, e == 0 ? 0 : e - 1),
                          e == std::string::npos ? std::string() : rest.substr(e + 5)};
  for (int i = 0; i < 2; ++i) {
    auto part = std::make_unique<TPlan>();
    std::string s = ScrTrim(parts[i]);
    // No IF after THEN or ELSE.
    if (ScrStarts(s, "IF ")) Fail(*part, 3);
    else Plan(*part, s, false);
    (i == 0 ? p.then : p.otherwise) = std::move(part);
  }
}

void PlanFor(TPlan& p, const std::string& t) {
  std::size_t eq = t.find('=');
  if (eq == std::string::npos) return void(Fail(p, 3));
  p.kind = TPlan::kFor;
  p.text = ScrTrim(t.substr(4, eq - 4));
  std::string rest = t.substr(eq + 1);
  std::size_t to = FindOutsideQuotes(rest, " TO ");
  if (to == std::string::npos) {
    // The variable is still looked up first.
    p.error = 3;
    return;
  }
  p.a = ScrCompileExpr(ScrTrim(rest.substr(0, to)));
  p.b = ScrCompileExpr(ScrTrim(rest.substr(to + 4)));
}

void PlanLet(TPlan& p, const std::string& t) {
  std::size_t eq = FindOutsideQuotes(t, "=");
  if (eq == std::string::npos || eq < 4) return void(Fail(p, 3));
  p.kind = TPlan::kLet;
  p.text = ScrTrim(t.substr(4, eq - 4));
  p.a = ScrCompileExpr(t.substr(eq + 1));
}

// The plan of a statement line; `scriptLine` for a line of the script (a
// label is a line of its own, never the statement after THEN).
void Plan(TPlan& p, const std::string& t, bool scriptLine) {
  p = TPlan{};
  if (scriptLine && EndsAsLabel(t)) {
    if (!WellFormedLabel(t)) Fail(p, 3);
    return;
  }
  if (t.empty() || IsComment(t)) return;
  if (ScrStarts(t, "FOR ")) PlanFor(p, t);
  else if (t == "NEXT") p.kind = TPlan::kNext;
  else if (ScrStarts(t, "WHILE ")) {
    std::string tail;
    if (!PlanCondition(p, t.substr(6), " DO", tail)) return;
    p.kind = TPlan::kWhile;
    if (!ScrTrim(tail).empty()) p.error = 3;  // raised once the condition has been evaluated
  } else if (t == "WEND") p.kind = TPlan::kWend;
  else if (ScrStarts(t, "IF ")) PlanIf(p, t);
  else if (t == "ENDIF") p.kind = TPlan::kEndIf;
  else if (t == "ELSEIF") p.kind = TPlan::kElseIf;
  else if (t == "HALT") p.kind = TPlan::kHalt;
  else if (ScrStarts(t, "GOTO ") || ScrStarts(t, "GOSUB ")) {
    p.kind = t[2] == 'T' ? TPlan::kGoto : TPlan::kGosub;
    p.text = t.substr(p.kind == TPlan::kGoto ? 5 : 6);
  } else if (ScrStarts(t, "RETURN")) {
    if (t != "RETURN") Fail(p, 3);
    else p.kind = TPlan::kReturn;
  } else if (ScrStarts(t, "LET ")) PlanLet(p, t);
  else {
    p.kind = TPlan::kOther;
    p.text = t;
  }
}

// Evaluates a planned condition; false after an error.
bool Holds(TPlan& p, bool& result) {
  if (!ScrEvaluatePrepared(*p.a)) return false;
  uint8_t lt = ScrResultType;
  double ln = ScrNumberResult;
  std::string ls = ScrStringResult;
  if (!ScrEvaluatePrepared(*p.b)) return false;
  if (lt != ScrResultType) return ScriptError(16), false;
  int cmp;
  if (lt == kResultNumber) cmp = ln < ScrNumberResult ? -1 : (ln > ScrNumberResult ? 1 : 0);
  else cmp = ls.compare(ScrStringResult) < 0 ? -1 : (ls == ScrStringResult ? 0 : 1);
  switch (p.comparison) {
    case 0: result = cmp != 0; break;
    case 1:
    case 2: result = cmp <= 0; break;
    case 3:
    case 4: result = cmp >= 0; break;
    case 5: result = cmp < 0; break;
    case 6: result = cmp > 0; break;
    default: result = cmp == 0;
  }
  return true;
}

bool IsBlockIfLine(const std::string& line) {
  return ScrStarts(line, "IF ") && line.size() >= 5 && line.compare(line.size() - 5, 5, " THEN") == 0;
}

// Scans forward from the line after `from` for the ENDIF of a block; stops
// at an ELSEIF of depth 1 when `stopAtElse`. The line found, 0 when none.
uint32_t ScanBlock(uint32_t from, bool stopAtElse, bool& atElse) {
  int depth = 1;
  atElse = false;
  for (uint32_t n = from + 1; n < Run.lineCount; ++n) {
    const std::string& l = Run.lines[n - 1];
    if (IsBlockIfLine(l)) ++depth;
    else if (l == "ENDIF" && --depth == 0) return n;
    else if (stopAtElse && l == "ELSEIF" && depth == 1) {
      atElse = true;
      return n;
    }
  }
  return 0;
}

// The WEND closing the WHILE at `from`, or the WHILE opening the WEND at
// `from`; 0 when none.
uint32_t ScanLoop(uint32_t from, bool forward) {
  int depth = 1;
  if (forward) {
    for (uint32_t n = from + 1; n < Run.lineCount; ++n) {
      const std::string& l = Run.lines[n - 1];
      if (ScrStarts(l, "WHILE ")) ++depth;
      else if (l == "WEND" && --depth == 0) return n;
    }
  } else {
    for (uint32_t n = from - 1; n >= 1; --n) {
      const std::string& l = Run.lines[n - 1];
      if (l == "WEND") ++depth;
      else if (ScrStarts(l, "WHILE ") && --depth == 0) return n;
    }
  }
  return 0;
}

// A plan's jump or block target, found at its first use.
uint32_t Target(TPlan& p, uint32_t (*find)(TPlan&)) {
  if (!p.scanned) {
    p.target = find(p);
    p.scanned = true;
  }
  return p.target;
}

// Finds (or makes) the variable of a LET or FOR once; false after an error.
bool Variable(TPlan& p) {
  if (p.num || p.str) return true;
  return ScrFindOrCreate(p.text, p.num, p.str);
}

void Execute(TPlan& p);

void ExecuteFor(TPlan& p) {
  if (!Variable(p)) return;
  if (!p.num) return ScriptError(3);
  if (p.error) return ScriptError(p.error);
  if (!ScrEvaluatePrepared(*p.a)) return;
  if (ScrResultType != kResultNumber) return ScriptError(3);
  double start = ScrNumberResult;
  if (!ScrEvaluatePrepared(*p.b)) return;
  if (ScrResultType != kResultNumber) return ScriptError(3);
  if (Run.forDepth >= kForDepth) return ScriptError(19);
  Run.fors[Run.forDepth++] = {p.num, ScrNumberResult, ScriptLineNumber};
  *p.num = start;
}

void ExecuteNext() {
  if (Run.forDepth == 0) return ScriptError(20);
  TForFrame& f = Run.fors[Run.forDepth - 1];
  *f.variable += 1.0;
  if (*f.variable <= f.endValue) ScriptLineNumber = f.line;
  else --Run.forDepth;
}

void ExecuteLet(TPlan& p) {
  if (!Variable(p) || !ScrEvaluatePrepared(*p.a)) return;
  if (p.num) {
    if (ScrResultType != kResultNumber) return ScriptError(11);
    *p.num = ScrNumberResult;
  } else {
    if (ScrResultType != kResultString) return ScriptError(11);
    *p.str = ScrCutString(ScrStringResult);
  }
}

void ExecuteIf(TPlan& p) {
  bool ok = false;
  if (!Holds(p, ok)) return;
  if (p.kind == TPlan::kIf) return Execute(ok ? *p.then : *p.otherwise);
  ++Run.ifDepth;
  // True: the block's ENDIF must exist. False: on after its ELSEIF, or at
  // its ENDIF (which runs).
  if (!p.scanned) {
    bool ignored;
    p.endLine = ScanBlock(ScriptLineNumber, false, ignored);
    p.target = ScanBlock(ScriptLineNumber, true, p.atElse);
    p.scanned = true;
  }
  if (ok) {
    if (p.endLine == 0) ScriptError(17);
    return;
  }
  if (p.target == 0) return ScriptError(17);
  ScriptLineNumber = p.atElse ? p.target : p.target - 1;
}

void Execute(TPlan& p) {
  switch (p.kind) {
    case TPlan::kSkip: return;
    case TPlan::kError: return ScriptError(p.error);
    case TPlan::kOther:
      if (ScrExecuteStatement(p.text) || ScrExecuteHostCommand(p.text) || ScrExecuteMenuStatement(p.text)) return;
      return ScriptError(3);
    case TPlan::kLet: return ExecuteLet(p);
    case TPlan::kIf:
    case TPlan::kBlockIf: return ExecuteIf(p);
    case TPlan::kElseIf: {
      // Reached when a true block ends: on at its ENDIF.
      uint32_t n = Target(p, [](TPlan&) {
        bool atElse;
        return ScanBlock(ScriptLineNumber, false, atElse);
      });
      if (n == 0) return ScriptError(18);
      ScriptLineNumber = n - 1;
      return;
    }
    case TPlan::kEndIf:
      if (--Run.ifDepth < 0) {
        Run.ifDepth = 0;
        ScriptError(18);
      }
      return;
    case TPlan::kFor: return ExecuteFor(p);
    case TPlan::kNext: return ExecuteNext();
    case TPlan::kWhile: {
      bool ok = false;
      if (!Holds(p, ok)) return;
      if (p.error) return ScriptError(p.error);
      if (ok) return;
      uint32_t n = Target(p, [](TPlan&) { return ScanLoop(ScriptLineNumber, true); });
      if (n == 0) return ScriptError(31);
      ScriptLineNumber = n;
      return;
    }
    case TPlan::kWend: {
      uint32_t n = Target(p, [](TPlan&) { return ScanLoop(ScriptLineNumber, false); });
      if (n == 0) return ScriptError(32);
      ScriptLineNumber = n - 1;  // the WHILE line runs again
      return;
    }
    case TPlan::kHalt: ScriptLineNumber = Run.lineCount - 1; return;
    case TPlan::kGoto:
    case TPlan::kGosub: {
      uint32_t l = JumpTarget(p.text);
      if (l == 0) return;
      if (p.kind == TPlan::kGosub) {
        if (Run.gosubDepth >= kGosubDepth) return ScriptError(13);
        Run.gosub[Run.gosubDepth++] = ScriptLineNumber;
      }
      ScriptLineNumber = l;
      return;
    }
    case TPlan::kReturn:
      if (Run.gosubDepth == 0) return ScriptError(14);
      ScriptLineNumber = Run.gosub[--Run.gosubDepth];
      return;
  }
}

// Runs a plan; a failure thrown below a statement (printer, files, memory)
// ends the run the ordinary way.
void ExecuteGuarded(TPlan& p) {
  try {
    Execute(p);
  } catch (const std::exception&) {
    ScriptError(3);
  }
}

void Cleanup() {
  ScrFreeVariables();
  ScrCloseFiles();
  Run = TRunState{};
}

}  // namespace

bool ScriptRunActive() { return RunActive.load(); }

std::string ScrTrim(const std::string& s) {
  std::size_t b = s.find_first_not_of(' ');
  if (b == std::string::npos) return {};
  std::size_t e = s.find_last_not_of(' ');
  return s.substr(b, e - b + 1);
}

std::string ScriptErrorText(int code) {
  const char* t = ErrorTexts(code);
  return t ? std::string(t) : "Error #" + std::to_string(code);
}

void ScriptError(int code) { ScriptError(code, std::string()); }

void ScriptError(int code, const std::string& reason) {
  std::string message = ScriptErrorText(code);
  if (!reason.empty()) message += "\r\n" + reason;
  if (code <= 0) {
    ScriptHost().MessageBox(message, "Warning:", platform::MsgButtons::Ok, platform::MsgIcon::Exclamation);
    return;
  }
  // Errors found while preparing name their line too.
  const int line = ScriptLineNumber != 0 ? EditorLineOf(ScriptLineNumber) : Run.errorEditorLine;
  std::string where = line > 0 ? "(error in line#" + std::to_string(line) + ")" : "(pre-processing error)";
  ScriptErrorFlag = 1;
  ScriptStopFlag = 1;
  ScriptHost().MessageBox(where + "\r\n" + message, "Script BASIC error:", platform::MsgButtons::Ok,
                          platform::MsgIcon::Stop);
}

bool ScrRunScript(const std::vector<std::string>& lines, int& stopLine) {
  if (RunActive.exchange(true)) return false;
  stopLine = 0;
  bool any = false;
  for (const std::string& l : lines)
    if (!l.empty()) any = true;
  if (!any) {
    RunActive = false;
    return true;
  }
  TScriptHost& host = ScriptHost();
  host.RunStarted();
  ScriptStopFlag = 0;
  ScriptErrorFlag = 0;
  ScriptPauseFlag = 0;
  ScriptLineNumber = 0;
  std::error_code ec;
  std::filesystem::path folder = std::filesystem::current_path(ec);
  Run = TRunState{};
  ScrAllocVariables();
  ScrInitFiles();
  ScrSeedRandom(uint32_t(std::chrono::steady_clock::now().time_since_epoch().count()));

  if (SplitLines(lines) && ScanLabels()) {
    ScriptLineNumber = 1;
    while (ScriptLineNumber < Run.lineCount) {
      std::unique_ptr<TPlan>& plan = Run.plans[ScriptLineNumber - 1];
      if (!plan) {
        plan = std::make_unique<TPlan>();
        Plan(*plan, Run.lines[ScriptLineNumber - 1], true);
      }
      ExecuteGuarded(*plan);
      ++ScriptLineNumber;
      host.ProcessEvents();
      while (ScriptPauseFlag && !ScriptStopFlag) host.WaitForEvents(50);
      if (ScriptStopFlag || ScriptErrorFlag) break;
    }
    if (ScriptStopFlag) stopLine = EditorLineOf(ScriptLineNumber - 1);
  } else {
    stopLine = Run.errorEditorLine;
  }
  if (ScriptPauseFlag) {
    ScriptPauseFlag = 0;
    host.ResetPauseCommand();
  }
  Cleanup();
  if (!folder.empty()) std::filesystem::current_path(folder, ec);
  host.RunEnded();
  RunActive = false;
  std::vector<std::function<void()>> pending;
  pending.swap(AfterRun);
  for (auto& action : pending) action();
  return true;
}

void ScrStopOnClosedBox() {
  if (!RunActive) return;
  ScriptStopFlag = 1;
  LogLines().AddLine("[Script] The script was stopped in line " + std::to_string(EditorLineOf(ScriptLineNumber)) +
                     ": its message box was closed.");
}

bool ScrStopThen(std::function<void()> action) {
  if (!RunActive) {
    if (action) action();
    return false;
  }
  ScriptStopFlag = 1;
  if (action) AfterRun.push_back(std::move(action));
  return true;
}
