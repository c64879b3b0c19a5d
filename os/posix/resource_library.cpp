// The resource-library facility on Linux and other POSIX systems: the PE reader over the
// system's files, wave sounds to the sound facility (sound_output.cpp), the language
// from the locale settings.

#include <memory>

#include "formats/pe/pe_resource_library.h"
#include "platform/file_system.h"
#include "os/posix/resource_language.h"
#include "platform/resource_library.h"
#include "platform/seam.h"

namespace tollwick::platform {

template <>
std::unique_ptr<ResourceLoader> makeSystemFacility<ResourceLoader>() {
  return makePeResourceLoader(
      use<FileSystem>(), []() -> SoundOutput& { return use<SoundOutput>(); },
      posix::userInterfaceLanguage);
}

}  // namespace tollwick::platform
