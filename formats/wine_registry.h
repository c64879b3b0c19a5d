#pragma once
// The registry facility over one Wine registry file (a prefix's system.reg, which
// holds HKEY_LOCAL_MACHINE). Portable: the file itself is reached through
// WineRegistryFile, so the store can be tested without a prefix.

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "formats/wine_registry_document.h"
#include "platform/registry.h"
#include "platform/status.h"

namespace tollwick::wine {

class WineRegistryFile {
 public:
  virtual ~WineRegistryFile() = default;

  // The whole file; kNotFound when there is no file, any other failure when it could
  // not be read to its end.
  virtual platform::Result<std::string> read() = 0;

  // True while a program that would overwrite the file runs (the prefix's wineserver).
  virtual bool inUse() = 0;

  // Replaces the file with `contents` atomically and durably. A failure is the file
  // system's (kAccessDenied also for a file its owner made read-only) and names the
  // file; the store gives it Windows' registry error number.
  virtual platform::Status replace(const std::string& contents) = 0;

  // Seconds since 1970, to stamp new key sections.
  virtual int64_t now() = 0;

  // A text that changes whenever the file does (identity, size, times), so that an
  // unchanged file need not be read again; empty when it cannot be told.
  virtual std::string version() { return ""; }
};

// Keys of HKEY_LOCAL_MACHINE only; other roots have no keys. As a 32-bit program sees
// a 64-bit prefix, "Software\X" is looked up as "Software\Wow6432Node\X" first. The
// file is read again for every operation (parsed again only when it changed), and a
// value is stored or deleted by rewriting only its lines. A change is refused while
// the file is in use (kInUse) and when the file could not be read (kIoError), is
// damaged or is no registry file (kDamaged); the file is then left as it was. Each
// failure carries the error number Windows gives for it, and the key path (the
// file's, when the file could not be replaced).
class WineRegistry : public platform::Registry {
 public:
  explicit WineRegistry(std::unique_ptr<WineRegistryFile> file);

  platform::Result<platform::RegValue> readValue(platform::RegRoot root, const std::string& path,
                                                 const std::string& name) override;
  platform::Status writeValue(platform::RegRoot root, const std::string& path,
                              const std::string& name, const platform::RegValue& value) override;
  platform::Status deleteValue(platform::RegRoot root, const std::string& path,
                               const std::string& name) override;
  platform::Status createKey(platform::RegRoot root, const std::string& path) override;

 private:
  // The file as it is now, parsed; a failure when it cannot be had.
  platform::Result<const Document*> load(const std::string& path);
  // The file that holds the keys of `root`, as it is now: roots other than
  // HKEY_LOCAL_MACHINE have no keys.
  platform::Result<const Document*> loadRoot(platform::RegRoot root, const std::string& path);
  struct FoundKey {
    const Document* document = nullptr;
    KeyPath key;
  };
  // The existing key `path` below `root` as this program sees it, in the file as it
  // is now.
  platform::Result<FoundKey> find(platform::RegRoot root, const std::string& path);
  // Checks that `document` may be rewritten and replaces the file with `text`.
  platform::Status store(const Document& document, std::string text, const std::string& path);
  KeyPath view(const Document& document, const KeyPath& path, bool forCreate) const;

  std::unique_ptr<WineRegistryFile> file_;
  std::optional<Document> cached_;
  std::string cachedVersion_;
};

}  // namespace tollwick::wine
