// Script values: the variable tables, the text evaluator (names and function
// calls expanded into the text of their values, then string and numeric
// expressions parsed), the built-in functions, number texts and the argument
// routines of the statements. Expressions are prepared once (compiled.cpp);
// the text evaluator takes what the compiled form does not.
#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <numbers>
#include <unordered_map>

#include "astro/observer.h"
#include "astro/riseset.h"
#include "astro/text.h"
#include "astro/timescales.h"
#include "astro/trig.h"
#include "platform/codec.h"
#include "script/expr_internal.h"
#include "script/runner.h"
#include "script/script_host.h"

uint8_t ScrResultType = kResultNone;
double ScrNumberResult = 0;
std::string ScrStringResult;

namespace {

constexpr std::size_t kNumericVariables = 1024;
constexpr std::size_t kStringVariables = 128;
constexpr std::size_t kNameChars = 9;
// Distinct expression texts kept prepared in one run before starting afresh.
constexpr std::size_t kPreparedTexts = 4096;

struct TNumVar {
  std::string name;
  double value;
};
struct TStrVar {
  std::string name;
  std::string value;
};

// Storage is reserved once per run, so references into it stay valid.
std::vector<TNumVar> NumVars;
std::vector<TStrVar> StrVars;
uint32_t RandomSeed = 1;
// The expressions of this run by their text, each prepared once.
std::unordered_map<std::string, std::unique_ptr<TScrExpr>> Prepared;

std::string Upper(std::string s) {
  for (char& c : s)
    if (c >= 'a' && c <= 'z') c = char(c - 'a' + 'A');
  return s;
}

// Cuts a variable name to its significant characters; "" when it is bad.
std::string VariableKey(const std::string& raw, bool& isString) {
  std::string name = Upper(ScrTrim(raw));
  if (name.empty() || ScrIsOperatorWord(name)) return {};
  for (char c : name)
    if (ScrIsNameDelimiter(c) || c == '"') return {};
  isString = name.back() == '$';
  if (isString && name.size() > kNameChars) name = name.substr(0, kNameChars - 1) + "$";
  if (!isString && name.size() > kNameChars) name.resize(kNameChars);
  return name;
}

// A string value as it enters expanded text: in double quotes, with every
// double quote inside made an apostrophe (the text must stay parseable).
std::string Quoted(const std::string& v) {
  std::string out = "\"";
  for (char c : v) out += c == '"' ? '\'' : c;
  out += '"';
  return out;
}

bool Fault(int code) {
  ScriptError(code);
  return false;
}

// --- Numeric descent over expanded text --------------------------------------------

struct TDescent {
  const std::string& s;
  std::size_t p = 0;
  int depth = 0;  // open parentheses

  void Blanks() {
    while (p < s.size() && s[p] == ' ') ++p;
  }
  bool Peek(char c) {
    Blanks();
    return p < s.size() && s[p] == c;
  }
  // The operator word at the position, "" when none.
  std::string Word() {
    Blanks();
    std::size_t q = p;
    while (q < s.size() && ScrIsNameStart(s[q])) ++q;
    std::string w = s.substr(p, q - p);
    return ScrIsOperatorWord(w) ? w : std::string();
  }

