// The file-system facility on Windows: program paths are Windows paths already; they
// reach the wide API converted from the system's code page. Every call's result is checked.

#include <windows.h>

#include <aclapi.h>  // after windows.h, whose types it uses

#include <algorithm>
#include <cstdio>
#include <limits>
#include <map>
#include <mutex>
#include <utility>

#include "os/win32/file_system.h"
#include "os/win32/text.h"
#include "platform/ansi_text.h"
#include "platform/file_system.h"
#include "platform/read_whole.h"
#include "platform/seam.h"
#include "platform/temporary_names.h"

namespace tollwick::platform {
namespace {

using win32::narrow;
using win32::widen;

constexpr DWORD kChunk = DWORD{1} << 30;  // ReadFile and WriteFile take 32-bit counts

std::string parentOf(const std::string& path) {
  const size_t separator = findLastCharacterOf(path, "\\/");
  if (separator == std::string::npos) {
    return path.size() >= 2 && path[1] == ':' ? path.substr(0, 2) : std::string();
  }
  if (separator == 0) return path.substr(0, 1);
  if (separator == 2 && path[1] == ':') return path.substr(0, 3);  // "C:\"
  return path.substr(0, separator);
}

std::string baseNameOf(const std::string& path) {
  const size_t separator = findLastCharacterOf(path, "\\/:");
  return separator == std::string::npos ? path : path.substr(separator + 1);
}

bool isDirectory(const std::string& path) {
  const std::wstring wide = widen(path.empty() ? std::string(".") : path);
  const DWORD attributes = GetFileAttributesW(wide.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

// The kind of failure the last error `error` of a call on `path` tells.
Code codeOf(DWORD error, const std::string& path) {
  switch (error) {
    case ERROR_FILE_NOT_FOUND:
      return isDirectory(parentOf(path)) ? Code::kNotFound : Code::kPathNotFound;
    case ERROR_PATH_NOT_FOUND:
    case ERROR_INVALID_DRIVE:
    case ERROR_BAD_NETPATH:
    case ERROR_BAD_NET_NAME:
      return Code::kPathNotFound;
    case ERROR_ACCESS_DENIED:
    case ERROR_SHARING_VIOLATION:
    case ERROR_LOCK_VIOLATION:
    case ERROR_WRITE_PROTECT:
      return Code::kAccessDenied;
    case ERROR_FILE_EXISTS:
    case ERROR_ALREADY_EXISTS:
      return Code::kExists;
    case ERROR_DISK_FULL:
    case ERROR_HANDLE_DISK_FULL:
    case ERROR_FILE_TOO_LARGE:
      return Code::kNoSpace;
    case ERROR_TOO_MANY_OPEN_FILES:
      return Code::kTooManyOpen;
    case ERROR_CRC:
    case ERROR_READ_FAULT:
    case ERROR_WRITE_FAULT:
    case ERROR_GEN_FAILURE:
    case ERROR_IO_DEVICE:
    case ERROR_SEEK:
    case ERROR_SECTOR_NOT_FOUND:
    case ERROR_NOT_READY:
      return Code::kIoError;
    default:
      return Code::kUnusable;
  }
}

// The last error of a failed call on `path`, as a status.
Status statusOf(DWORD error, const std::string& path) {
  return Status(codeOf(error, path), path, static_cast<int32_t>(error));
}

Status lastStatus(const std::string& path) { return statusOf(GetLastError(), path); }

// Wildcards would make the search functions match other names.
bool hasWildcard(const std::string& path) { return path.find_first_of("*?") != std::string::npos; }

// A path with a wildcard names nothing: Windows allows neither character in a name. It is
// not found, as on Linux: such a '?' is what a letter the code page lacks turns into.
Status wildcardStatus(const std::string& path) {
  const size_t separator = findLastCharacterOf(path, "\\/");
  const bool inFolder =
      separator != std::string::npos && findFirstCharacterOf(path, "*?") < separator;
  return Status(inFolder ? Code::kPathNotFound : Code::kNotFound, path);
}

class Handle {
 public:
  explicit Handle(HANDLE handle = INVALID_HANDLE_VALUE) : handle_(handle) {}
  ~Handle() { reset(); }
  Handle(const Handle&) = delete;
  Handle& operator=(const Handle&) = delete;
  HANDLE get() const { return handle_; }
  bool valid() const { return handle_ != INVALID_HANDLE_VALUE; }
  HANDLE release() { return std::exchange(handle_, INVALID_HANDLE_VALUE); }
  void reset() {
    if (valid()) CloseHandle(release());
  }

 private:
  HANDLE handle_;
};

// FILETIME (100 ns since 1601) as nanoseconds since 1970.
int64_t nanosecondsOf(uint64_t fileTime) {
  constexpr int64_t kEpochDifference = 116444736000000000;  // 1601 to 1970 in 100 ns
  return (static_cast<int64_t>(fileTime) - kEpochDifference) * 100;
}

uint64_t valueOf(const FILETIME& time) {
  return uint64_t{time.dwHighDateTime} << 32 | time.dwLowDateTime;
}

int64_t nowNs() {
  FILETIME now{};
  GetSystemTimeAsFileTime(&now);
  return nanosecondsOf(valueOf(now));
}

struct Facts {
  BY_HANDLE_FILE_INFORMATION info{};
  int64_t changedNs = 0;
};

bool factsOf(HANDLE file, Facts& out) {
  if (!GetFileInformationByHandle(file, &out.info)) return false;
  FILE_BASIC_INFO basic{};
  out.changedNs = GetFileInformationByHandleEx(file, FileBasicInfo, &basic, sizeof basic)
                      ? nanosecondsOf(static_cast<uint64_t>(basic.ChangeTime.QuadPart))
                      : nanosecondsOf(valueOf(out.info.ftLastWriteTime));
  return true;
}

uint64_t sizeOf(const BY_HANDLE_FILE_INFORMATION& info) {
  return uint64_t{info.nFileSizeHigh} << 32 | info.nFileSizeLow;
}

// The identity of a file: volume serial number, file index, size and times. File times
// tick coarsely on some file systems (FAT keeps two-second ones): a file is vouched for
// only when its last change lies safely behind the present.
FileIdentity identityOf(const Facts& facts) {
  FileIdentity identity;
  const auto& info = facts.info;
  if ((info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) return identity;
  identity.device = info.dwVolumeSerialNumber;
  identity.file = uint64_t{info.nFileIndexHigh} << 32 | info.nFileIndexLow;
  identity.size = sizeOf(info);
  identity.modifiedNs = nanosecondsOf(valueOf(info.ftLastWriteTime));
  identity.changedNs = facts.changedNs;
  const bool wholeSeconds =
      identity.modifiedNs % 1'000'000'000 == 0 || identity.changedNs % 1'000'000'000 == 0;
  const int64_t margin = wholeSeconds ? int64_t{3'000'000'000} : int64_t{50'000'000};
  identity.known = std::max(identity.modifiedNs, identity.changedNs) + margin < nowNs();
  return identity;
}

bool sameFacts(const Facts& a, const Facts& b) {
  return a.info.dwVolumeSerialNumber == b.info.dwVolumeSerialNumber &&
         a.info.nFileIndexHigh == b.info.nFileIndexHigh &&
         a.info.nFileIndexLow == b.info.nFileIndexLow && sizeOf(a.info) == sizeOf(b.info) &&
         valueOf(a.info.ftLastWriteTime) == valueOf(b.info.ftLastWriteTime) &&
         a.changedNs == b.changedNs;
}

// The kind of an entry from its attributes. A link (reparse point) is judged by what
// it points to: `path` is opened to follow it.
EntryKind kindOf(DWORD attributes, const std::string& path) {
  if ((attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0) {
    Handle target(CreateFileW(widen(path).c_str(), 0,
                              FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                              OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    BY_HANDLE_FILE_INFORMATION info{};
    if (!target.valid() || !GetFileInformationByHandle(target.get(), &info)) {
      return EntryKind::kOther;  // a broken link
    }
    attributes = info.dwFileAttributes;
  }
  if ((attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) return EntryKind::kDirectory;
  if ((attributes & FILE_ATTRIBUTE_DEVICE) != 0) return EntryKind::kOther;
  if ((attributes & (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM)) != 0) {
    return EntryKind::kHiddenFile;
  }
  return EntryKind::kNormalFile;
}

// A temporary being written. `lock` is a second handle, for reading, that tells other
// runs' clean-up the file is in use (it opens the file without sharing, which fails
// while any handle is open); it outlives close() until the object is destroyed, and
// shares deletion so that the file can still be renamed into place.
class Win32WritableFile : public WritableFile {
 public:
  Win32WritableFile(HANDLE handle, HANDLE lock, std::string path)
      : handle_(handle), lock_(lock), path_(std::move(path)) {}

  const std::string& path() const override { return path_; }

  Status append(std::span<const uint8_t> bytes) override {
    while (!bytes.empty()) {
      const DWORD chunk = static_cast<DWORD>(std::min<size_t>(bytes.size(), kChunk));
      DWORD written = 0;
      if (!WriteFile(handle_.get(), bytes.data(), chunk, &written, nullptr)) {
        return lastStatus(path_);
      }
      if (written == 0) return Status(Code::kNoSpace, path_);
      bytes = bytes.subspan(written);
    }
    return {};
  }

  Status sync() override { return FlushFileBuffers(handle_.get()) ? Status() : lastStatus(path_); }

  Status close() override {
    // The handle is gone whatever CloseHandle reports: never retry it.
    return CloseHandle(handle_.release()) ? Status() : lastStatus(path_);
  }

 private:
  Handle handle_;
  Handle lock_;
  std::string path_;
};

class Win32FileSystem : public FileSystem {
 public:
  explicit Win32FileSystem(bool useReplaceFile) : useReplaceFile_(useReplaceFile) {}

  Result<ByteBuffer> readFile(const std::string& path, uint64_t limit) override {
    Result<FileRead> read = readFileWithIdentity(path, limit);
    if (!read.ok()) return read.status();
    return std::move(read->bytes);
  }

  Result<FileRead> readFileWithIdentity(const std::string& path, uint64_t limit) override {
    if (path.empty()) return Status(Code::kUnusable, path);
    if (hasWildcard(path)) return wildcardStatus(path);
    if (isDirectory(path)) return Status(Code::kUnusable, path);
    Handle file(CreateFileW(
        widen(path).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
        nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
    if (!file.valid()) return lastStatus(path);
    return readAll(file.get(), path, limit);
  }

  Result<ByteBuffer> readFilePart(const std::string& path, uint64_t offset,
                                  size_t length) override {
    if (path.empty()) return Status(Code::kUnusable, path);
    if (hasWildcard(path)) return wildcardStatus(path);
    if (isDirectory(path)) return Status(Code::kUnusable, path);
    Handle file(CreateFileW(widen(path).c_str(), GENERIC_READ,
                            FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                            OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file.valid()) return lastStatus(path);
    if (GetFileType(file.get()) != FILE_TYPE_DISK) return Status(Code::kUnusable, path);
    ByteBuffer part(length);
    size_t filled = 0;
    while (filled < length) {
      OVERLAPPED at{};
      const uint64_t position = offset + filled;
      at.Offset = static_cast<DWORD>(position & 0xFFFFFFFFu);
      at.OffsetHigh = static_cast<DWORD>(position >> 32);
      DWORD n = 0;
      const auto want = static_cast<DWORD>(std::min<size_t>(length - filled, kChunk));
      if (!ReadFile(file.get(), part.data() + filled, want, &n, &at)) {
        if (GetLastError() == ERROR_HANDLE_EOF) break;
        return lastStatus(path);
      }
      if (n == 0) break;
      filled += n;
    }
    part.resize(filled);
    return part;
  }

  Result<FileIdentity> identify(const std::string& path) override {
    if (path.empty()) return Status(Code::kUnusable, path);
    if (hasWildcard(path)) return wildcardStatus(path);
    Handle file(CreateFileW(widen(path).c_str(), 0,
                            FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                            OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    if (!file.valid()) return lastStatus(path);
    Facts facts;
    if (!factsOf(file.get(), facts)) return lastStatus(path);
    if (GetFileType(file.get()) != FILE_TYPE_DISK) return FileIdentity{};
    return identityOf(facts);
  }

  Result<DirEntry> lookup(const std::string& path) override {
    if (path.empty()) return Status(Code::kUnusable, path);
    if (hasWildcard(path)) return wildcardStatus(path);
    const std::wstring wide = widen(path);
    WIN32_FIND_DATAW found{};
    HANDLE search =
        FindFirstFileExW(wide.c_str(), FindExInfoBasic, &found, FindExSearchNameMatch, nullptr, 0);
    if (search != INVALID_HANDLE_VALUE) {
      FindClose(search);
      return DirEntry{narrow(found.cFileName), kindOf(found.dwFileAttributes, path)};
    }
    // A drive's root or a path ending in a separator has no entry of its own.
    const DWORD attributes = GetFileAttributesW(wide.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) return lastStatus(path);
    return DirEntry{baseNameOf(path), kindOf(attributes, path)};
  }

  Result<std::vector<DirEntry>> listDirectory(const std::string& directory) override {
    if (hasWildcard(directory)) return Status(Code::kPathNotFound, directory);
    std::string prefix = directory;
    if (!prefix.empty() && !endsWithCharacter(prefix, '\\') && prefix.back() != '/' &&
        prefix.back() != ':') {
      prefix += '\\';
    }
    WIN32_FIND_DATAW found{};
    HANDLE search = FindFirstFileExW(widen(prefix + "*").c_str(), FindExInfoBasic, &found,
                                     FindExSearchNameMatch, nullptr, FIND_FIRST_EX_LARGE_FETCH);
    std::vector<DirEntry> entries;
    if (search == INVALID_HANDLE_VALUE) {
      const DWORD error = GetLastError();
      if (error == ERROR_FILE_NOT_FOUND || error == ERROR_NO_MORE_FILES) return entries;
      return statusOf(error, prefix);
    }
    do {
      const std::wstring name = found.cFileName;
      if (name == L"." || name == L"..") continue;
      DirEntry item{narrow(name), EntryKind::kOther};
      item.kind = kindOf(found.dwFileAttributes, prefix + item.name);
      entries.push_back(std::move(item));
    } while (FindNextFileW(search, &found));
    const DWORD error = GetLastError();
    FindClose(search);
    if (error != ERROR_NO_MORE_FILES) return statusOf(error, prefix);
    return entries;
  }

  // A file its owner made read-only (the read-only attribute) is not deleted.
  Result<bool> mayDelete(const std::string& path) override {
    const DWORD attributes = GetFileAttributesW(widen(path).c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) return lastStatus(path);
    return (attributes & FILE_ATTRIBUTE_READONLY) == 0;
  }

  // Nor is it changed.
  Result<bool> mayWrite(const std::string& path) override {
    const DWORD attributes = GetFileAttributesW(widen(path).c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) return lastStatus(path);
    bool writable = (attributes & FILE_ATTRIBUTE_READONLY) == 0;
    // A file with other names (hard links) is not replaced either: the other names
    // would keep the old bytes.
    Handle file(CreateFileW(widen(path).c_str(), 0,
                            FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                            OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    BY_HANDLE_FILE_INFORMATION info{};
    if (file.valid() && GetFileInformationByHandle(file.get(), &info) && info.nNumberOfLinks > 1) {
      writable = false;
    }
    return writable;
  }

  // The attributes the owner set on `model` (archive, indexing, system, hidden) go to
  // `path`; its security descriptor and creation time come when it replaces `model`.
  Status adoptAttributes(const std::string& path, const std::string& model) override {
    const DWORD attributes = GetFileAttributesW(widen(model).c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) return lastStatus(model);
    const DWORD kept = attributes & (FILE_ATTRIBUTE_ARCHIVE | FILE_ATTRIBUTE_NOT_CONTENT_INDEXED |
                                     FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_HIDDEN);
    if (!SetFileAttributesW(widen(path).c_str(), kept != 0 ? kept : DWORD{FILE_ATTRIBUTE_NORMAL})) {
      return lastStatus(path);
    }
    return {};
  }

  Result<std::unique_ptr<WritableFile>> createTempBeside(const std::string& target) override {
    const std::string directory = parentOf(target);
    const std::string stem = directory.empty() || endsWithCharacter(directory, '\\') ||
                                     directory.back() == '/' || directory.back() == ':'
                                 ? directory
                                 : directory + "\\";
    // The copy gets the original's attributes (never read-only: it is written now) and
    // is hidden from the directory search until it is renamed into place.
    const DWORD original = GetFileAttributesW(widen(target).c_str());
    DWORD kept = 0;
    if (original != INVALID_FILE_ATTRIBUTES) {
      kept = original & (FILE_ATTRIBUTE_ARCHIVE | FILE_ATTRIBUTE_NOT_CONTENT_INDEXED |
                         FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_HIDDEN);
    }
    const DWORD finalAttributes = kept != 0 ? kept : DWORD{FILE_ATTRIBUTE_NORMAL};
    for (int attempt = 0; attempt < 100; ++attempt) {
      const std::string temp = stem + freshTemporaryNameFor(baseNameOf(target));
      HANDLE file =
          CreateFileW(widen(temp).c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                      nullptr, CREATE_NEW, kept | FILE_ATTRIBUTE_HIDDEN, nullptr);
      if (file == INVALID_HANDLE_VALUE) {
        const DWORD error = GetLastError();
        if (error == ERROR_FILE_EXISTS || error == ERROR_ALREADY_EXISTS) continue;
        return statusOf(error, temp);
      }
      HANDLE holder = CreateFileW(widen(temp).c_str(), GENERIC_READ,
                                  FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                  OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
      if (holder == INVALID_HANDLE_VALUE) {
        Status status = lastStatus(temp);
        CloseHandle(file);
        DeleteFileW(widen(temp).c_str());
        return status;
      }
      {
        std::lock_guard<std::mutex> lock(mutex_);
        temporaries_[temp] = finalAttributes;
      }
      return std::unique_ptr<WritableFile>(std::make_unique<Win32WritableFile>(file, holder, temp));
    }
    return Status(Code::kExists, stem);
  }

  Status rename(const std::string& from, const std::string& to) override {
    const std::wstring wideFrom = widen(from);
    const std::wstring wideTo = widen(to);
    const bool replacing = GetFileAttributesW(wideTo.c_str()) != INVALID_FILE_ATTRIBUTES;
    // Another program (a virus scanner, the game's own reader) may hold the target open
    // for a moment: a sharing violation is retried for about two seconds.
    DWORD error = ERROR_SUCCESS;
    for (int attempt = 0; attempt < 40; ++attempt) {
      error = !replacing        ? move(wideFrom, wideTo)
              : useReplaceFile_ ? replace(wideFrom, wideTo)
                                : replaceByMove(wideFrom, wideTo);
      if (error != ERROR_SHARING_VIOLATION && error != ERROR_LOCK_VIOLATION &&
          error != ERROR_UNABLE_TO_REMOVE_REPLACED) {
        break;
      }
      Sleep(50);
    }
    if (error == ERROR_UNABLE_TO_REMOVE_REPLACED) error = ERROR_SHARING_VIOLATION;
    if (error != ERROR_SUCCESS) {
      return statusOf(error, error == ERROR_PATH_NOT_FOUND ? to : from);
    }
    // A temporary of ours in place: it takes the attributes the file should have.
    std::lock_guard<std::mutex> lock(mutex_);
    const auto temp = temporaries_.find(from);
    if (temp != temporaries_.end()) {
      SetFileAttributesW(wideTo.c_str(), temp->second);
      temporaries_.erase(temp);
    }
    return {};
  }

  // MOVEFILE_WRITE_THROUGH has made the rename durable; Windows has no directory flush.
  Status syncDirectoryOf(const std::string& path) override {
    const std::string directory = parentOf(path);
    if (directory.empty() || isDirectory(directory)) return {};
    return Status(Code::kPathNotFound, directory);
  }

  // Opened without sharing and deleted on close: the open fails while any live handle
  // (a writer's lock) is open. A link is opened itself, never followed.
  Status removeTemporary(const std::string& path) override {
    if (path.empty()) return Status(Code::kUnusable, path);
    if (hasWildcard(path)) return wildcardStatus(path);
    Handle file(CreateFileW(widen(path).c_str(), GENERIC_READ | DELETE, 0, nullptr, OPEN_EXISTING,
                            FILE_FLAG_DELETE_ON_CLOSE | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
    // A sharing violation (kAccessDenied) tells that a live handle still holds it.
    if (!file.valid()) return lastStatus(path);
    file.reset();
    std::lock_guard<std::mutex> lock(mutex_);
    temporaries_.erase(path);
    return {};
  }

  Status remove(const std::string& path) override {
    if (path.empty()) return Status(Code::kUnusable, path);
    if (hasWildcard(path)) return wildcardStatus(path);
    if (!DeleteFileW(widen(path).c_str())) return lastStatus(path);
    std::lock_guard<std::mutex> lock(mutex_);
    temporaries_.erase(path);
    return {};
  }

 private:
  // Reads the whole file; its identity is known when nothing about it changed while it
  // was read.
  static Result<FileRead> readAll(HANDLE file, const std::string& path, uint64_t limit) {
    if (GetFileType(file) != FILE_TYPE_DISK) return Status(Code::kUnusable, path);
    Facts before;
    if (!factsOf(file, before)) return lastStatus(path);
    // A file beyond this process's memory (4 GB in a 32-bit build) is out of memory.
    Result<ByteBuffer> bytes =
        readToEnd(path, sizeOf(before.info), limit,
                  [file, &path](uint8_t* into, size_t capacity) -> Result<size_t> {
                    DWORD n = 0;
                    const auto want = static_cast<DWORD>(std::min<size_t>(capacity, kChunk));
                    if (!ReadFile(file, into, want, &n, nullptr)) return lastStatus(path);
                    return static_cast<size_t>(n);
                  });
    if (!bytes.ok()) return bytes.status();
    FileRead read{std::move(bytes).value(), FileIdentity{}};
    Facts after;
    if (factsOf(file, after) && sameFacts(before, after) &&
        read.bytes.size() == sizeOf(after.info)) {
      read.identity = identityOf(after);
    }
    return read;
  }

  // `from` takes the place of the existing file `to` with ReplaceFileW, which keeps what
  // the owner set on the old file: its security descriptor (owner, access list), its
  // attributes and its creation time. Where the volume cannot do that, the plain
  // replacing rename. Either way one step: `to` is the old file or the new one. The
  // result is flushed to the device as MOVEFILE_WRITE_THROUGH would, which ReplaceFileW
  // has no flag for. Returns the error code (ERROR_SUCCESS when done).
  static DWORD replace(const std::wstring& from, const std::wstring& to) {
    if (ReplaceFileW(to.c_str(), from.c_str(), nullptr,
                     REPLACEFILE_IGNORE_MERGE_ERRORS | REPLACEFILE_IGNORE_ACL_ERRORS, nullptr,
                     nullptr)) {
      Handle replaced(CreateFileW(to.c_str(), GENERIC_WRITE,
                                  FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                  OPEN_EXISTING, 0, nullptr));
      if (!replaced.valid() || !FlushFileBuffers(replaced.get())) return GetLastError();
      return ERROR_SUCCESS;
    }
    const DWORD error = GetLastError();
    switch (error) {
      case ERROR_SHARING_VIOLATION:
        // ReplaceFileW needs the replacement to itself, and a temporary of ours is held
        // open by its writer's lock until it is in place: the rename below then does
        // what ReplaceFileW would (and reports a target another program holds).
        return replaceByMove(from, to);
      case ERROR_LOCK_VIOLATION:
      case ERROR_UNABLE_TO_REMOVE_REPLACED:  // both files keep their names: tried again
      case ERROR_ACCESS_DENIED:              // a read-only file is refused either way
      case ERROR_FILE_NOT_FOUND:
      case ERROR_PATH_NOT_FOUND:
        return error;
      case ERROR_UNABLE_TO_MOVE_REPLACEMENT:
        // The old file is gone and the new one still has its temporary name: the move
        // below completes the replacement.
      default:
        // The volume cannot replace so (a file system without security descriptors or
        // streams, a network share): the rename, as without ReplaceFileW.
        return replaceByMove(from, to);
    }
  }

  // The replacing rename, with the old file's security descriptor (access list, group,
  // and owner where the process may set it) and creation time given to the new one
  // first (its attributes follow in rename). A read-only file is refused, as Windows
  // refuses it (Wine would replace it).
  static DWORD replaceByMove(const std::wstring& from, const std::wstring& to) {
    const DWORD attributes = GetFileAttributesW(to.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY) != 0) {
      return ERROR_ACCESS_DENIED;
    }
    FILETIME created{};
    bool known = false;
    {
      Handle old(CreateFileW(to.c_str(), FILE_READ_ATTRIBUTES,
                             FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                             OPEN_EXISTING, 0, nullptr));
      known = old.valid() && GetFileTime(old.get(), &created, nullptr, nullptr);
    }  // closed before the rename, which an open handle would refuse
    adoptSecurity(from, to);
    if (known) {
      Handle replacement(CreateFileW(from.c_str(), FILE_WRITE_ATTRIBUTES,
                                     FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                     nullptr, OPEN_EXISTING, 0, nullptr));
      if (replacement.valid()) SetFileTime(replacement.get(), &created, nullptr, nullptr);
    }
    return move(from, to);
  }

  // What a file system without security descriptors lacks is left as it is.
  static void adoptSecurity(const std::wstring& path, const std::wstring& model) {
    PSID owner = nullptr;
    PSID group = nullptr;
    PACL access = nullptr;
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (GetNamedSecurityInfoW(
            model.c_str(), SE_FILE_OBJECT,
            OWNER_SECURITY_INFORMATION | GROUP_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION,
            &owner, &group, &access, nullptr, &descriptor) != ERROR_SUCCESS) {
      return;
    }
    SECURITY_DESCRIPTOR_CONTROL control = 0;
    DWORD revision = 0;
    const bool isProtected = GetSecurityDescriptorControl(descriptor, &control, &revision) &&
                             (control & SE_DACL_PROTECTED) != 0;
    const SECURITY_INFORMATION dacl =
        DACL_SECURITY_INFORMATION |
        (isProtected ? PROTECTED_DACL_SECURITY_INFORMATION : UNPROTECTED_DACL_SECURITY_INFORMATION);
    std::wstring target = path;  // the function takes a non-const name
    if (SetNamedSecurityInfoW(target.data(), SE_FILE_OBJECT,
                              OWNER_SECURITY_INFORMATION | GROUP_SECURITY_INFORMATION | dacl, owner,
                              group, access, nullptr) != ERROR_SUCCESS) {
      (void)SetNamedSecurityInfoW(target.data(), SE_FILE_OBJECT, GROUP_SECURITY_INFORMATION | dacl,
                                  nullptr, group, access, nullptr);
    }
    LocalFree(descriptor);
  }

  static DWORD move(const std::wstring& from, const std::wstring& to) {
    return MoveFileExW(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)
               ? ERROR_SUCCESS
               : GetLastError();
  }

  const bool useReplaceFile_;
  std::mutex mutex_;
  // Temporaries made by createTempBeside and not yet renamed or removed, with the
  // attributes each must have once in place.
  std::map<std::string, DWORD> temporaries_;
};

}  // namespace

std::unique_ptr<FileSystem> makeWin32FileSystem(bool useReplaceFile) {
  return std::make_unique<Win32FileSystem>(useReplaceFile);
}

template <>
std::unique_ptr<FileSystem> makeSystemFacility<FileSystem>() {
  return makeWin32FileSystem(true);
}

}  // namespace tollwick::platform
