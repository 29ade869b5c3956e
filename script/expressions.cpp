// Script values: the variable tables, the textual expansion of names and
// function calls, string and numeric expressions, the built-in functions,
// number texts and the argument routines of the statements.
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
#include "script/runner.h"
#include "script/script_host.h"

uint8_t ScrResultType = kResultNone;
double ScrNumberResult = 0;
std::string ScrStringResult;

namespace {

constexpr std::size_t kNumericVariables = 1024;
constexpr std::size_t kStringVariables = 128;
constexpr std::size_t kNameChars = 9;
constexpr std::size_t kStringChars = 255;
constexpr int kMaxArguments = 6;

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

bool IsNameStart(char c) { return (c >= 'A' && c <= 'Z') || c == '_'; }
bool IsNameChar(char c) { return IsNameStart(c) || (c >= '0' && c <= '9') || c == '$'; }
// Characters after which a name may start (and that a name may not hold).
bool IsNameDelimiter(char c) { return std::strchr(" %()*+,-/=^", c) != nullptr && c != '\0'; }
bool IsOperatorWord(const std::string& n) { return n == "AND" || n == "OR" || n == "XOR" || n == "MOD"; }

std::string Upper(std::string s) {
  for (char& c : s)
    if (c >= 'a' && c <= 'z') c = char(c - 'a' + 'A');
  return s;
}

// Cuts a variable name to its significant characters; "" when it is bad.
std::string VariableKey(const std::string& raw, bool& isString) {
  std::string name = Upper(ScrTrim(raw));
  if (name.empty() || IsOperatorWord(name)) return {};
  for (char c : name)
    if (IsNameDelimiter(c) || c == '"') return {};
  isString = name.back() == '$';
  if (isString && name.size() > kNameChars) name = name.substr(0, kNameChars - 1) + "$";
  if (!isString && name.size() > kNameChars) name.resize(kNameChars);
  return name;
}

// Finds or creates a variable; error 3 for a bad name, 10 when the tables
// are full. Exactly one of the results is set on success.
bool FindOrCreate(const std::string& raw, double*& num, std::string*& str) {
  num = nullptr;
  str = nullptr;
  bool isString = false;
  std::string key = VariableKey(raw, isString);
  if (key.empty()) {
    ScriptError(3);
    return false;
  }
  if (isString) {
    for (TStrVar& v : StrVars)
      if (v.name == key) return (str = &v.value), true;
  } else {
    for (TNumVar& v : NumVars)
      if (v.name == key) return (num = &v.value), true;
  }
  if (NumVars.size() >= kNumericVariables || StrVars.size() >= kStringVariables) {
    ScriptError(10);
    return false;
  }
  if (isString) {
    StrVars.push_back({key, {}});
    str = &StrVars.back().value;
  } else {
    NumVars.push_back({key, 0.0});
    num = &NumVars.back().value;
  }
  return true;
}

// A string value as it enters an expression: in double quotes, with every
// double quote inside made an apostrophe.
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

// --- Numeric descent ------------------------------------------------------------

struct TDescent {
  const std::string& s;
  std::size_t p = 0;

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
    while (q < s.size() && IsNameStart(s[q])) ++q;
    std::string w = s.substr(p, q - p);
    return IsOperatorWord(w) ? w : std::string();
  }

