#pragma once
// A sweep of system-call faults over a run of the real file-system code that replaces
// one file: the run is made once to count its calls, then once for every call it made
// and every error that call could meet, with that one call failed; and once for every
// write made short. What each run left is judged by the caller.

#include <cstdint>
#include <functional>
#include <string>

#include "os/posix/testing/system_call_faults.h"

namespace tollwick::testing {

// The fault of one run of a sweep.
struct SweptFault {
  SystemCall call = SystemCall::kOpenFile;
  int64_t n = 0;       // the call of its kind that was failed first, from 1 (0: no fault)
  int error = 0;       // the errno it failed with (0: a short write, or no fault)
  bool fired = false;  // whether the run came that far
  // Whether it came after the call that put the new file in place in the clean run: the
  // run has replaced the file by then, and may still report the failure.
  bool afterPlacing = false;
  // Whether it was the last call of its kind in the clean run.
  bool lastOfItsKind = false;
  // "writeFile #3: ENOSPC", "writeFile #3: short", "no fault".
  std::string describe() const;
};

// What a sweep did.
struct SweepFigures {
  int64_t calls = 0;  // the calls of the clean run
  int64_t runs = 0;   // the runs with a fault
};

// The callbacks of a sweep: `prepare` sets up the disk before each run, `run` is the run
// itself (true when it reported success), `check` judges what it left (with no fault in
// place). `target` is the host path of the file the run replaces.
struct SweepSteps {
  std::string target;
  std::function<void()> prepare;
  std::function<bool()> run;
  std::function<void(const SweptFault&, bool succeeded)> check;
};

// First the clean run, then for every call of the clean run each of EIO, ENOSPC, EINTR
// and EACCES (with EXDEV for a rename or an exchange, and EINVAL, an exchange the file
// system cannot make, for an exchange), then a short write for every write.
SweepFigures sweepSystemCallFaults(const SweepSteps& steps);

// The disk goes away: for every n up to the clean run's number of calls, every call
// from the nth on fails with EIO (the fault names the first call failed).
SweepFigures sweepDiskLoss(const SweepSteps& steps);

}  // namespace tollwick::testing
