#include "shell/log_lines.h"

#include "platform/codec.h"

bool TLogLines::AddLine(const std::string& line) { return Append(line, false); }

void TLogLines::AddEvent(const std::string& line) { Append(line, true); }

bool TLogLines::Append(const std::string& line, bool repeat) {
  const std::string text = platform::CutToChars(line, 255);
  std::function<void(const std::string&)> listener;
  {
    std::lock_guard lock(mutex_);
    if (text == last_ && !repeat) return false;
    last_ = text;
    lines_.push_back(text);
    if (lines_.size() > kLogCapacity) lines_.pop_front();
    listener = listener_;
  }
  if (listener) listener(text);
  return true;
}

std::string TLogLines::LastLine() const {
  std::lock_guard lock(mutex_);
  return last_;
}

std::vector<std::string> TLogLines::Lines() const {
  std::lock_guard lock(mutex_);
  return {lines_.begin(), lines_.end()};
}

std::size_t TLogLines::Count() const {
  std::lock_guard lock(mutex_);
  return lines_.size();
}

void TLogLines::Clear() {
  std::lock_guard lock(mutex_);
  last_.clear();
  lines_.clear();
}

void TLogLines::SetListener(std::function<void(const std::string&)> listener) {
  std::lock_guard lock(mutex_);
  listener_ = std::move(listener);
}

TLogLines& LogLines() {
  static TLogLines log;
  return log;
}
