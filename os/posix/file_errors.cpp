#include "os/posix/file_errors.h"

#include <cerrno>

#include "os/posix/system_calls.h"

namespace tollwick::platform::posix {
namespace {

// Whether the directory that holds `host` exists.
bool parentIsDirectory(const std::string& host) {
  const size_t slash = host.find_last_of('/');
  const std::string parent = slash == std::string::npos ? "."
                             : slash == 0               ? "/"
                                                        : host.substr(0, slash);
  struct stat st {};
  return systemCalls().statPath(parent.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

}  // namespace

Code codeOf(int error, const std::string& host) {
  switch (error) {
    case ENOENT:
      return parentIsDirectory(host) ? Code::kNotFound : Code::kPathNotFound;
    case ENOTDIR:
      return Code::kPathNotFound;
    case EACCES:
    case EPERM:
    case EROFS:
    case ETXTBSY:
    case EBUSY:
      return Code::kAccessDenied;
    case ENOSPC:
    case EDQUOT:
    case EFBIG:
      return Code::kNoSpace;
    case EIO:
      return Code::kIoError;
    case EEXIST:
    case ENOTEMPTY:
      return Code::kExists;
    case EMFILE:
    case ENFILE:
      return Code::kTooManyOpen;
    case EXDEV:
      return Code::kCrossDevice;
    default:
      return Code::kUnusable;
  }
}

Status statusOf(int error, const std::string& host) {
  return Status(codeOf(error, host), host, error);
}

}  // namespace tollwick::platform::posix
