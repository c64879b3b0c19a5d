#include "formats/wine_registry.h"

#include <utility>

#include "base/bytes.h"
#include "platform/ansi_text.h"

namespace tollwick::wine {
namespace {

using platform::Code;
using platform::RegRoot;
using platform::RegValue;
using platform::Result;
using platform::Status;
namespace reg = platform::reg;

// The error numbers Windows' registry functions give for each failure.
constexpr int32_t kErrorFileNotFound = 2;
constexpr int32_t kErrorAccessDenied = 5;
constexpr int32_t kErrorInvalidHandle = 6;
constexpr int32_t kErrorSharingViolation = 32;
constexpr int32_t kErrorBadDb = 1009;
constexpr int32_t kErrorRegistryIoFailed = 1016;

Status notFound(const std::string& path) {
  return Status(Code::kNotFound, path, kErrorFileNotFound);
}
Status damaged(const std::string& path) { return Status(Code::kDamaged, path, kErrorBadDb); }

// A file that could not be replaced, as the registry functions report it.
Status replacementFailure(const Status& failure) {
  switch (failure.code()) {
    case Code::kAccessDenied:
      return Status(Code::kAccessDenied, failure.context(), kErrorAccessDenied);
    case Code::kNotFound:
    case Code::kPathNotFound:
      return Status(Code::kNotFound, failure.context(), kErrorFileNotFound);
    default:
      return Status(Code::kIoError, failure.context(), kErrorRegistryIoFailed);
  }
}

bool sameName(const std::u16string& a, std::u16string_view b) { return compareNames(a, b) == 0; }

// Data as the A functions hand it out: strings converted from UTF-16 to the code
// page (an odd last byte, which no character holds, is dropped), the rest as stored.
std::string ansiData(const Value& value) {
  if (!reg::isStringType(value.type)) return std::string(value.data.begin(), value.data.end());
  return utf16ToAnsi(unitsFromLeBytes(value.data));
}

// Data as stored from what an A function was given: strings to UTF-16, each byte one
// character, no terminator added.
Value storedValue(const RegValue& given) {
  Value value{given.type, {}};
  if (!reg::isStringType(given.type)) {
    value.data.assign(given.data.begin(), given.data.end());
    return value;
  }
  appendLeBytes(value.data, ansiToUtf16(given.data));
  return value;
}

}  // namespace

WineRegistry::WineRegistry(std::unique_ptr<WineRegistryFile> file) : file_(std::move(file)) {}

Result<const Document*> WineRegistry::load(const std::string& path) {
  std::string version = file_->version();
  if (cached_ && !version.empty() && version == cachedVersion_) return &*cached_;
  Result<std::string> read = file_->read();
  if (!read.ok() && read.status() != Code::kNotFound) {
    cached_.reset();
    return Status(Code::kIoError, path, kErrorRegistryIoFailed);
  }
  std::string contents = read.ok() ? std::move(read).value() : emptyFileText();  // none: empty
  // Parsing is what costs: an unchanged text keeps its parse.
  if (!cached_ || cached_->text() != contents) cached_.emplace(std::move(contents));
  cachedVersion_ = std::move(version);
  return &*cached_;
}

Status WineRegistry::store(const Document& document, std::string text, const std::string& path) {
  // Never rewrite a file that was misread: what could not be understood might be lost.
  if (!document.isRegistryFile() || document.damaged()) return damaged(path);
  if (text == document.text()) return {};  // nothing changes
  // The running wineserver holds the registry in memory and would overwrite the file
  // with it: a change made now would be lost.
  if (file_->inUse()) return Status(Code::kInUse, path, kErrorSharingViolation);
  const Status replaced = file_->replace(text);
  cached_.reset();  // read again next time, whatever happened
  return replaced.ok() ? replaced : replacementFailure(replaced);
}

KeyPath WineRegistry::view(const Document& document, const KeyPath& path, bool forCreate) const {
  // A 32-bit program's "Software\X" lives under "Software\Wow6432Node\X" in a 64-bit
  // prefix; a key found there wins over the plain path.
  if (path.size() < 2 || !sameName(path[0], u"Software") || sameName(path[1], u"Wow6432Node")) {
    return path;
  }
  KeyPath redirected = path;
  redirected.insert(redirected.begin() + 1, u"Wow6432Node");
  if (document.hasKey(redirected)) return redirected;
  if (!forCreate || document.hasKey(path)) return path;
  return document.isWin64() ? redirected : path;
}

Result<const Document*> WineRegistry::loadRoot(RegRoot root, const std::string& path) {
  if (root == reg::kClassesRoot || root == reg::kCurrentUser || root == reg::kUsers) {
    return notFound(path);  // the file holds HKEY_LOCAL_MACHINE only
  }
  if (root != reg::kLocalMachine) return Status(Code::kInvalidArgument, path, kErrorInvalidHandle);
  return load(path);
}

Result<WineRegistry::FoundKey> WineRegistry::find(RegRoot root, const std::string& path) {
  Result<const Document*> loaded = loadRoot(root, path);
  if (!loaded.ok()) return loaded.status();
  const Document& document = **loaded;
  if (!document.isRegistryFile()) return notFound(path);  // never read as a registry
  KeyPath key = view(document, splitPath(ansiToUtf16(path)), false);
  if (!key.empty() && !document.hasKey(key)) return notFound(path);
  return FoundKey{&document, std::move(key)};
}

Result<RegValue> WineRegistry::readValue(RegRoot root, const std::string& path,
                                         const std::string& name) {
  const Result<FoundKey> found = find(root, path);
  if (!found.ok()) return found.status();
  const Value* value = found->document->findValue(found->key, ansiToUtf16(name));
  if (value == nullptr) return notFound(path);
  return RegValue{value->type, ansiData(*value)};
}

Status WineRegistry::writeValue(RegRoot root, const std::string& path, const std::string& name,
                                const RegValue& value) {
  const Result<FoundKey> found = find(root, path);
  if (!found.ok()) return found.status();
  const auto& [document, key] = *found;
  if (document->damaged()) return damaged(path);
  if (key.empty()) {
    return Status(Code::kAccessDenied, path, kErrorAccessDenied);  // no values at the root
  }
  return store(*document,
               document->textWithValue(key, ansiToUtf16(name), storedValue(value), file_->now()),
               path);
}

Status WineRegistry::deleteValue(RegRoot root, const std::string& path, const std::string& name) {
  const Result<FoundKey> found = find(root, path);
  if (!found.ok()) return found.status();
  const auto& [document, key] = *found;
  if (document->damaged()) return damaged(path);
  const std::u16string wanted = ansiToUtf16(name);
  if (document->findValue(key, wanted) == nullptr) return notFound(path);
  return store(*document, document->textWithoutValue(key, wanted), path);
}

Status WineRegistry::createKey(RegRoot root, const std::string& path) {
  Result<const Document*> loaded = loadRoot(root, path);
  if (!loaded.ok()) return loaded.status();
  const Document& document = **loaded;
  if (!document.isRegistryFile()) return damaged(path);
  const KeyPath key = view(document, splitPath(ansiToUtf16(path)), true);
  if (key.empty() || document.hasKey(key)) return {};
  return store(document, document.textWithKey(key, file_->now()), path);
}

}  // namespace tollwick::wine