  bool WordLevel(double& v) {
    if (!Sum(v)) return false;
    for (;;) {
      std::string w = Word();
      if (w.empty()) return true;
      p += w.size();
      double r;
      if (!Sum(r)) return false;
      if (std::fabs(v) > 32767 || std::fabs(r) > 32767) {
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
  bool Unary(double& v) {
    if (Peek('+')) {
      ++p;
      return Unary(v);
    }
    if (Peek('-')) {
      ++p;
      if (!Unary(v)) return false;
      v = -v;
      return true;
    }
    return Primary(v);
  }
  bool Primary(double& v) {
    Blanks();
    if (p >= s.size()) return Fault(3);
    if (s[p] == '(') {
      ++p;
      if (!WordLevel(v)) return false;
      if (!Peek(')')) return Fault(3);
      ++p;
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
  if (out.size() > kStringChars) out.resize(kStringChars);
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

bool ExpandInto(const std::string& text, std::string& out);

// Splits "(a, b, ...)" at commas outside quotes and parentheses and
// evaluates each part; at most six.
struct TArgs {
  int count = 0;
  uint8_t type[kMaxArguments] = {};
  double num[kMaxArguments] = {};
  std::string str[kMaxArguments];
};

bool Subscripts(const std::string& arg, TArgs& a) {
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
  if (parts.size() > std::size_t(kMaxArguments)) return Fault(3);
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
bool Kinds(const TArgs& a, const char* kinds) {
  if (a.count != int(std::strlen(kinds))) return Fault(3);
  for (int i = 0; i < a.count; ++i)
    if (a.type[i] != (kinds[i] == 'N' ? kResultNumber : kResultString)) return Fault(3);
  return true;
}

enum class Fn { kNone, kCOS, kSIN, kTAN, kACOS, kASIN, kATAN, kLN, kLOG, kSQRT, kABS, kFRAC, kINT, kROUND, kRND, kATAN2, kEOF, kJULIAN, kRISELMT, kTRANSLMT, kSETLMT, kLEN, kVAL, kLEFTS, kRIGHTS, kMIDS, kCHRS, kSTRS, kHMSTRS, kDDSTRS };

// The built-in functions by (upper-case) name.
const std::unordered_map<std::string, Fn>& FunctionTable() {
  static const std::unordered_map<std::string, Fn> table = {
      {"COS", Fn::kCOS},
      {"SIN", Fn::kSIN},
      {"TAN", Fn::kTAN},
      {"ACOS", Fn::kACOS},
      {"ASIN", Fn::kASIN},
      {"ATAN", Fn::kATAN},
      {"LN", Fn::kLN},
      {"LOG", Fn::kLOG},
      {"SQRT", Fn::kSQRT},
      {"ABS", Fn::kABS},
      {"FRAC", Fn::kFRAC},
      {"INT", Fn::kINT},
      {"ROUND", Fn::kROUND},
      {"RND", Fn::kRND},
      {"ATAN2", Fn::kATAN2},
      {"EOF", Fn::kEOF},
      {"JULIAN", Fn::kJULIAN},
      {"RISE_LMT", Fn::kRISELMT},
      {"TRANS_LMT", Fn::kTRANSLMT},
      {"SET_LMT", Fn::kSETLMT},
      {"LEN", Fn::kLEN},
      {"VAL", Fn::kVAL},
      {"LEFT$", Fn::kLEFTS},
      {"RIGHT$", Fn::kRIGHTS},
      {"MID$", Fn::kMIDS},
      {"CHR$", Fn::kCHRS},
      {"STR$", Fn::kSTRS},
      {"HM_STR$", Fn::kHMSTRS},
      {"DD_STR$", Fn::kDDSTRS},
  };
  return table;
}

// The built-in function of an (upper-case) name.
Fn FunctionOf(const std::string& name) {
  const auto& table = FunctionTable();
  auto it = table.find(name);
  return it == table.end() ? Fn::kNone : it->second;
}

// The value of one name with its (expanded) argument text, as text.
bool CallFunction(const std::string& name, const std::string& arg, std::string& out) {
  auto num = [&](double v) {
    if (!std::isfinite(v)) return Fault(5);
    out = ScrExponentForm(v);
    return true;
  };
  const Fn fn = FunctionOf(name);
  // Functions of one numeric expression.
  if (fn >= Fn::kCOS && fn <= Fn::kRND) {
    double x;
    if (!EvalNumber(arg, x)) return false;
    if (fn == Fn::kCOS) return num(std::cos(x));
    if (fn == Fn::kSIN) return num(std::sin(x));
    if (fn == Fn::kTAN) {
      if (x == std::numbers::pi / 2 || x == 3 * std::numbers::pi / 2) return Fault(21);
      return num(std::sin(x) / std::cos(x));
    }
    if (fn == Fn::kACOS || fn == Fn::kASIN) {
      if (std::fabs(x) > 1) return Fault(21);
      return num(fn == Fn::kACOS ? std::acos(x) : std::asin(x));
    }
    if (fn == Fn::kATAN) return num(std::atan(x));
    if (fn == Fn::kLN || fn == Fn::kLOG) {
      if (x <= 0) return Fault(21);
      return num(fn == Fn::kLN ? std::log(x) : std::log(x) / std::log(10.0));
    }
    if (fn == Fn::kSQRT) {
      if (x < 0) return Fault(21);
      return num(std::sqrt(x));
    }
    if (fn == Fn::kABS) return num(std::fabs(x));
    if (fn == Fn::kFRAC) return num(x - std::trunc(x));
    if (fn == Fn::kINT) return num(std::trunc(x));
    if (fn == Fn::kROUND) {
      if (std::fabs(x) > 2147483647.0) return Fault(21);
      return num(std::nearbyint(x));
    }
    // RND
    if (!(x >= 0 && x <= 65535)) return Fault(21);
    return num(double(ScrRandom(uint32_t(x))));
  }
  TArgs a;
  if (fn == Fn::kATAN2) {
    if (!Subscripts(arg, a) || !Kinds(a, "NN")) return false;
    return num(ArcTan2R(a.num[0], a.num[1]));
  }
  if (fn == Fn::kEOF) {
    if (!Subscripts(arg, a) || !Kinds(a, "N")) return false;
    if (!Whole(a.num[0], 1, 9)) return Fault(3);
    int r = ScrChannelEof(int(a.num[0]));
    return r < 0 ? false : num(r);
  }
  if (fn == Fn::kJULIAN) {
    if (!Subscripts(arg, a) || !Kinds(a, "NNN")) return false;
    if (!Whole(a.num[0], -2000, 3000) || !Whole(a.num[1], 1, 12) || !(a.num[2] >= 0 && a.num[2] < 32))
      return Fault(51);
    return num(JulianDay(a.num[0], a.num[1], a.num[2], 0));
  }
  if (fn == Fn::kRISELMT || fn == Fn::kTRANSLMT || fn == Fn::kSETLMT) {
    if (!Subscripts(arg, a) || !Kinds(a, "NN")) return false;
    double rise, transit, set;
    RiseTransitSetLocal(ScriptHost().Observer(), a.num[0], a.num[1], kStarStandardAltitude, rise, transit, set);
    return num(fn == Fn::kRISELMT ? rise : fn == Fn::kSETLMT ? set : transit);
  }
  if (fn == Fn::kLEN) {
    if (!Subscripts(arg, a) || !Kinds(a, "S")) return false;
    return num(double(a.str[0].size()));
  }
  if (fn == Fn::kVAL) {
    if (!Subscripts(arg, a) || !Kinds(a, "S")) return false;
    std::string t = ScrTrim(a.str[0]);
    double v;
    auto r = std::from_chars(t.data(), t.data() + t.size(), v);
    if (t.empty() || r.ec != std::errc() || r.ptr != t.data() + t.size()) return Fault(3);
    return num(v);
  }
  auto str = [&](const std::string& s) {
    out = Quoted(s);
    return true;
  };
  if (fn == Fn::kLEFTS || fn == Fn::kRIGHTS) {
    if (!Subscripts(arg, a) || !Kinds(a, "SN")) return false;
    if (!Whole(a.num[1], 0, 255)) return Fault(3);
    std::size_t n = std::min(std::size_t(a.num[1]), a.str[0].size());
    return str(fn == Fn::kLEFTS ? a.str[0].substr(0, n) : a.str[0].substr(a.str[0].size() - n));
  }
  if (fn == Fn::kMIDS) {
    if (!Subscripts(arg, a) || !Kinds(a, "SNN")) return false;
    if (!Whole(a.num[1], 0, 255) || !Whole(a.num[2], 0, 255)) return Fault(3);
    // Positions count from 1; position 0 reads as 1, past the end gives "".
    std::size_t start = std::max<std::size_t>(std::size_t(a.num[1]), 1) - 1;
    if (start >= a.str[0].size()) return str("");
    return str(a.str[0].substr(start, std::size_t(a.num[2])));
  }
  if (fn == Fn::kCHRS) {
    if (!Subscripts(arg, a) || !Kinds(a, "N")) return false;
    if (!Whole(a.num[0], 0, 255)) return Fault(3);
    return str(std::string(1, char(int(a.num[0]))));
  }
  if (fn == Fn::kSTRS) {
    if (!Subscripts(arg, a) || !Kinds(a, "N")) return false;
    return str(ScrFloatToStr(a.num[0]));
  }
  if (fn == Fn::kHMSTRS) {
    if (!Subscripts(arg, a) || !Kinds(a, "N")) return false;
    return str(FormatHoursHM(a.num[0]));
  }
  if (fn == Fn::kDDSTRS) {
    if (!Subscripts(arg, a) || !Kinds(a, "N")) return false;
    return str(FormatDegMin(a.num[0]));
  }
  // A variable.
  if (!arg.empty()) return Fault(10);
  double* n;
  std::string* s;
  if (!FindOrCreate(name, n, s)) return false;
  out = n ? ScrExponentForm(*n) : Quoted(*s);
  return true;
}

// Replaces every name outside quotes by the text of its value.
bool ExpandInto(const std::string& text, std::string& out) {
  out.clear();
  out.reserve(text.size() + 32);
  bool quoted = false;
  std::size_t i = 0;
  while (i < text.size()) {
    char c = text[i];
    if (c == '"') quoted = !quoted;
    bool start = !quoted && IsNameStart(c) && (i == 0 || IsNameDelimiter(text[i - 1]));
    if (!start) {
      out += c;
      ++i;
      continue;
    }
    std::size_t j = i;
    while (j < text.size() && IsNameChar(text[j])) ++j;
    std::string name = text.substr(i, j - i);
    if (IsOperatorWord(name)) {
      out += name;
      i = j;
      continue;
    }
    std::string arg;
    if (j < text.size() && text[j] == '(') {
      // The balanced group, quotes skipped.
      int depth = 0;
      bool q = false;
      std::size_t k = j;
      for (; k < text.size(); ++k) {
        if (text[k] == '"') q = !q;
        if (q) continue;
        if (text[k] == '(') ++depth;
        if (text[k] == ')' && --depth == 0) break;
      }
      if (k >= text.size()) return Fault(3);
      std::string raw = text.substr(j, k - j + 1);
      if (!ExpandInto(raw, arg)) return false;
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

// --- Tables -------------------------------------------------------------------------

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
  ScrResultType = kResultNone;
}

void ScrFreeVariables() {
  NumVars = {};
  StrVars = {};
}

double* ScrNumberVariable(const std::string& name) {
  double* n;
  std::string* s;
  if (!FindOrCreate(name, n, s)) return nullptr;
  return n;
}

std::string* ScrStringVariable(const std::string& name) {
  double* n;
  std::string* s;
  if (!FindOrCreate(name, n, s)) return nullptr;
  return s;
}

void ScrSeedRandom(uint32_t seed) { RandomSeed = seed; }

uint32_t ScrRandom(uint32_t n) {
  RandomSeed = RandomSeed * 134775813u + 1u;
  return uint32_t((uint64_t(RandomSeed) * n) >> 32);
}

// --- Evaluation and number texts ----------------------------------------------------------

bool ScrEvaluate(const std::string& text) {
  std::string expanded;
  if (!ExpandInto(text, expanded)) return false;
  return EvalExpanded(expanded);
}

std::string ScrExponentForm(double x) {
  // "1.50000000000000e+00" from the library; the form has a sign place, an
  // upper-case 'E' and 4 exponent digits.
  char buf[48];
  char* p = buf;
  *p++ = ' ';
  auto r = std::to_chars(p, buf + sizeof buf, x, std::chars_format::scientific, 14);
  char* e = std::find(p, r.ptr, 'e');
  std::string out;
  if (*p == '-') out.assign(p, e);
  else out.assign(buf, e);
  int exp = 0;
  std::from_chars(e + 2, r.ptr, exp);
  char tail[8] = {'E', e[1], char('0' + exp / 1000 % 10), char('0' + exp / 100 % 10), char('0' + exp / 10 % 10),
                  char('0' + exp % 10), 0, 0};
  out.append(tail, 6);
  return out;
}

std::string ScrFloatToStr(double x) {
  if (x == 0) x = 0;  // no "-0"
  double ax = std::fabs(x);
  if (ax > 1e11 || (x != 0 && ax < 1e-11)) return ScrExponentForm(x);
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
  if (!DropComma(rest)) return nullptr;
  std::string arg = ScrNextArg(rest);
  if (ScriptErrorFlag) return nullptr;
  double* n;
  std::string* s;
  if (!FindOrCreate(arg, n, s)) return nullptr;
  if (!s) return Fault(3), nullptr;
  return s;
}

double* ScrGetNumberVarRef(std::string& rest) {
  if (!DropComma(rest)) return nullptr;
  std::string arg = ScrNextArg(rest);
  if (ScriptErrorFlag) return nullptr;
  double* n;
  std::string* s;
  if (!FindOrCreate(arg, n, s)) return nullptr;
  if (!n) return Fault(3), nullptr;
  return n;
}

bool ScrArgsEnd(const std::string& rest) {
  if (!ScrTrim(rest).empty()) return Fault(3);
  return true;
}
