// The script interpreter on a loop of 100,000 iterations, each doing
// arithmetic and string work. Target: at most 250 ms per run on one core.
#include <benchmark/benchmark.h>

#include <stdexcept>
#include <string>
#include <vector>

#include "script/runner.h"
#include "script/script_host.h"

namespace {

// A host without windows; any message box means the script failed.
class TBenchHost : public TScriptHost {
 public:
  int MessageBox(const std::string& text, const std::string&, platform::MsgButtons, platform::MsgIcon) override {
    last = text;
    return platform::IDOK;
  }
  std::string last;
};

void BM_ScriptLoop100k(benchmark::State& state) {
  TBenchHost host;
  SetScriptHost(&host);
  const std::vector<std::string> script = {
      "LET S = 0",
      "LET T$ = \"\"",
      "FOR I = 1 TO 100000",
      "LET S = S + I * 2 / 3 - INT(I / 7) + SQRT(I)",
      "LET T$ = LEFT$(\"ABCDEFGH\", 3) + STR$(FRAC(I / 100) * 100)",
      "IF LEN(T$) > 8 THEN LET S = S - 1",
      "NEXT",
      "PRINT S, T$",
  };
  for (auto _ : state) {
    int stop = 0;
    ScrRunScript(script, stop);
    if (stop != 0) state.SkipWithError(host.last.c_str());
  }
  SetScriptHost(nullptr);
  state.counters["lines"] = benchmark::Counter(5.0 * 100000 * double(state.iterations()), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_ScriptLoop100k)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
