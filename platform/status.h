#pragma once
// The one error vocabulary of the layers below the routines: the seams, their operating
// system implementations and the format readers. An operation that can fail returns a
// Status, or a Result<T> (its value, or the Status that says why there is none). Nothing
// there throws run-time errors: the runtime turns a Status into the run-time error the
// program's statements raise (runtime/run_time_error.h), in one place.

#include <cassert>
#include <cstdint>
#include <optional>
#include <string>
#include <utility>

namespace tollwick::platform {

enum class Code {
  kOk,
  kNotFound,         // the file, key or value does not exist
  kPathNotFound,     // a directory (or key) on the way does not exist
  kAccessDenied,     // refused by permissions, a read-only medium, or a sharing rule
  kExists,           // the name is already taken (exclusive create)
  kNoSpace,          // disk or quota full, file too large
  kIoError,          // the device failed, or the store could not be read or written
  kUnusable,         // anything else: a directory where a file is expected, a bad name, ...
  kTooManyOpen,      // the process or system is out of file handles
  kCrossDevice,      // a rename between two file systems, which no file system makes
  kInUse,            // another program holds what is needed (Wine's registry server)
  kDamaged,          // the data is not in the format it must have
  kInvalidArgument,  // the caller asked for something the operation cannot mean
  kTooLarge,         // the file is longer than its reader takes (checked while it reads)
  kChanged,          // the file is no longer the one that was read: another program changed it
  kNotSupported,     // this file system cannot do it (nothing was done)
};

class [[nodiscard]] Status {
 public:
  // Success.
  Status() = default;
  // A failure (or, with Code::kOk, success): what went wrong, the path or operation it
  // concerns, and the operating system's own error number (errno, GetLastError or a
  // registry function's result; 0 when there is none).
  Status(Code code, std::string context = {}, int32_t osError = 0)  // NOLINT: implicit
      : code_(code), osError_(osError), context_(std::move(context)) {}

  bool ok() const { return code_ == Code::kOk; }
  Code code() const { return code_; }
  int32_t osError() const { return osError_; }
  const std::string& context() const { return context_; }

  friend bool operator==(const Status& status, Code code) { return status.code_ == code; }

 private:
  Code code_ = Code::kOk;
  int32_t osError_ = 0;
  std::string context_;
};

// A value, or the failure that left none. Reading the value of a failed result is a
// programming error: it throws std::bad_optional_access.
template <class T>
class [[nodiscard]] Result {
 public:
  Result(T held) : value_(std::move(held)) {}           // NOLINT: implicit
  Result(Status status) : status_(std::move(status)) {  // NOLINT: implicit
    assert(!status_.ok() && "a result without a value needs a failure");
    if (status_.ok()) status_ = Status(Code::kInvalidArgument);
  }
  Result(Code code) : Result(Status(code)) {}  // NOLINT: implicit

  bool ok() const { return value_.has_value(); }
  // Success when there is a value.
  const Status& status() const { return status_; }

  T& value() & { return checked(); }
  const T& value() const& { return const_cast<Result*>(this)->checked(); }
  T&& value() && { return std::move(checked()); }
  T* operator->() { return &checked(); }
  const T* operator->() const { return &value(); }
  T& operator*() & { return checked(); }
  const T& operator*() const& { return value(); }

 private:
  T& checked() { return value_.value(); }

  std::optional<T> value_;
  Status status_;
};

}  // namespace tollwick::platform
