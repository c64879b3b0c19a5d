#pragma once
// The protect an image owes. When SarnEncryptFile finds the data untouched since
// SarnDecryptFile unprotected it under the same key, and the header it would store is
// the header it found, transforming the data would put back exactly the bytes the
// unprotect started from. It leaves the plain data in the image instead and records
// this transform as owed (runtime/binary_file.h): anything that reads the stored bytes
// or changes the file pays it first, and the next SarnDecryptFile of the same image
// under the same key, header and length takes the plain data as it is.
//
// That rests only on what every security library must guarantee: the transform undoes
// itself (same seed, length and key), its chain value does not depend on the buffer,
// the check value is deterministic, and a key made from the same check value is the
// same key (a file protected in one run must unprotect in the next).

#include <array>
#include <cstdint>
#include <span>

#include "runtime/binary_file.h"
#include "security/protection_header.h"

namespace tollwick {

struct ProtectState {
  int32_t keyTextCheck = 0;  // the check value the key is made from
  int32_t chain1 = 0;        // seed of the data check
  int32_t chain2 = 0;        // seed of the data transform
  int32_t dataCheck = 0;     // the plain data's check value, as verified
  int32_t dataLength = 0;
  std::array<uint8_t, kProtectionHeaderLength> header{};  // the stored header
  bool operator==(const ProtectState&) const = default;
};

class OwedProtect : public OwedTransform {
 public:
  explicit OwedProtect(const ProtectState& state) : state_(state) {}
  const ProtectState& state() const { return state_; }
  // Transforms the plain data with the key made again from its check value.
  void pay(std::span<uint8_t> region) override;

 private:
  ProtectState state_;
};

}  // namespace tollwick
