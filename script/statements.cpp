// Script statements that are neither control flow (nor LET, planned with
// it) nor host commands: INPUT, PRINT, the nine file channels, the directory search, the working
// folder and DEL_STR.
#include <QDir>
#include <QStringDecoder>
#include <QStringList>
#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <filesystem>

#include "platform/codec.h"
#include "platform/data_file.h"
#include "script/expr_internal.h"
#include "script/runner.h"
#include "script/script_host.h"

namespace {

constexpr int kChannels = 9;

struct TChannel {
  std::FILE* file = nullptr;
  char mode = 0;  // 'I' or 'O'
};
TChannel Channels[kChannels + 1];

// The directory search: the names still to give, or none open.
bool SearchOpen = false;
QStringList SearchNames;
int SearchNext = 0;

// The answer of the INPUT dialog, kept between uses.
std::string InputAnswer;

bool Fault(int code) {
  ScriptError(code);
  return false;
}

// Every double quote of text entering a script made an apostrophe.
std::string Safe(std::string s) {
  for (char& c : s)
    if (c == '"') c = '\'';
  return s;
}

// Evaluates one item of PRINT or PRINT# as text.
bool ItemText(const std::string& item, std::string& out) {
  if (item.empty()) return Fault(3);
  if (!ScrEvaluate(item)) return false;
  out += ScrResultType == kResultString ? ScrStringResult : ScrFloatToStr(ScrNumberResult);
  return true;
}

void DoPrint(const std::string& line) {
  std::string rest = line.substr(6);
  std::string text;
  bool first = true;
  while (!ScrTrim(rest).empty() || first) {
    rest = ScrTrim(rest);
    if (!first) {
      if (rest[0] != ',') return ScriptError(3);
      rest.erase(0, 1);
    }
    first = false;
    std::string item = ScrNextArg(rest);
    if (ScriptErrorFlag || !ItemText(item, text)) return;
  }
  // Closing the box stops the script (a PRINT loop would open the next one).
  if (ScriptHost().MessageBox(text, "Script Message:", platform::MsgButtons::Ok, platform::MsgIcon::None) ==
      platform::IDCLOSE)
    ScrStopOnClosedBox();
}

void DoInput(const std::string& line) {
  std::string rest = line.substr(6);
  std::string first = ScrNextArg(rest);
  if (ScriptErrorFlag) return;
  std::string prompt, varName = first;
  rest = ScrTrim(rest);
  if (!rest.empty() && rest[0] == ';') return ScriptError(3);
  if (!rest.empty()) {
    if (!ScrEvaluate(first)) return;
    prompt = ScrResultType == kResultString ? ScrStringResult : ScrFloatToStr(ScrNumberResult);
    rest.erase(0, 1);
    varName = ScrNextArg(rest);
    if (ScriptErrorFlag || !ScrArgsEnd(rest)) return;
  }
  bool isString = !varName.empty() && varName.back() == '$';
  double* num = isString ? nullptr : ScrNumberVariable(varName);
  std::string* str = isString ? ScrStringVariable(varName) : nullptr;
  if (!num && !str) return;
  for (;;) {
    if (!ScriptHost().Input(prompt, InputAnswer)) {
      ScriptStopFlag = 1;
      return;
    }
    if (str) {
      *str = ScrCutString(Safe(InputAnswer));
      return;
    }
    double v;
    if (ScrTextToNumber(InputAnswer, v)) {
      *num = v;
      return;
    }
    ScriptError(-1);
  }
}

// A channel number as OPEN# and PRINT# take it: error 3 when it is no
// number, `rangeError` when it is not a whole number 1..9.
int ChannelArg(std::string& rest, int rangeError) {
  rest = ScrTrim(rest);
  std::string arg = ScrNextArg(rest);
  if (ScriptErrorFlag) return 0;
  if (arg.empty() || !ScrEvaluate(arg)) return ScriptErrorFlag ? 0 : (Fault(3), 0);
  if (ScrResultType != kResultNumber) return Fault(3), 0;
  double c = ScrNumberResult;
  if (c != std::trunc(c) || c < 1 || c > kChannels) return Fault(rangeError), 0;
  return int(c);
}

// A string argument of OPEN#: error 52 when it is no string.
bool OpenStringArg(std::string& rest, std::string& value) {
  rest = ScrTrim(rest);
  if (rest.empty() || rest[0] != ',') return Fault(3);
  rest.erase(0, 1);
  std::string arg = ScrNextArg(rest);
  if (ScriptErrorFlag) return false;
  if (arg.empty()) return Fault(3);
  if (!ScrEvaluate(arg)) return false;
  if (ScrResultType != kResultString) return Fault(52);
  value = ScrStringResult;
  return true;
}

void DoOpen(const std::string& line) {
  std::string rest = line.substr(6);
  int c = ChannelArg(rest, 22);
  if (c == 0) return;
  std::string mode, name;
  if (!OpenStringArg(rest, mode) || !OpenStringArg(rest, name) || !ScrArgsEnd(rest)) return;
  if (Channels[c].file) return ScriptError(27);
  char m = mode == "O" || mode == "o" ? 'O' : (mode == "I" || mode == "i" ? 'I' : 0);
  if (!m) return ScriptError(52);
  // Only regular files: the run reads and writes on the GUI thread, where a
  // pipe would hold the program until its other end came, and a device
  // would be read without end.
  std::string why;
  std::FILE* f = m == 'O' ? platform::OpenDataFileToWrite(name, false, &why) : platform::OpenDataFile(name, &why);
  if (!f) return ScriptError(m == 'O' ? 24 : 23, ScrFileRefusal(name, errno, why));
  Channels[c] = {f, m};
}

void DoClose(const std::string& line) {
  std::string rest = line.substr(7);
  int c = ChannelArg(rest, 3);
  if (c == 0 || !ScrArgsEnd(rest)) return;
  if (!Channels[c].file) return ScriptError(25);
  int r = std::fclose(Channels[c].file);
  Channels[c] = {};
  if (r != 0) ScriptError(26);
}

void DoPrintFile(const std::string& line) {
  std::string rest = line.substr(7);
  int c = ChannelArg(rest, 22);
  if (c == 0) return;
  if (!Channels[c].file) return ScriptError(25);
  if (Channels[c].mode != 'O') return ScriptError(30);
  std::string text;
  bool lineEnd = true;
  for (;;) {
    rest = ScrTrim(rest);
    if (rest.empty()) break;
    if (rest[0] == ';') {
      if (rest.size() != 1) return ScriptError(3);
      lineEnd = false;
      break;
    }
    if (rest[0] != ',') return ScriptError(3);
    rest.erase(0, 1);
    std::string item = ScrNextArg(rest);
    if (ScriptErrorFlag || !ItemText(item, text)) return;
  }
  if (lineEnd) text += "\r\n";
  std::FILE* f = Channels[c].file;
  if (std::fwrite(text.data(), 1, text.size(), f) != text.size() || std::fflush(f) != 0) ScriptError(28);
}

// The bytes of a line INPUT# keeps: a byte-order mark and 255 characters
// of at most four bytes each. The rest of a longer line is read past and
// never held, however long the line.
constexpr std::size_t kKeptBytes = 3 + 4 * kScrStringChars;

// Reads one line (CR LF or LF ended) and keeps its first kKeptBytes bytes,
// in `out`; false at the end of the file. `utf8` tells whether the whole
// line is UTF-8 (which decides how the kept bytes are read, as for a short
// line). A UTF-8 byte-order mark at the file's start is no part of its
// first line.
bool ReadLine(std::FILE* f, std::string& out, bool& utf8) {
  out.clear();
  const bool atStart = std::ftell(f) == 0;
  int ch = getc_unlocked(f);
  if (ch == EOF) return false;
  // The line's bytes pass through a decoder in chunks, only to be checked
  // (the decoder decodes only what is made a QString).
  QStringDecoder check(QStringConverter::Utf8);
  char chunk[4096];
  std::size_t held = 0;
  auto pass = [&] {
    const QString checked = check(QByteArrayView(chunk, qsizetype(held)));
    held = 0;
  };
  bool cut = false;
  while (ch != EOF && ch != '\n') {
    if (out.size() < kKeptBytes) out += char(ch);
    else cut = true;
    chunk[held++] = char(ch);
    if (held == sizeof chunk) pass();
    ch = getc_unlocked(f);
  }
  // The line's end completes no character: one left open is no UTF-8.
  chunk[held++] = '\n';
  pass();
  utf8 = !check.hasError();
  if (!cut && !out.empty() && out.back() == '\r') out.pop_back();
  if (atStart && out.rfind("\xEF\xBB\xBF", 0) == 0) out.erase(0, 3);
  return true;
}

void DoInputFile(const std::string& line) {
  std::string rest = line.substr(7);
  int c = ChannelArg(rest, 3);
  if (c == 0) return;
  rest = ScrTrim(rest);
  if (rest.empty() || rest[0] != ',') return ScriptError(3);
  rest.erase(0, 1);
  std::string name = ScrNextArg(rest);
  if (ScriptErrorFlag || !ScrArgsEnd(rest)) return;
  if (!Channels[c].file) return ScriptError(25);
  bool isString = !name.empty() && name.back() == '$';
  double* num = isString ? nullptr : ScrNumberVariable(name);
  std::string* str = isString ? ScrStringVariable(name) : nullptr;
  if (!num && !str) return;
  std::string text;
  bool utf8 = true;
  if (Channels[c].mode != 'I' || !ReadLine(Channels[c].file, text, utf8)) return ScriptError(29);
  // (The kept bytes of a long line may end inside a character, which the
  // cut leaves out.)
  text = ScrCutString(utf8 ? text : platform::Cp1252ToUtf8(text));
  if (str) {
    *str = Safe(text);
    return;
  }
  double v;
  if (!ScrTextToNumber(text, v)) return ScriptError(29);
  *num = v;
}

void EndSearch() {
  SearchOpen = false;
  SearchNames.clear();
  SearchNext = 0;
}

void GiveNext(std::string& var) {
  if (SearchNext < SearchNames.size()) {
    var = ScrCutString(Safe(SearchNames[SearchNext++].toStdString()));
    return;
  }
  var = "NO FILE";
  EndSearch();
}

void DoGetFirst(const std::string& line) {
  std::string rest = line.substr(10);
  std::string pattern;
  if (!ScrGetStringArg(rest, pattern)) return;
  std::string* var = ScrGetStringVarRef(rest);
  if (!var || !ScrArgsEnd(rest)) return;
  EndSearch();
  for (char& ch : pattern)
    if (ch == '\\') ch = '/';
  std::size_t slash = pattern.rfind('/');
  std::string folder = slash == std::string::npos ? "." : pattern.substr(0, slash + 1);
  std::string mask = slash == std::string::npos ? pattern : pattern.substr(slash + 1);
  if (mask == "*.*") mask = "*";  // every name, with or without a point
  QDir dir(QString::fromStdString(folder));
  SearchNames = dir.entryList(QStringList{QString::fromStdString(mask)},
                              QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                              QDir::Name | QDir::IgnoreCase);
  SearchOpen = true;
  GiveNext(*var);
}

void DoGetNext(const std::string& line) {
  std::string rest = line.substr(9);
  std::string* var = ScrGetStringVarRef(rest);
  if (!var || !ScrArgsEnd(rest)) return;
  if (SearchOpen) GiveNext(*var);
}

void DoGetDir(const std::string& line) {
  std::string rest = line.substr(8);
  std::string* var = ScrGetStringVarRef(rest);
  if (!var || !ScrArgsEnd(rest)) return;
  std::error_code ec;
  *var = ScrCutString(Safe(ScrTextFromFile(std::filesystem::current_path(ec).string())));
}

void DoSetDir(const std::string& line) {
  std::string rest = line.substr(8);
  std::string path;
  if (!ScrGetStringArg(rest, path) || !ScrArgsEnd(rest)) return;
  std::error_code ec;
  std::filesystem::current_path(path, ec);  // a failure is not reported
}

void DoDelStr(const std::string& line) {
  std::string rest = line.substr(8);
  std::string* var = ScrGetStringVarRef(rest);
  if (!var) return;
  double start, count;
  if (!ScrGetNumberArg(rest, start) || !ScrGetNumberArg(rest, count) || !ScrArgsEnd(rest)) return;
  start = std::trunc(start);
  count = std::trunc(count);
  if (!(start >= 0 && start <= 255 && count >= 0 && count <= 255)) return ScriptError(51);
  // Positions count characters from 1; nothing happens past the end.
  const std::size_t s = std::size_t(start), chars = platform::CharCount(*var);
  if (s >= 1 && s <= chars) {
    const std::size_t from = platform::CutToChars(*var, s - 1).size();
    const std::size_t length = platform::CutToChars(std::string_view(*var).substr(from), std::size_t(count)).size();
    var->erase(from, length);
  }
}

}  // namespace

