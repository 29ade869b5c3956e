// Ending the program at once ("Program aborted!", a fatal start-up error).
// The program's handler ends the process cleanly; tests install a handler
// that throws ProgramHalted so the path can be checked without exiting.
#pragma once

#include <functional>
#include <stdexcept>

namespace platform {

// Ends the program with the exit code. Never returns.
[[noreturn]] void HaltProgram(int code = 0);

// Replaces the handler; an empty function restores the default (flush the
// standard streams and exit the process with the code).
void SetHaltHandler(std::function<void(int)> handler);

// Thrown by the test handler installed with InstallThrowingHaltForTest.
class ProgramHalted : public std::runtime_error {
 public:
  explicit ProgramHalted(int code) : std::runtime_error("program halted"), code_(code) {}
  int Code() const { return code_; }

 private:
  int code_;
};

// Installs a handler that throws ProgramHalted (for tests).
void InstallThrowingHaltForTest();

}  // namespace platform
