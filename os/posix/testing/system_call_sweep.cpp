#include "os/posix/testing/system_call_sweep.h"

#include <cerrno>
#include <cstring>
#include <vector>

namespace tollwick::testing {
namespace {

// The errors a call of `call` is failed with.
std::vector<int> errorsOf(SystemCall call) {
  std::vector<int> errors = {EIO, ENOSPC, EINTR, EACCES};
  if (call == SystemCall::kRenamePath || call == SystemCall::kExchangePaths) {
    errors.push_back(EXDEV);
  }
  if (call == SystemCall::kExchangePaths) errors.push_back(EINVAL);
  return errors;
}

struct CleanRun {
  SystemCallCounts counts{};
  int64_t calls = 0;
  int64_t placedAt = 0;
};

CleanRun cleanRun(const SweepSteps& steps) {
  steps.prepare();
  CleanRun clean;
  bool succeeded = false;
  {
    SystemCallFaults faults;
    succeeded = steps.run();
    clean.counts = faults.counts();
    clean.calls = faults.total();
    clean.placedAt = faults.placedAt(steps.target);
  }
  steps.check(SweptFault{}, succeeded);
  return clean;
}

// One run with the fault `arm` sets.
void faultyRun(const SweepSteps& steps, const CleanRun& clean, int error,
               const std::function<void(SystemCallFaults&)>& arm) {
  steps.prepare();
  bool succeeded = false;
  SweptFault fault;
  {
    SystemCallFaults faults;
    arm(faults);
    succeeded = steps.run();
    const SystemCallFaults::FiredCall first = faults.firstFired();
    fault = SweptFault{first.call,
                       first.n,
                       error,
                       faults.fired(),
                       faults.fired() && clean.placedAt != 0 && first.at > clean.placedAt,
                       first.n == clean.counts[static_cast<size_t>(first.call)]};
  }
  steps.check(fault, succeeded);
}

}  // namespace

std::string SweptFault::describe() const {
  if (!fired) return "no fault";
  return std::string(nameOf(call)) + " #" + std::to_string(n) + ": " +
         (error == 0 ? std::string("short") : std::string(strerrorname_np(error)));
}

SweepFigures sweepSystemCallFaults(const SweepSteps& steps) {
  const CleanRun clean = cleanRun(steps);
  SweepFigures figures{clean.calls, 0};
  for (size_t kind = 0; kind < kSystemCallKinds; ++kind) {
    const auto call = static_cast<SystemCall>(kind);
    for (int64_t n = 1; n <= clean.counts[kind]; ++n) {
      std::vector<int> errors = errorsOf(call);
      if (call == SystemCall::kWriteFile) errors.push_back(0);  // a short write
      for (const int error : errors) {
        faultyRun(steps, clean, error, [&](SystemCallFaults& faults) {
          if (error == 0) {
            faults.shortWriteAt(n);
          } else {
            faults.failAt(call, n, error);
          }
        });
        ++figures.runs;
      }
    }
  }
  return figures;
}

SweepFigures sweepDiskLoss(const SweepSteps& steps) {
  const CleanRun clean = cleanRun(steps);
  SweepFigures figures{clean.calls, 0};
  for (int64_t n = 1; n <= clean.calls; ++n) {
    faultyRun(steps, clean, EIO,
              [n](SystemCallFaults& faults) { faults.failEveryCallFrom(n, EIO); });
    ++figures.runs;
  }
  return figures;
}

}  // namespace tollwick::testing