std::string ScrFileRefusal(const std::string& name, int error, const std::string& why) {
  return error == ENOENT || why.empty() ? std::string() : "\"" + name + "\": " + why + ".";
}

std::string ScrTextFromFile(const std::string& bytes) {
  QStringDecoder utf8(QStringConverter::Utf8, QStringConverter::Flag::Stateless);
  QString text = utf8(QByteArrayView(bytes.data(), qsizetype(bytes.size())));
  return utf8.hasError() ? platform::Cp1252ToUtf8(bytes) : bytes;
}

void ScrInitFiles() {
  for (TChannel& c : Channels) c = {};
  EndSearch();
}

void ScrCloseFiles() {
  for (TChannel& c : Channels) {
    if (c.file) std::fclose(c.file);
    c = {};
  }
  EndSearch();
}

int ScrChannelEof(int channel) {
  if (channel < 1 || channel > kChannels) return Fault(3), -1;
  std::FILE* f = Channels[channel].file;
  if (!f) return Fault(25), -1;
  if (Channels[channel].mode != 'I') return 1;
  int ch = std::fgetc(f);
  if (ch == EOF) return 1;
  std::ungetc(ch, f);
  return 0;
}

bool ScrExecuteStatement(const std::string& line) {
  if (ScrStarts(line, "INPUT ")) DoInput(line);
  else if (ScrStarts(line, "PRINT ")) DoPrint(line);
  else if (ScrStarts(line, "OPEN# ")) DoOpen(line);
  else if (ScrStarts(line, "CLOSE# ")) DoClose(line);
  else if (ScrStarts(line, "PRINT# ")) DoPrintFile(line);
  else if (ScrStarts(line, "INPUT# ")) DoInputFile(line);
  else if (ScrStarts(line, "GET_FIRST ")) DoGetFirst(line);
  else if (ScrStarts(line, "GET_NEXT ")) DoGetNext(line);
  else if (ScrStarts(line, "GET_DIR ")) DoGetDir(line);
  else if (ScrStarts(line, "SET_DIR ")) DoSetDir(line);
  else if (ScrStarts(line, "DEL_STR ")) DoDelStr(line);
  else return false;
  return true;
}
