#pragma once
// The security library: the four exports of the library that protects game files
// (ZELKORSEC), reached like a facility (platform::use<SecurityLibrary>()) so that tests
// can count or fail its calls. It belongs to the routines, not the seams: the program's
// implementation (security/loaded_security_library.cpp) loads the library through the
// dynamic-library facility from the application directory on first use and resolves each
// export by name; a library that cannot be loaded is run-time error 53 ("File not found:
// <library file>"), a missing export error 453 ("Can't find DLL entry point <export> in
// <library file>"), raised by the call that needed it, as the routines' own statements
// would. The meaning of the calls is documented in zelkorsec/zelkorsec.h.

#include <cstdint>

namespace tollwick {

class SecurityLibrary {
 public:
  virtual ~SecurityLibrary() = default;

  // ZelkorSecVerify: the check value of `length` bytes at `buffer` with `seed`.
  virtual int32_t verify(const void* buffer, int32_t length, int32_t seed) = 0;

  // ZelkorSecMangle: transforms `length` bytes at `buffer` in place; the chain value.
  virtual int32_t mangle(void* buffer, int32_t length, int32_t seed, int32_t key) = 0;

  // ZelkorSecMakeKey: a key handle made from a check value.
  virtual int32_t makeKey(int32_t check) = 0;

  // ZelkorSecFreeKey: releases a key handle.
  virtual int32_t freeKey(int32_t key) = 0;
};

}  // namespace tollwick
