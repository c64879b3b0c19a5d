#include "formats/wine_registry.h"

#include <algorithm>
#include <cstring>
#include <utility>

#include "base/bytes.h"
#include "base/text.h"

namespace tollwick::platform {
namespace {

constexpr int32_t kKeyDeleted = 1018;  // the key went away while it was open

std::u16string toUtf16(const char* text) {
  return text == nullptr ? std::u16string() : ansiToUtf16(text);
}

bool sameName(const std::u16string& a, std::u16string_view b) {
  return wine::compareNames(a, b) == 0;
}

// Data as the A functions hand it out: strings converted from UTF-16 to the code
// page (an odd last byte, which no character holds, is dropped), the rest as stored.
std::string ansiData(const wine::Value& value) {
  if (!reg::isStringType(value.type)) return std::string(value.data.begin(), value.data.end());
  return utf16ToAnsi(unitsFromLeBytes(value.data));
}

// Data as stored from what an A function was given: strings to UTF-16, each byte one
// character, no terminator added.
wine::Value storedValue(uint32_t type, const uint8_t* data, uint32_t length) {
  wine::Value value{type, {}};
  if (length == 0) return value;
  if (!reg::isStringType(type)) {
    value.data.assign(data, data + length);
    return value;
  }
  appendLeBytes(value.data,
                ansiToUtf16(std::string_view(reinterpret_cast<const char*>(data), length)));
  return value;
}

uint32_t size32(std::size_t size) { return static_cast<uint32_t>(size); }

}  // namespace

WineRegistry::WineRegistry(std::unique_ptr<WineRegistryFile> file) : file_(std::move(file)) {}

int32_t WineRegistry::load(const wine::Document** document) {
  std::string version = file_->version();
  if (cached_ && !version.empty() && version == cachedVersion_) {
    *document = &*cached_;
    return reg::kSuccess;
  }
  std::string contents;
  switch (file_->read(contents)) {
    case WineRegistryFile::ReadResult::kFailed:
      cached_.reset();
      return reg::kRegistryIoFailed;
    case WineRegistryFile::ReadResult::kMissing:
      contents = wine::emptyFileText();  // no file: an empty registry
      break;
    case WineRegistryFile::ReadResult::kRead:
      break;
  }
  // Parsing is what costs: an unchanged text keeps its parse.
  if (!cached_ || cached_->text() != contents) cached_.emplace(std::move(contents));
  cachedVersion_ = std::move(version);
  *document = &*cached_;
  return reg::kSuccess;
}

int32_t WineRegistry::store(const wine::Document& document, std::string text) {
  // Never rewrite a file that was misread: what could not be understood might be lost.
  if (!document.isRegistryFile() || document.damaged()) return reg::kBadDb;
  if (text == document.text()) return reg::kSuccess;  // nothing changes
  // The running wineserver holds the registry in memory and would overwrite the file
  // with it: a change made now would be lost.
  if (file_->inUse()) return reg::kSharingViolation;
  const int32_t status = file_->replace(text);
  cached_.reset();  // read again next time, whatever happened
  return status;
}

const WineRegistry::OpenKey* WineRegistry::find(RegKey key) const {
  const auto found = open_.find(key);
  return found == open_.end() ? nullptr : &found->second;
}

int32_t WineRegistry::resolve(RegKey key, const char* subKey, wine::KeyPath* path) const {
  if (key == reg::kLocalMachine) {
    path->clear();
  } else if (const OpenKey* open = find(key)) {
    *path = open->path;
  } else if (key == reg::kClassesRoot || key == reg::kCurrentUser || key == reg::kUsers) {
    return reg::kFileNotFound;  // the file holds HKEY_LOCAL_MACHINE only
  } else {
    return reg::kInvalidHandle;
  }
  for (auto& level : wine::splitPath(toUtf16(subKey))) path->push_back(std::move(level));
  return reg::kSuccess;
}

wine::KeyPath WineRegistry::view(const wine::Document& document, const wine::KeyPath& path,
                                 bool forCreate) const {
  // A 32-bit program's "Software\X" lives under "Software\Wow6432Node\X" in a 64-bit
  // prefix; a key found there wins over the plain path.
  if (path.size() < 2 || !sameName(path[0], u"Software") || sameName(path[1], u"Wow6432Node")) {
    return path;
  }
  wine::KeyPath redirected = path;
  redirected.insert(redirected.begin() + 1, u"Wow6432Node");
  if (document.hasKey(redirected)) return redirected;
  if (!forCreate || document.hasKey(path)) return path;
  return document.isWin64() ? redirected : path;
}

RegKey WineRegistry::remember(wine::KeyPath path, uint32_t access) {
  const RegKey handle = nextHandle_++;
  open_[handle] = OpenKey{std::move(path), access};
  return handle;
}

int32_t WineRegistry::openKeyEx(RegKey key, const char* subKey, uint32_t /*options*/,
                                uint32_t samDesired, RegKey* result) {
  if (result == nullptr) return reg::kInvalidParameter;
  wine::KeyPath path;
  if (const int32_t status = resolve(key, subKey, &path); status != reg::kSuccess) return status;
  const wine::Document* document = nullptr;
  if (const int32_t status = load(&document); status != reg::kSuccess) return status;
  if (!document->isRegistryFile()) return reg::kFileNotFound;  // never read as a registry
  wine::KeyPath seen = view(*document, path, false);
  if (!seen.empty() && !document->hasKey(seen)) return reg::kFileNotFound;
  *result = remember(std::move(seen), samDesired);
  return reg::kSuccess;
}

int32_t WineRegistry::createKeyEx(RegKey key, const char* subKey, uint32_t samDesired,
                                  RegKey* result) {
  if (result == nullptr) return reg::kInvalidParameter;
  wine::KeyPath path;
  if (const int32_t status = resolve(key, subKey, &path); status != reg::kSuccess) return status;
  const wine::Document* document = nullptr;
  if (const int32_t status = load(&document); status != reg::kSuccess) return status;
  if (!document->isRegistryFile()) return reg::kBadDb;
  wine::KeyPath seen = view(*document, path, true);
  if (!seen.empty() && !document->hasKey(seen)) {
    const int32_t status = store(*document, document->textWithKey(seen, file_->now()));
    if (status != reg::kSuccess) return status;
  }
  *result = remember(std::move(seen), samDesired);
  return reg::kSuccess;
}

int32_t WineRegistry::queryInfoKey(RegKey key, char* className, uint32_t* classLength,
                                   uint32_t* /*reserved*/, uint32_t* subKeys,
                                   uint32_t* maxSubKeyLength, uint32_t* maxClassLength,
                                   uint32_t* values, uint32_t* maxValueNameLength,
                                   uint32_t* maxValueLength, uint32_t* securityDescriptorLength,
                                   RegFileTime* lastWriteTime) {
  wine::KeyPath path;
  if (const int32_t status = resolve(key, nullptr, &path); status != reg::kSuccess) return status;
  const wine::Document* document = nullptr;
  if (const int32_t status = load(&document); status != reg::kSuccess) return status;
  if (!path.empty() && !document->hasKey(path)) return kKeyDeleted;

  const std::string keyClass = utf16ToAnsi(document->keyClass(path));
  const auto children = document->subkeys(path);
  const auto entries = document->values(path);
  std::size_t longestChild = 0, longestName = 0, longestData = 0;
  for (const auto& child : children) longestChild = std::max(longestChild, child.size());
  for (const auto& [name, value] : entries) {
    longestName = std::max(longestName, name.size());
    longestData = std::max(longestData, value->data.size());
  }
  if (subKeys != nullptr) *subKeys = size32(children.size());
  if (maxSubKeyLength != nullptr) *maxSubKeyLength = size32(longestChild);
  if (maxClassLength != nullptr) *maxClassLength = size32(keyClass.size());
  if (values != nullptr) *values = size32(entries.size());
  if (maxValueNameLength != nullptr) *maxValueNameLength = size32(longestName);
  if (maxValueLength != nullptr) *maxValueLength = size32(longestData);
  if (securityDescriptorLength != nullptr) *securityDescriptorLength = 0;
  if (lastWriteTime != nullptr) {
    const uint64_t time = document->lastWriteTime(path);
    lastWriteTime->lowDateTime = static_cast<uint32_t>(time & 0xFFFFFFFFu);
    lastWriteTime->highDateTime = static_cast<uint32_t>(time >> 32);
  }
  if (className != nullptr) {
    if (classLength == nullptr) return reg::kInvalidParameter;
    if (*classLength <= keyClass.size()) {
      *classLength = size32(keyClass.size());
      return reg::kMoreData;
    }
    std::memcpy(className, keyClass.c_str(), keyClass.size() + 1);
  }
  if (classLength != nullptr) *classLength = size32(keyClass.size());
  return reg::kSuccess;
}

int32_t WineRegistry::queryValueEx(RegKey key, const char* valueName, uint32_t* /*reserved*/,
                                   uint32_t* type, uint8_t* data, uint32_t* dataLength) {
  wine::KeyPath path;
  if (const int32_t status = resolve(key, nullptr, &path); status != reg::kSuccess) return status;
  if (data != nullptr && dataLength == nullptr) return reg::kInvalidParameter;
  const wine::Document* document = nullptr;
  if (const int32_t status = load(&document); status != reg::kSuccess) return status;
  const wine::Value* value = document->findValue(path, toUtf16(valueName));
  if (value == nullptr) return reg::kFileNotFound;
  const std::string bytes = ansiData(*value);
  if (type != nullptr) *type = value->type;
  int32_t status = reg::kSuccess;
  if (data != nullptr) {
    if (*dataLength < bytes.size()) {
      status = reg::kMoreData;
    } else {
      std::memcpy(data, bytes.data(), bytes.size());
    }
  }
  if (dataLength != nullptr) *dataLength = size32(bytes.size());
  return status;
}

int32_t WineRegistry::setValueEx(RegKey key, const char* valueName, uint32_t /*reserved*/,
                                 uint32_t type, const uint8_t* data, uint32_t dataLength) {
  const OpenKey* open = find(key);
  if (open == nullptr) return key == reg::kLocalMachine ? reg::kAccessDenied : reg::kInvalidHandle;
  if ((open->access & reg::kKeySetValue) == 0) return reg::kAccessDenied;
  if (data == nullptr && dataLength != 0) return reg::kInvalidParameter;
  const wine::Document* document = nullptr;
  if (const int32_t status = load(&document); status != reg::kSuccess) return status;
  if (!document->isRegistryFile() || document->damaged()) return reg::kBadDb;
  if (!open->path.empty() && !document->hasKey(open->path)) return kKeyDeleted;
  if (open->path.empty()) return reg::kAccessDenied;  // no values at the root
  return store(*document,
               document->textWithValue(open->path, toUtf16(valueName),
                                       storedValue(type, data, dataLength), file_->now()));
}

int32_t WineRegistry::closeKey(RegKey key) {
  if (key == reg::kLocalMachine || key == reg::kClassesRoot || key == reg::kCurrentUser ||
      key == reg::kUsers) {
    return reg::kSuccess;
  }
  return open_.erase(key) != 0 ? reg::kSuccess : reg::kInvalidHandle;
}

}  // namespace tollwick::platform
