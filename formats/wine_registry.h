#pragma once
// The registry facility over one Wine registry file (a prefix's system.reg, which
// holds HKEY_LOCAL_MACHINE). Portable: the file itself is reached through
// WineRegistryFile, so the store can be tested without a prefix.

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>

#include "formats/wine_registry_format.h"
#include "platform/registry.h"

namespace tollwick::platform {

class WineRegistryFile {
 public:
  enum class ReadResult { kRead, kMissing, kFailed };

  virtual ~WineRegistryFile() = default;

  // The whole file into `contents`; kMissing when there is no file, kFailed when it
  // could not be read to its end.
  virtual ReadResult read(std::string& contents) = 0;

  // True while a program that would overwrite the file runs (the prefix's wineserver).
  virtual bool inUse() = 0;

  // Replaces the file with `contents` atomically and durably. A registry status.
  virtual int32_t replace(const std::string& contents) = 0;

  // Seconds since 1970, to stamp new key sections.
  virtual int64_t now() = 0;

  // A text that changes whenever the file does (identity, size, times), so that an
  // unchanged file need not be read again; empty when it cannot be told.
  virtual std::string version() { return ""; }
};

// Keys of HKEY_LOCAL_MACHINE only; other roots have no keys. As a 32-bit program sees
// a 64-bit prefix, "Software\X" is looked up as "Software\Wow6432Node\X" first. The
// file is read again for every operation (parsed again only when it changed), and a
// value is stored by rewriting only its lines. A write is refused while the file is in
// use (32) and when the file could not be read (1016), is damaged or is no registry
// file (1009); the file is then left as it was.
class WineRegistry : public Registry {
 public:
  explicit WineRegistry(std::unique_ptr<WineRegistryFile> file);

  int32_t openKeyEx(RegKey key, const char* subKey, uint32_t options, uint32_t samDesired,
                    RegKey* result) override;
  int32_t queryInfoKey(RegKey key, char* className, uint32_t* classLength, uint32_t* reserved,
                       uint32_t* subKeys, uint32_t* maxSubKeyLength, uint32_t* maxClassLength,
                       uint32_t* values, uint32_t* maxValueNameLength, uint32_t* maxValueLength,
                       uint32_t* securityDescriptorLength, RegFileTime* lastWriteTime) override;
  int32_t queryValueEx(RegKey key, const char* valueName, uint32_t* reserved, uint32_t* type,
                       uint8_t* data, uint32_t* dataLength) override;
  int32_t setValueEx(RegKey key, const char* valueName, uint32_t reserved, uint32_t type,
                     const uint8_t* data, uint32_t dataLength) override;
  int32_t closeKey(RegKey key) override;
  int32_t createKeyEx(RegKey key, const char* subKey, uint32_t samDesired, RegKey* result) override;

 private:
  struct OpenKey {
    wine::KeyPath path;
    uint32_t access = 0;
  };

  // The file as it is now, parsed; a status when it cannot be had.
  int32_t load(const wine::Document** document);
  // Checks that `document` may be rewritten and replaces the file with `text`.
  int32_t store(const wine::Document& document, std::string text);
  int32_t resolve(RegKey key, const char* subKey, wine::KeyPath* path) const;
  wine::KeyPath view(const wine::Document& document, const wine::KeyPath& path,
                     bool forCreate) const;
  const OpenKey* find(RegKey key) const;
  RegKey remember(wine::KeyPath path, uint32_t access);

  std::unique_ptr<WineRegistryFile> file_;
  std::optional<wine::Document> cached_;
  std::string cachedVersion_;
  std::map<RegKey, OpenKey> open_;
  RegKey nextHandle_ = 1;
};

}  // namespace tollwick::platform
