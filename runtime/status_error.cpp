#include "runtime/status_error.h"

#include "runtime/run_time_error.h"

namespace tollwick {

using platform::Code;

int32_t errorNumberOf(const platform::Status& status) {
  switch (status.code()) {
    case Code::kOk:
      return 0;
    case Code::kNotFound:
      return err::kFileNotFound;
    case Code::kPathNotFound:
      return err::kPathNotFound;
    case Code::kAccessDenied:
      return err::kPermissionDenied;
    case Code::kExists:
      return err::kFileAlreadyExists;
    case Code::kNoSpace:
      return err::kDiskFull;
    case Code::kIoError:
      return err::kDeviceIoError;
    case Code::kTooManyOpen:
      return err::kTooManyFiles;
    case Code::kUnusable:
    case Code::kCrossDevice:
    case Code::kInUse:
    case Code::kDamaged:
    case Code::kInvalidArgument:
    case Code::kTooLarge:
    case Code::kChanged:
    case Code::kNotSupported:
      break;
  }
  return err::kPathFileAccessError;
}

void raiseIfFailed(const platform::Status& status) {
  if (!status.ok()) raiseError(errorNumberOf(status));
}

}  // namespace tollwick
