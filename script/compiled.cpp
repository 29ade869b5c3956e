// Compiled expressions. An expression's text is read once into the list of
// its variable and function references and a postfix program (or, for a
// string expression, the pieces to join); evaluating it then reads no text.
//
// The language evaluates in two steps, and so does this form: first every
// reference from left to right (a function after the references inside its
// brackets, with its own arguments' arithmetic), then the arithmetic.
// Numbers reach the arithmetic as the text evaluator hands them over, read
// back from their 15-digit exponent text (ScrRoundTrip). A string value is
// kept whole: a double quote in it is a character like any other.
//
// The compiler takes only text whose meaning it knows to be the text
// evaluator's; anything else (every text that ends in a syntax error, and a
// few odd but valid forms) is left to the text evaluator, so values and
// error codes are the same whichever evaluates.
#include <charconv>
#include <cmath>
#include <cstring>

#include "script/expr_internal.h"
#include "script/runner.h"

namespace {

bool Fault(int code) {
  ScriptError(code);
  return false;
}

struct TToken {
  enum Kind : uint8_t { kEnd, kNumber, kString, kRef, kOp, kWord } kind = kEnd;
  char op = 0;           // kOp: the character; kWord: the word's first letter
  bool isString = false;  // kRef: a string value
  uint32_t index = 0;    // kNumber: constant; kString: literal; kRef: slot
  std::string word;      // kWord
};

// Reads one expression text into a TScrExpr. Every routine returns false
// for text it does not take.
class TCompiler {
 public:
  TCompiler(const std::string& text, TScrExpr& e) : s_(text), e_(e) {}

  bool Compile() { return Code(0, s_.size(), e_.top, 0); }

 private:
  const std::string& s_;
  TScrExpr& e_;

  // The text [b, e) as one evaluation of expanded text into `code`.
  bool Code(std::size_t b, std::size_t e, TScrCode& code, int depth) {
    std::vector<TToken> tokens;
    if (!Lex(b, e, tokens, depth)) return false;
    std::size_t at = 0;
    code.isString = (tokens[0].kind == TToken::kString || (tokens[0].kind == TToken::kRef && tokens[0].isString));
    if (code.isString) return Joined(tokens, code);
    if (!WordLevel(tokens, at, code, depth)) return false;
    return tokens[at].kind == TToken::kEnd;
  }

  // Tokens of [b, e); references are compiled as they are met, so that
  // e_.refs is in the order the text evaluator expands them.
  bool Lex(std::size_t b, std::size_t e, std::vector<TToken>& out, int depth) {
    std::size_t p = b;
    for (;;) {
      while (p < e && s_[p] == ' ') ++p;
      TToken t;
      if (p >= e) {
        out.push_back(t);
        return true;
      }
      const char c = s_[p];
      if (c == '"') {
        std::size_t q = s_.find('"', p + 1);
        if (q == std::string::npos || q >= e) return false;
        t.kind = TToken::kString;
        t.index = uint32_t(e_.literals.size());
        e_.literals.push_back(s_.substr(p + 1, q - p - 1));
        p = q + 1;
      } else if (ScrIsNameStart(c)) {
        // A name starts the text or follows a delimiter; else it would be
        // left in the text, where it is a syntax error.
        if (p > 0 && !ScrIsNameDelimiter(s_[p - 1])) return false;
        std::size_t j = p;
        while (j < e && ScrIsNameChar(s_[j])) ++j;
        std::string name = s_.substr(p, j - p);
        if (ScrIsOperatorWord(name)) {
          t.kind = TToken::kWord;
          t.word = name;
          p = j;
        } else {
          if (!Reference(name, j, e, t, depth)) return false;
          p = j;
          // A number's text must end where the reference ends, or the
          // parser would read the two as one token.
          if (!t.isString && p < e && !std::strchr(" +-*/^)", s_[p])) return false;
        }
      } else if ((c >= '0' && c <= '9') || c == '.') {
        std::size_t q = p;
        while (q < e && !std::strchr(" +-/*%^=()", s_[q])) {
          if (s_[q] == 'E' && q + 1 < e && (s_[q + 1] == '+' || s_[q + 1] == '-')) ++q;
          ++q;
        }
        double v;
        auto r = std::from_chars(s_.data() + p, s_.data() + q, v);
        if (r.ec != std::errc() || r.ptr != s_.data() + q) return false;
        t.kind = TToken::kNumber;
        t.index = uint32_t(e_.constants.size());
        e_.constants.push_back(v);
        p = q;
      } else if (c != '\0' && std::strchr("+-*/^()", c)) {
        t.kind = TToken::kOp;
        t.op = c;
        ++p;
      } else {
        return false;
      }
      out.push_back(std::move(t));
    }
  }

