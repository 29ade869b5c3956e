// The evaluator's internals shared by its two halves: the text evaluator
// (expressions.cpp: references expanded into text, the text parsed) and the
// compiled form (compiled.cpp: an expression read once into references and a
// postfix program). Both give the same values and the same errors; the
// compiled form hands every text it does not take to the text evaluator.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

// Nesting of brackets, function calls and parentheses in one expression;
// deeper nesting is error kNestingError, not a stack overflow.
inline constexpr int kMaxNesting = 64;
inline constexpr int kNestingError = 33;
inline constexpr std::size_t kScrStringChars = 255;
inline constexpr int kScrMaxArguments = 6;

// --- Names ------------------------------------------------------------------------

bool ScrIsNameStart(char c);
bool ScrIsNameChar(char c);
// The characters after which a name may start (and that a name may not hold).
bool ScrIsNameDelimiter(char c);
bool ScrIsOperatorWord(const std::string& name);
// Finds or creates the variable `name`; error 3 for a bad name, 10 when the
// tables are full. Exactly one of the results is set on success.
bool ScrFindOrCreate(const std::string& name, double*& num, std::string*& str);

// --- Built-in functions --------------------------------------------------------------

// The functions COS to RND take one numeric expression; the others an
// argument list whose kinds ScrFunctionKinds gives ('N' number, 'S' string).
enum class TFn : uint8_t { kNone, kCOS, kSIN, kTAN, kACOS, kASIN, kATAN, kLN, kLOG, kSQRT, kABS, kFRAC, kINT, kROUND, kRND, kATAN2, kEOF, kJULIAN, kRISELMT, kTRANSLMT, kSETLMT, kLEN, kVAL, kLEFTS, kRIGHTS, kMIDS, kCHRS, kSTRS, kHMSTRS, kDDSTRS };
TFn ScrFunctionOf(const std::string& name);
inline bool ScrTakesOneNumber(TFn fn) { return fn >= TFn::kCOS && fn <= TFn::kRND; }
const char* ScrFunctionKinds(TFn fn);

// Evaluated arguments of a function (at most six).
struct TScrArgs {
  int count = 0;
  uint8_t type[kScrMaxArguments] = {};
  double num[kScrMaxArguments] = {};
  std::string str[kScrMaxArguments];
};

// Applies `fn` to arguments of the right count and kinds: the result's type
// (kResultNumber, always finite, or kResultString) and value. False after an
// error (already reported).
bool ScrApplyFunction(TFn fn, const TScrArgs& a, uint8_t& type, double& num, std::string& str);

// --- Values ----------------------------------------------------------------------------

// A number as the arithmetic reads it back from its 15-digit exponent text;
// false when that text is no number (not finite).
bool ScrRoundTrip(double x, double& out);
// A string value cut to 255 characters.
std::string ScrCutString(std::string s);

// --- The two evaluators ---------------------------------------------------------------

enum class TScrOp : uint8_t { kConst, kSlot, kNeg, kAdd, kSub, kMul, kDiv, kPow, kOr, kXor, kAnd, kMod };
struct TScrInstr {
  TScrOp op;
  uint32_t index;  // constant, literal or slot
};

// One evaluation of expanded text: a numeric postfix program, or the pieces
// of a string concatenation (kConst: a literal, kSlot: a string slot).
struct TScrCode {
  bool isString = false;
  std::vector<TScrInstr> code;
};

// A variable or function reference; its value goes to slot `slot`.
struct TScrRef {
  enum Kind : uint8_t { kNumVar, kStrVar, kCall } kind = kNumVar;
  std::string name;          // the variable's name as written
  double* num = nullptr;     // the variable's cell, kept for the run
  std::string* str = nullptr;
  TFn fn = TFn::kNone;
  std::vector<TScrCode> args;
  TScrArgs values;           // the arguments of the last call
  uint32_t slot = 0;
};

// An expression prepared once; evaluation storage is kept with it.
struct TScrExpr {
  std::string text;
  bool compiled = false;  // false: evaluated as text
  std::vector<double> constants;
  std::vector<std::string> literals;
  std::vector<TScrRef> refs;  // in evaluation order
  TScrCode top;
  std::vector<double> num;        // numeric slot values
  std::vector<uint8_t> unread;    // numeric slot not readable as a number
  std::vector<std::string> str;   // string slot values
  std::vector<double> stack;
};

// Prepares `text` (the compiled form, or the text kept for the text
// evaluator). Never fails: errors come at evaluation, as with the text.
std::unique_ptr<TScrExpr> ScrCompileExpr(const std::string& text);
// Evaluates a prepared expression into the result variables of runner.h.
bool ScrEvaluatePrepared(TScrExpr& e);
// The text evaluator: references expanded into text, the text parsed.
bool ScrEvaluateText(const std::string& text);
