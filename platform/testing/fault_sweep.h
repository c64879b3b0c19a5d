#pragma once
// A fault swept over every file-system operation of a cycle: the cycle runs once per
// operation it makes, each time on a fresh FaultFs set to fail (or crash) at that
// operation, so that every error path of the code under test is taken once.

#include <cstdint>
#include <functional>

#include "platform/testing/fault_fs.h"

namespace tollwick::testing {

// One run of a sweep.
struct FaultRun {
  FaultFs& fs;
  int64_t operation;  // where the fault was set (counted from 1)
  bool succeeded;     // what the cycle reported
};

// For n = 1, 2, ...: a fresh FaultFs that `prepare` fills and `arm(fs, n)` sets (failAt,
// shortWriteAt, crashAt) is installed as the FileSystem while `cycle` runs (true when it
// reported success); then `check` judges the run. The sweep ends with the first run in
// which the fault did not fire, the cycle having run to its end; `check` sees that run
// too (`fs.faultFired()` false). Returns the number of runs.
int64_t sweepFaults(const std::function<void(FaultFs&)>& prepare,
                    const std::function<void(FaultFs&, int64_t)>& arm,
                    const std::function<bool()>& cycle,
                    const std::function<void(const FaultRun&)>& check);

}  // namespace tollwick::testing
