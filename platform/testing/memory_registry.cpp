#include "platform/testing/memory_registry.h"

#include <algorithm>
#include <cstring>
#include <set>
#include <vector>

namespace tollwick::testing {
namespace {

using platform::RegKey;
namespace reg = platform::reg;

char foldByte(char c) {
  const auto u = static_cast<unsigned char>(c);
  if ((u >= 'a' && u <= 'z') || (u >= 0xE0 && u <= 0xFE && u != 0xF7)) {
    return static_cast<char>(u - 0x20);
  }
  return c;
}

std::string fold(const std::string& text) {
  std::string out = text;
  std::transform(out.begin(), out.end(), out.begin(), foldByte);
  return out;
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

uint32_t size32(std::size_t size) { return static_cast<uint32_t>(size); }

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

int32_t MemoryRegistry::resolve(RegKey key, const char* subKey, std::string* path) const {
  if (key == reg::kLocalMachine) {
    path->clear();
  } else if (const auto found = open_.find(key); found != open_.end()) {
    *path = found->second.path;
  } else if (key == reg::kClassesRoot || key == reg::kCurrentUser || key == reg::kUsers) {
    return reg::kFileNotFound;  // only HKEY_LOCAL_MACHINE holds keys here
  } else {
    return reg::kInvalidHandle;
  }
  *path = join(*path, subKey == nullptr ? "" : subKey);
  return reg::kSuccess;
}

int32_t MemoryRegistry::openKeyEx(RegKey key, const char* subKey, uint32_t /*options*/,
                                  uint32_t samDesired, RegKey* result) {
  if (result == nullptr) return reg::kInvalidParameter;
  std::string path;
  if (const int32_t status = resolve(key, subKey, &path); status != reg::kSuccess) return status;
  if (keys_.count(path) == 0) return reg::kFileNotFound;
  *result = nextHandle_++;
  open_[*result] = OpenKey{path, samDesired};
  return reg::kSuccess;
}

int32_t MemoryRegistry::createKeyEx(RegKey key, const char* subKey, uint32_t samDesired,
                                    RegKey* result) {
  if (result == nullptr) return reg::kInvalidParameter;
  std::string path;
  if (const int32_t status = resolve(key, subKey, &path); status != reg::kSuccess) return status;
  addKey(path);
  *result = nextHandle_++;
  open_[*result] = OpenKey{path, samDesired};
  return reg::kSuccess;
}

int32_t MemoryRegistry::queryInfoKey(RegKey key, char* className, uint32_t* classLength,
                                     uint32_t* /*reserved*/, uint32_t* subKeys,
                                     uint32_t* maxSubKeyLength, uint32_t* maxClassLength,
                                     uint32_t* values, uint32_t* maxValueNameLength,
                                     uint32_t* maxValueLength, uint32_t* securityDescriptorLength,
                                     platform::RegFileTime* lastWriteTime) {
  std::string path;
  if (const int32_t status = resolve(key, nullptr, &path); status != reg::kSuccess) return status;
  const auto found = keys_.find(path);
  if (found == keys_.end()) return reg::kFileNotFound;
  std::set<std::string> children;
  for (const auto& [other, unused] : keys_) {
    const std::string prefix = path.empty() ? "" : path + "\\";
    if (other.size() > prefix.size() && other.compare(0, prefix.size(), prefix) == 0) {
      const std::string rest = other.substr(prefix.size());
      children.insert(rest.substr(0, rest.find('\\')));
    }
  }
  std::size_t longestChild = 0, longestName = 0, longestData = 0;
  for (const auto& child : children) longestChild = std::max(longestChild, child.size());
  for (const auto& [folded, entry] : found->second.values) {
    longestName = std::max(longestName, entry.first.size());
    longestData = std::max(longestData, entry.second.data.size());
  }
  if (subKeys != nullptr) *subKeys = size32(children.size());
  if (maxSubKeyLength != nullptr) *maxSubKeyLength = size32(longestChild);
  if (maxClassLength != nullptr) *maxClassLength = 0;
  if (values != nullptr) *values = size32(found->second.values.size());
  if (maxValueNameLength != nullptr) *maxValueNameLength = size32(longestName);
  if (maxValueLength != nullptr) *maxValueLength = size32(longestData);
  if (securityDescriptorLength != nullptr) *securityDescriptorLength = 0;
  if (lastWriteTime != nullptr) *lastWriteTime = {};
  if (className != nullptr) {
    if (classLength == nullptr) return reg::kInvalidParameter;
    if (*classLength == 0) return reg::kMoreData;
    className[0] = '\0';
  }
  if (classLength != nullptr) *classLength = 0;
  return reg::kSuccess;
}

int32_t MemoryRegistry::queryValueEx(RegKey key, const char* valueName, uint32_t* /*reserved*/,
                                     uint32_t* type, uint8_t* data, uint32_t* dataLength) {
  queried.emplace_back(valueName == nullptr ? "" : valueName);
  std::string path;
  if (const int32_t status = resolve(key, nullptr, &path); status != reg::kSuccess) return status;
  if (data != nullptr && dataLength == nullptr) return reg::kInvalidParameter;
  const auto found = keys_.find(path);
  if (found == keys_.end()) return reg::kFileNotFound;
  const auto entry = found->second.values.find(fold(valueName == nullptr ? "" : valueName));
  if (entry == found->second.values.end()) return reg::kFileNotFound;
  const StoredValue& stored = entry->second.second;
  if (type != nullptr) *type = stored.type;
  int32_t status = reg::kSuccess;
  if (data != nullptr) {
    if (*dataLength < stored.data.size()) {
      status = reg::kMoreData;
    } else {
      std::memcpy(data, stored.data.data(), stored.data.size());
    }
  }
  if (dataLength != nullptr) *dataLength = size32(stored.data.size());
  return status;
}

int32_t MemoryRegistry::setValueEx(RegKey key, const char* valueName, uint32_t /*reserved*/,
                                   uint32_t type, const uint8_t* data, uint32_t dataLength) {
  ++setValueCalls;
  const auto open = open_.find(key);
  if (open == open_.end()) return reg::kInvalidHandle;
  if ((open->second.access & reg::kKeySetValue) == 0) return reg::kAccessDenied;
  if (data == nullptr && dataLength != 0) return reg::kInvalidParameter;
  if (failWritesWith != 0) return failWritesWith;
  const std::string name = valueName == nullptr ? "" : valueName;
  std::string bytes = dataLength == 0
                          ? std::string()
                          : std::string(reinterpret_cast<const char*>(data), dataLength);
  keys_[open->second.path].values[fold(name)] = {name, StoredValue{type, std::move(bytes)}};
  return reg::kSuccess;
}

int32_t MemoryRegistry::closeKey(RegKey key) {
  if (key == reg::kLocalMachine || key == reg::kClassesRoot || key == reg::kCurrentUser ||
      key == reg::kUsers) {
    return reg::kSuccess;
  }
  return open_.erase(key) != 0 ? reg::kSuccess : reg::kInvalidHandle;
}

}  // namespace tollwick::testing
