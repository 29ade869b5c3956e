// The script runner: preparation of a run (program lines, label table), the
// run loop with its pause and stop flags, the control-flow statements and the
// coded errors.
#include "script/runner.h"

#include <chrono>
#include <exception>
#include <filesystem>

#include "script/script_host.h"

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
// open is error 1 for that line. Characters outside quotes are upper-cased.
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
      cur += c;
    }
    Run.lines.push_back(ScrTrim(cur));
    Run.editorLine.push_back(int(e) + 1);
    if (quoted) {
      Run.errorEditorLine = int(e) + 1;
      ScriptError(1);
      return false;
    }
  }
  Run.lineCount = uint32_t(Run.lines.size()) + 1;
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
std::size_t FindOutsideQuotes(const std::string& s, const std::string& word, std::size_t from = 0) {
  bool quoted = false;
  for (std::size_t i = 0; i < s.size(); ++i) {
    if (s[i] == '"') quoted = !quoted;
    if (!quoted && i >= from && s[i] == word[0] && s.compare(i, word.size(), word) == 0) return i;
  }
  return std::string::npos;
}

// Evaluates a condition "left op right"; `keyword` (" THEN" or " DO") must
// follow the right operand; `tail` receives the text after it.
bool Condition(const std::string& text, const char* keyword, bool& result, std::string& tail) {
  static const char* const ops[] = {"<>", "=<", "<=", "=>", ">=", "<", ">", "="};
  std::size_t at = std::string::npos;
  std::string op;
  for (const char* o : ops) {
    at = FindOutsideQuotes(text, o);
    if (at != std::string::npos) {
      op = o;
      break;
    }
  }
  if (at == std::string::npos) {
    ScriptError(3);
    return false;
  }
  std::string left = ScrTrim(text.substr(0, at));
  std::string right = text.substr(at + op.size());
  std::size_t k = FindOutsideQuotes(right, keyword);
  if (k == std::string::npos) {
    ScriptError(3);
    return false;
  }
  tail = right.substr(k + std::string(keyword).size());
  right = ScrTrim(right.substr(0, k));
  if (!ScrEvaluate(left)) return false;
  uint8_t lt = ScrResultType;
  double ln = ScrNumberResult;
  std::string ls = ScrStringResult;
  if (!ScrEvaluate(right)) return false;
  if (lt != ScrResultType) {
    ScriptError(16);
    return false;
  }
  int cmp;
  if (lt == kResultNumber)
    cmp = ln < ScrNumberResult ? -1 : (ln > ScrNumberResult ? 1 : 0);
  else
    cmp = ls.compare(ScrStringResult) < 0 ? -1 : (ls == ScrStringResult ? 0 : 1);
  if (op == "<>") result = cmp != 0;
  else if (op == "=<" || op == "<=") result = cmp <= 0;
  else if (op == "=>" || op == ">=") result = cmp >= 0;
  else if (op == "<") result = cmp < 0;
  else if (op == ">") result = cmp > 0;
  else result = cmp == 0;
  return true;
}

bool IsBlockIfLine(const std::string& line) {
  return ScrStarts(line, "IF ") && line.size() >= 5 && line.compare(line.size() - 5, 5, " THEN") == 0;
}

void DoFor(const std::string& text) {
  std::size_t eq = text.find('=');
  if (eq == std::string::npos) return ScriptError(3);
  double* var = ScrNumberVariable(ScrTrim(text.substr(4, eq - 4)));
  if (ScriptErrorFlag) return;
  if (!var) return ScriptError(3);
  std::string rest = text.substr(eq + 1);
  std::size_t to = FindOutsideQuotes(rest, " TO ");
  if (to == std::string::npos) return ScriptError(3);
  if (!ScrEvaluate(ScrTrim(rest.substr(0, to)))) return;
  if (ScrResultType != kResultNumber) return ScriptError(3);
  double start = ScrNumberResult;
  if (!ScrEvaluate(ScrTrim(rest.substr(to + 4)))) return;
  if (ScrResultType != kResultNumber) return ScriptError(3);
  if (Run.forDepth >= kForDepth) return ScriptError(19);
  Run.fors[Run.forDepth++] = {var, ScrNumberResult, ScriptLineNumber};
  *var = start;
}

void DoNext() {
  if (Run.forDepth == 0) return ScriptError(20);
  TForFrame& f = Run.fors[Run.forDepth - 1];
  *f.variable += 1.0;
  if (*f.variable <= f.endValue)
    ScriptLineNumber = f.line;
  else
    --Run.forDepth;
}

void DoWhile(const std::string& text) {
  bool ok = false;
  std::string tail;
  if (!Condition(text.substr(6), " DO", ok, tail)) return;
  if (!ScrTrim(tail).empty()) return ScriptError(3);
  if (ok) return;
  int depth = 1;
  for (uint32_t n = ScriptLineNumber + 1; n < Run.lineCount; ++n) {
    const std::string& l = Run.lines[n - 1];
    if (ScrStarts(l, "WHILE ")) ++depth;
    else if (l == "WEND" && --depth == 0) {
      ScriptLineNumber = n;
      return;
    }
  }
  ScriptError(31);
}