  bool WordLevel(double& v) {
    if (!Sum(v)) return false;
    for (;;) {
      std::string w = Word();
      if (w.empty()) return true;
      p += w.size();
      double r;
      if (!Sum(r)) return false;
      if (!(std::fabs(v) <= 32767 && std::fabs(r) <= 32767)) {
        v = 0;
        return Fault(5);
      }
      int a = int(v), b = int(r);
      if (w == "OR") v = a | b;
      else if (w == "XOR") v = a ^ b;
      else if (w == "AND") v = a & b;
      else {
        if (b == 0) {
          v = 0;
          return Fault(4);
        }
        v = a % b;
      }
    }
  }
  bool Sum(double& v) {
    if (!Product(v)) return false;
    while (Peek('+') || Peek('-')) {
      char op = s[p++];
      double r;
      if (!Product(r)) return false;
      v = op == '+' ? v + r : v - r;
      if (!std::isfinite(v)) return v = 0, Fault(5);
    }
    return true;
  }
  bool Product(double& v) {
    if (!Power(v)) return false;
    while (Peek('*') || Peek('/')) {
      char op = s[p++];
      double r;
      if (!Power(r)) return false;
      if (op == '/' && r == 0) return v = 0, Fault(4);
      v = op == '*' ? v * r : v / r;
      if (!std::isfinite(v)) return v = 0, Fault(5);
    }
    return true;
  }
  bool Power(double& v) {
    if (!Unary(v)) return false;
    if (!Peek('^')) return true;
    ++p;
    double e;
    if (!Unary(e)) return false;
    // The exponent counts whole times.
    double n = std::trunc(e);
    if (v == 0 && n < 0) return v = 0, Fault(4);
    v = std::pow(v, n);
    if (!std::isfinite(v)) return v = 0, Fault(5);
    return true;
  }
  // Signs before an operand, counted rather than recursed into.
  bool Unary(double& v) {
    bool negative = false;
    while (Peek('+') || Peek('-')) negative ^= s[p++] == '-';
    if (!Primary(v)) return false;
    if (negative) v = -v;
    return true;
  }
  bool Primary(double& v) {
    Blanks();
    if (p >= s.size()) return Fault(3);
    if (s[p] == '(') {
      if (++depth > kMaxNesting) return Fault(kNestingError);
      ++p;
      if (!WordLevel(v)) return false;
      if (!Peek(')')) return Fault(3);
      ++p;
      --depth;
      return true;
    }
    if (!((s[p] >= '0' && s[p] <= '9') || s[p] == '.')) return Fault(3);
    std::size_t q = p;
    while (q < s.size() && !std::strchr(" +-/*%^=()", s[q])) {
      if (s[q] == 'E' && q + 1 < s.size() && (s[q + 1] == '+' || s[q + 1] == '-')) ++q;
      ++q;
    }
    const char* b = s.data() + p;
    const char* e = s.data() + q;
    // "1." and ".5" are numbers too.
    auto r = std::from_chars(b, e, v);
    if (r.ec != std::errc() || r.ptr != e) return Fault(3);
    p = q;
    return true;
  }
};

bool EvalNumber(const std::string& text, double& v) {
  static const char* const bad = "@~`!#$%&{}[]|\\:;\"'<>,?";
  if (text.find_first_of(bad) != std::string::npos) return Fault(3);
  // Parentheses must balance.
  int depth = 0;
  for (char c : text) {
    if (c == '(') ++depth;
    if (c == ')' && --depth < 0) return Fault(3);
  }
  if (depth != 0) return Fault(3);
  TDescent d{text};
  if (!d.WordLevel(v)) return v = 0, false;
  d.Blanks();
  if (d.p != text.size()) return v = 0, Fault(3);
  return true;
}

bool EvalString(const std::string& text, std::string& out) {
  out.clear();
  bool quoted = false;
  for (char c : text) {
    if (c == '"') {
      quoted = !quoted;
      continue;
    }
    if (quoted) out += c;
    else if (c != ' ' && c != '+') return Fault(3);
  }
  if (quoted) return Fault(3);
  out = ScrCutString(std::move(out));
  return true;
}

// Evaluates already expanded text.
bool EvalExpanded(const std::string& text) {
  std::string t = ScrTrim(text);
  if (!t.empty() && t[0] == '"') {
    if (!EvalString(t, ScrStringResult)) return false;
    ScrResultType = kResultString;
    return true;
  }
  double v = 0;
  if (!EvalNumber(t, v)) return false;
  ScrNumberResult = v;
  ScrResultType = kResultNumber;
  return true;
}

// Splits "(a, b, ...)" at commas outside quotes and parentheses and
// evaluates each part; at most six.
bool Subscripts(const std::string& arg, TScrArgs& a) {
  std::string t = ScrTrim(arg);
  if (t.size() < 2 || t.front() != '(' || t.back() != ')') return Fault(3);
  t = t.substr(1, t.size() - 2);
  std::vector<std::string> parts;
  std::string cur;
  bool quoted = false;
  int depth = 0;
  for (char c : t) {
    if (c == '"') quoted = !quoted;
    if (!quoted && c == '(') ++depth;
    if (!quoted && c == ')') --depth;
    if (!quoted && depth == 0 && c == ',') {
      parts.push_back(cur);
      cur.clear();
    } else {
      cur += c;
    }
  }
  parts.push_back(cur);
  if (parts.size() > std::size_t(kScrMaxArguments)) return Fault(3);
  a.count = int(parts.size());
  for (int i = 0; i < a.count; ++i) {
    if (!EvalExpanded(parts[i])) return false;
    a.type[i] = ScrResultType;
    a.num[i] = ScrNumberResult;
    a.str[i] = ScrStringResult;
  }
  return true;
}

bool Whole(double v, double lo, double hi) { return v == std::trunc(v) && v >= lo && v <= hi; }

// Checks argument count and kinds: `kinds` holds 'N' or 'S' per argument.
bool Kinds(const TScrArgs& a, const char* kinds) {
  if (a.count != int(std::strlen(kinds))) return Fault(3);
  for (int i = 0; i < a.count; ++i)
    if (a.type[i] != (kinds[i] == 'N' ? kResultNumber : kResultString)) return Fault(3);
  return true;
}

// The built-in functions by (upper-case) name.
const std::unordered_map<std::string, TFn>& FunctionTable() {
  static const std::unordered_map<std::string, TFn> table = {
      {"COS", TFn::kCOS},       {"SIN", TFn::kSIN},       {"TAN", TFn::kTAN},
      {"ACOS", TFn::kACOS},     {"ASIN", TFn::kASIN},     {"ATAN", TFn::kATAN},
      {"LN", TFn::kLN},         {"LOG", TFn::kLOG},       {"SQRT", TFn::kSQRT},
      {"ABS", TFn::kABS},       {"FRAC", TFn::kFRAC},     {"INT", TFn::kINT},
      {"ROUND", TFn::kROUND},   {"RND", TFn::kRND},       {"ATAN2", TFn::kATAN2},
      {"EOF", TFn::kEOF},       {"JULIAN", TFn::kJULIAN}, {"RISE_LMT", TFn::kRISELMT},
      {"TRANS_LMT", TFn::kTRANSLMT}, {"SET_LMT", TFn::kSETLMT}, {"LEN", TFn::kLEN},
      {"VAL", TFn::kVAL},       {"LEFT$", TFn::kLEFTS},   {"RIGHT$", TFn::kRIGHTS},
      {"MID$", TFn::kMIDS},     {"CHR$", TFn::kCHRS},     {"STR$", TFn::kSTRS},
      {"HM_STR$", TFn::kHMSTRS}, {"DD_STR$", TFn::kDDSTRS},
  };
  return table;
}

// Characters `from` (0-based) to `from + count` of a UTF-8 text.
std::string Characters(const std::string& s, std::size_t from, std::size_t count) {
  std::size_t skip = platform::CutToChars(s, from).size();
  return platform::CutToChars(std::string_view(s).substr(skip), count);
}

// The value of one name with its (expanded) argument text, as text.
bool CallFunction(const std::string& name, const std::string& arg, std::string& out) {
  const TFn fn = ScrFunctionOf(name);
  if (fn == TFn::kNone) {
    // A variable.
    if (!arg.empty()) return Fault(10);
    double* n;
    std::string* s;
    if (!ScrFindOrCreate(name, n, s)) return false;
    out = n ? ScrExponentForm(*n) : Quoted(*s);
    return true;
  }
  TScrArgs a;
  if (ScrTakesOneNumber(fn)) {
    if (!EvalNumber(arg, a.num[0])) return false;
    a.count = 1;
    a.type[0] = kResultNumber;
  } else if (!Subscripts(arg, a) || !Kinds(a, ScrFunctionKinds(fn))) {
    return false;
  }
  uint8_t type;
  double num;
  std::string str;
  if (!ScrApplyFunction(fn, a, type, num, str)) return false;
  out = type == kResultNumber ? ScrExponentForm(num) : Quoted(str);
  return true;
}

// Replaces every name outside quotes by the text of its value; `depth`
// counts the bracketed groups around the text.
bool ExpandInto(const std::string& text, std::string& out, int depth) {
  if (depth > kMaxNesting) return Fault(kNestingError);
  out.clear();
  out.reserve(text.size() + 32);
  bool quoted = false;
  std::size_t i = 0;
  while (i < text.size()) {
    char c = text[i];
    if (c == '"') quoted = !quoted;
    bool start = !quoted && ScrIsNameStart(c) && (i == 0 || ScrIsNameDelimiter(text[i - 1]));
    if (!start) {
      out += c;
      ++i;
      continue;
    }
    std::size_t j = i;
    while (j < text.size() && ScrIsNameChar(text[j])) ++j;
    std::string name = text.substr(i, j - i);
    if (ScrIsOperatorWord(name)) {
      out += name;
      i = j;
      continue;
    }
    std::string arg;
    if (j < text.size() && text[j] == '(') {
      // The balanced group, quotes skipped.
      int open = 0;
      bool q = false;
      std::size_t k = j;
      for (; k < text.size(); ++k) {
        if (text[k] == '"') q = !q;
        if (q) continue;
        if (text[k] == '(') ++open;
        if (text[k] == ')' && --open == 0) break;
      }
      if (k >= text.size()) return Fault(3);
      std::string raw = text.substr(j, k - j + 1);
      if (!ExpandInto(raw, arg, depth + 1)) return false;
      j = k + 1;
    }
    std::string value;
    if (!CallFunction(Upper(name), arg, value)) return false;
    out += value;
    i = j;
  }
  return true;
}

}  // namespace

