// A recording host for script tests: message boxes and INPUT answers come
// from queues, every box is kept.
#pragma once

#include <deque>
#include <functional>
#include <string>
#include <vector>

#include "script/runner.h"
#include "script/script_host.h"

struct TBox {
  std::string caption;
  std::string text;
};

class TTestHost : public TScriptHost {
 public:
  TTestHost() { SetScriptHost(this); }
  ~TTestHost() override { SetScriptHost(nullptr); }

  int MessageBox(const std::string& text, const std::string& caption, platform::MsgButtons,
                 platform::MsgIcon) override {
    boxes.push_back({caption, text});
    return platform::IDOK;
  }
  bool Input(const std::string& prompt, std::string& answer) override {
    prompts.push_back(prompt);
    if (answers.empty()) return false;
    answer = answers.front();
    answers.pop_front();
    return true;
  }
  void ProcessEvents() override {
    ++pumps;
    if (onEvents) onEvents();
  }
  void WaitForEvents(int) override { ProcessEvents(); }
  uint32_t Milliseconds() override { return clock += 10; }

  // The texts of the "Script Message:" boxes, in order.
  std::vector<std::string> Printed() const {
    std::vector<std::string> out;
    for (const TBox& b : boxes)
      if (b.caption == "Script Message:") out.push_back(b.text);
    return out;
  }
  // The last error box's text, "" when none.
  std::string Error() const {
    for (auto it = boxes.rbegin(); it != boxes.rend(); ++it)
      if (it->caption == "Script BASIC error:") return it->text;
    return {};
  }

  std::vector<TBox> boxes;
  std::deque<std::string> answers;
  std::vector<std::string> prompts;
  std::function<void()> onEvents;
  int pumps = 0;
  uint32_t clock = 0;
};

// Runs editor lines split at '\n'; the stop line.
inline int RunScript(const std::string& text) {
  std::vector<std::string> lines;
  std::string cur;
  for (char c : text) {
    if (c == '\n') {
      lines.push_back(cur);
      cur.clear();
    } else {
      cur += c;
    }
  }
  lines.push_back(cur);
  int stop = -1;
  ScrRunScript(lines, stop);
  return stop;
}

// The error box text of `code` at editor line `line`.
inline std::string ErrorAt(int line, int code) {
  return "(error in line#" + std::to_string(line) + ")\r\n" + ScriptErrorText(code);
}
