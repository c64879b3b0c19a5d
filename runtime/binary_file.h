#pragma once
// Binary files by number, as the game's routines use them: a free file number, a file
// opened for reading and writing, one-based positioned reads and writes, its length,
// close. Every failure is a run-time error (runtime/run_time_error.h).
//
// Transactional: an open file is an image in memory. Changes reach the disk only when
// the file is closed, as one atomic replacement (temporary file in the same directory,
// flushed, renamed over the original, directory flushed). A file whose bytes did not
// change is not written. A file whose guard (see ImageGuard) refuses the commit is
// never written, and neither is a file still open when the program ends. A changed
// file is written only over the file that was read: when anything changed or replaced
// it on disk since it was opened, closing it is error 75 and the new bytes are
// discarded. A file the program may not change (its owner made it read-only, or it has
// other names) opens for reading only: the first write that changes a byte is error
// 75, and so is closing it with its image changed in another way.

#include <cstdint>
#include <memory>
#include <span>
#include <string>

#include "platform/file_system.h"
#include "runtime/read_stamp.h"

namespace tollwick {

// The longest file the game's formats address: a 12-byte header and data whose length
// is a signed 32-bit number. No game file is ever read past it.
inline constexpr uint64_t kLongestGameFile = 12 + uint64_t{0x7FFFFFFF};

// A free file number (1 to 511). Error 67 when all are taken.
int16_t freeFile();

// Opens `path` (a program path) on `fileNumber` for reading and writing; a missing file
// is created (empty) when the file is committed. A file longer than the game's formats
// address (a 12-byte header and 2 GB of data) is not read: it has its length, and any
// access to its bytes is error 6. Error 52 for a number that is out of
// range or already open; 75/76/70 for paths that cannot be opened.
void openBinary(int16_t fileNumber, const std::string& path);

// Commits (see above) and releases the number. Error 52 for a number that is not open.
void closeFile(int16_t fileNumber);

// Forgets every open file without committing anything (the program ending at once,
// and tests).
void abandonAllFiles();

bool isOpen(int16_t fileNumber);

// Current length of the open file's image in bytes.
int64_t lengthOfFile(int16_t fileNumber);

// Positioned reads: one-based `position`. A read that runs past the end of the file is
// error 62; a position below 1 or a negative length is error 5.
int16_t readInt16(int16_t fileNumber, int64_t position);
int32_t readInt32(int16_t fileNumber, int64_t position);
void readBytes(int16_t fileNumber, int64_t position, std::span<uint8_t> out);
std::string readText(int16_t fileNumber, int64_t position, int64_t length);

// Positioned writes: a write past the end extends the file (a gap is filled with 0).
void writeInt16(int16_t fileNumber, int64_t position, int16_t value);
void writeInt32(int16_t fileNumber, int64_t position, int32_t value);
void writeBytes(int16_t fileNumber, int64_t position, std::span<const uint8_t> bytes);
void writeText(int16_t fileNumber, int64_t position, const std::string& text);

// The image of the open file, for the protected-file layer that transforms the data
// region in place (no second copy). Valid until the next write that changes the
// length or until close. The caller may change any byte through it: whether the file
// changed is then decided at close by comparing hashes.
std::span<uint8_t> fileImage(int16_t fileNumber);

// A guard: what the layer above keeps with an open file about its image (the
// protected-file layer: whether the image holds plain data that must not reach the disk,
// what it last unprotected, a transform the image owes). The open file owns its guard and
// the runtime calls it at the moments below, and only then.
//
// A guard may let the image stand for the file's bytes while it holds other bytes, as
// long as it can turn the one into the other in place (a transform owed over a region).
// The image then counts as the file's bytes: before anything reads the bytes the guard
// covers, writes the image (even with the bytes it holds), hands it out writable, hashes
// it or commits it, the guard is handed the image to put the file's bytes in place; a
// read that lies wholly outside what it covers (a protection header) does not disturb
// it. The guard stays with the image, also when a close of an unchanged file keeps the
// image for the next open of the same file.
class ImageGuard {
 public:
  virtual ~ImageGuard() = default;
  // Before the image's bytes below zero-based `end` are read as they are. A run-time
  // error stops the read.
  virtual void beforeRead(std::span<uint8_t> image, size_t end) = 0;
  // Before any other use of the image: a write, a writable access, a hash, a commit. A
  // run-time error stops it.
  virtual void beforeWrite(std::span<uint8_t> image) = 0;
  // Asked at close: false while the image holds bytes that must not reach the disk
  // (plain data not protected again); the file is then released without being
  // committed.
  virtual bool mayCommit() const = 0;
};

// Attaches `guard` to the open file, in place of the one it had. Error 52 for a number
// that is not open.
void attachImageGuard(int16_t fileNumber, std::unique_ptr<ImageGuard> guard);
// The open file's guard, null when it has none. Error 52 for a number that is not open.
ImageGuard* imageGuard(int16_t fileNumber);

// Exact change tracking, for the guard's layer, which transforms the image in place and
// later undoes the transform: it spares the hashes of the whole image that decide
// otherwise whether a file changed. Its note of what it unprotected names the image's
// state before and after; nothing but these versions tells it that the image is still
// untouched, so the tracking stays with the image, not with the guard.
//
// imageVersion names the image's current state: every write that changes a byte and
// every writable access gives the image a new version, never given out before.
uint64_t imageVersion(int16_t fileNumber);
// The image, writable, for a transform in place (a new version, as for fileImage; the
// guard is called first). The caller either undoes the transform and says so with
// restoreImageVersion, or leaves the file counted as changed.
std::span<uint8_t> imageForTransform(int16_t fileNumber);
// Declares that the image holds again exactly the bytes it held at `version` (taken
// from imageVersion of this open file). A file back at the version it had when opened
// counts as unchanged without a comparison.
void restoreImageVersion(int16_t fileNumber, uint64_t version);

// The stamp of what the disk held when the open file was read (runtime/read_stamp.h).
ReadStamp readStamp(int16_t fileNumber);

}  // namespace tollwick
