// Large buffers filled from files on POSIX systems.
//
// A fresh anonymous buffer costs one page fault per 4 KiB page it is filled with: for a
// file of 256 MB, 65,536 faults that take four times as long as copying the bytes, and
// as long again to give the pages back. Two things make that cheaper:
//  - The pieces of the file are read from several threads at once, so the faults and
//    copies run on every core.
//  - A transparent huge page serves 2 MB with one fault. But where the kernel compacts
//    memory on the spot for an advised buffer (its `defrag` setting), a fault on a
//    fragmented machine can stall a run for longer than small pages cost in all. So a
//    piece is advised only when the kernel cannot stall on it: when it never compacts
//    on the spot, or, where it would, when /proc/buddyinfo shows plenty of free huge
//    blocks right before the piece is read (the fault then takes one from the free
//    lists). The kernel still decides: a piece it serves with small pages is only as
//    slow as before. And huge pages are used only while they prove cheaper than small
//    pages on this machine (HugePageJudge below).

#include "os/posix/large_fill.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <sstream>
#include <system_error>
#include <thread>
#include <utility>
#include <vector>

#include "os/posix/system_calls.h"

namespace tollwick::platform::posix {
namespace {

// Pieces handed to the threads; each is advised (or not) on its own.
constexpr size_t kPiece = size_t{16} << 20;
constexpr size_t kPieceAlignment = size_t{2} << 20;
constexpr size_t kMaxThreads = 4;
constexpr const char* kHugePageSettings = "/sys/kernel/mm/transparent_hugepage/";

// The whole of a small system file ("" when it cannot be read).
std::string readSmallFile(const std::string& path) {
  std::string text;
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return text;
  char buffer[4096];
  for (;;) {
    const ssize_t n = ::read(fd, buffer, sizeof buffer);
    if (n > 0) {
      text.append(buffer, static_cast<size_t>(n));
      continue;
    }
    if (n < 0 && errno == EINTR) continue;
    break;
  }
  ::close(fd);
  return text;
}

// The word in brackets: "always [madvise] never" -> "madvise".
std::string chosen(const std::string& setting) {
  const size_t open = setting.find('[');
  const size_t close = setting.find(']', open);
  if (open == std::string::npos || close == std::string::npos) return {};
  return setting.substr(open + 1, close - open - 1);
}

// How the kernel's transparent huge pages can serve a buffer (its settings under
// /sys/kernel/mm/transparent_hugepage/):
enum class HugePages {
  kNone,         // off, or their size unknown
  kUnadvised,    // given to every buffer without compacting on the spot: nothing to ask
  kAdvised,      // given to an advised buffer without compacting on the spot
  kAdvisedFree,  // an advised buffer would compact on the spot when no free huge
                 // block is left: advise only where free blocks are plenty
};

// From the texts of the files `enabled` and `defrag` (the choice in brackets).
HugePages hugePagesFrom(const std::string& enabled, const std::string& defrag) {
  const std::string use = chosen(enabled), compact = chosen(defrag);
  if (use == "always") {
    // Unadvised buffers compact on the spot only under "always"; advising would make
    // them compact under "madvise" and "defer+madvise" too.
    return compact == "always" || compact.empty() ? HugePages::kNone : HugePages::kUnadvised;
  }
  if (use == "madvise") {
    if (compact == "defer" || compact == "never") return HugePages::kAdvised;
    if (compact == "always" || compact == "madvise" || compact == "defer+madvise") {
      return HugePages::kAdvisedFree;
    }
  }
  return HugePages::kNone;
}

struct HugePageSetup {
  HugePages kind = HugePages::kNone;
  size_t size = 0;     // bytes of one huge page
  unsigned order = 0;  // its order in base pages
};

HugePageSetup hugePageSetup() {
  static const HugePageSetup setup = [] {
    HugePageSetup found;
    const std::string dir = kHugePageSettings;
    found.kind = hugePagesFrom(readSmallFile(dir + "enabled"), readSmallFile(dir + "defrag"));
    const unsigned long long size =
        std::strtoull(readSmallFile(dir + "hpage_pmd_size").c_str(), nullptr, 10);
    const long page = ::sysconf(_SC_PAGESIZE);
    if (size == 0 || page <= 0 || size % static_cast<unsigned long long>(page) != 0) {
      found.kind = HugePages::kNone;
      return found;
    }
    found.size = static_cast<size_t>(size);
    for (size_t pages = found.size / static_cast<size_t>(page); pages > 1; pages /= 2)
      ++found.order;
    return found;
  }();
  return setup;
}

// Whole huge pages inside [begin, begin + bytes): empty when there is none.
std::pair<uintptr_t, uintptr_t> hugePagesInside(const HugePageSetup& setup, uint8_t* begin,
                                                size_t bytes) {
  const auto start = reinterpret_cast<uintptr_t>(begin);
  const uintptr_t from = (start + setup.size - 1) / setup.size * setup.size;
  const uintptr_t to = (start + bytes) / setup.size * setup.size;
  return {from, std::max(from, to)};
}

// Asks for huge pages over the piece where they come without compacting on the spot;
// false when the piece gets small pages.
bool adviseHugePages(uint8_t* begin, size_t bytes) {
  const HugePageSetup& setup = hugePageSetup();
  if (setup.kind != HugePages::kAdvised && setup.kind != HugePages::kAdvisedFree) return false;
  const auto [from, to] = hugePagesInside(setup, begin, bytes);
  if (to == from) return false;
  if (setup.kind == HugePages::kAdvisedFree) {
    // Twice what the piece takes must be free: other processes allocate meanwhile.
    const uint64_t needed = (to - from) / setup.size;
    if (freeBlocksFrom(readSmallFile("/proc/buddyinfo"), setup.order) < 2 * needed) return false;
  }
  return ::madvise(reinterpret_cast<void*>(from), to - from, MADV_HUGEPAGE) == 0;
}

// Keeps the piece on small pages where the kernel would give it huge ones unasked.
void refuseHugePages(uint8_t* begin, size_t bytes) {
  const HugePageSetup& setup = hugePageSetup();
  if (setup.kind != HugePages::kUnadvised) return;
  const auto [from, to] = hugePagesInside(setup, begin, bytes);
  if (to > from) (void)::madvise(reinterpret_cast<void*>(from), to - from, MADV_NOHUGEPAGE);
}

// Whether huge pages may serve the next piece. A huge page is fast only where memory
// is at hand: in a virtual machine that hands free huge blocks back to its host, each
// one is first fetched from the host again, and when the host is busy that costs more
// than small pages cost in all (a 256 MB fill once took 0.6 s of system time instead
// of 0.06 s). So the first pieces are read on small pages, for a measure of what they
// cost here, and once a piece on huge pages costs more per byte than that, the rest
// of the fill stays on small pages.
class HugePageJudge {
 public:
  bool mayUse() const { return smallNsPerMiB_.load() != 0 && !slow_.load(); }

