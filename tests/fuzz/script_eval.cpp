// Fuzz target: one expression evaluated by its prepared (compiled) form and
// by the text evaluator, which must agree: the same success, error box,
// result type, number (bit for bit) and string (a double quote of a value
// reads as an apostrophe in the text evaluator, which must keep its text
// parseable). The input is an expression as a statement hands it over:
// upper-cased outside quotes, on one line.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <string>

#include "script/expr_internal.h"
#include "script/runner.h"
#include "script/script_host.h"
#include "tests/fuzz/fuzz_support.h"

namespace {

class TRecordingHost : public TScriptHost {
 public:
  std::string last;
  int MessageBox(const std::string& text, const std::string&, platform::MsgButtons, platform::MsgIcon) override {
    last = text;
    return platform::IDOK;
  }
};

struct TOutcome {
  bool ok;
  std::string box;
  uint8_t type;
  double num;
  std::string str;
};

// Variables of every kind the references meet: whole and fractional
// numbers, one that is no number, texts with a double quote and with
// characters beyond ASCII.
void Variables() {
  ScrAllocVariables();
  *ScrNumberVariable("A") = 1.5;
  *ScrNumberVariable("B") = -2;
  *ScrNumberVariable("I") = 7;
  *ScrNumberVariable("X") = 0.1 + 0.2;
  *ScrNumberVariable("BIG") = 1e300;
  *ScrNumberVariable("NN") = std::numeric_limits<double>::quiet_NaN();
  *ScrStringVariable("S$") = "say \"hi\"";
  *ScrStringVariable("T$") = "h\xC3\xA9llo \xE2\x82\xAC";
}

TOutcome Evaluate(TRecordingHost& host, const std::string& text, bool prepared) {
  Variables();
  host.last.clear();
  ScriptErrorFlag = 0;
  ScriptStopFlag = 0;
  ScrResultType = kResultNone;
  ScrSeedRandom(12345);
  TOutcome o;
  o.ok = prepared ? ScrEvaluatePrepared(*ScrCompileExpr(text)) : ScrEvaluateText(text);
  o.box = host.last;
  o.type = ScrResultType;
  o.num = ScrNumberResult;
  o.str = ScrStringResult;
  return o;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  fuzz::InstallQuietPlatform();
  static TRecordingHost host;
  SetScriptHost(&host);
  std::string text;
  bool quoted = false;
  for (std::size_t i = 0; i < size && i < 2000; ++i) {
    char c = char(data[i]);
    if (c == '\n' || c == '\r') break;
    if (c == '"') quoted = !quoted;
    if (!quoted && c >= 'a' && c <= 'z') c = char(c - 'a' + 'A');
    text += c;
  }
  const TOutcome a = Evaluate(host, text, true);
  const TOutcome b = Evaluate(host, text, false);
  bool same = a.ok == b.ok && a.box == b.box;
  if (same && a.ok) {
    std::string mapped = a.str;
    for (char& c : mapped)
      if (c == '"') c = '\'';
    same = a.type == b.type &&
           (a.type == kResultString ? mapped == b.str : std::memcmp(&a.num, &b.num, sizeof a.num) == 0);
  }
  if (!same) std::abort();
  ScrFreeVariables();
  return 0;
}