// --- Names and variables ------------------------------------------------------------

bool ScrIsNameStart(char c) { return (c >= 'A' && c <= 'Z') || c == '_'; }
bool ScrIsNameChar(char c) { return ScrIsNameStart(c) || (c >= '0' && c <= '9') || c == '$'; }
bool ScrIsNameDelimiter(char c) { return c != '\0' && std::strchr(" %()*+,-/=^", c) != nullptr; }
bool ScrIsOperatorWord(const std::string& n) { return n == "AND" || n == "OR" || n == "XOR" || n == "MOD"; }

bool ScrFindOrCreate(const std::string& raw, double*& num, std::string*& str) {
  num = nullptr;
  str = nullptr;
  bool isString = false;
  std::string key = VariableKey(raw, isString);
  if (key.empty()) return Fault(3);
  if (isString) {
    for (TStrVar& v : StrVars)
      if (v.name == key) return (str = &v.value), true;
  } else {
    for (TNumVar& v : NumVars)
      if (v.name == key) return (num = &v.value), true;
  }
  if (NumVars.size() >= kNumericVariables || StrVars.size() >= kStringVariables) return Fault(10);
  if (isString) {
    StrVars.push_back({key, {}});
    str = &StrVars.back().value;
  } else {
    NumVars.push_back({key, 0.0});
    num = &NumVars.back().value;
  }
  return true;
}

