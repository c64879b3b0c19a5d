#pragma once
// The file-system facility: the few operations the runtime's file statements need, on
// program paths (Windows-style texts in the system's code page, backslash separators,
// optional drive letter). Each implementation maps a program path to its host's own form; on
// Linux that is the Wine-style mapping of os/posix/host_path.h, so doubles can
// treat paths as plain keys.
//
// Nothing here throws run-time errors: every operation returns a Status (a failure's
// code, the operating system's error number and the path), or a Result with what it
// hands back; the runtime turns a failure into the matching error number.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <utility>
#include <vector>

#include "platform/large_buffer.h"
#include "platform/status.h"

namespace tollwick::platform {

enum class EntryKind {
  kNormalFile,  // a regular file (or a link to one) that is not hidden
  kHiddenFile,  // a regular file the directory search must not show (Linux: dot names)
  kDirectory,
  kOther,  // devices, sockets, broken links, ...
};

struct DirEntry {
  std::string name;  // the name alone, as stored (in the code page)
  EntryKind kind = EntryKind::kOther;
};

// What tells, without reading it, that a file still holds the bytes read from it
// earlier: the same device and file number, size, and modification and change times
// in nanoseconds. `known` is false when the implementation cannot vouch for that (no
// such facility, or a file changed so recently that a later change could leave its
// times as they are).
struct FileIdentity {
  bool known = false;
  uint64_t device = 0;
  uint64_t file = 0;
  uint64_t size = 0;
  int64_t modifiedNs = 0;
  int64_t changedNs = 0;
  bool operator==(const FileIdentity&) const = default;
};

// A new file being written: appended to, flushed to the device, closed. Destroying it
// unclosed closes it without checking; the file itself stays until removed. From its
// creation until the object is destroyed (also after close) the process holds the file,
// so that no other run's clean-up takes it as a left-over (see removeTemporary).
class WritableFile {
 public:
  virtual ~WritableFile() = default;
  // Program path of the file (to rename or remove it).
  virtual const std::string& path() const = 0;
  // Writes all of `bytes` at the end; a short write is a failure.
  virtual Status append(std::span<const uint8_t> bytes) = 0;
  // Flushes the file's data to the device (fsync). A failed sync is final: the caller
  // must not retry it and trust the result.
  virtual Status sync() = 0;
  virtual Status close() = 0;
};

// A whole file's bytes and the identity of the bytes read (see FileIdentity).
struct FileRead {
  ByteBuffer bytes;
  FileIdentity identity;
};

class FileSystem {
 public:
  virtual ~FileSystem() = default;

  // The whole regular file at `path`, which may be at most `limit` bytes long.
  // kNotFound when the file is missing but its directory exists, kPathNotFound when the
  // directory is missing, kUnusable when `path` is not a regular file (a FIFO, a
  // device or a directory is refused without waiting on it), kTooLarge for a longer
  // file: refused by its size before a byte is read, and also when its size lied (a
  // file that grows, a file system that reports none) as soon as the read passes
  // `limit`, so that no file can take more memory than its reader allows.
  virtual Result<ByteBuffer> readFile(const std::string& path, uint64_t limit) = 0;

  // readFile, and the identity of the bytes read (unknown unless the file did not
  // change while it was read). By default the identity is unknown.
  virtual Result<FileRead> readFileWithIdentity(const std::string& path, uint64_t limit) {
    Result<ByteBuffer> bytes = readFile(path, limit);
    if (!bytes.ok()) return bytes.status();
    return FileRead{std::move(bytes).value(), FileIdentity{}};
  }

  // Up to `length` bytes of the regular file at `path` from `offset` on, fewer where the
  // file ends first: a file's headers, without the rest of it. Failures as for
  // readFile; kNotSupported by default.
  virtual Result<ByteBuffer> readFilePart(const std::string& path, uint64_t offset, size_t length) {
    (void)path;
    (void)offset;
    (void)length;
    return Status(Code::kNotSupported, path);
  }

  // The identity of the regular file at `path` now (unknown by default).
  virtual Result<FileIdentity> identify(const std::string& path) {
    (void)path;
    return FileIdentity{};
  }

  // Whether the program may change the existing file at `path`: false when its owner
  // made it read-only (no write permission for anyone), when this process may not write
  // it, or when the file has other names (hard links), which a replacement would leave
  // on the old bytes. True by default.
  virtual Result<bool> mayWrite(const std::string& path) {
    (void)path;
    return true;
  }

  // Whether the program may delete the existing file at `path`: false when its owner
  // made it read-only (Windows: the read-only attribute; POSIX: no write permission for
  // anyone), as Windows' DeleteFile refuses such a file. True by default.
  virtual Result<bool> mayDelete(const std::string& path) {
    (void)path;
    return true;
  }

  // Gives the file `path` the permissions, extended attributes and ACLs of the file
  // `model`, and its owner and group as far as the process may set them, so that a
  // replacement keeps what the owner set on the old file. Does nothing by default.
  virtual Status adoptAttributes(const std::string& path, const std::string& model) {
    (void)path;
    (void)model;
    return {};
  }

  // The entry `path` names: its name as stored and its kind. kNotFound / kPathNotFound
  // as for readFile.
  virtual Result<DirEntry> lookup(const std::string& path) = 0;

  // Every entry of the directory `directory` ("" is the current directory), without
  // "." and "..", in no particular order.
  virtual Result<std::vector<DirEntry>> listDirectory(const std::string& directory) = 0;

  // Creates a new, empty, hidden temporary file in the directory of `target` under a
  // name nobody else uses (exclusive create; platform/temporary_names.h gives the
  // name), with the permissions, extended attributes and ACLs of `target` when it
  // exists, and its owner and group as far as the process may set them. When `target` is a link,
  // the temporary file lies beside the file it links to, so that a rename over `target` replaces
  // that file.
  virtual Result<std::unique_ptr<WritableFile>> createTempBeside(const std::string& target) = 0;

  // Renames `from` to `to` in one atomic step, replacing `to` when it exists (the file
  // a link `to` points at, see createTempBeside). Not durable until syncDirectoryOf.
  // kCrossDevice when the two lie on different file systems.
  virtual Status rename(const std::string& from, const std::string& to) = 0;

  // Swaps the files `from` and `to` in one atomic step (Linux: renameat2 with
  // RENAME_EXCHANGE): `from` takes the place of `to` (of the file a link `to` points
  // at), and the file that was there is left under the name `from`, so that the caller
  // can look at the file it displaced, and swap back. Both must exist (kNotFound).
  // Neither swap changes a file's bytes or modification time; both set its change time.
  // kNotSupported where the file system cannot exchange files (the default); nothing
  // has changed then.
  virtual Status exchange(const std::string& from, const std::string& to) {
    (void)to;
    return Status(Code::kNotSupported, from);
  }

  // Flushes the directory holding `path` (creates, renames and removes become durable).
  virtual Status syncDirectoryOf(const std::string& path) = 0;

  // Removes the file `path`. kAccessDenied while another program holds it open, as
  // Windows refuses it (the POSIX implementation looks for such a program first).
  virtual Status remove(const std::string& path) = 0;

  // Removes the temporary file `path` that a replacement left, unless a live process
  // still holds it (a WritableFile not yet destroyed, in this or any other process):
  // kAccessDenied then, and the file stays. A link is never followed. By default a
  // plain remove.
  virtual Status removeTemporary(const std::string& path) { return remove(path); }
};

}  // namespace tollwick::platform
