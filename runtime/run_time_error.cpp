#include "runtime/run_time_error.h"

#include <utility>

namespace tollwick {

std::string standardDescription(int32_t number) {
  switch (number) {
    case err::kInvalidProcedureCall:
      return "Invalid procedure call or argument";
    case err::kOverflow:
      return "Overflow";
    case err::kOutOfMemory:
      return "Out of memory";
    case err::kSubscriptOutOfRange:
      return "Subscript out of range";
    case err::kInternalError:
      return "Internal error";
    case err::kBadFileNameOrNumber:
      return "Bad file name or number";
    case err::kFileNotFound:
      return "File not found";
    case err::kDeviceIoError:
      return "Device I/O error";
    case err::kFileAlreadyExists:
      return "File already exists";
    case err::kDiskFull:
      return "Disk full";
    case err::kInputPastEndOfFile:
      return "Input past end of file";
    case err::kTooManyFiles:
      return "Too many files";
    case err::kPermissionDenied:
      return "Permission denied";
    case err::kPathFileAccessError:
      return "Path/File access error";
    case err::kPathNotFound:
      return "Path not found";
    default:
      return "Application-defined or object-defined error";
  }
}

RunTimeError::RunTimeError(int32_t number) : RunTimeError(number, standardDescription(number)) {}

RunTimeError::RunTimeError(int32_t number, std::string description)
    : std::runtime_error(description), number_(number), description_(std::move(description)) {}

void raiseError(int32_t number) { throw RunTimeError(number); }

void raiseError(int32_t number, std::string description) {
  throw RunTimeError(number, std::move(description));
}

}  // namespace tollwick