void DoWend() {
  int depth = 1;
  for (uint32_t n = ScriptLineNumber - 1; n >= 1; --n) {
    const std::string& l = Run.lines[n - 1];
    if (l == "WEND") ++depth;
    else if (ScrStarts(l, "WHILE ") && --depth == 0) {
      ScriptLineNumber = n - 1;  // the WHILE line runs again
      return;
    }
  }
  ScriptError(32);
}

// Scans forward from the line after the current one for the ENDIF of a
// block; stops at an ELSEIF of depth 1 when `stopAtElse`. The line found,
// 0 when there is none.
uint32_t ScanBlock(bool stopAtElse, bool& atElse) {
  int depth = 1;
  atElse = false;
  for (uint32_t n = ScriptLineNumber + 1; n < Run.lineCount; ++n) {
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

void DoIf(const std::string& text) {
  bool ok = false;
  std::string tail;
  if (!Condition(text.substr(3), " THEN", ok, tail)) return;
  std::string rest = ScrTrim(tail);
  if (rest.empty()) {
    bool atElse = false;
    ++Run.ifDepth;
    if (ok) {
      if (ScanBlock(false, atElse) == 0) ScriptError(17);
      return;
    }
    uint32_t n = ScanBlock(true, atElse);
    if (n == 0) return ScriptError(17);
    // At ELSEIF: continue after it; at ENDIF: continue at it (it runs).
    ScriptLineNumber = atElse ? n : n - 1;
    return;
  }
  std::size_t e = FindOutsideQuotes(" " + rest, " ELSE ");
  std::string thenPart = e == std::string::npos ? rest : rest.substr(0, e == 0 ? 0 : e - 1);
  std::string elsePart = e == std::string::npos ? std::string() : rest.substr(e + 5);
  std::string part = ScrTrim(ok ? thenPart : elsePart);
  if (part.empty()) return;
  if (ScrStarts(part, "IF ")) return ScriptError(3);
  ScrExecuteLine(part);
}

void DoElseIf() {
  bool atElse = false;
  uint32_t n = ScanBlock(false, atElse);
  if (n == 0) return ScriptError(18);
  ScriptLineNumber = n - 1;
}

// Control-flow statements; false when the line is none of them.
bool ExecuteControl(const std::string& t) {
  if (ScrStarts(t, "FOR ")) DoFor(t);
  else if (t == "NEXT") DoNext();
  else if (ScrStarts(t, "WHILE ")) DoWhile(t);
  else if (t == "WEND") DoWend();
  else if (ScrStarts(t, "IF ")) DoIf(t);
  else if (t == "ENDIF") {
    if (--Run.ifDepth < 0) {
      Run.ifDepth = 0;
      ScriptError(18);
    }
  } else if (t == "ELSEIF") DoElseIf();
  else if (t == "HALT") ScriptLineNumber = Run.lineCount - 1;
  else if (ScrStarts(t, "GOTO ")) {
    if (uint32_t l = JumpTarget(t.substr(5))) ScriptLineNumber = l;
  } else if (ScrStarts(t, "GOSUB ")) {
    uint32_t l = JumpTarget(t.substr(6));
    if (l == 0) return true;
    if (Run.gosubDepth >= kGosubDepth) return ScriptError(13), true;
    Run.gosub[Run.gosubDepth++] = ScriptLineNumber;
    ScriptLineNumber = l;
  } else if (ScrStarts(t, "RETURN")) {
    if (t != "RETURN") return ScriptError(3), true;
    if (Run.gosubDepth == 0) return ScriptError(14), true;
    ScriptLineNumber = Run.gosub[--Run.gosubDepth];
  } else
    return false;
  return true;
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

void ScriptError(int code) {
  std::string message = ScriptErrorText(code);
  if (code <= 0) {
    ScriptHost().MessageBox(message, "Warning:", platform::MsgButtons::Ok, platform::MsgIcon::Exclamation);
    return;
  }
  std::string where = ScriptLineNumber != 0
                          ? "(error in line#" + std::to_string(EditorLineOf(ScriptLineNumber)) + ")"
                          : std::string("(pre-processing error)");
  ScriptErrorFlag = 1;
  ScriptStopFlag = 1;
  ScriptHost().MessageBox(where + "\r\n" + message, "Script BASIC error:", platform::MsgButtons::Ok,
                          platform::MsgIcon::Stop);
}

void ScrExecuteLine(const std::string& text) {
  if (IsComment(text)) return;
  try {
    if (ExecuteControl(text)) return;
    if (ScrExecuteStatement(text)) return;
    if (ScrExecuteHostCommand(text)) return;
    if (ScrExecuteMenuStatement(text)) return;
  } catch (const std::exception&) {
    // A failure thrown below a statement (printer, files) ends the run the
    // ordinary way.
    ScriptError(3);
    return;
  }
  ScriptError(3);
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
      const std::string& line = Run.lines[ScriptLineNumber - 1];
      if (EndsAsLabel(line)) {
        if (!WellFormedLabel(line)) ScriptError(3);
      } else if (!line.empty()) {
        ScrExecuteLine(line);
      }
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

bool ScrStopThen(std::function<void()> action) {
  if (!RunActive) {
    if (action) action();
    return false;
  }
  ScriptStopFlag = 1;
  if (action) AfterRun.push_back(std::move(action));
  return true;
}
