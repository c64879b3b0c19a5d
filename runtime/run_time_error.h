#pragma once
// Run-time errors: the numbered errors that the routines raise and that a routine
// with an error trap catches at its boundary. Nothing else is thrown between routines.

#include <cstdint>
#include <stdexcept>
#include <string>

namespace tollwick {

// The error numbers this program raises, with the runtime's own descriptions.
namespace err {
inline constexpr int32_t kInvalidProcedureCall = 5;  // "Invalid procedure call or argument"
inline constexpr int32_t kOverflow = 6;              // "Overflow"
inline constexpr int32_t kOutOfMemory = 7;           // "Out of memory"
inline constexpr int32_t kSubscriptOutOfRange = 9;   // "Subscript out of range"
inline constexpr int32_t kInternalError = 51;        // "Internal error"
inline constexpr int32_t kBadFileNameOrNumber = 52;  // "Bad file name or number"
inline constexpr int32_t kFileNotFound = 53;         // "File not found"
inline constexpr int32_t kDeviceIoError = 57;        // "Device I/O error"
inline constexpr int32_t kFileAlreadyExists = 58;    // "File already exists"
inline constexpr int32_t kDiskFull = 61;             // "Disk full"
inline constexpr int32_t kInputPastEndOfFile = 62;   // "Input past end of file"
inline constexpr int32_t kTooManyFiles = 67;         // "Too many files"
inline constexpr int32_t kPermissionDenied = 70;     // "Permission denied"
inline constexpr int32_t kPathFileAccessError = 75;  // "Path/File access error"
inline constexpr int32_t kPathNotFound = 76;         // "Path not found"
}  // namespace err

// The runtime's description of a standard error number ("Application-defined or
// object-defined error" for a number it does not know).
std::string standardDescription(int32_t number);

// A run-time error in flight: its number and description (a text of the code page).
class RunTimeError : public std::runtime_error {
 public:
  explicit RunTimeError(int32_t number);
  RunTimeError(int32_t number, std::string description);

  int32_t number() const noexcept { return number_; }
  const std::string& description() const noexcept { return description_; }

 private:
  int32_t number_;
  std::string description_;
};

[[noreturn]] void raiseError(int32_t number);
[[noreturn]] void raiseError(int32_t number, std::string description);

}  // namespace tollwick
