#include "platform/testing/memory_registry.h"

#include <vector>

#include "base/text.h"
#include "platform/ansi_text.h"
#include "platform/registry_names.h"

namespace tollwick::testing {
namespace {

using platform::Code;
using platform::RegRoot;
using platform::RegValue;
using platform::Result;
using platform::Status;
namespace reg = platform::reg;

// The form equal names share: the registry names' one fold, as a byte string.
std::string fold(const std::string& text) {
  return utf16ToUtf8(platform::foldRegistryName(ansiToUtf16(text)));
}

std::vector<std::string> levels(const std::string& path) {
  std::vector<std::string> out;
  std::size_t start = 0;
  while (start <= path.size()) {
    std::size_t stop = path.find('\\', start);
    if (stop == std::string::npos) stop = path.size();
    if (stop > start) out.push_back(path.substr(start, stop - start));
    start = stop + 1;
  }
  return out;
}

std::string join(const std::string& base, const std::string& sub) {
  std::string out = base;
  for (const std::string& level : levels(sub)) {
    if (!out.empty()) out.push_back('\\');
    out += fold(level);
  }
  return out;
}

}  // namespace

void MemoryRegistry::addKey(const std::string& path) {
  std::string folded;
  for (const std::string& level : levels(path)) {
    folded = join(folded, level);
    keys_.try_emplace(folded);
  }
}

void MemoryRegistry::putValue(const std::string& path, const std::string& name, uint32_t type,
                              std::string data) {
  addKey(path);
  keys_[join("", path)].values[fold(name)] = {name, StoredValue{type, std::move(data)}};
}

bool MemoryRegistry::hasKey(const std::string& path) const {
  return keys_.count(join("", path)) != 0;
}

std::optional<MemoryRegistry::StoredValue> MemoryRegistry::value(const std::string& path,
                                                                 const std::string& name) const {
  const auto key = keys_.find(join("", path));
  if (key == keys_.end()) return std::nullopt;
  const auto found = key->second.values.find(fold(name));
  if (found == key->second.values.end()) return std::nullopt;
  return found->second.second;
}

platform::Status MemoryRegistry::find(RegRoot root, const std::string& path, Key** key) {
  if (root == reg::kClassesRoot || root == reg::kCurrentUser || root == reg::kUsers) {
    return Status(Code::kNotFound, path);  // only HKEY_LOCAL_MACHINE holds keys here
  }
  if (root != reg::kLocalMachine) return Status(Code::kInvalidArgument, path);
  const auto found = keys_.find(join("", path));
  if (found == keys_.end()) return Status(Code::kNotFound, path);
  *key = &found->second;
  return {};
}

Result<RegValue> MemoryRegistry::readValue(RegRoot root, const std::string& path,
                                           const std::string& name) {
  queried.push_back(name);
  Key* key = nullptr;
  if (Status status = find(root, path, &key); !status.ok()) return status;
  const auto entry = key->values.find(fold(name));
  if (entry == key->values.end()) return Status(Code::kNotFound, path);
  return entry->second.second;
}

Status MemoryRegistry::writeValue(RegRoot root, const std::string& path, const std::string& name,
                                  const RegValue& value) {
  Key* key = nullptr;
  if (Status status = find(root, path, &key); !status.ok()) return status;
  ++writeCalls;
  if (failWritesWith != Code::kOk) return Status(failWritesWith, path);
  key->values[fold(name)] = {name, value};
  return {};
}

Status MemoryRegistry::deleteValue(RegRoot root, const std::string& path, const std::string& name) {
  Key* key = nullptr;
  if (Status status = find(root, path, &key); !status.ok()) return status;
  if (key->values.erase(fold(name)) == 0) return Status(Code::kNotFound, path);
  return {};
}

Status MemoryRegistry::createKey(RegRoot root, const std::string& path) {
  if (root == reg::kClassesRoot || root == reg::kCurrentUser || root == reg::kUsers) {
    return Status(Code::kNotFound, path);
  }
  if (root != reg::kLocalMachine) return Status(Code::kInvalidArgument, path);
  addKey(path);
  return {};
}

}  // namespace tollwick::testing
