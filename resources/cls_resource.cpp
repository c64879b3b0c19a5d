#include "resources/cls_resource.h"

#include <algorithm>
#include <vector>

#include "platform/seam.h"
#include "runtime/error_record.h"

namespace tollwick {

namespace {
constexpr int32_t kErrorLoadingDll = 48;
constexpr int32_t kResourceNotFound = 326;
}  // namespace

clsResource::clsResource() = default;
clsResource::~clsResource() = default;

void clsResource::DllName(const std::string& vData) {
  resetCurrentError();
  m_hModule.reset();  // the old library is released before the new one is loaded
  m_hModule = platform::use<platform::ResourceLoader>().load(vData);
  if (!m_hModule) {
    setCurrentError(kErrorLoadingDll, "Error in loading DLL: " + vData);
    m_DllName.clear();
    return;
  }
  m_DllName = vData;
}

std::string clsResource::LoadDllString(int32_t index, int32_t length) {
  resetCurrentError();
  // A negative length would mean "unlimited" to the loader; no entry is longer than
  // 65535 characters, so larger lengths are cut to that without changing any result.
  length = std::clamp(length, int32_t{0}, int32_t{65535});
  std::vector<char> buffer(static_cast<std::size_t>(length) + 1, '\0');
  int32_t n = 0;
  if (m_hModule) {
    n = m_hModule->loadString(static_cast<uint32_t>(index), buffer.data(), length + 1);
    if (n < 0) n = 0;
  }
  if (n == 0) {
    setCurrentError(kResourceNotFound,
                    "String resource with identifier " + std::to_string(index) + " not found.");
    return {};
  }
  return std::string(buffer.data(), static_cast<std::size_t>(n));
}

clsResource& gResource() {
  static clsResource instance;
  return instance;
}

}  // namespace tollwick
