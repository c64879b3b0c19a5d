#pragma once
// One binary file open by number, as the runtime's binary files keep it (an image in
// memory, committed at close: runtime/binary_file.h). For the runtime's own files only.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "platform/file_system.h"
#include "runtime/binary_file.h"
#include "runtime/read_stamp.h"

namespace tollwick {

struct OpenFile {
  std::string path;
  platform::ByteBuffer image;
  // What the file held at open: a missing file is always written at commit; an
  // existing one only when its bytes changed.
  bool existed = false;
  // Change tracking (runtime/change_tracking.h): `version` names the image's state and
  // `cleanVersion` the state that equals the file on disk (none for a missing file).
  // `originalHash` is the hash of the disk's content, taken only when the image leaves
  // the clean state through a change nobody promises to undo.
  uint64_t version = 0;
  uint64_t cleanVersion = 0;
  bool hashed = false;
  size_t originalLength = 0;
  ContentHash originalHash;
  // The identity of the bytes on disk the image was read from (see the image cache).
  platform::FileIdentity identity;
  // The layer above's state of the image (see ImageGuard in binary_file.h).
  std::unique_ptr<ImageGuard> guard;
  // The program may not change the file (see mayWrite): opened for reading only.
  bool readOnly = false;
  // Set for a file longer than the format can address: its length. Such a file is not
  // read at all; its image stays empty and every access to its bytes is error 6.
  uint64_t unreadLength = 0;
};

}  // namespace tollwick
