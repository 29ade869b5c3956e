// Fuzz target: one expression (a line, upper-cased outside quotes, as a
// statement hands it over) evaluated prepared and as text; both must give
// the same success, error box, result type, number (bit for bit) and string
// (where the text evaluator reads a value's double quote as an apostrophe).
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
  std::string box;
  int MessageBox(const std::string& text, const std::string&, platform::MsgButtons, platform::MsgIcon) override {
    box = text;
    return platform::IDOK;
  }
};

// The outcome as text: success, box, type and value.
std::string Evaluate(TRecordingHost& host, const std::string& text, bool prepared) {
  // Whole, fractional, unreadable and huge numbers; texts with a quote and
  // with characters beyond ASCII.
  ScrAllocVariables();
  *ScrNumberVariable("A") = 1.5;
  *ScrNumberVariable("X") = 0.1 + 0.2;
  *ScrNumberVariable("BIG") = 1e300;
  *ScrNumberVariable("NN") = std::numeric_limits<double>::quiet_NaN();
  *ScrStringVariable("S$") = "say \"hi\"";
  *ScrStringVariable("T$") = "h\xC3\xA9llo \xE2\x82\xAC";
  host.box.clear();
  ScriptErrorFlag = ScriptStopFlag = 0;
  ScrSeedRandom(12345);
  const bool ok = prepared ? ScrEvaluatePrepared(*ScrCompileExpr(text)) : ScrEvaluateText(text);
  std::string out = std::to_string(ok) + host.box;
  if (!ok) return out;
  if (ScrResultType == kResultString) {
    for (char c : ScrStringResult) out += c == '"' ? '\'' : c;
    return out + "S";
  }
  char bits[sizeof(double)];
  std::memcpy(bits, &ScrNumberResult, sizeof bits);
  return out + std::string(bits, sizeof bits) + "N";
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  fuzz::InstallQuietPlatform();
  static TRecordingHost host;
  SetScriptHost(&host);
  std::string text;
  bool quoted = false;
  for (std::size_t i = 0; i < size && i < 2000 && data[i] != '\n' && data[i] != '\r'; ++i) {
    char c = char(data[i]);
    quoted ^= c == '"';
    text += !quoted && c >= 'a' && c <= 'z' ? char(c - 'a' + 'A') : c;
  }
  if (Evaluate(host, text, true) != Evaluate(host, text, false)) std::abort();
  ScrFreeVariables();
  return 0;
}
