#include "os/posix/file_identity.h"

#include <time.h>

#include <algorithm>
#include <cstdint>

namespace tollwick::platform::posix {
namespace {

int64_t nanosecondsOf(const struct timespec& time) {
  return int64_t{time.tv_sec} * 1'000'000'000 + time.tv_nsec;
}

}  // namespace

FileIdentity identityOf(const struct stat& st) {
  FileIdentity identity;
  if (!S_ISREG(st.st_mode)) return identity;
  identity.device = static_cast<uint64_t>(st.st_dev);
  identity.file = static_cast<uint64_t>(st.st_ino);
  identity.size = static_cast<uint64_t>(st.st_size);
  identity.modifiedNs = nanosecondsOf(st.st_mtim);
  identity.changedNs = nanosecondsOf(st.st_ctim);
  struct timespec now {};
  if (::clock_gettime(CLOCK_REALTIME, &now) != 0) return identity;
  // A time without nanoseconds marks a file system that keeps coarse times (FAT keeps
  // two-second ones): only a file older than that is vouched for.
  const bool wholeSeconds = st.st_mtim.tv_nsec == 0 || st.st_ctim.tv_nsec == 0;
  const int64_t margin = wholeSeconds ? int64_t{3'000'000'000} : int64_t{50'000'000};
  identity.known = std::max(identity.modifiedNs, identity.changedNs) + margin < nanosecondsOf(now);
  return identity;
}

bool sameTimesAndSize(const struct stat& a, const struct stat& b) {
  return a.st_dev == b.st_dev && a.st_ino == b.st_ino && a.st_size == b.st_size &&
         nanosecondsOf(a.st_mtim) == nanosecondsOf(b.st_mtim) &&
         nanosecondsOf(a.st_ctim) == nanosecondsOf(b.st_ctim);
}

}  // namespace tollwick::platform::posix