  // The reference `name` ending at `j` (moved past its bracketed group).
  bool Reference(const std::string& name, std::size_t& j, std::size_t e, TToken& t, int depth) {
    TScrRef ref;
    ref.name = name;
    const TFn fn = ScrFunctionOf(name);
    if (j < e && s_[j] == '(') {
      if (fn == TFn::kNone || depth >= kMaxNesting) return false;
      std::size_t close = GroupEnd(j, e);
      if (close == std::string::npos) return false;
      ref.kind = TScrRef::kCall;
      ref.fn = fn;
      if (!Arguments(fn, j + 1, close, ref, depth + 1)) return false;
      j = close + 1;
      t.isString = fn >= TFn::kLEFTS;
    } else {
      if (fn != TFn::kNone) return false;  // a function without arguments
      t.isString = name.back() == '$';
      ref.kind = t.isString ? TScrRef::kStrVar : TScrRef::kNumVar;
    }
    t.kind = TToken::kRef;
    t.index = ref.slot = uint32_t(e_.refs.size());
    e_.refs.push_back(std::move(ref));
    return true;
  }

  // Walks [b, e) outside quotes, calling `visit(k, level)` with the bracket
  // level after character k, until it returns true: that k, else npos.
  template <class F>
  std::size_t Walk(std::size_t b, std::size_t e, F visit) const {
    int level = 0;
    bool quoted = false;
    for (std::size_t k = b; k < e; ++k) {
      if (s_[k] == '"') quoted = !quoted;
      if (quoted) continue;
      level += s_[k] == '(' ? 1 : s_[k] == ')' ? -1 : 0;
      if (visit(k, level)) return k;
    }
    return std::string::npos;
  }

  // The ')' closing the group opened at `open`; npos when it does not close
  // before `e`.
  std::size_t GroupEnd(std::size_t open, std::size_t e) const {
    return Walk(open, e, [&](std::size_t k, int level) { return level == 0 && s_[k] == ')'; });
  }

  // The arguments [b, e) of a function call.
  bool Arguments(TFn fn, std::size_t b, std::size_t e, TScrRef& ref, int depth) {
    if (ScrTakesOneNumber(fn)) {
      ref.args.resize(1);
      return Code(b, e, ref.args[0], depth) && !ref.args[0].isString;
    }
    // Split at commas outside quotes and parentheses.
    std::vector<std::size_t> cuts{b};
    Walk(b, e, [&](std::size_t k, int level) {
      if (level == 0 && s_[k] == ',') cuts.push_back(k + 1);
      return false;
    });
    cuts.push_back(e + 1);
    const char* kinds = ScrFunctionKinds(fn);
    const std::size_t count = cuts.size() - 1;
    if (count != std::strlen(kinds)) return false;
    ref.args.resize(count);
    for (std::size_t i = 0; i < count; ++i) {
      if (!Code(cuts[i], cuts[i + 1] - 1, ref.args[i], depth)) return false;
      if (ref.args[i].isString != (kinds[i] == 'S')) return false;
    }
    return true;
  }