std::vector<std::string> ScrFunctionNames() {
  std::vector<std::string> names;
  for (const auto& [name, fn] : FunctionTable()) names.push_back(name);
  std::sort(names.begin(), names.end());
  return names;
}

void ScrAllocVariables() {
  NumVars.clear();
  StrVars.clear();
  NumVars.reserve(kNumericVariables);
  StrVars.reserve(kStringVariables);
  NumVars.push_back({"PI", 3.141592653589793});
  NumVars.push_back({"PI2", 6.283185307179586});
  NumVars.push_back({"RAD", 57.29577951308232});
  Prepared.clear();  // they hold cells of the tables
  ScrResultType = kResultNone;
}

void ScrFreeVariables() {
  Prepared.clear();
  NumVars = {};
  StrVars = {};
}

double* ScrNumberVariable(const std::string& name) {
  double* n;
  std::string* s;
  if (!ScrFindOrCreate(name, n, s)) return nullptr;
  return n;
}

std::string* ScrStringVariable(const std::string& name) {
  double* n;
  std::string* s;
  if (!ScrFindOrCreate(name, n, s)) return nullptr;
  return s;
}

void ScrSeedRandom(uint32_t seed) { RandomSeed = seed; }

uint32_t ScrRandom(uint32_t n) {
  RandomSeed = RandomSeed * 134775813u + 1u;
  return uint32_t((uint64_t(RandomSeed) * n) >> 32);
}

// --- Built-in functions -----------------------------------------------------------------

TFn ScrFunctionOf(const std::string& name) {
  const auto& table = FunctionTable();
  auto it = table.find(name);
  return it == table.end() ? TFn::kNone : it->second;
}

const char* ScrFunctionKinds(TFn fn) {
  switch (fn) {
    case TFn::kATAN2:
    case TFn::kRISELMT:
    case TFn::kTRANSLMT:
    case TFn::kSETLMT: return "NN";
    case TFn::kJULIAN: return "NNN";
    case TFn::kLEN:
    case TFn::kVAL: return "S";
    case TFn::kLEFTS:
    case TFn::kRIGHTS: return "SN";
    case TFn::kMIDS: return "SNN";
    default: return "N";
  }
}

