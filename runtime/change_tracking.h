#pragma once
// Whether an open file changed since it was read, told without comparing copies: each
// state of its image has a version, and the disk's content is hashed only when the image
// leaves its clean state through a change nobody promises to undo (a hash rather than a
// copy keeps the memory of a file at its own size).

#include <cstdint>

#include "runtime/open_file.h"
#include "runtime/read_stamp.h"

namespace tollwick {

// A version never given out before.
uint64_t newVersion();

// The image still is the disk's content: an existing file at its clean version.
bool isClean(const OpenFile& file);

// Whether the image differs from what the disk held at open (a missing file always).
bool changedSinceOpen(const OpenFile& file);

// Takes the hash of the disk's content from the image, which holds it now.
void hashOriginal(OpenFile& file);

// Before a change that may not be undone exactly: a clean image is the disk's content,
// the last chance to take its hash for the comparison at close. Gives a new version.
void beforeUntrackedChange(OpenFile& file);

// What the disk held when `file` was read: its identity when known, otherwise the hash
// taken at open.
ReadStamp stampOf(const OpenFile& file);

}  // namespace tollwick
