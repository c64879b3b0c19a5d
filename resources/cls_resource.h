#pragma once
// clsResource: access to the resources of one resource-only library, loaded by
// assigning its path to DllName. Failures are recorded in the current error record
// (see runtime/error_record.h); the operations of this part throw nothing.

#include <cstdint>
#include <memory>
#include <string>

#include "platform/resource_library.h"

namespace tollwick {

class clsResource {
 public:
  clsResource();
  ~clsResource();
  clsResource(const clsResource&) = delete;
  clsResource& operator=(const clsResource&) = delete;

  // Releases the held library, then loads `vData`. Failure: error 48
  // "Error in loading DLL: " + path, and DllName reads "".
  void DllName(const std::string& vData);
  // The path last loaded successfully; "" before any load and after a failed one.
  const std::string& DllName() const { return m_DllName; }

  // String `index`, at most `length` characters. Missing or empty: "" and error 326
  // "String resource with identifier <index> not found.".
  std::string LoadDllString(int32_t index, int32_t length = 10000);

 protected:
  std::unique_ptr<platform::ResourceModule> m_hModule;
  std::string m_DllName;
};

// The shared instance, created on first use with no library loaded.
clsResource& gResource();

}  // namespace tollwick
