#include "os/posix/file_attributes.h"

#include <fcntl.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <cerrno>
#include <vector>

#include "os/posix/file_errors.h"
#include "os/posix/system_calls.h"

namespace tollwick::platform::posix {

void adoptOwner(int fd, const struct stat& st) {
  if (systemCalls().changeOwner(fd, st.st_uid, st.st_gid) == 0) return;
  (void)systemCalls().changeOwner(fd, static_cast<uid_t>(-1), st.st_gid);
}

Status adoptExtendedAttributes(const std::string& model, int fd, const std::string& host) {
  std::vector<char> names;
  for (;;) {
    const ssize_t size = systemCalls().listAttributes(model.c_str(), nullptr, 0);
    if (size < 0) return errno == ENOTSUP ? Status() : statusOf(errno, model);
    names.resize(static_cast<size_t>(size));
    if (size == 0) return {};
    const ssize_t got = systemCalls().listAttributes(model.c_str(), names.data(), names.size());
    if (got >= 0) {
      names.resize(static_cast<size_t>(got));
      break;
    }
    if (errno != ERANGE) return statusOf(errno, model);  // the list grew meanwhile
  }
  std::vector<char> value;
  for (size_t at = 0; at < names.size();) {
    const std::string name(names.data() + at);
    at += name.size() + 1;
    if (name.empty()) continue;
    const bool privileged = name.starts_with("security.") || name.starts_with("trusted.");
    const ssize_t size = systemCalls().getAttribute(model.c_str(), name.c_str(), nullptr, 0);
    if (size < 0) {
      if (errno == ENODATA || privileged) continue;
      return statusOf(errno, model);
    }
    value.resize(static_cast<size_t>(size));
    const ssize_t got =
        systemCalls().getAttribute(model.c_str(), name.c_str(), value.data(), value.size());
    if (got < 0) {
      if (errno == ENODATA || privileged) continue;
      return statusOf(errno, model);
    }
    if (systemCalls().setAttribute(fd, name.c_str(), value.data(), static_cast<size_t>(got), 0) !=
            0 &&
        !privileged) {
      return statusOf(errno, host);
    }
  }
  return {};
}

bool isReadOnly(const std::string& host, const struct stat& st) {
  if ((st.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0) return true;
  return systemCalls().checkAccess(host.c_str(), W_OK) != 0 &&
         (errno == EACCES || errno == EPERM || errno == EROFS);
}

}  // namespace tollwick::platform::posix
