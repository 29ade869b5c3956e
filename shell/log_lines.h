// The lines of the log window. Device clients, the imaging console, the
// autoguider, the plate solver and the sequencer append one line per event,
// each with its own bracketed source prefix ("[Ascom.Telescope] ",
// "[AutoGuide] ", ...); the log adds nothing to the text. A line equal to the
// previous one offered (byte for byte, case counts) is dropped, so a device
// that repeats the same failure every poll fills only one line.
//
// The log keeps the newest kLogCapacity lines; older ones are dropped, so a
// device failing in alternation every poll cannot grow it without bound.
//
// The log window (TLogForm) shows these lines; code without widgets appends
// through LogLines().AddLine as well.
#pragma once

#include <deque>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

inline constexpr std::size_t kLogCapacity = 10000;

class TLogLines {
 public:
  // Appends `line` (cut to 255 characters) unless it equals LastLine(); in
  // either case it becomes LastLine(). True when the line was appended.
  bool AddLine(const std::string& line);
  // Appends `line` even when it equals LastLine(): an event of its own that
  // reads as the one before (a second failed connect, a second star
  // accepted), not a repeat of a state.
  void AddEvent(const std::string& line);

  std::string LastLine() const;
  std::vector<std::string> Lines() const;
  std::size_t Count() const;

  // Removes every line and empties LastLine() (a new log window).
  void Clear();

  // Called after each appended line, outside the lock, on the thread that
  // appended it. An empty function removes the listener.
  void SetListener(std::function<void(const std::string&)> listener);

 private:
  bool Append(const std::string& line, bool repeat);
  mutable std::mutex mutex_;
  std::string last_;
  std::deque<std::string> lines_;
  std::function<void(const std::string&)> listener_;
};

// The program's one log.
TLogLines& LogLines();
