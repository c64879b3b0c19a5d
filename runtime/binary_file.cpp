// Binary files by number: the table of open files and the statements on them. Each open
// file is an image in memory (runtime/open_file.h), committed at close; whether it changed
// is told by runtime/change_tracking.h, and the image of a large file closed unchanged is
// kept for its next open (runtime/image_cache.h).

#include "runtime/binary_file.h"

#include <array>
#include <cstring>
#include <limits>
#include <memory>
#include <new>
#include <optional>
#include <stdexcept>

#include "base/bytes.h"
#include "platform/file_system.h"
#include "platform/replacement.h"
#include "platform/seam.h"
#include "runtime/change_tracking.h"
#include "runtime/file_commands.h"
#include "runtime/image_cache.h"
#include "runtime/open_file.h"
#include "runtime/run_time_error.h"
#include "runtime/status_error.h"

namespace tollwick {
namespace {

constexpr int16_t kLowestFileNumber = 1;
constexpr int16_t kHighestFileNumber = 511;

// Before any use of the image but a read: afterwards the image holds the file's bytes
// themselves.
void guardBeforeWrite(OpenFile& file) {
  if (file.guard) file.guard->beforeWrite(file.image);
}

// Before the bytes up to zero-based `end` are read as they are.
void guardBeforeRead(OpenFile& file, size_t end) {
  if (file.guard) file.guard->beforeRead(file.image, end);
}

std::array<std::optional<OpenFile>, kHighestFileNumber + 1>& table() {
  static std::array<std::optional<OpenFile>, kHighestFileNumber + 1> files;
  return files;
}

bool inRange(int16_t fileNumber) {
  return fileNumber >= kLowestFileNumber && fileNumber <= kHighestFileNumber;
}

OpenFile& openFile(int16_t fileNumber) {
  if (!inRange(fileNumber) || !table()[static_cast<size_t>(fileNumber)]) {
    raiseError(err::kBadFileNameOrNumber);
  }
  return *table()[static_cast<size_t>(fileNumber)];
}

// The open file, for an access to its bytes: error 6 for one too long to be read.
OpenFile& fileWithBytes(int16_t fileNumber) {
  OpenFile& file = openFile(fileNumber);
  if (file.unreadLength != 0) raiseError(err::kOverflow);
  return file;
}

// The byte offset of a read of `length` bytes at one-based `position`: error 5 for a
// position below 1 or a negative length, 62 when it runs past the end.
size_t readOffset(const OpenFile& file, int64_t position, int64_t length) {
  if (position < 1 || length < 0) raiseError(err::kInvalidProcedureCall);
  const uint64_t offset = static_cast<uint64_t>(position - 1);
  if (offset > file.image.size() || static_cast<uint64_t>(length) > file.image.size() - offset) {
    raiseError(err::kInputPastEndOfFile);
  }
  return static_cast<size_t>(offset);
}

void readAt(int16_t fileNumber, int64_t position, std::span<uint8_t> out) {
  OpenFile& file = fileWithBytes(fileNumber);
  const size_t offset = readOffset(file, position, static_cast<int64_t>(out.size()));
  guardBeforeRead(file, offset + out.size());
  if (!out.empty()) std::memcpy(out.data(), file.image.data() + offset, out.size());
}

void writeAt(int16_t fileNumber, int64_t position, std::span<const uint8_t> bytes) {
  OpenFile& file = fileWithBytes(fileNumber);
  if (position < 1) raiseError(err::kInvalidProcedureCall);
  const uint64_t offset = static_cast<uint64_t>(position - 1);
  if (offset > std::numeric_limits<size_t>::max() - bytes.size()) raiseError(err::kOutOfMemory);
  const auto start = static_cast<size_t>(offset);  // fits: checked just above
  const size_t end = start + bytes.size();
  guardBeforeWrite(file);
  // Writing bytes back as they are is no change (a protect that stores the header it
  // found, a field rewritten with its value).
  if (end <= file.image.size() &&
      (bytes.empty() || std::memcmp(file.image.data() + start, bytes.data(), bytes.size()) == 0)) {
    return;
  }
  if (file.readOnly) raiseError(err::kPathFileAccessError);
  beforeUntrackedChange(file);
  if (end > file.image.size()) {
    const size_t oldSize = file.image.size();
    try {
      file.image.resize(end);
    } catch (const std::bad_alloc&) {
      raiseError(err::kOutOfMemory);
    } catch (const std::length_error&) {
      raiseError(err::kOutOfMemory);
    }
    // A gap between the old end and the write is filled with 0.
    if (start > oldSize) std::memset(file.image.data() + oldSize, 0, start - oldSize);
  }
  if (!bytes.empty()) std::memcpy(file.image.data() + start, bytes.data(), bytes.size());
}

}  // namespace

int16_t freeFile() {
  for (int16_t number = kLowestFileNumber; number <= kHighestFileNumber; ++number) {
    if (!table()[static_cast<size_t>(number)]) return number;
  }
  raiseError(err::kTooManyFiles);
}

void openBinary(int16_t fileNumber, const std::string& path) {
  if (!inRange(fileNumber) || table()[static_cast<size_t>(fileNumber)]) {
    raiseError(err::kBadFileNameOrNumber);
  }
  if (path.empty()) raiseError(err::kPathFileAccessError);
  OpenFile file;
  file.path = path;
  platform::Status status;
  auto& files = platform::use<platform::FileSystem>();
  try {
    if (takeCachedImage(files, path, file)) {
      // The image of the file read before.
    } else if (const platform::Result<platform::FileIdentity> before = files.identify(path);
               before.ok() && before->size > kLongestGameFile) {
      // Never read: no format of the game reaches past its first 2 GB, and reading it
      // would cost its whole length in memory and time before the error.
      file.unreadLength = before->size;
      file.identity = *before;
    } else if (platform::Result<platform::FileRead> read =
                   files.readFileWithIdentity(path, kLongestGameFile);
               read.ok()) {
      file.image = std::move(read->bytes);
      file.identity = read->identity;
    } else if (read.status() == platform::Code::kTooLarge) {
      // Longer than it said when measured (a file that grows, a file system that reports
      // no size): refused as a file of its real length is, at the format's limit.
      file.unreadLength = kLongestGameFile + 1;
    } else {
      status = read.status();
    }
  } catch (const std::bad_alloc&) {
    raiseError(err::kOutOfMemory);
  } catch (const std::length_error&) {
    raiseError(err::kOutOfMemory);
  }
  if (status == platform::Code::kNotFound) {
    file.image.clear();  // created when the file is committed
  } else {
    raiseIfFailed(status);
    file.existed = true;
    // Without an identity the file system vouches for, only the bytes themselves can
    // tell at commit whether the file on disk is still the one read: their hash now.
    if (!file.identity.known && file.unreadLength == 0) hashOriginal(file);
    // A file that cannot be asked is taken as writable: writing it fails as it would.
    const platform::Result<bool> writable = files.mayWrite(path);
    file.readOnly = writable.ok() && !*writable;
  }
  file.version = newVersion();
  file.cleanVersion = file.version;
  table()[static_cast<size_t>(fileNumber)] = std::move(file);
}

void closeFile(int16_t fileNumber) {
  OpenFile file = std::move(openFile(fileNumber));
  // The number is free again whatever the commit does.
  table()[static_cast<size_t>(fileNumber)].reset();
  if (file.guard && !file.guard->mayCommit()) return;
  // An image that is not the disk's content is compared or written as the file's bytes.
  if (!isClean(file)) guardBeforeWrite(file);
  if (changedSinceOpen(file)) {
    if (file.readOnly) raiseError(err::kPathFileAccessError);
    // Only over the file that was read: a save the game made meanwhile wins (error 75).
    std::optional<ReadStamp> stamp;
    if (file.existed) stamp = stampOf(file);
    writeFileAtomically(file.path, file.image, stamp ? &*stamp : nullptr);
    return;
  }
  keepImage(file);
}

void abandonAllFiles() {
  for (auto& slot : table()) slot.reset();
  dropCachedImage();
}

bool isOpen(int16_t fileNumber) {
  return inRange(fileNumber) && table()[static_cast<size_t>(fileNumber)].has_value();
}

int64_t lengthOfFile(int16_t fileNumber) {
  const OpenFile& file = openFile(fileNumber);
  if (file.unreadLength != 0) return static_cast<int64_t>(file.unreadLength);
  return static_cast<int64_t>(file.image.size());
}

int16_t readInt16(int16_t fileNumber, int64_t position) {
  std::array<uint8_t, 2> b{};
  readAt(fileNumber, position, b);
  return static_cast<int16_t>(loadLe16(b));
}

int32_t readInt32(int16_t fileNumber, int64_t position) {
  std::array<uint8_t, 4> b{};
  readAt(fileNumber, position, b);
  return static_cast<int32_t>(loadLe32(b));
}

void readBytes(int16_t fileNumber, int64_t position, std::span<uint8_t> out) {
  readAt(fileNumber, position, out);
}

std::string readText(int16_t fileNumber, int64_t position, int64_t length) {
  OpenFile& file = fileWithBytes(fileNumber);
  const size_t offset = readOffset(file, position, length);
  guardBeforeRead(file, offset + static_cast<size_t>(length));
  return std::string(reinterpret_cast<const char*>(file.image.data()) + offset,
                     static_cast<size_t>(length));
}

void writeInt16(int16_t fileNumber, int64_t position, int16_t value) {
  std::array<uint8_t, 2> b{};
  storeLe16(b, static_cast<uint16_t>(value));
  writeAt(fileNumber, position, b);
}

void writeInt32(int16_t fileNumber, int64_t position, int32_t value) {
  std::array<uint8_t, 4> b{};
  storeLe32(b, static_cast<uint32_t>(value));
  writeAt(fileNumber, position, b);
}

void writeBytes(int16_t fileNumber, int64_t position, std::span<const uint8_t> bytes) {
  writeAt(fileNumber, position, bytes);
}

void writeText(int16_t fileNumber, int64_t position, const std::string& text) {
  writeAt(fileNumber, position,
          std::span(reinterpret_cast<const uint8_t*>(text.data()), text.size()));
}

std::span<uint8_t> fileImage(int16_t fileNumber) {
  OpenFile& file = fileWithBytes(fileNumber);
  guardBeforeWrite(file);
  beforeUntrackedChange(file);
  return {file.image.data(), file.image.size()};
}

uint64_t imageVersion(int16_t fileNumber) { return openFile(fileNumber).version; }

std::span<uint8_t> imageForTransform(int16_t fileNumber) {
  OpenFile& file = fileWithBytes(fileNumber);
  guardBeforeWrite(file);
  file.version = newVersion();
  return {file.image.data(), file.image.size()};
}

void restoreImageVersion(int16_t fileNumber, uint64_t version) {
  openFile(fileNumber).version = version;
}

ReadStamp readStamp(int16_t fileNumber) { return stampOf(openFile(fileNumber)); }

void attachImageGuard(int16_t fileNumber, std::unique_ptr<ImageGuard> guard) {
  openFile(fileNumber).guard = std::move(guard);
}

ImageGuard* imageGuard(int16_t fileNumber) { return openFile(fileNumber).guard.get(); }

}  // namespace tollwick