bool ScrApplyFunction(TFn fn, const TScrArgs& a, uint8_t& type, double& num, std::string& str) {
  auto number = [&](double v) {
    if (!std::isfinite(v)) return Fault(5);
    type = kResultNumber;
    num = v;
    return true;
  };
  auto text = [&](std::string s) {
    type = kResultString;
    str = std::move(s);
    return true;
  };
  const double x = a.num[0];
  switch (fn) {
    case TFn::kCOS: return number(std::cos(x));
    case TFn::kSIN: return number(std::sin(x));
    case TFn::kTAN:
      if (x == std::numbers::pi / 2 || x == 3 * std::numbers::pi / 2) return Fault(21);
      return number(std::sin(x) / std::cos(x));
    case TFn::kACOS:
    case TFn::kASIN:
      if (!(std::fabs(x) <= 1)) return Fault(21);
      return number(fn == TFn::kACOS ? std::acos(x) : std::asin(x));
    case TFn::kATAN: return number(std::atan(x));
    case TFn::kLN:
    case TFn::kLOG:
      if (!(x > 0)) return Fault(21);
      return number(fn == TFn::kLN ? std::log(x) : std::log(x) / std::log(10.0));
    case TFn::kSQRT:
      if (!(x >= 0)) return Fault(21);
      return number(std::sqrt(x));
    case TFn::kABS: return number(std::fabs(x));
    case TFn::kFRAC: return number(x - std::trunc(x));
    case TFn::kINT: return number(std::trunc(x));
    case TFn::kROUND:
      if (!(std::fabs(x) <= 2147483647.0)) return Fault(21);
      return number(std::nearbyint(x));
    case TFn::kRND:
      if (!(x >= 0 && x <= 65535)) return Fault(21);
      return number(double(ScrRandom(uint32_t(x))));
    case TFn::kATAN2: return number(ArcTan2R(a.num[0], a.num[1]));
    case TFn::kEOF: {
      if (!Whole(x, 1, 9)) return Fault(3);
      int r = ScrChannelEof(int(x));
      return r < 0 ? false : number(r);
    }
    case TFn::kJULIAN:
      if (!Whole(a.num[0], -2000, 3000) || !Whole(a.num[1], 1, 12) || !(a.num[2] >= 0 && a.num[2] < 32))
        return Fault(51);
      return number(JulianDay(a.num[0], a.num[1], a.num[2], 0));
    case TFn::kRISELMT:
    case TFn::kTRANSLMT:
    case TFn::kSETLMT: {
      double rise, transit, set;
      RiseTransitSetLocal(ScriptHost().Observer(), a.num[0], a.num[1], kStarStandardAltitude, rise, transit, set);
      return number(fn == TFn::kRISELMT ? rise : fn == TFn::kSETLMT ? set : transit);
    }
    case TFn::kLEN: return number(double(platform::CharCount(a.str[0])));
    case TFn::kVAL: {
      double v;
      if (!ScrTextToNumber(a.str[0], v)) return Fault(3);
      return number(v);
    }
    case TFn::kLEFTS:
    case TFn::kRIGHTS: {
      if (!Whole(a.num[1], 0, 255)) return Fault(3);
      const std::size_t n = std::size_t(a.num[1]), chars = platform::CharCount(a.str[0]);
      if (fn == TFn::kLEFTS) return text(platform::CutToChars(a.str[0], n));
      return text(n >= chars ? a.str[0] : Characters(a.str[0], chars - n, n));
    }
    case TFn::kMIDS:
      if (!Whole(a.num[1], 0, 255) || !Whole(a.num[2], 0, 255)) return Fault(3);
      // Positions count from 1; position 0 reads as 1, past the end gives "".
      return text(Characters(a.str[0], std::max<std::size_t>(std::size_t(a.num[1]), 1) - 1, std::size_t(a.num[2])));
    case TFn::kCHRS:
      // Codes 128 to 255 are those of Windows-1252 (Latin-1): CHR$(176) is "°".
      if (!Whole(x, 0, 255)) return Fault(3);
      return text(platform::Cp1252ToUtf8(std::string(1, char(int(x)))));
    case TFn::kSTRS: return text(ScrFloatToStr(x));
    case TFn::kHMSTRS: return text(FormatHoursHM(x));
    case TFn::kDDSTRS: return text(FormatDegMin(x));
    case TFn::kNone: break;
  }
  return Fault(10);
}

// --- Evaluation and number texts ----------------------------------------------------------

bool ScrEvaluateText(const std::string& text) {
  std::string expanded;
  if (!ExpandInto(text, expanded, 0)) return false;
  return EvalExpanded(expanded);
}

