// Time to load the game's resource library and read every game string, as a ratio to
// reading the same file once from disk (both warm in the page cache), and the time of
// the string reads alone, which are answered from the index built at load.
//   resources_bench [library]   (default: Zelkor.dll beside this program)

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

#include "formats/pe/pe_resource_library.h"
#include "platform/file_system.h"
#include "platform/process.h"
#include "platform/seam.h"
#include "resources/cls_resource.h"
#include "resources/game_strings.h"

namespace {

using Clock = std::chrono::steady_clock;

template <class Work>
double medianMicroseconds(int runs, Work work) {
  std::vector<double> times;
  for (int i = 0; i < runs; ++i) {
    const auto start = Clock::now();
    work();
    times.push_back(std::chrono::duration<double, std::micro>(Clock::now() - start).count());
  }
  std::nth_element(times.begin(), times.begin() + runs / 2, times.end());
  return times[static_cast<std::size_t>(runs / 2)];
}

}  // namespace

int main(int argc, char** argv) {
  using namespace tollwick;
  const std::string library =
      argc > 1 ? argv[1]
               : platform::use<platform::Process>().applicationDirectory() + "/Zelkor.dll";
  constexpr int kRuns = 301;
  std::size_t sink = 0;

  platform::ByteBuffer file;
  const double readOnce = medianMicroseconds(kRuns, [&] {
    // A read into new memory, as a load makes.
    platform::Result<platform::ByteBuffer> fresh =
        platform::use<platform::FileSystem>().readFile(library, platform::kLargestResourceLibrary);
    if (!fresh.ok()) return;
    sink += fresh->size();
    file = std::move(fresh).value();
  });
  if (file.empty()) {
    std::fprintf(stderr, "resources_bench: cannot read %s\n", library.c_str());
    return 1;
  }

  clsResource res;
  const double loadAndRead = medianMicroseconds(kRuns, [&] {
    res.DllName(library);
    for (int32_t id : kAllGameStringIds) sink += res.LoadDllString(id).size();
  });
  const double readStrings = medianMicroseconds(kRuns, [&] {
    for (int32_t id : kAllGameStringIds) sink += res.LoadDllString(id).size();
  });
  const auto strings = std::size(kAllGameStringIds);

  std::printf("library:                          %s (%zu bytes)\n", library.c_str(), file.size());
  std::printf("read the file once:               %8.1f us\n", readOnce);
  std::printf("load + read %zu game strings:      %8.1f us\n", strings, loadAndRead);
  std::printf("ratio to reading the file once:   %8.2f\n", loadAndRead / readOnce);
  std::printf("the %zu string reads alone:        %8.1f us (%.2f us each)\n", strings, readStrings,
              readStrings / static_cast<double>(strings));
  return sink == 0 ? 1 : 0;
}
