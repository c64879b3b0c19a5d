#include "platform/testing/fault_sweep.h"

#include "platform/seam.h"

namespace tollwick::testing {

int64_t sweepFaults(const std::function<void(FaultFs&)>& prepare,
                    const std::function<void(FaultFs&, int64_t)>& arm,
                    const std::function<bool()>& cycle,
                    const std::function<void(const FaultRun&)>& check) {
  for (int64_t n = 1;; ++n) {
    FaultFs fs;
    prepare(fs);
    arm(fs, n);
    bool succeeded = false;
    {
      platform::Installed<platform::FileSystem> installed(fs);
      succeeded = cycle();
    }
    check(FaultRun{fs, n, succeeded});
    if (!fs.faultFired()) return n;
  }
}

}  // namespace tollwick::testing
