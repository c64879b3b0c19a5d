#pragma once
// Binary files by number, as the game's routines use them: a free file number, a file
// opened for reading and writing, one-based positioned reads and writes, its length,
// close. Every failure is a run-time error (runtime/run_time_error.h).
//
// Transactional: an open file is an image in memory. Changes reach the disk only when
// the file is closed, as one atomic replacement (temporary file in the same directory,
// flushed, renamed over the original, directory flushed). A file whose bytes did not
// change is not written. A file marked unprotected (see setUnprotected) and not
// protected again is never written, and neither is a file still open when the program
// ends.

#include <cstdint>
#include <span>
#include <string>

namespace tollwick {

// A free file number (1 to 511). Error 67 when all are taken.
int16_t freeFile();

// Opens `path` (a program path) on `fileNumber` for reading and writing; a missing file
// is created (empty) when the file is committed. Error 52 for a number that is out of
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
int16_t getInteger(int16_t fileNumber, int64_t position);
int32_t getLong(int16_t fileNumber, int64_t position);
void getBytes(int16_t fileNumber, int64_t position, std::span<uint8_t> out);
std::string getText(int16_t fileNumber, int64_t position, int64_t length);

// Positioned writes: a write past the end extends the file (a gap is filled with 0).
void putInteger(int16_t fileNumber, int64_t position, int16_t value);
void putLong(int16_t fileNumber, int64_t position, int32_t value);
void putBytes(int16_t fileNumber, int64_t position, std::span<const uint8_t> bytes);
void putText(int16_t fileNumber, int64_t position, const std::string& text);

// The image of the open file, for the protected-file layer that transforms the data
// region in place (no second copy). Valid until the next write that changes the
// length or until close.
std::span<uint8_t> fileImage(int16_t fileNumber);

// The protected-file layer marks a file unprotected after unprotecting its image and
// protected again after protecting it; an unprotected file is never committed.
void setUnprotected(int16_t fileNumber, bool unprotected);

}  // namespace tollwick