  // String expression: string values joined by '+' or nothing.
  bool Joined(const std::vector<TToken>& tokens, TScrCode& code) {
    for (const TToken& t : tokens) {
      if (t.kind == TToken::kString) code.code.push_back({TScrOp::kConst, t.index});
      else if (t.kind == TToken::kRef && t.isString) code.code.push_back({TScrOp::kSlot, t.index});
      else if (!(t.kind == TToken::kEnd || (t.kind == TToken::kOp && t.op == '+'))) return false;
    }
    return true;
  }

  // The numeric descent of the text evaluator, over tokens.
  static bool IsOp(const std::vector<TToken>& t, std::size_t at, char op) {
    return t[at].kind == TToken::kOp && t[at].op == op;
  }
  bool WordLevel(const std::vector<TToken>& t, std::size_t& at, TScrCode& c, int depth) {
    if (!Binary(t, at, c, depth, 0)) return false;
    while (t[at].kind == TToken::kWord) {
      const std::string& w = t[at++].word;
      if (!Binary(t, at, c, depth, 0)) return false;
      c.code.push_back({w == "OR" ? TScrOp::kOr : w == "XOR" ? TScrOp::kXor : w == "AND" ? TScrOp::kAnd : TScrOp::kMod, 0});
    }
    return true;
  }
  // The sum (level 0: '+', '-') and product (level 1: '*', '/') levels.
  bool Binary(const std::vector<TToken>& t, std::size_t& at, TScrCode& c, int depth, int level) {
    static constexpr char kOps[2][2] = {{'+', '-'}, {'*', '/'}};
    static constexpr TScrOp kCodes[2][2] = {{TScrOp::kAdd, TScrOp::kSub}, {TScrOp::kMul, TScrOp::kDiv}};
    auto operand = [&] { return level == 0 ? Binary(t, at, c, depth, 1) : Power(t, at, c, depth); };
    if (!operand()) return false;
    for (;;) {
      const int k = IsOp(t, at, kOps[level][0]) ? 0 : IsOp(t, at, kOps[level][1]) ? 1 : -1;
      if (k < 0) return true;
      ++at;
      if (!operand()) return false;
      c.code.push_back({kCodes[level][k], 0});
    }
  }
  bool Power(const std::vector<TToken>& t, std::size_t& at, TScrCode& c, int depth) {
    if (!Unary(t, at, c, depth)) return false;
    if (!IsOp(t, at, '^')) return true;
    ++at;
    if (!Unary(t, at, c, depth)) return false;
    c.code.push_back({TScrOp::kPow, 0});
    return true;
  }
  bool Unary(const std::vector<TToken>& t, std::size_t& at, TScrCode& c, int depth) {
    bool negative = false;
    while (IsOp(t, at, '+') || IsOp(t, at, '-')) negative ^= t[at++].op == '-';
    if (IsOp(t, at, '(')) {
      if (depth >= kMaxNesting) return false;
      ++at;
      if (!WordLevel(t, at, c, depth + 1) || !IsOp(t, at, ')')) return false;
      ++at;
    } else if (t[at].kind == TToken::kNumber) {
      c.code.push_back({TScrOp::kConst, t[at++].index});
    } else if (t[at].kind == TToken::kRef && !t[at].isString) {
      c.code.push_back({TScrOp::kSlot, t[at++].index});
    } else {
      return false;
    }
    if (negative) c.code.push_back({TScrOp::kNeg, 0});
    return true;
  }
};

// The deepest stack a numeric program needs.
std::size_t StackNeed(const TScrCode& c) {
  std::size_t depth = 0, most = 0;
  for (const TScrInstr& i : c.code) {
    if (i.op == TScrOp::kConst || i.op == TScrOp::kSlot) most = std::max(most, ++depth);
    else if (i.op != TScrOp::kNeg) --depth;
  }
  return most;
}

// Runs one program into a value of its kind.
bool Run(TScrExpr& e, const TScrCode& c, uint8_t& type, double& num, std::string& str) {
  if (c.isString) {
    str.clear();
    for (const TScrInstr& i : c.code) str += i.op == TScrOp::kConst ? e.literals[i.index] : e.str[i.index];
    str = ScrCutString(std::move(str));
    type = kResultString;
    return true;
  }
  double* st = e.stack.data();
  std::size_t n = 0;
  for (const TScrInstr& i : c.code) {
    switch (i.op) {
      case TScrOp::kConst: st[n++] = e.constants[i.index]; continue;
      case TScrOp::kSlot:
        if (e.unread[i.index]) return Fault(3);
        st[n++] = e.num[i.index];
        continue;
      case TScrOp::kNeg: st[n - 1] = -st[n - 1]; continue;
      default: break;
    }
    const double r = st[--n];
    double& v = st[n - 1];
    switch (i.op) {
      case TScrOp::kAdd: v += r; break;
      case TScrOp::kSub: v -= r; break;
      case TScrOp::kMul: v *= r; break;
      case TScrOp::kDiv:
        if (r == 0) return Fault(4);
        v /= r;
        break;
      case TScrOp::kPow: {
        const double whole = std::trunc(r);
        if (v == 0 && whole < 0) return Fault(4);
        v = std::pow(v, whole);
        break;
      }
      default: {
        // The word operators work on whole numbers within ±32,767.
        if (!(std::fabs(v) <= 32767 && std::fabs(r) <= 32767)) return Fault(5);
        const int a = int(v), b = int(r);
        if (i.op == TScrOp::kMod && b == 0) return Fault(4);
        v = i.op == TScrOp::kOr ? a | b : i.op == TScrOp::kXor ? a ^ b : i.op == TScrOp::kAnd ? a & b : a % b;
      }
    }
    if (!std::isfinite(v)) return Fault(5);
  }
  type = kResultNumber;
  num = st[0];
  return true;
}

// Evaluates reference `r` into its slot.
bool Resolve(TScrExpr& e, TScrRef& r) {
  if (r.kind == TScrRef::kCall) {
    TScrArgs& a = r.values;
    a.count = int(r.args.size());
    for (int i = 0; i < a.count; ++i)
      if (!Run(e, r.args[std::size_t(i)], a.type[i], a.num[i], a.str[i])) return false;
    uint8_t type;
    double num = 0;
    if (!ScrApplyFunction(r.fn, a, type, num, e.str[r.slot])) return false;
    if (type == kResultNumber) e.unread[r.slot] = !ScrRoundTrip(num, e.num[r.slot]);
    return true;
  }
  // A variable's cell is found (or made) at its first use in the run.
  if (!r.num && !r.str && !ScrFindOrCreate(r.name, r.num, r.str)) return false;
  if (r.num) e.unread[r.slot] = !ScrRoundTrip(*r.num, e.num[r.slot]);
  else e.str[r.slot] = *r.str;
  return true;
}

}  // namespace

std::unique_ptr<TScrExpr> ScrCompileExpr(const std::string& text) {
  auto e = std::make_unique<TScrExpr>();
  e->text = text;
  if (TCompiler(text, *e).Compile()) {
    e->compiled = true;
    std::size_t need = StackNeed(e->top);
    for (const TScrRef& r : e->refs)
      for (const TScrCode& c : r.args) need = std::max(need, StackNeed(c));
    e->stack.resize(need + 1);
    e->num.resize(e->refs.size());
    e->unread.resize(e->refs.size());
    e->str.resize(e->refs.size());
  } else {
    // The text evaluator takes it; nothing compiled is kept.
    std::string kept = std::move(e->text);
    *e = TScrExpr{};
    e->text = std::move(kept);
  }
  return e;
}

bool ScrEvaluatePrepared(TScrExpr& e) {
  if (!e.compiled) return ScrEvaluateText(e.text);
  for (TScrRef& r : e.refs)
    if (!Resolve(e, r)) return false;
  uint8_t type;
  double num;
  if (!Run(e, e.top, type, num, ScrStringResult)) return false;
  ScrResultType = type;
  if (type == kResultNumber) ScrNumberResult = num;
  return true;
}
