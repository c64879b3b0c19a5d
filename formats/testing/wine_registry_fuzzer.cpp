// libFuzzer target of the Wine registry file parser. Beyond not crashing, it checks
// what the store relies on: a value stored into a file that parsed cleanly leaves a
// file that parses cleanly, holds the new value, and holds every other value as before.
//   build: cmake -DTOLLWICK_FUZZ=ON with clang; run: wine_registry_fuzzer CORPUS
//   seeds: settings/testdata/wine_system.reg

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "formats/wine_registry_document.h"
#include "platform/registry.h"

namespace {

using tollwick::wine::Document;
using tollwick::wine::KeyPath;
using tollwick::wine::Value;

void check(bool condition) {
  if (!condition) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const Document doc(std::string(reinterpret_cast<const char*>(data), size));
  const KeyPath key = {u"Software", u"Varnholt", u"Zelkor"};
  const auto before = doc.values(key);
  doc.subkeys(key);
  if (!doc.isRegistryFile() || doc.damaged()) return 0;

  const Value value{tollwick::platform::reg::kSz, {'T', 0}};
  const Document after(doc.textWithValue(key, u"WipeSystem", value, 1796619687));
  check(after.isRegistryFile() && !after.damaged());
  const Value* stored = after.findValue(key, u"wipesystem");
  check(stored != nullptr && *stored == value);
  for (const auto& [name, old] : before) {
    if (tollwick::wine::compareNames(name, u"WipeSystem") == 0) continue;
    const Value* kept = after.findValue(key, name);
    check(kept != nullptr && *kept == *old);
  }
  check(after.values(key).size() == before.size() + (doc.findValue(key, u"WipeSystem") ? 0 : 1));
  return 0;
}