bool ScrEvaluate(const std::string& text) {
  auto it = Prepared.find(text);
  if (it == Prepared.end()) {
    if (Prepared.size() >= kPreparedTexts) Prepared.clear();
    it = Prepared.emplace(text, ScrCompileExpr(text)).first;
  }
  return ScrEvaluatePrepared(*it->second);
}

namespace {
// The exponent form without its leading blank; its length.
std::size_t ExponentChars(double x, char* out) {
  if (!std::isfinite(x)) {
    // Not a number the arithmetic can read back.
    const char* t = std::isnan(x) ? "NAN" : x > 0 ? "INF" : "-INF";
    std::strcpy(out, t);
    return std::strlen(t);
  }
  // "1.50000000000000e+00" from the library; the form has an upper-case
  // 'E' and 4 exponent digits.
  char buf[40];
  auto r = std::to_chars(buf, buf + sizeof buf, x, std::chars_format::scientific, 14);
  char* e = std::find(buf, r.ptr, 'e');
  std::size_t n = std::size_t(e - buf);
  std::memcpy(out, buf, n);
  int exp = 0;
  std::from_chars(e + 2, r.ptr, exp);
  const char tail[6] = {'E', e[1], char('0' + exp / 1000 % 10), char('0' + exp / 100 % 10),
                        char('0' + exp / 10 % 10), char('0' + exp % 10)};
  std::memcpy(out + n, tail, 6);
  return n + 6;
}
}  // namespace

std::string ScrExponentForm(double x) {
  char buf[48];
  std::size_t n = ExponentChars(x, buf);
  return buf[0] == '-' ? std::string(buf, n) : " " + std::string(buf, n);
}

namespace {
// As the descent reads the exponent text: a sign, then the number token.
bool RoundTripText(double x, double& out) {
  char buf[48];
  std::size_t n = ExponentChars(x, buf);
  const char* b = buf[0] == '-' ? buf + 1 : buf;
  if (!((*b >= '0' && *b <= '9') || *b == '.')) return false;
  auto r = std::from_chars(b, buf + n, out);
  if (r.ec != std::errc() || r.ptr != buf + n) return false;
  if (buf[0] == '-') out = -out;
  return true;
}
}  // namespace

bool ScrRoundTrip(double x, double& out) {
  // The same value as RoundTripText, without the text where that is quick:
  // a whole number below 10^15 is its own 15-digit text; otherwise the 15
  // digits N = x / 10^k rounded to nearest are found in extended precision
  // (one rounding, so within 2^-64 relative) and N × 10^k, both exact
  // doubles for |k| <= 22, is the correctly rounded value the parser gives.
  // Near a tie, and outside that range, the text decides.
  static constexpr double kPow10[23] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,  1e8,  1e9,  1e10, 1e11,
                                        1e12, 1e13, 1e14, 1e15, 1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};
  if (!std::isfinite(x)) return false;
  const double ax = std::fabs(x);
  if (ax < 1e15 && ax == std::trunc(ax)) {
    out = x;
    return true;
  }
  if (ax == 0) return RoundTripText(x, out);
  int k = ((std::ilogb(ax) * 78913) >> 18) - 14;  // floor(log10(2) × exponent) - 14, within one
  long double y = 0;
  for (int pass = 0; pass < 3 && k >= -22 && k <= 22; ++pass) {
    y = k >= 0 ? (long double)ax / (long double)kPow10[k] : (long double)ax * (long double)kPow10[-k];
    if (y < 1e14L) --k;
    else if (y >= 1e15L) ++k;
    else break;
  }
  if (!(y >= 1e14L && y < 1e15L) || k < -22 || k > 22) return RoundTripText(x, out);
  const long double whole = std::floor(y), fraction = y - whole;
  if (std::fabs(fraction - 0.5L) < 1e-4L) return RoundTripText(x, out);
  uint64_t digits = uint64_t(whole) + (fraction > 0.5L ? 1 : 0);
  if (digits == 1000000000000000ull) {
    digits = 100000000000000ull;
    if (++k > 22) return RoundTripText(x, out);
  }
  const double v = k >= 0 ? double(digits) * kPow10[k] : double(digits) / kPow10[-k];
  out = std::signbit(x) ? -v : v;
  return true;
}

std::string ScrCutString(std::string s) {
  if (s.size() > kScrStringChars) s = platform::CutToChars(s, kScrStringChars);
  return s;
}

