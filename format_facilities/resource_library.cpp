// The resource-library facility: the PE reader over the system's files, on every system.
// It reads a library of either width in a process of either width (Windows' own loader
// cannot map a 64-bit library into a 32-bit process for its resources), and does not
// keep the file open. The language is the user's interface language; wave sounds go to
// the sound facility.

#include <memory>

#include "formats/pe/pe_resource_library.h"
#include "platform/file_system.h"
#include "platform/resource_library.h"
#include "platform/seam.h"
#include "platform/sound_output.h"

namespace tollwick::platform {

template <>
std::unique_ptr<ResourceLoader> makeSystemFacility<ResourceLoader>() {
  return makePeResourceLoader(
      use<FileSystem>(), []() -> SoundOutput& { return use<SoundOutput>(); },
      userInterfaceLanguage);
}

}  // namespace tollwick::platform
