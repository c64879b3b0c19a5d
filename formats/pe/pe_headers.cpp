#include "formats/pe/pe_headers.h"

#include <cstring>

#include "base/bytes.h"

namespace tollwick::pe {

platform::Result<PeKind> readPeKind(platform::FileSystem& files, const std::string& path) {
  using platform::Code;
  using platform::Status;
  const platform::Result<platform::ByteBuffer> dos = files.readFilePart(path, 0, 0x40);
  if (!dos.ok()) return dos.status();
  if (dos->size() < 0x40 || (*dos)[0] != 'M' || (*dos)[1] != 'Z') {
    return Status(Code::kDamaged, "no MZ header");
  }
  // The signature, the file header (20 bytes) and the optional header's magic.
  const uint32_t peOffset = readLe32(*dos, 0x3C);
  const platform::Result<platform::ByteBuffer> nt = files.readFilePart(path, peOffset, 26);
  if (!nt.ok()) return nt.status();
  if (nt->size() < 26 || std::memcmp(nt->data(), "PE\0\0", 4) != 0) {
    return Status(Code::kDamaged, "no PE header");
  }
  const uint16_t magic = readLe16(*nt, 24);
  if (magic != 0x10B && magic != 0x20B) {
    return Status(Code::kDamaged, "neither a PE32 nor a PE32+ optional header");
  }
  return PeKind{readLe16(*nt, 4), magic == 0x20B};
}

}  // namespace tollwick::pe
