#pragma once
// The protected-file layer's state of an open file, kept on the file as its image guard
// (runtime/binary_file.h): whether its image holds plain data, what the last
// SarnDecryptFile verified, and the protect the image owes.
//
// The protect an image owes: when SarnEncryptFile finds the data untouched since
// SarnDecryptFile unprotected it under the same key, and the header it would store is
// the header it found, transforming the data would put back exactly the bytes the
// unprotect started from. It leaves the plain data in the image instead and records the
// transform as owed: anything that reads the stored bytes or changes the file pays it
// first, and the next SarnDecryptFile of the same image under the same key, header and
// length takes the plain data as it is. The state travels with the image, so an image
// kept after an unchanged close still owes its protect when the file is opened again.
//
// That rests only on what every security library must guarantee: the transform undoes
// itself (same seed, length and key), its chain value does not depend on the buffer,
// the check value is deterministic, and a key made from the same check value is the
// same key (a file protected in one run must unprotect in the next).

#include <array>
#include <cstdint>
#include <optional>
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

// What SarnDecryptFile leaves behind about an image it unprotected, so that
// SarnEncryptFile can tell when it would put back exactly the bytes the file had: then
// the data's check value is already known, the transform is owed rather than made, and
// the file is told that its image stands for its earlier state (no hash of the whole
// image decides it).
struct UnprotectNote {
  uint64_t versionBefore = 0;  // imageVersion before the data was unprotected
  uint64_t versionAfter = 0;   // imageVersion once it was
  ProtectState state;          // key, seeds, check, length and header it was verified under
};

class ProtectionGuard : public ImageGuard {
 public:
  // The open file's state, attached to it on first use. Error 52 for a number that is
  // not open.
  static ProtectionGuard& of(int16_t fileNumber);

  // Marked while the image holds plain or half-transformed data: it is then never
  // committed.
  void setUnprotected(bool unprotected) { unprotected_ = unprotected; }

  void noteUnprotected(const UnprotectNote& note) { note_ = note; }
  // The note of the image's last unprotect, if the image is still at the version the
  // note ends at (`versionNow`, its imageVersion): nothing has changed it since. The
  // note is forgotten either way.
  std::optional<UnprotectNote> takeUnprotectNote(uint64_t versionNow);

  // Records that the data region (everything after the header) holds the plain data
  // `state` describes and owes its protect; the image's version is the caller's to set.
  void oweProtect(const ProtectState& state) { owed_ = state; }
  // The protect the image owes, null when none. It stays owed.
  const ProtectState* owedProtect() const { return owed_ ? &*owed_ : nullptr; }
  // Takes the owed protect off the image unpaid: its data region is plain data from now
  // on, which the caller tells the file (a new version).
  void forgetOwedProtect() { owed_.reset(); }

  void beforeRead(std::span<uint8_t> image, size_t end) override;
  void beforeWrite(std::span<uint8_t> image) override;
  bool mayCommit() const override { return !unprotected_; }

 private:
  // Transforms the plain data with the key made again from its check value. A run-time
  // error leaves the protect owed.
  void payOwed(std::span<uint8_t> image);

  bool unprotected_ = false;
  std::optional<UnprotectNote> note_;
  std::optional<ProtectState> owed_;
};

}  // namespace tollwick