bool ScrTextToNumber(const std::string& text, double& v) {
  std::string t = ScrTrim(text);
  const char* b = t.data();
  const char* e = b + t.size();
  if (b != e && *b == '+') ++b;
  if (b == e || *b == '+' || (*b == '-' && b != t.data())) return false;
  double parsed;
  auto r = std::from_chars(b, e, parsed);
  if (r.ec != std::errc() || r.ptr != e || !std::isfinite(parsed)) return false;
  v = parsed;
  return true;
}

std::string ScrFloatToStr(double x) {
  if (x == 0) x = 0;  // no "-0"
  double ax = std::fabs(x);
  if (!std::isfinite(x) || ax > 1e11 || (x != 0 && ax < 1e-11)) return ScrExponentForm(x);
  // Fifteen significant digits, no more than 20 decimals.
  int intDigits = ax >= 1 ? int(std::floor(std::log10(ax))) + 1 : 0;
  int decimals = std::clamp(15 - intDigits, 0, 20);
  if (ax < 1 && x != 0) decimals = std::clamp(15 - int(std::floor(std::log10(ax))) - 1, 0, 20);
  char buf[64];
  auto r = std::to_chars(buf, buf + sizeof buf, x, std::chars_format::fixed, decimals);
  std::string s(buf, r.ptr);
  if (s.find('.') != std::string::npos) {
    while (s.back() == '0') s.pop_back();
    if (s.back() == '.') s.pop_back();
  }
  if (s == "-0") s = "0";
  while (s.size() > 1 && s[0] == '0') s.erase(0, 1);
  return s;
}

// --- Argument routines ---------------------------------------------------------------------

std::string ScrNextArg(std::string& rest) {
  bool quoted = false;
  int depth = 0;
  std::size_t i = 0;
  for (; i < rest.size(); ++i) {
    char c = rest[i];
    if (c == '"') quoted = !quoted;
    if (quoted) continue;
    if (c == '(') ++depth;
    if (c == ')') --depth;
    if (depth == 0 && (c == ',' || c == ';')) break;
  }
  if (quoted || depth != 0) {
    ScriptError(3);
    return {};
  }
  std::string arg = ScrTrim(rest.substr(0, i));
  rest = rest.substr(i);
  return arg;
}

namespace {
// Drops the ',' before an argument; a ';' there is error 3.
bool DropComma(std::string& rest) {
  rest = ScrTrim(rest);
  if (!rest.empty() && rest[0] == ';') return Fault(3);
  if (!rest.empty() && rest[0] == ',') rest.erase(0, 1);
  return true;
}

// Takes the next argument off `rest` and evaluates it; a missing argument
// or a result of the other type is error 3.
bool EvaluateNextArg(std::string& rest, int resultType) {
  if (!DropComma(rest)) return false;
  std::string arg = ScrNextArg(rest);
  if (ScriptErrorFlag) return false;
  if (arg.empty()) return Fault(3);
  if (!ScrEvaluate(arg)) return false;
  if (ScrResultType != resultType) return Fault(3);
  return true;
}

// The next argument as the name of a variable (created when absent).
bool NextVariable(std::string& rest, double*& n, std::string*& s) {
  if (!DropComma(rest)) return false;
  std::string arg = ScrNextArg(rest);
  if (ScriptErrorFlag) return false;
  return ScrFindOrCreate(arg, n, s);
}
}  // namespace

bool ScrGetStringArg(std::string& rest, std::string& value) {
  if (!EvaluateNextArg(rest, kResultString)) return false;
  value = ScrStringResult;
  return true;
}

bool ScrGetNumberArg(std::string& rest, double& value) {
  value = 0;
  if (!EvaluateNextArg(rest, kResultNumber)) return false;
  value = ScrNumberResult;
  return true;
}

std::string* ScrGetStringVarRef(std::string& rest) {
  double* n;
  std::string* s;
  if (!NextVariable(rest, n, s)) return nullptr;
  if (!s) return Fault(3), nullptr;
  return s;
}

double* ScrGetNumberVarRef(std::string& rest) {
  double* n;
  std::string* s;
  if (!NextVariable(rest, n, s)) return nullptr;
  if (!n) return Fault(3), nullptr;
  return n;
}

bool ScrArgsEnd(const std::string& rest) {
  if (!ScrTrim(rest).empty()) return Fault(3);
  return true;
}
