// A Wine prefix's registry file through the file-system facility.

#include "formats/wine_prefix_registry.h"

#include <cstdio>
#include <ctime>
#include <span>
#include <string_view>
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
    const std::string target = path();
    if (!temporariesSwept_) {
      // What interrupted writes left beside the file goes at the first look at it, not
      // only at the next write (which may never come).
      temporariesSwept_ = true;
      platform::removeLeftOverTemporaries(files_, target);
    }
    Result<platform::FileRead> read = files_.readFileWithIdentity(target, kLargestRegistryFile);
    if (read.status() == Code::kNotFound || read.status() == Code::kPathNotFound) {
      lastRead_ = LastRead{};
      return Status(Code::kNotFound, target);
    }
    if (!read.ok()) return read.status();
    std::string text(read->bytes.begin(), read->bytes.end());
    lastRead_ = LastRead{true, read->identity, read->identity.known ? std::string() : text};
    return text;
  }

  bool inUse() override { return location_.serverRunning(location_.prefix()); }

  // Like a game file: never replaced when its owner made it read-only (or it has other
  // names), written through a temporary that leaves nothing behind, and only over the
  // file last read: another writer's save (Wine's, `wine reg`) is never lost under it.
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
    const LastRead expected = lastRead_;
    return failureOf(
        (*replacement)
            ->putInPlace(target,
                         [this, &expected](const std::string& candidate, bool displaced) {
                           return holdsLastRead(candidate, expected, displaced);
                         }),
        target);
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

  // What the last read found: no file, or a file told by its identity, or (where the
  // file system could not vouch for one) by its text.
  struct LastRead {
    bool existed = false;
    FileIdentity identity;
    std::string text;
  };

  Result<bool> holdsLastRead(const std::string& candidate, const LastRead& expected,
                             bool displaced) {
    if (expected.existed && expected.identity.known) {
      const Result<FileIdentity> now = files_.identify(candidate);
      if (now.status() == Code::kNotFound) return false;
      if (!now.ok()) return now.status();
      return platform::sameFileAsRead(expected.identity, *now, displaced);
    }
    const Result<ByteBuffer> bytes = files_.readFile(candidate, expected.text.size());
    if (bytes.status() == Code::kNotFound) return !expected.existed;
    if (bytes.status() == Code::kTooLarge) return false;
    if (!bytes.ok()) return bytes.status();
    return expected.existed && std::string_view(reinterpret_cast<const char*>(bytes->data()),
                                                bytes->size()) == expected.text;
  }

  FileSystem& files_;
  WinePrefixLocation location_;
  LastRead lastRead_;
  bool temporariesSwept_ = false;
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
