// A Wine prefix's registry file through the file-system facility.

#include "formats/wine_prefix_registry.h"

#include <cstdio>
#include <ctime>
#include <span>
#include <utility>

#include "platform/ansi_text.h"
#include "platform/replacement.h"

namespace tollwick::wine {
namespace {

using platform::ByteBuffer;
using platform::Code;
using platform::FileIdentity;
using platform::FileSystem;
using platform::Replacement;
using platform::Result;
using platform::Status;

// A failure of the file system on the way to replacing `path`, naming the file as the
// registry knows it.
Status failureOf(const Status& status, const std::string& path) {
  if (status.ok()) return {};
  return Status(status.code(), path, status.osError());
}

class PrefixRegistryFile : public WineRegistryFile {
 public:
  PrefixRegistryFile(FileSystem& files, WinePrefixLocation location)
      : files_(files), location_(std::move(location)) {}

  Result<std::string> read() override {
    const Result<ByteBuffer> bytes = files_.readFile(path());
    if (bytes.status() == Code::kNotFound || bytes.status() == Code::kPathNotFound) {
      return Status(Code::kNotFound, path());
    }
    if (!bytes.ok()) return bytes.status();
    return std::string(bytes->begin(), bytes->end());
  }

  bool inUse() override { return location_.serverRunning(location_.prefix()); }

  // Like a game file: never replaced when its owner made it read-only (or it has other
  // names), and written through a temporary that leaves nothing behind.
  Status replace(const std::string& contents) override {
    const std::string target = path();
    const Result<bool> writable = files_.mayWrite(target);
    if (writable.ok() && !*writable) return Status(Code::kAccessDenied, target);
    if (!writable.ok() && writable.status() != Code::kNotFound) {
      return failureOf(writable.status(), target);
    }
    const auto* data = reinterpret_cast<const uint8_t*>(contents.data());
    Result<std::unique_ptr<Replacement>> replacement =
        Replacement::write(files_, target, std::span<const uint8_t>(data, contents.size()));
    if (!replacement.ok()) return failureOf(replacement.status(), target);
    return failureOf((*replacement)->putInPlace(target), target);
  }

  int64_t now() override { return static_cast<int64_t>(std::time(nullptr)); }

  std::string version() override {
    const Result<FileIdentity> identified = files_.identify(path());
    if (identified.status() == Code::kNotFound) return "missing";
    if (!identified.ok()) return "";
    const FileIdentity& identity = *identified;
    if (identity.size == 0 && identity.file == 0) return "";
    char text[160];
    std::snprintf(text, sizeof text, "%llx:%llx:%llx:%lld:%lld",
                  static_cast<unsigned long long>(identity.device),
                  static_cast<unsigned long long>(identity.file),
                  static_cast<unsigned long long>(identity.size),
                  static_cast<long long>(identity.modifiedNs),
                  static_cast<long long>(identity.changedNs));
    return text;
  }

 private:
  // The file as a program path: the host directory's name in the code page, as the
  // file-system facility takes every path.
  std::string path() const { return utf8ToAnsi(location_.prefix()) + "/system.reg"; }

  FileSystem& files_;
  WinePrefixLocation location_;
};

}  // namespace

std::unique_ptr<WineRegistryFile> makeWinePrefixRegistryFile(FileSystem& files,
                                                             WinePrefixLocation location) {
  return std::make_unique<PrefixRegistryFile>(files, std::move(location));
}

std::unique_ptr<platform::Registry> makeWinePrefixRegistry(FileSystem& files,
                                                           WinePrefixLocation location) {
  return std::make_unique<WineRegistry>(makeWinePrefixRegistryFile(files, std::move(location)));
}

}  // namespace tollwick::wine