  void measured(bool huge, std::chrono::nanoseconds took, size_t bytes) {
    if (bytes < (size_t{1} << 20)) return;
    const int64_t perMiB = std::max<int64_t>(1, took.count() / static_cast<int64_t>(bytes >> 20));
    if (huge) {
      if (perMiB > smallNsPerMiB_.load()) slow_ = true;
      return;
    }
    int64_t known = smallNsPerMiB_.load();
    while ((known == 0 || perMiB < known) && !smallNsPerMiB_.compare_exchange_weak(known, perMiB)) {
    }
  }

 private:
  std::atomic<int64_t> smallNsPerMiB_{0};
  std::atomic<bool> slow_{false};
};

int readPiece(int fd, uint8_t* into, size_t bytes, uint64_t position, size_t& got) {
  got = 0;
  while (got < bytes) {
    const ssize_t n =
        systemCalls().readAt(fd, into + got, std::min<size_t>(bytes - got, size_t{1} << 30),
                             static_cast<off_t>(position + got));
    if (n > 0) {
      got += static_cast<size_t>(n);
    } else if (n == 0) {
      return 0;  // the file ended
    } else if (errno != EINTR) {
      return errno;
    }
  }
  return 0;
}

}  // namespace

uint64_t freeBlocksFrom(const std::string& buddyinfo, unsigned order) {
  // "Node 0, zone   Normal   4491   3539 ..." : free blocks of order 0, 1, 2, ...
  uint64_t blocks = 0;
  std::istringstream lines(buddyinfo);
  for (std::string line; std::getline(lines, line);) {
    const size_t zone = line.find("zone");
    if (zone == std::string::npos) continue;
    std::istringstream fields(line.substr(zone + 4));
    std::string name;
    fields >> name;
    if (name == "DMA") continue;  // kept for devices
    uint64_t count = 0;
    for (unsigned k = 0; fields >> count; ++k) {
      if (k >= order && k - order < 32) blocks += count << (k - order);
    }
  }
  return blocks;
}

int fillFromFile(int fd, uint8_t* into, size_t capacity, uint64_t position, size_t& got) {
  got = 0;
  const size_t cores = std::clamp<size_t>(std::thread::hardware_concurrency(), 1, kMaxThreads);
  // Pieces of at most kPiece, in whole huge pages, at least four for each thread: the
  // first ones measure small pages, the others may then go on huge ones.
  const size_t quarter = (capacity + 4 * cores - 1) / (4 * cores);
  const size_t piece = std::clamp(
      (quarter + kPieceAlignment - 1) / kPieceAlignment * kPieceAlignment, kPieceAlignment, kPiece);
  const size_t count = (capacity + piece - 1) / piece;
  const size_t threads = std::min(cores, count);
  std::vector<size_t> filled(count, 0);
  std::atomic<size_t> next{0};
  std::atomic<int> failure{0};
  HugePageJudge judge;
  auto work = [&] {
    for (size_t i; failure.load() == 0 && (i = next.fetch_add(1)) < count;) {
      const size_t offset = i * piece;
      const size_t bytes = std::min(piece, capacity - offset);
      const bool huge = judge.mayUse() && adviseHugePages(into + offset, bytes);
      if (!huge) refuseHugePages(into + offset, bytes);
      const auto started = std::chrono::steady_clock::now();
      const int error = readPiece(fd, into + offset, bytes, position + offset, filled[i]);
      judge.measured(huge, std::chrono::steady_clock::now() - started, filled[i]);
      if (error != 0) {
        int none = 0;
        failure.compare_exchange_strong(none, error);
      }
    }
  };
  std::vector<std::thread> helpers;
  for (size_t t = 1; t < threads; ++t) {
    try {
      helpers.emplace_back(work);
    } catch (const std::system_error&) {
      break;  // no more threads: the others take the pieces
    }
  }
  work();
  for (std::thread& helper : helpers) helper.join();
  if (const int error = failure.load()) return error;
  // What was filled from the start: a file that ended early leaves a short piece.
  for (size_t i = 0; i < count; ++i) {
    got += filled[i];
    if (filled[i] < std::min(piece, capacity - i * piece)) break;
  }
  return 0;
}

}  // namespace tollwick::platform::posix
