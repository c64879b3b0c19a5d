// A security library that counts. Placed beside a program as ZELKORSEC.so, it forwards
// the four exports to ZELKORSEC.counted.so in its own directory (whatever library is
// put there) and, when ZELKORSEC_COUNT_LOG names a file, appends one line to it for
// every transform or check of 1 MiB or more: "mangle <length>" or "verify <length>".
// The benchmark scripts count those lines.

#include <dlfcn.h>
#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "zelkorsec/zelkorsec.h"

namespace {

constexpr int32_t kCountedLength = int32_t{1} << 20;

struct Exports {
  ZelkorSecVerifyFn verify = nullptr;
  ZelkorSecMangleFn mangle = nullptr;
  ZelkorSecMakeKeyFn makeKey = nullptr;
  ZelkorSecFreeKeyFn freeKey = nullptr;
};

[[noreturn]] void fail(const std::string& why) {
  std::fprintf(stderr, "counting ZELKORSEC: %s\n", why.c_str());
  std::abort();
}

void* symbol(void* library, const char* name) {
  void* address = dlsym(library, name);
  if (address == nullptr) fail(std::string("no export ") + name);
  return address;
}

// The library counted: loaded on first use from the directory this library lies in.
const Exports& counted() {
  static const Exports exports = [] {
    Dl_info self{};
    if (dladdr(reinterpret_cast<void*>(&fail), &self) == 0 || self.dli_fname == nullptr) {
      fail("cannot tell where it lies");
    }
    std::string path = self.dli_fname;
    path = path.substr(0, path.find_last_of('/') + 1) + "ZELKORSEC.counted.so";
    void* library = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (library == nullptr) fail(dlerror());
    Exports found;
    found.verify = reinterpret_cast<ZelkorSecVerifyFn>(symbol(library, "ZelkorSecVerify"));
    found.mangle = reinterpret_cast<ZelkorSecMangleFn>(symbol(library, "ZelkorSecMangle"));
    found.makeKey = reinterpret_cast<ZelkorSecMakeKeyFn>(symbol(library, "ZelkorSecMakeKey"));
    found.freeKey = reinterpret_cast<ZelkorSecFreeKeyFn>(symbol(library, "ZelkorSecFreeKey"));
    return found;
  }();
  return exports;
}

void count(const char* what, int32_t length) {
  if (length < kCountedLength) return;
  const char* log = std::getenv("ZELKORSEC_COUNT_LOG");
  if (log == nullptr || *log == '\0') return;
  const int fd = ::open(log, O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0644);
  if (fd < 0) return;
  char line[64];
  const int size = std::snprintf(line, sizeof line, "%s %d\n", what, static_cast<int>(length));
  if (size > 0 && ::write(fd, line, static_cast<size_t>(size)) < 0) {
    // A lost line shows as a missing count; the call itself goes on.
  }
  ::close(fd);
}

}  // namespace

extern "C" {

ZELKORSEC_API int32_t ZELKORSEC_CALL ZelkorSecVerify(const void* buffer, int32_t length,
                                                     int32_t seed) {
  count("verify", length);
  return counted().verify(buffer, length, seed);
}

ZELKORSEC_API int32_t ZELKORSEC_CALL ZelkorSecMangle(void* buffer, int32_t length, int32_t seed,
                                                     int32_t key) {
  count("mangle", length);
  return counted().mangle(buffer, length, seed, key);
}

ZELKORSEC_API int32_t ZELKORSEC_CALL ZelkorSecMakeKey(int32_t check) {
  return counted().makeKey(check);
}

ZELKORSEC_API int32_t ZELKORSEC_CALL ZelkorSecFreeKey(int32_t key) {
  return counted().freeKey(key);
}

}  // extern "C"
