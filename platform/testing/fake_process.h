#pragma once
// A process for tests: a chosen application directory and previous-instance answer;
// ending at once throws ProgramEnded so that a test can see where the program stopped.

#include <string>

#include "platform/process.h"
#include "platform/seam.h"

namespace tollwick::testing {

// Thrown by FakeProcess::endAtOnce. Not a run-time error: no error trap catches it.
struct ProgramEnded {};

class FakeProcess : public platform::Process {
 public:
  std::string directory = "C:\\Games\\Zelkor";
  bool anotherCopyRunning = false;
  int endCalls = 0;

  std::string executableDirectory() override { return directory; }
  bool previousInstanceRunning() override { return anotherCopyRunning; }
  [[noreturn]] void endAtOnce() override {
    ++endCalls;
    throw ProgramEnded{};
  }
};

class ScopedFakeProcess : public FakeProcess {
 public:
  ScopedFakeProcess() : installed_(*this) {}

 private:
  platform::Installed<platform::Process> installed_;
};

}  // namespace tollwick::testing
