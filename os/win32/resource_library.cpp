// The resource-library facility on Windows: the project's PE reader through the
// system's files, as on Linux. It reads a library of either width in a process of
// either width (the system loader cannot map a 64-bit DLL into a 32-bit process for its
// resources), and the file is not kept open. The language is the user's interface
// language; wave sounds go to the sound facility (sound_output.cpp).

#include <windows.h>

#include <memory>

#include "formats/pe/pe_resource_library.h"
#include "platform/file_system.h"
#include "platform/resource_library.h"
#include "platform/seam.h"

namespace tollwick::platform {

template <>
std::unique_ptr<ResourceLoader> makeSystemFacility<ResourceLoader>() {
  return makePeResourceLoader(
      use<FileSystem>(), []() -> SoundOutput& { return use<SoundOutput>(); },
      [] { return static_cast<uint16_t>(GetUserDefaultUILanguage()); });
}

}  // namespace tollwick::platform
